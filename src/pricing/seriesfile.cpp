#include "seriesfile.h"

#include <bit>
#include <cctype>
#include <cerrno>
#include <cfloat>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "common/codepage.h"
#include "common/filereplace.h"
#include "common/filestream.h"
#include "pricing/ModelTable.h"

namespace kestrava {

const char* const kSeriesReadTrouble = "Trouble reading saved Option Grid.";
const char* const kStreamReadError = "Stream read error";

namespace {

const char* const kInvalidValue = "Invalid property value";

constexpr int kExtendedBias = 16383;

std::string QuotedFileMessage(const char* what, const std::string& fileName, const std::string& reason)
{
    return std::string(what) + " \"" + fileName + "\". " + reason;
}

std::string ErrnoText(int error)
{
    return error != 0 ? std::generic_category().message(error) : "Unknown error";
}

// The extended value rounded to an odd last bit at double precision: narrowed
// once more to single precision this gives the correctly rounded single, which
// rounding to nearest twice would not always do.
double ExtendedToDoubleRoundedToOdd(const std::uint8_t bytes[10])
{
    std::uint64_t significand = 0;
    for (int i = 7; i >= 0; --i)
        significand = (significand << 8) | bytes[i];
    const unsigned signAndExponent = bytes[8] | (static_cast<unsigned>(bytes[9]) << 8);
    const bool negative = (signAndExponent & 0x8000) != 0;
    const int biasedExponent = static_cast<int>(signAndExponent & 0x7FFF);

    if (biasedExponent == 0x7FFF) {
        if ((significand << 1) == 0)
            return negative ? -HUGE_VAL : HUGE_VAL;
        return std::nan("");
    }
    if (significand == 0)
        return negative ? -0.0 : 0.0;

    // Also normalises the "unnormal" values whose integer bit is clear.
    const int shift = std::countl_zero(significand);
    significand <<= shift;
    const int exponent = std::max(biasedExponent, 1) - kExtendedBias - shift;
    if (exponent > 1100)
        return negative ? -HUGE_VAL : HUGE_VAL;
    if (exponent < -1100)
        return negative ? -0.0 : 0.0;  // far below the single range either way

    std::uint64_t top53 = significand >> 11;
    if ((significand & 0x7FF) != 0)
        top53 |= 1;
    const double magnitude = std::ldexp(static_cast<double>(top53), exponent - 52);
    return negative ? -magnitude : magnitude;
}

void SingleToExtended(float value, std::uint8_t out[10])
{
    const auto bits = std::bit_cast<std::uint32_t>(value);
    const bool negative = (bits >> 31) != 0;
    const int exponent8 = static_cast<int>((bits >> 23) & 0xFF);
    const std::uint64_t fraction = bits & 0x7FFFFF;

    std::uint64_t significand = 0;
    int biasedExponent = 0;
    if (exponent8 == 0xFF) {
        biasedExponent = 0x7FFF;
        significand = fraction == 0 ? 0x8000000000000000ULL : 0xC000000000000000ULL | (fraction << 40);
    } else if (exponent8 != 0) {
        biasedExponent = exponent8 - 127 + kExtendedBias;
        significand = 0x8000000000000000ULL | (fraction << 40);
    } else if (fraction != 0) {
        // A subnormal single, fraction * 2^-149, is normal in extended.
        const int shift = std::countl_zero(fraction);
        significand = fraction << shift;
        biasedExponent = -149 + 63 - shift + kExtendedBias;
    }
    for (int i = 0; i < 8; ++i)
        out[i] = static_cast<std::uint8_t>(significand >> (8 * i));
    const unsigned signAndExponent = static_cast<unsigned>(biasedExponent) | (negative ? 0x8000u : 0u);
    out[8] = static_cast<std::uint8_t>(signAndExponent);
    out[9] = static_cast<std::uint8_t>(signAndExponent >> 8);
}

}  // namespace

std::string CannotOpenFileMessage(const std::string& fileName, int error)
{
    return QuotedFileMessage("Cannot open file", fileName, ErrnoText(error));
}

float ToSingle(double value)
{
    if (std::isnan(value))
        return 0.0f;
    if (value > FLT_MAX)
        return FLT_MAX;
    if (value < -FLT_MAX)
        return -FLT_MAX;
    return static_cast<float>(value);
}

// ---- SeriesWriter ----------------------------------------------------------

void SeriesWriter::PutLittleEndian(std::uint64_t value, int byteCount)
{
    for (int i = 0; i < byteCount; ++i)
        Put(static_cast<std::uint8_t>(value >> (8 * i)));
}

void SeriesWriter::WriteListBegin()
{
    Put(kTagListBegin);
}

void SeriesWriter::WriteListEnd()
{
    Put(kTagListEnd);
}

void SeriesWriter::WriteInteger(std::int32_t value)
{
    const auto bits = static_cast<std::uint32_t>(value);
    if (value >= -128 && value <= 127) {
        Put(kTagInt8);
        PutLittleEndian(bits, 1);
    } else if (value >= -32768 && value <= 32767) {
        Put(kTagInt16);
        PutLittleEndian(bits, 2);
    } else {
        Put(kTagInt32);
        PutLittleEndian(bits, 4);
    }
}

void SeriesWriter::WriteFloat(float value)
{
    std::uint8_t extended[10];
    SingleToExtended(value, extended);
    Put(kTagExtended);
    bytes_.append(reinterpret_cast<const char*>(extended), sizeof extended);
}

void SeriesWriter::WriteDate(TDateTime value)
{
    Put(kTagDate);
    PutLittleEndian(std::bit_cast<std::uint64_t>(value), 8);
}

void SeriesWriter::WriteText(std::string_view text)
{
    const std::string utf8 = Cp1252ToUtf8(text);
    if (utf8 != text) {
        Put(kTagUtf8Text);
        PutLittleEndian(utf8.size(), 4);
        bytes_ += utf8;
    } else if (text.size() <= 255) {
        Put(kTagShortText);
        PutLittleEndian(text.size(), 1);
        bytes_ += text;
    } else {
        Put(kTagLongText);
        PutLittleEndian(text.size(), 4);
        bytes_ += text;
    }
}

// ---- SeriesReader ----------------------------------------------------------

SeriesReader::SeriesReader(std::istream& in) : in_(in)
{
    const std::istream::pos_type start = in_.tellg();
    if (start == std::istream::pos_type(-1))
        return;
    in_.seekg(0, std::ios::end);
    const std::istream::pos_type end = in_.tellg();
    in_.seekg(start);
    if (end != std::istream::pos_type(-1) && end > start && in_)
        remaining_ = static_cast<std::uint64_t>(end - start);
}

void SeriesReader::ReadBytes(void* buffer, std::uint64_t count)
{
    if (count > remaining_)
        throw SeriesFileError(kStreamReadError);
    in_.read(static_cast<char*>(buffer), static_cast<std::streamsize>(count));
    if (static_cast<std::uint64_t>(in_.gcount()) != count)
        throw SeriesFileError(kStreamReadError);
    remaining_ -= count;
}

std::uint64_t SeriesReader::ReadLittleEndian(int byteCount)
{
    std::uint8_t bytes[8];
    ReadBytes(bytes, static_cast<std::uint64_t>(byteCount));
    std::uint64_t value = 0;
    for (int i = byteCount - 1; i >= 0; --i)
        value = (value << 8) | bytes[i];
    return value;
}

std::uint8_t SeriesReader::PeekTag()
{
    if (remaining_ == 0)
        throw SeriesFileError(kStreamReadError);
    const int next = in_.peek();
    if (next == std::char_traits<char>::eof())
        throw SeriesFileError(kStreamReadError);
    return static_cast<std::uint8_t>(next);
}

std::uint8_t SeriesReader::ReadTag()
{
    return static_cast<std::uint8_t>(ReadLittleEndian(1));
}

void SeriesReader::ReadListBegin()
{
    if (ReadTag() != kTagListBegin)
        throw SeriesFileError(kInvalidValue);
}

std::int32_t SeriesReader::ReadInteger()
{
    switch (ReadTag()) {
    case kTagInt8:
        return static_cast<std::int8_t>(ReadLittleEndian(1));
    case kTagInt16:
        return static_cast<std::int16_t>(ReadLittleEndian(2));
    case kTagInt32:
        return static_cast<std::int32_t>(ReadLittleEndian(4));
    default:
        throw SeriesFileError(kInvalidValue);
    }
}

float SeriesReader::ReadFloat()
{
    switch (ReadTag()) {
    case kTagExtended: {
        std::uint8_t extended[10];
        ReadBytes(extended, sizeof extended);
        return ToSingle(ExtendedToDoubleRoundedToOdd(extended));
    }
    case kTagDouble:
        return ToSingle(std::bit_cast<double>(ReadLittleEndian(8)));
    case kTagInt64:
        return static_cast<float>(static_cast<std::int64_t>(ReadLittleEndian(8)));
    case kTagInt8:
        return static_cast<std::int8_t>(ReadLittleEndian(1));
    case kTagInt16:
        return static_cast<std::int16_t>(ReadLittleEndian(2));
    case kTagInt32:
        return static_cast<float>(static_cast<std::int32_t>(ReadLittleEndian(4)));
    default:
        throw SeriesFileError(kInvalidValue);
    }
}

TDateTime SeriesReader::ReadDate()
{
    double day = 0;
    switch (ReadTag()) {
    case kTagDate:
        day = std::bit_cast<double>(ReadLittleEndian(8));
        break;
    case kTagInt64:
        day = static_cast<double>(static_cast<std::int64_t>(ReadLittleEndian(8)));
        break;
    case kTagInt8:
        day = static_cast<std::int8_t>(ReadLittleEndian(1));
        break;
    case kTagInt16:
        day = static_cast<std::int16_t>(ReadLittleEndian(2));
        break;
    case kTagInt32:
        day = static_cast<std::int32_t>(ReadLittleEndian(4));
        break;
    default:
        throw SeriesFileError(kInvalidValue);
    }
    // Also refuses NaN, which fails both comparisons.
    if (!(day >= kFirstDay && day < kDayAfterLast))
        throw SeriesFileError(kInvalidValue);
    return day;
}

std::string SeriesReader::ReadTextBytes(std::uint64_t count)
{
    // Checked before allocating: a damaged length must not ask for gigabytes.
    if (count > remaining_)
        throw SeriesFileError(kStreamReadError);
    if (count > kMaxSeriesTextBytes)
        throw SeriesFileError(kInvalidValue);
    std::string text(static_cast<std::size_t>(count), '\0');
    ReadBytes(text.data(), count);
    return text;
}

std::string SeriesReader::ReadText()
{
    switch (ReadTag()) {
    case kTagShortText:
        return ReadTextBytes(ReadLittleEndian(1));
    case kTagLongText: {
        const auto length = static_cast<std::int32_t>(ReadLittleEndian(4));
        if (length < 0)
            throw SeriesFileError(kInvalidValue);
        return ReadTextBytes(static_cast<std::uint64_t>(length));
    }
    case kTagWideText: {
        const std::uint64_t units = ReadLittleEndian(4);
        const std::string bytes = ReadTextBytes(units * 2);
        std::u16string wide(static_cast<std::size_t>(units), u'\0');
        for (std::size_t i = 0; i < wide.size(); ++i)
            wide[i] = static_cast<char16_t>(static_cast<unsigned char>(bytes[2 * i])
                                            | (static_cast<unsigned char>(bytes[2 * i + 1]) << 8));
        return Utf16ToCp1252(wide);
    }
    case kTagUtf8Text:
        return Utf8ToCp1252(ReadTextBytes(ReadLittleEndian(4)));
    default:
        throw SeriesFileError(kInvalidValue);
    }
}

// ---- Records ---------------------------------------------------------------

namespace {

// What the reader would refuse is refused before anything is written, so a
// saved file always loads again.
void CheckSavable(const TInOutObj& series)
{
    if (series.NumStrikes < 0 || series.NumStrikes > kMaxStrikes)
        throw SeriesFileError("Cannot save an expiry with " + std::to_string(series.NumStrikes)
                              + " strikes; a series has 0 to " + std::to_string(kMaxStrikes) + ".");
    for (TDateTime date : {series.PriceDate, series.TodayDate, series.ExpiryDate, series.DivDate})
        if (!(date >= kFirstDay && date < kDayAfterLast))
            throw SeriesFileError("Cannot save an expiry with a date outside the years 1 to 9999.");
    for (const std::string* text : {&series.OptSymbol, &series.SourceFile, &series.OptContract})
        if (Cp1252ToUtf8(*text).size() > kMaxSeriesTextBytes)
            throw SeriesFileError("Cannot save a text longer than " + std::to_string(kMaxSeriesTextBytes)
                                  + " bytes.");
}

}  // namespace

void WriteSeries(SeriesWriter& writer, const TInOutObj& series)
{
    CheckSavable(series);
    writer.WriteInteger(series.ContractType);
    writer.WriteInteger(series.Model);
    writer.WriteInteger(series.Steps);
    writer.WriteInteger(series.ExpiryMonth);
    writer.WriteInteger(series.NumStrikes);
    writer.WriteInteger(series.ReservedInt);
    writer.WriteInteger(series.SigmaDays);
    writer.WriteFloat(series.Dividend);
    writer.WriteFloat(series.Rate);
    writer.WriteFloat(series.Underlying);
    writer.WriteFloat(series.Sigma);
    writer.WriteDate(series.PriceDate);
    writer.WriteDate(series.TodayDate);
    writer.WriteDate(series.ExpiryDate);
    writer.WriteDate(series.DivDate);
    writer.WriteInteger(series.SourceFileType);
    writer.WriteText(series.OptSymbol);
    writer.WriteText(series.SourceFile);
    writer.WriteText(series.OptContract);
    for (int s = 1; s <= series.NumStrikes; ++s) {
        for (int k = 1; k <= 2; ++k) {
            writer.WriteFloat(series.Strike(s, k));
            writer.WriteFloat(series.Last(s, k));
            writer.WriteFloat(series.NetChange(s, k));
            writer.WriteFloat(series.ReservedValue(s, k));
        }
    }
}

void ReadSeries(SeriesReader& reader, TInOutObj& series)
{
    series.ContractType = reader.ReadInteger();
    series.Model = reader.ReadInteger();
    series.Steps = reader.ReadInteger();
    series.ExpiryMonth = reader.ReadInteger();
    const std::int32_t numStrikes = reader.ReadInteger();
    // The tables have room for 20 strikes; a larger count can only be damage.
    if (numStrikes < 0 || numStrikes > kMaxStrikes)
        throw SeriesFileError(kInvalidValue);
    series.NumStrikes = numStrikes;
    series.ReservedInt = reader.ReadInteger();
    series.SigmaDays = reader.ReadInteger();
    series.Dividend = reader.ReadFloat();
    series.Rate = reader.ReadFloat();
    series.Underlying = reader.ReadFloat();
    series.Sigma = reader.ReadFloat();
    series.PriceDate = reader.ReadDate();
    series.TodayDate = reader.ReadDate();
    series.ExpiryDate = reader.ReadDate();
    series.DivDate = reader.ReadDate();
    series.SourceFileType = static_cast<std::uint8_t>(reader.ReadInteger() & 0xFF);
    series.OptSymbol = reader.ReadText();
    series.SourceFile = reader.ReadText();
    series.OptContract = reader.ReadText();
    for (int s = 1; s <= series.NumStrikes; ++s) {
        for (int k = 1; k <= 2; ++k) {
            series.Strike(s, k) = reader.ReadFloat();
            series.Last(s, k) = reader.ReadFloat();
            series.NetChange(s, k) = reader.ReadFloat();
            series.ReservedValue(s, k) = reader.ReadFloat();
        }
    }
}

// ---- Files -----------------------------------------------------------------

void SaveSeriesFile(const std::string& fileName, const std::vector<TInOutObj>& series, bool replaceReadOnly)
{
    SeriesWriter writer;
    writer.WriteListBegin();
    for (const TInOutObj& expiry : series)
        WriteSeries(writer, expiry);
    writer.WriteListEnd();
    const std::string& bytes = writer.Bytes();

    ReplaceRules rules = kUserSave;
    rules.refuseReadOnly = !replaceReadOnly;
    try {
        ReplaceFileContents(fileName, bytes, rules);
    } catch (const FileReplaceError& error) {
        switch (error.stage) {
        case FileReplaceError::Stage::Write:
            throw SeriesFileError(QuotedFileMessage("Cannot write file", fileName, error.what()));
        case FileReplaceError::Stage::ReadOnly:
            throw SeriesReadOnlyError("\"" + fileName + "\" is read-only.");
        case FileReplaceError::Stage::Link: {
            std::string reason = error.what();
            reason[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(reason[0])));
            throw SeriesFileError(QuotedFileMessage("Cannot create file", fileName, reason + "."));
        }
        case FileReplaceError::Stage::Create:
            break;
        }
        throw SeriesFileError(QuotedFileMessage("Cannot create file", fileName, error.what()));
    }
}

std::string SeriesOpenMessage(const std::string& fileName, int error, const std::string& problem)
{
    if (error != 0)
        return CannotOpenFileMessage(fileName, error);
    return QuotedFileMessage("Cannot open file", fileName, "Not a regular file: " + problem);
}

bool LoadSeriesFile(const std::string& fileName, std::vector<TInOutObj>& series, Notifier& notifier)
{
    // Opened once and checked on the open file: a FIFO or a device put at the
    // name would hold the reading for ever.
    RegularFileStream in(fileName);
    if (!in.IsOpen())
        throw SeriesFileError(SeriesOpenMessage(fileName, in.OpenError(), in.OpenProblem()));
    std::vector<TInOutObj> loaded;
    bool complete = false;
    try {
        complete = LoadSeriesStream(in, loaded, notifier);
    } catch (const SeriesFileError&) {
        RequireKnownModels(fileName, loaded);
        series.insert(series.end(), loaded.begin(), loaded.end());
        throw;
    }
    RequireKnownModels(fileName, loaded);
    series.insert(series.end(), loaded.begin(), loaded.end());
    return complete;
}

void RequireKnownModels(const std::string& fileName, std::span<const TInOutObj> series)
{
    if (const auto unknown = FindUnknownModel(series))
        throw SeriesFileError(QuotedFileMessage("Cannot read file", fileName,
                                                "Expiry " + std::to_string(unknown->expiry) + ": "
                                                    + UnknownModelMessage(unknown->model) + "."));
}

bool LoadSeriesStream(std::istream& in, std::vector<TInOutObj>& series, Notifier& notifier)
{
    SeriesReader reader(in);
    reader.ReadListBegin();
    std::size_t count = 0;
    while (reader.PeekTag() != kTagListEnd) {
        if (++count > kMaxSeriesExpiries) {
            notifier.Error(kSeriesReadTrouble);
            return false;
        }
        TInOutObj expiry;
        try {
            ReadSeries(reader, expiry);
        } catch (const SeriesFileError&) {
            notifier.Error(kSeriesReadTrouble);
            return false;
        }
        series.push_back(std::move(expiry));
    }
    reader.ReadTag();
    return true;
}

}  // namespace kestrava
