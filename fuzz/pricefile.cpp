// A price text file as the setup dialog converts it, under each date
// layout, and the volatility the page then computes over the work file.

#include <cmath>
#include <filesystem>

#include "fuzz/FuzzSupport.h"
#include "marketdata/PriceFileReader.h"
#include "marketdata/SigmaObj.h"

namespace kestrava::fuzz {
namespace {

namespace fs = std::filesystem;

std::string CheckWorkFile(const TAsciiFileReader& reader, Notifier& notifier)
{
    const std::vector<TPriceRecord> records = ReadPriceRecords(reader.DataFileName);
    if (static_cast<std::int64_t>(records.size()) != reader.RecordCount)
        return "RecordCount " + std::to_string(reader.RecordCount) + " for a work file of "
               + std::to_string(records.size()) + " records";
    if (records.front().Date > records.back().Date)
        return "the work file runs newest first";
    for (const std::int32_t days : {2, 90, TSigmaObj::kWindowSize}) {
        TSigmaObj sigma(notifier);
        sigma.FileName = reader.DataFileName;
        sigma.Days = days;
        sigma.Calculate();
        if (!(sigma.Sigma >= 0) || !std::isfinite(sigma.Sigma))
            return "volatility " + std::to_string(sigma.Sigma) + " over " + std::to_string(days) + " days";
    }
    return {};
}

}  // namespace

std::string RunPriceFile(Input input)
{
    const fs::path folder = FreshScratchFolder();
    const fs::path workFolder = folder / "work";
    fs::create_directory(workFolder);
    const fs::path source = folder / "SPX.csv";
    WriteWholeFile(source, AsText(input));

    for (const LocaleInfo& layout : kLayouts) {
        const std::string where = " (dates " + layout.shortDateFormat + ")";
        CountingNotifier notifier;
        TAsciiFileReader reader(notifier, layout, workFolder);
        try {
            reader.Open(source.string());
        } catch (const MarketDataError& e) {
            // A file that cannot be read at all goes to the caller.
            if (*e.what() == '\0')
                return "a read error without a text" + where;
        }
        if (notifier.blankMessage)
            return "a message without a text" + where;
        if (!FileHolds(source, AsText(input)))
            return "the reader changed its source file" + where;
        if (const std::string left = UnexpectedFiles(workFolder, {reader.DataFileName}); !left.empty())
            return "work files left behind:" + left + where;
        if (reader.RecordCount > 0 && reader.DataFileName.empty())
            return "records without a work file" + where;
        if (reader.RecordCount > 0)
            if (const std::string problem = CheckWorkFile(reader, notifier); !problem.empty())
                return problem + where;
        if (!reader.DataFileName.empty())
            fs::remove(reader.DataFileName);
    }
    return {};
}

}  // namespace kestrava::fuzz
