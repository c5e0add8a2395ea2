// Shared set-up of the engine's fuzz targets: the engine initialised once, headless, and each
// input written to a scratch file that the loaders read like any file in Data/.
#pragma once

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "brisel.h"

namespace fuzz {

// Opens the engine headless (SDL's dummy video and audio drivers), once per process.
inline void InitEngine() {
    static bool done = [] {
        setenv("SDL_VIDEODRIVER", "dummy", 1);
        setenv("SDL_AUDIODRIVER", "dummy", 1);
        unsetenv("BRISEL_INPUT");
        unsetenv("BRISEL_TRACE");
        unsetenv("BRISEL_FRAMES");
        static uintptr_t place = 0;
        BriselInitRecord record{0x5eed5eed5eed5eedull, 1, nullptr, nullptr, &place, "fuzz"};
        Init(&record);
        return true;
    }();
    (void)done;
}

// The scratch file of this process (an absolute path: the engine takes it as it is). Under
// /dev/shm when there is one, so every input is not a disk write.
inline const std::string& ScratchPath(const char* suffix) {
    static const std::string path = [suffix] {
        const char* dir = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
        return std::string(dir) + "/grappix-fuzz-" + std::to_string(getpid()) + suffix;
    }();
    return path;
}

inline void WriteScratch(const std::string& path, const uint8_t* data, size_t size) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr) std::abort();
    if (size != 0 && std::fwrite(data, 1, size, f) != size) std::abort();
    std::fclose(f);
}

}  // namespace fuzz
