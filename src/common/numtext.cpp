#include "numtext.h"

#include <charconv>

namespace kestrava {
namespace {

std::string Chars(double value, std::chars_format format, int precision)
{
    // Room for the widest fixed double (309 digits) and the decimals asked for.
    char text[400];
    const auto [end, error] = std::to_chars(text, text + sizeof text, value, format, precision);
    return error == std::errc() ? std::string(text, end) : std::string();
}

}  // namespace

std::string FormatSig9(double value)
{
    return Chars(value, std::chars_format::general, 9);
}

std::string FormatShortestSingle(float value)
{
    // The widest is the smallest subnormal single: "0." and 44 zeros before its digit.
    char text[64];
    const auto [end, error] = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed);
    return error == std::errc() ? std::string(text, end) : std::string();
}

std::string FormatSignificant(double value, int digits)
{
    return Chars(value, std::chars_format::general, digits);
}

std::string FormatScientific(double value, int decimals)
{
    return Chars(value, std::chars_format::scientific, decimals);
}

std::string FormatFixed(double value, int decimals)
{
    return Chars(value, std::chars_format::fixed, decimals);
}

}  // namespace kestrava
