#include "PriceFileReader.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <limits>
#include <random>

#include "common/localeparse.h"
#include "marketdata/TextLines.h"
#include "marketdata/WorkFolder.h"

namespace kestrava {
namespace {

std::int32_t g_workFileCounter = 0;

std::int32_t NextWorkFileCounter()
{
    g_workFileCounter = g_workFileCounter == std::numeric_limits<std::int32_t>::max() ? 0
                                                                                      : g_workFileCounter + 1;
    return g_workFileCounter;
}

template <typename Text>
void SplitFieldsInto(std::string_view line, char separator, std::vector<Text>& list)
{
    std::size_t start = 0;
    while (start <= line.size()) {
        std::size_t end = line.find(separator, start);
        if (end == std::string_view::npos)
            end = line.size();
        if (end > start)
            list.emplace_back(line.substr(start, end - start));
        start = end + 1;
    }
}

// Blanks and control characters, as the first pass trims them.
std::string_view TrimControls(std::string_view text)
{
    while (!text.empty() && static_cast<unsigned char>(text.front()) <= ' ')
        text.remove_prefix(1);
    while (!text.empty() && static_cast<unsigned char>(text.back()) <= ' ')
        text.remove_suffix(1);
    return text;
}

// Field positions of High, Low, Close and Volume for each count of value
// columns; -1 = not carried. Seven or more columns carry only the date.
struct ValueLayout {
    int high, low, close, volume;
    std::size_t fieldsNeeded;
};

ValueLayout LayoutFor(int valueColumns)
{
    switch (valueColumns) {
    case 1:
        return {-1, -1, 1, -1, 2};
    case 2:
        return {-1, -1, 1, 2, 3};
    case 3:
        return {1, 2, 3, -1, 4};
    case 4:
        return {1, 2, 3, 4, 5};
    case 5:
    case 6:
        return {2, 3, 4, 5, 6};
    default:
        return {-1, -1, -1, -1, 2};
    }
}

}  // namespace

void SeedWorkFileCounter()
{
    std::mt19937 generator(
        static_cast<std::mt19937::result_type>(std::chrono::system_clock::now().time_since_epoch().count()));
    g_workFileCounter = std::uniform_int_distribution<std::int32_t>(0, 9999)(generator);
}

void SetWorkFileCounter(std::int32_t value)
{
    g_workFileCounter = value;
}

std::int32_t WorkFileCounter()
{
    return g_workFileCounter;
}

void SplitFields(std::string_view line, char separator, std::vector<std::string>& list)
{
    SplitFieldsInto(line, separator, list);
}

void SplitFields(std::string_view line, char separator, std::vector<std::string_view>& list)
{
    SplitFieldsInto(line, separator, list);
}

std::filesystem::path DefaultTempDirectory()
{
    std::error_code error;
    std::filesystem::path path = std::filesystem::temp_directory_path(error);
    if (error)
        path = std::filesystem::path(".");
    return PrivateWorkFolder(path);
}

TSrcFileReader::TSrcFileReader(Notifier& notifier, LocaleInfo locale, std::filesystem::path tempDirectory)
    : notifier_(notifier), locale_(std::move(locale)), tempDirectory_(std::move(tempDirectory))
{
}

void TSrcFileReader::Open(const std::string& fileName)
{
    if (fileName.empty()) {
        DataFileName.clear();
        RecordCount = 0;
        return;
    }
    SourceFileName = fileName;
    NewWorkFileName();
    Analyse();
    if (ValueColumns == 0) {
        RecordCount = 0;
        DataFileName.clear();
        return;
    }
    Convert();
    DataFileName = WorkFileName;
}

void TSrcFileReader::NewWorkFileName()
{
    // A source file that itself carries a work file's name must never be
    // deleted as a stale work file: skip its number.
    for (;;) {
        char name[32];
        std::snprintf(name, sizeof name, "~TEM%04X.TEM", static_cast<unsigned>(NextWorkFileCounter()));
        const std::filesystem::path path = tempDirectory_ / name;
        std::error_code error;
        if (!SourceFileName.empty() && std::filesystem::equivalent(path, SourceFileName, error))
            continue;
        WorkFileName = path.string();
        std::filesystem::remove(path, error);
        return;
    }
}

std::unique_ptr<PriceWorkFileWriter> TSrcFileReader::CreateWorkFile()
{
    // Another copy of the program may take the name between its choice and
    // the creation; the next name is tried then.
    constexpr int kAttempts = 100;
    for (int attempt = 1;; ++attempt) {
        try {
            return std::make_unique<PriceWorkFileWriter>(WorkFileName,
                                                         PriceWorkFileWriter::Creation::Exclusive);
        } catch (const WorkFileTaken&) {
            if (attempt == kAttempts)
                throw;
            NewWorkFileName();
        }
    }
}

void TSrcFileReader::ReverseIfDescending()
{
    const std::string oldWorkFile = WorkFileName;
    std::int64_t count = 0;
    try {
        PriceWorkFileReader reader(oldWorkFile);
        count = reader.Count();
        std::vector<TPriceRecord> ends;
        if (count > 0) {
            reader.Read(0, 1, ends);
            reader.Read(count - 1, 1, ends);
        }
        if (count == 0 || ends[0].Date < ends[1].Date) {
            RecordCount = static_cast<std::int32_t>(count);
            return;
        }

        NewWorkFileName();
        const std::unique_ptr<PriceWorkFileWriter> created = CreateWorkFile();
        PriceWorkFileWriter& writer = *created;
        // Copy back to front in blocks, so memory does not grow with the file.
        constexpr std::int64_t kBlock = 4096;
        std::vector<TPriceRecord> block;
        for (std::int64_t end = count; end > 0;) {
            const std::int64_t first = std::max<std::int64_t>(0, end - kBlock);
            block.clear();
            reader.Read(first, end - first, block);
            for (auto it = block.rbegin(); it != block.rend(); ++it)
                writer.Append(*it);
            end = first;
        }
        writer.Close();
    } catch (const MarketDataError&) {
        notifier_.Info("Dang ... we have a error sorting the data file.");
        // The old work file still holds every record, newest first: keep it
        // rather than a partial copy, and report the file as unusable.
        if (WorkFileName != oldWorkFile) {
            std::error_code error;
            std::filesystem::remove(WorkFileName, error);
            WorkFileName = oldWorkFile;
        }
        RecordCount = 0;
        return;
    }
    RecordCount = static_cast<std::int32_t>(count);
    std::error_code error;
    std::filesystem::remove(oldWorkFile, error);
}

void TAsciiFileReader::Analyse()
{
    SeparatedDates = false;
    ColumnsByName = false;
    columns_.reset();
    TextLineReader source(SourceFileName);
    if (!source.IsOpen())
        throw MarketDataError(source.OpenFailureText(SourceFileName));
    std::string line;
    std::vector<std::string_view> fields;
    while (source.ReadLine(line)) {
        fields.clear();
        const std::string_view trimmed = TrimControls(line);
        SplitLine(trimmed, fields);
        if (fields.empty())
            continue;
        const std::size_t datePosition =
            columns_ ? static_cast<std::size_t>(columns_->Position(HistoryColumn::Date)) : 0;
        const std::string_view dateField = datePosition < fields.size() ? fields[datePosition]
                                                                        : std::string_view();
        if (!IsDataLineDate(dateField)) {
            // The last title before the data names the columns.
            std::optional<HistoryColumns> title = ReadHistoryTitle(trimmed, Separator);
            if (title && title->Position(HistoryColumn::Close) >= 0 && !title->Repeated())
                columns_ = std::move(title);
            continue;
        }
        const std::size_t valueColumns = std::min<std::size_t>(fields.size() - 1, 255);
        ValueColumns = static_cast<std::uint8_t>(valueColumns);
        ColumnsByName = columns_.has_value();
        HeaderLines = static_cast<std::int32_t>(
            std::min<long long>(source.LineNumber() - 1, std::numeric_limits<std::int32_t>::max()));
        return;
    }
    columns_.reset();
    if (source.Failed())
        throw MarketDataError(source.FailureText(SourceBaseName()));
}

bool TAsciiFileReader::IsDataLineDate(std::string_view field)
{
    if (field.find(locale_.dateSeparator) != std::string_view::npos) {
        TDateTime date = 0;
        if (!TryParseLocaleDate(field, locale_, date))
            return false;
        SeparatedDates = true;
        return true;
    }
    std::int32_t number = 0;
    return TryParseInt32(field, number);
}

void TAsciiFileReader::SplitLine(std::string_view line, std::vector<std::string_view>& fields) const
{
    if (columns_)
        SplitColumns(line, Separator, fields);
    else
        SplitFields(line, Separator, fields);
}

TAsciiFileReader::ValuePositions TAsciiFileReader::Positions() const
{
    if (columns_) {
        const auto at = [this](HistoryColumn column) { return columns_->Position(column); };
        return {at(HistoryColumn::Date),
                at(HistoryColumn::High),
                at(HistoryColumn::Low),
                at(HistoryColumn::Close),
                at(HistoryColumn::Volume),
                columns_->FieldsReaching({HistoryColumn::Date, HistoryColumn::High, HistoryColumn::Low,
                                          HistoryColumn::Close, HistoryColumn::Volume})};
    }
    const ValueLayout layout = LayoutFor(ValueColumns);
    return {0, layout.high, layout.low, layout.close, layout.volume, layout.fieldsNeeded};
}

std::string TAsciiFileReader::SourceBaseName() const
{
    return std::filesystem::path(SourceFileName).filename().string();
}

std::string TAsciiFileReader::LinePrefix(long long lineNumber) const
{
    return "Line " + std::to_string(lineNumber) + " of " + SourceBaseName() + ": ";
}

TDateTime TAsciiFileReader::ParseDate(std::string_view field, long long lineNumber) const
{
    TDateTime date = 0;
    if (SeparatedDates) {
        if (!TryParseLocaleDate(field, locale_, date))
            throw MarketDataError(LinePrefix(lineNumber) + QuotedForMessage(field)
                                  + " is not a valid date in the format " + locale_.shortDateFormat + ".");
        const CivilDate c = DecodeDate(date);
        if (c.year < 9 && !TryEncodeDate(c.year + 2000, c.month, c.day, date))
            throw MarketDataError(LinePrefix(lineNumber) + QuotedForMessage(field) + " is not a valid date.");
        return date;
    }
    // yyyymmdd, yymmdd or ymmdd as a number.
    double number = 0;
    bool valid = TryParseDecimal(field, locale_.decimalSeparator, number) && std::fabs(number) < 1e9;
    if (valid) {
        const long long whole = static_cast<long long>(number);
        const int year = static_cast<int>(whole / 10000);
        valid = TryEncodeDate(ExpandTwoDigitYear(year), static_cast<int>(whole / 100 % 100),
                              static_cast<int>(whole % 100), date);
    }
    if (!valid)
        throw MarketDataError(LinePrefix(lineNumber) + QuotedForMessage(field) + " is not a valid date.");
    return date;
}

float TAsciiFileReader::ParseValue(std::string_view field, long long lineNumber) const
{
    // The fields are separated by commas, so a price file under a locale
    // with a decimal comma (downloaded history, others' files) can only
    // write its fractions with a point: both are read.
    float value = 0;
    if (!TryParseSingle(field, locale_.decimalSeparator, value)
        && (locale_.decimalSeparator == '.' || !TryParseSingle(field, '.', value)))
        throw MarketDataError(LinePrefix(lineNumber) + QuotedForMessage(field) + " is not a valid number.");
    return value;
}

void TAsciiFileReader::Convert()
{
    const std::string baseName = std::filesystem::path(SourceFileName).stem().string();
    const std::size_t equals = baseName.find(" =");
    if (equals != std::string::npos) {
        Symbol = baseName.substr(0, equals + 1);
    } else {
        Symbol = baseName;
        for (char& c : Symbol)
            if (c >= 'a' && c <= 'z')
                c = static_cast<char>(c - 'a' + 'A');
    }

    RecordCount = 0;
    const ValuePositions at = Positions();
    std::int32_t count = 0;
    try {
        TextLineReader source(SourceFileName);
        if (!source.IsOpen())
            throw MarketDataError(source.OpenFailureText(SourceFileName));
        const std::unique_ptr<PriceWorkFileWriter> created = CreateWorkFile();
        PriceWorkFileWriter& work = *created;
        std::string line;
        for (std::int32_t i = 0; i < HeaderLines && source.ReadLine(line); ++i) {}
        std::vector<std::string_view> fields;
        while (source.ReadLine(line)) {
            fields.clear();
            SplitLine(line, fields);
            if (std::count_if(fields.begin(), fields.end(), [](std::string_view f) { return !f.empty(); })
                < 2)
                continue;
            const long long lineNumber = source.LineNumber();
            if (fields.size() < at.fieldsNeeded)
                throw MarketDataError(LinePrefix(lineNumber) + std::to_string(fields.size())
                                      + " fields where " + std::to_string(at.fieldsNeeded) + " are needed.");
            TPriceRecord record;
            record.Date = ParseDate(fields[static_cast<std::size_t>(at.date)], lineNumber);
            const auto value = [&](int position) {
                return position < 0 ? 0.0f
                                    : ParseValue(fields[static_cast<std::size_t>(position)], lineNumber);
            };
            record.High = value(at.high);
            record.Low = value(at.low);
            record.Close = value(at.close);
            record.Volume = value(at.volume);
            if (count == std::numeric_limits<std::int32_t>::max())
                throw MarketDataError(LinePrefix(lineNumber) + "too many records.");
            work.Append(record);
            ++count;
        }
        if (source.Failed())
            throw MarketDataError(source.FailureText(SourceBaseName()));
        work.Close();
    } catch (const MarketDataError& e) {
        notifier_.Info(e.what());
        RecordCount = 0;
        return;
    }
    RecordCount = count;
    if (RecordCount > 0)
        ReverseIfDescending();
}

}  // namespace kestrava
