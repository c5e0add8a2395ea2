// input.cpp -- mouse and pad 0 as button counts.
//
// Every button has a set of sources that hold it (a key, the game controllers, the input
// script). A frame step counts it as down when any source holds it, or when it went down at
// any moment since the last step: a click shorter than a frame is still seen once.
#include <algorithm>
#include <cmath>
#include <iterator>

#include "engine.hpp"
#include "portable_maths.hpp"

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
constexpr uint32_t kTriggerBit = 1u << 21;     // a trigger pulled past its line
constexpr uint32_t kScriptBit = 1u << 24;      // the input script
constexpr uint32_t kMouseBit = 1u;             // the real mouse
constexpr uint32_t kKeyboardBit = 1u;          // the real keyboard, for the key counts
constexpr uint32_t kMinimisedBit = 1u;         // the window manager minimised the window
constexpr uint32_t kHiddenBit = 2u;            // ... or hid it (another workspace, unmapped)
constexpr uint32_t kUnfocusedBit = 1u;

// The key counts follow the layout (the key labelled M), unlike pad 0's key positions: they
// serve shortcuts named by their letters.
int KeyOf(SDL_Keycode k) {
    if (k >= SDLK_a && k <= SDLK_z) return BRISEL_KEY_A + int(k - SDLK_a);
    if (k >= SDLK_0 && k <= SDLK_9) return BRISEL_KEY_0 + int(k - SDLK_0);
    if (k >= SDLK_F1 && k <= SDLK_F12) return BRISEL_KEY_F1 + int(k - SDLK_F1);
    switch (k) {
    case SDLK_RETURN: return BRISEL_KEY_RETURN;
    case SDLK_KP_ENTER: return BRISEL_KEY_KP_ENTER;
    case SDLK_ESCAPE: return BRISEL_KEY_ESCAPE;
    case SDLK_SPACE: return BRISEL_KEY_SPACE;
    case SDLK_TAB: return BRISEL_KEY_TAB;
    case SDLK_BACKSPACE: return BRISEL_KEY_BACKSPACE;
    case SDLK_UP: return BRISEL_KEY_UP;
    case SDLK_DOWN: return BRISEL_KEY_DOWN;
    case SDLK_LEFT: return BRISEL_KEY_LEFT;
    case SDLK_RIGHT: return BRISEL_KEY_RIGHT;
    case SDLK_LCTRL: return BRISEL_KEY_LCTRL;
    case SDLK_RCTRL: return BRISEL_KEY_RCTRL;
    case SDLK_LSHIFT: return BRISEL_KEY_LSHIFT;
    case SDLK_RSHIFT: return BRISEL_KEY_RSHIFT;
    case SDLK_LALT: return BRISEL_KEY_LALT;
    case SDLK_RALT: return BRISEL_KEY_RALT;
    case SDLK_HOME: return BRISEL_KEY_HOME;
    case SDLK_END: return BRISEL_KEY_END;
    case SDLK_PAGEUP: return BRISEL_KEY_PAGEUP;
    case SDLK_PAGEDOWN: return BRISEL_KEY_PAGEDOWN;
    case SDLK_INSERT: return BRISEL_KEY_INSERT;
    case SDLK_DELETE: return BRISEL_KEY_DELETE;
    default: return -1;
    }
}

// F11, and Return with Alt held, toggle fullscreen: they belong to the engine, not the game.
bool TogglesFullscreen(int key, const InputState& in) {
    bool alt = in.key[BRISEL_KEY_LALT].heldBy != 0 || in.key[BRISEL_KEY_RALT].heldBy != 0;
    return key == BRISEL_KEY_F11 || ((key == BRISEL_KEY_RETURN || key == BRISEL_KEY_KP_ENTER) && alt);
}

// A controller's button as BRISEL_BUTTON_*, or -1 for one the game does not read.
int ButtonOf(uint8_t controllerButton) {
    switch (controllerButton) {
    case SDL_CONTROLLER_BUTTON_A: return BRISEL_BUTTON_A;
    case SDL_CONTROLLER_BUTTON_B: return BRISEL_BUTTON_B;
    case SDL_CONTROLLER_BUTTON_X: return BRISEL_BUTTON_X;
    case SDL_CONTROLLER_BUTTON_Y: return BRISEL_BUTTON_Y;
    case SDL_CONTROLLER_BUTTON_BACK: return BRISEL_BUTTON_BACK;
    case SDL_CONTROLLER_BUTTON_START: return BRISEL_BUTTON_START;
    case SDL_CONTROLLER_BUTTON_LEFTSTICK: return BRISEL_BUTTON_LEFTSTICK;
    case SDL_CONTROLLER_BUTTON_RIGHTSTICK: return BRISEL_BUTTON_RIGHTSTICK;
    case SDL_CONTROLLER_BUTTON_LEFTSHOULDER: return BRISEL_BUTTON_LEFTSHOULDER;
    case SDL_CONTROLLER_BUTTON_RIGHTSHOULDER: return BRISEL_BUTTON_RIGHTSHOULDER;
    case SDL_CONTROLLER_BUTTON_DPAD_UP: return BRISEL_BUTTON_DPAD_UP;
    case SDL_CONTROLLER_BUTTON_DPAD_DOWN: return BRISEL_BUTTON_DPAD_DOWN;
    case SDL_CONTROLLER_BUTTON_DPAD_LEFT: return BRISEL_BUTTON_DPAD_LEFT;
    case SDL_CONTROLLER_BUTTON_DPAD_RIGHT: return BRISEL_BUTTON_DPAD_RIGHT;
    default: return -1;
    }
}

// The pad button a controller button holds when nothing is bound, or -1.
int DefaultPadButton(int button) {
    switch (button) {
    case BRISEL_BUTTON_A: return 0;
    case BRISEL_BUTTON_X: return 1;
    case BRISEL_BUTTON_B: return 2;
    case BRISEL_BUTTON_START: return 3;
    case BRISEL_BUTTON_BACK: return 4;
    case BRISEL_BUTTON_DPAD_UP: return 12;
    case BRISEL_BUTTON_DPAD_DOWN: return 13;
    case BRISEL_BUTTON_DPAD_LEFT: return 14;
    case BRISEL_BUTTON_DPAD_RIGHT: return 15;
    default: return -1;
    }
}

// The pad buttons a controller button holds under the bindings in force: those bound to it,
// and its own unless that one is bound elsewhere or it is bound itself (Back and the d-pad
// always keep their own).
uint32_t PadMaskOf(const InputState& in, int button) {
    uint32_t mask = 0;
    for (int p = 0; p < 4; ++p)
        if (in.buttonBound[p] == button) mask |= 1u << p;
    const int own = DefaultPadButton(button);
    if (own >= 4 || (own >= 0 && mask == 0 && in.buttonBound[own] < 0)) mask |= 1u << own;
    return mask;
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

constexpr int kModifierKeys[] = {BRISEL_KEY_LCTRL,  BRISEL_KEY_RCTRL, BRISEL_KEY_LSHIFT,
                                 BRISEL_KEY_RSHIFT, BRISEL_KEY_LALT,  BRISEL_KEY_RALT};

// A key going down or up. A modifier that is down when another key goes down counts as held
// in that frame step even if it comes up before the step ends: Ctrl+Q typed quickly (Ctrl let
// go a moment after Q went down) is still Ctrl+Q to the game, which reads counts per step.
void HoldKey(InputState& in, int key, uint32_t source, bool down) {
    if (down && std::find(std::begin(kModifierKeys), std::end(kModifierKeys), key) == std::end(kModifierKeys))
        for (int m : kModifierKeys)
            if (in.key[m].heldBy != 0) in.key[m].latched = true;
    Hold(in.key[key], source, down);
}

// The controllers' share of every pad button and controller button, from the per-controller
// masks of the buttons held and the bindings in force.
void UpdateControllerBits(InputState& in) {
    uint32_t any = 0;
    for (auto& [id, mask] : in.controllerHeld) any |= mask;
    uint32_t pads = 0;
    for (int c = 0; c < BRISEL_BUTTON_COUNT; ++c) {
        const bool held = (any & (1u << c)) != 0;
        if (held) pads |= PadMaskOf(in, c);
        in.button[c].heldBy =
            held ? (in.button[c].heldBy | kControllerBit) : (in.button[c].heldBy & ~kControllerBit);
    }
    for (int b = 0; b < kPadButtons; ++b) {
        if (pads & (1u << b))
            in.pad[b].heldBy |= kControllerBit;
        else
            in.pad[b].heldBy &= ~kControllerBit;
    }
}

// A key bound with BindPadButton holds its pad button with its own source bit, after the nine
// of the default table.
constexpr uint32_t kBoundKeyBit = 1u << 9;

// Whether a key of the default table holds its pad button under the bindings in force:
// Escape always; another not when its pad button is bound to a key, nor when the key labelled
// as the key pressed is bound itself.
bool DefaultKeyHolds(const InputState& in, int entry, int label) {
    if (kKeys[entry].key == SDL_SCANCODE_ESCAPE) return true;
    const int b = kKeys[entry].button;
    if (b < 4 && in.keyBound[b] >= 0) return false;
    for (int p = 0; p < 4; ++p)
        if (label >= 0 && in.keyBound[p] == label) return false;
    return true;
}

// A controller's axis as SDL numbers it, or -1 for one the game does not read.
int AxisOf(uint8_t controllerAxis) {
    switch (controllerAxis) {
    case SDL_CONTROLLER_AXIS_LEFTX: return BRISEL_AXIS_LEFTX;
    case SDL_CONTROLLER_AXIS_LEFTY: return BRISEL_AXIS_LEFTY;
    case SDL_CONTROLLER_AXIS_RIGHTX: return BRISEL_AXIS_RIGHTX;
    case SDL_CONTROLLER_AXIS_RIGHTY: return BRISEL_AXIS_RIGHTY;
    case SDL_CONTROLLER_AXIS_TRIGGERLEFT: return BRISEL_AXIS_LEFTTRIGGER;
    case SDL_CONTROLLER_AXIS_TRIGGERRIGHT: return BRISEL_AXIS_RIGHTTRIGGER;
    default: return -1;
    }
}

// SDL's axis values as -1..1 (its range is one longer on the negative side).
double Unit(int16_t raw) { return std::clamp(double(raw) / 32767.0, -1.0, 1.0); }

// One controller's axes as the game would see them: dead zones applied.
std::array<double, BRISEL_AXIS_COUNT> Processed(const std::array<int16_t, BRISEL_AXIS_COUNT>& raw) {
    std::array<double, BRISEL_AXIS_COUNT> v{};
    for (int a = 0; a < BRISEL_AXIS_COUNT; ++a) v[a] = Unit(raw[a]);
    ApplyStickDeadZone(v[BRISEL_AXIS_LEFTX], v[BRISEL_AXIS_LEFTY]);
    ApplyStickDeadZone(v[BRISEL_AXIS_RIGHTX], v[BRISEL_AXIS_RIGHTY]);
    v[BRISEL_AXIS_LEFTTRIGGER] = ApplyTriggerDeadZone(v[BRISEL_AXIS_LEFTTRIGGER]);
    v[BRISEL_AXIS_RIGHTTRIGGER] = ApplyTriggerDeadZone(v[BRISEL_AXIS_RIGHTTRIGGER]);
    return v;
}

// The axes of every controller together: each stick from the controller pushing it furthest
// (both of its axes from that one), each trigger the furthest pulled.
void CombineControllerAxes(const InputState& in, double out[BRISEL_AXIS_COUNT]) {
    for (int a = 0; a < BRISEL_AXIS_COUNT; ++a) out[a] = 0;
    double reach[2] = {0, 0};
    for (const auto& [id, raw] : in.controllerAxes) {
        const auto v = Processed(raw);
        for (int stick = 0; stick < 2; ++stick) {
            const int ax = stick == 0 ? BRISEL_AXIS_LEFTX : BRISEL_AXIS_RIGHTX;
            const double r = portable::Hypot(v[ax], v[ax + 1]);
            if (r > reach[stick]) {
                reach[stick] = r;
                out[ax] = v[ax];
                out[ax + 1] = v[ax + 1];
            }
        }
        for (int t : {BRISEL_AXIS_LEFTTRIGGER, BRISEL_AXIS_RIGHTTRIGGER}) out[t] = std::max(out[t], v[t]);
    }
}

// A trigger holds its pad button past kTriggerPress and lets go below kTriggerRelease.
void UpdateTriggerButtons(InputState& in) {
    const int axes[2] = {BRISEL_AXIS_LEFTTRIGGER, BRISEL_AXIS_RIGHTTRIGGER};
    const int buttons[2] = {kLeftTriggerButton, kRightTriggerButton};
    for (int t = 0; t < 2; ++t) {
        const double pull = in.axis[axes[t]];
        bool& holds = in.triggerHolds[t];
        if (holds && pull < kTriggerRelease)
            holds = false;
        else if (!holds && pull >= kTriggerPress)
            holds = true;
        for (ButtonState* b :
             {&in.pad[buttons[t]], &in.button[t == 0 ? BRISEL_BUTTON_LT : BRISEL_BUTTON_RT]}) {
            if (holds && (b->heldBy & kTriggerBit) == 0) b->latched = true;
            b->heldBy = holds ? (b->heldBy | kTriggerBit) : (b->heldBy & ~kTriggerBit);
        }
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
    in.controllerAxes[id] = {};
}

void CloseController(InputState& in, SDL_JoystickID id) {
    auto it = in.controllers.find(id);
    if (it == in.controllers.end()) return;
    SDL_GameControllerClose(it->second);
    in.controllers.erase(it);
    in.controllerHeld.erase(id);
    in.controllerAxes.erase(id);  // its sticks and triggers come back to rest
    UpdateControllerBits(in);     // buttons held on an unplugged pad come up
}

}  // namespace

namespace brisel {

void ApplyStickDeadZone(double& x, double& y) {
    const double r = portable::Hypot(x, y);
    if (!(r > kStickDeadZone)) {  // NaN too
        x = y = 0;
        return;
    }
    // Along the same direction, stretched so the zone's edge is 0 and the rim 1.
    const double scaled = std::min(1.0, (r - kStickDeadZone) / (1 - kStickDeadZone));
    x = std::clamp(x / r * scaled, -1.0, 1.0);
    y = std::clamp(y / r * scaled, -1.0, 1.0);
}

double ApplyTriggerDeadZone(double pull) {
    if (!(pull > kTriggerDeadZone)) return 0;
    return std::min(1.0, (pull - kTriggerDeadZone) / (1 - kTriggerDeadZone));
}

void HandleInputEvent(InputState& in, const SDL_Event& e) {
    switch (e.type) {
    case SDL_KEYDOWN:
    case SDL_KEYUP: {
        if (e.key.repeat) break;
        if (e.type == SDL_KEYDOWN) in.device = BRISEL_DEVICE_MOUSE_KEYBOARD;
        int key = KeyOf(e.key.keysym.sym);
        for (int i = 0; i < kKeyCount; ++i)
            if (kKeys[i].key == e.key.keysym.scancode && DefaultKeyHolds(in, i, key))
                Hold(in.pad[kKeys[i].button], 1u << i, e.type == SDL_KEYDOWN);
        for (int p = 0; p < 4; ++p)
            if (key >= 0 && in.keyBound[p] == key) Hold(in.pad[p], kBoundKeyBit << p, e.type == SDL_KEYDOWN);
        if (key >= 0) HoldKey(in, key, kKeyboardBit, e.type == SDL_KEYDOWN);
        break;
    }
    case SDL_WINDOWEVENT:
        switch (e.window.event) {
        case SDL_WINDOWEVENT_FOCUS_LOST:
            ReleaseAllKeys(in);
            Hold(in.window[BRISEL_WINDOW_UNFOCUSED], kUnfocusedBit, true);
            break;
        case SDL_WINDOWEVENT_FOCUS_GAINED:
            Hold(in.window[BRISEL_WINDOW_UNFOCUSED], kUnfocusedBit, false);
            break;
        case SDL_WINDOWEVENT_MINIMIZED: Hold(in.window[BRISEL_WINDOW_MINIMISED], kMinimisedBit, true); break;
        case SDL_WINDOWEVENT_RESTORED:
        case SDL_WINDOWEVENT_MAXIMIZED: Hold(in.window[BRISEL_WINDOW_MINIMISED], kMinimisedBit, false); break;
        case SDL_WINDOWEVENT_HIDDEN: Hold(in.window[BRISEL_WINDOW_MINIMISED], kHiddenBit, true); break;
        case SDL_WINDOWEVENT_SHOWN: Hold(in.window[BRISEL_WINDOW_MINIMISED], kHiddenBit, false); break;
        default: break;
        }
        break;
    case SDL_MOUSEMOTION:
        in.mouseX = e.motion.x;
        in.mouseY = e.motion.y;
        in.device = BRISEL_DEVICE_MOUSE_KEYBOARD;
        break;
    case SDL_MOUSEWHEEL: {
        const int64_t notches = e.wheel.direction == SDL_MOUSEWHEEL_FLIPPED ? -e.wheel.y : e.wheel.y;
        if (notches != 0) {
            in.wheelPending += notches;
            in.device = BRISEL_DEVICE_MOUSE_KEYBOARD;
        }
        break;
    }
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP: {
        in.mouseX = e.button.x;
        in.mouseY = e.button.y;
        int b = MouseButtonOf(e.button.button);
        if (e.type == SDL_MOUSEBUTTONDOWN) in.device = BRISEL_DEVICE_MOUSE_KEYBOARD;
        if (b >= 0) Hold(in.mouse[b], kMouseBit, e.type == SDL_MOUSEBUTTONDOWN);
        break;
    }
    case SDL_CONTROLLERBUTTONDOWN:
    case SDL_CONTROLLERBUTTONUP: {
        int b = ButtonOf(e.cbutton.button);
        auto it = in.controllerHeld.find(e.cbutton.which);
        if (b < 0 || it == in.controllerHeld.end()) break;
        if (e.type == SDL_CONTROLLERBUTTONDOWN) {
            in.device = BRISEL_DEVICE_CONTROLLER;
            it->second |= 1u << b;
            in.button[b].latched = true;
            const uint32_t pads = PadMaskOf(in, b);
            for (int p = 0; p < kPadButtons; ++p)
                if (pads & (1u << p)) in.pad[p].latched = true;
        } else {
            it->second &= ~(1u << b);
        }
        UpdateControllerBits(in);
        break;
    }
    case SDL_CONTROLLERAXISMOTION: {
        int a = AxisOf(e.caxis.axis);
        auto it = in.controllerAxes.find(e.caxis.which);
        if (a < 0 || it == in.controllerAxes.end()) break;
        it->second[a] = e.caxis.value;
        // Pushed past its dead zone, the stick or trigger is the player's hand on the controller;
        // a stick drifting inside it is not.
        const auto v = Processed(it->second);
        const int first = a < BRISEL_AXIS_LEFTTRIGGER ? a & ~1 : a;
        const int last = a < BRISEL_AXIS_LEFTTRIGGER ? first + 1 : a;
        for (int k = first; k <= last; ++k)
            if (v[k] != 0) in.device = BRISEL_DEVICE_CONTROLLER;
        break;
    }
    case SDL_CONTROLLERDEVICEADDED: OpenController(in, e.cdevice.which); break;
    case SDL_CONTROLLERDEVICEREMOVED: CloseController(in, e.cdevice.which); break;
    default: break;
    }
}

ScriptStep ApplyScriptEvents(InputState& in, int64_t step, bool keysToggle) {
    using Type = ScriptEvent::Type;
    using Source = ScriptEvent::Source;
    using Change = ScriptEvent::Change;
    ScriptStep out;
    while (in.scriptNext < in.script.size() && in.script[in.scriptNext].step <= step) {
        const ScriptEvent& ev = in.script[in.scriptNext++];
        switch (ev.type) {
        case Type::Mouse:
            in.mouseX = ev.x;
            in.mouseY = ev.y;
            in.device = BRISEL_DEVICE_MOUSE_KEYBOARD;
            break;
        case Type::Down:
        case Type::Up: {
            const bool down = ev.type == Type::Down;
            // As with the real devices: a key or a mouse button pressed is the mouse and
            // keyboard in hand. A pad line may be either, so it leaves the device as it was.
            if (down && ev.source != Source::Pad)
                in.device =
                    ev.source == Source::Button ? BRISEL_DEVICE_CONTROLLER : BRISEL_DEVICE_MOUSE_KEYBOARD;
            if (keysToggle && ev.source == Source::Key && down && TogglesFullscreen(ev.button, in)) {
                ++out.fullscreenToggles;
                break;
            }
            if (ev.source == Source::Key)
                HoldKey(in, ev.button, kScriptBit, down);
            else if (ev.source == Source::Button)
                Hold(in.button[ev.button], kScriptBit, down);
            else
                Hold(ev.source == Source::Mouse ? in.mouse[ev.button] : in.pad[ev.button], kScriptBit, down);
            break;
        }
        case Type::Window: {
            const bool unfocus = ev.change == Change::FocusLost || ev.change == Change::FocusGained;
            ButtonState& b = in.window[unfocus ? BRISEL_WINDOW_UNFOCUSED : BRISEL_WINDOW_MINIMISED];
            Hold(b, kScriptBit, ev.change == Change::FocusLost || ev.change == Change::Minimised);
            break;
        }
        case Type::Axis:
            in.scriptAxis[ev.button] = ev.x;
            if (ev.x != 0) in.device = BRISEL_DEVICE_CONTROLLER;
            break;
        case Type::Device: in.device = ev.button; break;
        case Type::Wheel:
            in.wheelPending += ev.button;
            in.device = BRISEL_DEVICE_MOUSE_KEYBOARD;
            break;
        case Type::Quit: out.quit = true; break;
        case Type::Fullscreen: out.fullscreenSet = ev.on ? 1 : 0; break;
        }
    }
    return out;
}

void RefreshCounts(InputState& in) {
    if (in.scripted)
        std::copy(std::begin(in.scriptAxis), std::end(in.scriptAxis), std::begin(in.axis));
    else
        CombineControllerAxes(in, in.axis);
    UpdateTriggerButtons(in);
    in.deviceSeen = in.device;
    in.wheel = std::clamp<int64_t>(in.wheelPending, -1000, 1000);
    in.wheelPending = 0;
    for (ButtonState& b : in.pad) b.Refresh();
    for (ButtonState& b : in.mouse) b.Refresh();
    for (ButtonState& b : in.key) b.Refresh();
    for (ButtonState& b : in.button) b.Refresh();
    for (ButtonState& b : in.window) b.Refresh();
}

void ReleaseAllKeys(InputState& in) {
    uint32_t keyBits = ((1u << kKeyCount) - 1) | (kBoundKeyBit * 15u);
    for (ButtonState& b : in.pad) b.heldBy &= ~keyBits;
    for (ButtonState& b : in.mouse) b.heldBy &= ~kMouseBit;
    for (ButtonState& b : in.key) b.heldBy &= ~kKeyboardBit;
}

void CloseControllers(InputState& in) {
    for (auto& [id, pad] : in.controllers) SDL_GameControllerClose(pad);
    in.controllers.clear();
    in.controllerHeld.clear();
    in.controllerAxes.clear();
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

int64_t Key(int64_t key) {
    BRISEL_ENTRY;
    if (key < 0 || key >= BRISEL_KEY_COUNT) return 0;
    return E().input.key[key].count;
}

int64_t ControllerButton(int64_t button) {
    BRISEL_ENTRY;
    if (button < 0 || button >= BRISEL_BUTTON_COUNT) return 0;
    return E().input.button[button].count;
}

void BindPadButton(int64_t device, int64_t button, int64_t code) {
    BRISEL_ENTRY;
    if (button < 0 || button >= 4) return;
    InputState& in = E().input;
    if (device == BRISEL_DEVICE_MOUSE_KEYBOARD && code >= -1 && code < BRISEL_KEY_COUNT) {
        in.keyBound[button] = int(code);
        // Keys held now let go of what they held: the next press counts under the new keys.
        const uint32_t keyBits = ((1u << kKeyCount) - 1) | (kBoundKeyBit * 15u);
        for (ButtonState& b : in.pad) b.heldBy &= ~keyBits;
    } else if (device == BRISEL_DEVICE_CONTROLLER && code >= -1 && code < BRISEL_BUTTON_COUNT &&
               code != BRISEL_BUTTON_LT && code != BRISEL_BUTTON_RT) {
        in.buttonBound[button] = int(code);
        UpdateControllerBits(in);
    }
}

int64_t WindowState(int64_t which) {
    BRISEL_ENTRY;
    if (which < 0 || which >= kWindowStates) return 0;
    return E().input.window[which].count;
}

double MouseX(void) {
    BRISEL_ENTRY;
    return E().input.mouseX;
}

double MouseY(void) {
    BRISEL_ENTRY;
    return E().input.mouseY;
}

double PadAxis(int64_t axis) {
    BRISEL_ENTRY;
    if (axis < 0 || axis >= BRISEL_AXIS_COUNT) return 0;
    return E().input.axis[axis];
}

int64_t MouseWheel(void) {
    BRISEL_ENTRY;
    return E().input.wheel;
}

int64_t LastDevice(void) {
    BRISEL_ENTRY;
    return E().input.deviceSeen;
}

void Rumble(double strength, int64_t milliseconds) {
    BRISEL_ENTRY;
    if (!(strength > 0) || milliseconds <= 0) return;  // NaN asks for nothing too
    const Uint16 level = Uint16(std::lround(std::min(strength, 1.0) * 0xFFFF));
    const Uint32 ms = Uint32(std::min<int64_t>(milliseconds, 2000));
    // A controller without a motor refuses; that is not the game's concern.
    for (auto& [id, pad] : E().input.controllers) SDL_GameControllerRumble(pad, level, level, ms);
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
