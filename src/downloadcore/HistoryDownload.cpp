#include "downloadcore/HistoryDownload.h"

#include <system_error>

#include "common/notifier.h"
#include "common/textescape.h"
#include "downloadcore/HistoryConvert.h"
#include "downloadcore/HTTPer.h"
#include "downloadcore/ReplyFetch.h"
#include "downloadcore/ReplyFiles.h"
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

// Two years of daily prices of each symbol, fetched first and converted into
// price files once every reply is in.
class HistorySource : public SymbolSource {
public:
    HistorySource(HTTPer& http, const DownloadSetup& setup, const ServerAddress& server, Notifier& notifier)
        : SymbolSource(kHistoryItem, ".csv", kGettingHistory),
          http_(http),
          setup_(setup),
          server_(server),
          notifier_(notifier)
    {
    }

    std::string FileBase(const std::string& entry) const override { return HistoryFileBase(entry); }

    void Fetch(const std::string& entry, std::ostream& out) override
    {
        ConfigureClient(http_, setup_, server_);
        http_.Get(server_.base + kHistoryPath + "?" + HistoryQuery(entry, setup_.Today), out);
    }

    std::string Question(const std::string& entry, const std::string& reason) const override
    {
        return "Problem fetching EoD data for: " + ToLowerAscii(entry) + "\n\r" + reason + "\n\r"
               + kTryRemaining;
    }

    // A reply cut short never gets here; a whole one waits for Finish.
    ReplyVerdict Take(const std::string& /*entry*/, const fs::path& /*reply*/,
                      const ReplyFolder& /*replies*/) override
    {
        return {ReplyVerdict::Kind::Kept, {}, false};
    }

    // Only what this download fetched is converted: nothing that lies in a
    // temporary folder, from an earlier run or from anyone else.
    void Finish(const std::vector<KeptReply>& kept, const ReplyFolder& replies,
                DownloadOutcome& outcome) override
    {
        const fs::path priceDir = setup_.PriceDir.empty() ? setup_.DataDir : setup_.PriceDir;
        for (const KeptReply& reply : kept) {
            const fs::path priceFile = priceDir / reply.name;
            const HistoryConversion converted = ConvertHistory(reply.file->Path(), priceFile, setup_.Locale,
                                                               replies.Path(), setup_.Today);
            if (converted.stored) {
                ++outcome.stored;
            } else if (converted.writeFailed) {
                ++outcome.failed;
                notifier_.Info(converted.problem + ". " + priceFile.string() + " was left as it was.");
            } else {
                ++outcome.failed;
                std::error_code error;
                const bool empty = fs::file_size(reply.file->Path(), error) == 0 && !error;
                notifier_.Info("No daily prices were stored in " + priceFile.string()
                               + ", which was left as it was: " + converted.problem + "."
                               + (empty ? ""
                                        : RejectedKeepText(
                                            CopyToRejected(reply.file->Path(), setup_.DataDir, reply.name),
                                            "The reply")));
            }
        }
    }

private:
    HTTPer& http_;
    const DownloadSetup& setup_;
    const ServerAddress& server_;
    Notifier& notifier_;
};

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
    ServerAddress server = ParseServerAddress(setup.HistoryServer, "HistoryServer", setup.SettingsFile);
    // The home page goes out as the Referer header: a line end in it would
    // add headers of its own to every request.
    if (const std::string problem = RequestValueProblem(setup.HistoryHomePage);
        server.ok && !problem.empty()) {
        server.ok = false;
        server.problem = SettingNotUsed("HistoryHomePage", problem);
    }
    HistorySource source(http, setup, server, notifier);
    return DownloadEachSymbol(source, server, setup, selection, http, notifier, display);
}

}  // namespace kestrava
