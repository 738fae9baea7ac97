#pragma once
// The borderless start-up window: product and version, build date and free memory, shown while
// the main window is being created.

#include <QWidget>

namespace fim {

class TForm3 : public QWidget {
    Q_OBJECT
  public:
    explicit TForm3(QWidget* parent = nullptr);
    // The lines shown, top to bottom.
    QStringList lines() const;
};

}  // namespace fim
