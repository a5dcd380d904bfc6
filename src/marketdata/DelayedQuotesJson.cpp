#include "marketdata/DelayedQuotesJson.h"

#include <array>
#include <charconv>
#include <cmath>
#include <map>
#include <optional>
#include <set>
#include <tuple>

#include "common/dates.h"
#include "common/textescape.h"

namespace kestrava {
namespace {

// No price, greek or underlying value is this large; beyond it the text is
// damage (and its fixed-point form would run to hundreds of digits).
constexpr double kLargestValue = 1e9;
// Volumes and open interest are whole and below this.
constexpr double kLargestCount = 1e15;
constexpr std::size_t kLongestRoot = 6;
constexpr std::size_t kCodeTail = 15;  // YYMMDD, C or P, 8 digits of strike

const char* const kMonths[] = {"January", "February", "March",     "April",   "May",      "June",
                               "July",    "August",   "September", "October", "November", "December"};
const char* const kWeekdays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};

[[noreturn]] void Refuse(const std::string& cause)
{
    throw QuoteJsonError(cause);
}

std::string Shown(const JsonValue& value)
{
    if (value.kind == JsonKind::String)
        return "\"" + EscapedText(value.text.substr(0, 40)) + (value.text.size() > 40 ? "...\"" : "\"");
    if (value.kind == JsonKind::Number)
        return value.text.substr(0, 40);
    return JsonKindName(value.kind);
}

const JsonValue& Required(const JsonValue& object, const char* key, const std::string& path, JsonKind kind)
{
    const JsonValue* value = object.Member(key);
    if (!value)
        Refuse((path.empty() ? std::string("the document") : path) + " has no " + key);
    if (value->kind != kind)
        Refuse((path.empty() ? std::string(key) : path + "." + key) + " is " + Shown(*value) + ", not "
               + JsonKindName(kind));
    return *value;
}

// A number the CSV takes, written without exponent: "0" for zero.
std::string Plain(double value)
{
    if (value == 0)
        return "0";
    std::array<char, 64> buffer{};
    const auto written = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value,
                                       std::chars_format::fixed);
    return std::string(buffer.data(), written.ptr);
}

// The number of key in object; absent or null is 0.
double NumberOf(const JsonValue& object, const char* key, const std::string& path, bool required = false)
{
    const JsonValue* value = object.Member(key);
    if (!value) {
        if (required)
            Refuse(path + " has no " + key);
        return 0;
    }
    if (value->kind == JsonKind::Null)
        return 0;
    if (value->kind != JsonKind::Number)
        Refuse(path + "." + key + " is " + Shown(*value) + ", which is no number");
    if (std::fabs(value->number) > kLargestValue)
        Refuse(path + "." + key + " is " + Shown(*value) + ", beyond any price");
    return value->number;
}

// A volume or an open interest: whole and not below 0.
std::string CountOf(const JsonValue& object, const char* key, const std::string& path)
{
    const JsonValue* value = object.Member(key);
    if (!value || value->kind == JsonKind::Null)
        return "0";
    if (value->kind != JsonKind::Number || value->number < 0 || value->number >= kLargestCount
        || value->number != std::floor(value->number))
        Refuse(path + "." + key + " is " + Shown(*value) + ", which is no whole number of contracts");
    return Plain(value->number);
}

struct OptionCode {
    std::string root;
    TDateTime expiry = 0;
    bool call = true;
    long strike = 0;  // thousandths
};

bool IsUpper(char c)
{
    return c >= 'A' && c <= 'Z';
}
bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

int DigitsValue(std::string_view digits)
{
    int value = 0;
    for (const char c : digits)
        value = value * 10 + (c - '0');
    return value;
}

std::optional<OptionCode> ReadCode(const std::string& code)
{
    if (code.size() <= kCodeTail || code.size() > kCodeTail + kLongestRoot)
        return std::nullopt;
    OptionCode read;
    read.root = code.substr(0, code.size() - kCodeTail);
    const std::string_view tail = std::string_view(code).substr(read.root.size());
    if (!IsUpper(read.root[0]))
        return std::nullopt;
    for (const char c : read.root)
        if (!IsUpper(c) && !IsDigit(c))
            return std::nullopt;
    for (std::size_t i = 0; i < tail.size(); ++i)
        if (i != 6 && !IsDigit(tail[i]))
            return std::nullopt;
    if (tail[6] != 'C' && tail[6] != 'P')
        return std::nullopt;
    read.call = tail[6] == 'C';
    read.strike = DigitsValue(tail.substr(7));
    if (read.strike <= 0
        || !TryEncodeDate(2000 + DigitsValue(tail.substr(0, 2)), DigitsValue(tail.substr(2, 2)),
                          DigitsValue(tail.substr(4, 2)), read.expiry))
        return std::nullopt;
    return read;
}

std::string CodeText(const std::string& root, TDateTime expiry, bool call, long strike)
{
    const CivilDate date = DecodeDate(expiry);
    std::array<char, 32> buffer{};
    const int digits[] = {date.year % 100, date.month, date.day};
    std::string text = root;
    for (const int value : digits) {
        text += static_cast<char>('0' + value / 10);
        text += static_cast<char>('0' + value % 10);
    }
    text += call ? 'C' : 'P';
    const auto written = std::to_chars(buffer.data(), buffer.data() + buffer.size(), strike);
    text += std::string(8 - static_cast<std::size_t>(written.ptr - buffer.data()), '0');
    return text.append(buffer.data(), written.ptr);
}

// "400.00", "2.50", "0.125": the strike with two decimals, or three when it needs them.
std::string StrikeText(long strike)
{
    const long fraction = strike % 1000;
    std::string text = std::to_string(strike / 1000) + ".";
    const std::string thousandths = std::to_string(1000 + fraction).substr(1);
    return text + (fraction % 10 == 0 ? thousandths.substr(0, 2) : thousandths);
}

// One side's ten fields: code, last sale, net, bid, ask, volume, IV, delta,
// gamma, open interest.
struct Side {
    std::array<std::string, 10> fields;
};

Side ReadSide(const JsonValue& option, const std::string& path, const std::string& code)
{
    Side side;
    side.fields[0] = code;
    side.fields[1] = Plain(NumberOf(option, "last_trade_price", path));
    side.fields[2] = Plain(NumberOf(option, "change", path));
    side.fields[3] = Plain(NumberOf(option, "bid", path, true));
    side.fields[4] = Plain(NumberOf(option, "ask", path, true));
    side.fields[5] = CountOf(option, "volume", path);
    side.fields[6] = Plain(NumberOf(option, "iv", path));
    side.fields[7] = Plain(NumberOf(option, "delta", path));
    side.fields[8] = Plain(NumberOf(option, "gamma", path));
    side.fields[9] = CountOf(option, "open_interest", path);
    return side;
}

Side EmptySide(const std::string& code)
{
    Side side;
    side.fields[0] = code;
    for (std::size_t i = 1; i < 10; ++i)
        side.fields[i] = "0";
    return side;
}

// "2025-09-01 18:50:00" read strictly.
struct Timestamp {
    TDateTime day = 0;
    int hour = 0;
    int minute = 0;
};

std::optional<Timestamp> ReadTimestamp(const std::string& text)
{
    static constexpr std::string_view kShape = "dddd-dd-dd dd:dd:dd";
    if (text.size() != kShape.size())
        return std::nullopt;
    for (std::size_t i = 0; i < text.size(); ++i)
        if (kShape[i] == 'd' ? !IsDigit(text[i]) : text[i] != kShape[i])
            return std::nullopt;
    const std::string_view view = text;
    Timestamp read;
    read.hour = DigitsValue(view.substr(11, 2));
    read.minute = DigitsValue(view.substr(14, 2));
    if (read.hour > 23 || read.minute > 59 || DigitsValue(view.substr(17, 2)) > 59
        || !TryEncodeDate(DigitsValue(view.substr(0, 4)), DigitsValue(view.substr(5, 2)),
                          DigitsValue(view.substr(8, 2)), read.day))
        return std::nullopt;
    return read;
}

// The n-th Sunday of a month (n = 1, 2).
TDateTime NthSunday(int year, int month, int n)
{
    const TDateTime first = EncodeDate(year, month, 1);
    return first + (8 - DayOfWeek(first)) % 7 + 7 * (n - 1);
}

// The exchange's clock: daylight time from the second Sunday of March to the
// first Sunday of November.
const char* ZoneOf(TDateTime day)
{
    const int year = DecodeDate(day).year;
    return day >= NthSunday(year, 3, 2) && day < NthSunday(year, 11, 1) ? "EDT" : "EST";
}

// "\"Date: September 1, 2025 at 6:50 PM EDT\"".
std::string QuoteTimeText(const Timestamp& time)
{
    const CivilDate date = DecodeDate(time.day);
    const int hour12 = time.hour % 12 == 0 ? 12 : time.hour % 12;
    const std::string minute = std::to_string(100 + time.minute).substr(1);
    return std::string("\"Date: ") + kMonths[date.month - 1] + " " + std::to_string(date.day) + ", "
           + std::to_string(date.year) + " at " + std::to_string(hour12) + ":" + minute
           + (time.hour < 12 ? " AM " : " PM ") + ZoneOf(time.day) + "\"";
}

std::string ExpiryText(TDateTime expiry)
{
    const CivilDate date = DecodeDate(expiry);
    static const char* const kShort[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                         "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    const std::string day = std::to_string(100 + date.day).substr(1);
    return std::string(kWeekdays[DayOfWeek(expiry) - 1]) + " " + kShort[date.month - 1] + " " + day + " "
           + std::to_string(date.year);
}

std::string CleanName(std::string name)
{
    for (char& c : name)
        if (c == ',' || c == '"' || static_cast<unsigned char>(c) < 0x20 || c == 0x7f)
            c = ' ';
    return name.empty() ? std::string("?") : name;
}

}  // namespace

bool StartsJsonObject(std::string_view text)
{
    if (text.starts_with("\xEF\xBB\xBF"))
        text.remove_prefix(3);
    const std::size_t first = text.find_first_not_of(" \t\r\n");
    return first != std::string_view::npos && text[first] == '{';
}

QuoteJsonCsv DelayedQuotesJsonToCsv(const JsonValue& document, const std::string& name)
{
    if (document.kind != JsonKind::Object)
        Refuse("the document is " + std::string(JsonKindName(document.kind)) + ", not an object");
    const JsonValue& stamp = Required(document, "timestamp", "", JsonKind::String);
    const std::optional<Timestamp> time = ReadTimestamp(stamp.text);
    if (!time)
        Refuse("the timestamp " + Shown(stamp) + " is no time written YYYY-MM-DD HH:MM:SS");
    const JsonValue& data = Required(document, "data", "", JsonKind::Object);
    const double price = NumberOf(data, "current_price", "data", true);
    if (!(price > 0))
        Refuse("data.current_price is " + Plain(price) + ", not above 0");
    const JsonValue& options = Required(data, "options", "data", JsonKind::Array);
    if (options.children.empty())
        Refuse("data.options holds no option");

    using RowKey = std::tuple<TDateTime, long, std::string>;  // expiry, strike, root
    std::map<RowKey, std::array<std::optional<Side>, 2>> rows;
    std::set<std::string> codes;
    for (std::size_t i = 0; i < options.children.size(); ++i) {
        const JsonValue& option = options.children[i].value;
        const std::string path = "data.options[" + std::to_string(i) + "]";
        if (option.kind != JsonKind::Object)
            Refuse(path + " is " + JsonKindName(option.kind) + ", not an object");
        const JsonValue& code = Required(option, "option", path, JsonKind::String);
        const std::optional<OptionCode> read = ReadCode(code.text);
        if (!read)
            Refuse(path + ".option is " + Shown(code)
                   + ", which is no option code (ROOT, YYMMDD, C or P, the strike times 1000 in 8 digits)");
        if (!codes.insert(code.text).second)
            Refuse(path + ".option " + Shown(code) + " is quoted a second time");
        rows[{read->expiry, read->strike, read->root}][read->call ? 0 : 1] = ReadSide(option, path,
                                                                                      code.text);
    }

    QuoteJsonCsv csv;
    csv.options = static_cast<int>(codes.size());
    std::string& out = csv.text;
    out += "\n" + CleanName(name) + ",Last: " + Plain(price)
           + ",Change:  " + Plain(NumberOf(data, "price_change", "data")) + "\n";
    out += QuoteTimeText(*time) + ",Bid: " + Plain(NumberOf(data, "bid", "data"))
           + ",Ask: " + Plain(NumberOf(data, "ask", "data"))
           + ",Size: 0*0,Volume: " + CountOf(data, "volume", "data") + "\n";
    out += std::string(kTodayQuoteTitles) + "\n";
    for (const auto& [key, sides] : rows) {
        const auto& [expiry, strike, root] = key;
        std::string line = ExpiryText(expiry);
        for (int side = 0; side < 2; ++side) {
            const Side written = sides[side] ? *sides[side]
                                             : EmptySide(CodeText(root, expiry, side == 0, strike));
            for (const std::string& field : written.fields)
                line += "," + field;
            if (side == 0)
                line += "," + StrikeText(strike);
        }
        out += line + "\n";
        ++csv.rows;
    }
    return csv;
}

}  // namespace kestrava
