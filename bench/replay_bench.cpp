// replay_bench -- what replays cost, headless (SDL's dummy drivers) and unpaced.
//
//   replay_bench [steps] [baseline]     (default 30000 steps)
//
// A long game needs a long replay, and recording one with every frame drawn takes minutes. So
// the real game records a short run with --record, for its header (versions, seed, notes); the
// header and the events of `steps` steps of random play in "Normal" make a replay without
// checks (of format 1, which needs none), which the game fast-forwards while recording it again
// (BRISEL_REPLAY + BRISEL_RECORD): that gives a whole replay, checks included. Then, each figure
// the median of 5 interleaved rounds of the child's CPU time (what a busy machine inflates
// least), every run ending at the step it fast-forwards to, so that start-up and loading cancel
// out of the differences:
//   1. fast-forward: steps a second between a quarter of the way and the end, nothing drawn,
//      heard or paced, against the same replay's steps drawn unpaced (the first 1500 against
//      the first 500);
//   2. the checks: the fast-forward of the whole replay (its checks verified) against that of
//      the replay without checks (nothing hashed), a step;
//   3. the recorder: the same fast-forward while recording (BRISEL_RECORD); its cost a step in
//      microseconds, and as a ratio against a fast-forward step and against a drawn one.
// `baseline`: a folder holding another build's grappix and Data/ (say, the main branch's),
// measured in the same rounds, so that the two builds' figures compare under the same load.
#include <algorithm>
#include <chrono>
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

void WriteText(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

struct Figures {
    double fast = 0, drawn = 0, fastRate = 0, drawnRate = 0, checks = 0, recorder = 0;
};

void Print(const char* build, const Figures& f) {
    std::printf("%s:\n", build);
    std::printf(
        "  fast-forward: %.0f steps/s (%.1f us a step), against %.0f steps/s drawn unpaced: ratio %.1f\n",
        f.fastRate, f.fast, f.drawnRate, f.fastRate / f.drawnRate);
    std::printf("  checks:       %.2f us a step verified: %.3f of a fast-forward step, %.4f of a drawn one\n",
                f.checks, f.checks / f.fast, f.checks / f.drawn);
    std::printf(
        "  recorder:     %.2f us a step: %.3f of a fast-forward step, %.4f of a drawn one (%.0f us)\n",
        f.recorder, f.recorder / f.fast, f.recorder / f.drawn, f.drawn);
}

}  // namespace

int main(int argc, char** argv) {
    const int steps = argc > 1 ? std::max(4000, std::atoi(argv[1])) : 30000;
    const int quarter = steps / 4;
    std::vector<std::string> builds = {GRAPPIX_RUN_DIR};
    if (argc > 2) builds.push_back(argv[2]);
    char pattern[] = "/tmp/replay-bench-XXXXXX";
    if (mkdtemp(pattern) == nullptr) return 1;
    const std::string dir = pattern;
    const Env folders = {{"XDG_CONFIG_HOME", dir + "/config"},
                         {"XDG_DATA_HOME", dir + "/data"},
                         {"XDG_STATE_HOME", dir + "/state"}};
    auto with = [&](Env extra) {
        extra.insert(extra.end(), folders.begin(), folders.end());
        return extra;
    };
    auto fail = [](const char* what) {
        std::fprintf(stderr, "replay_bench: %s\n", what);
        return 1;
    };
    auto spawn = [&](size_t build, std::vector<std::string> args, const Env& env) {
        args.insert(args.begin(), builds[build] + "/grappix");
        return bench::Spawn(builds[build], args, env);
    };

    // The header of a real recording (as format 1, which the baseline reads too), the events of
    // a long game, then that game recorded whole by each build.
    WriteText(dir + "/short.txt", "20 quit\n");
    if (spawn(0, {"--record", dir + "/short.replay"}, with({{"BRISEL_INPUT", dir + "/short.txt"}})).status !=
        0)
        return fail("the game could not record a run");
    const std::string header = HeaderAsFormat1(dir + "/short.replay");
    WriteText(dir + "/events.replay", header + RandomPlay(steps) + "end " + std::to_string(steps) + "\n");
    auto replay = [&](const std::string& file, int from, int end, bool record) {
        Env env = with({{"BRISEL_REPLAY", dir + "/" + file},
                        {"BRISEL_FRAMES", std::to_string(end)},
                        {"BRISEL_REPLAY_FORCE", "1"}});
        if (from > 0) env.emplace_back("BRISEL_REPLAY_FROM", std::to_string(from));
        if (record) env.emplace_back("BRISEL_RECORD", dir + "/again.replay");
        return env;
    };
    for (size_t b = 0; b < builds.size(); ++b) {
        const std::string run = "run" + std::to_string(b) + ".replay";
        if (spawn(b, {}, replay("events.replay", steps, steps, false)).status != 0 ||
            spawn(b, {"--record", dir + "/" + run}, replay("events.replay", steps, steps, false)).status != 0)
            return fail("the game could not play its long replay back");
    }

    std::vector<std::vector<Figures>> rounds(builds.size());
    for (int round = 0; round < 5; ++round) {
        for (size_t b = 0; b < builds.size(); ++b) {
            const std::string run = "run" + std::to_string(b) + ".replay";
            auto cpu = [&](const Env& env) {
                Run r = spawn(b, {}, env);
                return r.status == 0 ? r.cpuMs : -1e9;
            };
            const double plainAll = cpu(replay("events.replay", steps, steps, false));
            const double plainQuarter = cpu(replay("events.replay", quarter, quarter, false));
            const double fastAll = cpu(replay(run, steps, steps, false));
            const double fastQuarter = cpu(replay(run, quarter, quarter, false));
            const double recAll = cpu(replay(run, steps, steps, true));
            const double recQuarter = cpu(replay(run, quarter, quarter, true));
            const double drawnLong = cpu(replay(run, 0, 1500, false));
            const double drawnShort = cpu(replay(run, 0, 500, false));
            for (double ms :
                 {plainAll, plainQuarter, fastAll, fastQuarter, recAll, recQuarter, drawnLong, drawnShort})
                if (ms < 0) return fail("a run of the replay failed (a check differed?)");
            Figures f;
            const double perStep = 1000.0 / (steps - quarter);
            const double plain = (plainAll - plainQuarter) * perStep;
            f.fast = (fastAll - fastQuarter) * perStep;
            f.checks = f.fast - plain;
            f.recorder = (recAll - recQuarter) * perStep - f.fast;
            f.drawn = (drawnLong - drawnShort) * 1000.0 / 1000;
            f.fastRate = 1e6 / f.fast;
            f.drawnRate = 1e6 / f.drawn;
            rounds[b].push_back(f);
        }
    }
    std::vector<Figures> medians;
    for (const auto& r : rounds) {
        auto median = [&](double Figures::*field) {
            std::vector<double> v;
            for (const Figures& f : r) v.push_back(f.*field);
            return Median(v);
        };
        Figures m;
        for (double Figures::*field : {&Figures::fast, &Figures::drawn, &Figures::fastRate,
                                       &Figures::drawnRate, &Figures::checks, &Figures::recorder})
            m.*field = median(field);
        medians.push_back(m);
    }
    std::printf("replay_bench: %d steps of random play in Normal, medians of 5 rounds (CPU time)\n", steps);
    Print("this build", medians[0]);
    if (builds.size() > 1) {
        Print(builds[1].c_str(), medians[1]);
        std::printf(
            "this build against the baseline: checks %+.2f us a step, recorder %+.2f us a step, "
            "fast-forward x%.2f, drawn x%.3f\n",
            medians[0].checks - medians[1].checks, medians[0].recorder - medians[1].recorder,
            medians[0].fast / medians[1].fast, medians[0].drawn / medians[1].drawn);
    }
    std::filesystem::remove_all(dir);
    return 0;
}
