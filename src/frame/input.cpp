#include "frame/input.hpp"

#include "frame/engine.hpp"

namespace grappix {

int64_t ButtonCount(int64_t button) { return Engine().Mouse(button); }
int64_t PadCount(int64_t pad, int64_t button) { return Engine().Pad(pad, button); }
int64_t KeyCount(int64_t key) { return Engine().Key != nullptr ? Engine().Key(key) : 0; }
int64_t WindowStateCount(int64_t which) {
    return Engine().WindowState != nullptr ? Engine().WindowState(which) : 0;
}
double MouseX() { return Engine().MouseX(); }
double MouseY() { return Engine().MouseY(); }

double Cos(double a) { return Engine().Cos(a); }
double Sin(double a) { return Engine().Sin(a); }
double Sqrt(double x) { return Engine().Sqrt(x); }
double Pow(double x, double y) { return Engine().Pow(x, y); }
double Mod(double x, double y) { return Engine().Mod(x, y); }
double Hypot(double x, double y) { return Engine().Hypot(x, y); }
double InvRot(double x, double y) { return Engine().InvRot(x, y); }
int64_t Rnd(int64_t min, int64_t max) { return Engine().Rnd(min, max); }

}  // namespace grappix
