#pragma once
// The macro information popup: the summary of one macro, captioned with its name, shown while
// the right mouse button is held on a macro button. It closes on a mouse release or a double
// click on itself and when it loses the focus; a closed popup is deleted (the next press creates
// a new one).

#include <QWidget>

#include "macros/UserMacro.h"

class QLabel;

namespace fim {

class TMakroinfo : public QWidget {
    Q_OBJECT
  public:
    TMakroinfo(const UserMacro& macro, QWidget* parent);

    QString text() const;

  protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void changeEvent(QEvent* event) override;

  private:
    QLabel* label_ = nullptr;
    bool wasActive_ = false;
};

}  // namespace fim
