#include "game/hud.hpp"

#include <algorithm>
#include <cmath>

#include "common/bitmap_font.hpp"
#include "common/sprite_layout.hpp"

namespace grappix {

namespace {

// Progress beyond this many pixels is shown as this many. Far above anything a player can
// reach, and small enough that doubling it still fits a 64-bit integer: converting a larger
// double would be an invalid operation, which ends the run.
constexpr double kMaxProgress = 1.0e18;

}  // namespace

Hud::Hud() : sndUp(std::make_unique<SoundClip>()), sndDown(std::make_unique<SoundClip>()) {}
Hud::~Hud() = default;

void Hud::Prepare() {
    history.fill(0.0);
    level = kLevelCount;
    period = 50;
    thresholds = {11000, 10500, 10000, 9500, 9000, 8000, 7000, 6000};
}

void Hud::Setup() {
    font = std::make_unique<BitmapFont>();
    font->LoadDefault();
    banner = LoadTex(layout::kBannerSheet.file);
    textX = 50;
    textY = 50;
    charW = 30;
    charH = 60;
    speedValue = 0;
    speedText = BitmapFont::FormatNumber(speedValue, digits, false);
    label = "SPEED";
    digits = 5;
    bannerW = 1536;
    bannerH = 192;
    srcX = layout::BannerCell(0).x;
    for (int i = 0; i < kLevelCount; ++i) srcY[static_cast<std::size_t>(i)] = layout::BannerCell(i).y;
    srcW = layout::BannerCell(0).w;
    srcH = layout::BannerCell(0).h;
    bannerX = 0;
    bannerY = 110;
    slideStartX = bannerX - bannerW;
    slideStartY = bannerY;
    dropEndX = bannerX;
    dropEndY = bannerY + bannerH;
    animFrames = 20;
    fadeStep = 1.0 / static_cast<double>(animFrames);
    slideStep = (bannerX - slideStartX) / static_cast<double>(animFrames);
    dropStep = (dropEndY - bannerY) / static_cast<double>(animFrames);
    slideX = bannerX;
    dropY = bannerY;
    oldAlpha = 1.0;
    newAlpha = 1.0;
    sndUp = std::make_unique<SoundClip>();
    sndUp->Load("power32.ogg", 0.5, false);
    sndDown = std::make_unique<SoundClip>();
    sndDown->Load("down.ogg", 0.5, false);
}

void Hud::Update(double bodyX) {
    // A position that is not a number would poison 300 frames of history (and comparing it
    // traps); keep the last good one instead. The World never produces one.
    if (!std::isfinite(bodyX)) bodyX = history[0];
    std::copy_backward(history.begin(), history.end() - 1, history.end());
    history[0] = bodyX;

    const double progress = bodyX - history[kHistoryLength - 1];
    if (std::isfinite(progress) && progress > 0) {
        // Truncated toward zero, as every conversion in the game; clamped first so that the
        // conversion and the doubling stay in range however far the body has flown.
        speedValue = 2 * static_cast<int64_t>(std::min(progress, kMaxProgress));
    }
    speedText = BitmapFont::FormatNumber(speedValue, digits, false);

    const int64_t frame = FrameCount();
    if (frame % period == 0) {
        prevLevel = level;
        level = kLevelCount;
        for (int64_t i = 0; i < kLevelCount; ++i) {
            if (speedValue > thresholds[static_cast<std::size_t>(i)]) {
                level = i;
                break;
            }
        }
        if (level == prevLevel) {
            bannerMode = BannerMode::Steady;
            slideX = bannerX;
            dropY = bannerY;
        } else if (level < prevLevel) {
            bannerMode = BannerMode::Gained;
            slideX = slideStartX;
            dropY = bannerY;
            sndUp->Play();
        } else {
            bannerMode = BannerMode::Lost;
            slideX = slideStartX;
            dropY = bannerY;
            sndDown->Play();
        }
        oldAlpha = 1.0;
        newAlpha = 0.0;
    }
    if (frame % period < animFrames) {
        if (bannerMode == BannerMode::Gained) slideX += slideStep;
        if (bannerMode == BannerMode::Lost) dropY += dropStep;
        oldAlpha -= fadeStep;
        newAlpha += fadeStep;
    }
}

void Hud::DrawBanner(int64_t lvl, double x, double y, double alpha) const {
    if (lvl < 0 || lvl >= kLevelCount) return;  // no banner below the slowest level
    banner.DrawRot(srcX, srcY[static_cast<std::size_t>(lvl)], srcW, srcH, x, y, bannerW, bannerH, 0, 0, 0, 1,
                   1, 1, alpha);
}

void Hud::Draw() {
    if (font) font->DrawText(label + speedText, textX, textY, charW, charH, 1.0);
    switch (bannerMode) {
    case BannerMode::Gained:  // the new banner slides in over the fading old one
        DrawBanner(prevLevel, bannerX, bannerY, oldAlpha);
        DrawBanner(level, slideX, bannerY, 1.0);
        break;
    case BannerMode::Lost:  // the old banner drops and fades while the new one fades in
        DrawBanner(prevLevel, bannerX, dropY, oldAlpha);
        DrawBanner(level, bannerX, bannerY, newAlpha);
        break;
    case BannerMode::Steady: DrawBanner(level, bannerX, bannerY, 1.0); break;
    }
}

}  // namespace grappix
