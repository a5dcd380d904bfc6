#pragma once
// An expiry of a series with its bids and asks from one of the real quote
// tables of tests/data (SPY of 25 November 2016, AAPL of 4 November 2016,
// SPX of 24 January 2011), matched to its strikes as the page loads them,
// then calculated at the page's flat volatility.

#include <string>
#include <vector>

#include "common/notifier.h"
#include "marketdata/OptPriceReader.h"
#include "pricing/IORecObj1.h"
#include "pricing/recalc.h"

namespace kestrava::testsupport {

struct QuoteTable {
    const char* file;      // in tests/data
    const char* contract;  // the root the page loads: "SPY", "AAPL", "SPX-E"
    int contractType;
    TDateTime today;
    float rate;
    float dividend;  // a yield for an index, 0 for the equities here
    float sigma;     // the page's flat volatility
    std::vector<TDateTime> expiries;
    std::vector<float> strikes;  // each expiry's, up to 20
};

inline std::vector<float> StrikesFrom(float first, float step, int count)
{
    std::vector<float> strikes;
    for (int i = 0; i < count; ++i)
        strikes.push_back(first + step * static_cast<float>(i));
    return strikes;
}

inline const std::vector<QuoteTable>& RealQuoteTables()
{
    static const std::vector<QuoteTable> tables = {
        {"quotes-spy-2016-11-25.dat",
         "SPY",
         kEquity,
         EncodeDate(2016, 11, 25),
         0.005f,
         0,
         0.25f,
         {EncodeDate(2016, 12, 16), EncodeDate(2017, 1, 20)},
         StrikesFrom(205, 1, 20)},
        {"quotes-aapl-2016-11-04.dat",
         "AAPL",
         kEquity,
         EncodeDate(2016, 11, 4),
         0.004f,
         0,
         0.37f,
         {EncodeDate(2016, 11, 18), EncodeDate(2016, 12, 16)},
         StrikesFrom(70, 5, 20)},
        {"quotes-spx-2011-01-24.dat",
         "SPX-E",
         kIndex,
         EncodeDate(2011, 1, 24),
         0.0015f,
         0.018f,
         0.16f,
         {EncodeDate(2011, 2, 19), EncodeDate(2011, 3, 19)},
         StrikesFrom(1000, 25, 20)},
    };
    return tables;
}

inline TInOutObj TableExpiry(const QuoteTable& table, TDateTime expiry, const std::vector<float>& strikes,
                             int model, int steps = 100)
{
    TInOutObj p;
    p.ContractType = table.contractType;
    p.Model = model;
    p.Steps = steps;
    p.Dividend = table.dividend;
    p.Rate = table.rate;
    p.Sigma = table.sigma;
    p.OptSymbol = table.contract;
    p.TodayDate = table.today;
    p.PriceDate = p.TodayDate;
    p.ExpiryDate = expiry;
    p.ExpiryMonth = DecodeDate(expiry).month;
    p.NumStrikes = static_cast<int>(strikes.size());
    for (int s = 1; s <= p.NumStrikes; ++s)
        p.Strike(s, 1) = p.Strike(s, 2) = strikes[static_cast<std::size_t>(s - 1)];

    SilentNotifier quiet;
    TCboePriceReader reader(quiet, LocaleInfo());
    PrepareQuoteLoad(reader, p.ExpiryMonth, p.ExpiryDate, table.contract, strikes);
    reader.FileName = std::string(KESTRAVA_TEST_DATA_DIR "/") + table.file;
    reader.LoadQuotes();
    p.Underlying = reader.UnderlyingLast;
    for (int s = 1; s <= p.NumStrikes; ++s) {
        for (int k = 1; k <= 2; ++k) {
            p.Bid(s, k) = reader.Bid(s, k);
            p.Ask(s, k) = reader.Ask(s, k);
            p.Last(s, k) = reader.Last(s, k);
            p.OptCode(s, k) = reader.OptCode(s, k);
        }
    }
    RecalcExpiry(p, VolSource::Flat);
    return p;
}

}  // namespace kestrava::testsupport
