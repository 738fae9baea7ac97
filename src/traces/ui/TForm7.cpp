#include "traces/ui/TForm7.h"

#include <QCloseEvent>
#include <QFileInfo>
#include <QGridLayout>
#include <QGuiApplication>
#include <QIcon>
#include <QLabel>
#include <QListWidget>
#include <QMouseEvent>
#include <QPixmap>
#include <QScreen>
#include <QToolButton>
#include <QVariant>

#include "base/Catalog.h"
#include "base/Prompter.h"
#include "base/SettingsTree.h"
#include "base/ui/paint/QtBoundary.h"

static void InitTraceResources() { Q_INIT_RESOURCE(traces); }

namespace fim {

namespace {

QIcon Swatch(uint32_t ref) {
    QPixmap p(16, 16);
    p.fill(ToQColor(ref));
    return QIcon(p);
}

// The name labels sit on the plot's dark background so that every trace colour (white and
// yellow included) stays readable.
// Runs after every repaint of the frequency window, so it touches a label only on a change.
void SetLabel(QLabel* label, const std::string& text, uint32_t colour) {
    const QString t = QString::fromStdString(text);
    if (label->text() != t) label->setText(t);
    const QString css = QStringLiteral("QLabel { color: %1; background: black; padding: 2px 4px; }")
                            .arg(CssColour(colour));
    if (label->styleSheet() != css) label->setStyleSheet(css);
}

void SetSwatch(QToolButton* button, uint32_t colour) {
    const QVariant v = button->property("swatch");
    if (v.isValid() && v.toUInt() == colour) return;
    button->setIcon(Swatch(colour));
    button->setProperty("swatch", colour);
}

QToolButton* MakeButton(QWidget* parent, const QString& name, const QString& hint,
                        const QString& glyph, bool toggle) {
    auto* b = new QToolButton(parent);
    b->setObjectName(name);
    b->setToolTip(hint);
    if (glyph.startsWith(QLatin1Char(':'))) {
        b->setIcon(QIcon(glyph));
        b->setIconSize(QSize(18, 18));
    } else {
        b->setText(glyph);
    }
    // Each toggle stands alone: a second click releases it, and no toggle releases another.
    b->setCheckable(toggle);
    b->setAutoRaise(false);
    b->setMinimumSize(26, 26);
    return b;
}

FileDialogRequest TraceFileRequest(int titleMessage, const std::string& extension) {
    FileDialogRequest r;
    r.title = Msg(titleMessage);
    r.filter = Msg(195) + " (*.smr *.SMR)";
    r.defaultExtension = extension;
    r.confirmOverwrite = true;
    return r;
}

}  // namespace

TForm7::TForm7(TraceSet& traces, Prompter& prompter, SettingsTree* settings, TForm7Host host,
               QWidget* parent)
    : QWidget(parent, Qt::Window),
      traces_(traces),
      prompter_(prompter),
      settings_(settings),
      host_(std::move(host)) {
    InitTraceResources();
    setObjectName(QStringLiteral("TForm7"));
    setWindowTitle(QStringLiteral("TRACEMANGER"));
    BuildRows();
    ReadPosition();
    SyncFromTraces();
    RefreshList();
}

void TForm7::BuildRows() {
    // Component names of the rows: load, colour, centre, show, average.
    static constexpr int kLoad[] = {4, 5, 6, 19, 20};
    static constexpr int kColour[] = {1, 3, 4, 5, 6};
    static constexpr int kCentre[] = {1, 7, 10, 13, 16};

    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(6, 6, 6, 6);
    grid->setHorizontalSpacing(3);
    grid->setVerticalSpacing(3);
    grid->setColumnStretch(0, 1);
    auto speed = [](int n) { return QStringLiteral("SpeedButton%1").arg(n); };

    for (int i = 0; i < kNumberedTraces; ++i) {
        const int number = i + 1;
        Row& r = rows_[static_cast<std::size_t>(i)];
        r.label = new QLabel(this);
        r.label->setObjectName(QStringLiteral("Label%1").arg(number));
        r.label->setMinimumWidth(150);
        r.label->setToolTip(M(216));
        r.label->setCursor(Qt::PointingHandCursor);
        r.label->installEventFilter(this);
        r.load =
            MakeButton(this, speed(kLoad[i]), M(216), QStringLiteral(":/traces/load.svg"), false);
        r.colour =
            MakeButton(this, QStringLiteral("BitBtn%1").arg(kColour[i]), M(220), QString(), false);
        r.centre = MakeButton(this, speed(kCentre[i]), M(218),
                              QStringLiteral(":/traces/centre.svg"), true);
        r.show = MakeButton(this, speed(kCentre[i] + 1), M(217),
                            QStringLiteral(":/traces/show.svg"), true);
        r.average = MakeButton(this, speed(kCentre[i] + 2), M(219), QStringLiteral("+"), true);

        grid->addWidget(r.label, i, 0);
        grid->addWidget(r.load, i, 1);
        grid->addWidget(r.colour, i, 2);
        grid->addWidget(r.centre, i, 3);
        grid->addWidget(r.show, i, 4);
        grid->addWidget(r.average, i, 5);

        connect(r.load, &QToolButton::clicked, this, [this, number] { LoadTrace(number); });
        connect(r.colour, &QToolButton::clicked, this,
                [this, number] { ChooseTraceColour(number); });
        connect(r.centre, &QToolButton::toggled, this, [this, number](bool on) {
            Ttrace& t = traces_.Trace(number);
            t.CentreDown = on;
            t.SetCentred(on, host_.liveLevelReference ? host_.liveLevelReference() : 1.0);
            Repaint();
        });
        connect(r.show, &QToolButton::toggled, this, [this, number](bool on) {
            traces_.Trace(number).ShowDown = on;
            ToggleChanged();
        });
        connect(r.average, &QToolButton::toggled, this, [this, number](bool on) {
            traces_.Trace(number).AverageDown = on;
            ToggleChanged();
        });
    }

    const int m = kNumberedTraces;
    label6_ = new QLabel(this);
    label6_->setObjectName(QStringLiteral("Label6"));
    speedButton21_ = MakeButton(this, speed(21), M(222), QStringLiteral(":/traces/show.svg"), true);
    speedButton22_ = MakeButton(this, speed(22), M(225), QString(), false);
    speedButton23_ = MakeButton(this, speed(23), M(223), QStringLiteral(":/traces/flip.svg"), true);
    speedButton24_ = MakeButton(this, speed(24), M(224), QStringLiteral("+"), true);
    speedButton25_ =
        MakeButton(this, speed(25), M(221), QStringLiteral(":/traces/save.svg"), false);
    grid->addWidget(label6_, m, 0);
    grid->addWidget(speedButton25_, m, 1);
    grid->addWidget(speedButton22_, m, 2);
    grid->addWidget(speedButton23_, m, 3);
    grid->addWidget(speedButton21_, m, 4);
    grid->addWidget(speedButton24_, m, 5);

    listBox1_ = new QListWidget(this);
    listBox1_->setObjectName(QStringLiteral("ListBox1"));
    listBox1_->setSelectionMode(QAbstractItemView::NoSelection);
    listBox1_->setFocusPolicy(Qt::NoFocus);
    listBox1_->setMaximumHeight(110);
    grid->addWidget(listBox1_, m + 1, 0, 1, 6);

    connect(speedButton21_, &QToolButton::toggled, this, [this](bool on) {
        traces_.Main().ShowDown = on;
        ToggleChanged();
    });
    connect(speedButton23_, &QToolButton::toggled, this, [this](bool on) {
        traces_.Main().CentreDown = on;
        ToggleChanged();
    });
    connect(speedButton24_, &QToolButton::toggled, this, [this](bool on) {
        traces_.AddCurrentGraph = on;
        ToggleChanged();
    });
    connect(speedButton22_, &QToolButton::clicked, this, [this] { ChooseTraceColour(0); });
    connect(speedButton25_, &QToolButton::clicked, this, [this] { SaveMainTrace(); });
}

const TForm7::Row& TForm7::RowOf(int number) const {
    return rows_.at(static_cast<std::size_t>(number - 1));
}
QLabel* TForm7::nameLabel(int number) const { return RowOf(number).label; }
QToolButton* TForm7::loadButton(int number) const { return RowOf(number).load; }
QToolButton* TForm7::colourButton(int number) const { return RowOf(number).colour; }
QToolButton* TForm7::centreToggle(int number) const { return RowOf(number).centre; }
QToolButton* TForm7::showToggle(int number) const { return RowOf(number).show; }
QToolButton* TForm7::averageToggle(int number) const { return RowOf(number).average; }

void TForm7::SyncFromTraces() {
    for (int n = 1; n <= kNumberedTraces; ++n) {
        const Ttrace& t = traces_.Trace(n);
        const Row& r = RowOf(n);
        SetLabel(r.label, t.GetName(), t.Colour);
        SetSwatch(r.colour, t.Colour);
        const bool on = t.ButtonsEnabled();
        r.centre->setEnabled(on);
        r.show->setEnabled(on);
        r.average->setEnabled(on);
    }
    const TMAINTRACE& main = traces_.Main();
    SetLabel(label6_, Msg(229), main.Colour);
    SetSwatch(speedButton22_, main.Colour);
    speedButton21_->setEnabled(main.ShowEnabled());
    // An empty main trace has nothing to save.
    speedButton25_->setEnabled(main.AverageCount > 0);
}

void TForm7::RefreshList() {
    listBox1_->clear();
    for (const std::string& name : traces_.MainTraceMembers()) {
        listBox1_->addItem(QString::fromStdString(name));
    }
}

void TForm7::Repaint() {
    if (host_.repaint) host_.repaint();
    SyncFromTraces();
}

void TForm7::ToggleChanged() {
    Repaint();
    RefreshList();
}

void TForm7::LoadTrace(int number) {
    Ttrace& t = traces_.Trace(number);
    FileDialogRequest request = TraceFileRequest(226, "smr");
    if (t.Loaded)
        request.initialDir = QFileInfo(QString::fromStdString(t.FileName)).path().toStdString();
    const auto path = prompter_.ChooseOpenFile(request);
    if (!path) return;
    if (!t.LoadFromFile(*path)) return;
    t.SaveSettings();
    RefreshList();
    // A shown row must not keep drawing the curve of the file it had before.
    Repaint();
}

void TForm7::ChooseTraceColour(int number) {
    Ttrace& t = number == 0 ? static_cast<Ttrace&>(traces_.Main()) : traces_.Trace(number);
    if (const auto c = prompter_.ChooseColour(Msg(number == 0 ? 225 : 220), t.Colour)) {
        t.SetColour(*c);
        t.SaveSettings();
    }
    Repaint();
}

void TForm7::SaveMainTrace() {
    if (traces_.Main().AverageCount == 0) return;
    const auto path = prompter_.ChooseSaveFile(TraceFileRequest(221, "SMR"));
    if (!path) return;
    traces_.Main().SaveToFile(*path, host_.sampleRate ? host_.sampleRate() : 44100.0);
}

void TForm7::ReadPosition() {
    if (settings_ == nullptr) return;
    const auto top = settings_->ReadInteger("TMX");
    const auto left = settings_->ReadInteger("TMY");
    // First opening: beside the frequency window, where it hides none of the plot.
    const QPoint corner = top && left ? QPoint(*left, *top)
                          : parentWidget()
                              ? parentWidget()->frameGeometry().topRight() + QPoint(8, 0)
                              : pos();
    // A position from a screen that is no longer attached would put the window out of reach.
    if (QGuiApplication::screenAt(corner + QPoint(20, 20)) == nullptr) return;
    move(corner);
}

void TForm7::WritePosition() {
    if (settings_ == nullptr) return;
    const QPoint p = pos();
    settings_->WriteInteger("TMX", p.y());
    settings_->WriteInteger("TMY", p.x());
}

bool TForm7::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        for (int n = 1; n <= kNumberedTraces; ++n) {
            if (watched == RowOf(n).label) {
                LoadTrace(n);
                return true;
            }
        }
    }
    return QWidget::eventFilter(watched, event);
}

void TForm7::changeEvent(QEvent* event) {
    if (event->type() == QEvent::ActivationChange && !isActiveWindow()) WritePosition();
    QWidget::changeEvent(event);
}

void TForm7::closeEvent(QCloseEvent* event) {
    // The window lives as long as the program: closing hides it.
    event->ignore();
    WritePosition();
    hide();
    if (host_.closed) host_.closed();
}

}  // namespace fim
