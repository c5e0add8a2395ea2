// canvas.cpp -- scaled, rotated and tinted drawing into the 1600 x 900 framebuffer.
//
// Pixel rule: a screen pixel (px, py) is drawn when its centre (px + 0.5, py + 0.5) lies in
// the (turned) destination rectangle; its texel is found by mapping that centre back into the
// source rectangle. Positions step along each row in 16.16 fixed point, so the inner loops are
// integer only. Texels are premultiplied, which makes "over" one multiply per channel pair.
#include "canvas.hpp"

#include <algorithm>
#include <cmath>
#include <limits>

namespace brisel {

namespace {

constexpr uint32_t kOpaque = 0xFF000000u;

// d * f / 255 on all four channels, rounded (two channels per multiply).
inline uint32_t Scale255(uint32_t d, uint32_t f) {
    uint32_t rb = (d & 0x00FF00FFu) * f + 0x00800080u;
    rb = ((rb + ((rb >> 8) & 0x00FF00FFu)) >> 8) & 0x00FF00FFu;
    uint32_t ag = ((d >> 8) & 0x00FF00FFu) * f + 0x00800080u;
    ag = (ag + ((ag >> 8) & 0x00FF00FFu)) & 0xFF00FF00u;
    return rb | ag;
}

// Premultiplied "over": source on top of an opaque destination.
inline uint32_t Over(uint32_t d, uint32_t s) {
    uint32_t a = s >> 24;
    if (a == 255) return s;
    if (a == 0) return d;
    return s + Scale255(d, 255 - a);
}

inline uint32_t AddSaturate(uint32_t d, uint32_t s) {
    uint32_t r = std::min(255u, ((d >> 16) & 255) + ((s >> 16) & 255));
    uint32_t g = std::min(255u, ((d >> 8) & 255) + ((s >> 8) & 255));
    uint32_t b = std::min(255u, (d & 255) + (s & 255));
    return kOpaque | (r << 16) | (g << 8) | b;
}

// Linear mix of two texels, f in 0..256 toward b.
inline uint32_t Mix(uint32_t a, uint32_t b, uint32_t f) {
    uint32_t rb = (((a & 0x00FF00FFu) * (256 - f) + (b & 0x00FF00FFu) * f) >> 8) & 0x00FF00FFu;
    uint32_t ag = (((a >> 8) & 0x00FF00FFu) * (256 - f) + ((b >> 8) & 0x00FF00FFu) * f) & 0xFF00FF00u;
    return rb | ag;
}

inline uint32_t Unit256(double v) {  // 0..1 -> 0..256
    if (!(v > 0)) return 0;
    if (v >= 1) return 256;
    return uint32_t(std::lround(v * 256.0));
}

inline uint32_t Unit255(double v) {
    if (!(v > 0)) return 0;
    if (v >= 1) return 255;
    return uint32_t(std::lround(v * 255.0));
}

// Colour multipliers of a draw, already premultiplied by its alpha.
struct Tint {
    uint32_t r, g, b, a;
    uint32_t Apply(uint32_t s) const {
        uint32_t sa = ((s >> 24) * a) >> 8;
        uint32_t sr = (((s >> 16) & 255) * r) >> 8;
        uint32_t sg = (((s >> 8) & 255) * g) >> 8;
        uint32_t sb = ((s & 255) * b) >> 8;
        return (sa << 24) | (sr << 16) | (sg << 8) | sb;
    }
};

// The pixel operations; each takes the destination pixel and the sampled texel.
struct OpCopy {
    void operator()(uint32_t& d, uint32_t s) const { d = s | kOpaque; }
};
struct OpOver {
    void operator()(uint32_t& d, uint32_t s) const { d = Over(d, s); }
};
struct OpTintOver {
    Tint t;
    void operator()(uint32_t& d, uint32_t s) const { d = Over(d, t.Apply(s)); }
};
struct OpAdd {
    Tint t;
    void operator()(uint32_t& d, uint32_t s) const { d = AddSaturate(d, t.Apply(s)); }
};
struct OpReplace {
    Tint t;
    void operator()(uint32_t& d, uint32_t s) const { d = t.Apply(s) | kOpaque; }
};

// The texel window a draw may read: the source rectangle, inside the image.
struct Window {
    int u0, u1, v0, v1;  // inclusive
};

inline int Clamp(int64_t v, int lo, int hi) {
    return v < lo ? lo : (v > hi ? hi : int(v));
}

template <class Op>
void SpanAxisNearest(uint32_t* dst, int n, const uint32_t* row, int64_t u, int64_t du,
                     const Window& w, Op op) {
    for (int i = 0; i < n; ++i) {
        op(dst[i], row[Clamp(u >> 16, w.u0, w.u1)]);
        u += du;
    }
}

template <bool Linear, class Op>
void SpanGeneral(uint32_t* dst, int n, const Image& img, int64_t u, int64_t v, int64_t du,
                 int64_t dv, const Window& w, Op op) {
    const uint32_t* tex = img.texels.data();
    const int pitch = img.width;
    for (int i = 0; i < n; ++i) {
        if constexpr (Linear) {
            int64_t uu = u - 0x8000, vv = v - 0x8000;
            int x0 = Clamp(uu >> 16, w.u0, w.u1), x1 = Clamp((uu >> 16) + 1, w.u0, w.u1);
            int y0 = Clamp(vv >> 16, w.v0, w.v1), y1 = Clamp((vv >> 16) + 1, w.v0, w.v1);
            uint32_t fu = uint32_t((uu >> 8) & 255), fv = uint32_t((vv >> 8) & 255);
            uint32_t top = Mix(tex[y0 * pitch + x0], tex[y0 * pitch + x1], fu);
            uint32_t bottom = Mix(tex[y1 * pitch + x0], tex[y1 * pitch + x1], fu);
            op(dst[i], Mix(top, bottom, fv));
        } else {
            op(dst[i], tex[Clamp(v >> 16, w.v0, w.v1) * pitch + Clamp(u >> 16, w.u0, w.u1)]);
        }
        u += du;
        v += dv;
    }
}

// Solves 0 <= a + b * x < limit for x; returns false when no x qualifies.
bool Solve(double a, double b, double limit, double& lo, double& hi) {
    if (b == 0) {
        if (a >= 0 && a < limit) {
            lo = -std::numeric_limits<double>::infinity();
            hi = std::numeric_limits<double>::infinity();
            return true;
        }
        return false;
    }
    double t0 = -a / b, t1 = (limit - a) / b;
    lo = std::min(t0, t1);
    hi = std::max(t0, t1);
    return true;
}

inline int64_t Fixed(double v) {
    // Far beyond any texture; keeps the conversion defined for absurd inputs.
    v = std::clamp(v, -1.0e9, 1.0e9);
    return int64_t(std::llround(v * 65536.0));
}

bool AllFinite(std::initializer_list<double> values) {
    for (double v : values)
        if (!std::isfinite(v)) return false;
    return true;
}

}  // namespace

Image Image::FromStraight(int width, int height, const uint32_t* pixels, int pitchPixels) {
    Image img;
    img.width = width;
    img.height = height;
    img.texels.resize(size_t(width) * size_t(height));
    for (int y = 0; y < height; ++y) {
        const uint32_t* src = pixels + size_t(y) * pitchPixels;
        uint32_t* dst = img.texels.data() + size_t(y) * width;
        for (int x = 0; x < width; ++x) {
            uint32_t p = src[x];
            uint32_t a = p >> 24;
            if (a == 255) {
                dst[x] = p;
            } else {
                img.translucent = true;
                dst[x] = (a << 24) | (Scale255(p, a) & 0x00FFFFFFu);
            }
        }
    }
    return img;
}

void Image::Compose(const Image& top, int x, int y) {
    for (int ty = 0; ty < top.height; ++ty) {
        int py = y + ty;
        if (py < 0 || py >= height) continue;
        for (int tx = 0; tx < top.width; ++tx) {
            int px = x + tx;
            if (px < 0 || px >= width) continue;
            uint32_t s = top.texels[size_t(ty) * top.width + tx];
            uint32_t& d = texels[size_t(py) * width + px];
            uint32_t a = s >> 24;
            d = a == 255 ? s : s + Scale255(d, 255 - a);
        }
    }
    translucent = translucent || top.translucent;
}

Canvas::Canvas() : pixels_(size_t(kWidth) * kHeight, kOpaque) {}

void Canvas::Reset() {
    std::fill(pixels_.begin(), pixels_.end(), kOpaque);
    ResetViewport();
    blend_ = BlendMode::Alpha;
    linear_ = false;
}

void Canvas::Clear(double r, double g, double b) {
    uint32_t c = kOpaque | (Unit255(r) << 16) | (Unit255(g) << 8) | Unit255(b);
    std::fill(pixels_.begin(), pixels_.end(), c);
}

void Canvas::SetViewport(double x, double y, double w, double h) {
    if (!AllFinite({x, y, w, h})) return;
    if (w < 0) { x += w; w = -w; }
    if (h < 0) { y += h; h = -h; }
    auto edge = [](double v, int limit) {
        return int(std::clamp(std::ceil(v - 0.5), 0.0, double(limit)));
    };
    clipX0_ = edge(x, kWidth);
    clipX1_ = edge(x + w, kWidth);
    clipY0_ = edge(y, kHeight);
    clipY1_ = edge(y + h, kHeight);
}

void Canvas::ResetViewport() {
    clipX0_ = 0;
    clipY0_ = 0;
    clipX1_ = kWidth;
    clipY1_ = kHeight;
}

void Canvas::FillRect(double x, double y, double w, double h, double r, double g, double b,
                      double a) {
    if (!AllFinite({x, y, w, h, r, g, b, a})) return;
    if (w < 0) { x += w; w = -w; }
    if (h < 0) { y += h; h = -h; }
    auto edge = [](double v, int lo, int hi) {
        return int(std::clamp(std::ceil(v - 0.5), double(lo), double(hi)));
    };
    int x0 = edge(x, clipX0_, clipX1_), x1 = edge(x + w, clipX0_, clipX1_);
    int y0 = edge(y, clipY0_, clipY1_), y1 = edge(y + h, clipY0_, clipY1_);
    if (x0 >= x1 || y0 >= y1) return;

    uint32_t a8 = blend_ == BlendMode::None ? 255 : Unit255(a);
    double af = a8 / 255.0;
    uint32_t s = (a8 << 24) | (Unit255(r * af) << 16) | (Unit255(g * af) << 8) | Unit255(b * af);
    for (int py = y0; py < y1; ++py) {
        uint32_t* row = pixels_.data() + size_t(py) * kWidth;
        switch (blend_) {
        case BlendMode::None:
            std::fill(row + x0, row + x1, s | kOpaque);
            break;
        case BlendMode::Alpha:
            if (a8 == 255) {
                std::fill(row + x0, row + x1, s);
            } else if (a8 != 0) {
                for (int px = x0; px < x1; ++px) row[px] = Over(row[px], s);
            }
            break;
        case BlendMode::Add:
            for (int px = x0; px < x1; ++px) row[px] = AddSaturate(row[px], s);
            break;
        }
    }
}

void Canvas::DrawImage(const Image& image, double sx, double sy, double sw, double sh,
                       double dx, double dy, double dw, double dh,
                       double cx, double cy, double angle,
                       double r, double g, double b, double a) {
    if (image.width <= 0 || image.height <= 0) return;
    if (!AllFinite({sx, sy, sw, sh, dx, dy, dw, dh, cx, cy, angle, r, g, b, a})) return;
    if (sw == 0 || sh == 0 || dw == 0 || dh == 0) return;
    if (blend_ != BlendMode::None && !(a > 0)) return;

    // A negative destination size is the same rectangle with the source read backwards.
    if (dw < 0) { dx += dw; cx -= dw; dw = -dw; sx += sw; sw = -sw; }
    if (dh < 0) { dy += dh; cy -= dh; dh = -dh; sy += sh; sh = -sh; }

    Window win;
    {
        double u0 = std::min(sx, sx + sw), u1 = std::max(sx, sx + sw);
        double v0 = std::min(sy, sy + sh), v1 = std::max(sy, sy + sh);
        win.u0 = int(std::clamp(std::floor(u0), 0.0, double(image.width - 1)));
        win.u1 = int(std::clamp(std::ceil(u1) - 1, 0.0, double(image.width - 1)));
        win.v0 = int(std::clamp(std::floor(v0), 0.0, double(image.height - 1)));
        win.v1 = int(std::clamp(std::ceil(v1) - 1, 0.0, double(image.height - 1)));
        if (win.u1 < win.u0) win.u1 = win.u0;
        if (win.v1 < win.v0) win.v1 = win.v0;
    }

    const double ku = sw / dw, kv = sh / dh;
    double c = 1, s = 0;
    if (angle != 0) {
        c = std::cos(angle);
        s = std::sin(angle);
    }
    const bool axis = (s == 0 && c == 1);
    const double ox = dx + cx, oy = dy + cy;  // pivot on screen

    // Bounding box of the turned rectangle, in pixel rows.
    double minY = std::numeric_limits<double>::infinity(), maxY = -minY;
    for (double lx : {0.0, dw})
        for (double ly : {0.0, dh}) {
            double Y = oy + s * (lx - cx) + c * (ly - cy);
            minY = std::min(minY, Y);
            maxY = std::max(maxY, Y);
        }
    int y0 = int(std::clamp(std::ceil(minY - 0.5), double(clipY0_), double(clipY1_)));
    int y1 = int(std::clamp(std::ceil(maxY - 0.5), double(clipY0_), double(clipY1_)));
    if (y0 >= y1 || clipX0_ >= clipX1_) return;

    const Tint tint{Unit256(r * a), Unit256(g * a), Unit256(b * a), Unit256(a)};
    const bool white = tint.r == 256 && tint.g == 256 && tint.b == 256 && tint.a == 256;
    const bool linear = linear_ && !(axis && std::fabs(ku) == 1 && std::fabs(kv) == 1);

    auto drawRows = [&](auto op) {
        for (int py = y0; py < y1; ++py) {
            const double Y = py + 0.5;
            // Local position in the unturned rectangle as a function of the screen x:
            // lx = lxA + c * X, ly = lyA - s * X.
            const double lxA = cx + s * (Y - oy) - c * ox;
            const double lyA = cy + c * (Y - oy) + s * ox;
            double loX, hiX, loY, hiY;
            if (!Solve(lxA, c, dw, loX, hiX) || !Solve(lyA, -s, dh, loY, hiY)) continue;
            const double lo = std::max(loX, loY), hi = std::min(hiX, hiY);
            if (!(lo < hi)) continue;
            const int x0 = int(std::clamp(std::ceil(lo - 0.5), double(clipX0_), double(clipX1_)));
            const int x1 = int(std::clamp(std::ceil(hi - 0.5), double(clipX0_), double(clipX1_)));
            if (x0 >= x1) continue;
            const double X0 = x0 + 0.5;
            const int64_t u = Fixed(sx + (lxA + c * X0) * ku);
            const int64_t v = Fixed(sy + (lyA - s * X0) * kv);
            const int64_t du = Fixed(c * ku), dv = Fixed(-s * kv);
            uint32_t* dst = pixels_.data() + size_t(py) * kWidth + x0;
            if (linear) {
                SpanGeneral<true>(dst, x1 - x0, image, u, v, du, dv, win, op);
            } else if (axis) {
                const uint32_t* row =
                    image.texels.data() + size_t(Clamp(v >> 16, win.v0, win.v1)) * image.width;
                SpanAxisNearest(dst, x1 - x0, row, u, du, win, op);
            } else {
                SpanGeneral<false>(dst, x1 - x0, image, u, v, du, dv, win, op);
            }
        }
    };

    switch (blend_) {
    case BlendMode::None:
        if (white) drawRows(OpCopy{});
        else drawRows(OpReplace{tint});
        break;
    case BlendMode::Add:
        drawRows(OpAdd{tint});
        break;
    case BlendMode::Alpha:
        // A texture without a translucent texel, drawn untinted, is a plain copy.
        if (white && !image.translucent && !linear) drawRows(OpCopy{});
        else if (white) drawRows(OpOver{});
        else drawRows(OpTintOver{tint});
        break;
    }
}

}  // namespace brisel
