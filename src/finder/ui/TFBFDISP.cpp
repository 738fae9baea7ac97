#include "finder/ui/TFBFDISP.h"

#include <QButtonGroup>
#include <QCloseEvent>
#include <QFont>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QStatusBar>
#include <QToolBar>
#include <QToolButton>
#include <algorithm>

#include "audio/ui/Peakpoin.h"
#include "audio/ui/QueuedWakeup.h"
#include "base/Catalog.h"
#include "base/ui/paint/QtBoundary.h"

namespace fim {

namespace {

// One round deviation lamp.
class RoundLamp : public QWidget {
  public:
    explicit RoundLamp(QWidget* parent) : QWidget(parent) { setFixedSize(16, 16); }
    void setColour(const QColor& c) {
        if (c == colour_) return;
        colour_ = c;
        update();
    }
    QColor colour() const { return colour_; }

  protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(QPen(Qt::darkGray, 1));
        p.setBrush(colour_);
        p.drawEllipse(QRectF(rect()).adjusted(1, 1, -1, -1));
    }

  private:
    QColor colour_ = Qt::white;
};

constexpr std::array<const char*, 8> kLampNames = {"L1",        "Peakpoin1", "Peakpoin2",
                                                   "Peakpoin3", "Peakpoin4", "Peakpoin5",
                                                   "Peakpoin6", "Peakpoin7"};
constexpr std::array<const char*, 8> kLampCaptions = {"-2",  "-4",  "-7",  "-10",
                                                      "-20", "-30", "-40", "-60"};

}  // namespace

TFBFDISP::TFBFDISP(MeasurementState& state, RunController& controller, RunView& view,
                   Prompter& prompter, FinderSettings& settings, QWidget* parent)
    : QMainWindow(parent, Qt::Tool | Qt::WindowStaysOnTopHint | Qt::CustomizeWindowHint |
                              Qt::WindowTitleHint) {
    setObjectName(QStringLiteral("FBFDISP"));
    setWindowTitle(M(254));
    wakeup_ = std::make_unique<QueuedWakeup>(this, [this] {
        model_->DispatchEvents();
        refresh();
        if (!model_->IsOpen() && isVisible()) hide();  // the device was lost
    });
    model_ =
        std::make_unique<FinderModel>(state, controller, view, prompter, settings, wakeup_.get());
    model_->onCapture = [this](const FinderCapture& c) { emit captureAnalysed(c); };

    // ToolBar1: display modes, deviation lamps, AUTO RESTART, SETUP, SAMPLE, SEARCH, EXIT.
    auto* bar = addToolBar(QStringLiteral("ToolBar1"));
    bar->setObjectName(QStringLiteral("ToolBar1"));
    bar->setMovable(false);
    bar->setFloatable(false);
    bar->setContextMenuPolicy(Qt::PreventContextMenu);
    auto* group = new QButtonGroup(this);
    group->setExclusive(true);
    struct ModeButton {
        const char* name;
        int tag;
        const char* caption;
        int hint;
    };
    for (const ModeButton& b :
         {ModeButton{"ToolButton1", 2, "10", 266}, ModeButton{"ToolButton3", 1, "15", 265},
          ModeButton{"ToolButton4", 0, "31", 262}, ModeButton{"ToolButton5", 3, "Hz", 261}}) {
        auto* t = new QToolButton(bar);
        t->setObjectName(QString::fromLatin1(b.name));
        t->setText(QString::fromLatin1(b.caption));
        t->setToolTip(M(b.hint));
        t->setCheckable(true);
        t->setFocusPolicy(Qt::NoFocus);
        group->addButton(t, b.tag);
        bar->addWidget(t);
        modeButtons_[static_cast<std::size_t>(b.tag)] = t;
        const int tag = b.tag;
        connect(t, &QToolButton::clicked, this, [this, tag] { ToolButton1Click(tag); });
    }
    bar->addSeparator();
    auto* panel2 = new QWidget(bar);
    panel2->setObjectName(QStringLiteral("Panel2"));
    auto* lampRow = new QHBoxLayout(panel2);
    lampRow->setContentsMargins(6, 0, 6, 0);
    lampRow->setSpacing(3);
    for (int k = 0; k < 11; ++k) {
        auto* s = new RoundLamp(panel2);
        s->setObjectName(QStringLiteral("Shape%1").arg(k + 1));
        lampRow->addWidget(s);
        shapes_[static_cast<std::size_t>(k)] = s;
    }
    bar->addWidget(panel2);
    bar->addSeparator();
    auto tool = [&](const char* name, const QString& caption, const QString& hint) {
        auto* t = new QToolButton(bar);
        t->setObjectName(QString::fromLatin1(name));
        t->setText(caption);
        t->setToolTip(hint);
        t->setFocusPolicy(Qt::NoFocus);
        bar->addWidget(t);
        return t;
    };
    autoRestart_ = tool("ToolButton7", QStringLiteral("AUTO"), M(263));
    autoRestart_->setCheckable(true);
    connect(autoRestart_, &QToolButton::clicked, this, &TFBFDISP::ToolButton7Click);
    connect(tool("ToolButton11", QStringLiteral("SETUP"), QStringLiteral("SETUP")),
            &QToolButton::clicked, this, &TFBFDISP::SETUP1Click);
    connect(tool("ToolButton13", QStringLiteral("SAMPLE"), QStringLiteral("SAMPLE")),
            &QToolButton::clicked, this, &TFBFDISP::SAMPLE1Click);
    connect(tool("ToolButton15", QStringLiteral("SEARCH"), QStringLiteral("SEARCH")),
            &QToolButton::clicked, this, &TFBFDISP::RESAMPLE1Click);
    connect(tool("ToolButton8", QStringLiteral("EXIT"), QStringLiteral("EXIT")),
            &QToolButton::clicked, this, &TFBFDISP::STOP1Click);

    // Label1 fills the window; Panel1 on the right holds the peak lamps.
    auto* central = new QWidget(this);
    auto* row = new QHBoxLayout(central);
    label1_ = new QLabel(QStringLiteral("WAIT"), central);
    label1_->setObjectName(QStringLiteral("Label1"));
    QFont big(QStringLiteral("Arial"));
    big.setBold(true);
    big.setPixelSize(96);
    label1_->setFont(big);
    label1_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    label1_->setMinimumWidth(420);
    row->addWidget(label1_, 1);
    auto* panel1 = new QFrame(central);
    panel1->setObjectName(QStringLiteral("Panel1"));
    panel1->setFrameStyle(QFrame::Panel | QFrame::Raised);
    auto* lamps = new QGridLayout(panel1);
    lamps->setSpacing(2);
    for (int i = 0; i < 8; ++i) {
        auto* p = new Peakpoin(panel1);
        p->setObjectName(QString::fromLatin1(kLampNames[static_cast<std::size_t>(i)]));
        p->setFixedSize(24, 12);
        auto* caption =
            new QLabel(QString::fromLatin1(kLampCaptions[static_cast<std::size_t>(i)]), panel1);
        lamps->addWidget(p, i, 0);
        lamps->addWidget(caption, i, 1);
        peak_[static_cast<std::size_t>(i)] = p;
    }
    row->addWidget(panel1);
    setCentralWidget(central);

    // StatusBar1: state text, trigger threshold, restart threshold.
    // 200, 80 and 100 pixels, or as wide as the longest threshold text needs in this font.
    const int threshold = fontMetrics().horizontalAdvance(QStringLiteral("Restart: -40dB")) + 2 * 6;
    const int widths[] = {200, std::max(80, threshold), std::max(100, threshold)};
    for (int i = 0; i < 3; ++i) {
        auto* l = new QLabel(this);
        l->setObjectName(QStringLiteral("StatusPanel%1").arg(i));
        l->setFixedWidth(widths[i]);
        l->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        statusBar()->addWidget(l);
        panels_[static_cast<std::size_t>(i)] = l;
    }
    statusBar()->setSizeGripEnabled(false);

    devices_ = std::make_unique<LiveDevices>(
        this, LiveDevices::Hooks{[this] { return model_->Open(); }, [this] { model_->Close(); },
                                 [this] { applySettings(); }, [this] { refreshPeakLamps(); }});
}

TFBFDISP::~TFBFDISP() { devices_->Release(); }

QToolButton* TFBFDISP::button(const QString& name) const { return findChild<QToolButton*>(name); }

QColor TFBFDISP::shapeColour(int k) const {
    return static_cast<RoundLamp*>(shapes_.at(static_cast<std::size_t>(k - 1)))->colour();
}

bool TFBFDISP::Start() {
    if (!devices_->Take()) return false;
    show();
    raise();
    return true;
}

void TFBFDISP::applySettings() {
    const FinderSettings& s = model_->Settings();
    modeButtons_[static_cast<std::size_t>(s.DisplayMode)]->setChecked(true);
    autoRestart_->setChecked(s.AutoRestart != 0);
    for (std::size_t i = 0; i < peak_.size(); ++i) {
        peak_[i]->setLamp(model_->peakLamps[i]);
        peak_[i]->setValue(0);
    }
    refresh();
}

void TFBFDISP::refresh() {
    label1_->setText(Q(model_->readout));
    for (std::size_t k = 0; k < shapes_.size(); ++k) {
        static_cast<RoundLamp*>(shapes_[k])->setColour(ToQColor(model_->lamps.colours[k]));
    }
    for (std::size_t i = 0; i < panels_.size(); ++i) panels_[i]->setText(Q(model_->panels[i]));
}

void TFBFDISP::refreshPeakLamps() {
    bool fresh = false;
    const int32_t peak = model_->TakePeak(&fresh);
    if (!fresh) return;
    for (Peakpoin* p : peak_) p->setValue(peak);
}

void TFBFDISP::ToolButton1Click(int tag) {
    model_->SelectDisplayMode(tag);
    refresh();
}

void TFBFDISP::ToolButton7Click() { model_->SetAutoRestart(autoRestart_->isChecked()); }

void TFBFDISP::SETUP1Click() {
    if (!openSettings) return;
    // The dialog may change the device, the format or the resolution.
    devices_->AroundSettings(openSettings);
}

void TFBFDISP::SAMPLE1Click() { model_->SAMPLE1Click(); }

void TFBFDISP::RESAMPLE1Click() {
    model_->RESAMPLE1Click();
    refresh();
}

void TFBFDISP::STOP1Click() { close(); }

void TFBFDISP::closeEvent(QCloseEvent* event) {
    devices_->Release();
    refresh();
    event->accept();
}

}  // namespace fim
