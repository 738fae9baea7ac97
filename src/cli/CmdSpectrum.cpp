// fimtool spectrum: the frequency response of an analysis window of an impulse response, as the
// frequency window computes it (FFT or SMOOTH analysis, calibration, microphone correction,
// smoothing), with optional text export, spectrum file and a PNG of the plot as the window paints
// it (with overlay and calibration when given). Prints a JSON summary.

#include <QCoreApplication>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QSaveFile>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>
#include <string>

#include "app/FatalMemory.h"
#include "audio/ImpulseFiles.h"
#include "auxwindows/InfoScreens.h"
#include "base/AtomicFile.h"
#include "base/Catalog.h"
#include "base/MessageIds.h"
#include "cli/CommandLine.h"
#include "cli/Commands.h"
#include "cli/ConsolePrompter.h"
#include "cli/Json.h"
#include "cli/SnrJson.h"
#include "core/NoiseFloor.h"
#include "spectrum/AsciiExport.h"
#include "spectrum/CalibrationStore.h"
#include "spectrum/FrequencyDisplay.h"
#include "spectrum/MicCalText.h"
#include "spectrum/Provenance.h"
#include "spectrum/SpectrumComputer.h"
#include "spectrum/SpectrumFiles.h"
#include "spectrum/TimeWindow.h"
#include "spectrum/ui/paint/FrequencyPainter.h"

namespace fim::cli {

namespace {

constexpr std::string_view kCommand = "spectrum";

// Painting text needs a GUI application; fimtool runs without a display.
std::unique_ptr<QGuiApplication> EnsureGuiApplication() {
    if (QCoreApplication::instance()) return nullptr;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "fimtool";
    static char* argv[] = {name, nullptr};
    return std::make_unique<QGuiApplication>(argc, argv);
}

// Signal-to-noise ratio per octave band, as `measure` reports it (from 1 ms before the peak, up
// to 16384 samples), with the noise of the response's late tail: a single response holds no
// spread between periods. Says which source it used, or why there is no estimate.
void AddTailSnr(JsonObject& json, const double* rlp, std::size_t length, int32_t peakIndex,
                double rate) {
    if (peakIndex < 1) {
        json.Add("snr_source", "none");
        json.Add("snr_reason", "the response is silent");
        return;
    }
    const std::size_t start = SnrSignalStart(peakIndex, rate);
    const std::size_t count = std::min(kSnrSignalSamples, (length - std::min(length, start)) / 2);
    const TailSnr snr = TailNoiseSnr(rlp, length, start, count, rate);
    if (snr.bands.empty()) {
        json.Add("snr_source", "none");
        json.Add("snr_reason", snr.reason);
        return;
    }
    AddSnrBands(json, "late_tail", snr.bands, start, count);
    json.Add("snr_noise_start", static_cast<int>(snr.noiseStart + 1));
    json.Add("snr_noise_end", static_cast<int>(snr.noiseStart + count));
}

bool IsFftSize(int n) { return n == 2048 || n == 4096 || n == 8192 || n == 16384 || n == 32768; }

}  // namespace

int RunSpectrum(const Args& args) {
    CommandLine a("spectrum",
                  "The spectrum of an impulse response's analysis window, as the "
                  "frequency-response window computes it.");
    a.Option("--in", "IR.mtf|IR.wav", "the impulse response")
        .Option("--start", "S", "first sample of the analysis window (1-based, with --end)")
        .Option("--end", "E", "the sample after the window (default: 10 ms around the peak)")
        .Option("--mode", "fft|smooth", "plain FFT or the smoothed analysis (default fft)")
        .Option("--fft-size", "N", "FFT size, 128 ... 65536 (default 4096)")
        .Option("--smoothing", "V", "smoothing value 0 ... 10 (default 1)")
        .Option("--cal", "FILE", "a calibration file of the mode, used")
        .Option("--mic", "FILE", "a microphone correction (.smc or a calibration text)")
        .Option("--overlay", "FILE", "an overlay spectrum shown in the PNG")
        .Option("--frd", "OUT.frd", "the spectrum as text")
        .Option("--spectrum", "OUT.mfr|OUT.smr", "the spectrum as a spectrum file")
        .Option("--ascii-offset", "DB", "level offset of the text export (default 80)")
        .Switch("--use-gain", "the text export includes the gain offset")
        .Switch("--no-stamp", "no provenance comments in the exported files")
        .Option("--gain", "DB", "gain offset (default 0)")
        .Option("--png", "OUT.png", "the plot as the window paints it")
        .Option("--width", "PX", "width of the PNG (default 1000)")
        .Option("--height", "PX", "height of the PNG (default 600)");
    if (!a.Parse(args)) return a.HelpShown() ? 0 : Refuse(kCommand, a.Error());
    const std::string in = a.Text("--in");
    if (in.empty()) return Refuse(kCommand, Msg(kMsgIllegalInput) + ": --in IR.mtf|IR.wav");
    const std::string modeText = a.Text("--mode", "fft");
    if (modeText != "fft" && modeText != "smooth") {
        return Refuse(kCommand, Msg(kMsgIllegalInput) + ": --mode " + modeText);
    }
    const AnalysisMode mode = modeText == "smooth" ? AnalysisMode::Smooth : AnalysisMode::Fft;
    const int fftSize = a.Int("--fft-size", 4096, 128, 65536);
    const int smoothing = a.Int("--smoothing", 1, 0, 10);
    const int asciiOffset = a.Int("--ascii-offset", 80, -200, 200);
    const int gain = a.Int("--gain", 0, -200, 200);
    const int startArg = a.Int("--start", 0, 1, 262144);
    const int endArg = a.Int("--end", 0, 2, 262145);
    const int pngWidth = a.Int("--width", 1000, 200, 8000);
    const int pngHeight = a.Int("--height", 600, 150, 8000);
    if (!a.Ok()) return Refuse(kCommand, a.Error());
    if (!IsFftSize(fftSize)) {
        return Refuse(kCommand, Msg(kMsgIllegalInput) + ": --fft-size " + std::to_string(fftSize));
    }
    if (a.Has("--start") != a.Has("--end")) {
        return Refuse(kCommand, Msg(kMsgIllegalInput) + ": --start S --end E");
    }

    const std::string frd = a.Text("--frd");
    const std::string specOut = a.Text("--spectrum");
    if (!specOut.empty()) {
        const std::string ext = Extension(specOut);
        if ((mode == AnalysisMode::Fft && ext != "mfr") ||
            (mode == AnalysisMode::Smooth && ext != "smr")) {
            return Refuse(kCommand,
                          Msg(kMsgIllegalInput) + ": " + specOut +
                              (mode == AnalysisMode::Fft ? " (FFT spectra are *.MFR)"
                                                         : " (SMOOTH spectra are *.SMR)"));
        }
    }

    const std::string png = a.Text("--png");
    if (!png.empty() && Extension(png) != "png") {
        return Refuse(kCommand, Msg(kMsgIllegalInput) + ": --png " + png);
    }
    const std::string overlayPath = a.Text("--overlay");
    if (!overlayPath.empty() && png.empty()) {
        return Refuse(kCommand, Msg(kMsgIllegalInput) + ": --overlay needs --png");
    }

    MeasurementState state;
    state.buffers.Allocate({}, FatalMemoryHandler());
    ConsolePrompter prompter;
    ImpulseFiles files(state, prompter);
    if (!files.LoadImpulse(in, ImpulseFiles::FilterIndexForName(in))) {
        return Refuse(kCommand, Msg(kMsgIllegalInput) + ": " + in);
    }
    const double rate = state.SampleRate;
    const int64_t count = std::max<int64_t>(0, state.MlsSize - 1);

    int64_t viewStart = 1;
    int64_t viewEnd = 1;
    if (a.Has("--start")) {
        viewStart = startArg;
        viewEnd = endArg;
        if (viewEnd <= viewStart) {
            return Refuse(kCommand, Msg(kMsgIllegalInput) + ": --end must lie after --start");
        }
    } else {
        // The 10 ms window around the peak, as the main window's button cuts it.
        const TimeWindow w = TenMsWindow();
        const int64_t before = TimeWindow::SamplesFor(w.timeBefore, rate);
        const int64_t after = TimeWindow::SamplesFor(w.timeAfter, rate);
        const int64_t p = state.ImpulsePeakIndex;
        viewStart = p > before ? p - before : 1;
        viewEnd = std::min<int64_t>(p + after, count + 1);
        if (viewEnd <= viewStart) viewEnd = viewStart + 1;
    }

    SpectrumInput input;
    input.impulse = state.buffers.RLPd();
    input.impulseCount = static_cast<std::size_t>(count);
    input.viewStart = viewStart;
    input.viewEnd = viewEnd;
    input.mode = mode;
    input.fftSize = fftSize;
    input.sampleRate = rate;
    input.smoothingWidth = 2 * smoothing + 1;

    FftSpectrumFile fftCal;
    SmoothSpectrumFile smoothCal;
    const std::string cal = a.Text("--cal");
    if (!cal.empty()) {
        const SpectrumFileStatus s = mode == AnalysisMode::Fft ? ReadFftSpectrum(cal, fftCal)
                                                               : ReadSmoothSpectrum(cal, smoothCal);
        if (s != SpectrumFileStatus::Ok) {
            return Refuse(kCommand, cal + ": " + SpectrumFileStatusText(s));
        }
        const double calRate = mode == AnalysisMode::Fft ? fftCal.sampleRate : smoothCal.sampleRate;
        if (calRate != rate) {
            return Refuse(kCommand, Msg(kMsgSampleRateProblem) + " " + Msg(kMsgCalRecordedWith) +
                                        std::to_string(static_cast<int>(calRate)) + " / " +
                                        std::to_string(static_cast<int>(rate)));
        }
        if (mode == AnalysisMode::Fft && fftCal.fftSize != fftSize) {
            return Refuse(kCommand, Msg(kMsgCalSizeMismatch) + ": " + cal);
        }
        input.calibrationInUse = true;
        input.fftCalibration = fftCal.bins.data();
        input.fftCalibrationCount = fftCal.bins.size();
        input.smoothCalibration = smoothCal.records.data();
    }

    SpectrumComputer computer;
    computer.RequestAutoGain();
    if (!computer.ComputeSpectrum(input, nullptr)) {
        return Refuse(kCommand, Msg(kMsgIllegalInput) + ": window " + std::to_string(viewStart) +
                                    " … " + std::to_string(viewEnd));
    }

    // Microphone correction applies to SMOOTH spectra: a *.SMC file or a calibration text file.
    MicCorrection mic;
    bool haveMic = false;
    const std::string micPath = a.Text("--mic");
    if (!micPath.empty()) {
        if (mode != AnalysisMode::Smooth) {
            return Refuse(kCommand, Msg(kMsgIllegalInput) + ": --mic needs --mode smooth");
        }
        if (Extension(micPath) == "smc") {
            const SpectrumFileStatus s = ReadMicCorrection(micPath, mic);
            if (s != SpectrumFileStatus::Ok) {
                return Refuse(kCommand, micPath + ": " + SpectrumFileStatusText(s));
            }
        } else {
            MicCalData data;
            if (ReadMicCalText(micPath, data) != MicCalStatus::Ok) {
                return Refuse(kCommand, Msg(kMsgIllegalInput) + ": " + micPath);
            }
            mic = BuildMicCorrection(data, computer.SmoothResult().data(), rate);
        }
        haveMic = true;
    }

    // The plot, rendered before any file is written so a refusal leaves them all untouched.
    QImage image;
    if (!png.empty()) {
        const auto app = EnsureGuiApplication();
        CalibrationStore store(prompter);
        if (!overlayPath.empty()) {
            if (!store.LoadOverlay(overlayPath, rate)) {
                return Refuse(kCommand, store.OverlayCaption() + ": " + overlayPath);
            }
            store.CurrentOverlay().shown = true;
        }
        if (!cal.empty() && store.LoadCalibrationFile(cal, fftSize, rate)) {
            store.SetUseCalibration(mode, true);
        }
        if (haveMic) {
            store.SetMicCorrection(mic, micPath);
            store.micApplied = true;
        }
        FrequencyDisplay view;
        view.TakeSpectrum(computer);
        view.Fit();
        view.gain = computer.GainOffset();
        view.smoothingValue = smoothing;
        view.calibrationInUse = store.CalibrationInUse(mode);
        view.calibrationLowest = store.CalibrationLowestFrequency();
        std::vector<SmoothRecord> scratch;
        const FrequencyPaintInput paint =
            PaintInputFor(computer, store, view, ColorTable::Default(), scratch);
        image = QImage(pngWidth, pngHeight, QImage::Format_RGB32);
        QPainter painter(&image);
        PaintFrequencyPlot(painter, image.rect(), view, paint);
    }

    // What produced the exports, unless asked for the plain files.
    const bool stamp = !a.Has("--no-stamp");
    Provenance origin;
    origin.program = std::string("fimtool ") + kProgramVersion;
    origin.date = NowText();
    origin.sampleRate = static_cast<int>(rate);
    for (int order = 2; order <= 24; ++order) {
        if ((int64_t{1} << order) == state.MlsSize) origin.mlsOrder = order;
    }
    origin.windowSamples = static_cast<int>(computer.ViewEnd() - computer.ViewStart());
    origin.fftSize = computer.FftSize();
    origin.mode = mode == AnalysisMode::Fft ? "FFT" : "SMOOTH";
    if (mode == AnalysisMode::Smooth) {
        origin.smoothing = "width " + std::to_string(2 * smoothing + 1);
    }
    if (!cal.empty()) origin.calibrationFile = cal, origin.calibrationHash = FileHash(cal);
    if (haveMic) origin.micFile = micPath, origin.micHash = FileHash(micPath);
    origin.soundSpeed = state.SoundSpeed;
    if (stamp && !image.isNull()) {
        for (const auto& [key, value] : origin.Fields()) {
            image.setText(QString::fromStdString(key), QString::fromStdString(value));
        }
    }

    const double offset = FrdLevelOffset(asciiOffset, a.Has("--use-gain"),
                                         a.Has("--gain") ? gain : computer.GainOffset());
    if (!frd.empty()) {
        const std::string text =
            (stamp ? ProvenanceComments(origin) : std::string()) +
            (mode == AnalysisMode::Fft
                 ? BuildFrdFft(computer.DisplaySpectrum().data(), computer.FftSize(), rate,
                               computer.LowestValidFrequency(), computer.LevelReference(), offset)
                 : BuildFrdSmooth(computer.SmoothDisplay().data(), computer.LowestValidFrequency(),
                                  computer.LevelReference(), offset, haveMic ? &mic : nullptr));
        AtomicFile file;
        if (!file.Open(frd) || !file.Write(text) || !file.Commit()) {
            return Refuse(kCommand, Msg(kMsgFileSaveError) + ": " + frd + " " + file.Error());
        }
    }
    if (!specOut.empty()) {
        std::string error;
        const bool ok =
            mode == AnalysisMode::Fft
                ? WriteFftSpectrumFile(specOut, computer.LowestValidFrequency(), computer.FftSize(),
                                       rate, computer.DisplaySpectrum().data(), &error)
                : WriteSmoothSpectrumFile(specOut, computer.LowestValidFrequency(), rate,
                                          computer.SmoothDisplay().data(), haveMic ? &mic : nullptr,
                                          &error);
        if (!ok) return Refuse(kCommand, Msg(kMsgFileSaveError) + ": " + specOut + " " + error);
    }

    if (!png.empty()) {
        QSaveFile file(QString::fromStdString(png));
        if (!file.open(QIODevice::WriteOnly) || !image.save(&file, "PNG") || !file.commit()) {
            return Refuse(kCommand, Msg(kMsgFileSaveError) + ": " + png);
        }
    }

    JsonObject json;
    json.Add("mode", modeText);
    json.Add("fft_size", computer.FftSize());
    json.Add("sample_rate", static_cast<int>(rate));
    json.Add("start", static_cast<int>(computer.ViewStart()));
    json.Add("end", static_cast<int>(computer.ViewEnd()));
    json.Add("lowest_frequency", computer.LowestValidFrequency());
    json.Add("level_reference", computer.LevelReference());
    json.Add("gain_offset", computer.GainOffset());
    json.Add("peak_frequency", computer.PeakFrequency());
    json.Add("peak_level", computer.PeakLevel());
    json.Add("calibration", cal);
    if (!frd.empty()) json.Add("frd", frd);
    if (!specOut.empty()) json.Add("spectrum", specOut);
    if (!png.empty()) json.Add("png", png);
    AddTailSnr(json, state.buffers.RLPd(), static_cast<std::size_t>(count), state.ImpulsePeakIndex,
               rate);
    if (stamp) {
        JsonObject fields;
        for (const auto& [key, value] : origin.Fields()) fields.Add(key, value);
        json.Add("provenance", fields);
    }
    json.Print();
    return 0;
}

}  // namespace fim::cli
