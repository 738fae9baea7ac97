#include <gtest/gtest.h>

#include <bit>
#include <filesystem>
#include <limits>

#include "TraceTestData.h"
#include "traces/TraceFile.h"

namespace fim {
namespace {

using testing::MakeSpectrum;

double Ramp(int i) { return 1.0 + i; }
double Zero(int) { return 0.0; }

void PutDoubleAt(std::vector<uint8_t>& b, std::size_t at, double d) {
    const uint64_t v = std::bit_cast<uint64_t>(d);
    for (int i = 0; i < 8; ++i) b[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

TEST(TraceFile, LayoutAndOwnReference) {
    auto s = MakeSpectrum(Ramp, Zero);
    s[10].Frequency = 100.0;  // exactly on the lowest frequency: not part of the reference
    const auto bytes = EncodeTraceFile(100.0, 48000.0, s);
    ASSERT_EQ(bytes.size(), 7104u);
    EXPECT_EQ(bytes[7], 0x40);  // 100.0 = 0x4059000000000000, least significant byte first
    EXPECT_EQ(bytes[6], 0x59);
    EXPECT_EQ(bytes[23], 0x40);  // version 2.0
    const auto d = ParseTraceFile(bytes);
    ASSERT_TRUE(d.has_value());
    EXPECT_EQ(d->SampleRate, 48000.0);
    EXPECT_EQ(d->Records[200].Magnitude, 201.0);
    double sum = 0.0;
    int n = 0;
    for (int i = 0; i < kSmoothRecords; ++i) {
        if (s[i].Frequency > 100.0 && s[i].Frequency < 23000.0) {
            sum += 1.0 + i;
            ++n;
        }
    }
    EXPECT_DOUBLE_EQ(d->OwnReference, sum / n);
}

TEST(TraceFile, Refusals) {
    const auto good = EncodeTraceFile(100.0, 44100.0, MakeSpectrum(Ramp, Zero));
    std::vector<uint8_t> shortFile(good.begin(), good.end() - 1);
    auto oldVersion = good;
    PutDoubleAt(oldVersion, 16, 1.0);
    auto nan = good;
    PutDoubleAt(nan, 24 * 50 + 8, std::numeric_limits<double>::quiet_NaN());
    auto noneInRange = good;  // every record below 23 kHz is at or below the lowest frequency
    PutDoubleAt(noneInRange, 0, 23000.0);
    EXPECT_TRUE(ParseTraceFile(good).has_value());
    for (const auto* b : {&shortFile, &oldVersion, &nan, &noneInRange}) {
        EXPECT_FALSE(ParseTraceFile(*b).has_value());
    }

    testing::TempDir dir;
    const std::string bad = dir.File("missing/sub/main.smr");
    EXPECT_FALSE(WriteTraceFile(bad, 100.0, 44100.0, MakeSpectrum(Ramp, Zero)));
    EXPECT_FALSE(std::filesystem::exists(bad));
}

}  // namespace
}  // namespace fim
