// The per-frame cost of the stage's shared objects: a backdrop with its roof, twenty blocks,
// twenty live smoke puffs and a ten-character caption, as the game scene drives them every
// frame, on the recording fake engine. Two references run beside it: the same number of bare
// draw calls on the fake (what the engine boundary alone costs), and the objects with the
// draw entries turned into no-ops (the objects' own logic).
#include <benchmark/benchmark.h>

#include <algorithm>

#include "actors/smog.hpp"
#include "blocks/block_field.hpp"
#include "common/backdrop.hpp"
#include "common/bitmap_font.hpp"
#include "fake/fake_engine.hpp"
#include "frame/engine.hpp"

namespace grappix {
namespace {

// One game scene's worth of objects, set up as the scene sets them up.
struct Stage {
    Backdrop backdrop;
    BlockField blocks;
    Smog smog;
    BitmapFont font;
    double camX = 0;

    Stage() {
        backdrop.Configure(0, -900, -100, -850, true);
        backdrop.LoadSheets(0, -900, 1600, 900);
        blocks.Generate();
        blocks.LoadSheet(0, -900, 1600, 900);
        smog.Prepare();
        smog.LoadSheet(0, -900, 1600, 900);
        font.LoadDefault();
        for (int i = 0; i < 40; ++i) Frame();  // the puff pool is full from here on
    }

    // One frame: the camera runs right at 20 pixels a frame, the row recycles behind the
    // player, a puff is asked for every frame (the pool stays at twenty live), then the
    // drawing back to front.
    void Frame() {
        camX += 20;
        blocks.Recycle(camX + 800);
        smog.Emit(0, camX + 800, -20);
        smog.Update(1.0);
        backdrop.Draw(camX, -900);
        blocks.Draw(camX, -900);
        smog.Draw(camX, -900);
        font.DrawText("SPEED 1234", 40, 40, 40, 80, 1.0);
    }
};

void BM_StageFrame(benchmark::State& state) {
    test::FakeEngine fake;
    Stage stage;
    fake.ClearCalls();
    double calls = 0;
    for (auto _ : state) {
        stage.Frame();
        calls += static_cast<double>(fake.calls.size());
        fake.calls.clear();  // keeps the record from growing; part of the fake's cost
    }
    state.counters["engine_calls"] =
        calls / static_cast<double>(std::max<benchmark::IterationCount>(state.iterations(), 1));
}
BENCHMARK(BM_StageFrame);

void NoDrawTex(BriselTex*, double, double, double, double, double, double, double, double, double, double,
               double, double) {}
void NoDrawTexRot(BriselTex*, double, double, double, double, double, double, double, double, double, double,
                  double, double, double, double, double) {}

void BM_StageFrameObjectsOnly(benchmark::State& state) {
    test::FakeEngine fake;
    Stage stage;
    Engine().DrawTex = &NoDrawTex;
    Engine().DrawTexRot = &NoDrawTexRot;
    fake.ClearCalls();
    for (auto _ : state) {
        stage.Frame();
        fake.calls.clear();
    }
}
BENCHMARK(BM_StageFrameObjectsOnly);

// The same engine calls the stage issues, made directly: the boundary's share of the frame.
void BM_BareDrawCalls(benchmark::State& state) {
    test::FakeEngine fake;
    Stage stage;
    // Average calls of a frame over a stretch of the run, recycling included.
    fake.ClearCalls();
    constexpr int kFrames = 400;
    for (int i = 0; i < kFrames; ++i) stage.Frame();
    const auto rot = static_cast<int>(fake.Named("DrawTexRot").size() / kFrames);
    const auto flat = static_cast<int>(fake.Named("DrawTex").size() / kFrames);
    const auto other = static_cast<int>(fake.calls.size() / kFrames) - rot - flat;
    fake.ClearCalls();
    Tex tex = LoadTex("block.vqtex");
    for (auto _ : state) {
        for (int i = 0; i < rot; ++i) tex.DrawRot(0, 0, 256, 256, i, 0, 200, 200, 100, 100, 0, 1, 1, 1, 1);
        for (int i = 0; i < flat; ++i) tex.DrawScale(0, 0, 64, 128, i, 0, 40, 80, 1, 1, 1, 1);
        for (int i = 0; i < other; ++i) benchmark::DoNotOptimize(Engine().Rnd(0, 4));
        fake.calls.clear();
    }
    state.counters["engine_calls"] = rot + flat + other;
}
BENCHMARK(BM_BareDrawCalls);

}  // namespace
}  // namespace grappix

BENCHMARK_MAIN();
