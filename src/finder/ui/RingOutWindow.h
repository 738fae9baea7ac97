#pragma once
// The ring-out window beside the feedback finder: every capture of the session with its band,
// deviation, level over the trigger threshold, count and suggested cuts, sorted by band or by
// time. Rows can be deleted one by one or all at once; the list is saved as CSV and printed. The
// log is written to the settings tree on every change, so it is there again after a restart.
//
// Thread: UI thread only.

#include <QWidget>

#include "finder/RingOutLog.h"

class QPainter;
class QPrinter;
class QRect;
class QTableWidget;
class QToolButton;

namespace fim {

struct FinderCapture;
class Prompter;
class SettingsTree;

class RingOutWindow : public QWidget {
    Q_OBJECT
  public:
    RingOutWindow(SettingsTree& tree, Prompter& prompter, QWidget* parent = nullptr);

    // Logs a capture of the finder, taken now.
    void AddCapture(const FinderCapture& capture);
    void AddCapture(const FinderCapture& capture, int64_t time);
    void SetOrder(RingOutOrder order);
    // Deletes the selected row; nothing when none is selected.
    void DeleteClick();
    // Asks, then empties the list (and the stored copy).
    void ClearClick();
    // The list as a CSV file chosen through the prompter.
    void SaveCsvClick();
    // Prints the list (into a PDF chosen through the prompter when there is no printer).
    void PrintClick();
    void PrintTo(QPrinter& printer);

    const RingOutLog& log() const { return log_; }
    RingOutOrder order() const { return order_; }
    QTableWidget* table() const { return table_; }

  private:
    // The list's pages, from `page`'s top; a new page when one is full.
    void PaintPages(QPrinter& printer, QPainter& p, const QRect& page) const;
    void changed();
    void fill();

    SettingsTree& tree_;
    Prompter& prompter_;
    RingOutLog log_;
    RingOutOrder order_ = RingOutOrder::Time;
    std::vector<std::size_t> rowIndex_;  // log index of each table row
    QTableWidget* table_ = nullptr;
    QToolButton* byBand_ = nullptr;
    QToolButton* byTime_ = nullptr;
};

}  // namespace fim
