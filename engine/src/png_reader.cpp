// png_reader.cpp -- checking a PNG file whole, and decoding it fast.
//
// The fast path inflates the image data in one call (libdeflate, about three times zlib's
// speed) straight into the texel buffer, then walks the rows once: each is unfiltered into a
// small row buffer and written back as premultiplied texels over its own filtered bytes
// (which it no longer needs). So the decoded picture is the only large allocation.
#include "png_reader.hpp"

// The filters and the conversion of four-byte pixels go in SSE2 on x86; elsewhere (or with
// BRISEL_PORTABLE_PIXELS) the byte-by-byte code below does them, with the same results: both
// are exact integer arithmetic.
#if defined(__SSE2__) && !defined(BRISEL_PORTABLE_PIXELS)
#include <emmintrin.h>
#define BRISEL_SSE2_PIXELS 1
#endif
#include <libdeflate.h>
#include <png.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

namespace brisel {

namespace {

// No picture the game draws comes near this; a header claiming more is a damaged file (or a
// decompression bomb), refused before anything is allocated for it.
constexpr uint32_t kMaxSide = 16384;

uint32_t Be32(const uint8_t* p) {
    return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
}

const uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};

// Calls fn(type, body, length) for every chunk of a file CheckPng accepted.
template <class Fn>
void ForEachChunk(const uint8_t* data, size_t size, Fn fn) {
    size_t pos = 8;
    while (pos + 12 <= size) {
        const uint32_t length = Be32(data + pos);
        fn(data + pos + 4, data + pos + 8, length);
        pos += size_t(length) + 12;
    }
}

// x * a / 255, rounded, exactly as the canvas premultiplies (Image::FromStraight).
inline uint32_t Mul255(uint32_t x, uint32_t a) {
    uint32_t t = x * a + 128;
    return (t + (t >> 8)) >> 8;
}

inline uint8_t Paeth(int a, int b, int c) {
    const int p = a + b - c;
    const int pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
    if (pa <= pb && pa <= pc) return uint8_t(a);
    return pb <= pc ? uint8_t(b) : uint8_t(c);
}

#if defined(BRISEL_SSE2_PIXELS)
inline __m128i Load4(const uint8_t* p) {
    uint32_t v;
    std::memcpy(&v, p, 4);
    return _mm_unpacklo_epi8(_mm_cvtsi32_si128(int(v)), _mm_setzero_si128());
}

inline void Store4(uint8_t* p, __m128i v) {
    const uint32_t out = uint32_t(_mm_cvtsi128_si32(_mm_packus_epi16(v, v)));
    std::memcpy(p, &out, 4);
}

inline __m128i Abs16(__m128i x) { return _mm_max_epi16(x, _mm_sub_epi16(_mm_setzero_si128(), x)); }

inline __m128i Select(__m128i mask, __m128i yes, __m128i no) {
    return _mm_or_si128(_mm_and_si128(mask, yes), _mm_andnot_si128(mask, no));
}

// Four-byte pixels: the filters that depend on the pixel to the left go a whole pixel at a
// time, its four bytes in the lanes of one register.
void UnfilterPixels(int filter, const uint8_t* in, const uint8_t* prior, uint8_t* out, size_t n) {
    __m128i a = _mm_setzero_si128(), c = _mm_setzero_si128();
    for (size_t i = 0; i < n; i += 4) {
        const __m128i x = Load4(in + i), b = Load4(prior + i);
        __m128i predicted;
        if (filter == 1) {
            predicted = a;
        } else if (filter == 3) {
            predicted = _mm_srli_epi16(_mm_add_epi16(a, b), 1);
        } else {
            // Paeth: the neighbour (left, up, up-left) nearest to left + up - up-left, ties
            // going in that order.
            __m128i pa = _mm_sub_epi16(b, c), pb = _mm_sub_epi16(a, c);
            __m128i pc = Abs16(_mm_add_epi16(pa, pb));
            pa = Abs16(pa);
            pb = Abs16(pb);
            const __m128i smallest = _mm_min_epi16(pc, _mm_min_epi16(pa, pb));
            predicted = Select(_mm_cmpeq_epi16(smallest, pa), a, Select(_mm_cmpeq_epi16(smallest, pb), b, c));
        }
        a = _mm_and_si128(_mm_add_epi16(x, predicted), _mm_set1_epi16(0xFF));
        Store4(out + i, a);
        c = b;
    }
}

#endif

// Undoes one row's filter: filtered -> raw, with prior the raw row above (zeros for the first).
bool Unfilter(int filter, const uint8_t* in, const uint8_t* prior, uint8_t* out, size_t n, int bpp) {
#if defined(BRISEL_SSE2_PIXELS)
    if (bpp == 4 && (filter == 1 || filter == 3 || filter == 4)) {
        UnfilterPixels(filter, in, prior, out, n);
        return true;
    }
#endif
    switch (filter) {
    case 0: std::memcpy(out, in, n); return true;
    case 1:
        for (size_t i = 0; i < n; ++i) out[i] = uint8_t(in[i] + (i >= size_t(bpp) ? out[i - bpp] : 0));
        return true;
    case 2:
        for (size_t i = 0; i < n; ++i) out[i] = uint8_t(in[i] + prior[i]);
        return true;
    case 3:
        for (size_t i = 0; i < n; ++i)
            out[i] = uint8_t(in[i] + ((int(i >= size_t(bpp) ? out[i - bpp] : 0) + prior[i]) >> 1));
        return true;
    case 4:
        for (size_t i = 0; i < size_t(bpp) && i < n; ++i) out[i] = uint8_t(in[i] + prior[i]);
        for (size_t i = bpp; i < n; ++i)
            out[i] = uint8_t(in[i] + Paeth(out[i - bpp], prior[i], prior[i - bpp]));
        return true;
    default: return false;
    }
}

#if defined(BRISEL_SSE2_PIXELS)
// Four R, G, B, A pixels as premultiplied 0xAARRGGBB texels. One formula serves every alpha:
// each colour times alpha / 255 rounded, the alpha times 255 / 255, which for an opaque pixel
// leaves every byte as it is.
inline __m128i Premultiply2(__m128i px) {  // two pixels in 16-bit lanes R, G, B, A
    const __m128i swapped =
        _mm_shufflehi_epi16(_mm_shufflelo_epi16(px, _MM_SHUFFLE(3, 0, 1, 2)), _MM_SHUFFLE(3, 0, 1, 2));
    __m128i alpha =
        _mm_shufflehi_epi16(_mm_shufflelo_epi16(px, _MM_SHUFFLE(3, 3, 3, 3)), _MM_SHUFFLE(3, 3, 3, 3));
    const __m128i alphaLane = _mm_set_epi16(-1, 0, 0, 0, -1, 0, 0, 0);
    alpha = Select(alphaLane, _mm_set1_epi16(255), alpha);
    __m128i t = _mm_add_epi16(_mm_mullo_epi16(swapped, alpha), _mm_set1_epi16(128));
    return _mm_srli_epi16(_mm_add_epi16(t, _mm_srli_epi16(t, 8)), 8);
}

#endif

// One raw row of R, G, B(, A) bytes as premultiplied 0xAARRGGBB texels; false if any is not opaque.
bool ConvertRow(const uint8_t* raw, uint32_t* dst, uint32_t width, int bpp) {
    bool opaque = true;
    if (bpp == 3) {
        for (uint32_t x = 0; x < width; ++x, raw += 3)
            dst[x] = 0xFF000000u | uint32_t(raw[0]) << 16 | uint32_t(raw[1]) << 8 | raw[2];
        return true;
    }
    uint32_t x = 0;
#if defined(BRISEL_SSE2_PIXELS)
    const __m128i zero = _mm_setzero_si128(), opaqueAlpha = _mm_set1_epi32(int(0xFF000000u));
    for (; x + 4 <= width; x += 4, raw += 16) {
        const __m128i px = _mm_loadu_si128(reinterpret_cast<const __m128i*>(raw));
        const __m128i out = _mm_packus_epi16(Premultiply2(_mm_unpacklo_epi8(px, zero)),
                                             Premultiply2(_mm_unpackhi_epi8(px, zero)));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + x), out);
        const __m128i alphas = _mm_and_si128(out, opaqueAlpha);
        opaque &= _mm_movemask_epi8(_mm_cmpeq_epi32(alphas, opaqueAlpha)) == 0xFFFF;
    }
#endif
    for (; x < width; ++x, raw += 4) {
        const uint32_t a = raw[3];
        if (a == 255) {
            dst[x] = 0xFF000000u | uint32_t(raw[0]) << 16 | uint32_t(raw[1]) << 8 | raw[2];
        } else {
            opaque = false;
            dst[x] = a << 24 | Mul255(raw[0], a) << 16 | Mul255(raw[1], a) << 8 | Mul255(raw[2], a);
        }
    }
    return opaque;
}

struct Decompressor {
    libdeflate_decompressor* d = libdeflate_alloc_decompressor();
    ~Decompressor() {
        if (d != nullptr) libdeflate_free_decompressor(d);
    }
};

}  // namespace

bool CheckPng(const uint8_t* data, size_t size, PngInfo& info, std::string& error) {
    if (size < 8 || std::memcmp(data, kSignature, 8) != 0) {
        error = "not a PNG image";
        return false;
    }
    size_t pos = 8;
    bool header = false, imageData = false, end = false;
    info.texWidth = info.texHeight = 0;
    while (pos < size) {
        if (end) {
            error = "corrupt PNG image (data after its end)";
            return false;
        }
        if (pos + 12 > size) {
            error = "the PNG image is cut short";
            return false;
        }
        const uint32_t length = Be32(data + pos);
        if (length > 0x7FFFFFFFu || size_t(length) + 12 > size - pos) {
            error = "the PNG image is cut short";
            return false;
        }
        const uint8_t* type = data + pos + 4;
        const uint32_t crc = uint32_t(libdeflate_crc32(0, type, size_t(length) + 4));
        if (crc != Be32(data + pos + 8 + length)) {
            error = "corrupt PNG image (the checksum of its " +
                    std::string(reinterpret_cast<const char*>(type), 4) + " chunk is wrong)";
            return false;
        }
        if (!header) {
            if (std::memcmp(type, "IHDR", 4) != 0 || length != 13) {
                error = "corrupt PNG image (no header)";
                return false;
            }
            const uint8_t* h = data + pos + 8;
            info.width = Be32(h);
            info.height = Be32(h + 4);
            info.bitDepth = h[8];
            info.colourType = h[9];
            info.interlace = h[12];
            header = true;
        } else if (std::memcmp(type, "vqSz", 4) == 0) {
            if (length != 8 || imageData || info.texWidth != 0) {
                error = "corrupt PNG image (its texture size chunk is damaged)";
                return false;
            }
            info.texWidth = Be32(data + pos + 8);
            info.texHeight = Be32(data + pos + 12);
            if (info.texWidth == 0 || info.texHeight == 0) {
                error = "corrupt PNG image (its texture size chunk is damaged)";
                return false;
            }
        } else if (std::memcmp(type, "IDAT", 4) == 0) {
            imageData = true;
        } else if (std::memcmp(type, "IEND", 4) == 0) {
            end = true;
        }
        pos += size_t(length) + 12;
    }
    if (!end || !imageData) {
        error = !imageData ? "corrupt PNG image (no image data)" : "the PNG image is cut short (no end)";
        return false;
    }
    if (info.width == 0 || info.height == 0) {
        error = "corrupt PNG image (it has no pixels)";
        return false;
    }
    if (info.width > kMaxSide || info.height > kMaxSide) {
        error = "the image is " + std::to_string(info.width) + " x " + std::to_string(info.height) +
                " pixels, more than " + std::to_string(kMaxSide) + " a side";
        return false;
    }
    if (info.texWidth == 0) {
        info.texWidth = info.width;
        info.texHeight = info.height;
    } else if (2 * uint64_t(info.texWidth) < info.width || 2 * uint64_t(info.texHeight) < info.height ||
               info.texWidth > 16 * info.width || info.texHeight > 16 * info.height) {
        error = "corrupt PNG image (it stands for a texture of " + std::to_string(info.texWidth) + " x " +
                std::to_string(info.texHeight) + " from a picture of " + std::to_string(info.width) + " x " +
                std::to_string(info.height) + ")";
        return false;
    }
    return true;
}

bool DecodePngWithLibpng(const uint8_t* data, size_t size, Image& out, std::string& error) {
    png_image png{};
    png.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_memory(&png, data, size)) {
        error = std::string("corrupt PNG image (") + png.message + ")";
        return false;
    }
    if (png.width == 0 || png.height == 0 || png.width > kMaxSide || png.height > kMaxSide) {
        png_image_free(&png);
        error = "corrupt PNG image (bad size)";
        return false;
    }
    png.format = PNG_FORMAT_RGBA;  // straight alpha, R, G, B, A bytes
    // A 16-bit file without gamma information is taken as sRGB, like an 8-bit one (libpng
    // would otherwise take it as linear and brighten it), so 16 bits look as 8 bits do.
    png.flags |= PNG_IMAGE_FLAG_16BIT_sRGB;
    // Decoded straight into the texels, then premultiplied where it lies: no second copy.
    Image img;
    img.width = int(png.width);
    img.height = int(png.height);
    img.texels.resize(size_t(png.width) * png.height);
    if (!png_image_finish_read(&png, nullptr, img.texels.data(), 0, nullptr)) {
        error = std::string("corrupt or truncated PNG image (") + png.message + ")";
        return false;
    }
    bool opaque = true;
    for (uint32_t& t : img.texels) {
        uint8_t rgba[4];
        std::memcpy(rgba, &t, 4);
        opaque &= ConvertRow(rgba, &t, 1, 4);
    }
    img.translucent = !opaque;
    out = std::move(img);
    return true;
}

bool DecodePng(const uint8_t* data, size_t size, const PngInfo& info, Image& out, std::string& error) {
    const bool fast =
        info.bitDepth == 8 && (info.colourType == 6 || info.colourType == 2) && info.interlace == 0;
    if (!fast) return DecodePngWithLibpng(data, size, out, error);

    const int bpp = info.colourType == 6 ? 4 : 3;
    const size_t w = info.width, h = info.height, rowBytes = w * bpp;
    const size_t filtered = h * (rowBytes + 1);

    std::vector<uint8_t> stream;
    ForEachChunk(data, size, [&](const uint8_t* type, const uint8_t* body, uint32_t length) {
        if (std::memcmp(type, "IDAT", 4) == 0) stream.insert(stream.end(), body, body + length);
    });

    Image img;
    img.width = int(w);
    img.height = int(h);
    // RGBA rows inflate straight into the texel buffer (a few bytes larger than the filtered
    // data); RGB rows are shorter than their texels, so they get a buffer of their own.
    std::vector<uint8_t> separate;
    uint8_t* in = nullptr;
    if (bpp == 4) {
        img.texels.resize(w * h + (h + 3) / 4);
        in = reinterpret_cast<uint8_t*>(img.texels.data());
    } else {
        separate.resize(filtered);
        in = separate.data();
        img.texels.resize(w * h);
    }
    Decompressor z;
    if (z.d == nullptr) {
        error = "out of memory";
        return false;
    }
    size_t got = 0;
    const libdeflate_result r =
        libdeflate_zlib_decompress(z.d, stream.data(), stream.size(), in, filtered, &got);
    if (r != LIBDEFLATE_SUCCESS || got != filtered) {
        error = r == LIBDEFLATE_INSUFFICIENT_SPACE ? "corrupt PNG image (more image data than its size)"
                : r == LIBDEFLATE_SUCCESS          ? "the PNG image's data is cut short"
                                                   : "corrupt PNG image (its image data does not inflate)";
        return false;
    }
    stream = {};
    std::vector<uint8_t> prior(rowBytes, 0), raw(rowBytes);
    bool opaque = true;
    for (size_t y = 0; y < h; ++y) {
        const uint8_t* row = in + y * (rowBytes + 1);
        if (!Unfilter(row[0], row + 1, prior.data(), raw.data(), rowBytes, bpp)) {
            error = "corrupt PNG image (unknown row filter " + std::to_string(row[0]) + ")";
            return false;
        }
        // Texel row y starts y + 1 bytes before filtered row y: writing it only overwrites
        // filtered bytes already read into `raw`.
        opaque &= ConvertRow(raw.data(), img.texels.data() + y * w, uint32_t(w), bpp);
        prior.swap(raw);
    }
    img.texels.resize(w * h);
    img.translucent = !opaque;
    out = std::move(img);
    return true;
}

bool WriteRgbPng(const std::string& path, const uint32_t* pixels, int width, int height, std::string& why) {
    const std::string part = path + ".part";
    std::vector<uint8_t> rgb(size_t(width) * size_t(height) * 3);
    for (size_t i = 0; i < size_t(width) * size_t(height); ++i) {
        rgb[3 * i] = uint8_t(pixels[i] >> 16);
        rgb[3 * i + 1] = uint8_t(pixels[i] >> 8);
        rgb[3 * i + 2] = uint8_t(pixels[i]);
    }
    png_image png{};
    png.version = PNG_IMAGE_VERSION;
    png.width = uint32_t(width);
    png.height = uint32_t(height);
    png.format = PNG_FORMAT_RGB;
    if (png_image_write_to_file(&png, part.c_str(), 0, rgb.data(), 0, nullptr) &&
        std::rename(part.c_str(), path.c_str()) == 0)
        return true;
    why = png.message[0] != '\0' ? png.message : std::strerror(errno);
    std::remove(part.c_str());
    return false;
}

}  // namespace brisel
