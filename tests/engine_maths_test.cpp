// The engine's own maths, over ten million arguments each in the ranges play uses: Hypot, Mod and the
// square against the C library of the reference build (glibc on x86-64), bit for bit, in the game's
// rounding mode and the engine's; the circular functions against the exact values' nearest doubles.
// Every build's results must give the same digest.
#include <gtest/gtest.h>

#include <cfenv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string>

#include "portable_maths.hpp"

namespace {

struct Draws {  // splitmix64: the same numbers on every build
    uint64_t s;
    uint64_t Next() {
        uint64_t z = (s += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    double In(double lo, double hi) { return lo + (hi - lo) * (double(Next() >> 11) * 0x1p-53); }
    double Stick() { return double(int(Next() % 65536) - 32768) / 32767; }  // a controller's axis
    double Any() {
        const uint64_t b = Next();
        double v;
        std::memcpy(&v, &b, sizeof v);
        return v;
    }
};

// Distances and moves in the 1600 x 900 world and far beyond it, stick positions (the axis's
// steps and any value), a long side with a far shorter one, and a share of any doubles at all.
void PlayPair(Draws& d, uint64_t i, double& x, double& y) {
    switch (i % 8) {
    case 0:
    case 1: x = d.In(-4000, 4000), y = d.In(-4000, 4000); break;
    case 2: x = d.Stick(), y = d.Stick(); break;
    case 3: x = d.In(-1, 1), y = d.In(-1, 1); break;
    case 4: {  // one draw at a time: the order of a call's arguments differs by compiler
        x = d.In(-4000, 4000);
        const int shift = int(d.Next() % 64);
        y = x * std::ldexp(d.In(1, 2), -shift);
        break;
    }
    case 5: x = d.In(0, 40000), y = d.In(500, 30000); break;  // the far view's wrap-around
    case 6: x = std::round(d.In(-4000, 4000)), y = std::round(d.In(-100, 100)); break;
    default: x = d.Any(), y = d.Any(); break;
    }
}

// Angles and their sums, distances and speeds, sines and cosines, tiny values, any doubles.
double PlayValue(Draws& d, uint64_t i) {
    switch (i % 6) {
    case 0:
    case 1: return d.In(-7, 7);
    case 2: return d.In(-4000, 4000);
    case 3: return d.In(-1, 1);
    case 4: {  // one draw at a time, in the order the digests were taken with (the order of a
               // call's arguments differs by compiler: x86-64's GCC takes the shift first)
        const int shift = int(d.Next() % 64);
        return std::ldexp(d.In(-2, 2), -shift);
    }
    default: return d.Any();
    }
}

uint64_t Digest(uint64_t digest, double v) {
    uint64_t bits;
    std::memcpy(&bits, &v, sizeof bits);
    if (std::isnan(v)) bits = 0x7FF8000000000000ull;  // NaN payloads differ by processor
    return (digest ^ bits) * 0x100000001B3ull;
}

struct Function {
    const char* name;
    double (*own)(double, double);
    double (*library)(double, double);
    uint64_t digest;  // of the reference build's results
};

}  // namespace

// Guards against any bit of play moving when the maths stopped being the C library's, and
// against a build whose maths gives other bits than the reference build's.
TEST(EngineMaths, TheEnginesOwnMathsGivesTheReferenceBuildsBits) {
    const Function functions[] = {
        {"Hypot", portable::Hypot, [](double x, double y) { return std::hypot(x, y); }, 0xd2b2738c5205b64d},
        {"Mod", portable::Mod, [](double x, double y) { return std::fmod(x, y); }, 0x51c415d2f0dffd11},
        {"square", [](double x, double) { return portable::Pow(x, 2); },
         [](double x, double) { return std::pow(x, 2.0); }, 0xbda39eee4e82c548},
    };
#if defined(__x86_64__) && defined(__GLIBC__)
    const bool reference = true;
#else
    const bool reference = false;
#endif
    const int saved = std::fegetround();
    for (const Function& f : functions) {
        uint64_t digest = 0xCBF29CE484222325ull, differ = 0;
        // The game computes in round toward zero; the engine, inside its entry points, to nearest.
        for (int mode : {FE_TOWARDZERO, FE_TONEAREST}) {
            std::fesetround(mode);
            Draws d{uint64_t(f.name[0]) * 977};
            for (uint64_t i = 0; i < 10'000'000; ++i) {
                double x, y;
                PlayPair(d, i, x, y);
                const volatile double vx = x, vy = y;
                const double own = f.own(vx, vy);
                uint64_t bits;
                std::memcpy(&bits, &own, sizeof bits);
                if (std::isnan(own)) bits = 0x7FF8000000000000ull;  // NaN payloads differ by processor
                digest = (digest ^ bits) * 0x100000001B3ull;
                if (!reference) continue;
                const double lib = f.library(vx, vy);
                if (std::memcmp(&own, &lib, sizeof own) != 0 && !(std::isnan(own) && std::isnan(lib)) &&
                    ++differ <= 3)
                    ADD_FAILURE() << f.name << "(" << std::hexfloat << x << ", " << y << ") = " << own
                                  << ", the C library's " << lib << " (rounding " << mode << ")";
            }
        }
        std::fesetround(saved);
        EXPECT_EQ(differ, 0u) << f.name;
        EXPECT_EQ(digest, f.digest) << f.name << std::hex << ": digest 0x" << digest;
    }
}

// Guards against a fault in the circular functions' reduction (near multiples of pi/2, huge
// arguments), their tables or series (the table's edges, tiny values), their special values,
// and against any build that gives other bits for them than the nearest double.
TEST(EngineMaths, CircularFunctionsGiveTheNearestDoubleOnEveryBuild) {
    using F = double (*)(double, double);
    const struct {
        const char* name;
        F f;
        uint64_t digest;  // of the results over play's arguments (ATan2: the pairs above, as y, x)
    } functions[] = {
        {"Sin", [](double x, double) { return portable::Sin(x); }, 0x35c70eeb6ef5ec30},
        {"Cos", [](double x, double) { return portable::Cos(x); }, 0xed0a91868587cb9e},
        {"Tan", [](double x, double) { return portable::Tan(x); }, 0xf01e0cd3be0fdaca},
        {"ATan", [](double x, double) { return portable::ATan(x); }, 0xee65bc37173a6360},
        {"ATan2", portable::ATan2, 0xd209b5eda8f11761},
    };
    const double inf = std::numeric_limits<double>::infinity(), nan = std::nan("");
    const struct {
        const char* name;
        double x, y, nearest;  // the exact value's nearest double, from 200-bit arithmetic
    } cases[] = {
        {"Sin", -0x0p+0, 0x0p+0, -0x0p+0},                                  // signed zero
        {"Sin", 0x0.0000000000001p-1022, 0x0p+0, 0x0.0000000000001p-1022},  // subnormal
        {"Sin", 0x1.fffffffffffffp-27, 0x0p+0, 0x1.fffffffffffffp-27},      // last tiny
        {"Sin", 0x1.921fb54442d18p+1, 0x0p+0,
         0x1.1a62633145c07p-53},                           // pi's double: only the reduction's third part
        {"Sin", 0x1.921fb54442d18p+0, 0x0p+0, 0x1p+0},     // pi/2
        {"Sin", 0x1.6p+4, 0x0p+0, -0x1.220a29f6eb9f4p-7},  // near 7 pi
        {"Sin", 0x1.0000000000001p+20, 0x0p+0, 0x1.526ccb338edb1p-2},  // first exact reduction
        {"Sin", 0x1.6ac5b262ca1ffp+849, 0x0p+0, 0x1p+0},  // the double nearest a multiple of pi/2
        {"Sin", 0x1.fffffffffffffp+1023, 0x0p+0, 0x1.452fc98b34e97p-8},   // largest
        {"Sin", -0x1.921fb54442d18p+19, 0x0p+0, 0x1.1a62633145c07p-35},   // large multiple
        {"Sin", 0x1.97fffffffffffp-1, 0x0p+0, 0x1.6e2b77c40bdep-1},       // table's edge
        {"Cos", -0x0.0000000000001p-1022, 0x0p+0, 0x1p+0},                // subnormal
        {"Cos", 0x1.921fb54442d18p+0, 0x0p+0, 0x1.1a62633145c07p-54},     // pi/2's double
        {"Cos", 0x1.921fb54442d18p+2, 0x0p+0, 0x1p+0},                    // 2 pi
        {"Cos", 0x1.6ac5b262ca1ffp+849, 0x0p+0, -0x1.14ae72e6ba22fp-61},  // nearest a multiple
        {"Cos", 0x1.0f0cf064dd592p+73, 0x0p+0, 0x1.0be2cef01c8f4p-1},     // huge
        {"Cos", 0x1.fffffffffffffp+19, 0x0p+0, 0x1.e33ada9352c61p-1},     // last three-part
        {"Cos", 0x1.921fb54442d19p-1, 0x0p+0, 0x1.6a09e667f3bccp-1},      // just past pi/4
        {"Tan", 0x1.921fb54442d18p+0, 0x0p+0, 0x1.d02967c31cdb5p+53},     // pole
        {"Tan", -0x1.2d97c7f3321d2p+1, 0x0p+0, 0x1.0000000000001p+0},     // -3 pi/4
        {"Tan", 0x1.6ac5b262ca1ffp+849, 0x0p+0, -0x1.d9ba9a7975636p+60},  // nearest a multiple
        {"ATan", -0x0p+0, 0x0p+0, -0x0p+0},                               // signed zero
        {"ATan", 0x1p-27, 0x0p+0, 0x1p-27},                               // first series
        {"ATan", 0x1.0000000000001p+0, 0x0p+0, 0x1.921fb54442d19p-1},     // past 1
        {"ATan", -0x1.0004p-6, 0x0p+0, -0x1.fffd553bbd297p-7},            // table step
        {"ATan", 0x1.ffffffffffffep+53, 0x0p+0, 0x1.921fb54442d18p+0},    // last reciprocal
        {"ATan", -inf, 0x0p+0, -0x1.921fb54442d18p+0},                    // infinity
        {"ATan2", -0x0p+0, -0x0p+0, -0x1.921fb54442d18p+1},               // zeros' signs
        {"ATan2", 0x0p+0, -0x1p+0, 0x1.921fb54442d18p+1},                 // +0 left
        {"ATan2", -inf, inf, -0x1.921fb54442d18p-1},                      // -pi/4
        {"ATan2", inf, -inf, 0x1.2d97c7f3321d2p+1},                       // 3 pi/4
        {"ATan2", 0x1.4p+2, -inf, 0x1.921fb54442d18p+1},                  // +pi
        {"ATan2", 0x0.0000000000001p-1022, 0x0.0000000000002p-1022, 0x1.dac670561bb4fp-2},  // subnormal sides
        {"ATan2", 0x1p+0, 0x1p+1023, 0x0.8p-1022},                                          // underflows
        {"ATan2", -0x1.8p+1, -0x1.8p+1, -0x1.2d97c7f3321d2p+1},                             // diagonal
        {"ATan2", 0x1.8p-60, -0x1p+0, 0x1.921fb54442d18p+1},                                // shallow left
        {"ATan2", 0x1.7e43c8800759cp+996, 0x1.56e1fc2f8f359p-997, 0x1.921fb54442d18p+0},    // steep
        {"ATan2", 0x1.f4p+11, -0x1p+0, 0x1.9230179210093p+0},                               // near pi/2
        {"Sin", inf, 0, nan},                                                               // invalid
        {"Cos", nan, 0, nan},
        {"ATan2", 1, nan, nan},
    };
    const int saved = std::fegetround();
    std::fesetround(FE_TONEAREST);  // the engine's setting
    for (const auto& c : cases)
        for (const auto& f : functions)
            if (std::string(c.name) == f.name) {
                const double v = f.f(c.x, c.y);
                EXPECT_EQ(Digest(0, v), Digest(0, c.nearest)) << std::hexfloat << f.name << "(" << c.x << ", "
                                                              << c.y << ") = " << v << ", not " << c.nearest;
            }
    for (const auto& f : functions) {
        uint64_t digest = 0xCBF29CE484222325ull;
        Draws d{uint64_t(f.name[0] + f.name[1]) * 977};
        const bool pairs = std::string(f.name) == "ATan2";
        for (uint64_t i = 0; i < 10'000'000; ++i) {
            double x, y;
            if (pairs)
                PlayPair(d, i, x, y);
            else
                x = PlayValue(d, i), y = 0;
            digest = Digest(digest, f.f(x, y));
        }
        EXPECT_EQ(digest, f.digest) << f.name << std::hex << ": digest 0x" << digest;
    }
    std::fesetround(saved);
}
