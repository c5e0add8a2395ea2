// The engine's own circular functions against the C library's (glibc's on Linux), per call, on
// the same arguments in the same run: angles of play (-7..7), and for the arc tangents the
// distances of play's world. Read the ratio of each pair; run in round to nearest, as the
// engine's entry points do.
#include <benchmark/benchmark.h>

#include <cfenv>
#include <cmath>
#include <cstdint>
#include <vector>

#include "portable_maths.hpp"

namespace {

std::vector<double> Arguments(double lo, double hi) {
    std::vector<double> v(4096);
    uint64_t s = 12345;
    for (double& x : v) {
        s = s * 6364136223846793005ull + 1442695040888963407ull;
        x = lo + (hi - lo) * double(s >> 11) * 0x1p-53;
    }
    return v;
}

// Both sides are called through a pointer, so neither is inlined.
void One(benchmark::State& state, double (*f)(double), double lo, double hi) {
    const std::vector<double> args = Arguments(lo, hi);
    size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(f(args[i]));
        i = (i + 1) & 4095;
    }
}

void Two(benchmark::State& state, double (*f)(double, double)) {
    const std::vector<double> xs = Arguments(-4000, 4000), ys = Arguments(-900, 900);
    size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(f(ys[i], xs[(i + 7) & 4095]));
        i = (i + 1) & 4095;
    }
}

// What setting round to nearest inside would cost (the engine's entry points set it already).
double SinSettingRounding(double x) {
    const int saved = std::fegetround();
    std::fesetround(FE_TONEAREST);
    const double s = portable::Sin(x);
    std::fesetround(saved);
    return s;
}
double LibSin(double x) { return std::sin(x); }
double LibCos(double x) { return std::cos(x); }
double LibATan(double x) { return std::atan(x); }
double LibATan2(double y, double x) { return std::atan2(y, x); }

BENCHMARK_CAPTURE(One, own_sin, portable::Sin, -7, 7);
BENCHMARK_CAPTURE(One, library_sin, LibSin, -7, 7);
BENCHMARK_CAPTURE(One, own_sin_setting_rounding, SinSettingRounding, -7, 7);
BENCHMARK_CAPTURE(One, own_cos, portable::Cos, -7, 7);
BENCHMARK_CAPTURE(One, library_cos, LibCos, -7, 7);
BENCHMARK_CAPTURE(One, own_sin_far, portable::Sin, -1e6, 1e6);
BENCHMARK_CAPTURE(One, library_sin_far, LibSin, -1e6, 1e6);
BENCHMARK_CAPTURE(One, own_atan, portable::ATan, -100, 100);
BENCHMARK_CAPTURE(One, library_atan, LibATan, -100, 100);
BENCHMARK_CAPTURE(Two, own_atan2, portable::ATan2);
BENCHMARK_CAPTURE(Two, library_atan2, LibATan2);

}  // namespace

BENCHMARK_MAIN();
