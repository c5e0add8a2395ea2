// The media and input wrappers: what the game hands the engine, and how it reads buttons.
#include <gtest/gtest.h>

#include <cmath>

#include "fake/fake_engine.hpp"
#include "frame/fault.hpp"
#include "frame/input.hpp"
#include "frame/media.hpp"

namespace grappix {
namespace {

using test::FakeEngine;

TEST(SoundClipTest, FailedLoadStaysSilentAndSwallowsTheFailure) {
    // Guards against a missing sound file ending the run or making noise later.
    FakeEngine fake;
    fake.FailLoad("missing.ogg");
    SoundClip clip;
    EXPECT_NO_THROW(clip.Load("missing.ogg", 0.5, true));
    EXPECT_FALSE(clip.IsLoaded());
    EXPECT_FALSE(clip.Loops());  // the loop flag is only taken on success
    clip.Play();
    EXPECT_TRUE(fake.Named("PlaySnd").empty());
    EXPECT_TRUE(fake.Named("StopSnd").empty());
    EXPECT_EQ(fake.Log(), std::vector<std::string>{"SoundLoadFail:missing.ogg"});

    SoundClip never;
    never.Play();  // never loaded: nothing at all
    EXPECT_TRUE(fake.Named("PlaySnd").empty());
}

TEST(SoundClipTest, SwallowedFailureTakesItsPlaceWithIt) {
    // Guards against a sound that failed to load leaving its place in the exception place:
    // the next real failure would then be reported at the sound loader's address.
    FakeEngine fake;
    fake.FailLoad("missing.ogg");
    fake.failurePlace = 0x5000;
    SoundClip clip;
    clip.Load("missing.ogg", 0.5, false);
    EXPECT_EQ(ExceptionPlace(), 0u);

    fake.FailLoad("missing.vqtex");
    fake.failurePlace = 0x7000;
    EXPECT_THROW(LoadTex("missing.vqtex"), BriselFailure);
    EXPECT_EQ(ExceptionPlace(), 0x7000u) << "the texture's failure is reported where it was raised";
}

TEST(SoundClipTest, PlayRestartsFromTheStartWithVolumeAndLoop) {
    // Guards against a sound that keeps playing instead of restarting, or loses its loop flag.
    FakeEngine fake;
    SoundClip clip;
    clip.Load("chaser.ogg", 0.5, true);
    ASSERT_TRUE(clip.IsLoaded());
    auto volume = fake.Named("VolumeSnd");
    ASSERT_EQ(volume.size(), 1u);
    EXPECT_EQ(volume[0].file, "chaser.ogg");
    EXPECT_DOUBLE_EQ(volume[0].args[0], 0.5);
    fake.ClearCalls();
    clip.Play();
    clip.Play();
    ASSERT_EQ(fake.calls.size(), 4u);
    EXPECT_EQ(fake.calls[0].name, "StopSnd");
    EXPECT_EQ(fake.calls[1].name, "PlaySnd");
    EXPECT_EQ(fake.calls[1].args, (std::vector<double>{0.0, 1.0, 0.0}));
    EXPECT_EQ(fake.calls[2].name, "StopSnd");
    EXPECT_EQ(fake.calls[3].name, "PlaySnd");
}

TEST(SoundClipTest, ReloadAfterFailureKeepsTheEarlierSound) {
    // A failed reload must not leave a dangling or half-set clip.
    FakeEngine fake;
    SoundClip clip;
    clip.Load("a.ogg", 0.4, false);
    fake.FailLoad("b.ogg");
    clip.Load("b.ogg", 0.9, true);
    EXPECT_FALSE(clip.IsLoaded());
    EXPECT_FALSE(clip.Loops());
    EXPECT_TRUE(clip.Sound().IsLoaded());  // the earlier handle is kept, unused
    clip.Play();
    EXPECT_TRUE(fake.Named("PlaySnd").empty());
}

TEST(TexTest, DrawUsesTheSourceSizeAndHandlesAreFreedOnce) {
    FakeEngine fake;
    {
        Tex tex = LoadTex("ground.vqtex");
        Tex copy = tex;
        tex.Draw(10, 20, 100, 50, 300, 400, 1, 0.5, 0.25, 0.75);
        auto draws = fake.Named("DrawTex");
        ASSERT_EQ(draws.size(), 1u);
        EXPECT_EQ(draws[0].file, "ground.vqtex");
        EXPECT_EQ(draws[0].args,
                  (std::vector<double>{10, 20, 100, 50, 300, 400, 100, 50, 1, 0.5, 0.25, 0.75}));
        copy.DrawRot(0, 512, 2048, -512, 1, 2, 3, 4, 5, 6, 0.5, 1, 1, 1, 1);
        auto rot = fake.Named("DrawTexRot");
        ASSERT_EQ(rot.size(), 1u);
        EXPECT_EQ(rot[0].args[3], -512);  // the upside-down source reaches the engine as given
        EXPECT_TRUE(fake.Named("FreeMem").empty());
    }
    EXPECT_EQ(fake.Named("FreeMem").size(), 1u);
}

TEST(TexTest, ReleaseThatFailsLeavesTheExceptionPlaceAsItWas) {
    // Guards against a release that swallows a failure leaving that failure's place behind
    // (the next failure would be reported there), or wiping the place of a failure that is
    // unwinding the stack when the release happens.
    FakeEngine fake;
    fake.failFree = true;
    EXPECT_NO_THROW({ Tex tex = LoadTex("ground.vqtex"); });
    EXPECT_EQ(fake.Named("FreeMem").size(), 1u);
    EXPECT_EQ(ExceptionPlace(), 0u);

    try {
        Tex tex = LoadTex("ground.vqtex");
        Raise(BRISEL_FAIL_SYSTEM, "a failure on its way up");
    } catch (const BriselFailure&) {
        EXPECT_EQ(fake.Named("FreeMem").size(), 2u);  // released while unwinding
        EXPECT_NE(ExceptionPlace(), 0u);
        EXPECT_NE(ExceptionPlace(), fake.failurePlace) << "the unwinding failure keeps its own place";
    }
}

TEST(FrameTest, NextFrameCountsAndStepsTheEngine) {
    FakeEngine fake;
    for (int i = 0; i < 7; ++i) NextFrame();
    EXPECT_EQ(FrameCount(), 7);
    EXPECT_EQ(fake.actCount, 7);
}

TEST(ButtonFlagsTest, CountsGivePressedHeldAndReleased) {
    // Counts 1, 2, 3 then 0: pressed only first, held in all three, released once.
    const int64_t counts[] = {1, 2, 3, 0, 0};
    int64_t previous = 0;
    std::vector<std::tuple<bool, bool, bool>> seen;
    for (int64_t c : counts) {
        seen.emplace_back(IsHeld(c), IsPressed(c), IsReleased(c, previous));
        previous = c;
    }
    EXPECT_EQ(seen, (std::vector<std::tuple<bool, bool, bool>>{{true, true, false},
                                                               {true, false, false},
                                                               {true, false, false},
                                                               {false, false, true},
                                                               {false, false, false}}));
    EXPECT_FALSE(IsPressed(2));  // a missed frame (0 to 2) is held, not pressed
}

// The game's floating-point setting for the life of a test, whatever the test does.
class GameFloatingPoint {
public:
    GameFloatingPoint() : saved_(ReadMxcsr()) { SetGameFloatingPoint(); }
    ~GameFloatingPoint() { WriteMxcsr(saved_); }
    GameFloatingPoint(const GameFloatingPoint&) = delete;
    GameFloatingPoint& operator=(const GameFloatingPoint&) = delete;

private:
    uint32_t saved_;
};

TEST(ConversionTest, TruncatesTowardZeroUnderTheGameSetting) {
    // Guards against a game setting that rounds: every conversion to an integer, a cast or one
    // that follows the current rounding (as the engine's maths may), truncates toward zero.
    volatile double down = -2.7, up = 2.7, half = 2.5;
    int64_t cast = 0;
    long rounded[3] = {};
    {
        GameFloatingPoint game;
        cast = static_cast<int64_t>(down);
        rounded[0] = std::lrint(down);
        rounded[1] = std::lrint(up);
        rounded[2] = std::lrint(half);
    }
    EXPECT_EQ(cast, -2);
    EXPECT_EQ(rounded[0], -2);
    EXPECT_EQ(rounded[1], 2);
    EXPECT_EQ(rounded[2], 2);
}

}  // namespace
}  // namespace grappix
