#include "audio/ui/Peakpoin.h"

#include <QPainter>

namespace fim {

Peakpoin::Peakpoin(QWidget* parent) : QWidget(parent) {
    setMinimumSize(16, 10);
    setAttribute(Qt::WA_OpaquePaintEvent, false);
}

QColor Peakpoin::ToQColor(uint32_t ref) {
    return QColor(int(ref & 0xFF), int((ref >> 8) & 0xFF), int((ref >> 16) & 0xFF));
}

uint32_t Peakpoin::FromQColor(const QColor& c) {
    return uint32_t(c.red()) | uint32_t(c.green()) << 8 | uint32_t(c.blue()) << 16;
}

void Peakpoin::setLevel(double db) {
    lamp_.SetLevel(db);
    update();
}

void Peakpoin::setPon(const QColor& c) {
    lamp_.Pon = FromQColor(c);
    update();
}

void Peakpoin::setPoff(const QColor& c) {
    lamp_.Poff = FromQColor(c);
    update();
}

void Peakpoin::setLamp(const PeakLamp& lamp) {
    lamp_ = lamp;
    update();
}

void Peakpoin::setValue(int64_t value) {
    const bool lit = lamp_.Lit(value);
    if (lit == lit_) return;
    lit_ = lit;
    update();
}

void Peakpoin::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(Qt::black, 1));
    p.setBrush(brushColour());
    const QRectF r = QRectF(rect()).adjusted(1, 1, -1, -1);
    p.drawRoundedRect(r, 3, 3);
}

}  // namespace fim
