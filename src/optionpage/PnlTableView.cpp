#include "optionpage/PnlTableView.h"

#include <QAbstractTableModel>
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QHeaderView>

#include <algorithm>
#include <cmath>
#include <set>

#include "common/localeparse.h"

namespace kestrava {
namespace {

const char* const kTableHint =
    "Profit or loss at each price (rows) and date (columns) under the scenario; Ctrl+C copies it";
const char* const kTodayColumn = "Today";
const char* const kDateColumn = "Date";
const char* const kMidwayColumn = "Midway";
const char* const kExpiryColumn = "Expiry";
const char* const kTodayRow = " today";
const char* const kVolHint =
    "Profit or loss at each price (rows) on the chosen date with every leg's volatility moved by the "
    "column's points; Ctrl+C copies it";
const char* const kVolColumn = "%1 pts";
const char* const kSettledMark = " *";
const char* const kMoveRow = " σ";

}  // namespace

class PnlTableModel : public QAbstractTableModel {
public:
    PnlTableModel(const LocaleInfo& locale, QObject* parent) : QAbstractTableModel(parent), locale_(locale) {}

    void Show(const PnlTable& table, double underlying, double move, bool dateChosen)
    {
        beginResetModel();
        table_ = table;
        underlying_ = underlying;
        move_ = move;
        dateChosen_ = dateChosen;
        byVol_ = false;
        notes_.clear();
        endResetModel();
    }
    void ShowByVol(const PnlVolTable& table, double underlying, double move)
    {
        beginResetModel();
        volTable_ = table;
        underlying_ = underlying;
        move_ = move;
        byVol_ = true;
        notes_.clear();
        endResetModel();
    }
    void SetNotes(const QStringList& notes)
    {
        notes_ = notes;
        if (columnCount() > 0)
            emit headerDataChanged(Qt::Horizontal, 0, columnCount() - 1);
    }
    const PnlTable& Table() const { return table_; }
    const PnlVolTable& VolTable() const { return volTable_; }
    bool ByVol() const { return byVol_; }
    const std::vector<double>& Prices() const { return byVol_ ? volTable_.prices : table_.prices; }

    int rowCount(const QModelIndex& parent = {}) const override
    {
        return parent.isValid() ? 0 : static_cast<int>(Prices().size());
    }
    int columnCount(const QModelIndex& parent = {}) const override
    {
        if (parent.isValid())
            return 0;
        return byVol_ ? (volTable_.prices.empty() ? 0 : static_cast<int>(kPnlVolShifts.size()))
                      : static_cast<int>(table_.dates.size());
    }

    QVariant data(const QModelIndex& index, int role) const override
    {
        if (!index.isValid())
            return {};
        if (role == Qt::TextAlignmentRole)
            return QVariant(Qt::AlignRight | Qt::AlignVCenter);
        if (role != Qt::DisplayRole)
            return {};
        const auto& pnl = byVol_ ? volTable_.pnl : table_.pnl;
        const double value =
            pnl[static_cast<std::size_t>(index.row())][static_cast<std::size_t>(index.column())];
        return QString::fromStdString(FormatLocaleFixed(value, 2, locale_.decimalSeparator));
    }

    QVariant headerData(int section, Qt::Orientation orientation, int role) const override
    {
        const QString note = orientation == Qt::Horizontal ? notes_.value(section) : QString();
        if (role == Qt::ToolTipRole && !note.isEmpty())
            return note;
        if (role != Qt::DisplayRole || section < 0)
            return QAbstractTableModel::headerData(section, orientation, role);
        const QString mark = note.isEmpty() ? QString() : QString::fromLatin1(kSettledMark);
        if (orientation == Qt::Horizontal && byVol_ && section < columnCount()) {
            const double shift = kPnlVolShifts[static_cast<std::size_t>(section)];
            return QString::fromLatin1(kVolColumn)
                       .arg((shift > 0 ? QStringLiteral("+") : QString())
                            + QString::fromStdString(FormatLocaleFixed(shift, 0, locale_.decimalSeparator)))
                   + mark + QLatin1Char('\n')
                   + QString::fromStdString(FormatLocaleDate(volTable_.date, locale_));
        }
        if (orientation == Qt::Horizontal && section < columnCount()) {
            const char* caption = section == 0   ? kTodayColumn
                                  : section == 1 ? (dateChosen_ ? kDateColumn : kMidwayColumn)
                                                 : kExpiryColumn;
            return QString::fromLatin1(caption) + mark + QLatin1Char('\n')
                   + QString::fromStdString(
                       FormatLocaleDate(table_.dates[static_cast<std::size_t>(section)], locale_));
        }
        if (orientation == Qt::Vertical && section < rowCount())
            return RowLabel(Prices()[static_cast<std::size_t>(section)]);
        return {};
    }

private:
    // The price, and what it is when it is not a strike: today's price or
    // a number of expected moves from it.
    QString RowLabel(double price) const
    {
        QString label = QString::fromStdString(FormatLocaleFixed(price, 2, locale_.decimalSeparator));
        if (price == underlying_)
            return label + QString::fromLatin1(kTodayRow);
        for (int n : {-2, -1, 1, 2})
            if (move_ > 0 && price == underlying_ + n * move_)
                return label + QStringLiteral(" (%1%2").arg(n > 0 ? QStringLiteral("+") : QString()).arg(n)
                       + QString::fromUtf8(kMoveRow) + QLatin1Char(')');
        return label;
    }

    LocaleInfo locale_;
    PnlTable table_;
    PnlVolTable volTable_;
    bool byVol_ = false;
    QStringList notes_;
    double underlying_ = 0;
    double move_ = 0;
    bool dateChosen_ = false;
};

PnlTableView::PnlTableView(const LocaleInfo& locale, QWidget* parent) : QTableView(parent), locale_(locale)
{
    setObjectName(QStringLiteral("tblPnl"));
    model_ = new PnlTableModel(locale, this);
    setModel(model_);
    setToolTip(QString::fromLatin1(kTableHint));
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    verticalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    auto* copy = new QAction(this);
    copy->setShortcut(QKeySequence::Copy);
    copy->setShortcutContext(Qt::WidgetShortcut);
    addAction(copy);
    connect(copy, &QAction::triggered, this, [this] { QApplication::clipboard()->setText(CopyText()); });
}

void PnlTableView::ShowTable(const PnlTable& table, double underlying, double move, bool dateChosen)
{
    model_->Show(table, underlying, move, dateChosen);
    setToolTip(QString::fromLatin1(kTableHint));
}

const PnlTable& PnlTableView::Table() const
{
    return model_->Table();
}

void PnlTableView::ShowVolTable(const PnlVolTable& table, double underlying, double move)
{
    model_->ShowByVol(table, underlying, move);
    setToolTip(QString::fromLatin1(kVolHint));
}

const PnlVolTable& PnlTableView::VolTable() const
{
    return model_->VolTable();
}

bool PnlTableView::ShowsVolTable() const
{
    return model_->ByVol();
}

void PnlTableView::SetColumnNotes(const QStringList& notes)
{
    model_->SetNotes(notes);
}

QString PnlTableView::CopyText(bool selectionOnly) const
{
    std::set<int> rows;
    std::set<int> columns;
    const QModelIndexList selected = selectionOnly ? selectionModel()->selectedIndexes() : QModelIndexList();
    for (const QModelIndex& index : selected) {
        rows.insert(index.row());
        columns.insert(index.column());
    }
    if (selected.isEmpty()) {
        for (int r = 0; r < model_->rowCount(); ++r)
            rows.insert(r);
        for (int c = 0; c < model_->columnCount(); ++c)
            columns.insert(c);
    }
    const auto flat = [](QString text) { return text.replace(QLatin1Char('\n'), QLatin1Char(' ')); };
    QString text = QStringLiteral("Price");
    for (int c : columns)
        text += QLatin1Char('\t') + flat(model_->headerData(c, Qt::Horizontal, Qt::DisplayRole).toString());
    text += QLatin1Char('\n');
    for (int r : rows) {
        // The price alone, so that a spreadsheet reads it as a number.
        text += QString::fromStdString(
            FormatLocaleFixed(model_->Prices()[static_cast<std::size_t>(r)], 2, locale_.decimalSeparator));
        for (int c : columns) {
            text += QLatin1Char('\t');
            const QModelIndex cell = model_->index(r, c);
            if (selected.isEmpty() || selectionModel()->isSelected(cell))
                text += cell.data().toString();
        }
        text += QLatin1Char('\n');
    }
    return text;
}

}  // namespace kestrava
