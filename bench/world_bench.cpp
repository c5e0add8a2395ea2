// The per-frame cost of the world's work in the "Normal" mode, on the recording fake engine:
// the commands of a scripted player (shots, reels, releases, kicks, jumps), World Update, the
// heads-up display's Update, the collisions and catches against the twenty blocks of the row
// and the ground and roof, then the world's and the display's drawing. Two references run
// beside it: the same frame without drawing (the rules alone), and the same number of engine
// calls made directly (what the engine boundary alone costs).
#include <benchmark/benchmark.h>

#include <algorithm>

#include "blocks/block_field.hpp"
#include "fake/fake_engine.hpp"
#include "frame/media.hpp"
#include "game/hud.hpp"
#include "game/world.hpp"

namespace grappix {
namespace {

struct Play {
    World world;
    Hud hud;
    BlockField blocks;
    int64_t frame = 0;

    Play() {
        world.Configure(10, -100, -850);
        world.Setup(0, -900, 1600, 900);
        blocks.Generate();
        blocks.LoadSheet(0, -900, 1600, 900);
        hud.Prepare();
        hud.Setup();
    }

    // One frame of play in the game scene's order. The script repeats every 120 frames.
    void Frame(bool draw) {
        ++frame;
        SetFrameCount(frame);
        const double x = world.GetBodyX();
        const double viewX = std::max(0.0, x - 700);
        const double aimX = x + 300 + 37 * static_cast<double>(frame % 11);
        const double aimY = -880 + 20 * static_cast<double>(frame % 13);
        const int64_t phase = frame % 120;
        if (phase == 30) world.Reel();
        if (phase >= 30 && phase < 50) world.SetReelHeld();
        if (phase == 1 || phase == 70) world.Fire(aimX, aimY);
        if (phase == 50) world.Drop();
        if (phase == 60 || phase == 110) world.Release();
        if (phase == 90) {
            for (int64_t i = 0; i < blocks.GetCount(); ++i)
                world.WallKick(blocks.GetBlockX(i), blocks.GetBlockY(i), blocks.GetBlockW(i),
                               blocks.GetBlockH(i));
            world.Jump();
        }
        blocks.Recycle(world.GetBodyX());
        world.Update(10);
        hud.Update(world.GetBodyX());
        for (int64_t i = 0; i < blocks.GetCount(); ++i) {
            const double bx = blocks.GetBlockX(i), by = blocks.GetBlockY(i);
            const double bw = blocks.GetBlockW(i), bh = blocks.GetBlockH(i);
            world.CollideBlock(bx, by, bw, bh);
            world.CatchBlock(bx, by, bw, bh);
        }
        world.CollideGroundRoof();
        world.ClearReelHeld();
        if (draw) {
            world.Draw(aimX, aimY, viewX, -900);
            hud.Draw();
        }
    }
};

void BM_WorldFrame(benchmark::State& state) {
    test::FakeEngine fake;
    Play play;
    fake.ClearCalls();
    double calls = 0, onWire = 0;
    for (auto _ : state) {
        play.Frame(true);
        calls += static_cast<double>(fake.calls.size());
        onWire +=
            play.world.GetWireState() == WireState::Caught || play.world.GetWireState() == WireState::Reeling
                ? 1
                : 0;
        fake.calls.clear();  // keeps the record from growing; part of the fake's cost
    }
    const double n = static_cast<double>(std::max<benchmark::IterationCount>(state.iterations(), 1));
    state.counters["engine_calls"] = calls / n;
    // How much of the run the script spends on a caught or reeling wire: the swing and
    // reel paths are part of what is measured.
    state.counters["on_wire"] = onWire / n;
}
BENCHMARK(BM_WorldFrame);

void BM_WorldFrameRulesOnly(benchmark::State& state) {
    test::FakeEngine fake;
    Play play;
    fake.ClearCalls();
    for (auto _ : state) {
        play.Frame(false);
        fake.calls.clear();
    }
}
BENCHMARK(BM_WorldFrameRulesOnly);

// The engine calls a frame issues on average, made directly.
void BM_BareEngineCalls(benchmark::State& state) {
    test::FakeEngine fake;
    Play play;
    fake.ClearCalls();
    constexpr int kFrames = 1200;
    for (int i = 0; i < kFrames; ++i) play.Frame(true);
    const auto rot = static_cast<int>(fake.Named("DrawTexRot").size() / kFrames);
    const auto flat = static_cast<int>(fake.Named("DrawTex").size() / kFrames);
    const auto other = static_cast<int>(fake.calls.size() / kFrames) - rot - flat;
    fake.ClearCalls();
    Tex tex = LoadTex("ese_raf.vqtex");
    for (auto _ : state) {
        for (int i = 0; i < rot; ++i) tex.DrawRot(0, 0, 256, 256, i, 0, 200, 200, 100, 100, 0, 1, 1, 1, 1);
        for (int i = 0; i < flat; ++i) tex.DrawScale(0, 0, 64, 128, i, 0, 30, 60, 1, 1, 1, 1);
        for (int i = 0; i < other; ++i) benchmark::DoNotOptimize(Engine().Rnd(0, 4));
        fake.calls.clear();
    }
    state.counters["engine_calls"] = rot + flat + other;
}
BENCHMARK(BM_BareEngineCalls);

}  // namespace
}  // namespace grappix

BENCHMARK_MAIN();
