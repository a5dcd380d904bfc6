#pragma once
// The ".ops" series file: a list of expiry records, each a fixed sequence of
// tagged values (a one-byte tag, then its little-endian payload). There is no
// signature and no record length, so a record is read field by field.

#include <cstdint>
#include <istream>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "common/notifier.h"
#include "pricing/IORecObj1.h"

namespace kestrava {

// Raised for a file that cannot be opened, created or written, that does not
// begin a series, or that ends between records; and inside ReadSeries for a
// damaged record. what() is the text to show.
class SeriesFileError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Raised by a save onto a file the user made read-only; what() is ""name" is
// read-only."
class SeriesReadOnlyError : public SeriesFileError {
public:
    using SeriesFileError::SeriesFileError;
};

extern const char* const kSeriesReadTrouble;  // "Trouble reading saved Option Grid."
extern const char* const kStreamReadError;    // "Stream read error"

// "Cannot open file "name". " and the system's text for the errno value.
std::string CannotOpenFileMessage(const std::string& fileName, int error);

enum SeriesTag : std::uint8_t {
    kTagListEnd = 0x00,
    kTagListBegin = 0x01,
    kTagInt8 = 0x02,
    kTagInt16 = 0x03,
    kTagInt32 = 0x04,
    kTagExtended = 0x05,
    kTagShortText = 0x06,
    kTagLongText = 0x0C,
    kTagDate = 0x11,
    kTagWideText = 0x12,
    kTagInt64 = 0x13,
    kTagUtf8Text = 0x14,
    kTagDouble = 0x15,
};

// Collects the tagged values of a series in memory; the caller writes the
// bytes out in one go.
class SeriesWriter {
public:
    void WriteListBegin();
    void WriteListEnd();
    // The smallest of int8, int16 and int32 that holds the value.
    void WriteInteger(std::int32_t value);
    // Extended, holding the single-precision value exactly.
    void WriteFloat(float value);
    void WriteDate(TDateTime value);
    // A text in the single-byte code page: short or long text when it is
    // pure 7-bit, otherwise UTF-8 text.
    void WriteText(std::string_view text);

    const std::string& Bytes() const { return bytes_; }

private:
    void Put(std::uint8_t byte) { bytes_ += static_cast<char>(byte); }
    void PutLittleEndian(std::uint64_t value, int byteCount);
    std::string bytes_;
};

// Reads tagged values from a stream and never past its end. Every failure
// throws SeriesFileError: "Stream read error" at the end of the data,
// "Invalid property value" for a tag the field does not accept.
class SeriesReader {
public:
    // The stream must be seekable: its remaining length bounds every text.
    explicit SeriesReader(std::istream& in);

    bool AtEnd() const { return remaining_ == 0; }
    std::uint8_t PeekTag();
    std::uint8_t ReadTag();
    void ReadListBegin();

    // int8, int16 or int32, sign-extended.
    std::int32_t ReadInteger();
    // Extended, double, int64, int8, int16 or int32, narrowed by ToSingle.
    float ReadFloat();
    // Date, int64, int8, int16 or int32; must be a day the calendar has.
    TDateTime ReadDate();
    // Short, long, wide or UTF-8 text, returned in the single-byte code page.
    std::string ReadText();

private:
    void ReadBytes(void* buffer, std::uint64_t count);
    std::uint64_t ReadLittleEndian(int byteCount);
    std::string ReadTextBytes(std::uint64_t count);
    std::istream& in_;
    std::uint64_t remaining_ = 0;
};

// The day numbers a date field may hold: 1 January 0001 up to the end of
// 31 December 9999.
constexpr double kFirstDay = -693593.0;
constexpr double kDayAfterLast = 2958466.0;

// A page shows three expiries; a file claiming more than this many records is
// taken for damage rather than read into memory without end.
constexpr std::size_t kMaxSeriesExpiries = 1000;

// Texts longer than this are taken for damage rather than read.
constexpr std::uint64_t kMaxSeriesTextBytes = 1 << 20;

// Narrowing used for every float field read: NaN becomes 0, infinities and
// values beyond the single range become the largest single of their sign, so
// a damaged number never reaches the models as NaN or infinity.
float ToSingle(double value);

// One expiry record.
void WriteSeries(SeriesWriter& writer, const TInOutObj& series);
// Fills the fields the file holds and leaves the others as they are. A
// strike count outside 0 to 20 is damage like any other.
void ReadSeries(SeriesReader& reader, TInOutObj& series);

// Writes the whole list to a temporary file beside fileName and renames it
// over fileName, so a failed save leaves any old file as it was. Throws
// SeriesFileError naming the file and the system's reason: "Cannot create
// file "..." ..." or "Cannot write file "..." No space left on device". A
// link to a file of the user's has that file replaced and stays; any other
// link is refused. A read-only file throws SeriesReadOnlyError unless
// replaceReadOnly, when it is replaced and stays read-only.
void SaveSeriesFile(const std::string& fileName, const std::vector<TInOutObj>& series,
                    bool replaceReadOnly = false);

// Appends the expiries of the file to series. A damaged record, or one more
// than kMaxSeriesExpiries: shows kSeriesReadTrouble through notifier, discards
// that record, keeps those before it and returns false. A file that cannot be opened, does not begin a
// series or ends between records throws SeriesFileError; the expiries read by
// then stay in series. A file with a model outside the model table throws
// SeriesFileError and adds nothing.
bool LoadSeriesFile(const std::string& fileName, std::vector<TInOutObj>& series, Notifier& notifier);

// The same from a stream already open at the series' first byte.
bool LoadSeriesStream(std::istream& in, std::vector<TInOutObj>& series, Notifier& notifier);

// Throws SeriesFileError naming the file, the expiry and its model number
// when an expiry of series read from fileName names a model outside the
// model table: it could only be priced wrong. LoadSeriesFile refuses such a
// file whole with it.
void RequireKnownModels(const std::string& fileName, std::span<const TInOutObj> series);

// The open problem of a stream over fileName as the series readers say it:
// "Cannot open file "name". Not a regular file: it is a folder" or the
// system's reason.
std::string SeriesOpenMessage(const std::string& fileName, int error, const std::string& problem);

}  // namespace kestrava
