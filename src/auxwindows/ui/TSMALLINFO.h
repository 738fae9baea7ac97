#pragma once
// The FFT information screen: sizes, sample rate, the last action and the analysis window in
// time and distance. Filled from the current state whenever it becomes active.
//
// Thread: UI thread only. Created once; closing hides it.

#include <QDialog>
#include <functional>

#include "auxwindows/InfoScreens.h"

class QGroupBox;
class QLabel;

namespace fim {

class TSMALLINFO : public QDialog {
    Q_OBJECT
  public:
    explicit TSMALLINFO(std::function<SmallInfoInput()> state, QWidget* parent = nullptr);

    // Reads the state and fills the labels.
    void FormActivate();
    QLabel* label(const char* name) const;

  protected:
    void showEvent(QShowEvent* e) override;
    bool event(QEvent* e) override;

  private:
    std::function<SmallInfoInput()> state_;
    QGroupBox* GroupBox2_ = nullptr;
    QLabel* Label1_ = nullptr;
    QLabel* Label2_ = nullptr;
    QLabel* Label3_ = nullptr;
    QLabel* Label4_ = nullptr;
    QLabel* Length_ = nullptr;
    QLabel* Left_ = nullptr;
    QLabel* Right_ = nullptr;
};

}  // namespace fim
