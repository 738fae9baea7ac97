#include "auxwindows/ui/TSMALLINFO.h"

#include <QDialogButtonBox>
#include <QEvent>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace fim {

namespace {

QLabel* NamedLabel(const char* name, QWidget* parent) {
    auto* l = new QLabel(parent);
    l->setObjectName(QString::fromLatin1(name));
    l->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return l;
}

}  // namespace

TSMALLINFO::TSMALLINFO(std::function<SmallInfoInput()> state, QWidget* parent)
    : QDialog(parent, Qt::Tool), state_(std::move(state)) {
    setObjectName(QStringLiteral("SMALLINFO"));
    setSizeGripEnabled(true);
    auto* layout = new QVBoxLayout(this);

    auto* sampling = new QGroupBox(QStringLiteral("SAMPLING"), this);
    sampling->setObjectName(QStringLiteral("GroupBox1"));
    auto* s = new QVBoxLayout(sampling);
    Label1_ = NamedLabel("Label1", sampling);
    Label2_ = NamedLabel("Label2", sampling);
    Label4_ = NamedLabel("Label4", sampling);
    for (QLabel* l : {Label1_, Label2_, Label4_}) s->addWidget(l);
    layout->addWidget(sampling);

    auto* panel = new QFrame(this);
    panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    auto* p = new QVBoxLayout(panel);
    p->setContentsMargins(6, 4, 6, 4);
    Label3_ = NamedLabel("Label3", panel);
    p->addWidget(Label3_);
    layout->addWidget(panel);

    GroupBox2_ = new QGroupBox(this);
    GroupBox2_->setObjectName(QStringLiteral("GroupBox2"));
    auto* w = new QVBoxLayout(GroupBox2_);
    Length_ = NamedLabel("LengthLabel", GroupBox2_);
    Left_ = NamedLabel("LeftLabel", GroupBox2_);
    Right_ = NamedLabel("RightLabel", GroupBox2_);
    for (QLabel* l : {Length_, Left_, Right_}) w->addWidget(l);
    layout->addWidget(GroupBox2_);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    buttons->button(QDialogButtonBox::Ok)->setObjectName(QStringLiteral("BitBtn1"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    layout->addWidget(buttons);
    FormActivate();
}

void TSMALLINFO::FormActivate() {
    const SmallInfoTexts t = BuildSmallInfo(state_ ? state_() : SmallInfoInput{});
    auto q = [](const std::string& s) { return QString::fromStdString(s); };
    setWindowTitle(q(t.caption));
    Label1_->setText(q(t.fftSize));
    Label2_->setText(q(t.mlsSize));
    Label4_->setText(q(t.sampleRate));
    Label3_->setText(q(t.lastAction));
    GroupBox2_->setTitle(q(t.windowing));
    Length_->setText(q(t.window.length));
    Left_->setText(q(t.window.left));
    Right_->setText(q(t.window.right));
}

QLabel* TSMALLINFO::label(const char* name) const {
    return findChild<QLabel*>(QString::fromLatin1(name));
}

void TSMALLINFO::showEvent(QShowEvent* e) {
    FormActivate();
    QDialog::showEvent(e);
}

bool TSMALLINFO::event(QEvent* e) {
    if (e->type() == QEvent::WindowActivate) FormActivate();
    return QDialog::event(e);
}

}  // namespace fim
