// src/settings/: the program's settings: loading and saving them over the SettingsTree, the stored
// records, the first start, and the features dialog with its model.

#include "settings/ProgramSettings.h"

#include <cmath>
#include <filesystem>
#include <system_error>

#include "base/Catalog.h"
#include "base/Prompter.h"

namespace fim {

namespace {

const char* const kProgramCaption = "MIV V1.70";

int32_t Int(const SettingsTree& t, std::string_view name, int32_t def) {
    return t.ReadInteger(name).value_or(def);
}
// An integer accepted only inside [lo, hi]; anything else (garbage, absurd numbers) gives the
// default.
int32_t IntIn(const SettingsTree& t, std::string_view name, int32_t def, int32_t lo, int32_t hi) {
    const auto v = t.ReadInteger(name);
    return v && *v >= lo && *v <= hi ? *v : def;
}
bool Bool(const SettingsTree& t, std::string_view name, bool def) {
    return t.ReadBool(name).value_or(def);
}
std::string Str(const SettingsTree& t, std::string_view name, const std::string& def) {
    return t.ReadString(name).value_or(def);
}

bool IsPowerOfTwoUpTo(int32_t v, int32_t max) { return v >= 1 && v <= max && (v & (v - 1)) == 0; }

// "Calfile1" … "Calfile8" (or "Overfile…"): entries up to the first "**"; a missing value
// reads as "**". A value of another type empties the list; so does a first entry whose file
// no longer exists.
std::vector<std::string> ReadFileList(const SettingsTree& t, const std::string& stem,
                                      const std::function<bool(const std::string&)>& exists) {
    std::vector<std::string> list;
    for (int n = 1; n <= kRecentFileSlots; ++n) {
        const std::string name = stem + std::to_string(n);
        std::string value = "**";
        if (t.HasValue(name)) {
            const auto s = t.ReadString(name);
            if (!s) return {};
            value = *s;
        }
        if (value == "**") break;
        list.push_back(value);
    }
    if (!list.empty() && !exists(list.front())) list.clear();
    return list;
}

bool DefaultFileExists(const std::string& path) {
    std::error_code ec;
    return std::filesystem::exists(std::filesystem::path(std::u8string(path.begin(), path.end())),
                                   ec);
}

std::string DefaultCurrentDir() {
    std::error_code ec;
    const auto p = std::filesystem::current_path(ec);
    if (ec) return {};
    const std::u8string u = p.u8string();
    return std::string(u.begin(), u.end());
}

// A window of no length or with absurd times (beyond 10 s either way) is not one the features
// dialog can have stored; it gets its default. A negative time before the peak is a window that
// starts after the peak, and stays.
bool SaneWindowTimes(const TimeWindow& w) {
    constexpr int32_t kMaxUs = 10000000;
    const auto inRange = [](int32_t us) { return us >= -kMaxUs && us <= kMaxUs; };
    return inRange(w.timeBefore) && inRange(w.timeAfter) && int64_t{w.timeBefore} + w.timeAfter > 0;
}

TimeWindow ReadUserWindow(const SettingsTree& t, std::string_view name, TimeWindow def) {
    const auto block = t.ReadBlock(name, kTimeWindowBytes);
    if (!block) return def;
    TimeWindow w = DecodeTimeWindow(*block);
    return SaneWindowTimes(w) ? w : def;
}

void SanitizeMacros(UserMacroBlock& macros) {
    for (int i = 0; i < kUserMacroCount; ++i) {
        UserMacro& m = macros[static_cast<std::size_t>(i)];
        SanitizeUserMacro(m);
        if (!SaneWindowTimes(m.window)) m.window = DefaultUserMacro(i + 1).window;
    }
}

void CheckVersion(SettingsTree& tree, ProgramSettings& s, const SettingsEnvironment& env,
                  SettingsLoadReport& report) {
    int32_t stored = Int(tree, "VERSION", 0);
    if (stored < 0) stored = 0;  // not a version any program wrote
    report.storedVersion = stored;
    s.Version = stored;
    if (stored >= kSettingsVersion) return;

    const int v = static_cast<int>(std::nearbyint(static_cast<double>(stored) / 100.0));
    const auto raw = tree.ReadBinary("Nusermakro1");
    ConvertUserMacros(s.Macros, v, raw ? &*raw : nullptr);
    SanitizeMacros(s.Macros);

    if (env.prompter != nullptr) {
        env.prompter->Inform(Msg(7), Msg(5) + std::to_string(v) + Msg(6) + "171",
                             PromptIcon::Information);
    }
    // The converted block goes out together with the new version: a version written alone
    // would make the next start read the old-layout block at the new size, fail, and replace
    // the user's macros by the factory set.
    tree.WriteBinary("NUSERMAKRO1", EncodeUserMacroBlock(s.Macros));
    tree.WriteInteger("VERSION", kSettingsVersion);
    report.saveFailed = !tree.Flush();
    s.Version = kSettingsVersion;
    report.versionUpdated = true;
}

}  // namespace

SettingsLoadReport LoadMainSettings(SettingsTree& tree, ProgramSettings& s, MeasurementState& state,
                                    const SettingsEnvironment& env) {
    SettingsLoadReport report;
    const auto exists = env.fileExists ? env.fileExists : DefaultFileExists;
    const double now = env.now != 0.0 ? env.now : NowAsDays();

    const SettingsStatus status = tree.Status();
    report.firstStart = status == SettingsStatus::Missing;
    if (status == SettingsStatus::Unreadable) {
        report.accessFailed = true;
        if (env.prompter != nullptr) {
            env.prompter->Ask(kProgramCaption, Msg(4), PromptButtons::Ok, PromptIcon::Stop);
        }
    }
    const SettingsTree& t = tree;

    s.Smoothing = IntIn(t, "SMOOTHING", 1, 0, 21);
    state.SampleBits = Int(t, "BITS", 16);
    if (BytesPerSample(state.SampleBits) == 0) state.SampleBits = 16;
    // The buffers hold orders 12 … 18 (256 k samples); nothing else can be measured.
    state.SetMlsOrder(IntIn(t, "MLS Traps", 12, 12, 18));
    s.PenWidth = static_cast<int16_t>(IntIn(t, "STIFTBREITE", 2, 1, 16));
    s.OverlayPenWidth = static_cast<int16_t>(IntIn(t, "STIFTBREITE Overlay", 1, 1, 16));
    s.AsciiOffset = Int(t, "ASCII 1", 80);

    if (const auto b = t.ReadBlock("FBF", FinderSettings::kBytes)) {
        s.Finder = DecodeFinderSettings(*b);
    } else {
        s.Finder = FinderSettings{};
    }

    s.CalFiles = ReadFileList(t, "Calfile", exists);
    s.OverlayFiles = ReadFileList(t, "Overfile", exists);

    if (const auto b = t.ReadBlock("Timinginfo", ClockSettings::kBytes)) {
        s.Clock = DecodeClockSettings(*b, now);
    } else {
        s.Clock = DefaultClockSettings(now);
    }
    s.User1 = ReadUserWindow(t, "USER1", DefaultUserWindow1());
    s.User2 = ReadUserWindow(t, "USER2", DefaultUserWindow2());

    const auto macros = t.ReadBlock("Nusermakro1", kUserMacroBlockBytes);
    const auto decoded = macros ? DecodeUserMacroBlock(*macros) : std::nullopt;
    s.Macros = decoded ? *decoded : FactoryUserMacros();
    SanitizeMacros(s.Macros);

    state.AtcMode = Int(t, "ATC", 1);
    if (state.AtcMode > 1) state.AtcMode = 1;
    s.Lme = Int(t, "LME", 3);
    s.AsciiUseGain = Bool(t, "ASCII 2", false);
    s.StampExports = Bool(t, "STAMP EXPORTS", true);
    s.DriftCorrection = Bool(t, "DRIFT CORRECTION", false);
    if (const auto w = t.ReadFloat("DRIFT WARNING"); w && *w > 0.0 && *w <= 1000.0) {
        s.DriftWarningPpm = *w;
    }
    state.PeakSync = Bool(t, "Peaksync", true);
    state.SyncMode = IntIn(t, "Syncmode", 0, 0, 2);
    state.IgnoreFirst = Bool(t, "Ignorefirst", true);
    state.ContinuousAveraging = Bool(t, "Continuous", false);
    state.SyncTime = IntIn(t, "Synctime", 20, 1, 100);
    state.ShowIntermediate = Bool(t, "Showze", false);
    state.QualityCheck = Bool(t, "Quality", true);
    s.OverwritePrompt = Bool(t, "OPromt", true);
    state.PinkMls = Bool(t, "PMLS", false);
    s.AutoMinimize = Bool(t, "AUTOMIN", false);

    const auto level = t.ReadInteger("MLSVOL");
    report.openHelpTopic = !level.has_value();
    // Above full scale is impossible; below −100 dB nothing would be heard at all.
    state.OutputLevelDb = level && *level <= 0 && *level >= -100 ? *level : -6;

    s.Version = Int(t, "VERSION", 0);
    s.QuickDelay = Bool(t, "QDELAY", false);
    state.SampleRate = static_cast<uint16_t>(IntIn(t, "Samplerate", 44100, 8000, 65535));
    s.MicCalData = Str(t, "Mic Cal Data", "");
    s.DataFolder = Str(t, "Files", env.currentDir.empty() ? DefaultCurrentDir() : env.currentDir);
    for (int i = 0; i < kRecentTimeFiles; ++i) {
        s.RecentFiles[static_cast<std::size_t>(i)] = Str(t, "FILE" + std::to_string(i + 1), "");
    }
    s.FileMode = IntIn(t, "FILEMODE", 2, 1, 2);
    s.AutoScale = Bool(t, "ALGS", false);
    s.WarnMlsChange = Bool(t, "WMLS", true);
    s.WarnSampleRate = Bool(t, "WSR", true);
    s.WarnAveraging = Bool(t, "WAV", true);
    s.WarnCal = Bool(t, "WCAL", true);
    s.Metric = Bool(t, "ISO", true);
    s.FftWindow = static_cast<uint8_t>(IntIn(t, "FFTWINDOW", 0, 0, 255));
    state.AutoReset = Bool(t, "Averages Reset", false);
    if (const auto b = t.ReadBlock("ABSWIN", AbsoluteWindow::kBytes)) {
        s.AbsWin = DecodeAbsoluteWindow(*b);
    } else {
        s.AbsWin = AbsoluteWindow{};
    }
    const int32_t fft = Int(t, "FFT SIZE", 4096);
    state.SetFftSize(IsPowerOfTwoUpTo(fft, 32768) && fft >= 2048 ? fft : 4096);
    const auto temp = t.ReadFloat("Temperatur");
    state.SetTemperature(temp && std::isfinite(*temp) && *temp >= -100.0 && *temp <= 100.0 ? *temp
                                                                                           : 20.0);
    s.QuickDraw = Bool(t, "QUICKDRAW", false);

    s.Tfl = TflSettings{};
    s.Repeat = false;
    s.InputDevice = Str(t, "INCARD", "");
    s.OutputDevice = Str(t, "OUTCARD", "");

    CheckVersion(tree, s, env, report);
    return report;
}

void LoadLateSettings(const SettingsTree& t, ProgramSettings& s, MeasurementState& state) {
    if (const auto b = t.ReadBlock("Display Color", ColorTable::kBytes)) {
        s.Colors = DecodeColorTable(*b);
    } else {
        s.Colors = ColorTable::Default();
    }
    constexpr int32_t kMaxExtent = 100000;
    s.Geometry.Width = IntIn(t, "Breite", 466, 1, kMaxExtent);
    s.Geometry.Height = IntIn(t, "Höhe", 335, 1, kMaxExtent);
    s.Geometry.Top = IntIn(t, "Oben", 100, -kMaxExtent, kMaxExtent);
    s.Geometry.Left = IntIn(t, "Links", 100, -kMaxExtent, kMaxExtent);
    state.AveragesTarget = RestoredAveraging(Int(t, "Mittelung", 1), state.AutoReset);
}

SettingsLoadReport LoadProgramSettings(SettingsTree& tree, ProgramSettings& settings,
                                       MeasurementState& state, const SettingsEnvironment& env) {
    SettingsLoadReport report = LoadMainSettings(tree, settings, state, env);
    LoadLateSettings(tree, settings, state);
    return report;
}

bool SaveProgramSettings(SettingsTree& t, const ProgramSettings& s, const MeasurementState& state,
                         int32_t viewStart, int32_t viewEnd) {
    for (int n = 1; n <= kRecentFileSlots; ++n) {
        const auto slot = static_cast<std::size_t>(n - 1);
        const std::string num = std::to_string(n);
        t.WriteString("Calfile" + num, slot < s.CalFiles.size() ? s.CalFiles[slot] : "**");
        t.WriteString("Overfile" + num, slot < s.OverlayFiles.size() ? s.OverlayFiles[slot] : "**");
    }
    t.WriteBinary("TFL", EncodeTflSettings(s.Tfl));
    t.WriteBinary("Timinginfo", EncodeClockSettings(s.Clock));
    AbsoluteWindow abs = s.AbsWin;
    abs.lastStart = viewStart;
    abs.lastEnd = viewEnd;
    t.WriteBinary("ABSWIN", EncodeAbsoluteWindow(abs));
    t.WriteBinary("FBF", EncodeFinderSettings(s.Finder));
    t.WriteBinary("USER1", EncodeTimeWindow(s.User1));
    t.WriteBinary("USER2", EncodeTimeWindow(s.User2));
    t.WriteBinary("NUSERMAKRO1", EncodeUserMacroBlock(s.Macros));
    t.WriteBinary("Display Color", EncodeColorTable(s.Colors));

    t.WriteBool("AUTOMIN", s.AutoMinimize);
    t.WriteBool("Peaksync", state.PeakSync);
    t.WriteBool("Showze", state.ShowIntermediate);
    t.WriteBool("Ignorefirst", state.IgnoreFirst);
    t.WriteBool("Quality", state.QualityCheck);
    t.WriteBool("PMLS", state.PinkMls);
    t.WriteBool("Opromt", s.OverwritePrompt);
    t.WriteBool("REPEAT", s.Repeat);
    t.WriteFloat("Temperatur", state.Temperature);

    t.WriteInteger("MLS Traps", state.MlsOrder);
    t.WriteInteger("Syncmode", state.SyncMode);
    t.WriteInteger("Synctime", state.SyncTime);
    t.WriteInteger("SMOOTHING", s.Smoothing);
    t.WriteInteger("LME", s.Lme);
    t.WriteInteger("ASCII 1", s.AsciiOffset);
    t.WriteInteger("Oben", s.Geometry.Top);
    t.WriteInteger("Breite", s.Geometry.Width);
    t.WriteInteger("Höhe", s.Geometry.Height);
    t.WriteInteger("Links", s.Geometry.Left);
    t.WriteInteger("FFTWINDOW", s.FftWindow);
    t.WriteInteger("ATC", state.AtcMode);
    t.WriteBool("Continuous", state.ContinuousAveraging);
    t.WriteInteger("FFT SIZE", state.FftSize);
    t.WriteInteger("MLSVOL", state.OutputLevelDb);
    t.WriteInteger("SAMPLERATE", state.SampleRate);
    t.WriteInteger("BITS", state.SampleBits);

    t.WriteBool("WMLS", s.WarnMlsChange);
    t.WriteBool("WSR", s.WarnSampleRate);
    t.WriteBool("WAV", s.WarnAveraging);
    t.WriteBool("WCAL", s.WarnCal);
    t.WriteBool("ISO", s.Metric);
    t.WriteBool("ALGS", s.AutoScale);
    t.WriteBool("AVERAGES RESET", state.AutoReset);
    t.WriteBool("QUICKDRAW", s.QuickDraw);
    t.WriteBool("QDELAY", s.QuickDelay);
    t.WriteBool("ASCII 2", s.AsciiUseGain);
    t.WriteBool("STAMP EXPORTS", s.StampExports);
    t.WriteBool("DRIFT CORRECTION", s.DriftCorrection);
    t.WriteFloat("DRIFT WARNING", s.DriftWarningPpm);

    t.WriteInteger("STIFTBREITE", s.PenWidth);
    t.WriteInteger("STIFTBREITE Overlay", s.OverlayPenWidth);
    t.WriteInteger("MITTELUNG", state.AveragesTarget);

    t.WriteString("Mic Cal Data", s.MicCalData);
    t.WriteString("FILES", s.DataFolder);
    for (int i = 0; i < kRecentTimeFiles; ++i) {
        t.WriteString("FILE" + std::to_string(i + 1), s.RecentFiles[static_cast<std::size_t>(i)]);
    }
    t.WriteInteger("FILEMODE", s.FileMode);
    // No name chosen yet: nothing to keep, and an empty value would hide a stored one.
    if (!s.InputDevice.empty()) t.WriteString("INCARD", s.InputDevice);
    if (!s.OutputDevice.empty()) t.WriteString("OUTCARD", s.OutputDevice);
    return t.Flush();
}

void TakeSharedValues(const SettingsTree& t, ProgramSettings& s) {
    s.MicCalData = Str(t, "Mic Cal Data", s.MicCalData);
    s.InputDevice = Str(t, "INCARD", s.InputDevice);
    s.OutputDevice = Str(t, "OUTCARD", s.OutputDevice);
}

void WriteDeviceNames(SettingsTree& tree, const std::string& input, const std::string& output) {
    tree.WriteString("INCARD", input);
    tree.WriteString("OUTCARD", output);
}

int32_t RestoredAveraging(int32_t stored, bool autoReset) {
    if (autoReset) return 1;
    return IsPowerOfTwoUpTo(stored, 128) ? stored : 1;
}

bool ShouldMaximise(const WindowGeometry& g, int screenWidth, int screenHeight) {
    return g.Width >= screenWidth && g.Height >= screenHeight - 30;
}

std::array<bool, kRecentTimeFiles> RecentFileVisible(const ProgramSettings& settings) {
    std::array<bool, kRecentTimeFiles> shown{};
    for (std::size_t i = 0; i < shown.size(); ++i) shown[i] = settings.RecentFiles[i].size() > 1;
    return shown;
}

}  // namespace fim
