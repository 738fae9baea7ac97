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
    ASSERT_TRUE(Compute(std::vector<double>(20000, 0.0), 1));
    ASSERT_EQ(m.Values.size(), 6300u);  // 100 columns of bins 1 … 63
    EXPECT_EQ(m.Max, 0.0);
    for (double v : m.Values) ASSERT_EQ(v, 0.0);
}

TEST_F(TimeLevel, ContiguousBlocksFromOneBasedStart) {
    // An impulse of height c + 2 at the first sample of block c: a flat spectrum, every bin
    // 10·ln(c + 2); the largest (column 99) becomes 255.
    const int64_t s = 501;
    std::vector<double> ir(s - 1 + 12800, 0.0);
    for (int c = 0; c < 100; ++c) ir[s - 1 + 128 * c] = c + 2.0;
    ASSERT_TRUE(Compute(ir, s));
    EXPECT_NEAR(m.Max, 10.0 * std::log(101.0), 1e-12);
    for (int c = 0; c < 100; ++c) {
        const double expect = 255.0 * std::log(c + 2.0) / std::log(101.0);
        for (int bin = 1; bin <= 63; ++bin) ASSERT_NEAR(m.At(c, bin), expect, 1e-9) << c;
    }
}

TEST_F(TimeLevel, OnlyBinsBelowTheColumnNumberSetTheMaximum) {
    std::vector<double> ir(13000, 0.0);
    ir[0] = 1000.0;    // column 0
    ir[128] = 1000.0;  // column 1: k < c is never true in columns 0 and 1
    ASSERT_TRUE(Compute(ir, 1));
    EXPECT_EQ(m.Max, 0.0);
    ir[256] = 50.0;  // column 2: bins 0 and 1 count
    ASSERT_TRUE(Compute(ir, 1));
    EXPECT_NEAR(m.Max, 10.0 * std::log(50.0), 1e-9);
    EXPECT_NEAR(m.At(0, 7), 255.0 * std::log(1000.0) / std::log(50.0), 1e-9);  // above 255
}

TEST_F(TimeLevel, BlocksPastTheBufferReadZeros) {
    std::vector<double> shortIr(3000);
    for (std::size_t i = 0; i < shortIr.size(); ++i) shortIr[i] = std::sin(0.3 * i) * (100.0 + i);
    std::vector<double> padded = shortIr;
    padded.resize(20000, 0.0);
    ASSERT_TRUE(Compute(shortIr, 2900));
    const LevelMatrix fromShort = m;
    ASSERT_TRUE(Compute(padded, 2900));
    EXPECT_EQ(fromShort.Values, m.Values);
}

TEST_F(TimeLevel, OtherSettingsOfTheRecord) {
    // B = 256, D = 50, O = 25: taper over the first 128 samples, blocks 64 samples apart.
    TflSettings s{0, 25, 50, 256};
    std::vector<double> ir(64 * 99 + 256, 0.0);
    ir[64 * 7] = 20.0;        // block 7 at 0, block 6 at 64, block 5 at 128 (outside the taper)
    ir[64 * 99 + 200] = 1e9;  // only in the last block, past its taper
    ASSERT_TRUE(Compute(ir, 1, s));
    EXPECT_EQ(m.Rows(), 127);
    EXPECT_NEAR(m.Max, 10.0 * std::log(20.0), 1e-9);
    EXPECT_NEAR(m.At(7, 50), 255.0, 1e-9);
    EXPECT_NEAR(m.At(6, 1), 255.0, 1e-9);
    EXPECT_EQ(m.At(5, 1), 0.0);
    EXPECT_EQ(m.At(99, 1), 0.0);
    // Settings it cannot compute are refused and leave the matrix as it was.
    for (const TflSettings& bad : {TflSettings{0, 0, 100, 100}, TflSettings{0, 0, 0, 128},
                                   TflSettings{0, 60, 50, 128}, TflSettings{5, 0, 100, 128}}) {
        EXPECT_FALSE(Compute(ir, 1, bad));
    }
    EXPECT_EQ(m.Rows(), 127);
}

TEST(LevelColours, MapAndRendering) {
    const auto& map = LevelColourMap();
    EXPECT_EQ(map[0] & 0xFFFF, 0u);  // dark blue (0x00BBGGRR)
    EXPECT_GT(map[0] >> 16, 0u);
    EXPECT_EQ(map[127], 0x0000FFu);  // red
    EXPECT_EQ(map[255], 0xFFFFFFu);  // white
    EXPECT_EQ(LevelColour(-40.0), map[0]);
    EXPECT_EQ(LevelColour(300.0), map[255]);
    EXPECT_EQ(LevelColour(std::nan("")), map[0]);
    EXPECT_EQ(LevelColour(2.5), map[2]);  // half to even

    LevelMatrix m;
    m.BlockLength = 128;
    for (int c = 0; c < 100; ++c) {
        for (int bin = 1; bin <= 63; ++bin) m.Values.push_back(bin * 4);
    }
    m.Values[1 * 63 + 2] = 252;  // column 1, bin 3
    const int W = 500, H = 256;  // cells 5 × 4 pixels
    const auto img = RenderLevels(m, W, H);
    auto at = [&](int x, int y) { return img[static_cast<std::size_t>(y * W + x)]; };
    // Row k spans y = H − 4(k+1) … H − 4k − 1; rows 1 and 2 both show bin 1.
    EXPECT_EQ(at(12, H - 6), map[4]);
    EXPECT_EQ(at(12, H - 10), map[4]);
    EXPECT_EQ(at(12, H - 14), map[8]);
    EXPECT_EQ(at(12, H - 1), map[0]);  // below row 1: no cell
    EXPECT_EQ(at(5, H - 18), map[252]);
    EXPECT_EQ(at(9, H - 18), map[252]);
    EXPECT_EQ(at(10, H - 18), map[12]);
}

TEST(TimeLevelLegend, MarksInDecibelsBelowTheLoudestCell) {
    // 40 dB between level index 0 (magnitude 1) and 255.
    const double max40 = 40.0 * std::log(10.0) / 2.0;
    const auto marks = LevelLegendMarks(max40);
    ASSERT_EQ(marks.size(), 5u);
    const int index[] = {255, 191, 128, 64, 0};  // 127.5 rounds to even
    for (std::size_t i = 0; i < marks.size(); ++i) {
        EXPECT_EQ(marks[i].db, -10 * static_cast<int>(i));
        EXPECT_EQ(marks[i].index, index[i]);
    }
    // A wide range takes wider steps and stays readable.
    const auto wide = LevelLegendMarks(100.0 * std::log(10.0) / 2.0);
    ASSERT_EQ(wide.size(), 6u);
    EXPECT_EQ(wide.back().db, -100);
    EXPECT_LE(LevelLegendMarks(1000.0).size(), 10u);
    // No scale without a normalising level.
    EXPECT_TRUE(LevelLegendMarks(0.0).empty());
    EXPECT_TRUE(LevelLegendMarks(std::nan("")).empty());
}

}  // namespace
}  // namespace fim
