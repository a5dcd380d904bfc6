#include "downloadcore/UrlTemplate.h"

#include <algorithm>
#include <array>

#include "common/textescape.h"
#include "downloadcore/Downloads.h"

namespace kestrava {
namespace {

constexpr std::array<std::string_view, 3> kPlaceholders = {"{SYMBOL}", "{FROM}", "{TO}"};

std::string NotUsed(const std::string& where, const std::string& cause)
{
    std::string text = where + " is not used: " + cause + ". Nothing was sent.";
    text[0] = static_cast<char>(text[0] == 't' ? 'T' : text[0]);
    return text;
}

// Why the braces of text are no placeholders, or empty when they all are.
std::string PlaceholderProblem(std::string_view text, std::size_t hostEnd)
{
    bool symbol = false;
    for (std::size_t at = 0; at < text.size(); ++at) {
        if (text[at] == '}')
            return "it holds a '}' that closes no placeholder";
        if (text[at] != '{')
            continue;
        const std::size_t close = text.find('}', at);
        const std::size_t nextOpen = text.find('{', at + 1);
        if (close == std::string_view::npos || nextOpen < close)
            return "it holds a '{' that opens no placeholder";
        const std::string_view name = text.substr(at, close - at + 1);
        if (std::find(kPlaceholders.begin(), kPlaceholders.end(), name) == kPlaceholders.end())
            return "it holds the placeholder " + EscapedText(name.substr(0, 40))
                   + ", which is none of {SYMBOL}, {FROM} and {TO}";
        if (at < hostEnd)
            return "it holds a placeholder in its host name";
        symbol = symbol || name == kPlaceholders[0];
        at = close;
    }
    if (!symbol)
        return "it holds no {SYMBOL}, so every symbol would bring the same reply";
    return {};
}

}  // namespace

ServerAddress ParseUrlTemplate(const std::string& text, const std::string& where,
                               const std::string& settingsFile)
{
    ServerAddress address;
    if (text.empty()) {
        address.problem = "No URL template is set for this download: enter one (such as "
                          "https://example.com/quotes?symbol={SYMBOL}) in Edit > Servers..., or as "
                          + where.substr(where.find("Servers/") == std::string::npos ? 0
                                                                                     : where.find("Servers/"))
                          + (settingsFile.empty() ? "" : " in the settings file " + settingsFile) + ".";
        return address;
    }
    if (const std::string problem = RequestValueProblem(text); !problem.empty()) {
        address.problem = NotUsed(where, problem);
        return address;
    }
    const std::string lower = ToLowerAscii(text);
    const std::size_t scheme = lower.rfind("http://", 0) == 0 ? 7 : lower.rfind("https://", 0) == 0 ? 8 : 0;
    if (scheme == 0) {
        address.problem = NotUsed(where, "\"" + EscapedText(text.substr(0, 60))
                                             + "\" does not begin with http:// or https://");
        return address;
    }
    const std::size_t hostEnd = std::min(text.find_first_of("/?#", scheme), text.size());
    const std::string authority = text.substr(scheme, hostEnd - scheme);
    if (authority.empty()) {
        address.problem = NotUsed(where, "it names no host after " + text.substr(0, scheme));
        return address;
    }
    if (const std::string problem = PlaceholderProblem(text, hostEnd); !problem.empty()) {
        address.problem = NotUsed(where, problem);
        return address;
    }
    address.ok = true;
    address.base = text;
    address.authority = authority;
    return address;
}

std::string EncodedQueryValue(const std::string& symbol)
{
    return PercentEncoded(symbol, "-._~", false);
}

std::string ExpandUrlTemplate(const std::string& text, const std::string& symbol, TDateTime from,
                              TDateTime to)
{
    const std::string values[] = {EncodedQueryValue(symbol), IsoDate(from), IsoDate(to)};
    std::string url;
    for (std::size_t at = 0; at < text.size();) {
        std::size_t which = 0;
        while (which < kPlaceholders.size()
               && text.compare(at, kPlaceholders[which].size(), kPlaceholders[which]) != 0)
            ++which;
        if (which < kPlaceholders.size()) {
            url += values[which];
            at += kPlaceholders[which].size();
        } else {
            url += text[at++];
        }
    }
    return url;
}

}  // namespace kestrava
