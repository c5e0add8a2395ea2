// The kinematic record every moving thing builds on: a position, a velocity, and the
// velocity's polar form (direction angle and speed) kept beside it, in step only where an
// operation says so.
#pragma once

#include <memory>

#include "common/vec2.hpp"

namespace grappix {

class Actor {
public:
    virtual ~Actor() = default;

    virtual void Prepare();  // pos and vel new (0, 0); angle and speed stay 0
    void SetPosVel(double x, double y, double vx, double vy);
    void NormalizeVel();
    void SetPosPolar(double x, double y, double a, double s);
    void UpdateAngle();  // angle := InvRot(vel)
    void UpdateSpeed();  // speed := |vel|
    void ApplyPolar();   // vel from angle and speed
    void SetPos(double x, double y);
    void SetVel(double vx, double vy);
    void SetAngle(double a);
    void AddAngle(double d);
    void SetSpeed(double s);
    Vec2& GetPos();  // the position itself
    Vec2& GetVel();  // the velocity itself
    double GetX() const;
    double GetY() const;
    double GetVelX() const;
    double GetVelY() const;
    double GetAngle() const;
    double GetSpeed() const;

protected:
    // Never null: an actor used before Prepare reads as zero instead of crashing.
    std::unique_ptr<Vec2> pos = std::make_unique<Vec2>();
    std::unique_ptr<Vec2> vel = std::make_unique<Vec2>();
    double angle = 0.0;
    double speed = 0.0;
};

}  // namespace grappix
