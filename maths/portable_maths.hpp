// portable_maths.hpp -- our own implementations of the maths functions play depends on, so
// that every build of the game and its engine (any processor, any C library) gets the same bits.
// Both the engine (its Hypot, Mod and Pow, the stick's dead zone) and the game (the aim
// marker, which computes in the game's own rounding) link them.
//
// Each one gives exactly the bits of the C library it replaces on the reference build
// (glibc on x86-64) in the game's floating-point setting (round toward zero), for every
// argument play passes: tests/engine_maths_test.cpp compares them. They compute in whatever
// rounding mode is current, as the functions they replace do.
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

}  // namespace portable
