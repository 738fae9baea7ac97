#include "base/ui/PrintAndSave.h"

#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QPrinterInfo>

#include "base/Prompter.h"
#include "base/ui/paint/QtBoundary.h"

namespace fim {

void SaveCsvAs(Prompter& prompter, const std::string& caption, const std::string& dialogTitle,
               const std::function<std::string(const std::string& path)>& write) {
    FileDialogRequest r;
    r.title = dialogTitle;
    r.filter = "CSV (*.csv *.CSV)";
    r.defaultExtension = "csv";
    const auto path = prompter.ChooseSaveFile(r);
    if (!path) return;
    const std::string error = write(*path);
    if (!error.empty()) prompter.Inform(caption, *path + "\r" + error, PromptIcon::Stop);
}

bool ChoosePrintTarget(QPrinter& printer, QWidget* parent, Prompter& prompter,
                       const std::string& pdfTitle) {
    if (QPrinterInfo::availablePrinters().isEmpty()) {
        // No printer installed: the page goes into a PDF file.
        FileDialogRequest r;
        r.title = pdfTitle;
        r.filter = "PDF (*.pdf)";
        r.defaultExtension = "pdf";
        const auto path = prompter.ChooseSaveFile(r);
        if (!path) return false;
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(Q(*path));
        return true;
    }
    QPrintDialog dialog(&printer, parent);
    return dialog.exec() == QDialog::Accepted;
}

void PrintLandscape(QPrinter& printer, Prompter& prompter, const std::string& caption,
                    const QString& docName,
                    const std::function<void(QPainter& painter, const QRect& page)>& paint) {
    printer.setDocName(docName);
    printer.setPageOrientation(QPageLayout::Landscape);
    QPainter p;
    if (!p.begin(&printer)) {
        prompter.Inform(caption, "The printer could not be started.", PromptIcon::Warning);
        return;
    }
    paint(p, QRect(0, 0, p.device()->width(), p.device()->height()));
    p.end();
    if (printer.printerState() == QPrinter::Error) {
        prompter.Inform(caption, "The page could not be printed.", PromptIcon::Warning);
    }
}

}  // namespace fim
