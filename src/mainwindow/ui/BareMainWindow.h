#pragma once
// A plain main window around the impulse-response display: the tool bar with the large read-out
// label, the trace with its panel and the overview, the WINDOW and COLOR menus, and the
// seven-panel status bar. Loads a time file named on the command line. The full main window
// takes these parts over; until then this is how the display is used.

#include <QMainWindow>
#include <QStringList>
#include <array>
#include <memory>
#include <string>

class QLabel;

namespace fim {

struct MeasurementState;
class Prompter;
class TimeTraceView;

class BareMainWindow : public QMainWindow {
    Q_OBJECT
  public:
    BareMainWindow(MeasurementState& meas, std::unique_ptr<Prompter> prompter,
                   QWidget* parent = nullptr);
    ~BareMainWindow() override;

    TimeTraceView* view() const { return view_; }
    QLabel* label1() const { return label1_; }
    QLabel* statusPanel(int i) const { return panels_.at(static_cast<std::size_t>(i)); }

    // Loads a time file into the measurement state and shows it; false (nothing changed) when
    // the file cannot be read as one.
    bool loadTimeFile(const std::string& path);

  protected:
    void keyPressEvent(QKeyEvent* event) override;

  private:
    void showReadouts();

    MeasurementState& meas_;
    std::unique_ptr<Prompter> prompter_;
    TimeTraceView* view_ = nullptr;
    QLabel* label1_ = nullptr;
    std::array<QLabel*, 7> panels_{};
};

// The window for the program's command line: loads the file when exactly one argument after the
// program name names an existing file.
std::unique_ptr<BareMainWindow> BuildBareMainWindow(MeasurementState& meas,
                                                    std::unique_ptr<Prompter> prompter,
                                                    const QStringList& arguments);

}  // namespace fim
