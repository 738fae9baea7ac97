#include "auxwindows/ui/TForm6.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QStringList>
#include <QVBoxLayout>

#include "shell/Catalog.h"

namespace fim {

namespace {

QString Lines(const std::vector<std::string>& lines) {
    QStringList l;
    for (const auto& s : lines) l << QString::fromStdString(s);
    return l.join(QLatin1Char('\n'));
}

}  // namespace

TForm6::TForm6(std::function<SystemInfoInput()> state, std::function<void()> openFeatures,
               QWidget* parent)
    : QDialog(parent), state_(std::move(state)), openFeatures_(std::move(openFeatures)) {
    setObjectName(QStringLiteral("Form6"));
    setWindowTitle(QStringLiteral("MIV INFOSCREEN"));
    auto* layout = new QVBoxLayout(this);
    auto group = [this, layout](const QString& title, const char* name) {
        auto* box = new QGroupBox(title, this);
        box->setObjectName(QString::fromLatin1(name));
        auto* l = new QVBoxLayout(box);
        auto* text = new QLabel(box);
        text->setObjectName(QString::fromLatin1(name) + QStringLiteral("Text"));
        l->addWidget(text);
        layout->addWidget(box);
        return text;
    };
    sampling_ = group(QStringLiteral("SAMPLING"), "SAMPLING");
    memory_ = group(QStringLiteral("MEMORY"), "MEMORY");
    hidden_ = group(QStringLiteral("HIDDEN FEATURES"), "HIDDENFEATURES");
    warnings_ = group(QString::fromStdString(Msg(93)), "WARNINGS");
    auto* row = new QHBoxLayout;
    row->addStretch();
    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("Button1"));
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    row->addWidget(ok);
    layout->addLayout(row);
    setToolTip(QString::fromStdString(Msg(69)));
    Fill();
}

void TForm6::Fill() {
    const SystemInfoTexts t = BuildSystemInfo(state_ ? state_() : SystemInfoInput{});
    sampling_->setText(Lines(t.sampling));
    memory_->setText(Lines(t.memory));
    hidden_->setText(Lines(t.hidden));
    warnings_->setText(t.warnings.empty() ? QStringLiteral("-") : Lines(t.warnings));
    warnings_->setStyleSheet(t.warnings.empty() ? QString() : QStringLiteral("color: #b00000"));
}

QString TForm6::groupText(const QString& objectName) const {
    const auto* text = findChild<QLabel*>(objectName + QStringLiteral("Text"));
    return text ? text->text() : QString();
}

void TForm6::showEvent(QShowEvent* e) {
    Fill();
    QDialog::showEvent(e);
}

void TForm6::mousePressEvent(QMouseEvent* e) {
    if (e->button() != Qt::LeftButton) {
        QDialog::mousePressEvent(e);
        return;
    }
    if (openFeatures_) openFeatures_();
    Fill();
}

}  // namespace fim
