// The floating-point boundary: the game runs with MXCSR 0x7F00 (invalid operation trapped,
// round toward zero); SDL, Mesa and the decoders crash under it. Every entry point must run
// its work under the default setting and give the caller back exactly its own.
#include <gtest/gtest.h>

#include <cmath>

#include "engine_support.hpp"

using namespace engine_test;

namespace {

constexpr uint32_t kGame = 0x7F00;

// The control bits only: the six low bits are sticky status flags that the test's own
// arithmetic sets (an inexact result, say) between the calls.
uint32_t Control(uint32_t mxcsr) { return mxcsr & ~0x3Fu; }

class EngineFloatingPoint : public ::testing::Test {
protected:
    void SetUp() override {
        box.Write("Data/tune.ogg", OggBytes(1.0));
        WritePng(box.Data("ring.vqtex"), Solid(128, 128, 0x80FFC000));
        saved = GetMxcsr();
        SetMxcsr(kGame);
    }
    void TearDown() override {
        SetMxcsr(saved);
        Engine().Free();
    }
    Sandbox box;
    uint32_t saved = 0;
};

uint32_t g_seenInComparator = 0;

int64_t CompareRecordingMxcsr(const void* a, const void* b) {
    g_seenInComparator = GetMxcsr();
    int64_t x, y;
    std::memcpy(&x, a, sizeof x);
    std::memcpy(&y, b, sizeof y);
    return x < y ? -1 : (x > y);
}

}  // namespace

// Guards against SIGFPE inside SDL/Mesa/decoders and against the game's setting being lost.
TEST_F(EngineFloatingPoint, EntryPointsRunUnderTheDefaultAndRestoreTheGames) {
    Api& e = Engine();
    InitEngine();  // window and renderer creation under the trap used to crash
    EXPECT_EQ(Control(GetMxcsr()), kGame);
    BriselTex* ring = e.LoadTex("ring.vqtex");
    BriselSnd* tune = e.LoadSnd("tune.ogg");
    EXPECT_EQ(Control(GetMxcsr()), kGame);
    e.PlaySnd(tune, 0.25, true, 0.1);
    for (int i = 0; i < 5; ++i) {
        e.DrawTexRot(ring, 0, 0, 128, 128, 700, 300, 400, 400, 200, 200, 0.3 * i, 1, 1, 1, 0.8);
        e.DrawRect(0, 0, 1600, 900, 0, 0, 0, 0.1);
        e.Act();  // the audio thread mixes meanwhile
        EXPECT_EQ(Control(GetMxcsr()), kGame);
    }
    EXPECT_TRUE(std::isnan(e.Sqrt(-1.0)));  // invalid inside the engine: no trap
    EXPECT_EQ(Control(GetMxcsr()), kGame);
    EXPECT_EQ(e.Floor(-2.5), -3.0);  // libm in its own rounding, not the caller's
    EXPECT_EQ(Control(GetMxcsr()), kGame);
}

// Guards against the raise path skipping the restore.
TEST_F(EngineFloatingPoint, RaisingRestoresTheCallersSetting) {
    Api& e = Engine();
    InitEngine();
    Failure([&] { e.LoadTex("missing.vqtex"); });
    EXPECT_EQ(Control(GetMxcsr()), kGame);
    Failure([&] { e.Stop("stop"); });
    EXPECT_EQ(Control(GetMxcsr()), kGame);
}

// Guards against the game's comparator running in the engine's setting.
TEST_F(EngineFloatingPoint, SortCallsTheComparatorInTheGamesSetting) {
    int64_t values[] = {5, -2, 9, 0, 3};
    Engine().Sort(values, 5, sizeof(int64_t), CompareRecordingMxcsr);
    EXPECT_EQ(Control(g_seenInComparator), kGame);
    EXPECT_EQ(Control(GetMxcsr()), kGame);
    EXPECT_EQ(values[0], -2);
    EXPECT_EQ(values[4], 9);
}
