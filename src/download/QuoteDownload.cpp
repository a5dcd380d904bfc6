#include "download/QuoteDownload.h"

#include <system_error>

#include "common/notifier.h"
#include "download/HTTPer.h"
#include "download/ReplyFetch.h"
#include "download/ReplyFiles.h"
#include "marketdata/OptPriceReader.h"
#include "marketdata/TextLines.h"

namespace kestrava {
namespace {

namespace fs = std::filesystem;

const char* const kGettingOptions = "Getting Options -> ";
const char* const kTryRemaining = "Try remaining Option Symbols?";
const char* const kSubmitField =
    "&ctl00%24ctl00%24AllContent%24ContentMain%24QuoteTableDownloadCtl1%24cmdSubmit=Download";
const char* const kEmptyReply = "the reply was empty";
const char* const kNoQuoteTable = "the reply holds no option prices (an HTML page or an empty first line)";

void ConfigureClient(HTTPer& http, const DownloadSetup& setup, const ServerAddress& server)
{
    http.Options.ProtocolVersion = HttpVersion::Http10;
    http.Options.ConnectTimeoutMs = setup.TimeoutMs;
    // No request may hang: the read time-out holds for the quote requests too.
    http.Options.ReadTimeoutMs = setup.TimeoutMs;
    http.Options.HandleRedirects = true;
    http.Options.RedirectMaximum = 4;
    http.Request.Host = server.authority;
    http.Request.Referer = server.base + kQuoteFormPath;
    http.Request.ContentType = "application/x-www-form-urlencoded";
    http.Request.UserAgent = "Mozilla/5.0";
    http.Request.Accept = "text/html";
    http.Request.AcceptEncoding = "gzip,deflate";
    http.Request.AcceptCharset = "ISO-8859-1";
    http.Request.Connection = "Keep-Alive";
}

// Why a stored reply cannot be a quote file; empty when it can.
std::string ReplyProblem(const fs::path& file)
{
    std::error_code error;
    if (fs::file_size(file, error) == 0 || error)
        return kEmptyReply;
    TextLineReader reader(file);
    std::string line;
    if (!reader.IsOpen() || !reader.ReadLine(line) || !StartsAQuoteTable(line))
        return kNoQuoteTable;
    return {};
}

}  // namespace

std::string QuoteRequestBody(const std::string& requestTemplate, const std::string& symbol)
{
    return requestTemplate + ToLowerAscii(symbol) + kSubmitField;
}

DownloadOutcome DownloadOptionQuotes(HTTPer& http, const DownloadSetup& setup,
                                     const std::vector<std::string>& selection, Notifier& notifier,
                                     DownloadDisplay& display)
{
    DownloadOutcome outcome;
    const ServerAddress server = ParseServerAddress(setup.QuoteServer, "QuoteServer");
    if (!server.ok) {
        notifier.Info(server.problem);
        outcome.failed = static_cast<int>(selection.size());
        return outcome;
    }
    display.Begin();
    for (const std::string& entry : selection) {
        const std::string symbol = ToUpperAscii(entry);
        const SymbolStep step = BeforeSymbol(entry, symbol, http, notifier, display, outcome);
        if (step == SymbolStep::Stop)
            break;
        if (step == SymbolStep::Skip)
            continue;
        const fs::path reply = setup.TempDir / (symbol + ".txt");
        const fs::path quoteFile = setup.DataDir / (symbol + ".txt");
        display.ShowTicker(kGettingOptions + entry);
        ConfigureClient(http, setup, server);

        const FetchResult fetched = FetchReply(
            reply,
            [&](std::ostream& out) {
                http.Post(server.base + kQuoteFormPath, QuoteRequestBody(setup.RequestTemplate, entry));
                http.Get(server.base + kQuoteDataPath, out);
            },
            [&](const std::string& reason) {
                return "Problem fetching " + entry + " data: " + reason + "\n\r" + kTryRemaining;
            },
            notifier, outcome);
        const bool received = fetched.received;
        bool goOn = fetched.goOn;
        display.LetEventsRun();

        // Only a quote table replaces the quote file: an error page or an
        // empty reply leaves the older file as it was.
        if (received) {
            const std::string problem = ReplyProblem(reply);
            if (!problem.empty()) {
                ++outcome.failed;
                goOn = notifier.AskYesNo("Problem fetching " + entry + " data: " + problem + "\n\r"
                                         + kTryRemaining);
            } else if (const std::string failure = ReplaceWithCopy(reply, quoteFile); !failure.empty()) {
                ++outcome.failed;
                notifier.Warning(failure);
            } else {
                ++outcome.stored;
            }
        }
        std::error_code ignored;
        fs::remove(reply, ignored);
        if (!goOn || outcome.stopped) {
            outcome.stopped = true;
            break;
        }
    }
    display.End();
    return outcome;
}

}  // namespace kestrava
