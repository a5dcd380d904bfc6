#pragma once
// The grid printer: one expiry of a series as a text table in a fixed-pitch
// font on portrait pages. Every page starts with the heading, the inputs the
// grid was priced with and its number ("Page 2 of 3"), then the column
// headings; then come a call and a put entry per strike.

#include <QString>

#include <string>
#include <vector>

#include "chart/PrintTarget.h"
#include "chartcore/GridPrnText.h"
#include "common/localeinfo.h"
#include "common/notifier.h"
#include "pricing/IORecObj1.h"

namespace kestrava {

// The font is sized so that lines of this many characters, or the grid's
// longest line when that is longer, fit the page's width right of the left
// margin: about 8 points on portrait A4 or Letter.
constexpr int kGridPrintLineChars = 110;

class TGridPrinter {
public:
    TGridPrinter(PrintTarget& printer, Notifier& notifier, const LocaleInfo& locale);

    const TInOutObj* Series = nullptr;  // the expiry being printed
    QString Heading;
    int PixelsPerInchX = 0;
    int LineHeight = 0;  // height of "Wg" in the printing font
    int CurrentY = 0;    // top of the next line, from the top of the printable area
    int TenthInchY = 0;

    // Prints one expiry as one print job. An error while writing the pages
    // is shown as an error and the job is still ended; the printer's
    // orientation and font are restored in any case.
    void PrintGrid(const TInOutObj& series);

private:
    void SetGridFont(int longestLine);
    // Lays out every page; writes them unless counting_ is set.
    void WritePages();
    void WriteLine(const QString& text, bool bold = false);
    void PageTop();
    void Rows();
    // Starts a new page, with its top, when fewer than `lines` line heights
    // are left on this one.
    void EnsureRoom(int lines);

    PrintTarget& printer_;
    Notifier& notifier_;
    LocaleInfo locale_;
    PrintTarget::Font font_;
    GridPrintTable table_;
    std::vector<QString> inputLines_;  // under the heading of every page
    bool counting_ = false;            // the first pass only counts the pages
    int page_ = 0;
    int pageCount_ = 0;
};

}  // namespace kestrava
