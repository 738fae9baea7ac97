#include "auxwindows/ui/paint/TimeLevelPainter.h"

#include <QFont>
#include <QFontMetrics>
#include <QPainter>
#include <algorithm>

#include "base/ui/paint/QtBoundary.h"

namespace fim {

QImage TimeLevelImage(const LevelMatrix& m, int width, int height) {
    if (width <= 0 || height <= 0) return {};
    const auto pixels = RenderLevels(m, width, height);
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < width; ++x) {
            line[x] = ToQColor(pixels[static_cast<std::size_t>(y) * width + x]).rgb();
        }
    }
    return image;
}

void PaintLevelLegend(QPainter& p, const QRect& r, double max) {
    QFont font = NamedFont(QFont());
    font.setPixelSize(10);
    p.save();
    p.setFont(font);
    const QFontMetrics fm(font);
    const int head = fm.height() + 2;
    const QRect bar(r.left(), r.top() + head, 12, r.height() - head - fm.height() / 2);
    p.drawText(QRect(r.left(), r.top(), r.width(), head), Qt::AlignLeft | Qt::AlignVCenter,
               QStringLiteral("dB"));
    if (bar.height() <= 0) {
        p.restore();
        return;
    }
    const auto& map = LevelColourMap();
    for (int y = 0; y < bar.height(); ++y) {
        const int index = 255 - y * 255 / std::max(1, bar.height() - 1);
        p.setPen(ToQColor(map[static_cast<std::size_t>(index)]));
        p.drawLine(bar.left(), bar.top() + y, bar.right(), bar.top() + y);
    }
    p.setPen(Qt::black);
    for (const LegendMark& mark : LevelLegendMarks(max)) {
        const int y = bar.top() + (255 - mark.index) * (bar.height() - 1) / 255;
        p.drawLine(bar.right() + 1, y, bar.right() + 4, y);
        p.drawText(QPoint(bar.right() + 6, y + fm.ascent() / 2), QString::number(mark.db));
    }
    p.restore();
}

}  // namespace fim
