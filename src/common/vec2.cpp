#include "common/vec2.hpp"

#include "frame/maths.hpp"

namespace grappix {

namespace {

// The factor that brings a vector of this length to length 1. A zero vector has no
// direction: it is left at zero rather than divided by zero.
double UnitFactor(double len) { return len > 0.0 ? 1.0 / len : len; }

}  // namespace

void Vec2::Set(double nx, double ny) {
    x = nx;
    y = ny;
}

void Vec2::Add(double dx, double dy) {
    x += dx;
    y += dy;
}

void Vec2::SetX(double v) { x = v; }
void Vec2::SetY(double v) { y = v; }
void Vec2::AddX(double d) { x += d; }
void Vec2::AddY(double d) { y += d; }

void Vec2::Mul(double k) {
    x *= k;
    y *= k;
}

void Vec2::Normalize() {
    const double factor = UnitFactor(Len());
    SetX(GetX() * factor);
    SetY(GetY() * factor);
}

double Vec2::Len() const { return Sqrt(x * x + y * y); }
double Vec2::LenSq() const { return x * x + y * y; }

Vec2 Normalized(const Vec2& v) {
    const double factor = UnitFactor(v.Len());
    Vec2 r;
    r.SetX(v.GetX() * factor);
    r.SetY(v.GetY() * factor);
    return r;
}

}  // namespace grappix
