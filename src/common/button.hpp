// A clickable menu panel: a screen rectangle drawn as a translucent frame whose inside lights
// up while the mouse is over it. The scene draws the caption over it and decides what a
// click does.
#pragma once

#include <array>
#include <cstdint>

namespace grappix {

enum class ButtonState : int64_t {
    Normal = 0,
    Hover = 1,  // the mouse is over the button: its inside lights up
};

class Button {
public:
    using Color = std::array<double, 4>;  // r, g, b, a in 0..1

    void InitColors();                                     // blue frame, lighter blue on hover
    void SetRect(double x, double y, double w, double h);  // the frame is a tenth of h thick
    void SetColors(double r1, double g1, double b1, double a1, double r2, double g2, double b2,
                   double a2);                  // normal, then hover
    bool Contains(double px, double py) const;  // edges count as inside
    void UpdateHover(double px, double py);     // hovered while the point is inside
    void Draw() const;                          // four bars, then the inside

    double GetX() const { return x; }
    double GetY() const { return y; }
    double GetW() const { return w; }
    double GetH() const { return h; }
    double GetBorder() const { return border; }
    ButtonState GetState() const { return state; }
    const Color& GetNormalColor() const { return normalColor; }
    const Color& GetHoverColor() const { return hoverColor; }

private:
    double x = 0, y = 0;
    double w = 0, h = 0;
    double border = 0;
    ButtonState state = ButtonState::Normal;
    Color normalColor{};
    Color hoverColor{};
};

}  // namespace grappix
