#pragma once
// The peak question of a peak-synchronised run with sync mode "Ask user": the impulse peak of a
// period lies elsewhere than the reference peak; correct the period onto the reference or drop it.

#include <QDialog>
#include <functional>

#include "core/Recovery.h"

class QLabel;
class QPushButton;

namespace fim {

class PeakQuestionDialog : public QDialog, public PeakQuestion {
    Q_OBJECT
  public:
    // `help` runs when HELP is pressed; the question stays open.
    explicit PeakQuestionDialog(std::function<void()> help, QWidget* parent = nullptr);

    // Shows the offset and waits for Correct sample (1) or Discard sample (2).
    Answer AskPeakMismatch(int referencePeak, int peak) override;

    // The last button pressed: 1 correct, 2 discard, 3 help; 0 before any.
    int pressed() const { return pressed_; }
    QLabel* text() const { return text_; }
    QPushButton* button(int number) const;

  private:
    std::function<void()> help_;
    QLabel* text_ = nullptr;
    QPushButton* buttons_[3] = {};
    int pressed_ = 0;
};

}  // namespace fim
