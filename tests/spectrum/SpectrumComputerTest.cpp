#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <vector>

#include "shell/Catalog.h"
#include "shell/ScriptedPrompter.h"
#include "spectrum/SpectrumComputer.h"

namespace fim {
namespace {

constexpr double kPi = std::numbers::pi;

struct Fixture {
    std::vector<double> ir;
    SpectrumInput in;
    ScriptedPrompter prompter;
    SpectrumComputer computer;

    explicit Fixture(std::size_t samples = 70000) : ir(samples, 0.0) {
        in.impulse = ir.data();
        in.impulseCount = ir.size();
    }
    bool Run() { return computer.ComputeSpectrum(in, &prompter); }
};

TEST(SpectrumComputerTest, WindowFillsTheInputAndLongWindowsAreShortened) {
    Fixture f(5000);
    for (std::size_t i = 0; i < f.ir.size(); ++i) f.ir[i] = 1.0 + static_cast<double>(i);
    f.in.fftSize = 2048;
    f.in.viewStart = 5;  // sample 5 is element 4
    f.in.viewEnd = 5 + 3000;
    ASSERT_TRUE(f.Run());
    EXPECT_EQ(f.computer.ViewEnd(), 5 + 2048);
    ASSERT_EQ(f.computer.FftInput().size(), 2048u);
    EXPECT_EQ(f.computer.FftInput()[0], 5.0);
    EXPECT_EQ(f.computer.FftInput()[2047], 2052.0);
    EXPECT_DOUBLE_EQ(f.computer.LowestValidFrequency(), 44100.0 / 2048);

    // A short window is zero-padded; samples past the end of the response read as zeros.
    f.in.viewStart = 4990;
    f.in.viewEnd = 5020;
    ASSERT_TRUE(f.Run());
    EXPECT_EQ(f.computer.FftInput()[0], 4990.0);
    EXPECT_EQ(f.computer.FftInput()[10], 5000.0);
    EXPECT_EQ(f.computer.FftInput()[11], 0.0);
    EXPECT_EQ(f.computer.FftInput()[29], 0.0);
    EXPECT_DOUBLE_EQ(f.computer.LowestValidFrequency(), 44100.0 / 30);
}

TEST(SpectrumComputerTest, LowestValidFrequencyInBothModes) {
    Fixture f;
    f.in.mode = AnalysisMode::Smooth;
    f.in.viewStart = 100;
    f.in.viewEnd = 100 + 32768;
    ASSERT_TRUE(f.Run());
    EXPECT_EQ(f.computer.LowestValidFrequency(), 34.0);
    EXPECT_EQ(f.computer.FftSize(), 32768);
    EXPECT_EQ(f.computer.BinCount(), 16384);
    EXPECT_NEAR(f.computer.SmoothResult()[0].Frequency, 44100.0 * 26 / 32768, 1e-12);
    EXPECT_TRUE(f.computer.SmoothIndicator());
    f.in.viewEnd = 100 + 441;
    ASSERT_TRUE(f.Run());
    EXPECT_DOUBLE_EQ(f.computer.LowestValidFrequency(), 100.0);
    f.in.mode = AnalysisMode::Fft;
    f.in.fftSize = 4096;
    ASSERT_TRUE(f.Run());
    EXPECT_DOUBLE_EQ(f.computer.LowestValidFrequency(), 100.0);
    EXPECT_FALSE(f.computer.SmoothIndicator());
    // k0 = Round(100 / (44100 / 4096)) = Round(9.288) = 9.
    EXPECT_EQ(f.computer.FirstBin(), 9);
}

TEST(SpectrumComputerTest, ImpulseGivesFlatDisplayAndMeanLevelReference) {
    Fixture f;
    f.ir[999] = 1.0;  // sample 1000
    f.in.fftSize = 4096;
    f.in.viewStart = 1000;
    f.in.viewEnd = 1000 + 441;
    ASSERT_TRUE(f.Run());
    const int half = 2048, k0 = 9;
    const auto& d = f.computer.DisplaySpectrum();
    ASSERT_EQ(d.size(), static_cast<std::size_t>(half + 1));
    for (const SpectrumRecord& r : d) EXPECT_NEAR(r.Magnitude, 1.0, 1e-12);
    // The sum runs over bins k0 … N/2 (records k0 − 1 … N/2 − 1), the divisor is N/2 − k0.
    const double expected = static_cast<double>(half - k0 + 1) / (half - k0);
    EXPECT_NEAR(f.computer.LevelReference(), expected, 1e-12);
    EXPECT_NEAR(f.computer.PeakLevel(), 20 * std::log10(1.0 / expected), 1e-9);
    EXPECT_TRUE(f.computer.DataValid());
}

TEST(SpectrumComputerTest, PeakOfASineIsItsBin) {
    Fixture f;
    const int n = 8192;
    for (int i = 0; i < n; ++i) f.ir[i] = std::sin(2 * kPi * 500 * i / n) + 0.01;
    f.in.fftSize = n;
    f.in.viewStart = 1;
    f.in.viewEnd = 1 + n;
    f.in.sampleRate = 48000.0;
    ASSERT_TRUE(f.Run());
    EXPECT_DOUBLE_EQ(f.computer.PeakFrequency(), 500 * 48000.0 / n);
    EXPECT_NEAR(f.computer.PeakMagnitude(), n / 2.0, 1e-6);
    // The Nyquist record is real data (here the sine's tiny leakage, not a stale value).
    EXPECT_LT(f.computer.DisplaySpectrum()[n / 2].Magnitude, 1e-6);

    // Smoothed over three bins, the peak is the centre of the window that holds the whole line.
    for (int i = 0; i < n; ++i) {
        f.ir[i] = std::sin(2 * kPi * 500 * i / n) + 0.5 * std::sin(2 * kPi * 499 * i / n) +
                  0.5 * std::sin(2 * kPi * 501 * i / n);
    }
    f.in.smoothingWidth = SmoothingWidthFromValue(1);
    ASSERT_TRUE(f.Run());
    EXPECT_DOUBLE_EQ(f.computer.PeakFrequency(), 500 * 48000.0 / n);
    EXPECT_NEAR(f.computer.PeakMagnitude(), (4096.0 + 2048.0 + 2048.0) / 3, 1e-6);
}

TEST(SpectrumComputerTest, FftCalibrationRulesAndAutoGain) {
    Fixture f;
    f.ir[0] = 1.0;
    f.in.fftSize = 2048;
    f.in.viewStart = 1;
    f.in.viewEnd = 1 + 2048;
    std::vector<SpectrumRecord> cal(1024, SpectrumRecord{2.0, 0.5});
    cal[10] = {1.0, 0.0};   // exactly 1: the magnitude stays
    cal[11] = {0.25, 0.0};  // below 1: the magnitude stays
    cal[12] = {4.0, -3.0};  // phase 0 − (−3) = 3 stays inside −π … π
    f.in.calibrationInUse = true;
    f.in.fftCalibration = cal.data();
    f.in.fftCalibrationCount = cal.size();
    f.computer.RequestAutoGain();
    ASSERT_TRUE(f.Run());
    const auto& d = f.computer.DisplaySpectrum();
    EXPECT_NEAR(d[5].Magnitude, 0.5, 1e-12);
    EXPECT_NEAR(d[5].Phase, -0.5, 1e-12);
    EXPECT_NEAR(d[10].Magnitude, 1.0, 1e-12);
    EXPECT_NEAR(d[11].Magnitude, 1.0, 1e-12);
    EXPECT_NEAR(d[12].Magnitude, 0.25, 1e-12);
    EXPECT_NEAR(d[12].Phase, 3.0, 1e-12);
    EXPECT_NEAR(d[1024].Magnitude, 0.5, 1e-12) << "Nyquist takes its neighbour's calibration";
    EXPECT_EQ(f.computer.LevelReference(), 1.0);
    EXPECT_EQ(f.computer.GainOffset(), 6);  // mean ≈ 0.5: Round(6.02)
    EXPECT_FALSE(f.computer.AutoGainRequested());
    EXPECT_TRUE(f.prompter.shown.empty());

    // A phase difference beyond π is brought back by one turn.
    cal[12] = {4.0, 3.5};
    f.ir[0] = -1.0;  // phase π at every bin
    ASSERT_TRUE(f.Run());
    EXPECT_NEAR(f.computer.DisplaySpectrum()[12].Phase, kPi - 3.5, 1e-12);

    // Without calibration auto gain resets the offset; a calibration of the wrong size is unused.
    f.computer.RequestAutoGain();
    f.in.fftCalibrationCount = 1000;
    ASSERT_TRUE(f.Run());
    EXPECT_EQ(f.computer.GainOffset(), 0);
    EXPECT_NEAR(f.computer.DisplaySpectrum()[5].Magnitude, 1.0, 1e-12);
    EXPECT_GT(f.computer.LevelReference(), 1.0);
}

TEST(SpectrumComputerTest, SmoothCalibrationLevelReferenceAndAutoGain) {
    Fixture f;
    f.ir[0] = 1.0;  // flat: every SMOOTH record of the undecimated blocks has magnitude 1
    f.in.mode = AnalysisMode::Smooth;
    f.in.sampleRate = 48000.0;
    f.in.viewStart = 1;
    f.in.viewEnd = 1 + 480;  // lowest valid frequency 100 Hz
    ASSERT_TRUE(f.Run());
    const auto& raw = f.computer.SmoothResult();
    const int end = f.computer.SmoothRangeEnd();
    ASSERT_GT(raw[end].Frequency, 23000.0);
    ASSERT_LE(raw[end - 1].Frequency, 23000.0);
    double sum = 0.0;
    int count = 0;
    for (int i = 0; i < end; ++i) {
        if (raw[i].Frequency > 100.0) {
            sum += raw[i].Magnitude;
            ++count;
        }
    }
    EXPECT_NEAR(f.computer.LevelReference(), sum / count, 1e-12);

    std::vector<SmoothRecord> cal(kSmoothRecords, SmoothRecord{0.0, 2.0, 0.0});
    cal[200].Magnitude = 1.0;  // not above 1: the record becomes 1.0
    f.in.calibrationInUse = true;
    f.in.smoothCalibration = cal.data();
    f.computer.RequestAutoGain();
    ASSERT_TRUE(f.Run());
    const auto& d = f.computer.SmoothDisplay();
    EXPECT_NEAR(d[250].Magnitude, raw[250].Magnitude / 2.0, 1e-12);
    EXPECT_EQ(d[200].Magnitude, 1.0);
    EXPECT_EQ(d[294].Frequency, 50000.0);
    EXPECT_EQ(d[294].Magnitude, 0.0);
    EXPECT_EQ(f.computer.LevelReference(), 1.0);
    // S sums the corrected records above 100 Hz, n counts every record of the range.
    double s = 0.0;
    for (int i = 0; i < end; ++i) {
        if (raw[i].Frequency > 100.0) s += i == 200 ? 1.0 : raw[i].Magnitude / 2.0;
    }
    EXPECT_EQ(f.computer.GainOffset(),
              static_cast<int>(std::nearbyint(-20.0 * std::log10(s / end))));
}

TEST(SpectrumComputerTest, ModeChangesPinkWarningAndRefusedInput) {
    Fixture f;
    f.ir[10] = 1.0;
    f.in.viewStart = 1;
    f.in.viewEnd = 500;
    ASSERT_TRUE(f.Run());
    EXPECT_TRUE(f.computer.ModeChanged()) << "the first spectrum fits the display";
    ASSERT_TRUE(f.Run());
    EXPECT_FALSE(f.computer.ModeChanged());
    f.in.mode = AnalysisMode::Smooth;
    ASSERT_TRUE(f.Run());
    EXPECT_TRUE(f.computer.ModeChanged());
    EXPECT_TRUE(f.prompter.shown.empty());

    f.in.pinkMls = true;
    ASSERT_TRUE(f.Run());
    ASSERT_EQ(f.prompter.shown.size(), 1u);
    EXPECT_EQ(f.prompter.shown[0].text, Msg(124));
    std::vector<SmoothRecord> cal(kSmoothRecords, SmoothRecord{0.0, 1.0, 0.0});
    f.in.calibrationInUse = true;
    f.in.smoothCalibration = cal.data();
    ASSERT_TRUE(f.Run());
    EXPECT_EQ(f.prompter.shown.size(), 1u) << "no warning with calibration in use";

    const double before = f.computer.LowestValidFrequency();
    SpectrumInput bad = f.in;
    bad.viewEnd = bad.viewStart;
    EXPECT_FALSE(f.computer.ComputeSpectrum(bad, &f.prompter));
    bad = f.in;
    bad.viewStart = 0;
    EXPECT_FALSE(f.computer.ComputeSpectrum(bad, &f.prompter));
    bad = f.in;
    bad.mode = AnalysisMode::Fft;
    bad.fftSize = 3000;
    EXPECT_FALSE(f.computer.ComputeSpectrum(bad, &f.prompter));
    bad = f.in;
    bad.sampleRate = 0.0;
    EXPECT_FALSE(f.computer.ComputeSpectrum(bad, &f.prompter));
    EXPECT_EQ(f.computer.LowestValidFrequency(), before);
    EXPECT_EQ(f.computer.Mode(), AnalysisMode::Smooth);
}

TEST(CheckWindowPresetTest, StoresCountsOnlyWhenTheWindowFits) {
    ScriptedPrompter prompter;
    TimeWindow w;
    w.name = "10ms (100Hz)";
    w.timeBefore = 400;
    w.timeAfter = 9600;
    EXPECT_TRUE(CheckWindowPreset(w, 4096, 44100.0, prompter));
    EXPECT_EQ(w.samplesBefore, 18);  // 17.64
    EXPECT_EQ(w.samplesAfter, 423);  // 423.36
    EXPECT_TRUE(prompter.shown.empty());

    EXPECT_FALSE(CheckWindowPreset(w, 256, 48000.0, prompter));
    ASSERT_EQ(prompter.shown.size(), 1u);
    EXPECT_EQ(prompter.shown[0].text, "Window too large for FFT size");
    EXPECT_EQ(w.samplesBefore, 18);
    EXPECT_EQ(w.samplesAfter, 423);

    w.timeBefore = 0;
    w.timeAfter = 0;
    EXPECT_FALSE(CheckWindowPreset(w, 4096, 44100.0, prompter));
    ASSERT_EQ(prompter.shown.size(), 2u);
    EXPECT_EQ(prompter.shown[1].text, "Illegal values");
    EXPECT_EQ(prompter.shown[1].caption, "10ms (100Hz)");
    EXPECT_EQ(w.samplesAfter, 423);
    // A negative time before the peak is a window that starts after it.
    w.timeBefore = -1000;
    w.timeAfter = 5000;
    EXPECT_TRUE(CheckWindowPreset(w, 4096, 44100.0, prompter));
    EXPECT_EQ(w.samplesBefore, -44);
    EXPECT_EQ(w.samplesAfter, 220);  // 220.5, half to even
    w.timeBefore = -6000;
    EXPECT_FALSE(CheckWindowPreset(w, 4096, 44100.0, prompter));
    EXPECT_EQ(prompter.shown.back().text, "Illegal values");
    EXPECT_EQ(w.samplesBefore, -44);
    EXPECT_EQ(prompter.shown.size(), 3u);
    // Exactly the FFT size passes.
    w.timeBefore = 0;
    w.timeAfter = 100000;  // 0.1 s at 40960 Hz
    EXPECT_TRUE(CheckWindowPreset(w, 4096, 40960.0, prompter));
    EXPECT_EQ(w.samplesAfter, 4096);
}

}  // namespace
}  // namespace fim
