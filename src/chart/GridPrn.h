#pragma once
// The grid printer: one expiry of a series as a text table in a fixed-pitch
// font on portrait pages: a heading, the column headings, a call and a put
// entry per strike, and the lines that state the inputs.

#include <QString>

#include <vector>

#include "chart/PrintTarget.h"
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
    // A strike's entry: its label on a line of its own when it has an option
    // code, and its data line.
    struct Row {
        QString codeLabel;
        QString data;
    };

    std::vector<Row> MakeRows() const;
    void SetGridFont(int longestLine);
    void WriteLine(const QString& text, bool bold = false);
    void TitleBlock();
    void ColumnHeadings();
    void Rows(const std::vector<Row>& rows);
    void Footer(const std::vector<std::string>& lines);
    // Starts a new page, with the title block and the column headings, when
    // fewer than `lines` line heights are left on this one.
    void EnsureRoom(int lines);
    bool HasCode(int s, int k) const;

    PrintTarget& printer_;
    Notifier& notifier_;
    LocaleInfo locale_;
    PrintTarget::Font font_;
};

}  // namespace kestrava
