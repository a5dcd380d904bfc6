#include "downloadcore/ReplyFetch.h"

#include <algorithm>
#include <functional>
#include <optional>
#include <stdexcept>
#include <system_error>

#include "common/filesymbol.h"
#include "common/notifier.h"
#include "downloadcore/HTTPer.h"
#include "downloadcore/ReplyFiles.h"
#include "marketdata/RejectedFiles.h"

namespace kestrava {
namespace {

enum class SymbolStep { Fetch, Skip, Stop };

// Before each symbol of a run: lets events run, then Stop when the user has
// stopped the run, Skip an empty entry or one whose file name fileBase
// would leave its folder (said and counted as refused), else Fetch.
SymbolStep BeforeSymbol(const std::string& entry, const std::string& fileBase, HTTPer& http,
                        Notifier& notifier, DownloadDisplay& display, DownloadOutcome& outcome)
{
    display.LetEventsRun();
    if (http.Aborted()) {
        outcome.stopped = true;
        return SymbolStep::Stop;
    }
    if (entry.empty())
        return SymbolStep::Skip;
    if (!IsUsableAsFileName(fileBase)) {
        notifier.Info(RefusedSymbolMessage(entry));
        ++outcome.refused;
        return SymbolStep::Skip;
    }
    return SymbolStep::Fetch;
}

struct FetchResult {
    bool received = false;  // the whole reply is in its file
    bool goOn = true;       // the user wants the remaining symbols
};

// Runs fetch into reply. A stop marks the outcome stopped. A network failure
// is counted; what arrived of the reply is kept by keep (which returns the
// text that says where) and question(the reason and that text) asks whether
// to go on. Any other failure, the file's own included, is counted and
// shown.
FetchResult FetchReply(ReplyFile& reply, const std::function<void(std::ostream&)>& fetch,
                       const std::function<std::string(const std::string&)>& question,
                       const std::function<std::string()>& keep, Notifier& notifier, DownloadOutcome& outcome)
{
    FetchResult result;
    try {
        fetch(reply.Stream());
        reply.Close();
        result.received = true;
    } catch (const HttpAbort&) {
        outcome.stopped = true;
    } catch (const HttpTooLarge& error) {
        // Megabytes of what no reply is are not worth keeping.
        ++outcome.failed;
        result.goOn = notifier.AskYesNo(question(error.what()));
    } catch (const HttpNetworkError& error) {
        ++outcome.failed;
        std::string reason = error.what();
        try {
            reply.Close();
        } catch (const std::exception&) {
        }
        std::error_code sizeError;
        const auto size = std::filesystem::file_size(reply.Path(), sizeError);
        if (!sizeError && size > 0) {
            if (!reason.ends_with('.'))
                reason += '.';
            reason += keep();
        }
        result.goOn = notifier.AskYesNo(question(reason));
    } catch (const std::exception& error) {
        ++outcome.failed;
        notifier.Warning(error.what());
    }
    return result;
}

// A stopped run's selection from `from` on, as the entries it did not fetch
// ("OEX quotes"); empty entries are left out.
void SkipTheRest(const std::vector<std::string>& selection, std::size_t from, const std::string& kind,
                 DownloadOutcome& outcome)
{
    for (std::size_t i = from; i < selection.size(); ++i)
        if (!selection[i].empty())
            outcome.skipped.push_back(selection[i] + kind);
}

}  // namespace

DownloadOutcome DownloadEachSymbol(SymbolSource& source, const ServerAddress& server,
                                   const DownloadSetup& setup, const std::vector<std::string>& selection,
                                   HTTPer& http, Notifier& notifier, DownloadDisplay& display)
{
    DownloadOutcome outcome;
    std::optional<ReplyFolder> replies;
    if (!StartDownload(server, setup.TempDir, notifier, replies)) {
        outcome.failed = static_cast<int>(selection.size());
        return outcome;
    }
    display.Begin();
    std::vector<KeptReply> kept;
    for (std::size_t i = 0; i < selection.size(); ++i) {
        const std::string& entry = selection[i];
        const std::string base = source.FileBase(entry);
        const SymbolStep step = BeforeSymbol(entry, base, http, notifier, display, outcome);
        if (step == SymbolStep::Stop) {
            SkipTheRest(selection, i, source.item, outcome);
            break;
        }
        if (step == SymbolStep::Skip)
            continue;
        const std::string name = base + source.extension;
        display.ShowTicker(source.ticker + entry);
        // The same symbol twice: the later reply is the one kept. The earlier
        // goes first, as its file takes the later one's name.
        std::erase_if(kept, [&](const KeptReply& earlier) { return earlier.name == name; });
        std::unique_ptr<ReplyFile> reply;
        try {
            reply = std::make_unique<ReplyFile>(*replies, name);
        } catch (const std::exception& error) {
            ++outcome.failed;
            notifier.Warning(error.what());
            continue;
        }
        const auto keep = [&] {
            return RejectedKeepText(CopyToRejected(reply->Path(), setup.DataDir, name), "The reply");
        };
        const auto question = [&](const std::string& reason) { return source.Question(entry, reason); };
        const FetchResult fetched = FetchReply(
            *reply, [&](std::ostream& out) { source.Fetch(entry, out); }, question, keep, notifier, outcome);
        bool goOn = fetched.goOn;
        display.LetEventsRun();

        // Only a whole reply that passed the source's check replaces a file:
        // anything else leaves the older file as it was.
        if (fetched.received) {
            const ReplyVerdict verdict = source.Take(entry, reply->Path(), *replies);
            switch (verdict.kind) {
            case ReplyVerdict::Kind::Stored:
                ++outcome.stored;
                outcome.fetched.push_back(entry + source.item);
                break;
            case ReplyVerdict::Kind::Kept:
                outcome.fetched.push_back(entry + source.item);
                kept.push_back({name, std::move(reply)});
                break;
            case ReplyVerdict::Kind::WriteFailed:
                ++outcome.failed;
                notifier.Warning(verdict.text);
                break;
            case ReplyVerdict::Kind::Refused:
                ++outcome.failed;
                goOn = notifier.AskYesNo(question(verdict.text + (verdict.keepReply ? keep() : "")));
                break;
            }
        }
        reply.reset();
        if (!goOn || outcome.stopped) {
            // A reply broken off by the stop was not fetched; one that failed
            // has been reported.
            SkipTheRest(selection, outcome.stopped && !fetched.received ? i : i + 1, source.item, outcome);
            outcome.stopped = true;
            break;
        }
    }
    source.Finish(kept, *replies, outcome);
    display.End();
    return outcome;
}

}  // namespace kestrava
