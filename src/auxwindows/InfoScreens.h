#pragma once
// The texts of the three information screens: the FFT information screen, the system
// information screen and the start-up window. They only read the state they are given.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "macros/UserMacro.h"

namespace fim {

constexpr const char* kProgramVersion = "1.70";

// What the main window's last run was, from its run mode: "FFT", "SMOOTH FFT", the name of the
// user macro of modes 11 … 22, or "Unknow".
std::string LastActionText(int runKind, const UserMacroBlock& macros);

// The analysis window's length, left and right edge as time (0.1 ms) and distance (0.1 m or
// 0.1 ft), always without sign. `left` and `right` are sample positions relative to the time
// origin; `fs` samples/s; `c` the speed of sound in m/s.
struct WindowLines {
    std::string length;
    std::string left;
    std::string right;
};
WindowLines AnalysisWindowLines(int64_t left, int64_t right, double fs, double c, bool metric);

struct SmallInfoInput {
    int fftSize = 4096;
    int mlsOrder = 12;
    int sampleRate = 44100;
    int runKind = 0;
    const UserMacroBlock* macros = nullptr;  // null: macro modes read "Unknow"
    int64_t viewStart = 1;                   // the analysis window (1-based samples)
    int64_t viewEnd = 2;
    double soundSpeed = 343.3;
    bool metric = true;
};

struct SmallInfoTexts {
    std::string caption;     // window caption
    std::string fftSize;     // "FFT SIZE: 4096"
    std::string mlsSize;     // "MLS SIZE: 4096"
    std::string sampleRate;  // "Samplerate: 44100"
    std::string lastAction;  // "LAST ACTION: FFT"
    std::string windowing;   // caption of the window group
    WindowLines window;
};
// The FFT information screen; window edges count from sample 200, the time origin of the
// main window's read-outs.
SmallInfoTexts BuildSmallInfo(const SmallInfoInput& in);

// Memory of the machine, in bytes; valid false when the system does not tell.
struct MemoryStatus {
    bool valid = false;
    uint64_t total = 0;
    uint64_t available = 0;
    int FreePercent() const;  // Round(available · 100 / total); 0 when not valid
};
// Parses the text of /proc/meminfo ("MemTotal:", "MemAvailable:", else "MemFree:", in kB).
MemoryStatus ParseMemInfo(std::string_view text);
// The memory status of this machine (/proc/meminfo on Linux).
MemoryStatus ReadMemoryStatus();

struct SystemInfoInput {
    int sampleRate = 44100;
    int atcMode = 1;
    bool peakSync = true;
    int averages = 1;
    bool metric = true;
    double soundSpeed = 343.3;
    std::string inputDevice;
    std::string outputDevice;
    // The clock drift of the measurement on display (none after loading a file).
    bool driftMeasured = false;
    double driftPpm = 0.0;
    bool driftCorrected = false;
    double driftWarningPpm = 5.0;
    MemoryStatus memory;
    // The settings that have no menu.
    bool quickDraw = false;
    bool quickDelay = false;
    bool autoMinimize = false;
    bool warnMlsChange = true;
    bool warnSampleRate = true;
    bool warnAveraging = true;
    bool warnCal = true;
};

struct SystemInfoTexts {
    std::vector<std::string> sampling;
    std::vector<std::string> memory;
    std::vector<std::string> hidden;
    std::vector<std::string> warnings;  // empty: nothing to warn about
};
// The system information screen. A drift beyond the warning threshold is also a warning. ATC is
// set incorrectly when it is off while averaging runs
// (the periods are then summed without alignment) or while peak synchronisation is chosen
// (which only works with ATC).
SystemInfoTexts BuildSystemInfo(const SystemInfoInput& in);

// The start-up window's lines: product and version, build date, free memory.
std::vector<std::string> StartupLines(std::string_view buildDate, const MemoryStatus& memory);

}  // namespace fim
