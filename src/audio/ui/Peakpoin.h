#pragma once
// The level lamp: a small rounded shape filled with `Pon` while the value it was given exceeds
// its threshold and with `Poff` otherwise. The threshold arithmetic lives in PeakLamp.

#include <QColor>
#include <QWidget>

#include "audio/PeakLamp.h"
#include "base/ui/paint/QtBoundary.h"

namespace fim {

class Peakpoin : public QWidget {
    Q_OBJECT
    Q_PROPERTY(int referenz READ referenz WRITE setReferenz)
    Q_PROPERTY(double level READ level WRITE setLevel)
    Q_PROPERTY(QColor Pon READ pon WRITE setPon)
    Q_PROPERTY(QColor Poff READ poff WRITE setPoff)

  public:
    explicit Peakpoin(QWidget* parent = nullptr);

    int referenz() const { return lamp_.Referenz(); }
    void setReferenz(int r) { lamp_.SetReferenz(r); }
    double level() const { return lamp_.Level(); }
    void setLevel(double db);
    QColor pon() const { return ToQColor(lamp_.Pon); }
    void setPon(const QColor& c);
    QColor poff() const { return ToQColor(lamp_.Poff); }
    void setPoff(const QColor& c);

    // Takes the lamp's settings (reference, threshold, colours) from an engine lamp.
    void setLamp(const PeakLamp& lamp);
    const PeakLamp& lamp() const { return lamp_; }
    // The current value (a peak in sample units); repaints only when the lamp changes state.
    void setValue(int64_t value);
    bool lit() const { return lit_; }
    // The colour the lamp shows now.
    QColor brushColour() const { return lit_ ? pon() : poff(); }

    QSize sizeHint() const override { return {28, 14}; }

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    PeakLamp lamp_;
    bool lit_ = false;
};

}  // namespace fim
