#include "game/world.hpp"

#include "actors/moving_actor.hpp"
#include "actors/player.hpp"
#include "actors/smog.hpp"
#include "common/to_int.hpp"
#include "frame/maths.hpp"
#include "frame/media.hpp"

namespace grappix {

World::World()
    : sndShot(std::make_unique<SoundClip>()),
      sndHit(std::make_unique<SoundClip>()),
      sndStep(std::make_unique<SoundClip>()),
      sndReel(std::make_unique<SoundClip>()) {}

World::~World() = default;

void World::Configure(int64_t scale, double ground, double roof) {
    groundY = ground;
    roofY = roof;
    // The sound rhythms take the clock modulo multiples of the time scale, and a frame's time
    // step divides by it: a scale below 1 would divide by zero.
    if (scale < 1) {
        DebugLog("World: time scale " + std::to_string(scale) + " is below 1; using 1");
        scale = 1;
    }
    timeScale = scale;
    jumpWait = 0;
    moveState = MoveState::Jumping;
    wireState = WireState::Stowed;

    body = std::make_unique<MovingActor>();
    body->Prepare();
    body->SetPos(kStartX, kStartY);
    body->SetMove(kStartMoveX, kStartMoveY);

    smog = std::make_unique<Smog>();
    smog->Prepare();

    stepPeriod = kStepFrames * timeScale;
    reelPeriod = kReelFrames * timeScale;
}

void World::Setup(double viewX, double viewY, double viewW, double viewH) {
    player = std::make_unique<Player>();
    player->Configure(timeScale);
    player->LoadSheets(viewX, viewY, viewW, viewH);
    smog->LoadSheet(viewX, viewY, viewW, viewH);
    sndShot = std::make_unique<SoundClip>();
    sndShot->Load("arrow01.ogg", 0.5, false);
    sndHit = std::make_unique<SoundClip>();
    sndHit->Load("hit_p13_a.ogg", 0.5, false);
    sndStep = std::make_unique<SoundClip>();
    sndStep->Load("attack00.ogg", 0.5, false);
    sndReel = std::make_unique<SoundClip>();
    sndReel->Load("hit_p13_a.ogg", 0.4, false);
}

double World::GetBodyX() const { return body->GetX(); }
double World::GetBodyY() const { return body->GetY(); }
double World::GetMoveX() const { return body->GetMoveX(); }
double World::GetMoveY() const { return body->GetMoveY(); }

// The direction from A to B is the angle of A - B turned half a circle.
double World::DirectionTo(double x, double y) const {
    return InvRot(body->GetX() - x, body->GetY() - y) + kPi;
}

void World::Fire(double tx, double ty) {
    wireAngle = DirectionTo(tx, ty);
    shotAngle = DirectionTo(tx, ty);
    hookVX = kHookSpeed * Cos(wireAngle);
    hookVY = kHookSpeed * Sin(wireAngle);
    hookX = body->GetX();
    hookY = body->GetY();
    wireState = WireState::Flying;  // a wire already caught or reeling is abandoned
    sndShot->Play();
}

void World::Attach(double x, double y) {
    wireAngle = DirectionTo(x, y);
    hookX = x;
    hookY = y;
    hookVX = 0;
    hookVY = 0;
    wireLen = Hypot(body->GetX() - x, body->GetY() - y);
    wireState = WireState::Caught;
    sndHit->Play();
    // The reel button was already down when the hook caught: reel in from this very frame.
    if (reelHeld) Reel();
}

void World::Release() {
    hookX = body->GetX();
    hookY = body->GetY();
    hookVX = 0;
    hookVY = 0;
    wireState = WireState::Stowed;
    moveState = MoveState::Airborne;
}

void World::Reel() {
    if (wireState != WireState::Caught && wireState != WireState::Reeling) return;
    wireAngle = DirectionTo(hookX, hookY);
    body->SetMove(kReelSpeed * Cos(wireAngle), kReelSpeed * Sin(wireAngle));
    wireState = WireState::Reeling;
    moveState = MoveState::Reeling;
}

void World::Drop() {
    // The hook comes back with the next Update; its velocity no longer matters.
    moveState = MoveState::Airborne;
    wireState = WireState::Stowed;
}

void World::Jump() {
    if ((moveState != MoveState::Standing && moveState != MoveState::Running) || jumpWait != 0) return;
    body->SetMove(body->GetMoveX(), -kJumpSpeed);
    jumpWait = kJumpWaitFrames;
    moveState = MoveState::Jumping;
}

void World::WallKick(double bx, double by, double bw, double bh) {
    if (jumpWait != 0) return;
    const double x = body->GetX();
    const double y = body->GetY();
    const double r = kRadius;
    if (!(x > bx - r - kKickReach && x < bx + bw + r + kKickReach && y > by - 2 * r - kKickReach &&
          y < by + bh))
        return;
    // Kick away from the block's nearer half.
    if (x > bx + bw * 0.5)
        body->SetMove(body->GetMoveX() + kJumpSpeed, -kJumpSpeed);
    else
        body->SetMove(body->GetMoveX() - kJumpSpeed, -kJumpSpeed);
    jumpWait = kJumpWaitFrames;
    moveState = MoveState::Jumping;
}

// One frame: the movement state's own force, the wire's pull, then the step itself, and the
// state the body is left in. The collisions, run next by the scene, settle the rest.
void World::Update(int64_t ticks) {
    const double dt = static_cast<double>(ticks) / static_cast<double>(timeScale);
    taut = false;
    MovementStep();
    WireStep();
    if (jumpWait > 0) --jumpWait;
    smog->Update(dt);
    clock += ticks;
    body->Step(dt);
    wallSide = 0;
    SettleState();
}

// Gravity, or on the ground the friction that brings a running body to a stop.
void World::MovementStep() {
    switch (moveState) {
    case MoveState::Running: {
        if (body->GetMoveX() > 0)
            body->AddMove(-kStopSpeed, 0);
        else
            body->AddMove(kStopSpeed, 0);
        if (body->MoveLen() <= kStopSpeed) {
            body->SetMove(0, 0);
            clock = 0;  // the stop restarts the step rhythm, and sounds a step now
            moveState = MoveState::Standing;
        }
        smog->Emit(clock, body->GetX(), body->GetY() + 2 * kRadius);
        if (clock % stepPeriod == 0) sndStep->Play();
        break;
    }
    case MoveState::Jumping:
    case MoveState::Airborne:
    case MoveState::Swinging:
    case MoveState::Clinging: body->AddMove(0, kGravity); break;
    case MoveState::Standing:
    case MoveState::Reeling: break;  // no gravity
    }
}

// The hook rides with the body, flies on, holds the body on the wire, or reels it in.
void World::WireStep() {
    switch (wireState) {
    case WireState::Stowed:
        hookX = body->GetX();
        hookY = body->GetY();
        break;
    case WireState::Flying:  // on until something catches it: there is no range limit
        hookX += hookVX;
        hookY += hookVY;
        break;
    case WireState::Caught: {
        // Where the body would be after this frame's step: if that stretches the wire, take
        // the outward part off the motion. The x component goes first and the y component is
        // taken with the corrected x, so the correction is not a true projection; that is how
        // the swing feels. The position is never pulled back onto the circle.
        const double x = body->GetX();
        const double y = body->GetY();
        const double d = Hypot((x - hookX) + body->GetMoveX(), (y - hookY) + body->GetMoveY());
        if (d > wireLen) {
            wireAngle = DirectionTo(hookX, hookY);
            const double kx = Cos(wireAngle);
            const double ky = Sin(wireAngle);
            const double p = body->GetMoveX() * kx + body->GetMoveY() * ky;
            body->AddMoveX(-p * kx);
            const double p2 = body->GetMoveX() * kx + body->GetMoveY() * ky;
            body->AddMoveY(-p2 * ky);
            taut = true;
        }
        break;
    }
    case WireState::Reeling: {
        wireAngle = DirectionTo(hookX, hookY);
        body->SetMove(kReelSpeed * Cos(wireAngle), kReelSpeed * Sin(wireAngle));
        // Tested before the step: the body still makes this frame's move toward the old hook.
        if (Hypot(body->GetX() - hookX, body->GetY() - hookY) < 2 * kRadius) Release();
        if (clock % reelPeriod == 0) sndReel->Play();
        break;
    }
    }
}

// Airborne unless the wire says otherwise (a jump stays a jump until it lands); the
// collisions give the standing, running and clinging states back.
void World::SettleState() {
    if (wireState == WireState::Caught)
        moveState = taut ? MoveState::Swinging
                         : (moveState == MoveState::Jumping ? MoveState::Jumping : MoveState::Airborne);
    else if (wireState == WireState::Reeling)
        moveState = MoveState::Reeling;
    else
        moveState = moveState == MoveState::Jumping ? MoveState::Jumping : MoveState::Airborne;
}

void World::DrawFreeMarker(double half, double x, double y, double viewX, double viewY) {
    if (player) player->DrawFreeMarker(half, x, y, viewX, viewY);
}

void World::Draw(double aimX, double aimY, double viewX, double viewY) {
    animId = 100 * (ToInt(moveState) + 1);
    if (moveState == MoveState::Running)
        animId += body->GetMoveX() > 0 ? 30 : 40;
    else
        animId += wallSide == 0 ? 30 : 40;
    markerId = wireState == WireState::Caught ? 200 : wireState == WireState::Reeling ? 300 : 100;
    if (!player) return;  // nothing to draw with before Setup
    const double x = body->GetX();
    const double y = body->GetY();
    player->DrawAim(kRingHalf, kMarkerHalf, x, y, markerId, aimX, aimY, viewX, viewY);
    if (wireState != WireState::Stowed)
        player->DrawWire(kWireHalfWidth, shotAngle, kAnchorOffset, x, y, hookX, hookY, viewX, viewY);
    player->DrawBody(animId, clock, x, y, kHalfW, kHalfH, viewX, viewY);
    smog->Draw(viewX, viewY);
}

}  // namespace grappix
