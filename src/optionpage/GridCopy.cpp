#include "optionpage/GridCopy.h"

#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QItemSelectionModel>

#include <set>

#include "optionpage/ImprStrGrid.h"

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
    for (const QModelIndex& index : selected) {
        if (!index.isValid())
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
        for (int col : cols)
            fields << (heading || whole || col == 0 || chosen.count({col, row}) ? Flat(cells.Cell(col, row))
                                                                                : QString());
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
    QObject::connect(copy, &QAction::triggered, grid, [grid] {
        const QModelIndexList selected = grid->selectionModel() ? grid->selectionModel()->selectedIndexes()
                                                                : QModelIndexList();
        QGuiApplication::clipboard()->setText(GridCopyText(*grid->Cells(), selected));
    });
}

}  // namespace kestrava
