#include "downloadcore/ReplyLayouts.h"

#include <cstdio>
#include <optional>
#include <system_error>
#include <vector>

#include "common/fileaccess.h"
#include "common/filestream.h"
#include "common/uniquefile.h"
#include "downloadcore/HistoryConvert.h"
#include "downloadcore/HTTPer.h"
#include "downloadcore/ReplyFiles.h"
#include "marketdata/DelayedQuotesCsv.h"
#include "marketdata/DelayedQuotesJson.h"
#include "marketdata/HistoryReader.h"
#include "marketdata/JsonReader.h"
#include "marketdata/OptPriceReader.h"

namespace kestrava {
namespace {

namespace fs = std::filesystem;

// The bytes of a reply's start that tell its layout.
constexpr std::size_t kHeadBytes = 16 << 10;
// Lines a history may hold before its title (remarks of the service).
constexpr std::size_t kLinesBeforeTitle = 20;

std::string Head(const fs::path& file)
{
    std::string reason;
    const UniqueFile in(OpenRegularFile(file, reason));
    if (!in)
        return {};
    std::string head(kHeadBytes, '\0');
    head.resize(std::fread(head.data(), 1, head.size(), in.get()));
    return head;
}

std::vector<std::string_view> HeadLines(std::string_view head)
{
    std::vector<std::string_view> lines;
    while (!head.empty() && lines.size() < kLinesBeforeTitle) {
        const std::size_t end = head.find('\n');
        std::string_view line = head.substr(0, end);
        if (line.ends_with('\r'))
            line.remove_suffix(1);
        lines.push_back(line);
        if (end == std::string_view::npos)
            break;
        head.remove_prefix(end + 1);
    }
    return lines;
}

std::string Ended(const std::string& text)
{
    return text.ends_with('.') ? text : text + ".";
}

// A quote reply or the CSV made of it, read whole, put over the quote file.
void StoreQuoteFile(const fs::path& file, const std::string& problem, const fs::path& quoteFile,
                    StoredReply& result)
{
    if (!problem.empty()) {
        result.problem = problem;
        return;
    }
    if (const std::string failure = ReplaceWithCopy(file, quoteFile); !failure.empty()) {
        result.problem = failure;
        result.writeFailed = true;
        return;
    }
    result.stored = true;
}

void StoreJson(const ReplyFolder& replies, const fs::path& reply, const ReplyTargets& targets,
               StoredReply& result)
{
    std::string bytes;
    std::string reason;
    if (!ReadRegularFile(reply, bytes, static_cast<std::uintmax_t>(kMaxReplyBytes), reason)) {
        result.problem = "Cannot read the reply: " + reason;
        return;
    }
    QuoteJsonCsv csv;
    try {
        csv = DelayedQuotesJsonToCsv(ParseJson(bytes), targets.symbol);
    } catch (const JsonError& error) {
        result.problem = std::string("the reply is no whole JSON document: ") + error.what();
        return;
    } catch (const QuoteJsonError& error) {
        result.problem = std::string("the reply's JSON is no delayed-quotes chain: ") + error.what();
        return;
    }
    bytes.clear();
    std::optional<ReplyFile> converted;
    try {
        converted.emplace(replies, targets.quoteFile.stem().string() + ".converted.csv");
        converted->Stream() << csv.text;
        converted->Close();
    } catch (const std::exception& error) {
        result.problem = error.what();
        result.writeFailed = true;
        return;
    }
    StoreQuoteFile(converted->Path(),
                   DelayedQuotesProblem(converted->Path().string(), "the CSV made of the reply"),
                   targets.quoteFile, result);
}

}  // namespace

const char* ReplyLayoutName(ReplyLayout layout)
{
    switch (layout) {
    case ReplyLayout::Empty:
        return "an empty reply";
    case ReplyLayout::DelayedQuotesJson:
        return "the delayed-quotes JSON";
    case ReplyLayout::DelayedQuotesCsv:
        return "the delayed-quotes CSV";
    case ReplyLayout::QuoteTable:
        return "a quote table";
    case ReplyLayout::History:
        return "a daily history";
    case ReplyLayout::Unknown:
        break;
    }
    return "no layout a URL template may bring";
}

ReplyLayout ReplyLayoutOf(const fs::path& reply)
{
    const std::string head = Head(reply);
    if (head.empty())
        return ReplyLayout::Empty;
    if (StartsJsonObject(head))
        return ReplyLayout::DelayedQuotesJson;
    const std::vector<std::string_view> lines = HeadLines(head);
    if (lines.size() > 1 && QuoteLayoutOf(lines[0], lines[1]) == QuoteLayout::DelayedQuotesCsv)
        return ReplyLayout::DelayedQuotesCsv;
    for (const std::string_view line : lines)
        if (ReadHistoryTitle(line).has_value())
            return ReplyLayout::History;
    if (StartsAQuoteTable(lines.front()))
        return ReplyLayout::QuoteTable;
    return ReplyLayout::Unknown;
}

StoredReply StoreTemplateReply(const ReplyFolder& replies, const fs::path& reply, const ReplyTargets& targets,
                               const DownloadSetup& setup)
{
    StoredReply result;
    result.layout = ReplyLayoutOf(reply);
    result.target = result.layout == ReplyLayout::History ? targets.priceFile : targets.quoteFile;
    const bool cut = result.layout != ReplyLayout::DelayedQuotesJson && result.layout != ReplyLayout::Empty
                     && !EndsWithLineEnd(reply);
    switch (result.layout) {
    case ReplyLayout::Empty:
        result.problem = "the reply was empty";
        break;
    case ReplyLayout::Unknown: {
        const std::string head = Head(reply);
        const std::size_t first = head.find_first_not_of(" \t\r\n");
        result.problem = first != std::string::npos && head[first] == '<'
                             ? "the reply is a web page, not quotes or a daily history"
                             : "the reply is none of the layouts a URL template may bring (the "
                               "delayed-quotes CSV or JSON, a daily history, a quote table)";
        break;
    }
    case ReplyLayout::DelayedQuotesJson:
        StoreJson(replies, reply, targets, result);
        break;
    case ReplyLayout::DelayedQuotesCsv:
        StoreQuoteFile(reply,
                       cut ? "the reply ends in the middle of a line: it was cut short"
                           : DelayedQuotesProblem(reply.string(), "the reply"),
                       targets.quoteFile, result);
        break;
    case ReplyLayout::QuoteTable:
        StoreQuoteFile(reply,
                       cut ? "the reply ends in the middle of a line: it was cut short"
                           : QuoteTableProblem(reply.string(), "the reply"),
                       targets.quoteFile, result);
        break;
    case ReplyLayout::History: {
        if (targets.priceFile.empty()) {
            result.problem = "the symbol cannot name a price file";
            break;
        }
        const HistoryConversion converted = ConvertHistory(reply, targets.priceFile, setup.Locale,
                                                           replies.Path(), setup.Today);
        result.stored = converted.stored;
        result.problem = converted.problem;
        result.writeFailed = converted.writeFailed;
        break;
    }
    }
    if (!result.problem.empty())
        result.problem = Ended(result.problem);
    return result;
}

}  // namespace kestrava
