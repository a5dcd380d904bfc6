#pragma once
// A real quote table in a series: SPX on 24 January 2011 (the exchange's -E
// copies of tests/data/quotes-spx-2011-01-24.dat), its bids and asks matched
// to an expiry's strikes as the page loads them, then calculated.

#include <vector>

#include "common/notifier.h"
#include "marketdata/OptPriceReader.h"
#include "pricing/IORecObj1.h"
#include "pricing/recalc.h"

namespace kestrava::testsupport {

// Index options under Black Scholes: a 1.8 % yield, 16 % flat volatility;
// expiry 19 February (month 2) or 19 March 2011 (month 3).
inline TInOutObj SpxExpiry(int month, const std::vector<float>& strikes, float rate = 0.0015f)
{
    TInOutObj p;
    p.ContractType = kIndex;
    p.Model = kBlackScholes;
    p.Steps = 200;
    p.Dividend = 0.018f;
    p.Rate = rate;
    p.Sigma = 0.16f;
    p.OptSymbol = "SPX";
    p.TodayDate = EncodeDate(2011, 1, 24);
    p.PriceDate = p.TodayDate;
    p.ExpiryDate = EncodeDate(2011, month, 19);
    p.ExpiryMonth = month;
    p.NumStrikes = static_cast<int>(strikes.size());
    for (int s = 1; s <= p.NumStrikes; ++s)
        p.Strike(s, 1) = p.Strike(s, 2) = strikes[static_cast<std::size_t>(s - 1)];

    SilentNotifier quiet;
    TCboePriceReader reader(quiet, LocaleInfo());
    PrepareQuoteLoad(reader, month, p.ExpiryDate, "SPX-E", strikes);
    reader.FileName = KESTRAVA_TEST_DATA_DIR "/quotes-spx-2011-01-24.dat";
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

// Strikes 1000 to 1475 by 25.
inline std::vector<float> SpxStrikes()
{
    std::vector<float> strikes;
    for (int i = 0; i < 20; ++i)
        strikes.push_back(1000.0f + 25.0f * static_cast<float>(i));
    return strikes;
}

}  // namespace kestrava::testsupport
