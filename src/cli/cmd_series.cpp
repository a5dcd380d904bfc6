// dump and save: the ".ops" series file to JSON and back.

#include <algorithm>
#include <cstdio>
#include <exception>
#include <stdexcept>
#include <string>
#include <vector>

#include "cli/command.h"
#include "cli/seriesjson.h"
#include "common/notifier.h"
#include "pricing/seriesfile.h"

namespace kestrava::cli {
namespace {

void RequireFileArguments(const std::vector<std::string>& args, std::size_t count)
{
    for (const std::string& arg : args)
        if (arg.size() > 1 && arg[0] == '-')
            throw UsageError("unknown option \"" + arg + "\"");
    if (args.size() != count)
        throw UsageError("expects " + std::to_string(count) + (count == 1 ? " file" : " files") + ", got "
                         + std::to_string(args.size()));
}

// "Invalid property value" alone does not say which file it is about.
[[noreturn]] void RethrowNamingFile(const std::string& path, const std::exception& e)
{
    const std::string text = e.what();
    if (text.find("\"" + path + "\"") != std::string::npos)
        throw;
    throw std::runtime_error("\"" + path + "\": " + text);
}

int RunDump(const std::vector<std::string>& args)
{
    RequireFileArguments(args, 1);
    std::vector<TInOutObj> series;
    StderrNotifier notifier;
    bool complete = false;
    try {
        complete = LoadSeriesFile(args[0], series, notifier);
    } catch (const SeriesFileError& e) {
        // Not a series at all, or cut off between records: exit 2 in main.
        RethrowNamingFile(args[0], e);
    }
    std::fputs(SeriesToJson(series).c_str(), stdout);
    return complete ? kExitOk : kExitFailed;
}

int RunSave(const std::vector<std::string>& given)
{
    std::vector<std::string> args = given;
    const auto force = std::find(args.begin(), args.end(), "--force");
    const bool replaceReadOnly = force != args.end();
    if (replaceReadOnly)
        args.erase(force);
    RequireFileArguments(args, 2);
    std::vector<TInOutObj> series;
    try {
        series = ReadSeriesJsonFile(args[0]);
    } catch (const std::runtime_error& e) {
        RethrowNamingFile(args[0], e);
    }
    try {
        SaveSeriesFile(args[1], series, replaceReadOnly);
    } catch (const SeriesReadOnlyError& e) {
        throw SeriesFileError(std::string(e.what()) + " Nothing was written; --force replaces it.");
    }
    return kExitOk;
}

const CommandRegistration dumpCommand({
    "dump",
    "dump SERIES.ops",
    "print a series file as JSON",
    "Usage: kestrava-calc dump SERIES.ops\n"
    "\n"
    "Prints the series file as JSON on standard output: an array with one\n"
    "object per expiry, in file order. The keys are the fields of the file:\n"
    "ContractType, Model, Steps, ExpiryMonth, NumStrikes, ReservedInt,\n"
    "SigmaDays, Dividend, Rate, Underlying, Sigma, PriceDate, TodayDate,\n"
    "ExpiryDate, DivDate, SourceFileType, OptSymbol, SourceFile, OptContract,\n"
    "and the per-strike tables Strike, Last, NetChange and ReservedValue as\n"
    "arrays of NumStrikes [call, put] pairs.\n"
    "\n"
    "Floats carry nine significant digits, which give back the file's\n"
    "single-precision values; rates and volatilities are fractions (0.05 is 5%).\n"
    "Dates are day numbers counted from 30 December 1899, 0 for no date.\n"
    "Texts are converted from the Windows-1252 code page to UTF-8.\n"
    "\n"
    "Exit status: 0 the whole file was read; 1 a damaged record stopped the\n"
    "reading (the expiries before it are printed, the message goes to standard\n"
    "error); 2 the file cannot be opened or is not a series file.\n",
    RunDump,
});

const CommandRegistration saveCommand({
    "save",
    "save SERIES.json OUT.ops [--force]",
    "write a series file from its JSON form",
    "Usage: kestrava-calc save SERIES.json OUT.ops [--force]\n"
    "\n"
    "Reads a series in the JSON form that \"dump\" prints and writes it as a\n"
    "series file. Every key that dump prints is needed; NumStrikes is 0 to 20\n"
    "and every per-strike table holds exactly NumStrikes [call, put] pairs.\n"
    "Optional Bid and Ask tables are checked the same way; a series file does\n"
    "not hold them. Texts are stored in the Windows-1252 code page; characters\n"
    "it lacks become \"?\".\n"
    "\n"
    "The file is written beside OUT.ops under a temporary name and then\n"
    "renamed, so a failed save leaves an existing OUT.ops as it was. An OUT.ops\n"
    "that is read-only is refused unless --force is given; it then stays\n"
    "read-only. When OUT.ops is a symbolic link to a file of yours, that file\n"
    "is replaced (in its own folder) and the link stays; any other link is\n"
    "refused.\n"
    "\n"
    "Exit status: 0 written; 2 bad JSON, a missing or bad field (the message\n"
    "names the expiry and the field) or a file that cannot be read or\n"
    "written. Nothing is written on exit 2.\n",
    RunSave,
});

}  // namespace
}  // namespace kestrava::cli
