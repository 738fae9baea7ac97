#include "finder/ui/RingOutWindow.h"

#include <QButtonGroup>
#include <QDateTime>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QPainter>
#include <QPrinter>
#include <QTableWidget>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>

#include "base/AtomicFile.h"
#include "base/Prompter.h"
#include "base/SettingsTree.h"
#include "base/ui/PrintAndSave.h"
#include "base/ui/paint/QtBoundary.h"
#include "finder/FinderModel.h"

namespace fim {

namespace {

constexpr const char* kTitle = "Ring-out";

}  // namespace

RingOutWindow::RingOutWindow(SettingsTree& tree, Prompter& prompter, QWidget* parent)
    : QWidget(parent, Qt::Tool), tree_(tree), prompter_(prompter) {
    setObjectName(QStringLiteral("RingOut"));
    setWindowTitle(QString::fromLatin1(kTitle));
    log_.Load(tree_);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    auto* bar = new QHBoxLayout;
    auto button = [&](const char* name, const char* caption, const char* hint) {
        auto* b = new QToolButton(this);
        b->setObjectName(QString::fromLatin1(name));
        b->setText(QString::fromLatin1(caption));
        b->setToolTip(QString::fromLatin1(hint));
        b->setFocusPolicy(Qt::NoFocus);
        bar->addWidget(b);
        return b;
    };
    byTime_ = button("ByTime", "BY TIME", "List the captures in the order they rang");
    byBand_ = button("ByBand", "BY BAND", "List the captures by band, low to high");
    auto* group = new QButtonGroup(this);
    for (QToolButton* b : {byTime_, byBand_}) {
        b->setCheckable(true);
        group->addButton(b);
    }
    byTime_->setChecked(true);
    connect(byTime_, &QToolButton::clicked, this, [this] { SetOrder(RingOutOrder::Time); });
    connect(byBand_, &QToolButton::clicked, this, [this] { SetOrder(RingOutOrder::Band); });
    bar->addSpacing(12);
    connect(button("Delete", "DELETE", "Delete the selected capture"), &QToolButton::clicked, this,
            &RingOutWindow::DeleteClick);
    connect(button("Clear", "CLEAR", "Delete every capture"), &QToolButton::clicked, this,
            &RingOutWindow::ClearClick);
    bar->addSpacing(12);
    connect(button("SaveCsv", "CSV", "Save the list as a CSV file"), &QToolButton::clicked, this,
            &RingOutWindow::SaveCsvClick);
    connect(button("Print", "PRINT", "Print the list"), &QToolButton::clicked, this,
            &RingOutWindow::PrintClick);
    bar->addStretch(1);
    layout->addLayout(bar);

    table_ = new QTableWidget(this);
    table_->setObjectName(QStringLiteral("RingOutTable"));
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setSelectionMode(QAbstractItemView::SingleSelection);
    table_->verticalHeader()->setVisible(false);
    layout->addWidget(table_);
    resize(860, 300);
    fill();
}

void RingOutWindow::AddCapture(const FinderCapture& capture) {
    AddCapture(capture, QDateTime::currentSecsSinceEpoch());
}

void RingOutWindow::AddCapture(const FinderCapture& capture, int64_t time) {
    log_.Add(capture, time);
    changed();
}

void RingOutWindow::SetOrder(RingOutOrder order) {
    order_ = order;
    (order == RingOutOrder::Band ? byBand_ : byTime_)->setChecked(true);
    fill();
}

void RingOutWindow::DeleteClick() {
    const int row = table_->currentRow();
    if (row < 0 || static_cast<std::size_t>(row) >= rowIndex_.size()) return;
    log_.Delete(rowIndex_[static_cast<std::size_t>(row)]);
    changed();
    if (table_->rowCount() > 0) table_->selectRow(std::min(row, table_->rowCount() - 1));
}

void RingOutWindow::ClearClick() {
    if (log_.size() == 0) return;
    if (prompter_.Ask(kTitle, "Delete every capture of the list?", PromptButtons::YesNo,
                      PromptIcon::Question) != PromptAnswer::Yes) {
        return;
    }
    log_.Clear();
    changed();
}

void RingOutWindow::SaveCsvClick() {
    SaveCsvAs(prompter_, kTitle, "Save ring-out list", [this](const std::string& path) {
        std::string error;
        WriteFileAtomically(path, log_.Csv(order_), &error);
        return error;
    });
}

void RingOutWindow::PrintClick() {
    QPrinter printer(QPrinter::ScreenResolution);
    if (ChoosePrintTarget(printer, this, prompter_, "Print ring-out list")) PrintTo(printer);
}

void RingOutWindow::PrintTo(QPrinter& printer) {
    PrintLandscape(
        printer, prompter_, kTitle, QStringLiteral("Ring-out"),
        [this, &printer](QPainter& p, const QRect& page) { PaintPages(printer, p, page); });
}

void RingOutWindow::PaintPages(QPrinter& printer, QPainter& p, const QRect& page) const {
    QFont font;
    font.setFamilies(QStringList{QStringLiteral("Arial"), QStringLiteral("Liberation Sans")});
    font.setPixelSize(std::max(8, page.height() / 64));
    p.setFont(font);
    const int line = p.fontMetrics().height() + 2;
    int y = page.top() + line;
    p.drawText(page.left(), y, QStringLiteral("Ring-out, %1 captures").arg(log_.size()));
    y += line;
    const auto cells = log_.Cells(order_);
    const int columns = static_cast<int>(cells.front().size());
    // The time column is twice as wide as the others.
    const int unit = page.width() / (columns + 1);
    bool header = true;
    for (const auto& row : cells) {
        y += line;
        if (y > page.bottom()) {
            printer.newPage();
            y = page.top() + line;
        }
        QFont f = font;
        f.setBold(header);
        p.setFont(f);
        int x = page.left();
        for (int col = 0; col < columns; ++col) {
            const int w = col == 0 ? 2 * unit : unit;
            const QRect cell(x, y - line, w - 4, line);
            const Qt::Alignment align =
                (col == 0 || col == 2 || col == 3 ? Qt::AlignLeft : Qt::AlignRight) |
                Qt::AlignVCenter;
            p.drawText(cell, static_cast<int>(align), Q(row[static_cast<std::size_t>(col)]));
            x += w;
        }
        header = false;
    }
}

void RingOutWindow::changed() {
    log_.Store(tree_);
    fill();
}

void RingOutWindow::fill() {
    const auto cells = log_.Cells(order_);
    const auto rows = log_.Rows(order_);
    rowIndex_.clear();
    for (const auto& r : rows) rowIndex_.push_back(r.index);
    const auto& head = cells.front();
    table_->clear();
    table_->setColumnCount(static_cast<int>(head.size()));
    QStringList labels;
    for (const auto& h : head) labels << Q(h);
    table_->setHorizontalHeaderLabels(labels);
    table_->setRowCount(static_cast<int>(cells.size() - 1));
    for (std::size_t r = 1; r < cells.size(); ++r) {
        for (std::size_t c = 0; c < cells[r].size(); ++c) {
            auto* item = new QTableWidgetItem(Q(cells[r][c]));
            if (c != 0 && c != 2 && c != 3) {
                item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            }
            table_->setItem(static_cast<int>(r - 1), static_cast<int>(c), item);
        }
    }
    table_->resizeColumnsToContents();
}

}  // namespace fim
