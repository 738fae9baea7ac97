#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <numbers>
#include <vector>

#include "base/MemorySettingsTree.h"
#include "spectrum/FrequencyDisplay.h"

namespace fim {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

std::vector<std::string> Labels(const std::vector<GridLine>& g) {
    std::vector<std::string> out;
    for (const auto& l : g)
        if (!l.label.empty()) out.push_back(l.label);
    return out;
}
bool HasLine(const std::vector<GridLine>& g, double f) {
    for (const auto& l : g)
        if (l.frequency == f) return true;
    return false;
}

TEST(FrequencyDisplayTest, MapperPutsLimitsAndLevelsOnTheEdges) {
    const FrequencyMapper m(1000, 400, 20.0, 20000.0, 20);
    EXPECT_EQ(m.X(20.0), 0);
    EXPECT_EQ(m.X(20000.0), 1000);
    EXPECT_EQ(m.X(std::sqrt(20.0 * 20000.0)), 500);  // geometric middle
    EXPECT_EQ(m.X(200.0), 333);                      // one decade of three
    EXPECT_NEAR(m.FrequencyAt(500), std::sqrt(20.0 * 20000.0), 1e-9);
    EXPECT_EQ(m.Y(20.0), 0);
    EXPECT_EQ(m.Y(-20.0), 400);
    EXPECT_EQ(m.Y(0.0), 200);
    EXPECT_EQ(m.YPhase(std::numbers::pi), 0);
    EXPECT_EQ(m.YPhase(-std::numbers::pi), 400);

    // A lower limit above the upper one must not divide by zero or mirror the axis.
    const FrequencyMapper bad(100, 100, 5000.0, 1000.0, 20);
    EXPECT_EQ(bad.X(5000.0), 0);
    EXPECT_GT(bad.X(7000.0), 0);
    EXPECT_TRUE(std::isfinite(bad.FrequencyAt(50)));
}

TEST(FrequencyDisplayTest, FitDefaultAndEffectiveLowerLimit) {
    FrequencyDisplay d;
    d.lowestValid = 43.0;
    d.sampleRate = 48000.0;
    d.lowerLimit = 300.0;
    d.Fit();
    EXPECT_EQ(d.upperLimit, 20000.0);
    EXPECT_EQ(d.lowerLimit, 43.0);
    d.sampleRate = 22050.0;
    d.Fit();
    EXPECT_EQ(d.upperLimit, 11025.0);

    d.gain = 7;
    d.range = 33;
    d.gap = 2;
    d.lowerLimit = 500.0;
    d.Default();
    EXPECT_EQ(d.gain, 0);
    EXPECT_EQ(d.range, 20);
    EXPECT_EQ(d.gap, 5);
    EXPECT_EQ(d.lowerLimit, 43.0);

    d.lowerLimit = 10.0;
    EXPECT_EQ(d.EffectiveLower(), 43.0);
    d.calibrationLowest = 60.0;
    EXPECT_EQ(d.EffectiveLower(), 43.0) << "calibration not in use";
    d.calibrationInUse = true;
    EXPECT_EQ(d.EffectiveLower(), 60.0);
}

TEST(FrequencyDisplayTest, DecadeGridLabelsFollowTheLowerLimit) {
    const auto low = DecadeGrid(19.0);
    EXPECT_EQ(Labels(low),
              (std::vector<std::string>{"20", "50", "100", "500", "1k", "5k", "10k", "15k"}));
    EXPECT_FALSE(HasLine(low, 60.0));
    EXPECT_FALSE(HasLine(low, 12000.0));
    EXPECT_TRUE(HasLine(low, 900.0));

    EXPECT_EQ(Labels(DecadeGrid(100.0)), (std::vector<std::string>{"300", "500", "700", "1k", "3k",
                                                                   "5k", "7k", "10k", "15k"}));
    const auto mid = DecadeGrid(250.0);
    EXPECT_EQ(Labels(mid).front(), "300");
    EXPECT_EQ(Labels(mid).size(), mid.size()) << "every drawn line labelled";

    const auto high = DecadeGrid(350.0);
    EXPECT_TRUE(HasLine(high, 700.0));
    EXPECT_TRUE(HasLine(high, 17000.0));
    const auto labels = Labels(high);
    EXPECT_EQ(std::count(labels.begin(), labels.end(), "700"), 0);
    EXPECT_EQ(labels.front(), "400");
    EXPECT_EQ(labels.back(), "20k");
}

TEST(FrequencyDisplayTest, EqBordersStartBelowTwentyHertzOnlyWhenTheLimitIsLower) {
    std::vector<double> borders;
    std::vector<GridLine> labels;
    EqGrid(17.0, borders, labels);
    ASSERT_EQ(borders.size(), 31u);
    EXPECT_NEAR(borders.front(), 17.889, 1e-3);
    EXPECT_NEAR(borders.back(), std::sqrt(16000.0 * 20000.0), 1e-9);
    EXPECT_EQ(labels.front().label, "20 Hz");
    EXPECT_EQ(labels.back().label, "20 kHz");

    EqGrid(18.0, borders, labels);
    EXPECT_EQ(borders.size(), 30u);
    EXPECT_NEAR(borders.front(), std::sqrt(20.0 * 25.0), 1e-9);
}

TEST(FrequencyDisplayTest, GapChoicesAndLevelGrid) {
    EXPECT_EQ(GapChoices(20), (std::vector<int>{1, 2, 3, 4, 5, 7, 10}));
    EXPECT_EQ(GapChoices(40), (std::vector<int>{3, 4, 6, 8, 10, 13, 20}));
    // At a small range the ratios round to 0: no grid without spacing is offered.
    EXPECT_EQ(GapChoices(2), (std::vector<int>{1}));

    FrequencyDisplay d;
    const auto popup = d.Popup(EditorMode::LinesGap);
    ASSERT_EQ(popup.size(), 9u);
    EXPECT_EQ(popup[0].caption, "1 dB");
    EXPECT_EQ(popup[6].caption, "10 dB");
    EXPECT_EQ(popup[8].caption, "AUTO");

    const auto grid = LevelGrid(20, 7);
    std::vector<int> dbs;
    for (const auto& l : grid) dbs.push_back(l.db);
    EXPECT_EQ(dbs, (std::vector<int>{0, 7, -7, 14, -14}));
    EXPECT_EQ(LevelGrid(3, 0).size(), 7u) << "a gap of 0 draws every dB, it never loops";
}

TEST(FrequencyDisplayTest, RangeGapAndEditorLimits) {
    FrequencyDisplay d;
    d.SetRange(17);
    EXPECT_EQ(d.gap, 5) << "auto gap off";
    d.SetAutoGap(true);
    EXPECT_EQ(d.gap, 4);  // Round(17/5 + 1) = Round(4.4)
    d.SetRange(25);
    EXPECT_EQ(d.gap, 6);  // Round(6.0)
    d.SetRange(10);
    EXPECT_EQ(d.gap, 3);

    d.OptiFit(-13.0);  // |Round(-20)| = 20
    EXPECT_EQ(d.range, 20);
    d.OptiFit(0.5);
    EXPECT_EQ(d.range, 2);
    d.OptiFit(60.0);
    EXPECT_EQ(d.range, 40);

    d.lowestValid = 21.53;
    d.sampleRate = 44100.0;
    const EditorSetup left = d.Setup(EditorMode::Left);
    EXPECT_EQ(left.minimum, 22);
    EXPECT_EQ(left.maximum, 20045);
    EXPECT_EQ(left.step, 20);
    EXPECT_EQ(d.Setup(EditorMode::Right).minimum, 222);
    d.SetEditorValue(EditorMode::Gain, 55);
    EXPECT_EQ(d.gain, 40);
    d.SetEditorValue(EditorMode::LinesGap, 0);
    EXPECT_EQ(d.gap, 1);

    EXPECT_EQ(FrequencyDisplay::StepPenWidth(1), 2);
    EXPECT_EQ(FrequencyDisplay::StepPenWidth(4), 8);
    EXPECT_EQ(FrequencyDisplay::StepPenWidth(8), 1);
}

TEST(FrequencyDisplayTest, ZoomNeedsMoreThanThirtyPixelsAndOneHundredHertz) {
    FrequencyDisplay d;
    d.lowestValid = 20.0;
    d.lowerLimit = 20.0;
    d.upperLimit = 20000.0;
    d.ZoomPress(100);
    d.ZoomMove(125);
    EXPECT_FALSE(d.ZoomRelease(125, 900, 300));
    EXPECT_EQ(d.lowerLimit, 20.0);
    EXPECT_EQ(d.upperLimit, 20000.0);
    EXPECT_FALSE(d.zooming);

    const FrequencyMapper map = d.Mapper(900, 300);
    d.ZoomPress(600);
    ASSERT_TRUE(d.ZoomRelease(300, 900, 300));  // right to left
    EXPECT_NEAR(d.lowerLimit, map.FrequencyAt(300), 1e-9);
    EXPECT_NEAR(d.upperLimit, map.FrequencyAt(600), 1e-9);

    // 40 pixels at the bottom of a narrow plot span less than 100 Hz.
    d.lowerLimit = 20.0;
    d.upperLimit = 400.0;
    d.ZoomPress(0);
    EXPECT_FALSE(d.ZoomRelease(40, 900, 300));
    EXPECT_EQ(d.upperLimit, 400.0);
}

TEST(FrequencyDisplayTest, MarkerReadoutTexts) {
    EXPECT_EQ(MarkerFrequencyText(20.514), "20.51 Hz");
    EXPECT_EQ(MarkerFrequencyText(99.996), "100 Hz");
    EXPECT_EQ(MarkerFrequencyText(345.67), "345.7 Hz");
    EXPECT_EQ(MarkerFrequencyText(1000.0), "1 kHz");
    EXPECT_EQ(MarkerFrequencyText(1234.5), "1.234 kHz");  // half to even
    EXPECT_EQ(MarkerFrequencyText(12345.0), "12.34 kHz");
    EXPECT_EQ(MarkerReadout(1000.0, -3.26, 0.0, false), "1 kHz -3.3  dB");
    EXPECT_EQ(MarkerReadout(50.0, 0.0, 0.0, false), "50 Hz 0.0  dB");
    EXPECT_EQ(MarkerReadout(1000.0, 0.0, -0.5, true), "1 kHz -29\xC2\xB0");
    EXPECT_EQ(MarkerReadout(1000.0, 0.0, 3.0 * std::numbers::pi / 2, true), "1 kHz -90\xC2\xB0");
}

TEST(FrequencyDisplayTest, MarkerSnapsToRecordsAndStaysInsideThePlot) {
    FrequencyDisplay d;
    d.mode = AnalysisMode::Fft;
    d.sampleRate = 44100.0;
    d.binWidth = 44100.0 / 4096;
    d.binCount = 2048;
    d.firstBin = 2;
    d.lowestValid = 2 * d.binWidth;
    d.lowerLimit = 1000.0;
    d.upperLimit = 2000.0;
    const FrequencyMapper map = d.Mapper(500, 200);
    ASSERT_TRUE(d.SetMarkerAt(map.X(1500.0), 500, 200));
    EXPECT_EQ(d.markerIndex, 139);  // Round(1500 / 10.7666)
    EXPECT_EQ(d.markerX, map.X(139 * d.binWidth));
    d.MoveMarker(1000, 500, 200);
    EXPECT_EQ(d.markerIndex, 185);  // last bin at or below 2000 Hz
    d.MoveMarker(-1000, 500, 200);
    EXPECT_EQ(d.markerIndex, 93);  // first bin at or above 1000 Hz

    std::vector<SmoothRecord> recs = {
        {100, 1, 0}, {200, 1, 0}, {400, 1, 0}, {23500, 1, 0}, {50000, 0, 0}};
    d.mode = AnalysisMode::Smooth;
    d.smoothRecords = recs;
    d.smoothEnd = 3;
    d.lowestValid = 100.0;
    d.lowerLimit = 100.0;
    d.upperLimit = 20000.0;
    const FrequencyMapper sm = d.Mapper(500, 200);
    ASSERT_TRUE(d.SetMarkerAt(sm.X(150.0), 500, 200));
    EXPECT_EQ(d.markerIndex, 1) << "first record at or above the click";
    ASSERT_TRUE(d.SetMarkerAt(500, 500, 200));
    EXPECT_EQ(d.markerIndex, 2) << "never past the display range";
    d.MoveMarker(10, 500, 200);
    EXPECT_EQ(d.markerIndex, 2);
}

TEST(FrequencyDisplayTest, FftCurveKeepsOnePointPerColumnAndSkipsEmptyBins) {
    // Bins 0 … 64 inside the plot; past the span the sentinel would show as NaN levels.
    const double width = 1.0;
    std::vector<SpectrumRecord> bins(66, SpectrumRecord{1.0, 0.0});
    bins[65].Magnitude = kNaN;
    bins[2].Magnitude = 0.0;  // alone in its column
    const FrequencyMapper map(20, 100, 1.0, 64.0, 20);
    std::vector<PlotPoint> pts;
    FftCurvePoints(map, bins, 1, width, 4096, 1.0, 0.0, false, pts);
    ASSERT_FALSE(pts.empty());
    for (std::size_t i = 1; i < pts.size(); ++i) EXPECT_GT(pts[i].x, pts[i - 1].x);
    EXPECT_EQ(pts.front().x, 0);
    EXPECT_EQ(pts.back().x, 20);
    for (const auto& p : pts) EXPECT_EQ(p.y, 50);  // 0 dB on the centre line
    for (const auto& p : pts) EXPECT_NE(p.x, map.X(2.0)) << "bin 2 is empty";

    // Below FFT size 4096 a column keeps every distinct level.
    bins[40].Magnitude = 10.0;  // +20 dB, same column as its neighbours
    FftCurvePoints(map, bins, 1, width, 2048, 1.0, 0.0, false, pts);
    bool top = false;
    for (const auto& p : pts) top |= p.y == 0;
    EXPECT_TRUE(top);
}

TEST(FrequencyDisplayTest, SmoothCurveStartsAboveTheLowestFrequency) {
    std::vector<SmoothRecord> recs = {{40, 2, 0},  {50, 2, 0},    {60, 0, 0},
                                      {70, 20, 0}, {23000, 2, 0}, {50000, 0, 0}};
    const DrawableCurve c = SmoothCurve(recs, 2.0, 3.0, 40.0, true, 0x123456, 2);
    ASSERT_EQ(c.points.size(), 2u);
    EXPECT_EQ(c.points[0].frequency, 50.0);
    EXPECT_DOUBLE_EQ(c.points[0].db, 3.0);
    EXPECT_DOUBLE_EQ(c.points[1].db, -20.0 + 3.0) << "inverted, then the gain";
    EXPECT_TRUE(SmoothCurve(recs, 0.0, 0.0, 0.0, false, 0, 1).points.empty());
}

TEST(FrequencyDisplayTest, SettingsRoundTripAndOutOfRangeValuesKeepDefaults) {
    MemorySettingsTree t;
    FrequencyViewSettings s;
    s.eqStyle = true;
    s.range = 30;
    s.gap = 6;
    s.gain = -12;
    s.overlayGain = 20;
    s.overlayShown = s.overlayInverted = s.phaseShown = s.calibrationInUse = true;
    s.width = 900;
    s.height = 500;
    s.left = 5;
    s.top = 7;
    s.overlayFile = "/tmp/x.SMR";
    s.printoutColors.assign(40, 0x11);
    WriteFrequencyViewSettings(t, s);
    const FrequencyViewSettings r = ReadFrequencyViewSettings(t);
    EXPECT_TRUE(r.eqStyle && r.overlayShown && r.overlayInverted && r.phaseShown &&
                r.calibrationInUse);
    EXPECT_EQ(r.range, 30);
    EXPECT_EQ(r.gap, 6);
    EXPECT_EQ(r.gain, -12);
    EXPECT_EQ(r.overlayGain, 20);
    EXPECT_EQ(r.width, 900);
    EXPECT_EQ(r.top, 7);
    EXPECT_EQ(r.overlayFile, "/tmp/x.SMR");
    EXPECT_TRUE(r.hasOverlayFile);
    EXPECT_EQ(r.printoutColors, s.printoutColors);
    EXPECT_TRUE(t.HasValue("RANGE")) << "names match without regard to case";

    t.WriteInteger("RANGE", 0);
    t.WriteInteger("Gap", -3);
    t.WriteInteger("Gain", 1000);
    const FrequencyViewSettings bad = ReadFrequencyViewSettings(t);
    EXPECT_EQ(bad.range, 20);
    EXPECT_EQ(bad.gap, 5);
    EXPECT_EQ(bad.gain, 0);
}

}  // namespace
}  // namespace fim
