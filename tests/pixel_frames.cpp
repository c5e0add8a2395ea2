// Frames drawn by the engine's rasteriser from pictures decoded by its PNG reader. Compiled
// twice: as the build chose (SSE2 on x86) and with the portable path (BRISEL_PORTABLE_PIXELS,
// in a namespace of its own), so that engine_pixels_test.cpp can compare the two, and each
// frame with the picture it must be.
#include <png.h>

#include <cstdint>
#include <string>
#include <vector>

#include "canvas.hpp"
#include "png_reader.hpp"

namespace brisel {

// A picture whose coverage alpha(x, y) gives: clear, solid and partly clear texels.
template <class Alpha>
static Image Make(int w, int h, int hue, Alpha alpha) {
    std::vector<uint32_t> argb(size_t(w) * h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            argb[size_t(y) * w + x] = uint32_t(alpha(x, y)) << 24 | uint32_t((hue + x) & 255) << 16 |
                                      uint32_t((hue * 3 + y) & 255) << 8 | uint32_t((x ^ y) & 255);
    return Image::FromStraight(w, h, argb.data(), w);
}

// The title's and play's kinds of draws (stretched layers, a reflection, clear rows, a source
// larger than its picture, glyphs larger and smaller than their sheet, turned, mirrored,
// tinted, added, every blend of rectangle, a viewport), at the third frame step so that
// stretched copies are in use.
static std::vector<uint32_t> DrawScene() {
    const Image far = Make(512, 128, 40, [](int, int) { return 255; });
    const Image lake = Make(512, 128, 90, [](int, int y) { return 120 + y; });
    const Image logo =
        Make(400, 100, 200, [](int x, int y) { return y % 20 < 4 || (x / 9 + y / 7) % 3 ? 0 : x * 7 & 255; });
    const Image ring = Make(128, 128, 60, [](int x, int y) { return (x * x + y * y) % 9 ? 0 : 255 - x; });
    Canvas canvas;
    for (int step = 0; step < 3; ++step) {
        canvas.Reset();
        const double cam = step * 7.5;
        for (int k = 0; k < 2; ++k) {
            canvas.DrawImage(far, 0, 0, 512, 128, k * 2200 - cam, 0, 2200, 600, 0, 0, 0, 1, 1, 1, 1);
            canvas.DrawImage(far, 0, 128, 512, -128, k * 2200 - cam, 600, 2200, 600, 0, 0, 0, 1, 1, 1, 1);
        }
        canvas.DrawImage(lake, 0, 0, 512, 128, -cam / 3, 600, 4400, 600, 0, 0, 0, 1, 1, 1, 1);
        canvas.DrawImage(logo, 0, 0, 1024, 256, 30, 20, 1600, 400, 0, 0, 0, 1, 1, 1, 1);
        for (int i = 0; i < 40; ++i) {
            canvas.FillRect(400, 380 + 120 * (i % 4), 800, 10, 0, 0.3, 1, 0.5);
            canvas.DrawImage(ring, 32 * (i % 4), 64 * (i % 2), 32, 64, 600 + 40 * (i / 4),
                             390 + 120 * (i % 4), 40, 80, 0, 0, 0, 1, i % 3 ? 0.8 : 1, 1, 1);
            canvas.DrawImage(far, 0, 0, 64, 128, i * 41, i % 2 * 550, 160, 200, 0, 0, 0, 1, 1, 1, 1);
        }
        // Text drawn smaller than its sheet (the title's captions): 64 x 128 cells at 40 x 80,
        // 32 x 64 and 30 x 60, some tinted, some mirrored.
        for (int i = 0; i < 30; ++i) {
            const double w = i % 3 == 0 ? 40 : i % 3 == 1 ? 32 : 30;
            const bool mirrored = i % 4 == 3;
            canvas.DrawImage(ring, mirrored ? 128 : 64 * (i % 2), 0, mirrored ? -64 : 64, 128, 20 + 52.25 * i,
                             760 - (i % 5) * 9, w, 2 * w, 0, 0, 0, 1, i % 2 ? 1 : 0.6, 1, 1);
        }
        canvas.DrawImage(ring, 0, 0, 128, 28, 30, 862, 128, 28, 0, 0, 0, 1, 1, 1, 0.85);
        canvas.DrawImage(ring, 0, 0, 128, 128, 600, 250, 400, 400, 200, 200, step * 0.05, 1, 1, 1, 0.8);
        canvas.DrawImage(ring, 0, 0, 128, 128, 900, 350, -200, 200, 100, 100, 0.2, 1, 0.5, 0.7, 1);
        for (int mode = 0; mode < 3; ++mode) {
            canvas.SetBlend(BlendMode(2 - mode));
            canvas.FillRect(1215, 94 + 300 * mode, 308, 72, 0.2, 0.1, 0.9, 0.45);
        }
        canvas.SetLinear(true);
        canvas.SetBlend(BlendMode::Add);
        for (int i = 0; i < 20; ++i)
            canvas.DrawImage(ring, 0, 0, 128, 128, 650 - i * 18.0, 420 + (i % 5) * 9.0, 60, 60, 30, 30,
                             i * 0.3, 0.9, 0.8, 0.7, 0.6);
        canvas.SetBlend(BlendMode::Alpha);
        canvas.SetViewport(32, 40, 700, 150);
        canvas.DrawImage(lake, 0, 0, 512, 32, 32, 40, 1536, 192, 0, 0, 0, 1, 1, 1, 1);
        canvas.FillRect(14, 14, 1572, 872, 0, 0, 0, 0.5);
        canvas.EndFrame();
    }
    return std::vector<uint32_t>(canvas.Pixels(), canvas.Pixels() + Canvas::kWidth * Canvas::kHeight);
}

// The decoded picture, then the frames.
std::vector<std::vector<uint32_t>> DrawTestFrames() {
    uint64_t state = 12345;
    auto next = [&] {
        state = state * 6364136223846793005ull + 1442695040888963407ull;
        return uint32_t(state >> 33);
    };
    auto unit = [&] { return (next() % 10001) / 10000.0; };
    // Straight R, G, B, A pixels of every kind (clear, solid, partly clear), smooth enough for
    // the encoder to choose every filter; an odd width, so that rows end in part of a group of four.
    const int w = 37, h = 23;
    std::vector<uint8_t> rgba(size_t(w) * h * 4);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            uint8_t* p = &rgba[(size_t(y) * w + x) * 4];
            const uint32_t kind = (x / 5 + y / 4) % 4, noise = next() % 9;
            for (int k = 0; k < 3; ++k) p[k] = uint8_t(x * (3 + k) + y * (5 - k) + noise);
            p[3] = kind == 0 ? 0 : kind == 1 ? 255 : uint8_t(x * 6 + y * 2 + noise);
        }
    png_image png{};
    png.version = PNG_IMAGE_VERSION;
    png.width = w;
    png.height = h;
    png.format = PNG_FORMAT_RGBA;
    std::vector<uint8_t> file(size_t(w) * h * 8 + 1024);
    png_alloc_size_t size = file.size();
    if (!png_image_write_to_memory(&png, file.data(), &size, 0, rgba.data(), 0, nullptr)) return {};
    PngInfo info;
    Image decoded;
    std::string error;
    if (!CheckPng(file.data(), size, info, error) || !DecodePng(file.data(), size, info, decoded, error))
        return {};
    // Premultiplied texels as no decoder makes them: colour above alpha (a glow with no alpha).
    Image raw = decoded;
    for (uint32_t& t : raw.texels) t = next();
    raw.translucent = true;

    std::vector<std::vector<uint32_t>> out{decoded.texels};
    Canvas canvas;
    for (int frame = 0; frame < 4; ++frame) {
        // Each value drawn in a statement of its own: the order of a call's arguments is the
        // compiler's (x86-64's GCC takes them last to first, arm64's first to last), and the
        // digests were taken with the last drawn first.
        canvas.Reset();
        const double blue = unit(), green = unit(), red = unit();
        canvas.Clear(red, green, blue);
        for (int k = 0; k < 60; ++k) {
            canvas.SetBlend(BlendMode(next() % 3));
            canvas.SetLinear(next() % 2 == 0);
            const Image& image = k % 2 == 0 ? decoded : raw;
            const double dw = 20 + next() % 300, dh = 20 + next() % 200;
            const double angle = next() % 3 == 0 ? unit() * 6.3 : 0;
            const double tint = next() % 2 == 0 ? 1 : unit();
            const double g = unit(), r = tint * unit();
            const double y = next() % 800, x = next() % 1500;
            const double sh = 5 + next() % 18, sw = 5 + next() % 30;
            const double sy = next() % 10, sx = next() % 10;
            canvas.DrawImage(image, sx, sy, sw, sh, x, y, dw, dh, dw / 2, dh / 2, angle, r, tint, g, tint);
        }
        const double a = unit(), b = unit(), g = unit(), r = unit();
        const double y = next() % 800, x = next() % 1500;
        canvas.FillRect(x, y, 99, 77, r, g, b, a);
        canvas.EndFrame();
        out.emplace_back(canvas.Pixels(), canvas.Pixels() + Canvas::kWidth * Canvas::kHeight);
    }
    out.push_back(DrawScene());
    return out;
}

}  // namespace brisel
