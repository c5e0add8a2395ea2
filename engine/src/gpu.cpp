// gpu.cpp -- the game's draws as quads for the window's accelerated renderer.
#include "gpu.hpp"

#include <algorithm>
#include <atomic>
#include <cmath>

namespace brisel {

namespace {

// A texture not drawn for this many frame steps is let go (a scene's pictures, released text).
constexpr int64_t kTextureLifetime = 120;

Uint8 Byte(double v) { return Uint8(std::lround(std::clamp(v, 0.0, 1.0) * 255.0)); }

bool Finite(std::initializer_list<double> values) {
    for (double v : values)
        if (!std::isfinite(v)) return false;
    return true;
}

// The rasteriser's whole-pixel edge of a clip or rectangle: the pixels whose centres lie inside.
int Edge(double v, int limit) { return int(std::clamp(std::ceil(v - 0.5), 0.0, double(limit))); }

std::atomic<uint64_t> g_nextGpuId{1};

}  // namespace

bool GpuCanvas::Attach(SDL_Renderer* renderer) {
    renderer_ = renderer;
    // Texels are premultiplied: "over" takes the source whole and the destination by what the
    // source leaves; "add" adds the source (already multiplied by its alpha) and keeps alpha.
    over_ = SDL_ComposeCustomBlendMode(SDL_BLENDFACTOR_ONE, SDL_BLENDFACTOR_ONE_MINUS_SRC_ALPHA,
                                       SDL_BLENDOPERATION_ADD, SDL_BLENDFACTOR_ONE,
                                       SDL_BLENDFACTOR_ONE_MINUS_SRC_ALPHA, SDL_BLENDOPERATION_ADD);
    add_ = SDL_ComposeCustomBlendMode(SDL_BLENDFACTOR_ONE, SDL_BLENDFACTOR_ONE, SDL_BLENDOPERATION_ADD,
                                      SDL_BLENDFACTOR_ZERO, SDL_BLENDFACTOR_ONE, SDL_BLENDOPERATION_ADD);
    // The renderer must take both (SDL's own software renderer does not): tried on a texture.
    SDL_Texture* probe =
        SDL_CreateTexture(renderer, SDL_PIXELFORMAT_ARGB8888, SDL_TEXTUREACCESS_STATIC, 1, 1);
    const bool ok = probe != nullptr && SDL_SetTextureBlendMode(probe, over_) == 0 &&
                    SDL_SetTextureBlendMode(probe, add_) == 0;
    if (probe != nullptr) SDL_DestroyTexture(probe);
    if (!ok) renderer_ = nullptr;
    return ok;
}

void GpuCanvas::Release() {
    for (auto& [id, entry] : textures_) SDL_DestroyTexture(entry.texture);
    textures_.clear();
    drawing_.clear();
    shown_.clear();
    keep_ = false;
    renderer_ = nullptr;
    frame_ = 0;
    blend_ = BlendMode::Alpha;
    linear_ = false;
    clipped_ = false;
}

void GpuCanvas::ApplyClip() { SDL_RenderSetClipRect(renderer_, clipped_ ? &clip_ : nullptr); }

void GpuCanvas::BeginFrame() {
    SDL_RenderSetClipRect(renderer_, nullptr);
    SDL_SetRenderDrawBlendMode(renderer_, SDL_BLENDMODE_NONE);
    SDL_SetRenderDrawColor(renderer_, 0, 0, 0, 255);
    SDL_RenderClear(renderer_);  // the whole window: the letterbox's bars too
    ApplyClip();
}

void GpuCanvas::Clear(double r, double g, double b) {
    // The whole logical screen, whatever the viewport (a clear of the renderer would paint
    // the letterbox's bars too).
    SDL_RenderSetClipRect(renderer_, nullptr);
    SDL_SetRenderDrawBlendMode(renderer_, SDL_BLENDMODE_NONE);
    SDL_SetRenderDrawColor(renderer_, Byte(r), Byte(g), Byte(b), 255);
    SDL_Rect all{0, 0, Canvas::kWidth, Canvas::kHeight};
    SDL_RenderFillRect(renderer_, &all);
    ApplyClip();
    if (keep_) {  // kept as the same fill, a quad of the whole screen
        const float w = Canvas::kWidth, h = Canvas::kHeight;
        const SDL_Color c{Byte(r), Byte(g), Byte(b), 255};
        drawing_.push_back(KeptQuad{nullptr, SDL_BLENDMODE_NONE, SDL_ScaleModeNearest, false, {}, {}});
        const SDL_FPoint corners[4] = {{0, 0}, {w, 0}, {w, h}, {0, h}};
        for (int i = 0; i < 4; ++i) drawing_.back().v[i] = SDL_Vertex{corners[i], c, {0, 0}};
    }
}

void GpuCanvas::SetViewport(double x, double y, double w, double h) {
    if (!Finite({x, y, w, h})) return;
    if (w < 0) x += w, w = -w;
    if (h < 0) y += h, h = -h;
    const int x0 = Edge(x, Canvas::kWidth), x1 = Edge(x + w, Canvas::kWidth);
    const int y0 = Edge(y, Canvas::kHeight), y1 = Edge(y + h, Canvas::kHeight);
    // An empty clip would turn clipping off in SDL: one outside the screen clips everything.
    clip_ = x0 < x1 && y0 < y1 ? SDL_Rect{x0, y0, x1 - x0, y1 - y0} : SDL_Rect{-2, -2, 1, 1};
    clipped_ = true;
    ApplyClip();
}

void GpuCanvas::ResetViewport() {
    clipped_ = false;
    ApplyClip();
}

void GpuCanvas::EndFrame() {
    ++frame_;
    for (auto it = textures_.begin(); it != textures_.end();) {
        if (it->second.lastFrame < frame_ - kTextureLifetime) {
            SDL_DestroyTexture(it->second.texture);
            it = textures_.erase(it);
        } else {
            ++it;
        }
    }
}

SDL_Texture* GpuCanvas::TextureFor(const Image& image) {
    if (image.gpuId == 0) image.gpuId = g_nextGpuId++;
    auto it = textures_.find(image.gpuId);
    if (it != textures_.end()) {
        it->second.lastFrame = frame_;
        return it->second.texture;
    }
    SDL_Texture* texture = SDL_CreateTexture(renderer_, SDL_PIXELFORMAT_ARGB8888, SDL_TEXTUREACCESS_STATIC,
                                             image.width, image.height);
    if (texture == nullptr) return nullptr;  // larger than the GPU takes: not drawn
    SDL_UpdateTexture(texture, nullptr, image.texels.data(), image.width * 4);
    textures_[image.gpuId] = Entry{texture, frame_};
    return texture;
}

void GpuCanvas::Quad(SDL_Texture* texture, const SDL_FPoint corners[4], const SDL_FPoint uv[4],
                     SDL_Color colour, SDL_BlendMode blend, SDL_ScaleMode scale) {
    KeptQuad q{texture, blend, scale, clipped_, clip_, {}};
    for (int i = 0; i < 4; ++i) q.v[i] = SDL_Vertex{corners[i], colour, uv[i]};
    Draw(q);
    if (keep_) drawing_.push_back(q);
}

void GpuCanvas::Draw(const KeptQuad& q) {
    if (q.texture != nullptr) {
        SDL_SetTextureBlendMode(q.texture, q.blend);
        SDL_SetTextureScaleMode(q.texture, q.scale);
    } else {
        SDL_SetRenderDrawBlendMode(renderer_, q.blend);
    }
    static const int kIndices[6] = {0, 1, 2, 0, 2, 3};
    SDL_RenderGeometry(renderer_, q.texture, q.v, 4, kIndices, 6);
}

void GpuCanvas::FrameShown() {
    shown_.swap(drawing_);
    drawing_.clear();
}

// The textures of the frame shown last live on: EndFrame lets go only of those not drawn for
// many frame steps, and no step is made while a frame is shown again.
void GpuCanvas::ShowAgain() {
    for (const KeptQuad& q : shown_) {
        SDL_RenderSetClipRect(renderer_, q.clipped ? &q.clip : nullptr);
        Draw(q);
    }
    ApplyClip();
}

void GpuCanvas::FillRect(double x, double y, double w, double h, double r, double g, double b, double a) {
    if (!Finite({x, y, w, h, r, g, b, a})) return;
    if (w < 0) x += w, w = -w;
    if (h < 0) y += h, h = -h;
    // Whole pixels, as the rasteriser covers them.
    const float x0 = float(Edge(x, Canvas::kWidth)), x1 = float(Edge(x + w, Canvas::kWidth));
    const float y0 = float(Edge(y, Canvas::kHeight)), y1 = float(Edge(y + h, Canvas::kHeight));
    if (x0 >= x1 || y0 >= y1) return;
    const double alpha = blend_ == BlendMode::None ? 1.0 : std::clamp(a, 0.0, 1.0);
    const SDL_Color colour{Byte(r * alpha), Byte(g * alpha), Byte(b * alpha), Byte(alpha)};
    const SDL_FPoint corners[4] = {{x0, y0}, {x1, y0}, {x1, y1}, {x0, y1}};
    const SDL_FPoint uv[4] = {};
    Quad(nullptr, corners, uv, colour, Blend(), SDL_ScaleModeNearest);
}

void GpuCanvas::DrawImage(const Image& image, double sx, double sy, double sw, double sh, double dx,
                          double dy, double dw, double dh, double cx, double cy, double angle, double r,
                          double g, double b, double a) {
    if (image.width <= 0 || image.height <= 0) return;
    if (!Finite({sx, sy, sw, sh, dx, dy, dw, dh, cx, cy, angle, r, g, b, a})) return;
    if (sw == 0 || sh == 0 || dw == 0 || dh == 0) return;
    if (blend_ != BlendMode::None && !(a > 0)) return;
    SDL_Texture* texture = TextureFor(image);
    if (texture == nullptr) return;
    const double alpha = std::clamp(a, 0.0, 1.0);
    const SDL_Color colour{Byte(r * alpha), Byte(g * alpha), Byte(b * alpha), Byte(alpha)};
    // The destination's corners turned about (dx + cx, dy + cy): clockwise on screen, y down.
    const double c = std::cos(angle), s = std::sin(angle);
    const double px = dx + cx, py = dy + cy;
    auto corner = [&](double u, double v) {
        const double x = dx + u * dw - px, y = dy + v * dh - py;
        return SDL_FPoint{float(px + x * c - y * s), float(py + x * s + y * c)};
    };
    const double iw = 1.0 / image.width, ih = 1.0 / image.height;
    auto texel = [&](double u, double v) {
        return SDL_FPoint{float((sx + u * sw) * iw), float((sy + v * sh) * ih)};
    };
    const SDL_FPoint corners[4] = {corner(0, 0), corner(1, 0), corner(1, 1), corner(0, 1)};
    const SDL_FPoint uv[4] = {texel(0, 0), texel(1, 0), texel(1, 1), texel(0, 1)};
    Quad(texture, corners, uv, colour, Blend(), linear_ ? SDL_ScaleModeLinear : SDL_ScaleModeNearest);
}

int GpuCanvas::ArtScale() const { return TextScale() > 1 ? 2 : 1; }

double GpuCanvas::TextScale() const {
    int w = 0, h = 0;
    if (renderer_ == nullptr || SDL_GetRendererOutputSize(renderer_, &w, &h) != 0 || w < kFinerWidth)
        return 1;
    return std::max(1.0, std::min(w / double(Canvas::kWidth), h / double(Canvas::kHeight)));
}

bool GpuCanvas::ReadPixels(std::vector<uint32_t>& pixels, int& width, int& height) {
    // The whole output is read with the logical size set aside (read through it, SDL rounds
    // the letterboxed area its own way), then the picture is cut out of its bars.
    int outW = 0, outH = 0;
    if (SDL_GetRendererOutputSize(renderer_, &outW, &outH) != 0 || outW <= 0 || outH <= 0) return false;
    int logicalW = 0, logicalH = 0;
    SDL_RenderGetLogicalSize(renderer_, &logicalW, &logicalH);
    SDL_RenderSetClipRect(renderer_, nullptr);
    SDL_RenderSetLogicalSize(renderer_, 0, 0);
    SDL_RenderSetViewport(renderer_, nullptr);
    std::vector<uint32_t> all(size_t(outW) * outH);
    const bool read =
        SDL_RenderReadPixels(renderer_, nullptr, SDL_PIXELFORMAT_ARGB8888, all.data(), outW * 4) == 0;
    SDL_RenderSetLogicalSize(renderer_, logicalW, logicalH);
    ApplyClip();
    if (!read) return false;
    const double scale = std::min(outW / double(Canvas::kWidth), outH / double(Canvas::kHeight));
    width = std::clamp(int(std::lround(Canvas::kWidth * scale)), 1, outW);
    height = std::clamp(int(std::lround(Canvas::kHeight * scale)), 1, outH);
    const int x0 = (outW - width) / 2, y0 = (outH - height) / 2;
    pixels.resize(size_t(width) * height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            pixels[size_t(y) * width + x] = all[size_t(y + y0) * outW + x + x0] | 0xFF000000u;
    return true;
}

}  // namespace brisel
