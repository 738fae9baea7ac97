#include "mainwindow/ui/TimeTraceWidget.h"

#include <QMouseEvent>
#include <QPainter>

#include "mainwindow/TimeTraceModel.h"
#include "mainwindow/ui/paint/TracePainter.h"

namespace fim {

namespace {
constexpr int kOverviewHeight = 51;
}

TimeTraceWidget::TimeTraceWidget(TimeTraceModel& model, InputSource input, QWidget* parent)
    : QWidget(parent), model_(model), input_(std::move(input)) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(false);
    setMinimumSize(100, 100);
}

void TimeTraceWidget::invalidate() {
    dirty_ = true;
    update();
}

void TimeTraceWidget::resizeEvent(QResizeEvent* event) {
    dirty_ = true;
    QWidget::resizeEvent(event);
}

void TimeTraceWidget::paintEvent(QPaintEvent*) {
    if (dirty_ || cache_.size() != size()) {
        if (cache_.size() != size()) cache_ = QImage(size(), QImage::Format_RGB32);
        QPainter cp(&cache_);
        const TracePaintInput in = input_();
        PB2Paint(cp, cache_.rect(), model_,
                 model_.TraceMapper(cache_.width(), cache_.height(), in.peakValue), in);
        dirty_ = false;
    }
    QPainter p(this);
    p.drawImage(0, 0, cache_);
    if (model_.Dragging()) {
        // The band is drawn inverted over the trace; the next paint of the cache erases it.
        p.setPen(Pen(model_.colors.entries[6], Qt::DotLine));
        p.setBrush(Qt::NoBrush);
        p.setCompositionMode(QPainter::RasterOp_NotSourceXorDestination);
        const int x1 = std::min(model_.DragStartX(), model_.DragX());
        const int x2 = std::max(model_.DragStartX(), model_.DragX());
        p.drawRect(QRect(QPoint(x1, 0), QPoint(x2, height() - 1)));
    }
}

void TimeTraceWidget::mousePressEvent(QMouseEvent* event) {
    const int x = static_cast<int>(event->position().x());
    if (event->button() == Qt::LeftButton) {
        model_.TraceLeftDown(x, width());
        update();
    } else {
        emit popupRequested(event->globalPosition().toPoint());
    }
}

void TimeTraceWidget::mouseMoveEvent(QMouseEvent* event) {
    if (model_.TraceMove(static_cast<int>(event->position().x()))) update();
}

void TimeTraceWidget::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || !model_.Dragging()) return;
    model_.TraceLeftUp(static_cast<int>(event->position().x()), width());
    update();  // erases the band even when the drag changed nothing
}

OverviewWidget::OverviewWidget(TimeTraceModel& model, InputSource input, QWidget* parent)
    : QWidget(parent), model_(model), input_(std::move(input)) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFixedHeight(kOverviewHeight);
}

void OverviewWidget::invalidate() { update(); }

void OverviewWidget::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const TracePaintInput in = input_();
    PBPaint(p, rect(), model_, OverviewMapper(in, width(), height()), in);
}

void OverviewWidget::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        model_.OverviewLeftDown(static_cast<int>(event->position().x()), width());
    } else {
        emit popupRequested(event->globalPosition().toPoint());
    }
}

}  // namespace fim
