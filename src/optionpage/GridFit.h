#pragma once
// The sizes of the option grid and of its page, as plain arithmetic on
// pixel counts: the columns share the grid's width, the rows its height,
// and the page sits below the main window inside the screen.

#include <QRect>

#include <vector>

namespace kestrava {

// Columns 1 and on share what the grid's width leaves (less a vertical
// scroll bar when the rows do not fit); the pixels that do not divide
// evenly go one each to the first columns, so the last column ends at the
// grid's edge. No column gets narrower than its least width. Column 0 (the
// strike labels) keeps its width.
std::vector<int> FitColumnWidths(const std::vector<int>& widths, const std::vector<int>& least, int gridWidth,
                                 int scrollBarWidth);

// Every row grows or shrinks by the same whole number of pixels so that the
// rows fill the grid's height, as nearly as a whole number allows; none
// drops below 1 pixel.
std::vector<int> FitRowHeights(const std::vector<int>& heights, int gridHeight);

// Where a page of its natural size goes: right below the main window, at
// least as wide as it, within the screen's work area; a page taller than the
// room below (when there is more than 200 pixels of it) is cut to that room.
// An invalid main window leaves the position to the window system (the
// result's top left is then (0, 0) and only its size counts).
QRect PlacePage(const QSize& natural, const QRect& mainWindow, const QRect& workArea);

}  // namespace kestrava
