#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <utility>

#include "finder/BandTable.h"

namespace fim {
namespace {

TEST(BandTable, DecadesAndNominalMantissaBoundaries) {
    EXPECT_EQ(DecadeCount(100.0L), 0);
    EXPECT_EQ(DecadeCount(100.0001L), 1);
    EXPECT_EQ(DecadeCount(100000.0L), 3);
    EXPECT_EQ(DecadeCount(std::numeric_limits<long double>::infinity()), 255);  // no endless loop
    BandTable t;
    EXPECT_EQ(t.NominalMantissa(0, 35.5), 31.6L);  // √(31.6 × 40) ≈ 35.553
    EXPECT_EQ(t.NominalMantissa(0, 35.6), 40.0L);
    t.SetBandSeries(2);
    EXPECT_EQ(t.NominalMantissa(0, 20.0), 25.0L);  // exactly √(16 × 25): goes up
    EXPECT_EQ(t.NominalMantissa(0, 19.99), 16.0L);
}

TEST(BandTable, LabelsOfEachSeries) {
    BandTable t;
    const std::pair<double, const char*> third[] = {
        {20, "20.0 Hz"},     {100, "100.0 Hz"},   {125, "125.0 Hz"},   {1000, "1.00 kHz"},
        {1250, "1.25 kHz"},  {12500, "12.5 kHz"}, {20000, "20.0 kHz"}, {8, " 8.0 Hz"},
        {89000, "80.0 kHz"}, {99000, "FEHLER"},   {0, "FEHLER"}};
    for (const auto& [f, label] : third) EXPECT_EQ(t.FrequencyLabel(1, f), label) << f;
    const std::pair<double, const char*> octave[] = {
        {31.6, "31.6 Hz"},  {63, "63.0 Hz"},     {125, "125.0 Hz"},   {250, "250.0 Hz"},
        {500, "500.0 Hz"},  {1000, "1.00 kHz"},  {2000, "2.00 kHz"},  {4000, "4.00 kHz"},
        {8000, "8.00 kHz"}, {16000, "16.0 kHz"}, {32000, "32.0 kHz"}, {44.0, "31.6 Hz"}};
    for (const auto& [f, label] : octave) EXPECT_EQ(t.FrequencyLabel(3, f), label) << f;
    EXPECT_EQ(t.FrequencyLabel(4, 1000.0L), "1000.0 Hz");
    EXPECT_EQ(t.FrequencyLabel(4, 1000.5L), "1.00 kHz");
    EXPECT_EQ(t.FrequencyLabel(4, 150000.0L), "FEHLER");
    EXPECT_EQ(t.FrequencyLabel(5, 1000.0L), "");
    // Series 2 after octaves still has the 8 Hz guard of series 1 in entry 0.
    t.SetBandSeries(3);
    EXPECT_EQ(t.FrequencyLabel(2, 8.9L), " 8.0 Hz");
    EXPECT_EQ(t.FrequencyLabel(2, 130.0L), "160.0 Hz");
}

TEST(BandTable, Deviations) {
    BandTable t;
    struct Case {
        uint8_t series;
        double f;
        const char* label;
        int32_t deviation;
    };
    const double edge = std::sqrt(1000.0 * 1250.0);
    const Case cases[] = {
        {1, 31.5, "31.6 Hz", -3},
        {1, 95.0, "100.0 Hz", -47},
        {1, 93.0 * 44100.0 / 4096.0, "1.00 kHz", 1},
        {1, edge - 0.01, "1.00 kHz", 100},
        {1, edge + 0.01, "1.25 kHz", -100},
        {2, 20.0, "25.0 Hz", -100},
        {3, 20.0, "31.6 Hz", -37},
        {3, std::sqrt(250.0 * 500.0) - 0.01, "250.0 Hz", 100},
        {4, 1234.0, "1.23 kHz", 0},
        // Beyond the table's ends: the end band (8 Hz, 32 kHz); octaves below 31.6 Hz measure
        // against the 0 Hz floor.
        {1, 3.9, " 8.0 Hz", 0},
        {2, 5.0, " 8.0 Hz", 0},
        {3, 3.9, "31.6 Hz", -88},
        {3, 32767.5, "32.0 kHz", 0},
        {3, 24000.0, "32.0 kHz", -85},
        {1, -5.0, "FEHLER", 0},
        {2, std::nan(""), "FEHLER", 0},
        {1, std::numeric_limits<double>::infinity(), "FEHLER", 0},
    };
    for (const auto& c : cases) {
        const auto r = t.BandReading(c.series, c.f);
        EXPECT_EQ(r.label, c.label) << int(c.series) << " " << c.f;
        EXPECT_EQ(r.deviation, c.deviation) << int(c.series) << " " << c.f;
    }
}

}  // namespace
}  // namespace fim
