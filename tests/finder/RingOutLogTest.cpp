#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <string>
#include <vector>

#include "../audio/LiveRig.h"
#include "audio/VirtualRoom.h"
#include "base/MemorySettingsTree.h"
#include "finder/FinderModel.h"
#include "finder/RingOutLog.h"

namespace fim {
namespace {

using testing::LiveRig;

// A plain RFC 4180 reader: quoted fields may hold commas, quotes (doubled) and line breaks;
// records end with CRLF (a bare LF is accepted too).
std::vector<std::vector<std::string>> ReadCsv(const std::string& text) {
    std::vector<std::vector<std::string>> records;
    std::vector<std::string> record;
    std::string field;
    bool quoted = false, wasQuoted = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (quoted) {
            if (c == '"' && i + 1 < text.size() && text[i + 1] == '"') {
                field += '"';
                ++i;
            } else if (c == '"') {
                quoted = false;
            } else {
                field += c;
            }
        } else if (c == '"' && field.empty() && !wasQuoted) {
            quoted = wasQuoted = true;
        } else if (c == ',') {
            record.push_back(field);
            field.clear();
            wasQuoted = false;
        } else if (c == '\r' || c == '\n') {
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
            record.push_back(field);
            records.push_back(record);
            record.clear();
            field.clear();
            wasQuoted = false;
        } else {
            field += c;
        }
    }
    EXPECT_FALSE(quoted) << "unterminated quoted field";
    if (!field.empty() || !record.empty()) {
        record.push_back(field);
        records.push_back(record);
    }
    return records;
}

FinderCapture Capture(double frequency, double peakDb, int32_t mode = kEq31Band,
                      int32_t length = 4096) {
    FinderCapture c;
    c.reading.frequency = frequency;
    c.reading.valid = true;
    c.displayMode = mode;
    c.captureLength = length;
    c.sampleRate = 44100;
    c.peakDb = peakDb;
    c.thresholdDb = -10;
    return c;
}

// Runs the finder on a Virtual Room whose feedback tone howls at `frequency` and returns the
// first capture it analysed.
std::optional<FinderCapture> RingOnce(double frequency, int32_t mode) {
    RoomParameters p;
    p.realTime = false;
    p.feedback = true;
    p.feedbackFrequency = frequency;
    p.feedbackLevel = -4;
    p.feedbackDelay = 0.3;
    p.feedbackLength = 0.8;
    VirtualRoom room(p);
    LiveRig rig(&room, kVirtualRoomName);
    FinderSettings settings;
    settings.DisplayMode = mode;
    settings.Resolution = 1;
    FinderModel model(rig.s, *rig.controller, rig.view, rig.prompter, settings, &rig.wake);
    std::optional<FinderCapture> first;
    model.onCapture = [&](const FinderCapture& c) {
        if (!first) first = c;
    };
    if (!model.Open()) return std::nullopt;
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (!first && std::chrono::steady_clock::now() < until) {
        rig.wake.WaitFor(std::chrono::milliseconds(50));
        model.DispatchEvents();
    }
    model.Close();
    return first;
}

TEST(RingOutLog, ThreeVirtualRoomTonesInTurnGiveThreeRowsWithTheirBands) {
    RingOutLog log;
    const double tones[] = {250, 1000, 4000};
    int64_t t = 1'790'000'000;
    for (const double f : tones) {
        const auto c = RingOnce(f, kEq31Band);
        ASSERT_TRUE(c) << f << " Hz was not captured";
        log.Add(*c, t++);
    }
    // One more in 10-band mode: the same howl reads as its octave band.
    const auto octave = RingOnce(700, kEq10Band);
    ASSERT_TRUE(octave);
    log.Add(*octave, t++);

    const auto rows = log.Rows(RingOutOrder::Time);
    ASSERT_EQ(rows.size(), 4u);
    EXPECT_EQ(rows[0].band, "250.0 Hz");
    EXPECT_EQ(rows[1].band, "1.00 kHz");
    EXPECT_EQ(rows[2].band, "4.00 kHz");
    EXPECT_EQ(rows[3].band, "500.0 Hz");
    EXPECT_EQ(rows[3].entry.series, 3);
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(rows[i].count, 1);
        EXPECT_NEAR(rows[i].entry.frequency, tones[i], 44100.0 / 4096);
        // The tone swelled through the −10 dB trigger and stays below its −4 dB peak.
        EXPECT_GT(rows[i].entry.overThreshold, 0.0);
        EXPECT_LT(rows[i].entry.overThreshold, 6.5);
        EXPECT_LT(std::abs(rows[i].deviation), 50);
    }
}

TEST(RingOutLog, TheSameBandAgainRaisesCountAndDepthUpToTheLimit) {
    RingOutLog log;
    log.Add(Capture(1000, -8), 100);  // 2 dB over the threshold
    log.Add(Capture(250, -9), 101);
    auto rows = log.Rows(RingOutOrder::Time);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].count, 1);
    EXPECT_DOUBLE_EQ(rows[0].eqCut, 4.5);  // 3 + 1 → 4.5 in 1.5 dB steps
    const double firstQ = rows[0].notchQ;
    EXPECT_NEAR(firstQ, 1000 / (2 * 44100.0 / 4096), 1e-9);

    log.Add(Capture(1020, -8), 102);  // the same third-octave band once more
    rows = log.Rows(RingOutOrder::Time);
    EXPECT_EQ(rows[0].count, 2);
    EXPECT_EQ(rows[2].count, 2);
    EXPECT_GT(rows[0].eqCut, 4.5);
    EXPECT_EQ(std::fmod(rows[0].eqCut, 1.5), 0.0);
    EXPECT_DOUBLE_EQ(rows[0].notchFrequency, 1010);
    EXPECT_LT(rows[0].notchQ, firstQ) << "a wider spread of readings widens the notch";
    EXPECT_EQ(rows[1].count, 1) << "the other band is not touched";
    EXPECT_DOUBLE_EQ(rows[1].eqCut, 3.0);  // 3 + 0.5 → 3.0

    for (int i = 0; i < 10; ++i) log.Add(Capture(1000, 0), 200 + i);
    EXPECT_DOUBLE_EQ(log.Rows(RingOutOrder::Time)[0].eqCut, 12.0);
    EXPECT_DOUBLE_EQ(SuggestedCut(1, std::nan("")), 3.0);
    EXPECT_DOUBLE_EQ(SuggestedCut(1, -5), 3.0) << "SAMPLE below the threshold still cuts";
}

TEST(RingOutLog, SortsByBandOrTimeAndDeletesOneRow) {
    RingOutLog log;
    log.Add(Capture(4000, -5), 10);
    log.Add(Capture(250, -5), 11);
    log.Add(Capture(4100, -5), 12);
    log.Add(Capture(1000, -5, kFrequency), 13);  // FREQUENCY mode logs third-octave bands
    auto byBand = log.Rows(RingOutOrder::Band);
    std::vector<std::string> bands;
    for (const auto& r : byBand) bands.push_back(r.band + "@" + std::to_string(r.entry.time));
    EXPECT_EQ(bands, (std::vector<std::string>{"250.0 Hz@11", "1.00 kHz@13", "4.00 kHz@10",
                                               "4.00 kHz@12"}));
    // Deleting the row shown second by band deletes that capture, whatever the order.
    ASSERT_TRUE(log.Delete(byBand[1].index));
    EXPECT_FALSE(log.Delete(3));
    const auto byTime = log.Rows(RingOutOrder::Time);
    ASSERT_EQ(byTime.size(), 3u);
    EXPECT_EQ(byTime[0].entry.time, 10);
    EXPECT_EQ(byTime[1].entry.time, 11);
    EXPECT_EQ(byTime[2].entry.time, 12);
    log.Clear();
    EXPECT_TRUE(log.Rows(RingOutOrder::Band).empty());
}

TEST(RingOutLog, CsvRoundTripsThroughAStandardReader) {
    RingOutLog log;
    log.Add(Capture(63, -7), 1'790'000'000);
    log.Add(Capture(1000, -2), 1'790'000'060);
    log.Add(Capture(1000, -3, kEq15Band, 8192), 1'790'000'120);
    const std::string csv = log.Csv(RingOutOrder::Time);
    const auto records = ReadCsv(csv);
    ASSERT_EQ(records.size(), 4u);
    EXPECT_EQ(records[0][0], "Time");
    EXPECT_EQ(records[0][1], "Frequency (Hz)");
    const auto rows = log.Rows(RingOutOrder::Time);
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const auto& f = records[i + 1];
        ASSERT_EQ(f.size(), records[0].size());
        EXPECT_EQ(f[0], FormatLocalTime(rows[i].entry.time));
        EXPECT_NEAR(std::stod(f[1]), rows[i].entry.frequency, 0.05);
        EXPECT_EQ(f[3], rows[i].band);
        EXPECT_EQ(std::stoi(f[6]), rows[i].count);
        EXPECT_NEAR(std::stod(f[7]), -rows[i].eqCut, 1e-9);
    }
    EXPECT_EQ(records[3][2], "15 band");

    // Fields with the separator, quotes or line breaks survive the reader unchanged.
    const std::vector<std::string> tricky = {"plain", "a,b", "say \"hi\"", "two\r\nlines", ""};
    std::string line;
    for (const auto& t : tricky) line += (line.empty() ? "" : ",") + CsvQuote(t);
    const auto back = ReadCsv(line + "\r\n");
    ASSERT_EQ(back.size(), 1u);
    EXPECT_EQ(back[0], tricky);
}

TEST(RingOutLog, KeptInTheSettingsTreeUntilCleared) {
    MemorySettingsTree tree;
    RingOutLog log;
    log.Add(Capture(1000, -2), 5);
    log.Add(Capture(125, -6, kEq10Band, 2048), 6);
    log.Store(tree);

    RingOutLog restarted;
    restarted.Load(tree);
    ASSERT_EQ(restarted.size(), 2u);
    for (std::size_t i = 0; i < 2; ++i) {
        const auto& a = log.entries()[i];
        const auto& b = restarted.entries()[i];
        EXPECT_EQ(a.time, b.time);
        EXPECT_EQ(a.frequency, b.frequency);
        EXPECT_EQ(a.series, b.series);
        EXPECT_EQ(a.overThreshold, b.overThreshold);
        EXPECT_EQ(a.captureLength, b.captureLength);
        EXPECT_EQ(a.sampleRate, b.sampleRate);
    }
    EXPECT_EQ(restarted.Csv(RingOutOrder::Band), log.Csv(RingOutOrder::Band));

    // A damaged or foreign block reads as an empty log.
    auto block = log.Encode();
    for (auto damage : {0, 1, 2}) {
        auto bad = block;
        if (damage == 0) bad.pop_back();
        if (damage == 1) bad[4] = 2;        // a later version
        if (damage == 2) bad[12 + 16] = 9;  // series 9
        tree.WriteBinary(RingOutLog::kSettingsName, bad);
        RingOutLog damaged;
        damaged.Load(tree);
        EXPECT_EQ(damaged.size(), 0u) << damage;
    }

    restarted.Clear();
    restarted.Store(tree);
    EXPECT_FALSE(tree.HasValue(RingOutLog::kSettingsName));
}

}  // namespace
}  // namespace fim
