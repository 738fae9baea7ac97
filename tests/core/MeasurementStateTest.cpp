#include "core/MeasurementState.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

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
        "PLI", "PLO", "OSD", "PLCR", "PLR", "PLD", "MCD", "DAPT", "PSC", "SCF",
        "POI", "atcres", "ATCDATA", "AVL", "ILP1", "OLP", "RLP", "ILP2", "Sampleresult"};
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

}  // namespace
}  // namespace fim
