#include "mainwindow/ui/PeakQuestionDialog.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "base/Catalog.h"

namespace fim {

PeakQuestionDialog::PeakQuestionDialog(std::function<void()> help, QWidget* parent)
    : QDialog(parent), help_(std::move(help)) {
    setWindowTitle(QString::fromStdString(Msg(323)));
    setModal(true);
    auto* layout = new QVBoxLayout(this);
    text_ = new QLabel(this);
    text_->setWordWrap(true);
    layout->addWidget(text_);
    auto* row = new QHBoxLayout;
    const int captions[3] = {326, 327, 50};
    for (int i = 0; i < 3; ++i) {
        buttons_[i] = new QPushButton(QString::fromStdString(Msg(captions[i])), this);
        row->addWidget(buttons_[i]);
        connect(buttons_[i], &QPushButton::clicked, this, [this, i] {
            pressed_ = i + 1;
            if (pressed_ == 3) {
                if (help_) help_();
                return;
            }
            accept();
        });
    }
    layout->addLayout(row);
}

QPushButton* PeakQuestionDialog::button(int number) const {
    return number >= 1 && number <= 3 ? buttons_[number - 1] : nullptr;
}

PeakQuestion::Answer PeakQuestionDialog::AskPeakMismatch(int referencePeak, int peak) {
    text_->setText(QString::fromStdString(Msg(325)) + QString::number(peak - referencePeak));
    pressed_ = 0;
    exec();
    // Closing the box without a choice keeps the averaged response clean: the period is dropped.
    return pressed_ == 1 ? Answer::Correct : Answer::Discard;
}

}  // namespace fim
