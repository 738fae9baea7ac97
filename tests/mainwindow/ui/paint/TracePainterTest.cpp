#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>
#include <cmath>
#include <vector>

#include "base/ScriptedPrompter.h"
#include "core/MeasurementState.h"
#include "mainwindow/TimeTraceModel.h"
#include "mainwindow/ui/paint/TracePainter.h"

namespace fim {
namespace {

// BREVIK STYLE as QColors.
const QRgb kBackground = qRgb(0, 0, 0);
const QRgb kTrace = qRgb(0, 255, 255);
const QRgb kGrid = qRgb(128, 128, 128);
const QRgb kRed = qRgb(255, 0, 0);  // text and markers

class TracePainterTest : public ::testing::Test {
  protected:
    TracePainterTest() : model(meas, prompter), points(262144, QPoint(-7, -7)) {
        meas.SampleRate = 44100;
        meas.MlsSize = 4096;
        meas.FftSize = 4096;
        meas.SetTemperature(20.0);
        in.sampleRate = 44100;
        in.n = 4096;
        in.points = points.data();
        in.pointCapacity = points.size();
    }

    // A response of n samples: small ripple and the peak `a` at sample `p`.
    void Response(int32_t n, int32_t p, double a) {
        response.assign(static_cast<std::size_t>(n), 0.0);
        for (int32_t i = 0; i < n; ++i) response[i] = 0.001 * std::sin(i * 0.37);
        response[p - 1] = a;
        in.response = ResponseView{response.data(), response.size()};
        in.n = meas.MlsSize = n;
        in.peakIndex = meas.ImpulsePeakIndex = p;
        in.peakValue = meas.ImpulsePeakValue = std::fabs(a);
        in.valid = meas.ImpulseValid = true;
    }

    QImage Trace(int w, int h) {
        QImage img(w, h, QImage::Format_RGB32);
        img.fill(Qt::white);
        QPainter p(&img);
        PB2Paint(p, img.rect(), model, model.TraceMapper(w, h, in.peakValue), in);
        return img;
    }
    QImage Overview(int w, int h) {
        QImage img(w, h, QImage::Format_RGB32);
        img.fill(Qt::white);
        QPainter p(&img);
        PBPaint(p, img.rect(), model, OverviewMapper(in, w, h), in);
        return img;
    }
    static int CountInRow(const QImage& img, int y, QRgb c, int x0 = 0) {
        int n = 0;
        for (int x = x0; x < img.width(); ++x) n += img.pixel(x, y) == c;
        return n;
    }
    static int CountInRect(const QImage& img, const QRect& r, QRgb c) {
        int n = 0;
        for (int y = r.top(); y <= r.bottom(); ++y)
            for (int x = r.left(); x <= r.right(); ++x) n += img.pixel(x, y) == c;
        return n;
    }

    MeasurementState meas;
    ScriptedPrompter prompter;
    TimeTraceModel model;
    std::vector<QPoint> points;
    std::vector<double> response;
    TracePaintInput in;
};

TEST_F(TracePainterTest, DefaultViewOn759PixelsHasOneMillisecondGrid) {
    model.viewStart = 1;
    model.viewEnd = 1024;
    const QImage img = Trace(759, 400);
    // 1 ms = 44.1 samples = 32.72 px: lines at 33, 65, 98 … up to 753 (23 lines).
    EXPECT_EQ(CountInRow(img, 25, kGrid), 23);
    for (int i : {1, 2, 3, 23})
        EXPECT_EQ(img.pixel(static_cast<int>(std::nearbyint(i * 759.0 / 1023.0 * 44.1)), 25), kGrid)
            << i;
    EXPECT_EQ(img.pixel(0, 25), kBackground);
    // "Teilung: 1 ms" in the top-left corner.
    EXPECT_GT(CountInRect(img, QRect(0, 0, 120, 16), kRed), 20);
    EXPECT_EQ(CountInRect(img, QRect(200, 0, 500, 16), kRed), 0);
}

TEST_F(TracePainterTest, LabelRowsInLinearAndDbDisplay) {
    model.viewStart = 1;
    model.viewEnd = 1024;
    const QImage linear = Trace(800, 400);
    model.dbDisplay = true;
    const QImage db = Trace(800, 400);
    for (int i = 1; i <= 7; ++i) {
        const int y = 50 * i;
        EXPECT_EQ(CountInRow(linear, y, kGrid, 60), 800 - 60) << i;
        EXPECT_GT(CountInRect(linear, QRect(0, y - 6, 40, 13), kRed), 10) << i;
        EXPECT_GT(CountInRect(db, QRect(0, y - 6, 40, 13), kRed), 10) << i;
        EXPECT_NE(linear.copy(0, y - 6, 40, 13), db.copy(0, y - 6, 40, 13)) << i;
    }
    // The two displays differ only in the label texts.
    EXPECT_EQ(linear.copy(60, 20, 740, 380), db.copy(60, 20, 740, 380));
    // "0%" on the centre line is narrower than "-40dB".
    EXPECT_LT(CountInRect(linear, QRect(20, 194, 20, 13), kRed),
              CountInRect(db, QRect(20, 194, 20, 13), kRed));
}

TEST_F(TracePainterTest, ThreeSampleViewIsPaintedFiveWide) {
    model.viewStart = 100;
    model.viewEnd = 103;
    model.marker1 = 102;  // current mode MARKER 1: solid
    model.marker2 = 300;
    const QImage img = Trace(500, 400);
    EXPECT_EQ(model.ShownWindow().second, 105);  // painted five wide; the model is left alone
    EXPECT_EQ(img.pixel(200, 75), kRed);         // 2 of 5 samples across 500 px
    EXPECT_EQ(img.pixel(200, 76), kRed);         // solid, not dotted
    EXPECT_EQ(img.pixel(333, 75), kBackground);
}

TEST_F(TracePainterTest, MarkersOnTheEdgesAreNotDrawn) {
    model.viewStart = 100;
    model.viewEnd = 200;
    model.marker1 = 100;
    model.marker2 = 200;
    QImage img = Trace(500, 400);
    EXPECT_EQ(CountInRect(img, QRect(120, 0, 380, 400), kRed), 0);  // right of the labels
    model.marker2 = 199;
    img = Trace(500, 400);
    EXPECT_GT(CountInRect(img, QRect(490, 0, 10, 400), kRed), 100);
    // MARKER 1 is the current mode, so marker 2 is dotted: gaps along the line.
    EXPECT_LT(CountInRect(img, QRect(495, 0, 1, 400), kRed), 300);

    Response(4096, 500, 0.5);
    model.marker1 = 4095;  // N − 1: its line would be the last column
    model.marker2 = 4096;  // N
    img = Overview(4096, 51);
    EXPECT_EQ(CountInRect(img, img.rect(), kRed), 0);
    model.marker2 = 4095;
    img = Overview(4096, 51);
    EXPECT_GT(CountInRect(img, QRect(4095, 0, 1, 51), kRed), 10);
}

TEST_F(TracePainterTest, PeakReachesTheEdgeThoughThousandsShareItsColumn) {
    // Order 18 over 800 px: about 328 samples per column; the peak is deep inside one.
    Response(262144, 100123, -0.8);
    model.viewStart = 1;
    model.viewEnd = 262143;
    const double pps = 800.0 / 262142.0;
    const int px = static_cast<int>(std::nearbyint((100123 - 1) * pps));
    QImage img = Trace(800, 400);
    EXPECT_EQ(img.pixel(px, 399), kTrace);
    EXPECT_EQ(img.pixel(px, 300), kTrace);
    // Only the peak's column reaches down there.
    EXPECT_EQ(CountInRow(img, 399, kTrace), 1);

    Response(262144, 100123, 0.8);
    img = Trace(800, 400);
    EXPECT_EQ(img.pixel(px, 0), kTrace);
    EXPECT_EQ(points[0].x(), 0);  // vertices went into the shared buffer

    model.viewStart = 90000;
    model.viewEnd = 110000;
    img = Overview(800, 51);
    const int ox = static_cast<int>(std::nearbyint(100122 * 800.0 / 262144.0));
    EXPECT_EQ(img.pixel(ox, 0), kTrace);  // inside the window: trace colour
    EXPECT_EQ(img.pixel(10, 25), kGrid);  // outside it: grid colour
    EXPECT_EQ(img.pixel(790, 25), kGrid);
}

}  // namespace
}  // namespace fim
