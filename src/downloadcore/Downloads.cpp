#include "downloadcore/Downloads.h"

#include <algorithm>
#include <chrono>

#include "common/filereplace.h"
#include "common/textescape.h"
#include "downloadcore/HistoryDownload.h"
#include "downloadcore/HTTPer.h"
#include "downloadcore/QuoteDownload.h"
#include "downloadcore/TemplateDownload.h"

namespace kestrava {

DownloadOutcome& DownloadOutcome::operator+=(const DownloadOutcome& other)
{
    stored += other.stored;
    failed += other.failed;
    refused += other.refused;
    stopped = stopped || other.stopped;
    fetched.insert(fetched.end(), other.fetched.begin(), other.fetched.end());
    skipped.insert(skipped.end(), other.skipped.begin(), other.skipped.end());
    return *this;
}

std::string StoppedRunReport(const DownloadOutcome& outcome)
{
    const auto list = [](const std::vector<std::string>& items) {
        std::string text;
        for (const std::string& item : items)
            text += (text.empty() ? "" : ", ") + item;
        return text.empty() ? std::string("nothing") : text;
    };
    return "The download was stopped. Fetched: " + list(outcome.fetched)
           + ". Not fetched: " + list(outcome.skipped) + ".";
}

std::string ToLowerAscii(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(),
                   [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; });
    return text;
}

std::string ToUpperAscii(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(),
                   [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; });
    return text;
}

namespace {

// Bytes that stay as they are in a query value or a form field value.
bool IsPlain(char c, std::string_view extra)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')
           || extra.find(c) != std::string_view::npos;
}

}  // namespace

std::string PercentEncoded(const std::string& text, std::string_view plain, bool blankAsPlus)
{
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (const char c : text) {
        if (IsPlain(c, plain)) {
            out += c;
        } else if (c == ' ' && blankAsPlus) {
            out += '+';
        } else {
            const auto byte = static_cast<unsigned char>(c);
            out += '%';
            out += kHex[byte >> 4];
            out += kHex[byte & 0x0F];
        }
    }
    return out;
}

std::string QueryValue(const std::string& symbol)
{
    return PercentEncoded(symbol, "-._~^:", false);
}

std::string FormValue(const std::string& symbol)
{
    return PercentEncoded(symbol, "*-._", true);
}

std::string SettingNotUsed(const std::string& settingName, const std::string& problem)
{
    return "The setting Servers/" + settingName + " is not used: " + problem + ". Nothing was sent.";
}

ServerAddress ParseServerAddress(const std::string& setting, const std::string& settingName,
                                 const std::string& settingsFile)
{
    ServerAddress address;
    const std::string where = "the setting Servers/" + settingName;
    if (setting.empty()) {
        address.problem =
            "No server is set for this download: enter its base URL (http://host or https://host) "
            "in Edit > Servers..., or as Servers/"
            + settingName + (settingsFile.empty() ? "" : " in the settings file " + settingsFile) + ".";
        return address;
    }
    if (const std::string problem = RequestValueProblem(setting); !problem.empty()) {
        address.problem = SettingNotUsed(settingName, problem);
        return address;
    }
    const std::string lower = ToLowerAscii(setting);
    const std::size_t scheme = lower.rfind("http://", 0) == 0 ? 7 : lower.rfind("https://", 0) == 0 ? 8 : 0;
    const bool blank = std::any_of(setting.begin(), setting.end(),
                                   [](char c) { return static_cast<unsigned char>(c) <= ' '; });
    std::string base = setting;
    while (base.size() > scheme && base.back() == '/')
        base.pop_back();
    const std::string authority = scheme == 0 ? std::string()
                                              : base.substr(scheme, base.find('/', scheme) - scheme);
    if (scheme == 0 || blank || authority.empty()) {
        address.problem = where + " holds \"" + EscapedText(setting)
                          + "\", which is no http or https address.";
        return address;
    }
    address.ok = true;
    address.base = base;
    address.authority = authority;
    return address;
}

DownloadOutcome RunDownloads(HTTPer& http, const DownloadSetup& setup, const DownloadChoice& choice,
                             Notifier& notifier, DownloadDisplay& display)
{
    http.ResetAbort();
    // New versions that a killed conversion or save left beside the quote
    // and price files go before new ones are written.
    constexpr std::chrono::hours kDay{24};
    RemoveStaleLeftovers(setup.DataDir, kDay);
    if (!setup.PriceDir.empty() && setup.PriceDir != setup.DataDir)
        RemoveStaleLeftovers(setup.PriceDir, kDay);
    DownloadOutcome outcome;
    if (choice.quotes && setup.QuoteByTemplate)
        outcome += DownloadByTemplate(http, setup, TemplateKind::Quotes, choice.quoteSymbols, notifier,
                                      display);
    else if (choice.quotes)
        outcome += DownloadOptionQuotes(http, setup, choice.quoteSymbols, notifier, display);
    // No to the quote prompt still lets the history run; the user's stop does not.
    if (choice.history && !http.Aborted() && setup.HistoryByTemplate) {
        outcome += DownloadByTemplate(http, setup, TemplateKind::History, choice.historySymbols, notifier,
                                      display);
    } else if (choice.history && !http.Aborted()) {
        outcome += DownloadHistory(http, setup, choice.historySymbols, notifier, display);
    } else if (choice.history) {
        for (const std::string& entry : choice.historySymbols)
            if (!entry.empty())
                outcome.skipped.push_back(entry + kHistoryItem);
    }
    return outcome;
}

}  // namespace kestrava
