#include "download/ReplyFetch.h"

#include <filesystem>
#include <stdexcept>
#include <system_error>

#include "common/filesymbol.h"
#include "common/notifier.h"
#include "download/HTTPer.h"
#include "download/ReplyFiles.h"

namespace kestrava {

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

void SkipTheRest(const std::vector<std::string>& selection, std::size_t from, const std::string& kind,
                 DownloadOutcome& outcome)
{
    for (std::size_t i = from; i < selection.size(); ++i)
        if (!selection[i].empty())
            outcome.skipped.push_back(selection[i] + kind);
}

}  // namespace kestrava
