#include "common/textescape.h"

#include <algorithm>

namespace kestrava {
namespace {

bool IsControl(char c)
{
    const auto byte = static_cast<unsigned char>(c);
    return byte < 0x20 || byte == 0x7f;
}

std::string Escape(char c)
{
    switch (c) {
    case '\0':
        return "\\0";
    case '\t':
        return "\\t";
    case '\r':
        return "\\r";
    case '\n':
        return "\\n";
    default:
        break;
    }
    static constexpr char kHex[] = "0123456789abcdef";
    const auto byte = static_cast<unsigned char>(c);
    return {'\\', 'x', kHex[byte >> 4], kHex[byte & 0x0f]};
}

}  // namespace

std::string EscapedText(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        if (IsControl(c))
            out += Escape(c);
        else
            out += c;
    }
    return out;
}

std::string RequestValueProblem(std::string_view value, bool blanksAllowed)
{
    if (value.size() > kLongestRequestValue)
        return "it is " + std::to_string(value.size()) + " characters long, more than the "
               + std::to_string(kLongestRequestValue) + " a request may carry";
    if (const auto control = std::find_if(value.begin(), value.end(), IsControl); control != value.end())
        return "it holds the control character " + Escape(*control);
    if (!blanksAllowed && value.find(' ') != std::string_view::npos)
        return "it holds a blank";
    return {};
}

}  // namespace kestrava
