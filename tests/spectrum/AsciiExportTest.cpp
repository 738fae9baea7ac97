#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <numbers>
#include <vector>

#include "spectrum/AsciiExport.h"

namespace fim {
namespace {

TEST(AsciiExportTest, ExampleLineAndFieldRules) {
    // 1000 Hz, −3.25 dB, −0.5 rad (−28.65° → −29).
    EXPECT_EQ(FormatFrdLine(1000.0, -3.25, -0.5), "1000.00  -3.25 -29");
    EXPECT_EQ(FormatFrdLine(20.5, 5.0, 0.0), "20.5000  5.000  0");
    EXPECT_EQ(FormatFrdFrequency(12345.67), "12345.7");
    EXPECT_EQ(FormatFrdFrequency(99.99996), "100.000") << "rounds up across the decade";
    EXPECT_EQ(FormatFrdFrequency(999.12345), "999.123");
    EXPECT_EQ(FormatFrdFrequency(1234.5678), "1234.57");
    EXPECT_EQ(FormatFrdFrequency(20000.0), "20000.0");
    EXPECT_EQ(FormatFrdLevel(-25.346), "-25.346") << "every negative level keeps 3 decimals";
    EXPECT_EQ(FormatFrdLevel(12.3456), "12.35");
    // 123.45 · 10 is 1234.5 in doubles, and Round takes it to the even 1234.
    EXPECT_EQ(FormatFrdLevel(123.45), "123.4");
    EXPECT_EQ(FormatFrdLevel(123.46), "123.5");
    EXPECT_EQ(FormatFrdLevel(1234.5), "1234.") << "half to even, then padded to 5";
    EXPECT_EQ(FormatFrdLevel(1235.5), "1236.");
    EXPECT_EQ(FormatFrdLevel(250000.0), "250000") << "never in exponent form";
    // Huge values of a damaged spectrum stay numbers (scaling them for rounding would overflow).
    EXPECT_EQ(FormatFrdFrequency(-1e306).find("inf"), std::string::npos);
    EXPECT_EQ(FormatFrdFrequency(1e300).substr(0, 2), "10");
    EXPECT_EQ(FormatFrdLevel(-0.0001), "0.000") << "no negative zero";
    EXPECT_EQ(FormatFrdLevel(0.0005), "0.000") << "0.5 thousandths rounds to even";
    EXPECT_EQ(FormatFrdLevel(0.0015), "0.002");
    EXPECT_EQ(FormatFrdLine(50.0, 80.0, std::numbers::pi), "50.0000  80.00  180");
    EXPECT_EQ(FormatFrdLine(50.0, 80.0, -std::numbers::pi), "50.0000  80.00 -180");
}

TEST(AsciiExportTest, DecimalPointWhateverTheLocale) {
    const char* old = std::setlocale(LC_ALL, nullptr);
    const std::string saved = old ? old : "C";
    // A comma locale when the machine has one; the result must not change either way.
    for (const char* name : {"de_DE.UTF-8", "de_DE", "fr_FR.UTF-8"})
        if (std::setlocale(LC_ALL, name)) break;
    const std::string line = FormatFrdLine(1000.0, -3.25, -0.5);
    std::setlocale(LC_ALL, saved.c_str());
    EXPECT_EQ(line, "1000.00  -3.25 -29");
}

TEST(AsciiExportTest, FftExportRunsFromTheLowestBinToNyquistWithTheFloorLevel) {
    // N = 8 at 8000 Hz: bin width 1000 Hz; lowest 1500 Hz → k0 = Round(1.5) = 2 (half to even).
    std::vector<SpectrumRecord> d(5);
    for (int k = 0; k < 5; ++k) d[k] = {std::pow(10.0, k / 20.0), 0.1 * k};
    d[3].Magnitude = 0.0;
    const std::string text = BuildFrdFft(d.data(), 8, 8000.0, 1500.0, 1.0, 80.0);
    EXPECT_EQ(text,
              "2000.00  82.00  11\r\n"
              "3000.00  0.000  17\r\n"
              "4000.00  84.00  23\r\n")
        << "magnitude 0 writes −80 + offset; k = N/2 is the last line";
    EXPECT_EQ(FrdLevel(1.0, 0.0, 10.0), -70.0);
    EXPECT_EQ(FrdLevel(std::nan(""), 1.0, 0.0), -80.0);
    EXPECT_EQ(FrdLevelOffset(80, true, -6.0), 74.0);
    EXPECT_EQ(FrdLevelOffset(80, false, -6.0), 80.0);
}

TEST(AsciiExportTest, SmoothExportRangeAndMicCorrection) {
    std::vector<SmoothRecord> r(kSmoothRecords);
    for (int i = 0; i < kSmoothRecords; ++i) r[i] = {30.0 * std::pow(1.024, i), 2.0, 3.0};
    r.back() = {50000.0, 0.0, 0.0};
    // Frequencies 30·1.024^i: the first not below 40 Hz is i = 13, the last up to 20000 Hz i = 274.
    const std::string plain = BuildFrdSmooth(r.data(), 40.0, 1.0, 0.0);
    const auto lines = std::count(plain.begin(), plain.end(), '\n');
    EXPECT_EQ(lines, 274 - 13 + 1);
    EXPECT_EQ(plain.substr(0, plain.find('\r')),
              FormatFrdLine(r[13].Frequency, 20.0 * std::log10(2.0), 3.0));

    MicCorrection mic;
    mic.sampleRate = 44100;
    for (auto& e : mic.entries) e = {0.0, 6.0, -1.0};
    const std::string corrected = BuildFrdSmooth(r.data(), 40.0, 1.0, 0.0, &mic);
    // Level − 6 dB; phase 3 − (−1) = 4 rad wrapped to 4 − 2π.
    EXPECT_EQ(
        corrected.substr(0, corrected.find('\r')),
        FormatFrdLine(r[13].Frequency, 20.0 * std::log10(2.0) - 6.0, 4.0 - 2.0 * std::numbers::pi));
}

}  // namespace
}  // namespace fim
