// A mutable 2D vector of doubles: a position, velocity or direction in pixels.
#pragma once

namespace grappix {

class Vec2 {
public:
    Vec2() = default;
    Vec2(double nx, double ny) : x(nx), y(ny) {}

    void Set(double nx, double ny);  // x := nx; y := ny
    void Add(double dx, double dy);  // x += dx; y += dy
    void SetX(double v);
    void SetY(double v);
    void AddX(double d);
    void AddY(double d);
    void Mul(double k);  // both components by k
    void Normalize();    // to length 1; a zero vector stays zero

    double GetX() const { return x; }
    double GetY() const { return y; }
    double Len() const;    // length, through the engine's Sqrt
    double LenSq() const;  // squared length

private:
    double x = 0.0;
    double y = 0.0;
};

// A new vector: v scaled to length 1 (zero stays zero); v is left unchanged.
Vec2 Normalized(const Vec2& v);

}  // namespace grappix
