// The play of four scripted games (tests/games/*.script) never moves: the play lines of their traces
// (frames, sounds, draws of play's pictures) hash, 50 frames at a time, to the values in <name>.play.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <sstream>

#include "support/process.hpp"

#if defined(GRAPPIX_HAVE_ENGINE) && defined(GRAPPIX_HAVE_ASSETS)

namespace grappix {
namespace {

namespace fs = std::filesystem;

// The <game>.play of a trace: "<first frame> <FNV-1a hash>" of its play lines (frame lines too).
std::string PlayHashes(const std::string& trace) {
    const std::string kPlaySheets = " ese_raf wire anchor ring hookpoint block smog combo ";
    std::vector<uint64_t> blocks;
    int64_t frame = -1;
    std::istringstream in(trace);
    for (std::string line; std::getline(in, line);) {
        std::string head, file;
        std::istringstream(line) >> head >> file;
        const bool drawn = fs::path(file).extension() == ".vqtex" &&
                           kPlaySheets.find(" " + fs::path(file).stem().string() + " ") != std::string::npos;
        if (head == "frame")
            frame = std::stoll(file);
        else if (frame < 0 || !(head == "play" || head == "stop" || (head == "tex" && drawn)))
            continue;
        if (blocks.size() <= size_t(frame / 50)) blocks.resize(size_t(frame / 50) + 1, 0xcbf29ce484222325ull);
        for (char c : line + "\n") blocks[frame / 50] = (blocks[frame / 50] ^ uint8_t(c)) * 0x100000001b3ull;
    }
    std::string out = "# the play of the game's trace, hashed by blocks of 50 frames: first frame, hash\n";
    char row[40];
    for (size_t i = 0; i < blocks.size(); ++i)
        out += (std::snprintf(row, sizeof row, "%zu %016llx\n", i * 50, (unsigned long long)blocks[i]), row);
    return out;
}

TEST(PlayGuardTest, FourScriptedGamesPlayFrameForFrameAsTheyAlwaysHave) {
    const fs::path games = fs::path(GRAPPIX_SOURCE_DIR) / "tests/games",
                   out = fs::path(GRAPPIX_BINARY_DIR) / "games-out";
    fs::create_directories(out);
    for (const std::string name : {"normal", "no-block", "free-style", "tour"}) {
        test::TempDir dir;
        test::Env env = test::HeadlessGameEnv(dir);
        env.emplace_back("BRISEL_INPUT", (games / (name + ".script")).string());
        env.emplace_back("BRISEL_NODRAW", "1");  // the calls are what is compared, not the pixels
        test::ProcessResult r = test::RunProcess({GRAPPIX_EXE}, GRAPPIX_RUN_DIR, env, 120.0, {"BRISEL_SEED"});
        ASSERT_EQ(r.status, 0) << name << ": " << r.err;
        const std::string actual = PlayHashes(test::ReadFile(dir / "trace.txt"));
        const std::string expected = test::ReadFile(games / (name + ".play"));
        fs::copy_file(dir / "trace.txt", out / (name + ".trace"), fs::copy_options::overwrite_existing);
        test::WriteFile(out / (name + ".play"), actual);
        // The first line that differs, and its first frame.
        const size_t p = std::mismatch(actual.begin(), actual.end(), expected.begin(), expected.end()).first -
                         actual.begin();
        const size_t at = p == 0 ? 0 : actual.rfind('\n', p - 1) + 1;
        const std::string& line = p < expected.size() ? expected : actual;
        EXPECT_EQ(actual, expected) << "the play of " << name
                                    << ".script changed in the 50 frames from frame "
                                    << line.substr(at, line.find(' ', at) - at)
                                    << "; its trace and hashes are in " << out.string()
                                    << " (play-diff it against a trace from before the change)";
    }
}

}  // namespace
}  // namespace grappix

#endif
