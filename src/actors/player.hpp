// How the runner and its wire look: the character sheet, the wire strip, the anchor at the
// wire's end, the aiming ring round the character and the hook-point marker at the cursor.
// No physics lives here: the World hands over, each frame, where everything is and which
// animation to show. The one state of its own is the after-image: when the character's
// animation changes, the animation just left stays visible at half opacity for 7 frames.
#pragma once

#include <cstdint>
#include <memory>

#include "common/anime.hpp"

namespace grappix {

class Player {
public:
    Player();
    ~Player();

    void Configure(int64_t timeScale);
    // Loads and fills the sheets: wire, anchor, ring, hook-point, character, in that order.
    // (The game has two more character sheets that nothing draws; they are not loaded.)
    void LoadSheets(double left, double top, double width, double height);

    // The ring round the body, turned toward the aim point, and the marker at the aim point.
    void DrawAim(double ringHalf, double markerHalf, double bodyX, double bodyY, int64_t markerId,
                 double aimX, double aimY, double viewX, double viewY);
    // The wire strip from the body to the hook and the anchor just past the hook.
    void DrawWire(double wireHalfWidth, double anchorAngle, double anchorOffset, double bodyX, double bodyY,
                  double hookX, double hookY, double viewX, double viewY);
    // The character (animation id at time clock), over the after-image if one is showing.
    void DrawBody(int64_t id, int64_t clock, double bodyX, double bodyY, double halfW, double halfH,
                  double viewX, double viewY);
    // The catch marker of the free-style mode.
    void DrawFreeMarker(double half, double x, double y, double viewX, double viewY);

    // Read access for the World's owner and tests.
    int64_t GetTimeScale() const { return timeScale; }
    bool GhostOn() const { return ghostOn; }
    int64_t GhostCount() const { return ghostCount; }
    int64_t GhostId() const { return ghostId; }
    int64_t LastId() const { return lastId; }
    double WireHalfLen() const { return wireHalfLen; }
    double WireRotation() const { return wireRotation; }
    const Anime& BodySheet() const { return *bodySheet; }

private:
    int64_t timeScale = 1;
    std::unique_ptr<Anime> bodySheet;
    std::unique_ptr<Anime> wireSprite;
    double wireHalfLen = 0;
    double wireRotation = 0;
    std::unique_ptr<Anime> anchorSprite;
    std::unique_ptr<Anime> ringSprite;
    std::unique_ptr<Anime> markerSprite;
    bool ghostOn = false;
    int64_t ghostCount = 0;
    int64_t ghostId = 0;
    int64_t lastId = 0;
};

}  // namespace grappix
