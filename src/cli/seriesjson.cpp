#include "cli/seriesjson.h"

#include <array>
#include <cerrno>
#include <cfloat>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <limits>
#include <set>
#include <system_error>
#include <utility>

#include <nlohmann/json.hpp>

#include "common/codepage.h"
#include "common/filestream.h"
#include "common/numtext.h"
#include "pricing/seriesfile.h"

namespace kestrava::cli {
namespace {

using Json = nlohmann::ordered_json;

using FloatTable = PerStrike<float> TInOutObj::*;

struct TableField {
    const char* name;
    FloatTable table;
    bool required;
};

constexpr TableField kTables[] = {
    {"Strike", &TInOutObj::Strike, true},
    {"Last", &TInOutObj::Last, true},
    {"NetChange", &TInOutObj::NetChange, true},
    {"ReservedValue", &TInOutObj::ReservedValue, true},
    {"Bid", &TInOutObj::Bid, false},
    {"Ask", &TInOutObj::Ask, false},
};

const std::set<std::string>& KnownKeys()
{
    static const std::set<std::string> keys = {
        "ContractType",   "Model",     "Steps",         "ExpiryMonth", "NumStrikes",
        "ReservedInt",    "SigmaDays", "Dividend",      "Rate",        "Underlying",
        "Sigma",          "PriceDate", "TodayDate",     "ExpiryDate",  "DivDate",
        "SourceFileType", "OptSymbol", "SourceFile",    "OptContract", "Strike",
        "Last",           "NetChange", "ReservedValue", "Bid",         "Ask",
    };
    return keys;
}

// ---- Writing ---------------------------------------------------------------

// JSON has no NaN or infinity; null makes a later save name the field.
std::string FloatText(float value)
{
    return std::isfinite(value) ? FormatSig9(value) : "null";
}

// The shortest text that gives the day number back exactly.
std::string DateText(TDateTime value)
{
    if (!std::isfinite(value))
        return "null";
    char text[64];
    const auto result = std::to_chars(text, text + sizeof text, value);
    return std::string(text, result.ptr);
}

std::string TableText(const TInOutObj& series, FloatTable table)
{
    std::string text = "[";
    for (int s = 1; s <= series.NumStrikes; ++s) {
        if (s > 1)
            text += ", ";
        text += '[';
        text += FloatText((series.*table)(s, 1));
        text += ", ";
        text += FloatText((series.*table)(s, 2));
        text += ']';
    }
    return text + "]";
}

// One field a line, each table on one line: readable and diffable.
void AppendExpiry(std::string& out, const TInOutObj& series, bool withQuotes)
{
    std::vector<std::pair<std::string, std::string>> fields = {
        {"ContractType", std::to_string(series.ContractType)},
        {"Model", std::to_string(series.Model)},
        {"Steps", std::to_string(series.Steps)},
        {"ExpiryMonth", std::to_string(series.ExpiryMonth)},
        {"NumStrikes", std::to_string(series.NumStrikes)},
        {"ReservedInt", std::to_string(series.ReservedInt)},
        {"SigmaDays", std::to_string(series.SigmaDays)},
        {"Dividend", FloatText(series.Dividend)},
        {"Rate", FloatText(series.Rate)},
        {"Underlying", FloatText(series.Underlying)},
        {"Sigma", FloatText(series.Sigma)},
        {"PriceDate", DateText(series.PriceDate)},
        {"TodayDate", DateText(series.TodayDate)},
        {"ExpiryDate", DateText(series.ExpiryDate)},
        {"DivDate", DateText(series.DivDate)},
        {"SourceFileType", std::to_string(series.SourceFileType)},
        {"OptSymbol", Json(Cp1252ToUtf8(series.OptSymbol)).dump()},
        {"SourceFile", Json(Cp1252ToUtf8(series.SourceFile)).dump()},
        {"OptContract", Json(Cp1252ToUtf8(series.OptContract)).dump()},
    };
    // Only the strikes in use; a count outside the tables shows no strikes.
    TInOutObj none;
    const TInOutObj& strikes = series.NumStrikes >= 0 && series.NumStrikes <= kMaxStrikes ? series : none;
    for (const TableField& field : kTables)
        if (field.required || withQuotes)
            fields.emplace_back(field.name, TableText(strikes, field.table));

    out += "  {\n";
    for (std::size_t i = 0; i < fields.size(); ++i) {
        out += "    \"";
        out += fields[i].first;
        out += "\": ";
        out += fields[i].second;
        out += i + 1 < fields.size() ? ",\n" : "\n";
    }
    out += "  }";
}

// ---- Reading ---------------------------------------------------------------

class ExpiryReader {
public:
    ExpiryReader(const Json& object, std::size_t index) : object_(object), index_(index) {}

    [[noreturn]] void Fail(const std::string& text) const
    {
        throw SeriesJsonError("expiry " + std::to_string(index_ + 1) + ": " + text);
    }

    const Json& Field(const char* name) const
    {
        const auto it = object_.find(name);
        if (it == object_.end())
            Fail("field \"" + std::string(name) + "\" is missing");
        return *it;
    }

    std::int32_t Integer(const char* name, std::int64_t low, std::int64_t high) const
    {
        const Json& value = Field(name);
        std::int64_t whole = 0;
        bool valid = false;
        if (value.is_number_unsigned()) {
            const auto u = value.get<std::uint64_t>();
            valid = u <= static_cast<std::uint64_t>(high);
            whole = valid ? static_cast<std::int64_t>(u) : 0;
        } else if (value.is_number_integer()) {
            whole = value.get<std::int64_t>();
            valid = true;
        } else if (value.is_number_float()) {
            const double d = value.get<double>();
            valid = d == std::trunc(d) && d >= -9.0e18 && d <= 9.0e18;
            whole = valid ? static_cast<std::int64_t>(d) : 0;
        }
        if (!valid || whole < low || whole > high)
            Fail("field \"" + std::string(name) + "\" must be a whole number from " + std::to_string(low)
                 + " to " + std::to_string(high));
        return static_cast<std::int32_t>(whole);
    }

    std::int32_t Integer(const char* name) const
    {
        return Integer(name, std::numeric_limits<std::int32_t>::min(),
                       std::numeric_limits<std::int32_t>::max());
    }

    float Single(const Json& value, const std::string& what) const
    {
        if (!value.is_number())
            Fail(what + " must be a number");
        const double d = value.get<double>();
        if (!(std::fabs(d) <= FLT_MAX))
            Fail(what + " is beyond the single-precision range");
        return static_cast<float>(d);
    }

    float Single(const char* name) const
    {
        return Single(Field(name), "field \"" + std::string(name) + "\"");
    }

    TDateTime Date(const char* name) const
    {
        const Json& value = Field(name);
        const double day = value.is_number() ? value.get<double>() : std::nan("");
        if (!(day >= kFirstDay && day < kDayAfterLast))
            Fail("field \"" + std::string(name)
                 + "\" must be a day number from -693593 (1 January 0001) to 2958465 "
                   "(31 December 9999), 0 for no date");
        return day;
    }

    std::string Text(const char* name) const
    {
        const Json& value = Field(name);
        if (!value.is_string())
            Fail("field \"" + std::string(name) + "\" must be a text");
        const auto& utf8 = value.get_ref<const std::string&>();
        if (utf8.size() > kMaxSeriesTextBytes)
            Fail("field \"" + std::string(name) + "\" is too long");
        return Utf8ToCp1252(utf8);
    }

    void Table(const TableField& field, TInOutObj& series) const
    {
        const auto it = object_.find(field.name);
        if (it == object_.end()) {
            if (field.required)
                Fail("field \"" + std::string(field.name) + "\" is missing");
            return;
        }
        const Json& pairs = *it;
        const std::string name = "\"" + std::string(field.name) + "\"";
        if (!pairs.is_array() || pairs.size() != static_cast<std::size_t>(series.NumStrikes))
            Fail("field " + name + " must hold " + std::to_string(series.NumStrikes)
                 + " [call, put] pairs, one per strike");
        for (int s = 1; s <= series.NumStrikes; ++s) {
            const Json& pair = pairs[static_cast<std::size_t>(s - 1)];
            const std::string where = name + " of strike " + std::to_string(s);
            if (!pair.is_array() || pair.size() != 2)
                Fail(where + " must be a [call, put] pair");
            (series.*field.table)(s, 1) = Single(pair[0], where + ", call,");
            (series.*field.table)(s, 2) = Single(pair[1], where + ", put,");
        }
    }

    void CheckKeys() const
    {
        for (const auto& item : object_.items())
            if (!KnownKeys().contains(item.key()))
                Fail("unknown field \"" + item.key() + "\"");
    }

private:
    const Json& object_;
    std::size_t index_;
};

TInOutObj ExpiryFromJson(const Json& object, std::size_t index)
{
    ExpiryReader in(object, index);
    if (!object.is_object())
        in.Fail("must be an object of fields");
    in.CheckKeys();
    TInOutObj series;
    series.ContractType = in.Integer("ContractType");
    series.Model = in.Integer("Model");
    series.Steps = in.Integer("Steps");
    series.ExpiryMonth = in.Integer("ExpiryMonth");
    series.NumStrikes = in.Integer("NumStrikes", 0, kMaxStrikes);
    series.ReservedInt = in.Integer("ReservedInt");
    series.SigmaDays = in.Integer("SigmaDays");
    series.Dividend = in.Single("Dividend");
    series.Rate = in.Single("Rate");
    series.Underlying = in.Single("Underlying");
    series.Sigma = in.Single("Sigma");
    series.PriceDate = in.Date("PriceDate");
    series.TodayDate = in.Date("TodayDate");
    series.ExpiryDate = in.Date("ExpiryDate");
    series.DivDate = in.Date("DivDate");
    series.SourceFileType = static_cast<std::uint8_t>(in.Integer("SourceFileType", 0, 255));
    series.OptSymbol = in.Text("OptSymbol");
    series.SourceFile = in.Text("SourceFile");
    series.OptContract = in.Text("OptContract");
    for (const TableField& field : kTables)
        in.Table(field, series);
    return series;
}

}  // namespace

std::string SeriesToJson(const std::vector<TInOutObj>& series, bool withQuotes)
{
    std::string text = "[";
    for (std::size_t i = 0; i < series.size(); ++i) {
        text += i == 0 ? "\n" : ",\n";
        AppendExpiry(text, series[i], withQuotes);
    }
    return text + (series.empty() ? "]\n" : "\n]\n");
}

std::vector<TInOutObj> ReadSeriesJson(std::string_view text)
{
    Json document;
    try {
        document = Json::parse(text.begin(), text.end());
    } catch (const Json::exception& e) {
        // A syntax error or a number beyond double ("1e999"). Drop the
        // library's "[json.exception.parse_error.101] " prefix.
        std::string detail = e.what();
        const auto bracket = detail.find("] ");
        if (bracket != std::string::npos)
            detail.erase(0, bracket + 2);
        throw SeriesJsonError("not a valid JSON series: " + detail);
    }
    if (!document.is_array())
        throw SeriesJsonError("a JSON series must be an array with one object per expiry");
    if (document.empty())
        throw SeriesJsonError("the JSON series holds no expiry");
    if (document.size() > kMaxSeriesExpiries)
        throw SeriesJsonError("the JSON series holds more than " + std::to_string(kMaxSeriesExpiries)
                              + " expiries");
    std::vector<TInOutObj> series;
    series.reserve(document.size());
    for (std::size_t i = 0; i < document.size(); ++i)
        series.push_back(ExpiryFromJson(document[i], i));
    return series;
}

namespace {

std::vector<TInOutObj> ReadSeriesJsonStream(RegularFileStream& in, const std::string& path)
{
    std::string text;
    std::array<char, 65536> block{};
    while (in.read(block.data(), block.size()) || in.gcount() > 0) {
        text.append(block.data(), static_cast<std::size_t>(in.gcount()));
        if (text.size() > kMaxSeriesJsonBytes)
            throw SeriesJsonError("\"" + path + "\" is too large for a JSON series");
    }
    if (in.ReadError() != 0)
        throw SeriesFileError(kStreamReadError);
    std::vector<TInOutObj> series = ReadSeriesJson(text);
    RequireKnownModels(path, series);
    return series;
}

}  // namespace

std::vector<TInOutObj> ReadSeriesJsonFile(const std::string& path)
{
    RegularFileStream in(path);
    if (!in.IsOpen())
        throw SeriesFileError(SeriesOpenMessage(path, in.OpenError(), in.OpenProblem()));
    return ReadSeriesJsonStream(in, path);
}

bool LoadSeriesAny(const std::string& path, std::vector<TInOutObj>& series, Notifier& notifier)
{
    // One open serves both forms: what is read is what was looked at.
    RegularFileStream in(path);
    if (!in.IsOpen())
        throw SeriesFileError(SeriesOpenMessage(path, in.OpenError(), in.OpenProblem()));
    if (in.peek() == kTagListBegin) {
        std::vector<TInOutObj> loaded;
        const bool complete = LoadSeriesStream(in, loaded, notifier);
        RequireKnownModels(path, loaded);
        series.insert(series.end(), loaded.begin(), loaded.end());
        return complete;
    }
    in.clear();
    std::vector<TInOutObj> loaded = ReadSeriesJsonStream(in, path);
    series.insert(series.end(), loaded.begin(), loaded.end());
    return true;
}

}  // namespace kestrava::cli
