#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>

#include "FileTestUtil.h"
#include "audio/TimeFile.h"

namespace fim {
namespace {

using test::Bytes;

Bytes Doubles(const std::vector<double>& v) {
    Bytes b;
    for (double d : v) {
        uint64_t bits;
        std::memcpy(&bits, &d, 8);
        for (int i = 0; i < 8; ++i) b.push_back(static_cast<unsigned char>(bits >> (8 * i)));
    }
    return b;
}

TEST(TimeFileTest, OrderTwelveRoundTripHas4097RecordsAndExactSamples) {
    test::TempDir dir;
    const std::string path = dir.File("ir.mtf");
    std::vector<double> s(4096);
    for (std::size_t i = 0; i < s.size(); ++i) s[i] = std::sin(0.1 * i) * 1e3 / (1.0 + i);
    s[4095] = 0.0;
    s[17] = -std::numeric_limits<double>::denorm_min();
    ASSERT_TRUE(WriteTimeFile(path, 44100.0, s.data(), s.size()));

    const Bytes raw = test::ReadBytes(path);
    ASSERT_EQ(raw.size(), 32776u);
    // 44100.0 = 0x40E5888000000000, little-endian.
    const Bytes rate = {0, 0, 0, 0, 0x80, 0x88, 0xE5, 0x40};
    EXPECT_TRUE(std::equal(rate.begin(), rate.end(), raw.begin()));

    TimeFileData d;
    ASSERT_EQ(ReadTimeFile(path, d), TimeFileStatus::Ok);
    EXPECT_EQ(d.sampleRate, 44100);
    EXPECT_EQ(d.samplesInFile, 4096u);
    EXPECT_FALSE(d.Truncated());
    ASSERT_EQ(d.samples.size(), 4096u);
    for (std::size_t i = 0; i < s.size(); ++i)
        ASSERT_EQ(std::memcmp(&d.samples[i], &s[i], 8), 0) << i;
}

TEST(TimeFileTest, RefusesWhatCannotBeATimeFileAndKeepsTheOutput) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    struct Case {
        const char* name;
        Bytes bytes;
        TimeFileStatus status;
    };
    Bytes odd = Doubles({44100, 1.0});
    odd.push_back(0);
    const Case cases[] = {
        {"empty", {}, TimeFileStatus::TooShort},
        {"rate only", Doubles({44100}), TimeFileStatus::TooShort},
        {"odd size", odd, TimeFileStatus::BadSize},
        {"nine bytes short of two records", Bytes(15, 0), TimeFileStatus::BadSize},
        {"NaN rate", Doubles({nan, 1}), TimeFileStatus::BadRate},
        {"infinite rate", Doubles({inf, 1}), TimeFileStatus::BadRate},
        {"rate below 1000", Doubles({999.4, 1}), TimeFileStatus::BadRate},
        {"rate above 65535", Doubles({65535.6, 1}), TimeFileStatus::BadRate},
        {"negative rate", Doubles({-44100, 1}), TimeFileStatus::BadRate},
    };
    for (const auto& c : cases) {
        TimeFileData d;
        d.samples = {5.0};
        MemorySource src(c.bytes.data(), c.bytes.size());
        EXPECT_EQ(ReadTimeFile(src, d), c.status) << c.name;
        EXPECT_EQ(d.samples, std::vector<double>{5.0}) << c.name;
        EXPECT_STRNE(TimeFileStatusText(c.status), "");
    }
    // A rate that is not whole is rounded (half to even) before its range is checked.
    const std::pair<double, int> rates[] = {{1000.0, 1000},   {999.5, 1000},    {65535.0, 65535},
                                            {65535.4, 65535}, {48000.4, 48000}, {44100.5, 44100},
                                            {44101.5, 44102}};
    for (const auto& [rate, expected] : rates) {
        const Bytes b = Doubles({rate, -2.5});
        MemorySource src(b.data(), b.size());
        TimeFileData d;
        ASSERT_EQ(ReadTimeFile(src, d), TimeFileStatus::Ok) << rate;
        EXPECT_EQ(d.sampleRate, expected) << rate;
        EXPECT_EQ(d.samples, std::vector<double>{-2.5});
    }
}

TEST(TimeFileTest, LongFileLoadsItsFirstSamplesUpToTheCapacity) {
    std::vector<double> v(262144 + 10 + 1);
    v[0] = 48000;
    for (std::size_t i = 1; i < v.size(); ++i) v[i] = static_cast<double>(i);
    const Bytes b = Doubles(v);
    MemorySource src(b.data(), b.size());
    TimeFileData d;
    ASSERT_EQ(ReadTimeFile(src, d), TimeFileStatus::Ok);
    EXPECT_EQ(d.samplesInFile, 262154u);
    ASSERT_EQ(d.samples.size(), 262144u);
    EXPECT_TRUE(d.Truncated());
    EXPECT_EQ(d.samples.front(), 1.0);
    EXPECT_EQ(d.samples.back(), 262144.0);
}

TEST(TimeFileTest, MissingFileAndUnwritableFolder) {
    test::TempDir dir;
    TimeFileData d;
    EXPECT_EQ(ReadTimeFile(dir.File("missing.mtf"), d), TimeFileStatus::CannotOpen);
    const double s[1] = {1};
    std::string error;
    EXPECT_FALSE(WriteTimeFile(dir.File("no/such/folder/x.mtf"), 44100, s, 1, &error));
    EXPECT_FALSE(error.empty());
}

}  // namespace
}  // namespace fim
