#pragma once
// Price work files for the chart tests and benchmark: made-up days, or a
// real history converted as the setup dialog converts it.

#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

#include "marketdata/PriceFileReader.h"
#include "marketdata/PriceWorkFile.h"

namespace kestrava::charttest {

// `days` days ending on lastDate, closes wandering around 50, highs and lows
// 1 % either side when highLow is set.
inline std::vector<TPriceRecord> Days(int days, TDateTime lastDate, bool highLow = false)
{
    std::vector<TPriceRecord> records(static_cast<std::size_t>(days));
    for (int i = 0; i < days; ++i) {
        TPriceRecord& r = records[static_cast<std::size_t>(i)];
        r.Date = lastDate - (days - 1 - i);
        r.Close = static_cast<float>(50 * std::exp(0.05 * std::sin(i * 0.3) + 0.0007 * i));
        r.High = highLow ? r.Close * 1.01f : 0;
        r.Low = highLow ? r.Close * 0.99f : 0;
    }
    return records;
}

inline std::string WriteWorkFile(const std::filesystem::path& path, const std::vector<TPriceRecord>& records)
{
    PriceWorkFileWriter writer(path);
    for (const TPriceRecord& r : records)
        writer.Append(r);
    writer.Close();
    return path.string();
}

// A history of tests/data (yyyy-MM-dd dates) as a work file in folder.
inline std::string ConvertHistory(const std::string& name, const std::filesystem::path& folder)
{
    SilentNotifier quiet;
    TAsciiFileReader reader(quiet, LocaleInfo(), folder);
    reader.Open(std::string(KESTRAVA_TEST_DATA_DIR "/") + name);
    return reader.DataFileName;
}

}  // namespace kestrava::charttest
