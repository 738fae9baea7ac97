#pragma once
// The file-set dialog of one user macro: its calibration, microphone-correction and overlay
// files and the flags that use them, over FileSetModel. OK writes them into the macro; Abort
// leaves the macro as it was.

#include <QDialog>
#include <array>

#include "macros/FileSetModel.h"

class QCheckBox;
class QLabel;

namespace fim {

class TFileeingabe : public QDialog {
    Q_OBJECT
  public:
    TFileeingabe(UserMacro& macro, Prompter& prompter, QWidget* parent = nullptr);

    FileSetModel& model() { return model_; }
    // Chooses a slot's file (the "..." button).
    void ChooseClick(FileSetModel::Slot slot);
    void BitBtn1Click();  // OK

  private:
    void push();

    FileSetModel model_;
    std::array<QLabel*, 3> names_{};
    QCheckBox* useCal_ = nullptr;
    QCheckBox* useMic_ = nullptr;
    QCheckBox* useOverlay_ = nullptr;
    QCheckBox* overlayOption2_ = nullptr;
};

}  // namespace fim
