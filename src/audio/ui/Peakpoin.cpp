#include "audio/ui/Peakpoin.h"

#include <QPainter>

namespace fim {

Peakpoin::Peakpoin(QWidget* parent) : QWidget(parent) {
    setMinimumSize(16, 10);
    setAttribute(Qt::WA_OpaquePaintEvent, false);
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
