#include "macros/ui/TMakroinfo.h"

#include <QEvent>
#include <QLabel>
#include <QVBoxLayout>

#include "macros/MacroTexts.h"

namespace fim {

TMakroinfo::TMakroinfo(const UserMacro& macro, QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::WindowStaysOnTopHint) {
    setObjectName(QStringLiteral("Makroinfo"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QString::fromStdString(macro.name));
    label_ = new QLabel(this);
    label_->setObjectName(QStringLiteral("MakroinfoText"));
    // The summary separates its lines with "\r".
    label_->setText(QString::fromStdString(MacroSummaryText(macro))
                        .replace(QLatin1Char('\r'), QLatin1Char('\n')));
    label_->setTextFormat(Qt::PlainText);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 6, 8, 6);
    layout->addWidget(label_);
}

QString TMakroinfo::text() const { return label_->text(); }

void TMakroinfo::mouseReleaseEvent(QMouseEvent*) { close(); }

void TMakroinfo::mouseDoubleClickEvent(QMouseEvent*) { close(); }

void TMakroinfo::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() != QEvent::ActivationChange) return;
    // Closed once the focus moves elsewhere (not before it ever had it).
    if (isActiveWindow()) {
        wasActive_ = true;
    } else if (wasActive_) {
        close();
    }
}

}  // namespace fim
