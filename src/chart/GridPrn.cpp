#include "chart/GridPrn.h"

#include <QScopeGuard>

#include <algorithm>
#include <cmath>
#include <exception>
#include <utility>
#include <vector>

#include "chart/GridPrnText.h"
#include "common/codepage.h"

namespace kestrava {
namespace {

const QString kGridFontFamily = QStringLiteral("Courier");
constexpr double kLargestPointSize = 10;
constexpr double kSmallestPointSize = 4;
constexpr double kPointSizeStep = 0.5;
// Each line of a row, the empty lines around it included, up to its data line.
constexpr int kRowLines = 3;
constexpr int kRowLinesWithCode = 4;
// From the check after the last row to the bottom of the first footer line.
constexpr int kLinesToFirstFooterLine = 3;

QString FromSeriesText(const std::string& text)
{
    return QString::fromStdString(Cp1252ToUtf8(text));
}

}  // namespace

TGridPrinter::TGridPrinter(PrintTarget& printer, Notifier& notifier, const LocaleInfo& locale)
    : printer_(printer), notifier_(notifier), locale_(locale)
{
}

void TGridPrinter::PrintGrid(const TInOutObj& series)
{
    const PrintTarget::Orientation orientation = printer_.PageOrientation();
    const PrintTarget::Font font = printer_.CurrentFont();
    const auto restore = qScopeGuard([&] {
        printer_.SetPageOrientation(orientation);
        printer_.SetFont(font);
        Series = nullptr;
    });
    printer_.SetPageOrientation(PrintTarget::Orientation::Portrait);

    Series = &series;
    const std::vector<Row> rows = MakeRows();
    const QString headings = QString::fromLatin1(GridPrintColumnHeadings());
    int longest = static_cast<int>(headings.size());
    for (const Row& row : rows)
        longest = std::max(longest, static_cast<int>(row.data.size()));
    SetGridFont(longest);
    PixelsPerInchX = printer_.DotsPerInchX();
    TenthInchY = printer_.DotsPerInchY() / 10;
    LineHeight = printer_.TextHeight(QStringLiteral("Wg"));
    CurrentY = 0;
    TInOutObj expiryOwner = series;  // the expiry getter settles the expiry day
    const TDateTime expiry = expiryOwner.GetExpiry();
    Heading = FromSeriesText(GridPrintHeading(expiry, series.OptSymbol, series.OptContract));

    printer_.BeginDoc(FromSeriesText(series.OptSymbol) + QStringLiteral(" Option Grid"));
    try {
        TitleBlock();
        ColumnHeadings();
        Rows(rows);
        Footer(GridPrintFooter(series, expiry, locale_));
    } catch (const std::exception& error) {
        notifier_.Error(error.what());
    }
    printer_.EndDoc();
}

void TGridPrinter::SetGridFont(int longestLine)
{
    // The largest size, in half points, at which the longest line fits
    // right of the left margin.
    font_ = PrintTarget::Font{kGridFontFamily, kLargestPointSize, false, true};
    const QString longest(std::max(longestLine, kGridPrintLineChars), QLatin1Char('0'));
    const int room = printer_.PageWidth() - printer_.DotsPerInchX() / 3;
    printer_.SetFont(font_);
    const int width = printer_.TextWidth(longest);
    if (width > room && width > 0) {
        const double fitting = kLargestPointSize * room / width;
        font_.pointSize = std::max(kSmallestPointSize, std::floor(fitting / kPointSizeStep) * kPointSizeStep);
        printer_.SetFont(font_);
        // Hinted advances do not scale exactly: step down until it fits.
        while (printer_.TextWidth(longest) > room && font_.pointSize > kSmallestPointSize) {
            font_.pointSize -= kPointSizeStep;
            printer_.SetFont(font_);
        }
    }
}

void TGridPrinter::WriteLine(const QString& text, bool bold)
{
    if (bold) {
        PrintTarget::Font boldFont = font_;
        boldFont.bold = true;
        printer_.SetFont(boldFont);
    }
    printer_.TextOut(PixelsPerInchX / 3, CurrentY, text);
    if (bold)
        printer_.SetFont(font_);
    CurrentY += LineHeight;
}

void TGridPrinter::TitleBlock()
{
    PrintTarget::Font boldFont = font_;
    boldFont.bold = true;
    printer_.SetFont(boldFont);
    printer_.TextOut(printer_.PageWidth() / 2 - printer_.TextWidth(Heading) / 2, CurrentY, Heading);
    printer_.SetFont(font_);
    CurrentY += LineHeight + 2 * TenthInchY + LineHeight;
}

void TGridPrinter::ColumnHeadings()
{
    WriteLine(QString::fromLatin1(GridPrintColumnHeadings()), true);
    CurrentY += LineHeight;
}

bool TGridPrinter::HasCode(int s, int k) const
{
    const std::string& code = Series->OptCode(s, k);
    return !code.empty() && code != "\r";
}

std::vector<TGridPrinter::Row> TGridPrinter::MakeRows() const
{
    const char dot = locale_.decimalSeparator;
    const int strikes = std::clamp(Series->NumStrikes, 0, kMaxStrikes);
    std::vector<Row> rows;  // calls first, then puts
    for (int k = 1; k <= 2; ++k) {
        for (int s = 1; s <= strikes; ++s) {
            const QString label = QString::fromStdString(
                GridPrintRowLabel(Series->Strike(s, k), k == 1, dot));
            const QString values = QString::fromStdString(GridPrintValues(*Series, s, k, dot));
            if (HasCode(s, k))
                rows.push_back({label, FromSeriesText(GridPrintCodeField(Series->OptCode(s, k))) + values});
            else
                rows.push_back({QString(), label + values});
        }
    }
    return rows;
}

void TGridPrinter::Rows(const std::vector<Row>& rows)
{
    for (std::size_t r = 0; r < rows.size(); ++r) {
        CurrentY += LineHeight;
        if (!rows[r].codeLabel.isEmpty())
            WriteLine(rows[r].codeLabel);
        WriteLine(rows[r].data);
        // Room for all of what comes next, so no line runs off the page.
        if (r + 1 < rows.size())
            EnsureRoom(rows[r + 1].codeLabel.isEmpty() ? kRowLines : kRowLinesWithCode);
        else
            EnsureRoom(kLinesToFirstFooterLine);
        CurrentY += LineHeight;
    }
}

void TGridPrinter::Footer(const std::vector<std::string>& lines)
{
    CurrentY += LineHeight;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        WriteLine(FromSeriesText(lines[i]));
        // The last two lines are kept together.
        if (i + 3 < lines.size())
            EnsureRoom(1);
        else if (i + 3 == lines.size())
            EnsureRoom(2);
    }
}

void TGridPrinter::EnsureRoom(int lines)
{
    if (printer_.PageHeight() >= CurrentY + lines * LineHeight)
        return;
    printer_.NewPage();
    CurrentY = 0;
    TitleBlock();
    ColumnHeadings();
}

}  // namespace kestrava
