// The keys and controller buttons a player binds to shoot, reel in, jump and pause: which may
// be bound, their names, what the engine is told, and what a key press waiting to be bound is.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "desktop/settings.hpp"

namespace grappix {

// A key's or controller button's name as the game spells it ("Left Shift", "LB"), matched
// without regard to case; null for one it does not know or that stays fixed: Escape, F11, M,
// Return, Alt and Ctrl (the window's and the session's keys), the arrows (the menus'); Back,
// the d-pad and the triggers on a controller. Fit for SettingsFile::SetNameCheck.
const char* BindableName(bool controller, std::string_view name);

// The line the controls page shows when a fixed key or button is pressed.
const char* FixedBindingsNote(bool controller);

// Tells the engine which key and controller button hold each action's pad button; a default
// binding gives the engine's own (the keyboard's by key position, as before any binding).
void ApplyBindings(const Settings& settings);

// The key (controller false) or controller button that went down in the last frame step, by
// its name; empty when none did. Escape is "Escape", a fixed key or button its own name.
std::string PressedName(bool controller);

// The pad button an action holds.
int64_t PadButtonOf(BoundAction action);

}  // namespace grappix
