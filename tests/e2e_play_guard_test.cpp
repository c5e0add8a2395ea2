// The play of four scripted games (tests/games/*.script: each mode alone, and a tour of all
// three with pauses) must never move: the lines of their traces that are play itself (frames,
// sounds started and stopped, draws of the body, wire, hook, aim, blocks, smog and speed
// banners; not text, menus or title art) hash, 50 frames at a time, to the values kept beside
// each script in <name>.play. A failure names the game and the first 50 frames that changed,
// and leaves the run's trace and its hashes in the build folder (tests/games-out/).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

#include "support/process.hpp"

#if defined(GRAPPIX_HAVE_ENGINE) && defined(GRAPPIX_HAVE_ASSETS)

namespace grappix {
namespace {

namespace fs = std::filesystem;
constexpr int64_t kBlock = 50;

// The lines of a <game>.play file for a trace: the play lines hashed (FNV-1a, 64 bits) by blocks
// of kBlock frames, "<first frame> <hash>"; the frame line counts, so a frame missing counts too.
std::vector<std::string> PlayHashes(const std::string& trace) {
    static const std::set<std::string> kPlaySheets = {"ese_raf.vqtex", "wire.vqtex",      "anchor.vqtex",
                                                      "ring.vqtex",    "hookpoint.vqtex", "block.vqtex",
                                                      "smog.vqtex",    "combo.vqtex"};
    std::vector<uint64_t> blocks;
    int64_t frame = -1;
    std::istringstream in(trace);
    for (std::string line; std::getline(in, line);) {
        std::istringstream words(line);
        std::string head, file;
        words >> head >> file;
        if (head == "frame") {
            frame = std::stoll(file);
        } else if (frame < 0 || !(head == "play" || head == "stop" ||
                                  (head == "tex" && kPlaySheets.count(file.substr(file.rfind('/') + 1))))) {
            continue;
        }
        const size_t block = static_cast<size_t>(frame / kBlock);
        if (blocks.size() <= block) blocks.resize(block + 1, 0xcbf29ce484222325ull);
        for (char c : line + "\n")
            blocks[block] = (blocks[block] ^ static_cast<unsigned char>(c)) * 0x100000001b3ull;
    }
    std::vector<std::string> lines = {
        "# the play of the game's trace, hashed by blocks of 50 frames: first frame, hash"};
    for (size_t i = 0; i < blocks.size(); ++i) {
        char hex[17];
        std::snprintf(hex, sizeof hex, "%016llx", static_cast<unsigned long long>(blocks[i]));
        lines.push_back(std::to_string(i * kBlock) + " " + hex);
    }
    return lines;
}

class PlayGuardTest : public testing::TestWithParam<const char*> {};

TEST_P(PlayGuardTest, AScriptedGamePlaysFrameForFrameAsItAlwaysHas) {
    const std::string name = GetParam();
    const fs::path games = fs::path(GRAPPIX_SOURCE_DIR) / "tests/games";
    const fs::path out = fs::path(GRAPPIX_BINARY_DIR) / "games-out";
    test::TempDir dir;
    test::Env env = test::HeadlessGameEnv(dir);
    env.emplace_back("BRISEL_INPUT", (games / (name + ".script")).string());
    env.emplace_back("BRISEL_NODRAW", "1");  // the calls are what is compared, not the pixels
    test::ProcessResult r = test::RunProcess({GRAPPIX_EXE}, GRAPPIX_RUN_DIR, env, 120.0, {"BRISEL_SEED"});
    ASSERT_EQ(r.status, 0) << name << ": " << r.err;
    const std::vector<std::string> actual = PlayHashes(test::ReadFile(dir / "trace.txt"));
    fs::create_directories(out);
    fs::copy_file(dir / "trace.txt", out / (name + ".trace"), fs::copy_options::overwrite_existing);
    std::ofstream play(out / (name + ".play"));
    for (const std::string& line : actual) play << line << "\n";

    std::vector<std::string> expected;
    std::istringstream kept(test::ReadFile(games / (name + ".play")));
    for (std::string line; std::getline(kept, line);) expected.push_back(line);
    const auto [a, e] = std::mismatch(actual.begin(), actual.end(), expected.begin(), expected.end());
    if (a == actual.end() && e == expected.end()) return;
    const std::string& at = e != expected.end() ? *e : *a;
    ADD_FAILURE() << "the play of " << name << ".script changed in the 50 frames from frame "
                  << at.substr(0, at.find(' ')) << "; its trace and hashes are in " << out.string()
                  << " (play-diff against a trace of the script from before the change shows the frame)";
}

INSTANTIATE_TEST_SUITE_P(Games, PlayGuardTest, testing::Values("normal", "no-block", "free-style", "tour"),
                         [](const testing::TestParamInfo<const char*>& game) {
                             std::string n = game.param;
                             n.erase(std::remove(n.begin(), n.end(), '-'), n.end());
                             return n;
                         });

}  // namespace
}  // namespace grappix

#endif
