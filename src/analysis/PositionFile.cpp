#include "analysis/PositionFile.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <iterator>
#include <system_error>

#include "analysis/AnalysisError.h"
#include "common/filereplace.h"
#include "common/filestream.h"
#include "common/localeparse.h"

namespace kestrava {
namespace {

using Json = nlohmann::ordered_json;

const char* const kNoPositionFile = "There is no position file \"%\"; the position is empty.";
const char* const kDamagedPositionFile =
    "The position file \"%\" cannot be read: %. The position starts empty; the file stays as it "
    "is until a position is saved, and is then kept as \"%.damaged\" (\".damaged-2\" and on when "
    "an earlier one is there).";
const char* const kCannotSavePosition = "Cannot save the position to \"%\". %";

constexpr double kLargestMultiplier = 1e6;
constexpr int kMaxDamagedCopies = 1000;
constexpr double kLargestCommission = 1e6;
constexpr double kLargestPrice = 1e9;
constexpr std::int64_t kLargestQuantity = 1000000;

// Fills the "%" of pattern with the values in order.
std::string Message(const char* pattern, std::initializer_list<std::string> values)
{
    std::string text;
    auto value = values.begin();
    for (const char* c = pattern; *c; ++c) {
        if (*c == '%' && value != values.end())
            text += *value++;
        else
            text += *c;
    }
    return text;
}

[[noreturn]] void Fail(const std::string& where, const std::string& what)
{
    throw PositionFormatError(where + what);
}

double NumberIn(const Json& value, const std::string& where, double lowest, double highest,
                bool lowestIncluded)
{
    if (!value.is_number())
        Fail(where, " must be a number");
    const double number = value.get<double>();
    if (!std::isfinite(number) || number > highest || number < lowest
        || (!lowestIncluded && number == lowest))
        Fail(where, " is out of range");
    return number;
}

int Quantity(const Json& value, const std::string& where)
{
    const double number = NumberIn(value, where, -static_cast<double>(kLargestQuantity),
                                   static_cast<double>(kLargestQuantity), true);
    if (number != std::trunc(number))
        Fail(where, " must be a whole number");
    return static_cast<int>(number);
}

TDateTime IsoDay(const Json& value, const std::string& where)
{
    if (!value.is_string())
        Fail(where, " must be a date written \"yyyy-mm-dd\"");
    const std::string text = value.get<std::string>();
    TDateTime date = 0;
    if (!TryParseIsoDate(text, date))
        Fail(where, " must be a date written \"yyyy-mm-dd\", got \"" + text + "\"");
    return date;
}

int Side(const Json& value, const std::string& where)
{
    if (value == "C")
        return 1;
    if (value == "P")
        return 2;
    Fail(where, " must be \"C\" or \"P\"");
}

const Json& Required(const Json& object, const char* key, const std::string& where)
{
    const auto found = object.find(key);
    if (found == object.end())
        Fail(where, std::string(" has no \"") + key + "\"");
    return *found;
}

bool KnownOptionKey(const std::string& key)
{
    return key == "kind" || key == "expiry" || key == "strike" || key == "side" || key == "quantity"
           || key == "price";
}

LegKind Kind(const Json& object, const std::string& where)
{
    const auto kind = object.find("kind");
    if (kind == object.end() || *kind == "option")
        return LegKind::Option;
    if (*kind == "underlying")
        return LegKind::Underlying;
    Fail(where, ": kind " + kind->dump()
                    + " is not a kind of leg this program knows (\"option\" or \"underlying\")");
}

PositionLeg ReadLeg(const Json& object, const std::string& where)
{
    if (!object.is_object())
        Fail(where, " must be an object");
    PositionLeg leg;
    leg.kind = Kind(object, where);
    if (leg.IsOption()) {
        leg.expiry = IsoDay(Required(object, "expiry", where), where + ": expiry");
        leg.strike = static_cast<float>(
            NumberIn(Required(object, "strike", where), where + ": strike", 0, kLargestPrice, false));
        leg.side = Side(Required(object, "side", where), where + ": side");
    }
    leg.quantity = Quantity(Required(object, "quantity", where), where + ": quantity");
    leg.price = NumberIn(Required(object, "price", where), where + ": price", 0, kLargestPrice, true);
    // A leg of the underlying keeps an option's keys it may carry as unknown ones.
    for (const auto& [key, value] : object.items()) {
        const bool known = leg.IsOption() ? KnownOptionKey(key)
                                          : key == "kind" || key == "quantity" || key == "price";
        if (!known)
            leg.extra.emplace_back(key, value.dump());
    }
    return leg;
}

Commissions ReadCommissions(const Json& object)
{
    const std::string where = "\"commissions\"";
    if (!object.is_object())
        Fail(where, " must be an object");
    Commissions commissions;
    commissions.written = true;
    for (const auto& [key, value] : object.items()) {
        if (key == "per_contract")
            commissions.perContract = NumberIn(value, where + ": per_contract", 0, kLargestCommission, true);
        else if (key == "per_share")
            commissions.perShare = NumberIn(value, where + ": per_share", 0, kLargestCommission, true);
        else
            commissions.extra.emplace_back(key, value.dump());
    }
    return commissions;
}

// Whole numbers are written without a fraction: "strike": 100, not 100.0.
Json Number(double value)
{
    if (value == std::trunc(value) && std::fabs(value) < 1e15)
        return static_cast<std::int64_t>(value);
    return value;
}

void PutExtra(Json& object, const ExtraKeys& extra)
{
    for (const auto& [key, text] : extra) {
        if (object.contains(key))
            continue;
        object[key] = Json::parse(text, nullptr, false);
        if (object[key].is_discarded())
            object.erase(key);
    }
}

// Commissions set, or read from the file, are written; none are left out.
bool HoldsCommissions(const Commissions& commissions)
{
    return commissions.written || commissions.perContract != 0 || commissions.perShare != 0
           || !commissions.extra.empty();
}

// The parser's text without its "[json.exception...]" prefix.
std::string ParserText(const std::exception& error)
{
    std::string text = error.what();
    const std::size_t end = text.find("] ");
    if (!text.empty() && text[0] == '[' && end != std::string::npos)
        text.erase(0, end + 2);
    return text;
}

// The deepest nesting of lists and objects in a JSON text, counted without
// recursion; brackets inside strings do not count.
std::size_t NestingDepth(std::string_view json)
{
    std::size_t depth = 0;
    std::size_t deepest = 0;
    bool inString = false;
    for (std::size_t i = 0; i < json.size(); ++i) {
        const char c = json[i];
        if (inString) {
            if (c == '\\')
                ++i;
            else if (c == '"')
                inString = false;
        } else if (c == '"') {
            inString = true;
        } else if (c == '[' || c == '{') {
            deepest = std::max(deepest, ++depth);
        } else if ((c == ']' || c == '}') && depth > 0) {
            --depth;
        }
    }
    return deepest;
}

bool ReadBytes(const std::string& fileName, std::string& bytes, std::string& reason)
{
    // Opened once and checked on the open file, so a FIFO put at the name
    // cannot hold the reading.
    if (ReadRegularFile(fileName, bytes, kMaxPositionFileBytes, reason))
        return true;
    if (reason.starts_with("it is larger than"))
        reason = "it is larger than any position file";
    return false;
}

}  // namespace

Position ParsePosition(std::string_view json)
{
    // Unknown keys are kept by copies that recurse into their values: a
    // file nested thousands deep would overflow the stack.
    if (NestingDepth(json) > kMaxPositionNesting)
        throw PositionFormatError("it is nested deeper than " + std::to_string(kMaxPositionNesting)
                                  + " levels");
    Json root;
    try {
        root = Json::parse(json);
    } catch (const Json::exception& error) {
        throw PositionFormatError("it is not JSON (" + ParserText(error) + ")");
    }
    if (!root.is_object())
        Fail("the file", " must hold one object");
    Position position;
    if (const auto multiplier = root.find("multiplier"); multiplier != root.end())
        position.multiplier = NumberIn(*multiplier, "the multiplier", 0, kLargestMultiplier, false);
    if (const auto commissions = root.find("commissions"); commissions != root.end())
        position.commissions = ReadCommissions(*commissions);
    if (const auto legs = root.find("legs"); legs != root.end()) {
        if (!legs->is_array())
            Fail("\"legs\"", " must be a list");
        if (legs->size() > kMaxPositionLegs)
            Fail("\"legs\"", " holds more than " + std::to_string(kMaxPositionLegs) + " legs");
        for (std::size_t i = 0; i < legs->size(); ++i)
            position.legs.push_back(ReadLeg((*legs)[i], "leg " + std::to_string(i + 1)));
    }
    for (const auto& [key, value] : root.items())
        if (key != "multiplier" && key != "legs" && key != "commissions")
            position.extra.emplace_back(key, value.dump());
    return position;
}

std::string PositionToJson(const Position& position)
{
    Json root = Json::object();
    root["multiplier"] = Number(position.multiplier);
    const Commissions& commissions = position.commissions;
    if (HoldsCommissions(commissions)) {
        Json object = Json::object();
        object["per_contract"] = Number(commissions.perContract);
        object["per_share"] = Number(commissions.perShare);
        PutExtra(object, commissions.extra);
        root["commissions"] = std::move(object);
    }
    Json legs = Json::array();
    for (const PositionLeg& leg : position.legs) {
        // An option leg is written as before legs had kinds, so older
        // programs read it.
        Json object = Json::object();
        if (leg.IsOption()) {
            object["expiry"] = IsoDate(leg.expiry);
            object["strike"] = Number(ShortestDouble(leg.strike));
            object["side"] = leg.side == 2 ? "P" : "C";
        } else {
            object["kind"] = "underlying";
        }
        object["quantity"] = leg.quantity;
        object["price"] = Number(leg.price);
        PutExtra(object, leg.extra);
        legs.push_back(std::move(object));
    }
    root["legs"] = std::move(legs);
    PutExtra(root, position.extra);
    return root.dump(2) + "\n";
}

PositionFileRead ReadPositionFile(const std::string& fileName)
{
    PositionFileRead result;
    std::error_code error;
    if (!std::filesystem::exists(fileName, error)) {
        result.state = PositionFileRead::State::Missing;
        result.message = Message(kNoPositionFile, {fileName});
        return result;
    }
    std::string bytes;
    std::string reason;
    if (ReadBytes(fileName, bytes, reason)) {
        try {
            result.position = ParsePosition(bytes);
            result.state = PositionFileRead::State::Read;
            return result;
        } catch (const PositionFormatError& damage) {
            reason = damage.what();
        }
    }
    result.state = PositionFileRead::State::Damaged;
    result.message = Message(kDamagedPositionFile, {fileName, reason, fileName});
    return result;
}

namespace {

// The first free name of "fileName.damaged", "fileName.damaged-2", ...:
// every damaged file is kept, as an earlier one may hold what the user
// still means to mend.
std::string DamagedCopyName(const std::string& fileName)
{
    std::string name = fileName + ".damaged";
    std::error_code error;
    for (int n = 2; std::filesystem::exists(name, error) || error; ++n) {
        if (n > kMaxDamagedCopies)
            throw AnalysisFileError(
                Message(kCannotSavePosition,
                        {fileName, "There are too many damaged copies beside it; remove some."}));
        name = fileName + ".damaged-" + std::to_string(n);
    }
    return name;
}

}  // namespace

void WritePositionFile(const std::string& fileName, const Position& position)
{
    std::error_code error;
    if (std::filesystem::exists(fileName, error)) {
        if (std::filesystem::is_regular_file(fileName, error)
            && ReadPositionFile(fileName).state == PositionFileRead::State::Damaged) {
            std::filesystem::rename(fileName, DamagedCopyName(fileName), error);
            if (error)
                throw AnalysisFileError(Message(
                    kCannotSavePosition,
                    {fileName, "The unreadable file there cannot be kept aside: " + error.message()}));
        }
    } else if (position.legs.empty() && position.extra.empty() && position.multiplier == kDefaultMultiplier
               && !HoldsCommissions(position.commissions)) {
        return;
    }
    try {
        ReplaceFileContents(fileName, PositionToJson(position));
    } catch (const FileReplaceError& failure) {
        throw AnalysisFileError(Message(kCannotSavePosition, {fileName, failure.what()}));
    }
}

}  // namespace kestrava
