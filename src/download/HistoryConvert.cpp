#include "download/HistoryConvert.h"

#include <cmath>
#include <string_view>
#include <system_error>
#include <vector>

#include "common/dates.h"
#include "common/filereplace.h"
#include "common/localeparse.h"
#include "common/notifier.h"
#include "download/ReplyFiles.h"
#include "marketdata/PriceFileReader.h"
#include "marketdata/TextLines.h"

namespace kestrava {
namespace {

namespace fs = std::filesystem;

const char* const kPriceTitle = "Date,Open,High,Low,Close,Volume";
constexpr std::size_t kDataFields = 6;  // the date and five values
const TDateTime kFirstHistoryDay = EncodeDate(1900, 1, 1);
const char* const kValueNames[] = {"", "open", "high", "low", "close", "volume"};

// Why a reply is no whole price list.
class NotAPriceList : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Keeps what the price reader says while it checks the written file.
class CollectingNotifier : public Notifier {
public:
    void Info(const std::string& text) override { Add(text); }
    void Error(const std::string& text) override { Add(text); }
    bool AskYesNo(const std::string& text) override
    {
        Add(text);
        return false;
    }
    std::string text;

private:
    void Add(const std::string& message) { text += (text.empty() ? "" : " ") + message; }
};

// "2024-3-1" or "2024-03-01"; false for anything that is no date.
bool ReadReplyDate(std::string_view text, TDateTime& date)
{
    std::vector<std::string_view> parts;
    SplitFields(text, '-', parts);
    std::int32_t year = 0, month = 0, day = 0;
    return parts.size() == 3 && TryParseInt32(parts[0], year) && TryParseInt32(parts[1], month)
           && TryParseInt32(parts[2], day) && TryEncodeDate(year, month, day, date);
}

bool IsWholeDigits(std::string_view text)
{
    return !text.empty() && text.find_first_not_of("0123456789") == std::string_view::npos;
}

[[noreturn]] void Refuse(long long lineNumber, const std::string& what)
{
    throw NotAPriceList("line " + std::to_string(lineNumber) + " of the reply: " + what);
}

// Refuses a day whose values a price file must not hold.
void CheckDay(const std::vector<std::string_view>& fields, long long lineNumber)
{
    float values[kDataFields] = {};
    for (std::size_t i = 1; i < kDataFields; ++i) {
        const bool read = TryParseSingle(fields[i], '.', values[i]);
        if (i == kDataFields - 1 ? !read || !IsWholeDigits(fields[i]) : !read || !(values[i] > 0))
            Refuse(lineNumber, std::string("the ") + kValueNames[i] + " " + QuotedForMessage(fields[i])
                                   + (i == kDataFields - 1 ? " is no whole number" : " is no price above 0"));
    }
    if (values[2] < values[3])
        Refuse(lineNumber,
               "the high " + std::string(fields[2]) + " is below the low " + std::string(fields[3]));
}

// Writes the price lines of the reply into out; the days written.
int Convert(TextLineReader& in, FileReplacement& out, const LocaleInfo& locale, TDateTime lastDay)
{
    std::string line;
    bool titled = false;
    while (!titled && in.ReadLine(line))
        titled = line.find("Adj") != std::string::npos;
    if (!titled) {
        if (in.Failed())
            throw NotAPriceList(in.FailureText("the reply"));
        throw NotAPriceList("the reply has no title line (one that holds \"Adj\")");
    }
    out.Write(std::string(kPriceTitle) + "\r\n");

    int count = 0;
    int repeatsSkipped = 0;
    TDateTime lastDate = 0;
    std::vector<std::string_view> fields;
    while (in.ReadLine(line)) {
        fields.clear();
        SplitFields(line, ',', fields);
        if (fields.size() < 3)
            continue;
        const long long number = in.LineNumber();
        TDateTime date = 0;
        if (fields.size() < kDataFields)
            Refuse(number, std::to_string(fields.size()) + " fields where " + std::to_string(kDataFields)
                               + " are needed");
        if (!ReadReplyDate(fields[0], date))
            Refuse(number, QuotedForMessage(fields[0]) + " is no date written year-month-day");
        if (date < kFirstHistoryDay)
            Refuse(number, "its day " + IsoDate(date) + " is before 1900");
        if (date > lastDay)
            Refuse(number,
                   "its day " + IsoDate(date) + " is after the day of the download, " + IsoDate(lastDay));
        // The service repeats its newest day on the line after it; that
        // repeat is left out. Any other day named twice means a mixed or
        // damaged list.
        if (count == 1 && date == lastDate && repeatsSkipped++ == 0)
            continue;
        if (count > 0 && date == lastDate)
            Refuse(number, "its day " + IsoDate(date) + " repeats the day above it");
        // The newest day comes first; a step forward means a mixed or
        // damaged list, which the price reader would not put in order.
        if (count > 0 && date > lastDate)
            Refuse(number, "its day comes after the day above it, where the newest day comes first");
        CheckDay(fields, number);
        std::string written = FormatLocaleDate(date, locale);
        for (std::size_t i = 1; i < kDataFields; ++i)
            written.append(",").append(fields[i]);
        out.Write(written + "\r\n");
        lastDate = date;
        ++count;
    }
    if (in.Failed())
        throw NotAPriceList(in.FailureText("the reply"));
    if (count == 0)
        throw NotAPriceList("the reply holds no day");
    return count;
}

// Reads the written file back as the program's windows will.
void CheckWithPriceReader(const fs::path& written, int days, const LocaleInfo& locale,
                          const fs::path& workFolder)
{
    CollectingNotifier notifier;
    TAsciiFileReader reader(notifier, locale, workFolder);
    try {
        reader.Open(written.string());
    } catch (const MarketDataError& error) {
        notifier.text = error.what();
    }
    std::error_code ignored;
    if (!reader.DataFileName.empty())
        fs::remove(reader.DataFileName, ignored);
    if (reader.RecordCount != days)
        throw NotAPriceList("the price reader takes " + std::to_string(reader.RecordCount) + " of its "
                            + std::to_string(days) + " days back"
                            + (notifier.text.empty() ? "" : " (" + notifier.text + ")"));
}

}  // namespace

HistoryConversion ConvertHistory(const fs::path& reply, const fs::path& priceFile, const LocaleInfo& locale,
                                 const fs::path& workFolder, TDateTime lastDay)
{
    HistoryConversion result;
    TextLineReader in(reply);
    if (!in.IsOpen()) {
        result.problem = in.OpenFailureText(reply.string());
        return result;
    }
    try {
        std::error_code error;
        if (fs::file_size(reply, error) == 0 && !error)
            throw NotAPriceList("the reply was empty");
        if (!EndsWithLineEnd(reply))
            throw NotAPriceList("the reply ends in the middle of a line: it was cut short");
        FileReplacement out(priceFile);
        result.days = Convert(in, out, locale, std::floor(lastDay));
        out.Close();
        CheckWithPriceReader(out.NewPath(), result.days, locale, workFolder);
        out.Commit();
        result.stored = true;
    } catch (const NotAPriceList& error) {
        result.problem = error.what();
        result.days = 0;
    } catch (const FileReplaceError& error) {
        result.problem = "Cannot write " + priceFile.string() + ": " + error.what();
        result.writeFailed = true;
        result.days = 0;
    }
    return result;
}

}  // namespace kestrava
