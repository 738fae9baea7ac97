#include "macros/ui/TFileeingabe.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "base/Catalog.h"
#include "base/ui/paint/QtBoundary.h"

namespace fim {

TFileeingabe::TFileeingabe(UserMacro& macro, Prompter& prompter, QWidget* parent)
    : QDialog(parent), model_(macro, prompter) {
    setObjectName(QStringLiteral("Fileeingabe"));
    setModal(true);
    model_.Load();
    setWindowTitle(QString::fromStdString(model_.MacroName()));

    auto* layout = new QVBoxLayout(this);
    auto* title = new QLabel(QString::fromStdString(model_.MacroName()), this);
    title->setObjectName(QStringLiteral("MacroName"));
    QFont f = title->font();
    f.setBold(true);
    title->setFont(f);
    layout->addWidget(title);

    auto* grid = new QGridLayout;
    const FileSetModel::Slot kSlots[3] = {FileSetModel::Slot::Calibration,
                                          FileSetModel::Slot::Microphone,
                                          FileSetModel::Slot::Overlay};
    const int captions[3] = {168, 286, 178};
    const char* buttonNames[3] = {"CalButton", "MicButton", "OverlayButton"};
    for (int i = 0; i < 3; ++i) {
        grid->addWidget(new QLabel(M(captions[i]), this), i, 0);
        names_[std::size_t(i)] = new QLabel(this);
        names_[std::size_t(i)]->setMinimumWidth(220);
        names_[std::size_t(i)]->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        grid->addWidget(names_[std::size_t(i)], i, 1);
        auto* choose = new QPushButton(QStringLiteral("..."), this);
        choose->setObjectName(QString::fromLatin1(buttonNames[i]));
        choose->setMaximumWidth(32);
        const FileSetModel::Slot slot = kSlots[i];
        connect(choose, &QPushButton::clicked, this, [this, slot] { ChooseClick(slot); });
        grid->addWidget(choose, i, 2);
    }
    auto check = [this](const char* name, const QString& caption, bool* field) {
        auto* c = new QCheckBox(caption, this);
        c->setObjectName(QString::fromLatin1(name));
        connect(c, &QCheckBox::toggled, this, [field](bool on) { *field = on; });
        return c;
    };
    useCal_ = check("UseCal", M(288), &model_.useCal);
    useMic_ = check("UseMic", M(288), &model_.useMic);
    useOverlay_ = check("UseOverlay", M(288), &model_.useOverlay);
    overlayOption2_ = check("OverlayOption2", M(289), &model_.overlayOption2);
    grid->addWidget(useCal_, 0, 3);
    grid->addWidget(useMic_, 1, 3);
    grid->addWidget(useOverlay_, 2, 3);
    grid->addWidget(overlayOption2_, 2, 4);
    layout->addLayout(grid);

    // Qt's standard buttons speak the language of the catalog (Qt's own translations).
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Abort, this);
    QPushButton* ok = buttons->button(QDialogButtonBox::Ok);
    ok->setObjectName(QStringLiteral("BitBtn1"));
    ok->setDefault(true);
    QPushButton* abort = buttons->button(QDialogButtonBox::Abort);
    abort->setObjectName(QStringLiteral("BitBtn2"));
    connect(ok, &QPushButton::clicked, this, &TFileeingabe::BitBtn1Click);
    connect(abort, &QPushButton::clicked, this, &QDialog::reject);
    layout->addWidget(buttons);
    push();
}

void TFileeingabe::push() {
    const FileSetModel::Slot kSlots[3] = {FileSetModel::Slot::Calibration,
                                          FileSetModel::Slot::Microphone,
                                          FileSetModel::Slot::Overlay};
    for (int i = 0; i < 3; ++i) {
        names_[std::size_t(i)]->setText(QString::fromStdString(model_.ShownName(kSlots[i])));
    }
    const bool cal = model_.SlotEnabled(FileSetModel::Slot::Calibration);
    const bool mic = model_.SlotEnabled(FileSetModel::Slot::Microphone);
    const bool overlay = model_.SlotEnabled(FileSetModel::Slot::Overlay);
    const QSignalBlocker b1(useCal_), b2(useMic_), b3(useOverlay_), b4(overlayOption2_);
    useCal_->setChecked(model_.useCal && cal);
    useMic_->setChecked(model_.useMic && mic);
    useOverlay_->setChecked(model_.useOverlay && overlay);
    overlayOption2_->setChecked(model_.overlayOption2 && overlay);
    useCal_->setEnabled(cal);
    useMic_->setEnabled(mic);
    useOverlay_->setEnabled(overlay);
    overlayOption2_->setEnabled(overlay);
}

void TFileeingabe::ChooseClick(FileSetModel::Slot slot) {
    if (model_.Choose(slot)) push();
}

void TFileeingabe::BitBtn1Click() {
    model_.Ok();
    accept();
}

}  // namespace fim
