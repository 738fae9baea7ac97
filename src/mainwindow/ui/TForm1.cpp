// src/mainwindow/: the main window TForm1 with the time trace, its markers and analysis windows
// (TimeTraceModel and its painter), the menus and tool bars, the countdown clock and the
// main window's own small rules (MainShell).

#include "mainwindow/ui/TForm1.h"

#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFont>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QMenuBar>
#include <QMessageBox>
#include <QMetaObject>
#include <QMouseEvent>
#include <QPointer>
#include <QStandardPaths>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QUrl>
#include <algorithm>
#include <chrono>
#include <cmath>

#include "acoustics/ui/RoomAcousticsWindow.h"
#include "audio/DeviceSet.h"
#include "audio/ImpulseFiles.h"
#include "audio/platform/PortAudioDevices.h"
#include "audio/platform/PortAudioSoundPlayer.h"
#include "audio/ui/TForm4.h"
#include "auxwindows/ui/TForm6.h"
#include "auxwindows/ui/TSMALLINFO.h"
#include "auxwindows/ui/TTFL.h"
#include "base/Catalog.h"
#include "base/FileTexts.h"
#include "base/MemorySettingsTree.h"
#include "base/Prompter.h"
#include "base/ui/paint/QtBoundary.h"
#include "core/MeasurementState.h"
#include "finder/ui/RingOutWindow.h"
#include "finder/ui/TFBFDISP.h"
#include "macros/MacroTexts.h"
#include "macros/ui/TMakroinfo.h"
#include "mainwindow/CountdownClock.h"
#include "mainwindow/MainShell.h"
#include "mainwindow/ui/ClockPanel.h"
#include "mainwindow/ui/PeakQuestionDialog.h"
#include "mainwindow/ui/TSettime.h"
#include "mainwindow/ui/TimeTraceView.h"
#include "settings/platform/FirstStart.h"
#include "settings/ui/TFEATURES.h"
#include "spectrum/SpectrumComputer.h"
#include "spectrum/ui/TFFTDISPLAY.h"

static void InitMainWindowResources() { Q_INIT_RESOURCE(mainwindow); }

namespace fim {

// Wakes the GUI thread from a device thread: posts one queued call that drains the controller's
// event ring; further wake-ups before it ran are folded into it.
class TForm1::Wakeup : public UiWakeup {
  public:
    explicit Wakeup(TForm1* form) : form_(form) {}
    void Wake() noexcept override {
        if (pending_.exchange(true)) return;
        QMetaObject::invokeMethod(
            form_,
            [this] {
                pending_.store(false);
                if (form_->controller_) form_->controller_->DispatchDeviceEvents();
            },
            Qt::QueuedConnection);
    }

  private:
    TForm1* form_;
    std::atomic<bool> pending_{false};
};

TForm1::TForm1(MeasurementState& meas, std::unique_ptr<Prompter> prompter, TForm1Options options,
               QWidget* parent)
    : QMainWindow(parent),
      meas_(meas),
      prompter_(std::move(prompter)),
      settings_(std::move(options.settings)),
      fileTypes_(std::move(options.fileTypes)) {
    InitMainWindowResources();
    setWindowTitle(QString::fromLatin1(kApplicationTitle));
    setMinimumSize(800, 470);
    resize(1000, 620);

    // 1. Run flags.
    meas_.RunActive = false;

    // 2.–3. Windows, menus and captions from the catalog.
    view_ = new TimeTraceView(meas_, *prompter_, this);
    setCentralWidget(view_);
    buildToolBar();
    buildMenus();
    buildStatusBar();
    peakQuestion_ = std::make_unique<PeakQuestionDialog>([this] { openHelp(); }, this);
    connect(view_, &TimeTraceView::readoutsChanged, this, &TForm1::showReadouts);

    // 4. The settings store; an empty one marks the first start.
    // Without a lasting store every start would look like the first one: no shortcut questions.
    lastingSettings_ = settings_ != nullptr;
    if (!settings_) settings_ = std::make_unique<MemorySettingsTree>();

    // Devices: the system's cards first, the Virtual Room always (with its stored parameters).
    if (options.realDevices) backEnds_.push_back(std::make_unique<PortAudioDevices>());
    RoomParameters roomParameters = options.room;
    roomParameters.Load(*settings_);
    auto room = std::make_unique<VirtualRoom>(roomParameters);
    room_ = room.get();
    backEnds_.push_back(std::move(room));
    std::vector<WaveDevices*> list;
    for (auto& b : backEnds_) list.push_back(b.get());
    devices_ = std::make_unique<DeviceSet>(std::move(list));
    wakeup_ = std::make_unique<Wakeup>(this);
    controller_ = std::make_unique<RunController>(meas_, *devices_, *settings_, *prompter_, *this,
                                                  *this, wakeup_.get());
    macroReplay_ = std::make_unique<MacroReplay>(*controller_, meas_, *prompter_, *this, *this);
    seatRun_ = std::make_unique<SeatRun>(*macroReplay_, *controller_, meas_, *prompter_, *this);
    files_ = std::make_unique<ImpulseFiles>(meas_, *prompter_);
    createFeatures();

    // 5.–8. Stored settings.
    loadSettings();
    macroReplay_->SetMacros(&program_.Macros);
    seatRun_->SetMacros(&program_.Macros);
    refreshMacroCaptions();
    view_->model().SetMouseMode(MouseMode::Marker1);

    // 9. Peak magnitude for the empty display; the countdown clock starts.
    meas_.ImpulsePeakValue = 0.3;
    countdown_ =
        new ClockPanel(pUhr_, program_.Clock, options.clockSource ? options.clockSource : NowAsDays,
                       options.alarmPlayer ? std::move(options.alarmPlayer)
                                           : std::make_unique<PortAudioSoundPlayer>(),
                       *prompter_, *settings_, this);
    countdown_->Start();

    // 10. A file named on the command line.
    if (options.arguments.size() == 2 && QFileInfo(options.arguments[1]).isFile()) {
        loadFile(options.arguments[1].toStdString());
    }

    // 11. The measurement engine with the loaded settings (devices stay closed until a run).
    watchdog_ = new QTimer(this);
    watchdog_->setInterval(500);
    connect(watchdog_, &QTimer::timeout, this, [this] {
        controller_->CheckStalled(std::chrono::steady_clock::now());
        seatRun_->CheckRun();
    });
    watchdog_->start();
    showRecentFiles();
    showReadouts();
    view_->setFocus();
}

TForm1::~TForm1() {
    // The live windows hold the controller's devices; they let go of them first.
    levelSetup_.reset();
    finder_.reset();
    if (controller_ && meas_.RunActive) controller_->StopRun();
    // The controller talks to the devices; it goes before them.
    controller_.reset();
    devices_.reset();
    backEnds_.clear();
}

// --- settings ----------------------------------------------------------------------------------

void TForm1::loadSettings() {
    SettingsEnvironment env;
    // Notices of the loader (settings unreadable, updated) wait until the window is on screen,
    // so that no box runs before the window can be closed.
    env.prompter = &loadNotices_;
    env.fileExists = [](const std::string& path) {
        return QFileInfo(QString::fromStdString(path)).isFile();
    };
    env.currentDir = QDir::currentPath().toStdString();
    // The file types are registered first; a missing registration also marks a first start.
    if (fileTypes_ != nullptr && RegisterFileTypesIfMissing(*fileTypes_, loadNotices_)) {
        firstStart_ = lastingSettings_;
    }
    const SettingsLoadReport report = LoadMainSettings(*settings_, program_, meas_, env);
    if (report.firstStart) firstStart_ = firstStart_ || lastingSettings_;
    autoMinimise_ = program_.AutoMinimize;
    warnMlsChange_ = program_.WarnMlsChange;
    // The stored pink choice is the one MLS ONLY and DIRECT come back to after a macro.
    controller_->SavedPinkMls = meas_.PinkMls;
    changeMlsOrder(meas_.MlsOrder);
    action(QStringLiteral("AUTORESET1"))->setChecked(meas_.AutoReset);
    for (auto it = program_.RecentFiles.rbegin(); it != program_.RecentFiles.rend(); ++it) {
        if (it->size() > 1) files_->recent.Add(*it);
    }
    files_->folder = program_.DataFolder;
    if (program_.FileMode == 1 || program_.FileMode == 2) files_->filterIndex = program_.FileMode;

    // The devices: with none stored, the system's defaults (or the Virtual Room). A stored
    // device that is not there opens the features dialog once the window shows.
    StoreDefaultDevices(*settings_, *devices_);
    if (FindInputDevice(*devices_, settings_->ReadString("INCARD").value_or("")) < 0 ||
        FindOutputDevice(*devices_, settings_->ReadString("OUTCARD").value_or("")) < 0) {
        queueSoundSettings();
    }

    LoadLateSettings(*settings_, program_, meas_);
    view_->model().UseSettings(program_);
    const WindowGeometry& g = program_.Geometry;
    if (settings_->HasValue("Breite")) {
        setGeometry(g.Left, g.Top, std::max(g.Width, 800), std::max(g.Height, 470));
    }
    selectAveraging(meas_.AveragesTarget);
}

void TForm1::saveSettings() {
    view_->model().StoreSettings(program_);
    TakeSharedValues(*settings_, program_);
    program_.RecentFiles = {};
    const auto& entries = files_->recent.Entries();
    for (std::size_t i = 0; i < entries.size() && i < program_.RecentFiles.size(); ++i) {
        program_.RecentFiles[i] = entries[i].path;
    }
    program_.DataFolder = files_->folder;
    program_.FileMode = files_->filterIndex;
    program_.AutoMinimize = autoMinimise_;
    program_.WarnMlsChange = warnMlsChange_;
    const QRect r = geometry();
    program_.Geometry = {r.width(), r.height(), r.top(), r.left()};
    const TimeTraceModel& m = view_->model();
    // A macro run still going plays its own signal; the user's choice is the one kept.
    const bool pink = meas_.PinkMls;
    meas_.PinkMls = controller_->SavedPinkMls;
    // A failed save leaves the old settings file as it was, and says where it is.
    const bool saved = SaveProgramSettings(*settings_, program_, meas_, m.viewStart, m.viewEnd);
    meas_.PinkMls = pink;
    if (!saved) {
        prompter_->Inform(Msg(39), FileMessage(FileText::CannotWrite) + settings_->Location(),
                          PromptIcon::Stop);
    }
}

void TForm1::refreshMacroCaptions() {
    for (std::size_t i = 0; i < macroItems_.size(); ++i) {
        // A name is text, not a mnemonic: "R&D" shows as written.
        QString caption = Q(MacroMenuCaption(program_.Macros[i]));
        macroItems_[i]->setText(caption.replace(QLatin1Char('&'), QStringLiteral("&&")));
        if (i >= 2) macroButtons_[i]->setToolTip(Q(MacroButtonHint(program_.Macros[i])));
    }
}

// --- commands ----------------------------------------------------------------------------------

void TForm1::selectAveraging(int count) { controller_->SelectAveraging(count); }

void TForm1::changeMlsOrder(int order) {
    // The start-up applies the stored order without asking.
    const bool warn = mlsOrderApplied_ && warnMlsChange_;
    mlsOrderApplied_ = true;
    controller_->ChangeMlsOrder(order, warn);
}

bool TForm1::loadFile(const std::string& path) {
    if (!controller_->LoadResponse([this, &path] { return files_->LoadRecentFile(path); })) {
        return false;
    }
    files_->AddRecentFile(path);
    afterResponseChanged();
    showRecentFiles();
    SetStatusPanel(5, files_->loadedName);
    return true;
}

void TForm1::afterResponseChanged() {
    TimeTraceModel& m = view_->model();
    if (m.viewEnd > meas_.MlsSize - 1 || !m.measured) {
        m.viewStart = 1;
        m.viewEnd = std::min(1024, std::max(2, meas_.MlsSize - 1));
    }
    m.measured = true;
    action(QStringLiteral("FFT1"))->setEnabled(true);
    action(QStringLiteral("SMOOTHFFT1"))->setEnabled(true);
    action(QStringLiteral("FFTWINDOW1"))->setEnabled(true);
    action(QStringLiteral("TIMELEVEL1"))->setEnabled(true);
    action(QStringLiteral("ROOMACOUSTICS1"))->setEnabled(true);
    view_->refresh();
}

void TForm1::showRecentFiles() {
    const auto& entries = files_->recent.Entries();
    for (std::size_t i = 0; i < recentItems_.size(); ++i) {
        const bool used = i < entries.size() && entries[i].path.size() > 1;
        recentItems_[i]->setVisible(used);
        if (used) recentItems_[i]->setText(Q(entries[i].path));
    }
}

void TForm1::FFT1Click() {
    const TimeTraceModel& m = view_->model();
    if (!WindowFitsFft(m.viewStart, m.viewEnd, meas_.FftSize)) {
        prompter_->Inform(Msg(11), Msg(10), PromptIcon::Information);
        return;
    }
    openSpectrum(AnalysisMode::Fft);
}

void TForm1::SMOOTHFFT1Click() {
    const TimeTraceModel& m = view_->model();
    if (!WindowFitsFft(m.viewStart, m.viewEnd, kSmoothFftSize)) {
        prompter_->Inform(Msg(11), Msg(10), PromptIcon::Information);
        return;
    }
    openSpectrum(AnalysisMode::Smooth);
}

TFFTDISPLAY& TForm1::ensureFrequencyWindow() {
    if (fftWindow_) return *fftWindow_;
    FrequencyWindowHooks hooks;
    hooks.input = [this](SpectrumInput& in) {
        if (!meas_.ImpulseValid || !meas_.buffers.Allocated()) return false;
        const TimeTraceModel& m = view_->model();
        in.impulse = meas_.buffers.RLPd();
        in.impulseCount = static_cast<std::size_t>(std::max(0, meas_.MlsSize - 1));
        in.viewStart = m.viewStart;
        in.viewEnd = m.viewEnd;
        in.fftSize = meas_.FftSize;
        in.sampleRate = meas_.SampleRate;
        in.pinkMls = meas_.PinkMls;
        // The run's noise, when the response in the buffer is the run's averaged one.
        if (const auto noise = meas_.Noise.Estimate(); noise.size() >= in.impulseCount) {
            in.noise = noise.data();
            in.noisePeriods = meas_.Noise.EstimatePeriods();
        }
        return true;
    };
    hooks.peakIndex = [this] { return static_cast<int64_t>(meas_.ImpulsePeakIndex); };
    hooks.stopOrAgain = [this] { controller_->AGAIN1Click(); };
    hooks.repeating = [this] { return meas_.RunActive && controller_->Repeat; };
    // A repeating measurement stops while a file dialog of the frequency window is open (the
    // response must not change under it) and starts again afterwards.
    hooks.pauseRepeat = [this](bool on) {
        if (on) {
            resumeRepeat_ = meas_.RunActive && controller_->Repeat;
            if (resumeRepeat_) controller_->StopRun();
            return;
        }
        if (std::exchange(resumeRepeat_, false)) macroReplay_->ResumeRepeat();
    };
    hooks.bringMainForward = [this] {
        showNormal();
        raise();
        activateWindow();
    };
    hooks.help = [this] { openHelp(); };
    hooks.info = [this] { showFftInfo(); };
    hooks.features = [this] { FEATURES1Click(); };
    hooks.finder = [this] { DOFBF(); };
    hooks.seatSet = [this] { SEATSET1Click(); };
    hooks.stopSeatSet = [this] { STOPSEATSET1Click(); };
    fftWindow_ = std::make_unique<TFFTDISPLAY>(*settings_, *prompter_, program_, std::move(hooks));
    countdown_->SetSecondLabel(fftWindow_->clockLabel());
    return *fftWindow_;
}

bool TForm1::openSpectrum(AnalysisMode mode) {
    TFFTDISPLAY& w = ensureFrequencyWindow();
    if (!w.ShowSpectrum(mode)) return false;
    lastAnalysis_ = mode;
    const SpectrumComputer& c = w.computer();
    SetStatusPanel(6, SpectrumPeakText(c.PeakFrequency(), c.PeakLevel()));
    if (autoMinimise_ && !isMinimized()) showMinimized();
    return true;
}

void TForm1::TIMELEVEL1Click() {
    if (!tfl_) {
        tfl_ = new TTFL(
            [this](TflInput& in) {
                if (!meas_.ImpulseValid || !meas_.buffers.Allocated()) return false;
                const auto count = static_cast<std::size_t>(std::max(0, meas_.MlsSize - 1));
                in.impulse = std::span<const double>(meas_.buffers.RLPd(), count);
                in.start = view_->model().viewStart;
                return true;
            },
            this);
    }
    tfl_->showNormal();
    tfl_->raise();
    tfl_->activateWindow();
    // Offscreen and some window managers give no activation: the diagram is current either way.
    tfl_->FormActivate();
}

void TForm1::ROOMACOUSTICS1Click() {
    if (!acoustics_) {
        acoustics_ = new RoomAcousticsWindow(
            [this](AcousticsInput& in) {
                if (!meas_.ImpulseValid || !meas_.buffers.Allocated()) return false;
                const auto count = static_cast<std::size_t>(std::max(0, meas_.MlsSize - 1));
                in.response = std::span<const double>(meas_.buffers.RLPd(), count);
                in.sampleRate = meas_.SampleRate;
                return true;
            },
            *prompter_, this);
    }
    acoustics_->showNormal();
    acoustics_->raise();
    acoustics_->activateWindow();
    // Offscreen and some window managers give no activation: the values are current either way.
    acoustics_->FormActivate();
}

void TForm1::INFO1Click() {
    if (!form6_) {
        form6_ = new TForm6(
            [this] {
                SystemInfoInput in;
                in.sampleRate = meas_.SampleRate;
                in.atcMode = meas_.AtcMode;
                in.peakSync = meas_.PeakSync;
                in.averages = meas_.AveragesTarget;
                in.metric = view_->model().metricUnits;
                in.soundSpeed = meas_.SoundSpeed;
                in.inputDevice = settings_->ReadString("INCARD").value_or("");
                in.outputDevice = settings_->ReadString("OUTCARD").value_or("");
                in.driftMeasured = meas_.DriftMeasured;
                in.driftPpm = meas_.DriftPpm;
                in.driftCorrected = meas_.DriftCorrected;
                in.driftWarningPpm = program_.DriftWarningPpm;
                in.memory = ReadMemoryStatus();
                in.quickDraw = view_->model().quickDraw;
                in.quickDelay = view_->model().quickDelay;
                in.autoMinimize = autoMinimise_;
                in.warnMlsChange = warnMlsChange_;
                in.warnSampleRate = program_.WarnSampleRate;
                in.warnAveraging = program_.WarnAveraging;
                in.warnCal = program_.WarnCal;
                return in;
            },
            [this] { FEATURES1Click(); }, this);
    }
    form6_->show();
    form6_->Fill();
    form6_->raise();
    form6_->activateWindow();
}

void TForm1::showFftInfo() {
    if (!smallInfo_) {
        smallInfo_ = new TSMALLINFO(
            [this] {
                SmallInfoInput in;
                in.fftSize = meas_.FftSize;
                in.mlsOrder = meas_.MlsOrder;
                in.sampleRate = meas_.SampleRate;
                in.runKind = controller_->RunKind;
                in.macros = &program_.Macros;
                in.viewStart = view_->model().viewStart;
                in.viewEnd = view_->model().viewEnd;
                in.soundSpeed = meas_.SoundSpeed;
                in.metric = view_->model().metricUnits;
                return in;
            },
            fftWindow_ ? static_cast<QWidget*>(fftWindow_.get()) : this);
    }
    smallInfo_->show();
    smallInfo_->FormActivate();
    smallInfo_->raise();
    smallInfo_->activateWindow();
}

void TForm1::ShowFrequencyResponse(std::optional<AnalysisMode> mode,
                                   std::optional<AnalysisWindow> window) {
    afterResponseChanged();
    if (window) {
        TimeTraceModel& m = view_->model();
        m.viewStart = window->start;
        m.viewEnd = window->end;
        view_->refresh();
    }
    openSpectrum(mode.value_or(lastAnalysis_));
}

void TForm1::ApplyAnalysisChoice(const AnalysisChoice& choice) {
    ensureFrequencyWindow().ApplyAnalysisChoice(choice);
    lastAnalysis_ = choice.mode;
}

void TForm1::ClearAnalysisChoice() {
    if (fftWindow_) fftWindow_->ClearAnalysisChoice();
}

void TForm1::ClampWindow(int fftSize, int period) {
    TimeTraceModel& m = view_->model();
    ClampAnalysisWindow(m.viewStart, m.viewEnd, fftSize, period);
    view_->refresh();
}

void TForm1::openHelp() {
    const QString name = QString::fromStdString(HelpFileName());
    const QString base = QFileInfo(name).completeBaseName() + QStringLiteral(".html");
    const QString target = QDir(QStandardPaths::writableLocation(QStandardPaths::TempLocation))
                               .filePath(QStringLiteral("fim-") + base);
    QFile::remove(target);
    if (!QFile::copy(QStringLiteral(":/mainwindow/help/") + base, target)) return;
    QFile::setPermissions(target, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    QDesktopServices::openUrl(QUrl::fromLocalFile(target));
}

void TForm1::showAbout() {
    prompter_->Inform(Msg(52), std::string(kApplicationTitle) + "\r" + Msg(0),
                      PromptIcon::Information);
}

void TForm1::offerShortcuts() {
    const std::string exe = QCoreApplication::applicationFilePath().toStdString();
    const std::string entry = DesktopEntry(exe, kApplicationTitle);
    auto write = [&entry](const QString& folder) {
        if (folder.isEmpty()) return;
        QDir().mkpath(folder);
        QFile f(QDir(folder).filePath(QStringLiteral("fim.desktop")));
        if (f.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
            f.write(entry.data(), static_cast<qint64>(entry.size()));
            f.close();
            f.setPermissions(f.permissions() | QFileDevice::ExeOwner);
        }
    };
    if (prompter_->Ask(kApplicationTitle, Msg(297), PromptButtons::YesNo, PromptIcon::Question) ==
        PromptAnswer::Yes) {
        write(QStandardPaths::writableLocation(QStandardPaths::DesktopLocation));
    }
    if (prompter_->Ask(kApplicationTitle, Msg(298), PromptButtons::YesNo, PromptIcon::Question) ==
        PromptAnswer::Yes) {
        write(QStandardPaths::writableLocation(QStandardPaths::ApplicationsLocation));
    }
}

// --- window events -----------------------------------------------------------------------------

void TForm1::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    view_->refresh();
    if (activated_) return;
    activated_ = true;
    if (!loadNotices_.shown.empty()) {
        QTimer::singleShot(0, this, [this] {
            const auto notices = std::move(loadNotices_.shown);
            loadNotices_.shown.clear();
            for (const auto& n : notices) prompter_->Ask(n.caption, n.text, n.buttons, n.icon);
        });
    }
    if (firstStart_) {
        firstStart_ = false;
        // Asked once the window is on screen.
        QTimer::singleShot(0, this, [this] { offerShortcuts(); });
    }
}

void TForm1::closeEvent(QCloseEvent* event) {
    if (levelSetup_ && levelSetup_->isVisible()) levelSetup_->close();
    if (finder_ && finder_->isVisible()) finder_->close();
    // The frequency window writes its values (and its recent lists) before the main window's.
    if (fftWindow_ && fftWindow_->isVisible()) fftWindow_->close();
    seatRun_->Stop();
    restoreSeatRoom();
    saveSettings();
    if (meas_.RunActive) controller_->StopRun();
    controller_->MIR1Click();  // releases both devices; errors here never stop the close
    watchdog_->stop();
    countdown_->Stop();
    event->accept();
}

void TForm1::keyPressEvent(QKeyEvent* event) {
    if (!view_->handleKey(event)) QMainWindow::keyPressEvent(event);
}

bool TForm1::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonPress &&
        (watched == statusBar() ||
         std::find(panels_.begin(), panels_.end(), watched) != panels_.end())) {
        INFO1Click();
        return true;
    }
    const auto it = std::find(macroButtons_.begin(), macroButtons_.end(), watched);
    const bool press = event->type() == QEvent::MouseButtonPress;
    if (it == macroButtons_.end() || (!press && event->type() != QEvent::MouseButtonRelease) ||
        static_cast<QMouseEvent*>(event)->button() != Qt::RightButton) {
        return QMainWindow::eventFilter(watched, event);
    }
    // The summary shows while the right button is held on a macro button.
    if (macroInfo_) macroInfo_->close();
    if (press) {
        const auto m = static_cast<std::size_t>(it - macroButtons_.begin());
        macroInfo_ = new TMakroinfo(program_.Macros[m], this);
        macroInfo_->move((*it)->mapToGlobal(QPoint(0, (*it)->height())));
        macroInfo_->show();
    } else {
        activateWindow();  // the keys (F5 …) go to this window again
    }
    return true;
}

void TForm1::showReadouts() {
    const TimeTraceModel& m = view_->model();
    // A running measurement's "Sampling in action" stays until the run restores the panel.
    if (!meas_.RunActive) panels_[0]->setText(Q(m.modeCaption));
    panels_[2]->setText(Q(m.marker1Text));
    panels_[3]->setText(Q(m.marker2Text));
    panels_[4]->setText(Q(m.differenceText));
    label1_->setText(Q(m.label1));
    windowMenu_->setEnabled(m.responseControlsEnabled);
}

// --- features dialog ---------------------------------------------------------------------------

void TForm1::createFeatures() {
    features_ =
        std::make_unique<TFEATURES>(meas_, program_, *settings_, *devices_, *prompter_, this);
    FeaturesModel::Host& h = features_->model().host;
    h.changeMlsOrder = [this](int order) {
        const int before = meas_.MlsOrder;
        changeMlsOrder(order);
        return meas_.MlsOrder != before;
    };
    h.invalidateData = [this] { controller_->MarkImpulseStale(); };
    h.reopenDevices = [this] { meas_.DevicesClosed = true; };
    h.roomChanged = [this](const RoomParameters& p) {
        // The room takes new parameters only while its devices are closed.
        if (meas_.RunActive) controller_->StopRun();
        meas_.DevicesClosed = true;
        controller_->MIR1Click();
        RoomParameters q = p;
        q.realTime = room_->Parameters().realTime;
        room_->SetParameters(q);
    };
    h.applied = [this] { featuresApplied(); };
    h.refreshMacros = [this] { refreshMacroCaptions(); };
    view_->model().host.openLevelSetup = [this] { LEVELSETUP1Click(); };
    view_->model().host.openFeedbackFinder = [this] { DOFBF(); };
    view_->model().host.openFeatures = [this](FeaturesPage page) {
        switch (page) {
            case FeaturesPage::Data:
                FEATURES1Click(FeaturesTab::Data);
                break;
            case FeaturesPage::UserWindow:
                FEATURES1Click(FeaturesTab::UserWindow);
                break;
            case FeaturesPage::SoundIo:
                FEATURES1Click(FeaturesTab::SoundIo);
                break;
            case FeaturesPage::UserMacro:
                FEATURES1Click(FeaturesTab::UserMacro);
                break;
        }
    };
}

void TForm1::FEATURES1Click(std::optional<FeaturesTab> tab) {
    if (features_->isVisible()) {
        features_->raise();
        features_->activateWindow();
        return;
    }
    // A run in progress stops first, measured or not: OK may change the MLS size and the sample
    // format under it. So does a live tool that holds the devices.
    if (meas_.RunActive) controller_->StopRun();
    if (levelSetup_ && levelSetup_->model().IsOpen()) levelSetup_->close();
    if (finder_ && finder_->model().IsOpen()) finder_->close();
    if (measured()) {
        meas_.DevicesClosed = true;
        controller_->MIR1Click();
    }
    // The dialog edits what the main window holds now.
    view_->model().StoreSettings(program_);
    program_.AutoMinimize = autoMinimise_;
    program_.WarnMlsChange = warnMlsChange_;
    features_->model().currentRoom = room_->Parameters();
    features_->ShowOn(tab);
    // The measurement engine again: releases what the new settings no longer fit.
    controller_->MIR1Click();
}

void TForm1::featuresApplied() {
    autoMinimise_ = program_.AutoMinimize;
    warnMlsChange_ = program_.WarnMlsChange;
    controller_->SavedPinkMls = meas_.PinkMls;
    action(QStringLiteral("AUTORESET1"))->setChecked(meas_.AutoReset);
    TimeTraceModel& m = view_->model();
    m.metricUnits = program_.Metric;
    m.quickDraw = program_.QuickDraw;
    m.quickDelay = program_.QuickDelay;
    m.windows[kUserWindow1] = program_.User1;
    m.windows[kUserWindow2] = program_.User2;
    view_->refresh();
    showReadouts();
}

// --- live tools --------------------------------------------------------------------------------

void TForm1::LEVELSETUP1Click() {
    if (!levelSetup_) {
        levelSetup_ = std::make_unique<TForm4>(meas_, *controller_, *this, *prompter_, this);
        levelSetup_->openSettings = [this] { FEATURES1Click(); };
    }
    if (levelSetup_->isVisible()) {
        levelSetup_->raise();
        levelSetup_->activateWindow();
        return;
    }
    // One live tool at a time: they take the same devices.
    if (finder_ && finder_->model().IsOpen()) finder_->close();
    levelSetup_->move(geometry().topLeft());
    levelSetup_->Start();
}

void TForm1::DOFBF() {
    if (!finder_) {
        finder_ = std::make_unique<TFBFDISP>(meas_, *controller_, *this, *prompter_,
                                             program_.Finder, this);
        finder_->openSettings = [this] { FEATURES1Click(FeaturesTab::Finder); };
        ringOut_ = new RingOutWindow(*settings_, *prompter_, this);
        connect(finder_.get(), &TFBFDISP::captureAnalysed, ringOut_,
                [this](const FinderCapture& c) { ringOut_->AddCapture(c); });
    }
    if (finder_->isVisible()) {
        finder_->raise();
        return;
    }
    if (levelSetup_ && levelSetup_->model().IsOpen()) levelSetup_->close();
    if (finder_->Start() && !ringOut_->isVisible()) {
        // The list opens beside the finder, below it.
        ringOut_->move(finder_->frameGeometry().bottomLeft() + QPoint(0, 8));
        ringOut_->show();
    }
}

void TForm1::queueSoundSettings() {
    if (soundSettingsQueued_) return;
    soundSettingsQueued_ = true;
    QTimer::singleShot(0, this, [this] {
        soundSettingsQueued_ = false;
        FEATURES1Click(FeaturesTab::SoundIo);
    });
}

// --- RunHost -----------------------------------------------------------------------------------

void TForm1::OpenSoundSettings() {
    // Called while the run controller sets the devices up: the dialog opens once that returned.
    queueSoundSettings();
}

void TForm1::Terminate() { QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection); }

void TForm1::Beep() { QApplication::beep(); }

PeakQuestion* TForm1::PeakQuestioner() { return peakQuestion_.get(); }

}  // namespace fim
