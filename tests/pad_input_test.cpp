// The pad reader: which engine button each query reads, and the held, pressed and released
// flags derived from the counts.
#include <gtest/gtest.h>

#include "fake/fake_engine.hpp"
#include "game/pad_input.hpp"

namespace grappix {
namespace {

using test::FakeEngine;
using Query = bool (PadInput::*)() const;

struct Wired {
    int64_t button;
    Query query;
};

// The thirty queries in their three groups, each with the engine button it must read.
const Wired kPressed[] = {{12, &PadInput::Pressed12}, {13, &PadInput::Pressed13}, {14, &PadInput::Pressed14},
                          {15, &PadInput::Pressed15}, {0, &PadInput::Pressed0},   {1, &PadInput::Pressed1},
                          {2, &PadInput::Pressed2},   {3, &PadInput::Pressed3},   {4, &PadInput::Pressed4},
                          {5, &PadInput::Pressed5}};
const Wired kHeld[] = {{14, &PadInput::Held14}, {15, &PadInput::Held15}, {12, &PadInput::Held12},
                       {13, &PadInput::Held13}, {0, &PadInput::Held0},   {1, &PadInput::Held1},
                       {2, &PadInput::Held2},   {3, &PadInput::Held3},   {4, &PadInput::Held4},
                       {5, &PadInput::Held5}};
const Wired kReleased[] = {{12, &PadInput::Released12}, {13, &PadInput::Released13},
                           {14, &PadInput::Released14}, {15, &PadInput::Released15},
                           {0, &PadInput::Released0},   {1, &PadInput::Released1},
                           {2, &PadInput::Released2},   {3, &PadInput::Released3},
                           {4, &PadInput::Released4},   {5, &PadInput::Released5}};

TEST(PadInputTest, EveryQueryReadsItsOwnButton) {
    // Guards against a query wired to the wrong position (the positions are not in button
    // order, and the three groups list the buttons in different orders).
    for (int64_t button : PadInput::kButtons) {
        FakeEngine fake;
        PadInput pad;
        pad.Prepare();
        fake.SetPadCount(button, 1);
        pad.Update();
        for (const Wired& w : kPressed) EXPECT_EQ((pad.*w.query)(), w.button == button) << button;
        for (const Wired& w : kHeld) EXPECT_EQ((pad.*w.query)(), w.button == button) << button;
        fake.SetPadCount(button, 0);
        pad.Update();
        for (const Wired& w : kReleased) EXPECT_EQ((pad.*w.query)(), w.button == button) << button;
        for (const Wired& w : kHeld) EXPECT_FALSE((pad.*w.query)());
    }
}

TEST(PadInputTest, ReadsEachButtonOfPadZeroOncePerUpdate) {
    FakeEngine fake;
    PadInput pad;
    pad.Prepare();
    pad.Update();
    auto reads = fake.Named("Pad");
    ASSERT_EQ(reads.size(), 10u);
    for (size_t i = 0; i < reads.size(); ++i) {
        EXPECT_EQ(reads[i].args[0], 0);
        EXPECT_EQ(reads[i].args[1], PadInput::kButtons[i]);
    }
}

TEST(PadInputTest, HeldThreeFramesThenLetGo) {
    // Guards against a press reported on every frame of a hold, or a release that lingers.
    FakeEngine fake;
    PadInput pad;
    pad.Prepare();
    const int64_t counts[] = {1, 2, 3, 0, 0};
    const bool pressed[] = {true, false, false, false, false};
    const bool held[] = {true, true, true, false, false};
    const bool released[] = {false, false, false, true, false};
    for (int i = 0; i < 5; ++i) {
        fake.SetPadCount(2, counts[i]);
        pad.Update();
        EXPECT_EQ(pad.Pressed2(), pressed[i]) << i;
        EXPECT_EQ(pad.Held2(), held[i]) << i;
        EXPECT_EQ(pad.Released2(), released[i]) << i;
    }
}

TEST(PadInputTest, MissedFrameAndButtonsHeldBeforeTheFirstUpdate) {
    // A count that jumps from 0 to 2 (a frame the engine missed, or a button held through the
    // opening) is held but never pressed, and still released when it comes up.
    FakeEngine fake;
    PadInput pad;
    pad.Prepare();
    fake.SetPadCount(1, 2);
    pad.Update();
    EXPECT_TRUE(pad.Held1());
    EXPECT_FALSE(pad.Pressed1());
    fake.SetPadCount(1, 0);
    pad.Update();
    EXPECT_TRUE(pad.Released1());
}

TEST(PadInputTest, ButtonsAreIndependent) {
    FakeEngine fake;
    PadInput pad;
    pad.Prepare();
    fake.SetPadCount(0, 1);
    fake.SetPadCount(3, 1);
    fake.SetPadCount(13, 4);
    pad.Update();
    EXPECT_TRUE(pad.Pressed0());
    EXPECT_TRUE(pad.Pressed3());
    EXPECT_FALSE(pad.Pressed13());
    EXPECT_TRUE(pad.Held13());
    EXPECT_FALSE(pad.Pressed1());
    EXPECT_TRUE(pad.Pressed(0));
    EXPECT_FALSE(pad.Pressed(7));  // not one of the ten: never set
    EXPECT_FALSE(pad.Held(7));
}

}  // namespace
}  // namespace grappix
