// The engine's PNG reader alone: the fast path gives exactly libpng's pictures whatever the
// row filters, and a file damaged anywhere is refused before any decoding.
#include <gtest/gtest.h>
#include <libdeflate.h>
#include <png.h>

#include <cstdio>
#include <random>

#include "engine_support.hpp"
#include "png_reader.hpp"

using namespace brisel;

namespace {

// Noise (meeting every Paeth tie) in an RGBA or RGB PNG, or one of `type` and `depth`, whose rows all
// use `filter` (PNG_ALL_FILTERS: libpng's choice), written through libpng's full interface.
std::vector<uint8_t> PngWithFilter(int w, int h, int filter, bool alpha, int type = -1, int depth = 8,
                                   bool interlaced = false) {
    char path[] = "/tmp/brisel-png-XXXXXX";
    int fd = mkstemp(path);
    FILE* f = fdopen(fd, "wb");
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    png_init_io(png, f);
    if (type < 0) type = alpha ? PNG_COLOR_TYPE_RGBA : PNG_COLOR_TYPE_RGB;
    png_set_IHDR(png, info, png_uint_32(w), png_uint_32(h), depth, type, interlaced, 0, 0);
    png_set_filter(png, PNG_FILTER_TYPE_BASE, filter);
    std::mt19937 rng(uint32_t(filter * 1000 + type * 100 + depth * 2 + interlaced));
    std::vector<png_color> palette(256);
    for (png_color& c : palette) c = {uint8_t(rng()), uint8_t(rng()), uint8_t(rng())};
    if (type == PNG_COLOR_TYPE_PALETTE) png_set_PLTE(png, info, palette.data(), 1 << depth);
    png_write_info(png, info);
    std::vector<uint8_t> pixels(png_get_rowbytes(png, info) * h);
    std::vector<png_bytep> rows;
    for (uint8_t& b : pixels) b = uint8_t(rng());
    for (int y = 0; y < h; ++y) rows.push_back(&pixels[png_get_rowbytes(png, info) * y]);
    png_write_image(png, rows.data());  // every pass of an interlaced picture
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    std::fclose(f);
    std::string bytes = engine_test::ReadText(path);
    std::remove(path);
    return std::vector<uint8_t>(bytes.begin(), bytes.end());
}

// Offset of the first chunk of this type.
size_t ChunkAt(const std::vector<uint8_t>& png, const char* type) {
    for (size_t pos = 8; pos + 12 <= png.size();) {
        const uint32_t length = uint32_t(png[pos]) << 24 | uint32_t(png[pos + 1]) << 16 |
                                uint32_t(png[pos + 2]) << 8 | png[pos + 3];
        if (std::memcmp(&png[pos + 4], type, 4) == 0) return pos;
        pos += length + 12;
    }
    return 0;
}

}  // namespace

// Guards against the fast path drawing a picture that differs from libpng's by one texel.
// Taken wrong (a row filter, a Paeth tie, in the scalar or the four-byte code), or taken when it
// should not be (another depth or colour type, an interlaced one).
TEST(EnginePng, FastPathDecodesEveryRowFilterColourTypeDepthAndInterlacingExactlyAsLibpng) {
    for (int kind = 0; kind < 50; ++kind)  // colour type by depth, interlaced or not
        for (int filter : {PNG_FILTER_NONE, PNG_FILTER_SUB, PNG_FILTER_UP, PNG_FILTER_AVG, PNG_FILTER_PAETH,
                           PNG_ALL_FILTERS}) {
            const int type = std::vector{0, 3, 2, 4, 6}[kind / 10], depth = 1 << kind / 2 % 5;
            if (type != PNG_COLOR_TYPE_GRAY && depth != 8 &&
                (type == PNG_COLOR_TYPE_PALETTE) == (depth == 16))
                continue;  // no such PNG
            SCOPED_TRACE("type " + std::to_string(type) + " depth " + std::to_string(depth) + " filter " +
                         std::to_string(filter) + (kind % 2 ? " interlaced" : ""));
            const std::vector<uint8_t> file = PngWithFilter(67, 41, filter, false, type, depth, kind % 2);
            PngInfo info;
            std::string error;
            ASSERT_TRUE(CheckPng(file.data(), file.size(), info, error)) << error;
            EXPECT_EQ(info.width, 67u);
            Image fast, reference;
            ASSERT_TRUE(DecodePng(file.data(), file.size(), info, fast, error)) << error;
            ASSERT_TRUE(DecodePngWithLibpng(file.data(), file.size(), reference, error)) << error;
            EXPECT_EQ(fast.width, reference.width);
            EXPECT_EQ(fast.height, reference.height);
            EXPECT_EQ(fast.translucent, reference.translucent);
            ASSERT_EQ(fast.texels.size(), reference.texels.size());
            for (size_t i = 0; i < fast.texels.size(); ++i)
                ASSERT_EQ(fast.texels[i], reference.texels[i]) << i;
        }
}

// Guards against a damaged file being taken at load and only failing (or drawing garbage)
// later, on another thread.
TEST(EnginePng, DamageAnywhereInTheFileIsFoundBeforeDecoding) {
    const std::vector<uint8_t> good = PngWithFilter(32, 32, PNG_ALL_FILTERS, true);
    PngInfo info;
    std::string error;
    ASSERT_TRUE(CheckPng(good.data(), good.size(), info, error));

    std::vector<uint8_t> flipped = good;
    flipped[ChunkAt(good, "IDAT") + 20] ^= 0x10;
    EXPECT_FALSE(CheckPng(flipped.data(), flipped.size(), info, error));
    EXPECT_NE(error.find("checksum of its IDAT"), std::string::npos) << error;

    std::vector<uint8_t> cut(good.begin(), good.begin() + long(good.size() - 20));
    EXPECT_FALSE(CheckPng(cut.data(), cut.size(), info, error));
    EXPECT_NE(error.find("cut short"), std::string::npos) << error;

    std::vector<uint8_t> noEnd(good.begin(), good.begin() + long(ChunkAt(good, "IEND")));
    EXPECT_FALSE(CheckPng(noEnd.data(), noEnd.size(), info, error));

    std::vector<uint8_t> tail = good;
    tail.insert(tail.end(), {1, 2, 3});
    EXPECT_FALSE(CheckPng(tail.data(), tail.size(), info, error));

    EXPECT_FALSE(CheckPng(good.data() + 1, good.size() - 1, info, error));
    EXPECT_EQ(error, "not a PNG image");
}

// Guards against image data that is garbage behind correct checksums crashing the decoder.
TEST(EnginePng, ImageDataThatDoesNotInflateFailsCleanly) {
    std::vector<uint8_t> png = PngWithFilter(16, 16, PNG_FILTER_NONE, true);
    const size_t at = ChunkAt(png, "IDAT");
    const uint32_t length =
        uint32_t(png[at]) << 24 | uint32_t(png[at + 1]) << 16 | uint32_t(png[at + 2]) << 8 | png[at + 3];
    for (uint32_t i = 2; i < length; ++i) png[at + 8 + i] = uint8_t(i * 37);
    const uint32_t crc = uint32_t(libdeflate_crc32(0, &png[at + 4], length + 4));
    for (int k = 0; k < 4; ++k) png[at + 8 + length + size_t(k)] = uint8_t(crc >> (24 - 8 * k));
    PngInfo info;
    std::string error;
    ASSERT_TRUE(CheckPng(png.data(), png.size(), info, error)) << error;
    Image out;
    EXPECT_FALSE(DecodePng(png.data(), png.size(), info, out, error));
    EXPECT_NE(error.find("corrupt PNG image"), std::string::npos) << error;
}

// Guards against a picture stored smaller or finer than its texture being taken at its stored
// size (every draw of it would then read the wrong texels), and against a damaged size being
// believed.
TEST(EnginePng, TheTextureSizeChunkIsReadAndAnImplausibleOneRefused) {
    const std::vector<uint8_t> plain = PngWithFilter(20, 10, PNG_FILTER_NONE, true);
    const std::string bytes(plain.begin(), plain.end());
    const size_t afterHeader = 33, beforeEnd = ChunkAt(plain, "IEND");
    auto check = [](const std::string& file, PngInfo& info, std::string& error) {
        return CheckPng(reinterpret_cast<const uint8_t*>(file.data()), file.size(), info, error);
    };
    PngInfo info;
    std::string error;
    ASSERT_TRUE(check(bytes, info, error)) << error;
    EXPECT_EQ(info.texWidth, 20u);
    EXPECT_EQ(info.texHeight, 10u);
    ASSERT_TRUE(check(engine_test::WithChunk(bytes, afterHeader, "vqSz", engine_test::TextureSize(80, 40)),
                      info, error))
        << error;
    EXPECT_EQ(info.width, 20u);
    EXPECT_EQ(info.texWidth, 80u);
    EXPECT_EQ(info.texHeight, 40u);
    ASSERT_TRUE(check(bytes, info, error));  // nothing of the last file stays behind
    EXPECT_EQ(info.texWidth, 20u);
    // A picture drawn twice as fine for large windows stands for the texture at half its size.
    ASSERT_TRUE(check(engine_test::WithChunk(bytes, afterHeader, "vqSz", engine_test::TextureSize(10, 5)),
                      info, error))
        << error;
    EXPECT_EQ(info.texWidth, 10u);

    const struct {
        std::string file;
        const char* why;
    } bad[] = {
        {engine_test::WithChunk(bytes, afterHeader, "vqSz", "\x01\x02\x03\x04"), "four bytes"},
        {engine_test::WithChunk(bytes, afterHeader, "vqSz", engine_test::TextureSize(0, 40)), "no width"},
        {engine_test::WithChunk(bytes, afterHeader, "vqSz", engine_test::TextureSize(9, 10)),
         "more than twice as fine"},
        {engine_test::WithChunk(bytes, afterHeader, "vqSz", engine_test::TextureSize(20, 161)), "17 times"},
        {engine_test::WithChunk(bytes, beforeEnd, "vqSz", engine_test::TextureSize(40, 20)),
         "after the data"},
        {engine_test::WithChunk(
             engine_test::WithChunk(bytes, afterHeader, "vqSz", engine_test::TextureSize(40, 20)),
             afterHeader, "vqSz", engine_test::TextureSize(40, 20)),
         "twice"},
    };
    for (const auto& b : bad) {
        EXPECT_FALSE(check(b.file, info, error)) << b.why;
        EXPECT_EQ(error.rfind("corrupt PNG image", 0), 0u) << b.why << ": " << error;
    }
}
