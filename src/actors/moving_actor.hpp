// The actor the game moves: a motion vector, its angle, and an explicit Euler step of the
// position along the motion.
#pragma once

#include "actors/actor.hpp"

namespace grappix {

class MovingActor : public Actor {
public:
    void Prepare() override;  // pos, vel and move new (0, 0)
    void SetMove(double mx, double my);
    void AddMove(double dx, double dy);
    void AddMoveX(double dx);
    void AddMoveY(double dy);
    void UpdateMoveAngle();  // moveAngle := InvRot(move)
    double MoveLen() const;  // Hypot of move
    double MoveLenSq() const;
    double GetMoveX() const;
    double GetMoveY() const;
    double GetMoveAngle() const;
    void Step(double dt);  // pos += move * dt, x first

private:
    std::unique_ptr<Vec2> move = std::make_unique<Vec2>();
    double moveAngle = 0.0;
};

}  // namespace grappix
