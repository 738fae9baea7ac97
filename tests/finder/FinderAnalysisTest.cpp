#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <vector>

#include "finder/FinderAnalysis.h"
#include "finder/WindowTable.h"
#include "spectrum/FftEngine.h"

namespace fim {
namespace {

std::vector<int32_t> Sine(int n, double cyclesPerCapture, double amplitude) {
    std::vector<int32_t> v(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i) {
        v[static_cast<std::size_t>(i)] = static_cast<int32_t>(
            std::lround(amplitude * std::sin(2.0 * std::numbers::pi * cyclesPerCapture * i / n)));
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
    EXPECT_EQ(r.lamps.colours[5], kLampLime);
    EXPECT_EQ(r.lamps.colours[0], kLampWhite);

    r = Analyse(capture, 44100.0, kFrequency);
    EXPECT_EQ(r.band.label, "1.00 kHz");
    EXPECT_EQ(r.band.deviation, 0);
    EXPECT_EQ(r.lamps.colours[5], kLampLime);
}

TEST_F(Finder, SilentOrLowCaptureGivesNoReading) {
    auto r = Analyse(std::vector<int32_t>(2048, 0), 44100.0, kEq31Band);
    EXPECT_FALSE(r.valid);
    EXPECT_EQ(r.bin, 1);
    r = Analyse(Sine(2048, 2.0, 20000.0), 44100.0, kEq31Band);
    EXPECT_FALSE(r.valid);
    EXPECT_LE(r.bin, 3);
    EXPECT_EQ(r.band.label, "");
}

TEST_F(Finder, ReadingBelowEightHertzIsClampedToTable) {
    // Bin 4 of 8192 at 8000 samples/s: 3.9 Hz, below the band table.
    auto r = Analyse(Sine(8192, 4.0, 20000.0), 8000.0, kEq31Band);
    ASSERT_TRUE(r.valid);
    EXPECT_EQ(r.bin, 4);
    EXPECT_EQ(r.band.label, " 8.0 Hz");
    EXPECT_EQ(r.band.deviation, 0);
}

TEST_F(Finder, MismatchedWindowOrSizeIsNoReading) {
    const auto capture = Sine(4096, 93.0, 12000.0);
    window.MakeWindow(2048, 2048, 4);
    std::vector<double> in(4096);
    auto r = AnalyseCapture(capture, 44100.0, kEq31Band, window, bands, engine, in);
    EXPECT_FALSE(r.valid);
    EXPECT_EQ(r.bin, 0);
    window.MakeWindow(4096, 4096, 4);
    std::vector<double> shortIn(4095);
    r = AnalyseCapture(capture, 44100.0, kEq31Band, window, bands, engine, shortIn);
    EXPECT_EQ(r.bin, 0);
}

TEST(DeviationLamps, PositionsAndColours) {
    struct Case {
        int32_t deviation;
        int lit;
        uint32_t colour;
    };
    const Case cases[] = {{0, 6, kLampLime},   {10, 6, kLampLime},     {30, 8, kLampLime},
                          {-30, 4, kLampLime}, {-100, 1, kLampYellow}, {100, 11, kLampYellow},
                          {-90, 2, kLampLime}, {89, 10, kLampLime}};
    for (const auto& c : cases) {
        const auto l = DeviationLampsFor(kEq31Band, c.deviation);
        EXPECT_EQ(l.lit, c.lit) << c.deviation;
        EXPECT_EQ(l.colours[static_cast<std::size_t>(c.lit - 1)], c.colour) << c.deviation;
        int coloured = 0;
        for (std::size_t i = 0; i < 11; ++i) coloured += l.colours[i] != kLampWhite;
        EXPECT_EQ(coloured, c.lit == 6 ? 1 : 2) << c.deviation;  // the middle one stays silver
    }
    // Beyond the outer lamps nothing lights; the middle lamp is silver.
    const auto none = DeviationLampsFor(kEq15Band, -111);
    EXPECT_EQ(none.lit, 0);
    EXPECT_EQ(none.colours[5], kLampSilver);
    EXPECT_EQ(DeviationLampsFor(kFrequency, 80).lit, 6);
}

TEST(FinderCaptureLength, Resolutions) {
    EXPECT_EQ(FinderCaptureLength(0), 8192);
    EXPECT_EQ(FinderCaptureLength(1), 4096);
    EXPECT_EQ(FinderCaptureLength(2), 2048);
    EXPECT_EQ(FinderCaptureLength(3), 0);
}

}  // namespace
}  // namespace fim
