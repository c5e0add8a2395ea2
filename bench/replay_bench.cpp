// replay_bench -- what replays cost, headless (SDL's dummy drivers) and unpaced.
//
//   replay_bench [steps]     (default 30000)
//
// A long game needs a long replay, and recording one with every frame drawn takes minutes. So
// the real game records a short run with --record, for its header (versions, seed, notes); the
// header and the events of `steps` steps of random play in "Normal" make a replay without
// checks, which the game fast-forwards while recording it again (BRISEL_REPLAY + BRISEL_RECORD):
// that gives a whole replay, checks included. Then, each figure the median of 5 interleaved
// rounds of the child's CPU time (what a busy machine inflates least), every run ending at the
// step it fast-forwards to, so that start-up and loading cancel out of the differences:
//   1. fast-forward: steps a second between a quarter of the way and the end, nothing drawn,
//      heard or paced, against the same replay's steps drawn unpaced (the first 1500 against
//      the first 500);
//   2. the recorder: the same fast-forward while recording (BRISEL_RECORD); its cost a step in
//      microseconds, and as a ratio against a fast-forward step and against a drawn one.
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

using bench::Env;
using bench::Run;

Run Spawn(const std::vector<std::string>& argv, const Env& env) {
    return bench::Spawn(GRAPPIX_RUN_DIR, argv, env);
}

std::string At(int n, const std::string& event) { return std::to_string(n) + " " + event + "\n"; }

// "Normal" picked on the title, then random swinging until `steps`.
std::string RandomPlay(int steps) {
    std::mt19937 rng(7);
    std::string s = At(10, "mouse 800 430") + At(10, "down left") + At(12, "up left");
    const char* buttons[] = {"left", "right", "middle", "pad0"};
    bool down[4] = {};
    for (int t = 114; t < steps; t += 1 + int(rng() % 15)) {
        s += At(t, "mouse " + std::to_string(rng() % 1600) + " " + std::to_string(rng() % 900));
        int b = int(rng() % 4);
        s += At(t, std::string(down[b] ? "up " : "down ") + buttons[b]);
        down[b] = !down[b];
    }
    return s + At(steps, "quit");
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

void WriteText(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

}  // namespace

int main(int argc, char** argv) {
    const int steps = argc > 1 ? std::max(4000, std::atoi(argv[1])) : 30000;
    const int quarter = steps / 4;
    char pattern[] = "/tmp/replay-bench-XXXXXX";
    if (mkdtemp(pattern) == nullptr) return 1;
    const std::string dir = pattern;
    const std::string exe = std::string(GRAPPIX_RUN_DIR) + "/grappix";
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

    // The header of a real recording, the events of a long game, then that game recorded whole.
    WriteText(dir + "/short.txt", "20 quit\n");
    if (Spawn({exe, "--record", dir + "/short.replay"}, with({{"BRISEL_INPUT", dir + "/short.txt"}}))
            .status != 0)
        return fail("the game could not record a run");
    std::string header;
    {
        std::ifstream in(dir + "/short.replay");
        std::string line;
        while (std::getline(in, line) && !line.empty() && (line[0] < '0' || line[0] > '9') &&
               line.rfind("end ", 0) != 0)
            header += line + "\n";
    }
    WriteText(dir + "/events.replay", header + RandomPlay(steps) + "end " + std::to_string(steps) + "\n");
    auto replay = [&](const std::string& file, int from, int end, bool record) {
        Env env = with({{"BRISEL_REPLAY", dir + "/" + file}, {"BRISEL_FRAMES", std::to_string(end)}});
        if (from > 0) env.emplace_back("BRISEL_REPLAY_FROM", std::to_string(from));
        if (record) env.emplace_back("BRISEL_RECORD", dir + "/again.replay");
        return env;
    };
    if (Spawn({exe}, replay("events.replay", steps, steps, false)).status != 0 ||
        Spawn({exe, "--record", dir + "/run.replay"}, replay("events.replay", steps, steps, false)).status !=
            0)
        return fail("the game could not play its long replay back");

    std::vector<double> fastRate, drawnRate, recorderUs, fastUs, drawnUs;
    for (int round = 0; round < 5; ++round) {
        Run fastAll = Spawn({exe}, replay("run.replay", steps, steps, false));
        Run fastQuarter = Spawn({exe}, replay("run.replay", quarter, quarter, false));
        Run recAll = Spawn({exe}, replay("run.replay", steps, steps, true));
        Run recQuarter = Spawn({exe}, replay("run.replay", quarter, quarter, true));
        Run drawnLong = Spawn({exe}, replay("run.replay", 0, 1500, false));
        Run drawnShort = Spawn({exe}, replay("run.replay", 0, 500, false));
        for (const Run& r : {fastAll, fastQuarter, recAll, recQuarter, drawnLong, drawnShort})
            if (r.status != 0) return fail("a run of the replay failed (a check differed?)");
        const double fast = (fastAll.cpuMs - fastQuarter.cpuMs) * 1000.0 / (steps - quarter);
        const double recorded = (recAll.cpuMs - recQuarter.cpuMs) * 1000.0 / (steps - quarter);
        const double drawn = (drawnLong.cpuMs - drawnShort.cpuMs) * 1000.0 / 1000;
        fastUs.push_back(fast);
        fastRate.push_back(1e6 / fast);
        recorderUs.push_back(recorded - fast);
        drawnUs.push_back(drawn);
        drawnRate.push_back(1e6 / drawn);
    }
    const double recorder = Median(recorderUs), fast = Median(fastUs), drawn = Median(drawnUs);
    std::printf("replay_bench: %d steps of random play in Normal, medians of 5 rounds (CPU time)\n", steps);
    std::printf(
        "fast-forward: %.0f steps/s (%.1f us a step), against %.0f steps/s drawn unpaced: ratio %.1f\n",
        Median(fastRate), fast, Median(drawnRate), Median(fastRate) / Median(drawnRate));
    std::printf("recorder:     %.2f us a step: %.3f of a fast-forward step, %.4f of a drawn one (%.0f us)\n",
                recorder, recorder / fast, recorder / drawn, drawn);
    std::filesystem::remove_all(dir);
    return 0;
}
