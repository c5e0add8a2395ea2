// The player's body and its wire: shot, flight, catch, swing, reel-in and release, jumps and
// wall kicks, the movement state that picks the character's animation, the sound effects,
// and the settling of the body and the flying hook against blocks, ground and roof.
//
// Units are world pixels (y grows downward) and frames: every speed is in pixels per frame.
// The scene calls, each frame: the commands, Update, the collisions of its mode,
// ClearReelHeld, then Draw. Update always leaves the body airborne (or swinging, or reeling);
// the collisions give it back its standing, running and clinging states in the same frame.
#pragma once

#include <cstdint>
#include <memory>

namespace grappix {

// What the body is doing; it picks the character's animation (id 100 x (state + 1), plus the
// facing), so the numbers are part of the animation table.
enum class MoveState : int64_t {
    Standing = 0,
    Running = 1,
    Jumping = 2,   // from a jump or a kick, until it lands
    Airborne = 3,  // falling or flying free
    Reeling = 4,   // pulled in along the wire
    Swinging = 5,  // on a wire pulled taut this frame
    Clinging = 6,  // against a block's side
};

// Where the hook is.
enum class WireState : int64_t {
    Stowed = 0,   // no wire out: the hook rides with the body
    Flying = 1,   // shot, and flying until something catches it
    Caught = 2,   // lodged: the wire holds the body at its length
    Reeling = 3,  // lodged, and the body is reeled in toward it
};

class MovingActor;
class Player;
class Smog;
class SoundClip;

class World {
public:
    World();
    ~World();
    World(const World&) = delete;
    World& operator=(const World&) = delete;

    // The time scale, the ground and roof lines, and the body at its start (kStartX ...),
    // jumping, with no wire out.
    void Configure(int64_t timeScale, double groundY, double roofY);
    // The player's sheets, the smog sheet and the four sounds.
    void Setup(double viewX, double viewY, double viewW, double viewH);

    double GetBodyX() const;
    double GetBodyY() const;
    MoveState GetMoveState() const { return moveState; }
    WireState GetWireState() const { return wireState; }

    // ---- commands ----
    void Fire(double tx, double ty);  // shoot the hook toward a world point
    void Attach(double x, double y);  // the hook catches at (x, y)
    void Release();                   // the wire comes back to the body
    void Reel();                      // start pulling the body to a caught hook
    void Drop();                      // let go of the wire
    void SetReelHeld() { reelHeld = true; }
    void ClearReelHeld() { reelHeld = false; }
    void Jump();
    void WallKick(double bx, double by, double bw, double bh);

    // ---- collisions (after Update) ----
    bool CollideBlock(double bx, double by, double bw, double bh);  // always false
    bool CatchBlock(double bx, double by, double bw, double bh);    // true: hook caught
    void CollideGroundRoof();
    void CollideGround();  // free style: no roof

    void Update(int64_t ticks);

    void DrawFreeMarker(double half, double x, double y, double viewX, double viewY);
    void Draw(double aimX, double aimY, double viewX, double viewY);

    // ---- read access for the scene, tests and tools ----
    double GetMoveX() const;
    double GetMoveY() const;
    double GetHookX() const { return hookX; }
    double GetHookY() const { return hookY; }
    double GetHookVX() const { return hookVX; }
    double GetHookVY() const { return hookVY; }
    double GetWireLen() const { return wireLen; }
    double GetWireAngle() const { return wireAngle; }
    double GetShotAngle() const { return shotAngle; }
    int64_t GetClock() const { return clock; }
    int64_t GetJumpWait() const { return jumpWait; }
    int64_t GetWallSide() const { return wallSide; }
    int64_t GetAnimId() const { return animId; }
    int64_t GetMarkerId() const { return markerId; }
    bool IsTaut() const { return taut; }
    bool IsReelHeld() const { return reelHeld; }
    bool HitTop() const { return hitTop; }
    bool HitBottom() const { return hitBottom; }
    bool HitRight() const { return hitRight; }
    bool HitLeft() const { return hitLeft; }
    bool HitAny() const { return hitAny; }
    double GetRadius() const { return kRadius; }
    MovingActor& Body() { return *body; }  // tests place the body directly
    const Player& GetPlayer() const { return *player; }
    const Smog& GetSmog() const { return *smog; }

    // ---- tuning: the same in every game (world pixels, frames, ticks) ----
    static constexpr double kHalfW = 100, kHalfH = 100;  // half size of the drawn character
    static constexpr double kRadius = 40;                // body radius of every collision test
    static constexpr double kGravity = 0.5;
    static constexpr double kStopSpeed = 0.5;  // ground friction step, and the speed at which the body stops
    static constexpr double kReelSpeed = 20;
    static constexpr double kJumpSpeed = 8;  // upward speed of a jump or kick, sideways push of a kick
    static constexpr double kKickReach = kJumpSpeed * 0.8 + kRadius;  // beyond the radius
    static constexpr int64_t kJumpWaitFrames = 60;                    // after a jump or kick, before the next
    static constexpr double kHookSpeed = 60;
    static constexpr double kAnchorOffset = 10;  // the anchor is drawn this far past the hook
    static constexpr double kWireHalfWidth = 5;
    static constexpr double kRingHalf = 200;    // the aim ring round the body
    static constexpr double kMarkerHalf = 25;   // the hook-point marker at the cursor
    static constexpr int64_t kStepFrames = 30;  // between running sounds
    static constexpr int64_t kReelFrames = 5;   // between reeling sounds
    // The body at the start of a game: entering from the left of the view, rising.
    static constexpr double kStartX = -200, kStartY = -500, kStartMoveX = 10, kStartMoveY = -10;

private:
    double DirectionTo(double x, double y) const;  // from the body toward (x, y)
    void SettleOnGround();                         // ground part of both ground tests
    // The steps of Update, in order.
    void MovementStep();
    void WireStep();
    void SettleState();

    // Set by Configure.
    double groundY = 0;
    double roofY = 0;
    int64_t timeScale = 1;   // ticks per frame
    int64_t stepPeriod = 0;  // running sound period, ticks
    int64_t reelPeriod = 0;  // reeling sound period, ticks
    // The body and the smog are made by Configure, the player's sheets and the sounds by Setup.
    std::unique_ptr<MovingActor> body;
    std::unique_ptr<Player> player;
    std::unique_ptr<Smog> smog;
    std::unique_ptr<SoundClip> sndShot, sndHit, sndStep, sndReel;

    // The state of play; Configure gives the start.
    MoveState moveState{};
    WireState wireState{};
    int64_t jumpWait = 0;  // frames until the next jump or kick is allowed
    double hookX = 0, hookY = 0;
    double hookVX = 0, hookVY = 0;
    double wireLen = 0;
    double wireAngle = 0;  // from the body toward the hook
    double shotAngle = 0;  // direction of the last shot; only the anchor's drawing uses it
    int64_t wallSide = 0;  // side of the block clung to: 0 or 1
    int64_t clock = 0;     // ticks; reset when a running body stops
    int64_t animId = 0;
    int64_t markerId = 0;
    bool hitTop = false, hitBottom = false, hitRight = false, hitLeft = false, hitAny = false;
    bool taut = false;      // the wire was pulled taut in this frame's Update
    bool reelHeld = false;  // the reel button is held in this frame
};

}  // namespace grappix
