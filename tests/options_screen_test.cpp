// The options screen on the fake engine: every setting reachable by mouse, keyboard and
// controller, each change applied and saved at once, and leaving by every way out.
#include <gtest/gtest.h>

#include <filesystem>

#include "fake/fake_engine.hpp"
#include "frame/session.hpp"
#include "options/options_screen.hpp"
#include "support/process.hpp"

namespace grappix {
namespace {

using test::FakeEngine;
using test::ReadFile;
using test::TempDir;

// The options screen with a session of its own, its settings in a temporary folder.
struct Options {
    FakeEngine fake;
    TempDir dir;
    Session session{dir / "settings.ini", CommandLine{}};
    OptionsScreen screen;
    Options() {
        SetActiveSession(&session);
        session.ApplyBeforeInit();
        screen.Frame();  // the first frame notes where the pointer is
    }
    ~Options() { SetActiveSession(nullptr); }

    // One frame with a pad button, a key or a click (each pressed in this frame only).
    bool Pad(int64_t button) {
        fake.SetPadCount(button, 1);
        bool stays = screen.Frame();
        fake.SetPadCount(button, 0);
        return stays;
    }
    bool Key(int64_t key) {
        fake.SetKeyCount(key, 1);
        bool stays = screen.Frame();
        fake.SetKeyCount(key, 0);
        return stays;
    }
    bool Click(double x, double y) {
        fake.SetCursor(x, y);
        fake.SetMouseCount(0, 1);
        screen.Frame();
        fake.SetMouseCount(0, 0);
        return screen.Frame();
    }
    double RowY(int entry) const {
        const Button& b = screen.EntryButton(entry);
        return b.GetY() + b.GetH() * 0.5;
    }
    std::string File() { return ReadFile(dir / "settings.ini"); }
};

constexpr int64_t kUp = 12, kDown = 13, kLeft = 14, kRight = 15, kPadA = 0, kPadB = 2;

TEST(OptionsScreenTest, TheKeyboardAndControllerSetEveryOptionAndEachIsSavedAtOnce) {
    // Guards against an option that the keyboard or a controller cannot reach, or a change
    // that waits for the screen to close before it is heard or kept.
    Options o;
    EXPECT_TRUE(o.Pad(kDown));  // the highlight starts on Music
    EXPECT_EQ(o.screen.Highlighted(), OptionsScreen::kMusic);
    EXPECT_TRUE(o.Pad(kRight));
    EXPECT_FALSE(std::filesystem::exists(o.dir / "settings.ini")) << "100 is the top: nothing changed";
    EXPECT_TRUE(o.Pad(kLeft));
    EXPECT_TRUE(o.Pad(kLeft));
    EXPECT_EQ(o.session.Current().musicVolume, 80);
    EXPECT_DOUBLE_EQ(o.fake.groupVolume[BRISEL_SOUND_MUSIC], 0.8);
    EXPECT_NE(o.File().find("music-volume = 80\n"), std::string::npos);

    // An arrow key reaches the menus once, through pad 0: its key count moves nothing again.
    EXPECT_TRUE(o.Key(BRISEL_KEY_DOWN));
    EXPECT_EQ(o.screen.Highlighted(), OptionsScreen::kMusic);
    EXPECT_TRUE(o.Pad(kDown));
    o.fake.ClearCalls();
    EXPECT_TRUE(o.Pad(kLeft));
    EXPECT_EQ(o.session.Current().effectsVolume, 90);
    EXPECT_EQ(o.fake.Named("PlaySnd").size(), 1u) << "the new effects volume is heard";

    EXPECT_TRUE(o.Pad(kDown));
    EXPECT_TRUE(o.Key(BRISEL_KEY_RETURN));  // Mute: Enter flips it
    EXPECT_TRUE(o.fake.muted);
    EXPECT_TRUE(o.Pad(kPadA));
    EXPECT_FALSE(o.fake.muted);
    EXPECT_TRUE(o.Pad(kDown));
    EXPECT_TRUE(o.Pad(kRight));  // Fullscreen: sideways flips it too
    EXPECT_TRUE(o.fake.fullscreen);
    EXPECT_NE(o.File().find("fullscreen = true\n"), std::string::npos);
    EXPECT_TRUE(o.Pad(kDown));
    EXPECT_TRUE(o.Pad(kPadA));  // Rumble: off, and saved
    EXPECT_FALSE(o.session.Current().rumble);
    EXPECT_NE(o.File().find("rumble = false\n"), std::string::npos);
    EXPECT_TRUE(o.Pad(kDown));
    EXPECT_TRUE(o.Pad(kPadA));  // Online board: on, and saved
    EXPECT_NE(o.File().find("board = true\n"), std::string::npos);

    // The name is typed: the menus rest meanwhile; Return keeps it (without what the board
    // refuses), Escape does not.
    EXPECT_TRUE(o.Pad(kDown));
    EXPECT_TRUE(o.Key(BRISEL_KEY_RETURN));
    ASSERT_EQ(o.fake.Named("BeginTextInput").size(), 1u);
    o.fake.typed = " Ada <b>L</b> ";
    EXPECT_TRUE(o.Pad(kDown));
    EXPECT_EQ(o.screen.Highlighted(), OptionsScreen::kBoardName) << "no menu while typing";
    EXPECT_TRUE(o.Key(BRISEL_KEY_RETURN));
    EXPECT_EQ(o.session.Current().boardName, "Ada bL/b");
    EXPECT_TRUE(o.Pad(kPadA));
    o.fake.typed = "Bob";
    EXPECT_TRUE(o.Key(BRISEL_KEY_ESCAPE)) << "Escape ends the typing, not the screen";
    EXPECT_EQ(o.session.Current().boardName, "Ada bL/b");
    EXPECT_NE(o.File().find("board-name = Ada bL/b\n"), std::string::npos);
    EXPECT_TRUE(o.Pad(kDown));
    EXPECT_TRUE(o.Pad(kPadA));
    o.fake.typed = "not an address";
    EXPECT_TRUE(o.Key(BRISEL_KEY_KP_ENTER));
    EXPECT_EQ(o.session.Current().boardAddress, "") << "an address the board cannot have is not kept";

    EXPECT_TRUE(o.Pad(kDown));
    EXPECT_EQ(o.screen.Highlighted(), OptionsScreen::kControls);
    EXPECT_TRUE(o.Pad(kDown));
    EXPECT_EQ(o.screen.Highlighted(), OptionsScreen::kBack);
    EXPECT_FALSE(o.Key(BRISEL_KEY_KP_ENTER)) << "Back, chosen, leaves";
}

TEST(OptionsScreenTest, AVolumeRowMovesByClicksAnywhereTheWheelAndADrag) {
    // Guards against a click on a volume row that does nothing (or moves the wrong way), a wheel
    // or a drag over the row ignored, and a drag's release taken for one more click.
    Options o;
    const double music = o.RowY(OptionsScreen::kMusic);
    const double middle = (OptionsScreen::DownArrowX() + OptionsScreen::UpArrowX()) * 0.5;
    struct Move {
        const char* what;
        double x;
        int64_t wheel;   // 0: a click at x; else the wheel turned over x
        double dragTo;   // with a click: the pointer dragged there before the release
        int64_t volume;  // the music volume after it, from 100
    };
    const Move moves[] = {
        {"the down arrow", OptionsScreen::DownArrowX(), 0, 0, 90},
        {"the label", 150, 0, 0, 80},
        {"just right of the value's middle", middle + 5, 0, 0, 90},
        {"the up arrow", OptionsScreen::UpArrowX(), 0, 0, 100},
        {"the wheel towards the player", 300, -3, 0, 70},
        {"the wheel away", 300, 1, 0, 80},
        {"a drag to the left", 500, 0, 500 - 85, 60},
    };
    for (const Move& m : moves) {
        o.fake.SetCursor(m.x, music);
        if (m.wheel != 0) {
            o.fake.wheel = m.wheel;
            o.screen.Frame();
            o.fake.wheel = 0;
        } else if (m.dragTo != 0) {
            o.fake.SetMouseCount(0, 1);
            o.screen.Frame();
            o.fake.SetCursor(m.dragTo, music);
            o.fake.SetMouseCount(0, 2);
            o.screen.Frame();
            o.fake.SetMouseCount(0, 0);
            o.screen.Frame();
        } else {
            EXPECT_TRUE(o.Click(m.x, music)) << m.what;
        }
        EXPECT_EQ(o.session.Current().musicVolume, m.volume) << m.what;
    }
    o.fake.SetCursor(300, o.RowY(OptionsScreen::kMute));
    o.fake.wheel = 2;
    o.screen.Frame();  // the wheel moves volumes only
    o.fake.wheel = 0;
    EXPECT_FALSE(o.session.Current().mute);
    EXPECT_TRUE(o.Click(300, o.RowY(OptionsScreen::kMute)));
    EXPECT_TRUE(o.session.Current().mute);
    EXPECT_TRUE(o.Click(300, o.RowY(OptionsScreen::kFullscreen)));
    EXPECT_TRUE(o.session.Current().fullscreen);
    EXPECT_FALSE(o.Click(150, o.RowY(OptionsScreen::kBack)));
}

TEST(OptionsScreenTest, EscapeBStartAndBackAllLeave) {
    // Guards against a way out that works on one device and not another.
    for (auto leave : std::vector<std::function<bool(Options&)>>{
             [](Options& o) { return o.Key(BRISEL_KEY_ESCAPE); }, [](Options& o) { return o.Pad(kPadB); },
             [](Options& o) { return o.Pad(3); }, [](Options& o) { return o.Pad(4); }}) {
        Options o;
        EXPECT_FALSE(leave(o));
    }
    Options o;
    EXPECT_TRUE(o.Pad(kUp));  // up from nothing lights Back, at the bottom
    EXPECT_EQ(o.screen.Highlighted(), OptionsScreen::kBack);
}

TEST(OptionsScreenTest, RunDrawsOverTheScreenItCameFromAndShowsThePointer) {
    // Guards against the options drawn under the screen behind them, or with the pointer
    // hidden (opened from the pause screen of a game, where play hides it).
    Options o;
    int behind = 0;
    o.fake.onAct = [&](int64_t step) {
        if (step == 3) o.fake.SetKeyCount(BRISEL_KEY_ESCAPE, 1);
    };
    o.fake.ClearCalls();
    o.screen.Run([&] {
        ++behind;
        DrawRect(1, 2, 3, 4, 0, 0, 0, 1);
    });
    EXPECT_EQ(behind, 2) << "one screen behind per frame drawn (steps 1 and 2)";
    ASSERT_FALSE(o.fake.Named("ShowPointer").empty());
    EXPECT_EQ(o.fake.Named("ShowPointer")[0].args, std::vector<double>{1});
    // In each frame the screen behind comes first, then the dimming over it.
    std::vector<std::string> order;
    for (const auto& c : o.fake.calls)
        if (c.name == "DrawRect") order.push_back(c.args[0] == 1 ? "behind" : "options");
    ASSERT_GE(order.size(), 2u);
    EXPECT_EQ(order[0], "behind");
    EXPECT_EQ(order[1], "options");
}

}  // namespace
}  // namespace grappix
