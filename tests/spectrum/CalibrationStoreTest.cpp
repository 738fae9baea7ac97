#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "../audio/FileTestUtil.h"
#include "base/Catalog.h"
#include "base/FileTexts.h"
#include "base/MemorySettingsTree.h"
#include "base/ScriptedPrompter.h"
#include "spectrum/CalibrationStore.h"

namespace fim {
namespace {

using test::Bytes;

std::vector<SpectrumRecord> Bins(int n, double scale) {
    std::vector<SpectrumRecord> b(static_cast<std::size_t>(n));
    for (int k = 0; k < n; ++k) b[k] = {scale * (1.0 + k), 0.001 * k};
    return b;
}

std::vector<SmoothRecord> SmoothRecords(double scale) {
    std::vector<SmoothRecord> r(kSmoothRecords);
    for (int i = 0; i < kSmoothRecords - 1; ++i)
        r[i] = {35.0 * std::pow(1.0245, i), scale * (i % 3 + 1), -0.01 * i};
    r.back() = {50000.0, 0.0, 0.0};
    return r;
}

class CalibrationStoreTest : public ::testing::Test {
  protected:
    ScriptedPrompter prompter;
    CalibrationStore store{prompter};
    test::TempDir dir;
};

TEST_F(CalibrationStoreTest, FftLayoutIsByteExactAndRoundTrips) {
    const auto bins = Bins(4096, 0.5);
    const std::string path = dir.File("a.cal");
    ASSERT_TRUE(WriteFftSpectrumFile(path, 10.766, 8192, 44100.0, bins.data()));
    const Bytes raw = test::ReadBytes(path);
    ASSERT_EQ(raw.size(), 16u * (4096 + 2));
    double v;
    std::memcpy(&v, &raw[8], 8);
    EXPECT_EQ(v, 2.0);
    std::memcpy(&v, &raw[16], 8);
    EXPECT_EQ(v, 8192.0);
    std::memcpy(&v, &raw[32 + 16 * 4095], 8);
    EXPECT_EQ(v, bins[4095].Magnitude);

    ASSERT_TRUE(store.LoadFftCalibration(path, 8192, 44100.0));
    EXPECT_TRUE(prompter.shown.empty());
    EXPECT_EQ(store.CalibrationName(AnalysisMode::Fft), "a.cal");
    EXPECT_EQ(store.CalibrationLowestFrequency(), 10.766);
    ASSERT_EQ(store.FftCalibration().size(), 4096u);
    EXPECT_EQ(store.FftCalibration()[77].Phase, bins[77].Phase);
    EXPECT_EQ(store.UseCalCaption(AnalysisMode::Fft), Msg(45) + "a.cal" + Msg(46));
    EXPECT_EQ(store.UseCalCaption(AnalysisMode::Smooth), "NO CAL LOADED");
    EXPECT_TRUE(store.ToggleUseCalibration(AnalysisMode::Fft));
    EXPECT_FALSE(store.ToggleUseCalibration(AnalysisMode::Smooth)) << "nothing loaded to use";
}

TEST_F(CalibrationStoreTest, FftCalibrationOfAnotherSizeOrRateIsRefusedAndTakenOutOfUse) {
    const std::string good = dir.File("good.cal");
    ASSERT_TRUE(WriteFftSpectrumFile(good, 5.0, 16384, 44100.0, Bins(8192, 1.0).data()));
    ASSERT_TRUE(store.LoadFftCalibration(good, 16384, 44100.0));
    store.SetUseCalibration(AnalysisMode::Fft, true);

    const std::string small = dir.File("small.cal");
    ASSERT_TRUE(WriteFftSpectrumFile(small, 5.0, 8192, 44100.0, Bins(4096, 1.0).data()));
    EXPECT_FALSE(store.LoadFftCalibration(small, 16384, 44100.0));
    ASSERT_EQ(prompter.shown.size(), 1u);
    EXPECT_EQ(prompter.shown[0].caption, Msg(35));
    EXPECT_EQ(prompter.shown[0].text, Msg(34));
    EXPECT_FALSE(store.CalibrationInUse(AnalysisMode::Fft));
    EXPECT_FALSE(store.CalibrationLoaded(AnalysisMode::Fft));

    ASSERT_TRUE(store.LoadFftCalibration(good, 16384, 44100.0));
    EXPECT_FALSE(store.LoadFftCalibration(good, 16384, 48000.0, false));
    EXPECT_EQ(prompter.shown.size(), 1u) << "messages were switched off";
}

TEST_F(CalibrationStoreTest, SmoothCalibrationAtAnotherRateNamesBothRates) {
    const auto r = SmoothRecords(2.0);
    const std::string path = dir.File("m.csm");
    ASSERT_TRUE(WriteSmoothSpectrumFile(path, 34.0, 48000.0, r.data()));
    EXPECT_EQ(std::filesystem::file_size(path), 7104u);
    EXPECT_FALSE(store.LoadSmoothCalibration(path, 44100.0));
    ASSERT_EQ(prompter.shown.size(), 1u);
    EXPECT_EQ(prompter.shown[0].caption, Msg(38));
    EXPECT_EQ(prompter.shown[0].text, Msg(36) + "48000" + Msg(37) + "44100");
    ASSERT_TRUE(store.LoadCalibrationFile(path, 4096, 48000.0));
    EXPECT_EQ(store.SmoothCalibration()[100].Magnitude, r[100].Magnitude);
    EXPECT_EQ(store.recentCalibrations.Entries().front().tag,
              static_cast<int>(AnalysisMode::Smooth));
}

TEST_F(CalibrationStoreTest, DamagedFilesAreRefusedAndKeepTheLoadedCalibration) {
    const std::string good = dir.File("good.csm");
    const auto r = SmoothRecords(3.0);
    ASSERT_TRUE(WriteSmoothSpectrumFile(good, 34.0, 44100.0, r.data()));
    ASSERT_TRUE(store.LoadSmoothCalibration(good, 44100.0));
    const Bytes raw = test::ReadBytes(good);

    auto variant = [&](auto edit) {
        Bytes b = raw;
        edit(b);
        return b;
    };
    const double nan = std::nan(""), v1 = 1.0;
    const Bytes cases[] = {
        Bytes(raw.begin(), raw.end() - 24),                                 // short
        variant([](Bytes& b) { b.push_back(0); }),                          // long
        variant([&](Bytes& b) { std::memcpy(&b[16], &v1, 8); }),            // version 1.0
        variant([&](Bytes& b) { std::memcpy(&b[24 * 50 + 8], &nan, 8); }),  // NaN magnitude
    };
    for (const auto& c : cases) {
        test::WriteBytes(dir.File("bad.csm"), c);
        EXPECT_FALSE(store.LoadSmoothCalibration(dir.File("bad.csm"), 44100.0));
    }
    EXPECT_EQ(prompter.shown.size(), 4u);
    EXPECT_NE(prompter.shown[2].text.find(FileMessage(FileText::WrongVersion)), std::string::npos);
    EXPECT_TRUE(store.CalibrationLoaded(AnalysisMode::Smooth));
    EXPECT_EQ(store.CalibrationName(AnalysisMode::Smooth), "good.csm");
    EXPECT_EQ(store.SmoothCalibration()[50].Magnitude, r[50].Magnitude);

    // FFT layout: an FFT size field that is no power of two, and a size that does not match it.
    Bytes fft;
    for (double v : {5.0, 2.0, 1000.0, 44100.0}) {
        unsigned char b[8];
        std::memcpy(b, &v, 8);
        fft.insert(fft.end(), b, b + 8);
    }
    MemorySource src(fft.data(), fft.size());
    FftSpectrumFile f;
    EXPECT_EQ(ParseFftSpectrum(src, f), SpectrumFileStatus::BadFftSize);
    double n128 = 128.0;
    std::memcpy(&fft[16], &n128, 8);
    MemorySource src2(fft.data(), fft.size());
    EXPECT_EQ(ParseFftSpectrum(src2, f), SpectrumFileStatus::BadSize);
}

TEST_F(CalibrationStoreTest, SavingACalibrationLoadsItOnlyWhenNoneIsLoaded) {
    const auto first = Bins(2048, 1.0), second = Bins(2048, 7.0);
    DisplaySpectrum raw{AnalysisMode::Fft, 10.0, 4096, 44100.0, first.data(), nullptr};
    ASSERT_TRUE(store.SaveAsCalibration(dir.File("one.cal"), raw));
    EXPECT_EQ(store.CalibrationName(AnalysisMode::Fft), "one.cal");
    raw.bins = second.data();
    ASSERT_TRUE(store.SaveAsCalibration(dir.File("two.cal"), raw));
    EXPECT_EQ(store.CalibrationName(AnalysisMode::Fft), "one.cal");
    EXPECT_EQ(store.FftCalibration()[3].Magnitude, first[3].Magnitude);
    EXPECT_EQ(store.recentCalibrations.Entries().front().path, dir.File("two.cal"));
}

TEST_F(CalibrationStoreTest, MicCorrectionAppliesOnlyAtItsRateAndIsBakedIntoSmoothFiles) {
    MicCorrection mic;
    mic.sampleRate = 44100.0;
    for (std::size_t i = 0; i < mic.entries.size(); ++i)
        mic.entries[i] = {35.0 * std::pow(1.0245, static_cast<double>(i)), 20.0, 0.5};
    const std::string smc = dir.File("mic.SMC");
    ASSERT_TRUE(WriteMicCorrection(smc, mic));
    EXPECT_EQ(std::filesystem::file_size(smc), 7080u);
    ASSERT_TRUE(store.LoadMicCorrection(smc));
    EXPECT_EQ(store.Mic().entries[293].db, 20.0);
    EXPECT_FALSE(store.MicCorrectionApplies(44100.0)) << "button not pressed";
    store.micApplied = true;
    EXPECT_TRUE(store.MicCorrectionApplies(44100.0));
    EXPECT_FALSE(store.MicCorrectionApplies(48000.0));

    const auto r = SmoothRecords(1.0);
    DisplaySpectrum s{AnalysisMode::Smooth, 34.0, 0, 44100.0, nullptr, r.data()};
    ASSERT_TRUE(store.SaveSpectrum(dir.File("c.SMR"), s));
    SmoothSpectrumFile back;
    ASSERT_EQ(ReadSmoothSpectrum(dir.File("c.SMR"), back), SpectrumFileStatus::Ok);
    EXPECT_DOUBLE_EQ(back.records[7].Magnitude, r[7].Magnitude / 10.0);  // −20 dB
    EXPECT_DOUBLE_EQ(back.records[7].Phase, r[7].Phase - 0.5);
    EXPECT_EQ(back.records[294].Frequency, 50000.0);
    EXPECT_EQ(back.records[294].Phase, 0.0) << "the end marker has no correction";
    s.sampleRate = 48000.0;
    ASSERT_TRUE(store.SaveSpectrum(dir.File("d.SMR"), s));
    ASSERT_EQ(ReadSmoothSpectrum(dir.File("d.SMR"), back), SpectrumFileStatus::Ok);
    EXPECT_EQ(back.records[7].Magnitude, r[7].Magnitude);
}

TEST_F(CalibrationStoreTest, OverlaysByExtensionWithTheirLevelReference) {
    // FFT overlay: N = 128 at 12800 Hz, bin width 100 Hz; lowest 249.6 Hz → 250 → k0 = Round(2.5)
    // = 2; bins 2 … 63 hold 1 + k, mean = (3 + 64) / 2.
    const auto bins = Bins(64, 1.0);
    const std::string mfr = dir.File("o.mfr");
    ASSERT_TRUE(WriteFftSpectrumFile(mfr, 249.6, 128, 12800.0, bins.data()));
    EXPECT_FALSE(store.LoadOverlay(mfr, 48000.0));
    EXPECT_EQ(store.OverlayCaption(), Msg(42));
    EXPECT_EQ(store.CurrentOverlay().name, "nix");
    ASSERT_TRUE(store.LoadOverlay(mfr, 12800.0)) << "lower-case extension is an MFR";
    EXPECT_EQ(store.CurrentOverlay().kind, 0);
    EXPECT_EQ(store.CurrentOverlay().lowestFrequency, 250.0);
    EXPECT_DOUBLE_EQ(store.CurrentOverlay().levelReference, 33.5);
    EXPECT_EQ(store.OverlayCaption(), "OVERLAY: o.mfr");

    // SMOOTH overlay at any rate; records strictly between 40 Hz and 23000 Hz count.
    auto r = SmoothRecords(1.0);
    r[0].Frequency = 40.0;
    const std::string smr = dir.File("o.SMR");
    ASSERT_TRUE(WriteSmoothSpectrumFile(smr, 40.2, 96000.0, r.data()));
    ASSERT_TRUE(store.LoadOverlay(smr, 44100.0));
    double sum = 0;
    int n = 0;
    for (const auto& x : r)
        if (x.Frequency > 40.0 && x.Frequency < 23000.0) sum += x.Magnitude, ++n;
    EXPECT_DOUBLE_EQ(store.CurrentOverlay().levelReference, sum / n);
    EXPECT_EQ(store.CurrentOverlay().kind, 1);

    // Silent spectra have no level reference; other extensions are no overlays.
    std::vector<SmoothRecord> silent(kSmoothRecords);
    ASSERT_TRUE(WriteSmoothSpectrumFile(dir.File("s.SMR"), 40.0, 44100.0, silent.data()));
    EXPECT_FALSE(store.LoadOverlay(dir.File("s.SMR"), 44100.0));
    EXPECT_FALSE(store.CurrentOverlay().loaded);
    EXPECT_FALSE(store.LoadOverlay(dir.File("o.txt"), 44100.0));
    EXPECT_EQ(store.recentOverlays.Entries().size(), 2u);
}

TEST_F(CalibrationStoreTest, QuickSavesAndPresets) {
    MemorySettingsTree settings;
    EXPECT_FALSE(store.OverlayQuickSave(1, settings, 44100.0)) << "nothing quick-saved yet";
    const auto r = SmoothRecords(1.0);
    DisplaySpectrum s{AnalysisMode::Smooth, 34.0, 0, 44100.0, nullptr, r.data()};
    ASSERT_TRUE(store.QuickSave(2, dir.Path().string(), s, settings));
    EXPECT_EQ(settings.ReadString("QSAVE2"), dir.File("Quicky2.SMR"));
    ASSERT_TRUE(store.OverlayQuickSave(2, settings, 44100.0));
    EXPECT_TRUE(store.CurrentOverlay().shown);

    const std::string preset =
        CalibrationStore::PresetPath(dir.Path().string(), "Monitor Drums", AnalysisMode::Fft);
    EXPECT_EQ(preset, (dir.Path() / "templatch" / "Monitor Drums.mfr").string());
    EXPECT_TRUE(std::filesystem::is_directory(dir.Path() / "templatch"));
    const auto bins = Bins(64, 1.0);
    DisplaySpectrum f{AnalysisMode::Fft, 200.0, 128, 44100.0, bins.data(), nullptr};
    ASSERT_TRUE(store.SavePreset(dir.Path().string(), "PA Left", f));
    EXPECT_EQ(store.recentOverlays.Entries().front().path,
              (dir.Path() / "templatch" / "PA Left.mfr").string());
    EXPECT_EQ(CalibrationStore::PresetNames().size(), 7u);

    // A failed write is reported with message 39 and changes no list.
    const std::size_t before = store.recentOverlays.Entries().size();
    EXPECT_FALSE(store.SaveSpectrum(dir.File("missing/x.mfr"), f));
    EXPECT_EQ(prompter.Last()->caption, Msg(39));
    EXPECT_EQ(store.recentOverlays.Entries().size(), before);
}

}  // namespace
}  // namespace fim
