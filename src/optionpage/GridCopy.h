#pragma once
// The option grid as text a spreadsheet pastes: tab-separated cells as they
// are shown, the column headings first.

#include <QModelIndexList>
#include <QString>

namespace kestrava {

class GridCells;
class TImpStrGrid;

// The selected cells of the rows that show something, or all of those rows
// when nothing is selected, with the headings of their columns and, first on
// each row, the row's side, strike and option code, each in a column of its
// own so that the strike is a number to a spreadsheet. Rows and columns keep
// the grid's order; a cell of a selected row and column that is not itself
// selected stays empty. A heading's second line follows its first after a
// blank, and a column shown in percent says so ("Bid IV %"); the blanks that
// keep numbers off the cell border are dropped. Rows end with "\n".
QString GridCopyText(const GridCells& cells, const QModelIndexList& selected);

// Gives grid the Copy shortcut (Ctrl+C), which puts GridCopyText of its
// selection on the clipboard, and lets its rows be selected for it with
// Shift, Ctrl and Ctrl+A besides the page's row cursor.
void InstallGridCopy(TImpStrGrid* grid);

}  // namespace kestrava
