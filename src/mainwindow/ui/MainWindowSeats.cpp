// The main window's side of a seat set: the "Seat Set" dialog and the folder, the Virtual Room's
// seats, the countdown on the clock panel with its cues, and the set's mean in the frequency
// window. The sequence itself is SeatRun's.

#include <QAction>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QStandardPaths>
#include <QTimer>

#include "audio/DeviceSet.h"
#include "audio/WaveFile.h"
#include "base/ui/paint/QtBoundary.h"
#include "macros/ui/SeatSetDialog.h"
#include "mainwindow/ui/ClockPanel.h"
#include "mainwindow/ui/TForm1.h"
#include "spectrum/SpectrumFiles.h"
#include "spectrum/ui/TFFTDISPLAY.h"

namespace fim {

void TForm1::SEATSET1Click(std::optional<SeatRunPlan> plan) {
    if (seatRun_->Active()) {
        ShowSeatStatus("A seat set is being measured");
        return;
    }
    if (!plan) {
        SeatSetDialog dialog(program_.Macros, seatPlan_, this);
        if (dialog.exec() != QDialog::Accepted) return;
        plan = dialog.plan();
    }
    if (!seatRun_->CheckPlan(*plan)) return;
    if (plan->folder.empty()) {
        // The set's folder: a new name in a save dialog; the set's files go inside it.
        FileDialogRequest r;
        r.title = "Seat set folder";
        r.filter = "Seat set (*)";
        r.initialName = "Seat set";
        r.initialDir =
            QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation).toStdString();
        const auto folder = prompter_->ChooseSaveFile(r);
        if (!folder) return;
        plan->folder = *folder;
    }
    seatPlan_ = *plan;
    seatPlan_.folder.clear();
    takeDriftSettings();
    // The Virtual Room moves from seat to seat; a real microphone is moved by the engineer.
    std::string input = settings_->ReadString("INCARD").value_or("");
    if (input.empty() && devices_->DefaultInput() >= 0) {
        input = devices_->InputName(devices_->DefaultInput());
    }
    if (input == kVirtualRoomName) seatRoomBase_ = room_->Parameters();
    if (!seatRun_->Start(*plan)) restoreSeatRoom();
    action(QStringLiteral("STOPSEATSET1"))->setEnabled(seatRun_->Active());
}

void TForm1::STOPSEATSET1Click() {
    seatRun_->Stop();
    // A seat's run has stopped; the room takes its own parameters again once idle.
    QTimer::singleShot(0, this, [this] { restoreSeatRoom(); });
}

void TForm1::restoreSeatRoom() {
    if (!seatRoomBase_ || seatRun_->Active()) return;
    const RoomParameters base = *seatRoomBase_;
    seatRoomBase_.reset();
    const RoomParameters& now = room_->Parameters();
    if (now.distance == base.distance && now.seed == base.seed &&
        now.reverbTime == base.reverbTime) {
        return;  // never moved
    }
    MoveVirtualSeat(*controller_, meas_, *room_, base, 0);
}

void TForm1::PrepareSeat(int seat) {
    if (seatRoomBase_) MoveVirtualSeat(*controller_, meas_, *room_, *seatRoomBase_, seat);
}

std::optional<SeatSpectrum> TForm1::MeasuredSpectrum() {
    if (!fftWindow_) return std::nullopt;
    const SpectrumComputer& c = fftWindow_->computer();
    if (!c.DataValid() || c.Mode() != AnalysisMode::Smooth ||
        c.SmoothDisplay().size() != static_cast<std::size_t>(kSmoothRecords)) {
        return std::nullopt;
    }
    SeatSpectrum seat;
    seat.lowestFrequency = c.LowestValidFrequency();
    seat.sampleRate = c.SampleRate();
    std::copy_n(c.SmoothDisplay().begin(), kSmoothRecords, seat.records.begin());
    // The seat as the window draws it: with the microphone correction when it applies.
    const CalibrationStore& store = fftWindow_->store();
    if (store.MicCorrectionApplies(c.SampleRate())) {
        ApplyMicCorrection(store.Mic(), seat.records.data());
    }
    return seat;
}

void TForm1::StartCountdown(int seconds) {
    countdown_->clock().StartInterval(seconds, [this] {
        // Not from inside the clock's tick: the next seat's run prepares the devices.
        QTimer::singleShot(0, this, [this] { seatRun_->CountdownFinished(); });
    });
    countdown_->Tick();
}

void TForm1::CancelCountdown() {
    countdown_->clock().CancelInterval();
    countdown_->Tick();
}

void TForm1::Cue(SeatCue cue) {
    SoundFilePlayer* player = countdown_->player();
    if (player == nullptr) return;
    const QString name = cue == SeatCue::NextSeat ? QStringLiteral("fim-seat-next.wav")
                                                  : QStringLiteral("fim-seat-done.wav");
    const std::string path = QDir(QStandardPaths::writableLocation(QStandardPaths::TempLocation))
                                 .filePath(name)
                                 .toStdString();
    const std::vector<int16_t> samples = SeatCueSamples(cue, 44100);
    if (!QFileInfo::exists(QString::fromStdString(path)) &&
        !WriteWave16(path, 44100, 1, samples.data(), samples.size())) {
        Beep();
        return;
    }
    if (!player->Play(path)) Beep();
}

void TForm1::SeatSetChanged() {
    if (seatRun_->Set().size() > 0) {
        ensureFrequencyWindow().ShowSeatSet(seatRun_->Set(), seatRun_->Name());
    } else if (fftWindow_) {
        fftWindow_->ClearSeatSet();
    }
    if (QAction* stop = action(QStringLiteral("STOPSEATSET1"))) {
        stop->setEnabled(seatRun_->Active());
    }
    // The last seat completes inside the run's end: the room moves back once the run is idle.
    if (!seatRun_->Active() && seatRun_->phase() == SeatRun::Phase::Finished) {
        QTimer::singleShot(0, this, [this] { restoreSeatRoom(); });
    }
}

void TForm1::ShowSeatStatus(const std::string& text) {
    seatPanel_->setText(Q(text));
    seatPanel_->show();
}

}  // namespace fim
