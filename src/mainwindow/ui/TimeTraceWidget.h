#pragma once
// The time trace (PB2): paints the analysis window, turns left-button presses, drags and
// releases into model calls, draws the drag band inverted over the last paint, and asks for
// the pop-up menu on other buttons.

#include <QImage>
#include <QWidget>
#include <functional>

namespace fim {

class TimeTraceModel;
struct TracePaintInput;

class TimeTraceWidget : public QWidget {
    Q_OBJECT
  public:
    using InputSource = std::function<TracePaintInput()>;
    TimeTraceWidget(TimeTraceModel& model, InputSource input, QWidget* parent = nullptr);

    // The model changed: paint again from scratch.
    void invalidate();

  signals:
    void popupRequested(const QPoint& globalPos);

  protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

  private:
    TimeTraceModel& model_;
    InputSource input_;
    QImage cache_;
    bool dirty_ = true;
};

// The overview strip (PB): the whole response with the analysis window highlighted.
class OverviewWidget : public QWidget {
    Q_OBJECT
  public:
    using InputSource = std::function<TracePaintInput()>;
    OverviewWidget(TimeTraceModel& model, InputSource input, QWidget* parent = nullptr);
    void invalidate();

  signals:
    void popupRequested(const QPoint& globalPos);

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

  private:
    TimeTraceModel& model_;
    InputSource input_;
};

}  // namespace fim
