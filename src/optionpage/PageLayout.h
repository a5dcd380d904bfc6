#pragma once
// The option page's size and place, and the grid's rows, columns, headings
// and strike labels fitted to it.

class QRect;
class QTabBar;
class QWidget;

namespace kestrava {

class PageInputBar;
class PageSeries;
class TImpStrGrid;

// The page's parts whose sizes make its height.
struct PageFrame {
    QWidget& page;
    QTabBar& tabs;
    TImpStrGrid& grid;
    PageInputBar& bar;
};

// At least the main window's width, right below it, as tall as every row
// needs as far as the screen allows; where the window system puts it when
// mainWindow is empty.
void PlaceBelowMainWindow(const PageFrame& frame, const QRect& mainWindow);
// Option codes make their rows taller; the page grows with them as far as
// the screen allows, so that every row stays in sight.
void FitHeightToRows(const PageFrame& frame);
// The rows share the grid's height, never lower than their fixed texts.
void FitRows(TImpStrGrid& grid);
// The columns share the grid's width, never narrower than their headings
// or a number.
void FitColumns(TImpStrGrid& grid);

// The grid's fewest rows, however few strikes the series has.
inline constexpr int kMinGridRows = 11;
void SetHeaders(TImpStrGrid& grid);
// A row for each call and put of the first expiry, labelled by its strike.
void SetRowLabels(TImpStrGrid& grid, PageSeries& series, char decimalSeparator);

}  // namespace kestrava
