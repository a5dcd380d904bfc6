// convert, hv, roots and quotes: the market data readers from the command line.

#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "cli/arguments.h"
#include "cli/command.h"
#include "cli/convertedprices.h"
#include "cli/localeoptions.h"
#include "common/dates.h"
#include "common/localeparse.h"
#include "common/notifier.h"
#include "common/numtext.h"
#include "marketdata/OptPriceReader.h"
#include "marketdata/PriceFileReader.h"
#include "marketdata/PriceWorkFile.h"
#include "marketdata/SigmaObj.h"

namespace kestrava::cli {
namespace {

// The page's messages, shown where the windows would show them.
const char* const kNoOptionData = "No CBOE option data available.";

std::string DateText(TDateTime date)
{
    return date == 0 ? std::string() : IsoDate(date);
}

std::string BaseName(const std::string& path)
{
    return std::filesystem::path(path).filename().string();
}

void PrintRecords(const std::string& workFile, std::int64_t count)
{
    std::printf("date,high,low,close,volume\n");
    PriceWorkFileReader reader(workFile);
    count = std::min(count, reader.Count());
    std::vector<TPriceRecord> block;
    constexpr std::int64_t kBlock = 4096;
    for (std::int64_t first = 0; first < count; first += kBlock) {
        block.clear();
        reader.Read(first, std::min(kBlock, count - first), block);
        for (const TPriceRecord& r : block)
            std::printf("%s,%s,%s,%s,%s\n", IsoDate(r.Date).c_str(), FormatSig9(r.High).c_str(),
                        FormatSig9(r.Low).c_str(), FormatSig9(r.Close).c_str(), FormatSig9(r.Volume).c_str());
    }
}

int RunConvert(const std::vector<std::string>& args)
{
    const Arguments parsed = ParseArguments(args, {}, {"--records"}, "PRICEFILE");
    StderrNotifier notifier;
    SeedWorkFileCounter();
    TAsciiFileReader reader(notifier, parsed.locale);
    reader.Open(parsed.file);
    PrintValue("DataFileName", reader.DataFileName);
    PrintValue("RecordCount", std::to_string(reader.RecordCount));
    PrintValue("ValueColumns", std::to_string(reader.ValueColumns));
    PrintValue("HeaderLines", std::to_string(reader.HeaderLines));
    PrintValue("SeparatedDates", reader.SeparatedDates ? "true" : "false");
    PrintValue("Symbol", reader.Symbol);
    PrintValue("ColumnsByName", reader.ColumnsByName ? "true" : "false");
    if (reader.RecordCount == 0 || reader.DataFileName.empty()) {
        // The reader says nothing when no line reads as data; the windows
        // say this after every file they cannot use.
        notifier.Info(kCantDigestSource + BaseName(parsed.file));
        return kExitFailed;
    }
    if (parsed.Flag("--records"))
        PrintRecords(reader.DataFileName, reader.RecordCount);
    return kExitOk;
}

int RunHv(const std::vector<std::string>& args)
{
    const Arguments parsed = ParseArguments(args, {"--days"}, {}, "PRICEFILE");
    std::int32_t days = 90;
    if (const auto text = parsed.Option("--days")) {
        if (!TryParseInt32(*text, days) || days < 0)
            throw UsageError("--days takes a whole number of days, got \"" + *text + "\"");
    }
    StderrNotifier notifier;
    ConvertedPrices prices(parsed.file, notifier, parsed.locale);
    if (!prices.Usable())
        return kExitFailed;
    TSigmaObj sigma(notifier);
    sigma.FileName = prices.reader.DataFileName;
    sigma.Days = days;
    sigma.Calculate();
    PrintValue("Sigma", FormatSig9(sigma.Sigma));
    PrintValue("Days", std::to_string(sigma.Days));
    PrintValue("LastClose", FormatSig9(sigma.LastClose));
    PrintValue("LastDate", DateText(sigma.LastDate));
    return sigma.Sigma > 0 ? kExitOk : kExitFailed;
}

int RunRoots(const std::vector<std::string>& args)
{
    const Arguments parsed = ParseArguments(args, {}, {}, "QUOTEFILE");
    StderrNotifier notifier;
    TCboePriceReader reader(notifier, parsed.locale);
    reader.FileName = parsed.file;
    reader.ListRoots();
    for (const std::string& root : reader.Roots)
        std::printf("%s\n", root.c_str());
    return reader.Roots.empty() ? kExitFailed : kExitOk;
}

std::vector<float> ParseStrikes(const std::string& text)
{
    std::vector<std::string_view> fields;
    SplitFields(text, ',', fields);
    if (fields.empty() || fields.size() > static_cast<std::size_t>(kQuoteStrikes))
        throw UsageError("--strikes takes 1 to " + std::to_string(kQuoteStrikes)
                         + " strikes separated by commas, got \"" + text + "\"");
    std::vector<float> strikes;
    for (std::string_view field : fields) {
        float strike = 0;
        if (!TryParseSingle(field, '.', strike) || strike <= 0)
            throw UsageError("--strikes: \"" + std::string(field) + "\" is not a positive number");
        strikes.push_back(strike);
    }
    return strikes;
}

int RunQuotes(const std::vector<std::string>& args)
{
    const Arguments parsed = ParseArguments(args, {"--contract", "--expiry", "--strikes"}, {}, "QUOTEFILE");
    const auto contract = parsed.Option("--contract");
    const auto expiryText = parsed.Option("--expiry");
    const auto strikesText = parsed.Option("--strikes");
    if (!contract || contract->empty() || !expiryText || !strikesText)
        throw UsageError("needs --contract, --expiry and --strikes");
    const TDateTime expiry = IsoDateValue("--expiry", *expiryText);
    const std::vector<float> strikes = ParseStrikes(*strikesText);

    StderrNotifier notifier;
    TCboePriceReader reader(notifier, parsed.locale);
    PrepareQuoteLoad(reader, DecodeDate(expiry).month, expiry, *contract, strikes);
    reader.FileName = parsed.file;
    if (!reader.LoadQuotes()) {
        notifier.Info(kNoOptionData);
        return kExitFailed;
    }
    PrintValue("UnderlyingSymbol", reader.UnderlyingSymbol);
    PrintValue("UnderlyingLast", FormatSig9(reader.UnderlyingLast));
    PrintValue("UnderlyingNet", reader.UnderlyingNet);
    PrintValue("QuoteDate", DateText(reader.QuoteDate));
    PrintValue("QuoteTime", reader.QuoteTime);
    // A quote table's lines stay as they always were.
    if (reader.Layout != QuoteLayout::QuoteTable)
        PrintValue("Layout", QuoteLayoutName(reader.Layout));
    std::printf("strike,side,last,net,bid,ask,code\n");
    for (int s = 1; s <= reader.StrikeCount; ++s) {
        for (int k = 1; k <= 2; ++k) {
            std::string code = reader.OptCode(s, k);
            if (!code.empty() && code.front() == '\r')
                code.erase(0, 1);
            std::printf("%s,%s,%s,%s,%s,%s,%s\n", FormatSig9(strikes[s - 1]).c_str(), k == 1 ? "call" : "put",
                        FormatSig9(reader.Last(s, k)).c_str(), FormatSig9(reader.NetChange(s, k)).c_str(),
                        FormatSig9(reader.Bid(s, k)).c_str(), FormatSig9(reader.Ask(s, k)).c_str(),
                        code.c_str());
        }
    }
    return kExitOk;
}

std::string Help(const char* body)
{
    return std::string(body) + "\n" + kLocaleOptionsHelp;
}

const CommandRegistration convertCommand({
    "convert",
    "convert PRICEFILE [--records]",
    "convert a daily price text file into a price work file",
    Help("Usage: kestrava-calc convert PRICEFILE [--records] [locale options]\n"
         "\n"
         "Reads a comma-separated daily price file (a date, then 1 to 6 values per\n"
         "line; title lines before the first data line are skipped), writes the\n"
         "price work file into the temporary directory and prints key=value lines:\n"
         "DataFileName, RecordCount, ValueColumns, HeaderLines, SeparatedDates\n"
         "(true/false), Symbol and ColumnsByName (true/false). The work file is\n"
         "left in place.\n"
         "\n"
         "A title line naming the columns (Date and Close at least, any order and\n"
         "letter case) has the high, low, close and volume taken by name, Adj Close\n"
         "never; without one the count of values decides (1: close; 2: close,\n"
         "volume; 3: high, low, close; 4: and volume; 5 or 6: open, high, low,\n"
         "close, volume). Dates are either in the locale's short date format or\n"
         "numbers written yyyymmdd, yymmdd or ymmdd. Numbers use the locale's\n"
         "decimal separator.\n"
         "\n"
         "  --records   then print date,high,low,close,volume and one row per\n"
         "              record, oldest first (dates yyyy-mm-dd, values with nine\n"
         "              significant digits, 0 for a value the file lacks).\n"
         "\n"
         "Exit status: 0 records were converted; 1 none (the reason goes to\n"
         "standard error); 2 bad usage or a file that cannot be read.\n"),
    RunConvert,
});

const CommandRegistration hvCommand({
    "hv",
    "hv PRICEFILE [--days N]",
    "historical volatility of a daily price file",
    Help("Usage: kestrava-calc hv PRICEFILE [--days N] [locale options]\n"
         "\n"
         "Converts the price file as \"convert\" does and computes the annualised\n"
         "historical volatility of its newest N closes (default 90, at most 401):\n"
         "the population standard deviation of the N - 1 daily log returns (the\n"
         "sum of their squared deviations divided by N - 1, their number), times\n"
         "the square root of 250 trading days. Prints Sigma (a fraction: 0.25 is\n"
         "25%), Days (the closes used), LastClose and LastDate (yyyy-mm-dd) as\n"
         "key=value lines. The work file is removed afterwards.\n"
         "\n"
         "Exit status: 0 Sigma is above 0; 1 no result (too few records, constant\n"
         "or non-positive closes, an unconvertible file); 2 bad usage or a file\n"
         "that cannot be read.\n"),
    RunHv,
});

const CommandRegistration rootsCommand({
    "roots",
    "roots QUOTEFILE",
    "list the option roots of an exchange quote file",
    Help("Usage: kestrava-calc roots QUOTEFILE [locale options]\n"
         "\n"
         "Prints the option roots (contract symbols) of an exchange quote table,\n"
         "sorted, one a line; a root quoted with an exchange suffix is listed as\n"
         "ROOT-X besides the plain root.\n"
         "\n"
         "Note: as in the windows, a quote file that proves unusable (empty, an\n"
         "HTML page, or a row that cannot be read) is reported on standard error\n"
         "and MOVED into the folder Rejected beside it.\n"
         "\n"
         "Exit status: 0 roots were found; 1 none.\n"),
    RunRoots,
});

const CommandRegistration quotesCommand({
    "quotes",
    "quotes QUOTEFILE --contract C --expiry D --strikes K,...",
    "match the quotes of one expiry to a series' strikes",
    Help("Usage: kestrava-calc quotes QUOTEFILE --contract ROOT[-X]\n"
         "                     --expiry yyyy-mm-dd --strikes K1,K2,... [locale options]\n"
         "\n"
         "Loads the quotes of one expiry and contract from an exchange quote table\n"
         "as an option page does: the rows must carry the expiry's month, the last\n"
         "two digits of its year, its day of month in the option symbol, the root\n"
         "and, for ROOT-X, the suffix -X (for ROOT, no suffix). Strikes (1 to 20,\n"
         "ascending, written with a decimal point) are matched in order.\n"
         "\n"
         "Prints UnderlyingSymbol, UnderlyingLast, UnderlyingNet, QuoteDate\n"
         "(yyyy-mm-dd), QuoteTime as key=value lines, then\n"
         "strike,side,last,net,bid,ask,code with a call and a put row per strike;\n"
         "a strike without a matching row shows zeros and an empty code. A side\n"
         "whose last, bid or ask is negative or above 1000000, or whose bid is\n"
         "above its ask, is set aside: it shows zeros, and standard error says how\n"
         "many quotes were set aside.\n"
         "\n"
         "A delayed-quotes CSV (the exchange's \"download CSV\" of today) is read\n"
         "too: ROOT is a root of its option codes (SPX, SPXW), without a suffix;\n"
         "an expiry before its quote date is left out and said on standard error;\n"
         "a Layout=delayed-quotes CSV line follows QuoteTime.\n"
         "\n"
         "The exchange writes its numbers with a decimal point whatever the locale;\n"
         "the locale options are taken as by the other commands.\n"
         "\n"
         "Exit status: 0 the quotes were loaded; 1 the file could not be read (the\n"
         "reason goes to standard error); 2 bad usage.\n"),
    RunQuotes,
});

}  // namespace
}  // namespace kestrava::cli
