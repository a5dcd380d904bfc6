// A daily history as the history reader reads it: refused with a message
// that names the line and writes out control characters, or read as days a
// price file may hold, which read back the same from the program's own
// layout.

#include <algorithm>
#include <filesystem>
#include <string>

#include "common/dates.h"
#include "common/localeparse.h"
#include "fuzz/FuzzSupport.h"
#include "marketdata/HistoryReader.h"

namespace kestrava::fuzz {
namespace {

namespace fs = std::filesystem;

// The newest day a history may hold.
const TDateTime kToday = EncodeDate(2030, 1, 1);
const TDateTime kFirstDay = EncodeDate(1900, 1, 1);
// Long enough for any message; a longer one quotes a field whole.
constexpr std::size_t kLongestMessage = 600;

bool HasControlCharacter(const std::string& text)
{
    return std::any_of(text.begin(), text.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7f; });
}

std::string ReadDays(const fs::path& file, DailyHistory& history)
{
    TextLineReader in(file);
    if (!in.IsOpen())
        return "the history could not be opened";
    try {
        history = ReadDailyHistory(in, "h.csv", {kToday, "today"});
    } catch (const HistoryError& error) {
        const std::string message = error.what();
        if (message.find("h.csv") == std::string::npos)
            return "a refusal that does not name the history: " + message.substr(0, 200);
        if (message.size() > kLongestMessage)
            return "a refusal of " + std::to_string(message.size()) + " characters";
        if (HasControlCharacter(message))
            return "a refusal with a control character in it";
        return "refused";
    }
    return {};
}

// What a price file must not hold.
std::string DayProblem(const HistoryDay& day)
{
    float open = 0, high = 0, low = 0, close = 0, volume = 0;
    for (const auto& [text, value] : {std::pair{&day.open, &open}, std::pair{&day.high, &high},
                                      std::pair{&day.low, &low}, std::pair{&day.close, &close}})
        if (!TryParseSingle(*text, '.', *value) || !(*value > 0))
            return "a price that is none: " + text->substr(0, 40);
    if (high < low)
        return "a high below its low";
    if (day.volume.empty() || day.volume.find_first_not_of("0123456789") != std::string::npos
        || !TryParseSingle(day.volume, '.', volume))
        return "a volume that is no whole number: " + day.volume.substr(0, 40);
    if (day.date < kFirstDay || day.date > kToday
        || day.date != static_cast<double>(static_cast<long>(day.date)))
        return "a day outside 1900 to today: " + IsoDate(day.date);
    return {};
}

// The days in the program's own columns, oldest first, dates month/day/year.
std::string Rewritten(const DailyHistory& history)
{
    std::string text = "Date,Open,High,Low,Close,Volume\n";
    for (auto day = history.days.rbegin(); day != history.days.rend(); ++day) {
        const CivilDate c = DecodeDate(day->date);
        text += std::to_string(c.month) + "/" + std::to_string(c.day) + "/" + std::to_string(c.year) + ","
                + day->open + "," + day->high + "," + day->low + "," + day->close + "," + day->volume + "\n";
    }
    return text;
}

}  // namespace

std::string RunHistoryReader(Input input)
{
    const fs::path folder = FreshScratchFolder();
    const fs::path source = folder / "h.csv";
    WriteWholeFile(source, AsText(input));

    DailyHistory history;
    if (const std::string problem = ReadDays(source, history); !problem.empty())
        return problem == "refused" ? std::string() : problem;
    if (!FileHolds(source, AsText(input)))
        return "the reader changed the history";
    if (history.days.empty())
        return "a history of no day";
    for (std::size_t i = 0; i < history.days.size(); ++i) {
        if (const std::string problem = DayProblem(history.days[i]); !problem.empty())
            return problem;
        if (i > 0 && !(history.days[i].date < history.days[i - 1].date))
            return "days not newest first: " + IsoDate(history.days[i].date);
    }
    const std::string layout = DescribeLayout(history);
    if (layout.empty() || HasControlCharacter(layout))
        return "a layout the user cannot be shown";

    // The same days in another layout read as the same days.
    const fs::path again = folder / "again.csv";
    WriteWholeFile(again, Rewritten(history));
    DailyHistory reread;
    if (const std::string problem = ReadDays(again, reread); !problem.empty())
        return "the days written out again do not read: " + problem;
    if (reread.days.size() != history.days.size())
        return "the days written out again read as " + std::to_string(reread.days.size()) + " of "
               + std::to_string(history.days.size());
    for (std::size_t i = 0; i < history.days.size(); ++i) {
        const HistoryDay& a = history.days[i];
        const HistoryDay& b = reread.days[i];
        if (a.date != b.date || a.open != b.open || a.high != b.high || a.low != b.low || a.close != b.close
            || a.volume != b.volume)
            return "the day " + IsoDate(a.date) + " reads otherwise when written out again";
    }
    return {};
}

}  // namespace kestrava::fuzz
