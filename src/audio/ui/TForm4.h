#pragma once
// The "LEVEL SETUP" window: noise on the output, the peaks of both inputs on two bars of eight
// lamps, Quiet/Noise, the desktop's mixer and the settings dialog. It stays on top of the other
// windows; closing it (or OK) hands the devices back to the main window.

#include <QDialog>
#include <QStringList>
#include <array>
#include <functional>
#include <memory>

#include "audio/LevelSetup.h"
#include "audio/ui/LiveDevices.h"

class QLabel;
class QPushButton;

namespace fim {

class Peakpoin;
class QueuedWakeup;

class TForm4 : public QDialog {
    Q_OBJECT
  public:
    TForm4(MeasurementState& state, RunController& controller, RunView& view, Prompter& prompter,
           QWidget* parent = nullptr);
    ~TForm4() override;

    LevelSetupModel& model() { return *model_; }
    // Switches the devices to level setup and shows the window; false (window hidden) when the
    // devices could not be set up.
    bool Start();

    // The settings dialog, opened by the Setup action (the caller closes and reopens nothing:
    // the monitor releases its devices around the dialog and takes them again afterwards).
    std::function<void()> openSettings;
    // Starts a program detached; true when it started. Tests replace it.
    std::function<bool(const QString& program, const QStringList& arguments)> startProgram;

    // Handlers under the system's names.
    void BitBtn1Click();  // OK
    void Button1Click();  // Win - Mixer
    void Button2Click();  // Quiet / Noise
    void SetupClick();

    // The lamps of the "ATC" and "IN" bars, top (−2 dB) to bottom (−60 dB).
    Peakpoin* atcLamp(int i) const { return atc_[static_cast<std::size_t>(i)]; }
    Peakpoin* inLamp(int i) const { return in_[static_cast<std::size_t>(i)]; }
    // Takes the peaks gathered since the last frame into the lamps (the display timer's work).
    void refreshLamps();

  protected:
    void closeEvent(QCloseEvent* event) override;
    void reject() override;

  private:
    void FormCreate();

    std::unique_ptr<QueuedWakeup> wakeup_;
    std::unique_ptr<LevelSetupModel> model_;
    std::array<Peakpoin*, 8> atc_{}, in_{};
    QLabel* panel1_ = nullptr;
    QLabel* panel5_ = nullptr;
    QPushButton* button2_ = nullptr;
    std::unique_ptr<LiveDevices> devices_;
};

}  // namespace fim
