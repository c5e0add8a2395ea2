// Reads the engine's trace (BRISEL_TRACE) back into frames of drawing and sound events.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace grappix::test {

struct TexDraw {
    std::string file;
    double sx, sy, sw, sh, dx, dy, dw, dh, cx, cy, angle, r, g, b, a;
};

struct RectDraw {
    double x, y, w, h, r, g, b, a;
};

struct TraceFrame {
    int64_t step = 0;  // the frame step after which this was drawn (0: before)
    std::vector<TexDraw> tex;
    std::vector<RectDraw> rects;
    std::vector<std::string> sounds;  // "play <file> <loop>" and "stop <file>" lines

    std::vector<TexDraw> TexOf(const std::string& file) const;
    bool Plays(const std::string& file) const;  // a play line for file
};

// Frames indexed by step: frames[n] holds what was drawn after the n-th step.
std::vector<TraceFrame> ParseTrace(const std::string& text);

}  // namespace grappix::test
