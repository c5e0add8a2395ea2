// Soak: the real game headless and unpaced, for a long time.
//
//   soak_bench [frames per mode, default 20000] [trips, default 40] [run folder]
//
// 1. In each mode, the given number of frames of random input from a seeded generator
//    (cursor anywhere, every play button pressed and released at random; the pause button
//    left alone so the game stays in play).
// 2. Trips title -> game -> pause -> "Return Title", once and then `trips` times, in one run
//    each: the peak memory (the child's maximum resident set, from wait4) after many trips
//    must be the peak after one, within a few percent, or some scene leaks.
// Every run must end with status 0 when its script closes the window. Prints its figures;
// exits non-zero when a run fails or the memory grows by more than 5%.
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace {

struct Run {
    int status = -1;  // exit status, -1 when it did not exit
    int signal = 0;
    double wallSeconds = 0;
    double cpuSeconds = 0;
    long peakKiB = 0;  // maximum resident set size
};

// Runs the game in runDir with the script, unpaced and headless, and waits for it.
Run Play(const std::string& runDir, const std::string& script, int frameLimit) {
    char scriptPath[] = "/tmp/grappix-soak-XXXXXX";
    int fd = mkstemp(scriptPath);
    if (fd < 0) {
        std::perror("mkstemp");
        std::exit(2);
    }
    if (write(fd, script.data(), script.size()) != static_cast<ssize_t>(script.size())) std::exit(2);
    close(fd);
    auto start = std::chrono::steady_clock::now();
    pid_t pid = fork();
    if (pid == 0) {
        if (chdir(runDir.c_str()) != 0) _exit(127);
        setenv("SDL_VIDEODRIVER", "dummy", 1);
        setenv("SDL_AUDIODRIVER", "dummy", 1);
        setenv("BRISEL_INPUT", scriptPath, 1);
        setenv("BRISEL_FRAMES", std::to_string(frameLimit).c_str(), 1);
        setenv("BRISEL_NOPACE", "1", 1);
        setenv("BRISEL_SEED", "1", 1);
        unsetenv("BRISEL_TRACE");
        setenv("XDG_DATA_HOME", "/tmp/grappix-bench-data", 1);  // the player's records stay out of it
        int null = open("/dev/null", O_RDWR);
        dup2(null, 0);
        dup2(null, 1);
        execl("./grappix", "grappix", static_cast<char*>(nullptr));
        _exit(127);
    }
    int wstatus = 0;
    rusage usage{};
    wait4(pid, &wstatus, 0, &usage);
    unlink(scriptPath);
    Run r;
    r.wallSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    r.cpuSeconds = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                   static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    r.peakKiB = usage.ru_maxrss;
    if (WIFEXITED(wstatus)) r.status = WEXITSTATUS(wstatus);
    if (WIFSIGNALED(wstatus)) r.signal = WTERMSIG(wstatus);
    return r;
}

std::string At(int n, const std::string& event) { return std::to_string(n) + " " + event + "\n"; }
std::string Click(int n, int x, int y) {
    return At(n, "mouse " + std::to_string(x) + " " + std::to_string(y)) + At(n, "down left") +
           At(n + 2, "up left");
}

constexpr int kMenuX = 800, kReturnTitleY = 670;
constexpr int kModeY[] = {430, 550, 670};  // "Normal", "No Block", "Free Style"
const char* const kModeName[] = {"Normal", "No Block", "Free Style"};
constexpr int kPlayStart = 114;  // a mode picked by the release of step 12 plays from here

std::string RandomPlay(int mode, int frames, uint32_t seed) {
    std::mt19937 rng(seed);
    std::string s = Click(10, kMenuX, kModeY[mode]);
    const char* buttons[] = {"left", "right", "middle", "pad0",  "pad1",
                             "pad2", "pad12", "pad13",  "pad14", "pad15"};
    bool down[10] = {};
    for (int t = kPlayStart; t < frames; t += 1 + static_cast<int>(rng() % 15)) {
        s += At(t, "mouse " + std::to_string(rng() % 1600) + " " + std::to_string(rng() % 900));
        int b = static_cast<int>(rng() % 10);
        s += At(t, std::string(down[b] ? "up " : "down ") + buttons[b]);
        down[b] = !down[b];
    }
    return s + At(frames, "quit");
}

// Title, a game in each mode in turn, a few seconds of play, pause, "Return Title".
std::string Trips(int trips, int* frames) {
    std::string s;
    int t = 1;
    for (int trip = 0; trip < trips; ++trip) {
        s += Click(t + 5, kMenuX, kModeY[trip % 3]);
        int play = t + 7 + 102;
        for (int k = 0; k < 3; ++k) {  // shoot, reel, let go, jump
            int u = play + 5 + 40 * k;
            s += At(u, "mouse 1100 200") + At(u, "down left") + At(u + 8, "down right") +
                 At(u + 20, "up right") + At(u + 24, "up left") + At(u + 30, "down pad0") +
                 At(u + 32, "up pad0");
        }
        int pause = play + 130;
        s += At(pause, "down pad3") + At(pause + 2, "up pad3");
        s += Click(pause + 10, kMenuX, kReturnTitleY);
        t = pause + 12;
    }
    *frames = t + 10;
    return s + At(*frames, "quit");
}

bool Report(const char* what, const Run& r, int frames) {
    bool ok = r.status == 0 && r.signal == 0;
    std::printf("%-28s %7d frames  status %d%s  wall %6.1f s  cpu %6.1f s (%.2f ms/frame)  peak %7.1f MiB\n",
                what, frames, r.status, r.signal != 0 ? " (signal)" : "", r.wallSeconds, r.cpuSeconds,
                1000.0 * r.cpuSeconds / frames, r.peakKiB / 1024.0);
    return ok;
}

}  // namespace

int main(int argc, char** argv) {
    int frames = argc > 1 ? std::atoi(argv[1]) : 20000;
    int trips = argc > 2 ? std::atoi(argv[2]) : 40;
    std::string runDir = argc > 3 ? argv[3] : GRAPPIX_RUN_DIR;
    if (frames < kPlayStart + 10 || trips < 2) {
        std::fprintf(stderr, "usage: soak_bench [frames per mode >= %d] [trips >= 2] [run folder]\n",
                     kPlayStart + 10);
        return 2;
    }
    std::printf("soak of %s/grappix\n", runDir.c_str());
    bool ok = true;
    for (int mode = 0; mode < 3; ++mode) {
        std::string name = std::string("random play, ") + kModeName[mode];
        ok &= Report(name.c_str(), Play(runDir, RandomPlay(mode, frames, 1234u + mode), frames + 50), frames);
    }
    int oneFrames = 0, manyFrames = 0;
    std::string one = Trips(1, &oneFrames), many = Trips(trips, &manyFrames);
    Run first = Play(runDir, one, oneFrames + 50);
    ok &= Report("1 trip to a game and back", first, oneFrames);
    Run all = Play(runDir, many, manyFrames + 50);
    std::string name = std::to_string(trips) + " trips";
    ok &= Report(name.c_str(), all, manyFrames);
    double growth =
        100.0 * static_cast<double>(all.peakKiB - first.peakKiB) / static_cast<double>(first.peakKiB);
    bool same = growth <= 5.0;
    std::printf("peak memory after %d trips / after 1: %.3f (%+.1f%%): %s\n", trips,
                static_cast<double>(all.peakKiB) / static_cast<double>(first.peakKiB), growth,
                same ? "the same within 5%" : "GROWS");
    return ok && same ? 0 : 1;
}
