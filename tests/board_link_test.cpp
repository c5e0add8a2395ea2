// The game's side of the board of records on the fake engine: what the board answers read
// safely, a queued run kept until the board answers, and the title's top three only when the
// board gave them.
#include <gtest/gtest.h>

#include <filesystem>

#include "fake/fake_engine.hpp"
#include "frame/board_link.hpp"
#include "frame/media.hpp"
#include "support/process.hpp"

namespace grappix {
namespace {

TEST(BoardLinkTest, AnswersAreReadWholeOrNotAtAll) {
    // Guards against a hostile or broken answer read as a list (or crashing the reader).
    struct Case {
        const char* text;
        bool read;
        size_t objects;
        const char* name;  // the first object's "name", when read
    };
    const Case cases[] = {
        {R"([{"rank":1,"name":"A\"d\u0061","speed":812},{"name":"B"}])", true, 2, "A\"da"},
        {R"( {"name":"caf\u00e9 é","ok":true} )", true, 1, "caf? ?"},
        {"[]", true, 0, ""},
        {R"([{"name":"Ada"})", false, 0, ""},
        {R"({"name":"Ada"} trailing)", false, 0, ""},
        {R"({"name":{"nested":1}})", false, 0, ""},
        {R"({"name":"cut)", false, 0, ""},
        {"{\"name\":\"a\x01\"}", false, 0, ""},
        {R"({"name":"\u12"})", false, 0, ""},
        {"<html>502</html>", false, 0, ""},
    };
    for (const Case& c : cases) {
        std::vector<JsonFields> objects;
        EXPECT_EQ(ReadJsonObjects(c.text, objects), c.read) << c.text;
        if (!c.read) continue;
        EXPECT_EQ(objects.size(), c.objects) << c.text;
        if (c.objects > 0) {
            EXPECT_EQ(objects[0]["name"], c.name) << c.text;
        }
    }
}

TEST(BoardLinkTest, AQueuedRunStaysUntilTheBoardAnswersAndTheTitleShowsOnlyWhatCame) {
    // Guards against a run lost while the board is unreachable, one sent again and again after
    // the board refused it, and a top list drawn from nothing.
    test::FakeEngine fake;
    test::TempDir dir;
    std::filesystem::create_directories(dir / "queue");
    Settings s;
    s.board = true;
    s.boardName = "Ada";
    s.boardAddress = "http://b/";
    BoardLink link(dir / "queue", dir / "key");
    struct Case {
        int64_t status;
        bool stays;
    };
    for (const Case& c : {Case{-1, true}, Case{503, true}, Case{422, false}, Case{202, false}}) {
        test::WriteFile(dir / "queue/run-60.replay", "# grappix replay 2\n");
        fake.httpAnswers["http://b/api/submit"] = {c.status, R"({"error":"no"})"};
        SetFrameCount(FrameCount() + BoardLink::kRetryFrames + BoardLink::kQueueLookFrames);
        link.Pump(s);  // sent
        link.Pump(s);  // answered
        EXPECT_EQ(std::filesystem::exists(dir / "queue/run-60.replay"), c.stays) << c.status;
    }
    EXPECT_EQ(fake.httpRequests.back().second.rfind("name=Ada\nkey=", 0), 0u);
    EXPECT_EQ(std::filesystem::status(dir / "key").permissions(),
              std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);

    for (int64_t status : {-1, 200}) {
        fake.httpAnswers["http://b/api/top/normal?limit=3"] = {status,
                                                               R"([{"rank":1,"name":"Bo","speed":812}])"};
        SetFrameCount(FrameCount() + BoardLink::kTopFrames);
        fake.ClearCalls();
        link.ShowTop(0, 10, 20);
        link.Pump(s);
        link.ShowTop(0, 10, 20);
        const std::vector<test::Call> shown = fake.Named("OverlayText");
        ASSERT_EQ(shown.size(), status == 200 ? 1u : 0u);
        if (status == 200) {
            EXPECT_EQ(shown[0].text, "1. Bo  812");
        }
    }
    s.board = false;
    link.Pump(s);
    fake.ClearCalls();
    link.ShowTop(0, 10, 20);
    EXPECT_TRUE(fake.Named("OverlayText").empty()) << "off: nothing of the board is shown";
}

}  // namespace
}  // namespace grappix
