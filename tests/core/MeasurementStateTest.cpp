#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "base/ScriptedPrompter.h"
#include "core/MeasurementState.h"

namespace fim {
namespace {

TEST(MeasurementState, DerivedValuesFor16BitSamples) {
    MeasurementState s;
    s.SampleBits = 16;
    s.OutputLevelDb = -6;
    s.MlsOrder = 18;
    s.RecomputeDerived();
    EXPECT_EQ(s.FullScale, 32767);
    EXPECT_EQ(s.OutputAmplitude, 16422);
    EXPECT_EQ(s.LowLevelThreshold, 328);
    EXPECT_EQ(s.MlsSize, 262144);
    // Two periods of stereo 16-bit frames fill exactly 2 MiB.
    EXPECT_EQ(2 * s.MlsSize * 2 * 2, 2 * 1024 * 1024);
}

TEST(MeasurementState, FourByteSamplesKeepTheLevelInDbfs) {
    MeasurementState s;
    s.SampleBits = 24;
    s.OutputLevelDb = -6;
    s.RecomputeDerived();
    EXPECT_EQ(s.FullScale, 0x7FFFFFFF);
    EXPECT_NEAR(s.OutputAmplitude / 2147483647.0, 16422 / 32767.0, 1e-4);
}

TEST(MeasurementState, BuffersAreZeroFilledInTableOrder) {
    std::vector<std::string> order;
    SharedBuffers b;
    b.Allocate(
        [&](std::size_t bytes, const char* tag) {
            order.emplace_back(tag);
            return std::calloc(bytes, 1);
        },
        [](const std::string&) { FAIL(); });
    const std::vector<std::string> expected = {
        "PLI", "PLO",    "OSD",     "PLCR", "PLR",  "PLD", "MCD", "DAPT", "PSC",         "SCF",
        "POI", "atcres", "ATCDATA", "AVL",  "ILP1", "OLP", "RLP", "ILP2", "Sampleresult"};
    EXPECT_EQ(order, expected);
    EXPECT_EQ(b[SharedBuffers::RLP].bytes, 262144u * sizeof(double));
    EXPECT_EQ(b.RLPd()[262143], 0.0);
}

TEST(MeasurementState, FailedAllocationStopsAtThatBufferWithItsCaption) {
    std::vector<std::string> tried;
    std::string caption;
    SharedBuffers b;
    b.Allocate(
        [&](std::size_t bytes, const char* tag) -> void* {
            tried.emplace_back(tag);
            return std::string(tag) == "AVL" ? nullptr : std::calloc(bytes, 1);
        },
        [&](const std::string& c) { caption = c; });
    EXPECT_EQ(caption, "Alloc AVL");
    EXPECT_EQ(tried.back(), "AVL");
    EXPECT_EQ(SharedBuffers::AllocCaption(SharedBuffers::PLD), "Alloc PLD ");
}

TEST(MeasurementState, LevelsAboveFullScaleAreLimited) {
    MeasurementState s;
    s.OutputLevelDb = 6;
    for (int bits : {16, 24}) {
        s.SampleBits = bits;
        s.RecomputeDerived();
        EXPECT_EQ(s.OutputAmplitude, s.FullScale) << bits;
    }
    // An unknown width keeps the last full scale.
    s.SampleBits = 12;
    s.RecomputeDerived();
    EXPECT_EQ(s.FullScale, 0x7FFFFFFF);
}

TEST(MeasurementState, FftSizeMenuIndices) {
    ScriptedPrompter prompter;
    int32_t size = 4096;
    const int sizes[] = {2048, 4096, 8192, 16384, 32768};
    for (int i = 0; i < 5; ++i) {
        SelectFftSize(i, size, prompter);
        EXPECT_EQ(size, sizes[i]);
        EXPECT_EQ(FftSizeIndex(sizes[i]), i);
    }
    SelectFftSize(1, size, prompter);
    SelectFftSize(100, size, prompter);
    EXPECT_EQ(size, 32768);
    SelectFftSize(7, size, prompter);
    SelectFftSize(-1, size, prompter);
    EXPECT_EQ(size, 32768);
    EXPECT_TRUE(prompter.shown.empty());
    SelectFftSize(5, size, prompter);
    EXPECT_EQ(size, 32768);
    ASSERT_EQ(prompter.shown.size(), 1u);
    EXPECT_EQ(prompter.shown[0].text, "ffticall using id5");
    EXPECT_EQ(FftSizeIndex(65536), 5);
    EXPECT_EQ(FftSizeIndex(1000), 0);

    MeasurementState state;
    state.SelectFftSize(0, prompter);
    EXPECT_EQ(state.GetFftSize(), 2048);
}

TEST(MeasurementState, ConvertRecordingOfEachWidth) {
    const unsigned char bytes8[] = {0, 255, 127, 128};
    int32_t out[5] = {9, 9, 9, 9, 9};
    EXPECT_TRUE(ConvertRecording(bytes8, out, 8, 4));
    EXPECT_EQ(out[0], 127);
    EXPECT_EQ(out[1], -128);
    EXPECT_EQ(out[2], 0);
    EXPECT_EQ(out[3], -1);
    EXPECT_EQ(out[4], 9);

    const unsigned char bytes16[] = {0x00, 0x80, 0xFF, 0x7F, 0xFF, 0xFF};
    EXPECT_TRUE(ConvertRecording(bytes16, out, 16, 3));
    EXPECT_EQ(out[0], -32768);
    EXPECT_EQ(out[1], 32767);
    EXPECT_EQ(out[2], -1);
    EXPECT_EQ(out[3], -1);  // from the 8-bit case, untouched

    const int32_t wide[] = {-2147483647 - 1, 123456789};
    for (int bits : {20, 24}) {
        EXPECT_TRUE(ConvertRecording(wide, out, bits, 2));
        EXPECT_EQ(out[0], wide[0]);
        EXPECT_EQ(out[1], wide[1]);
    }
    out[0] = 5;
    EXPECT_FALSE(ConvertRecording(bytes16, out, 12, 1));
    EXPECT_EQ(out[0], 5);
}

}  // namespace
}  // namespace fim
