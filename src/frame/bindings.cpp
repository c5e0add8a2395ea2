#include "frame/bindings.hpp"

#include <algorithm>
#include <array>
#include <iterator>

#include "brisel.h"
#include "frame/engine.hpp"
#include "frame/input.hpp"

namespace grappix {

namespace {

constexpr const char* kKeyNames[BRISEL_KEY_COUNT] = {
#define GRAPPIX_KEY_NAME(id, name) name,
    BRISEL_KEYS(GRAPPIX_KEY_NAME)
#undef GRAPPIX_KEY_NAME
};
constexpr const char* kButtonNames[BRISEL_BUTTON_COUNT] = {
#define GRAPPIX_BUTTON_NAME(id, name) name,
    BRISEL_BUTTONS(GRAPPIX_BUTTON_NAME)
#undef GRAPPIX_BUTTON_NAME
};

constexpr int kFixedKeys[] = {BRISEL_KEY_ESCAPE,   BRISEL_KEY_F11,  BRISEL_KEY_M,    BRISEL_KEY_RETURN,
                              BRISEL_KEY_KP_ENTER, BRISEL_KEY_LALT, BRISEL_KEY_RALT, BRISEL_KEY_LCTRL,
                              BRISEL_KEY_RCTRL,    BRISEL_KEY_UP,   BRISEL_KEY_DOWN, BRISEL_KEY_LEFT,
                              BRISEL_KEY_RIGHT};
constexpr int kFixedButtons[] = {BRISEL_BUTTON_BACK,      BRISEL_BUTTON_DPAD_UP,    BRISEL_BUTTON_DPAD_DOWN,
                                 BRISEL_BUTTON_DPAD_LEFT, BRISEL_BUTTON_DPAD_RIGHT, BRISEL_BUTTON_LT,
                                 BRISEL_BUTTON_RT};

bool SameLetters(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        auto up = [](char c) { return c >= 'a' && c <= 'z' ? char(c - 'a' + 'A') : c; };
        if (up(a[i]) != up(b[i])) return false;
    }
    return true;
}

bool Fixed(bool controller, int code) {
    if (controller)
        return std::find(std::begin(kFixedButtons), std::end(kFixedButtons), code) != std::end(kFixedButtons);
    return std::find(std::begin(kFixedKeys), std::end(kFixedKeys), code) != std::end(kFixedKeys);
}

// The engine's number for a name, -1 for none.
int CodeOf(bool controller, std::string_view name) {
    const char* const* names = controller ? kButtonNames : kKeyNames;
    const int count = controller ? int(BRISEL_BUTTON_COUNT) : int(BRISEL_KEY_COUNT);
    for (int i = 0; i < count; ++i)
        if (SameLetters(name, names[i])) return i;
    return -1;
}

constexpr int64_t kPadOf[kBoundActions] = {1, 2, 0, 3};  // shoot, reel, jump, pause

}  // namespace

const char* BindableName(bool controller, std::string_view name) {
    const int code = CodeOf(controller, name);
    if (code < 0 || Fixed(controller, code)) return nullptr;
    return controller ? kButtonNames[code] : kKeyNames[code];
}

const char* FixedBindingsNote(bool controller) {
    return controller ? "Back, the d-pad and the triggers stay as they are."
                      : "Esc, F11, Alt+Enter, M, Ctrl+Q, Enter and the arrows stay as they are.";
}

int64_t PadButtonOf(BoundAction action) { return kPadOf[action]; }

void ApplyBindings(const Settings& settings) {
    EngineTable& e = Engine();
    if (e.BindPadButton == nullptr) return;
    for (int a = 0; a < kBoundActions; ++a) {
        const std::string& key = settings.keys[size_t(a)];
        const std::string& button = settings.buttons[size_t(a)];
        e.BindPadButton(BRISEL_DEVICE_MOUSE_KEYBOARD, kPadOf[a],
                        key == kDefaultKeys[size_t(a)] ? -1 : CodeOf(false, key));
        e.BindPadButton(BRISEL_DEVICE_CONTROLLER, kPadOf[a],
                        button == kDefaultButtons[size_t(a)] ? -1 : CodeOf(true, button));
    }
}

std::string PressedName(bool controller) {
    if (controller) {
        for (int b = 0; b < BRISEL_BUTTON_COUNT; ++b)
            if (IsPressed(ControllerButtonCount(b))) return kButtonNames[b];
        return "";
    }
    for (int k = 0; k < BRISEL_KEY_COUNT; ++k)
        if (IsPressed(KeyCount(k))) return kKeyNames[k];
    return "";
}

}  // namespace grappix
