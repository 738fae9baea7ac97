#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <vector>

#include "finder/WindowTable.h"

namespace fim {
namespace {

TEST(WindowTable, BlackmanOverWholeCaptureMatchesShiftedReference) {
    WindowTable t;
    ASSERT_TRUE(t.MakeWindow(4096, 4096, 4));
    for (std::size_t k = 0; k < 4096; ++k) {
        // Entry k holds sample i = k + 1 centred on W/2: the periodic Blackman taper shifted by
        // one.
        const double a = 2.0 * std::numbers::pi * static_cast<double>(k + 1) / 4096.0;
        ASSERT_NEAR(t.Weight(k), 0.42 - 0.5 * std::cos(a) + 0.08 * std::cos(2.0 * a), 1e-15) << k;
    }
    EXPECT_DOUBLE_EQ(t.Weight(2047), 1.0);
    // Last entry of an even width: 0 for Hann, 0.08 for Hamming; the ramp falls from under 2.
    ASSERT_TRUE(t.MakeWindow(64, 64, 2));
    EXPECT_NEAR(t.Weight(63), 0.0, 1e-15);
    ASSERT_TRUE(t.MakeWindow(64, 64, 3));
    EXPECT_NEAR(t.Weight(63), 0.08, 1e-15);
    ASSERT_TRUE(t.MakeWindow(64, 64, 1));
    EXPECT_DOUBLE_EQ(t.Weight(0), 1.0 - 2.0 * (1 - 32) / 64.0);
    EXPECT_DOUBLE_EQ(t.Weight(63), 0.0);
}

TEST(WindowTable, ShorterWindowClearsTailAndApplyStopsAtLength) {
    WindowTable t;
    ASSERT_TRUE(t.MakeWindow(4096, 4096, 4));
    ASSERT_TRUE(t.MakeWindow(100, 128, 0));
    EXPECT_FALSE(t.MakeWindow(8, 8, 5));  // unknown type: table unchanged
    EXPECT_EQ(t.Length(), 128);
    std::vector<int32_t> src(200, 7);
    std::vector<double> dst(200, -1.0);
    ASSERT_TRUE(t.ApplyWindow(src, dst));
    for (std::size_t k = 0; k < 100; ++k) ASSERT_EQ(dst[k], 7.0) << k;
    for (std::size_t k = 100; k < 128; ++k) ASSERT_EQ(dst[k], 0.0) << k;
    EXPECT_EQ(dst[128], -1.0);  // past the length: not written
    std::vector<double> shortDst(127, -1.0);
    EXPECT_FALSE(t.ApplyWindowReal(std::vector<double>(128, 1.0), shortDst));
    EXPECT_EQ(shortDst[0], -1.0);
}

}  // namespace
}  // namespace fim
