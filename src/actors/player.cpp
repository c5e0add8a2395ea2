#include "actors/player.hpp"

#include "frame/maths.hpp"
#include "frame/media.hpp"

namespace grappix {

namespace {

// A sheet that shows one whole-texture frame under id 100.
void LoadStill(Anime& sheet, const char* file, double size, double left, double top, double width,
               double height) {
    sheet.LoadTexture(file);
    sheet.Setup(1, left, top, width, height);
    sheet.SetAnime(100, true, 1);
    sheet.AddFrame(100, 0, 0, size, size, 0, 1);
}

// A looping character animation of frames 256 x 256 on one row-or-scattered set of cells.
struct Cell {
    double x, y;
    int64_t duration;  // in units of the time scale
};

void AddCharacter(Anime& sheet, int64_t id, double angle, std::initializer_list<Cell> cells, int64_t d) {
    sheet.SetAnime(id, true, static_cast<int64_t>(cells.size()));
    for (const Cell& c : cells) sheet.AddFrame(id, c.x, c.y, 256, 256, angle, c.duration * d);
}

}  // namespace

Player::Player() = default;
Player::~Player() = default;

void Player::Configure(int64_t scale) {
    timeScale = scale;
    ghostFrames = 5;
    ghostAlpha = 0.5;
    markerSpin = 0.0523598775598299;
}

void Player::LoadSheets(double left, double top, double width, double height) {
    wireSprite = std::make_unique<Anime>();
    LoadStill(*wireSprite, "wire.vqtex", 256, left, top, width, height);
    // The wire spans from the body to wherever the hook is, often far off screen at one end:
    // it is drawn whatever its centre's position.
    wireSprite->DisableCulling();

    anchorSprite = std::make_unique<Anime>();
    LoadStill(*anchorSprite, "anchor.vqtex", 1024, left, top, width, height);

    ringSprite = std::make_unique<Anime>();
    LoadStill(*ringSprite, "ring.vqtex", 512, left, top, width, height);

    // Hook-point marker: 100 aiming, 200 caught, 300 reeling in.
    markerSprite = std::make_unique<Anime>();
    markerSprite->LoadTexture("hookpoint.vqtex");
    markerSprite->Setup(3, left, top, width, height);
    markerSprite->SetAnime(100, true, 1);
    markerSprite->AddFrame(100, 0, 0, 64, 64, 0, 1);
    markerSprite->SetAnime(200, true, 1);
    markerSprite->AddFrame(200, 64, 0, 64, 64, 0, 1);
    markerSprite->SetAnime(300, true, 1);
    markerSprite->AddFrame(300, 0, 64, 64, 64, 0, 1);

    // The character. Ids are 100 x (movement state + 1) plus 30 or 40 for the two facings.
    const int64_t d = timeScale;
    bodySheet = std::make_unique<Anime>();
    bodySheet->LoadTexture("ese_raf.vqtex");
    bodySheet->Setup(14, left, top, width, height);
    for (int64_t id : {130, 140})  // standing: a slow breath
        AddCharacter(*bodySheet, id, 0, {{1280, 0, 8}, {1536, 0, 8}, {1792, 0, 25}, {1536, 0, 8}}, d);
    AddCharacter(*bodySheet, 230, 0.314159265358979,  // running right, leaning forward
                 {{1024, 512, 5}, {1280, 512, 5}, {1536, 512, 5}, {1792, 512, 5}}, d);
    AddCharacter(*bodySheet, 240, 0,  // running left
                 {{0, 512, 5}, {256, 512, 5}, {512, 512, 5}, {768, 512, 5}}, d);
    for (int64_t id : {330, 340})  // jumping
        AddCharacter(*bodySheet, id, 0, {{1024, 768, 5}, {1280, 768, 5}, {1536, 768, 5}, {1792, 768, 5}}, d);
    for (int64_t id : {430, 440})  // airborne
        AddCharacter(*bodySheet, id, 0, {{1024, 256, 5}, {1280, 256, 5}, {1536, 256, 5}, {1792, 256, 5}}, d);
    for (int64_t id : {530, 540})  // reeling in
        AddCharacter(*bodySheet, id, 0, {{0, 256, 5}, {256, 256, 5}, {512, 256, 5}, {768, 256, 5}}, d);
    for (int64_t id : {630, 640})  // swinging
        AddCharacter(*bodySheet, id, 0, {{1024, 512, 5}, {1280, 512, 5}, {1536, 512, 5}, {1792, 512, 5}}, d);
    AddCharacter(*bodySheet, 730, 0, {{0, 768, 300}}, d);                    // clinging, one side
    AddCharacter(*bodySheet, 740, -0.15707963267949, {{512, 768, 300}}, d);  // and the other

    anchorScale = 5.0;
}

void Player::DrawAim(double ringHalf, double markerHalf, double bodyX, double bodyY, int64_t markerId,
                     double aimX, double aimY, double viewX, double viewY) {
    const double a = InvRot(aimX - bodyX, aimY - bodyY);
    ringSprite->Draw(100, 0, bodyX, bodyY, ringHalf, ringHalf, a, 1.0, viewX, viewY);
    markerSprite->Draw(markerId, 0, aimX, aimY, markerHalf, markerHalf,
                       static_cast<double>(FrameCount()) * markerSpin, 1.0, viewX, viewY);
}

void Player::DrawFreeMarker(double half, double x, double y, double viewX, double viewY) {
    markerSprite->Draw(200, 0, x, y, half, half, static_cast<double>(FrameCount()) * markerSpin, 1.0, viewX,
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
    const double anchorHalf = wireHalfWidth * anchorScale;
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
        bodySheet->Draw(ghostId, clock, bodyX, bodyY, halfW, halfH, 0, ghostAlpha, viewX, viewY);
        // Counts 0 to ghostFrames + 1 are shown: 7 frames, the frame of the change included.
        if (ghostFrames < ghostCount)
            ghostOn = false;
        else
            ghostCount += 1;
    }
    bodySheet->Draw(id, clock, bodyX, bodyY, halfW, halfH, 0, 1.0, viewX, viewY);
    lastId = id;
}

}  // namespace grappix
