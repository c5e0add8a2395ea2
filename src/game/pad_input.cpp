#include "game/pad_input.hpp"

#include <cstddef>

#include "frame/input.hpp"

namespace grappix {

void PadInput::Prepare() {
    released = PadFlags{};
    held = PadFlags{};
    pressed = PadFlags{};
    prevCount = PadCounts{};
}

void PadInput::Update() {
    for (std::size_t i = 0; i < kButtons.size(); ++i) {
        const int64_t n = PadCount(0, kButtons[i]);
        held.flag[i] = IsHeld(n);
        pressed.flag[i] = IsPressed(n);
        released.flag[i] = IsReleased(n, prevCount.count[i]);
        prevCount.count[i] = n;
    }
}

int PadInput::Position(int64_t button) {
    for (std::size_t i = 0; i < kButtons.size(); ++i)
        if (kButtons[i] == button) return static_cast<int>(i);
    return -1;
}

bool PadInput::Pressed(int64_t button) const {
    const int i = Position(button);
    return i >= 0 && pressed.flag[static_cast<std::size_t>(i)];
}
bool PadInput::Held(int64_t button) const {
    const int i = Position(button);
    return i >= 0 && held.flag[static_cast<std::size_t>(i)];
}
bool PadInput::Released(int64_t button) const {
    const int i = Position(button);
    return i >= 0 && released.flag[static_cast<std::size_t>(i)];
}

// Positions: 0..3 are buttons 14, 15, 12, 13; 4..9 are buttons 0..5.
bool PadInput::Pressed12() const { return pressed.flag[2]; }
bool PadInput::Pressed13() const { return pressed.flag[3]; }
bool PadInput::Pressed14() const { return pressed.flag[0]; }
bool PadInput::Pressed15() const { return pressed.flag[1]; }
bool PadInput::Pressed0() const { return pressed.flag[4]; }
bool PadInput::Pressed1() const { return pressed.flag[5]; }
bool PadInput::Pressed2() const { return pressed.flag[6]; }
bool PadInput::Pressed3() const { return pressed.flag[7]; }
bool PadInput::Pressed4() const { return pressed.flag[8]; }
bool PadInput::Pressed5() const { return pressed.flag[9]; }

bool PadInput::Held14() const { return held.flag[0]; }
bool PadInput::Held15() const { return held.flag[1]; }
bool PadInput::Held12() const { return held.flag[2]; }
bool PadInput::Held13() const { return held.flag[3]; }
bool PadInput::Held0() const { return held.flag[4]; }
bool PadInput::Held1() const { return held.flag[5]; }
bool PadInput::Held2() const { return held.flag[6]; }
bool PadInput::Held3() const { return held.flag[7]; }
bool PadInput::Held4() const { return held.flag[8]; }
bool PadInput::Held5() const { return held.flag[9]; }

bool PadInput::Released12() const { return released.flag[2]; }
bool PadInput::Released13() const { return released.flag[3]; }
bool PadInput::Released14() const { return released.flag[0]; }
bool PadInput::Released15() const { return released.flag[1]; }
bool PadInput::Released0() const { return released.flag[4]; }
bool PadInput::Released1() const { return released.flag[5]; }
bool PadInput::Released2() const { return released.flag[6]; }
bool PadInput::Released3() const { return released.flag[7]; }
bool PadInput::Released4() const { return released.flag[8]; }
bool PadInput::Released5() const { return released.flag[9]; }

}  // namespace grappix
