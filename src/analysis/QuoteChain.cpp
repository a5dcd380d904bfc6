#include "analysis/QuoteChain.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <map>
#include <utility>

#include "analysis/AnalysisError.h"
#include "common/localeparse.h"
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

ParsedSide ReadDescription(const RowReader& row, std::string_view description)
{
    // "16 Nov 175.00 (SPY1625K175)": year, month, strike, code.
    std::vector<std::string_view> words;
    SplitFields(description, ' ', words);
    if (words.size() < 4)
        row.Fail("the option description " + QuotedForMessage(description) + " has fewer than 4 words.");
    const std::string_view word = words[3];
    if (word.size() < 3 || word.front() != '(' || word.back() != ')')
        row.Fail("no option code in parentheses in " + QuotedForMessage(description) + ".");
    ParsedSide side;
    const std::string_view code = word.substr(1, word.size() - 2);
    if (!ParseOptionCode(code, side.code))
        row.Fail(QuotedForMessage(code) + " is not an option code.");
    side.written = std::string(code.substr(0, code.find('-')));
    if (!TryParseDecimal(words[2], '.', side.strike) || !(side.strike > 0))
        row.Fail(QuotedForMessage(words[2]) + " is not a strike.");
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
    // (expiry, strike) -> the row kept
    std::map<std::pair<TDateTime, double>, ChainStrike> rows;
    int leftOut = 0;
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

void AddRow(std::map<std::string, RootBuild>& roots, const std::string& fileName, long long line,
            const std::vector<std::string_view>& fields)
{
    const RowReader row(fileName, line);
    if (fields.size() < kRowFields)
        row.Fail(std::to_string(fields.size()) + " fields, an option row has " + std::to_string(kRowFields)
                 + ".");
    const ParsedSide call = ReadDescription(row, fields[0]);
    const ParsedSide put = ReadDescription(row, fields[kPutOffset]);
    if (!call.code.call || put.code.call || call.code.root != put.code.root
        || call.code.expiry != put.code.expiry || call.code.suffix != put.code.suffix
        || call.code.strike != put.code.strike || call.strike != put.strike)
        row.Fail("the call " + QuotedForMessage(call.written) + " and the put "
                 + QuotedForMessage(put.written) + " are not one strike of one expiry.");

    RootBuild& root = roots[call.code.root];
    const auto key = std::make_pair(call.code.expiry, call.strike);
    const auto found = root.rows.find(key);
    const bool composite = call.code.suffix.empty();
    if (found != root.rows.end()) {
        // A composite row replaces an exchange copy taken before it; any
        // other repeat is a copy left out.
        ++root.leftOut;
        if (!composite || found->second.suffix.empty())
            return;
    }
    ChainStrike& kept = root.rows[key];
    kept.strike = call.strike;
    kept.call = ReadQuote(row, fields, 0, call.written);
    kept.put = ReadQuote(row, fields, kPutOffset, put.written);
    kept.suffix = call.code.suffix;
    kept.line = line;
}

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
    if (!StartsAQuoteTable(text))
        throw AnalysisFileError(fileName + " holds no option quote table.");
    ReadUnderlying(chain, text);
    if (!file.ReadLine(text))
        throw AnalysisFileError(file.Failed() ? file.FailureText(fileName)
                                              : fileName + " ends before its quote date.");
    ReadQuoteDate(chain, text);
    file.ReadLine(text);  // column titles

    std::map<std::string, RootBuild> roots;
    std::vector<std::string_view> fields;
    while (file.ReadLine(text)) {
        if (IsBlank(text))
            continue;
        fields.clear();
        SplitFields(text, ',', fields);
        AddRow(roots, fileName, file.LineNumber(), fields);
    }
    if (file.Failed())
        throw AnalysisFileError(file.FailureText(fileName));

    for (auto& [name, build] : roots) {
        ChainRoot root;
        root.name = name;
        root.exchangeCopies = build.leftOut;
        for (auto& [key, strike] : build.rows) {
            if (root.expiries.empty() || root.expiries.back().date != key.first)
                root.expiries.push_back({key.first, {}});
            root.expiries.back().strikes.push_back(std::move(strike));
        }
        chain.roots.push_back(std::move(root));
    }
    return chain;
}

}  // namespace kestrava
