#include "marketdata/DelayedQuotesCsv.h"

#include <array>
#include <charconv>
#include <cmath>

#include "common/localeparse.h"
#include "common/monthnames.h"
#include "marketdata/PriceWorkFile.h"
#include "marketdata/TextLines.h"

namespace kestrava {
namespace {

constexpr std::size_t kRowFields = 22;
constexpr std::size_t kHeadLines = 4;
// Fields of a row: the expiry, then each side's ten from its code on (the
// put's start after the strike).
constexpr std::size_t kExpiryField = 0, kCallField = 1, kStrikeField = 11, kPutField = 12;
constexpr std::size_t kLast = 1, kNet = 2, kBid = 3, kAsk = 4, kVolume = 5, kIv = 6, kDelta = 7, kGamma = 8,
                      kOpenInterest = 9;
// The code's parts after the root: YYMMDD, C or P, the strike in thousandths.
constexpr std::size_t kCodeTail = 6 + 1 + 8;
constexpr std::size_t kLongestRoot = 6;

const std::array<std::string_view, kRowFields> kTitles = {"Expiration Date",
                                                          "Calls",
                                                          "Last Sale",
                                                          "Net",
                                                          "Bid",
                                                          "Ask",
                                                          "Volume",
                                                          "IV",
                                                          "Delta",
                                                          "Gamma",
                                                          "Open Interest",
                                                          "Strike",
                                                          "Puts",
                                                          "Last Sale",
                                                          "Net",
                                                          "Bid",
                                                          "Ask",
                                                          "Volume",
                                                          "IV",
                                                          "Delta",
                                                          "Gamma",
                                                          "Open Interest"};

const char* const kMonthNames[] = {"January", "February", "March",     "April",   "May",      "June",
                                   "July",    "August",   "September", "October", "November", "December"};

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

std::string_view Trim(std::string_view text)
{
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
        text.remove_suffix(1);
    return text;
}

bool SameIgnoringCase(std::string_view a, std::string_view b)
{
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (lower(a[i]) != lower(b[i]))
            return false;
    return true;
}

// The fields of a line, empty ones kept; a field in double quotes may hold
// commas and is given without its quotes.
void SplitCsv(std::string_view text, std::vector<std::string_view>& fields)
{
    fields.clear();
    std::size_t start = 0;
    while (true) {
        if (start < text.size() && text[start] == '"') {
            std::size_t close = start + 1;
            while (close < text.size() && text[close] != '"')
                ++close;
            fields.push_back(text.substr(start + 1, close - start - 1));
            start = text.find(',', close);
        } else {
            const std::size_t end = text.find(',', start);
            fields.push_back(text.substr(start, end == std::string_view::npos ? end : end - start));
            start = end;
        }
        if (start == std::string_view::npos)
            return;
        ++start;
    }
}

// What follows "Label:" in a field, or nothing when the field has another label.
bool Labelled(std::string_view field, std::string_view label, std::string_view& value)
{
    field = Trim(field);
    if (field.size() <= label.size() || !SameIgnoringCase(field.substr(0, label.size()), label))
        return false;
    value = Trim(field.substr(label.size()));
    return true;
}

[[noreturn]] void Fail(const std::string& name, long long line, const std::string& what)
{
    throw MarketDataError("Line " + std::to_string(line) + " of " + name + ": " + what);
}

// "June 11, 2022, 8:47 PM EDT" or "September 1, 2025 at 6:50 PM EDT": the
// month's name (or its first three letters), the day and the year.
bool ReadQuoteDay(std::string_view text, TDateTime& date)
{
    std::size_t at = 0;
    while (at < text.size() && text[at] != ' ')
        ++at;
    const std::string_view monthWord = text.substr(0, at);
    int month = 0;
    for (int m = 1; m <= 12 && month == 0; ++m) {
        const std::string_view full = kMonthNames[m - 1];
        if (monthWord.size() >= 3 && monthWord.size() <= full.size()
            && SameIgnoringCase(monthWord, full.substr(0, monthWord.size())))
            month = m;
    }
    const auto number = [&](int& value) {
        while (at < text.size() && text[at] == ' ')
            ++at;
        const auto [end, error] = std::from_chars(text.data() + at, text.data() + text.size(), value);
        const bool read = error == std::errc() && end != text.data() + at;
        at = static_cast<std::size_t>(end - text.data());
        return read;
    };
    int day = 0, year = 0;
    if (month == 0 || !number(day) || at >= text.size() || text[at] != ',')
        return false;
    ++at;
    return number(year) && (at == text.size() || text[at] == ',' || text[at] == ' ')
           && TryEncodeDate(year, month, day, date);
}

// "Fri Jun 10 2022": a day's name, the month's first three letters, the day, the year.
bool ReadExpiryColumn(std::string_view text, TDateTime& date)
{
    std::vector<std::string_view> words;
    std::size_t start = 0;
    while (start < text.size() && words.size() < 5) {
        const std::size_t end = std::min(text.find(' ', start), text.size());
        if (end > start)
            words.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    if (words.size() != 4)
        return false;
    int month = 0;
    for (int m = 1; m <= 12; ++m)
        if (SameIgnoringCase(words[1], MonthAbbreviation(m)))
            month = m;
    std::int32_t day = 0, year = 0;
    return month != 0 && TryParseInt32(words[2], day) && TryParseInt32(words[3], year)
           && TryEncodeDate(year, month, day, date);
}

// Reads the fields of a row, naming its line in what it throws.
class RowFields {
public:
    RowFields(const std::string& name, long long line, const std::vector<std::string_view>& fields)
        : name_(name), line_(line), fields_(fields)
    {
    }

    [[noreturn]] void Fail(const std::string& what) const { kestrava::Fail(name_, line_, what); }

    std::string_view Text(std::size_t index) const { return fields_[index]; }

    // A number; an empty field (or blanks) is none, 0.
    float Number(std::size_t index, const char* what) const
    {
        const std::string_view text = fields_[index];
        if (Trim(text).empty())
            return 0;
        float value = 0;
        if (!TryParseSingle(text, '.', value))
            Fail("the " + std::string(what) + " " + QuotedForMessage(text) + " is not a number.");
        return value;
    }

    float Price(std::size_t index, const char* what, NegativePrices negatives) const
    {
        const float value = Number(index, what);
        if (value < 0 && negatives == NegativePrices::Refused)
            Fail("the " + std::string(what) + " " + QuotedForMessage(fields_[index]) + " is not a price.");
        return value;
    }

    std::int64_t Count(std::size_t index, const char* what) const
    {
        const std::string_view text = Trim(fields_[index]);
        if (text.empty())
            return 0;
        std::int64_t value = 0;
        const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
        if (error != std::errc() || end != text.data() + text.size() || value < 0)
            Fail("the " + std::string(what) + " " + QuotedForMessage(text) + " is not a count.");
        return value;
    }

private:
    const std::string& name_;
    long long line_;
    const std::vector<std::string_view>& fields_;
};

void ReadSide(const RowFields& row, std::size_t first, bool call, NegativePrices negatives,
              DelayedQuoteSide& side)
{
    side.code = Trim(row.Text(first));
    side.last = row.Price(first + kLast, call ? "call's last sale" : "put's last sale", negatives);
    side.netChange = row.Number(first + kNet, call ? "call's net change" : "put's net change");
    side.bid = row.Price(first + kBid, call ? "call's bid" : "put's bid", negatives);
    side.ask = row.Price(first + kAsk, call ? "call's ask" : "put's ask", negatives);
    side.volume = row.Count(first + kVolume, call ? "call's volume" : "put's volume");
    side.iv = row.Number(first + kIv, call ? "call's IV" : "put's IV");
    side.delta = row.Number(first + kDelta, call ? "call's delta" : "put's delta");
    row.Number(first + kGamma, call ? "call's gamma" : "put's gamma");
    side.openInterest = row.Count(first + kOpenInterest,
                                  call ? "call's open interest" : "put's open interest");
}

}  // namespace

const char* QuoteLayoutName(QuoteLayout layout)
{
    return layout == QuoteLayout::DelayedQuotesCsv ? "delayed-quotes CSV" : "quote table";
}

std::string QuoteLayoutText(QuoteLayout layout)
{
    return std::string("layout: ") + QuoteLayoutName(layout);
}

QuoteLayout QuoteLayoutOf(std::string_view line1, std::string_view line2)
{
    if (!Trim(line1).empty())
        return QuoteLayout::QuoteTable;
    std::vector<std::string_view> fields;
    SplitCsv(line2, fields);
    std::string_view value;
    if (fields.size() >= 3 && Labelled(fields[fields.size() - 2], "Last:", value)
        && Labelled(fields.back(), "Change:", value))
        return QuoteLayout::DelayedQuotesCsv;
    return QuoteLayout::QuoteTable;
}

QuoteLayout QuoteFileLayout(const std::string& fileName)
{
    TextLineReader file(fileName);
    std::string line1, line2;
    if (!file.IsOpen() || !file.ReadLine(line1) || !file.ReadLine(line2))
        return QuoteLayout::QuoteTable;
    return QuoteLayoutOf(line1, line2);
}

bool ParseOptionSymbol(std::string_view code, OptionSymbol& parsed)
{
    if (code.size() <= kCodeTail || code.size() > kCodeTail + kLongestRoot)
        return false;
    const std::size_t rootLength = code.size() - kCodeTail;
    for (std::size_t i = 0; i < rootLength; ++i) {
        const char c = code[i];
        if (!(IsDigit(c) || (c >= 'A' && c <= 'Z')))
            return false;
    }
    const std::string_view tail = code.substr(rootLength);
    const char side = tail[6];
    if (side != 'C' && side != 'P')
        return false;
    for (std::size_t i = 0; i < kCodeTail; ++i)
        if (i != 6 && !IsDigit(tail[i]))
            return false;
    const auto two = [&](std::size_t at) { return (tail[at] - '0') * 10 + (tail[at + 1] - '0'); };
    TDateTime expiry = 0;
    if (!TryEncodeDate(2000 + two(0), two(2), two(4), expiry))
        return false;
    std::int64_t thousandths = 0;
    for (std::size_t i = 7; i < kCodeTail; ++i)
        thousandths = thousandths * 10 + (tail[i] - '0');
    parsed.root = code.substr(0, rootLength);
    parsed.expiry = expiry;
    parsed.call = side == 'C';
    parsed.strike = static_cast<double>(thousandths) / 1000.0;
    return true;
}

DelayedQuotesHead ReadDelayedQuotesHead(TextLineReader& file, const std::string& name)
{
    std::string text;
    std::vector<std::string_view> fields;
    const auto next = [&](const char* what) {
        if (!file.ReadLine(text))
            throw MarketDataError(file.Failed() ? file.FailureText(name)
                                                : name + " ends before its " + what + ".");
    };
    DelayedQuotesHead head;
    next("underlying line");
    if (!Trim(text).empty())
        Fail(name, 1, QuotedForMessage(text) + " stands where the layout has an empty line.");

    next("underlying line");
    SplitCsv(text, fields);
    std::string_view last, change;
    if (fields.size() < 3 || !Labelled(fields[fields.size() - 2], "Last:", last)
        || !Labelled(fields.back(), "Change:", change))
        Fail(name, 2, QuotedForMessage(text) + " is no underlying line (the name, \"Last:\", \"Change:\").");
    if (!TryParseDecimal(last, '.', head.last) || !(head.last > 0))
        Fail(name, 2, "the underlying's last price " + QuotedForMessage(last) + " is not above 0.");
    // A name with commas spans the fields before "Last:".
    const std::string_view first = fields.front(), end = fields[fields.size() - 3];
    head.name = std::string(first.data(), static_cast<std::size_t>(end.data() + end.size() - first.data()));
    head.change = std::string(change);

    next("quote date");
    SplitCsv(text, fields);
    std::string_view stamp;
    if (!Labelled(fields.front(), "Date:", stamp) || !ReadQuoteDay(stamp, head.quoteDate))
        Fail(name, 3,
             QuotedForMessage(fields.front()) + " gives no quote date (\"Date: June 11, 2022, ...\").");
    head.quoteTime = std::string(stamp);

    next("column titles");
    SplitCsv(text, fields);
    bool titled = fields.size() == kRowFields;
    for (std::size_t i = 0; titled && i < kRowFields; ++i)
        titled = SameIgnoringCase(Trim(fields[i]), kTitles[i]);
    if (!titled)
        Fail(name, kHeadLines,
             "the column titles " + QuotedForMessage(text)
                 + " are not the layout's 22 (\"Expiration Date,Calls," + "...,Strike,Puts,...\").");
    return head;
}

void ReadDelayedQuoteRow(std::string_view text, long long line, const std::string& name,
                         NegativePrices negatives, std::vector<std::string_view>& fields,
                         DelayedQuoteRow& row)
{
    SplitCsv(text, fields);
    const RowFields read(name, line, fields);
    if (fields.size() != kRowFields)
        read.Fail(std::to_string(fields.size()) + " fields, a row has " + std::to_string(kRowFields) + ".");
    ReadSide(read, kCallField, true, negatives, row.call);
    ReadSide(read, kPutField, false, negatives, row.put);
    OptionSymbol call, put;
    if (!ParseOptionSymbol(row.call.code, call) || !call.call)
        read.Fail(QuotedForMessage(row.call.code)
                  + " is no call's option code (ROOT, YYMMDD, C, the strike).");
    if (!ParseOptionSymbol(row.put.code, put) || put.call)
        read.Fail(QuotedForMessage(row.put.code) + " is no put's option code (ROOT, YYMMDD, P, the strike).");
    if (call.root != put.root || call.expiry != put.expiry || call.strike != put.strike)
        read.Fail("the call " + QuotedForMessage(row.call.code) + " and the put "
                  + QuotedForMessage(row.put.code) + " are not one strike of one expiry.");
    TDateTime expiry = 0;
    if (!ReadExpiryColumn(Trim(fields[kExpiryField]), expiry) || expiry != call.expiry)
        read.Fail("the expiry " + QuotedForMessage(fields[kExpiryField]) + " is not the day of the code "
                  + QuotedForMessage(row.call.code) + ".");
    double strike = 0;
    if (!TryParseDecimal(fields[kStrikeField], '.', strike) || std::fabs(strike - call.strike) > 1e-6)
        read.Fail("the strike " + QuotedForMessage(fields[kStrikeField]) + " is not the strike of the code "
                  + QuotedForMessage(row.call.code) + ".");
    if (!(strike > 0))
        read.Fail("the strike " + QuotedForMessage(fields[kStrikeField]) + " is not above 0.");
    row.root = call.root;
    row.expiry = call.expiry;
    row.strike = call.strike;
}

bool IsBlankRow(std::string_view text)
{
    return Trim(text).empty();
}

bool PeekDelayedQuoteRow(std::string_view text, OptionSymbol& call)
{
    const std::size_t first = text.find(',');
    if (first == std::string_view::npos)
        return false;
    const std::size_t second = text.find(',', first + 1);
    if (second == std::string_view::npos)
        return false;
    return ParseOptionSymbol(Trim(text.substr(first + 1, second - first - 1)), call) && call.call;
}

std::string DelayedQuotesProblem(const std::string& fileName, const std::string& shownAs)
{
    const std::string& name = shownAs.empty() ? fileName : shownAs;
    try {
        TextLineReader file(fileName);
        if (!file.IsOpen())
            throw MarketDataError(file.OpenFailureText(name));
        ReadDelayedQuotesHead(file, name);
        std::string text;
        std::vector<std::string_view> fields;
        DelayedQuoteRow row;
        long long rows = 0;
        while (file.ReadLine(text)) {
            if (IsBlankRow(text))
                continue;
            ReadDelayedQuoteRow(text, file.LineNumber(), name, NegativePrices::Read, fields, row);
            ++rows;
        }
        if (file.Failed())
            throw MarketDataError(file.FailureText(name));
        if (rows == 0)
            throw MarketDataError(name + " holds no option rows after its column titles.");
    } catch (const MarketDataError& e) {
        return e.what();
    }
    return {};
}

std::string ExpiredLeftOutMessage(int count)
{
    return std::to_string(count)
           + (count == 1 ? " expiry before the quote date was left out."
                         : " expiries before the quote date were left out.");
}

}  // namespace kestrava
