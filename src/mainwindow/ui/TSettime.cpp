#include "mainwindow/ui/TSettime.h"

#include <QButtonGroup>
#include <QFileInfo>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "base/Catalog.h"
#include "base/Prompter.h"
#include "base/ui/paint/QtBoundary.h"
#include "mainwindow/CountdownClock.h"

namespace fim {

namespace {

QButtonGroup* RadioGroup(QWidget* parent, QBoxLayout* into, const char* name, int caption,
                         std::initializer_list<int> items) {
    auto* box = new QGroupBox(M(caption), parent);
    box->setObjectName(QString::fromLatin1(name));
    auto* l = new QVBoxLayout(box);
    auto* group = new QButtonGroup(box);
    int id = 0;
    for (int item : items) {
        auto* b = new QRadioButton(M(item), box);
        group->addButton(b, id++);
        l->addWidget(b);
    }
    into->addWidget(box);
    return group;
}

}  // namespace

TSettime::TSettime(CountdownClock& clock, Prompter& prompter,
                   std::function<bool(const std::string&)> fileExists, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowStaysOnTopHint),
      clock_(clock),
      prompter_(prompter),
      fileExists_(std::move(fileExists)) {
    setObjectName(QStringLiteral("Settime"));
    setWindowTitle(QStringLiteral("Timer Setup"));
    setModal(true);
    auto* layout = new QVBoxLayout(this);
    auto* groups = new QHBoxLayout;
    mode_ = RadioGroup(this, groups, "RadioGroup1", 301, {302, 303, 304});
    action_ = RadioGroup(this, groups, "RadioGroup2", 305, {306, 307, 308});
    layout->addLayout(groups);
    // "Play Sound" needs an existing file.
    connect(action_, &QButtonGroup::idClicked, this, [this](int id) {
        const int allowed = CountdownClock::ChooseAction(id, !soundFile_.empty());
        if (allowed != id) action_->button(allowed)->setChecked(true);
    });

    auto* timeBox = new QGroupBox(M(309), this);
    timeBox->setObjectName(QStringLiteral("GroupBox1"));
    auto* t = new QHBoxLayout(timeBox);
    time_ = new QLineEdit(timeBox);
    time_->setObjectName(QStringLiteral("MaskEdit1"));
    time_->setInputMask(QStringLiteral("09:99;_"));  // hours (one digit may be blank), minutes
    time_->setFixedWidth(70);
    t->addWidget(time_);
    t->addStretch();
    layout->addWidget(timeBox);

    auto* soundBox = new QGroupBox(M(310), this);
    soundBox->setObjectName(QStringLiteral("GroupBox2"));
    auto* s = new QHBoxLayout(soundBox);
    sound_ = new QLabel(soundBox);
    sound_->setObjectName(QStringLiteral("Label1"));
    sound_->setCursor(Qt::PointingHandCursor);
    sound_->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    sound_->setMinimumWidth(200);
    sound_->installEventFilter(this);
    s->addWidget(sound_);
    layout->addWidget(soundBox);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("OKButton"));
    ok->setDefault(true);
    auto* abort = new QPushButton(QStringLiteral("Abort"), this);
    abort->setObjectName(QStringLiteral("AbortButton"));
    connect(ok, &QPushButton::clicked, this, &TSettime::accept);
    connect(abort, &QPushButton::clicked, this, &QDialog::reject);
    buttons->addWidget(ok);
    buttons->addWidget(abort);
    layout->addLayout(buttons);
}

void TSettime::FormActivate() {
    const CountdownClock::DialogState d = clock_.OpenDialog(fileExists_);
    time_->setText(QString::fromStdString(d.time));
    mode_->button(d.mode)->setChecked(true);
    soundFile_ = d.soundFile;
    showSoundFile();
    action_->button(d.action)->setChecked(true);
}

void TSettime::showSoundFile() {
    sound_->setText(soundFile_.empty() ? QStringLiteral("...")
                                       : QFileInfo(QString::fromStdString(soundFile_)).fileName());
    sound_->setToolTip(QString::fromStdString(soundFile_));
}

void TSettime::LabelClick() {
    FileDialogRequest r;
    r.title = "Soundfile";
    r.filter = "Windowssounds (*.wav *.WAV)";
    if (!soundFile_.empty()) {
        const QFileInfo f(QString::fromStdString(soundFile_));
        r.initialDir = f.absolutePath().toStdString();
        r.initialName = f.fileName().toStdString();
    }
    const auto chosen = prompter_.ChooseOpenFile(r);
    if (!chosen) return;
    soundFile_ = fileExists_ && fileExists_(*chosen) ? *chosen : std::string();
    showSoundFile();
}

void TSettime::accept() {
    const int action = CountdownClock::ChooseAction(action_->checkedId(), !soundFile_.empty());
    clock_.Accept(mode_->checkedId(), action, time_->text().toStdString(), soundFile_);
    QDialog::accept();
}

void TSettime::showEvent(QShowEvent* e) {
    FormActivate();
    QDialog::showEvent(e);
}

bool TSettime::eventFilter(QObject* watched, QEvent* event) {
    if (watched == sound_ && event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        LabelClick();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

}  // namespace fim
