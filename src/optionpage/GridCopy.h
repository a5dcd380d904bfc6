#pragma once
// The grid as text a spreadsheet pastes: tab-separated cells as they are
// shown, the column headings first.

#include <QModelIndexList>
#include <QString>

namespace kestrava {

class GridCells;
class TImpStrGrid;

// The selected cells, or every row that shows something when nothing is
// selected, with the headings of their columns and, first on each row, the
// row's strike label. Rows and columns keep the grid's order; a cell of a
// selected row and column that is not itself selected stays empty. A cell's second line (an option code, a
// heading's unit) follows its first after a blank, and the blanks that keep numbers off the cell border are
// dropped. Rows end with "\n".
QString GridCopyText(const GridCells& cells, const QModelIndexList& selected);

// Gives grid the Copy shortcut (Ctrl+C), which puts GridCopyText of its
// selection on the clipboard.
void InstallGridCopy(TImpStrGrid* grid);

}  // namespace kestrava
