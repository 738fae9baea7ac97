#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <vector>

#include "finder/WindowTable.h"

namespace fim {
namespace {

constexpr double kPi = std::numbers::pi;

TEST(WindowTable, BlackmanOverWholeCaptureMatchesShiftedReference) {
    WindowTable t;
    ASSERT_TRUE(t.MakeWindow(4096, 4096, 4));
    EXPECT_EQ(t.Length(), 4096);
    std::size_t maxAt = 0;
    for (std::size_t k = 0; k < 4096; ++k) {
        // Entry k holds sample i = k + 1, centred on W/2: the periodic Blackman taper shifted
        // by one sample.
        const double a = 2.0 * kPi * static_cast<double>(k + 1) / 4096.0;
        const double ref = 0.42 - 0.5 * std::cos(a) + 0.08 * std::cos(2.0 * a);
        ASSERT_NEAR(t.Weight(k), ref, 1e-15) << k;
        if (t.Weight(k) > t.Weight(maxAt)) maxAt = k;
    }
    EXPECT_EQ(maxAt, 2047u);
    EXPECT_DOUBLE_EQ(t.Weight(2047), 1.0);
    EXPECT_NEAR(t.Weight(4095), 0.0, 1e-15);
}

TEST(WindowTable, LastEntryOfEvenWidthPerType) {
    WindowTable t;
    ASSERT_TRUE(t.MakeWindow(64, 64, 2));
    EXPECT_NEAR(t.Weight(63), 0.0, 1e-15);
    EXPECT_DOUBLE_EQ(t.Weight(31), 1.0);
    ASSERT_TRUE(t.MakeWindow(64, 64, 3));
    EXPECT_NEAR(t.Weight(63), 0.08, 1e-15);
    EXPECT_DOUBLE_EQ(t.Weight(31), 1.0);
    // The ramp falls from just under 2 to 0 at the last entry.
    ASSERT_TRUE(t.MakeWindow(64, 64, 1));
    EXPECT_DOUBLE_EQ(t.Weight(0), 1.0 - 2.0 * (1 - 32) / 64.0);
    EXPECT_DOUBLE_EQ(t.Weight(63), 0.0);
    for (std::size_t k = 1; k < 64; ++k) ASSERT_LT(t.Weight(k), t.Weight(k - 1));
}

TEST(WindowTable, ShorterWindowClearsTailLeftByLongerOne) {
    WindowTable t;
    ASSERT_TRUE(t.MakeWindow(4096, 4096, 4));
    ASSERT_TRUE(t.MakeWindow(100, 128, 0));
    EXPECT_EQ(t.Length(), 128);
    for (std::size_t k = 0; k < 100; ++k) ASSERT_EQ(t.Weight(k), 1.0) << k;
    for (std::size_t k = 100; k < 128; ++k) ASSERT_EQ(t.Weight(k), 0.0) << k;

    // Apply uses exactly `length` entries: samples past it are neither read nor written.
    std::vector<int32_t> src(200, 7);
    std::vector<double> dst(200, -1.0);
    ASSERT_TRUE(t.ApplyWindow(src, dst));
    EXPECT_EQ(dst[0], 7.0);
    EXPECT_EQ(dst[99], 7.0);
    EXPECT_EQ(dst[100], 0.0);
    EXPECT_EQ(dst[127], 0.0);
    EXPECT_EQ(dst[128], -1.0);

    std::vector<double> srcReal(128, -2.5);
    ASSERT_TRUE(t.ApplyWindowReal(srcReal, dst));
    EXPECT_EQ(dst[50], -2.5);
    EXPECT_EQ(dst[110], 0.0);
}

TEST(WindowTable, RefusesUnknownTypeAndShortBuffers) {
    WindowTable t;
    ASSERT_TRUE(t.MakeWindow(16, 32, 3));
    const double before = t.Weight(3);
    EXPECT_FALSE(t.MakeWindow(8, 8, 5));
    EXPECT_EQ(t.Length(), 32);
    EXPECT_EQ(t.Weight(3), before);

    std::vector<int32_t> src(31, 1);
    std::vector<double> dst(32, -1.0);
    EXPECT_FALSE(t.ApplyWindow(src, dst));
    EXPECT_EQ(dst[0], -1.0);
    std::vector<double> srcReal(32, 1.0);
    std::vector<double> shortDst(16, -1.0);
    EXPECT_FALSE(t.ApplyWindowReal(srcReal, shortDst));
    EXPECT_EQ(shortDst[0], -1.0);
}

}  // namespace
}  // namespace fim
