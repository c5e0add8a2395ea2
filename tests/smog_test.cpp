// Smog: when puffs appear, how long they live, which slot they take and how they are drawn.
#include <gtest/gtest.h>

#include <cmath>

#include "actors/smog.hpp"
#include "fake/fake_engine.hpp"

namespace grappix {
namespace {

using test::FakeEngine;

int LiveCount(const SmogPool& pool) {
    int n = 0;
    for (int64_t i = 0; i < pool.GetCount(); ++i) n += pool.IsAlive(i) ? 1 : 0;
    return n;
}

TEST(SmogTest, SetUpGivesTheGamesPuffs) {
    FakeEngine fake;
    Smog smog;
    smog.Prepare();
    smog.LoadSheet(0, -900, 1600, 900);
    EXPECT_EQ(smog.Pool().GetCount(), 20);
    EXPECT_EQ(smog.Pool().GetSize(), 30.0);
    auto loads = fake.Named("LoadTex");
    ASSERT_EQ(loads.size(), 1u);
    EXPECT_EQ(loads[0].text, "smog.vqtex");
    EXPECT_EQ(fake.Log(), std::vector<std::string>{"Set Anime.100"});
}

TEST(SmogTest, EmitsOnlyOnMultiplesOfSixtyTicks) {
    // Guards against smoke on every frame, or none at all.
    FakeEngine fake;
    Smog smog;
    smog.Prepare();
    for (int64_t clock : {59, 61, 10, -1}) smog.Emit(clock, 0, 0);
    EXPECT_EQ(LiveCount(smog.Pool()), 0);
    for (int64_t clock : {0, 60, 120, -60}) smog.Emit(clock, 0, 0);
    EXPECT_EQ(LiveCount(smog.Pool()), 4);
}

TEST(SmogTest, APuffIsDrawnOnThirtyOneFramesFadingAndTurning) {
    // Guards against a puff that lives a frame too long or short, or fades or turns wrongly.
    FakeEngine fake;
    Smog smog;
    smog.Prepare();
    smog.LoadSheet(0, -900, 1600, 900);
    fake.ClearCalls();
    int64_t clock = 0;
    std::vector<test::Call> draws;
    for (int frame = 0; frame < 40; ++frame, clock += 10) {
        if (frame < 6) smog.Emit(clock, 500, -20);  // only clock 0 is a multiple of 60
        smog.Update(1.0);
        fake.ClearCalls();
        smog.Draw(100, -900);
        auto d = fake.Named("DrawTexRot");
        ASSERT_LE(d.size(), 1u);
        if (!d.empty()) {
            EXPECT_EQ(frame, static_cast<int>(draws.size())) << "drawn on consecutive frames";
            draws.push_back(d[0]);
        }
    }
    ASSERT_EQ(draws.size(), 31u);
    for (size_t k = 0; k < draws.size(); ++k) {
        const auto& a = draws[k].args;
        const double age = static_cast<double>(k + 1);
        EXPECT_EQ(a[0], 0.0);  // the whole 128 x 128 frame
        EXPECT_EQ(a[2], 128.0);
        EXPECT_EQ(a[4], 500 - 30 - 100);  // centred on the puff, 60 x 60, in screen pixels
        EXPECT_EQ(a[5], -20 - 30 + 900);
        EXPECT_EQ(a[6], 60.0);
        EXPECT_EQ(a[7], 60.0);
        EXPECT_EQ(a[8], 30.0);  // turned about its middle
        EXPECT_EQ(a[9], 30.0);
        EXPECT_NEAR(a[10], age * M_PI / 12, 1e-9);
        EXPECT_NEAR(a[14], 1.0 - age / 60, 1e-9);
    }
    EXPECT_NEAR(draws.back().args[14], 29.0 / 60, 1e-9);  // gone at about half opacity
}

TEST(SmogPoolTest, AgeThirtyStillUpdatesAndThirtyOneDies) {
    FakeEngine fake;
    SmogPool pool;
    pool.Configure(0.1, 0.01, 30, 30, 0, 0, 2);
    pool.Emit(0, 0);
    for (int i = 0; i < 31; ++i) pool.Update(1);
    EXPECT_TRUE(pool.IsAlive(0));
    EXPECT_EQ(pool.GetAge(0), 31);
    pool.Update(1);
    EXPECT_FALSE(pool.IsAlive(0));
    EXPECT_EQ(pool.GetAge(0), 31);  // the removing update does not age it
}

TEST(SmogPoolTest, TheLowestFreeSlotIsTakenAndAFullPoolDropsQuietly) {
    // Guards against a puff taking the wrong slot, or a full pool overwriting a live puff.
    FakeEngine fake;
    SmogPool pool;
    pool.Configure(0.5, 0.01, 30, 30, 0, 0, 20);
    for (int i = 0; i < 4; ++i) pool.Emit(i, 0);  // slots 0 to 3
    for (int i = 0; i < 20; ++i) pool.Update(1);
    pool.Emit(4, 0);                              // slot 4, younger
    for (int i = 0; i < 12; ++i) pool.Update(1);  // 0 to 3 are gone, 4 lives
    EXPECT_EQ(LiveCount(pool), 1);
    for (int i = 0; i < 3; ++i) pool.Emit(10 + i, 0);
    EXPECT_TRUE(pool.IsAlive(2));
    EXPECT_FALSE(pool.IsAlive(3));
    const double oldTurn = pool.GetPuffAngle(3);
    pool.Emit(99, -5);
    EXPECT_TRUE(pool.IsAlive(3));
    EXPECT_FALSE(pool.IsAlive(5));
    EXPECT_EQ(pool.GetPuffX(3), 99.0);
    EXPECT_EQ(pool.GetPuffY(3), -5.0);
    EXPECT_EQ(pool.GetAge(3), 0);
    EXPECT_EQ(pool.GetPuffAlpha(3), 1.0);
    EXPECT_EQ(pool.GetPuffAngle(3), oldTurn);  // a reused puff keeps its rotation

    for (int i = 0; i < 20; ++i) pool.Emit(1000, 1000);
    EXPECT_EQ(LiveCount(pool), 20);
    EXPECT_EQ(pool.GetPuffX(3), 99.0);  // the live puffs are untouched
    fake.ClearCalls();
    pool.Emit(2000, 2000);
    EXPECT_EQ(LiveCount(pool), 20);
    EXPECT_TRUE(fake.Log().empty());
    for (int64_t i = 0; i < 20; ++i) EXPECT_NE(pool.GetPuffX(i), 2000.0);
}

TEST(SmogPoolTest, AccelerationIsAddedBeforeTheStep) {
    FakeEngine fake;
    SmogPool pool;
    pool.Configure(0, 0, 30, 30, 1.0, -2.0, 1);
    pool.Emit(10, 10);
    pool.Update(1.0);
    EXPECT_EQ(pool.GetPuffX(0), 11.0);
    EXPECT_EQ(pool.GetPuffY(0), 8.0);
    pool.Update(0.5);
    EXPECT_EQ(pool.GetPuffX(0), 12.0);
    EXPECT_EQ(pool.GetPuffY(0), 6.0);
}

TEST(SmogPoolTest, OutOfRangeIndicesAndAnUnpreparedSmogAreHarmless) {
    FakeEngine fake;
    SmogPool pool;
    pool.Configure(0, 0, 30, 30, 0, 0, 2);
    EXPECT_FALSE(pool.IsAlive(-1));
    EXPECT_FALSE(pool.IsAlive(2));
    EXPECT_EQ(pool.GetPuffX(7), 0.0);
    EXPECT_EQ(pool.GetAge(-3), 0);
    Smog smog;  // never prepared
    smog.Emit(0, 1, 1);
    smog.Update(1);
    smog.Draw(0, 0);
    EXPECT_TRUE(fake.calls.empty());
}

}  // namespace
}  // namespace grappix
