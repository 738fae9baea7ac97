#include <gtest/gtest.h>

#include <QImage>
#include <QLabel>
#include <QListWidget>
#include <QPainter>
#include <QTest>
#include <QToolButton>
#include <cmath>
#include <fstream>

#include "../TraceTestData.h"
#include "base/Catalog.h"
#include "base/MemorySettingsTree.h"
#include "base/ScriptedPrompter.h"
#include "settings/ProgramSettings.h"
#include "spectrum/ui/TFFTDISPLAY.h"
#include "traces/ui/TForm7.h"

namespace fim {
namespace {

double Flat(int) { return 3.0; }
double NoPhase(int) { return 0.0; }

// The frequency window in SMOOTH mode over a synthetic room response (100 Hz … 10 kHz, ±20 dB
// on 800 × 400 pixels: 10 pixels per dB), with its trace manager open.
class TForm7Test : public ::testing::Test {
  protected:
    void SetUp() override {
        ir.assign(16384, 0.0);
        for (std::size_t i = 200; i < ir.size(); ++i)
            ir[i] = std::exp(-(i - 200.0) / 50.0) * std::sin(0.2 * (i - 200.0));
        tree.WriteInteger("TMX", 40);   // top
        tree.WriteInteger("TMY", 120);  // left
        FrequencyWindowHooks hooks;
        hooks.input = [this](SpectrumInput& in) {
            in.impulse = ir.data();
            in.impulseCount = ir.size();
            in.viewStart = 150;
            in.viewEnd = 2150;
            in.fftSize = 4096;
            in.sampleRate = 48000.0;
            return true;
        };
        w = std::make_unique<TFFTDISPLAY>(tree, prompter, program, std::move(hooks));
        ASSERT_TRUE(w->ShowSpectrum(AnalysisMode::Smooth));
        w->display().lowerLimit = 100.0;
        w->display().upperLimit = 10000.0;
        w->display().range = 20;
        w->display().gain = 0;
        w->display().overlayPenWidth = 1;
        button = w->toolButton(QStringLiteral("TRACEMANAGERBUTTON"));
        button->click();
        tm = w->traceManager();
    }
    std::vector<int> Rows(int x, QRgb colour) {  // rows of column x painted in `colour`
        QImage img(800, 400, QImage::Format_RGB32);
        QPainter p(&img);
        w->PaintTo(p, img.rect(), false, true, {});
        std::vector<int> rows;
        for (int y = 0; y < img.height(); ++y)
            if (img.pixel(x, y) == colour) rows.push_back(y);
        return rows;
    }
    std::string Write(const std::string& name, double lowest, const SmoothSpectrum& s) {
        EXPECT_TRUE(WriteTraceFile(dir.File(name), lowest, 48000.0, s));
        return dir.File(name);
    }

    testing::TempDir dir;
    std::vector<double> ir;
    MemorySettingsTree tree;
    ScriptedPrompter prompter;
    ProgramSettings program;
    std::unique_ptr<TFFTDISPLAY> w;
    QToolButton* button = nullptr;
    TForm7* tm = nullptr;
};

TEST_F(TForm7Test, RowsWakeUpOnlyWhenATraceLoads) {
    ASSERT_NE(tm, nullptr);
    EXPECT_EQ(button->toolTip().toStdString(), Msg(192));
    EXPECT_EQ(button->text(), "TRACES") << "the checked button keeps its caption";
    EXPECT_EQ(tm->nameLabel(2)->text().toStdString(), Msg(228));
    EXPECT_EQ(tm->findChild<QToolButton*>("SpeedButton7"), tm->centreToggle(2));
    EXPECT_FALSE(tm->showToggle(2)->isEnabled());
    EXPECT_FALSE(tm->saveButton()->isEnabled()) << "an empty main trace has nothing to save";

    QTest::mouseClick(tm->nameLabel(2), Qt::LeftButton);  // dialog cancelled
    ASSERT_EQ(prompter.fileRequests.size(), 1u);
    EXPECT_EQ(prompter.fileRequests[0].title, Msg(226));
    EXPECT_EQ(prompter.fileRequests[0].filter, Msg(195) + " (*.smr *.SMR)");
    prompter.files.push_back(Write("hall.smr", 50.0, testing::MakeSpectrum(Flat, NoPhase)));
    QTest::mouseClick(tm->nameLabel(2), Qt::LeftButton);
    EXPECT_EQ(tm->nameLabel(2)->text(), "hall");
    EXPECT_TRUE(tm->showToggle(2)->isEnabled());
    EXPECT_FALSE(tm->showToggle(1)->isEnabled());

    std::ofstream(dir.File("bad.smr")) << "short";
    prompter.files.push_back(dir.File("bad.smr"));
    tm->loadButton(2)->click();
    EXPECT_EQ(tm->nameLabel(2)->text(), "hall");
    EXPECT_EQ(prompter.Last()->caption, Msg(216));
}

TEST_F(TForm7Test, ShownTraceLandsOnItsLevelRow) {
    prompter.files.push_back(Write("flat.smr", 50.0, testing::MakeSpectrum(Flat, NoPhase)));
    tm->loadButton(2)->click();
    prompter.colours.push_back(0xFF00FF);  // magenta: nothing else in the plot has it
    tm->colourButton(2)->click();
    const QRgb magenta = qRgb(255, 0, 255);
    EXPECT_TRUE(Rows(400, magenta).empty()) << "not shown";

    // Against the live level reference: 20·log10(3 / reference) dB above the centre row 200.
    tm->showToggle(2)->click();
    const double db = 20.0 * std::log10(3.0 / w->computer().LevelReference());
    ASSERT_LT(std::abs(db), 19.0);
    for (int x : {10, 400, 790}) {
        const auto rows = Rows(x, magenta);
        ASSERT_FALSE(rows.empty()) << x;
        EXPECT_LE(std::abs(rows.front() - std::lround(200 - 10 * db)), 1) << x;
        EXPECT_LE(rows.back() - rows.front(), 1) << x;
    }
    // Centred on its own level, with a gain offset of +6 dB: 60 pixels above the centre row.
    tm->centreToggle(2)->click();
    w->display().gain = 6;
    const auto rows = Rows(400, magenta);
    ASSERT_FALSE(rows.empty());
    EXPECT_LE(std::abs(rows.front() - 140), 1);
}

TEST_F(TForm7Test, MainTraceAveragesTheLiveGraphAndMarkedTraces) {
    // A trace that is the live graph at twice its magnitude.
    const std::vector<SmoothRecord>& live = w->computer().SmoothDisplay();
    SmoothSpectrum twice{};
    for (int i = 0; i < kSmoothRecords; ++i)
        twice[i] = {live[i].Frequency, 2.0 * live[i].Magnitude, live[i].Phase};
    const double lowest = w->computer().LowestValidFrequency();
    prompter.files.push_back(Write("twice.smr", lowest, twice));
    tm->loadButton(3)->click();
    tm->averageToggle(3)->click();
    tm->addGraphToggle()->click();
    EXPECT_EQ(tm->list()->count(), 2);
    EXPECT_EQ(tm->list()->item(0)->text(), "twice");
    EXPECT_EQ(tm->list()->item(1)->text().toStdString(), Msg(230));
    Rows(0, 0);  // the repaint rebuilds the main trace
    const TMAINTRACE& main = w->traceSet().Main();
    ASSERT_EQ(main.AverageCount, 2);
    EXPECT_TRUE(tm->mainShowToggle()->isEnabled());
    EXPECT_TRUE(tm->saveButton()->isEnabled());

    // The geometric mean of two curves of one shape keeps the shape; only the level moves.
    const double ratio = main.GetRecords()[100].Magnitude / live[100].Magnitude;
    int compared = 0;
    for (int i = 0; i < kSmoothRecords && live[i].Frequency < 20000.0; ++i) {
        if (live[i].Frequency < lowest || live[i].Magnitude <= 0.0) continue;
        ASSERT_NEAR(main.GetRecords()[i].Magnitude / live[i].Magnitude, ratio, 1e-9 * ratio);
        ++compared;
    }
    EXPECT_GT(compared, 150);

    prompter.files.push_back(dir.File("main.smr"));
    tm->saveButton()->click();
    EXPECT_EQ(prompter.fileRequests.back().defaultExtension, "SMR");
    ASSERT_TRUE(w->traceSet().Trace(5).LoadFromFile(dir.File("main.smr")));
    EXPECT_EQ(w->traceSet().Trace(5).GetRecords()[150].Magnitude, main.GetRecords()[150].Magnitude);

    // Every member released: an empty list, and the next repaint clears the main trace.
    tm->averageToggle(3)->click();
    tm->addGraphToggle()->click();
    EXPECT_EQ(tm->list()->count(), 0);
    Rows(0, 0);
    EXPECT_EQ(main.AverageCount, 0);
    EXPECT_FALSE(tm->mainShowToggle()->isEnabled());
}

TEST_F(TForm7Test, ColourPositionAndClose) {
    EXPECT_EQ(tm->pos(), QPoint(120, 40));
    tm->colourButton(4)->click();  // cancelled: the colour stays
    EXPECT_EQ(w->traceSet().Trace(4).Colour, kTraceDefaultColours[3]);
    prompter.colours.push_back(0x00112233);
    tm->mainColourButton()->click();
    EXPECT_EQ(tree.ReadInteger("MainTrace"), 0x00112233) << "kept at once, not only at exit";
    EXPECT_TRUE(tm->mainLabel()->styleSheet().contains("#332211"));

    tm->move(200, 90);
    tm->close();
    EXPECT_FALSE(tm->isVisible());
    EXPECT_FALSE(button->isChecked());
    EXPECT_EQ(tree.ReadInteger("TMX"), 90);
    EXPECT_EQ(tree.ReadInteger("TMY"), 200);

    tree.WriteInteger("TMY", -50000);  // a screen no longer attached
    TForm7 again(w->traceSet(), prompter, &tree, {});
    EXPECT_NE(again.pos().x(), -50000);
}

}  // namespace
}  // namespace fim
