#pragma once
// The whole option chain of an exchange quote table: every root, expiry and
// strike, each option with its quotes, volume and open interest.
//
// The exchange lists an option once as its composite row (the code without
// an exchange suffix, "SPY1625K175") and again once per exchange
// ("SPY1625K175-E"). The chain keeps one row per option: the composite row
// where the table has one, else the first of its exchange rows (a table of
// one exchange lists each option once, as "-E"). The other copies are
// counted and left out. Roots are never mixed: the mini options "SPY7" and
// the weeklies "SPXW" are roots of their own.

#include <cstdint>
#include <functional>
#include <optional>
#include <stop_token>
#include <string>
#include <string_view>
#include <vector>

#include "common/dates.h"
#include "marketdata/DelayedQuotesCsv.h"

namespace kestrava {

// One side of an option row.
struct ChainQuote {
    std::string code;  // the option code as written, without parentheses and suffix
    float last = 0;
    float netChange = 0;
    float bid = 0;  // 0: no bid (written as 0 or as a blank)
    float ask = 0;  // 0: no ask
    std::int64_t volume = 0;
    std::int64_t openInterest = 0;
    // The delayed-quotes CSV's own figures, shown beside ours and never
    // computed with; 0 where the file gives none (and in a quote table).
    float fileIv = 0;  // a fraction
    float fileDelta = 0;
};

// One strike of one expiry: the call and the put of one row.
struct ChainStrike {
    double strike = 0;
    ChainQuote call;
    ChainQuote put;
    std::string suffix;  // the exchange suffix of the row taken ("-E"); empty for a composite row
    long long line = 0;  // the row's line in the file
};

struct ChainExpiry {
    TDateTime date = 0;
    std::vector<ChainStrike> strikes;  // ascending
};

struct ChainRoot {
    std::string name;                   // "SPY", "SPY7", "SPXW"
    std::vector<ChainExpiry> expiries;  // ascending
    int exchangeCopies = 0;             // rows of this root left out
    int StrikeCount() const;            // strike rows over all expiries
};

struct QuoteChain {
    std::string fileName;
    // The underlying's symbol, line 1 up to its first blank; a delayed-quotes
    // CSV names none, and gives its default root.
    std::string symbol;
    std::string description;  // line 1's first field, "SPY (SPDR S&P 500 ETF TRUST)"
    double underlyingLast = 0;
    std::string underlyingNet;  // as written
    TDateTime quoteDate = 0;
    std::string quoteTime;         // line 2's stamp, "Nov 25 2016 @ 14:25 ET"
    std::vector<ChainRoot> roots;  // by name
    QuoteLayout layout = QuoteLayout::QuoteTable;
    // Expiries of a delayed-quotes CSV before its quote date, left out of
    // every root; ascending.
    std::vector<TDateTime> expiriesLeftOut;

    // A quote table's root named like the underlying, else the one with the
    // most strike rows; a delayed-quotes CSV's shortest root (SPX, not
    // SPXW); -1 when the table holds no option row.
    int DefaultRoot() const;
    // The root of that name; -1 when there is none.
    int FindRoot(const std::string& name) const;
    // How the file was read, for the user: "layout: delayed-quotes CSV; 1
    // expiry before the quote date was left out".
    std::string ReadingNotes() const;
};

// Reads the table whole, once, in either layout (told apart by its first
// two lines). Throws AnalysisFileError naming the file (and the line, for a
// row) when it cannot be opened or read, holds no quote table (empty, an
// HTML page), gives no underlying price or quote date, or holds a row that
// is no option row. The file is never changed.
QuoteChain ReadQuoteChain(const std::string& fileName);

// How far a read has come: `done` bytes of `total`. The rows are read
// twice, counted and then kept, so `total` is twice the file's size (0 when
// that is not known).
using ChainReadProgress = std::function<void(std::uint64_t done, std::uint64_t total)>;

// Reads as above, line by line, holding no more than the rows it keeps and
// each of them once. Calls `progress` (when given) after every hundredth or
// so of the reading, on the reading thread, and gives up, with no chain,
// once `stop` is requested.
std::optional<QuoteChain> ReadQuoteChain(const std::string& fileName, const ChainReadProgress& progress,
                                         const std::stop_token& stop);

// The expiry of an option code "ROOT yy dd M strike" (M is A to L for the
// calls of January to December and M to X for the puts), with its root and
// side; false for a code of another shape or a date that does not exist.
struct OptionCode {
    std::string root;
    TDateTime expiry = 0;
    bool call = true;
    std::string strike;  // as the code writes it ("99.5")
    std::string suffix;  // "-E", or empty
};
bool ParseOptionCode(std::string_view code, OptionCode& parsed);

}  // namespace kestrava
