// The main window's menus, tool bar, speed buttons and status bar: built once, each entry
// connected to its TForm1 command.

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

#include "audio/DeviceSet.h"
#include "audio/ImpulseFiles.h"
#include "audio/platform/PortAudioDevices.h"
#include "audio/platform/PortAudioSoundPlayer.h"
#include "auxwindows/ui/TForm6.h"
#include "auxwindows/ui/TSMALLINFO.h"
#include "auxwindows/ui/TTFL.h"
#include "base/Catalog.h"
#include "base/FileTexts.h"
#include "base/MemorySettingsTree.h"
#include "base/Prompter.h"
#include "base/ui/paint/QtBoundary.h"
#include "core/MeasurementState.h"
#include "macros/MacroTexts.h"
#include "macros/ui/TMakroinfo.h"
#include "mainwindow/CountdownClock.h"
#include "mainwindow/MainShell.h"
#include "mainwindow/ui/PeakQuestionDialog.h"
#include "mainwindow/ui/TForm1.h"
#include "mainwindow/ui/TSettime.h"
#include "mainwindow/ui/TimeTraceView.h"
#include "settings/ui/TFEATURES.h"
#include "spectrum/SpectrumComputer.h"
#include "spectrum/ui/TFFTDISPLAY.h"

namespace fim {

namespace {

constexpr int kPanelWidths[7] = {150, 60, 90, 90, 100, 150, 150};

QFont ReadoutFont() {
    QFont f = NamedFont(QFont());
    f.setPixelSize(19);
    return f;
}

}  // namespace

QIcon LevelGlyphIcon(LevelGlyph glyph) {
    switch (glyph) {
        case LevelGlyph::Clip:
            return QIcon(QStringLiteral(":/mainwindow/level_clip.svg"));
        case LevelGlyph::Low:
            return QIcon(QStringLiteral(":/mainwindow/level_low.svg"));
        case LevelGlyph::Ok:
            break;
    }
    return QIcon(QStringLiteral(":/mainwindow/level_ok.svg"));
}

// --- layout ------------------------------------------------------------------------------------

QToolButton* TForm1::addSpeedButton(const char* name, const QString& caption, const QString& hint,
                                    QAction* repeats) {
    auto* b = new QToolButton(this);
    b->setObjectName(QString::fromLatin1(name));
    b->setText(caption);
    b->setToolTip(hint);
    b->setAutoRaise(true);
    b->setFocusPolicy(Qt::NoFocus);
    if (repeats) {
        connect(b, &QToolButton::clicked, repeats, &QAction::trigger);
        connect(repeats, &QAction::enabledChanged, b, &QToolButton::setEnabled);
        b->setEnabled(repeats->isEnabled());
    }
    return b;
}

void TForm1::buildToolBar() {
    auto* tools = addToolBar(QStringLiteral("tools"));
    tools->setObjectName(QStringLiteral("ToolBar1"));
    tools->setMovable(false);
    tools->setFloatable(false);
    tools->setFixedHeight(31);
    tools->setContextMenuPolicy(Qt::PreventContextMenu);

    pUhr_ = new QLabel(QStringLiteral("0:00"), tools);
    pUhr_->setObjectName(QStringLiteral("pUhr"));
    pUhr_->setFont(ReadoutFont());
    pUhr_->setFixedWidth(88);
    pUhr_->setAlignment(Qt::AlignCenter);
    pUhr_->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    tools->addWidget(pUhr_);

    label1_ = new QLabel(tools);
    label1_->setObjectName(QStringLiteral("label1"));
    label1_->setFont(ReadoutFont());
    label1_->setMinimumWidth(150);
    // The speed buttons are added in buildMenus once the actions they repeat exist.
}

QAction* TForm1::addItem(QMenu* menu, const char* name, const QString& caption,
                         const QKeySequence& shortcut) {
    QAction* a = menu->addAction(caption);
    a->setObjectName(QString::fromLatin1(name));
    if (!shortcut.isEmpty()) a->setShortcut(shortcut);
    return a;
}

void TForm1::buildMenus() {
    QMenuBar* bar = menuBar();

    // DATA
    QMenu* data = bar->addMenu(M(53));
    data->menuAction()->setObjectName(QStringLiteral("DATA1"));
    QAction* load = addItem(data, "LOADTIMEFILE1", M(54), QKeySequence(Qt::CTRL | Qt::Key_L));
    connect(load, &QAction::triggered, this, [this] {
        if (controller_->LoadResponse([this] { return files_->LoadTimeFileCommand(); })) {
            afterResponseChanged();
            SetStatusPanel(5, files_->loadedName);
        }
        showRecentFiles();
    });
    QAction* save = addItem(data, "SAVETIMEFILE1", M(55), QKeySequence(Qt::CTRL | Qt::Key_S));
    connect(save, &QAction::triggered, this, [this] { files_->SaveTimeFileCommand(); });
    QAction* exit = addItem(data, "EXIT1", M(56), QKeySequence(Qt::CTRL | Qt::Key_X));
    connect(exit, &QAction::triggered, this, &QWidget::close);
    data->addSeparator();
    for (int i = 0; i < 4; ++i) {
        const std::string name = "FILE" + std::to_string(i + 1);
        recentItems_[i] = addItem(data, name.c_str(), QString());
        connect(recentItems_[i], &QAction::triggered, this, [this, i] {
            const auto& entries = files_->recent.Entries();
            if (static_cast<std::size_t>(i) < entries.size()) loadFile(entries[i].path);
        });
    }

    // PROCESS
    QMenu* process = bar->addMenu(M(57));
    process->menuAction()->setObjectName(QStringLiteral("PROCESS1"));
    QAction* fft = addItem(process, "FFT1", M(58), QKeySequence(Qt::CTRL | Qt::Key_F));
    connect(fft, &QAction::triggered, this, &TForm1::FFT1Click);
    QAction* smooth = addItem(process, "SMOOTHFFT1", M(59));
    connect(smooth, &QAction::triggered, this, &TForm1::SMOOTHFFT1Click);
    smooth->setEnabled(false);
    QAction* diagram = addItem(process, "TIMELEVEL1", M(248));
    connect(diagram, &QAction::triggered, this, &TForm1::TIMELEVEL1Click);
    diagram->setEnabled(false);
    QAction* acoustics = addItem(process, "ROOMACOUSTICS1", QStringLiteral("ROOM ACOUSTICS"),
                                 QKeySequence(Qt::CTRL | Qt::Key_R));
    connect(acoustics, &QAction::triggered, this, &TForm1::ROOMACOUSTICS1Click);
    acoustics->setEnabled(false);
    fft->setEnabled(false);

    // WINDOW
    windowMenu_ = bar->addMenu(M(60));
    windowMenu_->menuAction()->setObjectName(QStringLiteral("WINDOW1"));
    view_->addWindowMenuItems(windowMenu_);

    // AVERAGING
    averagingMenu_ = bar->addMenu(M(63));
    averagingMenu_->menuAction()->setObjectName(QStringLiteral("AVERAGING1"));
    averagingMenu_->setToolTipsVisible(true);
    auto* group = new QActionGroup(this);
    for (std::size_t i = 0; i < kAveragingCounts.size(); ++i) {
        const int count = kAveragingCounts[i];
        const QString caption = i == 0 ? M(64) : QStringLiteral("%1 Samples").arg(count);
        const std::string name = "AVERAGE" + std::to_string(count);
        averagingItems_[i] = addItem(averagingMenu_, name.c_str(), caption);
        averagingItems_[i]->setCheckable(true);
        group->addAction(averagingItems_[i]);
        connect(averagingItems_[i], &QAction::triggered, this,
                [this, count] { selectAveraging(count); });
    }
    averagingMenu_->addSeparator();
    QAction* autoReset = addItem(averagingMenu_, "AUTORESET1", QStringLiteral("AUTO RESET"));
    autoReset->setCheckable(true);
    connect(autoReset, &QAction::triggered, this, [this] { controller_->AUTORESET1Click(); });

    // RUN
    runMenu_ = bar->addMenu(M(235));
    runMenu_->menuAction()->setObjectName(QStringLiteral("RUN1"));
    QAction* mlsOnly = addItem(runMenu_, "MLSONLY1", M(65));
    connect(mlsOnly, &QAction::triggered, this, [this] {
        takeDriftSettings();
        controller_->NORMALClick();
    });
    QAction* direct = addItem(runMenu_, "DIRECT1", M(66));
    connect(direct, &QAction::triggered, this, [this] { controller_->DIRECT1Click(); });
    QAction* rta = addItem(runMenu_, "RTA1", M(233));
    rta->setVisible(false);
    QAction* finder = addItem(runMenu_, "FEEDBACKFINDER1", M(254));
    connect(finder, &QAction::triggered, this, &TForm1::DOFBF);
    QAction* seatSet = addItem(runMenu_, "SEATSET1", QStringLiteral("SEAT SET..."));
    connect(seatSet, &QAction::triggered, this, [this] { SEATSET1Click(); });
    QAction* stopSeats = addItem(runMenu_, "STOPSEATSET1", QStringLiteral("STOP SEAT SET"));
    stopSeats->setEnabled(false);
    connect(stopSeats, &QAction::triggered, this, &TForm1::STOPSEATSET1Click);
    // SPEAKER IN ROOM, DIRECT ELECTRIC, USER 1 … USER 4 on F5 … F10, then USER 5 … USER 10;
    // their captions are the macros' names (refreshMacroCaptions).
    for (int i = 0; i < kUserMacroCount; ++i) {
        const std::string name = "MACRO" + std::to_string(i + 1);
        QAction* item = addItem(runMenu_, name.c_str(), QString(),
                                i < 6 ? QKeySequence(Qt::Key_F5 + i) : QKeySequence());
        connect(item, &QAction::triggered, this, [this, i] { macroReplay_->RunMacro(i + 1); });
        macroItems_[static_cast<std::size_t>(i)] = item;
    }

    // SETUP: opening it stops a run in progress.
    setupMenu_ = bar->addMenu(M(67));
    setupMenu_->menuAction()->setObjectName(QStringLiteral("SETUP1"));
    connect(setupMenu_, &QMenu::aboutToShow, this, [this] {
        if (meas_.RunActive) controller_->StopRun();
    });
    QAction* level = addItem(setupMenu_, "LEVELSETUP1", M(68));
    connect(level, &QAction::triggered, this, &TForm1::LEVELSETUP1Click);
    QAction* features = addItem(setupMenu_, "FEATURES1", M(69));
    connect(features, &QAction::triggered, this, [this] { FEATURES1Click(); });
    QAction* repeat = addItem(setupMenu_, "REPEAT1", M(70));
    repeat->setCheckable(true);
    connect(repeat, &QAction::triggered, this, [this] { controller_->REPEAT1Click(); });
    QMenu* color = setupMenu_->addMenu(M(71));
    color->menuAction()->setObjectName(QStringLiteral("COLOR1"));
    view_->addColorMenuItems(color);

    // AGAIN: hidden until a run offers it.
    again_ = bar->addAction(M(185));
    again_->setObjectName(QStringLiteral("AGAIN1"));
    again_->setVisible(false);
    connect(again_, &QAction::triggered, this, [this] {
        takeDriftSettings();
        controller_->AGAIN1Click();
    });

    // FFT &WINDOW: brings the frequency-response window forward (computing the spectrum when
    // there is none yet).
    QAction* fftWindow = bar->addAction(M(73));
    fftWindow->setObjectName(QStringLiteral("FFTWINDOW1"));
    fftWindow->setEnabled(false);
    connect(fftWindow, &QAction::triggered, this, [this] {
        if (fftWindow_ && fftWindow_->computer().DataValid()) {
            fftWindow_->showNormal();
            fftWindow_->raise();
            fftWindow_->activateWindow();
        } else if (lastAnalysis_ == AnalysisMode::Smooth) {
            SMOOTHFFT1Click();
        } else {
            FFT1Click();
        }
    });

    // HELP
    QMenu* help = bar->addMenu(M(50));
    help->menuAction()->setObjectName(QStringLiteral("HELP1"));
    connect(addItem(help, "HELP2", M(50)), &QAction::triggered, this, &TForm1::openHelp);
    connect(addItem(help, "ABOUT1", M(52)), &QAction::triggered, this, &TForm1::showAbout);
    QAction* info =
        addItem(help, "INFO1", QStringLiteral("INFO"), QKeySequence(Qt::CTRL | Qt::Key_I));
    connect(info, &QAction::triggered, this, &TForm1::INFO1Click);

    // The speed buttons repeat these commands.
    auto* tools = findChild<QToolBar*>(QStringLiteral("ToolBar1"));
    tools->addWidget(addSpeedButton("MLSOnlyButton", QStringLiteral("MLS"), M(65), mlsOnly));
    tools->addWidget(addSpeedButton("FFTButton", QStringLiteral("FFT"), M(58), fft));
    tools->addWidget(addSpeedButton("SmoothButton", QStringLiteral("SFFT"), M(59), smooth));
    tools->addWidget(addSpeedButton("DirectButton", QStringLiteral("DIR"), M(66), direct));
    // The macro buttons: Measure Speaker in Room, Direct electric, M1 … M10 (macros 1 … 12). A
    // click replays the macro; the right button held shows its summary.
    for (int i = 0; i < kUserMacroCount; ++i) {
        QToolButton* b =
            i == 0   ? addSpeedButton("RoomButton", QStringLiteral("SiR"), M(118), nullptr)
            : i == 1 ? addSpeedButton("ElectricButton", QStringLiteral("DE"), M(119), nullptr)
                     : addSpeedButton(("M" + std::to_string(i - 1) + "Button").c_str(),
                                      QStringLiteral("M%1").arg(i - 1), QString(), nullptr);
        connect(b, &QToolButton::clicked, this, [this, i] { macroReplay_->RunMacro(i + 1); });
        b->installEventFilter(this);
        macroButtons_[static_cast<std::size_t>(i)] = b;
        tools->addWidget(b);
    }
    tools->addWidget(label1_);
    auto* spacer = new QWidget(tools);
    spacer->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    tools->addWidget(spacer);
    tools->addWidget(addSpeedButton("ShowSettingsButton", QStringLiteral("i"), M(127), info));
    QToolButton* goFft =
        addSpeedButton("GoFftButton", QStringLiteral("\u2192FFT"), M(128), fftWindow);
    tools->addWidget(goFft);
    lanz_ = new QLabel(tools);
    lanz_->setObjectName(QStringLiteral("lanz"));
    lanz_->setToolTip(M(234));
    lanz_->setFixedSize(26, 26);
    lanz_->setPixmap(LevelGlyphIcon(LevelGlyph::Ok).pixmap(24, 24));
    tools->addWidget(lanz_);
}

void TForm1::buildStatusBar() {
    for (int i = 0; i < 7; ++i) {
        auto* l = new QLabel(this);
        l->setObjectName(QStringLiteral("Panel%1").arg(i));
        l->setFixedWidth(kPanelWidths[i]);
        l->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        statusBar()->addWidget(l);
        panels_[static_cast<std::size_t>(i)] = l;
        l->installEventFilter(this);  // a click opens the system information screen
    }
    driftPanel_ = new QLabel(this);
    driftPanel_->setObjectName(QStringLiteral("DriftPanel"));
    driftPanel_->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    statusBar()->addWidget(driftPanel_);
    seatPanel_ = new QLabel(this);
    seatPanel_->setObjectName(QStringLiteral("SeatPanel"));
    seatPanel_->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    seatPanel_->hide();  // shown by the first seat set
    statusBar()->addWidget(seatPanel_);
    statusBar()->installEventFilter(this);
}

void TForm1::takeDriftSettings() {
    controller_->DriftCorrection = program_.DriftCorrection;
    controller_->DriftWarningPpm = program_.DriftWarningPpm;
}

void TForm1::SetDriftReport(const std::string& text, bool warn) {
    driftPanel_->setText(Q(text));
    driftPanel_->setStyleSheet(warn ? QStringLiteral("color: #c00000; font-weight: bold")
                                    : QString());
}

QAction* TForm1::action(const QString& name) const { return findChild<QAction*>(name); }

QToolButton* TForm1::speedButton(const QString& name) const {
    return findChild<QToolButton*>(name);
}

bool TForm1::measured() const { return view_->model().measured; }

}  // namespace fim
