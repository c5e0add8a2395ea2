// Frames drawn by the engine's rasteriser from pictures decoded by its PNG reader. Compiled
// twice: as the build chose (SSE2 on x86) and with the portable path (BRISEL_PORTABLE_PIXELS,
// in a namespace of its own), so that engine_pixels_test.cpp can compare the two.
#include <png.h>

#include <cstdint>
#include <string>
#include <vector>

#include "canvas.hpp"
#include "png_reader.hpp"

namespace brisel {

std::vector<uint32_t> DrawTestFrames() {
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

    std::vector<uint32_t> out = decoded.texels;
    Canvas canvas;
    for (int frame = 0; frame < 4; ++frame) {
        canvas.Reset();
        canvas.Clear(unit(), unit(), unit());
        for (int k = 0; k < 60; ++k) {
            canvas.SetBlend(BlendMode(next() % 3));
            canvas.SetLinear(next() % 2 == 0);
            const Image& image = k % 2 == 0 ? decoded : raw;
            const double dw = 20 + next() % 300, dh = 20 + next() % 200;
            const double angle = next() % 3 == 0 ? unit() * 6.3 : 0;
            const double tint = next() % 2 == 0 ? 1 : unit();
            canvas.DrawImage(image, next() % 10, next() % 10, 5 + next() % 30, 5 + next() % 18, next() % 1500,
                             next() % 800, dw, dh, dw / 2, dh / 2, angle, tint * unit(), tint, unit(), tint);
        }
        canvas.FillRect(next() % 1500, next() % 800, 99, 77, unit(), unit(), unit(), unit());
        canvas.EndFrame();
        out.insert(out.end(), canvas.Pixels(), canvas.Pixels() + Canvas::kWidth * Canvas::kHeight);
    }
    return out;
}

}  // namespace brisel
