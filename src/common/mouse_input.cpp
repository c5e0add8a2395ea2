#include "common/mouse_input.hpp"

#include "frame/input.hpp"

namespace grappix {

namespace {

constexpr int64_t kLeft = 0;
constexpr int64_t kRight = 1;
constexpr int64_t kMiddle = 2;

}  // namespace

void MouseInput::Init() {}

void MouseInput::Read(ButtonFlags& b, int64_t button) {
    const int64_t k = ButtonCount(button);
    b.held = IsHeld(k);
    b.pressed = IsPressed(k);
    // Released in the one frame whose count is below last frame's; the stored count starts
    // at 0, so nothing reads as released in the first frame.
    b.released = IsReleased(k, b.count);
    b.count = k;
}

void MouseInput::Update() {
    Read(left, kLeft);
    Read(right, kRight);
    Read(middle, kMiddle);
    x = MouseX();
    y = MouseY();
}

}  // namespace grappix
