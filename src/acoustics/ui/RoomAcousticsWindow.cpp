#include "acoustics/ui/RoomAcousticsWindow.h"

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPainter>
#include <QPrinter>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include "acoustics/ui/paint/DecayPainter.h"
#include "base/Prompter.h"
#include "base/ui/PrintAndSave.h"
#include "base/ui/paint/QtBoundary.h"

namespace fim {

namespace {

constexpr const char* kTitle = "Room Acoustics";

}  // namespace

class RoomAcousticsWindow::Plot : public QWidget {
  public:
    explicit Plot(RoomAcousticsWindow* w) : QWidget(w), window_(w) {
        setObjectName(QStringLiteral("DecayPlot"));
        setMinimumSize(300, 180);
    }
    QSize sizeHint() const override { return {760, 300}; }

  protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        PaintDecays(p, rect(), window_->model_);
    }

  private:
    RoomAcousticsWindow* window_;
};

RoomAcousticsWindow::RoomAcousticsWindow(std::function<bool(AcousticsInput&)> input,
                                         Prompter& prompter, QWidget* parent)
    : QWidget(parent, Qt::Window), input_(std::move(input)), prompter_(prompter) {
    setObjectName(QStringLiteral("RoomAcoustics"));
    setWindowTitle(QString::fromLatin1(kTitle));

    bands_ = new QComboBox(this);
    bands_->setObjectName(QStringLiteral("BandsBox"));
    bands_->addItems({QStringLiteral("Octave bands"), QStringLiteral("Third-octave bands")});
    weighting_ = new QComboBox(this);
    weighting_->setObjectName(QStringLiteral("WeightingBox"));
    weighting_->addItems(
        {QStringLiteral("Broadband unweighted (Z)"), QStringLiteral("Broadband A-weighted")});
    auto* copy = new QPushButton(QStringLiteral("Copy"), this);
    copy->setObjectName(QStringLiteral("CopyButton"));
    auto* save = new QPushButton(QStringLiteral("Save CSV..."), this);
    save->setObjectName(QStringLiteral("SaveButton"));
    auto* print = new QPushButton(QStringLiteral("Print..."), this);
    print->setObjectName(QStringLiteral("PrintButton"));
    connect(bands_, &QComboBox::currentIndexChanged, this, [this](int i) {
        model_.options.bands = i == 1 ? BandSet::Third : BandSet::Octave;
        FormActivate();
    });
    connect(weighting_, &QComboBox::currentIndexChanged, this, [this](int i) {
        model_.options.broadband = i == 1 ? Weighting::A : Weighting::Z;
        FormActivate();
    });
    connect(copy, &QPushButton::clicked, this, &RoomAcousticsWindow::CopyClick);
    connect(save, &QPushButton::clicked, this, &RoomAcousticsWindow::SaveCsvClick);
    connect(print, &QPushButton::clicked, this, &RoomAcousticsWindow::PrintClick);

    table_ = new QTableWidget(this);
    table_->setObjectName(QStringLiteral("ValuesTable"));
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setSelectionMode(QAbstractItemView::SingleSelection);
    table_->verticalHeader()->setVisible(false);
    table_->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    connect(table_, &QTableWidget::itemSelectionChanged, this, [this] {
        const auto rows = table_->selectionModel()->selectedRows();
        model_.selected = rows.isEmpty() ? -1 : rows.first().row();
        plot_->update();
    });

    note_ = new QLabel(this);
    note_->setObjectName(QStringLiteral("Note"));
    note_->setStyleSheet(QStringLiteral("color: #c00000"));
    note_->setWordWrap(true);
    legend_ = new QLabel(this);
    legend_->setObjectName(QStringLiteral("Legend"));
    legend_->setText(QStringLiteral("Fit ranges of the selected row: <span style='color:%1'>"
                                    "&#9632; EDT 0 &#8230; &#8722;10 dB</span> &nbsp; <span "
                                    "style='color:%2'>&#9632; T20 &#8722;5 &#8230; &#8722;25 dB"
                                    "</span> &nbsp; <span style='color:%3'>&#9632; T30 &#8722;5 "
                                    "&#8230; &#8722;35 dB</span>")
                         .arg(EdtColour().name(), T20Colour().name(), T30Colour().name()));
    plot_ = new Plot(this);

    auto* controls = new QHBoxLayout;
    controls->addWidget(bands_);
    controls->addWidget(weighting_);
    controls->addStretch(1);
    controls->addWidget(copy);
    controls->addWidget(save);
    controls->addWidget(print);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 6, 6, 6);
    layout->addLayout(controls);
    layout->addWidget(table_, 1);
    layout->addWidget(note_);
    layout->addWidget(legend_);
    layout->addWidget(plot_, 1);
    resize(860, 700);
    FormActivate();
}

bool RoomAcousticsWindow::event(QEvent* e) {
    if (e->type() == QEvent::WindowActivate) FormActivate();
    return QWidget::event(e);
}

void RoomAcousticsWindow::FormActivate() {
    AcousticsInput in;
    if (input_ && input_(in) && !in.response.empty()) {
        model_.Analyse(in.response.data(), in.response.size(), in.sampleRate);
    } else {
        model_.Analyse(nullptr, 0, 0);
    }
    // The 1 kHz band is in front at first (the broadband row when there is no such band).
    if (model_.selected < 0) {
        model_.selected = model_.RowCount() - 1;
        for (int row = 0; row + 1 < model_.RowCount(); ++row) {
            if (model_.Row(row)->band.nominal == 1000) model_.selected = row;
        }
    }
    fillTable();
    const AcousticsResult& r = model_.Result();
    note_->setText(QString::fromLatin1(r.nonFinite ? kNonFiniteResponse : kLongerThanResponse));
    note_->setVisible(r.nonFinite || r.longerThanResponse);
    plot_->update();
}

void RoomAcousticsWindow::fillTable() {
    const auto cells = model_.Cells();
    const QSignalBlocker block(table_);
    table_->clear();
    table_->setRowCount(model_.RowCount());
    table_->setColumnCount(cells.empty() ? 0 : static_cast<int>(cells[0].size()));
    if (cells.empty()) return;
    QStringList header;
    for (const std::string& h : cells[0]) header << Q(h);
    table_->setHorizontalHeaderLabels(header);
    for (int row = 0; row < model_.RowCount() && row + 1 < static_cast<int>(cells.size()); ++row) {
        const auto& fields = cells[static_cast<std::size_t>(row) + 1];
        for (int col = 0; col < static_cast<int>(fields.size()); ++col) {
            const std::string& text = fields[static_cast<std::size_t>(col)];
            // A missing figure reads as a dash; the cell's tip says why.
            const bool missing = text == kNotEnoughDynamicRange;
            auto* item = new QTableWidgetItem(missing ? QStringLiteral("\u2013") : Q(text));
            if (missing) item->setToolTip(QString::fromLatin1(kNotEnoughDynamicRange));
            item->setTextAlignment(col == 0 ? Qt::AlignLeft | Qt::AlignVCenter
                                            : Qt::AlignRight | Qt::AlignVCenter);
            table_->setItem(row, col, item);
        }
    }
    if (model_.selected >= 0) table_->selectRow(model_.selected);
}

void RoomAcousticsWindow::CopyClick() {
    if (!model_.HasResult()) return;
    QApplication::clipboard()->setText(Q(model_.ClipboardText()));
}

void RoomAcousticsWindow::SaveCsvClick() {
    if (!model_.HasResult()) return;
    SaveCsvAs(prompter_, kTitle, "Save room acoustics",
              [this](const std::string& path) { return model_.SaveCsv(path); });
}

void RoomAcousticsWindow::PrintClick() {
    if (!model_.HasResult()) return;
    QPrinter printer(QPrinter::ScreenResolution);
    if (ChoosePrintTarget(printer, this, prompter_, "Print room acoustics")) PrintTo(printer);
}

void RoomAcousticsWindow::PrintTo(QPrinter& printer) {
    PrintLandscape(printer, prompter_, kTitle, QStringLiteral("Room acoustics"),
                   [this](QPainter& p, const QRect& page) { PaintPage(p, page); });
}

void RoomAcousticsWindow::PaintPage(QPainter& p, const QRect& page) const {
    QFont font;
    font.setFamilies(QStringList{QStringLiteral("Arial"), QStringLiteral("Liberation Sans")});
    font.setPixelSize(std::max(9, page.height() / 60));
    p.setFont(font);
    const auto cells = model_.Cells();
    const int line = p.fontMetrics().height();
    int y = page.top() + line;
    p.drawText(page.left(), y, windowTitle());
    y += line;
    const int columns = cells.empty() ? 1 : static_cast<int>(cells[0].size());
    const int width = page.width() / std::max(1, columns);
    for (const auto& row : cells) {
        y += line;
        for (int col = 0; col < static_cast<int>(row.size()); ++col) {
            const std::string& text = row[static_cast<std::size_t>(col)];
            const QRect cell(page.left() + col * width, y - line, width - 4, line);
            p.drawText(cell, Qt::AlignRight | Qt::AlignVCenter | Qt::TextWordWrap,
                       text == kNotEnoughDynamicRange ? QStringLiteral("\u2013") : Q(text));
        }
    }
    y += line;
    p.drawText(page.left(), y + line,
               QStringLiteral("\u2013 : ") + QString::fromLatin1(kNotEnoughDynamicRange));
    y += 2 * line;
    if (model_.Result().longerThanResponse) {
        p.drawText(page.left(), y + line, QString::fromLatin1(kLongerThanResponse));
        y += line;
    }
    PaintDecays(p, QRect(page.left(), y + line, page.width(), page.bottom() - y - line), model_);
}

}  // namespace fim
