// A stand-in engine library for testing how the program binds, starts and ends. It defines
// every entry point (a linker script may hide one, to make a library that lacks it), notes
// Init and Free in a log file, and ends the run the way the test asks through its environment:
//   STUB_LOG=file        Init and Free append "init" / "free" lines here
//   STUB_QUIT_AT=n       the n-th Act raises the quit failure (the player closed the window)
//   STUB_FAIL_AT=n       the n-th Act raises a load failure naming "stub.vqtex"
//   STUB_FPE_AT=n        the n-th Act divides 0 by 0 in the caller's floating-point setting
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <type_traits>

#include "brisel.h"

namespace {

long gActs = 0;

void Note(const char* what) {
    const char* path = std::getenv("STUB_LOG");
    if (path == nullptr) return;
    if (FILE* f = std::fopen(path, "a")) {
        std::fprintf(f, "%s\n", what);
        std::fclose(f);
    }
}

long EnvNumber(const char* name) {
    const char* v = std::getenv(name);
    return v != nullptr ? std::atol(v) : -1;
}

void Hook(const char* name) {
    if (std::strcmp(name, "Init") == 0) Note("init");
    if (std::strcmp(name, "Free") == 0) Note("free");
    if (std::strcmp(name, "Act") != 0) return;
    ++gActs;
    if (gActs == EnvNumber("STUB_QUIT_AT")) throw BriselFailure(BRISEL_FAIL_QUIT, "window closed");
    if (gActs == EnvNumber("STUB_FAIL_AT"))
        throw BriselFailure(BRISEL_FAIL_LOAD, "stub.vqtex: not a PNG file");
    if (gActs == EnvNumber("STUB_FPE_AT")) {
        volatile double zero = 0.0;
        volatile double nan = zero / zero;
        (void)nan;
    }
}

template <typename T>
T Zero() {
    if constexpr (!std::is_void_v<T>) return T{};
}

}  // namespace

#pragma GCC diagnostic ignored "-Wunused-parameter"
#define STUB_DEFINE(ret, name, params) \
    extern "C" ret name params {       \
        Hook(#name);                   \
        return Zero<ret>();            \
    }
BRISEL_ENTRY_POINTS(STUB_DEFINE)
