#include "spectrum/ui/TFFTDISPLAY.h"

#include <QActionGroup>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QColorDialog>
#include <QCursor>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPainter>
#include <QPrintDialog>
#include <QFont>
#include <QPrinter>
#include <QPrinterInfo>
#include <QProcess>
#include <QSpinBox>
#include <QStandardPaths>
#include <QToolBar>
#include <QToolButton>
#include <algorithm>
#include <filesystem>

#include "core/AtomicFile.h"
#include "settings/ProgramSettings.h"
#include "settings/SettingsTree.h"
#include "shell/Catalog.h"
#include "shell/Prompter.h"
#include "spectrum/AsciiExport.h"
#include "spectrum/Provenance.h"
#include "auxwindows/InfoScreens.h"
#include "core/MeasurementState.h"
#include "spectrum/ui/FrequencyPainter.h"
#include "traces/TraceSet.h"
#include "traces/ui/TForm7.h"

namespace fim {

namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }
QString M(int n) { return Q(Msg(n)); }

std::string UpperExtension(const std::string& path) {
    std::string ext = std::filesystem::path(path).extension().string();
    for (char& ch : ext) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
    return ext;
}

bool FileExists(const std::string& path) {
    std::error_code ec;
    return !path.empty() && std::filesystem::is_regular_file(path, ec);
}

// Printouts without colour: black lines and text on white paper, grey grid.
ColorTable DefaultPrintoutColours() {
    ColorTable t = ColorTable::Default();
    t.entries[kFreqBackground] = 0xFFFFFF;
    t.entries[1] = 0x000000;
    t.entries[kFreqGrid] = 0xA0A0A0;
    t.entries[kFreqText] = 0x000000;
    t.entries[kFreqCurve] = 0x000000;
    t.entries[kFreqPhase] = 0x606060;
    t.entries[6] = 0x000000;
    t.entries[kFreqOverlay] = 0x808080;
    t.entries[kFreqMarker] = 0x000000;
    t.entries[kFreqStatus] = 0x000000;
    return t;
}

std::string FilterFor(int message, const char* pattern) { return Msg(message) + " (" + pattern + ")"; }

}  // namespace

// The plot: paints through the window and turns mouse events into zoom and marker calls.
class FrequencyPlotWidget : public QWidget {
  public:
    explicit FrequencyPlotWidget(TFFTDISPLAY* w) : QWidget(w), w_(w) {
        setMinimumSize(300, 180);
        setFocusPolicy(Qt::StrongFocus);
        setAttribute(Qt::WA_OpaquePaintEvent);
    }

  protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        w_->PaintTo(p, rect(), false, true, {});
    }
    void mousePressEvent(QMouseEvent* e) override {
        if (e->button() != Qt::LeftButton) return;
        pressX_ = e->position().toPoint().x();
        w_->view_.ZoomPress(pressX_);
    }
    void mouseMoveEvent(QMouseEvent* e) override {
        if (!w_->view_.zooming) return;
        w_->view_.ZoomMove(e->position().toPoint().x());
        update();
    }
    void mouseReleaseEvent(QMouseEvent* e) override {
        if (e->button() != Qt::LeftButton) return;
        const int x = e->position().toPoint().x();
        if (!w_->view_.ZoomRelease(x, width(), height()) && std::abs(x - pressX_) <= 2)
            w_->view_.SetMarkerAt(x, width(), height());
        w_->syncEditor();
        update();
    }
    void resizeEvent(QResizeEvent*) override { update(); }

  private:
    TFFTDISPLAY* w_;
    int pressX_ = 0;
};

TFFTDISPLAY::TFFTDISPLAY(SettingsTree& settings, Prompter& prompter, ProgramSettings& program,
                         FrequencyWindowHooks hooks, QWidget* parent)
    : QMainWindow(parent),
      settings_(settings),
      prompter_(prompter),
      program_(program),
      hooks_(std::move(hooks)),
      store_(prompter),
      printoutColours_(DefaultPrintoutColours()) {
    setObjectName(QStringLiteral("TFFTDISPLAY"));
    setWindowTitle(QStringLiteral("MIV FFT"));
    traceSet_ = std::make_unique<TraceSet>(&settings_, &prompter_);
    connect(this, &TFFTDISPLAY::beforePaint, this, [this] { rebuildTraces(); });
    plot_ = new FrequencyPlotWidget(this);
    setCentralWidget(plot_);
    buildMenus();
    buildToolBars();
    readSettings();
    plot_->installEventFilter(this);
    wert_->installEventFilter(this);
    SelectMode(EditorMode::Smoothing, false);
}

TFFTDISPLAY::~TFFTDISPLAY() {
    // The trace manager works on the trace set: it goes first.
    delete traceManager_;
}

QWidget* TFFTDISPLAY::plot() const { return plot_; }

QAction* TFFTDISPLAY::action(const QString& name) const {
    return findChild<QAction*>(name);
}

QToolButton* TFFTDISPLAY::toolButton(const QString& name) const {
    return findChild<QToolButton*>(name);
}

ColorTable& TFFTDISPLAY::colours() { return program_.Colors; }

// ------------------------------------------------------------------ menus and tool bars

void TFFTDISPLAY::buildMenus() {
    QMenuBar* bar = menuBar();
    auto item = [this](QMenu* menu, const char* name, const QString& caption,
                       const QKeySequence& key, auto slot) {
        QAction* a = menu->addAction(caption);
        a->setObjectName(QString::fromLatin1(name));
        if (!key.isEmpty()) a->setShortcut(key);
        connect(a, &QAction::triggered, this, slot);
        return a;
    };
    using K = QKeySequence;

    QMenu* graph = bar->addMenu(M(150));
    graph->menuAction()->setObjectName(QStringLiteral("GRAPH1"));
    item(graph, "SAVE1", M(151), K(Qt::CTRL | Qt::Key_S), [this] { SAVE1Click(); });
    item(graph, "SASCII1", M(279), {}, [this] { SASCII1Click(); });
    item(graph, "QUICKSAVE11", M(152), K(Qt::Key_F1), [this] { QuickSave(1); });
    item(graph, "QUICKSAVE21", M(153), K(Qt::Key_F2), [this] { QuickSave(2); });
    item(graph, "PRINT1", M(154), K(Qt::CTRL | Qt::Key_P), [this] { PRINT1Click(); });
    item(graph, "EXIT1", M(155), K(Qt::CTRL | Qt::Key_F4), [this] { close(); });

    QMenu* layout = bar->addMenu(M(174));
    layout->menuAction()->setObjectName(QStringLiteral("LAYOUT1"));
    item(layout, "LEFT1", M(156), K(Qt::Key_F5), [this] { SelectMode(EditorMode::Left); });
    item(layout, "RIGHT1", M(157), K(Qt::Key_F6), [this] { SelectMode(EditorMode::Right); });
    item(layout, "GAIN1", M(158), K(Qt::Key_F8), [this] { SelectMode(EditorMode::Gain); });
    item(layout, "SCALE1", M(159), K(Qt::Key_F7), [this] { SelectMode(EditorMode::Scale); });
    item(layout, "SMOOTHING1", M(160), {}, [this] { SelectMode(EditorMode::Smoothing); });
    item(layout, "LINESGAP1", M(161), K(Qt::CTRL | Qt::Key_G),
         [this] { SelectMode(EditorMode::LinesGap); });
    item(layout, "OVERLAYGAIN1", M(162), {}, [this] { SelectMode(EditorMode::OverlayGain); });
    layout->addSeparator();
    item(layout, "DEFAULT1", M(163), K(Qt::CTRL | Qt::Key_D), [this] {
        view_.Default();
        syncEditor();
        Repaint();
    });
    item(layout, "FIT1", M(164), K(Qt::CTRL | Qt::Key_F), [this] {
        view_.Fit();
        syncEditor();
        Repaint();
    });
    item(layout, "AUTOCENTER1", M(165), K(Qt::CTRL | Qt::Key_A), [this] {
        computer_.RequestAutoGain();
        Rebuild();
    });
    eqBorders_ = item(layout, "EQBORDERS1", M(166), {}, [this] {
        view_.eqStyle = !view_.eqStyle;
        eqBorders_->setText(M(view_.eqStyle ? 167 : 166));
        Repaint();
    });
    layout->addSeparator();
    QMenu* snap = layout->addMenu(M(314));
    snap->menuAction()->setObjectName(QStringLiteral("SNAP1"));
    connect(snap, &QMenu::aboutToShow, this, [this, snap] {
        const auto entries = snap->actions();
        for (int i = 0; i < entries.size(); ++i)
            entries[i]->setText(QStringLiteral("M%1: ").arg(i + 1) +
                                Q(program_.Macros[static_cast<std::size_t>(i) + 2].name));
    });
    for (int i = 1; i <= 10; ++i) {
        const std::string name = "Snap" + std::to_string(i);
        item(snap, name.c_str(), QStringLiteral("M%1").arg(i), {}, [this, i] { Snap(i); });
    }

    QMenu* show = bar->addMenu(M(173));
    show->menuAction()->setObjectName(QStringLiteral("SHOW1"));
    phase_ = item(show, "PHASERESPONSE1", M(175), {}, [this] {
        view_.phaseShown = phase_->isChecked();
        Repaint();
    });
    phase_->setCheckable(true);
    showOverlay_ = item(show, "SHOWOVERLAY1", M(176), K(Qt::CTRL | Qt::Key_O),
                        [this] { SHOWOVERLAY1Click(); });
    showOverlay_->setCheckable(true);
    flip_ = item(show, "FlipCurve1", M(177), K(Qt::CTRL | Qt::Key_I), [this] { FlipCurve1Click(); });
    flip_->setCheckable(true);

    QMenu* overlay = bar->addMenu(M(178));
    overlay->menuAction()->setObjectName(QStringLiteral("OVERLAY1"));
    item(overlay, "LOAD2", M(179), {}, [this] { LOAD2Click(); });
    item(overlay, "USEQUICKSAVE11", M(181), K(Qt::SHIFT | Qt::Key_F1),
         [this] { OverlayQuickSave(1); });
    item(overlay, "USEQUICKSAVE21", M(182), K(Qt::SHIFT | Qt::Key_F2),
         [this] { OverlayQuickSave(2); });
    item(overlay, "SETCOLOR1", M(180), {}, [this] { SETCOLOR1Click(); });
    item(overlay, "GAIN2", M(183), K(Qt::CTRL | Qt::Key_F8),
         [this] { SelectMode(EditorMode::OverlayGain); });

    QMenu* cal = bar->addMenu(M(168));
    cal->menuAction()->setObjectName(QStringLiteral("CAL1"));
    item(cal, "LOADCAL1", M(169), K(Qt::CTRL | Qt::Key_F3), [this] { LOADCAL1Click(); });
    item(cal, "SAVEASCAL1", M(170), K(Qt::CTRL | Qt::Key_F2), [this] { SAVEASCAL1Click(); });
    useCal_ = item(cal, "USECAL1", QStringLiteral("NO CAL LOADED"), K(Qt::CTRL | Qt::Key_C),
                   [this] { USECAL1Click(); });
    useCal_->setCheckable(true);
    useCal_->setEnabled(false);
    cal->addSeparator();
    item(cal, "LOADMICCALDATA1", M(171), {}, [this] { LOADMICCALDATA1Click(); });
    item(cal, "EDITMICDATA1", M(172), {}, [this] { EDITMICDATA1Click(); });

    stopAgain_ = bar->addAction(M(185));
    stopAgain_->setObjectName(QStringLiteral("STOPREPEAT1"));
    connect(stopAgain_, &QAction::triggered, this, [this] {
        if (hooks_.stopOrAgain) hooks_.stopOrAgain();
        stopAgain_->setText(M(hooks_.repeating && hooks_.repeating() ? 184 : 185));
    });
    QAction* info = bar->addAction(M(186));
    info->setObjectName(QStringLiteral("INFO1"));
    info->setEnabled(static_cast<bool>(hooks_.info));
    connect(info, &QAction::triggered, this, [this] {
        if (hooks_.info) hooks_.info();
    });
    QAction* timeWindow = bar->addAction(M(187));
    timeWindow->setObjectName(QStringLiteral("TIMEWINDOW1"));
    connect(timeWindow, &QAction::triggered, this, [this] {
        if (hooks_.bringMainForward) hooks_.bringMainForward();
    });
    QAction* help = bar->addAction(M(50));
    help->setObjectName(QStringLiteral("HELP1"));
    help->setShortcut(K(Qt::CTRL | Qt::Key_H));
    help->setEnabled(static_cast<bool>(hooks_.help));
    connect(help, &QAction::triggered, this, [this] {
        if (hooks_.help) hooks_.help();
    });
}

void TFFTDISPLAY::buildToolBars() {
    QToolBar* top = addToolBar(QStringLiteral("FFT"));
    top->setObjectName(QStringLiteral("FFTTOOLS"));
    top->setMovable(false);
    auto button = [top](QAction* a, const char* name, const QString& text, const QString& hint) {
        top->addAction(a);
        auto* b = qobject_cast<QToolButton*>(top->widgetForAction(a));
        b->setObjectName(QString::fromLatin1(name));
        b->setText(text);
        b->setToolTip(hint);
        return b;
    };
    auto popupButton = [&](QAction* a, const char* name, const QString& text, QMenu* menu) {
        QToolButton* b = button(a, name, text, a->text());
        b->setMenu(menu);
        b->setPopupMode(QToolButton::MenuButtonPopup);
        return b;
    };

    presets_ = new QMenu(this);
    presets_->setObjectName(QStringLiteral("psave"));
    for (const std::string& name : CalibrationStore::PresetNames())
        connect(presets_->addAction(Q(name)), &QAction::triggered, this,
                [this, name] { PresetSave(name); });
    connect(presets_->addAction(QStringLiteral("User")), &QAction::triggered, this,
            [this] { SAVE1Click(); });
    popupButton(action(QStringLiteral("SAVE1")), "SAVEBUTTON", QStringLiteral("SAVE"), presets_);

    recentOverlay_ = new QMenu(this);
    recentOverlay_->setObjectName(QStringLiteral("phover"));
    popupButton(action(QStringLiteral("LOAD2")), "OVERLAYBUTTON", QStringLiteral("OVERLAY"),
                recentOverlay_);
    recentCal_ = new QMenu(this);
    recentCal_->setObjectName(QStringLiteral("pHcal"));
    popupButton(action(QStringLiteral("LOADCAL1")), "CALBUTTON", QStringLiteral("LOAD CAL"),
                recentCal_);
    button(useCal_, "USECALBUTTON", QStringLiteral("CAL"), M(190));
    mic_ = new QAction(this);
    mic_->setObjectName(QStringLiteral("MICBUTTON1"));
    mic_->setCheckable(true);
    connect(mic_, &QAction::triggered, this, [this] { MicButtonClick(); });
    button(mic_, "MICBUTTON", QStringLiteral("MIC"), M(191));
    button(showOverlay_, "SHOWOVERLAYBUTTON", QStringLiteral("OVL"), M(189));
    button(flip_, "FLIPBUTTON", QStringLiteral("INV"), M(177));
    auto* colour = new QAction(this);
    colour->setObjectName(QStringLiteral("COLOR1"));
    connect(colour, &QAction::triggered, this, [this] { SETCOLOR1Click(); });
    button(colour, "COLORBUTTON", QStringLiteral("COLOR"), M(180));
    top->addSeparator();
    button(eqBorders_, "EQBUTTON", QStringLiteral("EQ"), M(188));
    button(phase_, "PHASEBUTTON", QStringLiteral("PHASE"), M(175));
    auto* pen = new QAction(this);
    connect(pen, &QAction::triggered, this, [this] {
        view_.penWidth = FrequencyDisplay::StepPenWidth(view_.penWidth);
        Repaint();
    });
    button(pen, "PENBUTTON", QStringLiteral("LINE"), M(315));
    auto* overlayPen = new QAction(this);
    connect(overlayPen, &QAction::triggered, this, [this] {
        view_.overlayPenWidth = FrequencyDisplay::StepPenWidth(view_.overlayPenWidth);
        Repaint();
    });
    button(overlayPen, "OVERLAYPENBUTTON", QStringLiteral("OVL LINE"), M(313));
    traceManagerAction_ = new QAction(this);
    traceManagerAction_->setObjectName(QStringLiteral("TRACEMANAGER1"));
    traceManagerAction_->setCheckable(true);
    // The button takes text and hint from its action whenever the check state changes.
    traceManagerAction_->setText(QStringLiteral("TRACES"));
    traceManagerAction_->setToolTip(M(192));
    connect(traceManagerAction_, &QAction::triggered, this,
            [this](bool on) { TRACEMANAGERClick(on); });
    button(traceManagerAction_, "TRACEMANAGERBUTTON", QStringLiteral("TRACES"), M(192));
    top->addSeparator();
    button(action(QStringLiteral("INFO1")), "INFOBUTTON", M(186), M(186));
    button(action(QStringLiteral("TIMEWINDOW1")), "TIMEWINDOWBUTTON", QStringLiteral("TIME"),
           M(187));

    // The bottom bar: the mode buttons and the shared value editor.
    addToolBarBreak(Qt::BottomToolBarArea);
    QToolBar* bottom = new QToolBar(QStringLiteral("Werte"), this);
    bottom->setObjectName(QStringLiteral("BOTTOMBAR"));
    bottom->setMovable(false);
    addToolBar(Qt::BottomToolBarArea, bottom);
    editorLabel_ = new QLabel(bottom);
    editorLabel_->setObjectName(QStringLiteral("WerteLabel"));
    editorLabel_->setMinimumWidth(170);
    bottom->addWidget(editorLabel_);
    wert_ = new QSpinBox(bottom);
    wert_->setObjectName(QStringLiteral("Werte"));
    wert_->setMinimumWidth(90);
    wert_->setContextMenuPolicy(Qt::CustomContextMenu);
    bottom->addWidget(wert_);
    popup_ = new QMenu(this);
    connect(wert_, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& at) { popup_->popup(wert_->mapToGlobal(at)); });
    connect(wert_, &QSpinBox::valueChanged, this, [this](int v) {
        if (updatingEditor_) return;
        view_.SetEditorValue(view_.editorMode, v);
        if (view_.editorMode == EditorMode::Smoothing) {
            program_.Smoothing = SmoothingWidthFromValue(view_.smoothingValue);
            editorLabel_->setText(M(160) + QStringLiteral(": %1").arg(view_.smoothingValue));
            Rebuild();
            return;
        }
        Repaint();
    });
    bottom->addSeparator();
    auto* group = new QActionGroup(this);
    const std::pair<EditorMode, int> modes[] = {
        {EditorMode::Smoothing, 160}, {EditorMode::Left, 156},     {EditorMode::Right, 157},
        {EditorMode::Scale, 159},     {EditorMode::LinesGap, 161}, {EditorMode::Gain, 158},
        {EditorMode::OverlayGain, 162}};
    for (const auto& [mode, msg] : modes) {
        QAction* a = bottom->addAction(M(msg));
        a->setCheckable(true);
        a->setObjectName(QStringLiteral("MODE_%1").arg(static_cast<int>(mode)));
        group->addAction(a);
        connect(a, &QAction::triggered, this, [this, mode] { SelectMode(mode); });
    }
    auto* spacer = new QWidget(bottom);
    spacer->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    bottom->addWidget(spacer);
    clock_ = new QLabel(bottom);
    clock_->setObjectName(QStringLiteral("Uhr"));
    clock_->setMinimumWidth(88);
    clock_->setAlignment(Qt::AlignCenter);
    bottom->addWidget(clock_);
}

// ------------------------------------------------------------------ settings

void TFFTDISPLAY::readSettings() {
    const FrequencyViewSettings s = ReadFrequencyViewSettings(settings_);
    view_.eqStyle = s.eqStyle;
    view_.range = s.range;
    view_.gap = s.gap;
    view_.gain = s.gain;
    view_.overlayGain = s.overlayGain;
    view_.phaseShown = s.phaseShown;
    view_.autoGap = program_.AutoScale;
    view_.penWidth = std::clamp<int>(program_.PenWidth, 1, 8);
    view_.overlayPenWidth = std::clamp<int>(program_.OverlayPenWidth, 1, 8);
    view_.smoothingValue = std::clamp((program_.Smoothing - 1) / 2, 0, 10);
    if (s.printoutColors.size() == ColorTable::kBytes)
        printoutColours_ = DecodeColorTable(s.printoutColors);
    phase_->setChecked(view_.phaseShown);
    eqBorders_->setText(M(view_.eqStyle ? 167 : 166));
    resize(s.width, s.height);
    move(s.left, s.top);

    for (auto it = program_.CalFiles.rbegin(); it != program_.CalFiles.rend(); ++it)
        store_.recentCalibrations.Add(
            *it, static_cast<int>(UpperExtension(*it) == ".CSM" ? AnalysisMode::Smooth
                                                                 : AnalysisMode::Fft));
    for (auto it = program_.OverlayFiles.rbegin(); it != program_.OverlayFiles.rend(); ++it)
        store_.recentOverlays.Add(*it);

    // The overlay and the microphone correction need the sample rate and the SMOOTH layout of
    // the first spectrum; they are loaded with it.
    CalibrationStore::Overlay& o = store_.CurrentOverlay();
    o.shown = s.overlayShown;
    o.inverted = s.overlayInverted;
    o.gainDb = s.overlayGain;
    if (s.hasOverlayFile && FileExists(s.overlayFile)) pendingStartOverlay_ = s.overlayFile;
    if (FileExists(program_.MicCalData)) pendingMic_ = program_.MicCalData;
    updateOverlayUi();
    updateRecentMenus();
}

void TFFTDISPLAY::writeSettings() {
    if (!opened_) return;
    FrequencyViewSettings s;
    s.eqStyle = view_.eqStyle;
    s.range = view_.range;
    s.gap = view_.gap;
    s.gain = view_.gain;
    s.overlayGain = view_.overlayGain;
    const CalibrationStore::Overlay& o = store_.CurrentOverlay();
    s.overlayShown = o.loaded && o.shown;
    s.overlayInverted = o.inverted;
    s.overlayFile = o.loaded ? o.path : std::string();
    s.calibrationInUse = store_.CalibrationInUse(computer_.Mode());
    s.phaseShown = view_.phaseShown;
    s.width = width();
    s.height = height();
    s.left = x();
    s.top = y();
    s.printoutColors = EncodeColorTable(printoutColours_);
    WriteFrequencyViewSettings(settings_, s);
    settings_.WriteBinary("Display Color", EncodeColorTable(program_.Colors));

    program_.PenWidth = static_cast<int16_t>(view_.penWidth);
    program_.OverlayPenWidth = static_cast<int16_t>(view_.overlayPenWidth);
    program_.AutoScale = view_.autoGap;
    program_.CalFiles.clear();
    for (const auto& e : store_.recentCalibrations.Entries()) program_.CalFiles.push_back(e.path);
    program_.OverlayFiles.clear();
    for (const auto& e : store_.recentOverlays.Entries())
        program_.OverlayFiles.push_back(e.path);
    if (store_.MicLoaded()) program_.MicCalData = store_.MicPath();
    settings_.Flush();
}

void TFFTDISPLAY::showEvent(QShowEvent* e) {
    QMainWindow::showEvent(e);
    opened_ = true;
}

void TFFTDISPLAY::closeEvent(QCloseEvent* e) {
    writeSettings();
    e->accept();  // hidden, not destroyed: the fields survive until the next showing
}

// ------------------------------------------------------------------ spectrum

void TFFTDISPLAY::fillCalibration(SpectrumInput& in) const {
    in.calibrationInUse = store_.CalibrationInUse(in.mode);
    in.fftCalibration = store_.FftCalibration().data();
    in.fftCalibrationCount = store_.FftCalibration().size();
    in.smoothCalibration = store_.SmoothCalibration().data();
}

void TFFTDISPLAY::forgetGoneCalibration(AnalysisMode m) {
    // A stored calibration whose file is gone was reported once; forgetting its name keeps the
    // report from coming back at every start and mode switch.
    if (store_.LastFileMissing()) settings_.DeleteValue(m == AnalysisMode::Smooth ? "LogCal" : "LinCal");
}

void TFFTDISPLAY::reloadCalibrationForMode() {
    const AnalysisMode m = lastInput_.mode;
    const double rate = lastInput_.sampleRate;
    store_.warnMisfit = program_.WarnCal;
    if (pendingChoice_ && pendingChoice_->useCalibration &&
        !pendingChoice_->calibrationPath.empty()) {
        store_.LoadCalibrationFile(pendingChoice_->calibrationPath, lastInput_.fftSize, rate);
    } else if (auto path = settings_.ReadString(m == AnalysisMode::Smooth ? "LogCal" : "LinCal");
               path && !path->empty()) {
        const bool ok = m == AnalysisMode::Smooth
                            ? store_.LoadSmoothCalibration(*path, rate)
                            : store_.LoadFftCalibration(*path, lastInput_.fftSize, rate);
        const auto use = settings_.ReadBool(m == AnalysisMode::Smooth ? "CM1" : "CM0");
        store_.SetUseCalibration(m, ok && use.value_or(false));
        if (!ok) forgetGoneCalibration(m);
    } else {
        store_.SetUseCalibration(m, false);
    }
    calLoadedFor_[m == AnalysisMode::Smooth ? 1 : 0] = {lastInput_.fftSize, rate};
    updateCalibrationUi();
}

void TFFTDISPLAY::ensureCalibrationFits() {
    // A calibration belongs to one FFT size and rate: after either changed, it is read again
    // for the new ones (and refused with its message when it does not fit).
    const AnalysisMode m = lastInput_.mode;
    const int idx = m == AnalysisMode::Smooth ? 1 : 0;
    const std::pair<int, double> now{m == AnalysisMode::Smooth ? 0 : lastInput_.fftSize,
                                     lastInput_.sampleRate};
    std::pair<int, double>& was = calLoadedFor_[idx];
    if (m == AnalysisMode::Smooth) was.first = 0;
    if (!store_.CalibrationLoaded(m) || was == now) {
        was = now;
        return;
    }
    const bool use = store_.CalibrationInUse(m);
    const std::string path = store_.CalibrationPath(m);
    store_.warnMisfit = program_.WarnCal;
    const bool ok = m == AnalysisMode::Smooth
                        ? store_.LoadSmoothCalibration(path, now.second)
                        : store_.LoadFftCalibration(path, now.first, now.second);
    store_.SetUseCalibration(m, ok && use);
    if (!ok && settings_.ReadString(m == AnalysisMode::Smooth ? "LogCal" : "LinCal") == path) {
        forgetGoneCalibration(m);
    }
    was = now;
    updateCalibrationUi();
}

bool TFFTDISPLAY::ShowSpectrum(AnalysisMode mode) {
    SpectrumInput in;
    if (!hooks_.input || !hooks_.input(in)) return false;
    in.mode = mode;
    in.smoothingWidth = program_.Smoothing;
    lastInput_ = in;
    if (haveInput_ || computer_.DataValid()) ensureCalibrationFits();
    fillCalibration(lastInput_);
    computer_.SetGainOffset(view_.gain);
    if (!computer_.ComputeSpectrum(lastInput_, &prompter_)) return false;
    haveInput_ = true;
    view_.TakeSpectrum(computer_);
    if (computer_.ModeChanged()) {
        view_.lowerLimit = computer_.LowestValidFrequency();
        view_.Fit();
        reloadCalibrationForMode();
    }
    if (!pendingMic_.empty()) {
        const std::string path = std::exchange(pendingMic_, {});
        loadMic(path);
    }
    if (!pendingStartOverlay_.empty()) {
        const std::string path = std::exchange(pendingStartOverlay_, {});
        const bool shown = store_.CurrentOverlay().shown;
        if (store_.LoadOverlay(path, in.sampleRate)) store_.CurrentOverlay().shown = shown;
        updateOverlayUi();
    }
    if (pendingChoice_) {
        // The macro's flags replace the window's, off as well as on.
        const AnalysisChoice c = *std::exchange(pendingChoice_, std::nullopt);
        if (c.useCalibration && !c.calibrationPath.empty() && !computer_.ModeChanged()) {
            store_.LoadCalibrationFile(c.calibrationPath, in.fftSize, in.sampleRate);
        }
        store_.SetUseCalibration(mode, c.useCalibration);
        if (c.useMicCorrection && !c.micPath.empty()) loadMic(c.micPath);
        store_.micApplied = c.useMicCorrection && store_.MicLoaded();
        mic_->setChecked(store_.micApplied);
        if (c.useOverlay && !c.overlayPath.empty()) LoadOverlay(c.overlayPath);
        if (store_.CurrentOverlay().loaded) {
            store_.CurrentOverlay().shown = c.useOverlay;
            if (c.useOverlay) store_.CurrentOverlay().inverted = c.overlayOption2;
        }
        updateOverlayUi();
        updateCalibrationUi();
    }
    Rebuild();
    stopAgain_->setText(M(hooks_.repeating && hooks_.repeating() ? 184 : 185));
    if (isMinimized()) showNormal();
    show();
    raise();
    return true;
}

bool TFFTDISPLAY::loadMic(const std::string& path) {
    bool ok;
    if (UpperExtension(path) == ".SMC") {
        ok = store_.LoadMicCorrection(path);
    } else {
        // A microphone's calibration text: laid onto the SMOOTH records of this rate.
        std::array<SmoothRecord, kSmoothRecords> layout{};
        if (computer_.Mode() == AnalysisMode::Smooth &&
            computer_.SmoothResult().size() == layout.size()) {
            std::copy(computer_.SmoothResult().begin(), computer_.SmoothResult().end(),
                      layout.begin());
        } else {
            std::vector<double> silence(FftEngine::kSmoothInput, 0.0);
            SharedFft().SmoothAnalysis(silence.data(), layout.data(), lastInput_.sampleRate);
        }
        ok = store_.ImportMicCalText(path, layout.data(), lastInput_.sampleRate);
    }
    if (ok) program_.MicCalData = path;
    mic_->setChecked(store_.micApplied);
    return ok;
}

void TFFTDISPLAY::ApplyAnalysisChoice(const AnalysisChoice& choice) {
    pendingChoice_ = choice;
    program_.Smoothing = std::max(1, choice.smoothingWidth);
    view_.smoothingValue = std::clamp((program_.Smoothing - 1) / 2, 0, 10);
    syncEditor();
}

void TFFTDISPLAY::Rebuild() {
    if (!haveInput_ || !computer_.DataValid()) {
        Repaint();
        return;
    }
    SpectrumInput in = lastInput_;
    in.smoothingWidth = program_.Smoothing;
    fillCalibration(in);
    computer_.SetGainOffset(view_.gain);
    computer_.BuildDisplaySpectrum(in);
    view_.gain = computer_.GainOffset();
    view_.TakeSpectrum(computer_);
    updateCalibrationUi();
    syncEditor();
    Repaint();
}

void TFFTDISPLAY::TRACEMANAGERClick(bool show) {
    if (!traceManager_) {
        TForm7Host host;
        host.repaint = [this] { Repaint(); };
        host.liveLevelReference = [this] { return computer_.LevelReference(); };
        host.sampleRate = [this] {
            return computer_.SampleRate() > 0.0 ? computer_.SampleRate() : view_.sampleRate;
        };
        host.closed = [this] { traceManagerAction_->setChecked(false); };
        traceManager_ = new TForm7(*traceSet_, prompter_, &settings_, std::move(host), this);
    }
    traceManagerAction_->setChecked(show);
    if (show) {
        traceManager_->show();
        traceManager_->raise();
    } else {
        traceManager_->hide();
    }
}

void TFFTDISPLAY::rebuildTraces() {
    LiveGraph live;
    // Only a SMOOTH graph can join the main trace; in FFT mode there is none.
    if (computer_.DataValid() && computer_.Mode() == AnalysisMode::Smooth &&
        computer_.SmoothDisplay().size() == static_cast<std::size_t>(kSmoothRecords)) {
        live.Smooth = computer_.SmoothDisplay();
    }
    live.LowestValid = computer_.LowestValidFrequency();
    live.LevelReference = computer_.LevelReference();
    live.SampleRate = computer_.SampleRate();
    if (store_.micApplied && store_.MicLoaded()) {
        // Record 0 carries the correction's sample rate, records 1 … 294 its points.
        const MicCorrection& mic = store_.Mic();
        traceCorrection_.resize(mic.entries.size() + 1);
        traceCorrection_[0] = {mic.sampleRate, 0.0, 0.0};
        for (std::size_t i = 0; i < mic.entries.size(); ++i)
            traceCorrection_[i + 1] = {mic.entries[i].frequency, mic.entries[i].db,
                                       mic.entries[i].phase};
        live.Correction = traceCorrection_;
    }
    TracePlotRange plot;
    plot.LowerLimit = view_.EffectiveLower();
    plot.UpperLimit = view_.upperLimit;
    plot.GainOffset = view_.gain;
    // Traces are comparison curves like the overlay and share its line width.
    plot.PenWidth = view_.overlayPenWidth;
    const auto curves = traceSet_->Repaint(live, plot);
    traces_.assign(curves.begin(), curves.end());
    if (traceManager_) traceManager_->SyncFromTraces();
}

void TFFTDISPLAY::Repaint() {
    if (plot_) plot_->update();
}

void TFFTDISPLAY::PaintTo(QPainter& painter, const QRect& rect, bool printing, bool inColour,
                          const std::string& header) {
    emit beforePaint();
    view_.calibrationInUse = store_.CalibrationInUse(computer_.Mode());
    view_.calibrationLowest = store_.CalibrationLowestFrequency();
    FrequencyPaintInput in = PaintInputFor(computer_, store_, view_,
                                           printing && !inColour ? printoutColours_
                                                                 : program_.Colors,
                                           micScratch_);
    in.traces = traces_;
    in.paintBackground = !(printing && inColour);
    in.header = header;
    PaintFrequencyPlot(painter, rect, view_, in);
}

DisplaySpectrum TFFTDISPLAY::displaySpectrum() const {
    DisplaySpectrum s;
    s.mode = computer_.Mode();
    s.lowestFrequency = computer_.LowestValidFrequency();
    s.fftSize = computer_.FftSize();
    s.sampleRate = computer_.SampleRate();
    s.bins = computer_.DisplaySpectrum().data();
    s.records = computer_.SmoothDisplay().data();
    return s;
}

DisplaySpectrum TFFTDISPLAY::rawSpectrum() const {
    DisplaySpectrum s = displaySpectrum();
    s.bins = computer_.FftResult().data();
    s.records = computer_.SmoothResult().data();
    return s;
}

// ------------------------------------------------------------------ value editor

void TFFTDISPLAY::SelectMode(EditorMode mode, bool popUp) {
    view_.editorMode = mode;
    if (QAction* a = findChild<QAction*>(QStringLiteral("MODE_%1").arg(static_cast<int>(mode))))
        a->setChecked(true);
    popup_->clear();
    for (const PopupEntry& entry : view_.Popup(mode)) {
        QAction* a = popup_->addAction(Q(entry.caption));
        connect(a, &QAction::triggered, this, [this, entry] { ChoosePopup(entry); });
    }
    syncEditor();
    if (popUp && isVisible()) popup_->popup(QCursor::pos());
}

void TFFTDISPLAY::syncEditor() {
    if (!wert_) return;
    const EditorMode mode = view_.editorMode;
    const EditorSetup s = view_.Setup(mode);
    updatingEditor_ = true;
    wert_->setRange(s.minimum, std::max(s.minimum, s.maximum));
    wert_->setSingleStep(s.step);
    wert_->setValue(view_.EditorValue(mode));
    updatingEditor_ = false;
    QString label = M(s.labelMessage);
    if (mode == EditorMode::Smoothing) label += QStringLiteral(": %1").arg(view_.smoothingValue);
    if (mode == EditorMode::LinesGap && view_.autoGap) label += QStringLiteral(" (AUTO)");
    editorLabel_->setText(label);
}

void TFFTDISPLAY::ChoosePopup(const PopupEntry& entry) {
    using K = PopupEntry::Kind;
    switch (entry.kind) {
        case K::Value:
            if (wert_->value() == entry.value) {
                view_.SetEditorValue(view_.editorMode, entry.value);
                Repaint();
            }
            wert_->setValue(entry.value);
            break;
        case K::FitIn:
            view_.Fit();
            syncEditor();
            Repaint();
            break;
        case K::OptiFit:
            SelectMode(EditorMode::Scale, false);
            wert_->setValue(std::clamp(
                std::abs(static_cast<int>(std::nearbyint(computer_.PeakLevel() / 0.65))), 2, 40));
            break;
        case K::Auto:
            view_.SetAutoGap(!view_.autoGap);
            syncEditor();
            Repaint();
            break;
        case K::AutoGain:
            computer_.RequestAutoGain();
            Rebuild();
            break;
        case K::Color: SETCOLOR1Click(); break;
        case K::Mode: SelectMode(entry.mode); break;
    }
}

bool TFFTDISPLAY::eventFilter(QObject* watched, QEvent* e) {
    if (e->type() == QEvent::KeyPress && handleKey(static_cast<QKeyEvent*>(e)->key()))
        return true;
    return QMainWindow::eventFilter(watched, e);
}

bool TFFTDISPLAY::handleKey(int key) {
    const int w = plot_->width(), h = plot_->height();
    switch (key) {
        case Qt::Key_Right: view_.MoveMarker(1, w, h); break;
        case Qt::Key_Left: view_.MoveMarker(-1, w, h); break;
        case Qt::Key_PageUp: view_.MoveMarker(10, w, h); break;
        case Qt::Key_PageDown: view_.MoveMarker(-10, w, h); break;
        case Qt::Key_F:
            if (!hooks_.finder) return false;
            showMinimized();
            hooks_.finder();
            return true;
        case Qt::Key_S:
            if (!hooks_.features) return false;
            hooks_.features();
            return true;
        default: return false;
    }
    Repaint();
    return true;
}

// ------------------------------------------------------------------ files

void TFFTDISPLAY::pause(bool on) {
    if (hooks_.pauseRepeat) hooks_.pauseRepeat(on);
}

void TFFTDISPLAY::SAVE1Click() {
    if (!computer_.DataValid()) return;
    const bool smooth = computer_.Mode() == AnalysisMode::Smooth;
    FileDialogRequest r;
    r.title = Msg(193);
    r.filter = smooth ? FilterFor(195, "*.SMR *.smr") : FilterFor(194, "*.mfr *.MFR");
    r.defaultExtension = smooth ? "SMR" : "MFR";
    pause(true);
    const auto path = prompter_.ChooseSaveFile(r);
    if (path && store_.SaveSpectrum(*path, displaySpectrum())) {
        store_.lastSavedSpectrum = *path;
        updateRecentMenus();
    }
    pause(false);
}

void TFFTDISPLAY::QuickSave(int slot) {
    if (!computer_.DataValid()) return;
    const std::string folder =
        hooks_.quickSaveFolder.empty() ? QDir::currentPath().toStdString() : hooks_.quickSaveFolder;
    if (store_.QuickSave(slot, folder, displaySpectrum(), settings_)) updateRecentMenus();
}

void TFFTDISPLAY::OverlayQuickSave(int slot) {
    if (store_.OverlayQuickSave(slot, settings_, computer_.SampleRate())) updateRecentMenus();
    updateOverlayUi();
    Repaint();
}

std::string TFFTDISPLAY::presetFolder() const {
    // The program's folder is read-only once installed: presets live with the user's data.
    return hooks_.presetFolder.empty()
               ? QStandardPaths::writableLocation(QStandardPaths::AppDataLocation).toStdString()
               : hooks_.presetFolder;
}

void TFFTDISPLAY::PresetSave(const std::string& name) {
    if (!computer_.DataValid()) return;
    if (store_.SavePreset(presetFolder(), name, displaySpectrum())) updateRecentMenus();
}

bool TFFTDISPLAY::LoadOverlay(const std::string& path) {
    const bool ok = store_.LoadOverlay(path, computer_.SampleRate() > 0.0 ? computer_.SampleRate()
                                                                          : lastInput_.sampleRate);
    if (ok) store_.CurrentOverlay().shown = true;
    updateOverlayUi();
    updateRecentMenus();
    Repaint();
    return ok;
}

void TFFTDISPLAY::LOAD2Click() {
    FileDialogRequest r;
    r.title = Msg(197);
    r.filter = FilterFor(194, "*.MFR *.mfr") + ";;" + FilterFor(195, "*.SMR *.smr");
    // The presets: the user's, else those an older installation kept in the program's folder.
    const std::string programFolder = hooks_.programFolder.empty()
                                          ? QCoreApplication::applicationDirPath().toStdString()
                                          : hooks_.programFolder;
    r.initialDir = CalibrationStore::PresetFolderToOffer({presetFolder(), programFolder});
    pause(true);
    const auto path = prompter_.ChooseOpenFile(r);
    if (path) LoadOverlay(*path);
    pause(false);
}

void TFFTDISPLAY::SHOWOVERLAY1Click() {
    CalibrationStore::Overlay& o = store_.CurrentOverlay();
    if (o.loaded) o.shown = !o.shown;
    updateOverlayUi();
    Repaint();
}

void TFFTDISPLAY::FlipCurve1Click() {
    CalibrationStore::Overlay& o = store_.CurrentOverlay();
    o.inverted = !o.inverted;
    updateOverlayUi();
    Repaint();
}

void TFFTDISPLAY::SETCOLOR1Click() {
    uint32_t& ref = program_.Colors.entries[kFreqOverlay];
    const QColor c = QColorDialog::getColor(ColourFromRef(ref), this, M(180));
    if (c.isValid())
        ref = static_cast<uint32_t>(c.red()) | (static_cast<uint32_t>(c.green()) << 8) |
              (static_cast<uint32_t>(c.blue()) << 16);
    Repaint();
}

Provenance TFFTDISPLAY::provenance() const {
    const MeasurementState& m = Meas();
    Provenance p;
    p.program = std::string("MIV V") + kProgramVersion;
    p.date = NowText();
    p.sampleRate = static_cast<int>(computer_.SampleRate());
    for (int order = 2; order <= 24; ++order) {
        if ((int32_t{1} << order) == m.MlsSize) p.mlsOrder = order;
    }
    p.windowSamples = static_cast<int>(computer_.ViewEnd() - computer_.ViewStart());
    p.fftSize = computer_.FftSize();
    const bool smooth = computer_.Mode() == AnalysisMode::Smooth;
    p.mode = smooth ? "SMOOTH" : "FFT";
    if (smooth) p.smoothing = "width " + std::to_string(2 * program_.Smoothing + 1);
    const AnalysisMode mode = computer_.Mode();
    if (store_.CalibrationInUse(mode)) {
        p.calibrationFile = store_.CalibrationPath(mode);
        p.calibrationHash = FileHash(p.calibrationFile);
    }
    if (smooth && store_.MicCorrectionApplies(computer_.SampleRate())) {
        p.micFile = store_.MicPath();
        p.micHash = FileHash(p.micFile);
    }
    p.soundSpeed = m.SoundSpeed;
    return p;
}

void TFFTDISPLAY::SASCII1Click() {
    if (!computer_.DataValid()) return;
    FileDialogRequest r;
    r.title = Msg(279);
    r.filter = "IMP FFT DATA (*.FRD *.frd)";
    r.defaultExtension = "FRD";
    pause(true);
    const auto path = prompter_.ChooseSaveFile(r);
    pause(false);
    if (!path) return;
    const double offset =
        FrdLevelOffset(program_.AsciiOffset, program_.AsciiUseGain, view_.gain);
    const bool micApplies = store_.MicCorrectionApplies(computer_.SampleRate());
    const std::string text =
        (program_.StampExports ? ProvenanceComments(provenance()) : std::string()) +
        (computer_.Mode() == AnalysisMode::Fft
            ? BuildFrdFft(computer_.DisplaySpectrum().data(), computer_.FftSize(),
                          computer_.SampleRate(), computer_.LowestValidFrequency(),
                          computer_.LevelReference(), offset)
            : BuildFrdSmooth(computer_.SmoothDisplay().data(), computer_.LowestValidFrequency(),
                             computer_.LevelReference(), offset,
                             micApplies ? &store_.Mic() : nullptr));
    AtomicFile file;
    if (!file.Open(*path) || !file.Write(text) || !file.Commit())
        prompter_.Inform(Msg(39), *path + "\r" + file.Error(), PromptIcon::Stop);
}

void TFFTDISPLAY::LOADCAL1Click() {
    const AnalysisMode m = computer_.DataValid() ? computer_.Mode() : lastInput_.mode;
    if (store_.CalibrationInUse(m) &&
        prompter_.Ask(Msg(33), Msg(32), PromptButtons::YesNo, PromptIcon::Question) !=
            PromptAnswer::Yes)
        return;
    FileDialogRequest r;
    r.title = Msg(200);
    r.filter = m == AnalysisMode::Fft ? FilterFor(198, "*.cal *.CAL") : FilterFor(199, "*.csm *.CSM");
    pause(true);
    const auto path = prompter_.ChooseOpenFile(r);
    if (path) {
        store_.warnMisfit = program_.WarnCal;
        const bool ok = m == AnalysisMode::Fft
                            ? store_.LoadFftCalibration(*path, computer_.FftSize(),
                                                        computer_.SampleRate())
                            : store_.LoadSmoothCalibration(*path, computer_.SampleRate());
        if (ok) rememberCalibration(m, *path);
        updateRecentMenus();
        Rebuild();
    }
    pause(false);
}

void TFFTDISPLAY::rememberCalibration(AnalysisMode m, const std::string& path) {
    settings_.WriteString(m == AnalysisMode::Fft ? "LinCal" : "LogCal", path);
    calLoadedFor_[m == AnalysisMode::Smooth ? 1 : 0] = {
        m == AnalysisMode::Smooth ? 0 : computer_.FftSize(), computer_.SampleRate()};
}

void TFFTDISPLAY::LoadRecentCalibration(const std::string& path) {
    const AnalysisMode m = UpperExtension(path) == ".CSM" ? AnalysisMode::Smooth : AnalysisMode::Fft;
    store_.warnMisfit = program_.WarnCal;
    if (store_.LoadCalibrationFile(path, computer_.FftSize(), computer_.SampleRate())) {
        rememberCalibration(m, path);
    }
    updateRecentMenus();
    Rebuild();
}

void TFFTDISPLAY::SAVEASCAL1Click() {
    if (!computer_.DataValid()) return;
    const AnalysisMode m = computer_.Mode();
    const bool hadCalibration = store_.CalibrationLoaded(m);
    FileDialogRequest r;
    r.title = Msg(205);
    r.filter = m == AnalysisMode::Fft ? FilterFor(198, "*.cal") : FilterFor(199, "*.csm");
    r.defaultExtension = m == AnalysisMode::Fft ? "cal" : "csm";
    pause(true);
    const auto path = prompter_.ChooseSaveFile(r);
    if (path && store_.SaveAsCalibration(*path, rawSpectrum())) {
        if (!hadCalibration && store_.CalibrationLoaded(m)) rememberCalibration(m, *path);
        updateRecentMenus();
        Rebuild();
    }
    pause(false);
}

void TFFTDISPLAY::USECAL1Click() {
    const AnalysisMode m = computer_.Mode();
    if (!store_.CalibrationLoaded(m)) {
        updateCalibrationUi();
        return;
    }
    const bool use = store_.ToggleUseCalibration(m);
    settings_.WriteBool(m == AnalysisMode::Fft ? "CM0" : "CM1", use);
    Rebuild();
}

void TFFTDISPLAY::MicButtonClick() {
    store_.micApplied = mic_->isChecked();
    Repaint();
}

void TFFTDISPLAY::LOADMICCALDATA1Click() {
    FileDialogRequest r;
    r.title = Msg(201);
    r.filter = FilterFor(202, "*.SMC *.smc") +
               ";;Microphone calibration text (*.txt *.TXT *.frd *.FRD)";
    pause(true);
    const auto path = prompter_.ChooseOpenFile(r);
    if (path && loadMic(*path)) settings_.WriteString("MIC CAL DATA", *path);
    pause(false);
    Repaint();
}

void TFFTDISPLAY::EDITMICDATA1Click() {
    const std::string editor = settings_.ReadString("Mic Cal").value_or("");
    const QStringList args = store_.MicLoaded() ? QStringList{Q(store_.MicPath())} : QStringList{};
    if (!editor.empty() && QProcess::startDetached(Q(editor), args)) return;
    FileDialogRequest r;
    r.title = Msg(203);
    r.filter = Msg(204) + " (*)";
    const auto path = prompter_.ChooseOpenFile(r);
    if (!path) return;
    settings_.WriteString("Mic Cal", *path);
    if (!QProcess::startDetached(Q(*path), args))
        prompter_.Inform(Msg(203), *path, PromptIcon::Stop);
}

void TFFTDISPLAY::Snap(int userMacro) {
    if (userMacro < 1 || userMacro > 10 || !computer_.DataValid()) return;
    const AnalysisMode m = computer_.Mode();
    SnapshotSource s;
    s.mode = m;
    s.fftSize = computer_.FftSize();
    s.smoothingValue = view_.smoothingValue;
    s.calFile = store_.CalibrationPath(m);
    s.useCal = store_.CalibrationInUse(m);
    s.micFile = store_.MicLoaded() ? store_.MicPath() : std::string();
    s.useMic = store_.micApplied;
    const CalibrationStore::Overlay& o = store_.CurrentOverlay();
    s.overlayFile = o.loaded ? o.path : std::string();
    s.useOverlay = o.loaded && o.shown;
    s.viewStart = computer_.ViewStart();
    s.viewEnd = computer_.ViewEnd();
    s.peakIndex = hooks_.peakIndex ? hooks_.peakIndex() : s.viewStart;
    s.sampleRate = computer_.SampleRate();
    AssignSnapshot(program_.Macros[static_cast<std::size_t>(userMacro) + 1], s);
}

// ------------------------------------------------------------------ printing

std::string TFFTDISPLAY::PrintHeader() const {
    const QDateTime now = QDateTime::currentDateTime();
    return Msg(312) + FormatDatePattern(Msg(311), ActiveLanguage(), now.date().year(),
                                        now.date().month(), now.date().day(), now.time().hour(),
                                        now.time().minute());
}

void TFFTDISPLAY::PRINT1Click() {
    if (QPrinterInfo::availablePrinters().isEmpty()) {
        // No printer installed: the page goes into a PDF file.
        FileDialogRequest r;
        r.title = Msg(154);
        r.filter = "PDF (*.pdf)";
        r.defaultExtension = "pdf";
        const auto path = prompter_.ChooseSaveFile(r);
        if (!path) return;
        QPrinter printer(QPrinter::ScreenResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(Q(*path));
        const bool colour = prompter_.Ask(Msg(154), Msg(29), PromptButtons::YesNo,
                                          PromptIcon::Question) == PromptAnswer::Yes;
        PrintTo(printer, colour);
        return;
    }
    QPrinter printer(QPrinter::ScreenResolution);
    QPrintDialog dialog(&printer, this);
    if (dialog.exec() != QDialog::Accepted) return;
    if (printer.printerState() == QPrinter::Active) {
        prompter_.Inform(Msg(154), Msg(30), PromptIcon::Warning);
        return;
    }
    if (printer.printerState() == QPrinter::Error) {
        prompter_.Inform(Msg(154), Msg(31), PromptIcon::Warning);
        return;
    }
    const bool colour = prompter_.Ask(Msg(154), Msg(29), PromptButtons::YesNo,
                                      PromptIcon::Question) == PromptAnswer::Yes;
    PrintTo(printer, colour);
}

void TFFTDISPLAY::PrintTo(QPrinter& printer, bool inColour) {
    printer.setDocName(QStringLiteral("MIV FFT Printout"));
    printer.setPageOrientation(QPageLayout::Landscape);
    printer.setColorMode(inColour ? QPrinter::Color : QPrinter::GrayScale);
    QPainter p;
    if (!p.begin(&printer)) {
        prompter_.Inform(Msg(154), Msg(31), PromptIcon::Warning);
        return;
    }
    QRect page(0, 0, p.device()->width(), p.device()->height());
    if (program_.StampExports && computer_.DataValid()) {
        // Footer: what produced the curve, in small type under the plot.
        QFont small = p.font();
        small.setPointSizeF(std::max(6.0, small.pointSizeF() * 0.75));
        p.setFont(small);
        const int footer = 3 * p.fontMetrics().height();
        const QRect strip(page.left(), page.bottom() - footer, page.width(), footer);
        p.setPen(Qt::black);
        p.drawText(strip, Qt::AlignLeft | Qt::AlignBottom | Qt::TextWordWrap,
                   Q(ProvenanceLine(provenance())));
        page.setBottom(strip.top() - 1);
    }
    PaintTo(p, page, true, inColour, PrintHeader());
    p.end();
    if (printer.printerState() == QPrinter::Error)
        prompter_.Inform(Msg(154), Msg(31), PromptIcon::Warning);
}

// ------------------------------------------------------------------ captions and lists

void TFFTDISPLAY::updateCalibrationUi() {
    const AnalysisMode m = computer_.DataValid() ? computer_.Mode() : lastInput_.mode;
    useCal_->setEnabled(store_.CalibrationLoaded(m));
    useCal_->setChecked(store_.CalibrationInUse(m));
    useCal_->setText(Q(store_.UseCalCaption(m)));
    view_.calibrationInUse = store_.CalibrationInUse(m);
    view_.calibrationLowest = store_.CalibrationLowestFrequency();
    if (mic_) mic_->setChecked(store_.micApplied);
}

void TFFTDISPLAY::updateOverlayUi() {
    const CalibrationStore::Overlay& o = store_.CurrentOverlay();
    showOverlay_->setEnabled(o.loaded);
    showOverlay_->setChecked(o.loaded && o.shown);
    showOverlay_->setText(Q(store_.OverlayCaption()));
    flip_->setChecked(o.inverted);
}

void TFFTDISPLAY::updateRecentMenus() {
    recentCal_->clear();
    for (const auto& e : store_.recentCalibrations.Entries()) {
        const std::string path = e.path;
        connect(recentCal_->addAction(Q(path)), &QAction::triggered, this,
                [this, path] { LoadRecentCalibration(path); });
    }
    recentOverlay_->clear();
    for (const auto& e : store_.recentOverlays.Entries()) {
        const std::string path = e.path;
        connect(recentOverlay_->addAction(Q(path)), &QAction::triggered, this,
                [this, path] { LoadOverlay(path); });
    }
}

}  // namespace fim
