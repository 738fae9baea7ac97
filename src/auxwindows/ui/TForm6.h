#pragma once
// The system information screen ("MIV INFOSCREEN"): sampling and devices, memory, the settings
// that have no menu, and warnings about settings that do not fit together. A click on the
// window opens the features dialog and then shows the state again.
//
// Thread: UI thread only. Created once; closing hides it.

#include <QDialog>
#include <functional>

#include "auxwindows/InfoScreens.h"

class QGroupBox;
class QLabel;

namespace fim {

class TForm6 : public QDialog {
    Q_OBJECT
  public:
    TForm6(std::function<SystemInfoInput()> state, std::function<void()> openFeatures,
           QWidget* parent = nullptr);

    // Reads the state and fills the four groups.
    void Fill();
    // The text of a group ("SAMPLING", "MEMORY", "HIDDEN FEATURES", "WARNINGS"), lines
    // separated by "\n".
    QString groupText(const QString& objectName) const;

  protected:
    void showEvent(QShowEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;

  private:
    std::function<SystemInfoInput()> state_;
    std::function<void()> openFeatures_;
    QLabel* sampling_ = nullptr;
    QLabel* memory_ = nullptr;
    QLabel* hidden_ = nullptr;
    QLabel* warnings_ = nullptr;
};

}  // namespace fim
