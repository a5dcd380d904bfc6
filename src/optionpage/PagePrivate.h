#pragma once
// What the files of the option page share and nothing outside it needs.

#include <QColor>
#include <QString>

#include <stdexcept>
#include <string>

#include "common/qt/seriestext.h"
#include "pagecore/PageSeries.h"

namespace kestrava::pageparts {

// The messages of the page.
inline const char* const kNoExpiry = "The series has no expiry date.";
inline const char* const kNoSeriesInFile = "There is no option series in ";

// Tab data of the tabs without an expiry; an expiry's tab holds its index.
inline constexpr int kChartTabMarker = -1;
inline constexpr int kSmileTabMarker = -2;
inline constexpr int kPositionTabMarker = -3;

// A problem that ends the building of a page; what() is the text to show.
class PageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// "'4,2x' is not a valid floating point value": a typed bid or ask.
inline std::string InvalidFloat(const QString& text)
{
    return "'" + text.toStdString() + "' is not a valid floating point value";
}

// The volatility window of the chart and of the history button.
inline int WindowDays(int boxDays, int longest)
{
    return boxDays < 10 || boxDays > longest ? 90 : boxDays;
}

// The page's quote file: its symbol's in the data folder; empty when the
// symbol cannot be a file name.
inline QString QuoteFileOf(const PageSeries& series, const QString& dataFolder)
{
    return series.empty() ? QString() : SymbolQuoteFile(series.front().OptSymbol, dataFolder);
}

}  // namespace kestrava::pageparts
