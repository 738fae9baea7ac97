#include <gtest/gtest.h>

#include <bit>
#include <cstring>
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
    for (int i = 0; i < 8; ++i)
        b[at + static_cast<std::size_t>(i)] = static_cast<uint8_t>(v >> (8 * i));
}

TEST(TraceFile, EncodesLittleEndianHeaderAndRecords) {
    const auto s = MakeSpectrum(Ramp, Zero);
    const auto bytes = EncodeTraceFile(100.0, 48000.0, s);
    ASSERT_EQ(bytes.size(), 7104u);
    // 100.0 = 0x4059000000000000, least significant byte first.
    EXPECT_EQ(bytes[7], 0x40);
    EXPECT_EQ(bytes[6], 0x59);
    EXPECT_EQ(bytes[0], 0x00);
    // Version 2.0 = 0x4000000000000000 at offset 16.
    EXPECT_EQ(bytes[23], 0x40);
    EXPECT_EQ(bytes[22], 0x00);

    const auto d = ParseTraceFile(bytes);
    ASSERT_TRUE(d.has_value());
    EXPECT_EQ(d->LowFrequencyLimit, 100.0);
    EXPECT_EQ(d->SampleRate, 48000.0);
    for (std::size_t i = 0; i < s.size(); ++i) {
        ASSERT_EQ(d->Records[i].Frequency, s[i].Frequency);
        ASSERT_EQ(d->Records[i].Magnitude, s[i].Magnitude);
    }
}

TEST(TraceFile, OwnReferenceIsMeanStrictlyInsideRange) {
    auto s = MakeSpectrum(Ramp, Zero);
    // Put a record exactly on the lowest frequency: it must not count.
    s[10].Frequency = 100.0;
    const auto d = ParseTraceFile(EncodeTraceFile(100.0, 44100.0, s));
    ASSERT_TRUE(d.has_value());
    double sum = 0.0;
    int n = 0;
    for (int i = 0; i < kSmoothRecords; ++i) {
        const double f = s[static_cast<std::size_t>(i)].Frequency;
        if (f > 100.0 && f < 23000.0) {
            sum += 1.0 + i;
            ++n;
        }
    }
    ASSERT_GT(n, 0);
    EXPECT_DOUBLE_EQ(d->OwnReference, sum / n);
}

TEST(TraceFile, Refusals) {
    const auto good = EncodeTraceFile(100.0, 44100.0, MakeSpectrum(Ramp, Zero));
    ASSERT_TRUE(ParseTraceFile(good).has_value());

    auto shortFile = good;
    shortFile.pop_back();
    EXPECT_FALSE(ParseTraceFile(shortFile).has_value());
    auto longFile = good;
    longFile.push_back(0);
    EXPECT_FALSE(ParseTraceFile(longFile).has_value());

    auto oldVersion = good;
    PutDoubleAt(oldVersion, 16, 1.0);
    EXPECT_FALSE(ParseTraceFile(oldVersion).has_value());

    auto nan = good;
    PutDoubleAt(nan, 24 * 50 + 8, std::numeric_limits<double>::quiet_NaN());
    EXPECT_FALSE(ParseTraceFile(nan).has_value());

    // Lowest valid frequency above every record below 23 kHz: no level reference.
    auto empty = good;
    PutDoubleAt(empty, 0, 23000.0);
    EXPECT_FALSE(ParseTraceFile(empty).has_value());
}

TEST(TraceFile, AtomicWriteReplacesOnlyWhenComplete) {
    testing::TempDir dir;
    const std::string path = dir.File("main.smr");
    const std::vector<uint8_t> first(10, 1);
    ASSERT_TRUE(WriteFileAtomically(path, first));
    const std::vector<uint8_t> second(20, 2);
    ASSERT_TRUE(WriteFileAtomically(path, second));
    EXPECT_EQ(ReadFileBytes(path, 100), second);
    EXPECT_FALSE(std::filesystem::exists(path + ".tmp~"));

    // A folder that does not exist: refused, nothing created.
    const std::string bad = dir.File("missing/sub/main.smr");
    EXPECT_FALSE(WriteFileAtomically(bad, first));
    EXPECT_FALSE(std::filesystem::exists(bad));
    EXPECT_FALSE(ReadFileBytes(bad, 100).has_value());
    // An oversized file is read one byte past the limit so the caller notices.
    EXPECT_EQ(ReadFileBytes(path, 5)->size(), 6u);
}

}  // namespace
}  // namespace fim
