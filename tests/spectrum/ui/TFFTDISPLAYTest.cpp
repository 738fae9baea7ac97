#include <gtest/gtest.h>

#include <QAction>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QMenu>
#include <QPainter>
#include <QPrinter>
#include <QPrinterInfo>
#include <QRegularExpression>
#include <QSpinBox>
#include <QTest>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <random>
#include <vector>

#include "../../audio/FileTestUtil.h"
#include "base/Catalog.h"
#include "base/FileTexts.h"
#include "base/MemorySettingsTree.h"
#include "base/ScriptedPrompter.h"
#include "core/MeasurementState.h"
#include "settings/ProgramSettings.h"
#include "spectrum/ui/TFFTDISPLAY.h"
#include "spectrum/ui/paint/FrequencyPainter.h"

namespace fim {
namespace {

// A window over a synthetic room response: a direct sound with a short ringing tail.
class TFFTDISPLAYTest : public ::testing::Test {
  protected:
    void SetUp() override {
        std::mt19937 rng(7);
        std::normal_distribution<double> noise(0.0, 0.002);
        ir.assign(16384, 0.0);
        for (std::size_t i = 200; i < ir.size(); ++i)
            ir[i] = std::exp(-(i - 200.0) / 60.0) * std::sin(0.3 * (i - 200.0)) + noise(rng);
        ir[200] = 1.0;
        // The level of a measured response: calibration divides only bins above magnitude 1.
        for (double& v : ir) v *= 1e5;
        Open();
    }
    void Open() {
        FrequencyWindowHooks hooks;
        hooks.input = [this](SpectrumInput& in) {
            in.impulse = ir.data();
            in.impulseCount = ir.size();
            in.viewStart = 150;
            in.viewEnd = 150 + 2000;
            in.fftSize = fftSize;
            in.sampleRate = rate;
            if (!noise.empty()) {
                in.noise = noise.data();
                in.noisePeriods = 8;
            }
            return true;
        };
        hooks.peakIndex = [] { return int64_t{201}; };
        hooks.quickSaveFolder = dir.Path().string();
        hooks.presetFolder = dir.File("data");
        hooks.programFolder = dir.File("program");
        w = std::make_unique<TFFTDISPLAY>(tree, prompter, program, std::move(hooks));
    }
    QImage Paint(int width = 800, int height = 400) {
        QImage img(width, height, QImage::Format_RGB32);
        QPainter p(&img);
        w->PaintTo(p, img.rect(), false, true, {});
        return img;
    }

    test::TempDir dir;
    std::vector<double> ir;
    std::vector<double> noise;  // the run's noise estimate; empty for none
    int fftSize = 4096;
    double rate = 44100.0;
    MemorySettingsTree tree;
    ScriptedPrompter prompter;
    ProgramSettings program;
    std::unique_ptr<TFFTDISPLAY> w;
};

// Rows of the main-curve colour in each column: the curve's vertical extent.
int CurveSpan(const QImage& img, QRgb curve, int x0, int x1) {
    int top = img.height(), bottom = -1;
    for (int x = x0; x < x1; ++x)
        for (int y = 0; y < img.height(); ++y)
            if (img.pixel(x, y) == curve) {
                top = std::min(top, y);
                bottom = std::max(bottom, y);
            }
    return bottom - top;
}

TEST_F(TFFTDISPLAYTest, CalibratingWithTheSameMeasurementGivesAFlatCurveInBothModes) {
    program.Colors.entries[kFreqCurve] = 0x00FFFF;
    for (AnalysisMode mode : {AnalysisMode::Fft, AnalysisMode::Smooth}) {
        SCOPED_TRACE(static_cast<int>(mode));
        ASSERT_TRUE(w->ShowSpectrum(mode));
        const QRgb yellow = qRgb(255, 255, 0);
        EXPECT_GT(CurveSpan(Paint(), yellow, 40, 760), 40) << "a room is not flat";

        const bool smooth = mode == AnalysisMode::Smooth;
        const std::string cal = dir.File(smooth ? "room.csm" : "room.cal");
        prompter.files.push_back(cal);
        w->SAVEASCAL1Click();
        ASSERT_TRUE(w->store().CalibrationLoaded(mode)) << "the first calibration is taken at once";
        EXPECT_EQ(tree.ReadString(smooth ? "LogCal" : "LinCal"), cal);
        w->action(QStringLiteral("USECAL1"))->trigger();
        EXPECT_EQ(tree.ReadBool(smooth ? "CM1" : "CM0"), true);
        EXPECT_EQ(w->action(QStringLiteral("USECAL1"))->text().toStdString(),
                  Msg(45) + std::filesystem::path(cal).filename().string() + Msg(46));

        const SpectrumComputer& c = w->computer();
        if (!smooth) {
            for (int k = c.FirstBin(); k < c.BinCount(); ++k)
                ASSERT_NEAR(c.DisplaySpectrum()[k].Magnitude, c.LevelReference(),
                            1e-9 * c.LevelReference())
                    << k;
        }
        EXPECT_LE(CurveSpan(Paint(), yellow, 40, 760), 2) << "flat on the centre line";
    }
    EXPECT_TRUE(prompter.shown.empty());
}

TEST_F(TFFTDISPLAYTest, AMacroChoiceSetsTheCalibrationFlagBothWaysUnlessMlsOnlyDroppedIt) {
    ASSERT_TRUE(w->ShowSpectrum(AnalysisMode::Fft));
    const std::string cal = dir.File("room.cal");
    prompter.files.push_back(cal);
    w->SAVEASCAL1Click();
    w->action(QStringLiteral("USECAL1"))->trigger();
    ASSERT_TRUE(w->store().CalibrationInUse(AnalysisMode::Fft));

    AnalysisChoice off;  // a macro without calibration
    w->ApplyAnalysisChoice(off);
    ASSERT_TRUE(w->ShowSpectrum(AnalysisMode::Fft));
    EXPECT_FALSE(w->store().CalibrationInUse(AnalysisMode::Fft));

    AnalysisChoice on = off;
    on.useCalibration = true;
    on.calibrationPath = cal;
    w->ApplyAnalysisChoice(on);
    w->ClearAnalysisChoice();
    ASSERT_TRUE(w->ShowSpectrum(AnalysisMode::Fft));
    EXPECT_FALSE(w->store().CalibrationInUse(AnalysisMode::Fft));
    w->ApplyAnalysisChoice(on);
    ASSERT_TRUE(w->ShowSpectrum(AnalysisMode::Fft));
    EXPECT_TRUE(w->store().CalibrationInUse(AnalysisMode::Fft));
}

TEST_F(TFFTDISPLAYTest, CalibrationThatNoLongerFitsIsRefusedWithItsCaption) {
    ASSERT_TRUE(w->ShowSpectrum(AnalysisMode::Fft));
    prompter.files.push_back(dir.File("a.cal"));
    w->SAVEASCAL1Click();
    w->USECAL1Click();
    ASSERT_TRUE(w->store().CalibrationInUse(AnalysisMode::Fft));

    fftSize = 8192;  // the main window's FFT size changed
    ASSERT_TRUE(w->ShowSpectrum(AnalysisMode::Fft));
    ASSERT_EQ(prompter.shown.size(), 1u);
    EXPECT_EQ(prompter.shown[0].caption, Msg(35));
    EXPECT_EQ(prompter.shown[0].text, Msg(34));
    EXPECT_FALSE(w->store().CalibrationInUse(AnalysisMode::Fft));
    EXPECT_FALSE(w->action(QStringLiteral("USECAL1"))->isEnabled());

    ASSERT_TRUE(w->ShowSpectrum(AnalysisMode::Smooth));
    prompter.files.push_back(dir.File("b.csm"));
    w->SAVEASCAL1Click();
    rate = 48000.0;
    prompter.shown.clear();
    ASSERT_TRUE(w->ShowSpectrum(AnalysisMode::Smooth));
    ASSERT_EQ(prompter.shown.size(), 1u);
    EXPECT_EQ(prompter.shown[0].caption, Msg(38));
    EXPECT_NE(prompter.shown[0].text.find("44100"), std::string::npos);
    EXPECT_NE(prompter.shown[0].text.find("48000"), std::string::npos);

    // With the "Cal File Misfit" warning off the misfit is refused without a box.
    program.WarnCal = false;
    rate = 44100.0;
    prompter.shown.clear();
    ASSERT_TRUE(w->ShowSpectrum(AnalysisMode::Fft));
    ASSERT_TRUE(w->ShowSpectrum(AnalysisMode::Smooth));
    rate = 48000.0;
    ASSERT_TRUE(w->ShowSpectrum(AnalysisMode::Smooth));
    EXPECT_FALSE(w->store().CalibrationInUse(AnalysisMode::Smooth));
    EXPECT_TRUE(prompter.shown.empty());

    // An overlay of another kind of file is refused by its caption alone.
    prompter.shown.clear();
    EXPECT_FALSE(w->LoadOverlay(dir.File("a.cal")));
    QAction* show = w->action(QStringLiteral("SHOWOVERLAY1"));
    EXPECT_EQ(show->text().toStdString(), Msg(42));
    EXPECT_FALSE(show->isEnabled());
    EXPECT_TRUE(prompter.shown.empty());
}

TEST_F(TFFTDISPLAYTest, AStoredCalibrationThatIsGoneIsReportedOnceThenForgotten) {
    tree.WriteString("LinCal", dir.File("gone.cal"));
    tree.WriteBool("CM0", true);
    ASSERT_TRUE(w->ShowSpectrum(AnalysisMode::Fft));
    ASSERT_EQ(prompter.shown.size(), 1u);
    EXPECT_EQ(prompter.shown[0].caption, FileMessage(FileText::NotLoaded));
    EXPECT_FALSE(tree.HasValue("LinCal"));
    // Mode switches and the next start say nothing more.
    ASSERT_TRUE(w->ShowSpectrum(AnalysisMode::Smooth));
    ASSERT_TRUE(w->ShowSpectrum(AnalysisMode::Fft));
    Open();
    ASSERT_TRUE(w->ShowSpectrum(AnalysisMode::Fft));
    EXPECT_EQ(prompter.shown.size(), 1u);
    EXPECT_FALSE(w->store().CalibrationInUse(AnalysisMode::Fft));
}

TEST_F(TFFTDISPLAYTest, PresetsGoToTheUsersDataAndThoseOfTheProgramFolderAreStillOffered) {
    // An older installation's presets below the program's folder are offered when the user has
    // none of their own yet.
    std::filesystem::create_directories(dir.Path() / "program" / "templatch");
    prompter.files = {""};
    w->LOAD2Click();
    EXPECT_EQ(prompter.fileRequests.back().initialDir,
              (dir.Path() / "program" / "templatch").string());

    ASSERT_TRUE(w->ShowSpectrum(AnalysisMode::Fft));
    w->PresetSave("PA Left");
    EXPECT_TRUE(std::filesystem::exists(dir.Path() / "data" / "templatch" / "PA Left.mfr"));
    EXPECT_FALSE(std::filesystem::exists(dir.Path() / "program" / "templatch" / "PA Left.mfr"));
    prompter.files = {""};
    w->LOAD2Click();
    EXPECT_EQ(prompter.fileRequests.back().initialDir,
              (dir.Path() / "data" / "templatch").string());
    EXPECT_TRUE(prompter.shown.empty());
}

TEST_F(TFFTDISPLAYTest, QuickSavesBecomeOverlaysAndTheViewSurvivesARestart) {
    ASSERT_TRUE(w->ShowSpectrum(AnalysisMode::Smooth));
    w->OverlayQuickSave(1);  // before any quick save: nothing
    EXPECT_FALSE(w->store().CurrentOverlay().loaded);

    w->action(QStringLiteral("QUICKSAVE11"))->trigger();
    const std::string quick = dir.File("Quicky1.SMR");
    ASSERT_TRUE(std::filesystem::exists(quick));
    EXPECT_EQ(tree.ReadString("QSAVE1"), quick);
    w->action(QStringLiteral("USEQUICKSAVE11"))->trigger();
    ASSERT_TRUE(w->store().CurrentOverlay().loaded);
    EXPECT_TRUE(w->action(QStringLiteral("SHOWOVERLAY1"))->isChecked());
    w->action(QStringLiteral("FlipCurve1"))->trigger();

    // The overlay of the same spectrum lies on the curve; inverted it mirrors it.
    FrequencyPaintInput in;
    std::vector<SmoothRecord> scratch;
    in = PaintInputFor(w->computer(), w->store(), w->display(), program.Colors, scratch);
    EXPECT_EQ(in.overlayText, "OVL: Quicky1.SMR (INV)");
    ASSERT_FALSE(in.overlay.points.empty());

    FrequencyDisplay& v = w->display();
    w->SelectMode(EditorMode::Scale, false);
    w->valueEditor()->setValue(30);
    w->SelectMode(EditorMode::LinesGap, false);
    w->valueEditor()->setValue(6);
    v.eqStyle = true;
    w->show();
    w->close();
    EXPECT_EQ(tree.ReadInteger("Range"), 30);
    EXPECT_EQ(tree.ReadString("OVERLAY FILE"), quick);

    Open();
    ASSERT_TRUE(w->ShowSpectrum(AnalysisMode::Smooth));
    EXPECT_EQ(w->display().range, 30);
    EXPECT_EQ(w->display().gap, 6);
    EXPECT_TRUE(w->display().eqStyle);
    EXPECT_TRUE(w->store().CurrentOverlay().loaded) << "reloaded from OVERLAY FILE";
    EXPECT_TRUE(w->store().CurrentOverlay().inverted);
}

TEST_F(TFFTDISPLAYTest, ValueEditorPopupsMarkerAndZoomWiring) {
    ASSERT_TRUE(w->ShowSpectrum(AnalysisMode::Fft));
    w->SelectMode(EditorMode::LinesGap, false);
    QStringList captions;
    for (QAction* a : w->editorPopup()->actions()) captions << a->text();
    EXPECT_EQ(captions, (QStringList{"1 dB", "2 dB", "3 dB", "4 dB", "5 dB", "7 dB", "10 dB",
                                     "SCALE", "AUTO"}));
    w->editorPopup()->actions()[5]->trigger();
    EXPECT_EQ(w->display().gap, 7);

    w->SelectMode(EditorMode::Left, false);
    EXPECT_EQ(w->editorLabel()->text().toStdString(), Msg(231));
    EXPECT_EQ(w->valueEditor()->singleStep(), 20);
    w->valueEditor()->setValue(200);
    EXPECT_EQ(w->display().lowerLimit, 200.0);

    w->resize(900, 500);
    w->show();
    QWidget* plot = w->plot();
    const int y = plot->height() / 2;
    QTest::mousePress(plot, Qt::LeftButton, {}, QPoint(300, y));
    QTest::mouseRelease(plot, Qt::LeftButton, {}, QPoint(325, y));
    EXPECT_EQ(w->display().lowerLimit, 200.0) << "25 pixels do not zoom";
    EXPECT_FALSE(w->display().markerSet);

    QTest::mouseClick(plot, Qt::LeftButton, {}, QPoint(300, y));
    ASSERT_TRUE(w->display().markerSet);
    const int index = w->display().markerIndex;
    QTest::keyClick(plot, Qt::Key_Right);
    EXPECT_EQ(w->display().markerIndex, index + 1);
    QTest::keyClick(plot, Qt::Key_PageDown);
    EXPECT_EQ(w->display().markerIndex, index - 9);

    QTest::mousePress(plot, Qt::LeftButton, {}, QPoint(600, y));
    QTest::mouseRelease(plot, Qt::LeftButton, {}, QPoint(400, y));
    EXPECT_GT(w->display().lowerLimit, 200.0) << "right to left zooms too";
    EXPECT_LT(w->display().upperLimit, 20000.0);
    w->close();
}

TEST_F(TFFTDISPLAYTest, ExportsTextSnapsAMacroAndPrintsOnePageToPdf) {
    ASSERT_TRUE(w->ShowSpectrum(AnalysisMode::Fft));
    const std::string frd = dir.File("out.FRD");
    prompter.files.push_back(frd);
    // The response on display came from a measurement that found and corrected a drift.
    Meas().DriftMeasured = true;
    Meas().DriftPpm = 20.04;
    Meas().DriftCorrected = true;
    Meas().LastRun = {true, 8, true, false};
    w->SASCII1Click();
    Meas().DriftMeasured = false;
    Meas().LastRun = {};
    std::ifstream f(frd);
    std::string line, stamp;
    int lines = 0;
    while (std::getline(f, line)) {
        if (line.starts_with("* ")) {
            stamp += line;
        } else {
            ++lines;
        }
    }
    const SpectrumComputer& c = w->computer();
    EXPECT_EQ(lines, c.BinCount() - c.FirstBin() + 1);
    EXPECT_NE(stamp.find("* FFT size: 4096"), std::string::npos) << stamp;
    EXPECT_NE(stamp.find("* Mode: FFT"), std::string::npos) << stamp;
    EXPECT_NE(stamp.find("* Clock drift: 20.0 ppm, corrected"), std::string::npos) << stamp;
    for (const char* run : {"* Averages: 8", "* ATC: on", "* Pink: off"}) {
        EXPECT_NE(stamp.find(run), std::string::npos) << stamp;
    }

    // Unstamped, the export is the plain list of points.
    program.StampExports = false;
    const std::string plain = dir.File("plain.FRD");
    prompter.files.push_back(plain);
    w->SASCII1Click();
    std::ifstream p(plain);
    int plainLines = 0;
    while (std::getline(p, line)) {
        EXPECT_NE(line[0], '*');
        ++plainLines;
    }
    EXPECT_EQ(plainLines, lines);
    program.StampExports = true;

    w->Snap(1);
    const UserMacro& m = program.Macros[2];
    EXPECT_EQ(m.fftCode, 1);  // 4096
    EXPECT_EQ(m.window.samplesBefore, 51);
    EXPECT_EQ(m.window.samplesAfter, 2150 - 201);

    const QRegularExpression header(QString::fromStdString(Msg(312)) +
                                    R"([A-Z][a-z]{2}/\d\d/\d{4} time: \d\d:\d\d$)");
    EXPECT_TRUE(header.match(QString::fromStdString(w->PrintHeader())).hasMatch())
        << w->PrintHeader();

    const std::string pdf = dir.File("page.pdf");
    if (QPrinterInfo::availablePrinters().isEmpty()) {
        prompter.files.push_back(pdf);
        prompter.answers.push_back(PromptAnswer::No);
        w->PRINT1Click();
        ASSERT_FALSE(prompter.shown.empty());
        EXPECT_EQ(prompter.shown.back().text, Msg(29));
    } else {
        QPrinter printer(QPrinter::ScreenResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(QString::fromStdString(pdf));
        w->PrintTo(printer, false);
    }
    QFile file(QString::fromStdString(pdf));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    EXPECT_EQ(bytes.count("/Type /Page\n") + bytes.count("/Type /Page\r") +
                  bytes.count("/Type /Page/") + bytes.count("/Type /Page "),
              1);
    QByteArray title("\xFE\xFF");  // the document title, as UTF-16 in the info dictionary
    for (char ch : std::string("MIV FFT Printout")) title.append('\0').append(ch);
    EXPECT_TRUE(bytes.contains(title)) << "document title";
}

// Pixels of exactly `colour`.
int Count(const QImage& img, QRgb colour) {
    int n = 0;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x) n += img.pixel(x, y) == colour;
    return n;
}

TEST_F(TFFTDISPLAYTest, NoiseFloorIsShadedUnderTheCurveWhichGreysNearIt) {
    const QRgb curve = qRgb(255, 255, 0), grey = qRgb(89, 89, 0), band = qRgb(70, 0, 0);
    QAction* floorItem = w->action("NOISEFLOOR1");
    QAction* greyItem = w->action("NOISEGREY1");
    ASSERT_TRUE(floorItem && greyItem);
    EXPECT_FALSE(floorItem->isChecked());
    EXPECT_FALSE(greyItem->isChecked());
    // Without an estimate (a loaded file) both choices draw nothing.
    ASSERT_TRUE(w->ShowSpectrum(AnalysisMode::Fft));
    const QImage plain = Paint();
    floorItem->trigger();
    greyItem->trigger();
    EXPECT_EQ(tree.ReadBool("NOISE FLOOR"), true);
    EXPECT_EQ(tree.ReadBool("NOISE GREY"), true);
    QImage img = Paint();
    EXPECT_LT(Count(img, band), 50) << "only the status text's edges";
    EXPECT_EQ(Count(img, curve), Count(plain, curve));

    // Noise 14 dB under the response: the band, the curve in its colour.
    noise.resize(ir.size());
    for (std::size_t i = 0; i < ir.size(); ++i) noise[i] = 0.2 * ir[i];
    ASSERT_TRUE(w->ShowSpectrum(AnalysisMode::Fft));
    img = Paint();
    EXPECT_GT(Count(img, band), 1000);
    EXPECT_EQ(Count(img, grey), 0);
    EXPECT_GT(Count(img, curve), 0);
    // 6 dB under it: the whole curve greyed.
    for (std::size_t i = 0; i < ir.size(); ++i) noise[i] = 0.5 * ir[i];
    ASSERT_TRUE(w->ShowSpectrum(AnalysisMode::Smooth));
    img = Paint();
    EXPECT_EQ(Count(img, curve), 0);
    EXPECT_GT(Count(img, grey), 0);
}

}  // namespace
}  // namespace fim
