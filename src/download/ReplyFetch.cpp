#include "download/ReplyFetch.h"

#include <fstream>
#include <stdexcept>

#include "common/filesymbol.h"
#include "common/notifier.h"
#include "download/HTTPer.h"

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

FetchResult FetchReply(const std::filesystem::path& reply, const std::function<void(std::ostream&)>& fetch,
                       const std::function<std::string(const std::string&)>& question, Notifier& notifier,
                       DownloadOutcome& outcome)
{
    FetchResult result;
    try {
        std::ofstream out(reply, std::ios::binary | std::ios::trunc);
        if (!out)
            throw std::runtime_error("Cannot create " + reply.string() + ".");
        fetch(out);
        out.close();
        if (!out)
            throw std::runtime_error("Cannot write " + reply.string() + ".");
        result.received = true;
    } catch (const HttpAbort&) {
        outcome.stopped = true;
    } catch (const HttpNetworkError& error) {
        ++outcome.failed;
        result.goOn = notifier.AskYesNo(question(error.what()));
    } catch (const std::exception& error) {
        ++outcome.failed;
        notifier.Warning(error.what());
    }
    return result;
}

}  // namespace kestrava
