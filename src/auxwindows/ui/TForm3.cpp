#include "auxwindows/ui/TForm3.h"

#include <QFont>
#include <QLabel>
#include <QStringList>
#include <QVBoxLayout>

#include "auxwindows/InfoScreens.h"
#include "base/ui/paint/QtBoundary.h"

namespace fim {

TForm3::TForm3(QWidget* parent)
    : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint) {
    setObjectName(QStringLiteral("Form3"));
    setAttribute(Qt::WA_ShowWithoutActivating);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(24, 18, 24, 18);
    const auto texts = StartupLines(__DATE__, ReadMemoryStatus());
    for (std::size_t i = 0; i < texts.size(); ++i) {
        auto* l = new QLabel(QString::fromStdString(texts[i]), this);
        l->setObjectName(QStringLiteral("Line%1").arg(i + 1));
        l->setAlignment(Qt::AlignCenter);
        if (i == 0) {
            QFont f = NamedFont(QFont());
            f.setPixelSize(19);
            f.setBold(true);
            l->setFont(f);
        }
        layout->addWidget(l);
    }
    setStyleSheet(QStringLiteral("#Form3 { border: 2px solid palette(dark); }"));
    adjustSize();
}

QStringList TForm3::lines() const {
    QStringList l;
    for (int i = 1;; ++i) {
        const auto* label = findChild<QLabel*>(QStringLiteral("Line%1").arg(i));
        if (!label) break;
        l << label->text();
    }
    return l;
}

}  // namespace fim
