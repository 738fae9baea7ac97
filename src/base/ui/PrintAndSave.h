#pragma once
// The save-as-CSV and print paths the list windows share: the file or printer is chosen through
// the Prompter (a PDF file when no printer is installed), and a failure is told to the user.

#include <QString>
#include <functional>
#include <string>

class QPainter;
class QPrinter;
class QRect;
class QWidget;

namespace fim {

class Prompter;

// Asks for a CSV file (`dialogTitle`) and writes it with `write`, which returns an error text
// (empty on success). A failure shows the path and that text under `caption`.
void SaveCsvAs(Prompter& prompter, const std::string& caption, const std::string& dialogTitle,
               const std::function<std::string(const std::string& path)>& write);

// Points `printer` at the page's destination: the print dialog when a printer is installed, else
// a PDF file chosen through the prompter (`pdfTitle`). False when the user cancelled.
bool ChoosePrintTarget(QPrinter& printer, QWidget* parent, Prompter& prompter,
                       const std::string& pdfTitle);

// Prints landscape pages named `docName`: `paint` draws on the painter, `page` being the
// printable area. A printer that cannot start or a page that fails is told under `caption`.
void PrintLandscape(QPrinter& printer, Prompter& prompter, const std::string& caption,
                    const QString& docName,
                    const std::function<void(QPainter& painter, const QRect& page)>& paint);

}  // namespace fim
