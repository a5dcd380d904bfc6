#include "download/HistoryConvert.h"

#include <fstream>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "common/dates.h"
#include "common/localeparse.h"
#include "download/ReplyFiles.h"
#include "marketdata/PriceFileReader.h"
#include "marketdata/TextLines.h"

namespace kestrava {
namespace {

namespace fs = std::filesystem;

const char* const kPriceTitle = "Date,Open,High,Low,Close,Volume";
constexpr std::size_t kDataFields = 6;  // the date and five values

// "2024-3-1" or "2024-03-01"; false for anything that is no date.
bool ReadReplyDate(std::string_view text, TDateTime& date)
{
    std::vector<std::string_view> parts;
    SplitFields(text, '-', parts);
    std::int32_t year = 0, month = 0, day = 0;
    return parts.size() == 3 && TryParseInt32(parts[0], year) && TryParseInt32(parts[1], month)
           && TryParseInt32(parts[2], day) && TryEncodeDate(year, month, day, date);
}

// The converted lines, or 0 after anything that makes the file unusable.
int Convert(TextLineReader& in, std::ofstream& out, const LocaleInfo& locale)
{
    std::string line;
    bool titled = false;
    while (!titled && in.ReadLine(line))
        titled = line.find("Adj") != std::string::npos;
    if (!titled)
        return 0;
    out << kPriceTitle << "\r\n";

    int count = 0;
    TDateTime firstDate = 0;
    std::vector<std::string_view> fields;
    while (in.ReadLine(line)) {
        fields.clear();
        SplitFields(line, ',', fields);
        if (fields.size() < 3)
            continue;
        TDateTime date = 0;
        if (fields.size() < kDataFields || !ReadReplyDate(fields[0], date))
            return 0;
        if (count == 0)
            firstDate = date;
        else if (date == firstDate)
            continue;
        out << FormatLocaleDate(date, locale);
        for (std::size_t i = 1; i < kDataFields; ++i)
            out << ',' << fields[i];
        out << "\r\n";
        ++count;
    }
    return in.Failed() || !out ? 0 : count;
}

}  // namespace

bool ConvertHistory(const fs::path& reply, const fs::path& priceDir, const LocaleInfo& locale)
{
    std::error_code error;
    if (!fs::is_regular_file(reply, error))
        return false;
    TextLineReader in(reply);
    if (!in.IsOpen())
        return false;
    const fs::path target = priceDir / reply.filename();
    const fs::path beside = BesideName(target);
    int count = 0;
    {
        std::ofstream out(beside, std::ios::binary | std::ios::trunc);
        if (!out)
            return false;
        count = Convert(in, out, locale);
        out.close();
        if (!out)
            count = 0;
    }
    if (count > 0)
        fs::rename(beside, target, error);
    if (count == 0 || error) {
        fs::remove(beside, error);
        return false;
    }
    return true;
}

}  // namespace kestrava
