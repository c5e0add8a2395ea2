// viewer_bench -- what a skip back costs the replay's viewer, headless and unpaced.
//
//   viewer_bench [steps]     (default 18000: a game of five minutes)
//
// A skip back plays the replay again from its start, unseen, up to 10 s before where it was.
// The replay: a short real recording's header, `steps` steps of random play in "Normal", and
// its checks, written by the game fast-forwarding it while recording it again. Each figure the
// median of 5 interleaved rounds, in wall-clock time (what the viewer waits) and CPU time:
//   plain:  the replay fast-forwarded to its last step but one, shown, and the next one;
//   back:   the same, but the first frame shown skips back (RestartScenes and a fast-forward
//           to 10 s before the end), then the frame reached is shown;
//   start:  the game started and ended at its first step (what neither run repeats).
// The skip back costs back - plain, set against the plain fast-forward of the whole replay
// (plain - start): a restart that costs nothing of its own comes to (steps - 600) / steps.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "spawn.hpp"

namespace {

using bench::At;
using bench::Env;
using bench::HeaderAsFormat1;
using bench::Median;
using bench::RandomPlay;
using bench::Run;

}  // namespace

int main(int argc, char** argv) {
    const int steps = argc > 1 ? std::max(2000, std::atoi(argv[1])) : 18000;
    char pattern[] = "/tmp/viewer-bench-XXXXXX";
    if (mkdtemp(pattern) == nullptr) return 1;
    const std::string dir = pattern;
    auto with = [&](Env extra) {
        for (const char* xdg : {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_STATE_HOME"})
            extra.emplace_back(xdg, dir + "/home");
        return extra;
    };
    auto spawn = [&](const Env& env, std::vector<std::string> args = {}) {
        args.insert(args.begin(), std::string(GRAPPIX_RUN_DIR) + "/grappix");
        return bench::Spawn(GRAPPIX_RUN_DIR, args, with(env));
    };
    auto fail = [](const char* what) {
        std::fprintf(stderr, "viewer_bench: %s\n", what);
        return 1;
    };

    // A real recording's header (as format 1, which needs no checks), a long game's events,
    // then that game recorded whole, checks and all.
    std::ofstream(dir + "/short.txt") << "20 quit\n";
    if (spawn({{"BRISEL_INPUT", dir + "/short.txt"}}, {"--record", dir + "/short.replay"}).status != 0)
        return fail("the game could not record a run");
    const std::string header = HeaderAsFormat1(dir + "/short.replay");
    std::ofstream(dir + "/events.replay") << header << RandomPlay(steps) << "end " << steps << "\n";
    const std::string last = std::to_string(steps - 1);
    if (spawn({{"BRISEL_REPLAY", dir + "/events.replay"}, {"BRISEL_REPLAY_FROM", std::to_string(steps)}},
              {"--record", dir + "/run.replay"})
            .status != 0)
        return fail("the game could not play its long replay back");

    const Env plainEnv = {{"BRISEL_REPLAY", dir + "/run.replay"},
                          {"BRISEL_REPLAY_FROM", last},
                          {"BRISEL_VIEWER_KEYS", "2 quit"}};
    Env backEnv = plainEnv;
    backEnv.back().second = "1 back, 2 quit";
    const Env startEnv = {{"BRISEL_REPLAY", dir + "/run.replay"}, {"BRISEL_FRAMES", "1"}};
    std::vector<double> wallBack, wallWhole, cpuBack, cpuWhole;
    for (int round = 0; round < 5; ++round) {
        const Run plain = spawn(plainEnv), back = spawn(backEnv), start = spawn(startEnv);
        if (plain.status != 0 || back.status != 0 || start.status != 0)
            return fail("a run of the replay failed (a check differed?)");
        wallBack.push_back(back.wallMs - plain.wallMs);
        wallWhole.push_back(plain.wallMs - start.wallMs);
        cpuBack.push_back(back.cpuMs - plain.cpuMs);
        cpuWhole.push_back(plain.cpuMs - start.cpuMs);
    }
    const double wb = Median(wallBack), ww = Median(wallWhole), cb = Median(cpuBack), cw = Median(cpuWhole);
    std::printf("viewer_bench: a replay of %d steps (%.1f min), medians of 5 rounds\n", steps,
                steps / 3600.0);
    std::printf("  skip back from its end: %.0f ms wall (%.0f ms CPU)\n", wb, cb);
    std::printf("  plain fast-forward of the whole replay: %.0f ms wall (%.0f ms CPU)\n", ww, cw);
    std::printf("  ratio: %.3f wall, %.3f CPU (a restart that costs nothing: %.3f)\n", wb / ww, cb / cw,
                double(steps - 600) / steps);
    std::filesystem::remove_all(dir);
    return 0;
}
