// The chain window's views beyond the table (the term structure and the
// surface), what each view gives to the clipboard and to a CSV file, and
// the new series from the table's selection.

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QDoubleSpinBox>
#include <QFileDialog>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QMimeData>
#include <QPointer>
#include <QSaveFile>
#include <QSet>
#include <QTableView>
#include <QTableWidget>
#include <QTabWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <utility>

#include "analysis/ChainExport.h"
#include "chainwindow/ChainPictureView.h"
#include "chainwindow/ChainTableModel.h"
#include "chainwindow/ChainWindow.h"
#include "chart/VolSurfacePlot.h"
#include "common/busy.h"
#include "common/localeparse.h"
#include "common/notifier.h"

namespace kestrava {
namespace {

constexpr int kSurfaceColumns = 41;
const char* const kTermHeaders[] = {"Expiry",   "Days",         "Rate %", "Forward",
                                    "ATM IV %", "Forward from", "Yield %"};

QString Fixed(double value, int decimals, char separator)
{
    return QString::fromStdString(FormatLocaleFixed(value, decimals, separator));
}

}  // namespace

QWidget* ChainWindow::BuildTermView()
{
    auto* page = new QWidget(this);
    auto* column = new QVBoxLayout(page);
    column->setContentsMargins(0, 0, 0, 0);
    termPicture = new ChainPictureView(
        QStringLiteral("termPicture"),
        [this](QPainter& painter, const QRectF& area) {
            DrawTermStructure(
                painter, area, TermPoints(),
                QString::fromStdString(chain_->symbol) + QStringLiteral(" at-the-money volatility, ")
                    + QString::fromStdString(FormatLocaleDate(chain_->quoteDate, environment_.locale)),
                environment_.locale);
        },
        page);
    tblTerm = new QTableWidget(0, static_cast<int>(std::size(kTermHeaders)), page);
    tblTerm->setObjectName(QStringLiteral("tblTerm"));
    QStringList headers;
    for (const char* header : kTermHeaders)
        headers << QString::fromLatin1(header);
    tblTerm->setHorizontalHeaderLabels(headers);
    tblTerm->verticalHeader()->setVisible(false);
    tblTerm->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + fontMetrics().height() / 3);
    tblTerm->setEditTriggers(QAbstractItemView::NoEditTriggers);
    tblTerm->setSelectionBehavior(QAbstractItemView::SelectRows);
    tblTerm->horizontalHeader()->setStretchLastSection(true);
    column->addWidget(termPicture, 3);
    column->addWidget(tblTerm, 2);
    return page;
}

QWidget* ChainWindow::BuildSurfaceView()
{
    surfacePicture = new ChainPictureView(
        QStringLiteral("surfacePicture"),
        [this](QPainter& painter, const QRectF& area) {
            DrawVolSurface(
                painter, area, Surface(),
                QString::fromStdString(chain_->symbol)
                    + QStringLiteral(" mid volatility by moneyness and expiry, ")
                    + QString::fromStdString(FormatLocaleDate(chain_->quoteDate, environment_.locale)),
                environment_.locale);
        },
        this);
    return surfacePicture;
}

namespace {

// The results so far, one per expiry; an expiry not solved yet has its days
// and rate but no options.
std::vector<ExpiryVols> SolvedSoFar(const ChainRoot& root, const std::vector<std::optional<ExpiryVols>>& vols,
                                    TDateTime today, const ChainInputs& inputs)
{
    std::vector<ExpiryVols> all;
    for (std::size_t e = 0; e < root.expiries.size(); ++e) {
        if (e < vols.size() && vols[e]) {
            all.push_back(*vols[e]);
            continue;
        }
        ExpiryVols pending;
        pending.days = TInOutObj::DaysBetween(today, root.expiries[e].date);
        pending.rate = inputs.rates.RateFor(pending.days);
        all.push_back(std::move(pending));
    }
    return all;
}

}  // namespace

std::vector<TermPoint> ChainWindow::TermPoints() const
{
    if (!Root())
        return {};
    return TermStructure(*Root(), SolvedSoFar(*Root(), Vols(), chain_->quoteDate, Inputs()));
}

VolSurfaceGrid ChainWindow::Surface() const
{
    if (!Root())
        return {};
    const double band = fseBand->value() / 100;
    return VolatilitySurface(*Root(), SolvedSoFar(*Root(), Vols(), chain_->quoteDate, Inputs()), 1 - band,
                             1 + band, kSurfaceColumns);
}

void ChainWindow::RefreshPictures()
{
    if (!tabViews)
        return;
    if (tabViews->currentIndex() == kTermView) {
        FillTermTable();
        termPicture->update();
    } else if (tabViews->currentIndex() == kSurfaceView) {
        surfacePicture->update();
    }
}

void ChainWindow::FillTermTable()
{
    const std::vector<TermPoint> points = TermPoints();
    const char separator = environment_.locale.decimalSeparator;
    tblTerm->setRowCount(static_cast<int>(points.size()));
    for (int r = 0; r < static_cast<int>(points.size()); ++r) {
        const TermPoint& point = points[static_cast<std::size_t>(r)];
        const QString cells[] = {
            QString::fromStdString(FormatLocaleDate(point.expiry, environment_.locale)),
            QString::number(point.days),
            Fixed(point.rate * 100, 2, separator),
            point.forward > 0 ? Fixed(point.forward, 2, separator) : QString(),
            point.atmVol > 0 ? Fixed(point.atmVol * 100, 2, separator) : QString(),
            point.forward > 0 ? QString::fromLatin1(ForwardSourceName(point.forwardSource)) : QString(),
            point.forward > 0 ? Fixed(point.impliedYield * 100, 2, separator) : QString(),
        };
        for (int c = 0; c < static_cast<int>(std::size(cells)); ++c) {
            auto* item = new QTableWidgetItem(cells[c]);
            item->setTextAlignment(c == 0 ? Qt::AlignLeft | Qt::AlignVCenter
                                          : Qt::AlignRight | Qt::AlignVCenter);
            tblTerm->setItem(r, c, item);
        }
    }
}

// ---------------------------------------------------------- copy and export

QString ChainWindow::ViewText(QChar separator, bool exportText, bool selectedOnly) const
{
    const int role = exportText ? ChainTableModel::kExportRole : static_cast<int>(Qt::DisplayRole);
    std::vector<int> columns;
    for (int c = 0; c < filter_->columnCount(); ++c)
        if (!tblChain->isColumnHidden(c))
            columns.push_back(c);
    QStringList lines;
    QStringList header;
    for (int c : columns)
        header << filter_->headerData(c, Qt::Horizontal, role).toString();
    lines << header.join(separator);
    const QModelIndexList selected = tblChain->selectionModel()->selectedRows();
    std::vector<int> rows;
    if (selectedOnly && !selected.isEmpty()) {
        for (const QModelIndex& index : selected)
            rows.push_back(index.row());
        std::sort(rows.begin(), rows.end());
    } else {
        for (int r = 0; r < filter_->rowCount(); ++r)
            rows.push_back(r);
    }
    for (int r : rows) {
        QStringList cells;
        for (int c : columns)
            cells << filter_->index(r, c).data(role).toString();
        lines << cells.join(separator);
    }
    return lines.join(QLatin1Char('\n')) + QLatin1Char('\n');
}

QString ChainWindow::ViewCsv() const
{
    switch (tabViews->currentIndex()) {
    case kTermView:
        return QString::fromStdString(TermCsv(TermPoints()));
    case kSurfaceView:
        return QString::fromStdString(SurfaceCsv(Surface()));
    default:
        return ViewText(QLatin1Char(','), true, false);
    }
}

void ChainWindow::CopyView()
{
    auto* data = new QMimeData;
    switch (tabViews->currentIndex()) {
    case kTermView: {
        QStringList lines;
        for (int r = 0; r < tblTerm->rowCount(); ++r) {
            QStringList cells;
            for (int c = 0; c < tblTerm->columnCount(); ++c)
                cells << (tblTerm->item(r, c) ? tblTerm->item(r, c)->text() : QString());
            lines << cells.join(QLatin1Char('\t'));
        }
        QStringList header;
        for (const char* text : kTermHeaders)
            header << QString::fromLatin1(text);
        lines.prepend(header.join(QLatin1Char('\t')));
        data->setText(lines.join(QLatin1Char('\n')) + QLatin1Char('\n'));
        data->setImageData(termPicture->Picture());
        break;
    }
    case kSurfaceView:
        data->setText(ViewCsv());
        data->setImageData(surfacePicture->Picture());
        break;
    default:
        data->setText(ViewText(QLatin1Char('\t'), false, true));
        break;
    }
    QGuiApplication::clipboard()->setMimeData(data);
}

void ChainWindow::ExportView()
{
    static const char* const kViewNames[] = {"chain", "term", "surface"};
    const QString proposed = QString::fromStdString(chain_->symbol) + QLatin1Char('-')
                             + QString::fromLatin1(kViewNames[std::clamp(tabViews->currentIndex(), 0, 2)])
                             + QStringLiteral(".csv");
    QFileDialog dialog(this, QStringLiteral("Export the view"), environment_.exportFolder,
                       QStringLiteral("Comma-separated values (*.csv)"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(QStringLiteral("csv"));
    dialog.selectFile(proposed);
    QString chosen;
    connect(&dialog, &QFileDialog::fileSelected, &dialog, [&chosen](const QString& file) { chosen = file; });
    // The window may close while the dialog is open (the program ends).
    const QPointer<ChainWindow> alive(this);
    if (dialog.exec() != QDialog::Accepted || chosen.isEmpty() || !alive)
        return;
    ExportViewTo(chosen);
}

bool ChainWindow::ExportViewTo(const QString& path)
{
    const QByteArray text = ViewCsv().toUtf8();
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size() || !file.commit()) {
        notifier_.Info(QStringLiteral("Cannot write %1: %2")
                           .arg(QDir::toNativeSeparators(path), file.errorString())
                           .toStdString());
        return false;
    }
    return true;
}

// ------------------------------------------------------------- new series

void ChainWindow::NewSeriesFromSelection()
{
    const ChainRoot* root = Root();
    if (!root)
        return;
    std::vector<std::pair<std::size_t, std::size_t>> selected;
    for (const QModelIndex& index : tblChain->selectionModel()->selectedRows())
        selected.emplace_back(
            static_cast<std::size_t>(index.data(ChainTableModel::kExpiryIndexRole).toInt()),
            static_cast<std::size_t>(index.data(ChainTableModel::kStrikeIndexRole).toInt()));
    SelectionResult result = MakeChainSelection(*chain_, *root, selected, Inputs());
    if (!result.selection) {
        notifier_.Info(result.problem);
        return;
    }
    // The market of the selected expiries as the table shows it; an expiry
    // not solved yet is solved now.
    {
        BusyScope busy;
        TakeMarket(*result.selection,
                   MarketOfChain(*chain_, *root, result.selection->expiries, Inputs(), Vols()));
    }
    emit newSeriesRequested(*result.selection);
}

}  // namespace kestrava
