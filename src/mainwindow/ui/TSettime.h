#pragma once
// "Timer Setup": the countdown clock's mode, the action when a countdown ends, the countdown
// time and the sound file. The rules live in CountdownClock; this dialog shows and collects.
//
// Thread: UI thread only. Created on first use and kept.

#include <QDialog>
#include <functional>
#include <string>

class QButtonGroup;
class QLabel;
class QLineEdit;

namespace fim {

class CountdownClock;
class Prompter;

class TSettime : public QDialog {
    Q_OBJECT
  public:
    TSettime(CountdownClock& clock, Prompter& prompter,
             std::function<bool(const std::string&)> fileExists, QWidget* parent = nullptr);

    // Fills the controls from the clock (on every showing).
    void FormActivate();
    // The sound-file label's click: the file dialog.
    void LabelClick();

    QButtonGroup* modeGroup() const { return mode_; }
    QButtonGroup* actionGroup() const { return action_; }
    QLineEdit* timeField() const { return time_; }
    QLabel* soundLabel() const { return sound_; }

    void accept() override;

  protected:
    void showEvent(QShowEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void showSoundFile();

    CountdownClock& clock_;
    Prompter& prompter_;
    std::function<bool(const std::string&)> fileExists_;
    QButtonGroup* mode_ = nullptr;
    QButtonGroup* action_ = nullptr;
    QLineEdit* time_ = nullptr;
    QLabel* sound_ = nullptr;
    std::string soundFile_;  // the file the dialog holds; empty for none
};

}  // namespace fim
