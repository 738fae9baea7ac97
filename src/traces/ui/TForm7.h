#pragma once
// The trace manager window ("TRACEMANGER"): loads the five comparison traces, colours them,
// shows, centres and marks them for the main trace, and controls and saves the main trace.
// Every action changes the trace objects of the frequency-response window and asks that window
// to repaint; the repaint draws the traces and rebuilds the main trace. Closing only hides it.

#include <QWidget>
#include <array>
#include <functional>

#include "traces/TraceSet.h"

class QLabel;
class QListWidget;
class QToolButton;

namespace fim {

class Prompter;
class SettingsTree;

// What the window asks of the frequency-response window.
struct TForm7Host {
    std::function<void()> repaint;               // repaint the frequency-response window
    std::function<double()> liveLevelReference;  // the live spectrum's level reference
    std::function<double()> sampleRate;          // written into a saved main trace
    std::function<void()> closed;                // release the trace manager button
};

class TForm7 : public QWidget {
    Q_OBJECT
  public:
    // FormCreate: places the window from "TMX" (top) and "TMY" (left), sets the hints and fills
    // the rows and the list from the traces.
    TForm7(TraceSet& traces, Prompter& prompter, SettingsTree* settings, TForm7Host host,
           QWidget* parent = nullptr);

    // The controls of row `number` (1 … 5): name label, load, colour, centre, show, average.
    QLabel* nameLabel(int number) const;
    QToolButton* loadButton(int number) const;
    QToolButton* colourButton(int number) const;
    QToolButton* centreToggle(int number) const;
    QToolButton* showToggle(int number) const;
    QToolButton* averageToggle(int number) const;
    // The main-trace row.
    QLabel* mainLabel() const { return label6_; }
    QToolButton* mainShowToggle() const { return speedButton21_; }
    QToolButton* mainColourButton() const { return speedButton22_; }
    QToolButton* flipToggle() const { return speedButton23_; }
    QToolButton* addGraphToggle() const { return speedButton24_; }
    QToolButton* saveButton() const { return speedButton25_; }
    QListWidget* list() const { return listBox1_; }

    // Brings the rows (names, colours, enabled toggles) and the main-trace buttons in line with
    // the trace objects; the frequency window calls it after each repaint, since the repaint
    // decides whether a main trace exists.
    void SyncFromTraces();
    // The list refresh: the members of the main trace.
    void RefreshList();

    // Row actions, as the buttons run them.
    void LoadTrace(int number);
    void ChooseTraceColour(int number);  // 0: the main trace
    void SaveMainTrace();

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;

  private:
    struct Row {
        QLabel* label = nullptr;
        QToolButton* load = nullptr;
        QToolButton* colour = nullptr;
        QToolButton* centre = nullptr;
        QToolButton* show = nullptr;
        QToolButton* average = nullptr;
    };

    void BuildRows();
    void ReadPosition();
    void WritePosition();
    void ToggleChanged();
    void Repaint();
    const Row& RowOf(int number) const;

    TraceSet& traces_;
    Prompter& prompter_;
    SettingsTree* settings_;
    TForm7Host host_;

    std::array<Row, kNumberedTraces> rows_{};
    QLabel* label6_ = nullptr;
    QToolButton* speedButton21_ = nullptr;
    QToolButton* speedButton22_ = nullptr;
    QToolButton* speedButton23_ = nullptr;
    QToolButton* speedButton24_ = nullptr;
    QToolButton* speedButton25_ = nullptr;
    QListWidget* listBox1_ = nullptr;
};

}  // namespace fim
