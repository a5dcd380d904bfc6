// The page's size and place, and the grid's rows and columns fitted to it.

#include <QFrame>
#include <QGuiApplication>
#include <QLayout>
#include <QScreen>
#include <QTabBar>

#include <algorithm>
#include <vector>

#include "optionpage/GridFit.h"
#include "optionpage/ImprStrGrid.h"
#include "optionpage/Opage27.h"
#include "optionpage/PageInputBar.h"
#include "pricing/IORecObj1.h"

namespace kestrava {

void TfrmOPage::PlaceBelowMainWindow()
{
    // Show every row: the grid as tall as its rows, the tab bar and the
    // input bar at their natural heights.
    int rowsHeight = 0;
    for (int r = 0; r < TheGrid->RowCount(); ++r)
        rowsHeight += TheGrid->RowHeight(r);
    const int frame = 2 * TheGrid->frameWidth();
    int columnsWidth = 0;
    for (int c = 0; c < TheGrid->ColCount(); ++c)
        columnsWidth += TheGrid->ColWidth(c);
    const QSize natural(std::max(columnsWidth + frame, inputBar_->sizeHint().width()),
                        TabControl1->sizeHint().height() + rowsHeight + frame
                            + inputBar_->sizeHint().height());

    const QRect main = environment_.mainWindowGeometry;
    const QScreen* screen = main.isValid() ? QGuiApplication::screenAt(main.center()) : nullptr;
    const QRect placed = PlacePage(natural, main, screen ? screen->availableGeometry() : QRect());
    if (main.isValid()) {
        setMinimumWidth(std::min(main.width(), placed.width()));
        move(placed.topLeft());
    }
    resize(placed.size());
    setMaximumHeight(placed.height());
    if (layout())
        layout()->activate();
}

void TfrmOPage::FitRows()
{
    std::vector<int> heights;
    heights.reserve(static_cast<std::size_t>(TheGrid->RowCount()));
    for (int r = 0; r < TheGrid->RowCount(); ++r)
        heights.push_back(TheGrid->RowHeight(r));
    const std::vector<int> fitted = FitRowHeights(heights, TheGrid->height() - 2 * TheGrid->frameWidth());
    if (fitted == heights)
        return;
    for (int r = 0; r < static_cast<int>(fitted.size()); ++r)
        TheGrid->SetRowHeight(r, fitted[static_cast<std::size_t>(r)]);
    // A row never gets lower than its fixed text needs.
    TheGrid->GrowFixedRows();
}

void TfrmOPage::FitColumns()
{
    int rowsHeight = 0;
    for (int r = 1; r < TheGrid->RowCount(); ++r)
        rowsHeight += TheGrid->RowHeight(r);
    const int dataHeight = TheGrid->height() - 2 * TheGrid->frameWidth() - TheGrid->RowHeight(0);
    // A column never gets narrower than its header or a number needs.
    const QFontMetrics metrics(TheGrid->font());
    const int numberWidth = metrics.horizontalAdvance(QStringLiteral("-000.000 "))
                            + 2 * TImpStrGrid::kTextMargin;
    std::vector<int> widths, least;
    for (int c = 0; c < TheGrid->ColCount(); ++c) {
        widths.push_back(TheGrid->ColWidth(c));
        least.push_back(std::max(numberWidth, TheGrid->FixedTextWidth(TheGrid->CellText(c, 0))));
    }
    const std::vector<int> fitted = FitColumnWidths(widths, least,
                                                    TheGrid->width() - 2 * TheGrid->frameWidth(),
                                                    rowsHeight > dataHeight ? scrollBarWidth_ : 0);
    for (int c = 1; c < static_cast<int>(fitted.size()); ++c)
        TheGrid->SetColWidth(c, fitted[static_cast<std::size_t>(c)]);
}

void TfrmOPage::FitHeightToRows()
{
    // Option codes make their rows taller; the page grows with them, as far
    // as the screen allows, so that every row stays in sight. The height
    // wanted is counted from the rows, the tab bar and the input bar, not
    // from the grid's height, which is not laid out yet while the page is
    // built.
    int rowsHeight = 0;
    for (int r = 0; r < TheGrid->RowCount(); ++r)
        rowsHeight += TheGrid->RowHeight(r);
    const int wanted = TabControl1->sizeHint().height() + rowsHeight + 2 * TheGrid->frameWidth()
                       + inputBar_->sizeHint().height();
    if (wanted <= height())
        return;
    int grown = wanted;
    if (const QScreen* screen = this->screen()) {
        const QRect area = screen->availableGeometry();
        const int room = area.top() + area.height() - geometry().top();
        if (room > 200)
            grown = std::min(grown, room);
    }
    if (grown <= height())
        return;
    setMaximumHeight(grown);
    resize(width(), grown);
    if (layout())
        layout()->activate();
}

}  // namespace kestrava
