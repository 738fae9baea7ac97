#pragma once
// The time-level diagram window: how the impulse response's spectrum evolves over the 100 blocks
// that follow the analysis window's start. Every activation recomputes the levels and draws them
// into an off-screen image; painting only copies that image.
//
// Thread: UI thread only. Created on first use; closing hides it.

#include <QImage>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <span>

#include "auxwindows/TimeLevelDiagram.h"
#include "finder/WindowTable.h"
#include "spectrum/FftEngine.h"

namespace fim {

// What the diagram reads from the main window.
struct TflInput {
    std::span<const double> impulse;  // the valid part of the impulse response
    int64_t start = 1;                // the analysis window's start (1-based)
};

class TTFL : public QWidget {
    Q_OBJECT
  public:
    // `input` fills the response and start; false while there is none (the diagram then shows
    // level 0 everywhere).
    explicit TTFL(std::function<bool(TflInput&)> input, QWidget* parent = nullptr);

    // Recomputes the levels from the current response and analysis window start, and draws.
    void FormActivate();
    // Draws the level matrix into the off-screen image, sized to the paint box.
    void DrawLevels();

    const QImage& bitmap() const { return bitmap_; }
    const LevelMatrix& levels() const { return matrix_; }
    QWidget* paintBox() const { return CPaint_; }

  protected:
    bool event(QEvent* e) override;

  private:
    class PaintBox;
    class Legend;
    std::function<bool(TflInput&)> input_;
    TflSettings settings_;
    WindowTable window_;
    FftEngine engine_;
    LevelMatrix matrix_;
    QImage bitmap_;
    QWidget* CPaint_ = nullptr;  // the paint box
    QWidget* legend_ = nullptr;
};

}  // namespace fim
