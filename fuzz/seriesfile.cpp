// A ".ops" file as the option page opens it.

#include <vector>

#include "fuzz/FuzzSupport.h"
#include "pricing/seriesfile.h"

namespace kestrava::fuzz {

std::string RunSeriesFile(Input input)
{
    const auto folder = FreshScratchFolder();
    const auto file = folder / "input.ops";
    WriteWholeFile(file, AsText(input));

    CountingNotifier notifier;
    std::vector<TInOutObj> series;
    try {
        LoadSeriesFile(file.string(), series, notifier);
    } catch (const SeriesFileError& e) {
        if (*e.what() == '\0')
            return "a series file error without a text";
    }
    if (notifier.blankMessage)
        return "a message without a text";
    if (!FileHolds(file, AsText(input)))
        return "loading changed the file";
    if (series.empty())
        return {};

    // Whatever was loaded can be saved, and loads back as it was.
    const auto copy = folder / "copy.ops";
    try {
        SaveSeriesFile(copy.string(), series);
    } catch (const SeriesFileError& e) {
        return std::string("a loaded series cannot be saved: ") + e.what();
    }
    std::vector<TInOutObj> again;
    CountingNotifier againNotifier;
    try {
        if (!LoadSeriesFile(copy.string(), again, againNotifier))
            return "a saved series does not load";
    } catch (const SeriesFileError& e) {
        return std::string("a saved series does not load: ") + e.what();
    }
    if (again.size() != series.size())
        return "a saved series loads with another number of expiries";
    for (std::size_t i = 0; i < series.size(); ++i)
        if (const std::string field = SeriesDifference(series[i], again[i], false); !field.empty())
            return "expiry " + std::to_string(i + 1) + " loads back with another " + field;
    return {};
}

}  // namespace kestrava::fuzz
