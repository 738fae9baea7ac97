#include "mainwindow/ui/ClockPanel.h"

#include <QApplication>
#include <QFileInfo>
#include <QLabel>
#include <QMouseEvent>
#include <QTimer>

#include "base/SettingsTree.h"
#include "mainwindow/ui/TSettime.h"

namespace fim {

ClockPanel::ClockPanel(QLabel* panel, ClockSettings& settings, std::function<double()> now,
                       std::unique_ptr<SoundFilePlayer> player, Prompter& prompter,
                       SettingsTree& tree, QWidget* dialogParent)
    : QObject(panel),
      panel_(panel),
      player_(std::move(player)),
      clock_(settings, std::move(now), player_.get()),
      prompter_(prompter),
      tree_(tree),
      dialogParent_(dialogParent) {
    panel_->installEventFilter(this);
    timer_ = new QTimer(this);
    timer_->setInterval(700);
    connect(timer_, &QTimer::timeout, this, &ClockPanel::Tick);
    showHint();
}

ClockPanel::~ClockPanel() = default;

void ClockPanel::SetSecondLabel(QLabel* label) {
    second_ = label;
    showHint();
    show();
}

void ClockPanel::Start() {
    timer_->start();
    Tick();
}

void ClockPanel::Stop() { timer_->stop(); }

void ClockPanel::Tick() {
    clock_.Tick();
    show();
}

void ClockPanel::show() {
    const QString text = QString::fromStdString(clock_.Text());
    const QColor colour = clock_.Colour() == ClockColour::Yellow
                              ? QColor(Qt::yellow)
                              : QApplication::palette().color(QPalette::Button);
    for (QLabel* l : {panel_, second_.data()}) {
        if (!l) continue;
        l->setText(text);
        QPalette p = l->palette();
        p.setColor(QPalette::Window, colour);
        p.setColor(l->backgroundRole(), colour);  // a tool bar paints its widgets as buttons
        l->setPalette(p);
        l->setAutoFillBackground(true);
    }
}

void ClockPanel::showHint() {
    const QString hint = QString::fromStdString(clock_.Hint());
    panel_->setToolTip(hint);
    if (second_) second_->setToolTip(hint);
}

void ClockPanel::Click() {
    clock_.Click();
    show();
    if (!dialog_) {
        dialog_ = new TSettime(
            clock_, prompter_,
            [](const std::string& path) {
                return QFileInfo(QString::fromStdString(path)).isFile();
            },
            dialogParent_);
    }
    dialog_->adjustSize();
    dialog_->move(dialogParent_->geometry().center() - dialog_->rect().center());
    if (dialog_->exec() == QDialog::Accepted) {
        tree_.WriteBinary("Timinginfo", EncodeClockSettings(clock_.Settings()));
    }
    showHint();
    Tick();
}

bool ClockPanel::eventFilter(QObject* watched, QEvent* event) {
    if (watched == panel_ && event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        Click();
        return true;
    }
    return QObject::eventFilter(watched, event);
}

}  // namespace fim
