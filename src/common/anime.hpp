// The sprite animator every drawn object uses: one sheet, a fixed table of animations keyed
// by an integer id, each a list of frames (source rectangle, extra rotation, duration in
// ticks), and a draw that picks the frame for a time, culls against the view and draws the
// frame rotated about its centre.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "frame/media.hpp"

namespace grappix {

struct AnimeFrame {
    double srcX = 0, srcY = 0;  // top-left of the source rectangle, texels
    double srcW = 0, srcH = 0;  // size; a negative srcH reads the sheet upside down
    double angle = 0;           // added to the draw angle, radians
    int64_t duration = 0;       // ticks shown
};

struct AnimeEntry {
    int64_t id = -1;                 // -1 marks a free entry
    int64_t length = 0;              // sum of the frame durations so far
    bool loop = false;               // wrap around length, or hold the last frame
    std::vector<AnimeFrame> frames;  // sized by SetAnime, filled by AddFrame
    int64_t filled = 0;              // frames set so far
};

class Anime {
public:
    void LoadTexture(const std::string& path);
    void Setup(int64_t count, double viewX, double viewY, double viewW, double viewH);
    void DisableCulling();
    void SetAnime(int64_t id, bool loop, int64_t frameCount);
    void AddFrame(int64_t id, double srcX, double srcY, double srcW, double srcH, double angle,
                  int64_t duration);
    const AnimeFrame& GetFrame(int64_t id, int64_t time);
    const AnimeFrame& GetFrameAt(int64_t id, int64_t index);
    int64_t GetLength(int64_t id) const;
    void Draw(int64_t id, int64_t time, double x, double y, double halfW, double halfH, double angle,
              double alpha, double viewX, double viewY);

    // Read access for owners and tests.
    const Tex& Texture() const { return tex; }
    int64_t EntryCount() const { return entryCount; }
    const AnimeEntry& EntryAt(int64_t i) const { return entries[static_cast<size_t>(i)]; }
    const AnimeFrame* Current() const { return hasCurrent ? &current : nullptr; }  // null until drawn
    double ViewX() const { return viewX; }
    double ViewY() const { return viewY; }
    double ViewW() const { return viewW; }
    double ViewH() const { return viewH; }
    bool CullingDisabled() const { return noCull; }

private:
    const AnimeFrame& Fallback();

    Tex tex;
    std::vector<AnimeEntry> entries;
    int64_t entryCount = 0;
    double viewX = 0, viewY = 0, viewW = 0, viewH = 0;
    // A copy of the last frame drawn, not a pointer into the table, so that copying an Anime
    // or replacing its table never leaves it pointing at freed frames.
    AnimeFrame current{};
    bool hasCurrent = false;
    bool noCull = false;
};

}  // namespace grappix
