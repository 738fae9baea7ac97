#pragma once
// The FEEDBACKFINDER window: the read-out in large type, the eleven deviation lamps, the eight
// input peak lamps, the display-mode buttons, AUTO RESTART, SETUP, SAMPLE, SEARCH and EXIT. A tool
// window that stays on top; closing it (or EXIT) ends the finder run. It sits on FinderModel.

#include <QMainWindow>
#include <array>
#include <functional>
#include <memory>

#include "audio/ui/LiveDevices.h"
#include "finder/FinderModel.h"

class QLabel;
class QToolButton;

namespace fim {

class Peakpoin;
class QueuedWakeup;

class TFBFDISP : public QMainWindow {
    Q_OBJECT
  public:
    TFBFDISP(MeasurementState& state, RunController& controller, RunView& view, Prompter& prompter,
             FinderSettings& settings, QWidget* parent = nullptr);
    ~TFBFDISP() override;

    FinderModel& model() { return *model_; }
    // A finder run: the input switches to the finder and the window shows; false (window
    // hidden) when the device could not be set up.
    bool Start();

    // The features dialog on its feedback finder tab (the finder lets go of the input meanwhile).
    std::function<void()> openSettings;

    // Handlers under the system's names.
    void ToolButton1Click(int tag);  // the four display-mode buttons
    void ToolButton7Click();         // AUTO RESTART
    void SETUP1Click();
    void SAMPLE1Click();
    void RESAMPLE1Click();  // SEARCH
    void STOP1Click();      // EXIT

    QLabel* label1() const { return label1_; }
    QLabel* statusPanel(int i) const { return panels_[static_cast<std::size_t>(i)]; }
    QToolButton* button(const QString& name) const;
    // The colour lamp k (1 … 11) shows.
    QColor shapeColour(int k) const;
    Peakpoin* peakLamp(int i) const { return peak_[static_cast<std::size_t>(i)]; }
    // Shows what the model holds now (read-out, lamps, buttons, status texts).
    void refresh();
    // Takes the block peaks gathered since the last frame into the peak lamps.
    void refreshPeakLamps();

  signals:
    // One for every capture that gave a reading.
    void captureAnalysed(const fim::FinderCapture& capture);

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    void applySettings();

    std::unique_ptr<QueuedWakeup> wakeup_;
    std::unique_ptr<FinderModel> model_;
    QLabel* label1_ = nullptr;
    std::array<QLabel*, 3> panels_{};
    std::array<QWidget*, 11> shapes_{};
    std::array<Peakpoin*, 8> peak_{};
    std::array<QToolButton*, 4> modeButtons_{};  // by tag: EQ 31, EQ 15, EQ 10, FREQUENCY
    QToolButton* autoRestart_ = nullptr;
    std::unique_ptr<LiveDevices> devices_;
};

}  // namespace fim

Q_DECLARE_METATYPE(fim::FinderCapture)
