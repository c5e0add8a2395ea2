// The engine's own maths against the C library of the reference build (glibc on x86-64), bit
// for bit, in the game's rounding mode and the engine's, over ten million arguments each in the ranges play
// uses. Elsewhere the results must give the same digest as there.
#include <gtest/gtest.h>

#include <cfenv>
#include <cmath>
#include <cstdint>
#include <cstring>

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
