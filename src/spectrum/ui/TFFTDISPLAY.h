#pragma once
// The frequency-response window: the plot with its menus, tool bars and the bottom value editor,
// and the commands for calibration, microphone correction, overlays, spectrum files, quick saves,
// presets, text export and printing. Its state and rules live in FrequencyWindowModel (spectrum,
// calibration and files, view); this class turns events into the model's calls and paints. The
// menus and tool bars are built in FrequencyWindowMenus.cpp.
//
// Stored traces: before every repaint the window emits beforePaint(); whoever draws traces
// rebuilds traceCurves() there (the main trace is rebuilt on every repaint).
//
// Thread: UI thread only. Created once on the first spectrum request; closing hides it.

#include <QMainWindow>
#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "settings/SettingsRecords.h"
#include "spectrum/AnalysisChoice.h"
#include "spectrum/CalibrationStore.h"
#include "spectrum/FrequencyDisplay.h"
#include "spectrum/FrequencyWindowModel.h"
#include "spectrum/SpectrumComputer.h"
#include "traces/SeatSet.h"

class QAction;
class QLabel;
class QMenu;
class QPrinter;
class QSpinBox;
class QToolButton;

namespace fim {

class Prompter;
class SettingsTree;
struct ProgramSettings;
struct Provenance;
class FrequencyPlotWidget;
class TForm7;
class TraceSet;

// What the window needs from the main window.
struct FrequencyWindowHooks {
    // Fills the impulse response, analysis window, FFT size, sample rate and pink flag; false
    // while there is no response.
    std::function<bool(SpectrumInput&)> input;
    // The impulse peak (1-based), for the "Snap" entries.
    std::function<int64_t()> peakIndex;
    // STOP/AGAIN: stops a repeating measurement or measures again; `repeating` tells which.
    std::function<void()> stopOrAgain;
    std::function<bool()> repeating;
    // Pauses a repeating measurement while a dialog is open (true) and resumes it (false).
    std::function<void(bool)> pauseRepeat;
    std::function<void()> bringMainForward;  // &TIME WINDOW
    std::function<void()> help;
    std::function<void()> info;      // FFT information screen, when there is one
    std::function<void()> finder;    // key "F", when there is a feedback finder
    std::function<void()> features;  // key "S", when there is a features dialog
    // SEAT SET: start a seat set and stop the one being measured (main window).
    std::function<void()> seatSet;
    std::function<void()> stopSeatSet;
    // The user's data folder: presets are saved into "templatch" below it (empty: the
    // application data location).
    std::string presetFolder;
    // Folder of the program: presets an older installation kept in "templatch" below it are
    // still offered.
    std::string programFolder;
    std::string quickSaveFolder;
};

class TFFTDISPLAY : public QMainWindow {
    Q_OBJECT
  public:
    TFFTDISPLAY(SettingsTree& settings, Prompter& prompter, ProgramSettings& program,
                FrequencyWindowHooks hooks, QWidget* parent = nullptr);
    ~TFFTDISPLAY() override;

    // Computes the spectrum of the main window's analysis window in `mode`, shows the window and
    // repaints. False (nothing changed) when there is no response or the input is refused.
    bool ShowSpectrum(AnalysisMode mode);
    // A macro replay's choice: mode, smoothing and files, applied with the next spectrum.
    void ApplyAnalysisChoice(const AnalysisChoice& choice);
    // MLS ONLY: a choice no spectrum has used yet is dropped.
    void ClearAnalysisChoice() { model_.ClearAnalysisChoice(); }

    // The clock label of the bottom bar; the main window's countdown clock writes it.
    QLabel* clockLabel() const { return clock_; }

    // --- seat set ---
    // A seat set's mean with its ± spread band and its farthest seat: a curve of its own,
    // rebuilt on every repaint until cleared, against the level reference of the SMOOTH
    // spectrum shown last. An empty set clears it.
    void ShowSeatSet(const SeatSet& set, const std::string& name);
    void ClearSeatSet();
    bool HasSeatSet() const { return seatSet_.size() > 0; }
    const SeatStatistics& seatStatistics() const { return seatStats_; }
    // The curves of the last paint (the seat set's mean, band and farthest seat).
    const std::vector<BandCurve>& bandCurves() const { return bands_; }
    // SAVE SEAT MEAN: the set's mean as an .SMR file chosen in a save dialog.
    void SAVESEATMEAN1Click();

    // --- parts the trace code, tests and the main window use ---
    std::vector<DrawableCurve>& traceCurves() { return traces_; }
    FrequencyWindowModel& model() { return model_; }
    FrequencyDisplay& display() { return model_.view; }
    CalibrationStore& store() { return model_.store; }
    SpectrumComputer& computer() { return model_.computer; }
    QWidget* plot() const;
    QAction* action(const QString& name) const;
    QSpinBox* valueEditor() const { return wert_; }
    QLabel* editorLabel() const { return editorLabel_; }
    QMenu* editorPopup() const { return popup_; }
    QToolButton* toolButton(const QString& name) const;
    // The colour set painted now (the display set).
    ColorTable& colours();
    // The six trace objects (traces 1 … 5 and the main trace) and the trace manager window,
    // which exists once the trace manager button was first pressed.
    TraceSet& traceSet() { return *traceSet_; }
    TForm7* traceManager() const { return traceManager_; }

    // Paints the plot as the window shows it into an image (tests, screenshots).
    void PaintTo(QPainter& painter, const QRect& rect, bool printing, bool inColour,
                 const std::string& header);

    // --- commands (menu handlers) ---
    void SAVE1Click();
    void SASCII1Click();
    // What produced the displayed curve, for the stamp on exports.
    Provenance provenance() const;
    void QuickSave(int slot);
    void OverlayQuickSave(int slot);
    void PresetSave(const std::string& name);
    void PRINT1Click();
    // The printout's header line: message 312 and the date and time in message 311's pattern.
    std::string PrintHeader() const;
    // Prints one page onto `printer` (already set up); the header carries the date and time.
    void PrintTo(QPrinter& printer, bool inColour);
    void LOAD2Click();
    bool LoadOverlay(const std::string& path);
    void SHOWOVERLAY1Click();
    void FlipCurve1Click();
    void SETCOLOR1Click();
    void LOADCAL1Click();
    void SAVEASCAL1Click();
    void USECAL1Click();
    void MicButtonClick();
    void LOADMICCALDATA1Click();
    void EDITMICDATA1Click();
    void LoadRecentCalibration(const std::string& path);
    void Snap(int userMacro);  // 1 … 10
    // The trace manager button: shows or hides the trace manager window.
    void TRACEMANAGERClick(bool show);
    void SelectMode(EditorMode mode, bool popUp = true);
    void ChoosePopup(const PopupEntry& entry);
    void Repaint();
    // Recomputes the display spectrum after calibration, smoothing or gain changes.
    void Rebuild();

  signals:
    // Emitted before each repaint: rebuild traceCurves() now.
    void beforePaint();

  protected:
    void showEvent(QShowEvent* e) override;
    void closeEvent(QCloseEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;

  private:
    friend class FrequencyPlotWidget;
    void buildMenus();
    void buildToolBars();
    void readSettings();
    void writeSettings();
    std::string presetFolder() const;
    void updateCalibrationUi();
    void updateOverlayUi();
    void updateRecentMenus();
    void syncEditor();
    bool handleKey(int key);
    void pause(bool on);
    // Every repaint: rebuilds the main trace and the trace curves.
    void rebuildTraces();

    SettingsTree& settings_;
    Prompter& prompter_;
    ProgramSettings& program_;
    FrequencyWindowHooks hooks_;
    FrequencyWindowModel model_;
    std::vector<DrawableCurve> traces_;
    SeatSet seatSet_;
    SeatStatistics seatStats_;
    std::string seatName_;
    double seatReference_ = 1.0;  // level reference of the last SMOOTH spectrum
    std::vector<BandCurve> bands_;
    std::unique_ptr<TraceSet> traceSet_;
    TForm7* traceManager_ = nullptr;
    QAction* traceManagerAction_ = nullptr;
    std::vector<SmoothRecord> micScratch_, noiseMicScratch_;
    ColorTable printoutColours_;
    bool opened_ = false;

    FrequencyPlotWidget* plot_ = nullptr;
    QSpinBox* wert_ = nullptr;
    QLabel* editorLabel_ = nullptr;
    QLabel* clock_ = nullptr;
    QMenu* popup_ = nullptr;
    QMenu* recentCal_ = nullptr;
    QMenu* recentOverlay_ = nullptr;
    QMenu* presets_ = nullptr;
    QAction* useCal_ = nullptr;
    QAction* showOverlay_ = nullptr;
    QAction* flip_ = nullptr;
    QAction* phase_ = nullptr;
    QAction* noiseFloor_ = nullptr;
    QAction* greyNearNoise_ = nullptr;
    QAction* eqBorders_ = nullptr;
    QAction* stopAgain_ = nullptr;
    QAction* mic_ = nullptr;
    bool updatingEditor_ = false;
};

}  // namespace fim
