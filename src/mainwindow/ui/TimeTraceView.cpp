#include "mainwindow/ui/TimeTraceView.h"

#include <QActionGroup>
#include <QEvent>
#include <QFrame>
#include <QHBoxLayout>
#include <QIcon>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QToolButton>
#include <QVBoxLayout>

#include "base/Catalog.h"
#include "base/ui/paint/QtBoundary.h"
#include "core/MeasurementState.h"
#include "mainwindow/ui/TimeTraceWidget.h"
#include "mainwindow/ui/paint/TracePainter.h"

// The icons are compiled into the static fim_ui library, whose resource initialiser the linker
// would drop unless something refers to it.
static void InitTimeTraceResources() { Q_INIT_RESOURCE(timetrace); }

namespace fim {

namespace {

constexpr int kPanelWidth = 34;
constexpr int kSeparatorHeight = 7;

// Forwards right-button presses on a user-window button (which open the features dialog at
// its user-window page).
class RightPressFilter : public QObject {
  public:
    RightPressFilter(QObject* parent, std::function<void()> onRight)
        : QObject(parent), onRight_(std::move(onRight)) {}

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::MouseButtonPress &&
            static_cast<QMouseEvent*>(event)->button() == Qt::RightButton) {
            onRight_();
            return true;
        }
        return QObject::eventFilter(watched, event);
    }

  private:
    std::function<void()> onRight_;
};

}  // namespace

TimeTraceView::TimeTraceView(MeasurementState& meas, Prompter& prompter, QWidget* parent)
    : QWidget(parent), meas_(meas), model_(meas, prompter) {
    InitTimeTraceResources();
    setFocusPolicy(Qt::StrongFocus);
    auto input = [this] { return paintInput(); };
    trace_ = new TimeTraceWidget(model_, input, this);
    overview_ = new OverviewWidget(model_, input, this);

    // Pop-up menu of trace and overview.
    popup_ = new QMenu(this);
    auto* modes = new QActionGroup(popup_);
    const MouseMode modeOrder[4] = {MouseMode::CutLeft, MouseMode::CutRight, MouseMode::Marker1,
                                    MouseMode::Marker2};
    const int modeMsg[4] = {122, 123, 120, 121};
    for (int i = 0; i < 4; ++i) {
        QAction* a = popup_->addAction(Q(Msg(modeMsg[i])));
        a->setCheckable(true);
        modes->addAction(a);
        const MouseMode mode = modeOrder[i];
        connect(a, &QAction::triggered, this, [this, mode] { model_.SetMouseMode(mode); });
        modeActions_[i] = a;
    }
    connect(popup_->addAction(Q(Msg(125))), &QAction::triggered, this, [this] { model_.Full(); });
    connect(popup_->addAction(Q(Msg(130))), &QAction::triggered, this,
            [this] { model_.CutRightMarker(); });
    connect(popup_->addAction(Q(Msg(131))), &QAction::triggered, this,
            [this] { model_.CutLeftMarker(); });
    peakAction_ = popup_->addAction(Q(Msg(126)));
    connect(peakAction_, &QAction::triggered, this, [this] { model_.SetMarkerOnPeak(); });
    latchAction_ = popup_->addAction(Q(Msg(132)));
    connect(latchAction_, &QAction::triggered, this, [this] {
        model_.LatchMarker();
        syncControls();
    });
    differenceAction_ = popup_->addAction(Q(Msg(133)));
    connect(differenceAction_, &QAction::triggered, this, [this] { model_.ShowDifference(); });
    connect(trace_, &TimeTraceWidget::popupRequested, popup_, [this](const QPoint& at) {
        syncControls();
        popup_->popup(at);
    });
    connect(overview_, &OverviewWidget::popupRequested, popup_, [this](const QPoint& at) {
        syncControls();
        popup_->popup(at);
    });

    // Right-hand panel.
    auto* panel = new QWidget(this);
    panel->setFixedWidth(kPanelWidth);
    auto* pl = new QVBoxLayout(panel);
    pl->setContentsMargins(2, 2, 2, 2);
    pl->setSpacing(2);
    const char* modeIcons[4] = {"cutleft", "cutright", "marker1", "marker2"};
    for (int i = 0; i < 4; ++i) {
        QToolButton* b = addButton(panel, modeIcons[i], Q(Msg(modeMsg[i])), true);
        const MouseMode mode = modeOrder[i];
        connect(b, &QToolButton::clicked, this, [this, mode] { model_.SetMouseMode(mode); });
        modeButtons_[i] = b;
    }
    peakButton_ = addButton(panel, "peak", Q(Msg(126)), false);
    connect(peakButton_, &QToolButton::clicked, this, [this] { model_.SetMarkerOnPeak(); });
    QToolButton* full = addButton(panel, "full", Q(Msg(125)), false);
    connect(full, &QToolButton::clicked, this, [this] { model_.Full(); });
    const char* windowIcons[4] = {"window10", "window20", "user1", "user2"};
    for (int i = 0; i < 4; ++i) {
        QToolButton* b = addButton(panel, windowIcons[i], Q(Msg(114 + i)), false);
        connect(b, &QToolButton::clicked, this, [this, i] { model_.ApplyTimeWindow(i); });
        windowButtons_[i] = b;
    }
    for (int i = kUserWindow1; i <= kUserWindow2; ++i) {
        windowButtons_[i]->installEventFilter(new RightPressFilter(windowButtons_[i], [this] {
            if (model_.host.openFeatures) model_.host.openFeatures(FeaturesPage::UserWindow);
        }));
    }
    pl->addStretch(1);
    dbButton_ = addButton(panel, "db", QString(), true);
    connect(dbButton_, &QToolButton::toggled, this, [this](bool on) { model_.SetDbDisplay(on); });

    auto* top = new QHBoxLayout;
    top->setContentsMargins(0, 0, 0, 0);
    top->setSpacing(0);
    top->addWidget(trace_, 1);
    top->addWidget(panel);
    auto* separator = new QFrame(this);
    separator->setFixedHeight(kSeparatorHeight);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addLayout(top, 1);
    layout->addWidget(separator);
    layout->addWidget(overview_);

    model_.host.repaint = [this] {
        model_.NormalizeWindow();
        repaintAll();
    };
    model_.SetMouseMode(MouseMode::Marker1);
}

QToolButton* TimeTraceView::addButton(QWidget* panel, const QString& icon, const QString& hint,
                                      bool checkable) {
    auto* b = new QToolButton(panel);
    b->setIcon(QIcon(QStringLiteral(":/timetrace/%1.svg").arg(icon)));
    b->setIconSize(QSize(22, 22));
    b->setFixedSize(30, 28);
    b->setAutoRaise(true);
    b->setCheckable(checkable);
    b->setToolTip(hint);
    b->setFocusPolicy(Qt::NoFocus);
    panel->layout()->addWidget(b);
    return b;
}

TracePaintInput TimeTraceView::paintInput() const { return PaintInputFrom(meas_); }

void TimeTraceView::refresh() {
    // The window shows a repaired analysis window; the model keeps it so.
    model_.NormalizeWindow();
    model_.UpdateReadouts();
    repaintAll();
}

void TimeTraceView::repaintAll() {
    syncControls();
    emit readoutsChanged();
    trace_->invalidate();
    overview_->invalidate();
}

void TimeTraceView::syncControls() {
    const int current = static_cast<int>(model_.Mode());
    for (int i = 0; i < 4; ++i) {
        modeActions_[i]->setChecked(i == current);
        modeButtons_[i]->setChecked(i == current);
    }
    const bool markers = model_.MarkerCommandsEnabled();
    peakAction_->setEnabled(markers);
    peakButton_->setEnabled(markers);
    latchAction_->setEnabled(markers);
    differenceAction_->setEnabled(markers);
    differenceAction_->setVisible(model_.showDifferenceVisible);
    for (QToolButton* b : windowButtons_) b->setEnabled(model_.responseControlsEnabled);
    for (int i = 0; i < 2; ++i) {
        const TimeWindow& w = model_.windows[kUserWindow1 + i];
        windowButtons_[kUserWindow1 + i]->setToolTip(Q(Msg(51) + w.name));
        if (userWindowItems_[i] != nullptr) userWindowItems_[i]->setText(Q(w.name));
    }
}

void TimeTraceView::addWindowMenuItems(QMenu* menu) {
    connect(menu->addAction(QStringLiteral("10ms (100Hz)")), &QAction::triggered, this,
            [this] { model_.ApplyTimeWindow(kWindow10ms); });
    connect(menu->addAction(QStringLiteral("20ms (50 Hz)")), &QAction::triggered, this,
            [this] { model_.ApplyTimeWindow(kWindow20ms); });
    for (int i = 0; i < 2; ++i) {
        userWindowItems_[i] = menu->addAction(Q(model_.windows[kUserWindow1 + i].name));
        connect(userWindowItems_[i], &QAction::triggered, this,
                [this, i] { model_.ApplyTimeWindow(kUserWindow1 + i); });
    }
    QAction* recall = menu->addAction(Q(Msg(269)));
    recall->setToolTip(Q(Msg(268)));
    connect(recall, &QAction::triggered, this, [this] { model_.RecallAbsolute(); });
    connect(menu->addAction(Q(Msg(61))), &QAction::triggered, this,
            [this] { model_.SetAsUser(kUserWindow1); });
    connect(menu->addAction(Q(Msg(62))), &QAction::triggered, this,
            [this] { model_.SetAsUser(kUserWindow2); });
    QAction* save = menu->addAction(Q(Msg(267)));
    save->setToolTip(Q(Msg(268)));
    connect(save, &QAction::triggered, this, [this] { model_.SaveAbsolute(); });
}

void TimeTraceView::addColorMenuItems(QMenu* menu) {
    const std::pair<const char*, ColorScheme> items[3] = {
        {"BREVIK STYLE", ColorScheme::BrevikStyle},
        {"HARBOR STYLE", ColorScheme::HarborStyle},
        {"CHILLY", ColorScheme::Chilly}};
    for (const auto& [caption, scheme] : items) {
        const ColorScheme s = scheme;
        connect(menu->addAction(QString::fromLatin1(caption)), &QAction::triggered, this,
                [this, s] { model_.SelectColorScheme(s); });
    }
}

TraceKey TimeTraceView::keyFromQt(int key) {
    switch (key) {
        case Qt::Key_PageUp:
            return TraceKey::PageUp;
        case Qt::Key_PageDown:
            return TraceKey::PageDown;
        case Qt::Key_End:
            return TraceKey::End;
        case Qt::Key_Home:
            return TraceKey::Home;
        case Qt::Key_Left:
            return TraceKey::Left;
        case Qt::Key_Right:
            return TraceKey::Right;
        case Qt::Key_D:
            return TraceKey::D;
        case Qt::Key_W:
            return TraceKey::W;
        case Qt::Key_S:
            return TraceKey::S;
        case Qt::Key_M:
            return TraceKey::M;
        case Qt::Key_L:
            return TraceKey::L;
        case Qt::Key_F:
            return TraceKey::F;
        default:
            return TraceKey::Other;
    }
}

bool TimeTraceView::handleKey(QKeyEvent* event) {
    // Letter keys with Ctrl belong to the menu short-cuts.
    if (event->modifiers() & (Qt::ControlModifier | Qt::AltModifier)) return false;
    const TraceKey key = keyFromQt(event->key());
    if (key == TraceKey::Other) return false;
    model_.KeyDown(key);
    return true;
}

void TimeTraceView::keyPressEvent(QKeyEvent* event) {
    if (!handleKey(event)) QWidget::keyPressEvent(event);
}

}  // namespace fim
