#include "pagecore/QuoteLoad.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "common/localeparse.h"
#include "marketdata/OptPriceReader.h"
#include "pricing/IORecObj1.h"

namespace kestrava {

bool LoadExpiryQuotes(TInOutObj& p, const std::string& file, const std::string& contract, Notifier& notifier,
                      const LocaleInfo& locale, UnderlyingQuote& underlying, int* setAside)
{
    TCboePriceReader reader(notifier, locale);
    const TDateTime expiry = p.GetExpiry();
    const int n = std::clamp(p.NumStrikes, 0, kMaxStrikes);
    std::vector<float> strikes;
    for (int s = 1; s <= n; ++s)
        strikes.push_back(p.Strike(s, 1));
    PrepareQuoteLoad(reader, p.ExpiryMonth, expiry, contract, strikes);
    reader.FileName = file;
    p.OptContract = contract;
    reader.WarnSetAside = setAside == nullptr;
    if (!reader.LoadQuotes())
        return false;
    if (setAside)
        *setAside += reader.SetAsideCount;

    for (int s = 1; s <= n; ++s) {
        for (int k = 1; k <= 2; ++k) {
            p.Last(s, k) = reader.Last(s, k);
            p.NetChange(s, k) = reader.NetChange(s, k);
            p.Bid(s, k) = reader.Bid(s, k);
            p.Ask(s, k) = reader.Ask(s, k);
            p.OptCode(s, k) = reader.OptCode(s, k);
        }
    }
    if (reader.ExpiryDay != 0) {
        const CivilDate date = DecodeDate(expiry);
        TryEncodeDate(date.year, date.month, reader.ExpiryDay, p.ExpiryDate);
    }
    underlying.last = reader.UnderlyingLast;
    underlying.netChange = reader.UnderlyingNet;
    underlying.quoteTime = reader.QuoteTime;
    underlying.quoteDate = std::trunc(reader.QuoteDate);
    underlying.layout = reader.Layout;
    underlying.expiredLeftOut = reader.ExpiredLeftOut;
    return true;
}

std::string UnderlyingBoxText(double value, char decimalSeparator)
{
    std::string text = FormatLocaleFixed(value, 2, '.');
    while (!text.empty() && text.back() == '0' && text.find('.') != std::string::npos)
        text.pop_back();
    if (!text.empty() && text.back() == '.')
        text.pop_back();
    const std::size_t zero = text.find("0.");
    if (zero == 0 || (zero == 1 && text[0] == '-'))
        text.erase(zero, 1);
    return WithDecimalSeparator(text, decimalSeparator);
}

std::string QuoteCaptionText(const UnderlyingQuote& underlying, char decimalSeparator)
{
    return "  " + FormatLocaleFixed(underlying.last, 2, decimalSeparator) + "  " + underlying.netChange + "  "
           + underlying.quoteTime;
}

}  // namespace kestrava
