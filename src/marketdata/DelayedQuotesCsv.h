#pragma once
// The exchange's delayed-quotes download ("download CSV" of its delayed
// quotes page), the layout its quotes come in today:
//
//   (an empty line)
//   Standard & Poors 500 Index,Last: 3900.8601,Change:  -116.9599
//   "Date: June 11, 2022, 8:47 PM EDT",Bid: 3878.48,Ask: 3927.9299,...
//   Expiration Date,Calls,Last Sale,Net,Bid,Ask,Volume,IV,Delta,Gamma,Open Interest,Strike,Puts,...
//   Fri Jun 10 2022,SPXW220610C00800000,3313.74,0,3090.2,3107.3,0,0,0,0,1,800.00,SPXW220610P00800000,...
//
// one row per expiry and strike: the call's ten fields, the strike, the
// put's ten. The option codes are the standard form: the root, the expiry
// as YYMMDD, C or P, and the strike times 1000 in 8 digits. The quote table
// readers tell this layout from their own by the first two lines.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "common/dates.h"

namespace kestrava {

class TextLineReader;

enum class QuoteLayout {
    QuoteTable,        // the description, the last price and the change on line 1
    DelayedQuotesCsv,  // an empty line 1, "NAME,Last: ...,Change: ..." on line 2
};

// The layout in the user's words: "quote table", "delayed-quotes CSV".
const char* QuoteLayoutName(QuoteLayout layout);
// As the windows and kestrava-calc say it: "layout: delayed-quotes CSV".
std::string QuoteLayoutText(QuoteLayout layout);

// The layout the first two lines of a file show: the delayed-quotes CSV when
// line 1 is empty and line 2 gives the last price and the change after the
// name; else the quote table (whose readers judge the rest).
QuoteLayout QuoteLayoutOf(std::string_view line1, std::string_view line2);

// The layout of a file by its first two lines; the quote table when they
// cannot be read (its readers then say why).
QuoteLayout QuoteFileLayout(const std::string& fileName);

// What an option code says. The root points into the code.
struct OptionSymbol {
    std::string_view root;
    TDateTime expiry = 0;
    bool call = true;
    double strike = 0;
};

// Reads a standard option code: a root of 1 to 6 letters or digits, YYMMDD,
// C or P, 8 digits of the strike times 1000. False for any other text or a
// day that does not exist.
bool ParseOptionSymbol(std::string_view code, OptionSymbol& parsed);

// Lines 1 to 4 of a delayed-quotes CSV.
struct DelayedQuotesHead {
    std::string name;       // the underlying's long name
    double last = 0;        // "Last:", above 0
    std::string change;     // "Change:", as written
    std::string quoteTime;  // "June 11, 2022, 8:47 PM EDT"
    TDateTime quoteDate = 0;
};

// Reads lines 1 to 4 from the start of file. Throws MarketDataError "Line N
// of NAME: ..." when one of them is not what the layout writes.
DelayedQuotesHead ReadDelayedQuotesHead(TextLineReader& file, const std::string& name);

// One side of a row. The code points into the row's text.
struct DelayedQuoteSide {
    std::string_view code;
    float last = 0;
    float netChange = 0;
    float bid = 0;  // 0: none
    float ask = 0;
    std::int64_t volume = 0;
    std::int64_t openInterest = 0;
    float iv = 0;     // the file's own, a fraction; 0 where the service had none
    float delta = 0;  // the file's own
};

struct DelayedQuoteRow {
    std::string_view root;
    TDateTime expiry = 0;
    double strike = 0;
    DelayedQuoteSide call;
    DelayedQuoteSide put;
};

// How a row's prices are judged: a negative last, bid or ask refuses the
// row, or reads as it stands for the caller to set aside.
enum class NegativePrices { Refused, Read };

// Reads one data row whole: 22 fields, the two codes of one root, expiry
// and strike (the call's C, the put's P), the expiry and strike columns
// agreeing with them, every number well formed. `fields` is scratch kept
// from row to row. Throws MarketDataError "Line N of NAME: cause".
void ReadDelayedQuoteRow(std::string_view text, long long line, const std::string& name,
                         NegativePrices negatives, std::vector<std::string_view>& fields,
                         DelayedQuoteRow& row);

// A line of blanks, which the readers pass over between the rows.
bool IsBlankRow(std::string_view text);

// The root, expiry and strike of a row from its call's code alone, for a
// reader that passes most rows over; false when that code does not read.
bool PeekDelayedQuoteRow(std::string_view text, OptionSymbol& call);

// Why fileName is no whole delayed-quotes CSV, or an empty text when it is
// one; named shownAs in the messages when that is given.
std::string DelayedQuotesProblem(const std::string& fileName, const std::string& shownAs = {});

// What a reader says of the expiries it left out because the quote date
// came after them: "1 expiry before the quote date was left out.".
std::string ExpiredLeftOutMessage(int count);

}  // namespace kestrava
