#include "mainwindow/ui/paint/TracePainter.h"

#include <QFont>
#include <QPainter>
#include <QPen>
#include <QString>
#include <QStringList>

#include "core/MeasurementState.h"
#include "mainwindow/TimeTraceModel.h"

namespace fim {

namespace {

constexpr std::size_t kPointBytes = 8;  // two int32 per vertex, the layout of QPoint
static_assert(sizeof(QPoint) == kPointBytes);

QFont GridFont(const QFont& base) {
    QFont f = NamedFont(base);
    f.setPointSize(8);
    // Crisp one-colour text, as the labels have always looked on the trace.
    f.setStyleStrategy(QFont::NoAntialias);
    return f;
}

// Text whose top-left corner is at (x, y).
void TextAt(QPainter& p, int x, int y, const QString& text) {
    p.drawText(x, y + p.fontMetrics().ascent(), text);
}

// A marker line; solid while the marker's own mode is the current one.
void MarkerLine(QPainter& p, uint32_t ref, bool current, int x, int height) {
    p.setPen(Pen(ref, current ? Qt::SolidLine : Qt::DotLine));
    p.drawLine(x, 0, x, height - 1);
}

class ClipScope {
  public:
    ClipScope(QPainter& p, const QRect& r) : p_(p) {
        p_.save();
        p_.setClipRect(r);
        p_.translate(r.topLeft());
    }
    ~ClipScope() { p_.restore(); }

  private:
    QPainter& p_;
};

}  // namespace

TracePaintInput PaintInputFrom(MeasurementState& meas) {
    TracePaintInput in;
    const SharedBuffer& rlp = meas.buffers[SharedBuffers::RLP];
    const SharedBuffer& dapt = meas.buffers[SharedBuffers::DAPT];
    in.response =
        ResponseView{reinterpret_cast<const double*>(rlp.data), rlp.bytes / sizeof(double)};
    in.n = meas.MlsSize;
    in.sampleRate = meas.SampleRate > 0 ? meas.SampleRate : 44100.0;
    in.peakIndex = meas.ImpulsePeakIndex;
    in.peakValue = meas.ImpulsePeakValue;
    in.valid = meas.ImpulseValid && rlp.data != nullptr;
    // The zero-filled shared block serves as QPoint storage (QPoint is an implicit-lifetime
    // pair of ints).
    in.points = reinterpret_cast<QPoint*>(dapt.data);
    in.pointCapacity = dapt.data != nullptr ? dapt.bytes / kPointBytes : 0;
    return in;
}

void PB2Paint(QPainter& p, const QRect& rect, const TimeTraceModel& m, const TimeMapper& map,
              const TracePaintInput& in) {
    const int width = rect.width();
    const int height = rect.height();
    if (width <= 0 || height <= 0) return;
    ClipScope clip(p, rect);
    p.fillRect(0, 0, width, height, ToQColor(m.colors.entries[0]));

    const TimeGrid grid = map.Grid(in.sampleRate, width);
    p.setPen(Pen(m.colors.entries[2]));
    for (int i = 1; i < 1000 && i * grid.spacing < width; ++i) {
        const int x = PixelRound(i * grid.spacing);
        p.drawLine(x, 0, x, height - 1);
    }
    p.setPen(Pen(m.colors.entries[3]));
    QFont labelFont = p.font();
    labelFont.setStyleStrategy(QFont::NoAntialias);
    p.setFont(labelFont);
    TextAt(p, 0, 0, QString::fromStdString(grid.label));

    const auto [viewStart, viewEnd] = m.ShownWindow();
    if (viewStart < m.marker1 && m.marker1 < viewEnd) {
        MarkerLine(p, m.colors.entries[6], m.Mode() == MouseMode::Marker1, map.X(m.marker1),
                   height);
    }
    if (viewStart < m.marker2 && m.marker2 < viewEnd) {
        MarkerLine(p, m.colors.entries[6], m.Mode() == MouseMode::Marker2, map.X(m.marker2),
                   height);
    }

    p.setFont(GridFont(p.font()));
    for (int i = 1; i <= 7; ++i) {
        const int y = PixelRound(height / 8.0 * i);
        p.setPen(Pen(m.colors.entries[2]));
        p.drawLine(0, y, width - 1, y);
        p.setPen(Pen(m.colors.entries[3]));
        const QString label = m.dbDisplay ? QString::number(-10 * i) + QStringLiteral("dB")
                                          : QString::number((4 - i) * 25) + QStringLiteral("%");
        TextAt(p, 0, y - 6, label);
    }
    if (!in.valid) return;

    TraceParams tp;
    tp.viewStart = viewStart;
    tp.viewEnd = viewEnd;
    tp.pixelsPerSample = map.pixelsPerSample;
    tp.height = height;
    tp.peakValue = in.peakValue;
    tp.peakIndex = in.peakIndex;
    tp.db = m.dbDisplay;
    const std::size_t count = BuildTracePoints(in.response, tp, in.points, in.pointCapacity);
    p.setPen(Pen(m.colors.entries[1]));
    if (count > (m.dbDisplay ? 2u : 1u)) p.drawPolyline(in.points, static_cast<int>(count));
}

void PBPaint(QPainter& p, const QRect& rect, const TimeTraceModel& m, const TimeMapper& map,
             const TracePaintInput& in) {
    const int width = rect.width();
    const int height = rect.height();
    if (width <= 0 || height <= 0) return;
    ClipScope clip(p, rect);
    p.fillRect(0, 0, width, height, ToQColor(m.colors.entries[0]));
    const int32_t n = in.n > 0 ? in.n : 20;

    if (0 < m.marker1 && m.marker1 < n - 1) {
        MarkerLine(p, m.colors.entries[6], m.Mode() == MouseMode::Marker1, map.X(m.marker1),
                   height);
    }
    if (0 < m.marker2 && m.marker2 < n) {
        MarkerLine(p, m.colors.entries[6], m.Mode() == MouseMode::Marker2, map.X(m.marker2),
                   height);
    }
    if (!in.valid) return;

    OverviewParams op;
    op.n = n;
    op.width = width;
    op.height = height;
    op.peakValue = in.peakValue;
    op.peakIndex = in.peakIndex;
    op.viewStart = m.viewStart;
    op.viewEnd = m.viewEnd;
    const OverviewPoints o = BuildOverviewPoints(in.response, op, in.points, in.pointCapacity);
    QPoint* pts = in.points;
    p.setPen(Pen(m.colors.entries[2]));
    if (o.a > 1) p.drawPolyline(pts, static_cast<int>(o.a));
    if (o.b > o.a) {
        p.setPen(Pen(m.colors.entries[1]));
        p.drawPolyline(pts + o.a, static_cast<int>(o.b - o.a));
    }
    if (o.count > o.b) {
        p.setPen(Pen(m.colors.entries[2]));
        p.drawPolyline(pts + o.b, static_cast<int>(o.count - o.b));
    }
}

TimeMapper OverviewMapper(const TracePaintInput& in, int width, int height) {
    OverviewParams op;
    op.n = in.n;
    op.width = width;
    op.height = height;
    op.peakValue = in.peakValue;
    return op.Mapper();
}

}  // namespace fim
