#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "audio/VirtualRoom.h"
#include "spectrum/SpectrumComputer.h"
#include "spectrum/SpectrumFiles.h"
#include "traces/SeatSet.h"

namespace fim {
namespace {

namespace fs = std::filesystem;

// The SMOOTH spectrum of the Virtual Room's response at one seat.
SeatSpectrum Seat(double distance, uint32_t seed, double reverbTime = 0.4) {
    RoomParameters p;
    p.distance = distance;
    p.seed = seed;
    p.reverbTime = reverbTime;
    const std::vector<double> ir = BuildRoomResponse(p, 44100);
    SpectrumInput in;
    in.impulse = ir.data();
    in.impulseCount = ir.size();
    in.viewStart = 1;
    in.viewEnd = static_cast<int64_t>(std::min<std::size_t>(ir.size(), 8192)) + 1;
    in.mode = AnalysisMode::Smooth;
    SpectrumComputer computer;
    EXPECT_TRUE(computer.ComputeSpectrum(in, nullptr));
    SeatSpectrum s;
    s.lowestFrequency = computer.LowestValidFrequency();
    s.sampleRate = 44100;
    EXPECT_EQ(computer.SmoothResult().size(), std::size_t(kSmoothRecords));
    std::copy_n(computer.SmoothResult().begin(), kSmoothRecords, s.records.begin());
    return s;
}

class SeatSetTest : public ::testing::Test {
  protected:
    SeatSetTest() {
        dir = fs::temp_directory_path() /
              ("seatset-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
               "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir);
    }
    ~SeatSetTest() override { fs::remove_all(dir); }
    fs::path dir;
};

TEST_F(SeatSetTest, TheMeanIsTheEqualWeightMeanInDbOfTheSavedSeats) {
    SeatSet set;
    for (const double d : {2.0, 3.5, 5.0, 8.0}) ASSERT_TRUE(set.Add(Seat(d, 7)));
    ASSERT_EQ(set.Save((dir / "Stalls").string(), "Stalls"), "");

    std::vector<SmoothSpectrumFile> files(4);
    for (int k = 0; k < 4; ++k) {
        const auto path = dir / "Stalls" / ("Stalls seat 0" + std::to_string(k + 1) + ".SMR");
        ASSERT_EQ(ReadSmoothSpectrum(path.string(), files[k]), SpectrumFileStatus::Ok) << path;
    }
    SmoothSpectrumFile mean;
    ASSERT_EQ(ReadSmoothSpectrum((dir / "Stalls" / "Stalls mean.SMR").string(), mean),
              SpectrumFileStatus::Ok);
    const SeatStatistics s = set.Compute();
    int compared = 0;
    for (std::size_t i = 0; i < static_cast<std::size_t>(kSmoothRecords); ++i) {
        double sum = 0, square = 0;
        bool all = true;
        for (const auto& f : files) all = all && f.records[i].Magnitude > 0;
        if (!all) continue;
        for (const auto& f : files) sum += 20 * std::log10(f.records[i].Magnitude);
        const double expected = sum / 4;
        for (const auto& f : files) {
            const double d = 20 * std::log10(f.records[i].Magnitude) - expected;
            square += d * d;
        }
        EXPECT_NEAR(s.meanDb[i], expected, 1e-9) << i;
        EXPECT_NEAR(20 * std::log10(mean.records[i].Magnitude), expected, 1e-9) << i;
        EXPECT_NEAR(s.spreadDb[i], std::sqrt(square / 4), 1e-9) << i;
        ++compared;
    }
    EXPECT_GT(compared, 150);
    // Near and far seats differ by several dB: the spread is not zero, and the mean is not the
    // running mean that favours later seats.
    EXPECT_GT(s.spreadDb[150], 0.5);
    std::ifstream summary(dir / "Stalls" / "Stalls.txt");
    std::stringstream text;
    text << summary.rdbuf();
    EXPECT_NE(text.str().find("Seats: 4"), std::string::npos);
}

TEST_F(SeatSetTest, TheSeatInAnotherRoomIsTheFarthest) {
    SeatSet set;
    ASSERT_TRUE(set.Add(Seat(3.0, 1)));
    ASSERT_TRUE(set.Add(Seat(3.5, 2)));
    ASSERT_TRUE(set.Add(Seat(12.0, 99, 1.8)));  // far away in a reverberant hall
    ASSERT_TRUE(set.Add(Seat(4.0, 3)));
    const SeatStatistics s = set.Compute();
    EXPECT_EQ(s.farthest, 2);
    ASSERT_EQ(s.distanceDb.size(), 4u);
    for (int k : {0, 1, 3}) EXPECT_LT(s.distanceDb[k], s.distanceDb[2]);
}

TEST_F(SeatSetTest, LimitsAndRecordsWithoutLevel) {
    SeatSet set;
    SeatSpectrum a = Seat(3, 1);
    SeatSpectrum b = a;
    for (auto& r : b.records) r.Magnitude *= 10;  // +20 dB everywhere
    b.records[10].Magnitude = 0;                  // no level in one record
    ASSERT_TRUE(set.Add(a));
    ASSERT_TRUE(set.Add(b));
    const SeatStatistics s = set.Compute();
    EXPECT_NEAR(s.meanDb[20], 20 * std::log10(a.records[20].Magnitude) + 10, 1e-9);
    EXPECT_NEAR(s.spreadDb[20], 10, 1e-9);
    EXPECT_NEAR(s.meanDb[10], 20 * std::log10(a.records[10].Magnitude), 1e-9)
        << "a record without level is left out, not counted as -inf";

    SeatSpectrum shifted = a;
    shifted.records[5].Frequency *= 1.01;
    EXPECT_FALSE(set.Add(shifted)) << "records on other frequencies";
    while (set.size() < static_cast<std::size_t>(SeatSet::kMaxSeats)) ASSERT_TRUE(set.Add(a));
    EXPECT_FALSE(set.Add(a));
    EXPECT_EQ(SeatSet().Compute().farthest, -1);
    EXPECT_NE(SeatSet().Save(dir.string(), "x"), "");
}

TEST(SeatSetCurve, MeanAndBandAreLevelsAgainstTheReferenceAndTheFarthestSeatIsDrawn) {
    SeatSet set;
    for (const double d : {2.0, 2.5, 12.0}) ASSERT_TRUE(set.Add(Seat(d, 3)));
    const SeatStatistics stats = set.Compute();
    ASSERT_EQ(stats.farthest, 2);
    const double reference = 0.01;  // −40 dB: every level rises by 40 dB, then the gain
    const BandCurve band =
        SeatSetCurve(set, stats, "Stalls", reference, 100.0, 10000.0, 3.0, 1, 2, 2);
    ASSERT_FALSE(band.mean.empty());
    ASSERT_EQ(band.mean.size(), band.lower.size());
    ASSERT_FALSE(band.flagged.points.empty());
    EXPECT_GE(band.mean.front().frequency, 100.0);
    EXPECT_LE(band.mean.back().frequency, 10000.0);
    auto record = [&](double f) {
        std::size_t i = 0;
        while (stats.mean[i].Frequency != f) ++i;
        return i;
    };
    for (std::size_t j = 0; j < band.mean.size(); ++j) {
        const std::size_t i = record(band.mean[j].frequency);
        EXPECT_NEAR(band.mean[j].db, stats.meanDb[i] + 43.0, 1e-9);
        EXPECT_NEAR(band.upper[j].db - band.mean[j].db, stats.spreadDb[i], 1e-9);
        EXPECT_NEAR(band.mean[j].db - band.lower[j].db, stats.spreadDb[i], 1e-9);
    }
    // The farthest seat where it has a level.
    for (const CurvePoint& p : band.flagged.points) {
        const double m = set.seats()[2].records[record(p.frequency)].Magnitude;
        EXPECT_NEAR(p.db, 20.0 * std::log10(m) + 43.0, 1e-9);
    }
    char farthest[64];
    std::snprintf(farthest, sizeof farthest, "farthest: seat 3, %.2f dB", stats.distanceDb[2]);
    EXPECT_EQ(band.legend,
              (std::vector<std::string>{"Stalls: mean \u00b1 spread of 3 seats", farthest}));
    // No reference, no curve.
    EXPECT_TRUE(SeatSetCurve(set, stats, "x", 0.0, 20, 20000, 0, 1, 2, 2).mean.empty());
}

}  // namespace
}  // namespace fim
