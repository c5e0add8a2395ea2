// grappix --verify end to end: the real game records a scripted run, then verifies it and
// copies of it edited as a cheat or a hostile file would be.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

#include "support/process.hpp"

namespace grappix {
namespace {

#if defined(GRAPPIX_HAVE_ENGINE) && defined(GRAPPIX_HAVE_ASSETS)

using test::ReadFile;
using test::RunProcess;
using test::TempDir;
using test::WriteFile;

std::string Replace(std::string text, const std::string& from, const std::string& to) {
    const size_t at = text.find(from);
    return at == std::string::npos ? text : text.replace(at, from.size(), to);
}

TEST(VerifyTest, EachEditedReplayIsRefusedNamingItsFaultAndNothingIsWritten) {
    // Guards against a verifier that believes a tampered run, plays another version's replay,
    // runs past its bound, reads the speed from the file's notes instead of the game, or writes
    // the player's settings, records or replays.
    TempDir recorder;
    const std::string replay = recorder / "run.replay";
    test::Env env = test::HeadlessGameEnv(recorder);
    env.push_back({"BRISEL_NODRAW", "1"});
    env.push_back({"BRISEL_INPUT", std::string(GRAPPIX_SOURCE_DIR) + "/tests/games/normal.script"});
    ASSERT_EQ(RunProcess({GRAPPIX_EXE, "--record", replay}, GRAPPIX_RUN_DIR, env, 120.0).status, 0);
    const std::string recorded = ReadFile(replay);
    // The recording run kept its best figure as its record (its records started empty).
    const std::string records = ReadFile(recorder / "data/grappix/records.ini");
    const size_t at = records.find("best = ", records.find("[normal]"));
    ASSERT_NE(at, std::string::npos) << records;
    const std::string best = records.substr(at + 7, records.find('\n', at) - at - 7);
    const std::string check1800 = recorded.substr(recorded.find("check 1800 "), 27);

    struct Case {
        const char* what;
        std::function<std::string(const std::string&)> edit;
        const char* wanted;  // in the output
        int status;
    };
    const Case cases[] = {
        {"as recorded", [](const std::string& r) { return r; }, "\"verified\":true", 0},
        {"a check changed",
         [&](const std::string& r) { return Replace(r, check1800, "check 1800 0000000000000000"); },
         "differs from the recorded game at step 1800\",\"step\":1800", 1},
        {"another version", [](const std::string& r) { return Replace(r, "version 1.", "version 9."); },
         "recorded by version 9.", 1},
        {"an end past the bound",
         [](const std::string& r) { return Replace(r, "\nend 3000", "\nend 99999999"); }, "past the limit",
         1},
        {"a picture", [](const std::string&) { return std::string("\x89PNG\r\n"); }, "not a replay", 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir dir;
        WriteFile(dir / "run.replay", c.edit(recorded));
        test::Env quiet = test::HeadlessGameEnv(dir);
        std::erase_if(quiet, [](const auto& e) { return e.first == "BRISEL_TRACE"; });
        test::ProcessResult r =
            RunProcess({GRAPPIX_EXE, "--verify", dir / "run.replay"}, GRAPPIX_RUN_DIR, quiet, 120.0);
        EXPECT_EQ(r.status, c.status) << r.out << r.err;
        EXPECT_NE(r.out.find(c.wanted), std::string::npos) << r.out;
        EXPECT_EQ(r.out.find('\n'), r.out.size() - 1) << "one JSON line: " << r.out;
        if (c.status == 0) {
            EXPECT_NE(r.out.find("\"normal\":" + best + ","), std::string::npos) << r.out;
        }
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 1) << "it wrote files";
    }
}

#endif

}  // namespace
}  // namespace grappix
