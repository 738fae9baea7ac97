// The frequency-response window's menus, tool bars and bottom value editor: built once, each
// entry connected to its TFFTDISPLAY command.

#include <QAction>
#include <QActionGroup>
#include <QHBoxLayout>
#include <QKeySequence>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QSizePolicy>
#include <QSpinBox>
#include <QToolBar>
#include <QToolButton>

#include "base/Catalog.h"
#include "base/ui/paint/QtBoundary.h"
#include "settings/ProgramSettings.h"
#include "spectrum/ui/TFFTDISPLAY.h"

namespace fim {

namespace {
// A caption of this window's own entries that the catalog does not hold, in its language.
QString L(const char* english, const char* german) {
    return QString::fromUtf8(ActiveLanguage() == Language::German ? german : english);
}
}  // namespace

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
    QMenu* seats = graph->addMenu(QStringLiteral("SEAT SET"));
    seats->menuAction()->setObjectName(QStringLiteral("SEATSETMENU1"));
    item(seats, "SEATSET1", QStringLiteral("MEASURE SEAT SET..."), {}, [this] {
        if (hooks_.seatSet) hooks_.seatSet();
    });
    item(seats, "STOPSEATSET1", QStringLiteral("STOP SEAT SET"), {}, [this] {
        if (hooks_.stopSeatSet) hooks_.stopSeatSet();
    });
    item(seats, "SAVESEATMEAN1", QStringLiteral("SAVE SEAT MEAN..."), {}, [this] {
        SAVESEATMEAN1Click();
    })->setEnabled(false);
    item(seats, "CLEARSEATSET1", QStringLiteral("CLEAR SEAT SET"), {}, [this] {
        ClearSeatSet();
    })->setEnabled(false);
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
        model_.view.Default();
        syncEditor();
        Repaint();
    });
    item(layout, "FIT1", M(164), K(Qt::CTRL | Qt::Key_F), [this] {
        model_.view.Fit();
        syncEditor();
        Repaint();
    });
    item(layout, "AUTOCENTER1", M(165), K(Qt::CTRL | Qt::Key_A), [this] {
        model_.computer.RequestAutoGain();
        Rebuild();
    });
    eqBorders_ = item(layout, "EQBORDERS1", M(166), {}, [this] {
        model_.view.eqStyle = !model_.view.eqStyle;
        eqBorders_->setText(M(model_.view.eqStyle ? 167 : 166));
        Repaint();
    });
    layout->addSeparator();
    QMenu* snap = layout->addMenu(M(314));
    snap->menuAction()->setObjectName(QStringLiteral("SNAP1"));
    connect(snap, &QMenu::aboutToShow, this, [this, snap] {
        const auto entries = snap->actions();
        for (int i = 0; i < entries.size(); ++i) {
            entries[i]->setText(QStringLiteral("M%1: ").arg(i + 1) +
                                Q(program_.Macros[static_cast<std::size_t>(i) + 2].name));
        }
    });
    for (int i = 1; i <= 10; ++i) {
        const std::string name = "Snap" + std::to_string(i);
        item(snap, name.c_str(), QStringLiteral("M%1").arg(i), {}, [this, i] { Snap(i); });
    }

    QMenu* show = bar->addMenu(M(173));
    show->menuAction()->setObjectName(QStringLiteral("SHOW1"));
    phase_ = item(show, "PHASERESPONSE1", M(175), {}, [this] {
        model_.view.phaseShown = phase_->isChecked();
        Repaint();
    });
    phase_->setCheckable(true);
    showOverlay_ = item(show, "SHOWOVERLAY1", M(176), K(Qt::CTRL | Qt::Key_O),
                        [this] { SHOWOVERLAY1Click(); });
    showOverlay_->setCheckable(true);
    flip_ =
        item(show, "FlipCurve1", M(177), K(Qt::CTRL | Qt::Key_I), [this] { FlipCurve1Click(); });
    flip_->setCheckable(true);
    show->addSeparator();
    // The run's noise floor under the curve, and the curve greyed where it stands less than
    // 10 dB above it. Both are preferences: they act when a run brought a noise estimate, and
    // the plot says so when it did not.
    noiseFloor_ = item(show, "NOISEFLOOR1", L("NOISE FLOOR", "RAUSCHBODEN"), {}, [this] {
        model_.view.noiseFloorShown = noiseFloor_->isChecked();
        settings_.WriteBool("NOISE FLOOR", model_.view.noiseFloorShown);
        Repaint();
    });
    noiseFloor_->setCheckable(true);
    greyNearNoise_ = item(show, "NOISEGREY1",
                          L("GREY WHERE < 10 dB ABOVE NOISE",
                            "GRAU WO < 10 dB \xC3\x9C"
                            "BER RAUSCHEN"),
                          {}, [this] {
                              model_.view.greyNearNoise = greyNearNoise_->isChecked();
                              settings_.WriteBool("NOISE GREY", model_.view.greyNearNoise);
                              Repaint();
                          });
    greyNearNoise_->setCheckable(true);

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
    for (const std::string& name : CalibrationStore::PresetNames()) {
        connect(presets_->addAction(Q(name)), &QAction::triggered, this,
                [this, name] { PresetSave(name); });
    }
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
        model_.view.penWidth = FrequencyDisplay::StepPenWidth(model_.view.penWidth);
        Repaint();
    });
    button(pen, "PENBUTTON", QStringLiteral("LINE"), M(315));
    auto* overlayPen = new QAction(this);
    connect(overlayPen, &QAction::triggered, this, [this] {
        model_.view.overlayPenWidth = FrequencyDisplay::StepPenWidth(model_.view.overlayPenWidth);
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
        model_.view.SetEditorValue(model_.view.editorMode, v);
        if (model_.view.editorMode == EditorMode::Smoothing) {
            program_.Smoothing = SmoothingWidthFromValue(model_.view.smoothingValue);
            editorLabel_->setText(M(160) + QStringLiteral(": %1").arg(model_.view.smoothingValue));
            Rebuild();
            return;
        }
        Repaint();
    });
    bottom->addSeparator();
    auto* group = new QActionGroup(this);
    const std::pair<EditorMode, int> modes[] = {
        {EditorMode::Smoothing, 160},  {EditorMode::Left, 156},     {EditorMode::Right, 157},
        {EditorMode::Scale, 159},      {EditorMode::LinesGap, 161}, {EditorMode::Gain, 158},
        {EditorMode::OverlayGain, 162}};
    for (const auto& [mode, msg] : modes) {
        QAction* a = bottom->addAction(M(msg));
        a->setCheckable(true);
        a->setObjectName(QStringLiteral("MODE_%1").arg(static_cast<int>(mode)));
        group->addAction(a);
        connect(a, &QAction::triggered, this, [this, m = mode] { SelectMode(m); });
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

}  // namespace fim
