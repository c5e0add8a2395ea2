#include "blocks/block_field.hpp"

#include <algorithm>
#include <iterator>

#include "common/sprite_layout.hpp"
#include "frame/maths.hpp"

namespace grappix {

namespace {

constexpr int64_t kBlockCount = 20;
constexpr double kSpacing = 800;
constexpr double kBlockW = 200;
constexpr int64_t kBlockFrameTicks = 300;

// One shape: its kind (also its animation id), its top and height, and its picture.
struct Shape {
    int64_t kind;
    double y, h;
    const layout::Cell& picture;
};

// Hanging from the stage top (y = -900).
constexpr Shape kTopShapes[] = {
    {100, -900, 200, layout::kHanging200},
    {200, -900, 400, layout::kHanging400A},
    {300, -900, 400, layout::kHanging400B},
};

// Standing on the ground (bottom at y = 0).
constexpr Shape kGroundShapes[] = {
    {500, -200, 200, layout::kStanding200},  {600, -400, 400, layout::kStanding400A},
    {700, -400, 400, layout::kStanding400B}, {800, -600, 600, layout::kStanding600A},
    {400, -600, 600, layout::kStanding600B},
};

const Block kNoBlock{};

}  // namespace

void BlockField::Generate() {
    count = kBlockCount;
    blocks.assign(static_cast<size_t>(count), Block{});
    for (int64_t i = 0; i < count; ++i) {
        blocks[static_cast<size_t>(i)].x = static_cast<double>(i) * kSpacing + kSpacing;
        Roll(i);
    }
    for (Block& b : blocks) Derive(b);
}

void BlockField::Roll(int64_t i) {
    if (!InRange(i)) return;
    Block& b = blocks[static_cast<size_t>(i)];
    const bool top = i % 2 == 0;
    const int64_t last = top ? static_cast<int64_t>(std::size(kTopShapes)) - 1
                             : static_cast<int64_t>(std::size(kGroundShapes)) - 1;
    // The engine's roll is trusted to stay in range, but a shape is never read from outside
    // the table.
    const int64_t r = std::clamp<int64_t>(Rnd(0, last), 0, last);
    const Shape& s = top ? kTopShapes[r] : kGroundShapes[r];
    b.kind = s.kind;
    b.y = s.y;
    b.w = kBlockW;
    b.h = s.h;
}

void BlockField::LoadSheet(double vx, double vy, double vw, double vh) {
    sprite = std::make_unique<Anime>();
    sprite->LoadTexture(layout::kBlockSheet.file);
    sprite->Setup(static_cast<int64_t>(std::size(kTopShapes) + std::size(kGroundShapes)), vx, vy, vw, vh);
    auto add = [&](const Shape& s) {
        sprite->SetAnime(s.kind, true, 1);
        const layout::Cell& c = s.picture;
        sprite->AddFrame(s.kind, c.x, c.y, c.w, c.h, 0, kBlockFrameTicks);
    };
    for (const Shape& s : kTopShapes) add(s);
    for (const Shape& s : kGroundShapes) add(s);
}

const Block& BlockField::GetBlock(int64_t i) const {
    return InRange(i) ? blocks[static_cast<size_t>(i)] : kNoBlock;
}

double BlockField::GetSpacing() const { return kSpacing; }

double BlockField::GetBlockX(int64_t i) const { return GetBlock(i).x; }
double BlockField::GetBlockY(int64_t i) const { return GetBlock(i).y; }
double BlockField::GetBlockW(int64_t i) const { return GetBlock(i).w; }
double BlockField::GetBlockH(int64_t i) const { return GetBlock(i).h; }

void BlockField::Recycle(double x) {
    // Each block moves at most once a call, by the length of the whole row, so the row keeps
    // its rhythm as it leapfrogs forward.
    for (int64_t i = 0; i < count; ++i) {
        Block& b = blocks[static_cast<size_t>(i)];
        if (x > b.x && x - b.x > kSpacing * 10) {
            b.x += kSpacing * 20;
            Roll(i);
            Derive(b);
        }
    }
}

void BlockField::Draw(double camX, double camY) {
    if (!sprite) return;  // sheet not loaded yet
    for (const Block& b : blocks) sprite->Draw(b.kind, 0, b.cx, b.cy, b.halfW, b.halfH, 0, 1.0, camX, camY);
}

void BlockField::Derive(Block& b) {
    b.halfW = b.w * 0.5;
    b.halfH = b.h * 0.5;
    b.cx = b.x + b.halfW;
    b.cy = b.y + b.halfH;
}

}  // namespace grappix
