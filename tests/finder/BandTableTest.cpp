#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <utility>

#include "finder/BandTable.h"

namespace fim {
namespace {

TEST(BandTable, DecadeCountBoundaries) {
    EXPECT_EQ(DecadeCount(0.5L), 0);
    EXPECT_EQ(DecadeCount(100.0L), 0);
    EXPECT_EQ(DecadeCount(100.0001L), 1);
    EXPECT_EQ(DecadeCount(1000.0L), 1);
    EXPECT_EQ(DecadeCount(10000.0L), 2);
    EXPECT_EQ(DecadeCount(100000.0L), 3);
    EXPECT_EQ(DecadeCount(100001.0L), 4);
    EXPECT_EQ(DecadeCount(std::numeric_limits<long double>::infinity()), 255);
}

TEST(BandTable, NominalMantissaSplitsAtGeometricMean) {
    BandTable t;
    EXPECT_EQ(t.NominalMantissa(0, 35.5), 31.6L);
    EXPECT_EQ(t.NominalMantissa(0, 35.6), 40.0L);
    EXPECT_EQ(t.NominalMantissa(2, 3550.0), 31.6L);
    t.SetBandSeries(2);
    EXPECT_EQ(t.NominalMantissa(0, 20.0), 25.0L);  // exactly √(16 × 25): goes up
    EXPECT_EQ(t.NominalMantissa(0, 19.99), 16.0L);
    EXPECT_EQ(t.NominalFrequency(1, 1300.0L), 1250.0L);
}

TEST(BandTable, ThirdOctaveLabels) {
    BandTable t;
    const std::pair<double, const char*> cases[] = {
        {20, "20.0 Hz"},     {100, "100.0 Hz"},   {125, "125.0 Hz"},   {1000, "1.00 kHz"},
        {1250, "1.25 kHz"},  {12500, "12.5 kHz"}, {20000, "20.0 kHz"}, {8000, "8.00 kHz"},
        {10000, "10.0 kHz"}, {31.5, "31.6 Hz"},   {95, "100.0 Hz"},    {8, " 8.0 Hz"},
        {9.5, "10.0 Hz"},    {89000, "80.0 kHz"}, {99000, "FEHLER"}};
    for (const auto& [f, label] : cases) EXPECT_EQ(t.FrequencyLabel(1, f), label) << f;
}

TEST(BandTable, DeviationExamples) {
    BandTable t;
    auto r = t.BandReading(1, 31.5);
    EXPECT_EQ(r.label, "31.6 Hz");
    EXPECT_EQ(r.deviation, -3);
    r = t.BandReading(1, 95.0);
    EXPECT_EQ(r.label, "100.0 Hz");
    EXPECT_EQ(r.deviation, -47);
    // Strongest bin 93 of 4096 at 44100 samples/s.
    r = t.BandReading(1, 93.0 * 44100.0 / 4096.0);
    EXPECT_EQ(r.label, "1.00 kHz");
    EXPECT_EQ(r.deviation, 1);
    r = t.BandReading(2, 20.0);
    EXPECT_EQ(r.label, "25.0 Hz");
    r = t.BandReading(3, 20.0);
    EXPECT_EQ(r.label, "31.6 Hz");
    EXPECT_EQ(r.deviation, -37);
    r = t.BandReading(4, 1000.0);
    EXPECT_EQ(r.label, "1000.0 Hz");
    EXPECT_EQ(r.deviation, 0);
    r = t.BandReading(4, 1000.5);
    EXPECT_EQ(r.label, "1.00 kHz");
    EXPECT_EQ(t.BandReading(4, 150000.0).label, "FEHLER");
}

TEST(BandTable, DeviationReachesHundredAtBandEdges) {
    BandTable t;
    const double edge = std::sqrt(1000.0 * 1250.0);  // 1118.03
    auto below = t.BandReading(1, edge - 0.01);
    EXPECT_EQ(below.label, "1.00 kHz");
    EXPECT_EQ(below.deviation, 100);
    auto above = t.BandReading(1, edge + 0.01);
    EXPECT_EQ(above.label, "1.25 kHz");
    EXPECT_EQ(above.deviation, -100);
    EXPECT_EQ(t.BandReading(1, 1250.0).deviation, 0);
    // Octaves: half way up in the logarithmic sense of the 250 Hz band.
    auto oct = t.BandReading(3, std::sqrt(250.0 * 500.0) - 0.01);
    EXPECT_EQ(oct.label, "250.0 Hz");
    EXPECT_EQ(oct.deviation, 100);
}

TEST(BandTable, OctaveLabelsAtEveryCentre) {
    BandTable t;
    const std::pair<double, const char*> cases[] = {
        {31.6, "31.6 Hz"},  {63, "63.0 Hz"},     {125, "125.0 Hz"},   {250, "250.0 Hz"},
        {500, "500.0 Hz"},  {1000, "1.00 kHz"},  {2000, "2.00 kHz"},  {4000, "4.00 kHz"},
        {8000, "8.00 kHz"}, {16000, "16.0 kHz"}, {32000, "32.0 kHz"}, {44.0, "31.6 Hz"}};
    for (const auto& [f, label] : cases) {
        auto r = t.BandReading(3, f);
        EXPECT_EQ(r.label, label) << f;
        if (f != 44.0) {
            EXPECT_EQ(r.deviation, 0) << f;
        }
    }
}

TEST(BandTable, ReadingsBeyondTableEndsAreClamped) {
    BandTable t;
    // Below 8 Hz: the 8 Hz band, on its centre.
    auto r = t.BandReading(1, 3.9);
    EXPECT_EQ(r.label, " 8.0 Hz");
    EXPECT_EQ(r.deviation, 0);
    r = t.BandReading(2, 5.0);
    EXPECT_EQ(r.label, " 8.0 Hz");
    EXPECT_EQ(r.deviation, 0);
    // Octaves below the lowest band measure against the 0 Hz floor.
    r = t.BandReading(3, 3.9);
    EXPECT_EQ(r.label, "31.6 Hz");
    EXPECT_EQ(r.deviation, -88);
    // Above 32 kHz: the 32 kHz band.
    r = t.BandReading(3, 32767.5);
    EXPECT_EQ(r.label, "32.0 kHz");
    EXPECT_EQ(r.deviation, 0);
    r = t.BandReading(3, 24000.0);
    EXPECT_EQ(r.label, "32.0 kHz");
    EXPECT_EQ(r.deviation, -85);
}

TEST(BandTable, InvalidFrequenciesAndSeries) {
    BandTable t;
    for (uint8_t s = 1; s <= 4; ++s) {
        EXPECT_EQ(t.BandReading(s, 0.0).label, "FEHLER") << int(s);
        EXPECT_EQ(t.BandReading(s, -5.0).label, "FEHLER") << int(s);
        const auto nan = t.BandReading(s, std::nan(""));
        EXPECT_EQ(nan.label, "FEHLER");
        EXPECT_EQ(nan.deviation, 0);
    }
    const auto inf = t.BandReading(1, std::numeric_limits<double>::infinity());
    EXPECT_EQ(inf.label, "FEHLER");
    EXPECT_EQ(inf.deviation, 0);
    EXPECT_EQ(t.FrequencyLabel(0, 1000.0L), "");
    EXPECT_EQ(t.FrequencyLabel(5, 1000.0L), "");
    EXPECT_EQ(t.BandReading(5, 1000.0).deviation, 0);
}

TEST(BandTable, SeriesTwoKeepsGuardFromSeriesOneAfterOctaves) {
    BandTable t;
    t.SetBandSeries(3);
    EXPECT_EQ(t.Entry(1), 0.0L);
    t.SetBandSeries(2);
    EXPECT_EQ(t.Entry(0), 8.0L);
    EXPECT_EQ(t.FrequencyLabel(2, 8.9L), " 8.0 Hz");  // below √(8 × 10)
    EXPECT_EQ(t.FrequencyLabel(2, 9.0L), "10.0 Hz");
    EXPECT_EQ(t.FrequencyLabel(2, 130.0L), "160.0 Hz");
    EXPECT_EQ(t.FrequencyLabel(2, 126.0L), "100.0 Hz");
    // A series number outside 1 … 3 writes nothing.
    t.SetBandSeries(7);
    EXPECT_EQ(t.Entry(7), 160.0L);
}

}  // namespace
}  // namespace fim
