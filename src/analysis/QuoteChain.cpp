#include "analysis/QuoteChain.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <map>
#include <utility>

#include "analysis/AnalysisError.h"
#include "analysis/ChainRows.h"
#include "analysis/DelayedQuotesChain.h"
#include "common/localeparse.h"
#include "common/monthnames.h"
#include "marketdata/OptPriceReader.h"
#include "marketdata/PriceFileReader.h"
#include "marketdata/TextLines.h"

namespace kestrava {
namespace {

// Fields of an option row: the call's description, last, change, bid, ask,
// volume and open interest, then the same for the put.
constexpr std::size_t kPutOffset = 7;
constexpr std::size_t kRowFields = 14;
constexpr std::size_t kLast = 1, kNet = 2, kBid = 3, kAsk = 4, kVolume = 5, kOpenInterest = 6;
// The underlying, the quote date and the column titles.
constexpr int kHeadLines = 3;

bool IsBlank(std::string_view text)
{
    return text.find_first_not_of(' ') == std::string_view::npos;
}

class RowReader {
public:
    RowReader(const std::string& fileName, long long line) : fileName_(fileName), line_(line) {}

    [[noreturn]] void Fail(const std::string& what) const
    {
        throw AnalysisFileError("Line " + std::to_string(line_) + " of " + fileName_ + ": " + what);
    }

    // A price; a blank is no price (the exchange's way of writing none).
    float Price(std::string_view text) const
    {
        if (IsBlank(text))
            return 0;
        float value = 0;
        if (!TryParseSingle(text, '.', value) || !(value >= 0))
            Fail(QuotedForMessage(text) + " is not a price.");
        return value;
    }

    float Change(std::string_view text) const
    {
        if (IsBlank(text))
            return 0;
        float value = 0;
        if (!TryParseSingle(text, '.', value))
            Fail(QuotedForMessage(text) + " is not a number.");
        return value;
    }

    std::int64_t Count(std::string_view text) const
    {
        while (!text.empty() && text.front() == ' ')
            text.remove_prefix(1);
        while (!text.empty() && text.back() == ' ')
            text.remove_suffix(1);
        if (text.empty())
            return 0;
        std::int64_t value = 0;
        const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
        if (error != std::errc() || end != text.data() + text.size() || value < 0)
            Fail(QuotedForMessage(text) + " is not a count.");
        return value;
    }

private:
    const std::string& fileName_;
    long long line_;
};

struct ParsedSide {
    OptionCode code;
    std::string written;  // the code without parentheses and suffix
    double strike = 0;
};

// Reads a description "16 Nov 175.00 (SPY1625K175)": year, month, strike,
// code. Returns what is wrong with it, or nothing. `words` is reused from
// row to row.
std::string ParseDescription(std::string_view description, std::vector<std::string_view>& words,
                             ParsedSide& side)
{
    words.clear();
    SplitFields(description, ' ', words);
    if (words.size() < 4)
        return "the option description " + QuotedForMessage(description) + " has fewer than 4 words.";
    const std::string_view word = words[3];
    if (word.size() < 3 || word.front() != '(' || word.back() != ')')
        return "no option code in parentheses in " + QuotedForMessage(description) + ".";
    const std::string_view code = word.substr(1, word.size() - 2);
    if (!ParseOptionCode(code, side.code))
        return QuotedForMessage(code) + " is not an option code.";
    side.written = std::string(code.substr(0, code.find('-')));
    if (!TryParseDecimal(words[2], '.', side.strike) || !(side.strike > 0))
        return QuotedForMessage(words[2]) + " is not a strike.";
    return {};
}

ParsedSide ReadDescription(const RowReader& row, std::string_view description,
                           std::vector<std::string_view>& words)
{
    ParsedSide side;
    if (std::string problem = ParseDescription(description, words, side); !problem.empty())
        row.Fail(problem);
    return side;
}

ChainQuote ReadQuote(const RowReader& row, const std::vector<std::string_view>& fields, std::size_t offset,
                     std::string code)
{
    ChainQuote quote;
    quote.code = std::move(code);
    quote.last = row.Price(fields[offset + kLast]);
    quote.netChange = row.Change(fields[offset + kNet]);
    quote.bid = row.Price(fields[offset + kBid]);
    quote.ask = row.Price(fields[offset + kAsk]);
    quote.volume = row.Count(fields[offset + kVolume]);
    quote.openInterest = row.Count(fields[offset + kOpenInterest]);
    return quote;
}

struct RootBuild {
    std::map<TDateTime, ExpiryRows> expiries;
    ExpiryRows* current = nullptr;  // the expiry of the root's previous row
    TDateTime currentDate = 0;
    int leftOut = 0;

    ExpiryRows& Expiry(TDateTime date)
    {
        if (!current || currentDate != date) {
            current = &expiries[date];
            currentDate = date;
        }
        return *current;
    }
};

void ReadUnderlying(QuoteChain& chain, const std::string& text)
{
    // "SPY (SPDR S&P 500 ETF TRUST),221.52,+0.82,": a description (which
    // may itself hold a comma), the last price and the net change.
    std::vector<std::string_view> fields;
    SplitFields(text, ',', fields);
    double last = 0;
    if (fields.size() < 3 || !TryParseDecimal(fields[fields.size() - 2], '.', last) || !(last > 0))
        throw AnalysisFileError("Line 1 of " + chain.fileName
                                + " does not give the underlying's symbol, last price and change.");
    const std::string_view first = fields.front();
    chain.description = std::string(first.data(),
                                    fields[fields.size() - 3].data() + fields[fields.size() - 3].size());
    chain.symbol = std::string(first.substr(0, first.find(' ')));
    chain.underlyingLast = last;
    chain.underlyingNet = std::string(fields.back());
}

void ReadQuoteDate(QuoteChain& chain, const std::string& text)
{
    // "Nov 25 2016 @ 14:25 ET,Bid,...": the month, the day and the year
    // before the "@".
    const std::string_view stamp = std::string_view(text).substr(0, text.find(','));
    chain.quoteTime = std::string(stamp);
    const std::size_t at = stamp.find('@');
    std::vector<std::string_view> words;
    SplitFields(stamp.substr(0, at), ' ', words);
    std::int32_t day = 0, year = 0;
    if (at != std::string_view::npos && words.size() >= 3 && TryParseInt32(words[1], day)
        && TryParseInt32(words[2], year)) {
        for (int month = 1; month <= 12; ++month)
            if (words[0] == MonthAbbreviation(month) && TryEncodeDate(year, month, day, chain.quoteDate))
                return;
    }
    throw AnalysisFileError("Line 2 of " + chain.fileName + " gives no quote date: " + QuotedForMessage(stamp)
                            + ".");
}

// The option rows of a table, read twice (see ChainRows.h): counted, then
// each kept or left out.
class ChainBuilder {
public:
    explicit ChainBuilder(const std::string& fileName) : fileName_(fileName) {}

    // The first reading: the strike of the row's call. A row it cannot read
    // is left for the second reading to refuse.
    void CountRow(std::string_view text)
    {
        ParsedSide call;
        if (ParseDescription(text.substr(0, text.find(',')), words_, call).empty())
            RootOf(call.code.root).Expiry(call.code.expiry).Count(call.strike);
    }

    void MakeRoom()
    {
        for (auto& [name, root] : roots_)
            for (auto& [date, expiry] : root.expiries)
                expiry.MakeRoom();
    }

    // The second reading.
    void AddRow(long long line, std::string_view text)
    {
        const RowReader row(fileName_, line);
        fields_.clear();
        SplitFields(text, ',', fields_);
        if (fields_.size() < kRowFields)
            row.Fail(std::to_string(fields_.size()) + " fields, an option row has "
                     + std::to_string(kRowFields) + ".");
        ParsedSide call = ReadDescription(row, fields_[0], words_);
        ParsedSide put = ReadDescription(row, fields_[kPutOffset], words_);
        if (!call.code.call || put.code.call || call.code.root != put.code.root
            || call.code.expiry != put.code.expiry || call.code.suffix != put.code.suffix
            || call.code.strike != put.code.strike || call.strike != put.strike)
            row.Fail("the call " + QuotedForMessage(call.written) + " and the put "
                     + QuotedForMessage(put.written) + " are not one strike of one expiry.");

        RootBuild& root = RootOf(call.code.root);
        ChainStrike* kept = root.Expiry(call.code.expiry).Place(call.strike);
        if (!kept)
            throw AnalysisFileError(fileName_ + " changed while it was read.");
        if (kept->line != 0) {
            // A composite row replaces an exchange copy taken before it;
            // any other repeat is a copy left out, its quotes unread.
            ++root.leftOut;
            if (!call.code.suffix.empty() || kept->suffix.empty())
                return;
        }
        kept->strike = call.strike;
        kept->call = ReadQuote(row, fields_, 0, std::move(call.written));
        kept->put = ReadQuote(row, fields_, kPutOffset, std::move(put.written));
        kept->suffix = std::move(call.code.suffix);
        kept->line = line;
    }

    // The roots by name, each expiry's strikes ascending.
    std::vector<ChainRoot> Finish()
    {
        std::vector<ChainRoot> roots;
        for (auto& [name, build] : roots_) {
            ChainRoot root;
            root.name = name;
            for (auto& [date, expiry] : build.expiries)
                root.expiries.push_back({date, expiry.Take()});
            root.exchangeCopies = build.leftOut;
            roots.push_back(std::move(root));
        }
        roots_.clear();
        root_ = nullptr;
        return roots;
    }

private:
    RootBuild& RootOf(const std::string& name)
    {
        if (!root_ || rootName_ != name) {
            root_ = &roots_[name];
            rootName_ = name;
        }
        return *root_;
    }

    const std::string& fileName_;
    std::map<std::string, RootBuild> roots_;
    RootBuild* root_ = nullptr;  // the root of the previous row
    std::string rootName_;
    std::vector<std::string_view> fields_;
    std::vector<std::string_view> words_;
};

}  // namespace

int ChainRoot::StrikeCount() const
{
    int count = 0;
    for (const ChainExpiry& expiry : expiries)
        count += static_cast<int>(expiry.strikes.size());
    return count;
}

int QuoteChain::DefaultRoot() const
{
    int best = -1;
    // The delayed-quotes CSV names no symbol; its main root is the shortest.
    if (layout == QuoteLayout::DelayedQuotesCsv) {
        for (std::size_t i = 0; i < roots.size(); ++i)
            if (best < 0 || roots[i].name.size() < roots[static_cast<std::size_t>(best)].name.size())
                best = static_cast<int>(i);
        return best;
    }
    for (std::size_t i = 0; i < roots.size(); ++i) {
        if (roots[i].name == symbol)
            return static_cast<int>(i);
        if (best < 0 || roots[i].StrikeCount() > roots[static_cast<std::size_t>(best)].StrikeCount())
            best = static_cast<int>(i);
    }
    return best;
}

int QuoteChain::FindRoot(const std::string& name) const
{
    for (std::size_t i = 0; i < roots.size(); ++i)
        if (roots[i].name == name)
            return static_cast<int>(i);
    return -1;
}

std::string QuoteChain::ReadingNotes() const
{
    std::string notes = QuoteLayoutText(layout);
    if (!expiriesLeftOut.empty()) {
        std::string leftOut = ExpiredLeftOutMessage(static_cast<int>(expiriesLeftOut.size()));
        leftOut.pop_back();  // its full stop
        notes += "; " + leftOut;
    }
    return notes;
}

bool ParseOptionCode(std::string_view code, OptionCode& parsed)
{
    parsed = OptionCode();
    if (const std::size_t dash = code.find('-'); dash != std::string_view::npos) {
        parsed.suffix = std::string(code.substr(dash));
        if (parsed.suffix.size() < 2)
            return false;
        code = code.substr(0, dash);
    }
    // From the right: the strike's digits and point, the month letter, the
    // day and the year; the root is what comes before.
    std::size_t letter = code.size();
    while (letter > 0 && ((code[letter - 1] >= '0' && code[letter - 1] <= '9') || code[letter - 1] == '.'))
        --letter;
    if (letter == code.size() || letter < 6)
        return false;
    parsed.strike = std::string(code.substr(letter));
    --letter;
    const char month = code[letter];
    if (month < 'A' || month > 'X')
        return false;
    const std::string_view digits = code.substr(letter - 4, 4);
    for (char c : digits)
        if (c < '0' || c > '9')
            return false;
    parsed.root = std::string(code.substr(0, letter - 4));
    if (parsed.root.empty())
        return false;
    parsed.call = month <= 'L';
    const int monthNumber = (month - 'A') % 12 + 1;
    const int year = ExpandTwoDigitYear((digits[0] - '0') * 10 + (digits[1] - '0'));
    const int day = (digits[2] - '0') * 10 + (digits[3] - '0');
    return TryEncodeDate(year, monthNumber, day, parsed.expiry);
}

QuoteChain ReadQuoteChain(const std::string& fileName)
{
    return *ReadQuoteChain(fileName, {}, {});
}

std::optional<QuoteChain> ReadQuoteChain(const std::string& fileName, const ChainReadProgress& progress,
                                         const std::stop_token& stop)
{
    QuoteChain chain;
    chain.fileName = fileName;
    TextLineReader file(fileName);
    if (!file.IsOpen())
        throw AnalysisFileError("Cannot open " + fileName + ".");
    std::string text;
    if (!file.ReadLine(text)) {
        if (file.Failed())
            throw AnalysisFileError(file.FailureText(fileName));
        throw AnalysisFileError(fileName + " is empty.");
    }
    if (IsBlank(text)) {
        std::string second;
        if (file.ReadLine(second) && QuoteLayoutOf(text, second) == QuoteLayout::DelayedQuotesCsv)
            return ReadDelayedQuotesChain(fileName, progress, stop);
    }
    if (!StartsAQuoteTable(text))
        throw AnalysisFileError(fileName + " holds no option quote table.");
    ReadUnderlying(chain, text);
    if (!file.ReadLine(text))
        throw AnalysisFileError(file.Failed() ? file.FailureText(fileName)
                                              : fileName + " ends before its quote date.");
    ReadQuoteDate(chain, text);
    file.ReadLine(text);  // column titles

    // The rows are read twice, counted and then kept: the bytes of both.
    ProgressTeller told(progress, progress ? 2 * FileSize(fileName) : 0);
    ChainBuilder builder(fileName);
    while (file.ReadLine(text)) {
        if (stop.stop_requested())
            return std::nullopt;
        told.Line(text.size());
        if (!IsBlank(text))
            builder.CountRow(text);
    }
    // A failure is met again in the second reading, after the rows before it.
    if (!file.Rewind())
        throw AnalysisFileError(file.FailureText(fileName));
    builder.MakeRoom();
    for (int line = 1; line <= kHeadLines && file.ReadLine(text); ++line)
        told.Line(text.size());
    while (file.ReadLine(text)) {
        if (stop.stop_requested())
            return std::nullopt;
        told.Line(text.size());
        if (!IsBlank(text))
            builder.AddRow(file.LineNumber(), text);
    }
    if (file.Failed())
        throw AnalysisFileError(file.FailureText(fileName));
    if (stop.stop_requested())
        return std::nullopt;
    chain.roots = builder.Finish();
    return chain;
}

}  // namespace kestrava
