#include "download/QuoteDownload.h"

#include <optional>
#include <streambuf>
#include <system_error>

#include "common/notifier.h"
#include "download/HTTPer.h"
#include "download/ReplyFetch.h"
#include "download/ReplyFiles.h"
#include "marketdata/OptPriceReader.h"
#include "marketdata/RejectedFiles.h"

namespace kestrava {
namespace {

namespace fs = std::filesystem;

const char* const kGettingOptions = "Getting Options -> ";
const char* const kTryRemaining = "Try remaining Option Symbols?";
const char* const kSubmitField =
    "&ctl00%24ctl00%24AllContent%24ContentMain%24QuoteTableDownloadCtl1%24cmdSubmit=Download";
const char* const kEmptyReply = "the reply was empty";
const char* const kCutReply = "the reply ends in the middle of a line: it was cut short";

void ConfigureClient(HTTPer& http, const DownloadSetup& setup, const ServerAddress& server)
{
    http.Options.ProtocolVersion = HttpVersion::Http10;
    http.Options.ConnectTimeoutMs = setup.TimeoutMs;
    // No request may hang: the read time-out holds for the quote requests too.
    http.Options.ReadTimeoutMs = setup.TimeoutMs;
    http.Options.DeadlineMs = setup.DeadlineMs;
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

// The question after a symbol that could not be fetched.
std::string TryRemainingQuestion(const std::string& entry, const std::string& problem)
{
    return "Problem fetching " + entry + " data: " + problem + "\n\r" + kTryRemaining;
}

// Why a fetched reply cannot be a quote file; empty when it can.
std::string ReplyProblem(const fs::path& file)
{
    std::error_code error;
    if (fs::file_size(file, error) == 0 || error)
        return kEmptyReply;
    if (!EndsWithLineEnd(file))
        return kCutReply;
    return QuoteTableProblem(file.string(), "the reply");
}

std::string Sentence(std::string text)
{
    if (!text.ends_with('.'))
        text += '.';
    return text;
}

// Takes the form page's reply, which nobody reads, without holding it.
class DiscardBuffer : public std::streambuf {
protected:
    int_type overflow(int_type c) override { return traits_type::not_eof(c); }
    std::streamsize xsputn(const char*, std::streamsize count) override { return count; }
};

}  // namespace

std::string QuoteRequestBody(const std::string& requestTemplate, const std::string& symbol)
{
    return requestTemplate + FormValue(ToLowerAscii(symbol)) + kSubmitField;
}

DownloadOutcome DownloadOptionQuotes(HTTPer& http, const DownloadSetup& setup,
                                     const std::vector<std::string>& selection, Notifier& notifier,
                                     DownloadDisplay& display)
{
    DownloadOutcome outcome;
    const ServerAddress server = ParseServerAddress(setup.QuoteServer, "QuoteServer", setup.SettingsFile);
    std::optional<ReplyFolder> replies;
    if (!StartDownload(server, setup.TempDir, notifier, replies)) {
        outcome.failed = static_cast<int>(selection.size());
        return outcome;
    }
    display.Begin();
    for (std::size_t i = 0; i < selection.size(); ++i) {
        const std::string& entry = selection[i];
        const std::string symbol = ToUpperAscii(entry);
        const SymbolStep step = BeforeSymbol(entry, symbol, http, notifier, display, outcome);
        if (step == SymbolStep::Stop) {
            SkipTheRest(selection, i, kQuotesItem, outcome);
            break;
        }
        if (step == SymbolStep::Skip)
            continue;
        const std::string name = symbol + ".txt";
        const fs::path quoteFile = setup.DataDir / name;
        display.ShowTicker(kGettingOptions + entry);
        ConfigureClient(http, setup, server);

        std::optional<ReplyFile> reply;
        try {
            reply.emplace(*replies, name);
        } catch (const std::exception& error) {
            ++outcome.failed;
            notifier.Warning(error.what());
            continue;
        }
        const auto keep = [&] {
            return RejectedKeepText(CopyToRejected(reply->Path(), setup.DataDir, name), "The reply");
        };
        const auto question = [&](const std::string& reason) { return TryRemainingQuestion(entry, reason); };
        const FetchResult fetched = FetchReply(
            *reply,
            [&](std::ostream& out) {
                DiscardBuffer discard;
                std::ostream page(&discard);
                http.Post(server.base + kQuoteFormPath, QuoteRequestBody(setup.RequestTemplate, entry), page);
                http.Get(server.base + kQuoteDataPath, out);
            },
            question, keep, notifier, outcome);
        bool goOn = fetched.goOn;
        display.LetEventsRun();

        // Only a whole quote table replaces the quote file: anything else
        // leaves the older file as it was and is kept for the user to see.
        if (fetched.received) {
            if (const std::string problem = ReplyProblem(reply->Path()); !problem.empty()) {
                ++outcome.failed;
                goOn = notifier.AskYesNo(
                    question(problem == kEmptyReply ? problem : Sentence(problem) + keep()));
            } else if (const std::string failure = ReplaceWithCopy(reply->Path(), quoteFile);
                       !failure.empty()) {
                ++outcome.failed;
                notifier.Warning(failure + " " + quoteFile.string() + " was left as it was.");
            } else {
                ++outcome.stored;
                outcome.fetched.push_back(entry + kQuotesItem);
            }
        }
        reply.reset();
        if (!goOn || outcome.stopped) {
            // A reply broken off by the stop was not fetched; one that failed
            // has been reported.
            SkipTheRest(selection, outcome.stopped && !fetched.received ? i : i + 1, kQuotesItem, outcome);
            outcome.stopped = true;
            break;
        }
    }
    display.End();
    return outcome;
}

}  // namespace kestrava
