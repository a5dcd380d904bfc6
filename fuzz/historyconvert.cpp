// A fetched daily-history reply as the download converts it into a price
// file, under each date layout, over an earlier price file of that name.

#include <cmath>
#include <filesystem>
#include <vector>

#include "common/dates.h"
#include "common/localeparse.h"
#include "downloadcore/HistoryConvert.h"
#include "fuzz/FuzzSupport.h"
#include "marketdata/PriceFileReader.h"
#include "marketdata/PriceWorkFile.h"

namespace kestrava::fuzz {
namespace {

namespace fs = std::filesystem;

const char* const kTitle = "Date,Open,High,Low,Close,Volume\r\n";
const char* const kEarlier = "Date,Open,High,Low,Close,Volume\r\n2005-01-03,1,2,0.5,1.5,100\r\n";
// The day the replies were fetched: no later day is stored.
const TDateTime kDownloadDay = EncodeDate(2030, 1, 1);

// The converted file: the title, then lines whose dates the price reader
// takes under the same layout, with five values after each.
std::string CheckPriceFile(const std::string& written, const LocaleInfo& layout)
{
    if (written.rfind(kTitle, 0) != 0)
        return "the price file does not start with its title line";
    std::size_t start = std::string(kTitle).size();
    if (start == written.size())
        return "a price file without a day";
    std::vector<std::string_view> fields;
    while (start < written.size()) {
        const std::size_t end = written.find("\r\n", start);
        if (end == std::string::npos)
            return "a price file line without its line end";
        fields.clear();
        SplitFields(std::string_view(written).substr(start, end - start), ',', fields);
        TDateTime date = 0;
        if (fields.size() != 6 || !TryParseLocaleDate(fields[0], layout, date))
            return "a price file line that is no date and five values";
        start = end + 2;
    }
    return {};
}

std::string CheckRecords(const fs::path& priceFile, const LocaleInfo& layout, int days, const fs::path& work)
{
    CountingNotifier notifier;
    TAsciiFileReader reader(notifier, layout, work);
    reader.Open(priceFile.string());
    if (reader.RecordCount != days)
        return "the price reader reads " + std::to_string(reader.RecordCount) + " of " + std::to_string(days)
               + " stored days";
    const std::vector<TPriceRecord> records = ReadPriceRecords(reader.DataFileName);
    fs::remove(reader.DataFileName);
    for (std::size_t i = 0; i < records.size(); ++i) {
        const TPriceRecord& r = records[i];
        if (!std::isfinite(r.High) || !std::isfinite(r.Low) || !std::isfinite(r.Close)
            || !std::isfinite(r.Volume) || !(r.Close > 0) || r.High < r.Low || r.Volume < 0)
            return "a stored day holds a value no price has";
        if (i > 0 && r.Date < records[i - 1].Date)
            return "the stored days are out of order";
    }
    return {};
}

}  // namespace

std::string RunHistoryConvert(Input input)
{
    const fs::path folder = FreshScratchFolder();
    const fs::path replies = folder / "replies";
    const fs::path prices = folder / "prices";
    const fs::path work = folder / "work";
    for (const fs::path& made : {replies, prices, work})
        fs::create_directory(made);
    const fs::path reply = replies / "^GSPC.csv";
    const fs::path priceFile = prices / "^GSPC.csv";
    WriteWholeFile(reply, AsText(input));

    for (const LocaleInfo& layout : kLayouts) {
        const std::string where = " (dates " + layout.shortDateFormat + ")";
        WriteWholeFile(priceFile, kEarlier);
        const HistoryConversion converted = ConvertHistory(reply, priceFile, layout, work, kDownloadDay);
        if (!FileHolds(reply, AsText(input)))
            return "the conversion changed the reply" + where;
        if (const std::string left = UnexpectedFiles(prices, {priceFile}); !left.empty())
            return "files left beside the price file:" + left + where;
        if (const std::string left = UnexpectedFiles(work, {}); !left.empty())
            return "work files left behind:" + left + where;
        if (!converted.stored) {
            if (!FileHolds(priceFile, kEarlier))
                return "a failed conversion lost the earlier price file" + where;
            if (converted.problem.empty())
                return "a failed conversion says nothing" + where;
            continue;
        }
        if (const std::string problem = CheckPriceFile(ReadWholeFile(priceFile), layout); !problem.empty())
            return problem + where;
        // What was stored the price reader takes back whole, with values a
        // volatility can be computed from.
        if (const std::string problem = CheckRecords(priceFile, layout, converted.days, work);
            !problem.empty())
            return problem + where;
    }
    return {};
}

}  // namespace kestrava::fuzz
