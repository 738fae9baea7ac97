#include <gtest/gtest.h>

#include <QColor>
#include <QImage>
#include <QPainter>
#include <vector>

#include "spectrum/ui/paint/FrequencyPainter.h"

namespace fim {
namespace {

struct Plot {
    FrequencyDisplay view;
    FrequencyPaintInput in;
    std::vector<SpectrumRecord> bins;

    Plot() {
        // 4096-point FFT at 44100 Hz, every bin at the level reference (0 dB).
        bins.assign(2049, SpectrumRecord{1.0, 0.5});
        view.mode = AnalysisMode::Fft;
        view.sampleRate = 44100.0;
        view.binWidth = 44100.0 / 4096;
        view.binCount = 2048;
        view.firstBin = 2;
        view.lowestValid = 2 * view.binWidth;
        view.Fit();
        in.valid = true;
        in.bins = bins;
        in.fftSize = 4096;
        in.colours.entries[kFreqBackground] = 0x000000;
        in.colours.entries[kFreqGrid] = 0x404040;
        in.colours.entries[kFreqText] = 0xFFFFFF;
        in.colours.entries[kFreqCurve] = 0x00FFFF;  // yellow
        in.colours.entries[kFreqPhase] = 0xFF0000;  // blue
    }
    QImage Paint(int w = 800, int h = 400) {
        QImage img(w, h, QImage::Format_RGB32);
        img.fill(Qt::gray);
        QPainter p(&img);
        PaintFrequencyPlot(p, QRect(0, 0, w, h), view, in);
        return img;
    }
};

int CountColour(const QImage& img, QRgb c, int x0 = 0, int x1 = -1) {
    if (x1 < 0) x1 = img.width();
    int n = 0;
    for (int y = 0; y < img.height(); ++y)
        for (int x = x0; x < x1; ++x) n += img.pixel(x, y) == c;
    return n;
}

TEST(FrequencyPainterTest, FlatSpectrumRunsAlongTheCentreLineWithTracesAndOverlay) {
    Plot plot;
    DrawableCurve trace;
    trace.colour = 0x0000FF;  // red
    trace.penWidth = 1;
    trace.points = {{100.0, 10.0}, {10000.0, 10.0}};
    plot.in.traces.push_back(trace);
    plot.in.overlayShown = false;
    plot.in.overlay = {0x00FF00, 1, {{100.0, -10.0}, {10000.0, -10.0}}};

    const QImage img = plot.Paint();
    const FrequencyMapper map = plot.view.Mapper(800, 400);
    const int xMid = map.X(1000.0) + 3;  // off any grid line
    EXPECT_EQ(img.pixel(xMid, 200), qRgb(255, 255, 0)) << "0 dB on the centre line";
    EXPECT_EQ(img.pixel(xMid, map.Y(10.0)), qRgb(255, 0, 0)) << "the trace at +10 dB";
    EXPECT_EQ(CountColour(img, qRgb(0, 255, 0)), 0) << "hidden overlay";
    EXPECT_EQ(img.pixel(xMid, 300), qRgb(0, 0, 0)) << "background below the curve";
    EXPECT_EQ(img.pixel(xMid, map.YPhase(0.5)), qRgb(0, 0, 0)) << "phase off";

    plot.in.overlayShown = true;
    plot.view.phaseShown = true;
    const QImage shown = plot.Paint();
    EXPECT_EQ(shown.pixel(xMid, map.Y(-10.0)), qRgb(0, 255, 0));
    EXPECT_EQ(shown.pixel(xMid, map.YPhase(0.5)), qRgb(0, 0, 255));
}

TEST(FrequencyPainterTest, CurveStaysRightOfTheLowerLimitAndWidthFollowsThePen) {
    Plot plot;
    plot.view.lowerLimit = 1000.0;
    plot.view.penWidth = 4;
    const QImage img = plot.Paint();
    // The whole width is the range 1 kHz … 20 kHz now: the curve spans all of it.
    const QRgb yellow = qRgb(255, 255, 0);
    EXPECT_EQ(img.pixel(2, 200), yellow);
    EXPECT_EQ(img.pixel(797, 200), yellow);
    int thick = 0;
    for (int y = 190; y < 210; ++y) thick += img.pixel(400, y) == yellow;
    EXPECT_EQ(thick, 4);
}

TEST(FrequencyPainterTest, ColourPrintoutLeavesTheBackgroundAndCarriesTheHeader) {
    Plot plot;
    plot.in.paintBackground = false;
    plot.in.header = "MIV FFT printout. Date: Dec/06/2026 time: 14:30";
    const QImage img = plot.Paint();
    EXPECT_EQ(CountColour(img, qRgb(0, 0, 0)) > 0, false) << "no background fill";
    const QImage strip = img.copy(0, 0, 800, 12);
    EXPECT_LT(CountColour(strip, QColor(Qt::gray).rgb()), 800 * 12 - 50) << "header text";
    EXPECT_EQ(CountColour(strip, qRgb(0x40, 0x40, 0x40)), 0) << "no grid in the header strip";
}

TEST(FrequencyPainterTest, BandIsFilledBetweenItsEdgesAroundTheMeanAndTheFlaggedCurveDrawn) {
    Plot plot;
    plot.in.valid = false;  // the band alone
    BandCurve band;
    band.colour = 0x0000FF;  // red
    band.penWidth = 1;
    band.flagged = {0x00FF00, 1, {{100.0, -15.0}, {10000.0, -15.0}}};
    for (const double f : {100.0, 1000.0, 10000.0}) {
        band.mean.push_back({f, 5.0});
        band.lower.push_back({f, 0.0});
        band.upper.push_back({f, 10.0});
    }
    band.legend = {"Stalls: mean \u00b1 spread of 4 seats"};
    plot.in.bands.push_back(band);

    const QImage img = plot.Paint();
    const FrequencyMapper map = plot.view.Mapper(800, 400);
    const int x = map.X(300.0) + 3;
    EXPECT_EQ(img.pixel(x, map.Y(5.0)), qRgb(255, 0, 0)) << "the mean";
    const QRgb inside = img.pixel(x, map.Y(2.5));
    EXPECT_GT(qRed(inside), 0) << "the band is a red tint over the background";
    EXPECT_EQ(qGreen(inside), 0);
    EXPECT_EQ(img.pixel(x, map.Y(12.0)), qRgb(0, 0, 0)) << "nothing above the band";
    EXPECT_EQ(img.pixel(x, map.Y(-2.0)), qRgb(0, 0, 0)) << "nothing below it";
    EXPECT_GT(CountColour(img, qRgb(0, 255, 0)), 50) << "the flagged seat";
    // Painting changes nothing: the same input paints the same picture again.
    EXPECT_EQ(plot.Paint(), img);
}

}  // namespace
}  // namespace fim
