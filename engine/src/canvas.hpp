// canvas.hpp -- the engine's own software rasteriser for the logical 1600 x 900 screen.
//
// Everything the game draws lands in one 32-bit framebuffer that belongs to the engine; the
// window only ever receives the finished frame. Owning the pixels keeps the frame cost under
// our control (opaque layers are plain scaled copies, off-screen parts are never touched),
// makes screenshots the exact logical picture whatever the window size, and keeps this file
// free of SDL so it can be tested and measured alone.
#ifndef BRISEL_CANVAS_HPP
#define BRISEL_CANVAS_HPP

#include <cstddef>
#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

namespace brisel {

struct Image;

// A copy of part of an image stretched once to the size it keeps being drawn at, so that
// later draws are plain row copies instead of per-pixel sampling.
struct ScaledCopy {
    double sx, sy, sw, sh;               // source rectangle
    int width, height;                   // drawn size
    bool linear;                         // sampling it was made with
    int64_t lastFrame;                   // last frame step it was asked for
    std::shared_ptr<const Image> image;  // null until asked for in two frame steps
};

// A picture ready for drawing: premultiplied 0xAARRGGBB texels, rows top down.
struct Image {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> texels;
    bool translucent = false;  // some texel has alpha below 255: drawing must blend

    // Builds an image from straight (not premultiplied) 0xAARRGGBB pixels, or 0xAABBGGRR ones
    // (R, G, B, A bytes in memory, as PNG decoders give them) when swapRedBlue is set.
    static Image FromStraight(int width, int height, const uint32_t* pixels, int pitchPixels,
                              bool swapRedBlue = false);

    // Puts top over this image with its top-left corner at (x, y); both premultiplied.
    void Compose(const Image& top, int x, int y);

    // Per row, from the first texel that is not all zero to just past the last (empty: none), so
    // that a draw skips what it would leave as it is; made on first need for these texels.
    const std::pair<int, int>* InkRows() const;

    mutable std::vector<ScaledCopy> scaled;  // owned by the canvas's drawing; see DrawImage
    mutable uint64_t gpuId = 0;              // names its texture on the GPU path (gpu.hpp); 0: none yet

private:
    mutable std::vector<std::pair<int, int>> ink_;
    mutable const uint32_t* inkOf_ = nullptr;  // the texels ink_ was made from (a copy has others)
};

enum class BlendMode { Alpha = 0, Add = 1, None = 2 };

class Canvas {
public:
    static constexpr int kWidth = 1600;
    static constexpr int kHeight = 900;

    Canvas();

    const uint32_t* Pixels() const { return pixels_.data(); }  // 0xFFRRGGBB, rows top down
    uint32_t At(int x, int y) const { return pixels_[size_t(y) * kWidth + x]; }

    void Reset();  // black screen, full viewport, alpha blending, nearest sampling
    void Clear(double r, double g, double b);  // the whole screen, whatever the viewport
    void SetViewport(double x, double y, double w, double h);
    void ResetViewport();
    void SetBlend(BlendMode mode) { blend_ = mode; }
    void SetLinear(bool linear) { linear_ = linear; }
    void EndFrame() { ++frame_; }  // a frame step: ages the scaled copies

    // A filled rectangle; a pixel is covered when its centre lies inside.
    void FillRect(double x, double y, double w, double h, double r, double g, double b, double a);

    // Source rectangle (texels) stretched into the destination rectangle, which is then turned
    // by angle (radians, clockwise on screen) about (dx + cx, dy + cy). A negative source
    // width or height reads the source mirrored or upside down.
    void DrawImage(const Image& image, double sx, double sy, double sw, double sh, double dx, double dy,
                   double dw, double dh, double cx, double cy, double angle, double r, double g, double b,
                   double a);

private:
    const Image* ScaledFor(const Image& image, double sx, double sy, double sw, double sh, int w, int h);

    std::vector<uint32_t> pixels_;
    int64_t frame_ = 0;
    int clipX0_ = 0, clipY0_ = 0, clipX1_ = kWidth, clipY1_ = kHeight;  // half-open
    BlendMode blend_ = BlendMode::Alpha;
    bool linear_ = false;
};

}  // namespace brisel

#endif
