#pragma once
// Price work files for the chart tests: made-up days, or a real history
// converted as the setup dialog converts it.

#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

#include "common/localeinfo.h"
#include "common/notifier.h"
#include "marketdata/PriceFileReader.h"
#include "marketdata/PriceWorkFile.h"

namespace kestrava::charttest {

// `days` consecutive days ending on lastDate; closes wander around `level`,
// with highs and lows 1 % either side when highLow is set.
inline std::vector<TPriceRecord> Days(int days, TDateTime lastDate, bool highLow = false, double level = 50)
{
    std::vector<TPriceRecord> records;
    for (int i = 0; i < days; ++i) {
        TPriceRecord r;
        r.Date = lastDate - (days - 1 - i);
        r.Close = static_cast<float>(level * std::exp(0.05 * std::sin(i * 0.3) + 0.0007 * i));
        if (highLow) {
            r.High = r.Close * 1.01f;
            r.Low = r.Close * 0.99f;
        }
        records.push_back(r);
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

// A history of tests/data (yyyy-MM-dd dates, decimal points) as a work file
// in folder.
inline std::string ConvertHistory(const std::string& name, const std::filesystem::path& folder)
{
    SilentNotifier quiet;
    TAsciiFileReader reader(quiet, LocaleInfo(), folder);
    reader.Open((std::filesystem::path(KESTRAVA_TEST_DATA_DIR) / name).string());
    return reader.DataFileName;
}

}  // namespace kestrava::charttest
