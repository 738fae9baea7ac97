#include "audio/ui/TForm4.h"

#include <QCloseEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QVBoxLayout>

#include "audio/ui/Peakpoin.h"
#include "audio/ui/QueuedWakeup.h"
#include "base/Catalog.h"
#include "base/Prompter.h"
#include "base/ui/paint/QtBoundary.h"

namespace fim {

namespace {

// The lamp names of the two bars, top to bottom.
constexpr std::array<int, 8> kAtcNames = {13, 14, 15, 16, 17, 18, 1, 2};
constexpr std::array<int, 8> kInNames = {7, 8, 9, 10, 11, 12, 3, 4};
constexpr std::array<const char*, 8> kLabels = {"-2",  "-4",  "-7",  "-10",
                                                "-20", "-30", "-40", "-60"};

// The desktop's mixers, in order of preference: the PulseAudio/PipeWire volume control, then the
// sound pages of the common desktops' settings.
struct MixerCommand {
    const char* program;
    QStringList arguments;
};
const std::array<MixerCommand, 4>& MixerCommands() {
    static const std::array<MixerCommand, 4> commands = {{
        {"pavucontrol", {}},
        {"pavucontrol-qt", {}},
        {"gnome-control-center", {QStringLiteral("sound")}},
        {"systemsettings", {QStringLiteral("kcm_pulseaudio")}},
    }};
    return commands;
}

std::string NoMixerText() {
    return ActiveLanguage() == Language::German
               ? "Es konnte kein Mischpult gestartet werden (pavucontrol oder die "
                 "Toneinstellungen des Desktops)."
               : "No sound mixer could be started (pavucontrol or the desktop's sound "
                 "settings).";
}

}  // namespace

TForm4::TForm4(MeasurementState& state, RunController& controller, RunView& view,
               Prompter& prompter, QWidget* parent)
    : QDialog(parent, Qt::Window | Qt::WindowStaysOnTopHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint) {
    setObjectName(QStringLiteral("Form4"));
    setWindowTitle(Q(Msg(68)));
    setModal(false);
    wakeup_ = std::make_unique<QueuedWakeup>(this, [this] {
        model_->DispatchEvents();
        if (!model_->IsOpen() && isVisible()) close();  // the device was lost
    });
    model_ = std::make_unique<LevelSetupModel>(state, controller, view, prompter, wakeup_.get());
    startProgram = [](const QString& program, const QStringList& arguments) {
        if (QStandardPaths::findExecutable(program).isEmpty()) return false;
        return QProcess::startDetached(program, arguments);
    };

    auto* top = new QVBoxLayout(this);
    auto* bars = new QGridLayout;
    auto* atcTitle = new QLabel(QStringLiteral("ATC"), this);
    auto* inTitle = new QLabel(QStringLiteral("IN"), this);
    atcTitle->setAlignment(Qt::AlignCenter);
    inTitle->setAlignment(Qt::AlignCenter);
    bars->addWidget(atcTitle, 0, 0);
    bars->addWidget(inTitle, 0, 2);
    for (int i = 0; i < 8; ++i) {
        const auto k = static_cast<std::size_t>(i);
        atc_[k] = new Peakpoin(this);
        atc_[k]->setObjectName(QStringLiteral("Peakpoin%1").arg(kAtcNames[k]));
        atc_[k]->setFixedSize(40, 16);
        in_[k] = new Peakpoin(this);
        in_[k]->setObjectName(QStringLiteral("Peakpoin%1").arg(kInNames[k]));
        in_[k]->setFixedSize(40, 16);
        auto* label = new QLabel(QString::fromLatin1(kLabels[k]), this);
        label->setAlignment(Qt::AlignCenter);
        label->setMinimumWidth(30);
        bars->addWidget(atc_[k], i + 1, 0, Qt::AlignHCenter);
        bars->addWidget(label, i + 1, 1);
        bars->addWidget(in_[k], i + 1, 2, Qt::AlignHCenter);
    }
    top->addLayout(bars);

    panel1_ = new QLabel(this);
    panel1_->setObjectName(QStringLiteral("Panel1"));
    panel5_ = new QLabel(this);
    panel5_->setObjectName(QStringLiteral("Panel5"));
    for (QLabel* p : {panel1_, panel5_}) {
        p->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        top->addWidget(p);
    }

    auto* buttons = new QGridLayout;
    button2_ = new QPushButton(this);
    button2_->setObjectName(QStringLiteral("Button2"));
    connect(button2_, &QPushButton::clicked, this, &TForm4::Button2Click);
    auto* mixer = new QPushButton(QStringLiteral("Win - Mixer"), this);
    mixer->setObjectName(QStringLiteral("Button1"));
    connect(mixer, &QPushButton::clicked, this, &TForm4::Button1Click);
    auto* setup = new QPushButton(QStringLiteral("Setup"), this);
    setup->setObjectName(QStringLiteral("SetupButton"));
    connect(setup, &QPushButton::clicked, this, &TForm4::SetupClick);
    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("BitBtn1"));
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &TForm4::BitBtn1Click);
    buttons->addWidget(button2_, 0, 0);
    buttons->addWidget(mixer, 0, 1);
    buttons->addWidget(setup, 1, 0);
    buttons->addWidget(ok, 1, 1);
    top->addLayout(buttons);

    // The lamps follow the display, not the buffers.
    devices_ = std::make_unique<LiveDevices>(
        this, LiveDevices::Hooks{[this] { return model_->Open(); }, [this] { model_->Close(); },
                                 [this] { FormCreate(); }, [this] { refreshLamps(); }});
}

TForm4::~TForm4() { devices_->Release(); }

void TForm4::FormCreate() {
    for (std::size_t i = 0; i < 8; ++i) {
        atc_[i]->setLamp(model_->atcBar[i]);
        in_[i]->setLamp(model_->inBar[i]);
        atc_[i]->setValue(0);
        in_[i]->setValue(0);
    }
    button2_->setText(Q(model_->Button2Caption()));
    panel1_->setText(Q(model_->inPanel));
    panel5_->setText(Q(model_->outPanel));
}

bool TForm4::Start() {
    if (!devices_->Take()) return false;
    show();
    raise();
    activateWindow();
    return true;
}

void TForm4::refreshLamps() {
    const LevelSetupModel::Peaks p = model_->TakePeaks();
    if (!p.fresh) return;  // no buffer since the last frame: the lamps stay as they are
    for (std::size_t i = 0; i < 8; ++i) {
        atc_[i]->setValue(p.atc);
        in_[i]->setValue(p.in);
    }
}

void TForm4::BitBtn1Click() { close(); }

void TForm4::Button1Click() {
    for (const MixerCommand& c : MixerCommands()) {
        if (startProgram(QString::fromLatin1(c.program), c.arguments)) return;
    }
    model_->prompter().Inform("Win - Mixer", NoMixerText());
}

void TForm4::Button2Click() {
    model_->Button2Click();
    button2_->setText(Q(model_->Button2Caption()));
}

void TForm4::SetupClick() {
    if (!openSettings) return;
    devices_->AroundSettings(openSettings);
}

void TForm4::closeEvent(QCloseEvent* event) {
    devices_->Release();
    event->accept();
}

void TForm4::reject() { close(); }

}  // namespace fim
