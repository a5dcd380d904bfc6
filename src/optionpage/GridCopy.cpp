#include "optionpage/GridCopy.h"

#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QItemSelectionModel>

#include <set>

#include "optionpage/ImprStrGrid.h"
#include "pricing/gridtext.h"

namespace kestrava {
namespace {

// A cell as one line of a spreadsheet cell.
QString Flat(const QString& text)
{
    QString flat = text;
    flat.replace(QStringLiteral("\r\n"), QStringLiteral(" "));
    flat.replace(QLatin1Char('\r'), QLatin1Char(' '));
    flat.replace(QLatin1Char('\n'), QLatin1Char(' '));
    flat.replace(QLatin1Char('\t'), QLatin1Char(' '));
    return flat.simplified();
}

const char* const kLabelHeadings[] = {"Side", "Strike", "Code"};

// The strike label cell (" C  102.50 ", a line break, the option code) as
// its three fields.
QStringList LabelFields(const QString& label)
{
    const qsizetype cut = label.indexOf(QLatin1Char('\r'));
    const QStringList words = Flat(label.left(cut)).split(QLatin1Char(' '), Qt::SkipEmptyParts);
    return {words.value(0), words.value(1), cut < 0 ? QString() : Flat(label.mid(cut + 1))};
}

QString Heading(const GridCells& cells, int col)
{
    QString heading = Flat(cells.Cell(col, 0));
    if (GridColumnInPercent(col) && !heading.contains(QLatin1Char('%')))
        heading += QStringLiteral(" %");
    return heading;
}

bool RowShowsSomething(const GridCells& cells, int row)
{
    for (int col = 0; col < cells.ColCount(); ++col)
        if (!Flat(cells.Cell(col, row)).isEmpty())
            return true;
    return false;
}

}  // namespace

QString GridCopyText(const GridCells& cells, const QModelIndexList& selected)
{
    // Model rows are grid rows from 1 on.
    std::set<std::pair<int, int>> chosen;
    std::set<int> rows;
    std::set<int> cols;
    // Rows past the options (a short series' grid) hold nothing to copy.
    for (const QModelIndex& index : selected) {
        if (!index.isValid() || !RowShowsSomething(cells, index.row() + 1))
            continue;
        chosen.emplace(index.column(), index.row() + 1);
        rows.insert(index.row() + 1);
        cols.insert(index.column());
    }
    const bool whole = chosen.empty();
    if (whole) {
        for (int row = 1; row < cells.RowCount(); ++row)
            if (RowShowsSomething(cells, row))
                rows.insert(row);
        for (int col = 0; col < cells.ColCount(); ++col)
            cols.insert(col);
    }
    // The fixed column names the row (it is never selected itself).
    if (cells.ColCount() > 0)
        cols.insert(0);

    QString text;
    const auto line = [&](int row, bool heading) {
        QStringList fields;
        for (int col : cols) {
            if (col == 0)
                fields << (heading ? QStringList{QString::fromLatin1(kLabelHeadings[0]),
                                                 QString::fromLatin1(kLabelHeadings[1]),
                                                 QString::fromLatin1(kLabelHeadings[2])}
                                   : LabelFields(cells.Cell(0, row)));
            else if (heading)
                fields << Heading(cells, col);
            else
                fields << (whole || chosen.count({col, row}) ? Flat(cells.Cell(col, row)) : QString());
        }
        text += fields.join(QLatin1Char('\t')) + QLatin1Char('\n');
    };
    line(0, true);
    for (int row : rows)
        line(row, false);
    return text;
}

void InstallGridCopy(TImpStrGrid* grid)
{
    auto* copy = new QAction(grid);
    copy->setObjectName(QStringLiteral("actGridCopy"));
    copy->setShortcut(QKeySequence::Copy);
    copy->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    grid->addAction(copy);
    // Rows are selected for copying as a list's are; the current cell
    // stays the page's row cursor.
    grid->setSelectionMode(QAbstractItemView::ExtendedSelection);
    QObject::connect(copy, &QAction::triggered, grid, [grid] {
        const QModelIndexList selected = grid->selectionModel() ? grid->selectionModel()->selectedIndexes()
                                                                : QModelIndexList();
        QGuiApplication::clipboard()->setText(GridCopyText(*grid->Cells(), selected));
    });
}

}  // namespace kestrava
