#pragma once
// The time-level diagram as an image and its dB legend. The window and `fimtool tld --png` both
// take the diagram from TimeLevelImage, so they show the same pixels for the same input.

#include <QImage>
#include <QRect>

#include "auxwindows/TimeLevelDiagram.h"

class QPainter;

namespace fim {

// The matrix painted into a width × height RGB image (RenderLevels' cells and colours).
QImage TimeLevelImage(const LevelMatrix& m, int width, int height);

// A vertical colour bar of the map (bright at the top) inside `r`, with the marks of
// LevelLegendMarks beside it; "dB" heads the bar. Without marks only the bar is drawn.
void PaintLevelLegend(QPainter& p, const QRect& r, double max);

}  // namespace fim
