#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <string>

#include "../audio/FileTestUtil.h"
#include "base/FileTexts.h"
#include "base/ScriptedPrompter.h"
#include "spectrum/CalibrationStore.h"
#include "spectrum/MicCalText.h"

namespace fim {
namespace {

std::string DataFile(const std::string& name) {
    return std::string(FIM_TEST_DATA_DIR) + "/miccal/" + name;
}

// SMOOTH-like record frequencies: 294 log-spaced points from 35 Hz to about 22 kHz.
std::vector<SmoothRecord> Frequencies() {
    std::vector<SmoothRecord> r(kSmoothRecords);
    for (int i = 0; i < kSmoothRecords - 1; ++i) r[i].Frequency = 35.0 * std::pow(1.0222, i);
    r.back().Frequency = 50000.0;
    return r;
}

TEST(MicCalTextTest, TheFourLayoutsGiveTheSameCorrection) {
    struct Layout {
        const char* file;
        std::optional<double> sensitivity;
        bool phase;
    };
    const Layout layouts[] = {
        {"quoted_sens_tab_crlf.txt", -1.378, false},
        {"star_sens_normalised.txt", -38.5, false},
        {"comments_space_phase.frd", std::nullopt, true},
        {"bom_comma_unsorted.csv", std::nullopt, false},
    };
    const auto freqs = Frequencies();
    std::vector<MicCorrection> corr;
    for (const auto& l : layouts) {
        MicCalData d;
        ASSERT_EQ(ReadMicCalText(DataFile(l.file), d), MicCalStatus::Ok) << l.file;
        EXPECT_EQ(d.sensitivity, l.sensitivity) << l.file;
        EXPECT_EQ(d.hasPhase, l.phase) << l.file;
        EXPECT_GT(d.points.size(), 100u) << l.file;
        for (std::size_t i = 1; i < d.points.size(); ++i)
            ASSERT_LT(d.points[i - 1].frequency, d.points[i].frequency) << l.file;
        corr.push_back(BuildMicCorrection(d, freqs.data(), 44100.0));
    }
    // The normalised file is shifted by its value at 1 kHz against the others.
    MicCalData quoted;
    ASSERT_EQ(ReadMicCalText(DataFile("quoted_sens_tab_crlf.txt"), quoted), MicCalStatus::Ok);
    MicCalData normalised;
    ASSERT_EQ(ReadMicCalText(DataFile("star_sens_normalised.txt"), normalised), MicCalStatus::Ok);
    const double offset =
        InterpolateMicCal(quoted, 1000.0).db - InterpolateMicCal(normalised, 1000.0).db;
    for (std::size_t i = 0; i < corr[0].entries.size(); ++i) {
        const double ref = corr[0].entries[i].db;
        EXPECT_NEAR(corr[1].entries[i].db + offset, ref, 0.02) << i;
        EXPECT_NEAR(corr[2].entries[i].db, ref, 0.02) << i;
        EXPECT_NEAR(corr[3].entries[i].db, ref, 0.02) << i;
        EXPECT_EQ(corr[0].entries[i].frequency, freqs[i].Frequency);
        EXPECT_LE(std::fabs(corr[2].entries[i].phase), 0.51) << "phase in radians";
    }
    EXPECT_EQ(corr[0].sampleRate, 44100.0);
}

TEST(MicCalTextTest, InterpolatesInLogFrequencyAndHoldsTheEnds) {
    MicCalData d;
    ASSERT_EQ(ParseMicCalText("100 0 0\n10000 4 90\n", d), MicCalStatus::Ok);
    // 1000 Hz is half-way between 100 and 10000 Hz on a log axis.
    EXPECT_DOUBLE_EQ(InterpolateMicCal(d, 1000.0).db, 2.0);
    EXPECT_DOUBLE_EQ(InterpolateMicCal(d, 1000.0).phaseDeg, 45.0);
    EXPECT_DOUBLE_EQ(InterpolateMicCal(d, 10.0).db, 0.0);
    EXPECT_DOUBLE_EQ(InterpolateMicCal(d, 20000.0).db, 4.0);
    std::vector<SmoothRecord> f(kSmoothRecords);
    for (auto& r : f) r.Frequency = 1000.0;
    const MicCorrection m = BuildMicCorrection(d, f.data(), 48000.0);
    EXPECT_DOUBLE_EQ(m.entries[0].phase, std::numbers::pi / 4);
}

TEST(MicCalTextTest, NastyVariantsReadTheSamePoints) {
    const std::string plain = "20 -1.5\n1000 0\n20000 -3.25\n";
    const char* variants[] = {
        "\xEF\xBB\xBF"
        "20 -1.5\r\n1000 0\r\n20000 -3.25\r\n",             // BOM, CR LF
        "Freq,dB\r\n20,-1.5\r\n\r\n1000,0\r\n20000,-3.25",  // header, comma, no last EOL
        "20000\t-3.25\n\n\t\n20\t-1.5\n1000\t0\n",          // unsorted, tabs, blank lines
        "* comment 5 6\n\"quoted\"\n  20  -1.5  \n+1000;0\n20000;-3.25\n",  // indent, plus,
                                                                            // semicolon
        "20 -1.5\n1000 0\n20000 -3.25\n1000 7\nabc 1 2\n12abc 3\n",         // duplicate, junk
        "20 -1.5\r1000 0\r20000 -3.25\r",                                   // old Mac line ends
    };
    MicCalData ref;
    ASSERT_EQ(ParseMicCalText(plain, ref), MicCalStatus::Ok);
    for (const char* v : variants) {
        MicCalData d;
        ASSERT_EQ(ParseMicCalText(v, d), MicCalStatus::Ok) << v;
        ASSERT_EQ(d.points.size(), 3u) << v;
        for (std::size_t i = 0; i < 3; ++i) {
            EXPECT_EQ(d.points[i].frequency, ref.points[i].frequency) << v;
            EXPECT_EQ(d.points[i].db, ref.points[i].db) << v;
        }
    }
}

TEST(MicCalTextTest, TextsWithoutPointsAreRefused) {
    MicCalData d;
    d.sensitivity = 1.0;
    for (const char* t :
         {"", "\xEF\xBB\xBF", "Hz,dB\n", "100\n200\n", "0 1\n-5 2\n", "nan 1\n", "1e999 1\n"}) {
        EXPECT_EQ(ParseMicCalText(t, d), MicCalStatus::NoData) << t;
    }
    EXPECT_EQ(d.sensitivity, 1.0) << "a refused text changed the output";
    EXPECT_EQ(ParseMicCalText(std::string(kMicCalTextMaxBytes + 1, ' '), d),
              MicCalStatus::TooLarge);
}

TEST(MicCalTextTest, ImportSetsTheCorrectionOrRefusesWithABox) {
    ScriptedPrompter prompter;
    CalibrationStore store(prompter);
    const auto freqs = Frequencies();
    ASSERT_TRUE(store.ImportMicCalText(DataFile("quoted_sens_tab_crlf.txt"), freqs.data(), 48000));
    EXPECT_TRUE(store.MicLoaded());
    EXPECT_EQ(store.Mic().sampleRate, 48000.0);
    EXPECT_EQ(store.MicSensitivity(), -1.378);
    const double db = store.Mic().entries[100].db;

    test::TempDir dir;
    test::WriteBytes(dir.File("empty.txt"), {'H', 'z', '\n'});
    EXPECT_FALSE(store.ImportMicCalText(dir.File("empty.txt"), freqs.data(), 48000));
    ASSERT_EQ(prompter.shown.size(), 1u);
    EXPECT_NE(prompter.shown[0].text.find(FileMessage(FileText::MicCalNoData)), std::string::npos);
    EXPECT_EQ(store.Mic().entries[100].db, db) << "a refused import replaced the correction";
}

}  // namespace
}  // namespace fim
