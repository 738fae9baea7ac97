#pragma once
// The countdown clock as the main window shows it: a 700 ms timer drives the clock, whose text
// and colour go to the tool bar's panel and to the frequency window's clock label; a click on
// the panel opens "Timer Setup".
//
// Thread: UI thread only.

#include <QObject>
#include <QPointer>
#include <functional>
#include <memory>

#include "audio/SoundFilePlayer.h"
#include "mainwindow/CountdownClock.h"

class QLabel;
class QTimer;
class QWidget;

namespace fim {

class Prompter;
class SettingsTree;
class TSettime;

class ClockPanel : public QObject {
    Q_OBJECT
  public:
    // `settings` is the stored record the clock works on; OK in the dialog writes it to `tree`
    // at once. `now` gives the time (days since 1899-12-30, local). `dialogParent` centres the
    // dialog.
    ClockPanel(QLabel* panel, ClockSettings& settings, std::function<double()> now,
               std::unique_ptr<SoundFilePlayer> player, Prompter& prompter, SettingsTree& tree,
               QWidget* dialogParent);
    ~ClockPanel() override;

    // The frequency window's clock label: from now on it shows the same text, colour and hint.
    void SetSecondLabel(QLabel* label);
    void Start();
    void Stop();

    // One timer tick.
    void Tick();
    // The click on the panel: the alarm stops, "Timer Setup" runs modally, the hints show the
    // new reference and the clock ticks at once.
    void Click();

    CountdownClock& clock() { return clock_; }
    // The player of the alarm sound (the seat set's cues use it too).
    SoundFilePlayer* player() const { return player_.get(); }
    TSettime* dialog() const { return dialog_; }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void show();
    void showHint();

    QLabel* panel_;
    QPointer<QLabel> second_;
    std::unique_ptr<SoundFilePlayer> player_;
    CountdownClock clock_;
    Prompter& prompter_;
    SettingsTree& tree_;
    QWidget* dialogParent_;
    QTimer* timer_ = nullptr;
    TSettime* dialog_ = nullptr;
};

}  // namespace fim
