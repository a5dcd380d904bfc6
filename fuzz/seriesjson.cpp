// The JSON form of a series as kestrava-calc reads it.

#include <sstream>
#include <vector>

#include "cli/seriesjson.h"
#include "fuzz/FuzzSupport.h"
#include "pricing/seriesfile.h"

namespace kestrava::fuzz {

std::string RunSeriesJson(Input input)
{
    std::vector<TInOutObj> series;
    try {
        series = cli::ReadSeriesJson(AsText(input));
    } catch (const cli::SeriesJsonError& e) {
        return *e.what() == '\0' ? "a JSON error without a text" : "";
    }

    // What reads is written and read again unchanged, in both forms.
    std::vector<TInOutObj> again;
    try {
        again = cli::ReadSeriesJson(cli::SeriesToJson(series, true));
    } catch (const cli::SeriesJsonError& e) {
        return std::string("a series read from JSON does not read back: ") + e.what();
    }
    if (again.size() != series.size())
        return "the JSON series reads back with another number of expiries";
    for (std::size_t i = 0; i < series.size(); ++i) {
        if (const std::string field = SeriesDifference(series[i], again[i], true); !field.empty())
            return "expiry " + std::to_string(i + 1) + " reads back from JSON with another " + field;

        SeriesWriter writer;
        try {
            WriteSeries(writer, series[i]);
        } catch (const SeriesFileError& e) {
            return "expiry " + std::to_string(i + 1) + " read from JSON cannot be saved: " + e.what();
        }
        std::istringstream bytes(writer.Bytes());
        SeriesReader reader(bytes);
        TInOutObj loaded;
        try {
            ReadSeries(reader, loaded);
        } catch (const SeriesFileError& e) {
            return "expiry " + std::to_string(i + 1) + " saved from JSON does not load: " + e.what();
        }
        if (const std::string field = SeriesDifference(series[i], loaded, false); !field.empty())
            return "expiry " + std::to_string(i + 1) + " saved from JSON loads with another " + field;
    }
    return {};
}

}  // namespace kestrava::fuzz
