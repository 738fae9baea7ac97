#pragma once
// The logic of the features dialog TFEATURES: every setting the user edits there, as plain fields
// the dialog's controls mirror, loaded from the live settings when the dialog is activated and
// copied back only by OK. The devices' usable formats, the user windows, the twelve macros (one
// at a time) and the Virtual Room's parameters are edited here too.
//
// Thread: UI thread only.

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "audio/VirtualRoom.h"
#include "macros/UserMacro.h"

namespace fim {

struct MeasurementState;
struct ProgramSettings;
class Prompter;
class SettingsTree;
class WaveDevices;

// The dialog's tabs, in their order.
enum class FeaturesTab { Data, UserWindow, SoundIo, Features, Other, UserMacro, Finder, Sampling };
constexpr int kFeaturesTabCount = 8;

// One usable sample format of the format list.
struct RateEntry {
    uint16_t rate = 0;
    int32_t bits = 0;
    bool operator==(const RateEntry&) const = default;
};

// The rates and widths the format list offers, in list order (bits outer, rates inner).
constexpr std::array<uint16_t, 6> kListedRates = {8000, 11025, 22050, 32000, 44100, 48000};
constexpr std::array<int32_t, 3> kListedBits = {16, 20, 24};

// "44.100 Samples/ 16 Bits".
std::string RateText(uint16_t rate, int32_t bits);

// Every (rate, bits) pair that both devices accept as a stereo PCM format, in list order.
std::vector<RateEntry> UsableFormats(const WaveDevices& devices, int input, int output);

// Times of the right-click preset menus, µs.
constexpr std::array<int32_t, 6> kPrePresets = {50, 100, 200, 500, 1000, -1000};
constexpr std::array<int32_t, 5> kPostPresets = {15000, 20000, 40000, 60000, 100000};

// Control tags of the time fields the presets set.
enum PresetField : int32_t { kPresetUser1 = 1, kPresetUser2 = 2, kPresetMacro = 3 };

// Output levels of RadioGroup6, dB.
constexpr std::array<int32_t, 5> kOutputLevels = {0, -3, -6, -10, -20};
// Trigger thresholds of RadioGroup10, dB.
constexpr std::array<int32_t, 5> kThresholds = {-3, -6, -10, -15, -20};

// Temperature units: °C with the ISO choice, °F with the USA one.
double CelsiusToFahrenheit(double c);
double FahrenheitToCelsius(double f);

// The controls of the USER MACRO tab for one macro.
struct MacroFields {
    std::string name;
    int mlsIndex = 3;   // ComboBox3: order − 12
    int avgIndex = 0;   // ComboBox4: 0 "NO", i: 2^i samples
    int fftIndex = 3;   // ComboBox6: 0–4 plain FFT 2048·2^i, 5 "SMOOTH"
    int smoothing = 0;  // SpinEdit10, 0 … 10
    int32_t pre = 400;  // SpinEdit6, µs
    int32_t post = 9600;
    bool atc = true;
    bool repeat = false;
    bool pink = false;
    bool operator==(const MacroFields&) const = default;
};

// A macro's controls as the tab shows them (out-of-range fields limited to the controls' ranges).
MacroFields MacroToFields(const UserMacro& m);
// The FFT size a macro with this FFT choice analyses (32768 for SMOOTH).
int MacroFftSize(int fftIndex);

// Everything the dialog's controls hold, tab by tab.
struct FeaturesValues {
    // DATA
    int mlsIndex = 0;         // RadioGroup1: order − 12
    int fftIndex = 1;         // RadioGroup2: 2048·2^i
    bool atc = true;          // CheckBox9
    bool continuous = false;  // CheckBox18: continuous averaging
    bool pink = false;        // CheckBox13
    // USER WINDOW
    std::string name1, name2;  // Edit4, Edit1
    int32_t pre1 = 400, post1 = 9600, pre2 = 800, post2 = 19200;
    // SOUND I/O
    int input = 0, output = 0;  // cbsoundin, cbSoundOut
    int sample = -1;            // cbsample; −1: no selection
    RoomParameters room;        // the Virtual Room's group
    // FEATURES
    bool quickDelay = false, autoReset = false, quickDraw = false, autoLineGap = false,
         autoMinimize = false;
    int units = 0;  // RadioGroup3: 0 ISO, 1 USA
    bool warnMls = true, warnRate = true, warnAveraging = true, warnCal = true;
    std::string temperature;  // SpinEdit1's text, in the chosen unit
    // OTHER
    int levelIndex = 2;
    int traceIndex = 1, overlayIndex = 0;  // width 2^index
    int asciiOffset = 80;
    bool useGain = false, overwritePrompt = true;
    bool stampExports = true;
    // MEASUREMENT
    bool driftCorrection = false;
    // USER MACRO
    int macroNumber = 1;  // UpDown1, 1 … 12
    MacroFields macro;
    // FEEDBACKFINDER
    int displayMode = 1, thresholdIndex = 2, resolution = 1, restartStep = 1;
    bool autoRestart = true;
    // SAMPLING
    bool peakSync = true;
    int syncMode = 0;
    int syncTime = 20;
    bool ignoreFirst = true, showIntermediate = false, quality = true;
};

// Ranges of the spin fields.
struct SpinRange {
    int32_t low, high;
};
constexpr SpinRange kPre1Range{-400000, 400000};
constexpr SpinRange kPost1Range{-4000000, 400000};
constexpr SpinRange kUser2Range{-400000, 400000};
constexpr SpinRange kMacroPreRange{-50000, 20000};
constexpr SpinRange kMacroPostRange{200, 200000};
constexpr SpinRange kAsciiRange{-20, 120};
constexpr SpinRange kSyncTimeRange{1, 100};
constexpr SpinRange kSmoothingRange{0, 10};
constexpr SpinRange kCelsiusRange{0, 55};
constexpr SpinRange kFahrenheitRange{32, 110};

class FeaturesModel {
  public:
    // What OK changes beyond the settings records. Empty functions do nothing.
    struct Host {
        // The main window's MLS-length change (it asks first when "WMLS" is on); true when the
        // order was changed.
        std::function<bool(int order)> changeMlsOrder;
        // The measured data no longer matches the settings.
        std::function<void()> invalidateData;
        // The devices must be closed and opened again before the next run.
        std::function<void()> reopenDevices;
        // Macro names changed: refresh the main window's macro captions and hints.
        std::function<void()> refreshMacros;
        // Bring a tab to the front (before the macro question).
        std::function<void(FeaturesTab)> showTab;
        // No input or output device at all: end the program at once with this text.
        std::function<void(const std::string&)> fatalExit;
        // The Virtual Room's parameters changed (the devices are closed first).
        std::function<void(const RoomParameters&)> roomChanged;
        // OK went through: the main window takes over what it mirrors (menu ticks, units).
        std::function<void()> applied;
    };

    FeaturesModel(MeasurementState& meas, ProgramSettings& settings, SettingsTree& tree,
                  const WaveDevices& devices, Prompter& prompter);

    Host host;
    // The Virtual Room's parameters in use (stored values are shown over them).
    RoomParameters currentRoom;

    // ---- dialog state ----
    FeaturesValues v;
    bool Pristine = true;
    bool MayClose = false;
    int32_t PresetTarget = kPresetUser1;
    double EditTemperature = 20.0;  // °C
    std::vector<RateEntry> RateTable;
    FeaturesTab PageToShow = FeaturesTab::SoundIo;
    bool macroUnsaved = false;

    // Device and format lists as the combo boxes show them.
    std::vector<std::string> inputNames, outputNames;
    std::vector<std::string> rateTexts;
    bool inputEnabled = true, outputEnabled = true;

    // ---- handlers ----
    // FormShow.
    void Show() { Pristine = true; }
    // FormActivate: loads every control from the settings and fills the device and format
    // lists. False when a device list is empty (the fatal path was taken).
    bool Activate();
    // Any edit of a control.
    void Edited() { Pristine = false; }
    // An edit on the USER MACRO tab.
    void MacroEdited();
    // cbsoundinChange / cbSoundOutChange: a device was chosen; the format list is rebuilt.
    void DeviceChanged();
    // RadioGroup3Click: the units changed; the temperature is shown in the new unit.
    void UnitsChanged(int units);
    // The temperature's unit label, value text and range for the current units.
    std::string TemperatureUnit() const;
    SpinRange TemperatureRange() const;
    // Whether the Virtual Room's group shows (it is the chosen input or output).
    bool RoomSelected() const;

    // Right-click presets: the field right-clicked, then a menu item.
    void RememberPresetTarget(int32_t tag) { PresetTarget = tag; }
    void ApplyPreset(int32_t microseconds, bool post);

    // USER MACRO tab.
    // SAVE: stores the controls into the macro; true when its window passed the check.
    bool SaveMacro();
    // UpDown1: asks about unsaved changes, then loads macro `number` into the controls.
    void SelectMacro(int number);
    // Leaving the macro tab: asks about unsaved changes.
    void LeaveMacroTab();
    // SpeedButton5/6: copies user window 1 or 2's times into the macro's fields.
    void CopyUserWindow(int which);
    // The macro currently selected (for the file-set dialog).
    UserMacro& CurrentMacro();
    bool MacroNameEditable() const { return v.macroNumber > 2; }

    // BitBtn1Click: true when the dialog closes.
    bool Ok();
    // BitBtn2Click: true when the dialog closes.
    bool Cancel();
    // FormCloseQuery.
    bool CanClose() const { return MayClose; }
    // FormClose: the tab to show next time.
    void Closed(FeaturesTab current) { PageToShow = current; }

  private:
    void LoadControls();
    bool FillDevices();
    void FillFormats();
    // The unsaved-macro question; false when Yes met a window the check refused.
    bool AskMacroSave();
    void ShowTemperature();
    bool ReadTemperature(double& celsius) const;
    bool ApplySoundIo();

    MeasurementState& meas_;
    ProgramSettings& settings_;
    SettingsTree& tree_;
    const WaveDevices& devices_;
    Prompter& prompter_;
    std::string shownTemperature_;  // the text last shown, to tell an untouched field
    RoomParameters loadedRoom_;
};

}  // namespace fim
