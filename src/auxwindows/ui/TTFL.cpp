#include "auxwindows/ui/TTFL.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QPainter>
#include <QResizeEvent>

#include "auxwindows/ui/paint/TimeLevelPainter.h"
#include "base/Catalog.h"

namespace fim {

namespace {
constexpr int kBoxWidth = 517;
constexpr int kBoxHeight = 247;
}  // namespace

// Shows the off-screen image; a resize draws it again at the new size.
class TTFL::PaintBox : public QWidget {
  public:
    explicit PaintBox(TTFL* form) : QWidget(form), form_(form) {
        setObjectName(QStringLiteral("CPaint"));
        setMinimumSize(200, 100);
        setAttribute(Qt::WA_OpaquePaintEvent);
    }
    QSize sizeHint() const override { return {kBoxWidth, kBoxHeight}; }

  protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.drawImage(0, 0, form_->bitmap_);
    }
    void resizeEvent(QResizeEvent* e) override {
        QWidget::resizeEvent(e);
        form_->DrawLevels();
    }

  private:
    TTFL* form_;
};

class TTFL::Legend : public QWidget {
  public:
    explicit Legend(TTFL* form) : QWidget(form), form_(form) {
        setObjectName(QStringLiteral("Legend"));
        setFixedWidth(44);
    }

  protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        PaintLevelLegend(p, rect().adjusted(2, 0, 0, 0), form_->matrix_.Max);
    }

  private:
    TTFL* form_;
};

TTFL::TTFL(std::function<bool(TflInput&)> input, QWidget* parent)
    : QWidget(parent, Qt::Window), input_(std::move(input)) {
    setObjectName(QStringLiteral("TFL"));
    setWindowTitle(QString::fromStdString(Msg(248)));
    CPaint_ = new PaintBox(this);
    legend_ = new Legend(this);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->setSpacing(4);
    layout->addWidget(CPaint_, 1);
    layout->addWidget(legend_);
    CPaint_->resize(kBoxWidth, kBoxHeight);
    resize(kBoxWidth + 56, kBoxHeight + 8);
    FormActivate();
}

void TTFL::FormActivate() {
    TflInput in;
    LevelMatrix m;
    if (!input_ || !input_(in) ||
        !ComputeLevels(settings_, in.impulse, in.start, window_, engine_, m)) {
        // No response: every cell at level 0.
        m = LevelMatrix{};
        m.BlockLength = settings_.BlockLength;
        m.Values.assign(static_cast<std::size_t>(LevelMatrix::kColumns * m.Rows()), 0.0);
    }
    matrix_ = std::move(m);
    DrawLevels();
    legend_->update();
}

void TTFL::DrawLevels() {
    bitmap_ = TimeLevelImage(matrix_, CPaint_->width(), CPaint_->height());
    CPaint_->update();
}

bool TTFL::event(QEvent* e) {
    if (e->type() == QEvent::WindowActivate) FormActivate();
    return QWidget::event(e);
}

}  // namespace fim
