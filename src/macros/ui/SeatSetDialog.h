#pragma once
// "Seat Set": the macro that measures each seat, the number of seats and the time to move the
// microphone between seats. OK leaves the choice in plan(); the seat run checks it.

#include <QDialog>

#include "macros/SeatRun.h"
#include "macros/UserMacro.h"

class QComboBox;
class QSpinBox;

namespace fim {

class SeatSetDialog : public QDialog {
    Q_OBJECT
  public:
    // Offers the twelve macros by name, `last` chosen (its folder is left empty).
    SeatSetDialog(const UserMacroBlock& macros, const SeatRunPlan& last, QWidget* parent = nullptr);

    SeatRunPlan plan() const;
    QComboBox* macroBox() const { return macro_; }
    QSpinBox* seatsBox() const { return seats_; }
    QSpinBox* secondsBox() const { return seconds_; }

  private:
    QComboBox* macro_ = nullptr;
    QSpinBox* seats_ = nullptr;
    QSpinBox* seconds_ = nullptr;
};

}  // namespace fim
