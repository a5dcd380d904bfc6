#pragma once
// The exchange's quote table of one underlying: the option roots it holds,
// and the call and put quotes of one expiry matched to the series strikes.

#include <array>
#include <cstdint>
#include <set>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "common/dates.h"
#include "common/localeinfo.h"
#include "common/notifier.h"
#include "marketdata/DelayedQuotesCsv.h"
#include "marketdata/RejectedFiles.h"

namespace kestrava {

// Strikes a quote load can match, as in a series.
constexpr int kQuoteStrikes = 20;

// False when a quote file's first line shows that the file holds no quote
// table: an empty line, part of an HTML page in any letter case (the
// server's error page), or a line that starts a tag or a JSON object.
bool StartsAQuoteTable(std::string_view firstLine);

// No option is quoted above this; a price beyond it is damage.
inline constexpr float kLargestQuotePrice = 1e6f;

// Why fileName is no whole quote table, or an empty text when it is one. A
// delayed-quotes CSV is judged as DelayedQuotesProblem does; a quote table
// needs an underlying line (a description, a last price above 0, the net change), a
// quote time that names its day, the column titles, then option rows whose
// every value a quote load takes reads without a fault. A download reply
// replaces a quote file only when this is empty. The messages call the file
// shownAs when it is given ("the reply").
std::string QuoteTableProblem(const std::string& fileName, const std::string& shownAs = {});

// What a quote load says when it kept count quotes of fileName out of the grid.
std::string SetAsideMessage(int count, const std::string& fileName);

class TCboePriceReader {
public:
    TCboePriceReader(Notifier& notifier, LocaleInfo locale);

    std::string UnderlyingSymbol;    // out: from line 1
    std::string OptionRoot;          // in: root whose rows are taken
    float UnderlyingLast = 0;        // out: from line 1
    TDateTime QuoteDate = 0;         // out: from line 2; 0 if no month matched
    std::string UnderlyingNet;       // out: from line 1, as written
    std::string QuoteTime;           // out: from line 2
    std::string MonthFilter;         // in: "Jan" .. "Dec"
    std::string YearFilter;          // in: last two digits of the expiry year
    std::string SuffixFilter;        // in: the rows' exchange suffix, "-" and one character; " " none
    std::int16_t ExpiryDay = 0;      // in: day of month of the expiry
    std::string FileName;            // in: the quote file
    std::int32_t StrikeCount = 0;    // in: series strikes, 1 to 20 (more are not read)
    std::vector<std::string> Roots;  // out (ListRoots): sorted, no duplicates
    // out (LoadQuotes): quotes kept out of the values, each a call or a put
    // whose last, bid or ask is negative or above kLargestQuotePrice, whose
    // net change is beyond it, or whose bid is above its ask; their prices
    // read 0 and the load says how many there were.
    int SetAsideCount = 0;
    // in: whether LoadQuotes warns of SetAsideCount and ExpiredLeftOut
    // itself; a caller that loads several expiries from one file warns
    // once, with their sums.
    bool WarnSetAside = true;
    // out (ListRoots, LoadQuotes): the layout the file was read as.
    QuoteLayout Layout = QuoteLayout::QuoteTable;
    // out (ListRoots): the root taken when none is chosen: the first of a
    // quote table's, the shortest of a delayed-quotes CSV's (its file names
    // no symbol, and its weeklies' roots are longer: SPX before SPXW).
    std::string DefaultRoot;
    // out (LoadQuotes): 1 when the delayed-quotes CSV's rows of the expiry
    // were left out because it came before the quote date.
    int ExpiredLeftOut = 0;

    // Strike s = 1..20, side k = 1 (call) or 2 (put); others are ignored.
    void SetStrike(int s, int k, float value);
    // Unmatched or out-of-range strikes give 0 and an empty code.
    float Last(int s, int k) const;
    float NetChange(int s, int k) const;
    float Bid(int s, int k) const;
    float Ask(int s, int k) const;
    // A carriage return, the root, a blank and the code letters.
    std::string OptCode(int s, int k) const;

    // QuoteDate in the locale's short date format.
    std::string GetQuoteDateText() const;

    // Fills Roots. An unusable file is reported and moved into the folder
    // "Rejected" beside it, next to any older rejected file of that name.
    void ListRoots();
    // Matches the rows of the filtered expiry and root to the strikes; false
    // after a reported error, with the values stored before it kept.
    bool LoadQuotes();

private:
    struct Quote {
        float strike = 0;
        float last = 0;
        float netChange = 0;
        float bid = 0;
        float ask = 0;
        std::string code;
    };
    const Quote* Find(int s, int k) const;
    void ReadRoots(std::set<std::string>& roots);
    void ReadQuotes();
    void ReadCsvRoots(std::set<std::string>& roots);
    void ReadCsvQuotes();
    // Matches one row of the expiry to the strikes from `from` on; the
    // strike matched, or 0.
    int MatchRow(int from, int strikeCount, const DelayedQuoteRow& row);

    Notifier& notifier_;
    LocaleInfo locale_;
    std::array<std::array<Quote, 2>, kQuoteStrikes> quotes_{};
};

// Sets the filters and strikes of a quote load the way the option page does
// for one expiry: month filter from expiryMonth; year filter, expiry day from
// expiryDate; root and suffix filter from the chosen contract ("SPX" or
// "SPX-E"); the same strike for call and put. Strikes beyond 20 are left out.
void PrepareQuoteLoad(TCboePriceReader& reader, int expiryMonth, TDateTime expiryDate,
                      const std::string& contract, std::span<const float> strikes);

}  // namespace kestrava
