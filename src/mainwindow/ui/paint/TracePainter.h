#pragma once
// Painting of the time trace (PB2Paint) and the overview strip (PBPaint). Both take a QPainter
// and the rectangle to fill, so the same code paints the window, an off-screen QImage and a PNG.
// The vertices go into the shared point buffer; nothing is allocated while painting.

#include <QColor>
#include <QPoint>
#include <QRect>
#include <cstddef>
#include <cstdint>

#include "base/ui/paint/QtBoundary.h"
#include "mainwindow/TracePoints.h"

class QPainter;

namespace fim {

class TimeTraceModel;
struct MeasurementState;

// What the painters read besides the display state.
struct TracePaintInput {
    ResponseView response;  // RLP
    int32_t n = 0;          // MlsSize
    double sampleRate = 44100.0;
    int32_t peakIndex = 0;     // 1-based
    double peakValue = 0.3;    // A
    bool valid = false;        // a response is present
    QPoint* points = nullptr;  // the point buffer (DAPT)
    std::size_t pointCapacity = 0;
};

// The input for the process-wide state: RLP, DAPT and the peak. The buffers must be allocated.
TracePaintInput PaintInputFrom(MeasurementState& meas);

// Paints the analysis window as a trace with its time grid and markers into `rect`, placed by
// `map` (the model's TraceMapper for the rectangle's size). Changes nothing: the same model and
// input paint the same picture.
void PB2Paint(QPainter& painter, const QRect& rect, const TimeTraceModel& model,
              const TimeMapper& map, const TracePaintInput& in);

// Paints the whole response into `rect` with the analysis window in the trace colour, placed by
// `map` (OverviewMapper for the rectangle's size).
void PBPaint(QPainter& painter, const QRect& rect, const TimeTraceModel& model,
             const TimeMapper& map, const TracePaintInput& in);
TimeMapper OverviewMapper(const TracePaintInput& in, int width, int height);

}  // namespace fim
