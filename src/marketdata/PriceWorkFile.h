#pragma once
// Price work files: headerless runs of 24-byte little-endian records, record
// 0 first, written by the price file readers and read by the volatility
// calculation and the chart.

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include "common/dates.h"
#include "common/uniquefile.h"

namespace kestrava {

// One trading day. A value the source file does not carry is 0.
struct TPriceRecord {
    TDateTime Date = 0;  // whole days, no time part
    float High = 0;
    float Low = 0;
    float Close = 0;
    float Volume = 0;
};

constexpr std::size_t kPriceRecordSize = 24;

// A price or quote file that cannot be opened, read or written.
class MarketDataError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

void EncodePriceRecord(const TPriceRecord& record, unsigned char* bytes);
TPriceRecord DecodePriceRecord(const unsigned char* bytes);

// Random access to the records of a work file. A trailing partial record is
// not counted.
class PriceWorkFileReader {
public:
    // Throws MarketDataError when the file cannot be opened.
    explicit PriceWorkFileReader(const std::filesystem::path& path);
    PriceWorkFileReader(const PriceWorkFileReader&) = delete;
    PriceWorkFileReader& operator=(const PriceWorkFileReader&) = delete;

    std::int64_t Count() const { return count_; }
    // Appends records first .. first + count - 1 to out; throws
    // MarketDataError when they cannot be read.
    void Read(std::int64_t first, std::int64_t count, std::vector<TPriceRecord>& out);

private:
    std::filesystem::path path_;
    UniqueFile file_;
    std::int64_t count_ = 0;
};

// Thrown when an exclusive creation finds the name taken.
class WorkFileTaken : public MarketDataError {
public:
    using MarketDataError::MarketDataError;
};

// Appends records through a buffer. Close() reports a failed final write;
// the destructor closes silently.
class PriceWorkFileWriter {
public:
    // Truncate creates or truncates the file. Exclusive creates a new file
    // readable by its owner only and never follows or reuses what is
    // already there (a link planted by someone else, the file of another
    // copy of the program): WorkFileTaken then. Throws MarketDataError when
    // the file cannot be created.
    enum class Creation { Truncate, Exclusive };
    explicit PriceWorkFileWriter(const std::filesystem::path& path, Creation creation = Creation::Truncate);
    PriceWorkFileWriter(const PriceWorkFileWriter&) = delete;
    PriceWorkFileWriter& operator=(const PriceWorkFileWriter&) = delete;

    void Append(const TPriceRecord& record);
    void Close();

private:
    void Flush();

    std::filesystem::path path_;
    UniqueFile file_;
    std::vector<unsigned char> buffer_;
};

// Every record of a work file, oldest first as the readers leave them.
std::vector<TPriceRecord> ReadPriceRecords(const std::filesystem::path& path);

}  // namespace kestrava
