// What the game writes on the player's terminal: text from files and the command line may hold
// any byte, and a control byte written raw can rewrite the terminal's title, clear its screen or
// hide the rest of the line.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

namespace grappix {

// Control bytes (NUL included) as \xNN, the rest as is.
inline std::string Printable(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if (u >= 0x20 && u != 0x7F) {
            out += c;
        } else {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02x", u);
            out += hex;
        }
    }
    return out;
}

// One warning line on standard error, "grappix: <text>", made printable.
inline void WarnLine(const std::string& text) {
    std::fprintf(stderr, "grappix: %s\n", Printable(text).c_str());
}

}  // namespace grappix
