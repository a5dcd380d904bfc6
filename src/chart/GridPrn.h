#pragma once
// The grid printer: one expiry of a series as a text table in a fixed-pitch
// font on portrait pages: a heading, the column headings, a call and a put
// entry per strike, and the lines that state the inputs.

#include <QString>

#include "chart/PrintTarget.h"
#include "common/localeinfo.h"
#include "common/notifier.h"
#include "pricing/IORecObj1.h"

namespace kestrava {

// The longest line a grid prints, in characters: the font is sized so that
// it fits the page's width right of the left margin.
constexpr int kGridPrintLineChars = 120;

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
    void SetGridFont();
    void WriteLine(const QString& text, bool bold = false);
    void TitleBlock();
    void ColumnHeadings();
    void Rows();
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
