// import-history: a daily history file of the user's into the program's price
// file of a symbol, as File > Import price history... does.

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include <QDate>

#include "cli/arguments.h"
#include "cli/command.h"
#include "cli/localeoptions.h"
#include "cli/programfiles.h"
#include "common/filesymbol.h"
#include "common/notifier.h"
#include "downloadcore/HistoryConvert.h"

namespace kestrava::cli {
namespace {

int RunImportHistory(const std::vector<std::string>& args)
{
    std::vector<std::string> rest = args;
    const bool dateFormatGiven = std::any_of(
        rest.begin(), rest.end(), [](const std::string& arg) { return arg.rfind("--date-format", 0) == 0; });
    const LocaleInfo locale = TakeLocaleOptions(rest);
    for (const std::string& arg : rest)
        if (arg.rfind("--", 0) == 0)
            throw UsageError("unknown argument \"" + arg + "\"");
    if (rest.size() != 2)
        throw UsageError("needs the history FILE and the SYMBOL whose price file it becomes");
    const std::filesystem::path file = rest[0];
    const std::string& symbol = rest[1];

    StderrNotifier messages;
    const std::optional<ProgramFiles> files = OpenProgramFiles(locale, messages);
    if (!files)
        return kExitError;
    const std::filesystem::path priceFile = HistoryPriceFile(PriceFolder(*files), symbol);
    if (priceFile.empty())
        throw UsageError(RefusedSymbolMessage(symbol));
    const QDate today = QDate::currentDate();
    const HistoryConversion imported = ImportHistory(
        file, priceFile, dateFormatGiven ? locale : ProgramLocale(locale, files->settings.DateFormat),
        ToPath(files->folders.TempDir), EncodeDate(today.year(), today.month(), today.day()));
    messages.Info(ImportReport(imported, file, priceFile));
    if (!imported.stored)
        return kExitFailed;
    PrintValue("PriceFile", priceFile.string());
    PrintValue("Days", std::to_string(imported.days));
    PrintValue("Layout", imported.layout);
    return kExitOk;
}

const CommandRegistration importHistoryCommand({
    "import-history",
    "import-history FILE SYMBOL",
    "make a daily history file the price file of a symbol",
    std::string("Usage: kestrava-calc import-history FILE SYMBOL [locale options]\n"
                "\n"
                "Reads the daily price history FILE whole and writes it as the price file\n"
                "of SYMBOL (SYMBOL.csv, its first \":\" made a \"-\") in the price-file\n"
                "folder, the setting Dirs/AsciiDataDir, else the data folder, as\n"
                "File > Import price history... does. The price file is written in the\n"
                "program's own layout: Date,Open,High,Low,Close,Volume, newest day first,\n"
                "dates as the setting Servers/DateFormat (else the locale, or\n"
                "--date-format) writes them.\n"
                "\n"
                "FILE needs a title line naming its columns, in any order and letter case:\n"
                "Date, Open, High, Low, Close and Volume; Adj Close and other columns are\n"
                "left aside. Dates are written yyyy-mm-dd or m/d/yyyy, newest or oldest\n"
                "day first; volumes are whole, or decimals ending in zeros (4006500.0).\n"
                "Every day must have prices above 0, its high not below its low, a day\n"
                "of its own from 1900 to today. Anything else refuses the whole file and\n"
                "says which line and why; an older price file is replaced only by one\n"
                "that was read whole and read back.\n"
                "\n"
                "Prints PriceFile, Days (the days written) and Layout (how FILE was read)\n"
                "as key=value lines, and on standard error what was done.\n"
                "\n")
        + kLocaleOptionsHelp
        + "\nExit status: 0 the price file was written; 1 FILE was refused or the\n"
          "price file could not be written (the older one is kept); 2 bad usage or\n"
          "a folder that cannot be made.\n",
    RunImportHistory,
});

}  // namespace
}  // namespace kestrava::cli
