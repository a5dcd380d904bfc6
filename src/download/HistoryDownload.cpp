#include "download/HistoryDownload.h"

#include <memory>
#include <optional>
#include <system_error>

#include "common/notifier.h"
#include "common/textescape.h"
#include "download/HistoryConvert.h"
#include "download/HTTPer.h"
#include "download/ReplyFetch.h"
#include "download/ReplyFiles.h"
#include "marketdata/RejectedFiles.h"

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
    http.Options.DeadlineMs = setup.DeadlineMs;
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

}  // namespace

std::string HistoryQuery(const std::string& symbol, TDateTime today)
{
    const CivilDate end = DecodeDate(today);
    const CivilDate start = DecodeDate(today - kHistoryDays);
    return "s=" + QueryValue(ToLowerAscii(symbol)) + "&d=" + std::to_string(end.month - 1)
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
                                const std::vector<std::string>& selection, Notifier& notifier,
                                DownloadDisplay& display)
{
    DownloadOutcome outcome;
    ServerAddress server = ParseServerAddress(setup.HistoryServer, "HistoryServer", setup.SettingsFile);
    // The home page goes out as the Referer header: a line end in it would
    // add headers of its own to every request.
    if (const std::string problem = RequestValueProblem(setup.HistoryHomePage);
        server.ok && !problem.empty()) {
        server.ok = false;
        server.problem = SettingNotUsed("HistoryHomePage", problem);
    }
    std::optional<ReplyFolder> replies;
    if (!StartDownload(server, setup.TempDir, notifier, replies)) {
        outcome.failed = static_cast<int>(selection.size());
        return outcome;
    }
    display.Begin();
    struct Fetched {
        std::string name;  // of the price file and of a rejected reply
        std::unique_ptr<ReplyFile> reply;
    };
    std::vector<Fetched> fetched;
    for (std::size_t i = 0; i < selection.size(); ++i) {
        const std::string& entry = selection[i];
        const std::string base = HistoryFileBase(entry);
        const SymbolStep step = BeforeSymbol(entry, base, http, notifier, display, outcome);
        if (step == SymbolStep::Stop) {
            SkipTheRest(selection, i, kHistoryItem, outcome);
            break;
        }
        if (step == SymbolStep::Skip)
            continue;
        const std::string name = base + ".csv";
        display.ShowTicker(kGettingHistory + entry);
        ConfigureClient(http, setup, server);
        const std::string url = server.base + kHistoryPath + "?" + HistoryQuery(entry, setup.Today);
        // The same symbol twice: the later reply is the one converted.
        std::erase_if(fetched, [&](const Fetched& earlier) { return earlier.name == name; });
        std::unique_ptr<ReplyFile> reply;
        try {
            reply = std::make_unique<ReplyFile>(*replies, name);
        } catch (const std::exception& error) {
            ++outcome.failed;
            notifier.Warning(error.what());
            continue;
        }
        const auto [received, goOn] = FetchReply(
            *reply, [&](std::ostream& out) { http.Get(url, out); },
            [&](const std::string& reason) {
                return "Problem fetching EoD data for: " + ToLowerAscii(entry) + "\n\r" + reason + "\n\r"
                       + kTryRemaining;
            },
            [&] { return RejectedKeepText(CopyToRejected(reply->Path(), setup.DataDir, name), "The reply"); },
            notifier, outcome);
        // A reply cut short is never converted; it goes with its object.
        if (received) {
            fetched.push_back({name, std::move(reply)});
            outcome.fetched.push_back(entry + kHistoryItem);
        }
        if (!goOn || outcome.stopped) {
            // A reply broken off by the stop was not fetched; one that failed
            // has been reported.
            SkipTheRest(selection, outcome.stopped && !received ? i : i + 1, kHistoryItem, outcome);
            outcome.stopped = true;
            break;
        }
    }

    // Only what this download fetched is converted: nothing that lies in a
    // temporary folder, from an earlier run or from anyone else.
    const fs::path priceDir = setup.PriceDir.empty() ? setup.DataDir : setup.PriceDir;
    for (const Fetched& reply : fetched) {
        const fs::path priceFile = priceDir / reply.name;
        const HistoryConversion converted = ConvertHistory(reply.reply->Path(), priceFile, setup.Locale,
                                                           replies->Path(), setup.Today);
        if (converted.stored) {
            ++outcome.stored;
        } else if (converted.writeFailed) {
            ++outcome.failed;
            notifier.Info(converted.problem + ". " + priceFile.string() + " was left as it was.");
        } else {
            ++outcome.failed;
            std::error_code error;
            const bool empty = std::filesystem::file_size(reply.reply->Path(), error) == 0 && !error;
            notifier.Info(
                "No daily prices were stored in " + priceFile.string()
                + ", which was left as it was: " + converted.problem + "."
                + (empty ? ""
                         : RejectedKeepText(CopyToRejected(reply.reply->Path(), setup.DataDir, reply.name),
                                            "The reply")));
        }
    }
    display.End();
    return outcome;
}

}  // namespace kestrava
