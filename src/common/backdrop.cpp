#include "common/backdrop.hpp"

#include "common/sprite_layout.hpp"
#include "frame/maths.hpp"

namespace grappix {

namespace {

constexpr int64_t kImage = 100;       // every layer's still picture
constexpr int64_t kReflection = 200;  // the distant view upside down, below the horizon

void LoadStill(std::unique_ptr<Anime>& sprite, const layout::Sheet& sheet, const layout::Cell& cell,
               int64_t entries, double vx, double vy, double vw, double vh) {
    sprite = std::make_unique<Anime>();
    sprite->LoadTexture(sheet.file);
    sprite->Setup(entries, vx, vy, vw, vh);
    sprite->SetAnime(kImage, false, 1);
    sprite->AddFrame(kImage, cell.x, cell.y, cell.w, cell.h, 0, 1);
}

}  // namespace

void Backdrop::Configure(double x0, double y0, double groundShift, double roofShift, bool on) {
    distant.halfW = 1100;
    distant.halfH = 300;
    distant.x = 0;
    distant.y = -600;  // the horizon sits at y = -300, the reflection's centre at 0
    distant.parallax = 0.1;

    lake.halfW = 2200;
    lake.halfH = 300;
    lake.x = x0 + 1000;
    lake.y = y0 + 300 + 2 * 300;
    lake.parallax = 0.3;

    ground.halfW = 1000;
    ground.halfH = 50;
    ground.x = x0 + 1000;
    ground.y = y0 + 875 + groundShift + 2 * 50;
    ground.parallax = 1.0;

    roof.halfW = 1000;
    roof.halfH = 50;
    roof.x = x0 + 1000;
    roof.y = y0 + 750 + roofShift + 2 * 50;
    roof.parallax = 1.0;

    roofOn = on;
}

void Backdrop::LoadSheets(double vx, double vy, double vw, double vh) {
    using namespace layout;
    LoadStill(ground.sprite, kGroundSheet, kGround, 1, vx, vy, vw, vh);
    LoadStill(roof.sprite, kRoofSheet, kRoof, 1, vx, vy, vw, vh);
    LoadStill(lake.sprite, kLakeSheet, kLake, 1, vx, vy, vw, vh);
    LoadStill(distant.sprite, kDistantSheet, kDistant, 2, vx, vy, vw, vh);
    // The same picture read from its bottom row up.
    distant.sprite->SetAnime(kReflection, false, 1);
    distant.sprite->AddFrame(kReflection, kDistant.x, kDistant.y + kDistant.h, kDistant.w, -kDistant.h, 0, 1);
}

double Backdrop::Anchor(const Layer& layer, double camX) {
    const double f = layer.parallax;
    return camX - f * Mod(camX, 2 * layer.halfW / f);
}

void Backdrop::DrawRow(Layer& layer, int64_t id, double y, int first, int last, double camX, double camY) {
    if (!layer.sprite) return;  // sheets not loaded yet
    for (int k = first; k <= last; ++k) {
        layer.sprite->Draw(id, 0, layer.x + k * 2 * layer.halfW, y, layer.halfW, layer.halfH, 0, 1.0, camX,
                           camY);
    }
}

void Backdrop::Draw(double camX, double camY) {
    ground.x = Anchor(ground, camX);
    lake.x = Anchor(lake, camX);
    distant.x = Anchor(distant, camX);

    // Four tiles a row cover the screen wherever the anchor falls; tiles off the screen are
    // culled by the sprite. Later layers cover earlier ones.
    DrawRow(distant, kImage, distant.y, -1, 2, camX, camY);
    DrawRow(distant, kReflection, distant.y + 2 * distant.halfH, -1, 2, camX, camY);
    DrawRow(lake, kImage, lake.y, -1, 2, camX, camY);
    DrawRow(ground, kImage, ground.y, -1, 2, camX, camY);
    if (roofOn) {
        roof.x = Anchor(roof, camX);
        DrawRow(roof, kImage, roof.y, -2, 2, camX, camY);
    }
}

}  // namespace grappix
