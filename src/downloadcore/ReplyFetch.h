#pragma once
// The loop every download runs over its symbols, written once for the option
// quotes, the daily history and the downloads by template. For each entry of
// the selection it lets events run and takes a stop, refuses a symbol that
// cannot be a file name, fetches the reply into a file of its own, has the
// source check the whole reply and store it, counts what failed, asks after
// a failure whether to try the remaining symbols, and lists what a stopped
// run did not fetch. A source says only what differs: the requests for a
// symbol, the check of its reply and where the reply goes.

#include <filesystem>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "downloadcore/Downloads.h"

namespace kestrava {

class HTTPer;
class Notifier;
class ReplyFile;
class ReplyFolder;
struct ServerAddress;

// What came of a whole reply a source was given.
struct ReplyVerdict {
    enum class Kind {
        Stored,       // it replaced the symbol's file
        Kept,         // the source keeps it for Finish: fetched, not stored yet
        Refused,      // it is no reply of this kind (text says why): the user is asked whether to go on
        WriteFailed,  // its file could not be written (text says so and what was left)
    };
    Kind kind = Kind::Stored;
    std::string text;
    bool keepReply = false;  // Refused: the reply is kept in "Rejected", which the question then says
};

// A reply a source keeps for Finish, under its file name.
struct KeptReply {
    std::string name;
    std::unique_ptr<ReplyFile> file;
};

// One download source: what the loop needs to know of it.
class SymbolSource {
public:
    // item names an entry in the report of a stopped run (kQuotesItem), a
    // reply's file is the entry's FileBase with extension, and ticker
    // followed by the entry is shown while it is fetched.
    SymbolSource(std::string item, std::string extension, std::string ticker)
        : item(std::move(item)), extension(std::move(extension)), ticker(std::move(ticker))
    {
    }
    virtual ~SymbolSource() = default;
    SymbolSource(const SymbolSource&) = delete;
    SymbolSource& operator=(const SymbolSource&) = delete;

    const std::string item;
    const std::string extension;
    const std::string ticker;

    // The entry's file name without extension; a name that would leave its
    // folder is refused.
    virtual std::string FileBase(const std::string& entry) const = 0;
    // Sends the entry's requests, the reply into out; throws as HTTPer does.
    virtual void Fetch(const std::string& entry, std::ostream& out) = 0;
    // The question after the entry failed for reason: try the rest?
    virtual std::string Question(const std::string& entry, const std::string& reason) const = 0;
    // Checks a reply that came whole and stores it (or keeps it for Finish).
    virtual ReplyVerdict Take(const std::string& entry, const std::filesystem::path& reply,
                              const ReplyFolder& replies) = 0;
    // After the last symbol, while the replies still exist: the kept ones,
    // the later of two with the same name alone.
    virtual void Finish(const std::vector<KeptReply>& /*kept*/, const ReplyFolder& /*replies*/,
                        DownloadOutcome& /*outcome*/)
    {
    }
};

// Runs source for every entry of selection, in order, from server (whose
// problem is told when it is none) with the replies in a folder of their own
// in setup.TempDir. A reply refused is kept in setup.DataDir's "Rejected".
DownloadOutcome DownloadEachSymbol(SymbolSource& source, const ServerAddress& server,
                                   const DownloadSetup& setup, const std::vector<std::string>& selection,
                                   HTTPer& http, Notifier& notifier, DownloadDisplay& display);

}  // namespace kestrava
