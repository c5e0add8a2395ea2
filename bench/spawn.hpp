// spawn.hpp -- runs the game (or any program) as a child for a benchmark, and what it cost.
//
// The child runs headless (SDL's dummy drivers), unpaced, with a fixed seed, none of the
// caller's BRISEL_ variables, its output thrown away, and its settings, records and replays
// in a folder of the benchmark's own, so that measuring never touches the player's files.
#pragma once

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace bench {

using Env = std::vector<std::pair<std::string, std::string>>;

struct Run {
    double wallMs = 0;  // from fork to exit
    double cpuMs = 0;   // user + system time of the child: what the machine's load inflates least
    long peakKiB = 0;   // the child's largest resident set
    int status = -1;    // exit status, -1 when it did not exit
};

// Runs argv (argv[0] a path) in dir with the extra environment and waits for it.
inline Run Spawn(const std::string& dir, const std::vector<std::string>& argv, const Env& env) {
    auto start = std::chrono::steady_clock::now();
    pid_t pid = fork();
    if (pid == 0) {
        if (chdir(dir.c_str()) != 0) _exit(126);
        for (const char* name : {"BRISEL_INPUT", "BRISEL_FRAMES", "BRISEL_TRACE", "BRISEL_TIMES",
                                 "BRISEL_FRAMESKIP", "BRISEL_RENDERER", "BRISEL_SHOTS", "BRISEL_SHOT_FRAMES",
                                 "BRISEL_DEBUG", "BRISEL_RECORD", "BRISEL_REPLAY", "BRISEL_REPLAY_FROM",
                                 "BRISEL_REPLAY_FORCE", "BRISEL_VIEWER_KEYS", "DISPLAY", "WAYLAND_DISPLAY"})
            unsetenv(name);
        setenv("SDL_VIDEODRIVER", "dummy", 1);
        setenv("SDL_AUDIODRIVER", "dummy", 1);
        setenv("BRISEL_NOPACE", "1", 1);
        setenv("BRISEL_SEED", "1", 1);
        for (const char* xdg : {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_STATE_HOME"})
            setenv(xdg, "/tmp/grappix-bench-home", 1);
        for (const auto& [k, v] : env) setenv(k.c_str(), v.c_str(), 1);
        int null = open("/dev/null", O_RDWR);
        dup2(null, 0);
        dup2(null, 1);
        dup2(null, 2);
        std::vector<char*> args;
        for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        execv(args[0], args.data());
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    Run r;
    r.wallMs = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    r.cpuMs = double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1000.0 +
              double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1000.0;
    r.peakKiB = usage.ru_maxrss;
    r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return r;
}

// A line of an input script: `event` at step n.
inline std::string At(int n, const std::string& event) { return std::to_string(n) + " " + event + "\n"; }

// "Normal" picked on the title, then random swinging until `steps` (the same every run).
inline std::string RandomPlay(int steps) {
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

// A recorded replay's header lines (its notes, without the first line's format), under the
// first line of format 1, which needs no checks: the start of a replay made up of other events.
inline std::string HeaderAsFormat1(const std::string& replay) {
    std::string header = "# grappix replay 1\n";
    std::ifstream in(replay);
    std::string line;
    std::getline(in, line);
    while (std::getline(in, line) && !line.empty() && (line[0] < '0' || line[0] > '9') &&
           line.rfind("end ", 0) != 0 && line.rfind("check ", 0) != 0)
        header += line + "\n";
    return header;
}

inline double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

// The shown frames of a BRISEL_TIMES text ("step milliseconds" a line, "skipped" after the
// steps that were not shown): step -> milliseconds.
inline std::map<int, double> ShownFrames(const std::string& times) {
    std::map<int, double> shown;
    std::istringstream in(times);
    std::string line;
    while (std::getline(in, line)) {
        int frame;
        double ms;
        std::string skipped;
        std::istringstream fields(line);
        if ((fields >> frame >> ms) && !(fields >> skipped)) shown[frame] = ms;
    }
    return shown;
}

}  // namespace bench
