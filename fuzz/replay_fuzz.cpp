// The replay reader (--replay, BRISEL_REPLAY): any bytes must give a replay that can be played
// (its seed, its end, events in step order) or one failure naming the file, never a crash.
#include <cstdlib>

#include "fuzz_support.hpp"
#include "replay.hpp"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string& path = fuzz::ScratchPath(".replay");
    fuzz::WriteScratch(path, data, size);
    try {
        const brisel::ParsedScript script = brisel::LoadReplay(path);
        if (!script.haveSeed || !script.haveEnd) std::abort();
        int64_t previous = 1;
        for (const brisel::ScriptEvent& e : script.events) {
            if (e.step < previous || e.step > script.endStep) std::abort();
            previous = e.step;
        }
    } catch (const BriselFailure& f) {
        if (f.Code() != BRISEL_FAIL_REPLAY || f.Message() == nullptr ||
            std::string(f.Message()).rfind(path, 0) != 0)
            std::abort();
    }
    return 0;
}
