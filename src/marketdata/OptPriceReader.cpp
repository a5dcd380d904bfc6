#include "OptPriceReader.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <set>
#include <utility>

#include "common/localeparse.h"
#include "common/monthnames.h"
#include "marketdata/PriceFileReader.h"
#include "marketdata/PriceWorkFile.h"
#include "marketdata/TextLines.h"

namespace kestrava {
namespace {

// Fields of an option row.
constexpr std::size_t kCallLast = 1, kCallNet = 2, kCallBid = 3, kCallAsk = 4;
constexpr std::size_t kPutDescription = 7, kPutLast = 8, kPutNet = 9, kPutBid = 10, kPutAsk = 11;
constexpr std::size_t kSymbolWord = 3, kStrikeWord = 2;

std::string StripDigits(std::string_view text)
{
    std::string out;
    for (char c : text)
        if (c < '0' || c > '9')
            out += c;
    return out;
}

// count characters from the 1-based position start, as far as the text goes.
std::string_view Copy(std::string_view text, std::size_t start, std::size_t count)
{
    if (start < 1 || start > text.size())
        return {};
    return text.substr(start - 1, count);
}

// The exchange suffix of an option symbol word: "-" and the character after
// it, or a single blank for a word without one, as the quote filter writes it.
std::string SymbolSuffix(std::string_view w)
{
    const std::size_t dash = w.find('-');
    if (dash == std::string_view::npos)
        return " ";
    return "-" + std::string(Copy(w, dash + 2, 1));
}

bool IsAllBlanks(std::string_view text)
{
    return !text.empty() && text.find_first_not_of(' ') == std::string_view::npos;
}

// One line of the quote file with the file's name and the line's number at
// hand for messages. The fields are split only when a field after the first
// is asked for: most rows are passed over on their first field alone.
class QuoteLine {
public:
    QuoteLine(const std::string& fileName, long long number, std::string_view text)
        : fileName_(fileName), number_(number), text_(text)
    {
    }

    std::size_t Size() const
    {
        Split();
        return fields_.size();
    }

    std::string_view Field(std::size_t index) const
    {
        // The first field is the first one that is not empty.
        if (index == 0 && !split_) {
            const std::size_t start = text_.find_first_not_of(',');
            if (start != std::string_view::npos)
                return text_.substr(start, text_.find(',', start) - start);
        }
        Split();
        if (index >= fields_.size())
            throw MarketDataError(Where() + std::to_string(fields_.size()) + " fields, field "
                                  + std::to_string(index + 1) + " is missing.");
        return fields_[index];
    }

    // Word index of a description field, split at blanks.
    std::string_view Word(std::size_t fieldIndex, std::size_t wordIndex) const
    {
        const std::string_view field = Field(fieldIndex);
        // The words point into the line; the list is only scratch.
        thread_local std::vector<std::string_view> words;
        words.clear();
        SplitFields(field, ' ', words);
        if (wordIndex >= words.size())
            throw MarketDataError(Where() + "the option description " + QuotedForMessage(field)
                                  + " has fewer than " + std::to_string(wordIndex + 1) + " words.");
        return words[wordIndex];
    }

    double Number(std::string_view text) const
    {
        double value = 0;
        if (!TryParseDecimal(text, '.', value))
            throw MarketDataError(Where() + QuotedForMessage(text) + " is not a valid number.");
        return value;
    }

    float Price(std::string_view text) const
    {
        // The exchange writes a missing bid or ask as a blank.
        if (IsAllBlanks(text))
            return 0;
        float value = 0;
        if (!TryParseSingle(text, '.', value))
            throw MarketDataError(Where() + QuotedForMessage(text) + " is not a valid number.");
        return value;
    }

    std::int32_t Integer(std::string_view text) const
    {
        std::int32_t value = 0;
        if (!TryParseInt32(text, value))
            throw MarketDataError(Where() + QuotedForMessage(text) + " is not a valid integer.");
        return value;
    }

    std::string Where() const { return "Line " + std::to_string(number_) + " of " + fileName_ + ": "; }

private:
    void Split() const
    {
        if (!split_)
            SplitFields(text_, ',', fields_);
        split_ = true;
    }

    const std::string& fileName_;
    long long number_;
    std::string_view text_;
    mutable bool split_ = false;
    mutable std::vector<std::string_view> fields_;
};

// Moves an unusable quote file out of the page's way without losing it, and
// says where it went; a folder, a link or a missing file is left alone.
std::string SetAside(const std::string& fileName)
{
    namespace fs = std::filesystem;
    std::error_code error;
    const fs::path file(fileName);
    if (!fs::is_regular_file(fs::symlink_status(file, error)))
        return {};
    const RejectedKeep keep = MoveToRejected(file);
    if (keep.kept.empty())
        return " It could not be moved (" + keep.problem + ") and stays where it is.";
    return " The file was moved to " + keep.kept.string() + ".";
}

// Line 2's quote time: its text up to the first "T", and the date of the
// month name, day and year before its "@" (0 when no month name matches).
void ReadQuoteTime(const QuoteLine& line, std::string& quoteTime, TDateTime& quoteDate)
{
    const std::string_view stamp = line.Field(0);
    const std::size_t t = stamp.find('T');
    quoteTime = t == std::string_view::npos ? std::string() : std::string(stamp.substr(0, t + 1));
    const std::size_t at = stamp.find('@');
    if (at == std::string_view::npos)
        throw MarketDataError(line.Where() + "no \"@\" in the quote time " + QuotedForMessage(stamp) + ".");
    std::vector<std::string_view> words;
    SplitFields(stamp.substr(0, at), ' ', words);
    if (words.empty())
        throw MarketDataError(line.Where() + "no date before the \"@\" in " + QuotedForMessage(stamp) + ".");
    for (int month = 1; month <= 12; ++month) {
        if (words[0].find(MonthAbbreviation(month)) == std::string_view::npos)
            continue;
        if (words.size() < 3)
            throw MarketDataError(line.Where() + "no day and year in " + QuotedForMessage(stamp) + ".");
        const std::int32_t day = line.Integer(words[1]);
        const std::int32_t year = line.Integer(words[2]);
        if (!TryEncodeDate(year, month, day, quoteDate))
            throw MarketDataError(line.Where() + QuotedForMessage(stamp) + " is not a valid date.");
        return;
    }
}

// Reads every value of an option row that a quote load can take, as the
// load reads it; throws on the first that does not read.
void ReadWholeRow(const QuoteLine& line)
{
    const std::string_view w = line.Word(0, kSymbolWord);
    if (w.find('(') == std::string_view::npos || w.find(')') == std::string_view::npos)
        throw MarketDataError(line.Where() + QuotedForMessage(w) + " is no option symbol in parentheses.");
    const std::string root = StripDigits(Copy(w, 2, 4));
    line.Integer(Copy(w, root.size() + 4, 2));
    line.Number(line.Word(0, kStrikeWord));
    for (const std::size_t field : {kCallLast, kCallBid, kCallAsk, kPutLast, kPutBid, kPutAsk})
        line.Price(line.Field(field));
    for (const std::size_t field : {kCallNet, kPutNet})
        if (line.Field(field).size() >= 3)
            line.Price(line.Field(field));
    line.Word(kPutDescription, kSymbolWord);
}

// Whether a quote is one a market gives; anything else (a negative price,
// one beyond any option's, a bid above its ask) is kept out of the page.
bool IsPlausibleQuote(float last, float netChange, float bid, float ask)
{
    const auto price = [](float value) { return value >= 0 && value <= kLargestQuotePrice; };
    return price(last) && price(bid) && price(ask) && std::fabs(netChange) <= kLargestQuotePrice
           && !(ask > 0 && bid > ask);
}

}  // namespace

bool StartsAQuoteTable(std::string_view firstLine)
{
    std::string lower(firstLine);
    for (char& c : lower)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    // Error pages come in capitals too, or as a bare tag or JSON object.
    return !firstLine.empty() && lower.find("html") == std::string::npos && firstLine.front() != '<'
           && firstLine.front() != '{';
}

std::string SetAsideMessage(int count, const std::string& fileName)
{
    return std::to_string(count) + (count == 1 ? " quote of " : " quotes of ") + fileName
           + (count == 1 ? " was" : " were")
           + " set aside and left out of the grid: a negative price, a price above "
           + std::to_string(static_cast<long>(kLargestQuotePrice)) + " or a bid above its ask.";
}

TCboePriceReader::TCboePriceReader(Notifier& notifier, LocaleInfo locale)
    : notifier_(notifier), locale_(std::move(locale))
{
}

const TCboePriceReader::Quote* TCboePriceReader::Find(int s, int k) const
{
    if (s < 1 || s > kQuoteStrikes || k < 1 || k > 2)
        return nullptr;
    return &quotes_[static_cast<std::size_t>(s - 1)][static_cast<std::size_t>(k - 1)];
}

void TCboePriceReader::SetStrike(int s, int k, float value)
{
    if (s >= 1 && s <= kQuoteStrikes && k >= 1 && k <= 2)
        quotes_[static_cast<std::size_t>(s - 1)][static_cast<std::size_t>(k - 1)].strike = value;
}

float TCboePriceReader::Last(int s, int k) const
{
    const Quote* quote = Find(s, k);
    return quote ? quote->last : 0;
}

float TCboePriceReader::NetChange(int s, int k) const
{
    const Quote* quote = Find(s, k);
    return quote ? quote->netChange : 0;
}

float TCboePriceReader::Bid(int s, int k) const
{
    const Quote* quote = Find(s, k);
    return quote ? quote->bid : 0;
}

float TCboePriceReader::Ask(int s, int k) const
{
    const Quote* quote = Find(s, k);
    return quote ? quote->ask : 0;
}

std::string TCboePriceReader::OptCode(int s, int k) const
{
    const Quote* quote = Find(s, k);
    return quote ? quote->code : std::string();
}

std::string TCboePriceReader::GetQuoteDateText() const
{
    return FormatLocaleDate(QuoteDate, locale_);
}

void TCboePriceReader::ListRoots()
{
    // Roots keeps what was found before an error stopped the reading.
    std::set<std::string> roots;
    const auto keep = [&] {
        Roots.assign(roots.begin(), roots.end());
        DefaultRoot = Roots.empty() ? std::string() : Roots.front();
        if (Layout == QuoteLayout::DelayedQuotesCsv)
            for (const std::string& root : Roots)
                if (root.size() < DefaultRoot.size())
                    DefaultRoot = root;
    };
    try {
        Layout = QuoteFileLayout(FileName);
        if (Layout == QuoteLayout::DelayedQuotesCsv)
            ReadCsvRoots(roots);
        else
            ReadRoots(roots);
    } catch (const MarketDataError& e) {
        keep();
        notifier_.Info(e.what() + SetAside(FileName));
        return;
    }
    keep();
}

void TCboePriceReader::ReadCsvRoots(std::set<std::string>& roots)
{
    TextLineReader file(FileName);
    if (!file.IsOpen())
        throw MarketDataError(file.OpenFailureText(FileName));
    ReadDelayedQuotesHead(file, FileName);
    std::string text;
    while (file.ReadLine(text)) {
        OptionSymbol call;
        if (PeekDelayedQuoteRow(text, call))
            roots.emplace(call.root);
    }
    if (file.Failed())
        throw MarketDataError(file.FailureText(FileName));
}

void TCboePriceReader::ReadRoots(std::set<std::string>& roots)
{
    TextLineReader file(FileName);
    if (!file.IsOpen())
        throw MarketDataError(file.OpenFailureText(FileName));
    std::string text;
    if (!file.ReadLine(text)) {
        if (file.Failed())
            throw MarketDataError(file.FailureText(FileName));
        throw MarketDataError(FileName + " is empty.");
    }
    if (!StartsAQuoteTable(text))
        throw MarketDataError("No option prices available.");
    file.ReadLine(text);
    file.ReadLine(text);

    while (file.ReadLine(text)) {
        const QuoteLine line(FileName, file.LineNumber(), text);
        const std::string_view w = line.Word(0, kSymbolWord);
        if (w.find('(') == std::string_view::npos || w.find(')') == std::string_view::npos)
            continue;
        std::string root = StripDigits(Copy(w, 2, 4));
        if (const std::string suffix = SymbolSuffix(w); suffix != " ")
            root += suffix;
        roots.insert(std::move(root));
    }
    if (file.Failed())
        throw MarketDataError(file.FailureText(FileName));
}

bool TCboePriceReader::LoadQuotes()
{
    SetAsideCount = 0;
    ExpiredLeftOut = 0;
    try {
        Layout = QuoteFileLayout(FileName);
        if (Layout == QuoteLayout::DelayedQuotesCsv)
            ReadCsvQuotes();
        else
            ReadQuotes();
    } catch (const MarketDataError& e) {
        notifier_.Info(e.what());
        return false;
    }
    if (SetAsideCount > 0 && WarnSetAside)
        notifier_.Warning(SetAsideMessage(SetAsideCount, FileName));
    if (ExpiredLeftOut > 0 && WarnSetAside)
        notifier_.Warning(ExpiredLeftOutMessage(ExpiredLeftOut));
    return true;
}

void TCboePriceReader::ReadCsvQuotes()
{
    TextLineReader file(FileName);
    if (!file.IsOpen())
        throw MarketDataError(file.OpenFailureText(FileName));
    const DelayedQuotesHead head = ReadDelayedQuotesHead(file, FileName);
    UnderlyingSymbol = head.name;
    UnderlyingLast = static_cast<float>(head.last);
    UnderlyingNet = head.change;
    QuoteTime = head.quoteTime;
    QuoteDate = head.quoteDate;
    // The layout's roots have no exchange copies.
    if (!SuffixFilter.empty() && SuffixFilter != " ")
        return;

    const int strikeCount = std::clamp<std::int32_t>(StrikeCount, 0, kQuoteStrikes);
    std::string text;
    std::vector<std::string_view> fields;
    DelayedQuoteRow row;
    int matched = 1;
    while (matched <= strikeCount && file.ReadLine(text)) {
        if (IsBlankRow(text))
            continue;
        OptionSymbol call;
        if (PeekDelayedQuoteRow(text, call)) {
            const CivilDate expiry = DecodeDate(call.expiry);
            const char year[] = {static_cast<char>('0' + expiry.year / 10 % 10),
                                 static_cast<char>('0' + expiry.year % 10), '\0'};
            if (call.root != OptionRoot || expiry.day != ExpiryDay
                || MonthAbbreviation(expiry.month) != MonthFilter || YearFilter != year)
                continue;
        }
        // A row whose code does not read is refused here with its cause.
        ReadDelayedQuoteRow(text, file.LineNumber(), FileName, NegativePrices::Read, fields, row);
        if (row.expiry < QuoteDate) {
            ExpiredLeftOut = 1;
            continue;
        }
        if (const int s = MatchRow(matched, strikeCount, row); s > 0)
            matched = s + 1;
    }
    if (file.Failed())
        throw MarketDataError(file.FailureText(FileName));
}

int TCboePriceReader::MatchRow(int from, int strikeCount, const DelayedQuoteRow& row)
{
    // At the series' single precision, as in the quote table.
    if (std::fabs(row.strike) > FLT_MAX)
        return 0;
    int s = from;
    while (s <= strikeCount && quotes_[s - 1][0].strike != static_cast<float>(row.strike))
        ++s;
    if (s > strikeCount)
        return 0;
    const std::pair<Quote*, const DelayedQuoteSide*> sides[] = {{&quotes_[s - 1][0], &row.call},
                                                                {&quotes_[s - 1][1], &row.put}};
    for (const auto& [quote, side] : sides) {
        quote->last = side->last;
        quote->netChange = side->netChange;
        quote->bid = side->bid;
        quote->ask = side->ask;
        quote->code = "\r" + std::string(side->code);
        if (!IsPlausibleQuote(quote->last, quote->netChange, quote->bid, quote->ask)) {
            quote->last = quote->netChange = quote->bid = quote->ask = 0;
            ++SetAsideCount;
        }
    }
    return s;
}

void TCboePriceReader::ReadQuotes()
{
    TextLineReader file(FileName);
    if (!file.IsOpen())
        throw MarketDataError(file.OpenFailureText(FileName));
    std::string text;
    if (!file.ReadLine(text)) {
        if (file.Failed())
            throw MarketDataError(file.FailureText(FileName));
        throw MarketDataError(FileName + " is empty.");
    }

    // Line 1: the underlying.
    {
        const QuoteLine line(FileName, 1, text);
        if (line.Size() == 3) {
            const std::string_view description = line.Field(0);
            UnderlyingSymbol = std::string(description.substr(0, description.find(' ')));
            UnderlyingLast = line.Price(line.Field(1));
            UnderlyingNet = std::string(line.Field(2));
        }
    }

    // Line 2: "Jan 24 2011 @ 14:03 ET".
    if (!file.ReadLine(text))
        throw MarketDataError(file.Failed() ? file.FailureText(FileName)
                                            : FileName + " ends before its quote time.");
    ReadQuoteTime(QuoteLine(FileName, 2, text), QuoteTime, QuoteDate);

    // Line 3: column titles.
    file.ReadLine(text);

    const int strikeCount = std::clamp<std::int32_t>(StrikeCount, 0, kQuoteStrikes);
    int matched = 1;
    while (matched <= strikeCount && file.ReadLine(text)) {
        const QuoteLine line(FileName, file.LineNumber(), text);
        const std::string_view description = line.Field(0);
        if (description.find(YearFilter) == std::string_view::npos
            || description.find(MonthFilter) == std::string_view::npos
            || description.find(SuffixFilter) == std::string_view::npos)
            continue;
        const std::string_view w = line.Word(0, kSymbolWord);
        // Every description holds a blank, so the plain root's filter alone
        // would also let the exchange copies ("-E") through.
        if (StripDigits(Copy(w, 2, 4)) != OptionRoot
            || (!SuffixFilter.empty() && SymbolSuffix(w) != SuffixFilter))
            continue;
        if (line.Integer(Copy(w, OptionRoot.size() + 4, 2)) != ExpiryDay)
            continue;

        // The series strike is single precision; compare the row's strike at
        // that precision, so that 12.10 finds 12.1.
        const double x = line.Number(line.Word(0, kStrikeWord));
        if (std::fabs(x) > FLT_MAX)
            continue;
        int s = matched;
        while (s <= strikeCount && quotes_[s - 1][0].strike != static_cast<float>(x))
            ++s;
        if (s > strikeCount)
            continue;

        Quote& call = quotes_[s - 1][0];
        call.last = line.Price(line.Field(kCallLast));
        const std::string_view callNet = line.Field(kCallNet);
        call.netChange = callNet.size() >= 3 ? line.Price(callNet) : 0;
        call.bid = line.Price(line.Field(kCallBid));
        call.ask = line.Price(line.Field(kCallAsk));
        call.code = "\r" + OptionRoot + " " + StripDigits(Copy(w, OptionRoot.size() + 2, 5));

        Quote& put = quotes_[s - 1][1];
        put.last = line.Price(line.Field(kPutLast));
        const std::string_view putNet = line.Field(kPutNet);
        put.netChange = putNet.size() >= 3 ? line.Price(putNet) : 0;
        put.bid = line.Price(line.Field(kPutBid));
        put.ask = line.Price(line.Field(kPutAsk));
        const std::string_view putWord = line.Word(kPutDescription, kSymbolWord);
        put.code = "\r" + OptionRoot + " " + StripDigits(Copy(putWord, OptionRoot.size() + 2, 5));

        for (Quote* quote : {&call, &put}) {
            if (!IsPlausibleQuote(quote->last, quote->netChange, quote->bid, quote->ask)) {
                quote->last = quote->netChange = quote->bid = quote->ask = 0;
                ++SetAsideCount;
            }
        }
        ++matched;
    }
    if (file.Failed())
        throw MarketDataError(file.FailureText(FileName));
}

std::string QuoteTableProblem(const std::string& fileName, const std::string& shownAs)
{
    if (QuoteFileLayout(fileName) == QuoteLayout::DelayedQuotesCsv)
        return DelayedQuotesProblem(fileName, shownAs);
    const std::string& name = shownAs.empty() ? fileName : shownAs;
    try {
        TextLineReader file(fileName);
        if (!file.IsOpen())
            throw MarketDataError(file.OpenFailureText(name));
        std::string text;
        const auto next = [&](const char* what) {
            if (!file.ReadLine(text))
                throw MarketDataError(file.Failed() ? file.FailureText(name)
                                                    : name + " ends before its " + what + ".");
        };
        next("underlying line");
        {
            const QuoteLine line(name, 1, text);
            if (line.Size() != 3 || !StartsAQuoteTable(text))
                throw MarketDataError(
                    line.Where() + QuotedForMessage(text)
                    + " is no underlying line (a description, the last price, the net change).");
            if (!(line.Price(line.Field(1)) > 0))
                throw MarketDataError(line.Where() + "the underlying's last price is not above 0.");
        }
        next("quote time");
        std::string quoteTime;
        TDateTime quoteDate = 0;
        const QuoteLine timeLine(name, 2, text);
        ReadQuoteTime(timeLine, quoteTime, quoteDate);
        if (quoteDate == 0)
            throw MarketDataError(timeLine.Where() + QuotedForMessage(text) + " names no month.");
        next("column titles");
        while (file.ReadLine(text))
            ReadWholeRow(QuoteLine(name, file.LineNumber(), text));
        if (file.Failed())
            throw MarketDataError(file.FailureText(name));
    } catch (const MarketDataError& e) {
        return e.what();
    }
    return {};
}

void PrepareQuoteLoad(TCboePriceReader& reader, int expiryMonth, TDateTime expiryDate,
                      const std::string& contract, std::span<const float> strikes)
{
    reader.MonthFilter = MonthAbbreviation(expiryMonth);
    const CivilDate expiry = DecodeDate(expiryDate);
    char year[16];
    std::snprintf(year, sizeof year, "%04d", expiry.year);
    reader.YearFilter = std::string(year).substr(2, 2);
    reader.ExpiryDay = static_cast<std::int16_t>(expiry.day);

    const std::size_t dash = contract.find('-');
    if (dash == std::string::npos) {
        reader.OptionRoot = contract;
        reader.SuffixFilter.assign(1, ' ');
    } else {
        reader.OptionRoot = contract.substr(0, dash);
        reader.SuffixFilter = contract.substr(dash, 2);
    }

    const std::size_t count = std::min<std::size_t>(strikes.size(), kQuoteStrikes);
    reader.StrikeCount = static_cast<std::int32_t>(count);
    for (std::size_t i = 0; i < count; ++i) {
        reader.SetStrike(static_cast<int>(i) + 1, 1, strikes[i]);
        reader.SetStrike(static_cast<int>(i) + 1, 2, strikes[i]);
    }
}

}  // namespace kestrava
