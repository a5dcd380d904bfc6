#include "optionpage/PageLayout.h"

#include <QFrame>
#include <QGuiApplication>
#include <QLayout>
#include <QScreen>
#include <QStyle>
#include <QTabBar>

#include <algorithm>
#include <vector>

#include "common/localeparse.h"
#include "optionpage/GridFit.h"
#include "optionpage/ImprStrGrid.h"
#include "optionpage/PageInputBar.h"
#include "pagecore/PageSeries.h"
#include "pricing/GridColumns.h"
#include "pricing/gridtext.h"
#include "pricing/IORecObj1.h"

namespace kestrava {
namespace {

int RowsHeight(const TImpStrGrid& grid, int firstRow)
{
    int height = 0;
    for (int r = firstRow; r < grid.RowCount(); ++r)
        height += grid.RowHeight(r);
    return height;
}

}  // namespace

void PlaceBelowMainWindow(const PageFrame& frame, const QRect& mainWindow)
{
    // Show every row: the grid as tall as its rows, the tab bar and the
    // input bar at their natural heights.
    const TImpStrGrid& grid = frame.grid;
    const int border = 2 * grid.frameWidth();
    int columnsWidth = 0;
    for (int c = 0; c < grid.ColCount(); ++c)
        columnsWidth += grid.ColWidth(c);
    const QSize natural(std::max(columnsWidth + border, frame.bar.sizeHint().width()),
                        frame.tabs.sizeHint().height() + RowsHeight(grid, 0) + border
                            + frame.bar.sizeHint().height());

    const QScreen* screen = mainWindow.isValid() ? QGuiApplication::screenAt(mainWindow.center()) : nullptr;
    const QRect placed = PlacePage(natural, mainWindow, screen ? screen->availableGeometry() : QRect());
    QWidget& page = frame.page;
    if (mainWindow.isValid()) {
        page.setMinimumWidth(std::min(mainWindow.width(), placed.width()));
        page.move(placed.topLeft());
    }
    page.resize(placed.size());
    page.setMaximumHeight(placed.height());
    if (page.layout())
        page.layout()->activate();
}

void FitHeightToRows(const PageFrame& frame)
{
    // The height wanted is counted from the rows, the tab bar and the input
    // bar, not from the grid's height, which is not laid out yet while the
    // page is built.
    QWidget& page = frame.page;
    const int wanted = frame.tabs.sizeHint().height() + RowsHeight(frame.grid, 0)
                       + 2 * frame.grid.frameWidth() + frame.bar.sizeHint().height();
    if (wanted <= page.height())
        return;
    int grown = wanted;
    if (const QScreen* screen = page.screen()) {
        const QRect area = screen->availableGeometry();
        const int room = area.top() + area.height() - page.geometry().top();
        if (room > 200)
            grown = std::min(grown, room);
    }
    if (grown <= page.height())
        return;
    page.setMaximumHeight(grown);
    page.resize(page.width(), grown);
    if (page.layout())
        page.layout()->activate();
}

void FitRows(TImpStrGrid& grid)
{
    std::vector<int> heights;
    heights.reserve(static_cast<std::size_t>(grid.RowCount()));
    for (int r = 0; r < grid.RowCount(); ++r)
        heights.push_back(grid.RowHeight(r));
    const std::vector<int> fitted = FitRowHeights(heights, grid.height() - 2 * grid.frameWidth());
    if (fitted == heights)
        return;
    for (int r = 0; r < static_cast<int>(fitted.size()); ++r)
        grid.SetRowHeight(r, fitted[static_cast<std::size_t>(r)]);
    // A row never gets lower than its fixed text needs.
    grid.GrowFixedRows();
}

void FitColumns(TImpStrGrid& grid)
{
    const int dataHeight = grid.height() - 2 * grid.frameWidth() - grid.RowHeight(0);
    const int scrollBarWidth = grid.style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, &grid);
    // A column never gets narrower than its header or a number needs.
    const QFontMetrics metrics(grid.font());
    const int numberWidth = metrics.horizontalAdvance(QStringLiteral("-000.000 "))
                            + 2 * TImpStrGrid::kTextMargin;
    std::vector<int> widths, least;
    for (int c = 0; c < grid.ColCount(); ++c) {
        widths.push_back(grid.ColWidth(c));
        least.push_back(std::max(numberWidth, grid.FixedTextWidth(grid.CellText(c, 0))));
    }
    const std::vector<int> fitted = FitColumnWidths(widths, least, grid.width() - 2 * grid.frameWidth(),
                                                    RowsHeight(grid, 1) > dataHeight ? scrollBarWidth : 0);
    for (int c = 1; c < static_cast<int>(fitted.size()); ++c)
        grid.SetColWidth(c, fitted[static_cast<std::size_t>(c)]);
}

void SetHeaders(TImpStrGrid& grid)
{
    for (int c = 0; c < kGridColumns; ++c)
        grid.SetCellText(c, 0, QString::fromLatin1(GridHeader(c)));
}

void SetRowLabels(TImpStrGrid& grid, PageSeries& series, char decimalSeparator)
{
    if (series.empty())
        return;
    const TInOutObj& p = series.front();
    const int n = p.NumStrikes;
    grid.SetRowCount(std::max(2 * n + 1, kMinGridRows));
    grid.SetOffset(n + 1);

    const float strikeStep = series.TakeStrikeStep();
    int widest = grid.ColWidth(0);
    for (int s = 1; s <= n; ++s) {
        for (int k = 1; k <= 2; ++k) {
            const QString label = QString::fromStdString(
                WithDecimalSeparator(StrikeLabel(p.Strike(s, k), k == 1, strikeStep), decimalSeparator));
            widest = std::max(widest, grid.FixedTextWidth(label));
            grid.SetCellText(0, k == 1 ? s : s + n, label);
        }
    }
    grid.SetColWidth(0, widest);
}

}  // namespace kestrava
