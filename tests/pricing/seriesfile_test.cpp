#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "pricing/ModelTable.h"
#include "pricing/seriesfile.h"

#include <csignal>

#include "support/fifo_race.h"
#include "support/file_bytes.h"
#include "support/recording_notifier.h"
#include "support/scratch_dir.h"
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace kestrava;
namespace fs = std::filesystem;

namespace {

using RecordingNotifier = kestrava::testsupport::RecordingNotifier;

// ---- Building files byte by byte, as another program might write them ----

std::string LittleEndian(std::uint64_t value, int count)
{
    std::string bytes;
    for (int i = 0; i < count; ++i)
        bytes += static_cast<char>(value >> (8 * i));
    return bytes;
}

std::string Tagged(SeriesTag tag, std::uint64_t payload, int count)
{
    return static_cast<char>(tag) + LittleEndian(payload, count);
}

std::string Int8(int v)
{
    return Tagged(kTagInt8, static_cast<std::uint8_t>(v), 1);
}
std::string Int16(int v)
{
    return Tagged(kTagInt16, static_cast<std::uint16_t>(v), 2);
}
std::string Int32(std::int32_t v)
{
    return Tagged(kTagInt32, static_cast<std::uint32_t>(v), 4);
}
std::string Int64(std::int64_t v)
{
    return Tagged(kTagInt64, static_cast<std::uint64_t>(v), 8);
}
std::string Double(double v)
{
    return Tagged(kTagDouble, std::bit_cast<std::uint64_t>(v), 8);
}
std::string Date(double v)
{
    return Tagged(kTagDate, std::bit_cast<std::uint64_t>(v), 8);
}
std::string Extended(std::uint64_t significand, unsigned signAndExponent)
{
    return static_cast<char>(kTagExtended) + LittleEndian(significand, 8) + LittleEndian(signAndExponent, 2);
}
std::string ExtendedOf(float v)
{
    SeriesWriter writer;
    writer.WriteFloat(v);
    return writer.Bytes();
}
std::string ShortText(const std::string& s)
{
    return static_cast<char>(kTagShortText) + LittleEndian(s.size(), 1) + s;
}
std::string LongText(const std::string& s)
{
    return static_cast<char>(kTagLongText) + LittleEndian(s.size(), 4) + s;
}
std::string Utf8Text(const std::string& s)
{
    return static_cast<char>(kTagUtf8Text) + LittleEndian(s.size(), 4) + s;
}
std::string WideText(const std::u16string& s)
{
    std::string bytes = static_cast<char>(kTagWideText) + LittleEndian(s.size(), 4);
    for (char16_t c : s)
        bytes += LittleEndian(c, 2);
    return bytes;
}

// Fields 1 to 19 of a plain record with the given strike count.
std::string RecordHead(int numStrikes)
{
    return Int8(1) + Int8(3) + Int16(200) + Int8(1) + Int8(numStrikes) + Int8(0) + Int8(90) + ExtendedOf(0)
           + ExtendedOf(0.05f) + ExtendedOf(100) + ExtendedOf(0.25f) + Date(39449) + Date(39449) + Date(39466)
           + Date(0) + Int8(5) + ShortText("ABC") + ShortText("") + ShortText("");
}

std::string Record(int numStrikes)
{
    std::string record = RecordHead(numStrikes);
    for (int s = 1; s <= numStrikes; ++s)
        for (int k = 1; k <= 2; ++k)
            record += ExtendedOf(95.0f + 5 * s) + ExtendedOf(1.5f) + ExtendedOf(-0.25f) + ExtendedOf(0);
    return record;
}

// The one-expiry, one-strike series of the format's worked example.
TInOutObj WorkedExample()
{
    TInOutObj p;
    p.ContractType = kEquity;
    p.Model = kBinomial;
    p.Steps = 200;
    p.ExpiryMonth = 1;
    p.NumStrikes = 1;
    p.SigmaDays = 90;
    p.Rate = 0.05f;
    p.Underlying = 100;
    p.Sigma = 0.25f;
    p.PriceDate = EncodeDate(2008, 1, 2);
    p.TodayDate = EncodeDate(2008, 1, 2);
    p.ExpiryDate = EncodeDate(2008, 1, 19);
    p.SourceFileType = 5;
    p.OptSymbol = "ABC";
    p.Strike(1, 1) = 100;
    p.Strike(1, 2) = 100;
    return p;
}

class SeriesFileTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        dir_ = testsupport::MakeScratchDir(std::string("kestrava-seriesfile-") + info->name());
    }
    void TearDown() override { fs::remove_all(dir_); }

    std::string PathOf(const std::string& name) const { return (dir_ / name).string(); }

    std::string WriteFile(const std::string& name, const std::string& bytes) const
    {
        const std::string path = PathOf(name);
        testsupport::WriteFile(path, bytes);
        return path;
    }

    static std::string ReadFile(const std::string& path) { return testsupport::ReadFile(path); }

    std::vector<std::string> FilesInDir() const
    {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(dir_))
            names.push_back(entry.path().filename().string());
        return names;
    }

    // Loads bytes given as a file; returns LoadSeriesFile's result.
    bool Load(const std::string& bytes, std::vector<TInOutObj>& series, RecordingNotifier& notifier)
    {
        return LoadSeriesFile(WriteFile("load.ops", bytes), series, notifier);
    }

    fs::path dir_;
};

std::string Hex(const std::string& bytes)
{
    std::string text;
    char cell[4];
    for (unsigned char b : bytes) {
        std::snprintf(cell, sizeof cell, "%02X ", b);
        text += cell;
    }
    return text;
}

}  // namespace

// ---- The writer --------------------------------------------------------------

TEST_F(SeriesFileTest, WorkedExampleComesOutByteForByte)
{
    const std::vector<std::uint8_t> expected = {
        0x01,                                                              // list begin
        0x02, 0x01, 0x02, 0x03,                                            // ContractType, Model
        0x03, 0xC8, 0x00,                                                  // Steps
        0x02, 0x01, 0x02, 0x01, 0x02, 0x00, 0x02, 0x5A,                    // ExpiryMonth .. SigmaDays
        0x05, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,                                // Dividend
        0x05, 0x00, 0x00, 0x00, 0x00, 0x00, 0xCD, 0xCC, 0xCC, 0xFA, 0x3F,  // Rate
        0x05, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xC8, 0x05, 0x40,  // Underlying
        0x05, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x80, 0xFD, 0x3F,  // Sigma
        0x11, 0x00, 0x00, 0x00, 0x00, 0x20, 0x43, 0xE3, 0x40,              // PriceDate
        0x11, 0x00, 0x00, 0x00, 0x00, 0x20, 0x43, 0xE3, 0x40,              // TodayDate
        0x11, 0x00, 0x00, 0x00, 0x00, 0x40, 0x45, 0xE3, 0x40,              // ExpiryDate
        0x11, 0, 0, 0, 0, 0, 0, 0, 0,                                      // DivDate
        0x02, 0x05,                                                        // SourceFileType
        0x06, 0x03, 0x41, 0x42, 0x43,                                      // OptSymbol
        0x06, 0x00, 0x06, 0x00,                                            // SourceFile, OptContract
        // call: Strike 100, Last, NetChange, ReservedValue
        0x05, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xC8, 0x05, 0x40, 0x05, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
        0x05, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x05, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
        // put: the same
        0x05, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xC8, 0x05, 0x40, 0x05, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
        0x05, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x05, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
        0x00,  // list end
    };
    const std::string path = PathOf("example.ops");
    SaveSeriesFile(path, {WorkedExample()});
    const std::string written = ReadFile(path);

    ASSERT_EQ(written.size(), expected.size()) << Hex(written);
    for (std::size_t i = 0; i < expected.size(); ++i)
        EXPECT_EQ(static_cast<std::uint8_t>(written[i]), expected[i]) << "byte " << i;
    EXPECT_EQ(FilesInDir(), std::vector<std::string>{"example.ops"}) << "no temporary file left";
}

TEST_F(SeriesFileTest, ThreeStrikeExpiryHasTheSizeOfItsFields)
{
    TInOutObj p = WorkedExample();
    p.NumStrikes = 3;
    const std::string path = PathOf("three.ops");
    SaveSeriesFile(path, {p});
    // 7 integers (Steps 200 takes int16), 4 extended, 4 dates, 1 integer,
    // "ABC" and two empty texts, 3 strikes x 2 sides x 4 extended.
    const std::size_t record = (6 * 2 + 3) + 4 * 11 + 4 * 9 + 2 + (5 + 2 + 2) + 24 * 11;
    EXPECT_EQ(fs::file_size(path), 1 + record + 1);
}

TEST(SeriesWriter, IntegersTakeTheSmallestTagAndReadBack)
{
    const std::pair<std::int32_t, std::string> cases[] = {
        {0, Int8(0)},
        {127, Int8(127)},
        {-128, Int8(-128)},
        {128, Int16(128)},
        {-129, Int16(-129)},
        {200, std::string("\x03\xC8\x00", 3)},  // Steps on a new series
        {32767, Int16(32767)},
        {-32768, Int16(-32768)},
        {32768, Int32(32768)},
        {-32769, Int32(-32769)},
        {INT32_MAX, Int32(INT32_MAX)},
        {INT32_MIN, Int32(INT32_MIN)},
    };
    for (const auto& [value, bytes] : cases) {
        SeriesWriter writer;
        writer.WriteInteger(value);
        EXPECT_EQ(Hex(writer.Bytes()), Hex(bytes)) << value;
        std::istringstream in(writer.Bytes());
        SeriesReader reader(in);
        EXPECT_EQ(reader.ReadInteger(), value);
        EXPECT_TRUE(reader.AtEnd());
    }
}

TEST(SeriesWriter, TextsTakeShortLongOrUtf8Tags)
{
    const std::string longAscii(256, 'x');
    const std::pair<std::string, std::string> cases[] = {
        {"", std::string("\x06\x00", 2)},  // an empty SourceFile
        {"ABC", "\x06\x03"
                "ABC"},
        {std::string(255, 'x'), "\x06\xFF" + std::string(255, 'x')},
        {longAscii, std::string("\x0C\x00\x01\x00\x00", 5) + longAscii},
        {"Z\xFCrich", Utf8Text("Z\xC3\xBCrich")},
        {"\x80 5", Utf8Text("\xE2\x82\xAC 5")},  // the euro sign
    };
    for (const auto& [text, bytes] : cases) {
        SeriesWriter writer;
        writer.WriteText(text);
        EXPECT_EQ(Hex(writer.Bytes()), Hex(bytes)) << text;
        std::istringstream in(writer.Bytes());
        SeriesReader reader(in);
        EXPECT_EQ(reader.ReadText(), text);
        EXPECT_TRUE(reader.AtEnd());
    }
}

TEST(SeriesWriter, FloatsComeBackAsTheSameSingle)
{
    const float values[] = {0.0f,     -0.0f,   0.05f,        100.0f,   -3.75f,      1e-30f,      FLT_MAX,
                            -FLT_MAX, FLT_MIN, FLT_TRUE_MIN, 1.2e-40f, 123456.789f, 16777217.0f, 0.1f};
    for (float value : values) {
        SeriesWriter writer;
        writer.WriteFloat(value);
        ASSERT_EQ(writer.Bytes().size(), 11u);
        std::istringstream in(writer.Bytes());
        SeriesReader reader(in);
        const float back = reader.ReadFloat();
        EXPECT_EQ(std::bit_cast<std::uint32_t>(back), std::bit_cast<std::uint32_t>(value))
            << value << " came back as " << back << "; bytes " << Hex(writer.Bytes());
    }
}

// ---- Round trips and foreign files ------------------------------------------

TEST_F(SeriesFileTest, EveryFieldInTheFileRoundTrips)
{
    TInOutObj first;
    first.ContractType = kIndex;
    first.Model = kWhaley;
    first.Steps = 70000;
    first.ExpiryMonth = 12;
    first.NumStrikes = kMaxStrikes;
    first.ReservedInt = -7;
    first.SigmaDays = 250;
    first.Dividend = 0.0175f;
    first.Rate = 0.0425f;
    first.Underlying = 1468.36f;
    first.Sigma = 0.187f;
    first.PriceDate = EncodeDate(2007, 12, 31) + 0.75;
    first.TodayDate = EncodeDate(2008, 1, 2) + 0.375;
    first.ExpiryDate = EncodeDate(2008, 12, 19);
    first.DivDate = EncodeDate(2008, 3, 14);
    first.SourceFileType = 255;
    first.OptSymbol = "SPX";
    first.SourceFile = "C:\\Donn\xE9"
                       "es\\M\xFC"
                       "nchen "
                       + std::string(300, 'p') + ".csv";
    first.OptContract = "SXZ-\x80";
    for (int s = 1; s <= kMaxStrikes; ++s) {
        for (int k = 1; k <= 2; ++k) {
            first.Strike(s, k) = 1300.0f + 12.5f * s;
            first.Last(s, k) = 0.05f * s + k;
            first.NetChange(s, k) = -0.35f * s * k;
            first.ReservedValue(s, k) = 1e-3f * s;
        }
    }
    TInOutObj second = WorkedExample();
    second.ContractType = kCurrency;
    second.SigmaDays = -1;

    const std::string path = PathOf("round.ops");
    SaveSeriesFile(path, {first, second});
    std::vector<TInOutObj> loaded;
    RecordingNotifier notifier;
    ASSERT_TRUE(LoadSeriesFile(path, loaded, notifier));
    EXPECT_TRUE(notifier.errors.empty());
    ASSERT_EQ(loaded.size(), 2u);

    for (std::size_t i = 0; i < 2; ++i) {
        const TInOutObj& want = i == 0 ? first : second;
        const TInOutObj& got = loaded[i];
        SCOPED_TRACE("expiry " + std::to_string(i + 1));
        EXPECT_EQ(got.ContractType, want.ContractType);
        EXPECT_EQ(got.Model, want.Model);
        EXPECT_EQ(got.Steps, want.Steps);
        EXPECT_EQ(got.ExpiryMonth, want.ExpiryMonth);
        EXPECT_EQ(got.NumStrikes, want.NumStrikes);
        EXPECT_EQ(got.ReservedInt, want.ReservedInt);
        EXPECT_EQ(got.SigmaDays, want.SigmaDays);
        EXPECT_EQ(got.Dividend, want.Dividend);
        EXPECT_EQ(got.Rate, want.Rate);
        EXPECT_EQ(got.Underlying, want.Underlying);
        EXPECT_EQ(got.Sigma, want.Sigma);
        EXPECT_EQ(got.PriceDate, want.PriceDate);
        EXPECT_EQ(got.TodayDate, want.TodayDate);
        EXPECT_EQ(got.ExpiryDate, want.ExpiryDate);
        EXPECT_EQ(got.DivDate, want.DivDate);
        EXPECT_EQ(got.SourceFileType, want.SourceFileType);
        EXPECT_EQ(got.OptSymbol, want.OptSymbol);
        EXPECT_EQ(got.SourceFile, want.SourceFile);
        EXPECT_EQ(got.OptContract, want.OptContract);
        for (int s = 1; s <= want.NumStrikes; ++s) {
            for (int k = 1; k <= 2; ++k) {
                EXPECT_EQ(got.Strike(s, k), want.Strike(s, k)) << s << "," << k;
                EXPECT_EQ(got.Last(s, k), want.Last(s, k)) << s << "," << k;
                EXPECT_EQ(got.NetChange(s, k), want.NetChange(s, k)) << s << "," << k;
                EXPECT_EQ(got.ReservedValue(s, k), want.ReservedValue(s, k)) << s << "," << k;
            }
        }
        // What the file does not hold comes back empty.
        EXPECT_EQ(got.ExpiryDay, 0);
        EXPECT_EQ(got.SkewMode, 0);
        EXPECT_EQ(got.Bid(1, 1), 0.0f);
        EXPECT_EQ(got.Theo(1, 2), 0.0f);
        EXPECT_TRUE(got.OptCode(1, 1).empty());
    }
}

TEST_F(SeriesFileTest, FileOfAnotherWriterLoads)
{
    // Wider tags everywhere the reader accepts them.
    std::string record = Int32(4) + Int16(2) + Int32(150) + Int8(6) + Int32(2) + Int16(0) + Int8(30)
                         + Double(0.035) + Int8(0) + Int64(25000) + Int16(1) + Int64(39449) + Int32(39450)
                         + Int16(-2) + Int8(0) + Int32(300) + WideText(u"EUR \u20AC \u00E9 \u4E2D")
                         + Utf8Text("M\xC3\xBCnchen.csv") + LongText("XDE");
    record += Double(1.35) + Int16(-3) + Int64(-1) + Int32(0);  // strike 1 call
    record += Double(1.35) + Int8(7) + Double(0.5) + Int8(0);   // strike 1 put
    record += Extended(0xA000000000000000ULL, 0x3FFF) + Int8(0) + Int8(0) + Int8(0);
    record += Extended(0xA000000000000000ULL, 0x3FFF) + Int8(0) + Int8(0) + Int8(0);

    std::vector<TInOutObj> loaded;
    RecordingNotifier notifier;
    ASSERT_TRUE(Load("\x01" + record + std::string(1, '\0'), loaded, notifier));
    ASSERT_EQ(loaded.size(), 1u);
    const TInOutObj& p = loaded[0];
    EXPECT_EQ(p.ContractType, 4);
    EXPECT_EQ(p.Steps, 150);
    EXPECT_EQ(p.NumStrikes, 2);
    EXPECT_EQ(p.Dividend, 0.035f);
    EXPECT_EQ(p.Rate, 0.0f);
    EXPECT_EQ(p.Underlying, 25000.0f);
    EXPECT_EQ(p.Sigma, 1.0f);
    EXPECT_EQ(p.PriceDate, 39449.0);
    EXPECT_EQ(p.TodayDate, 39450.0);
    EXPECT_EQ(p.ExpiryDate, -2.0);
    EXPECT_EQ(p.DivDate, 0.0);
    EXPECT_EQ(p.SourceFileType, 300 & 0xFF) << "only the low 8 bits are kept";
    EXPECT_EQ(p.OptSymbol, "EUR \x80 \xE9 ?");
    EXPECT_EQ(p.SourceFile, "M\xFCnchen.csv");
    EXPECT_EQ(p.OptContract, "XDE");
    EXPECT_EQ(p.Strike(1, 1), 1.35f);
    EXPECT_EQ(p.Last(1, 1), -3.0f);
    EXPECT_EQ(p.NetChange(1, 1), -1.0f);
    EXPECT_EQ(p.Last(1, 2), 7.0f);
    EXPECT_EQ(p.NetChange(1, 2), 0.5f);
    EXPECT_EQ(p.Strike(2, 1), 1.25f);
    EXPECT_EQ(p.Strike(2, 2), 1.25f);
    EXPECT_TRUE(notifier.errors.empty());
}

TEST_F(SeriesFileTest, ExtendedValuesBeyondTheSingleAreNarrowedSafely)
{
    struct Case {
        const char* what;
        std::string bytes;
        float expected;
    };
    const Case cases[] = {
        {"NaN", Extended(0xC000000000000000ULL, 0x7FFF), 0.0f},
        {"+infinity", Extended(0x8000000000000000ULL, 0x7FFF), FLT_MAX},
        {"-infinity", Extended(0x8000000000000000ULL, 0xFFFF), -FLT_MAX},
        {"1e4000", Extended(0x8000000000000000ULL, 0x7FFE), FLT_MAX},
        {"-1e39", Extended(0xAE0D2E3AE3B9B000ULL, 0x8000 | (16383 + 129)), -FLT_MAX},
        {"1e-4000", Extended(0x8000000000000000ULL, 0x0001), 0.0f},
        {"extended subnormal", Extended(0x0000000000000001ULL, 0x0000), 0.0f},
        // 1 + 2^-24 + 2^-60: just above half-way between two singles, so it
        // rounds up; rounding to double first would lose the 2^-60 and tie to 1.
        {"near a tie", Extended(0x8000008000000010ULL, 0x3FFF), 1.0f + FLT_EPSILON},
        {"double NaN", Double(std::nan("")), 0.0f},
        {"double 1e300", Double(1e300), FLT_MAX},
    };
    for (const Case& c : cases) {
        std::istringstream in(c.bytes);
        SeriesReader reader(in);
        const float value = reader.ReadFloat();
        EXPECT_EQ(value, c.expected) << c.what;
    }
}

// ---- Damaged records ---------------------------------------------------------

TEST_F(SeriesFileTest, FileCutShortInTheSecondRecordKeepsTheFirst)
{
    const std::string whole = "\x01" + Record(2) + Record(3) + std::string(1, '\0');
    const std::size_t secondStart = 1 + Record(2).size();
    // Every cut inside the second record, from its first byte to its last.
    for (std::size_t cut = secondStart + 1; cut < whole.size() - 1; ++cut) {
        std::vector<TInOutObj> loaded;
        RecordingNotifier notifier;
        EXPECT_FALSE(Load(whole.substr(0, cut), loaded, notifier)) << "cut at " << cut;
        ASSERT_EQ(loaded.size(), 1u) << "cut at " << cut;
        EXPECT_EQ(loaded[0].NumStrikes, 2);
        EXPECT_EQ(loaded[0].Strike(2, 2), 105.0f);
        EXPECT_EQ(notifier.errors, std::vector<std::string>{"Trouble reading saved Option Grid."});
    }
}

TEST_F(SeriesFileTest, FileEndingBetweenRecordsThrowsAndKeepsWhatWasRead)
{
    std::vector<TInOutObj> loaded(1);  // an expiry the caller already holds
    RecordingNotifier notifier;
    try {
        Load("\x01" + Record(1) + Record(2), loaded, notifier);
        FAIL() << "no error for a missing list end";
    } catch (const SeriesFileError& e) {
        EXPECT_STREQ(e.what(), "Stream read error");
    }
    ASSERT_EQ(loaded.size(), 3u);
    EXPECT_EQ(loaded[2].NumStrikes, 2);
    EXPECT_TRUE(notifier.errors.empty());
}

// A model number the program has no model for could only be priced wrong:
// the file is refused whole, naming itself, the expiry and the number, and
// the caller's series is left as it was.
TEST_F(SeriesFileTest, ModelsOutsideTheModelTableRefuseTheFile)
{
    const auto withModel = [](int model) { return Int8(1) + Int8(model) + Record(1).substr(4); };
    for (const int model : {0, 5, 127, -3}) {
        SCOPED_TRACE(model);
        const std::string path = WriteFile("model.ops",
                                           "\x01" + Record(2) + withModel(model) + std::string(1, '\0'));
        std::vector<TInOutObj> loaded(1);
        RecordingNotifier notifier;
        try {
            LoadSeriesFile(path, loaded, notifier);
            FAIL() << "a series of model " << model << " was read";
        } catch (const SeriesFileError& e) {
            const std::string message = e.what();
            EXPECT_NE(message.find("\"" + path + "\""), std::string::npos) << message;
            EXPECT_NE(message.find("Expiry 2: model " + std::to_string(model) + " is not a pricing model"),
                      std::string::npos)
                << message;
        }
        EXPECT_EQ(loaded.size(), 1u);
    }
    // Every model of the table reads.
    for (const ModelEntry& entry : ModelTable()) {
        const int model = entry.number;
        std::vector<TInOutObj> loaded;
        RecordingNotifier notifier;
        ASSERT_TRUE(Load("\x01" + withModel(model) + std::string(1, '\0'), loaded, notifier)) << model;
        EXPECT_EQ(loaded.at(0).Model, model);
    }
}

TEST_F(SeriesFileTest, ZeroStrikesLoadAnExpiryWithoutStrikeBlock)
{
    std::vector<TInOutObj> loaded;
    RecordingNotifier notifier;
    ASSERT_TRUE(Load("\x01" + Record(0) + Record(1) + std::string(1, '\0'), loaded, notifier));
    ASSERT_EQ(loaded.size(), 2u);
    EXPECT_EQ(loaded[0].NumStrikes, 0);
    EXPECT_EQ(loaded[0].Strike(1, 1), 0.0f);
    EXPECT_EQ(loaded[1].NumStrikes, 1);
    EXPECT_EQ(loaded[1].Strike(1, 1), 100.0f);
}

TEST_F(SeriesFileTest, StrikeCountsBeyondTheTablesAreDamage)
{
    // 21 with 21 strikes' worth of data behind it; -1; 65537, whose low 16
    // bits alone would read as 1.
    for (int count : {21, -1, 65537, INT32_MIN}) {
        std::string bad = RecordHead(1);
        const std::string countField = count >= -127 && count <= 127 ? Int8(count) : Int32(count);
        bad.replace(Int8(1).size() * 2 + Int16(200).size() + Int8(1).size(), 2, countField);
        for (int i = 0; i < 21 * 8; ++i)
            bad += ExtendedOf(1);
        std::vector<TInOutObj> loaded;
        RecordingNotifier notifier;
        EXPECT_FALSE(Load("\x01" + Record(1) + bad + std::string(1, '\0'), loaded, notifier)) << count;
        ASSERT_EQ(loaded.size(), 1u) << count;
        EXPECT_EQ(loaded[0].NumStrikes, 1);
        EXPECT_EQ(notifier.errors.size(), 1u) << count;
    }
}

TEST_F(SeriesFileTest, EndlessRecordsStopAtTheLimit)
{
    std::string bytes = "\x01";
    for (std::size_t i = 0; i <= kMaxSeriesExpiries; ++i)
        bytes += Record(0);
    std::vector<TInOutObj> loaded;
    RecordingNotifier notifier;
    EXPECT_FALSE(Load(bytes + std::string(1, '\0'), loaded, notifier));
    EXPECT_EQ(loaded.size(), kMaxSeriesExpiries);
    EXPECT_EQ(notifier.errors.size(), 1u);

    loaded.clear();
    bytes.resize(bytes.size() - Record(0).size());
    EXPECT_TRUE(Load(bytes + std::string(1, '\0'), loaded, notifier)) << "exactly the limit";
    EXPECT_EQ(loaded.size(), kMaxSeriesExpiries);
}

TEST_F(SeriesFileTest, LengthsBeyondTheFileAreDamageNotAllocations)
{
    const std::string head = Int8(1) + Int8(3) + Int16(200) + Int8(1) + Int8(0) + Int8(0) + Int8(90)
                             + ExtendedOf(0) + ExtendedOf(0.05f) + ExtendedOf(100) + ExtendedOf(0.25f)
                             + Date(39449) + Date(39449) + Date(39466) + Date(0) + Int8(5);
    const std::string badTexts[] = {
        std::string("\x06\xC8", 2) + "ABC",              // 200 bytes announced, 3 there
        std::string("\x0C\xFF\xFF\xFF\x7F", 5) + "ABC",  // 2 GiB
        std::string("\x0C\xFF\xFF\xFF\xFF", 5) + "ABC",  // a negative length
        std::string("\x12\xFF\xFF\xFF\xFF", 5) + "AB",   // 4 G characters, 8 GiB
        std::string("\x14\x00\x00\x00\x80", 5) + "ABC",  // 2 GiB of UTF-8
        std::string("\x0C\xFF\xFF", 3),                  // the length itself cut off
        std::string("\x12\x01", 2),
        std::string("\x06", 1),
    };
    for (const std::string& text : badTexts) {
        std::vector<TInOutObj> loaded;
        RecordingNotifier notifier;
        EXPECT_FALSE(Load("\x01" + head + text, loaded, notifier)) << Hex(text);
        EXPECT_TRUE(loaded.empty());
        EXPECT_EQ(notifier.errors.size(), 1u);
    }
}

TEST_F(SeriesFileTest, WrongTagsAndImpossibleDatesAreDamage)
{
    const std::string fields[] = {
        ExtendedOf(1) + Int8(3),     // an extended where ContractType belongs
        ShortText("1") + Int8(3),    // a text where ContractType belongs
        std::string("\x07\x00", 2),  // a tag the format does not have
    };
    for (const std::string& start : fields) {
        std::vector<TInOutObj> loaded;
        RecordingNotifier notifier;
        EXPECT_FALSE(Load("\x01" + Record(1) + start + Record(1).substr(4), loaded, notifier)) << Hex(start);
        EXPECT_EQ(loaded.size(), 1u);
        EXPECT_EQ(notifier.errors.size(), 1u);
    }

    for (double date : {std::nan(""), HUGE_VAL, 1e10, -1e7}) {
        std::string record = Record(1);
        const std::size_t priceDateAt = record.find(Date(39449));
        record.replace(priceDateAt, 9, Date(date));
        std::vector<TInOutObj> loaded;
        RecordingNotifier notifier;
        EXPECT_FALSE(Load("\x01" + record + std::string(1, '\0'), loaded, notifier)) << date;
        EXPECT_TRUE(loaded.empty());
    }
}

// ---- Files that are not series and failed saves ------------------------------

TEST_F(SeriesFileTest, UnreadableFilesThrowTheLibraryMessages)
{
    std::vector<TInOutObj> loaded;
    RecordingNotifier notifier;
    const std::string missing = PathOf("missing.ops");
    try {
        LoadSeriesFile(missing, loaded, notifier);
        FAIL() << "no error for a missing file";
    } catch (const SeriesFileError& e) {
        EXPECT_EQ(std::string(e.what()).rfind("Cannot open file \"" + missing + "\". ", 0), 0u) << e.what();
    }
    EXPECT_THROW(LoadSeriesFile(dir_.string(), loaded, notifier), SeriesFileError);

    const std::pair<std::string, const char*> notSeries[] = {
        {"[{\"ContractType\": 1}]", "Invalid property value"},
        {std::string(1, '\0'), "Invalid property value"},
        {"", "Stream read error"},
        {"\x01", "Stream read error"},
    };
    for (const auto& [bytes, message] : notSeries) {
        try {
            Load(bytes, loaded, notifier);
            ADD_FAILURE() << "no error for " << Hex(bytes);
        } catch (const SeriesFileError& e) {
            EXPECT_STREQ(e.what(), message) << Hex(bytes);
        }
    }
    EXPECT_TRUE(loaded.empty());
    EXPECT_TRUE(notifier.errors.empty());

    std::vector<TInOutObj> none;
    EXPECT_TRUE(Load(std::string("\x01\x00", 2), none, notifier)) << "an empty list";
    EXPECT_TRUE(none.empty());
}

TEST_F(SeriesFileTest, FailedSaveLeavesNothingAndKeepsTheOldFile)
{
    const std::string nowhere = PathOf("no-such-dir/series.ops");
    try {
        SaveSeriesFile(nowhere, {WorkedExample()});
        FAIL() << "no error for a missing directory";
    } catch (const SeriesFileError& e) {
        EXPECT_EQ(std::string(e.what()).rfind("Cannot create file \"" + nowhere + "\". ", 0), 0u) << e.what();
    }
    EXPECT_FALSE(fs::exists(PathOf("no-such-dir")));

    const std::string good = PathOf("good.ops");
    SaveSeriesFile(good, {WorkedExample()});
    const std::string before = ReadFile(good);

    // What the reader would refuse is not saved, and the old file stays.
    std::vector<TInOutObj> unsavable(5, WorkedExample());
    unsavable[0].NumStrikes = 21;
    unsavable[1].NumStrikes = -1;
    unsavable[2].TodayDate = std::nan("");
    unsavable[3].ExpiryDate = 1e10;
    unsavable[4].SourceFile = std::string(kMaxSeriesTextBytes / 2 + 1, '\xE9');
    for (const TInOutObj& bad : unsavable) {
        EXPECT_THROW(SaveSeriesFile(good, {WorkedExample(), bad}), SeriesFileError);
        EXPECT_EQ(ReadFile(good), before);
    }

    // A disk that takes no more (the file size limit stands for it, also
    // for root): the message names the file and the system's reason.
    TInOutObj wide = WorkedExample();
    wide.NumStrikes = 20;
    const pid_t child = ::fork();
    if (child == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{1024, 1024};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        try {
            SaveSeriesFile(good, {wide, wide, wide});
        } catch (const SeriesFileError& e) {
            ::_exit(std::string(e.what()) == "Cannot write file \"" + good + "\". File too large" ? 0 : 2);
        }
        ::_exit(1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "child status " << status;
    EXPECT_EQ(ReadFile(good), before);
    fs::permissions(good, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);

    // A directory in the way of the rename.
    fs::create_directories(PathOf("taken.ops/inside"));
    EXPECT_THROW(SaveSeriesFile(PathOf("taken.ops"), {WorkedExample()}), SeriesFileError);
    EXPECT_TRUE(fs::is_directory(PathOf("taken.ops/inside")));

    auto names = FilesInDir();
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"good.ops", "taken.ops"})) << "no temporary file left";

    // Saving over a good file replaces it whole.
    TInOutObj changed = WorkedExample();
    changed.OptSymbol = "XYZW";
    SaveSeriesFile(good, {changed});
    std::vector<TInOutObj> loaded;
    RecordingNotifier notifier;
    ASSERT_TRUE(LoadSeriesFile(good, loaded, notifier));
    ASSERT_EQ(loaded.size(), 1u);
    EXPECT_EQ(loaded[0].OptSymbol, "XYZW");
    EXPECT_EQ(fs::status(good).permissions(),
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
}

TEST_F(SeriesFileTest, ReadsOfANameSwappedWithAFifoComeBack)
{
    const std::string saved = PathOf("saved.ops");
    SaveSeriesFile(saved, {WorkedExample()});
    const std::string bytes = ReadFile(saved);

    int loadedWhole = 0;
    const std::string problem = testsupport::ReadsComeBackWhileAFifoIsSwappedIn(
        dir_ / "swapped", bytes, [&](const fs::path& name) {
            std::vector<TInOutObj> series;
            RecordingNotifier notifier;
            try {
                if (LoadSeriesFile(name.string(), series, notifier) && series.size() == 1)
                    ++loadedWhole;
            } catch (const SeriesFileError& error) {
                // Refused on the open file, never half read.
                EXPECT_NE(std::string(error.what()).find("Not a regular file: it is not a regular file"),
                          std::string::npos)
                    << error.what();
            }
        });
    EXPECT_EQ(problem, "");
    std::vector<TInOutObj> after;
    RecordingNotifier afterNotifier;
    EXPECT_TRUE(LoadSeriesFile(PathOf("swapped"), after, afterNotifier));
    EXPECT_EQ(after.size(), 1u) << "after " << loadedWhole << " whole reads in the race";

    // A folder is named as one.
    fs::create_directory(PathOf("folder.ops"));
    std::vector<TInOutObj> series;
    RecordingNotifier notifier;
    try {
        LoadSeriesFile(PathOf("folder.ops"), series, notifier);
        ADD_FAILURE() << "a folder was read as a series";
    } catch (const SeriesFileError& error) {
        EXPECT_EQ(std::string(error.what()),
                  "Cannot open file \"" + PathOf("folder.ops") + "\". Not a regular file: it is a folder");
    }
}

// A save goes where the user meant: a file made read-only stays as it is, a
// link to the user's own file has that file replaced and stays a link, and a
// link that leads nowhere or to someone else's file is refused.
TEST_F(SeriesFileTest, SavesRespectReadOnlyFilesAndLinks)
{
    TInOutObj changed = WorkedExample();
    changed.OptSymbol = "CHGD";
    auto symbolIn = [](const std::string& path) {
        std::vector<TInOutObj> loaded;
        RecordingNotifier notifier;
        LoadSeriesFile(path, loaded, notifier);
        return loaded.empty() ? std::string() : loaded[0].OptSymbol;
    };
    const std::string original = WorkedExample().OptSymbol;

    // Read-only: refused and untouched, unless the caller insists.
    const std::string locked = PathOf("locked.ops");
    SaveSeriesFile(locked, {WorkedExample()});
    fs::permissions(locked, fs::perms::owner_read | fs::perms::group_read);
    try {
        SaveSeriesFile(locked, {changed});
        ADD_FAILURE() << "a read-only file was replaced";
    } catch (const SeriesReadOnlyError& error) {
        EXPECT_EQ(std::string(error.what()), "\"" + locked + "\" is read-only.");
    }
    EXPECT_EQ(symbolIn(locked), original);
    SaveSeriesFile(locked, {changed}, true);
    EXPECT_EQ(symbolIn(locked), "CHGD");
    EXPECT_EQ(fs::status(locked).permissions(), fs::perms::owner_read | fs::perms::group_read);

    // A link to the user's own file in another folder: the file there is
    // replaced in its folder, and the link stays a link.
    fs::create_directory(PathOf("real"));
    const std::string real = PathOf("real/target.ops");
    SaveSeriesFile(real, {WorkedExample()});
    const std::string link = PathOf("link.ops");
    fs::create_symlink(real, link);
    SaveSeriesFile(link, {changed});
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(fs::read_symlink(link), real);
    EXPECT_EQ(symbolIn(real), "CHGD");
    // A link to a read-only file of the user's is refused like the file.
    fs::permissions(real, fs::perms::owner_read);
    EXPECT_THROW(SaveSeriesFile(link, {WorkedExample()}), SeriesReadOnlyError);
    EXPECT_EQ(symbolIn(real), "CHGD");
    fs::permissions(real, fs::perms::owner_read | fs::perms::owner_write);

    // A dangling link is refused and stays as it was; nothing is created.
    const std::string dangling = PathOf("dangling.ops");
    fs::create_symlink(PathOf("real/none.ops"), dangling);
    try {
        SaveSeriesFile(dangling, {changed});
        ADD_FAILURE() << "a dangling link was saved through";
    } catch (const SeriesFileError& error) {
        EXPECT_EQ(
            std::string(error.what())
                .rfind("Cannot create file \"" + dangling + "\". It is a link that leads to no file", 0),
            0u)
            << error.what();
    }
    EXPECT_TRUE(fs::is_symlink(dangling));
    EXPECT_FALSE(fs::exists(PathOf("real/none.ops")));

    // A link to another user's file (only root can make one here).
    if (::geteuid() == 0) {
        const std::string theirs = PathOf("real/theirs.ops");
        SaveSeriesFile(theirs, {WorkedExample()});
        ASSERT_EQ(::chown(theirs.c_str(), 65534, 65534), 0);
        const std::string toTheirs = PathOf("theirs-link.ops");
        fs::create_symlink(theirs, toTheirs);
        try {
            SaveSeriesFile(toTheirs, {changed});
            ADD_FAILURE() << "another user's file was replaced through a link";
        } catch (const SeriesFileError& error) {
            EXPECT_NE(std::string(error.what()).find("which is no file of yours"), std::string::npos)
                << error.what();
        }
        EXPECT_TRUE(fs::is_symlink(toTheirs));
        EXPECT_EQ(symbolIn(theirs), original);
    }
    // Nothing half-written is left in either folder.
    for (const char* folder : {"", "real"})
        for (const auto& entry : fs::directory_iterator(PathOf(folder)))
            EXPECT_EQ(entry.path().string().find(".tmp"), std::string::npos) << entry.path();
}
