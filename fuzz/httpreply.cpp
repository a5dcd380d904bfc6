// A server's raw reply as both downloads take it: the option quote download
// (a form POST, then the data GET, each reply this input) and the daily
// history download with its conversion.

#include <filesystem>

#include "downloadcore/Downloads.h"
#include "downloadcore/HTTPer.h"
#include "fuzz/FuzzSupport.h"
#include "fuzz/LoopbackReply.h"
#include "marketdata/OptPriceReader.h"

namespace kestrava::fuzz {
namespace {

namespace fs = std::filesystem;

const char* const kOldQuotes = "SPX (S&P 500),1290.59,+7.24,\r\nJan 24 2011 @ 14:03 ET,\r\nCalls,\r\n";
const char* const kOldPrices = "Date,Open,High,Low,Close,Volume\r\n1/3/2005,1,2,0.5,1.5,100\r\n";

}  // namespace

std::string RunHttpReply(Input input)
{
    LoopbackReply& server = LoopbackReply::Instance();
    server.SetReply(std::string(AsText(input)));

    const fs::path folder = FreshScratchFolder();
    DownloadSetup setup;
    setup.QuoteServer = server.BaseUrl();
    setup.HistoryServer = server.BaseUrl();
    setup.RequestTemplate = "__EVENTTARGET=&txtTicker=";
    setup.DataDir = folder / "data";
    setup.TempDir = folder / "temp";
    setup.PriceDir = folder / "prices";
    setup.Locale = kLayouts[0];
    setup.Today = EncodeDate(2011, 1, 24);
    // Every reply is at hand at once; a wait can only be a fault.
    setup.TimeoutMs = 500;
    for (const fs::path& made : {setup.DataDir, setup.TempDir, setup.PriceDir})
        fs::create_directory(made);
    const fs::path quoteFile = setup.DataDir / "SPX.txt";
    const fs::path priceFile = setup.PriceDir / "^GSPC.csv";
    WriteWholeFile(quoteFile, kOldQuotes);
    WriteWholeFile(priceFile, kOldPrices);

    DownloadChoice choice;
    choice.quotes = choice.history = true;
    choice.quoteSymbols = {"SPX"};
    choice.historySymbols = {"^GSPC"};
    HTTPer http;
    CountingNotifier notifier;
    DownloadDisplay display;
    const DownloadOutcome outcome = RunDownloads(http, setup, choice, notifier, display);

    if (notifier.blankMessage)
        return "a message without a text";
    if (outcome.stored + outcome.failed != 2)
        return "the downloads account for " + std::to_string(outcome.stored + outcome.failed) + " of 2 files";
    if (const std::string left = UnexpectedFiles(setup.DataDir, {quoteFile, setup.DataDir / "Rejected"});
        !left.empty())
        return "files left beside the quote file:" + left;
    if (const std::string left = UnexpectedFiles(setup.PriceDir, {priceFile}); !left.empty())
        return "files left beside the price file:" + left;
    // Refused replies are kept in the data folder's Rejected; no reply
    // outlives its download.
    if (const std::string left = UnexpectedFiles(setup.TempDir, {}); !left.empty())
        return "replies left behind:" + left;
    const std::string quotes = ReadWholeFile(quoteFile);
    if (quotes != kOldQuotes && !QuoteTableProblem(quoteFile.string()).empty())
        return "a reply that is no whole quote table replaced the quote file";
    if (outcome.failed == 2 && (quotes != kOldQuotes || !FileHolds(priceFile, kOldPrices)))
        return "failed downloads replaced a file";
    return {};
}

}  // namespace kestrava::fuzz
