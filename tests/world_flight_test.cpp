// A whole scripted flight checked against numbers worked out independently of this code:
// tools/flight_reference.py re-states the rules (wire, swing, reel, gravity, friction,
// ground and roof) in Python and prints the checkpoints pasted below. A change to any
// constant or to the order of operations in the World moves some of them.
#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "common/to_int.hpp"
#include "fake/fake_engine.hpp"
#include "frame/media.hpp"
#include "game/world.hpp"

namespace grappix {
namespace {

using test::FakeEngine;

struct Checkpoint {
    int frame;
    double x, y, mx, my;
    int64_t moveState, wireState;
    double hookX, hookY;
};

// python3 tools/flight_reference.py
const Checkpoint kExpected[] = {
    {1, -190.000000000, -509.500000000, 10.000000000, -9.500000000, 2, 1, -147.905411473, -529.768336301},
    {6, -140.000000000, -549.500000000, 10.000000000, -7.000000000, 2, 1, 112.567531165, -678.610017808},
    {11, -90.000000000, -577.000000000, 10.000000000, -4.500000000, 2, 1, 373.040473802, -827.451699316},
    {12, -80.000000000, -581.000000000, 10.000000000, -4.000000000, 2, 2, 425.135062330, -850.000000000},
    {20, 0.000000000, -595.000000000, 10.000000000, 0.000000000, 2, 2, 425.135062330, -850.000000000},
    {29, 90.000000000, -572.500000000, 10.000000000, 4.500000000, 2, 2, 425.135062330, -850.000000000},
    {30, 105.404570561, -585.255359887, 15.404570561, -12.755359887, 4, 3, 425.135062330, -850.000000000},
    {31, 120.809141122, -598.010719773, 15.404570561, -12.755359887, 4, 3, 425.135062330, -850.000000000},
    {41, 274.854846730, -725.564318639, 15.404570561, -12.755359887, 4, 3, 425.135062330, -850.000000000},
    {42, 290.259417291, -737.819678526, 15.404570561, -12.255359887, 3, 0, 274.854846730, -725.564318639},
    {43, 305.663987852, -749.575038412, 15.404570561, -11.755359887, 3, 0, 290.259417291, -737.819678526},
    {60, 567.541687386, -782.500000000, 15.404570561, 5.000000000, 3, 0, 552.137116825, -787.500000000},
    {80, 875.633098602, -577.500000000, 15.404570561, 15.000000000, 3, 0, 860.228528041, -592.500000000},
    {100, 1183.724509819, -172.500000000, 15.404570561, 25.000000000, 3, 0, 1168.319939258, -197.500000000},
    {102, 1214.533650940, -140.000000000, 15.404570561, 0.000000000, 1, 0, 1199.129080380, -147.000000000},
    {103, 1229.438221501, -140.000000000, 14.904570561, 0.000000000, 1, 0, 1214.533650940, -140.000000000},
    {120, 1406.315921035, -140.000000000, 6.404570561, 0.000000000, 1, 0, 1399.911350474, -140.000000000},
    {132, 1443.766197204, -140.000000000, 0.000000000, 0.000000000, 0, 0, 1443.766197204, -140.000000000},
    {133, 1443.766197204, -140.000000000, 0.000000000, 0.000000000, 0, 0, 1443.766197204, -140.000000000},
    {159, 1443.766197204, -140.000000000, 0.000000000, 0.000000000, 0, 0, 1443.766197204, -140.000000000},
    {160, 1443.766197204, -147.500000000, 0.000000000, -7.500000000, 2, 0, 1443.766197204, -140.000000000},
    {161, 1443.766197204, -154.500000000, 0.000000000, -7.000000000, 2, 0, 1443.766197204, -147.500000000},
    {175, 1443.766197204, -200.000000000, 0.000000000, 0.000000000, 2, 0, 1443.766197204, -200.000000000},
    {200, 1443.766197204, -140.000000000, 0.000000000, 0.000000000, 0, 0, 1443.766197204, -140.000000000},
    {229, 1443.766197204, -140.000000000, 0.000000000, 0.000000000, 0, 0, 1443.766197204, -140.000000000},
    {230, 1443.766197204, -140.000000000, 0.000000000, 0.000000000, 0, 1, 1501.126336958, -122.398455537},
    {231, 1443.766197204, -140.000000000, 0.000000000, 0.000000000, 0, 1, 1558.486476711, -104.796911074},
    {236, 1482.192433409, -140.000000000, 19.161659825, 0.000000000, 1, 3, 1730.566895971, -60.000000000},
    {240, 1557.266307014, -140.000000000, 18.458100554, 0.000000000, 1, 3, 1730.566895971, -60.000000000},
    {252, 1715.307513493, -140.000000000, 6.777301300, 0.000000000, 1, 0, 1708.530212194, -140.000000000},
    {253, 1721.584814793, -140.000000000, 6.277301300, 0.000000000, 1, 0, 1715.307513493, -140.000000000},
    {270, 1757.635129087, -140.000000000, 0.000000000, 0.000000000, 0, 0, 1757.635129087, -140.000000000},
    {300, 1757.635129087, -140.000000000, 0.000000000, 0.000000000, 0, 0, 1757.635129087, -140.000000000},
};

const std::pair<int, const char*> kSounds[] = {
    {1, "arrow01.ogg"},      // shot
    {12, "hit_p13_a.ogg"},   // hit
    {31, "hit_p13_a.ogg"},   // reel
    {36, "hit_p13_a.ogg"},   // reel
    {41, "hit_p13_a.ogg"},   // reel
    {121, "attack00.ogg"},   // step
    {132, "attack00.ogg"},   // step
    {230, "arrow01.ogg"},    // shot
    {234, "hit_p13_a.ogg"},  // hit
    {237, "hit_p13_a.ogg"},  // reel
    {242, "hit_p13_a.ogg"},  // reel
    {247, "hit_p13_a.ogg"},  // reel
    {265, "attack00.ogg"},   // step
};

TEST(WorldFlightTest, ScriptedFlightMatchesTheReference) {
    FakeEngine fake;
    World world;
    world.Configure(10, -100, -850);
    world.Setup(0, -900, 1600, 900);
    fake.ClearCalls();

    // The script, in the game scene's order of commands within a frame.
    auto reelHeld = [](int f) { return (f >= 30 && f < 42) || (f >= 226 && f < 245); };
    std::map<int, Checkpoint> expected;
    for (const Checkpoint& c : kExpected) expected[c.frame] = c;
    std::vector<std::pair<int, std::string>> sounds;

    for (int frame = 1; frame <= 300; ++frame) {
        const size_t before = fake.Named("PlaySnd").size();
        if (frame == 30) world.Reel();
        if (reelHeld(frame)) world.SetReelHeld();
        if (frame == 1) world.Fire(500, -900);             // at the roof, up and right
        if (frame == 230) world.Fire(1900, 0);             // into the ground, reel already held
        if (frame == 42) world.Drop();                     // reel button let go
        if (frame == 43 || frame == 252) world.Release();  // shoot button let go
        if (frame == 160) world.Jump();
        world.Update(10);
        world.CollideGroundRoof();
        world.ClearReelHeld();

        const auto plays = fake.Named("PlaySnd");
        for (size_t i = before; i < plays.size(); ++i) sounds.emplace_back(frame, plays[i].file);

        auto it = expected.find(frame);
        if (it == expected.end()) continue;
        const Checkpoint& c = it->second;
        SCOPED_TRACE("frame " + std::to_string(frame));
        EXPECT_NEAR(world.GetBodyX(), c.x, 1e-6);
        EXPECT_NEAR(world.GetBodyY(), c.y, 1e-6);
        EXPECT_NEAR(world.GetMoveX(), c.mx, 1e-6);
        EXPECT_NEAR(world.GetMoveY(), c.my, 1e-6);
        EXPECT_EQ(ToInt(world.GetMoveState()), c.moveState);
        EXPECT_EQ(ToInt(world.GetWireState()), c.wireState);
        EXPECT_NEAR(world.GetHookX(), c.hookX, 1e-6);
        EXPECT_NEAR(world.GetHookY(), c.hookY, 1e-6);
    }
    std::vector<std::pair<int, std::string>> want;
    for (const auto& s : kSounds) want.emplace_back(s.first, s.second);
    EXPECT_EQ(sounds, want);
}

}  // namespace
}  // namespace grappix
