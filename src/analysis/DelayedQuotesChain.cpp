#include "analysis/DelayedQuotesChain.h"

#include <map>
#include <set>
#include <string_view>
#include <utility>
#include <vector>

#include "analysis/AnalysisError.h"
#include "analysis/ChainRows.h"
#include "marketdata/PriceWorkFile.h"
#include "marketdata/TextLines.h"

namespace kestrava {
namespace {

constexpr int kHeadLines = 4;

ChainQuote QuoteOf(const DelayedQuoteSide& side)
{
    ChainQuote quote;
    quote.code = std::string(side.code);
    quote.last = side.last;
    quote.netChange = side.netChange;
    quote.bid = side.bid;
    quote.ask = side.ask;
    quote.volume = side.volume;
    quote.openInterest = side.openInterest;
    quote.fileIv = side.iv;
    quote.fileDelta = side.delta;
    return quote;
}

// The expiries of each root while the rows are read; the root of the
// previous row is kept at hand, as the rows of one root come together.
class RootRows {
public:
    ExpiryRows& Of(std::string_view root, TDateTime expiry)
    {
        if (!current_ || name_ != root) {
            current_ = &roots_[std::string(root)];
            name_ = root;
            expiries_ = nullptr;
        }
        if (!expiries_ || expiry != date_) {
            expiries_ = &(*current_)[expiry];
            date_ = expiry;
        }
        return *expiries_;
    }

    void MakeRoom()
    {
        for (auto& [name, expiries] : roots_)
            for (auto& [date, rows] : expiries)
                rows.MakeRoom();
    }

    std::vector<ChainRoot> Finish()
    {
        std::vector<ChainRoot> roots;
        for (auto& [name, expiries] : roots_) {
            ChainRoot root;
            root.name = name;
            for (auto& [date, rows] : expiries)
                root.expiries.push_back({date, rows.Take()});
            roots.push_back(std::move(root));
        }
        return roots;
    }

private:
    std::map<std::string, std::map<TDateTime, ExpiryRows>> roots_;
    std::map<TDateTime, ExpiryRows>* current_ = nullptr;
    std::string name_;
    ExpiryRows* expiries_ = nullptr;
    TDateTime date_ = 0;
};

}  // namespace

std::optional<QuoteChain> ReadDelayedQuotesChain(const std::string& fileName,
                                                 const ChainReadProgress& progress,
                                                 const std::stop_token& stop)
{
    QuoteChain chain;
    chain.fileName = fileName;
    chain.layout = QuoteLayout::DelayedQuotesCsv;
    TextLineReader file(fileName);
    if (!file.IsOpen())
        throw AnalysisFileError("Cannot open " + fileName + ".");
    try {
        const DelayedQuotesHead head = ReadDelayedQuotesHead(file, fileName);
        chain.description = head.name;
        chain.underlyingLast = head.last;
        chain.underlyingNet = head.change;
        chain.quoteDate = head.quoteDate;
        chain.quoteTime = head.quoteTime;
    } catch (const MarketDataError& error) {
        throw AnalysisFileError(error.what());
    }

    // The rows are read twice, counted and then kept: the bytes of both.
    ProgressTeller told(progress, progress ? 2 * FileSize(fileName) : 0);
    RootRows rows;
    std::set<TDateTime> expired;
    std::string text;
    while (file.ReadLine(text)) {
        if (stop.stop_requested())
            return std::nullopt;
        told.Line(text.size());
        // A row whose code does not read is left for the second reading to refuse.
        OptionSymbol call;
        if (IsBlankRow(text) || !PeekDelayedQuoteRow(text, call))
            continue;
        if (call.expiry < chain.quoteDate)
            expired.insert(call.expiry);
        else
            rows.Of(call.root, call.expiry).Count(call.strike);
    }
    // A failure is met again in the second reading, after the rows before it.
    if (!file.Rewind())
        throw AnalysisFileError(file.FailureText(fileName));
    rows.MakeRoom();
    for (int line = 1; line <= kHeadLines && file.ReadLine(text); ++line)
        told.Line(text.size());

    std::vector<std::string_view> fields;
    DelayedQuoteRow row;
    while (file.ReadLine(text)) {
        if (stop.stop_requested())
            return std::nullopt;
        told.Line(text.size());
        if (IsBlankRow(text))
            continue;
        try {
            ReadDelayedQuoteRow(text, file.LineNumber(), fileName, NegativePrices::Refused, fields, row);
        } catch (const MarketDataError& error) {
            throw AnalysisFileError(error.what());
        }
        if (row.expiry < chain.quoteDate)
            continue;
        ChainStrike* kept = rows.Of(row.root, row.expiry).Place(row.strike);
        if (!kept)
            throw AnalysisFileError(fileName + " changed while it was read.");
        if (kept->line != 0)
            throw AnalysisFileError("Line " + std::to_string(file.LineNumber()) + " of " + fileName + ": "
                                    + QuotedForMessage(row.call.code) + " is listed again after line "
                                    + std::to_string(kept->line) + ".");
        kept->strike = row.strike;
        kept->call = QuoteOf(row.call);
        kept->put = QuoteOf(row.put);
        kept->line = file.LineNumber();
    }
    if (file.Failed())
        throw AnalysisFileError(file.FailureText(fileName));
    if (stop.stop_requested())
        return std::nullopt;
    chain.roots = rows.Finish();
    chain.expiriesLeftOut.assign(expired.begin(), expired.end());
    const int main = chain.DefaultRoot();
    chain.symbol = main >= 0 ? chain.roots[static_cast<std::size_t>(main)].name : std::string();
    return chain;
}

}  // namespace kestrava
