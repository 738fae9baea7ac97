#include "settings/FeaturesModel.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "audio/WaveDevices.h"
#include "base/Catalog.h"
#include "base/Prompter.h"
#include "base/SettingsTree.h"
#include "core/MeasurementState.h"
#include "settings/ProgramSettings.h"
#include "spectrum/SpectrumComputer.h"

namespace fim {

namespace {

constexpr std::size_t kMacroNameChars = 30;
constexpr int kMinMlsOrder = 12;
constexpr int kMlsChoices = 7;   // 4 k … 256 k
constexpr int kFftChoices = 5;   // 2 k … 32 k
constexpr int kMacroSmooth = 5;  // ComboBox6's "SMOOTH"

int Clamp(int value, int low, int high) { return std::min(std::max(value, low), high); }
int32_t Clamp(int32_t value, SpinRange r) { return std::min(std::max(value, r.low), r.high); }

// Index of a power of two 1 … 2^maxIndex, or -1.
int PowerIndex(int64_t value, int maxIndex) {
    for (int i = 0; i <= maxIndex; ++i) {
        if (value == (int64_t{1} << i)) return i;
    }
    return -1;
}

// A whole number as the spin field holds it: optional blanks, an optional sign, digits.
bool ParseInteger(const std::string& text, int64_t& value) {
    std::size_t i = 0;
    while (i < text.size() && text[i] == ' ') ++i;
    std::size_t end = text.size();
    while (end > i && text[end - 1] == ' ') --end;
    bool negative = false;
    if (i < end && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
    if (i == end || end - i > 9) return false;
    int64_t v = 0;
    for (; i < end; ++i) {
        if (text[i] < '0' || text[i] > '9') return false;
        v = v * 10 + (text[i] - '0');
    }
    value = negative ? -v : v;
    return true;
}

std::string CurrentDeviceName(const SettingsTree& tree, const WaveDevices& devices, bool input) {
    std::string name = tree.ReadString(input ? "INCARD" : "OUTCARD").value_or("");
    if (name.empty()) {
        const int d = input ? devices.DefaultInput() : devices.DefaultOutput();
        if (d >= 0) name = input ? devices.InputName(d) : devices.OutputName(d);
    }
    return name;
}

bool SameRoom(const RoomParameters& a, const RoomParameters& b) {
    return a.distance == b.distance && a.reverbTime == b.reverbTime && a.noiseDb == b.noiseDb &&
           a.gainDb == b.gainDb && a.latencyMs == b.latencyMs && a.temperature == b.temperature &&
           a.seed == b.seed && a.feedback == b.feedback &&
           a.feedbackFrequency == b.feedbackFrequency && a.feedbackLevel == b.feedbackLevel &&
           a.feedbackDelay == b.feedbackDelay && a.feedbackLength == b.feedbackLength &&
           a.seatStep == b.seatStep;
}

}  // namespace

std::string RateText(uint16_t rate, int32_t bits) {
    char buf[48];
    std::snprintf(buf, sizeof buf, "%2u.%03u Samples/ %d Bits", unsigned(rate / 1000),
                  unsigned(rate % 1000), int(bits));
    return buf;
}

std::vector<RateEntry> UsableFormats(const WaveDevices& devices, int input, int output) {
    std::vector<RateEntry> table;
    for (int32_t bits : kListedBits) {
        for (uint16_t rate : kListedRates) {
            const DeviceFormat f = MakePcmFormat(2, rate, bits);
            if (devices.InputSupports(input, f) && devices.OutputSupports(output, f)) {
                table.push_back({rate, bits});
            }
        }
    }
    return table;
}

double CelsiusToFahrenheit(double c) { return c * 9.0 / 5.0 + 32.0; }
double FahrenheitToCelsius(double f) { return (f - 32.0) * 5.0 / 9.0; }

MacroFields MacroToFields(const UserMacro& m) {
    MacroFields f;
    f.name = m.name;
    f.mlsIndex = Clamp(int(m.mlsOrder) - kMinMlsOrder, 0, kMlsChoices - 1);
    f.avgIndex = std::max(0, PowerIndex(m.averaging, 7));
    f.fftIndex = m.fftCode < kFftChoices ? m.fftCode : kMacroSmooth;
    f.smoothing = Clamp(m.smoothing, kSmoothingRange);
    f.pre = Clamp(m.window.timeBefore, kMacroPreRange);
    f.post = Clamp(m.window.timeAfter, kMacroPostRange);
    f.atc = m.atc;
    f.repeat = m.repeat;
    f.pink = m.pinkMls;
    return f;
}

int MacroFftSize(int fftIndex) {
    return fftIndex >= 0 && fftIndex < kFftChoices ? 2048 << fftIndex : 32768;
}

FeaturesModel::FeaturesModel(MeasurementState& meas, ProgramSettings& settings, SettingsTree& tree,
                             const WaveDevices& devices, Prompter& prompter)
    : meas_(meas), settings_(settings), tree_(tree), devices_(devices), prompter_(prompter) {}

// ---- activation ---------------------------------------------------------------------------------

bool FeaturesModel::Activate() {
    LoadControls();
    if (!FillDevices()) return false;
    FillFormats();
    return true;
}

void FeaturesModel::LoadControls() {
    const MeasurementState& m = meas_;
    const ProgramSettings& s = settings_;
    // DATA
    v.mlsIndex = Clamp(int(m.MlsOrder) - kMinMlsOrder, 0, kMlsChoices - 1);
    const int fft = PowerIndex(m.FftSize / 2048, kFftChoices - 1);
    v.fftIndex = m.FftSize % 2048 == 0 && fft >= 0 ? fft : kFftChoices - 1;
    v.atc = m.AtcMode != 0;
    v.continuous = m.ContinuousAveraging;
    v.pink = m.PinkMls;
    // USER WINDOW
    v.name1 = s.User1.name;
    v.pre1 = Clamp(s.User1.timeBefore, kPre1Range);
    v.post1 = Clamp(s.User1.timeAfter, kPost1Range);
    v.name2 = s.User2.name;
    v.pre2 = Clamp(s.User2.timeBefore, kUser2Range);
    v.post2 = Clamp(s.User2.timeAfter, kUser2Range);
    // FEATURES
    v.quickDelay = s.QuickDelay;
    v.autoReset = m.AutoReset;
    v.quickDraw = s.QuickDraw;
    v.autoLineGap = s.AutoScale;
    v.autoMinimize = s.AutoMinimize;
    v.units = s.Metric ? 0 : 1;
    v.warnMls = s.WarnMlsChange;
    v.warnRate = s.WarnSampleRate;
    v.warnAveraging = s.WarnAveraging;
    v.warnCal = s.WarnCal;
    EditTemperature = m.Temperature;
    ShowTemperature();
    // OTHER
    const auto level = std::find(kOutputLevels.begin(), kOutputLevels.end(), m.OutputLevelDb);
    v.levelIndex = level != kOutputLevels.end() ? int(level - kOutputLevels.begin()) : 1;
    auto widthIndex = [](int w) {
        return w <= 0 ? 0 : Clamp(int(std::nearbyint(std::log2(double(w)))), 0, 3);
    };
    v.traceIndex = widthIndex(s.PenWidth);
    v.overlayIndex = widthIndex(s.OverlayPenWidth);
    v.asciiOffset = Clamp(s.AsciiOffset, kAsciiRange);
    v.useGain = s.AsciiUseGain;
    v.stampExports = s.StampExports;
    v.driftCorrection = s.DriftCorrection;
    v.overwritePrompt = s.OverwritePrompt;
    // USER MACRO
    v.macroNumber = Clamp(v.macroNumber, 1, kUserMacroCount);
    v.macro = MacroToFields(CurrentMacro());
    macroUnsaved = false;
    // FEEDBACKFINDER
    const FinderSettings& f = s.Finder;
    v.displayMode = Clamp(f.DisplayMode, 0, 3);
    switch (f.TriggerThreshold) {
        case -3:
            v.thresholdIndex = 0;
            break;
        case -6:
            v.thresholdIndex = 1;
            break;
        case -10:
            v.thresholdIndex = 2;
            break;
        case -15:
            v.thresholdIndex = 3;
            break;
        default:
            v.thresholdIndex = 4;
            break;
    }
    v.resolution = Clamp(f.Resolution, 0, 2);
    v.autoRestart = f.AutoRestart != 0;
    v.restartStep = Clamp(f.RestartStep, 0, 1);
    // SAMPLING
    v.peakSync = m.PeakSync;
    v.syncMode = Clamp(m.SyncMode, 0, 2);
    v.syncTime = Clamp(m.SyncTime, kSyncTimeRange);
    v.ignoreFirst = m.IgnoreFirst;
    v.showIntermediate = m.ShowIntermediate;
    v.quality = m.QualityCheck;
    // The Virtual Room: its stored values over the ones in use.
    loadedRoom_ = currentRoom;
    loadedRoom_.Load(tree_);
    v.room = loadedRoom_;
}

bool FeaturesModel::FillDevices() {
    if (devices_.InputCount() <= 0) {
        prompter_.Inform(Msg(89), Msg(88), PromptIcon::Information);
        if (host.fatalExit) host.fatalExit(Msg(236));
        return false;
    }
    if (devices_.OutputCount() <= 0) {
        prompter_.Inform(Msg(89), Msg(90), PromptIcon::Information);
        if (host.fatalExit) host.fatalExit(Msg(236));
        return false;
    }
    inputNames.clear();
    outputNames.clear();
    for (int i = 0; i < devices_.InputCount(); ++i) inputNames.push_back(devices_.InputName(i));
    for (int i = 0; i < devices_.OutputCount(); ++i) outputNames.push_back(devices_.OutputName(i));
    v.input = std::max(0, FindInputDevice(devices_, CurrentDeviceName(tree_, devices_, true)));
    v.output = std::max(0, FindOutputDevice(devices_, CurrentDeviceName(tree_, devices_, false)));
    inputEnabled = inputNames.size() > 1;
    outputEnabled = outputNames.size() > 1;
    return true;
}

void FeaturesModel::FillFormats() {
    // A format chosen before a device change stays chosen when the new devices take it.
    const bool hadChoice = v.sample >= 0 && std::size_t(v.sample) < RateTable.size();
    const RateEntry chosen = hadChoice ? RateTable[std::size_t(v.sample)] : RateEntry{};
    RateTable = UsableFormats(devices_, v.input, v.output);
    rateTexts.clear();
    for (const RateEntry& e : RateTable) rateTexts.push_back(RateText(e.rate, e.bits));
    auto find = [this](RateEntry e) {
        const auto it = std::find(RateTable.begin(), RateTable.end(), e);
        return it == RateTable.end() ? -1 : int(it - RateTable.begin());
    };
    RateEntry wanted{meas_.SampleRate, meas_.SampleBits};
    if (hadChoice && find(chosen) >= 0) wanted = chosen;
    if (find(wanted) < 0) {
        // The format in use is not offered: preselect a common one. The live settings change
        // only with OK.
        if (find({44100, 16}) >= 0) {
            wanted = {44100, 16};
        } else if (find({48000, 16}) >= 0) {
            wanted = {48000, 16};
        }
    }
    v.sample = find(wanted);
}

void FeaturesModel::DeviceChanged() {
    Edited();
    FillFormats();
}

bool FeaturesModel::RoomSelected() const {
    auto named = [](const std::vector<std::string>& names, int i) {
        return i >= 0 && std::size_t(i) < names.size() && names[std::size_t(i)] == kVirtualRoomName;
    };
    return named(inputNames, v.input) || named(outputNames, v.output);
}

// ---- temperature --------------------------------------------------------------------------------

void FeaturesModel::ShowTemperature() {
    const double shown = v.units == 0 ? EditTemperature : CelsiusToFahrenheit(EditTemperature);
    v.temperature = std::to_string(static_cast<long long>(std::nearbyint(shown)));
    shownTemperature_ = v.temperature;
}

std::string FeaturesModel::TemperatureUnit() const { return v.units == 0 ? "°C" : "°F"; }

SpinRange FeaturesModel::TemperatureRange() const {
    return v.units == 0 ? kCelsiusRange : kFahrenheitRange;
}

bool FeaturesModel::ReadTemperature(double& celsius) const {
    // An untouched field keeps the exact temperature: the rounded display must not drift it.
    if (v.temperature == shownTemperature_) {
        celsius = EditTemperature;
        return true;
    }
    int64_t value = 0;
    const SpinRange r = TemperatureRange();
    if (!ParseInteger(v.temperature, value) || value < r.low || value > r.high) return false;
    celsius = v.units == 0 ? double(value) : FahrenheitToCelsius(double(value));
    return true;
}

void FeaturesModel::UnitsChanged(int units) {
    if (units == v.units) return;
    Edited();
    // A value typed in the old unit is carried over, not lost.
    double c = 0.0;
    if (ReadTemperature(c)) EditTemperature = c;
    v.units = units;
    ShowTemperature();
}

// ---- presets and macros -------------------------------------------------------------------------

void FeaturesModel::ApplyPreset(int32_t microseconds, bool post) {
    switch (PresetTarget) {
        case kPresetUser1:
            (post ? v.post1 : v.pre1) = Clamp(microseconds, post ? kPost1Range : kPre1Range);
            break;
        case kPresetUser2:
            (post ? v.post2 : v.pre2) = Clamp(microseconds, kUser2Range);
            break;
        case kPresetMacro:
            (post ? v.macro.post : v.macro.pre) =
                Clamp(microseconds, post ? kMacroPostRange : kMacroPreRange);
            macroUnsaved = true;
            break;
        default:
            return;
    }
    Edited();
}

void FeaturesModel::MacroEdited() {
    Edited();
    macroUnsaved = true;
}

UserMacro& FeaturesModel::CurrentMacro() {
    return settings_.Macros[std::size_t(Clamp(v.macroNumber, 1, kUserMacroCount) - 1)];
}

bool FeaturesModel::SaveMacro() {
    UserMacro m = CurrentMacro();
    const MacroFields& f = v.macro;
    if (MacroNameEditable()) m.name = f.name.substr(0, kMacroNameChars);
    m.mlsOrder = uint8_t(kMinMlsOrder + Clamp(f.mlsIndex, 0, kMlsChoices - 1));
    m.averaging = 1 << Clamp(f.avgIndex, 0, 7);
    m.fftCode = f.fftIndex >= 0 && f.fftIndex < kFftChoices ? uint8_t(f.fftIndex)
                                                            : UserMacro::kSmoothFftCode;
    m.atc = f.atc;
    m.repeat = f.repeat;
    m.pinkMls = f.pink;
    m.window.timeBefore = f.pre;
    m.window.timeAfter = f.post;
    m.smoothing = Clamp(f.smoothing, kSmoothingRange);
    // A window the macro's FFT cannot hold is not stored: the macro stays as it was and unsaved.
    if (!CheckWindowPreset(m.window, MacroFftSize(f.fftIndex), meas_.SampleRate, prompter_)) {
        return false;
    }
    CurrentMacro() = m;
    v.macro.name = m.name;
    macroUnsaved = false;
    if (host.refreshMacros) host.refreshMacros();
    return true;
}

bool FeaturesModel::AskMacroSave() {
    if (!macroUnsaved) return true;
    if (host.showTab) host.showTab(FeaturesTab::UserMacro);
    const PromptAnswer a =
        prompter_.Ask(CurrentMacro().name, Msg(87), PromptButtons::YesNo, PromptIcon::Question);
    if (a == PromptAnswer::Yes) {
        // A save the window check refused keeps the edits on screen to be mended.
        return SaveMacro();
    }
    // Declined: the controls show the stored macro again.
    v.macro = MacroToFields(CurrentMacro());
    macroUnsaved = false;
    return true;
}

void FeaturesModel::SelectMacro(int number) {
    number = Clamp(number, 1, kUserMacroCount);
    if (number == v.macroNumber) return;
    if (!AskMacroSave()) return;
    v.macroNumber = number;
    v.macro = MacroToFields(CurrentMacro());
    macroUnsaved = false;
}

void FeaturesModel::LeaveMacroTab() { AskMacroSave(); }

void FeaturesModel::CopyUserWindow(int which) {
    v.macro.pre = Clamp(which == 1 ? v.pre1 : v.pre2, kMacroPreRange);
    v.macro.post = Clamp(which == 1 ? v.post1 : v.post2, kMacroPostRange);
    MacroEdited();
}

// ---- OK and Cancel ------------------------------------------------------------------------------

bool FeaturesModel::Ok() {
    MeasurementState& m = meas_;
    ProgramSettings& s = settings_;

    // 1. SAMPLING, feedback finder, OTHER (without the output level), user windows, ATC, PINK.
    m.PeakSync = v.peakSync;
    m.SyncMode = Clamp(v.syncMode, 0, 2);
    m.SyncTime = Clamp(v.syncTime, kSyncTimeRange);
    m.IgnoreFirst = v.ignoreFirst;
    m.ShowIntermediate = v.showIntermediate;
    m.QualityCheck = v.quality;
    s.Finder.DisplayMode = Clamp(v.displayMode, 0, 3);
    s.Finder.TriggerThreshold = kThresholds[std::size_t(Clamp(v.thresholdIndex, 0, 4))];
    s.Finder.Resolution = Clamp(v.resolution, 0, 2);
    s.Finder.AutoRestart = v.autoRestart ? 1 : 0;
    s.Finder.RestartStep = Clamp(v.restartStep, 0, 1);
    s.PenWidth = int16_t(1 << Clamp(v.traceIndex, 0, 3));
    s.OverlayPenWidth = int16_t(1 << Clamp(v.overlayIndex, 0, 3));
    s.AsciiOffset = Clamp(v.asciiOffset, kAsciiRange);
    s.AsciiUseGain = v.useGain;
    s.StampExports = v.stampExports;
    s.DriftCorrection = v.driftCorrection;
    s.OverwritePrompt = v.overwritePrompt;
    auto setWindow = [&m](TimeWindow& w, const std::string& name, int32_t pre, int32_t post) {
        w.name = name.substr(0, TimeWindow::kMaxName);
        w.timeBefore = pre;
        w.timeAfter = post;
        w.samplesBefore = TimeWindow::SamplesFor(pre, m.SampleRate);
        w.samplesAfter = TimeWindow::SamplesFor(post, m.SampleRate);
    };
    setWindow(s.User1, v.name1, Clamp(v.pre1, kPre1Range), Clamp(v.post1, kPost1Range));
    setWindow(s.User2, v.name2, Clamp(v.pre2, kUser2Range), Clamp(v.post2, kUser2Range));
    m.AtcMode = v.atc ? 1 : 0;
    m.ContinuousAveraging = v.continuous;
    if (m.PinkMls != v.pink) {
        m.PinkMls = v.pink;
        if (host.invalidateData) host.invalidateData();
    }
    if (!AskMacroSave()) return false;
    MayClose = true;
    m.FftSize = 2048 << Clamp(v.fftIndex, 0, kFftChoices - 1);

    // The temperature is checked before anything else changes, so a refused OK leaves the MLS
    // size and the recorded data alone.
    double celsius = 0.0;
    if (!ReadTemperature(celsius)) {
        prompter_.Inform(Msg(44), Msg(85), PromptIcon::Information);
        return false;
    }

    // 2. MLS size, FEATURES check boxes and units.
    const int order = kMinMlsOrder + Clamp(v.mlsIndex, 0, kMlsChoices - 1);
    if (m.MlsOrder != order && host.changeMlsOrder && host.changeMlsOrder(order) &&
        host.invalidateData) {
        host.invalidateData();
    }
    s.QuickDelay = v.quickDelay;
    m.AutoReset = v.autoReset;
    s.QuickDraw = v.quickDraw;
    s.AutoScale = v.autoLineGap;
    s.AutoMinimize = v.autoMinimize;
    s.WarnMlsChange = v.warnMls;
    s.WarnSampleRate = v.warnRate;
    s.WarnAveraging = v.warnAveraging;
    s.WarnCal = v.warnCal;
    s.Metric = v.units == 0;

    // 3. Temperature.
    EditTemperature = celsius;
    m.SetTemperature(celsius);

    // 4. Macro captions.
    if (host.refreshMacros) host.refreshMacros();

    // 5.–7. Devices and sample format.
    ApplySoundIo();

    // 8. Output level, the Virtual Room.
    m.OutputLevelDb = v.levelIndex >= 0 && v.levelIndex < int(kOutputLevels.size())
                          ? kOutputLevels[std::size_t(v.levelIndex)]
                          : -3;
    if (!SameRoom(v.room, loadedRoom_)) {
        v.room.Store(tree_);
        loadedRoom_ = v.room;
        if (host.reopenDevices) host.reopenDevices();
        if (host.roomChanged) host.roomChanged(v.room);
    }
    if (host.applied) host.applied();
    return true;
}

bool FeaturesModel::ApplySoundIo() {
    MeasurementState& m = meas_;
    const uint16_t oldRate = m.SampleRate;
    const int32_t oldBits = m.SampleBits;
    if (v.sample < 0 || std::size_t(v.sample) >= RateTable.size()) {
        // No usable format: devices and format stay as they were.
        prompter_.Inform(Msg(89), Msg(273), PromptIcon::Stop);
        return false;
    }
    const std::string currentIn = CurrentDeviceName(tree_, devices_, true);
    const std::string currentOut = CurrentDeviceName(tree_, devices_, false);
    auto chosen = [](const std::vector<std::string>& names, int i, const std::string& current) {
        return i >= 0 && std::size_t(i) < names.size() ? names[std::size_t(i)] : current;
    };
    const std::string in = chosen(inputNames, v.input, currentIn);
    const std::string out = chosen(outputNames, v.output, currentOut);
    if (in != currentIn || out != currentOut) {
        WriteDeviceNames(tree_, in, out);
        settings_.InputDevice = in;
        settings_.OutputDevice = out;
        if (host.invalidateData) host.invalidateData();
        if (host.reopenDevices) host.reopenDevices();
    }
    const RateEntry format = RateTable[std::size_t(v.sample)];
    m.SampleRate = format.rate;
    m.SampleBits = format.bits;
    if (m.SampleBits > 16 && prompter_.Ask(Msg(328), Msg(329), PromptButtons::OkCancel,
                                           PromptIcon::Stop) == PromptAnswer::Cancel) {
        m.SampleBits = 16;
    }
    if (m.SampleRate != oldRate && settings_.WarnSampleRate &&
        prompter_.Ask(Msg(44), Msg(86), PromptButtons::YesNo, PromptIcon::Question) !=
            PromptAnswer::Yes) {
        // The rate and width belong together: both go back to the pair in use.
        m.SampleRate = oldRate;
        m.SampleBits = oldBits;
        return true;
    }
    // Another rate or sample width: recorded data and open devices no longer fit.
    if (m.SampleRate != oldRate || m.SampleBits != oldBits) {
        if (host.invalidateData) host.invalidateData();
        if (host.reopenDevices) host.reopenDevices();
    }
    return true;
}

bool FeaturesModel::Cancel() {
    if (!Pristine && prompter_.Ask(Msg(84), Msg(83), PromptButtons::YesNo, PromptIcon::Question) !=
                         PromptAnswer::Yes) {
        return false;
    }
    // An untouched dialog closes at once, also on its first showing.
    MayClose = true;
    return true;
}

}  // namespace fim
