#include "common/button.hpp"

#include "frame/media.hpp"

namespace grappix {

namespace {

void Fill(double x, double y, double w, double h, const Button::Color& c) {
    DrawRect(x, y, w, h, c[0], c[1], c[2], c[3]);
}

}  // namespace

void Button::InitColors() {
    normalColor = {0.0, 0.0, 1.0, 0.5};
    hoverColor = {0.3, 0.3, 1.0, 0.5};
}

void Button::SetRect(double nx, double ny, double nw, double nh) {
    x = nx;
    y = ny;
    w = nw;
    h = nh;
    border = nh * 0.1;
}

void Button::SetColors(double r1, double g1, double b1, double a1, double r2, double g2, double b2,
                       double a2) {
    normalColor = {r1, g1, b1, a1};
    hoverColor = {r2, g2, b2, a2};
}

bool Button::Contains(double px, double py) const { return px >= x && px <= x + w && py >= y && py <= y + h; }

void Button::UpdateHover(double px, double py) {
    state = Contains(px, py) ? ButtonState::Hover : ButtonState::Normal;
}

void Button::Draw() const {
    const double t = border;
    // The bars overlap at the corners, so a translucent frame has denser corners; the inside
    // does not overlap them.
    Fill(x, y, w, t, normalColor);
    Fill(x, y, t, h, normalColor);
    Fill(x, y + h - t, w, t, normalColor);
    Fill(x + w - t, y, t, h, normalColor);
    Fill(x + t, y + t, w - 2 * t, h - 2 * t, state == ButtonState::Hover ? hoverColor : normalColor);
}

}  // namespace grappix
