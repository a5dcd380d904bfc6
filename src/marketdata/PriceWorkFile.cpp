#include "PriceWorkFile.h"

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cstring>

#include "common/fileaccess.h"

namespace kestrava {
namespace {

constexpr std::size_t kBufferRecords = 4096;

template <typename Bits>
void PutLittleEndian(Bits bits, unsigned char* bytes)
{
    for (std::size_t i = 0; i < sizeof bits; ++i)
        bytes[i] = static_cast<unsigned char>(bits >> (8 * i));
}

template <typename Bits>
Bits GetLittleEndian(const unsigned char* bytes)
{
    Bits bits = 0;
    for (std::size_t i = 0; i < sizeof bits; ++i)
        bits |= static_cast<Bits>(bytes[i]) << (8 * i);
    return bits;
}

std::string PathText(const std::filesystem::path& path)
{
    return path.string();
}

}  // namespace

void EncodePriceRecord(const TPriceRecord& record, unsigned char* bytes)
{
    PutLittleEndian(std::bit_cast<std::uint64_t>(record.Date), bytes);
    PutLittleEndian(std::bit_cast<std::uint32_t>(record.High), bytes + 8);
    PutLittleEndian(std::bit_cast<std::uint32_t>(record.Low), bytes + 12);
    PutLittleEndian(std::bit_cast<std::uint32_t>(record.Close), bytes + 16);
    PutLittleEndian(std::bit_cast<std::uint32_t>(record.Volume), bytes + 20);
}

TPriceRecord DecodePriceRecord(const unsigned char* bytes)
{
    TPriceRecord record;
    record.Date = std::bit_cast<double>(GetLittleEndian<std::uint64_t>(bytes));
    record.High = std::bit_cast<float>(GetLittleEndian<std::uint32_t>(bytes + 8));
    record.Low = std::bit_cast<float>(GetLittleEndian<std::uint32_t>(bytes + 12));
    record.Close = std::bit_cast<float>(GetLittleEndian<std::uint32_t>(bytes + 16));
    record.Volume = std::bit_cast<float>(GetLittleEndian<std::uint32_t>(bytes + 20));
    return record;
}

PriceWorkFileReader::PriceWorkFileReader(const std::filesystem::path& path) : path_(path)
{
    // A directory opens on some systems and then claims an endless size; a
    // FIFO would hold the reading for ever.
    std::string reason;
    file_.reset(OpenRegularFile(path, reason));
    if (!file_)
        throw MarketDataError("Cannot open the price work file " + PathText(path) + ": " + reason + ".");
    if (std::fseek(file_.get(), 0, SEEK_END) != 0)
        throw MarketDataError("Cannot read the price work file " + PathText(path) + ".");
    const long size = std::ftell(file_.get());
    count_ = size > 0 ? static_cast<std::int64_t>(size) / static_cast<std::int64_t>(kPriceRecordSize) : 0;
}

void PriceWorkFileReader::Read(std::int64_t first, std::int64_t count, std::vector<TPriceRecord>& out)
{
    if (first < 0 || count < 0 || first + count > count_)
        throw MarketDataError("Records " + std::to_string(first) + " to " + std::to_string(first + count - 1)
                              + " are not in " + PathText(path_) + ".");
    if (count == 0)
        return;
    if (std::fseek(file_.get(), static_cast<long>(first * kPriceRecordSize), SEEK_SET) != 0)
        throw MarketDataError("Cannot read the price work file " + PathText(path_) + ".");
    unsigned char bytes[kPriceRecordSize * 256];
    while (count > 0) {
        const std::size_t chunk = static_cast<std::size_t>(std::min<std::int64_t>(count, 256));
        if (std::fread(bytes, kPriceRecordSize, chunk, file_.get()) != chunk)
            throw MarketDataError("Cannot read the price work file " + PathText(path_) + ".");
        for (std::size_t i = 0; i < chunk; ++i)
            out.push_back(DecodePriceRecord(bytes + i * kPriceRecordSize));
        count -= static_cast<std::int64_t>(chunk);
    }
}

PriceWorkFileWriter::PriceWorkFileWriter(const std::filesystem::path& path, Creation creation) : path_(path)
{
    if (creation == Creation::Exclusive) {
        int error = 0;
        file_.reset(CreateNewFile(path, kOwnerOnly, error));
        if (!file_ && error == EEXIST)
            throw WorkFileTaken("The price work file " + PathText(path) + " exists already.");
    } else {
        file_ = OpenFile(path.c_str(), "wb");
    }
    if (!file_)
        throw MarketDataError("Cannot create the price work file " + PathText(path) + ".");
    buffer_.reserve(kBufferRecords * kPriceRecordSize);
}

void PriceWorkFileWriter::Append(const TPriceRecord& record)
{
    if (buffer_.size() + kPriceRecordSize > buffer_.capacity())
        Flush();
    const std::size_t at = buffer_.size();
    buffer_.resize(at + kPriceRecordSize);
    EncodePriceRecord(record, buffer_.data() + at);
}

void PriceWorkFileWriter::Flush()
{
    if (!file_)
        throw MarketDataError("The price work file " + PathText(path_) + " is closed.");
    if (!buffer_.empty() && std::fwrite(buffer_.data(), 1, buffer_.size(), file_.get()) != buffer_.size())
        throw MarketDataError("Cannot write the price work file " + PathText(path_) + ".");
    buffer_.clear();
}

void PriceWorkFileWriter::Close()
{
    Flush();
    if (!CloseFile(file_))
        throw MarketDataError("Cannot write the price work file " + PathText(path_) + ".");
}

std::vector<TPriceRecord> ReadPriceRecords(const std::filesystem::path& path)
{
    PriceWorkFileReader reader(path);
    std::vector<TPriceRecord> records;
    records.reserve(static_cast<std::size_t>(reader.Count()));
    reader.Read(0, reader.Count(), records);
    return records;
}

}  // namespace kestrava
