// Every file the game loads, broken one at a time: missing, empty, cut short and replaced by
// random bytes. A texture, the font or the engine library: the run ends with status 1 and one
// line on standard error naming the file and what is wrong with it. A sound: the game plays
// on without it. Never a crash, a hang or a core dump.
//
// Each case runs the real game in a copy of the run folder whose files are links to the good
// ones, but for the one under test; the cases run side by side, a few at a time.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <future>
#include <random>
#include <sstream>
#include <thread>

#include "support/process.hpp"
#include "support/trace.hpp"

#if defined(GRAPPIX_HAVE_ENGINE) && defined(GRAPPIX_HAVE_ASSETS)

namespace grappix {
namespace {

namespace fs = std::filesystem;
using test::ProcessResult;
using test::TempDir;
using test::TraceFrame;

const std::vector<std::string> kTextures = {
    "title03.vqtex", "font_128_64.vqtex", "distant_view.vqtex", "lake.vqtex", "ground.vqtex",
    "roof.vqtex",    "block.vqtex",       "combo.vqtex",        "wire.vqtex", "anchor.vqtex",
    "ring.vqtex",    "hookpoint.vqtex",   "ese_raf.vqtex",      "smog.vqtex"};
const std::vector<std::string> kSounds = {"chaser.ogg",   "chaser3.ogg", "arrow01.ogg", "hit_p13_a.ogg",
                                          "attack00.ogg", "power32.ogg", "down.ogg"};

enum class Fault { Missing, Empty, CutShort, Random };
const Fault kFaults[] = {Fault::Missing, Fault::Empty, Fault::CutShort, Fault::Random};

const char* FaultName(Fault f) {
    switch (f) {
    case Fault::Missing: return "missing";
    case Fault::Empty: return "empty";
    case Fault::CutShort: return "cut short";
    case Fault::Random: return "random bytes";
    }
    return "?";
}

// A game that loads everything: the title (its logo, lettering, font and music), a game in
// "Normal" (every picture and sound of play, a shot, a catch, reeling), the pause screen and
// "Return Title"; then "Free Style", reeled fast enough for the speed to climb a rank, left
// alone until it drops one, and jumps.
std::string FullScript() {
    std::ostringstream s;
    s << "1 mouse 800 430\n10 down left\n12 up left\n"
      << "120 mouse 1100 120\n120 down left\n140 down right\n165 up right\n170 up left\n"
      << "180 down pad0\n182 up pad0\n"
      << "200 down pad3\n202 up pad3\n210 mouse 800 670\n210 down left\n212 up left\n"
      << "220 mouse 800 670\n220 down left\n222 up left\n";
    int t = 326;
    for (; t < 326 + 250; t += 25)
        s << t << " mouse 1500 300\n"
          << t << " down left\n"
          << t + 5 << " down right\n"
          << t + 22 << " up right\n"
          << t + 23 << " up left\n";
    for (int k = 0; k < 12; ++k) s << t + 20 * k << " down pad0\n" << t + 20 * k + 2 << " up pad0\n";
    return s.str();
}
constexpr int kFullFrames = 900;

struct Case {
    std::string file;
    Fault fault;
    int frames;
    bool draw = true;  // a sound's cases need only the calls: BRISEL_NODRAW
};

struct Outcome {
    ProcessResult result;
    std::vector<TraceFrame> frames;
};

// The bytes that replace a good file for a fault (nothing for Missing).
std::string Broken(const std::string& file, const std::string& good, Fault fault) {
    switch (fault) {
    case Fault::Missing:
    case Fault::Empty: return "";
    case Fault::CutShort:
        // The library's first 64 KiB hold its headers but not all of its code; everything
        // else loses its second half.
        return file == "Brisel.vqd" ? good.substr(0, 65536) : good.substr(0, good.size() / 2);
    case Fault::Random: {
        std::mt19937 rng(static_cast<uint32_t>(std::hash<std::string>{}(file)));
        std::string bytes(std::min<size_t>(good.size(), 65536), '\0');
        for (char& c : bytes) c = static_cast<char>(rng());
        return bytes;
    }
    }
    return "";
}

Outcome RunCase(const Case& c, const std::string& script) {
    TempDir dir;
    const fs::path run(GRAPPIX_RUN_DIR);
    fs::create_directory(dir / "Data");
    test::PlaceGame(run / "grappix", dir);
    for (const auto& entry : fs::directory_iterator(run / "Data")) {
        std::string name = entry.path().filename().string();
        if (name == c.file) continue;
        fs::create_symlink(entry.path(), dir / ("Data/" + name));
    }
    if (!c.file.empty() && c.fault != Fault::Missing)
        test::WriteFile(dir / ("Data/" + c.file),
                        Broken(c.file, test::ReadFile((run / "Data" / c.file).string()), c.fault));
    test::WriteFile(dir / "input.txt", script);
    Outcome out;
    out.result = test::RunProcess({dir / "grappix"}, dir.Path(),
                                  {{"SDL_VIDEODRIVER", "dummy"},
                                   {"SDL_AUDIODRIVER", "dummy"},
                                   {"BRISEL_INPUT", dir / "input.txt"},
                                   {"BRISEL_FRAMES", std::to_string(c.frames)},
                                   {"BRISEL_SEED", "5"},
                                   {"BRISEL_NOPACE", "1"},
                                   {"BRISEL_TRACE", dir / "trace.txt"},
                                   {"BRISEL_NODRAW", c.draw ? "0" : "1"}},
                                  300.0);
    out.frames = test::ParseTrace(test::ReadFile(dir / "trace.txt"));
    return out;
}

// Runs the cases a few at a time (each is a process of its own).
std::vector<Outcome> RunAll(const std::vector<Case>& cases, const std::string& script) {
    std::vector<Outcome> outcomes(cases.size());
    const size_t width = std::max(2u, std::thread::hardware_concurrency());
    std::vector<std::future<void>> running;
    for (size_t next = 0; next < cases.size();) {
        while (running.size() < width && next < cases.size()) {
            size_t i = next++;
            running.push_back(
                std::async(std::launch::async, [&, i] { outcomes[i] = RunCase(cases[i], script); }));
        }
        running.front().get();
        running.erase(running.begin());
    }
    for (auto& r : running) r.get();
    return outcomes;
}

int FirstPlay(const std::vector<TraceFrame>& frames, const std::string& file) {
    for (const TraceFrame& f : frames)
        if (f.Plays(file)) return static_cast<int>(f.step);
    return -1;
}

std::string Describe(const Case& c) { return c.file + " " + FaultName(c.fault); }

TEST(BadFileTest, APictureTheFontOrTheLibraryEndsTheRunWithOneLineNamingTheFile) {
    // Guards against a bad file crashing the game (an access fault in a decoder, SIGBUS in
    // the loader on a library cut short), hanging it, or ending it silently or as success.
    std::vector<Case> cases;
    std::vector<std::string> files = kTextures;
    files.push_back("font.ttf");
    files.push_back("Brisel.vqd");
    for (const std::string& file : files)
        for (Fault fault : kFaults) cases.push_back({file, fault, kFullFrames});
    std::vector<Outcome> outcomes = RunAll(cases, FullScript());
    for (size_t i = 0; i < cases.size(); ++i) {
        const Case& c = cases[i];
        const ProcessResult& r = outcomes[i].result;
        SCOPED_TRACE(Describe(c));
        EXPECT_FALSE(r.timedOut);
        EXPECT_EQ(r.signal, 0);
        EXPECT_EQ(r.status, 1) << r.err;
        ASSERT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
        EXPECT_NE(r.err.find("Data/" + c.file + ": "), std::string::npos) << r.err;
        std::string why = r.err.substr(r.err.find("Data/" + c.file + ": ") + c.file.size() + 7);
        switch (c.fault) {
        case Fault::Missing: EXPECT_NE(why.find("No such file"), std::string::npos) << r.err; break;
        case Fault::Empty:
            EXPECT_TRUE(why.find("empty") != std::string::npos || why.find("too short") != std::string::npos)
                << r.err;
            break;
        default: EXPECT_GT(why.size(), 10u) << "the line must say what is wrong: " << r.err;
        }
    }
}

TEST(BadFileTest, ASoundThatCannotBeLoadedStaysSilentAndTheGamePlaysOn) {
    // Guards against a bad sound stopping the game, crashing it, or being played anyway.
    Outcome good = RunAll({{"", Fault::Missing, kFullFrames, false}}, FullScript())[0];
    ASSERT_EQ(good.result.status, 0) << good.result.err;
    ASSERT_EQ(good.result.err, "");
    // The script must reach every picture and every sound, or the broken cases prove nothing.
    for (const std::string& t : kTextures) {
        bool drawn = std::any_of(good.frames.begin(), good.frames.end(),
                                 [&](const TraceFrame& f) { return !f.TexOf(t).empty(); });
        EXPECT_TRUE(drawn) << t << " is never drawn by the script";
    }
    std::vector<Case> cases;
    for (const std::string& file : kSounds) {
        int first = FirstPlay(good.frames, file);
        ASSERT_GE(first, 0) << file << " is never played by the script";
        // Far enough to pass where the good run first plays it, and "Return Title" at 212.
        for (Fault fault : kFaults) cases.push_back({file, fault, std::max(first + 10, 230), false});
    }
    std::vector<Outcome> outcomes = RunAll(cases, FullScript());
    for (size_t i = 0; i < cases.size(); ++i) {
        const Case& c = cases[i];
        const Outcome& o = outcomes[i];
        SCOPED_TRACE(Describe(c));
        EXPECT_FALSE(o.result.timedOut);
        EXPECT_EQ(o.result.signal, 0);
        EXPECT_EQ(o.result.status, 0) << o.result.err;
        EXPECT_EQ(o.result.err, "");
        ASSERT_EQ(static_cast<int>(o.frames.size()), c.frames + 1) << "the game stopped early";
        EXPECT_EQ(FirstPlay(o.frames, c.file), -1) << "a sound that failed to load was played";
        // Every other sound still plays where it did.
        for (const std::string& other : kSounds) {
            int first = FirstPlay(good.frames, other);
            if (other != c.file && first <= c.frames) {
                EXPECT_EQ(FirstPlay(o.frames, other), first) << other;
            }
        }
    }
}

}  // namespace
}  // namespace grappix

#endif
