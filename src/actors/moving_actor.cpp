#include "actors/moving_actor.hpp"

#include "frame/maths.hpp"

namespace grappix {

void MovingActor::Prepare() {
    Actor::Prepare();
    move = std::make_unique<Vec2>();
}

void MovingActor::SetMove(double mx, double my) {
    move->SetX(mx);
    move->SetY(my);
}

void MovingActor::AddMove(double dx, double dy) {
    move->SetX(move->GetX() + dx);
    move->SetY(move->GetY() + dy);
}

void MovingActor::AddMoveX(double dx) { move->SetX(move->GetX() + dx); }
void MovingActor::AddMoveY(double dy) { move->SetY(move->GetY() + dy); }

void MovingActor::UpdateMoveAngle() { moveAngle = InvRot(GetMoveX(), GetMoveY()); }

double MovingActor::MoveLen() const { return Hypot(move->GetX(), move->GetY()); }
double MovingActor::MoveLenSq() const { return Pow(move->GetX(), 2) + Pow(move->GetY(), 2); }
double MovingActor::GetMoveX() const { return move->GetX(); }
double MovingActor::GetMoveY() const { return move->GetY(); }
double MovingActor::GetMoveAngle() const { return moveAngle; }

void MovingActor::Step(double dt) {
    // x is written before y is read; only a watcher between the two could tell.
    pos->SetX(pos->GetX() + move->GetX() * dt);
    pos->SetY(pos->GetY() + move->GetY() * dt);
}

}  // namespace grappix
