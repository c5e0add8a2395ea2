// The scene's view position: the world point shown at the screen's top-left corner
// (screen = world - view).
#pragma once

#include "common/vec2.hpp"

namespace grappix {

class Camera {
public:
    void Init(double x, double y);    // once, after creation
    void SetPos(double x, double y);  // whenever the view moves
    double GetX() const { return pos.GetX(); }
    double GetY() const { return pos.GetY(); }

private:
    Vec2 pos;
};

}  // namespace grappix
