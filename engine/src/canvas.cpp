// canvas.cpp -- scaled, rotated and tinted drawing into the 1600 x 900 framebuffer.
//
// Pixel rule: a screen pixel (px, py) is drawn when its centre (px + 0.5, py + 0.5) lies in
// the (turned) destination rectangle; its texel is found by mapping that centre back into the
// source rectangle. Positions step along each row in 16.16 fixed point, so the inner loops are
// integer only. Texels are premultiplied, which makes "over" one multiply per channel pair.
#include "canvas.hpp"

// The span operations go four texels at a time in SSE2 on x86; elsewhere (or with
// BRISEL_PORTABLE_PIXELS, which the tests use to compare the two on x86) in plain C++ that does
// the same arithmetic lane by lane, so that every build draws the same pixels. (The tests build
// the SSE2 path without its AVX2 part too: BRISEL_SSE2_ONLY_PIXELS.)
#if defined(__SSE2__) && !defined(BRISEL_PORTABLE_PIXELS)
#include <emmintrin.h>
#define BRISEL_SSE2_PIXELS 1
// Where the processor has AVX2 (asked at run time), blending goes eight pixels at a time, with
// the same arithmetic and the same decisions for each group of four. Not on Windows, whose
// compilers do not keep the stack aligned for 32-byte values.
#if defined(__GNUC__) && defined(__x86_64__) && !defined(_WIN32) && !defined(BRISEL_SSE2_ONLY_PIXELS)
#include <immintrin.h>
#define BRISEL_AVX2_PIXELS 1
#endif
#endif

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <type_traits>

#include "portable_maths.hpp"

namespace brisel {

namespace {

constexpr uint32_t kOpaque = 0xFF000000u;

// Scaled copies: worth it for draws of at least 128 x 128 pixels; at most this many per image,
// each at most 4 Mpixels (16 MiB), all of one image at most 32 MiB, dropped after this many
// frame steps without a draw.
constexpr size_t kMaxScaledCopies = 12;
constexpr double kMinScaledArea = 128.0 * 128;  // smaller draws (glyphs, puffs) sample cheaply
constexpr double kMaxScaledArea = 4.0 * 1024 * 1024;
constexpr double kMaxScaledAreaPerImage = 8.0 * 1024 * 1024;  // 32 MiB
constexpr int64_t kScaledLifetime = 120;

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

// The texel window a draw may read: the source rectangle, inside the image.
struct Window {
    int u0, u1, v0, v1;  // inclusive
};

inline int Clamp(int64_t v, int lo, int hi) { return v < lo ? lo : (v > hi ? hi : int(v)); }

Window SourceWindow(const Image& image, double sx, double sy, double sw, double sh) {
    Window win;
    double u0 = std::min(sx, sx + sw), u1 = std::max(sx, sx + sw);
    double v0 = std::min(sy, sy + sh), v1 = std::max(sy, sy + sh);
    win.u0 = int(std::clamp(std::floor(u0), 0.0, double(image.width - 1)));
    win.u1 = int(std::clamp(std::ceil(u1) - 1, 0.0, double(image.width - 1)));
    win.v0 = int(std::clamp(std::floor(v0), 0.0, double(image.height - 1)));
    win.v1 = int(std::clamp(std::ceil(v1) - 1, 0.0, double(image.height - 1)));
    if (win.u1 < win.u0) win.u1 = win.u0;
    if (win.v1 < win.v0) win.v1 = win.v0;
    return win;
}

inline bool Inside(int64_t first, int64_t last, int lo, int hi) {
    return first >= lo && first <= hi && last >= lo && last <= hi;
}

// ---- sampling: the texels of one row span, into a contiguous buffer ------------------------

#if defined(BRISEL_AVX2_PIXELS)
#define BRISEL_AVX2 __attribute__((target("avx2")))

bool HasAvx2() {
    static const bool has = [] {
        __builtin_cpu_init();  // this library may be loaded before its constructors ran
        return __builtin_cpu_supports("avx2") != 0;
    }();
    return has;
}

// Nearest texels for the first multiple of eight pixels of a span that reads forward: pixel i
// reads texel (uu + i * d) >> 16, as in SampleAxis. At most one texel a pixel (d up to 65536),
// eight pixels read within eight texels in a row: one load and one permute give them; at most
// 15/7 texels a pixel (d up to 140434, text drawn at half its sheet's size), within sixteen:
// two of each and a blend. Stops before a load would pass texel `last`; returns how many pixels
// it did.
BRISEL_AVX2 int SampleAxis8(uint32_t* out, int n, const uint32_t* row, uint32_t uu, uint32_t d, int last) {
    const bool wide = d > 65536;
    const int reach = wide ? 15 : 7;
    const __m256i steps =
        _mm256_mullo_epi32(_mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7), _mm256_set1_epi32(int(d)));
    int i = 0;
    for (; i + 8 <= n; i += 8) {
        const uint32_t pos = uu + uint32_t(i) * d;
        const uint32_t first = pos >> 16;
        if (int64_t(first) + reach > last) break;
        const __m256i at =
            _mm256_sub_epi32(_mm256_srli_epi32(_mm256_add_epi32(_mm256_set1_epi32(int(pos)), steps), 16),
                             _mm256_set1_epi32(int(first)));
        const __m256i* from = reinterpret_cast<const __m256i*>(row + first);
        __m256i texels = _mm256_permutevar8x32_epi32(_mm256_loadu_si256(from), at);
        if (wide) {  // the permute reads the low three bits: offsets 8 to 15 take the second eight
            const __m256i high = _mm256_permutevar8x32_epi32(_mm256_loadu_si256(from + 1), at);
            texels = _mm256_blendv_epi8(texels, high, _mm256_cmpgt_epi32(at, _mm256_set1_epi32(7)));
        }
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + i), texels);
    }
    return i;
}
#endif

// Inside the window of an image under 65536 texels a side, every position of a span lies in
// 0 .. 2^32: it steps in 32 bits, four texels at a time, with the same texels as in 64.
constexpr int kSmallSide = 65536;

void SampleAxis(uint32_t* out, int n, const uint32_t* row, int64_t u, int64_t du, const Window& w) {
    if (w.u1 < kSmallSide && Inside(u >> 16, (u + (n - 1) * du) >> 16, w.u0, w.u1)) {  // no clamping needed
        uint32_t uu = uint32_t(u);
        const uint32_t d = uint32_t(du);
        int i = 0;
#if defined(BRISEL_AVX2_PIXELS)
        if (du >= 0 && du <= 140434 && HasAvx2()) {
            i = SampleAxis8(out, n, row, uu, d, w.u1);
            uu += uint32_t(i) * d;
        }
#endif
        for (; i + 4 <= n; i += 4, uu += 4 * d) {
            out[i] = row[uu >> 16];
            out[i + 1] = row[(uu + d) >> 16];
            out[i + 2] = row[(uu + 2 * d) >> 16];
            out[i + 3] = row[(uu + 3 * d) >> 16];
        }
        for (; i < n; ++i, uu += d) out[i] = row[uu >> 16];
        return;
    }
    for (int i = 0; i < n; ++i) {
        out[i] = row[Clamp(u >> 16, w.u0, w.u1)];
        u += du;
    }
}

template <bool Linear>
void SampleGeneral(uint32_t* out, int n, const Image& img, int64_t u, int64_t v, int64_t du, int64_t dv,
                   const Window& w) {
    const uint32_t* tex = img.texels.data();
    const int pitch = img.width;
    if (!Linear && w.u1 < kSmallSide && w.v1 < kSmallSide &&
        Inside(u >> 16, (u + (n - 1) * du) >> 16, w.u0, w.u1) &&
        Inside(v >> 16, (v + (n - 1) * dv) >> 16, w.v0, w.v1)) {  // no clamping needed
        uint32_t uu = uint32_t(u), vv = uint32_t(v);
        const uint32_t ud = uint32_t(du), vd = uint32_t(dv);
        const size_t p = size_t(pitch);
        int i = 0;
        for (; i + 4 <= n; i += 4, uu += 4 * ud, vv += 4 * vd) {
            out[i] = tex[(vv >> 16) * p + (uu >> 16)];
            out[i + 1] = tex[((vv + vd) >> 16) * p + ((uu + ud) >> 16)];
            out[i + 2] = tex[((vv + 2 * vd) >> 16) * p + ((uu + 2 * ud) >> 16)];
            out[i + 3] = tex[((vv + 3 * vd) >> 16) * p + ((uu + 3 * ud) >> 16)];
        }
        for (; i < n; ++i, uu += ud, vv += vd) out[i] = tex[(vv >> 16) * p + (uu >> 16)];
        return;
    }
    for (int i = 0; i < n; ++i) {
        if constexpr (Linear) {
            int64_t uu = u - 0x8000, vv = v - 0x8000;
            int x0 = Clamp(uu >> 16, w.u0, w.u1), x1 = Clamp((uu >> 16) + 1, w.u0, w.u1);
            int y0 = Clamp(vv >> 16, w.v0, w.v1), y1 = Clamp((vv >> 16) + 1, w.v0, w.v1);
            uint32_t fu = uint32_t((uu >> 8) & 255), fv = uint32_t((vv >> 8) & 255);
            uint32_t top = Mix(tex[y0 * pitch + x0], tex[y0 * pitch + x1], fu);
            uint32_t bottom = Mix(tex[y1 * pitch + x0], tex[y1 * pitch + x1], fu);
            out[i] = Mix(top, bottom, fv);
        } else {
            out[i] = tex[Clamp(v >> 16, w.v0, w.v1) * pitch + Clamp(u >> 16, w.u0, w.u1)];
        }
        u += du;
        v += dv;
    }
}

// ---- span operations: sampled texels onto a run of screen pixels, four at a time -----------

enum class SpanOp { CopyOpaque, Copy, Over, TintOver, Add, Replace };

#if defined(BRISEL_SSE2_PIXELS)
// Four premultiplied texels times the tint (16-bit lanes B, G, R, A, B, G, R, A).
inline __m128i Tint4(__m128i s, __m128i tint) {
    const __m128i zero = _mm_setzero_si128();
    __m128i lo = _mm_srli_epi16(_mm_mullo_epi16(_mm_unpacklo_epi8(s, zero), tint), 8);
    __m128i hi = _mm_srli_epi16(_mm_mullo_epi16(_mm_unpackhi_epi8(s, zero), tint), 8);
    return _mm_packus_epi16(lo, hi);
}

// (x + 128 + ((x + 128) >> 8)) >> 8: x / 255 rounded, exact for x up to 255 * 255. Taken as
// (x + 128) * 257 >> 16, the same for every y = x + 128 below 65536: y + y / 256 and
// y + floor(y / 256) have the same multiples of 256 below them.
inline __m128i Div255(__m128i x) {
    return _mm_mulhi_epu16(_mm_add_epi16(x, _mm_set1_epi16(128)), _mm_set1_epi16(257));
}

inline __m128i Over4(__m128i d, __m128i s) {
    const __m128i zero = _mm_setzero_si128();
    __m128i a = _mm_srli_epi32(s, 24);
    a = _mm_or_si128(a, _mm_slli_epi32(a, 8));
    a = _mm_or_si128(a, _mm_slli_epi32(a, 16));
    __m128i inv = _mm_xor_si128(a, _mm_set1_epi32(-1));  // 255 - alpha in every byte
    __m128i lo = Div255(_mm_mullo_epi16(_mm_unpacklo_epi8(d, zero), _mm_unpacklo_epi8(inv, zero)));
    __m128i hi = Div255(_mm_mullo_epi16(_mm_unpackhi_epi8(d, zero), _mm_unpackhi_epi8(inv, zero)));
    return _mm_add_epi8(s, _mm_packus_epi16(lo, hi));
}

#if defined(BRISEL_AVX2_PIXELS)
BRISEL_AVX2 inline __m256i Div255x8(__m256i x) {
    return _mm256_mulhi_epu16(_mm256_add_epi16(x, _mm256_set1_epi16(128)), _mm256_set1_epi16(257));
}

// d * inv / 255 on eight pixels, inv in 16-bit lanes like the pixels unpacked.
BRISEL_AVX2 inline __m256i Scale8(__m256i d, __m256i invLo, __m256i invHi) {
    const __m256i zero = _mm256_setzero_si256();
    __m256i lo = Div255x8(_mm256_mullo_epi16(_mm256_unpacklo_epi8(d, zero), invLo));
    __m256i hi = Div255x8(_mm256_mullo_epi16(_mm256_unpackhi_epi8(d, zero), invHi));
    return _mm256_packus_epi16(lo, hi);
}

// Over (optionally tinted) on the first multiple of eight pixels of a span; returns how many.
// A group of four left alone by the four-pixel path (all clear) is left alone here too.
template <bool Tinted>
BRISEL_AVX2 int OverSpan8(uint32_t* dst, const uint32_t* src, int n, const Tint& t) {
    const __m256i zero = _mm256_setzero_si256(), alphaMask = _mm256_set1_epi32(int(kOpaque));
    const __m256i tint = _mm256_setr_epi16(
        short(t.b), short(t.g), short(t.r), short(t.a), short(t.b), short(t.g), short(t.r), short(t.a),
        short(t.b), short(t.g), short(t.r), short(t.a), short(t.b), short(t.g), short(t.r), short(t.a));
    int i = 0;
    for (; i + 8 <= n; i += 8) {
        __m256i s = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(src + i));
        __m256i* p = reinterpret_cast<__m256i*>(dst + i);
        if constexpr (Tinted) {
            if (uint32_t(_mm256_movemask_epi8(_mm256_cmpeq_epi32(_mm256_and_si256(s, alphaMask), zero))) ==
                0xFFFFFFFFu)
                continue;
            __m256i lo = _mm256_srli_epi16(_mm256_mullo_epi16(_mm256_unpacklo_epi8(s, zero), tint), 8);
            __m256i hi = _mm256_srli_epi16(_mm256_mullo_epi16(_mm256_unpackhi_epi8(s, zero), tint), 8);
            s = _mm256_packus_epi16(lo, hi);
        }
        const __m256i alpha = _mm256_and_si256(s, alphaMask);
        if (uint32_t(_mm256_movemask_epi8(_mm256_cmpeq_epi32(alpha, alphaMask))) == 0xFFFFFFFFu) {
            _mm256_storeu_si256(p, s);
            continue;
        }
        const uint32_t clear = uint32_t(_mm256_movemask_epi8(_mm256_cmpeq_epi32(alpha, zero)));
        if (clear == 0xFFFFFFFFu) continue;
        __m256i a = _mm256_srli_epi32(s, 24);
        a = _mm256_or_si256(a, _mm256_slli_epi32(a, 8));
        a = _mm256_or_si256(a, _mm256_slli_epi32(a, 16));
        const __m256i inv = _mm256_xor_si256(a, _mm256_set1_epi32(-1));
        const __m256i d = _mm256_loadu_si256(p);
        __m256i r =
            _mm256_add_epi8(s, Scale8(d, _mm256_unpacklo_epi8(inv, zero), _mm256_unpackhi_epi8(inv, zero)));
        if ((clear & 0xFFFFu) == 0xFFFFu) r = _mm256_blend_epi32(r, d, 0x0F);
        if ((clear >> 16) == 0xFFFFu) r = _mm256_blend_epi32(r, d, 0xF0);
        _mm256_storeu_si256(p, r);
    }
    return i;
}

// A rectangle's colour over (or added to) the first multiple of eight pixels of a run.
template <bool Add>
BRISEL_AVX2 int FillSpan8(uint32_t* dst, int n, uint32_t s) {
    const __m256i s8 = _mm256_set1_epi32(int(s)), alphaMask = _mm256_set1_epi32(int(kOpaque));
    const __m256i inv = _mm256_set1_epi16(short(255 - (s >> 24)));
    int i = 0;
    for (; i + 8 <= n; i += 8) {
        __m256i* p = reinterpret_cast<__m256i*>(dst + i);
        const __m256i d = _mm256_loadu_si256(p);
        _mm256_storeu_si256(p, Add ? _mm256_or_si256(_mm256_adds_epu8(d, s8), alphaMask)
                                   : _mm256_add_epi8(s8, Scale8(d, inv, inv)));
    }
    return i;
}
#endif

#else
// The same four-texel steps in plain C++, lane by lane with the same 16-bit arithmetic.
inline uint32_t Lane(uint32_t v, int k) { return (v >> (8 * k)) & 255; }

inline uint32_t Div255(uint32_t x) {
    x = (x + 128) & 0xFFFF;
    return ((x + (x >> 8)) & 0xFFFF) >> 8;
}

inline uint32_t Tint1(uint32_t s, const uint32_t tint[4]) {  // tint[k] for byte k: B, G, R, A
    uint32_t out = 0;
    for (int k = 0; k < 4; ++k) out |= std::min(255u, ((Lane(s, k) * tint[k]) & 0xFFFF) >> 8) << (8 * k);
    return out;
}

inline uint32_t Over1(uint32_t d, uint32_t s) {  // each byte's sum wraps within its byte
    const uint32_t inv = 255 - (s >> 24);
    uint32_t out = 0;
    for (int k = 0; k < 4; ++k)
        out |= ((Lane(s, k) + std::min(255u, Div255(Lane(d, k) * inv))) & 255) << (8 * k);
    return out;
}

inline uint32_t AddBytes(uint32_t d, uint32_t s) {
    uint32_t out = 0;
    for (int k = 0; k < 4; ++k) out |= std::min(255u, Lane(d, k) + Lane(s, k)) << (8 * k);
    return out;
}
#endif

template <SpanOp Op>
void ApplySpan(uint32_t* dst, const uint32_t* src, int n, const Tint& t) {
#if defined(BRISEL_SSE2_PIXELS)
    const __m128i tint = _mm_set_epi16(short(t.a), short(t.r), short(t.g), short(t.b), short(t.a), short(t.r),
                                       short(t.g), short(t.b));
    const __m128i alphaMask = _mm_set1_epi32(int(kOpaque));
    if constexpr (Op == SpanOp::CopyOpaque) {  // texels already opaque
        std::memcpy(dst, src, size_t(n) * 4);
        return;
    }
    int i = 0;
#if defined(BRISEL_AVX2_PIXELS)
    if constexpr (Op == SpanOp::Over || Op == SpanOp::TintOver)
        if (HasAvx2()) i = OverSpan8<Op == SpanOp::TintOver>(dst, src, n, t);
#endif
    for (; i + 4 <= n; i += 4) {
        __m128i s = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + i));
        __m128i* d = reinterpret_cast<__m128i*>(dst + i);
        if constexpr (Op == SpanOp::Copy) {
            _mm_storeu_si128(d, _mm_or_si128(s, alphaMask));
            continue;
        }
        // Clear texels stay clear under any tint, and leave the screen as it is: skip four at once
        // (added, a texel must be all zero; the screen's alpha is 255 already).
        if constexpr (Op == SpanOp::TintOver)
            if (_mm_movemask_epi8(_mm_cmpeq_epi32(_mm_and_si128(s, alphaMask), _mm_setzero_si128())) ==
                0xFFFF)
                continue;
        if constexpr (Op == SpanOp::Add)
            if (_mm_movemask_epi8(_mm_cmpeq_epi32(s, _mm_setzero_si128())) == 0xFFFF) continue;
        if constexpr (Op == SpanOp::TintOver || Op == SpanOp::Add || Op == SpanOp::Replace)
            s = Tint4(s, tint);
        if constexpr (Op == SpanOp::Replace) {
            _mm_storeu_si128(d, _mm_or_si128(s, alphaMask));
        } else if constexpr (Op == SpanOp::Add) {
            _mm_storeu_si128(d, _mm_or_si128(_mm_adds_epu8(_mm_loadu_si128(d), s), alphaMask));
        } else {
            // Sprites are mostly fully clear or fully solid: skip the arithmetic for those.
            __m128i alpha = _mm_and_si128(s, alphaMask);
            int solid = _mm_movemask_epi8(_mm_cmpeq_epi32(alpha, alphaMask));
            if (solid == 0xFFFF) {
                _mm_storeu_si128(d, s);
                continue;
            }
            int clear = _mm_movemask_epi8(_mm_cmpeq_epi32(alpha, _mm_setzero_si128()));
            if (clear == 0xFFFF) continue;
            _mm_storeu_si128(d, Over4(_mm_loadu_si128(d), s));
        }
    }
#else
    const uint32_t tint[4] = {uint32_t(short(t.b)), uint32_t(short(t.g)), uint32_t(short(t.r)),
                              uint32_t(short(t.a))};
    if constexpr (Op == SpanOp::CopyOpaque) {
        std::memcpy(dst, src, size_t(n) * 4);
        return;
    }
    int i = 0;
    for (; i + 4 <= n; i += 4) {
        uint32_t s[4];
        std::memcpy(s, src + i, sizeof s);
        uint32_t* d = dst + i;
        if constexpr (Op == SpanOp::Copy) {
            for (int k = 0; k < 4; ++k) d[k] = s[k] | kOpaque;
            continue;
        }
        if constexpr (Op == SpanOp::TintOver)
            if (((s[0] | s[1] | s[2] | s[3]) & kOpaque) == 0) continue;
        if constexpr (Op == SpanOp::Add)
            if ((s[0] | s[1] | s[2] | s[3]) == 0) continue;
        if constexpr (Op == SpanOp::TintOver || Op == SpanOp::Add || Op == SpanOp::Replace)
            for (uint32_t& v : s) v = Tint1(v, tint);
        if constexpr (Op == SpanOp::Replace) {
            for (int k = 0; k < 4; ++k) d[k] = s[k] | kOpaque;
        } else if constexpr (Op == SpanOp::Add) {
            for (int k = 0; k < 4; ++k) d[k] = AddBytes(d[k], s[k]) | kOpaque;
        } else {
            bool solid = true, clear = true;
            for (uint32_t v : s) {
                solid = solid && (v & kOpaque) == kOpaque;
                clear = clear && (v & kOpaque) == 0;
            }
            if (solid) {
                std::memcpy(d, s, sizeof s);
                continue;
            }
            if (clear) continue;
            for (int k = 0; k < 4; ++k) d[k] = Over1(d[k], s[k]);
        }
    }
#endif
    for (; i < n; ++i) {
        uint32_t s = src[i];
        switch (Op) {
        case SpanOp::CopyOpaque:
        case SpanOp::Copy: dst[i] = s | kOpaque; break;
        case SpanOp::Over: dst[i] = Over(dst[i], s); break;
        case SpanOp::TintOver: dst[i] = Over(dst[i], t.Apply(s)); break;
        case SpanOp::Add: dst[i] = AddSaturate(dst[i], t.Apply(s)); break;
        case SpanOp::Replace: dst[i] = t.Apply(s) | kOpaque; break;
        }
    }
}

// A run of pixels under one colour (a rectangle's, premultiplied and valid: no channel above its
// alpha, so that "over" never carries out of a byte and both paths agree with Over).
template <BlendMode Blend>
void FillSpan(uint32_t* dst, int n, uint32_t s) {
    int i = 0;
#if defined(BRISEL_AVX2_PIXELS)
    if (HasAvx2()) i = FillSpan8<Blend == BlendMode::Add>(dst, n, s);
#endif
#if defined(BRISEL_SSE2_PIXELS)
    const __m128i zero = _mm_setzero_si128(), s4 = _mm_set1_epi32(int(s));
    const __m128i alphaMask = _mm_set1_epi32(int(kOpaque));
    const __m128i inv = _mm_set1_epi16(short(255 - (s >> 24)));
    for (; i + 4 <= n; i += 4) {
        __m128i* p = reinterpret_cast<__m128i*>(dst + i);
        const __m128i d = _mm_loadu_si128(p);
        if constexpr (Blend == BlendMode::Add) {
            _mm_storeu_si128(p, _mm_or_si128(_mm_adds_epu8(d, s4), alphaMask));
        } else {
            __m128i lo = Div255(_mm_mullo_epi16(_mm_unpacklo_epi8(d, zero), inv));
            __m128i hi = Div255(_mm_mullo_epi16(_mm_unpackhi_epi8(d, zero), inv));
            _mm_storeu_si128(p, _mm_add_epi8(s4, _mm_packus_epi16(lo, hi)));
        }
    }
#endif
    for (; i < n; ++i) dst[i] = Blend == BlendMode::Add ? AddSaturate(dst[i], s) : Over(dst[i], s);
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
    const double x = v * 65536.0;
    // std::llround without the library call: after the clamp |x| stays below 2^46, where the
    // truncation and the remainder are exact. (NaN keeps the library's answer.)
    if (!(std::fabs(x) < 0x1p50)) return int64_t(std::llround(x));
    int64_t r = int64_t(x);
    const double f = x - double(r);
    if (f >= 0.5)
        ++r;
    else if (f <= -0.5)
        --r;
    return r;
}

bool AllFinite(std::initializer_list<double> values) {
    for (double v : values)
        if (!std::isfinite(v)) return false;
    return true;
}

// ---- one draw: where it lands, and its rows -----------------------------------------------

// A draw mapped onto the screen: the destination rectangle, turned about its pivot, and the
// source texels its pixels read.
struct Placement {
    double sx, sy;  // the source rectangle's origin, texels
    double ku, kv;  // texels per pixel, across and down the unturned rectangle
    double dw, dh;  // destination size, pixels
    double cx, cy;  // pivot, inside the destination rectangle
    double ox, oy;  // pivot, on the screen
    double c, s;    // cosine and sine of the angle
    bool axis;      // not turned
    Window win;     // the texels it may read
};

Placement Place(const Image& image, double sx, double sy, double sw, double sh, double dx, double dy,
                double dw, double dh, double cx, double cy, double angle) {
    Placement p;
    p.sx = sx;
    p.sy = sy;
    p.win = SourceWindow(image, sx, sy, sw, sh);
    p.ku = sw / dw;
    p.kv = sh / dh;
    p.dw = dw;
    p.dh = dh;
    p.cx = cx;
    p.cy = cy;
    p.c = 1;
    p.s = 0;
    if (angle != 0) {
        p.c = portable::Cos(angle);
        p.s = portable::Sin(angle);
    }
    p.axis = (p.s == 0 && p.c == 1);
    p.ox = dx + cx;
    p.oy = dy + cy;
    return p;
}

// The pixel rows the turned rectangle covers (its bounding box), clipped to lo..hi, half-open.
void RowsCovered(const Placement& p, int lo, int hi, int& y0, int& y1) {
    double minY = std::numeric_limits<double>::infinity(), maxY = -minY;
    for (double lx : {0.0, p.dw})
        for (double ly : {0.0, p.dh}) {
            double Y = p.oy + p.s * (lx - p.cx) + p.c * (ly - p.cy);
            minY = std::min(minY, Y);
            maxY = std::max(maxY, Y);
        }
    y0 = int(std::clamp(std::ceil(minY - 0.5), double(lo), double(hi)));
    y1 = int(std::clamp(std::ceil(maxY - 0.5), double(lo), double(hi)));
}

// The part of the screen a draw writes: rows y0..y1 and columns x0..x1 (half-open).
struct Rows {
    uint32_t* pixels;  // the whole screen, kWidth a row
    int x0, x1, y0, y1;
};

// Cuts the span of n pixels from x, whose pixel i reads texel Clamp((u + i * du) >> 16) of a row,
// to those reading texels in ink (begin, end); false when none does.
bool InkSpan(std::pair<int, int> ink, const Window& win, int64_t du, int& x, int& n, int64_t& u) {
    if (ink.first <= win.u0 && ink.second > win.u1) return true;  // every texel it may read counts
    const auto texel = [&](int64_t i) { return Clamp((u + i * du) >> 16, win.u0, win.u1); };
    // The texels run one way along the span: the pixels reading inside ink are one run [a, b).
    const auto firstWhere = [&](auto pred) {  // first i in 0..n where pred holds, pred monotone
        int lo = 0, hi = n;
        while (lo < hi) {
            const int mid = lo + (hi - lo) / 2;
            if (pred(texel(mid)))
                hi = mid;
            else
                lo = mid + 1;
        }
        return lo;
    };
    int a, b;
    if (du >= 0) {
        a = firstWhere([&](int t) { return t >= ink.first; });
        b = firstWhere([&](int t) { return t >= ink.second; });
    } else {
        a = firstWhere([&](int t) { return t < ink.second; });
        b = firstWhere([&](int t) { return t < ink.first; });
    }
    if (a >= b) return false;
    x += a;
    n = b - a;
    u += a * du;
    return true;
}

// Every covered row: the span of pixels whose centres fall inside the turned rectangle, its
// texels sampled into a buffer (or read in place), then put on the screen with Op.
template <SpanOp Op>
void DrawRows(const Rows& rows, const Image& image, const Placement& p, const Tint& tint, bool linear) {
    const double c = p.c, s = p.s;
    const Window& win = p.win;
    // When the draw is not turned, every row covers the same columns, so a row that reads the
    // same texel row as the one above reuses the buffer as it is (upscaled layers repeat rows).
    uint32_t buffer[Canvas::kWidth];
    int bufferRow = -1;
    // Texels all zero leave the screen as they are under these operations (its alpha is 255):
    // a row not turned is cut to the pixels that read its texels between the first and last
    // others, which changes none of the texels the rest read.
    constexpr bool kZeroKeeps = Op == SpanOp::Over || Op == SpanOp::TintOver || Op == SpanOp::Add;
    const std::pair<int, int>* ink = kZeroKeeps && p.axis && !linear ? image.InkRows() : nullptr;
    const int64_t du = Fixed(c * p.ku), dv = Fixed(-s * p.kv);
    // Not turned (c = 1, s = 0), lxA below is the same for every row (s times anything finite
    // is zero, whose sign changes nothing after it), and so are the columns and the first
    // texel column: worked out at the first row and kept.
    bool columnsKept = false;
    int keptX0 = 0, keptX1 = 0;
    int64_t keptU = 0;
    for (int py = rows.y0; py < rows.y1; ++py) {
        const double Y = py + 0.5;
        // Local position in the unturned rectangle as a function of the screen x:
        // lx = lxA + c * X, ly = lyA - s * X.
        const double lyA = p.cy + c * (Y - p.oy) + s * p.ox;
        int x0, x1;
        int64_t u;
        if (columnsKept) {
            if (!(lyA >= 0 && lyA < p.dh)) continue;  // Solve(lyA, -s, ...) with s = 0
            x0 = keptX0;
            x1 = keptX1;
            u = keptU;
        } else {
            const double lxA = p.cx + s * (Y - p.oy) - c * p.ox;
            double loX, hiX, loY, hiY;
            if (!Solve(lxA, c, p.dw, loX, hiX) || !Solve(lyA, -s, p.dh, loY, hiY)) continue;
            const double lo = std::max(loX, loY), hi = std::min(hiX, hiY);
            if (!(lo < hi)) continue;
            x0 = int(std::clamp(std::ceil(lo - 0.5), double(rows.x0), double(rows.x1)));
            x1 = int(std::clamp(std::ceil(hi - 0.5), double(rows.x0), double(rows.x1)));
            if (x0 >= x1) {
                if (p.axis) return;  // every row the same
                continue;
            }
            u = Fixed(p.sx + (lxA + c * (x0 + 0.5)) * p.ku);
            if (p.axis) {
                columnsKept = true;
                keptX0 = x0;
                keptX1 = x1;
                keptU = u;
            }
        }
        int x = x0;
        int n = x1 - x0;
        const double X0 = x0 + 0.5;
        const int64_t v = Fixed(p.sy + (lyA - s * X0) * p.kv);
        if (ink != nullptr && !InkSpan(ink[Clamp(v >> 16, win.v0, win.v1)], win, du, x, n, u)) continue;
        const uint32_t* src = buffer;
        if (linear) {
            SampleGeneral<true>(buffer, n, image, u, v, du, dv, win);
        } else if (p.axis && du == 65536 && Inside(u >> 16, (u >> 16) + n - 1, win.u0, win.u1)) {
            // One texel per pixel: the texels are the span.
            src = image.texels.data() + size_t(Clamp(v >> 16, win.v0, win.v1)) * image.width + (u >> 16);
        } else if (p.axis) {
            const int textureRow = Clamp(v >> 16, win.v0, win.v1);
            if (textureRow != bufferRow) {
                SampleAxis(buffer, n, image.texels.data() + size_t(textureRow) * image.width, u, du, win);
                bufferRow = textureRow;
            }
        } else {
            SampleGeneral<false>(buffer, n, image, u, v, du, dv, win);
        }
        ApplySpan<Op>(rows.pixels + size_t(py) * Canvas::kWidth + x, src, n, tint);
    }
}

// The cheapest span operation that gives the blend's pixels: a texture without a translucent
// texel, drawn untinted and unfiltered, is a plain copy.
SpanOp ChooseOp(BlendMode blend, bool white, bool translucent, bool linear) {
    const bool opaqueCopy = white && !translucent && !linear;
    switch (blend) {
    case BlendMode::None: return opaqueCopy ? SpanOp::CopyOpaque : white ? SpanOp::Copy : SpanOp::Replace;
    case BlendMode::Add: return SpanOp::Add;
    case BlendMode::Alpha: return opaqueCopy ? SpanOp::CopyOpaque : white ? SpanOp::Over : SpanOp::TintOver;
    }
    return SpanOp::Over;
}

}  // namespace

Image Image::FromStraight(int width, int height, const uint32_t* pixels, int pitchPixels, bool swapRedBlue) {
    Image img;
    img.width = width;
    img.height = height;
    img.texels.resize(size_t(width) * size_t(height));
    for (int y = 0; y < height; ++y) {
        const uint32_t* src = pixels + size_t(y) * pitchPixels;
        uint32_t* dst = img.texels.data() + size_t(y) * width;
        for (int x = 0; x < width; ++x) {
            uint32_t p = src[x];
            if (swapRedBlue) p = (p & 0xFF00FF00u) | ((p >> 16) & 0xFFu) | ((p & 0xFFu) << 16);
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

const std::pair<int, int>* Image::InkRows() const {
    if (inkOf_ != texels.data() || ink_.size() != size_t(height)) {
        ink_.assign(size_t(height), {0, 0});
        for (int y = 0; y < height; ++y) {
            const uint32_t* row = texels.data() + size_t(y) * width;
            int begin = 0, end = width;
            while (begin < end && row[begin] == 0) ++begin;
            while (end > begin && row[end - 1] == 0) --end;
            ink_[size_t(y)] = {begin, end};
        }
        inkOf_ = texels.data();
    }
    return ink_.data();
}

void Image::Compose(const Image& top, int x, int y) {
    gpuId = 0;  // new texels: a texture made of the old ones no longer stands for them
    inkOf_ = nullptr;
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
    if (w < 0) {
        x += w;
        w = -w;
    }
    if (h < 0) {
        y += h;
        h = -h;
    }
    auto edge = [](double v, int limit) { return int(std::clamp(std::ceil(v - 0.5), 0.0, double(limit))); };
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

void Canvas::FillRect(double x, double y, double w, double h, double r, double g, double b, double a) {
    if (!AllFinite({x, y, w, h, r, g, b, a})) return;
    if (w < 0) {
        x += w;
        w = -w;
    }
    if (h < 0) {
        y += h;
        h = -h;
    }
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
        case BlendMode::None: std::fill(row + x0, row + x1, s | kOpaque); break;
        case BlendMode::Alpha:
            if (a8 == 255) {
                std::fill(row + x0, row + x1, s);
            } else if (a8 != 0) {
                FillSpan<BlendMode::Alpha>(row + x0, x1 - x0, s);
            }
            break;
        case BlendMode::Add: FillSpan<BlendMode::Add>(row + x0, x1 - x0, s); break;
        }
    }
}

const Image* Canvas::ScaledFor(const Image& image, double sx, double sy, double sw, double sh, int w, int h) {
    std::vector<ScaledCopy>& copies = image.scaled;
    for (ScaledCopy& c : copies) {
        if (c.sx != sx || c.sy != sy || c.sw != sw || c.sh != sh || c.width != w || c.height != h ||
            c.linear != linear_)
            continue;
        if (c.image == nullptr) {
            // Seen in an earlier frame step too: this draw repeats, worth a copy.
            if (c.lastFrame == frame_) return nullptr;
            // Keep the copies of one image within bounds: the least recently drawn go first.
            while (true) {
                double area = double(w) * h;
                ScaledCopy* oldest = nullptr;
                for (ScaledCopy& o : copies) {
                    if (o.image == nullptr) continue;
                    area += double(o.image->width) * o.image->height;
                    if (oldest == nullptr || o.lastFrame < oldest->lastFrame) oldest = &o;
                }
                if (area <= kMaxScaledAreaPerImage || oldest == nullptr) break;
                oldest->image.reset();
            }
            // Stretched taller than its source, a copy keeps one row per source row: the
            // draw from it repeats rows as it would repeat source rows, at the same speed.
            const bool sourceRows =
                !linear_ && sh > 0 && sh < h && sh == std::floor(sh) && sy == std::floor(sy);
            const int rows = sourceRows ? int(sh) : h;
            auto copy = std::make_shared<Image>();
            copy->width = w;
            copy->height = rows;
            copy->translucent = image.translucent || linear_;
            copy->texels.resize(size_t(w) * rows);
            const Window win = SourceWindow(image, sx, sy, sw, sh);
            const double ku = sw / w, kv = sh / rows;
            for (int j = 0; j < rows; ++j) {
                int64_t u = Fixed(sx + 0.5 * ku), v = Fixed(sy + (j + 0.5) * kv);
                uint32_t* row = copy->texels.data() + size_t(j) * w;
                if (linear_)
                    SampleGeneral<true>(row, w, image, u, v, Fixed(ku), 0, win);
                else
                    SampleGeneral<false>(row, w, image, u, v, Fixed(ku), 0, win);
            }
            c.image = std::move(copy);
        }
        c.lastFrame = frame_;
        return c.image.get();
    }
    // A new size: note it, and drop copies no longer drawn (or the least recent of many).
    copies.erase(std::remove_if(copies.begin(), copies.end(),
                                [&](const ScaledCopy& c) { return c.lastFrame < frame_ - kScaledLifetime; }),
                 copies.end());
    if (copies.size() >= kMaxScaledCopies) {
        auto oldest = std::min_element(
            copies.begin(), copies.end(),
            [](const ScaledCopy& x, const ScaledCopy& y) { return x.lastFrame < y.lastFrame; });
        copies.erase(oldest);
    }
    copies.push_back(ScaledCopy{sx, sy, sw, sh, w, h, linear_, frame_, nullptr});
    return nullptr;
}

void Canvas::DrawImage(const Image& image, double sx, double sy, double sw, double sh, double dx, double dy,
                       double dw, double dh, double cx, double cy, double angle, double r, double g, double b,
                       double a) {
    if (image.width <= 0 || image.height <= 0) return;
    if (!AllFinite({sx, sy, sw, sh, dx, dy, dw, dh, cx, cy, angle, r, g, b, a})) return;
    if (sw == 0 || sh == 0 || dw == 0 || dh == 0) return;
    if (blend_ != BlendMode::None && !(a > 0)) return;

    // A negative destination size is the same rectangle with the source read backwards.
    if (dw < 0) {
        dx += dw;
        cx -= dw;
        dw = -dw;
        sx += sw;
        sw = -sw;
    }
    if (dh < 0) {
        dy += dh;
        cy -= dh;
        dh = -dh;
        sy += sh;
        sh = -sh;
    }

    // A draw repeated at one size from a copy made at that size: rows become plain copies.
    // (Not stretched sideways, a draw reads its texel rows directly already.) Not for a draw
    // stretched to more than twice its source's width either: its copy would hold more than
    // twice the texels, each texel being read two or more times in a row anyway (the lake,
    // 2048 texels drawn 4400 pixels wide, kept a 9 MB copy for no gain the frame benchmark
    // could measure).
    if (angle == 0 && dw == std::floor(dw) && dh == std::floor(dh) && sw != dw && dw * dh >= kMinScaledArea &&
        dw * dh <= kMaxScaledArea && dw <= 2 * std::fabs(sw)) {
        // The upside-down draw of a source (a reflection) reads the upright copy bottom up:
        // one copy serves both.
        const bool flip = sh < 0 && !linear_;
        if (const Image* copy =
                ScaledFor(image, sx, flip ? sy + sh : sy, sw, flip ? -sh : sh, int(dw), int(dh))) {
            const double rows = copy->height;
            DrawImage(*copy, 0, flip ? rows : 0, dw, flip ? -rows : rows, dx, dy, dw, dh, 0, 0, 0, r, g, b,
                      a);
            return;
        }
    }

    const Placement p = Place(image, sx, sy, sw, sh, dx, dy, dw, dh, cx, cy, angle);
    Rows rows{pixels_.data(), clipX0_, clipX1_, 0, 0};
    RowsCovered(p, clipY0_, clipY1_, rows.y0, rows.y1);
    if (rows.y0 >= rows.y1 || clipX0_ >= clipX1_) return;

    const Tint tint{Unit256(r * a), Unit256(g * a), Unit256(b * a), Unit256(a)};
    const bool white = tint.r == 256 && tint.g == 256 && tint.b == 256 && tint.a == 256;
    const bool linear = linear_ && !(p.axis && std::fabs(p.ku) == 1 && std::fabs(p.kv) == 1);
    switch (ChooseOp(blend_, white, image.translucent, linear)) {
    case SpanOp::CopyOpaque: DrawRows<SpanOp::CopyOpaque>(rows, image, p, tint, linear); break;
    case SpanOp::Copy: DrawRows<SpanOp::Copy>(rows, image, p, tint, linear); break;
    case SpanOp::Over: DrawRows<SpanOp::Over>(rows, image, p, tint, linear); break;
    case SpanOp::TintOver: DrawRows<SpanOp::TintOver>(rows, image, p, tint, linear); break;
    case SpanOp::Add: DrawRows<SpanOp::Add>(rows, image, p, tint, linear); break;
    case SpanOp::Replace: DrawRows<SpanOp::Replace>(rows, image, p, tint, linear); break;
    }
}

}  // namespace brisel
