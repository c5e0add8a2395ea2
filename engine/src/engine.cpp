// engine.cpp -- shared machinery: the entry guard, failures, the handle registry, files,
// configuration, the trace and the random generator.
#include "engine.hpp"
#include "platform_clock.hpp"

#include <sys/stat.h>
#include <cerrno>
#include <cstdarg>
#include <cstring>
#include <ctime>
#include <fstream>

namespace brisel {

namespace {

int g_entryDepth = 0;         // nesting of entry points (one thread calls the engine)
void* g_entrySite = nullptr;  // caller's code address of the outermost entry point

}  // namespace

EntryGuard::EntryGuard(void* site) : saved_(GetFpSetting()), outermost_(g_entryDepth == 0) {
    SetDefaultFpSetting();  // every exception masked, round to nearest
    if (outermost_) g_entrySite = site;
    ++g_entryDepth;
}

EntryGuard::~EntryGuard() {
    --g_entryDepth;
    if (outermost_) g_entrySite = nullptr;
    SetFpSetting(saved_);
}

void Raise(uint32_t code, const std::string& message) {
    Engine& e = E();
    if (e.exceptionPlace != nullptr && *e.exceptionPlace == 0)
        *e.exceptionPlace = reinterpret_cast<uintptr_t>(g_entrySite);
    if (e.config.debug) std::fprintf(stderr, "brisel: failure %u: %s\n", code, message.c_str());
    throw BriselFailure(code, message.data(), message.size());
}

void RaiseNotProvided(const char* name) {
    Raise(BRISEL_FAIL_NOT_PROVIDED, std::string(name) + ": not provided by this build");
}

Engine& E() {
    static Engine engine;
    return engine;
}

// ---- random numbers --------------------------------------------------------------------

void Rng::Seed(uint64_t seed) {
    for (uint64_t& word : s_) {
        seed += 0x9E3779B97F4A7C15ull;
        uint64_t z = seed;
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        word = z ^ (z >> 31);
    }
}

uint64_t Rng::Next() {
    auto rotl = [](uint64_t x, int k) { return (x << k) | (x >> (64 - k)); };
    uint64_t result = rotl(s_[1] * 5, 7) * 9;
    uint64_t t = s_[1] << 17;
    s_[2] ^= s_[0];
    s_[3] ^= s_[1];
    s_[1] ^= s_[2];
    s_[0] ^= s_[3];
    s_[2] ^= t;
    s_[3] = rotl(s_[3], 45);
    return result;
}

int64_t Rng::Range(int64_t min, int64_t max) {
    if (min > max) std::swap(min, max);
    uint64_t span = uint64_t(max) - uint64_t(min);
    if (span == UINT64_MAX) return int64_t(Next());
    uint64_t n = span + 1;
    // Rejection keeps every value equally likely.
    uint64_t limit = UINT64_MAX - UINT64_MAX % n;
    uint64_t r;
    do r = Next();
    while (r >= limit);
    return int64_t(uint64_t(min) + r % n);
}

double Rng::RangeF(double min, double max) {
    double unit = double(Next() >> 11) * (1.0 / 9007199254740992.0);  // [0, 1)
    double v = min + (max - min) * unit;
    return (v >= max && max > min) ? min : v;
}

Rng& MainRng() {
    static Rng rng(uint64_t(time(nullptr)) ^ 0x5DEECE66Dull);
    return rng;
}

// ---- configuration -------------------------------------------------------------------------

namespace {

bool ParseWhole(const char* text, int64_t& value) {
    if (text == nullptr || *text == '\0') return false;
    errno = 0;
    char* end = nullptr;
    long long v = std::strtoll(text, &end, 10);
    if (errno != 0 || *end != '\0') return false;
    value = v;
    return true;
}

std::string Env(const char* name) {
    const char* v = std::getenv(name);
    return v != nullptr ? v : "";
}

[[noreturn]] void BadSetting(const char* name, const std::string& value, const char* what) {
    Raise(BRISEL_FAIL_ARGUMENT, std::string(name) + "=" + value + ": " + what);
}

}  // namespace

Config ReadConfig() {
    Config c;
    c.inputScript = Env("BRISEL_INPUT");
    c.tracePath = Env("BRISEL_TRACE");
    c.timesPath = Env("BRISEL_TIMES");
    c.shotDir = Env("BRISEL_SHOTS");
    c.debug = Env("BRISEL_DEBUG") == "1";
    c.noPace = Env("BRISEL_NOPACE") == "1";
    c.noDraw = Env("BRISEL_NODRAW") == "1";
    const std::string frameSkip = Env("BRISEL_FRAMESKIP");
    if (!frameSkip.empty() && frameSkip != "0" && frameSkip != "1")
        BadSetting("BRISEL_FRAMESKIP", frameSkip, "expected 0 (show every step) or 1 (the default)");
    c.frameSkip = frameSkip != "0";
    c.renderer = Env("BRISEL_RENDERER");
    if (!c.renderer.empty() && c.renderer != "software" && c.renderer != "gpu")
        BadSetting("BRISEL_RENDERER", c.renderer, "expected software or gpu");

    std::string frames = Env("BRISEL_FRAMES");
    if (!frames.empty()) {
        if (!ParseWhole(frames.c_str(), c.frameLimit) || c.frameLimit < 1)
            BadSetting("BRISEL_FRAMES", frames, "not a whole number from 1");
    }
    std::string seed = Env("BRISEL_SEED");
    if (!seed.empty()) {
        int64_t v = 0;
        if (!ParseWhole(seed.c_str(), v)) BadSetting("BRISEL_SEED", seed, "not a whole number");
        c.haveSeed = true;
        c.seed = uint64_t(v);
    }
    c.recordPath = Env("BRISEL_RECORD");
    c.replayPath = Env("BRISEL_REPLAY");
    c.replayForce = Env("BRISEL_REPLAY_FORCE") == "1";
    std::string from = Env("BRISEL_REPLAY_FROM");
    if (!from.empty()) {
        if (!ParseWhole(from.c_str(), c.replayFrom) || c.replayFrom < 1)
            BadSetting("BRISEL_REPLAY_FROM", from, "not a frame step (a whole number from 1)");
        if (c.replayPath.empty())
            BadSetting("BRISEL_REPLAY_FROM", from, "BRISEL_REPLAY names no replay to play");
    }
    const std::string viewer = Env("BRISEL_VIEWER_KEYS");
    if (!viewer.empty()) {
        if (c.replayPath.empty())
            BadSetting("BRISEL_VIEWER_KEYS", viewer, "BRISEL_REPLAY names no replay to view");
        size_t pos = 0;
        while (pos < viewer.size()) {
            size_t comma = std::min(viewer.find(',', pos), viewer.size());
            const std::string item = viewer.substr(pos, comma - pos);
            const size_t begin = item.find_first_not_of(' ');
            const size_t space = item.find(' ', begin);
            int64_t at = 0;
            const std::string command = space == std::string::npos ? "" : item.substr(space + 1);
            if (begin == std::string::npos || space == std::string::npos ||
                !ParseWhole(item.substr(begin, space - begin).c_str(), at) || at < 0 ||
                !IsViewerCommand(command) || (!c.viewerKeys.empty() && at < c.viewerKeys.back().first))
                BadSetting("BRISEL_VIEWER_KEYS", viewer,
                           "expected '<frame> <command>' in order, separated by commas (commands: slower, "
                           "faster, back, forward, step, pause, quit)");
            c.viewerKeys.emplace_back(at, command);
            pos = comma + 1;
        }
    }
    if (!c.replayPath.empty() && !c.inputScript.empty())
        BadSetting("BRISEL_REPLAY", c.replayPath,
                   "BRISEL_INPUT names an input script too; a run takes one of them");
    std::string shots = Env("BRISEL_SHOT_FRAMES");
    if (!shots.empty()) {
        size_t pos = 0;
        while (pos <= shots.size()) {
            size_t comma = shots.find(',', pos);
            if (comma == std::string::npos) comma = shots.size();
            std::string item = shots.substr(pos, comma - pos);
            int64_t v = 0;
            if (!ParseWhole(item.c_str(), v) || v < 1)
                BadSetting("BRISEL_SHOT_FRAMES", shots, "expected frame steps like 1,60,120");
            c.shotFrames.insert(v);
            pos = comma + 1;
        }
        if (c.shotDir.empty())
            BadSetting("BRISEL_SHOT_FRAMES", shots, "BRISEL_SHOTS names no folder for the pictures");
        if (c.noDraw) BadSetting("BRISEL_SHOT_FRAMES", shots, "BRISEL_NODRAW=1 draws no pictures to take");
    }
    return c;
}

// ---- files -----------------------------------------------------------------------------------

std::string DataPath(const char* name) {
    std::string n = name != nullptr ? name : "";
    if (!n.empty() && n[0] == '/') return n;  // absolute paths are taken as they are
    return "Data/" + n;
}

std::vector<uint8_t> ReadWholeFile(const std::string& path) {
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (f == nullptr) Raise(BRISEL_FAIL_LOAD, path + ": cannot open (" + std::strerror(errno) + ")");
    std::vector<uint8_t> data;
    uint8_t buffer[65536];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) data.insert(data.end(), buffer, buffer + n);
    bool failed = std::ferror(f) != 0;
    std::fclose(f);
    if (failed) Raise(BRISEL_FAIL_LOAD, path + ": read error");
    if (data.empty()) Raise(BRISEL_FAIL_LOAD, path + ": file is empty");
    return data;
}

void RequireInit(const char* name) {
    if (!E().initialised)
        Raise(BRISEL_FAIL_NOT_READY, std::string(name) + ": the engine is not initialised (call Init first)");
}

// ---- handles ---------------------------------------------------------------------------------

void Register(const void* handle, Kind kind) { E().handles[handle] = kind; }

bool IsLive(const void* handle, Kind kind) {
    if (handle == nullptr) return false;
    auto it = E().handles.find(handle);
    return it != E().handles.end() && it->second == kind;
}

void Unregister(const void* handle) { E().handles.erase(handle); }

// ---- trace -------------------------------------------------------------------------------------

// ---- frame times -------------------------------------------------------------------------------

int64_t MonotonicNs() { return MonotonicNowNs(); }

void OpenTimes(Engine& e) {
    if (e.config.timesPath.empty()) return;
    e.times = std::fopen(e.config.timesPath.c_str(), "wb");
    if (e.times == nullptr)
        Raise(BRISEL_FAIL_SYSTEM,
              e.config.timesPath + ": cannot write the frame times (" + std::strerror(errno) + ")");
}

// Written right after the frame reached the window, before pacing: what a stall between
// two frames looks like to the player, whatever made it. A step skipped to keep time has its
// line too, marked " skipped", written when the step ends.
void WriteShownTime(Engine& e, bool shown) {
    if (e.times == nullptr) return;
    std::fprintf(e.times, "%lld %.3f%s\n", static_cast<long long>(e.step),
                 double(MonotonicNs() - e.initNs) / 1.0e6, shown ? "" : " skipped");
    std::fflush(e.times);
}

void CloseTimes(Engine& e) {
    if (e.times != nullptr) std::fclose(e.times);
    e.times = nullptr;
}

void TraceLine(const char* format, ...) {
    FILE* f = E().trace;
    if (f == nullptr) return;
    va_list args;
    va_start(args, format);
    std::vfprintf(f, format, args);
    va_end(args);
    std::fputc('\n', f);
}

}  // namespace brisel
