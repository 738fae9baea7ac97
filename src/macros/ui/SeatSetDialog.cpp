#include "macros/ui/SeatSetDialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QSpinBox>

#include "base/Catalog.h"
#include "base/ui/paint/QtBoundary.h"

namespace fim {

SeatSetDialog::SeatSetDialog(const UserMacroBlock& macros, const SeatRunPlan& last, QWidget* parent)
    : QDialog(parent) {
    setObjectName(QStringLiteral("SeatSetDialog"));
    setWindowTitle(QString::fromLatin1(kSeatSetCaption));
    auto* form = new QFormLayout(this);
    macro_ = new QComboBox(this);
    for (int i = 0; i < kUserMacroCount; ++i) {
        const UserMacro& m = macros[static_cast<std::size_t>(i)];
        // The analysis shows beside the name: only SMOOTH macros measure seats.
        macro_->addItem(
            Q(m.name) + QStringLiteral("  (") +
            (m.UsesSmoothFft() ? M(59) : M(107) + QStringLiteral(": %1").arg(m.FftSize())) +
            QStringLiteral(")"));
    }
    macro_->setCurrentIndex(std::clamp(last.macro, 1, kUserMacroCount) - 1);
    form->addRow(QStringLiteral("Macro:"), macro_);
    seats_ = new QSpinBox(this);
    seats_->setRange(SeatSet::kMinSeats, SeatSet::kMaxSeats);
    seats_->setValue(last.seats);
    form->addRow(QStringLiteral("Seats:"), seats_);
    seconds_ = new QSpinBox(this);
    seconds_->setRange(0, SeatRunPlan::kMaxMoveSeconds);
    seconds_->setSuffix(QStringLiteral(" s"));
    seconds_->setValue(last.moveSeconds);
    form->addRow(QStringLiteral("Time to move the microphone:"), seconds_);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    form->addRow(buttons);
}

SeatRunPlan SeatSetDialog::plan() const {
    SeatRunPlan p;
    p.macro = macro_->currentIndex() + 1;
    p.seats = seats_->value();
    p.moveSeconds = seconds_->value();
    return p;
}

}  // namespace fim
