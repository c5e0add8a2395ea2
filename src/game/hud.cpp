#include "game/hud.hpp"

#include <algorithm>
#include <array>
#include <cmath>

#include "common/bitmap_font.hpp"
#include "common/sprite_layout.hpp"

namespace grappix {

namespace {

// Progress beyond this many pixels is shown as this many. Far above anything a player can
// reach, and small enough that doubling it still fits a 64-bit integer: converting a larger
// double would be an invalid operation, which ends the run.
constexpr double kMaxProgress = 1.0e18;

constexpr int64_t kGradePeriod = 50;  // frames of the frame counter between gradings
// The speed each level needs (more than this), fastest level first.
constexpr std::array<int64_t, Hud::kLevelCount> kThresholds = {11000, 10500, 10000, 9500,
                                                               9000,  8000,  7000,  6000};

// The readout, in 30 x 60 pixel characters in the top-left corner.
constexpr const char* kLabel = "SPEED";
constexpr int64_t kDigits = 5;
constexpr double kTextX = 50, kTextY = 50, kCharW = 30, kCharH = 60;

// The banner, a sheet row drawn one and a half times its size below the readout. A change of
// level takes 20 frames: a gained banner slides in from off the left edge, a lost one drops
// by its height, and the two fade across.
constexpr double kBannerX = 0, kBannerY = 110;
constexpr double kBannerW = 1536, kBannerH = 192;
constexpr int64_t kAnimFrames = 20;
constexpr double kSlideStartX = kBannerX - kBannerW;
constexpr double kDropEndY = kBannerY + kBannerH;
constexpr double kFadeStep = 1.0 / static_cast<double>(kAnimFrames);
constexpr double kSlideStep = (kBannerX - kSlideStartX) / static_cast<double>(kAnimFrames);
constexpr double kDropStep = (kDropEndY - kBannerY) / static_cast<double>(kAnimFrames);

}  // namespace

Hud::Hud() : sndUp(std::make_unique<SoundClip>()), sndDown(std::make_unique<SoundClip>()) {}
Hud::~Hud() = default;

void Hud::Prepare() {
    history.fill(0.0);
    level = kLevelCount;
}

void Hud::Setup() {
    font = std::make_unique<BitmapFont>();
    font->LoadDefault();
    banner = LoadTex(layout::kBannerSheet.file);
    speedValue = 0;
    speedText = BitmapFont::FormatNumber(speedValue, kDigits, false);
    slideX = kBannerX;
    dropY = kBannerY;
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
    speedText = BitmapFont::FormatNumber(speedValue, kDigits, false);

    const int64_t frame = FrameCount();
    if (frame % kGradePeriod == 0) {
        prevLevel = level;
        level = kLevelCount;
        for (int64_t i = 0; i < kLevelCount; ++i) {
            if (speedValue > kThresholds[static_cast<std::size_t>(i)]) {
                level = i;
                break;
            }
        }
        if (level == prevLevel) {
            bannerMode = BannerMode::Steady;
            slideX = kBannerX;
            dropY = kBannerY;
        } else if (level < prevLevel) {
            bannerMode = BannerMode::Gained;
            slideX = kSlideStartX;
            dropY = kBannerY;
            sndUp->Play();
        } else {
            bannerMode = BannerMode::Lost;
            slideX = kSlideStartX;
            dropY = kBannerY;
            sndDown->Play();
        }
        oldAlpha = 1.0;
        newAlpha = 0.0;
    }
    if (frame % kGradePeriod < kAnimFrames) {
        if (bannerMode == BannerMode::Gained) slideX += kSlideStep;
        if (bannerMode == BannerMode::Lost) dropY += kDropStep;
        oldAlpha -= kFadeStep;
        newAlpha += kFadeStep;
    }
}

int64_t Hud::GetShownSpeed() const {
    int64_t shown = 0;
    for (char c : speedText)
        if (c >= '0' && c <= '9') shown = shown * 10 + (c - '0');
    return shown;
}

void Hud::DrawBanner(int64_t lvl, double x, double y, double alpha) const {
    if (lvl < 0 || lvl >= kLevelCount) return;  // no banner below the slowest level
    const layout::Cell c = layout::BannerCell(static_cast<int>(lvl));
    banner.DrawRot(c.x, c.y, c.w, c.h, x, y, kBannerW, kBannerH, 0, 0, 0, 1, 1, 1, alpha);
}

void Hud::Draw() {
    if (font) font->DrawText(std::string(kLabel) + speedText, kTextX, kTextY, kCharW, kCharH, 1.0);
    switch (bannerMode) {
    case BannerMode::Gained:  // the new banner slides in over the fading old one
        DrawBanner(prevLevel, kBannerX, kBannerY, oldAlpha);
        DrawBanner(level, slideX, kBannerY, 1.0);
        break;
    case BannerMode::Lost:  // the old banner drops and fades while the new one fades in
        DrawBanner(prevLevel, kBannerX, dropY, oldAlpha);
        DrawBanner(level, kBannerX, kBannerY, newAlpha);
        break;
    case BannerMode::Steady: DrawBanner(level, kBannerX, kBannerY, 1.0); break;
    }
}

}  // namespace grappix
