#pragma once
// One symbol's reply fetched into its file, for the option quotes and the
// daily history alike: a stop ends the run, a network failure asks whether
// to try the remaining symbols.

#include <functional>
#include <string>
#include <vector>

#include "download/Downloads.h"

namespace kestrava {

class HTTPer;
class Notifier;
class ReplyFile;

enum class SymbolStep { Fetch, Skip, Stop };

// Before each symbol of a run: lets events run, then Stop when the user has
// stopped the run, Skip an empty entry or one whose file name fileBase
// would leave its folder (said and counted as refused), else Fetch.
SymbolStep BeforeSymbol(const std::string& entry, const std::string& fileBase, HTTPer& http,
                        Notifier& notifier, DownloadDisplay& display, DownloadOutcome& outcome);

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
                       const std::function<std::string()>& keep, Notifier& notifier,
                       DownloadOutcome& outcome);

// A stopped run's selection from `from` on, as the entries it did not fetch
// ("OEX quotes"); empty entries are left out.
void SkipTheRest(const std::vector<std::string>& selection, std::size_t from, const std::string& kind,
                 DownloadOutcome& outcome);

}  // namespace kestrava
