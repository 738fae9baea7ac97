// The main window as the view of a measurement run: status panels, the level indicator, the
// controls a run enables and ticks, and the impulse display's repaints.

#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFont>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QMenuBar>
#include <QMessageBox>
#include <QMetaObject>
#include <QMouseEvent>
#include <QPointer>
#include <QStandardPaths>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QUrl>
#include <algorithm>
#include <chrono>
#include <cmath>

#include "audio/DeviceSet.h"
#include "audio/ImpulseFiles.h"
#include "audio/platform/PortAudioDevices.h"
#include "audio/platform/PortAudioSoundPlayer.h"
#include "auxwindows/ui/TForm6.h"
#include "auxwindows/ui/TSMALLINFO.h"
#include "auxwindows/ui/TTFL.h"
#include "base/Catalog.h"
#include "base/FileTexts.h"
#include "base/MemorySettingsTree.h"
#include "base/Prompter.h"
#include "base/ui/paint/QtBoundary.h"
#include "core/MeasurementState.h"
#include "macros/MacroTexts.h"
#include "macros/ui/TMakroinfo.h"
#include "mainwindow/CountdownClock.h"
#include "mainwindow/MainShell.h"
#include "mainwindow/ui/PeakQuestionDialog.h"
#include "mainwindow/ui/TForm1.h"
#include "mainwindow/ui/TSettime.h"
#include "mainwindow/ui/TimeTraceView.h"
#include "settings/ui/TFEATURES.h"
#include "spectrum/SpectrumComputer.h"
#include "spectrum/ui/TFFTDISPLAY.h"

namespace fim {

// --- RunView -----------------------------------------------------------------------------------

void TForm1::SetStatusPanel(int panel, const std::string& text) {
    if (panel < 0 || panel > 6) return;
    panels_[static_cast<std::size_t>(panel)]->setText(Q(text));
}

std::string TForm1::StatusPanel(int panel) const {
    if (panel < 0 || panel > 6) return {};
    return panels_[static_cast<std::size_t>(panel)]->text().toStdString();
}

void TForm1::RedrawImpulse() {
    view_->model().measured = true;
    view_->refresh();
    view_->repaint();
}

void TForm1::SetLevelGlyph(LevelGlyph glyph) {
    glyph_ = glyph;
    lanz_->setPixmap(LevelGlyphIcon(glyph).pixmap(24, 24));
}

void TForm1::SetControlEnabled(RunControl control, bool enabled) {
    switch (control) {
        case RunControl::RUN1:
            runMenu_->menuAction()->setEnabled(enabled);
            view_->model().runMenuEnabled = enabled;  // the keys of the run menu follow it
            break;
        case RunControl::SETUP1:
            setupMenu_->menuAction()->setEnabled(enabled);
            view_->model().setupMenuEnabled = enabled;
            break;
        case RunControl::AGAIN1:
            again_->setEnabled(enabled);
            break;
        case RunControl::REPEAT1:
            action(QStringLiteral("REPEAT1"))->setEnabled(enabled);
            break;
        case RunControl::AUTORESET1:
            action(QStringLiteral("AUTORESET1"))->setEnabled(enabled);
            break;
        case RunControl::ImpulseButtons:
        case RunControl::FFT1:
            for (const char* name :
                 {"FFT1", "SMOOTHFFT1", "FFTWINDOW1", "TIMELEVEL1", "ROOMACOUSTICS1"}) {
                action(QString::fromLatin1(name))->setEnabled(enabled);
            }
            break;
        case RunControl::DEFAULT1:
        case RunControl::OVERLAY1:
            break;  // items of windows this program does not carry yet
    }
}

void TForm1::SetControlVisible(RunControl control, bool visible) {
    if (control == RunControl::AGAIN1) again_->setVisible(visible);
}

void TForm1::SetControlChecked(RunControl control, bool checked) {
    if (control == RunControl::REPEAT1) {
        action(QStringLiteral("REPEAT1"))->setChecked(checked);
        view_->model().repeatChecked = checked;  // QUICKDRAW skips repaints while repeating
    }
    if (control == RunControl::AUTORESET1) {
        action(QStringLiteral("AUTORESET1"))->setChecked(checked);
    }
}

void TForm1::SetAgainCaption(const std::string& caption) { again_->setText(Q(caption)); }

void TForm1::SetAveragingCaption(const std::string& caption) {
    averagingMenu_->menuAction()->setToolTip(Q(caption));
    averagingMenu_->menuAction()->setStatusTip(Q(caption));
}

void TForm1::SetAveragingCount(int count) {
    const int index = AveragingIndex(count);
    if (index >= 0) averagingItems_[static_cast<std::size_t>(index)]->setChecked(true);
}

void TForm1::SetBusy(bool busy) {
    if (busy) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
    } else {
        QApplication::restoreOverrideCursor();
    }
}

void TForm1::ShowPleaseWait(bool shown) {
    if (!shown) {
        if (pleaseWait_) pleaseWait_->hide();
        return;
    }
    if (!pleaseWait_) {
        pleaseWait_ = new QLabel(M(287), this, Qt::Tool | Qt::FramelessWindowHint);
        pleaseWait_->setObjectName(QStringLiteral("PleaseWait"));
        pleaseWait_->setFrameStyle(QFrame::Panel | QFrame::Raised);
        pleaseWait_->setMargin(16);
        pleaseWait_->adjustSize();
    }
    pleaseWait_->move(geometry().center() - pleaseWait_->rect().center());
    pleaseWait_->show();
    // Drawn now: the preparation that follows keeps the event loop busy.
    pleaseWait_->repaint();
}

void TForm1::SetPinkIndicator(bool preparing) {
    // The status bar turns 0xFF00FF while the pink signal is prepared.
    QStatusBar* bar = statusBar();
    bar->setAutoFillBackground(preparing);
    QPalette p = bar->palette();
    p.setColor(QPalette::Window, preparing ? QColor(0xFF, 0x00, 0xFF)
                                           : QApplication::palette(bar).color(QPalette::Button));
    bar->setPalette(p);
    bar->repaint();
}

void TForm1::RepaintImpulse() { view_->refresh(); }

void TForm1::RunComplete() {
    afterResponseChanged();
    // The frequency window shows the run's spectrum by now: a seat set takes it.
    seatRun_->SeatMeasured();
    emit measurementFinished();
}

}  // namespace fim
