// The rasteriser's and the PNG reader's vector path (SSE2 on x86) against the portable one.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <vector>

namespace brisel {
std::vector<std::vector<uint32_t>> DrawTestFrames();
bool WriteRgbPng(const std::string& path, const uint32_t* pixels, int width, int height, std::string& why);
}  // namespace brisel
namespace brisel_portable {
std::vector<std::vector<uint32_t>> DrawTestFrames();
}
namespace brisel_sse2 {  // x86 without its eight-pixel steps
std::vector<std::vector<uint32_t>> DrawTestFrames();
}

static uint64_t Digest(const std::vector<uint32_t>& pixels) {  // FNV-1a over the bytes
    uint64_t h = 14695981039346656037ull;
    for (uint32_t p : pixels)
        for (int k = 0; k < 32; k += 8) h = (h ^ ((p >> k) & 255)) * 1099511628211ull;
    return h;
}

static std::string WritePicture(const std::vector<uint32_t>& pixels, size_t index) {  // to look at
    const std::string name = "engine_pixels_frame" + std::to_string(index) + ".png";
    std::string why;
    if (!brisel::WriteRgbPng(name, pixels.data(), 1600, int(pixels.size() / 1600), why)) return why;
    return std::filesystem::absolute(name).string();
}

// Guards against pictures that differ by processor, or that a change alters on every path alike:
// each frame (the decoded picture first) is the same on every path, with its reference's digest.
TEST(EnginePixels, EveryPathDrawsThePixelsOfTheReferenceFrames) {
    const uint64_t reference[] = {0x54a507f6f446fafb, 0x506ce0da814be3c9, 0x53fce8a9eb09ff85,
                                  0xde54215908a8e1d1, 0xe9a681eabbc8741a, 0xe91a66683a06527b};
    const auto vector = brisel::DrawTestFrames(), portable = brisel_portable::DrawTestFrames(),
               sse2 = brisel_sse2::DrawTestFrames();
    ASSERT_TRUE(vector.size() == std::size(reference) && portable.size() == sse2.size() &&
                sse2.size() == vector.size());
    for (size_t f = 0; f < vector.size(); ++f) {
        for (const auto* other : {&portable[f], &sse2[f]}) {
            size_t differ = 0, first = 0;
            for (size_t i = vector[f].size(); i-- > 0;)
                if (vector[f][i] != (*other)[i]) ++differ, first = i;
            EXPECT_EQ(differ, 0u) << "frame " << f << ", first at " << first << ": " << std::hex
                                  << vector[f][first] << " against " << (*other)[first];
        }
        const uint64_t digest = Digest(vector[f]);
        EXPECT_EQ(digest, reference[f])
            << "frame " << f << " differs from its reference (digest 0x" << std::hex << digest
            << "); it is in " << (f > 0 ? WritePicture(vector[f], f) : "the decoded picture");
    }
}
