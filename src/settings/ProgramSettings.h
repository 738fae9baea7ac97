#pragma once
// The main window's persistent settings: every value it reads at start-up and writes at
// shutdown, with defaults, range rules, the file lists, the version check and the save order.
// The values that shape a measurement live in MeasurementState; the rest live here.
//
// Thread: UI thread only.

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "base/SettingsTree.h"
#include "core/MeasurementState.h"
#include "macros/UserMacro.h"
#include "settings/SettingsRecords.h"
#include "spectrum/TimeWindow.h"

namespace fim {

class Prompter;

// The version this program writes into "VERSION" (1.71 × 100 × 100).
constexpr int32_t kSettingsVersion = 17100;
constexpr int kRecentFileSlots = 8;  // Calfile1 … 8, Overfile1 … 8
constexpr int kRecentTimeFiles = 4;  // FILE1 … FILE4

struct WindowGeometry {
    int32_t Width = 466;   // "Breite"
    int32_t Height = 335;  // "Höhe"
    int32_t Top = 100;     // "Oben"
    int32_t Left = 100;    // "Links"

    bool operator==(const WindowGeometry&) const = default;
};

struct ProgramSettings {
    // In reading order.
    int32_t Smoothing = 1;                        // "SMOOTHING": smoothing width 2v + 1
    int16_t PenWidth = 2;                         // "STIFTBREITE": frequency trace, pixels
    int16_t OverlayPenWidth = 1;                  // "STIFTBREITE Overlay"
    int32_t AsciiOffset = 80;                     // "ASCII 1": dB added by the text export
    FinderSettings Finder;                        // "FBF"
    std::vector<std::string> CalFiles;            // "Calfile1" …: recently used calibration files
    std::vector<std::string> OverlayFiles;        // "Overfile1" …: recently used overlay files
    ClockSettings Clock;                          // "Timinginfo"
    TimeWindow User1 = DefaultUserWindow1();      // "USER1"
    TimeWindow User2 = DefaultUserWindow2();      // "USER2"
    UserMacroBlock Macros = FactoryUserMacros();  // "Nusermakro1"
    int32_t Lme = 3;                              // "LME": measurement-run setting
    bool AsciiUseGain = false;                    // "ASCII 2"
    bool StampExports = true;                     // "STAMP EXPORTS": what produced an export
    bool DriftCorrection = false;                 // "DRIFT CORRECTION": resample for clock drift
    double DriftWarningPpm = 5.0;                 // "DRIFT WARNING": warn above this drift, ppm
    bool OverwritePrompt = true;                  // "OPromt": ask before overwriting a time file
    bool AutoMinimize = false;                    // "AUTOMIN"
    int32_t Version = 0;      // "VERSION" as found (kSettingsVersion after an update)
    bool QuickDelay = false;  // "QDELAY"
    std::string MicCalData;   // "Mic Cal Data": microphone-correction file
    std::string DataFolder;   // "Files": default data folder
    std::array<std::string, kRecentTimeFiles> RecentFiles;  // "FILE1" … "FILE4"
    int32_t FileMode = 2;                                   // "FILEMODE": 1 time file, 2 WAVE
    bool AutoScale = false;                                 // "ALGS"
    bool WarnMlsChange = true;                              // "WMLS"
    bool WarnSampleRate = true;                             // "WSR"
    bool WarnAveraging = true;                              // "WAV"
    bool WarnCal = true;                                    // "WCAL"
    bool Metric = true;                                     // "ISO": metres instead of feet
    uint8_t FftWindow = 0;                                  // "FFTWINDOW"
    AbsoluteWindow AbsWin;                                  // "ABSWIN"
    bool QuickDraw = false;                                 // "QUICKDRAW"
    // Read late, after the sound devices were looked up.
    ColorTable Colors = ColorTable::Default();  // "Display Color"
    WindowGeometry Geometry;                    // "Breite", "Höhe", "Oben", "Links"

    // Written at shutdown, not restored: the diagram starts from its defaults and REPEAT starts
    // unchecked, so a restart never starts measuring on its own.
    TflSettings Tfl;      // "TFL"
    bool Repeat = false;  // "REPEAT"

    // Sound devices by name ("INCARD", "OUTCARD"); empty when none was chosen yet. Read by
    // LoadProgramSettings, written by WriteDeviceNames when the user chooses them.
    std::string InputDevice;
    std::string OutputDevice;

    bool operator==(const ProgramSettings&) const = default;
};

// What the program needs from its surroundings while loading.
struct SettingsEnvironment {
    Prompter* prompter = nullptr;  // message 4 and the update message; none shown when null
    // Whether a file exists (the first recent calibration / overlay file is checked). Default:
    // std::filesystem.
    std::function<bool(const std::string&)> fileExists;
    // Default data folder when "Files" is missing. Default: the current directory.
    std::string currentDir;
    // Start-up moment for the clock's default reference (days since 1899-12-30). 0: now.
    double now = 0.0;
};

struct SettingsLoadReport {
    bool firstStart = false;      // the key did not exist
    bool accessFailed = false;    // the key could not be read; message 4 was shown
    bool openHelpTopic = false;   // "MLSVOL" was missing: open help topic 3000
    bool versionUpdated = false;  // the stored version was older; update message shown
    int32_t storedVersion = 0;    // "VERSION" as stored (0 when missing)
    bool saveFailed = false;      // the converted macros and version could not be written
};

constexpr int kFirstStartHelpTopic = 3000;

// Start-up, first part: reads the main window's values in their order up to "QUICKDRAW", the
// device names, and runs the version check (which converts the macros and writes them with
// the new "VERSION" at once, so the stored block always matches the stored version).
SettingsLoadReport LoadMainSettings(SettingsTree& tree, ProgramSettings& settings,
                                    MeasurementState& state, const SettingsEnvironment& env);
// Start-up, second part (after the sound devices were looked up): "Display Color", window
// geometry and the averaging count.
void LoadLateSettings(const SettingsTree& tree, ProgramSettings& settings, MeasurementState& state);
// Both parts, for callers that have no devices to look up in between.
SettingsLoadReport LoadProgramSettings(SettingsTree& tree, ProgramSettings& settings,
                                       MeasurementState& state, const SettingsEnvironment& env);

// Shutdown: writes every value in the save order, with "ABSWIN" carrying the current analysis
// window, then makes the writes durable. Returns false when they could not be stored.
// "Mic Cal Data" goes with the strings before "FILES" (its place in the reading order); the
// device names ("INCARD", "OUTCARD") come last, each only when one is chosen.
bool SaveProgramSettings(SettingsTree& tree, const ProgramSettings& settings,
                         const MeasurementState& state, int32_t viewStart, int32_t viewEnd);

// Takes the values that other windows write into the tree at once while the program runs (the
// microphone-correction file when one is loaded, the device names when they are chosen), so
// the save at shutdown stores the current ones rather than what start-up read.
void TakeSharedValues(const SettingsTree& tree, ProgramSettings& settings);

void WriteDeviceNames(SettingsTree& tree, const std::string& input, const std::string& output);

// The averaging count restored from "Mittelung": a menu count (1, 2, 4 … 128) as stored,
// anything else and any value while auto-reset is on give 1.
int32_t RestoredAveraging(int32_t stored, bool autoReset);

// Whether the restored window covers the screen so it should be shown maximised instead.
bool ShouldMaximise(const WindowGeometry& g, int screenWidth, int screenHeight);

// Which of the DATA menu's four recent-file items are shown: those whose name is longer than
// one character. The separator above them shows with the first item.
std::array<bool, kRecentTimeFiles> RecentFileVisible(const ProgramSettings& settings);

}  // namespace fim
