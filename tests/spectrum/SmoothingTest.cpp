#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <vector>

#include "spectrum/Smoothing.h"

namespace fim {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// Records with NaN magnitudes outside first … last: any read past the range poisons a result.
std::vector<SpectrumRecord> Guarded(const std::vector<double>& mags, int pad) {
    std::vector<SpectrumRecord> r(mags.size() + 2 * pad, SpectrumRecord{kNaN, 9.0});
    for (std::size_t i = 0; i < mags.size(); ++i) r[pad + i] = {mags[i], 0.1 * i};
    return r;
}

// Mean of the window around i, shrunk to the range, computed directly.
double BruteMean(const std::vector<double>& m, int i, int h) {
    int lo = std::max(0, i - h), hi = std::min(static_cast<int>(m.size()) - 1, i + h);
    long double s = 0;
    for (int j = lo; j <= hi; ++j) s += m[j];
    return static_cast<double>(s / (hi - lo + 1));
}

TEST(SmoothingTest, WidthOneLeavesCurveAndFindsLargest) {
    std::vector<double> m = {0.5, 3.0, 2.0, 7.5, 1.0, 7.5, 0.2};
    auto r = Guarded(m, 3);
    SmoothingPeak p = SmoothDisplaySpectrum(r.data(), 3, 3 + 6, SmoothingWidthFromValue(0));
    for (int i = 0; i < 7; ++i) {
        EXPECT_EQ(r[3 + i].Magnitude, m[i]);
        EXPECT_EQ(r[3 + i].Phase, 0.1 * i);
    }
    EXPECT_EQ(p.index, 3 + 3) << "the first of equal maxima";
    EXPECT_EQ(p.magnitude, 7.5);
    EXPECT_TRUE(std::isnan(r[2].Magnitude) && std::isnan(r[10].Magnitude));
    // A width of 0 (as found in an old setting) acts as 1.
    SmoothDisplaySpectrum(r.data(), 3, 9, 0);
    EXPECT_EQ(r[4].Magnitude, 3.0);
}

TEST(SmoothingTest, WidestSettingShrinksAtBothEdgesAndNeverLeavesTheRange) {
    std::mt19937 gen(3);
    std::uniform_real_distribution<double> d(0.0, 2.0);
    std::vector<double> m(300);
    for (double& v : m) v = d(gen);
    auto r = Guarded(m, 25);
    const int width = SmoothingWidthFromValue(10);
    ASSERT_EQ(width, 21);
    SmoothingPeak p = SmoothDisplaySpectrum(r.data(), 25, 25 + 299, width);
    int bestIndex = -1;
    double best = 0.0;
    for (int i = 0; i < 300; ++i) {
        double expected = BruteMean(m, i, 10);
        ASSERT_NEAR(r[25 + i].Magnitude, expected, 1e-14) << i;
        ASSERT_EQ(r[25 + i].Phase, 0.1 * i) << "phases are never smoothed";
        if (expected > best) {
            best = expected;
            bestIndex = 25 + i;
        }
    }
    // The first output averages 11 values, the tenth 20, the eleventh the full 21.
    EXPECT_NEAR(
        r[25].Magnitude,
        (m[0] + m[1] + m[2] + m[3] + m[4] + m[5] + m[6] + m[7] + m[8] + m[9] + m[10]) / 11.0,
        1e-14);
    EXPECT_EQ(p.index, bestIndex);
    EXPECT_NEAR(p.magnitude, best, 1e-14);
    for (int i = 0; i < 25; ++i) {
        EXPECT_TRUE(std::isnan(r[i].Magnitude));
        EXPECT_TRUE(std::isnan(r[25 + 300 + i].Magnitude));
    }
}

TEST(SmoothingTest, SpikeAtRangeStartSpreadsWithGrowingWindows) {
    const int h = 4;
    std::vector<SmoothRecord> r(40, SmoothRecord{0.0, 100.0, 0.0});
    for (int i = 0; i < 40; ++i) r[i].Frequency = 100.0 + i;
    for (int i = 5; i <= 34; ++i) r[i].Magnitude = 0.0;
    r[5].Magnitude = 1.0;  // range 5 … 34, spike on its first record
    SmoothingPeak p = SmoothDisplaySpectrum(r.data(), 5, 34, 2 * h + 1);
    for (int i = 0; i <= h; ++i) EXPECT_NEAR(r[5 + i].Magnitude, 1.0 / (h + 1 + i), 1e-15) << i;
    for (int i = h + 1; i < 30; ++i) EXPECT_EQ(r[5 + i].Magnitude, 0.0) << i;
    EXPECT_EQ(r[4].Magnitude, 100.0);
    EXPECT_EQ(r[35].Magnitude, 100.0);
    EXPECT_EQ(p.index, 5);
    EXPECT_NEAR(p.magnitude, 0.2, 1e-15);
}

TEST(SmoothingTest, DeepNotchBesideLoudBinsStaysAccurateOverALongRange) {
    // Rounding of a running sum must not swamp quiet stretches far down a long range.
    std::vector<double> m(20000, 1e-9);
    for (int i = 0; i < 1000; ++i) m[i] = 1e6 * (1.0 + 0.37 * (i % 7));
    auto r = Guarded(m, 1);
    SmoothDisplaySpectrum(r.data(), 1, 20000, 21);
    for (int i = 1100; i < 20000; i += 97) {
        ASSERT_NEAR(r[1 + i].Magnitude, 1e-9, 1e-18) << i;
    }
    EXPECT_FALSE(SmoothDisplaySpectrum(r.data(), 5, 4, 3).index >= 0) << "empty range";
}

TEST(SmoothingTest, ResolutionListOfTheEditor) {
    std::vector<std::string> lines = SmoothResolutionList(44100.0);
    ASSERT_EQ(lines.size(), 10u);
    EXPECT_EQ(lines[0], "689.1 Hz");  // 44100 / 64 = 689.0625
    EXPECT_EQ(lines[1], "344.5 Hz");  // 344.53125
    EXPECT_EQ(lines[9], "1.3 Hz");    // 1.3458
    EXPECT_EQ(SmoothResolutionList(48000.0)[0], "750.0 Hz");
    EXPECT_EQ(SmoothResolutionIndex(64), 0);
    EXPECT_EQ(SmoothResolutionIndex(32768), 9);
    EXPECT_EQ(SmoothResolutionIndex(1024), 4);
    EXPECT_EQ(SmoothResolutionIndex(1000), 1);
    EXPECT_EQ(SmoothResolutionIndex(0), 1);
    EXPECT_EQ(SmoothResolutionLength(4), 1024);
}

}  // namespace
}  // namespace fim
