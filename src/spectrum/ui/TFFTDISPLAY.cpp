#include "spectrum/ui/TFFTDISPLAY.h"

#include <QActionGroup>
#include <QCloseEvent>
#include <QColorDialog>
#include <QCoreApplication>
#include <QCursor>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QFont>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPainter>
#include <QPrinter>
#include <QProcess>
#include <QSpinBox>
#include <QStandardPaths>
#include <QToolBar>
#include <QToolButton>
#include <algorithm>
#include <filesystem>

#include "auxwindows/InfoScreens.h"
#include "base/AtomicFile.h"
#include "base/Catalog.h"
#include "base/MessageIds.h"
#include "base/Prompter.h"
#include "base/SettingsTree.h"
#include "base/ui/PrintAndSave.h"
#include "base/ui/paint/QtBoundary.h"
#include "core/MeasurementState.h"
#include "macros/MacroSnapshot.h"
#include "settings/ProgramSettings.h"
#include "spectrum/AsciiExport.h"
#include "spectrum/Provenance.h"
#include "spectrum/SpectrumFiles.h"
#include "spectrum/ui/paint/FrequencyPainter.h"
#include "traces/TraceSet.h"
#include "traces/ui/TForm7.h"

namespace fim {

namespace {

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

// The seat set's mean (orange) and its farthest seat (magenta), 0x00BBGGRR.
constexpr uint32_t kSeatMeanColour = 0x0000A5FF;
constexpr uint32_t kFarthestSeatColour = 0x00FF00FF;

std::string FilterFor(int message, const char* pattern) {
    return Msg(message) + " (" + pattern + ")";
}

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
        w_->model_.view.ZoomPress(pressX_);
    }
    void mouseMoveEvent(QMouseEvent* e) override {
        if (!w_->model_.view.zooming) return;
        w_->model_.view.ZoomMove(e->position().toPoint().x());
        update();
    }
    void mouseReleaseEvent(QMouseEvent* e) override {
        if (e->button() != Qt::LeftButton) return;
        const int x = e->position().toPoint().x();
        if (!w_->model_.view.ZoomRelease(x, width(), height()) && std::abs(x - pressX_) <= 2) {
            w_->model_.view.SetMarkerAt(x, width(), height());
        }
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
      model_(settings, prompter, {program.Smoothing, program.MicCalData, program.WarnCal}),
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

QAction* TFFTDISPLAY::action(const QString& name) const { return findChild<QAction*>(name); }

QToolButton* TFFTDISPLAY::toolButton(const QString& name) const {
    return findChild<QToolButton*>(name);
}

ColorTable& TFFTDISPLAY::colours() { return program_.Colors; }

// ------------------------------------------------------------------ settings

void TFFTDISPLAY::readSettings() {
    const FrequencyViewSettings s = ReadFrequencyViewSettings(settings_);
    FrequencyDisplay& view = model_.view;
    view.autoGap = program_.AutoScale;
    view.penWidth = std::clamp<int>(program_.PenWidth, 1, 8);
    view.overlayPenWidth = std::clamp<int>(program_.OverlayPenWidth, 1, 8);
    model_.StartUp(s, program_.CalFiles, program_.OverlayFiles);
    if (s.printoutColors.size() == ColorTable::kBytes) {
        printoutColours_ = DecodeColorTable(s.printoutColors);
    }
    phase_->setChecked(view.phaseShown);
    noiseFloor_->setChecked(view.noiseFloorShown);
    greyNearNoise_->setChecked(view.greyNearNoise);
    eqBorders_->setText(M(view.eqStyle ? 167 : 166));
    resize(s.width, s.height);
    move(s.left, s.top);
    updateOverlayUi();
    updateRecentMenus();
}

void TFFTDISPLAY::writeSettings() {
    if (!opened_) return;
    FrequencyViewSettings s = model_.Settings();
    s.width = width();
    s.height = height();
    s.left = x();
    s.top = y();
    s.printoutColors = EncodeColorTable(printoutColours_);
    WriteFrequencyViewSettings(settings_, s);
    settings_.WriteBinary("Display Color", EncodeColorTable(program_.Colors));

    const FrequencyDisplay& view = model_.view;
    const CalibrationStore& store = model_.store;
    program_.PenWidth = static_cast<int16_t>(view.penWidth);
    program_.OverlayPenWidth = static_cast<int16_t>(view.overlayPenWidth);
    program_.AutoScale = view.autoGap;
    program_.CalFiles.clear();
    for (const auto& e : store.recentCalibrations.Entries()) program_.CalFiles.push_back(e.path);
    program_.OverlayFiles.clear();
    for (const auto& e : store.recentOverlays.Entries()) program_.OverlayFiles.push_back(e.path);
    if (store.MicLoaded()) program_.MicCalData = store.MicPath();
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

bool TFFTDISPLAY::ShowSpectrum(AnalysisMode mode) {
    SpectrumInput in;
    if (!hooks_.input || !hooks_.input(in)) return false;
    if (!model_.ShowSpectrum(in, mode)) return false;
    updateOverlayUi();
    updateCalibrationUi();
    syncEditor();
    Repaint();
    stopAgain_->setText(M(hooks_.repeating && hooks_.repeating() ? 184 : 185));
    if (isMinimized()) showNormal();
    show();
    raise();
    return true;
}

void TFFTDISPLAY::ApplyAnalysisChoice(const AnalysisChoice& choice) {
    model_.ApplyAnalysisChoice(choice);
    syncEditor();
}

void TFFTDISPLAY::Rebuild() {
    if (model_.Rebuild()) {
        updateCalibrationUi();
        syncEditor();
    }
    Repaint();
}

void TFFTDISPLAY::TRACEMANAGERClick(bool show) {
    if (!traceManager_) {
        TForm7Host host;
        host.repaint = [this] { Repaint(); };
        host.liveLevelReference = [this] { return model_.computer.LevelReference(); };
        host.sampleRate = [this] {
            return model_.computer.SampleRate() > 0.0 ? model_.computer.SampleRate()
                                                      : model_.view.sampleRate;
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
    if (model_.computer.DataValid() && model_.computer.Mode() == AnalysisMode::Smooth &&
        model_.computer.SmoothDisplay().size() == static_cast<std::size_t>(kSmoothRecords)) {
        live.Smooth = model_.computer.SmoothDisplay();
    }
    live.LowestValid = model_.computer.LowestValidFrequency();
    live.LevelReference = model_.computer.LevelReference();
    live.SampleRate = model_.computer.SampleRate();
    live.Correction = model_.TraceCorrection();
    TracePlotRange plot;
    plot.LowerLimit = model_.view.EffectiveLower();
    plot.UpperLimit = model_.view.upperLimit;
    plot.GainOffset = model_.view.gain;
    // Traces are comparison curves like the overlay and share its line width.
    plot.PenWidth = model_.view.overlayPenWidth;
    const auto curves = traceSet_->Repaint(live, plot);
    traces_.assign(curves.begin(), curves.end());
    bands_.clear();
    if (!live.Smooth.empty() && live.LevelReference > 0.0) seatReference_ = live.LevelReference;
    if (seatSet_.size() > 0) {
        bands_.push_back(SeatSetCurve(seatSet_, seatStats_, seatName_, seatReference_,
                                      plot.LowerLimit, plot.UpperLimit, plot.GainOffset,
                                      kSeatMeanColour, kFarthestSeatColour,
                                      std::max(2, model_.view.penWidth)));
    }
    if (traceManager_) traceManager_->SyncFromTraces();
}

void TFFTDISPLAY::ShowSeatSet(const SeatSet& set, const std::string& name) {
    seatSet_ = set;
    seatStats_ = set.Compute();
    seatName_ = name;
    if (QAction* a = action(QStringLiteral("SAVESEATMEAN1"))) a->setEnabled(HasSeatSet());
    if (QAction* a = action(QStringLiteral("CLEARSEATSET1"))) a->setEnabled(HasSeatSet());
    Repaint();
}

void TFFTDISPLAY::ClearSeatSet() { ShowSeatSet(SeatSet(), {}); }

void TFFTDISPLAY::SAVESEATMEAN1Click() {
    if (!HasSeatSet()) return;
    FileDialogRequest r;
    r.title = Msg(193);
    r.filter = FilterFor(195, "*.SMR *.smr");
    r.defaultExtension = "SMR";
    r.initialName = seatName_ + " mean.SMR";
    pause(true);
    if (const auto path = prompter_.ChooseSaveFile(r)) {
        const SeatSpectrum& first = seatSet_.seats().front();
        std::string error;
        if (WriteSmoothSpectrumFile(*path, first.lowestFrequency, first.sampleRate,
                                    seatStats_.mean.data(), nullptr, &error)) {
            model_.store.recentOverlays.Add(*path);
            updateRecentMenus();
        } else {
            prompter_.Inform(Msg(kMsgFileSaveError), *path + ": " + error, PromptIcon::Stop);
        }
    }
    pause(false);
}

void TFFTDISPLAY::Repaint() {
    if (plot_) plot_->update();
}

void TFFTDISPLAY::PaintTo(QPainter& painter, const QRect& rect, bool printing, bool inColour,
                          const std::string& header) {
    emit beforePaint();
    model_.view.calibrationInUse = model_.store.CalibrationInUse(model_.computer.Mode());
    model_.view.calibrationLowest = model_.store.CalibrationLowestFrequency();
    FrequencyPaintInput in =
        PaintInputFor(model_.computer, model_.store, model_.view,
                      printing && !inColour ? printoutColours_ : program_.Colors, micScratch_);
    in.traces = traces_;
    in.bands = bands_;
    in.paintBackground = !(printing && inColour);
    AddNoiseFloor(in, model_.HasNoiseFloor() ? &model_.NoiseComputer() : nullptr,
                  model_.NoisePeriods(), model_.store, model_.view, noiseMicScratch_);
    in.header = header;
    PaintFrequencyPlot(painter, rect, model_.view, in);
}

// ------------------------------------------------------------------ value editor

void TFFTDISPLAY::SelectMode(EditorMode mode, bool popUp) {
    model_.view.editorMode = mode;
    if (QAction* a = findChild<QAction*>(QStringLiteral("MODE_%1").arg(static_cast<int>(mode)))) {
        a->setChecked(true);
    }
    popup_->clear();
    for (const PopupEntry& entry : model_.view.Popup(mode)) {
        QAction* a = popup_->addAction(Q(entry.caption));
        connect(a, &QAction::triggered, this, [this, entry] { ChoosePopup(entry); });
    }
    syncEditor();
    if (popUp && isVisible()) popup_->popup(QCursor::pos());
}

void TFFTDISPLAY::syncEditor() {
    if (!wert_) return;
    const EditorMode mode = model_.view.editorMode;
    const EditorSetup s = model_.view.Setup(mode);
    updatingEditor_ = true;
    wert_->setRange(s.minimum, std::max(s.minimum, s.maximum));
    wert_->setSingleStep(s.step);
    wert_->setValue(model_.view.EditorValue(mode));
    updatingEditor_ = false;
    QString label = M(s.labelMessage);
    if (mode == EditorMode::Smoothing) {
        label += QStringLiteral(": %1").arg(model_.view.smoothingValue);
    }
    if (mode == EditorMode::LinesGap && model_.view.autoGap) label += QStringLiteral(" (AUTO)");
    editorLabel_->setText(label);
}

void TFFTDISPLAY::ChoosePopup(const PopupEntry& entry) {
    using K = PopupEntry::Kind;
    switch (entry.kind) {
        case K::Value:
            if (wert_->value() == entry.value) {
                model_.view.SetEditorValue(model_.view.editorMode, entry.value);
                Repaint();
            }
            wert_->setValue(entry.value);
            break;
        case K::FitIn:
            model_.view.Fit();
            syncEditor();
            Repaint();
            break;
        case K::OptiFit:
            SelectMode(EditorMode::Scale, false);
            wert_->setValue(std::clamp(
                std::abs(static_cast<int>(std::nearbyint(model_.computer.PeakLevel() / 0.65))), 2,
                40));
            break;
        case K::Auto:
            model_.view.SetAutoGap(!model_.view.autoGap);
            syncEditor();
            Repaint();
            break;
        case K::AutoGain:
            model_.computer.RequestAutoGain();
            Rebuild();
            break;
        case K::Color:
            SETCOLOR1Click();
            break;
        case K::Mode:
            SelectMode(entry.mode);
            break;
    }
}

bool TFFTDISPLAY::eventFilter(QObject* watched, QEvent* e) {
    if (e->type() == QEvent::KeyPress && handleKey(static_cast<QKeyEvent*>(e)->key())) return true;
    return QMainWindow::eventFilter(watched, e);
}

bool TFFTDISPLAY::handleKey(int key) {
    const int w = plot_->width(), h = plot_->height();
    switch (key) {
        case Qt::Key_Right:
            model_.view.MoveMarker(1, w, h);
            break;
        case Qt::Key_Left:
            model_.view.MoveMarker(-1, w, h);
            break;
        case Qt::Key_PageUp:
            model_.view.MoveMarker(10, w, h);
            break;
        case Qt::Key_PageDown:
            model_.view.MoveMarker(-10, w, h);
            break;
        case Qt::Key_F:
            if (!hooks_.finder) return false;
            showMinimized();
            hooks_.finder();
            return true;
        case Qt::Key_S:
            if (!hooks_.features) return false;
            hooks_.features();
            return true;
        default:
            return false;
    }
    Repaint();
    return true;
}

// ------------------------------------------------------------------ files

void TFFTDISPLAY::pause(bool on) {
    if (hooks_.pauseRepeat) hooks_.pauseRepeat(on);
}

void TFFTDISPLAY::SAVE1Click() {
    if (!model_.computer.DataValid()) return;
    const bool smooth = model_.computer.Mode() == AnalysisMode::Smooth;
    FileDialogRequest r;
    r.title = Msg(193);
    r.filter = smooth ? FilterFor(195, "*.SMR *.smr") : FilterFor(194, "*.mfr *.MFR");
    r.defaultExtension = smooth ? "SMR" : "MFR";
    pause(true);
    const auto path = prompter_.ChooseSaveFile(r);
    if (path && model_.store.SaveSpectrum(*path, model_.Display())) {
        model_.store.lastSavedSpectrum = *path;
        updateRecentMenus();
    }
    pause(false);
}

void TFFTDISPLAY::QuickSave(int slot) {
    if (!model_.computer.DataValid()) return;
    const std::string folder =
        hooks_.quickSaveFolder.empty() ? QDir::currentPath().toStdString() : hooks_.quickSaveFolder;
    if (model_.store.QuickSave(slot, folder, model_.Display(), settings_)) updateRecentMenus();
}

void TFFTDISPLAY::OverlayQuickSave(int slot) {
    if (model_.store.OverlayQuickSave(slot, settings_, model_.computer.SampleRate())) {
        updateRecentMenus();
    }
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
    if (!model_.computer.DataValid()) return;
    if (model_.store.SavePreset(presetFolder(), name, model_.Display())) updateRecentMenus();
}

bool TFFTDISPLAY::LoadOverlay(const std::string& path) {
    const bool ok = model_.LoadOverlay(path);
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
    CalibrationStore::Overlay& o = model_.store.CurrentOverlay();
    if (o.loaded) o.shown = !o.shown;
    updateOverlayUi();
    Repaint();
}

void TFFTDISPLAY::FlipCurve1Click() {
    CalibrationStore::Overlay& o = model_.store.CurrentOverlay();
    o.inverted = !o.inverted;
    updateOverlayUi();
    Repaint();
}

void TFFTDISPLAY::SETCOLOR1Click() {
    uint32_t& ref = program_.Colors.entries[kFreqOverlay];
    const QColor c = QColorDialog::getColor(ToQColor(ref), this, M(180));
    if (c.isValid()) ref = FromQColor(c);
    Repaint();
}

Provenance TFFTDISPLAY::provenance() const {
    const MeasurementState& m = Meas();
    Provenance p;
    p.program = std::string("MIV V") + kProgramVersion;
    p.date = NowText();
    p.sampleRate = static_cast<int>(model_.computer.SampleRate());
    for (int order = 2; order <= 24; ++order) {
        if ((int32_t{1} << order) == m.MlsSize) p.mlsOrder = order;
    }
    p.runKnown = m.LastRun.known;
    p.averages = m.LastRun.averages;
    p.atc = m.LastRun.atc;
    p.pink = m.LastRun.pink;
    p.windowSamples = static_cast<int>(model_.computer.ViewEnd() - model_.computer.ViewStart());
    p.fftSize = model_.computer.FftSize();
    const bool smooth = model_.computer.Mode() == AnalysisMode::Smooth;
    p.mode = smooth ? "SMOOTH" : "FFT";
    if (smooth) p.smoothing = "width " + std::to_string(2 * program_.Smoothing + 1);
    const AnalysisMode mode = model_.computer.Mode();
    if (model_.store.CalibrationInUse(mode)) {
        p.calibrationFile = model_.store.CalibrationPath(mode);
        p.calibrationHash = FileHash(p.calibrationFile);
    }
    if (smooth && model_.store.MicCorrectionApplies(model_.computer.SampleRate())) {
        p.micFile = model_.store.MicPath();
        p.micHash = FileHash(p.micFile);
    }
    p.soundSpeed = m.SoundSpeed;
    p.driftMeasured = m.DriftMeasured;
    p.driftPpm = m.DriftPpm;
    p.driftCorrected = m.DriftCorrected;
    return p;
}

void TFFTDISPLAY::SASCII1Click() {
    if (!model_.computer.DataValid()) return;
    FileDialogRequest r;
    r.title = Msg(279);
    r.filter = "IMP FFT DATA (*.FRD *.frd)";
    r.defaultExtension = "FRD";
    pause(true);
    const auto path = prompter_.ChooseSaveFile(r);
    pause(false);
    if (!path) return;
    const double offset =
        FrdLevelOffset(program_.AsciiOffset, program_.AsciiUseGain, model_.view.gain);
    const bool micApplies = model_.store.MicCorrectionApplies(model_.computer.SampleRate());
    const std::string text =
        (program_.StampExports ? ProvenanceComments(provenance()) : std::string()) +
        (model_.computer.Mode() == AnalysisMode::Fft
             ? BuildFrdFft(model_.computer.DisplaySpectrum().data(), model_.computer.FftSize(),
                           model_.computer.SampleRate(), model_.computer.LowestValidFrequency(),
                           model_.computer.LevelReference(), offset)
             : BuildFrdSmooth(model_.computer.SmoothDisplay().data(),
                              model_.computer.LowestValidFrequency(),
                              model_.computer.LevelReference(), offset,
                              micApplies ? &model_.store.Mic() : nullptr));
    AtomicFile file;
    if (!file.Open(*path) || !file.Write(text) || !file.Commit()) {
        prompter_.Inform(Msg(39), *path + "\r" + file.Error(), PromptIcon::Stop);
    }
}

void TFFTDISPLAY::LOADCAL1Click() {
    const AnalysisMode m = model_.CalibrationMode();
    if (model_.store.CalibrationInUse(m) &&
        prompter_.Ask(Msg(33), Msg(32), PromptButtons::YesNo, PromptIcon::Question) !=
            PromptAnswer::Yes) {
        return;
    }
    FileDialogRequest r;
    r.title = Msg(200);
    r.filter =
        m == AnalysisMode::Fft ? FilterFor(198, "*.cal *.CAL") : FilterFor(199, "*.csm *.CSM");
    pause(true);
    const auto path = prompter_.ChooseOpenFile(r);
    if (path) {
        model_.LoadCalibration(m, *path);
        updateRecentMenus();
        Rebuild();
    }
    pause(false);
}

void TFFTDISPLAY::LoadRecentCalibration(const std::string& path) {
    model_.LoadRecentCalibration(path);
    updateRecentMenus();
    Rebuild();
}

void TFFTDISPLAY::SAVEASCAL1Click() {
    if (!model_.computer.DataValid()) return;
    const AnalysisMode m = model_.computer.Mode();
    FileDialogRequest r;
    r.title = Msg(205);
    r.filter = m == AnalysisMode::Fft ? FilterFor(198, "*.cal") : FilterFor(199, "*.csm");
    r.defaultExtension = m == AnalysisMode::Fft ? "cal" : "csm";
    pause(true);
    const auto path = prompter_.ChooseSaveFile(r);
    if (path && model_.SaveAsCalibration(*path)) {
        updateRecentMenus();
        Rebuild();
    }
    pause(false);
}

void TFFTDISPLAY::USECAL1Click() {
    if (!model_.ToggleCalibration()) {
        updateCalibrationUi();
        return;
    }
    Rebuild();
}

void TFFTDISPLAY::MicButtonClick() {
    model_.store.micApplied = mic_->isChecked();
    Repaint();
}

void TFFTDISPLAY::LOADMICCALDATA1Click() {
    FileDialogRequest r;
    r.title = Msg(201);
    r.filter =
        FilterFor(202, "*.SMC *.smc") + ";;Microphone calibration text (*.txt *.TXT *.frd *.FRD)";
    pause(true);
    const auto path = prompter_.ChooseOpenFile(r);
    if (path && model_.LoadMic(*path)) settings_.WriteString("MIC CAL DATA", *path);
    mic_->setChecked(model_.store.micApplied);
    pause(false);
    Repaint();
}

void TFFTDISPLAY::EDITMICDATA1Click() {
    const std::string editor = settings_.ReadString("Mic Cal").value_or("");
    const QStringList args =
        model_.store.MicLoaded() ? QStringList{Q(model_.store.MicPath())} : QStringList{};
    if (!editor.empty() && QProcess::startDetached(Q(editor), args)) return;
    FileDialogRequest r;
    r.title = Msg(203);
    r.filter = Msg(204) + " (*)";
    const auto path = prompter_.ChooseOpenFile(r);
    if (!path) return;
    settings_.WriteString("Mic Cal", *path);
    if (!QProcess::startDetached(Q(*path), args)) {
        prompter_.Inform(Msg(203), *path, PromptIcon::Stop);
    }
}

void TFFTDISPLAY::Snap(int userMacro) {
    if (userMacro < 1 || userMacro > 10 || !model_.computer.DataValid()) return;
    const AnalysisMode m = model_.computer.Mode();
    SnapshotSource s;
    s.mode = m;
    s.fftSize = model_.computer.FftSize();
    s.smoothingValue = model_.view.smoothingValue;
    s.calFile = model_.store.CalibrationPath(m);
    s.useCal = model_.store.CalibrationInUse(m);
    s.micFile = model_.store.MicLoaded() ? model_.store.MicPath() : std::string();
    s.useMic = model_.store.micApplied;
    const CalibrationStore::Overlay& o = model_.store.CurrentOverlay();
    s.overlayFile = o.loaded ? o.path : std::string();
    s.useOverlay = o.loaded && o.shown;
    s.viewStart = model_.computer.ViewStart();
    s.viewEnd = model_.computer.ViewEnd();
    s.peakIndex = hooks_.peakIndex ? hooks_.peakIndex() : s.viewStart;
    s.sampleRate = model_.computer.SampleRate();
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
    QPrinter printer(QPrinter::ScreenResolution);
    if (!ChoosePrintTarget(printer, this, prompter_, Msg(154))) return;
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
    if (program_.StampExports && model_.computer.DataValid()) {
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
    if (printer.printerState() == QPrinter::Error) {
        prompter_.Inform(Msg(154), Msg(31), PromptIcon::Warning);
    }
}

// ------------------------------------------------------------------ captions and lists

void TFFTDISPLAY::updateCalibrationUi() {
    const AnalysisMode m = model_.CalibrationMode();
    useCal_->setEnabled(model_.store.CalibrationLoaded(m));
    useCal_->setChecked(model_.store.CalibrationInUse(m));
    useCal_->setText(Q(model_.store.UseCalCaption(m)));
    model_.view.calibrationInUse = model_.store.CalibrationInUse(m);
    model_.view.calibrationLowest = model_.store.CalibrationLowestFrequency();
    if (mic_) mic_->setChecked(model_.store.micApplied);
}

void TFFTDISPLAY::updateOverlayUi() {
    const CalibrationStore::Overlay& o = model_.store.CurrentOverlay();
    showOverlay_->setEnabled(o.loaded);
    showOverlay_->setChecked(o.loaded && o.shown);
    showOverlay_->setText(Q(model_.store.OverlayCaption()));
    flip_->setChecked(o.inverted);
}

void TFFTDISPLAY::updateRecentMenus() {
    recentCal_->clear();
    for (const auto& e : model_.store.recentCalibrations.Entries()) {
        const std::string path = e.path;
        connect(recentCal_->addAction(Q(path)), &QAction::triggered, this,
                [this, path] { LoadRecentCalibration(path); });
    }
    recentOverlay_->clear();
    for (const auto& e : model_.store.recentOverlays.Entries()) {
        const std::string path = e.path;
        connect(recentOverlay_->addAction(Q(path)), &QAction::triggered, this,
                [this, path] { LoadOverlay(path); });
    }
}

}  // namespace fim
