#include "actors/player.hpp"

#include "common/sprite_layout.hpp"
#include "frame/maths.hpp"
#include "frame/media.hpp"

namespace grappix {

namespace {

constexpr double kMarkerSpin = 0.0523598775598299;  // 3 degrees a frame: a full turn in 120 frames
constexpr double kAnchorScale = 5.0;                // anchor half-size = wire half-width x this
constexpr int64_t kGhostFrames = 5;                 // the after-image goes off once its count passes this
constexpr double kGhostAlpha = 0.5;

// A sheet that shows one still picture under id 100.
void LoadStill(Anime& sprite, const layout::Sheet& sheet, const layout::Cell& cell, double left, double top,
               double width, double height) {
    sprite.LoadTexture(sheet.file);
    sprite.Setup(1, left, top, width, height);
    sprite.SetAnime(100, true, 1);
    sprite.AddFrame(100, cell.x, cell.y, cell.w, cell.h, 0, 1);
}

// One frame of a looping character animation: a cell of the runner's sheet, shown for a
// number of frames (in units of the time scale).
struct Shown {
    const layout::Cell& cell;
    int64_t duration;
};

void AddCharacter(Anime& sheet, int64_t id, double angle, std::initializer_list<Shown> frames, int64_t d) {
    sheet.SetAnime(id, true, static_cast<int64_t>(frames.size()));
    for (const Shown& f : frames)
        sheet.AddFrame(id, f.cell.x, f.cell.y, f.cell.w, f.cell.h, angle, f.duration * d);
}

// Four cells in turn, each shown for the same time.
void AddCycle(Anime& sheet, int64_t id, double angle, const layout::Cell (&cells)[4], int64_t duration,
              int64_t d) {
    AddCharacter(sheet, id, angle,
                 {{cells[0], duration}, {cells[1], duration}, {cells[2], duration}, {cells[3], duration}}, d);
}

}  // namespace

Player::Player() = default;
Player::~Player() = default;

void Player::Configure(int64_t scale) { timeScale = scale; }

void Player::LoadSheets(double left, double top, double width, double height) {
    using namespace layout;
    wireSprite = std::make_unique<Anime>();
    LoadStill(*wireSprite, kWireSheet, kWire, left, top, width, height);
    // The wire spans from the body to wherever the hook is, often far off screen at one end:
    // it is drawn whatever its centre's position.
    wireSprite->DisableCulling();

    anchorSprite = std::make_unique<Anime>();
    LoadStill(*anchorSprite, kAnchorSheet, kAnchor, left, top, width, height);

    ringSprite = std::make_unique<Anime>();
    LoadStill(*ringSprite, kRingSheet, kRing, left, top, width, height);

    // Hook-point marker: 100 aiming, 200 caught, 300 reeling in.
    markerSprite = std::make_unique<Anime>();
    markerSprite->LoadTexture(kHookPointSheet.file);
    markerSprite->Setup(3, left, top, width, height);
    const Cell* markers[] = {&kMarkerAiming, &kMarkerCaught, &kMarkerReeling};
    for (int64_t i = 0; i < 3; ++i) {
        const Cell& c = *markers[i];
        markerSprite->SetAnime(100 * (i + 1), true, 1);
        markerSprite->AddFrame(100 * (i + 1), c.x, c.y, c.w, c.h, 0, 1);
    }

    // The character. Ids are 100 x (movement state + 1) plus 30 or 40 for the two facings.
    const int64_t d = timeScale;
    bodySheet = std::make_unique<Anime>();
    bodySheet->LoadTexture(kRunnerSheet.file);
    bodySheet->Setup(14, left, top, width, height);
    for (int64_t id : {130, 140})  // standing: a slow breath
        AddCharacter(*bodySheet, id, 0, {{kStand[0], 8}, {kStand[1], 8}, {kStand[2], 25}, {kStand[1], 8}}, d);
    AddCycle(*bodySheet, 230, 0.314159265358979, kRunRight, 5, d);  // running right, leaning forward
    AddCycle(*bodySheet, 240, 0, kRunLeft, 5, d);                   // running left
    for (int64_t id : {330, 340}) AddCycle(*bodySheet, id, 0, kJump, 5, d);
    for (int64_t id : {430, 440}) AddCycle(*bodySheet, id, 0, kAir, 5, d);
    for (int64_t id : {530, 540}) AddCycle(*bodySheet, id, 0, kReel, 5, d);
    for (int64_t id : {630, 640}) AddCycle(*bodySheet, id, 0, kRunRight, 5, d);  // swinging
    AddCharacter(*bodySheet, 730, 0, {{kClingWallLeft, 300}}, d);
    AddCharacter(*bodySheet, 740, -0.15707963267949, {{kClingWallRight, 300}}, d);
}

void Player::DrawAim(double ringHalf, double markerHalf, double bodyX, double bodyY, int64_t markerId,
                     double aimX, double aimY, double viewX, double viewY) {
    const double a = InvRot(aimX - bodyX, aimY - bodyY);
    ringSprite->Draw(100, 0, bodyX, bodyY, ringHalf, ringHalf, a, 1.0, viewX, viewY);
    markerSprite->Draw(markerId, 0, aimX, aimY, markerHalf, markerHalf,
                       static_cast<double>(FrameCount()) * kMarkerSpin, 1.0, viewX, viewY);
}

void Player::DrawFreeMarker(double half, double x, double y, double viewX, double viewY) {
    markerSprite->Draw(200, 0, x, y, half, half, static_cast<double>(FrameCount()) * kMarkerSpin, 1.0, viewX,
                       viewY);
}

void Player::DrawWire(double wireHalfWidth, double anchorAngle, double anchorOffset, double bodyX,
                      double bodyY, double hookX, double hookY, double viewX, double viewY) {
    const double dx = hookX - bodyX;
    const double dy = hookY - bodyY;
    wireHalfLen = Hypot(dx, dy) * 0.5;
    // The strip's length runs along the sprite's height, so it is turned a quarter further.
    wireRotation = InvRot(dx, dy) + kHalfPi;
    wireSprite->Draw(100, 0, bodyX + dx * 0.5, bodyY + dy * 0.5, wireHalfWidth, wireHalfLen, wireRotation,
                     1.0, viewX, viewY);
    const double anchorHalf = wireHalfWidth * kAnchorScale;
    anchorSprite->Draw(100, 0, hookX + anchorOffset * Cos(anchorAngle),
                       hookY + anchorOffset * Sin(anchorAngle), anchorHalf, anchorHalf, anchorAngle, 1.0,
                       viewX, viewY);
}

void Player::DrawBody(int64_t id, int64_t clock, double bodyX, double bodyY, double halfW, double halfH,
                      double viewX, double viewY) {
    if (lastId != id) {
        ghostOn = true;
        ghostCount = 0;
        ghostId = lastId;
    }
    if (ghostOn) {
        bodySheet->Draw(ghostId, clock, bodyX, bodyY, halfW, halfH, 0, kGhostAlpha, viewX, viewY);
        // Counts 0 to kGhostFrames + 1 are shown: 7 frames, the frame of the change included.
        if (kGhostFrames < ghostCount)
            ghostOn = false;
        else
            ghostCount += 1;
    }
    bodySheet->Draw(id, clock, bodyX, bodyY, halfW, halfH, 0, 1.0, viewX, viewY);
    lastId = id;
}

}  // namespace grappix
