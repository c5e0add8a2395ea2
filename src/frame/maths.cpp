#include "frame/maths.hpp"

#include "frame/engine.hpp"

namespace grappix {

double Cos(double a) { return Engine().Cos(a); }
double Sin(double a) { return Engine().Sin(a); }
double Sqrt(double x) { return Engine().Sqrt(x); }
double Pow(double x, double y) { return Engine().Pow(x, y); }
double Mod(double x, double y) { return Engine().Mod(x, y); }
double Hypot(double x, double y) { return Engine().Hypot(x, y); }
double InvRot(double x, double y) { return Engine().InvRot(x, y); }
int64_t Rnd(int64_t min, int64_t max) { return Engine().Rnd(min, max); }

}  // namespace grappix
