#pragma once
// The underlying's daily price text files: the reader finds the layout by
// itself, converts the file into a price work file in the temporary
// directory and makes sure the work file runs from the oldest day to the
// newest. The work file outlives the reader and belongs to the caller.

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/localeinfo.h"
#include "common/notifier.h"
#include "marketdata/HistoryReader.h"
#include "marketdata/PriceWorkFile.h"

namespace kestrava {

// What callers say when a price file gives no records, before its name.
inline constexpr const char* kCantDigestSource = "Dang! Can't digest source data from ";

// The process-wide counter behind the work file names. The main window seeds
// it once at start-up with a number from 0 to 9999 drawn from the clock.
void SeedWorkFileCounter();
void SetWorkFileCounter(std::int32_t value);
std::int32_t WorkFileCounter();

// Appends the non-empty fields of line to list, neither trimmed nor
// unquoted: a doubled, leading or trailing separator yields no field.
void SplitFields(std::string_view line, char separator, std::vector<std::string>& list);
void SplitFields(std::string_view line, char separator, std::vector<std::string_view>& list);

// The user's private folder for work files inside the platform's temporary
// directory (or inside the current directory when the platform names none).
std::filesystem::path DefaultTempDirectory();

class TSrcFileReader {
public:
    // The reader reports conversion problems through notifier, reads dates
    // and numbers as locale writes them and puts its work files in
    // tempDirectory.
    TSrcFileReader(Notifier& notifier, LocaleInfo locale,
                   std::filesystem::path tempDirectory = DefaultTempDirectory());
    virtual ~TSrcFileReader() = default;
    TSrcFileReader(const TSrcFileReader&) = delete;
    TSrcFileReader& operator=(const TSrcFileReader&) = delete;

    std::string SourceFileName;
    std::string WorkFileName;
    std::string DataFileName;  // the work file after a successful Open, else empty
    std::string Symbol;
    std::uint8_t ValueColumns = 0;  // fields after the date; 0 = no data line
    std::int32_t RecordCount = 0;
    bool SeparatedDates = false;

    // Analyses and converts one file. Callers treat RecordCount 0 or an empty
    // DataFileName as a file that cannot be used. Throws MarketDataError when
    // the source file cannot be opened or read.
    void Open(const std::string& fileName);

    virtual void Analyse() {}
    virtual void Convert() {}

protected:
    void NewWorkFileName();
    // The writer of a new work file named WorkFileName, or the next free name.
    std::unique_ptr<PriceWorkFileWriter> CreateWorkFile();
    void ReverseIfDescending();

    Notifier& notifier_;
    LocaleInfo locale_;
    std::filesystem::path tempDirectory_;
};

// Comma-separated daily prices: a date (in the locale's short date format or
// as a yyyymmdd number) and values. Where a title line before the first data
// line names the columns (Date and Close at least, as HistoryReader.h reads
// names), the date, high, low, close and volume are taken by name, in any
// order, and Adj Close never; a line's empty field then stays in its column.
// Otherwise the date comes first and the count of values decides which are
// taken: 1 close; 2 close, volume; 3 high, low, close; 4 high, low, close,
// volume; 5 or 6 open, high, low, close, volume (and Adj Close).
class TAsciiFileReader : public TSrcFileReader {
public:
    using TSrcFileReader::TSrcFileReader;

    std::int32_t HeaderLines = 0;  // lines before the first data line
    char Separator = ',';
    bool ColumnsByName = false;  // a title line named the columns

    void Analyse() override;
    void Convert() override;

private:
    // Whether field is a date as data lines write it; SeparatedDates says how.
    bool IsDataLineDate(std::string_view field);
    void SplitLine(std::string_view line, std::vector<std::string_view>& fields) const;
    // The fields a data line needs, and where each value stands (-1: none).
    struct ValuePositions {
        int date, high, low, close, volume;
        std::size_t fieldsNeeded;
    };
    ValuePositions Positions() const;
    TDateTime ParseDate(std::string_view field, long long lineNumber) const;
    float ParseValue(std::string_view field, long long lineNumber) const;
    std::string SourceBaseName() const;
    std::string LinePrefix(long long lineNumber) const;

    std::optional<HistoryColumns> columns_;  // of the title line, when it names them
};

}  // namespace kestrava
