#pragma once
// The room acoustics window: decay times, clarity and centre time per band and broadband for the
// main window's impulse response, in a table, with the decay curves below it (the selected row's
// in front, its fit ranges marked). Copies the table as text, saves it as CSV and prints it.
//
// Thread: UI thread only. Created on first use; closing hides it. Every activation analyses the
// current response again.

#include <QWidget>
#include <functional>
#include <span>

#include "acoustics/RoomAcousticsModel.h"

class QComboBox;
class QLabel;
class QPainter;
class QPrinter;
class QRect;
class QTableWidget;

namespace fim {

class Prompter;

// What the window reads from the main window.
struct AcousticsInput {
    std::span<const double> response;  // the valid part of the impulse response
    double sampleRate = 0;
};

class RoomAcousticsWindow : public QWidget {
    Q_OBJECT
  public:
    // `input` fills the response; false while there is none (the table is then empty).
    RoomAcousticsWindow(std::function<bool(AcousticsInput&)> input, Prompter& prompter,
                        QWidget* parent = nullptr);

    // Analyses the current response and fills the table and plot.
    void FormActivate();
    // The table as tab-separated text on the clipboard.
    void CopyClick();
    // The table as a CSV file, chosen through the prompter.
    void SaveCsvClick();
    // Prints the table and curves (into a PDF chosen through the prompter when there is no
    // printer).
    void PrintClick();
    void PrintTo(QPrinter& printer);

    const RoomAcousticsModel& model() const { return model_; }
    QTableWidget* table() const { return table_; }
    QWidget* plot() const { return plot_; }
    QComboBox* bandsBox() const { return bands_; }
    QComboBox* weightingBox() const { return weighting_; }
    QLabel* note() const { return note_; }

  protected:
    bool event(QEvent* e) override;

  private:
    class Plot;
    // The title, the table and the decay curves on one page.
    void PaintPage(QPainter& p, const QRect& page) const;
    void fillTable();

    std::function<bool(AcousticsInput&)> input_;
    Prompter& prompter_;
    RoomAcousticsModel model_;
    QComboBox* bands_ = nullptr;
    QComboBox* weighting_ = nullptr;
    QTableWidget* table_ = nullptr;
    QLabel* note_ = nullptr;
    QLabel* legend_ = nullptr;
    QWidget* plot_ = nullptr;
};

}  // namespace fim
