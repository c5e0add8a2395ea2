// The rasteriser's and the PNG reader's vector path (SSE2 on x86) against the portable one.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace brisel {
std::vector<uint32_t> DrawTestFrames();
}
namespace brisel_portable {
std::vector<uint32_t> DrawTestFrames();
}

// Guards against a build whose pictures differ by processor: every pixel of the same frames,
// drawn from the same decoded pictures, must be the same on both paths.
TEST(EnginePixels, TheVectorAndThePortablePathDrawTheSamePixels) {
    const std::vector<uint32_t> vector = brisel::DrawTestFrames(),
                                portable = brisel_portable::DrawTestFrames();
    ASSERT_FALSE(vector.empty());
    ASSERT_EQ(vector.size(), portable.size());
    size_t differ = 0, first = 0;
    for (size_t i = vector.size(); i-- > 0;)
        if (vector[i] != portable[i]) ++differ, first = i;
    EXPECT_EQ(differ, 0u) << "first at " << first << ": " << std::hex << vector[first] << " against "
                          << portable[first];
}
