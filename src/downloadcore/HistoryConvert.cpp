#include "downloadcore/HistoryConvert.h"

#include <system_error>

#include "common/dates.h"
#include "common/filereplace.h"
#include "common/filesymbol.h"
#include "common/localeparse.h"
#include "common/notifier.h"
#include "downloadcore/HistoryDownload.h"
#include "downloadcore/ReplyFiles.h"
#include "marketdata/HistoryReader.h"
#include "marketdata/PriceFileReader.h"
#include "marketdata/TextLines.h"

namespace kestrava {
namespace {

namespace fs = std::filesystem;

const char* const kPriceTitle = "Date,Open,High,Low,Close,Volume";

// Why a history is no whole price list.
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

// Writes the price file's lines of history into out, newest day first.
void WritePriceLines(const DailyHistory& history, FileReplacement& out, const LocaleInfo& locale)
{
    out.Write(std::string(kPriceTitle) + "\r\n");
    std::string written;
    for (const HistoryDay& day : history.days) {
        written = FormatLocaleDate(day.date, locale);
        for (const std::string* value : {&day.open, &day.high, &day.low, &day.close, &day.volume})
            written.append(",").append(*value);
        out.Write(written.append("\r\n"));
    }
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

// Reads history whole, writes it into priceFile beside the older one and
// puts it in place once the price reader has read every day back.
void StoreHistory(TextLineReader& in, const std::string& name, const HistoryLastDay& lastDay,
                  const fs::path& priceFile, const LocaleInfo& locale, const fs::path& workFolder,
                  HistoryConversion& result)
{
    DailyHistory history;
    try {
        history = ReadDailyHistory(in, name, lastDay);
    } catch (const HistoryError& error) {
        throw NotAPriceList(error.what());
    }
    FileReplacement out(priceFile);
    WritePriceLines(history, out, locale);
    out.Close();
    const int days = static_cast<int>(history.days.size());
    CheckWithPriceReader(out.NewPath(), days, locale, workFolder);
    out.Commit();
    result.stored = true;
    result.days = days;
    result.layout = DescribeLayout(history);
}

// Runs store, turning what it throws into the result's problem.
template <typename Store>
HistoryConversion Converted(const fs::path& priceFile, Store store)
{
    HistoryConversion result;
    try {
        store(result);
    } catch (const NotAPriceList& error) {
        result = {};
        result.problem = error.what();
    } catch (const FileReplaceError& error) {
        result = {};
        result.problem = "Cannot write " + priceFile.string() + ": " + error.what();
        result.writeFailed = true;
    }
    return result;
}

}  // namespace

HistoryConversion ConvertHistory(const fs::path& reply, const fs::path& priceFile, const LocaleInfo& locale,
                                 const fs::path& workFolder, TDateTime lastDay)
{
    TextLineReader in(reply);
    if (!in.IsOpen()) {
        HistoryConversion result;
        result.problem = in.OpenFailureText(reply.string());
        return result;
    }
    return Converted(priceFile, [&](HistoryConversion& result) {
        std::error_code error;
        if (fs::file_size(reply, error) == 0 && !error)
            throw NotAPriceList("the reply was empty");
        if (!EndsWithLineEnd(reply))
            throw NotAPriceList("the reply ends in the middle of a line: it was cut short");
        StoreHistory(in, "the reply", {lastDay, "the day of the download"}, priceFile, locale, workFolder,
                     result);
    });
}

HistoryConversion ImportHistory(const fs::path& file, const fs::path& priceFile, const LocaleInfo& locale,
                                const fs::path& workFolder, TDateTime today)
{
    TextLineReader in(file);
    if (!in.IsOpen()) {
        HistoryConversion result;
        result.problem = in.OpenFailureText(file.string());
        return result;
    }
    return Converted(priceFile, [&](HistoryConversion& result) {
        StoreHistory(in, file.filename().string(), {today, "today"}, priceFile, locale, workFolder, result);
    });
}

fs::path HistoryPriceFile(const fs::path& priceFolder, const std::string& symbol)
{
    const std::string base = HistoryFileBase(symbol);
    return IsUsableAsFileName(base) ? priceFolder / (base + ".csv") : fs::path();
}

std::string ImportReport(const HistoryConversion& imported, const fs::path& file, const fs::path& priceFile)
{
    if (imported.stored)
        return "Imported " + std::to_string(imported.days) + (imported.days == 1 ? " day" : " days") + " of "
               + file.filename().string() + " into " + priceFile.string() + ", read as " + imported.layout
               + ".";
    const std::string ended = imported.problem.ends_with('.') ? imported.problem : imported.problem + ".";
    if (imported.writeFailed)
        return ended + " " + priceFile.string() + " was left as it was.";
    return "No daily prices were imported into " + priceFile.string()
           + ", which was left as it was: " + ended;
}

}  // namespace kestrava
