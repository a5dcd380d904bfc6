#pragma once
// The JSON form of a series, for kestrava-calc: an array with one object per
// expiry whose keys are the fields of the series file, and the per-strike
// tables as arrays of NumStrikes [call, put] pairs. Floats carry nine
// significant digits (enough to give back the single), dates are day
// numbers, texts are UTF-8.

#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "common/notifier.h"
#include "pricing/IORecObj1.h"

namespace kestrava::cli {

// Bad JSON or a field that is missing, of the wrong kind or out of range;
// what() names the expiry and the field.
class SeriesJsonError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// JSON files larger than this are refused rather than read.
constexpr std::size_t kMaxSeriesJsonBytes = 16u << 20;

// The fields of the series file plus the Bid and Ask tables when withQuotes.
std::string SeriesToJson(const std::vector<TInOutObj>& series, bool withQuotes = false);

// Needs every field of the series file; the Bid and Ask tables are optional.
// Throws SeriesJsonError.
std::vector<TInOutObj> ReadSeriesJson(std::string_view text);
// Throws SeriesFileError when the file cannot be read, SeriesJsonError for
// its content.
std::vector<TInOutObj> ReadSeriesJsonFile(const std::string& path);

// A series given as a ".ops" file (its first byte begins a list) or in the
// JSON form, appended to series. Returns false after a damaged ".ops" record,
// as LoadSeriesFile does; throws SeriesFileError or SeriesJsonError.
bool LoadSeriesAny(const std::string& path, std::vector<TInOutObj>& series, Notifier& notifier);

}  // namespace kestrava::cli
