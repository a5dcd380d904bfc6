#include "chart/GridPrn.h"

#include <QScopeGuard>

#include <algorithm>
#include <cmath>
#include <exception>
#include <utility>
#include <vector>

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
// The inputs go two to a line, this far apart.
const QString kInputGap = QStringLiteral("    ");

QString FromSeriesText(const std::string& text)
{
    return QString::fromStdString(Cp1252ToUtf8(text));
}

// "Page 2 of 3"; while the pages are counted their number is not known yet.
QString PageText(int page, int pages)
{
    return QStringLiteral("Page %1 of %2").arg(page).arg(std::max(page, pages));
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
        counting_ = false;
    });
    printer_.SetPageOrientation(PrintTarget::Orientation::Portrait);

    Series = &series;
    TInOutObj expiryOwner = series;  // the expiry getter settles the expiry day
    const TDateTime expiry = expiryOwner.GetExpiry();
    Heading = FromSeriesText(GridPrintHeading(expiry, series.OptSymbol, series.OptContract));
    table_ = MakeGridPrintTable(series, locale_.decimalSeparator);
    inputLines_.clear();
    std::vector<QString> inputs;
    for (const std::string& input : GridPrintInputs(series, expiry, locale_))
        if (!input.empty())
            inputs.push_back(FromSeriesText(input));
    for (std::size_t i = 0; i < inputs.size(); i += 2)
        inputLines_.push_back(i + 1 < inputs.size() ? inputs[i] + kInputGap + inputs[i + 1] : inputs[i]);

    int longest = static_cast<int>(table_.headings.size());
    for (const GridPrintTable::Row& row : table_.rows)
        longest = std::max(longest, static_cast<int>(row.data.size()));
    for (const QString& line : inputLines_)
        longest = std::max(longest,
                           static_cast<int>(line.size() + kInputGap.size() + PageText(99, 99).size()));
    SetGridFont(longest);
    PixelsPerInchX = printer_.DotsPerInchX();
    TenthInchY = printer_.DotsPerInchY() / 10;
    LineHeight = printer_.TextHeight(QStringLiteral("Wg"));

    // The pages are laid out twice: first only to count them.
    counting_ = true;
    WritePages();
    pageCount_ = page_;
    counting_ = false;

    printer_.BeginDoc(FromSeriesText(series.OptSymbol) + QStringLiteral(" Option Grid"));
    try {
        WritePages();
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

void TGridPrinter::WritePages()
{
    page_ = 1;
    CurrentY = 0;
    PageTop();
    Rows();
}

void TGridPrinter::WriteLine(const QString& text, bool bold)
{
    if (!counting_) {
        if (bold) {
            PrintTarget::Font boldFont = font_;
            boldFont.bold = true;
            printer_.SetFont(boldFont);
        }
        printer_.TextOut(PixelsPerInchX / 3, CurrentY, text);
        if (bold)
            printer_.SetFont(font_);
    }
    CurrentY += LineHeight;
}

void TGridPrinter::PageTop()
{
    // The heading, centred; the inputs, the first line with the page's
    // number at the table's right edge; the column headings.
    if (!counting_) {
        PrintTarget::Font boldFont = font_;
        boldFont.bold = true;
        printer_.SetFont(boldFont);
        printer_.TextOut(printer_.PageWidth() / 2 - printer_.TextWidth(Heading) / 2, CurrentY, Heading);
        printer_.SetFont(font_);
    }
    CurrentY += LineHeight + TenthInchY;

    int tableWidth = static_cast<int>(table_.headings.size());
    for (const GridPrintTable::Row& row : table_.rows)
        tableWidth = std::max(tableWidth, static_cast<int>(row.data.size()));
    const QString page = PageText(page_, pageCount_);
    for (std::size_t i = 0; i < std::max<std::size_t>(inputLines_.size(), 1); ++i) {
        QString line = i < inputLines_.size() ? inputLines_[i] : QString();
        if (i == 0) {
            const int pad = tableWidth - static_cast<int>(line.size() + page.size());
            line += pad >= kInputGap.size() ? QString(pad, QLatin1Char(' ')) : kInputGap;
            line += page;
        }
        WriteLine(line);
    }
    CurrentY += 2 * TenthInchY;

    WriteLine(QString::fromStdString(table_.headings), true);
    CurrentY += LineHeight;
}

void TGridPrinter::Rows()
{
    const std::vector<GridPrintTable::Row>& rows = table_.rows;
    for (std::size_t r = 0; r < rows.size(); ++r) {
        CurrentY += LineHeight;
        if (rows[r].hasCode)
            WriteLine(QString::fromStdString(rows[r].label));
        WriteLine(FromSeriesText(rows[r].data));
        // Room for the whole of the next row, so no line runs off the page.
        if (r + 1 < rows.size())
            EnsureRoom(rows[r + 1].hasCode ? kRowLinesWithCode : kRowLines);
        CurrentY += LineHeight;
    }
}

void TGridPrinter::EnsureRoom(int lines)
{
    if (printer_.PageHeight() >= CurrentY + lines * LineHeight)
        return;
    if (!counting_)
        printer_.NewPage();
    ++page_;
    CurrentY = 0;
    PageTop();
}

}  // namespace kestrava
