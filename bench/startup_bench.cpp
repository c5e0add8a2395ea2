// startup_bench -- how soon the game shows its first frame, how smoothly it changes scenes and
// how much memory a game takes, headless (SDL's dummy drivers) and unpaced.
//
//   startup_bench [label=run-folder ...]     (default: this build's run folder)
//
// Several run folders (say a build of the code before a change and one after) are measured
// in the same invocation, interleaved, so that a busy machine weighs on all of them alike:
//   1. start-up: the whole process, from its start to its exit after the first frame showing
//      the title (BRISEL_FRAMES=2: the game steps a frame before it draws its first), against
//      bare_start, a bare SDL program that only opens a window and an audio device and shows
//      one cleared frame. Medians of 7 runs, ratio game / bare.
//   2. scene changes: a run through the title into a game of "Normal", a few seconds of play,
//      the pause screen, "Return Title" and a few seconds of title, with BRISEL_TIMES. The
//      largest gap between two shown frames around entering the game and around returning
//      (the change's own frame step and the ten after it), and the largest anywhere else after
//      the first title frame (start-up is part 1).
//      Median and worst of 5 runs.
//   3. peak memory of a 3000-frame game of "Normal" with random play (the child's maximum
//      resident set, from wait4).
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "spawn.hpp"

namespace {

using bench::At;
using bench::Env;
using bench::Median;
using bench::Run;
using bench::Spawn;

std::string Click(int n, int x, int y) {
    return At(n, "mouse " + std::to_string(x) + " " + std::to_string(y)) + At(n, "down left") +
           At(n + 2, "up left");
}

// Title, "Normal" picked at step 12, shots and swings, pause at 300, "Return Title" at 312,
// then the title again until step 420.
constexpr int kSceneFrames = 420;
std::string SceneScript() {
    std::string s = Click(10, 800, 430);
    for (int t = 130; t < 290; t += 40)
        s += At(t, "mouse 1100 200") + At(t, "down left") + At(t + 10, "down right") +
             At(t + 25, "up right") + At(t + 30, "up left");
    s += At(300, "down pad3") + At(302, "up pad3") + Click(310, 800, 670);
    return s;
}

std::string RandomNormalPlay(int frames) {
    std::mt19937 rng(2026);
    std::string s = Click(10, 800, 430);
    const char* buttons[] = {"left", "right", "middle", "pad0"};
    bool down[4] = {};
    for (int t = 120; t < frames; t += 4 + static_cast<int>(rng() % 20)) {
        s += At(t, "mouse " + std::to_string(900 + rng() % 700) + " " + std::to_string(60 + rng() % 500));
        int b = static_cast<int>(rng() % 4);
        s += At(t, std::string(down[b] ? "up " : "down ") + buttons[b]);
        down[b] = !down[b];
    }
    return s;
}

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

// The frame steps after which the game scene and the title scene began: a scene starts its
// music in its set-up, so the first "play" of each piece follows the last frame of the scene
// before it.
struct Changes {
    int enterGame = -1, returnTitle = -1;
};
Changes FindChanges(const std::string& trace) {
    Changes c;
    std::istringstream in(trace);
    std::string line;
    int frame = 0;
    while (std::getline(in, line)) {
        if (line.rfind("frame ", 0) == 0) frame = std::atoi(line.c_str() + 6);
        if (line.rfind("play chaser3.ogg", 0) == 0 && c.enterGame < 0) c.enterGame = frame;
        if (line.rfind("play chaser.ogg", 0) == 0 && frame > 0 && c.enterGame >= 0 && c.returnTitle < 0)
            c.returnTitle = frame;
    }
    return c;
}

struct Gaps {
    double enter = -1, back = -1, elsewhere = -1;
};
Gaps ReadGaps(const std::string& times, const Changes& c) {
    const std::map<int, double> shown = bench::ShownFrames(times);
    Gaps g;
    for (auto it = std::next(shown.begin(), shown.empty() ? 0 : 1); it != shown.end(); ++it) {
        const double gap = it->second - std::prev(it)->second;
        const int f = it->first;
        if (c.enterGame >= 0 && f > c.enterGame && f <= c.enterGame + 11)
            g.enter = std::max(g.enter, gap);
        else if (c.returnTitle >= 0 && f > c.returnTitle && f <= c.returnTitle + 11)
            g.back = std::max(g.back, gap);
        else if (f > 2)
            g.elsewhere = std::max(g.elsewhere, gap);
    }
    return g;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::pair<std::string, std::string>> dirs;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        size_t eq = a.find('=');
        if (eq == std::string::npos)
            dirs.push_back({a, a});
        else
            dirs.push_back({a.substr(0, eq), a.substr(eq + 1)});
    }
    if (dirs.empty()) dirs.push_back({"this build", GRAPPIX_RUN_DIR});
    const std::string bare = BARE_START_PATH;
    bool ok = true;

    // ---- 1. start-up ------------------------------------------------------------------------
    const int rounds = 7;
    std::vector<double> bareMs, bareCpu;
    std::vector<std::vector<double>> gameMs(dirs.size()), gameCpu(dirs.size());
    for (int r = 0; r < rounds; ++r) {
        Run b = Spawn("/", {bare}, {});
        ok &= b.status == 0;
        bareMs.push_back(b.wallMs);
        bareCpu.push_back(b.cpuMs);
        for (size_t d = 0; d < dirs.size(); ++d) {
            Run g = Spawn(dirs[d].second, {"./grappix"}, {{"BRISEL_FRAMES", "2"}});
            ok &= g.status == 0;
            gameMs[d].push_back(g.wallMs);
            gameCpu[d].push_back(g.cpuMs);
        }
    }
    std::printf("start-up to the first frame of the title and exit, median of %d (headless, unpaced)\n",
                rounds);
    std::printf("  %-24s %8.1f ms                          (CPU %6.1f ms)\n", "bare SDL program",
                Median(bareMs), Median(bareCpu));
    for (size_t d = 0; d < dirs.size(); ++d)
        std::printf("  %-24s %8.1f ms   %5.2fx the bare program  (CPU %6.1f ms, %5.2fx)\n",
                    dirs[d].first.c_str(), Median(gameMs[d]), Median(gameMs[d]) / Median(bareMs),
                    Median(gameCpu[d]), Median(gameCpu[d]) / Median(bareCpu));
    double load[3] = {0, 0, 0};
    if (getloadavg(load, 3) > 0) std::printf("  (load average %.2f on this machine)\n", load[0]);

    // ---- 2. scene changes ---------------------------------------------------------------------
    char tmp[] = "/tmp/grappix-startup-bench-XXXXXX";
    if (mkdtemp(tmp) == nullptr) return 2;
    const std::string work = tmp;
    std::ofstream(work + "/scenes.txt") << SceneScript();
    const int runs = 5;
    std::vector<std::vector<Gaps>> gaps(dirs.size());
    for (int r = 0; r < runs; ++r)
        for (size_t d = 0; d < dirs.size(); ++d) {
            Run g = Spawn(dirs[d].second, {"./grappix"},
                          {{"BRISEL_INPUT", work + "/scenes.txt"},
                           {"BRISEL_FRAMES", std::to_string(kSceneFrames)},
                           {"BRISEL_TRACE", work + "/trace.txt"},
                           {"BRISEL_TIMES", work + "/times.txt"}});
            ok &= g.status == 0;
            Changes c = FindChanges(ReadAll(work + "/trace.txt"));
            if (c.enterGame < 0 || c.returnTitle < 0) {
                std::fprintf(stderr, "%s: the run did not enter a game and return\n", dirs[d].first.c_str());
                ok = false;
            }
            gaps[d].push_back(ReadGaps(ReadAll(work + "/times.txt"), c));
        }
    std::printf("largest gap between two shown frames, median (worst) of %d runs\n", runs);
    for (size_t d = 0; d < dirs.size(); ++d) {
        auto figure = [&](double Gaps::*field) {
            std::vector<double> v;
            for (const Gaps& g : gaps[d]) v.push_back(g.*field);
            char text[64];
            std::snprintf(text, sizeof text, "%6.1f ms (%6.1f)", Median(v),
                          *std::max_element(v.begin(), v.end()));
            return std::string(text);
        };
        std::printf("  %-24s entering a game %s  returning to the title %s  elsewhere %s\n",
                    dirs[d].first.c_str(), figure(&Gaps::enter).c_str(), figure(&Gaps::back).c_str(),
                    figure(&Gaps::elsewhere).c_str());
    }

    // ---- 3. peak memory -------------------------------------------------------------------------
    const int frames = 3000;
    std::ofstream(work + "/normal.txt") << RandomNormalPlay(frames);
    std::printf("peak resident memory of a %d-frame game of \"Normal\"\n", frames);
    for (size_t d = 0; d < dirs.size(); ++d) {
        Run g = Spawn(dirs[d].second, {"./grappix"},
                      {{"BRISEL_INPUT", work + "/normal.txt"}, {"BRISEL_FRAMES", std::to_string(frames)}});
        ok &= g.status == 0;
        std::printf("  %-24s %8.1f MiB\n", dirs[d].first.c_str(), g.peakKiB / 1024.0);
    }
    for (const char* f : {"scenes.txt", "normal.txt", "trace.txt", "times.txt"})
        std::remove((work + "/" + f).c_str());
    rmdir(work.c_str());
    if (!ok) std::fprintf(stderr, "startup_bench: a run failed\n");
    return ok ? 0 : 1;
}
