#include "frame/verify_run.hpp"

#include <cstdlib>

#include "desktop/replay_header.hpp"

#if defined(_WIN32)
#include "win_posix.hpp"
#endif

namespace grappix {

std::string PrepareVerify(const std::string& given, int64_t& end) {
    // A relative name means one in the folder the caller started the game from.
    const char* caller = std::getenv("GRAPPIX_CALLER_DIR");
    const std::string file =
        given[0] != '/' && caller != nullptr && caller[0] == '/' ? std::string(caller) + "/" + given : given;
    ReplayHeader header;
    if (std::string fault = ReadReplayHeader(file, header); !fault.empty()) return fault;
    if (header.version != GameVersion())
        return file + ": recorded by version " + header.version + ", not this verifier's " + GameVersion();
    if (header.end > kVerifyStepLimit)
        return file + ": ends at step " + std::to_string(header.end) + ", past the limit of " +
               std::to_string(kVerifyStepLimit);
    end = header.end;
    for (const char* name : {"BRISEL_RECORD", "BRISEL_INPUT", "BRISEL_REPLAY_FROM", "BRISEL_REPLAY_FORCE",
                             "BRISEL_SHOTS", "BRISEL_SHOT_FRAMES", "BRISEL_TIMES"})
        unsetenv(name);
    setenv("BRISEL_REPLAY", file.c_str(), 1);
    setenv("BRISEL_NODRAW", "1", 1);
    setenv("BRISEL_NOPACE", "1", 1);
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    // The engine's own bound, whatever the game does: the step after the end raises QUIT.
    setenv("BRISEL_FRAMES", std::to_string(end + 2).c_str(), 1);
    return {};
}

std::string VerifyFault(const ExceptionRecord& record, int64_t step, int64_t end) {
    if (record.code == BRISEL_FAIL_QUIT) {
        // A recorded quit ends the run at its end step; otherwise the step after it quits.
        if (step == end || step == end + 1) return {};
        return "the game ended at step " + std::to_string(step) + ", not at the replay's end (" +
               std::to_string(end) + ")";
    }
    if (!record.hasMessage) return "error " + std::to_string(record.code);
    return record.message;
}

}  // namespace grappix
