#include "downloadcore/TemplateDownload.h"

#include "downloadcore/HistoryConvert.h"
#include "downloadcore/HistoryDownload.h"
#include "downloadcore/HTTPer.h"
#include "downloadcore/ReplyFetch.h"
#include "downloadcore/ReplyFiles.h"
#include "downloadcore/ReplyLayouts.h"
#include "downloadcore/UrlTemplate.h"

namespace kestrava {
namespace {

namespace fs = std::filesystem;

constexpr int kHistoryDays = 730;

void ConfigureClient(HTTPer& http, const DownloadSetup& setup)
{
    http.Options = HttpOptions{};
    http.Options.ConnectTimeoutMs = setup.TimeoutMs;
    http.Options.ReadTimeoutMs = setup.TimeoutMs;
    http.Options.DeadlineMs = setup.DeadlineMs;
    http.Options.ProtocolVersion = HttpVersion::Http11;
    http.Options.HandleRedirects = true;
    http.Options.RedirectMaximum = 4;
    // No header of an earlier download: the host is the URL's own.
    http.Request = HttpRequestHeaders{};
    http.Request.UserAgent = "Mozilla/5.0";
    http.Request.Accept = "text/csv, application/json;q=0.9, text/plain;q=0.8, */*;q=0.1";
    http.Request.AcceptEncoding = "gzip,deflate";
}

// Each symbol's filled-in URL, its reply stored by what it holds.
class TemplateSource : public SymbolSource {
public:
    TemplateSource(HTTPer& http, const DownloadSetup& setup, const ServerAddress& address, bool quotes)
        : SymbolSource(quotes ? kQuotesItem : kHistoryItem, quotes ? ".txt" : ".csv",
                       quotes ? "Getting Options -> " : "Getting Daily H-L-C -> "),
          http_(http),
          setup_(setup),
          address_(address),
          quotes_(quotes),
          priceDir_(setup.PriceDir.empty() ? setup.DataDir : setup.PriceDir)
    {
    }

    std::string FileBase(const std::string& entry) const override
    {
        return quotes_ ? ToUpperAscii(entry) : HistoryFileBase(entry);
    }

    void Fetch(const std::string& entry, std::ostream& out) override
    {
        ConfigureClient(http_, setup_);
        http_.Get(Url(entry), out);
    }

    std::string Question(const std::string& entry, const std::string& reason) const override
    {
        return "Problem fetching " + entry + " from " + Url(entry) + ": " + reason
               + "\n\rTry remaining symbols?";
    }

    ReplyVerdict Take(const std::string& entry, const fs::path& reply, const ReplyFolder& replies) override
    {
        const std::string quoteBase = ToUpperAscii(entry);
        const ReplyTargets targets{quoteBase, setup_.DataDir / (quoteBase + ".txt"),
                                   HistoryPriceFile(priceDir_, entry)};
        const StoredReply stored = StoreTemplateReply(replies, reply, targets, setup_);
        if (stored.stored)
            return {};
        if (stored.writeFailed)
            return {ReplyVerdict::Kind::WriteFailed,
                    stored.problem + " " + stored.target.string() + " was left as it was."};
        const std::string left = stored.target.empty()
                                     ? ""
                                     : " " + stored.target.string() + " was left as it was.";
        return {ReplyVerdict::Kind::Refused, stored.problem + left, stored.layout != ReplyLayout::Empty};
    }

private:
    std::string Url(const std::string& entry) const
    {
        return ExpandUrlTemplate(address_.base, entry, setup_.Today - kHistoryDays, setup_.Today);
    }

    HTTPer& http_;
    const DownloadSetup& setup_;
    const ServerAddress& address_;
    const bool quotes_;
    const fs::path priceDir_;
};

}  // namespace

DownloadOutcome DownloadByTemplate(HTTPer& http, const DownloadSetup& setup, TemplateKind kind,
                                   const std::vector<std::string>& selection, Notifier& notifier,
                                   DownloadDisplay& display)
{
    const bool quotes = kind == TemplateKind::Quotes;
    const ServerAddress address =
        quotes ? ParseUrlTemplate(setup.QuoteTemplate, setup.QuoteTemplateName, setup.SettingsFile)
               : ParseUrlTemplate(setup.HistoryTemplate, setup.HistoryTemplateName, setup.SettingsFile);
    TemplateSource source(http, setup, address, quotes);
    return DownloadEachSymbol(source, address, setup, selection, http, notifier, display);
}

}  // namespace kestrava
