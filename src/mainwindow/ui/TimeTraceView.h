#pragma once
// The impulse-response display of the main window: the time trace with the right-hand panel of
// speed buttons, the overview strip below, the pop-up menu of both, and the keyboard. It owns
// the display model; the main window places it, shows its read-outs and adds the WINDOW menu
// and colour commands through the functions below.

#include <QWidget>
#include <array>

#include "mainwindow/TimeTraceModel.h"

class QActionGroup;
class QAction;
class QMenu;
class QToolButton;
class QKeyEvent;

namespace fim {

struct MeasurementState;
class Prompter;
class TimeTraceWidget;
class OverviewWidget;
struct TracePaintInput;

class TimeTraceView : public QWidget {
    Q_OBJECT
  public:
    TimeTraceView(MeasurementState& meas, Prompter& prompter, QWidget* parent = nullptr);

    TimeTraceModel& model() { return model_; }
    TimeTraceWidget* trace() const { return trace_; }
    OverviewWidget* overview() const { return overview_; }
    QMenu* popupMenu() const { return popup_; }

    // The response or the view changed from outside: the model's read-outs follow, trace and
    // overview are repainted and buttons and menu items brought in line with the model.
    void refresh();
    // The WINDOW menu's items, in menu order.
    void addWindowMenuItems(QMenu* menu);
    // The colour scheme items "BREVIK STYLE", "HARBOR STYLE", "CHILLY".
    void addColorMenuItems(QMenu* menu);
    // Keyboard handling of the main window; false when the key is not one of the display's.
    bool handleKey(QKeyEvent* event);
    static TraceKey keyFromQt(int key);

  signals:
    // Status panels 0, 2, 3, 4 or label1 may have new texts.
    void readoutsChanged();

  protected:
    void keyPressEvent(QKeyEvent* event) override;

  private:
    QToolButton* addButton(QWidget* panel, const QString& icon, const QString& hint,
                           bool checkable);
    void syncControls();
    // Controls, read-outs and both paints, after the model changed.
    void repaintAll();
    TracePaintInput paintInput() const;

    MeasurementState& meas_;
    TimeTraceModel model_;
    TimeTraceWidget* trace_ = nullptr;
    OverviewWidget* overview_ = nullptr;
    QMenu* popup_ = nullptr;
    std::array<QAction*, 4> modeActions_{};
    QAction* peakAction_ = nullptr;
    QAction* latchAction_ = nullptr;
    QAction* differenceAction_ = nullptr;
    std::array<QToolButton*, 4> modeButtons_{};
    QToolButton* peakButton_ = nullptr;
    std::array<QToolButton*, 4> windowButtons_{};
    QToolButton* dbButton_ = nullptr;
    std::array<QAction*, 2> userWindowItems_{};
};

}  // namespace fim
