// The rasteriser's and the PNG reader's vector path (SSE2 on x86) against the portable one, and
// both against the pictures they must draw.
#include <gtest/gtest.h>
#include <png.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <vector>

namespace brisel {
std::vector<std::vector<uint32_t>> DrawTestFrames();
}
namespace brisel_portable {
std::vector<std::vector<uint32_t>> DrawTestFrames();
}
namespace brisel_sse2 {  // x86 without its eight-pixel steps
std::vector<std::vector<uint32_t>> DrawTestFrames();
}

namespace {

uint64_t Digest(const std::vector<uint32_t>& pixels) {  // FNV-1a over the bytes
    uint64_t h = 14695981039346656037ull;
    for (uint32_t p : pixels)
        for (int k = 0; k < 32; k += 8) h = (h ^ ((p >> k) & 255)) * 1099511628211ull;
    return h;
}

// The frame as a PNG beside the test for a person to look at, written whole or not at all.
std::string WritePicture(const std::vector<uint32_t>& pixels, size_t index) {
    const std::string name = "engine_pixels_frame" + std::to_string(index) + ".png";
    png_image png{};
    png.version = PNG_IMAGE_VERSION;
    png.width = 1600;
    png.height = uint32_t(pixels.size() / 1600);
    png.format = PNG_FORMAT_BGRA;  // 0xAARRGGBB in memory on a little-endian machine
    if (!png_image_write_to_file(&png, (name + ".part").c_str(), 0, pixels.data(), 0, nullptr))
        return "no file";
    std::filesystem::rename(name + ".part", name);
    return std::filesystem::absolute(name).string();
}

}  // namespace

// Guards against a build whose pictures differ by processor, and against a change to the
// rasteriser that alters what a player sees on every path alike: each frame (the decoded
// picture first) must be the same on every path and have the digest of its reference.
TEST(EnginePixels, EveryPathDrawsThePixelsOfTheReferenceFrames) {
    const uint64_t reference[] = {0x54a507f6f446fafb, 0x506ce0da814be3c9, 0x53fce8a9eb09ff85,
                                  0xde54215908a8e1d1, 0xe9a681eabbc8741a, 0x643a6da71623dff9};
    const auto vector = brisel::DrawTestFrames();
    ASSERT_EQ(vector.size(), std::size(reference));
    for (const auto& other : {brisel_portable::DrawTestFrames(), brisel_sse2::DrawTestFrames()}) {
        ASSERT_EQ(other.size(), vector.size());
        for (size_t f = 0; f < vector.size(); ++f) {
            size_t differ = 0, first = 0;
            for (size_t i = vector[f].size(); i-- > 0;)
                if (vector[f][i] != other[f][i]) ++differ, first = i;
            EXPECT_EQ(differ, 0u) << "frame " << f << ", first at " << first << ": " << std::hex
                                  << vector[f][first] << " against " << other[f][first];
        }
    }
    for (size_t f = 0; f < vector.size(); ++f) {
        const uint64_t digest = Digest(vector[f]);
        EXPECT_EQ(digest, reference[f])
            << "frame " << f << " differs from its reference (digest 0x" << std::hex << digest
            << "); it is in " << (f > 0 ? WritePicture(vector[f], f) : "the decoded picture");
    }
}
