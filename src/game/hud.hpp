// The heads-up display: a "SPEED" readout in the top-left corner and, below it, a banner
// that grades the speed in eight levels (0 fastest to 7; 8 shows no banner), with a sound
// and a 20-frame animation when the level changes.
//
// Speed is horizontal progress: twice the distance the body moved right over the last 299
// frames. Levels are graded every 50 frames of the global frame counter, so the banner
// changes in a steady rhythm, and a pause (no Update) shifts nothing.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "common/sprite_layout.hpp"
#include "frame/media.hpp"

namespace grappix {

class BitmapFont;

// How the banner changed at the last grading.
enum class BannerMode : int64_t {
    Steady = 0,  // same level: the banner stands
    Lost = 1,    // a slower level: the old banner drops away and fades as the new one fades in
    Gained = 2,  // a faster level: the new banner slides in over the fading old one
};

class Hud {
public:
    static constexpr int64_t kHistoryLength = 300;
    static constexpr int64_t kLevelCount = layout::kBannerLevels;  // one banner each

    Hud();
    ~Hud();

    void Prepare();  // history zeroed, no level (8), the grading thresholds
    void Setup();    // font, banner sheet, positions, animation steps, sounds
    void Update(double bodyX);
    void Draw();

    // Read access for tests.
    int64_t GetSpeedValue() const { return speedValue; }
    const std::string& GetSpeedText() const { return speedText; }
    // The figure the readout shows: the speed's last five digits (0 while it shows none).
    int64_t GetShownSpeed() const;
    int64_t GetLevel() const { return level; }
    int64_t GetPrevLevel() const { return prevLevel; }
    BannerMode GetBannerMode() const { return bannerMode; }
    double GetSlideX() const { return slideX; }
    double GetDropY() const { return dropY; }
    double GetOldAlpha() const { return oldAlpha; }
    double GetNewAlpha() const { return newAlpha; }
    double GetHistory(int64_t i) const { return history[static_cast<std::size_t>(i)]; }

private:
    void DrawBanner(int64_t lvl, double x, double y, double alpha) const;

    std::unique_ptr<BitmapFont> font;
    Tex banner;
    std::unique_ptr<SoundClip> sndUp, sndDown;

    std::array<double, kHistoryLength> history{};  // body x, newest first
    int64_t speedValue = 0;
    std::string speedText;
    int64_t prevLevel = 0;
    int64_t level = kLevelCount;
    BannerMode bannerMode = BannerMode::Steady;
    double slideX = 0;  // x of the banner sliding in on a gain
    double dropY = 0;   // y of the banner dropping out on a loss
    double oldAlpha = 1.0;
    double newAlpha = 1.0;
};

}  // namespace grappix
