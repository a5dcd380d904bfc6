// The page's widget-free parts: the series built from the setup values,
// the reading of the setup's number boxes, the grid's and the page's sizes,
// and the quote file a series symbol names.

#include <gtest/gtest.h>

#include <numeric>
#include <vector>

#include "common/qt/seriestext.h"
#include "optionpage/GridFit.h"
#include "optionpage/SeriesBuilder.h"
#include "optionpage/SetupChecks.h"

using namespace kestrava;

namespace {

SeriesSetup MakeSetup(int contract, const char* strikes, const char* first, const char* step)
{
    SeriesSetup setup;
    setup.numExpiries = 3;
    setup.expiryDates = {QDate(2027, 1, 15), QDate(2027, 2, 19), QDate(2027, 3, 19)};
    setup.numStrikes = QString::fromLatin1(strikes);
    setup.firstStrike = QString::fromLatin1(first);
    setup.strikeIncrement = QString::fromLatin1(step);
    setup.optionSymbol = QStringLiteral("XYZ");
    setup.contractType = contract;
    setup.model = kBinomial;
    return setup;
}

SeriesDefaults Defaults()
{
    SeriesDefaults defaults;
    defaults.rates = {0.99f, 0.0f, 0.02f};
    defaults.lowestRate = 0.0005f;
    defaults.highestRate = 0.5f;
    defaults.today = EncodeDate(2026, 12, 8);
    return defaults;
}

}  // namespace

TEST(SeriesBuilder, StrikesRatesAndDividendsOfEachExpiry)
{
    SeriesSetup setup = MakeSetup(kIndex, "25", "95", "2,5");
    setup.dividendYield = QStringLiteral("1,5");
    const SetupReading reading = ReadSetupNumbers(setup, ',');
    ASSERT_FALSE(reading.problem);
    const std::vector<TInOutObj> series = BuildSeries(setup, reading.numbers, std::nullopt, Defaults());
    ASSERT_EQ(series.size(), 3u);
    const float rates[] = {0.5f, 0.0005f, 0.02f};  // clamped into the box's range
    for (std::size_t e = 0; e < series.size(); ++e) {
        const TInOutObj& p = series[e];
        EXPECT_EQ(p.NumStrikes, 20) << "a page holds 20 strikes at most";
        EXPECT_EQ(p.Strike(20, 2), 95 + 19 * 2.5f);
        EXPECT_EQ(p.Rate, rates[e]);
        EXPECT_EQ(p.Dividend, 0.015f);
        EXPECT_EQ(p.Underlying, 95.0f) << "no history: priced at the first strike";
        EXPECT_EQ(p.Sigma, 0.25f);
        EXPECT_EQ(p.Steps, 200) << "the tree's steps a new page starts with";
        EXPECT_EQ(p.TodayDate, EncodeDate(2026, 12, 8));
        EXPECT_TRUE(p.SourceFile.empty());
    }
    EXPECT_EQ(series[1].ExpiryMonth, 2);
    EXPECT_EQ(series[1].ExpiryDay, 19);
    EXPECT_EQ(ExpiryTabText(series[2].ExpiryDate), "Mar 2027");
}

TEST(SeriesBuilder, PriceHistoryGivesPriceDateAndVolatility)
{
    SeriesSetup setup = MakeSetup(kEquity, "3", "100", "5");
    setup.sourceFilePath = QStringLiteral("/data/caf\u00e9.csv");
    setup.dividendAmount = QStringLiteral("0.75");
    setup.dividendDate = QDate(2027, 1, 2);
    SeriesDefaults defaults = Defaults();
    defaults.shownUnderlying = [](float price) { return std::round(price * 100) / 100; };
    const SetupReading reading = ReadSetupNumbers(setup, '.');
    const PriceHistory history{0.31f, 90, 101.237f, EncodeDate(2026, 12, 4)};
    const std::vector<TInOutObj> series = BuildSeries(setup, reading.numbers, history, defaults);
    for (const TInOutObj& p : series) {
        EXPECT_EQ(p.Underlying, 101.24f) << "as the box shows it";
        EXPECT_EQ(p.Sigma, 0.31f);
        EXPECT_EQ(p.TodayDate, EncodeDate(2026, 12, 4));
        EXPECT_EQ(p.SourceFile, "/data/caf\xE9.csv") << "in the series file's code page";
        EXPECT_EQ(p.Dividend, 0.75f);
        EXPECT_EQ(p.DivDate, EncodeDate(2027, 1, 2));
    }
    // A price file that gives no volatility: today, 25 %, the file kept.
    const std::vector<TInOutObj> flat = BuildSeries(setup, reading.numbers, PriceHistory{0, 0, 0, 0},
                                                    defaults);
    EXPECT_EQ(flat[0].Sigma, 0.25f);
    EXPECT_EQ(flat[0].TodayDate, EncodeDate(2026, 12, 8));
    EXPECT_FALSE(flat[0].SourceFile.empty());
}

// 1 to 20 strikes pass the dialog's check and build that many strikes, the
// last one (count - 1) increments above the lowest; a count outside is
// refused, and a page given one anyway builds the nearest count it holds.
TEST(SetupNumbers, OneToTwentyStrikes)
{
    const struct {
        const char* typed;
        bool accepted;
        int built;
    } cases[] = {{"0", false, 1}, {"1", true, 1}, {"19", true, 19}, {"20", true, 20}, {"21", false, 20}};
    for (const auto& c : cases) {
        const SeriesSetup setup = MakeSetup(kEquity, c.typed, "50", "2.5");
        EXPECT_EQ(!CheckSetupNumbers(setup, '.'), c.accepted) << c.typed << " strikes";
        const std::vector<TInOutObj> series = BuildSeries(setup, ReadSetupNumbers(setup, '.').numbers,
                                                          std::nullopt, Defaults());
        ASSERT_EQ(series.size(), 3u);
        EXPECT_EQ(series[2].NumStrikes, c.built) << c.typed << " strikes";
        EXPECT_EQ(series[2].Strike(1, 1), 50.0f);
        EXPECT_EQ(series[2].Strike(c.built, 2), 50 + 2.5f * static_cast<float>(c.built - 1)) << c.typed;
    }
}

TEST(SetupNumbers, ThePageReadsWhatTheDialogWouldRefuseOnlyWhenItIsANumber)
{
    // The dialog refuses 0 strikes and a zero increment; a setup that comes
    // from elsewhere is read, and the builder keeps the count in range.
    const SeriesSetup zero = MakeSetup(kEquity, "0", "100", "0");
    EXPECT_FALSE(ReadSetupNumbers(zero, '.').problem);
    ASSERT_TRUE(CheckSetupNumbers(zero, '.'));
    EXPECT_EQ(CheckSetupNumbers(zero, '.')->box, SetupBox::NumStrikes);
    EXPECT_EQ(BuildSeries(zero, ReadSetupNumbers(zero, '.').numbers, std::nullopt, Defaults())[0].NumStrikes,
              1);

    // Boxes are named in the dialog's order: a bad count before a bad strike.
    const SeriesSetup both = MakeSetup(kEquity, "x", "y", "5");
    EXPECT_EQ(ReadSetupNumbers(both, '.').problem->box, SetupBox::NumStrikes);
    EXPECT_EQ(CheckSetupNumbers(MakeSetup(kEquity, "3", "-1", "z"), '.')->box, SetupBox::FirstStrike);
    // One strike needs no increment.
    EXPECT_FALSE(CheckSetupNumbers(MakeSetup(kEquity, "1", "100", "0"), '.'));
}

TEST(GridFit, ColumnsEndAtTheGridsEdge)
{
    struct Case {
        std::vector<int> widths;
        int least;
        int gridWidth;
        int scrollBar;
    };
    const Case cases[] = {
        {{90, 60, 60, 60, 60}, 40, 400, 0},   // grow, 70 spare over 4
        {{90, 60, 60, 60, 60}, 40, 370, 17},  // shrink, with a scroll bar
        {{90, 60, 60, 60, 60}, 40, 333, 0},   // an odd remainder
        {{90, 60, 60, 60, 60}, 55, 250, 0},   // too narrow: the least widths hold
    };
    for (const Case& c : cases) {
        const std::vector<int> least(c.widths.size(), c.least);
        const std::vector<int> fitted = FitColumnWidths(c.widths, least, c.gridWidth, c.scrollBar);
        EXPECT_EQ(fitted[0], c.widths[0]) << "the strike labels keep their width";
        const int total = std::accumulate(fitted.begin(), fitted.end(), 0) + c.scrollBar;
        const bool roomForAll = c.gridWidth - c.scrollBar - c.widths[0] >= c.least * 4;
        if (roomForAll) {
            EXPECT_EQ(total, c.gridWidth) << "grid " << c.gridWidth;
        }
        for (std::size_t i = 1; i < fitted.size(); ++i)
            EXPECT_GE(fitted[i], c.least);
        EXPECT_LE(*std::max_element(fitted.begin() + 1, fitted.end())
                      - *std::min_element(fitted.begin() + 1, fitted.end()),
                  roomForAll ? 1 : c.least)
            << "the room is shared evenly";
    }
}

TEST(GridFit, RowsAndPagePlacement)
{
    EXPECT_EQ(FitRowHeights({20, 20, 20}, 75), (std::vector<int>{25, 25, 25}));
    EXPECT_EQ(FitRowHeights({20, 20, 20}, 30), (std::vector<int>{10, 10, 10}));
    EXPECT_EQ(FitRowHeights({3, 3}, 0), (std::vector<int>{1, 1})) << "never below a pixel";

    const QRect screen(0, 0, 1920, 1040);
    const QRect strip(570, 0, 780, 60);
    // Below the strip, as wide as the page needs, moved left to stay on the
    // screen.
    EXPECT_EQ(PlacePage(QSize(1040, 600), strip, screen), QRect(570, 60, 1040, 600));
    EXPECT_EQ(PlacePage(QSize(1500, 600), strip, screen), QRect(420, 60, 1500, 600));
    // At least as wide as the strip; taller than the room below: cut to it.
    EXPECT_EQ(PlacePage(QSize(500, 2000), strip, screen), QRect(570, 60, 780, 980));
    // A screen narrower than the page: narrowed to the screen.
    EXPECT_EQ(PlacePage(QSize(1040, 400), QRect(0, 0, 700, 60), QRect(0, 0, 700, 412)),
              QRect(0, 60, 700, 352));
    // No main window: only the size counts.
    EXPECT_EQ(PlacePage(QSize(800, 500), QRect(), screen).size(), QSize(800, 500));
}

// Downloads store a symbol's quotes in upper case, and the page and
// kestrava-calc look for them there; a symbol that would name a file
// outside the folder, or none, names no file at all.
TEST(SymbolQuoteFile, IsTheUpperCaseSymbolInTheFolderOrNothing)
{
    const QString folder = QStringLiteral("/data");
    const struct {
        const char* symbol;
        const char* file;
    } cases[] = {
        {"spy", "/data/SPY.txt"},
        {"BRK.B", "/data/BRK.B.txt"},
        {"^gspc", "/data/^GSPC.txt"},
        {"m\xfcnchen", "/data/M\xc3\x9cNCHEN.txt"},  // Windows-1252 in the series, UTF-8 on disk
        {"", ""},
        {"..", ""},
        {"../spy", ""},
        {"a/b", ""},
        {"a\\b", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(SymbolQuoteFile(c.symbol, folder), QString::fromUtf8(c.file)) << c.symbol;
}
