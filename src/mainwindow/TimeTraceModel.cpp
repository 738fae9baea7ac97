#include "mainwindow/TimeTraceModel.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <tuple>

#include "base/Catalog.h"
#include "base/Prompter.h"
#include "core/MeasurementState.h"
#include "settings/ProgramSettings.h"

namespace fim {

namespace {

constexpr const char* kProgramTitle = "MIV V1.70";
constexpr int32_t kTimeZeroSample = 200;  // read-outs count time from this sample
constexpr double kFoot = 0.3048;

int32_t RoundI(double v) { return static_cast<int32_t>(std::nearbyint(v)); }

}  // namespace

std::string ShortFloat(double value) {
    value += 0.0;  // no "-0"
    char buf[64];
    const auto r = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed);
    if (r.ec != std::errc()) return "0";
    return std::string(buf, r.ptr);
}

TimeTraceModel::TimeTraceModel(MeasurementState& meas, Prompter& prompter)
    : windows{TenMsWindow(), TwentyMsWindow(), DefaultUserWindow1(), DefaultUserWindow2()},
      meas_(meas),
      prompter_(prompter) {
    modeCaption = Msg(120);
}

int32_t TimeTraceModel::N() const { return meas_.MlsSize; }
int32_t TimeTraceModel::Peak() const { return meas_.ImpulsePeakIndex; }
double TimeTraceModel::Fs() const { return meas_.SampleRate > 0 ? meas_.SampleRate : 44100.0; }
double TimeTraceModel::SoundSpeed() const { return meas_.SoundSpeed; }
int32_t TimeTraceModel::Fft() const { return meas_.FftSize; }

void TimeTraceModel::Repaint() {
    UpdateReadouts();
    if (host.repaint) host.repaint();
}

ResponseView TimeTraceModel::Response() const {
    const SharedBuffer& rlp = meas_.buffers[SharedBuffers::RLP];
    if (rlp.data == nullptr) return {};
    return ResponseView{reinterpret_cast<const double*>(rlp.data), rlp.bytes / sizeof(double)};
}

bool TimeTraceModel::HaveResponse() const {
    return meas_.ImpulseValid && meas_.buffers[SharedBuffers::RLP].data != nullptr;
}

void TimeTraceModel::UpdateReadouts() {
    if (!HaveResponse()) return;
    responseControlsEnabled = true;
    marker1Text = MarkerPositionText(marker1);
    marker2Text = MarkerPositionText(marker2);
    differenceText = DifferenceReadout();
    const int32_t active = ActiveMarker();
    const std::string readout = ActiveMarkerReadout(active, Response().At(active));
    if (!readout.empty()) label1 = readout;
}

void TimeTraceModel::UseSettings(const ProgramSettings& s) {
    metricUnits = s.Metric;
    quickDraw = s.QuickDraw;
    quickDelay = s.QuickDelay;
    windows[kUserWindow1] = s.User1;
    windows[kUserWindow2] = s.User2;
    colors = s.Colors;
    RestoreFrom(s.AbsWin);
}

void TimeTraceModel::StoreSettings(ProgramSettings& s) const {
    s.User1 = windows[kUserWindow1];
    s.User2 = windows[kUserWindow2];
    s.AbsWin = ToStore();
    s.Colors = colors;
}

void TimeTraceModel::RestoreFrom(const AbsoluteWindow& stored) {
    absolute = stored;
    viewStart = stored.lastStart;
    viewEnd = stored.lastEnd;
    // A damaged stored window must not reach before the first sample or run backwards.
    if (viewStart < 1 || viewEnd <= viewStart) {
        viewStart = 1;
        viewEnd = 1024;
    }
    marker1 = viewStart;
    marker2 = viewEnd;
}

AbsoluteWindow TimeTraceModel::ToStore() const {
    AbsoluteWindow a = absolute;
    a.lastStart = viewStart;
    a.lastEnd = viewEnd;
    return a;
}

// ---- mouse mode ----

void TimeTraceModel::SetMouseMode(MouseMode mode) {
    mode_ = mode;
    switch (mode) {
        case MouseMode::CutLeft:
            modeCaption = Msg(122);
            break;
        case MouseMode::CutRight:
            modeCaption = Msg(123);
            break;
        case MouseMode::Marker1:
            modeCaption = Msg(120);
            break;
        case MouseMode::Marker2:
            modeCaption = Msg(121);
            break;
    }
    Repaint();
}

bool TimeTraceModel::MarkerCommandsEnabled() const {
    return mode_ == MouseMode::Marker1 || mode_ == MouseMode::Marker2;
}

int32_t& TimeTraceModel::ModeMarker() { return mode_ == MouseMode::Marker2 ? marker2 : marker1; }

// ---- trace ----

std::pair<int32_t, int32_t> TimeTraceModel::ShownWindow() const {
    // An inverted window is repaired to the start-up window; sample 1 is the first there is.
    std::pair<int32_t, int32_t> w{viewStart, viewEnd};
    if (w.first > w.second) w = {1, 1024};
    if (w.second - w.first < 5) w.second = w.first + 5;
    return w;
}

void TimeTraceModel::NormalizeWindow() { std::tie(viewStart, viewEnd) = ShownWindow(); }

TimeMapper TimeTraceModel::TraceMapper(int width, int height, double peakValue) const {
    const auto [start, end] = ShownWindow();
    return TimeMapper::For(start, static_cast<double>(width) / static_cast<double>(end - start),
                           height, peakValue);
}

double TimeTraceModel::PixelsPerSample(int width) const {
    return static_cast<double>(width) / static_cast<double>(viewEnd - viewStart);
}

void TimeTraceModel::TraceLeftDown(int x, int width) {
    if (width <= 0) return;
    NormalizeWindow();
    x = std::clamp(x, 0, width);
    const double pps = PixelsPerSample(width);
    const double offset = x / pps;
    switch (mode_) {
        case MouseMode::CutLeft:
            if (viewStart + offset < viewEnd) {
                viewStart += RoundI(offset);
                marker1 = viewStart;
            }
            break;
        case MouseMode::CutRight:
            if (viewStart + offset < viewEnd) {
                viewEnd = viewStart + RoundI(offset);
                marker2 = viewEnd;
            }
            break;
        case MouseMode::Marker1:
        case MouseMode::Marker2:
            ModeMarker() = viewStart + RoundI(offset);
            Repaint();
            dragging_ = true;
            dragStartX_ = dragX_ = x;
            return;
    }
    Repaint();
}

bool TimeTraceModel::TraceMove(int x) {
    if (!dragging_) return false;
    dragX_ = x;
    return true;
}

void TimeTraceModel::TraceLeftUp(int x, int width) {
    if (!dragging_) return;
    dragging_ = false;
    if (width <= 0 || std::abs(dragStartX_ - x) < 2) return;
    NormalizeWindow();
    const int x1 = std::clamp(std::min(dragStartX_, x), 0, width);
    const int x2 = std::clamp(std::max(dragStartX_, x), 0, width);
    const double pps = PixelsPerSample(width);
    const int32_t s0 = viewStart;
    viewStart = s0 + RoundI(x1 / pps);
    viewEnd = s0 + RoundI(x2 / pps);
    Repaint();
}

// ---- overview ----

int32_t TimeTraceModel::OverviewSample(int x, int width) const {
    const int32_t n = N() > 0 ? N() : 20;
    const double scale = static_cast<double>(width) / n;
    // Clicks at the very left map to sample 0, which does not exist: the first sample is 1.
    return std::clamp(RoundI(x / scale), 1, n);
}

void TimeTraceModel::OverviewLeftDown(int x, int width) {
    if (width <= 0) return;
    x = std::clamp(x, 0, width);
    const int32_t n = N() > 0 ? N() : 20;
    const double raw = x / (static_cast<double>(width) / n);
    const int32_t k = OverviewSample(x, width);
    const int32_t f = Fft();
    switch (mode_) {
        case MouseMode::CutLeft:
            if (raw < viewEnd) {
                viewStart = marker1 = k;
                if (viewEnd - viewStart > f) viewEnd = viewStart + f;
            }
            break;
        case MouseMode::CutRight:
            if (raw > viewStart) {
                viewEnd = marker2 = k;
                if (viewEnd - viewStart > f) viewStart = viewEnd - f;
            }
            break;
        case MouseMode::Marker1:
            marker1 = k;
            break;
        case MouseMode::Marker2:
            marker2 = k;
            break;
    }
    Repaint();
}

// ---- commands ----

void TimeTraceModel::CutRightMarker() {
    if (marker1 != marker2) viewEnd = std::max(marker1, marker2);
    if (viewEnd - viewStart > Fft()) viewEnd = viewStart + Fft();
    Repaint();
}

void TimeTraceModel::CutLeftMarker() {
    viewStart = std::min(marker1, marker2);
    if (viewEnd - viewStart > Fft()) viewStart = viewEnd - Fft();
    Repaint();
}

void TimeTraceModel::Full() {
    viewStart = 1;
    viewEnd = std::min(Fft(), N()) - 1;
    marker1 = viewStart;
    marker2 = viewEnd;
    if (measured) Repaint();
}

bool TimeTraceModel::ApplyTimeWindow(int slot) {
    if (slot < 0 || slot > 3) return false;
    TimeWindow& w = windows[slot];
    bool ok = true;
    const int32_t before = TimeWindow::SamplesFor(w.timeBefore, Fs());
    const int32_t after = TimeWindow::SamplesFor(w.timeAfter, Fs());
    // A negative time before the peak starts the window that long after it (a reflection);
    // only a window of no samples at all is illegal.
    if (int64_t{before} + after <= 0) {
        prompter_.Inform(w.name, "Illegal values", PromptIcon::Information);
        ok = false;
    } else if (int64_t{before} + after > Fft()) {
        prompter_.Inform(kProgramTitle, "Window too large for FFT size", PromptIcon::None);
        ok = false;
    } else {
        w.samplesBefore = before;
        w.samplesAfter = after;
    }
    const int64_t b = w.samplesBefore;
    const int64_t a = w.samplesAfter;
    const int64_t p = Peak();
    int64_t start = p - b;
    int64_t end = p + a;
    if (start < 1) {
        start = 1;
        ok = false;
    }
    if (end > N()) {
        end = N();
        ok = false;
    }
    if (end <= start) {  // counts that cannot make a window here (a damaged setting)
        start = std::max<int64_t>(1, end - 1);
        ok = false;
    }
    viewStart = static_cast<int32_t>(start);
    viewEnd = static_cast<int32_t>(end);
    marker1 = viewStart;
    marker2 = viewEnd;
    if (measured && !(quickDraw && repeatChecked)) Repaint();
    return ok;
}

void TimeTraceModel::SetAsUser(int slot) {
    if (slot != kUserWindow1 && slot != kUserWindow2) return;
    TimeWindow& w = windows[slot];
    w.samplesBefore = Peak() - viewStart;
    w.samplesAfter = viewEnd - Peak();
    // The µs times follow, so applying the window later gives the same samples back.
    w.timeBefore = RoundI(w.samplesBefore * 1000000.0 / Fs());
    w.timeAfter = RoundI(w.samplesAfter * 1000000.0 / Fs());
}

void TimeTraceModel::SaveAbsolute() {
    absolute.savedEnd = viewEnd;
    absolute.savedStart = viewStart;
}

void TimeTraceModel::RecallAbsolute() {
    const bool usable = absolute.savedEnd <= N() && absolute.savedStart >= 1 &&
                        absolute.savedStart < absolute.savedEnd;
    if (!usable) {
        prompter_.Inform(Msg(270), Msg(271), PromptIcon::Information);
        return;
    }
    viewStart = absolute.savedStart;
    viewEnd = absolute.savedEnd;
    Repaint();
}

void TimeTraceModel::SetMarkerOnPeak() {
    if (!MarkerCommandsEnabled()) return;
    const int32_t p = Peak();
    const int32_t n = N();
    if (p > viewEnd) viewEnd = viewEnd < n - 20 ? n - 20 : n;
    if (p <= viewStart) viewStart = std::max(1, p - 20);
    ModeMarker() = p;
    Repaint();
    if (quickDelay) {
        if (showDifferenceVisible) {
            ShowDifference();
        } else {
            LatchMarker();
        }
    }
}

void TimeTraceModel::LatchMarker() {
    if (!MarkerCommandsEnabled()) return;
    latchTime = ModeMarker() * 1000.0 / Fs();
    showDifferenceVisible = true;
}

void TimeTraceModel::ShowDifference() {
    if (!MarkerCommandsEnabled() || !showDifferenceVisible) return;
    const double t = ModeMarker() * 1000.0 / Fs();
    prompter_.Inform(Msg(24), DifferenceMessage(latchTime - t), PromptIcon::Information);
}

void TimeTraceModel::KeyDown(TraceKey key) {
    switch (key) {
        case TraceKey::D:
        case TraceKey::W:
        case TraceKey::S:
        case TraceKey::M: {
            if (!host.openFeatures) return;
            const FeaturesPage page = key == TraceKey::D   ? FeaturesPage::Data
                                      : key == TraceKey::W ? FeaturesPage::UserWindow
                                      : key == TraceKey::S ? FeaturesPage::SoundIo
                                                           : FeaturesPage::UserMacro;
            host.openFeatures(page);
            return;
        }
        case TraceKey::L:
            if (setupMenuEnabled && host.openLevelSetup) host.openLevelSetup();
            return;
        case TraceKey::F:
            if (runMenuEnabled && host.openFeedbackFinder) host.openFeedbackFinder();
            return;
        case TraceKey::Other:
            return;
        default:
            break;
    }
    if (!MarkerCommandsEnabled()) return;
    const int32_t n = N();
    int32_t& m = ModeMarker();
    switch (key) {
        case TraceKey::PageUp:
            m = m < n - 10 ? m + 10 : n;
            break;
        case TraceKey::PageDown:
            m = m > 11 ? m - 10 : 1;
            break;
        case TraceKey::End:
            m = viewEnd;
            break;
        case TraceKey::Home:
            m = viewStart;
            break;
        case TraceKey::Left:
            if (m > 1) --m;
            break;
        case TraceKey::Right:
            if (m < n) ++m;
            break;
        default:
            break;
    }
    m = std::min(m, n - 1);
    if (m < viewStart) viewStart = m;
    if (m > viewEnd) viewEnd = m;
    const int32_t l = std::min(Fft(), n);
    if (viewEnd - viewStart > l) {
        if (m == viewEnd) {
            viewStart = viewEnd - l;
        } else if (m == viewStart) {
            viewEnd = viewStart + l;
        }
    }
    Repaint();
}

void TimeTraceModel::SelectColorScheme(ColorScheme scheme) {
    colors.ApplyScheme(scheme);
    if (measured) Repaint();
}

void TimeTraceModel::SetDbDisplay(bool on) {
    dbDisplay = on;
    Repaint();
}

// ---- read-outs ----

std::string TimeTraceModel::MarkerPositionText(int32_t sample) const {
    const double t = (sample - kTimeZeroSample) / Fs();  // s
    const double ms = std::nearbyint(t * 10000.0) / 10.0;
    const double metres10 = t * 10.0 * SoundSpeed();
    if (metricUnits) {
        return ShortFloat(ms) + "ms " + ShortFloat(std::nearbyint(metres10) / 10.0) + "m";
    }
    return ShortFloat(ms) + "ms " + ShortFloat(std::nearbyint(metres10 / kFoot) / 10.0) + "ft";
}

std::string TimeTraceModel::DifferenceReadout() const {
    const double d = static_cast<double>(marker2) - marker1;
    const double ms = std::fabs(std::nearbyint(d * 10000.0 / Fs()) / 10.0);
    const double metres10 = d * 10.0 / Fs() * SoundSpeed();
    if (metricUnits) {
        return "D: " + ShortFloat(ms) + "ms " +
               ShortFloat(std::fabs(std::nearbyint(metres10) / 10.0)) + "m";
    }
    return "D: " + ShortFloat(ms) + "ms " +
           ShortFloat(std::fabs(std::nearbyint(metres10 / kFoot) / 10.0)) + "ft";
}

std::string TimeTraceModel::ActiveMarkerReadout(int32_t sample, double v) const {
    if (v == 0.0 || !std::isfinite(v)) return {};
    const double a = meas_.ImpulsePeakValue > 0.0 ? meas_.ImpulsePeakValue : 1.0;
    const double ms = std::nearbyint((sample - kTimeZeroSample) / Fs() * 100000.0) / 100.0;
    if (dbDisplay) {
        return ShortFloat(ms) + "ms " +
               ShortFloat(std::nearbyint(20.0 * std::log10(std::fabs(v) / a))) + "dB";
    }
    return ShortFloat(ms) + "ms " + ShortFloat(std::nearbyint(1000.0 * v / a) / 10.0) + "%";
}

std::string TimeTraceModel::DifferenceMessage(double deltaMs) const {
    const double shown = std::nearbyint(deltaMs * 100.0) / 100.0;
    const double metres = deltaMs / 100.0 * SoundSpeed();
    const std::string distance = metricUnits
                                     ? ShortFloat(std::nearbyint(metres) / 10.0) + "m"
                                     : ShortFloat(std::nearbyint(metres / kFoot) / 10.0) + "ft";
    return Msg(22) + ShortFloat(shown) + "ms" + Msg(23) + distance;
}

}  // namespace fim
