#include "frame/input.hpp"

#include "frame/engine.hpp"

namespace grappix {

int64_t ButtonCount(int64_t button) { return Engine().Mouse(button); }
int64_t PadCount(int64_t pad, int64_t button) { return Engine().Pad(pad, button); }
int64_t KeyCount(int64_t key) { return Engine().Key != nullptr ? Engine().Key(key) : 0; }
int64_t ControllerButtonCount(int64_t button) {
    return Engine().ControllerButton != nullptr ? Engine().ControllerButton(button) : 0;
}
int64_t WindowStateCount(int64_t which) {
    return Engine().WindowState != nullptr ? Engine().WindowState(which) : 0;
}
double PadAxisValue(int64_t axis) { return Engine().PadAxis != nullptr ? Engine().PadAxis(axis) : 0.0; }
bool ControllerInUse() {
    return Engine().LastDevice != nullptr && Engine().LastDevice() == BRISEL_DEVICE_CONTROLLER;
}
void RumblePads(double strength, int64_t milliseconds) {
    if (Engine().Rumble != nullptr) Engine().Rumble(strength, milliseconds);
}
int64_t WheelSteps() { return Engine().MouseWheel != nullptr ? Engine().MouseWheel() : 0; }
double MouseX() { return Engine().MouseX(); }
double MouseY() { return Engine().MouseY(); }

}  // namespace grappix
