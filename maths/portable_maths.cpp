#include "portable_maths.hpp"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <utility>

namespace portable {

namespace {

uint64_t Bits(double v) {
    uint64_t u;
    std::memcpy(&u, &v, sizeof u);
    return u;
}

bool IsSignalling(double v) { return std::isnan(v) && (Bits(v) & (uint64_t(1) << 51)) == 0; }

}  // namespace

double Hypot(double x, double y) {
    double ax = std::fabs(x), ay = std::fabs(y);
    // An infinite side makes the hypotenuse infinite even when the other is a quiet NaN; a
    // signalling NaN raises the invalid operation (through the sum).
    if (!std::isfinite(ax) || !std::isfinite(ay)) {
        if ((std::isinf(ax) || std::isinf(ay)) && !IsSignalling(ax) && !IsSignalling(ay)) return INFINITY;
        return ax + ay;
    }
    if (ax < ay) std::swap(ax, ay);
    // So short a side (below 2^-54 of the long one) that it changes nothing: this cut-off, like
    // the grouping of the correction's terms below, is the one that gives the reference build's
    // bits (the square of a shorter side is lost in the sum anyway).
    if (ax > ay * 0x1p54 || ay == 0) return ax + ay;
    // Squares that would overflow or underflow are taken on scaled sides.
    double scale = 1;
    if (ax > 0x1.6a09e667f3bccp+511) {  // sqrt(DBL_MAX / 2)
        ax *= 0x1p-600;
        ay *= 0x1p-600;
        scale = 0x1p+600;
    } else if (ay < 0x1p-511) {  // sqrt(DBL_MIN)
        ax *= 0x1p+600;
        ay *= 0x1p+600;
        scale = 0x1p-600;
    }
    double h = std::sqrt(ax * ax + ay * ay);
    // One correction step on the rounding error of the square root and of the sum of squares,
    // written so that each of its terms is exact or nearly so (two branches, by h's size).
    if (h <= 2 * ay) {
        const double d = ay - h;
        h += (ax * (2 * d + ax) - (d + 2 * (ax - ay)) * d) / (2 * h);
    } else {
        const double d = ax - h;
        h += (2 * d * (ax - 2 * ay) + ((4 * d + ay) * ay - d * d)) / (2 * h);
    }
    return h * scale;
}

double Mod(double x, double y) {
    if (std::isnan(x) || std::isnan(y)) return x + y;
    // An infinite dividend or a zero divisor: no remainder (invalid operation, NaN).
    if (std::isinf(x) || y == 0) return (x * y) / (x * y);
    const double ax = std::fabs(x), ay = std::fabs(y);
    if (ax < ay) return x;
    if (ax == ay) return std::copysign(0.0, x);
    // Significands as integers and the exponents of their lowest bits.
    auto split = [](double v, uint64_t& m, int& e) {
        const uint64_t b = Bits(v);
        const int biased = int((b >> 52) & 0x7FF);
        m = b & ((uint64_t(1) << 52) - 1);
        if (biased == 0) {
            e = -1074;
        } else {
            m |= uint64_t(1) << 52;
            e = biased - 1075;
        }
    };
    uint64_t mx, my;
    int ex, ey;
    split(ax, mx, ex);
    split(ay, my, ey);
    // mx * 2^(ex - ey) mod my, eleven bits at a time (my < 2^53, so nothing overflows).
    uint64_t r = mx % my;
    for (int left = ex - ey; left > 0 && r != 0;) {
        const int s = left < 11 ? left : 11;
        r = (r << s) % my;
        left -= s;
    }
    // r * 2^ey is representable (r < my), so scaling it is exact in any rounding mode.
    return std::copysign(std::ldexp(double(r), ey), x);
}

double Pow(double x, double y) {
    if (y == 2) return x * x;
    return std::pow(x, y);
}

}  // namespace portable
