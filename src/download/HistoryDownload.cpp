#include "download/HistoryDownload.h"

#include <set>
#include <system_error>

#include "common/filesymbol.h"
#include "common/notifier.h"
#include "download/HistoryConvert.h"
#include "download/HTTPer.h"
#include "download/ReplyFetch.h"

namespace kestrava {
namespace {

namespace fs = std::filesystem;

const char* const kGettingHistory = "Getting Daily H-L-C -> ";
const char* const kTryRemaining = "Try remaining MSN Symbols?";
constexpr int kHistoryDays = 730;

void ConfigureClient(HTTPer& http, const DownloadSetup& setup, const ServerAddress& server)
{
    http.Options.ConnectTimeoutMs = setup.TimeoutMs;
    http.Options.ReadTimeoutMs = setup.TimeoutMs;
    http.Options.ProtocolVersion = HttpVersion::Http11;
    http.Options.AllowCookies = true;
    http.Options.HandleRedirects = false;
    // The host is this server's, not the one a quote download left behind.
    http.Request.Host = server.authority;
    http.Request.UserAgent =
        "Mozilla/5.0 (Windows NT 5.1; rv:20.0) Gecko/20100101 Firefox/20.0 SeaMonkey/2.9";
    http.Request.ContentType = "text/html";
    http.Request.Accept = "text/html";
    http.Request.Referer = setup.HistoryHomePage.empty() ? server.base + "/" : setup.HistoryHomePage;
    http.Request.AcceptLanguage = "en-us,en;q=0.5";
    http.Request.Connection = "keepalive";
    http.Request.AcceptEncoding.clear();
}

// The history symbol of a download list entry.
std::string HistorySymbolOf(const std::string& entry)
{
    const std::size_t equals = entry.find('=');
    return equals == std::string::npos ? entry : entry.substr(equals + 1);
}

}  // namespace

std::string HistoryQuery(const std::string& symbol, TDateTime today)
{
    const CivilDate end = DecodeDate(today);
    const CivilDate start = DecodeDate(today - kHistoryDays);
    return "s=" + ToLowerAscii(symbol) + "&d=" + std::to_string(end.month - 1)
           + "&e=" + std::to_string(end.day) + "&f=" + std::to_string(end.year)
           + "&g=d&a=" + std::to_string(start.month - 1) + "&b=" + std::to_string(start.day)
           + "&c=" + std::to_string(start.year) + "&ignore=.csv";
}

std::string HistoryFileBase(const std::string& symbol)
{
    std::string base = symbol;
    if (const std::size_t colon = base.find(':'); colon != std::string::npos)
        base[colon] = '-';
    return base;
}

DownloadOutcome DownloadHistory(HTTPer& http, const DownloadSetup& setup,
                                const std::vector<std::string>& selection,
                                const std::vector<std::string>& listEntries, Notifier& notifier,
                                DownloadDisplay& display)
{
    DownloadOutcome outcome;
    const ServerAddress server = ParseServerAddress(setup.HistoryServer, "HistoryServer");
    if (!server.ok) {
        notifier.Info(server.problem);
        outcome.failed = static_cast<int>(selection.size());
        return outcome;
    }
    display.Begin();
    std::set<std::string> fetched;
    for (const std::string& entry : selection) {
        const std::string base = HistoryFileBase(entry);
        const SymbolStep step = BeforeSymbol(entry, base, http, notifier, display, outcome);
        if (step == SymbolStep::Stop)
            break;
        if (step == SymbolStep::Skip)
            continue;
        const fs::path reply = setup.TempDir / (base + ".csv");
        display.ShowTicker(kGettingHistory + entry);
        ConfigureClient(http, setup, server);
        const std::string url = server.base + kHistoryPath + "?" + HistoryQuery(entry, setup.Today);
        const auto [received, goOn] = FetchReply(
            reply, [&](std::ostream& out) { http.Get(url, out); },
            [&](const std::string& reason) {
                return "Problem fetching EoD data for: " + ToLowerAscii(entry) + "\n\r" + reason + "\n\r"
                       + kTryRemaining;
            },
            notifier, outcome);
        // A reply cut short must not be converted, now or by a later run.
        std::error_code ignored;
        if (received)
            fetched.insert(reply.filename().string());
        else
            fs::remove(reply, ignored);
        if (!goOn || outcome.stopped) {
            outcome.stopped = true;
            break;
        }
    }

    // Every list entry's reply is converted, also one an earlier run left;
    // then what was fetched for a symbol on no list line.
    const fs::path priceDir = setup.PriceDir.empty() ? setup.DataDir : setup.PriceDir;
    auto convert = [&](const fs::path& reply, bool fresh) {
        std::error_code error;
        if (ConvertHistory(reply, priceDir, setup.Locale)) {
            fs::remove(reply, error);
            ++outcome.stored;
        } else if (fresh) {
            ++outcome.failed;
            notifier.Info("No daily prices could be read from " + reply.string() + "; "
                          + (priceDir / reply.filename()).string() + " was left as it was.");
        }
    };
    for (const std::string& entry : listEntries) {
        const std::string base = HistoryFileBase(HistorySymbolOf(entry));
        const fs::path reply = setup.TempDir / (base + ".csv");
        std::error_code error;
        if (IsUsableAsFileName(base) && fs::exists(reply, error))
            convert(reply, fetched.erase(reply.filename().string()) > 0);
    }
    for (const std::string& name : fetched)
        convert(setup.TempDir / name, true);
    display.End();
    return outcome;
}

}  // namespace kestrava
