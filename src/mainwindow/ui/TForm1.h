#pragma once
// The program's main window: tool bar, impulse-response display, main menu and the seven-panel
// status bar. It owns the sound devices (the real cards and the Virtual Room), the measurement
// run controller and the impulse-file commands, and shows what a run reports (RunView).

#include <QMainWindow>
#include <QPointer>
#include <QStringList>
#include <array>
#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "audio/RunController.h"
#include "audio/RunView.h"
#include "audio/SoundFilePlayer.h"
#include "audio/VirtualRoom.h"
#include "base/ScriptedPrompter.h"
#include "base/SettingsTree.h"
#include "core/Recovery.h"
#include "macros/MacroReplay.h"
#include "macros/SeatRun.h"
#include "macros/ui/TMakroinfo.h"
#include "settings/ProgramSettings.h"

class QAction;
class QIcon;
class QActionGroup;
class QLabel;
class QMenu;
class QTimer;
class QToolButton;

namespace fim {

struct MeasurementState;
class Prompter;
class TimeTraceView;
class DeviceSet;
class FileTypeRegistrar;
class ImpulseFiles;
class PeakQuestionDialog;
class SpectrumComputer;
class TFFTDISPLAY;
class TFEATURES;
class TForm4;
class TFBFDISP;
class RingOutWindow;
class TTFL;
class ClockPanel;
class RoomAcousticsWindow;
class TForm6;
class TSMALLINFO;
enum class FeaturesTab;

struct TForm1Options {
    // Where the settings live; null gives an empty in-memory tree that is not kept (and no
    // first-start questions).
    std::unique_ptr<SettingsTree> settings;
    // List the system's sound cards (PortAudio) before the Virtual Room.
    bool realDevices = true;
    RoomParameters room;
    // The command line (program name first): one argument naming a file loads it.
    QStringList arguments;
    // Registers the program's file types when they are missing (a program not installed);
    // null: nothing is registered.
    std::shared_ptr<const FileTypeRegistrar> fileTypes;
    // The countdown clock's time (days since 1899-12-30, local); empty: the system's clock.
    std::function<double()> clockSource;
    // Plays the clock's alarm sound; null: the system's default output through PortAudio.
    std::unique_ptr<SoundFilePlayer> alarmPlayer;
};

// The level indicator's glyph as an icon.
QIcon LevelGlyphIcon(LevelGlyph glyph);

class TForm1 : public QMainWindow,
               public RunView,
               public RunHost,
               public MacroHost,
               public SeatRunHost {
    Q_OBJECT
  public:
    TForm1(MeasurementState& meas, std::unique_ptr<Prompter> prompter, TForm1Options options,
           QWidget* parent = nullptr);
    ~TForm1() override;

    // --- parts tests and the start-up look at ---
    TimeTraceView* view() const { return view_; }
    QLabel* statusPanelLabel(int i) const { return panels_.at(static_cast<std::size_t>(i)); }
    QLabel* label1() const { return label1_; }
    QLabel* clockPanel() const { return pUhr_; }
    QLabel* levelIndicator() const { return lanz_; }
    LevelGlyph levelGlyph() const { return glyph_; }
    // A menu-bar menu or item by its object name ("DATA1", "MLSONLY1", "AGAIN1", …).
    QAction* action(const QString& name) const;
    QToolButton* speedButton(const QString& name) const;
    RunController& controller() { return *controller_; }
    ImpulseFiles& files() { return *files_; }
    SettingsTree& settings() { return *settings_; }
    Prompter& prompter() { return *prompter_; }
    bool measured() const;

    // Loads a time or wave file as the command line or a recent item does; false when refused.
    bool loadFile(const std::string& path);
    // The FFT command: refuses a window wider than the FFT size, else computes the spectrum and
    // shows it in the frequency-response window.
    void FFT1Click();
    // SMOOTH FFT: the same with the smoothed analysis.
    void SMOOTHFFT1Click();
    // The frequency-response window, created on the first spectrum request; null before.
    TFFTDISPLAY* frequencyWindow() const { return fftWindow_.get(); }
    // The FEATURES command: the features dialog on `tab` (the tab it was last closed on when
    // none is named), with the devices closed around it when a measurement was made.
    void FEATURES1Click(std::optional<FeaturesTab> tab = std::nullopt);
    TFEATURES* featuresDialog() const { return features_.get(); }
    // LEVEL SETUP (SETUP menu, key L): the level setup window, created on first use.
    void LEVELSETUP1Click();
    TForm4* levelSetupWindow() const { return levelSetup_.get(); }
    // FEEDBACKFINDER (RUN menu, key F here and in the frequency window): a finder run in its
    // window, created on first use.
    void DOFBF();
    TFBFDISP* finderWindow() const { return finder_.get(); }
    // The ring-out list beside the finder, fed with its captures (created with the finder).
    RingOutWindow* ringOutWindow() const { return ringOut_; }
    // PROCESS > Time Level Diagram: the diagram window (created on first use) brought forward.
    void TIMELEVEL1Click();
    // PROCESS > ROOM ACOUSTICS (Ctrl+R): decay times and clarity of the response per band.
    void ROOMACOUSTICS1Click();
    TTFL* timeLevelWindow() const { return tfl_; }
    RoomAcousticsWindow* roomAcousticsWindow() const { return acoustics_; }
    // INFO, Ctrl+I, the "i" button and a click on the status bar: the system information screen.
    void INFO1Click();
    TForm6* systemInfo() const { return form6_; }
    // The frequency window's INFO: the FFT information screen.
    void showFftInfo();
    TSMALLINFO* fftInfo() const { return smallInfo_; }
    // The countdown clock behind the clock panel.
    ClockPanel& countdown() { return *countdown_; }

    // The RUN menu's macro captions and the macro buttons' hints from the macro names (at
    // start-up and whenever the features dialog saved a macro).
    void refreshMacroCaptions();
    // The macro summary popup while it is shown (right button held on a macro button), else null.
    TMakroinfo* macroInfo() const { return macroInfo_; }

    // --- RunView ---
    void SetStatusPanel(int panel, const std::string& text) override;
    std::string StatusPanel(int panel) const override;
    void RedrawImpulse() override;
    void SetLevelGlyph(LevelGlyph glyph) override;
    void SetDriftReport(const std::string& text, bool warn) override;
    // The run's drift settings from the program settings (the features dialog may change them).
    void takeDriftSettings();
    void SetControlEnabled(RunControl control, bool enabled) override;
    void SetControlVisible(RunControl control, bool visible) override;
    void SetControlChecked(RunControl control, bool checked) override;
    void SetAgainCaption(const std::string& caption) override;
    void SetAveragingCaption(const std::string& caption) override;
    void SetAveragingCount(int count) override;
    void SetBusy(bool busy) override;
    void ShowPleaseWait(bool shown) override;
    void SetPinkIndicator(bool preparing) override;
    void RepaintImpulse() override;
    void RunComplete() override;

    // --- RunHost ---
    void OpenSoundSettings() override;
    void Terminate() override;
    void Beep() override;
    PeakQuestion* PeakQuestioner() override;
    void ShowFrequencyResponse(std::optional<AnalysisMode> mode,
                               std::optional<AnalysisWindow> window) override;
    void ClearAnalysisChoice() override;

    // --- MacroHost ---
    void ApplyAnalysisChoice(const AnalysisChoice& choice) override;
    void ClampWindow(int fftSize, int period) override;

    // --- seat sets (MainWindowSeats.cpp) ---
    // SEAT SET (RUN menu and the frequency window's GRAPH menu): the "Seat Set" dialog chooses
    // macro, seats and the time to move, then a save dialog the set's folder, and seat 1 is
    // measured. A given plan skips the "Seat Set" dialog (and, with a folder, the save dialog).
    void SEATSET1Click(std::optional<SeatRunPlan> plan = std::nullopt);
    // STOP SEAT SET: ends the set; the seats measured so far stay saved and make the mean.
    void STOPSEATSET1Click();
    SeatRun& seatRun() { return *seatRun_; }
    QLabel* seatPanel() const { return seatPanel_; }
    VirtualRoom& room() { return *room_; }

    // --- SeatRunHost ---
    void PrepareSeat(int seat) override;
    std::optional<SeatSpectrum> MeasuredSpectrum() override;
    void StartCountdown(int seconds) override;
    void CancelCountdown() override;
    void Cue(SeatCue cue) override;
    void SeatSetChanged() override;
    void ShowSeatStatus(const std::string& text) override;

    // The "please wait" box shown while the devices and the signal are prepared.
    QLabel* pleaseWaitBox() const { return pleaseWait_; }

  signals:
    // A run finished with a new impulse response.
    void measurementFinished();

  protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    class Wakeup;
    void buildToolBar();
    void buildMenus();
    void buildStatusBar();
    void loadSettings();
    void saveSettings();
    void selectAveraging(int count);
    void changeMlsOrder(int order);
    void showRecentFiles();
    void afterResponseChanged();
    TFFTDISPLAY& ensureFrequencyWindow();
    bool openSpectrum(AnalysisMode mode);
    void showReadouts();
    void offerShortcuts();
    void openHelp();
    void showAbout();
    void createFeatures();
    void featuresApplied();
    void queueSoundSettings();
    QAction* addItem(QMenu* menu, const char* name, const QString& caption,
                     const QKeySequence& shortcut = {});
    QToolButton* addSpeedButton(const char* name, const QString& caption, const QString& hint,
                                QAction* repeats);

    MeasurementState& meas_;
    std::unique_ptr<Prompter> prompter_;
    std::unique_ptr<SettingsTree> settings_;
    std::vector<std::unique_ptr<WaveDevices>> backEnds_;
    std::unique_ptr<DeviceSet> devices_;
    std::unique_ptr<Wakeup> wakeup_;
    std::unique_ptr<RunController> controller_;
    std::unique_ptr<MacroReplay> macroReplay_;    // after controller_: it leaves first
    std::unique_ptr<SeatRun> seatRun_;            // after macroReplay_: it leaves first
    SeatRunPlan seatPlan_;                        // the plan the dialog offers next
    std::optional<RoomParameters> seatRoomBase_;  // the Virtual Room before its seats moved it
    void restoreSeatRoom();
    QLabel* seatPanel_ = nullptr;
    std::unique_ptr<ImpulseFiles> files_;
    std::unique_ptr<PeakQuestionDialog> peakQuestion_;
    std::unique_ptr<TFFTDISPLAY> fftWindow_;
    AnalysisMode lastAnalysis_ = AnalysisMode::Fft;
    bool resumeRepeat_ = false;  // a repeating run was stopped for a frequency-window dialog
    std::unique_ptr<TFEATURES> features_;
    std::unique_ptr<TForm4> levelSetup_;
    std::unique_ptr<TFBFDISP> finder_;
    RingOutWindow* ringOut_ = nullptr;
    TTFL* tfl_ = nullptr;  // child windows, created on first use
    RoomAcousticsWindow* acoustics_ = nullptr;
    TForm6* form6_ = nullptr;
    ClockPanel* countdown_ = nullptr;
    TSMALLINFO* smallInfo_ = nullptr;
    VirtualRoom* room_ = nullptr;
    bool soundSettingsQueued_ = false;

    TimeTraceView* view_ = nullptr;
    QLabel* pUhr_ = nullptr;
    QLabel* label1_ = nullptr;
    QLabel* lanz_ = nullptr;
    QLabel* pleaseWait_ = nullptr;
    LevelGlyph glyph_ = LevelGlyph::Ok;
    std::array<QLabel*, 7> panels_{};
    QLabel* driftPanel_ = nullptr;  // clock drift of the last run, red above the threshold
    QMenu* runMenu_ = nullptr;
    QMenu* setupMenu_ = nullptr;
    QMenu* averagingMenu_ = nullptr;
    QMenu* windowMenu_ = nullptr;
    QAction* again_ = nullptr;
    std::array<QAction*, 8> averagingItems_{};
    std::array<QAction*, 4> recentItems_{};
    std::array<QAction*, kUserMacroCount> macroItems_{};        // RUN menu: macros 1 … 12
    std::array<QToolButton*, kUserMacroCount> macroButtons_{};  // Speaker in Room … M10
    QPointer<TMakroinfo> macroInfo_;
    QTimer* watchdog_ = nullptr;
    ProgramSettings program_;
    ScriptedPrompter loadNotices_;
    std::shared_ptr<const FileTypeRegistrar> fileTypes_;
    bool lastingSettings_ = false;
    bool firstStart_ = false;
    bool activated_ = false;
    bool mlsOrderApplied_ = false;
    bool autoMinimise_ = false;
    bool warnMlsChange_ = true;
};

}  // namespace fim
