#include "store.hpp"

namespace board {

namespace {
constexpr const char* kModeNames[kModes] = {"normal", "no-block", "free-style"};
constexpr const char* kStateNames[] = {"queued", "verifying", "accepted", "refused"};
}  // namespace

const char* ModeName(int mode) { return mode >= 0 && mode < kModes ? kModeNames[mode] : nullptr; }

int ModeIndex(const std::string& name) {
    for (int m = 0; m < kModes; ++m)
        if (name == kModeNames[m]) return m;
    return -1;
}

const char* JobStateName(JobState state) { return kStateNames[static_cast<int>(state)]; }

}  // namespace board
