// Maths through the engine, so that every build of the game computes them the same way, and
// the constants the game's angles are written with.
#pragma once

#include <cstdint>

namespace grappix {

// The game's own values of pi and pi / 2, to 15 significant digits; every angle the game
// computes from them depends on exactly these numbers.
inline constexpr double kPi = 3.14159265358979;
inline constexpr double kHalfPi = 1.5707963267949;

double Cos(double a);
double Sin(double a);
double Sqrt(double x);
double Pow(double x, double y);
double Mod(double x, double y);  // floating remainder, sign of x
double Hypot(double x, double y);
double InvRot(double x, double y);      // direction of (x, y): Cos, Sin of it point along it
int64_t Rnd(int64_t min, int64_t max);  // uniform over min..max inclusive

}  // namespace grappix
