#pragma once
// A plot on paper: the smile or a position's risk graph on a landscape page
// in the paper's colours, under a heading, with tables of text below it (a
// position's legs and totals). The picture is drawn in screen units, a
// 96th of an inch, so that it looks on paper as it does in its tab.

#include <QString>
#include <QStringList>

#include <functional>
#include <vector>

#include "chart/PlotFrame.h"

class QPainter;
class QPrinter;

namespace kestrava {

// Rows of cells, the first one the headings; alignment holds 'L' or 'R' per
// column (right when missing).
struct PrintTextTable {
    std::vector<QStringList> rows;
    QString alignment;
};

struct PlotPrintout {
    QString jobName;  // the print job's title
    QString heading;  // above the picture
    std::function<void(QPainter&, const QRectF&, const PlotPalette&)> draw;
    std::vector<PrintTextTable> tables;  // below the picture, an empty line apart
    QStringList notes;                   // after the tables, one line each
};

// Each row of table as one line of a fixed-pitch font: every column as wide
// as its widest cell, kPrintTableGap blanks apart.
constexpr int kPrintTableGap = 3;
QStringList AlignedLines(const PrintTextTable& table);

// Prints printout as a print job of its own on landscape pages; the text
// that does not fit below the picture (at least half the page's height)
// goes on to further pages. The printer's orientation is restored.
// Throws PrintJobError when the job cannot start.
void PrintPlot(QPrinter& printer, const PlotPrintout& printout);

}  // namespace kestrava
