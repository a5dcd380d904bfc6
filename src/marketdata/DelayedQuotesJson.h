#pragma once
// The exchange's delayed-quotes service writes one underlying's chain as a
// JSON document as well as the CSV its page offers:
//   {"timestamp": "2025-09-01 18:50:00",
//    "data": {"current_price": 645.05,
//             "options": [{"option": "SPY250902C00400000", "bid": 243.69,
//                          "ask": 246.49, "last_trade_price": 0, "volume": 0,
//                          "open_interest": 0, "iv": 0, "delta": 1}, ...]}}
// Here it is made that CSV, so the program keeps one layout of today's
// quotes: an empty line; "NAME,Last: PRICE,Change:  CHANGE"; the quote time
// and the underlying's bid, ask, size and volume; the 22 column titles; one
// row per expiry, strike and root with the call's ten fields, the strike and
// the put's ten, sorted by expiry, strike and root.
//
// The option code is ROOT (1 to 6 letters and digits, a letter first),
// YYMMDD, C or P, and the strike times 1000 in 8 digits. A side the document
// does not quote gets its code and zeros. gamma, change (of each option),
// price_change, bid, ask and volume (of the underlying) are taken when
// present. A null price, size or greek is 0. Anything else amiss refuses the
// whole document, naming the value and the cause.

#include <stdexcept>
#include <string>
#include <string_view>

#include "marketdata/JsonReader.h"

namespace kestrava {

// Why a document is no delayed-quotes chain: "data.options[3].bid is
// \"x\", which is no number".
class QuoteJsonError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Whether text (the start of a file) begins a JSON object: its first byte
// past blanks and a byte order mark is "{".
bool StartsJsonObject(std::string_view text);

struct QuoteJsonCsv {
    std::string text;  // the whole CSV, LF line ends
    int options = 0;   // options of the document
    int rows = 0;      // rows written
};

// The CSV of document for the underlying called name (its commas and
// quotes made blanks). Throws QuoteJsonError.
QuoteJsonCsv DelayedQuotesJsonToCsv(const JsonValue& document, const std::string& name);

// The 22 column titles of today's quote CSV.
inline constexpr char kTodayQuoteTitles[] =
    "Expiration Date,Calls,Last Sale,Net,Bid,Ask,Volume,IV,Delta,Gamma,Open Interest,Strike,"
    "Puts,Last Sale,Net,Bid,Ask,Volume,IV,Delta,Gamma,Open Interest";

}  // namespace kestrava
