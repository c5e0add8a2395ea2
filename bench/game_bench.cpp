// game_bench -- the whole game, headless and unpaced, against the engine's bare frame.
//
// Runs, one after the other in the same invocation, each in a child process of its own:
//   - baseline: the engine library alone, initialised, each frame only a clear and a frame
//     step (present, input, no pacing);
//   - game: the real grappix with the real assets, choosing "Normal" and then playing a seeded
//     random script (shots, reeling, jumps, mouse moves) for the rest of the frames;
//   - title: the same game left on its title screen for as many frames.
// For each it prints frames per second (wall clock), CPU milliseconds per frame and peak
// resident memory, then the ratios game / baseline. Then what a frame of the title costs
// against one of play, start-up left out, two ways:
//   - CPU: the game and the title run once more for half the frames, and a frame costs the
//     difference in CPU time over the difference in frames (one run each: noisy);
//   - frame by frame: the median time between two shown frames (BRISEL_TIMES; the run is
//     unpaced and drawn on one thread, so that is the frame's cost), the first 200 left out,
//     of the title, of the random play and of a real game (the guarded "Normal" script of the
//     tests, which swings through the stage), in turn, five rounds: each round's title against
//     its plays, the median round.
//
// Usage: game_bench [frames]   (default 3000; run from anywhere, it finds build/run itself)
#include <dlfcn.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "spawn.hpp"

#include "brisel.h"

namespace {

struct Figures {
    double wallSeconds = 0;
    double cpuSeconds = 0;
    long peakKiB = 0;
    int status = -1;
};

template <class Child>
Figures Measure(Child child) {
    auto start = std::chrono::steady_clock::now();
    pid_t pid = fork();
    if (pid == 0) {
        int devnull = open("/dev/null", O_WRONLY);
        dup2(devnull, 1);
        _exit(child());
    }
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    Figures f;
    f.wallSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    f.cpuSeconds = usage.ru_utime.tv_sec + usage.ru_utime.tv_usec / 1e6 + usage.ru_stime.tv_sec +
                   usage.ru_stime.tv_usec / 1e6;
    f.peakKiB = usage.ru_maxrss;
    f.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return f;
}

void Print(const char* name, const Figures& f, int frames) {
    std::printf("%-9s %8.1f frames/s  %7.3f ms CPU/frame  %8.1f MiB peak  (status %d)\n", name,
                frames / f.wallSeconds, 1000 * f.cpuSeconds / frames, f.peakKiB / 1024.0, f.status);
}

std::string RandomNormalPlay(int frames) {
    std::mt19937 rng(2026);
    std::string s = "1 mouse 800 430\n10 down left\n12 up left\n";
    const char* buttons[] = {"left", "right", "middle", "pad0"};
    bool down[4] = {};
    for (int t = 120; t < frames; t += 4 + static_cast<int>(rng() % 20)) {
        s += std::to_string(t) + " mouse " + std::to_string(900 + rng() % 700) + " " +
             std::to_string(60 + rng() % 500) + "\n";
        int b = static_cast<int>(rng() % 4);
        s += std::to_string(t) + (down[b] ? " up " : " down ") + buttons[b] + "\n";
        down[b] = !down[b];
    }
    return s;
}

// The median time between two shown frames in a BRISEL_TIMES file ("step milliseconds" a
// line), the first `skip` frames left out; 0 when there are none.
double MedianFrameMs(const std::string& path, int skip) {
    std::ifstream in(path);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::vector<double> shown, gaps;
    for (const auto& [step, ms] : bench::ShownFrames(text)) shown.push_back(ms);
    for (size_t i = size_t(skip) + 1; i < shown.size(); ++i) gaps.push_back(shown[i] - shown[i - 1]);
    return bench::Median(gaps);
}

}  // namespace

int main(int argc, char** argv) {
    const int frames = argc > 1 ? std::atoi(argv[1]) : 3000;
    const std::string runDir = GRAPPIX_RUN_DIR;
    setenv("SDL_VIDEODRIVER", "dummy", 0);
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    setenv("BRISEL_NOPACE", "1", 1);

    Figures base = Measure([&] {
        if (chdir(runDir.c_str()) != 0) return 2;
        void* lib = dlopen("Data/Brisel.vqd", RTLD_NOW);
        if (lib == nullptr) return 3;
        auto init = reinterpret_cast<decltype(&Init)>(dlsym(lib, "Init"));
        auto act = reinterpret_cast<decltype(&Act)>(dlsym(lib, "Act"));
        auto clear = reinterpret_cast<decltype(&Clear)>(dlsym(lib, "Clear"));
        auto freeEngine = reinterpret_cast<decltype(&Free)>(dlsym(lib, "Free"));
        uintptr_t place = 0;
        BriselInitRecord record{};
        record.flag = 1;
        record.exceptionPlace = &place;
        record.title = "baseline";
        init(&record);
        for (int i = 0; i < frames; ++i) {
            clear(0, 0, 0);
            act();
        }
        freeEngine();
        return 0;
    });

    const std::string script = "/tmp/grappix-game-bench.txt";
    std::ofstream(script) << RandomNormalPlay(frames);
    const std::string idle = "/tmp/grappix-game-bench-idle.txt";
    std::ofstream(idle) << "\n";
    auto runGame = [&](const std::string& input, int count, const char* times = nullptr) {
        if (chdir(runDir.c_str()) != 0) return 2;
        if (times != nullptr) setenv("BRISEL_TIMES", times, 1);
        setenv("BRISEL_INPUT", input.c_str(), 1);
        setenv("BRISEL_FRAMES", std::to_string(count).c_str(), 1);
        setenv("BRISEL_SEED", "1", 1);
        setenv("XDG_DATA_HOME", "/tmp/grappix-bench-data", 1);  // the player's records stay out of it
        execl("./grappix", "grappix", static_cast<char*>(nullptr));
        return 127;
    };
    // The script's first half is the whole script of a run half as long: the same play.
    const int half = frames / 2;
    Figures game = Measure([&] { return runGame(script, frames); });
    Figures title = Measure([&] { return runGame(idle, frames); });
    Figures gameHalf = Measure([&] { return runGame(script, half); });
    Figures titleHalf = Measure([&] { return runGame(idle, half); });
    // Frame by frame: title, random play and a real game in turn, five rounds. The machine's
    // speed drifts (other guests of the host), so each round's play is set against that
    // round's title, and the median round is taken.
    const std::string times = "/tmp/grappix-game-bench.times";
    const std::string played = std::string(GRAPPIX_SOURCE_DIR) + "/tests/games/normal.script";
    const std::string inputs[3] = {idle, script, played};
    std::vector<double> medians[3], ratios[3];
    for (int round = 0; round < 5; ++round)
        for (int k = 0; k < 3; ++k) {
            Measure([&] { return runGame(inputs[k], frames, times.c_str()); });
            medians[k].push_back(MedianFrameMs(times, 200));
            ratios[k].push_back(medians[0].back() / medians[k].back());
        }
    std::remove(times.c_str());
    std::remove(script.c_str());
    std::remove(idle.c_str());
    const double playMs = 1000 * (game.cpuSeconds - gameHalf.cpuSeconds) / (frames - half),
                 titleMs = 1000 * (title.cpuSeconds - titleHalf.cpuSeconds) / (frames - half);

    std::printf("%d frames, headless (SDL dummy drivers), unpaced\n", frames);
    Print("baseline", base, frames);
    Print("game", game, frames);
    Print("title", title, frames);
    std::printf("ratio     %8.2fx slower  %7.2fx CPU  %8.2fx memory\n", game.wallSeconds / base.wallSeconds,
                game.cpuSeconds / base.cpuSeconds, static_cast<double>(game.peakKiB) / base.peakKiB);
    std::printf("title against play, start-up left out: %.3f against %.3f ms CPU/frame: %.2fx\n", titleMs,
                playMs, titleMs / playMs);
    std::printf(
        "frame by frame, median frame of the median round: title %.3f ms, random play %.3f ms, a real "
        "game %.3f ms\n",
        bench::Median(medians[0]), bench::Median(medians[1]), bench::Median(medians[2]));
    std::printf(
        "title against play, frame by frame, median of 5 rounds: %.2fx random play, %.2fx a real game\n",
        bench::Median(ratios[1]), bench::Median(ratios[2]));
    const bool ok = base.status == 0 && game.status == 0 && title.status == 0;
    return ok && gameHalf.status == 0 && titleHalf.status == 0 ? 0 : 1;
}
