// What the game costs while its window is minimised, against the same screen shown.
//
//   minimised_bench [seconds measured, default 8] [run folder]
//
// The real game runs paced at 60 steps a second (headless, SDL's dummy drivers), driven by an
// input script: once on the title, once in a game paused at the same step. For each, one run
// with the window shown and one where the script minimises it (as the window manager would).
// The CPU time of the whole process (every thread: the game, the engine, the sound) is read
// from /proc over a stretch in the middle of the run, and printed as a share of one core,
// with the minimised run's share as a ratio of the shown one's.
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

namespace {

// utime + stime of the process, in seconds.
double CpuSeconds(pid_t pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    // Fields after the command name, which is in parentheses and may hold spaces.
    size_t close = text.rfind(')');
    if (close == std::string::npos) return -1;
    std::istringstream fields(text.substr(close + 2));
    std::string field;
    long utime = 0, stime = 0;
    for (int i = 3; i <= 15 && fields >> field; ++i) {
        if (i == 14) utime = std::stol(field);
        if (i == 15) stime = std::stol(field);
    }
    return double(utime + stime) / double(sysconf(_SC_CLK_TCK));
}

// Share of one core the game uses from `settle` seconds after its start, over `seconds`.
double CoreShare(const std::string& runDir, const std::string& script, double settle, double seconds) {
    char folder[] = "/tmp/grappix-minimised-XXXXXX";
    if (mkdtemp(folder) == nullptr) std::exit(2);
    const std::string scriptPath = std::string(folder) + "/input.txt";
    std::ofstream(scriptPath) << script;
    const int frames = int((settle + seconds + 2) * 60);
    pid_t pid = fork();
    if (pid == 0) {
        if (chdir(runDir.c_str()) != 0) _exit(127);
        setenv("SDL_VIDEODRIVER", "dummy", 1);
        setenv("SDL_AUDIODRIVER", "dummy", 1);
        setenv("BRISEL_INPUT", scriptPath.c_str(), 1);
        setenv("BRISEL_FRAMES", std::to_string(frames).c_str(), 1);
        setenv("BRISEL_SEED", "1", 1);
        setenv("XDG_CONFIG_HOME", folder, 1);
        setenv("XDG_DATA_HOME", folder, 1);
        for (const char* name : {"BRISEL_NOPACE", "BRISEL_TRACE", "BRISEL_SHOTS"}) unsetenv(name);
        int null = open("/dev/null", O_RDWR);
        dup2(null, 0);
        dup2(null, 1);
        execl("./grappix", "grappix", static_cast<char*>(nullptr));
        _exit(127);
    }
    using Clock = std::chrono::steady_clock;
    std::this_thread::sleep_for(std::chrono::duration<double>(settle));
    const double cpu0 = CpuSeconds(pid);
    const auto t0 = Clock::now();
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
    const double cpu1 = CpuSeconds(pid);
    const double wall = std::chrono::duration<double>(Clock::now() - t0).count();
    int status = 0;
    waitpid(pid, &status, 0);
    std::string cleanup = std::string("rm -rf ") + folder;
    if (std::system(cleanup.c_str()) != 0) std::perror("rm");
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0 || cpu0 < 0 || cpu1 < 0) {
        std::fprintf(stderr, "minimised_bench: the game did not run as scripted (status %d)\n", status);
        std::exit(1);
    }
    return (cpu1 - cpu0) / wall;
}

}  // namespace

int main(int argc, char** argv) {
    const double seconds = argc > 1 ? std::atof(argv[1]) : 8.0;
    const std::string runDir = argc > 2 ? argv[2] : GRAPPIX_RUN_DIR;
    const double settle = 4.0;  // start-up and the first minutes of scripted input are over
    // Step 180 (3 s): the title's window is minimised, or a game is paused and minimised.
    const std::string title = "1 mouse 0 0\n";
    const std::string game = "1 mouse 800 430\n10 down left\n12 up left\n180 down pad3\n182 up pad3\n";
    const std::string minimise = "180 window minimised\n";

    std::printf("CPU while minimised against the same screen shown, paced at 60 Hz, headless, %.0f s each\n",
                seconds);
    std::printf("%-22s %12s %12s %8s\n", "screen", "shown", "minimised", "ratio");
    for (auto [name, script] : {std::pair{"title", title}, std::pair{"paused game", game}}) {
        const double shown = CoreShare(runDir, script, settle, seconds);
        const double hidden = CoreShare(runDir, script + minimise, settle, seconds);
        std::printf("%-22s %11.2f%% %11.2f%% %8.3f\n", name, 100 * shown, 100 * hidden,
                    shown > 0 ? hidden / shown : 0.0);
    }
    return 0;
}
