#include "downloadcore/QuoteDownload.h"

#include <streambuf>
#include <system_error>

#include "downloadcore/HTTPer.h"
#include "downloadcore/ReplyFetch.h"
#include "downloadcore/ReplyFiles.h"
#include "marketdata/OptPriceReader.h"

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

// The exchange's quote table for each symbol, over the symbol's quote file.
class QuoteSource : public SymbolSource {
public:
    QuoteSource(HTTPer& http, const DownloadSetup& setup, const ServerAddress& server)
        : SymbolSource(kQuotesItem, ".txt", kGettingOptions), http_(http), setup_(setup), server_(server)
    {
    }

    std::string FileBase(const std::string& entry) const override { return ToUpperAscii(entry); }

    void Fetch(const std::string& entry, std::ostream& out) override
    {
        ConfigureClient(http_, setup_, server_);
        DiscardBuffer discard;
        std::ostream page(&discard);
        http_.Post(server_.base + kQuoteFormPath, QuoteRequestBody(setup_.RequestTemplate, entry), page);
        http_.Get(server_.base + kQuoteDataPath, out);
    }

    std::string Question(const std::string& entry, const std::string& reason) const override
    {
        return "Problem fetching " + entry + " data: " + reason + "\n\r" + kTryRemaining;
    }

    // Only a whole quote table replaces the quote file; anything else is kept
    // for the user to see.
    ReplyVerdict Take(const std::string& entry, const fs::path& reply,
                      const ReplyFolder& /*replies*/) override
    {
        const fs::path quoteFile = setup_.DataDir / (FileBase(entry) + extension);
        if (const std::string problem = ReplyProblem(reply); !problem.empty()) {
            const bool empty = problem == kEmptyReply;
            return {ReplyVerdict::Kind::Refused, empty ? problem : Sentence(problem), !empty};
        }
        if (const std::string failure = ReplaceWithCopy(reply, quoteFile); !failure.empty())
            return {ReplyVerdict::Kind::WriteFailed,
                    failure + " " + quoteFile.string() + " was left as it was."};
        return {};
    }

private:
    HTTPer& http_;
    const DownloadSetup& setup_;
    const ServerAddress& server_;
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
    const ServerAddress server = ParseServerAddress(setup.QuoteServer, "QuoteServer", setup.SettingsFile);
    QuoteSource source(http, setup, server);
    return DownloadEachSymbol(source, server, setup, selection, http, notifier, display);
}

}  // namespace kestrava
