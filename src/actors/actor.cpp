#include "actors/actor.hpp"

#include "frame/maths.hpp"

namespace grappix {

void Actor::Prepare() {
    pos = std::make_unique<Vec2>();
    vel = std::make_unique<Vec2>();
}

void Actor::SetPosVel(double x, double y, double vx, double vy) {
    pos->Set(x, y);
    vel->Set(vx, vy);
    UpdateSpeed();
    UpdateAngle();
}

void Actor::NormalizeVel() {
    // Normalised in place: holders of GetVel() keep a live vector that now reads the unit one.
    vel->Normalize();
}

void Actor::SetPosPolar(double x, double y, double a, double s) {
    pos->Set(x, y);
    vel->Set(Cos(a) * s, Sin(a) * s);
    angle = a;
    speed = s;
}

void Actor::UpdateAngle() { angle = InvRot(vel->GetX(), vel->GetY()); }

void Actor::UpdateSpeed() { speed = Sqrt(Pow(vel->GetX(), 2) + Pow(vel->GetY(), 2)); }

void Actor::ApplyPolar() { vel->Set(Cos(angle) * speed, Sin(angle) * speed); }

void Actor::SetPos(double x, double y) { pos->Set(x, y); }
void Actor::SetVel(double vx, double vy) { vel->Set(vx, vy); }
void Actor::SetAngle(double a) { angle = a; }
void Actor::AddAngle(double d) { angle += d; }
void Actor::SetSpeed(double s) { speed = s; }

Vec2& Actor::GetPos() { return *pos; }
Vec2& Actor::GetVel() { return *vel; }
double Actor::GetX() const { return pos->GetX(); }
double Actor::GetY() const { return pos->GetY(); }
double Actor::GetVelX() const { return vel->GetX(); }
double Actor::GetVelY() const { return vel->GetY(); }
double Actor::GetAngle() const { return angle; }
double Actor::GetSpeed() const { return speed; }

}  // namespace grappix
