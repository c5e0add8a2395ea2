// portable_maths.hpp -- our own implementations of the maths functions play depends on, so
// that every build of the game and its engine (any processor, any C library) gets the same bits.
// Both the engine (its Hypot, Mod and Pow, the stick's dead zone) and the game (the aim
// marker, which computes in the game's own rounding) link them.
//
// Hypot, Mod and the square give exactly the bits of the C library they replace on the
// reference build (glibc on x86-64) in the game's floating-point setting (round toward zero)
// and the engine's (to nearest), for every argument play passes: tests/engine_maths_test.cpp
// compares them. They compute in whatever rounding mode is current, as the functions they
// replace do.
//
// Sin, Cos, Tan, ATan and ATan2 (circular.cpp) are correctly rounded instead: the exact value's
// nearest double, which no C library promises (glibc's differ from it in about one argument in a
// thousand). They compute in double-double (about 100 bits) and round once, with IEEE-754 double
// operations alone (no fused multiply-add, no long double, no C library maths), so they give the
// same bits on every processor and system. They must run in round to nearest, the setting of the
// engine's entry points, which are their callers. The engine's ASin, ACos, Exp and Log stay the C
// library's: play does not use them.
#pragma once

namespace portable {

// sqrt(x * x + y * y) without undue overflow or underflow, with the correction step of
// C. F. Borges, "An Improved Algorithm for hypot(a, b)", arXiv:1904.09481 (2019), the
// corrected algorithm for machines without a fused multiply-add.
double Hypot(double x, double y);

// The remainder of x / y with the sign of x: exact (computed on the integer significands).
double Mod(double x, double y);

// x to the power y; only the square is the engine's own (it is x * x), other powers are the
// C library's.
double Pow(double x, double y);

// The circular functions, correctly rounded in round to nearest (see above). Sin and Tan are odd
// and Cos even, bit for bit; arguments of any size are reduced exactly. NaN gives NaN and an
// infinity the invalid operation's NaN.
double Sin(double x);
double Cos(double x);
double Tan(double x);
double ATan(double x);

// The angle of the point (x, y) from the x axis, in -pi..pi (C's atan2(y, x), its signed zeros
// and infinities included). Correctly rounded, except that where the shorter side is below 2^-60
// of the longer the angle is taken from their correctly rounded quotient, which can differ from
// it only at an exact tie.
double ATan2(double y, double x);

}  // namespace portable
