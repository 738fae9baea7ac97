#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "auxwindows/TimeLevelDiagram.h"
#include "finder/WindowTable.h"
#include "spectrum/FftEngine.h"

namespace fim {
namespace {

class TimeLevel : public ::testing::Test {
  protected:
    bool Compute(const std::vector<double>& ir, int64_t start, const TflSettings& s = {}) {
        return ComputeLevels(s, ir, start, window, engine, m);
    }
    WindowTable window;
    FftEngine engine;
    LevelMatrix m;
};

TEST_F(TimeLevel, SilentResponseDrawsLevelZero) {
    std::vector<double> ir(20000, 0.0);
    ASSERT_TRUE(Compute(ir, 1));
    EXPECT_EQ(m.BlockLength, 128);
    EXPECT_EQ(m.Rows(), 63);
    ASSERT_EQ(m.Values.size(), 6300u);
    EXPECT_EQ(m.Max, 0.0);
    for (double v : m.Values) ASSERT_EQ(v, 0.0);
}

TEST_F(TimeLevel, ContiguousBlocksFromOneBasedStart) {
    // An impulse of height c + 2 at the first sample of block c: that column's spectrum is flat
    // at c + 2, so every bin reads 10·ln(c + 2); the largest (column 99) becomes 255.
    const int64_t s = 501;
    std::vector<double> ir(s - 1 + 12800, 0.0);
    for (int c = 0; c < 100; ++c) ir[static_cast<std::size_t>(s - 1 + 128 * c)] = c + 2.0;
    ASSERT_TRUE(Compute(ir, s));
    EXPECT_NEAR(m.Max, 10.0 * std::log(101.0), 1e-12);
    for (int c = 0; c < 100; ++c) {
        const double expect = 255.0 * std::log(c + 2.0) / std::log(101.0);
        for (int bin = 1; bin <= 63; ++bin)
            ASSERT_NEAR(m.At(c, bin), expect, 1e-9) << c << " " << bin;
    }
}

TEST_F(TimeLevel, FirstTwoColumnsNeverSetTheMaximum) {
    std::vector<double> ir(13000, 0.0);
    ir[0] = 1000.0;    // column 0
    ir[128] = 1000.0;  // column 1
    ASSERT_TRUE(Compute(ir, 1));
    EXPECT_EQ(m.Max, 0.0);
    for (double v : m.Values) ASSERT_EQ(v, 0.0);

    // In column 2 only bin 0 and bin 1 (k = 1) count: a loud high bin there does not.
    std::vector<double> ir2(13000, 0.0);
    ir2[256] = 50.0;  // flat spectrum 50 in column 2
    ir2[1280] = 1e6;  // column 10: far louder, and k < 10 covers bins 0 … 8
    ASSERT_TRUE(Compute(ir2, 1));
    EXPECT_NEAR(m.Max, 10.0 * std::log(1e6), 1e-9);
    EXPECT_NEAR(m.At(2, 5), 255.0 * std::log(50.0) / std::log(1e6), 1e-9);
}

TEST_F(TimeLevel, BlocksPastTheBufferReadZeros) {
    // A short response read from near its end: the same as the response padded with zeros.
    std::vector<double> shortIr(3000);
    for (std::size_t i = 0; i < shortIr.size(); ++i) shortIr[i] = std::sin(0.3 * i) * (100.0 + i);
    std::vector<double> padded = shortIr;
    padded.resize(20000, 0.0);
    ASSERT_TRUE(Compute(shortIr, 2900));
    const LevelMatrix fromShort = m;
    ASSERT_TRUE(Compute(padded, 2900));
    ASSERT_EQ(fromShort.Values.size(), m.Values.size());
    for (std::size_t i = 0; i < m.Values.size(); ++i) ASSERT_EQ(fromShort.Values[i], m.Values[i]);
    // A start beyond the end: all silent.
    ASSERT_TRUE(Compute(shortIr, 5000));
    EXPECT_EQ(m.Max, 0.0);
}

TEST_F(TimeLevel, TaperCoverageAndOverlapMoveTheBlocks) {
    // B = 256, D = 50, O = 25: taper over the first 128 samples, blocks 64 samples apart.
    TflSettings s;
    s.BlockLength = 256;
    s.DataPercent = 50;
    s.OverlapPercent = 25;
    std::vector<double> ir(64 * 99 + 256, 0.0);
    ir[64 * 7] = 20.0;        // first sample of block 7, also sample 64 of block 6
    ir[64 * 99 + 200] = 1e9;  // only in the last block, past its taper (weight 0)
    ASSERT_TRUE(Compute(ir, 1, s));
    EXPECT_EQ(m.Rows(), 127);
    EXPECT_NEAR(m.Max, 10.0 * std::log(20.0), 1e-9);
    EXPECT_NEAR(m.At(7, 50), 255.0, 1e-9);
    EXPECT_NEAR(m.At(6, 1), 255.0, 1e-9);  // |X| of a shifted impulse is flat as well
    EXPECT_EQ(m.At(5, 1), 0.0);
    EXPECT_EQ(m.At(3, 1), 0.0);
    EXPECT_EQ(m.At(99, 1), 0.0);
}

TEST_F(TimeLevel, RefusesSettingsItCannotCompute) {
    std::vector<double> ir(100, 1.0);
    m.BlockLength = 7;
    TflSettings s;
    s.BlockLength = 100;
    EXPECT_FALSE(Compute(ir, 1, s));
    s = {};
    s.DataPercent = 0;
    EXPECT_FALSE(Compute(ir, 1, s));
    s = {};
    s.OverlapPercent = 101;
    EXPECT_FALSE(Compute(ir, 1, s));
    s = {};
    s.WindowType = 5;
    EXPECT_FALSE(Compute(ir, 1, s));
    EXPECT_EQ(m.BlockLength, 7);  // untouched
}

TEST(LevelColourMap, DarkBlueThroughRedToWhite) {
    const auto& map = LevelColourMap();
    auto r = [](uint32_t c) { return c & 0xFF; };
    auto g = [](uint32_t c) { return (c >> 8) & 0xFF; };
    auto b = [](uint32_t c) { return (c >> 16) & 0xFF; };
    EXPECT_EQ(r(map[0]), 0u);
    EXPECT_EQ(g(map[0]), 0u);
    EXPECT_GT(b(map[0]), 0u);
    EXPECT_LT(b(map[0]), 128u);
    EXPECT_EQ(map[127], 0x0000FFu);  // red (0x00BBGGRR)
    EXPECT_EQ(map[255], 0xFFFFFFu);
    // Red and green only rise; blue falls towards red, then rises towards white.
    for (int i = 1; i < 256; ++i) {
        ASSERT_GE(r(map[i]), r(map[i - 1])) << i;
        ASSERT_GE(g(map[i]), g(map[i - 1])) << i;
        if (i <= 127) {
            ASSERT_LE(b(map[i]), b(map[i - 1])) << i;
        } else {
            ASSERT_GE(b(map[i]), b(map[i - 1])) << i;
        }
    }
    EXPECT_EQ(LevelColour(-40.0), map[0]);
    EXPECT_EQ(LevelColour(300.0), map[255]);
    EXPECT_EQ(LevelColour(std::nan("")), map[0]);
    EXPECT_EQ(LevelColour(2.5), map[2]);  // half to even
}

TEST(RenderLevels, CellsFollowBinsAndColumns) {
    LevelMatrix m;
    m.BlockLength = 128;
    m.Values.assign(6300, 0.0);
    for (int c = 0; c < 100; ++c) {
        for (int bin = 1; bin <= 63; ++bin)
            m.Values[static_cast<std::size_t>(c * 63 + bin - 1)] = bin * 4;
    }
    const int W = 500, H = 256;  // cw = 5, ch = 4
    const auto img = RenderLevels(m, W, H);
    ASSERT_EQ(img.size(), static_cast<std::size_t>(W * H));
    auto at = [&](int x, int y) { return img[static_cast<std::size_t>(y * W + x)]; };
    const auto& map = LevelColourMap();
    // Row k spans y = H − 4(k+1) … H − 4k − 1; rows 1 and 2 both show bin 1.
    EXPECT_EQ(at(12, H - 6), map[4]);             // k = 1
    EXPECT_EQ(at(12, H - 10), map[4]);            // k = 2
    EXPECT_EQ(at(12, H - 14), map[8]);            // k = 3: bin 2
    EXPECT_EQ(at(12, H - 4 * 41 - 2), map[160]);  // k = 41: bin 40
    // The strip below row 1 is not a cell.
    EXPECT_EQ(at(12, H - 1), map[0]);
    // Column borders: column 1 covers x = 5 … 9.
    m.Values[1 * 63 + 2] = 252;  // column 1, bin 3 → row k = 4
    const auto img2 = RenderLevels(m, W, H);
    EXPECT_EQ(img2[static_cast<std::size_t>((H - 18) * W + 5)], map[252]);
    EXPECT_EQ(img2[static_cast<std::size_t>((H - 18) * W + 9)], map[252]);
    EXPECT_EQ(img2[static_cast<std::size_t>((H - 18) * W + 10)], map[12]);
    EXPECT_EQ(img2[static_cast<std::size_t>((H - 18) * W + 4)], map[12]);
}

}  // namespace
}  // namespace fim
