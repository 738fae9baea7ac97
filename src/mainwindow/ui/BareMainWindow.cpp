#include "mainwindow/ui/BareMainWindow.h"

#include <QFileInfo>
#include <QFont>
#include <QKeyEvent>
#include <QLabel>
#include <QMenuBar>
#include <QStatusBar>
#include <QToolBar>
#include <algorithm>
#include <cmath>
#include <cstring>

#include "audio/TimeFile.h"
#include "core/MeasurementState.h"
#include "mainwindow/ui/TimeTraceView.h"
#include "shell/Catalog.h"
#include "shell/Prompter.h"

namespace fim {

namespace {

constexpr int kPanelWidths[7] = {150, 60, 90, 90, 100, 150, 150};

QFont ReadoutFont() {
    QFont f;
    f.setFamilies(QStringList{QStringLiteral("Arial"), QStringLiteral("Liberation Sans")});
    f.setPixelSize(19);
    return f;
}

}  // namespace

BareMainWindow::BareMainWindow(MeasurementState& meas, std::unique_ptr<Prompter> prompter,
                               QWidget* parent)
    : QMainWindow(parent), meas_(meas), prompter_(std::move(prompter)) {
    setWindowTitle(QStringLiteral("MIV V1.70"));
    setMinimumSize(800, 470);
    resize(1000, 600);

    auto* tools = addToolBar(QStringLiteral("tools"));
    tools->setMovable(false);
    tools->setFixedHeight(31);
    label1_ = new QLabel(tools);
    label1_->setFont(ReadoutFont());
    label1_->setMinimumWidth(260);
    tools->addWidget(label1_);

    view_ = new TimeTraceView(meas_, *prompter_, this);
    setCentralWidget(view_);
    view_->setFocus();

    QMenu* windowMenu = menuBar()->addMenu(QString::fromStdString(Msg(60)));
    view_->addWindowMenuItems(windowMenu);
    QMenu* setup = menuBar()->addMenu(QString::fromStdString(Msg(67)));
    view_->addColorMenuItems(setup->addMenu(QString::fromStdString(Msg(71))));
    windowMenu->setEnabled(false);

    for (int i = 0; i < 7; ++i) {
        auto* l = new QLabel(this);
        l->setFixedWidth(kPanelWidths[i]);
        l->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        statusBar()->addWidget(l);
        panels_[static_cast<std::size_t>(i)] = l;
    }
    connect(view_, &TimeTraceView::readoutsChanged, this, [this, windowMenu] {
        windowMenu->setEnabled(view_->model().responseControlsEnabled);
        showReadouts();
    });
    showReadouts();
}

BareMainWindow::~BareMainWindow() = default;

void BareMainWindow::showReadouts() {
    const TimeTraceModel& m = view_->model();
    panels_[0]->setText(QString::fromStdString(m.modeCaption));
    panels_[2]->setText(QString::fromStdString(m.marker1Text));
    panels_[3]->setText(QString::fromStdString(m.marker2Text));
    panels_[4]->setText(QString::fromStdString(m.differenceText));
    label1_->setText(QString::fromStdString(m.label1));
}

bool BareMainWindow::loadTimeFile(const std::string& path) {
    if (!meas_.buffers.Allocated()) return false;
    TimeFileData data;
    const TimeFileStatus status =
        ReadTimeFile(path, data, meas_.buffers[SharedBuffers::RLP].bytes / sizeof(double));
    if (status != TimeFileStatus::Ok) {
        prompter_->Inform(QFileInfo(QString::fromStdString(path)).fileName().toStdString(),
                          TimeFileStatusText(status), PromptIcon::Information);
        return false;
    }
    double* rlp = meas_.buffers.RLPd();
    std::copy(data.samples.begin(), data.samples.end(), rlp);
    meas_.SampleRate = data.sampleRate;
    meas_.MlsSize = static_cast<int32_t>(data.samples.size());
    meas_.ImpulsePeakValue = 0.0;
    meas_.ImpulsePeakIndex = 1;
    for (std::size_t i = 0; i < data.samples.size(); ++i) {
        if (std::fabs(data.samples[i]) > meas_.ImpulsePeakValue) {
            meas_.ImpulsePeakValue = std::fabs(data.samples[i]);
            meas_.ImpulsePeakIndex = static_cast<int32_t>(i + 1);
        }
    }
    meas_.ImpulseValid = true;

    TimeTraceModel& m = view_->model();
    if (m.viewEnd > meas_.MlsSize - 1) {
        m.viewStart = 1;
        m.viewEnd = std::min(1024, std::max(2, meas_.MlsSize - 1));
    }
    m.measured = true;
    panels_[5]->setText(QFileInfo(QString::fromStdString(path)).fileName());
    view_->refresh();
    return true;
}

void BareMainWindow::keyPressEvent(QKeyEvent* event) {
    if (!view_->handleKey(event)) QMainWindow::keyPressEvent(event);
}

std::unique_ptr<BareMainWindow> BuildBareMainWindow(MeasurementState& meas,
                                                    std::unique_ptr<Prompter> prompter,
                                                    const QStringList& arguments) {
    auto window = std::make_unique<BareMainWindow>(meas, std::move(prompter));
    if (arguments.size() == 2 && QFileInfo(arguments[1]).isFile()) {
        window->loadTimeFile(arguments[1].toStdString());
    }
    return window;
}

}  // namespace fim
