#include "auxwindows/InfoScreens.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <fstream>
#include <optional>
#include <sstream>

#include "base/Catalog.h"
#include "core/ClockDrift.h"
#include "mainwindow/TimeTraceModel.h"

namespace fim {

namespace {

// Samples before the time origin of the main window's read-outs.
constexpr int64_t kTimeOrigin = 200;

std::string OnOff(bool on) { return on ? "ON" : "OFF"; }

std::string WindowLine(int message, int64_t n, double fs, double c, bool metric) {
    const double x = static_cast<double>(n);
    const double ms = std::fabs(std::nearbyint(x * 10000.0 / fs) / 10.0);
    const double metres = x * 10.0 / fs * c;
    const double d = std::fabs(std::nearbyint(metric ? metres : metres / 0.3048) / 10.0);
    return Msg(message) + ShortFloat(ms) + "ms " + ShortFloat(d) + (metric ? "m" : "ft");
}

}  // namespace

std::string LastActionText(int runKind, const UserMacroBlock& macros) {
    if ((runKind >= 0 && runKind <= 3) || runKind == 7 || runKind == 8) return "FFT";
    if (runKind == 4 || runKind == 5) return "SMOOTH FFT";
    if (runKind >= 11 && runKind <= 10 + kUserMacroCount) {
        return macros[static_cast<std::size_t>(runKind - 11)].name;
    }
    return "Unknow";
}

WindowLines AnalysisWindowLines(int64_t left, int64_t right, double fs, double c, bool metric) {
    if (!(fs > 0.0)) fs = 1.0;  // a rate of 0 never reaches here from a valid state
    return {WindowLine(213, right - left, fs, c, metric), WindowLine(214, left, fs, c, metric),
            WindowLine(215, right, fs, c, metric)};
}

SmallInfoTexts BuildSmallInfo(const SmallInfoInput& in) {
    SmallInfoTexts t;
    t.caption = Msg(211);
    t.fftSize = Msg(107) + ": " + std::to_string(in.fftSize);
    t.mlsSize = Msg(106) + ": " + std::to_string(int64_t{1} << in.mlsOrder);
    t.sampleRate = "Samplerate: " + std::to_string(in.sampleRate);
    static const UserMacroBlock kNoMacros{};
    const UserMacroBlock& macros = in.macros ? *in.macros : kNoMacros;
    const bool macroKnown = in.macros || in.runKind < 11 || in.runKind > 10 + kUserMacroCount;
    t.lastAction = Msg(212) + (macroKnown ? LastActionText(in.runKind, macros) : "Unknow");
    t.windowing = Msg(210);
    t.window = AnalysisWindowLines(in.viewStart - kTimeOrigin, in.viewEnd - kTimeOrigin,
                                   in.sampleRate, in.soundSpeed, in.metric);
    return t;
}

int MemoryStatus::FreePercent() const {
    if (!valid || total == 0) return 0;
    return static_cast<int>(
        std::nearbyint(static_cast<double>(available) * 100.0 / static_cast<double>(total)));
}

MemoryStatus ParseMemInfo(std::string_view text) {
    auto field = [text](std::string_view name) -> std::optional<uint64_t> {
        std::size_t at = 0;
        while ((at = text.find(name, at)) != std::string_view::npos) {
            if (at == 0 || text[at - 1] == '\n') break;
            at += name.size();
        }
        if (at == std::string_view::npos) return std::nullopt;
        std::size_t p = at + name.size();
        while (p < text.size() && (text[p] == ' ' || text[p] == '\t')) ++p;
        uint64_t kb = 0;
        const auto r = std::from_chars(text.data() + p, text.data() + text.size(), kb);
        if (r.ec != std::errc() || kb > UINT64_MAX / 1024) return std::nullopt;
        return kb * 1024;
    };
    MemoryStatus m;
    const auto total = field("MemTotal:");
    auto available = field("MemAvailable:");
    if (!available) available = field("MemFree:");
    if (!total || !available || *total == 0) return m;
    m.valid = true;
    m.total = *total;
    m.available = std::min(*available, *total);
    return m;
}

MemoryStatus ReadMemoryStatus() {
    std::ifstream in("/proc/meminfo");
    if (!in) return {};
    std::ostringstream text;
    text << in.rdbuf();
    return ParseMemInfo(text.str());
}

SystemInfoTexts BuildSystemInfo(const SystemInfoInput& in) {
    SystemInfoTexts t;
    const bool atc = in.atcMode >= 1;
    if (!atc && in.averages > 1) {
        t.warnings.push_back("ATC INCORRECT SETTING: averaging " + std::to_string(in.averages) +
                             " runs without ATC");
    }
    if (!atc && in.peakSync) t.warnings.push_back("ATC INCORRECT SETTING: Peaksync without ATC");

    t.sampling.push_back("Samplerate: " + std::to_string(in.sampleRate));
    std::string sync = "ATC " + OnOff(atc);
    if (atc && in.peakSync) sync += ", PEAKSYNC";
    if (!t.warnings.empty()) sync += "  ATC INCORRECT SETTING";
    t.sampling.push_back(sync);
    const double speed = in.metric ? in.soundSpeed : in.soundSpeed / 0.3048;
    t.sampling.push_back((in.metric ? "ISO " : "USA ") + std::string("c = ") +
                         ShortFloat(std::nearbyint(speed * 10.0) / 10.0) +
                         (in.metric ? " m/s" : " ft/s"));
    t.sampling.push_back("In:  " + in.inputDevice);
    t.sampling.push_back("Out: " + in.outputDevice);
    if (in.driftMeasured) {
        t.sampling.push_back("Clock drift: " + DriftStateText(in.driftPpm, in.driftCorrected));
        if (std::abs(in.driftPpm) > in.driftWarningPpm) {
            t.warnings.push_back(DriftText(in.driftPpm, in.driftWarningPpm));
        }
    } else {
        t.sampling.push_back("Clock drift: not measured");
    }

    if (in.memory.valid) {
        const auto mb = static_cast<uint64_t>(
            std::nearbyint(static_cast<double>(in.memory.total) / (1024.0 * 1024.0)));
        t.memory.push_back("TOTAL: " + std::to_string(mb) + "MB, " +
                           std::to_string(in.memory.FreePercent()) + "%");
    } else {
        t.memory.push_back("TOTAL: ?");
    }

    t.hidden = {"QUICKDRAW " + OnOff(in.quickDraw),  "QDELAY " + OnOff(in.quickDelay),
                "AUTOMIN " + OnOff(in.autoMinimize), "WMLS " + OnOff(in.warnMlsChange),
                "WSR " + OnOff(in.warnSampleRate),   "WAV " + OnOff(in.warnAveraging),
                "WCAL " + OnOff(in.warnCal)};
    return t;
}

std::vector<std::string> StartupLines(std::string_view buildDate, const MemoryStatus& memory) {
    return {std::string("FIELD IMPULSE METERING V") + kProgramVersion, std::string(buildDate),
            Msg(74) + (memory.valid ? std::to_string(memory.FreePercent()) : "?") + "%"};
}

}  // namespace fim
