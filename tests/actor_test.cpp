// Actor and MovingActor: the kinematic records of the body and the smoke puffs.
#include <gtest/gtest.h>

#include <cmath>

#include "actors/moving_actor.hpp"
#include "fake/fake_engine.hpp"

namespace grappix {
namespace {

using test::FakeEngine;

TEST(ActorTest, PolarAndCartesianFormsStayApartUnlessAsked) {
    // Guards against the polar form silently following the velocity (or the other way round).
    FakeEngine fake;
    MovingActor a;
    a.Prepare();
    a.SetPosVel(1, 2, 0, 0);
    EXPECT_EQ(a.GetSpeed(), 0.0);
    EXPECT_EQ(a.GetAngle(), std::atan2(0.0, 0.0));

    a.SetPosVel(0, 0, 3, 4);
    EXPECT_DOUBLE_EQ(a.GetSpeed(), 5.0);
    EXPECT_DOUBLE_EQ(a.GetAngle(), std::atan2(4.0, 3.0));
    a.SetVel(-10, 0);  // stale polar form until asked
    EXPECT_DOUBLE_EQ(a.GetSpeed(), 5.0);
    a.UpdateSpeed();
    a.UpdateAngle();
    EXPECT_DOUBLE_EQ(a.GetSpeed(), 10.0);
    EXPECT_DOUBLE_EQ(a.GetAngle(), std::atan2(0.0, -10.0));

    a.SetPosPolar(5, 6, 1.25, 0);  // no speed: no velocity, but the angle is kept
    EXPECT_EQ(a.GetVelX(), 0.0);
    EXPECT_EQ(a.GetVelY(), 0.0);
    EXPECT_EQ(a.GetAngle(), 1.25);
    EXPECT_EQ(a.GetX(), 5.0);
    EXPECT_EQ(a.GetY(), 6.0);

    a.SetAngle(M_PI / 2);
    a.SetSpeed(2);
    a.ApplyPolar();
    EXPECT_NEAR(a.GetVelX(), 0.0, 1e-12);
    EXPECT_DOUBLE_EQ(a.GetVelY(), 2.0);
}

TEST(ActorTest, AngleAccumulatesWithoutWrapping) {
    // A puff's rotation grows every frame; wrapping it would make the sprite jump.
    FakeEngine fake;
    MovingActor a;
    a.Prepare();
    for (int i = 0; i < 100; ++i) a.AddAngle(1.0);
    EXPECT_DOUBLE_EQ(a.GetAngle(), 100.0);
}

TEST(ActorTest, VectorsAreSharedAndNormalizeVelKeepsThemAlive) {
    // Guards against a holder of the velocity reading a freed vector after NormalizeVel.
    FakeEngine fake;
    MovingActor a;
    a.Prepare();
    a.SetPosVel(0, 0, 0, -8);
    Vec2& vel = a.GetVel();
    a.NormalizeVel();
    EXPECT_EQ(vel.GetY(), -1.0);
    EXPECT_EQ(a.GetSpeed(), 8.0);  // the polar form is left as it was
    a.GetPos().Set(11, 12);        // changing the handed-out position moves the actor
    EXPECT_EQ(a.GetX(), 11.0);
    a.SetVel(0, 0);
    a.NormalizeVel();
    EXPECT_EQ(a.GetVelX(), 0.0);
    EXPECT_EQ(a.GetVelY(), 0.0);
}

TEST(MovingActorTest, StepMovesAlongTheMotionOnly) {
    // Guards against a step that uses the velocity, or a placement that stops the actor.
    FakeEngine fake;
    MovingActor a;
    a.Prepare();
    a.SetPos(-200, -500);
    a.SetMove(10, -10);
    a.SetVel(99, 99);
    a.Step(0);
    EXPECT_EQ(a.GetX(), -200.0);
    EXPECT_EQ(a.GetY(), -500.0);
    a.Step(1);
    EXPECT_EQ(a.GetX(), -190.0);
    EXPECT_EQ(a.GetY(), -510.0);
    a.SetPos(0, 0);  // placing it elsewhere keeps the motion
    a.Step(1);
    EXPECT_EQ(a.GetX(), 10.0);
    EXPECT_EQ(a.GetY(), -10.0);
    a.Step(-1);
    EXPECT_EQ(a.GetX(), 0.0);
    a.Step(0.5);
    EXPECT_EQ(a.GetX(), 5.0);
    EXPECT_EQ(a.GetY(), -5.0);
    EXPECT_EQ(a.GetMoveX(), 10.0);  // Step never changes the motion
}

TEST(MovingActorTest, MotionArithmeticAndAngle) {
    FakeEngine fake;
    MovingActor a;
    a.Prepare();
    a.SetMove(3, 4);
    EXPECT_DOUBLE_EQ(a.MoveLen(), 5.0);
    EXPECT_DOUBLE_EQ(a.MoveLenSq(), 25.0);
    EXPECT_EQ(a.GetMoveAngle(), 0.0);  // refreshed only on request
    a.UpdateMoveAngle();
    EXPECT_DOUBLE_EQ(a.GetMoveAngle(), std::atan2(4.0, 3.0));
    a.AddMove(1, -1);
    a.AddMoveX(0.5);
    a.AddMoveY(-2);
    EXPECT_EQ(a.GetMoveX(), 4.5);
    EXPECT_EQ(a.GetMoveY(), 1.0);
}

TEST(MovingActorTest, UsableBeforePrepare) {
    // An actor read before its set-up reads as zero instead of crashing.
    FakeEngine fake;
    MovingActor a;
    EXPECT_EQ(a.GetX(), 0.0);
    a.Step(1);
    EXPECT_EQ(a.MoveLenSq(), 0.0);
}

}  // namespace
}  // namespace grappix
