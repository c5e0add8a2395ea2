// input.cpp -- mouse and pad 0 as button counts.
//
// Every button has a set of sources that hold it (a key, the game controllers, the input
// script). A frame step counts it as down when any source holds it, or when it went down at
// any moment since the last step: a click shorter than a frame is still seen once.
#include "engine.hpp"

using namespace brisel;

namespace {

// Pad 0 on the keyboard: physical key positions, so Z and X sit side by side on any layout.
struct KeyBinding {
    SDL_Scancode key;
    int button;
};
constexpr KeyBinding kKeys[] = {
    {SDL_SCANCODE_SPACE, 0},   // jump
    {SDL_SCANCODE_Z, 1},       // shoot at the cursor
    {SDL_SCANCODE_X, 2},       // reel in
    {SDL_SCANCODE_ESCAPE, 3},  // pause and resume
    {SDL_SCANCODE_P, 3},      {SDL_SCANCODE_UP, 12},    {SDL_SCANCODE_DOWN, 13},
    {SDL_SCANCODE_LEFT, 14},  {SDL_SCANCODE_RIGHT, 15},
};
constexpr int kKeyCount = int(sizeof kKeys / sizeof kKeys[0]);

constexpr uint32_t kControllerBit = 1u << 20;  // any game controller
constexpr uint32_t kScriptBit = 1u << 24;      // the input script
constexpr uint32_t kMouseBit = 1u;             // the real mouse

int PadButtonOf(uint8_t controllerButton) {
    switch (controllerButton) {
    case SDL_CONTROLLER_BUTTON_A: return 0;
    case SDL_CONTROLLER_BUTTON_X: return 1;
    case SDL_CONTROLLER_BUTTON_B: return 2;
    case SDL_CONTROLLER_BUTTON_START: return 3;
    case SDL_CONTROLLER_BUTTON_DPAD_UP: return 12;
    case SDL_CONTROLLER_BUTTON_DPAD_DOWN: return 13;
    case SDL_CONTROLLER_BUTTON_DPAD_LEFT: return 14;
    case SDL_CONTROLLER_BUTTON_DPAD_RIGHT: return 15;
    default: return -1;
    }
}

int MouseButtonOf(uint8_t sdlButton) {
    switch (sdlButton) {
    case SDL_BUTTON_LEFT: return 0;
    case SDL_BUTTON_RIGHT: return 1;
    case SDL_BUTTON_MIDDLE: return 2;
    default: return -1;
    }
}

void Hold(ButtonState& b, uint32_t source, bool down) {
    if (down) {
        b.heldBy |= source;
        b.latched = true;
    } else {
        b.heldBy &= ~source;
    }
}

// The controllers' share of every pad button, from the per-controller masks.
void UpdateControllerBits(InputState& in) {
    uint32_t any = 0;
    for (auto& [id, mask] : in.controllerHeld) any |= mask;
    for (int b = 0; b < kPadButtons; ++b) {
        if (any & (1u << b))
            in.pad[b].heldBy |= kControllerBit;
        else
            in.pad[b].heldBy &= ~kControllerBit;
    }
}

void OpenController(InputState& in, int deviceIndex) {
    if (!SDL_IsGameController(deviceIndex)) return;
    SDL_JoystickID id = SDL_JoystickGetDeviceInstanceID(deviceIndex);
    if (in.controllers.count(id) != 0) return;  // reported at start-up and again: keep one
    SDL_GameController* pad = SDL_GameControllerOpen(deviceIndex);
    if (pad == nullptr) return;
    in.controllers[id] = pad;
    in.controllerHeld[id] = 0;
}

void CloseController(InputState& in, SDL_JoystickID id) {
    auto it = in.controllers.find(id);
    if (it == in.controllers.end()) return;
    SDL_GameControllerClose(it->second);
    in.controllers.erase(it);
    in.controllerHeld.erase(id);
    UpdateControllerBits(in);  // buttons held on an unplugged pad come up
}

}  // namespace

namespace brisel {

void HandleInputEvent(InputState& in, const SDL_Event& e) {
    switch (e.type) {
    case SDL_KEYDOWN:
    case SDL_KEYUP:
        if (e.key.repeat) break;
        for (int i = 0; i < kKeyCount; ++i)
            if (kKeys[i].key == e.key.keysym.scancode)
                Hold(in.pad[kKeys[i].button], 1u << i, e.type == SDL_KEYDOWN);
        break;
    case SDL_MOUSEMOTION:
        in.mouseX = e.motion.x;
        in.mouseY = e.motion.y;
        break;
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP: {
        in.mouseX = e.button.x;
        in.mouseY = e.button.y;
        int b = MouseButtonOf(e.button.button);
        if (b >= 0) Hold(in.mouse[b], kMouseBit, e.type == SDL_MOUSEBUTTONDOWN);
        break;
    }
    case SDL_CONTROLLERBUTTONDOWN:
    case SDL_CONTROLLERBUTTONUP: {
        int b = PadButtonOf(e.cbutton.button);
        auto it = in.controllerHeld.find(e.cbutton.which);
        if (b < 0 || it == in.controllerHeld.end()) break;
        if (e.type == SDL_CONTROLLERBUTTONDOWN) {
            it->second |= 1u << b;
            in.pad[b].latched = true;
        } else {
            it->second &= ~(1u << b);
        }
        UpdateControllerBits(in);
        break;
    }
    case SDL_CONTROLLERDEVICEADDED: OpenController(in, e.cdevice.which); break;
    case SDL_CONTROLLERDEVICEREMOVED: CloseController(in, e.cdevice.which); break;
    default: break;
    }
}

void ApplyScriptEvents(InputState& in, int64_t step, bool& quit) {
    while (in.scriptNext < in.script.size() && in.script[in.scriptNext].step <= step) {
        const ScriptEvent& ev = in.script[in.scriptNext++];
        switch (ev.type) {
        case ScriptEvent::Type::Mouse:
            in.mouseX = ev.x;
            in.mouseY = ev.y;
            break;
        case ScriptEvent::Type::Down:
        case ScriptEvent::Type::Up: {
            ButtonState& b = ev.mouseButton ? in.mouse[ev.button] : in.pad[ev.button];
            Hold(b, kScriptBit, ev.type == ScriptEvent::Type::Down);
            break;
        }
        case ScriptEvent::Type::Quit: quit = true; break;
        }
    }
}

void RefreshCounts(InputState& in) {
    for (ButtonState& b : in.pad) b.Refresh();
    for (ButtonState& b : in.mouse) b.Refresh();
}

void ReleaseAllKeys(InputState& in) {
    uint32_t keyBits = (1u << kKeyCount) - 1;
    for (ButtonState& b : in.pad) b.heldBy &= ~keyBits;
    for (ButtonState& b : in.mouse) b.heldBy &= ~kMouseBit;
}

void CloseControllers(InputState& in) {
    for (auto& [id, pad] : in.controllers) SDL_GameControllerClose(pad);
    in.controllers.clear();
    in.controllerHeld.clear();
}

}  // namespace brisel

extern "C" {

int64_t Pad(int64_t pad, int64_t button) {
    BRISEL_ENTRY;
    // Only pad 0 exists; asking about another pad or button finds nothing held.
    if (pad != 0 || button < 0 || button >= kPadButtons) return 0;
    return E().input.pad[button].count;
}

int64_t Mouse(int64_t button) {
    BRISEL_ENTRY;
    if (button < 0 || button >= kMouseButtons) return 0;
    return E().input.mouse[button].count;
}

double MouseX(void) {
    BRISEL_ENTRY;
    return E().input.mouseX;
}

double MouseY(void) {
    BRISEL_ENTRY;
    return E().input.mouseY;
}

void SetPadCfg(int64_t, const void*, int64_t) {
    BRISEL_ENTRY;
    RaiseNotProvided("SetPadCfg");
}

int64_t GetPadCfg(int64_t, void*, int64_t) {
    BRISEL_ENTRY;
    RaiseNotProvided("GetPadCfg");
}

void LockPadCfg(int64_t, bool) {
    BRISEL_ENTRY;
    RaiseNotProvided("LockPadCfg");
}

void SetPadKey(int64_t, int64_t, int64_t) {
    BRISEL_ENTRY;
    RaiseNotProvided("SetPadKey");
}

}  // extern "C"
