// The mouse, read once a frame: for each of the three buttons whether it is held, was
// pressed this frame or released this frame, and where the cursor is. Scenes read these
// flags instead of the engine, so every test within one frame sees the same state.
#pragma once

#include <cstdint>

namespace grappix {

class MouseInput {
public:
    void Init();    // nothing to do: a fresh reader has every flag false
    void Update();  // once a frame, right after the frame step

    bool LeftHeld() const { return left.held; }
    bool LeftReleased() const { return left.released; }
    bool LeftPressed() const { return left.pressed; }
    bool RightHeld() const { return right.held; }
    bool RightReleased() const { return right.released; }
    bool RightPressed() const { return right.pressed; }
    bool MiddleHeld() const { return middle.held; }
    bool MiddleReleased() const { return middle.released; }
    bool MiddlePressed() const { return middle.pressed; }
    double GetX() const { return x; }  // cursor, screen pixels
    double GetY() const { return y; }

private:
    struct ButtonFlags {
        bool held = false;
        bool pressed = false;
        bool released = false;
        int64_t count = 0;  // the count read last frame
    };
    static void Read(ButtonFlags& b, int64_t button);

    double x = 0, y = 0;
    ButtonFlags left;
    ButtonFlags right;
    ButtonFlags middle;
};

}  // namespace grappix
