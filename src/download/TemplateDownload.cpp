#include "download/TemplateDownload.h"

#include <optional>

#include "common/notifier.h"
#include "download/HistoryConvert.h"
#include "download/HistoryDownload.h"
#include "download/HTTPer.h"
#include "download/ReplyFetch.h"
#include "download/ReplyFiles.h"
#include "download/ReplyLayouts.h"
#include "download/UrlTemplate.h"
#include "marketdata/RejectedFiles.h"

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

}  // namespace

DownloadOutcome DownloadByTemplate(HTTPer& http, const DownloadSetup& setup, TemplateKind kind,
                                   const std::vector<std::string>& selection, Notifier& notifier,
                                   DownloadDisplay& display)
{
    const bool quotes = kind == TemplateKind::Quotes;
    const std::string& item = quotes ? kQuotesItem : kHistoryItem;
    DownloadOutcome outcome;
    const ServerAddress address =
        quotes ? ParseUrlTemplate(setup.QuoteTemplate, setup.QuoteTemplateName, setup.SettingsFile)
               : ParseUrlTemplate(setup.HistoryTemplate, setup.HistoryTemplateName, setup.SettingsFile);
    std::optional<ReplyFolder> replies;
    if (!StartDownload(address, setup.TempDir, notifier, replies)) {
        outcome.failed = static_cast<int>(selection.size());
        return outcome;
    }
    const fs::path priceDir = setup.PriceDir.empty() ? setup.DataDir : setup.PriceDir;
    display.Begin();
    for (std::size_t i = 0; i < selection.size(); ++i) {
        const std::string& entry = selection[i];
        const std::string quoteBase = ToUpperAscii(entry);
        const std::string name = quotes ? quoteBase + ".txt" : HistoryFileBase(entry) + ".csv";
        const SymbolStep step = BeforeSymbol(entry, quotes ? quoteBase : HistoryFileBase(entry), http,
                                             notifier, display, outcome);
        if (step == SymbolStep::Stop) {
            SkipTheRest(selection, i, item, outcome);
            break;
        }
        if (step == SymbolStep::Skip)
            continue;
        display.ShowTicker((quotes ? "Getting Options -> " : "Getting Daily H-L-C -> ") + entry);
        ConfigureClient(http, setup);
        const std::string url = ExpandUrlTemplate(address.base, entry, setup.Today - kHistoryDays,
                                                  setup.Today);

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
        const auto question = [&](const std::string& reason) {
            return "Problem fetching " + entry + " from " + url + ": " + reason
                   + "\n\rTry remaining symbols?";
        };
        const FetchResult fetched = FetchReply(
            *reply, [&](std::ostream& out) { http.Get(url, out); }, question, keep, notifier, outcome);
        bool goOn = fetched.goOn;
        display.LetEventsRun();

        if (fetched.received) {
            const ReplyTargets targets{quoteBase, setup.DataDir / (quoteBase + ".txt"),
                                       HistoryPriceFile(priceDir, entry)};
            const StoredReply stored = StoreTemplateReply(*replies, reply->Path(), targets, setup);
            if (stored.stored) {
                ++outcome.stored;
                outcome.fetched.push_back(entry + item);
            } else if (stored.writeFailed) {
                ++outcome.failed;
                notifier.Warning(stored.problem + " " + stored.target.string() + " was left as it was.");
            } else {
                ++outcome.failed;
                const std::string left = stored.target.empty()
                                             ? ""
                                             : " " + stored.target.string() + " was left as it was.";
                goOn = notifier.AskYesNo(
                    question(stored.problem + left + (stored.layout == ReplyLayout::Empty ? "" : keep())));
            }
        }
        reply.reset();
        if (!goOn || outcome.stopped) {
            SkipTheRest(selection, outcome.stopped && !fetched.received ? i : i + 1, item, outcome);
            outcome.stopped = true;
            break;
        }
    }
    display.End();
    return outcome;
}

}  // namespace kestrava
