#include <gtest/gtest.h>

#include <QAction>
#include <QImage>
#include <QPainter>
#include <QToolButton>
#include <cmath>
#include <random>

#include "../TraceTestData.h"
#include "settings/MemorySettingsTree.h"
#include "settings/ProgramSettings.h"
#include "shell/Catalog.h"
#include "shell/ScriptedPrompter.h"
#include "spectrum/ui/TFFTDISPLAY.h"
#include "traces/ui/TForm7.h"

namespace fim {
namespace {

double Flat(int) { return 3.0; }
double Ramp(int i) { return 1.0 + 0.01 * i; }
double NoPhase(int) { return 0.0; }

// The frequency window over a synthetic room response in SMOOTH mode, with its traces.
class TraceDrawingTest : public ::testing::Test {
  protected:
    void SetUp() override {
        std::mt19937 rng(3);
        std::normal_distribution<double> noise(0.0, 0.002);
        ir.assign(16384, 0.0);
        for (std::size_t i = 200; i < ir.size(); ++i)
            ir[i] = std::exp(-(i - 200.0) / 50.0) * std::sin(0.2 * (i - 200.0)) + noise(rng);
        ir[200] = 1.0;
        FrequencyWindowHooks hooks;
        hooks.input = [this](SpectrumInput& in) {
            in.impulse = ir.data();
            in.impulseCount = ir.size();
            in.viewStart = 150;
            in.viewEnd = 150 + 2000;
            in.fftSize = 4096;
            in.sampleRate = 48000.0;
            return true;
        };
        hooks.peakIndex = [] { return int64_t{201}; };
        hooks.quickSaveFolder = dir.File("");
        hooks.programFolder = dir.File("");
        w = std::make_unique<TFFTDISPLAY>(tree, prompter, program, std::move(hooks));
        ASSERT_TRUE(w->ShowSpectrum(AnalysisMode::Smooth));
        FrequencyDisplay& v = w->display();
        v.lowerLimit = 100.0;
        v.upperLimit = 10000.0;
        v.range = 20;
        v.gain = 0;
        v.overlayPenWidth = 1;
    }
    QImage Paint() {
        QImage img(kW, kH, QImage::Format_RGB32);
        QPainter p(&img);
        w->PaintTo(p, img.rect(), false, true, {});
        return img;
    }
    // Rows in column x painted in `colour`.
    static std::vector<int> Rows(const QImage& img, int x, QRgb colour) {
        std::vector<int> rows;
        for (int y = 0; y < img.height(); ++y)
            if (img.pixel(x, y) == colour) rows.push_back(y);
        return rows;
    }

    static constexpr int kW = 800, kH = 400;  // 10 pixels per dB at range 20
    testing::TempDir dir;
    std::vector<double> ir;
    MemorySettingsTree tree;
    ScriptedPrompter prompter;
    ProgramSettings program;
    std::unique_ptr<TFFTDISPLAY> w;
};

TEST_F(TraceDrawingTest, FlatTraceLandsOnItsLevelRowAcrossThePlot) {
    const std::string path = dir.File("flat.smr");
    ASSERT_TRUE(WriteTraceFile(path, 50.0, 48000.0, testing::MakeSpectrum(Flat, NoPhase)));
    Ttrace& t = w->traceSet().Trace(2);
    ASSERT_TRUE(t.LoadFromFile(path));
    t.SetColour(0xFF00FF);  // magenta, used by nothing else in the plot
    const QRgb magenta = qRgb(255, 0, 255);

    EXPECT_TRUE(Rows(Paint(), kW / 2, magenta).empty()) << "not shown";

    t.ShowDown = true;
    // Against the live level reference: 20·log10(3 / reference) dB, 10 pixels per dB up from
    // the centre row 200.
    const double db = 20.0 * std::log10(3.0 / w->computer().LevelReference());
    ASSERT_LT(std::abs(db), 19.0) << "the test level must fall inside the plot";
    const int expectUncentred = static_cast<int>(std::lround(kH / 2 - db * kH / 40.0));
    QImage img = Paint();
    for (int x : {10, kW / 2, kW - 10}) {
        const auto rows = Rows(img, x, magenta);
        ASSERT_FALSE(rows.empty()) << x;
        EXPECT_LE(std::abs(rows.front() - expectUncentred), 1) << x;
        EXPECT_LE(rows.back() - rows.front(), 1) << x;
    }
    // Centred on its own level with a gain offset of +6 dB: 60 pixels above the centre row.
    t.CentreDown = true;
    w->display().gain = 6;
    img = Paint();
    const auto rows = Rows(img, kW / 2, magenta);
    ASSERT_FALSE(rows.empty());
    EXPECT_LE(std::abs(rows.front() - (kH / 2 - 60)), 1);
}

TEST_F(TraceDrawingTest, MainTraceFromTheManagerAveragesLiveGraphAndTrace) {
    // The trace manager button opens the window; closing it releases the button.
    QToolButton* button = w->toolButton(QStringLiteral("TRACEMANAGERBUTTON"));
    ASSERT_NE(button, nullptr);
    EXPECT_EQ(button->toolTip().toStdString(), Msg(192));
    button->click();
    TForm7* tm = w->traceManager();
    ASSERT_NE(tm, nullptr);
    EXPECT_TRUE(tm->isVisible());
    tm->close();
    EXPECT_FALSE(tm->isVisible());
    EXPECT_FALSE(button->isChecked());

    // A trace that is the live graph at twice its magnitude.
    const std::vector<SmoothRecord>& live = w->computer().SmoothDisplay();
    SmoothSpectrum twice{};
    for (int i = 0; i < kSmoothRecords; ++i)
        twice[i] = {live[i].Frequency, 2.0 * live[i].Magnitude, live[i].Phase};
    const double lowest = w->computer().LowestValidFrequency();
    const std::string path = dir.File("twice.smr");
    ASSERT_TRUE(WriteTraceFile(path, lowest, 48000.0, twice));
    prompter.files.push_back(path);
    tm->loadButton(1)->click();

    tm->addGraphToggle()->click();
    tm->averageToggle(1)->click();
    Paint();  // the repaint rebuilds the main trace
    const TMAINTRACE& main = w->traceSet().Main();
    ASSERT_EQ(main.AverageCount, 2);
    EXPECT_TRUE(tm->mainShowToggle()->isEnabled());

    // Geometric mean of two curves of the same shape: the shape stays, only the level moves,
    // from the lowest valid frequency up to the last averaged record below 22 kHz.
    double ratio = 0.0;
    int compared = 0;
    for (int i = 0; i < kSmoothRecords && live[i].Frequency < 20000.0; ++i) {
        if (live[i].Frequency < lowest || live[i].Magnitude <= 0.0) continue;
        const double r = main.GetRecords()[i].Magnitude / live[i].Magnitude;
        if (compared++ == 0) ratio = r;
        ASSERT_NEAR(r, ratio, 1e-9 * ratio) << i;
    }
    EXPECT_GT(compared, 150);

    // A main trace of a rising trace alone, shown: flipped, it mirrors around the centre row.
    // (Column 10 lies near 100 Hz, well below the rising trace's mean level.)
    const std::string ramp = dir.File("ramp.smr");
    ASSERT_TRUE(WriteTraceFile(ramp, 50.0, 48000.0, testing::MakeSpectrum(Ramp, NoPhase)));
    prompter.files.push_back(ramp);
    tm->loadButton(3)->click();
    tm->addGraphToggle()->click();
    tm->averageToggle(1)->click();
    tm->averageToggle(3)->click();
    tm->mainShowToggle()->click();
    w->traceSet().Main().SetColour(0xFF00FF);
    const QRgb magenta = qRgb(255, 0, 255);
    const auto up = Rows(Paint(), 10, magenta);
    tm->flipToggle()->click();
    const auto down = Rows(Paint(), 10, magenta);
    ASSERT_FALSE(up.empty());
    ASSERT_FALSE(down.empty());
    const double upMid = (up.front() + up.back()) / 2.0 - kH / 2;
    const double downMid = (down.front() + down.back()) / 2.0 - kH / 2;
    EXPECT_GT(std::abs(upMid), 3.0) << "a level off the centre line shows the mirror";
    EXPECT_LE(std::abs(upMid + downMid), 2.0);
}

}  // namespace
}  // namespace fim
