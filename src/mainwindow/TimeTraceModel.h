#pragma once
// The impulse-response window's display state and every command that moves the analysis window
// (viewStart .. viewEnd, 1-based samples) and the two markers: mouse modes, clicks and drags on
// the trace and the overview, the marker cuts, FULL, the time windows around the peak, the
// absolute window, the peak marker, the latch and delay read-out, and the keyboard. It also
// keeps the read-out texts of the status bar and the large label up to date, so painting only
// reads it.
//
// Qt-free: the windows turn events into these calls, tests drive them directly.
// Thread: UI thread only.

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <utility>

#include "mainwindow/TracePoints.h"
#include "settings/SettingsRecords.h"
#include "spectrum/TimeWindow.h"

namespace fim {

struct MeasurementState;
class Prompter;

enum class MouseMode { CutLeft, CutRight, Marker1, Marker2 };

// The navigation and letter keys the trace window handles.
enum class TraceKey { PageUp, PageDown, End, Home, Left, Right, D, W, S, M, L, F, Other };

// Pages of the features dialog the letter keys open.
enum class FeaturesPage { Data, UserWindow, SoundIo, UserMacro };

// The four windows placed around the peak, in button order.
enum WindowSlot { kWindow10ms = 0, kWindow20ms = 1, kUserWindow1 = 2, kUserWindow2 = 3 };

struct ProgramSettings;

// Numbers in read-outs: the shortest fixed form that reads back exactly ("-2.5", "3", "0.1").
std::string ShortFloat(double value);

class TimeTraceModel {
  public:
    // Things the commands reach beyond the display. Empty functions do nothing.
    struct Host {
        std::function<void()> repaint;  // trace and overview
        std::function<void(FeaturesPage)> openFeatures;
        std::function<void()> openLevelSetup;
        std::function<void()> openFeedbackFinder;
    };

    TimeTraceModel(MeasurementState& meas, Prompter& prompter);

    // ---- state (fields of the main window) ----
    int32_t viewStart = 1;
    int32_t viewEnd = 1024;
    int32_t marker1 = 1;
    int32_t marker2 = 1024;
    double latchTime = 0.0;  // ms
    bool showDifferenceVisible = false;
    bool dbDisplay = false;
    bool measured = false;  // a response has been produced or loaded
    // Set once a response is there: the window buttons, FFT and the PROCESS and WINDOW menus
    // become usable.
    bool responseControlsEnabled = false;
    bool repeatChecked = false;  // REPEAT of the SETUP menu
    bool setupMenuEnabled = true;
    bool runMenuEnabled = true;
    bool metricUnits = true;  // ISO
    bool quickDraw = false;   // QUICKDRAW
    bool quickDelay = false;  // QDELAY
    std::array<TimeWindow, 4> windows;
    AbsoluteWindow absolute;
    ColorTable colors = ColorTable::Default();  // the time display uses entries 0–3 and 6
    Host host;

    // Read-outs (status panels 0, 2, 3, 4 and label1), kept by UpdateReadouts.
    std::string modeCaption;
    std::string marker1Text;
    std::string marker2Text;
    std::string differenceText;
    std::string label1;

    // Takes the display's settings: units, QUICKDRAW, QDELAY, user windows, colours, and the
    // stored last window as the analysis window and the markers.
    void UseSettings(const ProgramSettings& settings);
    // Gives back what the display changes: user windows, absolute window (with the current
    // analysis window as the last one) and colours.
    void StoreSettings(ProgramSettings& settings) const;
    // Takes the stored last window as the analysis window and the markers.
    void RestoreFrom(const AbsoluteWindow& stored);
    // Copies the current analysis window into the first two fields (done at shutdown).
    AbsoluteWindow ToStore() const;

    // ---- mouse mode ----
    MouseMode Mode() const { return mode_; }
    void SetMouseMode(MouseMode mode);
    // Set marker on peak, LATCH MARKER and SHOW DIFFERENCE work in the marker modes only.
    bool MarkerCommandsEnabled() const;

    // Brings the read-outs up to date with the view, the markers and the response: marker
    // positions, their difference, the active marker's value (a zero sample keeps the last one)
    // and the response controls. Every command calls it; the window calls it when the response
    // or the view changed from outside.
    void UpdateReadouts();
    // The impulse response as the display reads it (RLP); empty before the buffers exist.
    ResponseView Response() const;
    // Whether there is a response to show.
    bool HaveResponse() const;

    // ---- trace (x in pixels, width of the trace's client area) ----
    // Repairs the window: an inverted window becomes 1..1024, one narrower than 5 samples is
    // widened to 5.
    void NormalizeWindow();
    // The analysis window as NormalizeWindow would leave it, without changing the model.
    std::pair<int32_t, int32_t> ShownWindow() const;
    // Sample → x and value → y of the trace window of `width` × `height` pixels for a response
    // whose peak magnitude is `peakValue`.
    TimeMapper TraceMapper(int width, int height, double peakValue) const;
    double PixelsPerSample(int width) const;
    void TraceLeftDown(int x, int width);
    // While dragging: moves the band's free edge; false when not dragging.
    bool TraceMove(int x);
    void TraceLeftUp(int x, int width);
    bool Dragging() const { return dragging_; }
    int DragStartX() const { return dragStartX_; }
    int DragX() const { return dragX_; }

    // ---- overview ----
    void OverviewLeftDown(int x, int width);

    // ---- commands ----
    void CutRightMarker();
    void CutLeftMarker();
    void Full();
    // Places window `slot` around the peak; true when no check or limit failed.
    bool ApplyTimeWindow(int slot);
    void SetAsUser(int slot);  // kUserWindow1 or kUserWindow2
    void SaveAbsolute();
    void RecallAbsolute();
    void SetMarkerOnPeak();
    void LatchMarker();
    void ShowDifference();
    void KeyDown(TraceKey key);
    void SelectColorScheme(ColorScheme scheme);
    void SetDbDisplay(bool on);

    // ---- read-out texts ----
    // Status panels 2 and 3: time from sample 200 and the distance sound travels in it.
    std::string MarkerPositionText(int32_t sample) const;
    // Status panel 4: "D: " time and distance between the markers.
    std::string DifferenceReadout() const;
    // label1 for the active marker with sample value v; empty when v is zero.
    std::string ActiveMarkerReadout(int32_t sample, double v) const;
    // The active marker of label1: marker 2 in MARKER 2 mode, else marker 1.
    int32_t ActiveMarker() const { return mode_ == MouseMode::Marker2 ? marker2 : marker1; }
    // The text of the SHOW DIFFERENCE box for a delay in ms.
    std::string DifferenceMessage(double deltaMs) const;

    // Measurement values the commands use.
    int32_t N() const;
    int32_t Peak() const;
    double Fs() const;
    double SoundSpeed() const;
    int32_t Fft() const;

  private:
    void Repaint();
    int32_t& ModeMarker();
    int32_t OverviewSample(int x, int width) const;

    MeasurementState& meas_;
    Prompter& prompter_;
    MouseMode mode_ = MouseMode::Marker1;
    bool dragging_ = false;
    int dragStartX_ = 0;
    int dragX_ = 0;
};

}  // namespace fim
