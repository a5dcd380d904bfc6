#pragma once
// What a URL template's reply holds, told by its content and never by its
// name, and the reply made the file the program reads: today's
// delayed-quotes CSV as it came, the same service's JSON converted to that
// CSV, or the old quote table as it came, each replacing the symbol's quote
// file; a daily history converted into the symbol's price file
// (HistoryConvert.h). Each is first read whole by the reader that will use
// it; a reply that does not read leaves the older file as it was.

#include <filesystem>
#include <string>

#include "downloadcore/Downloads.h"

namespace kestrava {

class ReplyFolder;

enum class ReplyLayout { Empty, DelayedQuotesJson, DelayedQuotesCsv, QuoteTable, History, Unknown };

// "the delayed-quotes JSON", "a daily history", ...
const char* ReplyLayoutName(ReplyLayout layout);

// The layout the start of reply shows: a JSON object; an empty first line
// and "NAME,Last: ..." on the second; a title line naming a Date among the
// first lines; the start of a quote table; else Unknown.
ReplyLayout ReplyLayoutOf(const std::filesystem::path& reply);

struct ReplyTargets {
    std::string symbol;               // the underlying's name in a converted quote file
    std::filesystem::path quoteFile;  // SYMBOL.txt in the data folder
    std::filesystem::path priceFile;  // SYMBOL.csv in the price-file folder; empty: none may be written
};

struct StoredReply {
    bool stored = false;
    ReplyLayout layout = ReplyLayout::Unknown;
    std::filesystem::path target;  // the file replaced, or the one that would have been
    // Why nothing was stored: the reply's cause, or, with writeFailed, the
    // target's ("Cannot write PATH: ...").
    std::string problem;
    bool writeFailed = false;
};

// Stores reply (a whole reply in replies) by its layout. The converted quote
// file and the price reader's work file go into replies.
StoredReply StoreTemplateReply(const ReplyFolder& replies, const std::filesystem::path& reply,
                               const ReplyTargets& targets, const DownloadSetup& setup);

}  // namespace kestrava
