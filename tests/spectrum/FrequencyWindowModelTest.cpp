#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "../audio/FileTestUtil.h"
#include "base/Catalog.h"
#include "base/FileTexts.h"
#include "base/MemorySettingsTree.h"
#include "base/ScriptedPrompter.h"
#include "spectrum/FrequencyWindowModel.h"

namespace fim {
namespace {

// The model over a synthetic room response: a direct sound with a short ringing tail, at the
// level of a measured response (calibration divides only bins above magnitude 1).
class FrequencyWindowModelTest : public ::testing::Test {
  protected:
    FrequencyWindowModelTest() {
        std::mt19937 rng(7);
        std::normal_distribution<double> noise(0.0, 0.002);
        ir.assign(16384, 0.0);
        for (std::size_t i = 200; i < ir.size(); ++i)
            ir[i] = std::exp(-(i - 200.0) / 60.0) * std::sin(0.3 * (i - 200.0)) + noise(rng);
        ir[200] = 1.0;
        for (double& v : ir) v *= 1e5;
    }
    SpectrumInput Input() const {
        SpectrumInput in;
        in.impulse = ir.data();
        in.impulseCount = ir.size();
        in.viewStart = 150;
        in.viewEnd = 150 + 2000;
        in.fftSize = fftSize;
        in.sampleRate = rate;
        return in;
    }
    bool Show(AnalysisMode mode) { return model->ShowSpectrum(Input(), mode); }
    // A calibration of the current spectrum, in use.
    std::string Calibrate(const char* name) {
        const std::string path = dir.File(name);
        EXPECT_TRUE(model->SaveAsCalibration(path));
        EXPECT_TRUE(model->ToggleCalibration());
        return path;
    }
    void Reopen() {
        model = std::make_unique<FrequencyWindowModel>(
            tree, prompter, FrequencyWindowModel::Shared{smoothing, micCalData, warnCal});
    }

    test::TempDir dir;
    std::vector<double> ir;
    int fftSize = 4096;
    double rate = 44100.0;
    MemorySettingsTree tree;
    ScriptedPrompter prompter;
    int32_t smoothing = 1;
    std::string micCalData;
    bool warnCal = true;
    std::unique_ptr<FrequencyWindowModel> model = std::make_unique<FrequencyWindowModel>(
        tree, prompter, FrequencyWindowModel::Shared{smoothing, micCalData, warnCal});
};

TEST_F(FrequencyWindowModelTest, AMacroChoiceSetsCalibrationBothWaysUnlessMlsOnlyDroppedIt) {
    ASSERT_TRUE(Show(AnalysisMode::Fft));
    const std::string cal = Calibrate("room.cal");
    EXPECT_EQ(tree.ReadString("LinCal"), cal);
    EXPECT_EQ(tree.ReadBool("CM0"), true);
    ASSERT_TRUE(model->store.CalibrationInUse(AnalysisMode::Fft));

    AnalysisChoice off;  // a macro without calibration, smoothing value 2
    off.smoothingWidth = 5;
    model->ApplyAnalysisChoice(off);
    EXPECT_EQ(smoothing, 5);
    EXPECT_EQ(model->view.smoothingValue, 2);
    EXPECT_TRUE(model->HasPendingChoice());
    ASSERT_TRUE(Show(AnalysisMode::Fft));
    EXPECT_FALSE(model->HasPendingChoice()) << "a choice is used by one spectrum";
    EXPECT_FALSE(model->store.CalibrationInUse(AnalysisMode::Fft));

    AnalysisChoice on = off;
    on.useCalibration = true;
    on.calibrationPath = cal;
    model->ApplyAnalysisChoice(on);
    model->ClearAnalysisChoice();
    ASSERT_TRUE(Show(AnalysisMode::Fft));
    EXPECT_FALSE(model->store.CalibrationInUse(AnalysisMode::Fft));
    model->ApplyAnalysisChoice(on);
    ASSERT_TRUE(Show(AnalysisMode::Fft));
    EXPECT_TRUE(model->store.CalibrationInUse(AnalysisMode::Fft));
}

TEST_F(FrequencyWindowModelTest,
       ACalibrationIsReadAgainForANewFftSizeOrRateAndRefusedWhenItNoLongerFits) {
    ASSERT_TRUE(Show(AnalysisMode::Fft));
    Calibrate("a.cal");
    fftSize = 8192;  // the main window's FFT size changed
    ASSERT_TRUE(Show(AnalysisMode::Fft));
    ASSERT_EQ(prompter.shown.size(), 1u);
    EXPECT_EQ(prompter.shown[0].caption, Msg(35));
    EXPECT_FALSE(model->store.CalibrationInUse(AnalysisMode::Fft));

    // The smoothed calibration belongs to its rate; with the warning off it is refused quietly.
    ASSERT_TRUE(Show(AnalysisMode::Smooth));
    Calibrate("b.csm");
    warnCal = false;
    rate = 48000.0;
    prompter.shown.clear();
    ASSERT_TRUE(Show(AnalysisMode::Smooth));
    EXPECT_FALSE(model->store.CalibrationInUse(AnalysisMode::Smooth));
    EXPECT_TRUE(prompter.shown.empty());
}

TEST_F(FrequencyWindowModelTest, AStoredCalibrationThatIsGoneIsReportedOnceThenForgotten) {
    tree.WriteString("LinCal", dir.File("gone.cal"));
    tree.WriteBool("CM0", true);
    ASSERT_TRUE(Show(AnalysisMode::Fft));
    ASSERT_EQ(prompter.shown.size(), 1u);
    EXPECT_EQ(prompter.shown[0].caption, FileMessage(FileText::NotLoaded));
    EXPECT_FALSE(tree.HasValue("LinCal"));
    ASSERT_TRUE(Show(AnalysisMode::Smooth));
    ASSERT_TRUE(Show(AnalysisMode::Fft));
    Reopen();
    ASSERT_TRUE(Show(AnalysisMode::Fft));
    EXPECT_EQ(prompter.shown.size(), 1u);
    EXPECT_FALSE(model->store.CalibrationInUse(AnalysisMode::Fft));
}

TEST_F(FrequencyWindowModelTest,
       StartUpFilesWaitForTheFirstSpectrumAndARefusedInputChangesNothing) {
    ASSERT_TRUE(Show(AnalysisMode::Smooth));
    const std::string overlay = dir.File("room.smr");
    ASSERT_TRUE(model->store.SaveSpectrum(overlay, model->Display()));

    FrequencyViewSettings s;
    s.overlayFile = overlay;
    s.hasOverlayFile = true;
    s.overlayShown = false;
    s.overlayInverted = true;
    Reopen();
    model->StartUp(s, {}, {overlay});
    EXPECT_FALSE(model->store.CurrentOverlay().loaded) << "the rate is not known yet";
    EXPECT_EQ(model->store.recentOverlays.Entries().size(), 1u);

    SpectrumInput empty = Input();
    empty.viewEnd = empty.viewStart;  // no samples: refused
    EXPECT_FALSE(model->ShowSpectrum(empty, AnalysisMode::Smooth));
    EXPECT_FALSE(model->HaveInput());
    EXPECT_FALSE(model->store.CurrentOverlay().loaded);

    ASSERT_TRUE(Show(AnalysisMode::Smooth));
    const CalibrationStore::Overlay& o = model->store.CurrentOverlay();
    EXPECT_TRUE(o.loaded);
    EXPECT_FALSE(o.shown) << "it keeps the stored shown flag";
    EXPECT_TRUE(o.inverted);
    const FrequencyViewSettings back = model->Settings();
    EXPECT_EQ(back.overlayFile, overlay);
    EXPECT_FALSE(back.overlayShown);
}

// Noise that is the response scaled by a factor must read that factor below the curve in every
// record: the floor takes the curve's window, FFT size, mode, smoothing and calibration. The
// greying rule marks records less than 10 dB above the floor, or below it.
TEST_F(FrequencyWindowModelTest, NoiseFloorTakesTheCurvesTransformAndMarksRecordsNearIt) {
    ASSERT_TRUE(Show(AnalysisMode::Fft));
    Calibrate("room.cal");
    smoothing = 5;
    std::vector<double> noise(ir.size());
    for (const AnalysisMode mode : {AnalysisMode::Fft, AnalysisMode::Smooth}) {
        const std::vector<std::pair<double, int>> cases = {
            {0.1, 0}, {std::pow(10.0, -10.1 / 20), 0}, {std::pow(10.0, -9.9 / 20), 1}, {2.0, 1}};
        for (const auto& [factor, near] : cases) {
            for (std::size_t i = 0; i < ir.size(); ++i) noise[i] = factor * ir[i];
            SpectrumInput in = Input();
            in.noise = noise.data();
            in.noisePeriods = 8;
            ASSERT_TRUE(model->ShowSpectrum(in, mode));
            ASSERT_TRUE(model->HasNoiseFloor());
            EXPECT_EQ(model->NoisePeriods(), 8);
            const SpectrumComputer& c = model->computer;
            const SpectrumComputer& f = model->NoiseComputer();
            std::vector<uint8_t> marks;
            std::vector<std::pair<double, double>> pairs;  // curve, floor
            if (mode == AnalysisMode::Fft) {
                ASSERT_TRUE(model->store.CalibrationInUse(mode));
                marks = NearNoiseRecords(c.DisplaySpectrum(), f.DisplaySpectrum(), kNearNoiseDb);
                for (int k = c.FirstBin() - 1; k <= c.BinCount(); ++k)
                    pairs.emplace_back(c.DisplaySpectrum()[k].Magnitude,
                                       f.DisplaySpectrum()[k].Magnitude);
            } else {
                marks = NearNoiseRecords(c.SmoothDisplay(), f.SmoothDisplay(), kNearNoiseDb);
                for (int k = 0; k < c.SmoothRangeEnd(); ++k)
                    pairs.emplace_back(c.SmoothDisplay()[k].Magnitude,
                                       f.SmoothDisplay()[k].Magnitude);
            }
            const int first = mode == AnalysisMode::Fft ? c.FirstBin() - 1 : 0;
            for (std::size_t k = 0; k < pairs.size(); ++k) {
                ASSERT_GT(pairs[k].first, 0.0);
                ASSERT_NEAR(pairs[k].second / pairs[k].first, factor, factor * 1e-9) << k;
                ASSERT_EQ(marks[first + k], near) << factor << " record " << first + k;
            }
        }
    }
    // A floor of no level marks nothing.
    std::fill(noise.begin(), noise.end(), 0.0);
    SpectrumInput in = Input();
    in.noise = noise.data();
    in.noisePeriods = 2;
    ASSERT_TRUE(model->ShowSpectrum(in, AnalysisMode::Fft));
    const auto marks = NearNoiseRecords(model->computer.DisplaySpectrum(),
                                        model->NoiseComputer().DisplaySpectrum(), kNearNoiseDb);
    EXPECT_EQ(std::count(marks.begin(), marks.end(), 1), 0);

    // One period or a loaded file: no floor, and none left over from the run before.
    in.noisePeriods = 1;
    ASSERT_TRUE(model->ShowSpectrum(in, AnalysisMode::Fft));
    EXPECT_FALSE(model->HasNoiseFloor());
    in.noisePeriods = 2;
    ASSERT_TRUE(model->ShowSpectrum(in, AnalysisMode::Fft));
    ASSERT_TRUE(Show(AnalysisMode::Fft));
    EXPECT_FALSE(model->HasNoiseFloor());
    EXPECT_EQ(model->NoisePeriods(), 0);
}

TEST_F(FrequencyWindowModelTest, NoiseFloorChoicesAreOffByDefaultAndSurviveARestart) {
    model->StartUp(ReadFrequencyViewSettings(tree), {}, {});
    EXPECT_FALSE(model->view.noiseFloorShown);
    EXPECT_FALSE(model->view.greyNearNoise);
    model->view.noiseFloorShown = true;
    WriteFrequencyViewSettings(tree, model->Settings());
    Reopen();
    model->StartUp(ReadFrequencyViewSettings(tree), {}, {});
    EXPECT_TRUE(model->view.noiseFloorShown);
    EXPECT_FALSE(model->view.greyNearNoise);
    model->view.noiseFloorShown = false;
    model->view.greyNearNoise = true;
    WriteFrequencyViewSettings(tree, model->Settings());
    Reopen();
    model->StartUp(ReadFrequencyViewSettings(tree), {}, {});
    EXPECT_FALSE(model->view.noiseFloorShown);
    EXPECT_TRUE(model->view.greyNearNoise);
}

}  // namespace
}  // namespace fim
