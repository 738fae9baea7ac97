#include "acoustics/ui/paint/DecayPainter.h"

#include <QFont>
#include <QPainterPath>
#include <cmath>

#include "base/ui/paint/QtBoundary.h"

namespace fim {

namespace {

QFont PlotFont(int pixels) {
    QFont f = NamedFont(QFont());
    f.setPixelSize(pixels);
    return f;
}

// A tick step of 1, 2 or 5 × 10^k seconds giving at most about eight ticks.
double TimeStep(double seconds) {
    const double raw = seconds / 8.0;
    const double decade = std::pow(10.0, std::floor(std::log10(raw)));
    for (double m : {1.0, 2.0, 5.0}) {
        if (m * decade >= raw) return m * decade;
    }
    return 10.0 * decade;
}

void PaintCurve(QPainter& p, const DecayPlotMapper& map, const BandAcoustics& b) {
    if (b.curve.size() < 2) return;
    QPainterPath path;
    for (std::size_t i = 0; i < b.curve.size(); ++i) {
        const QPointF pt(map.X(b.curveStep * static_cast<double>(i)), map.Y(b.curve[i]));
        if (i == 0) {
            path.moveTo(pt);
        } else {
            path.lineTo(pt);
        }
    }
    p.drawPath(path);
}

void PaintFit(QPainter& p, const DecayPlotMapper& map, const DecayFit& f, const QColor& colour) {
    if (!f.valid) return;
    p.setPen(QPen(colour, 2.0));
    const auto level = [&](double t) { return f.intercept + f.slope * t; };
    p.drawLine(QPointF(map.X(f.from), map.Y(level(f.from))),
               QPointF(map.X(f.to), map.Y(level(f.to))));
    p.setPen(QPen(colour, 1.0, Qt::DashLine));
    for (double t : {f.from, f.to}) {
        p.drawLine(QPointF(map.X(t), map.top), QPointF(map.X(t), map.top + map.height));
    }
}

}  // namespace

QColor EdtColour() { return {0, 150, 0}; }
QColor T20Colour() { return {230, 130, 0}; }
QColor T30Colour() { return {210, 0, 0}; }

void PaintDecays(QPainter& p, const QRect& area, const RoomAcousticsModel& model) {
    p.save();
    p.setRenderHint(QPainter::Antialiasing, true);
    p.fillRect(area, Qt::white);
    p.setFont(PlotFont(11));
    const int textHeight = p.fontMetrics().height();
    const QRectF plot(area.left() + 44, area.top() + 8, std::max(10, area.width() - 56),
                      std::max(10, area.height() - 16 - 2 * textHeight));
    DecayPlotMapper map;
    map.left = plot.left();
    map.top = plot.top();
    map.width = plot.width();
    map.height = plot.height();
    map.seconds = model.PlotSeconds();

    // Grid and scales.
    p.setPen(QPen(QColor(200, 200, 200), 1.0));
    for (double db = 0; db >= map.floorDb; db -= 10) {
        const double y = map.Y(db);
        p.drawLine(QPointF(plot.left(), y), QPointF(plot.right(), y));
    }
    const double step = TimeStep(map.seconds);
    for (double t = 0; t <= map.seconds + 1e-9; t += step) {
        const double x = map.X(t);
        p.drawLine(QPointF(x, plot.top()), QPointF(x, plot.bottom()));
    }
    p.setPen(Qt::black);
    for (double db = 0; db >= map.floorDb; db -= 10) {
        const QRectF label(area.left(), map.Y(db) - textHeight / 2.0, 40, textHeight);
        p.drawText(label, Qt::AlignRight | Qt::AlignVCenter, QString::number(db, 'f', 0));
    }
    for (double t = 0; t <= map.seconds + 1e-9; t += step) {
        const QRectF label(map.X(t) - 30, plot.bottom() + 2, 60, textHeight);
        p.drawText(label, Qt::AlignHCenter | Qt::AlignTop, QString::number(t, 'g', 3));
    }
    p.drawText(QRectF(plot.left(), plot.bottom() + 2 + textHeight, plot.width(), textHeight),
               Qt::AlignHCenter | Qt::AlignTop,
               QStringLiteral("time after the onset (s), level (dB)"));
    p.drawRect(plot);

    p.setClipRect(plot.adjusted(-1, -1, 1, 1));
    p.setPen(QPen(QColor(150, 170, 210), 1.0));
    for (int row = 0; row < model.RowCount(); ++row) {
        if (row != model.selected) PaintCurve(p, map, *model.Row(row));
    }
    if (const BandAcoustics* b = model.Row(model.selected)) {
        p.setPen(QPen(QColor(0, 40, 160), 2.0));
        PaintCurve(p, map, *b);
        PaintFit(p, map, b->edt, EdtColour());
        PaintFit(p, map, b->t20, T20Colour());
        PaintFit(p, map, b->t30, T30Colour());
    }
    p.restore();
}

}  // namespace fim
