#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <vector>

#include "core/FftEngine.h"
#include "finder/FinderAnalysis.h"
#include "finder/WindowTable.h"

namespace fim {
namespace {

std::vector<int32_t> Sine(int n, double cycles, double amplitude) {
    std::vector<int32_t> v(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i) {
        v[static_cast<std::size_t>(i)] = static_cast<int32_t>(
            std::lround(amplitude * std::sin(2.0 * std::numbers::pi * cycles * i / n)));
    }
    return v;
}

class Finder : public ::testing::Test {
  protected:
    FinderReading Analyse(const std::vector<int32_t>& capture, double rate, int32_t mode) {
        const auto n = static_cast<uint16_t>(capture.size());
        window.MakeWindow(n, n, 4);
        fftInput.assign(capture.size() + 1, -7.0);  // one sentinel past the capture
        auto r = AnalyseCapture(capture, rate, mode, window, bands, engine,
                                std::span<double>(fftInput).first(capture.size()));
        EXPECT_EQ(fftInput.back(), -7.0);
        return r;
    }
    WindowTable window;
    BandTable bands;
    FftEngine engine;
    std::vector<double> fftInput;
};

TEST_F(Finder, SineOnBin93ReadsOneKilohertz) {
    const auto capture = Sine(4096, 93.0, 12000.0);
    auto r = Analyse(capture, 44100.0, kEq31Band);
    ASSERT_TRUE(r.valid);
    EXPECT_EQ(r.bin, 93);
    EXPECT_NEAR(r.frequency, 1001.2939453125, 1e-9);
    EXPECT_EQ(r.band.label, "1.00 kHz");
    EXPECT_EQ(r.band.deviation, 1);
    EXPECT_EQ(r.lamps.lit, 6);
    r = Analyse(capture, 44100.0, kFrequency);
    EXPECT_EQ(r.band.label, "1.00 kHz");
    EXPECT_EQ(r.lamps.colours[5], kLampLime);
    // Bin 4 of 8192 at 8000 samples/s is 3.9 Hz, below the band table: the 8 Hz band.
    r = Analyse(Sine(8192, 4.0, 20000.0), 8000.0, kEq31Band);
    EXPECT_EQ(r.bin, 4);
    EXPECT_EQ(r.band.label, " 8.0 Hz");
}

TEST_F(Finder, NoReadingForLowOrSilentCaptureOrMismatchedTable) {
    auto r = Analyse(std::vector<int32_t>(2048, 0), 44100.0, kEq31Band);
    EXPECT_FALSE(r.valid);
    EXPECT_EQ(r.bin, 1);
    r = Analyse(Sine(2048, 2.0, 20000.0), 44100.0, kEq31Band);
    EXPECT_FALSE(r.valid);
    EXPECT_EQ(r.band.label, "");
    window.MakeWindow(2048, 2048, 4);
    std::vector<double> in(4096);
    r = AnalyseCapture(Sine(4096, 93.0, 12000.0), 44100.0, kEq31Band, window, bands, engine, in);
    EXPECT_EQ(r.bin, 0);
}

TEST(DeviationLamps, PositionsAndColours) {
    struct Case {
        int32_t deviation;
        int lit;
        uint32_t colour;
    };
    // Round(deviation / 20) half to even: 10 → 0, 30 → 2, −30 → −2.
    const Case cases[] = {
        {0, 6, kLampLime},      {10, 6, kLampLime},     {30, 8, kLampLime},  {-30, 4, kLampLime},
        {-100, 1, kLampYellow}, {100, 11, kLampYellow}, {-90, 2, kLampLime}, {-111, 0, 0}};
    for (const auto& c : cases) {
        const auto l = DeviationLampsFor(kEq31Band, c.deviation);
        EXPECT_EQ(l.lit, c.lit) << c.deviation;
        if (c.lit > 0) {
            EXPECT_EQ(l.colours[static_cast<std::size_t>(c.lit - 1)], c.colour);
        }
        if (c.lit != 6) {
            EXPECT_EQ(l.colours[5], kLampSilver) << c.deviation;
        }
    }
    EXPECT_EQ(DeviationLampsFor(kFrequency, 80).lit, 6);
}

}  // namespace
}  // namespace fim
