// The number behind a named state. The game's states are named, but each keeps the number it
// always had, and a few rules compute with it (an animation id is 100 x (movement state + 1)):
// those places, and tests comparing with numbers worked out elsewhere, read it through here.
#pragma once

#include <type_traits>

namespace grappix {

// Only for enumerations: underlying_type_t names no type for anything else.
template <typename E>
constexpr std::underlying_type_t<E> ToInt(E value) {
    return static_cast<std::underlying_type_t<E>>(value);
}

}  // namespace grappix
