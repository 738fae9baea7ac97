#pragma once
// Paints the decay curves of a room acoustics result: a grid of level (0 … −80 dB) over time from
// the onset, every row's curve faint, and the selected row's curve in front with the lines fitted
// for EDT, T20 and T30 drawn over their ranges, the range ends marked. Changes nothing, so the
// window, the printout and a test image get the same picture.

#include <QPainter>
#include <QRect>

#include "acoustics/RoomAcousticsModel.h"

namespace fim {

void PaintDecays(QPainter& p, const QRect& area, const RoomAcousticsModel& model);

// The colours of the three fits, for the legend beside the plot.
QColor EdtColour();
QColor T20Colour();
QColor T30Colour();

}  // namespace fim
