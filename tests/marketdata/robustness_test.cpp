// The readers against damaged copies of real files and against the larger
// real quote tables: every outcome is a result or a message, never a crash.

#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "common/dates.h"
#include "marketdata/OptPriceReader.h"
#include "marketdata/PriceFileReader.h"
#include "marketdata/SigmaObj.h"
#include "marketdata/testsupport.h"

using namespace kestrava;
using kestrava::testing::kIsoLocale;
using kestrava::testing::kUsLocale;
using kestrava::testing::TestDataFile;

namespace {

// A copy of text with a few random edits: bytes replaced by separators,
// digits, blanks, line breaks or anything, or cut out.
std::string Damaged(const std::string& text, std::mt19937& random)
{
    std::string out = text;
    const char kInteresting[] = {',', ',', ' ', '\n', '\r', '-', '.', '(', ')', '9', '\0', 'e'};
    const int edits = 1 + static_cast<int>(random() % 8);
    for (int i = 0; i < edits && !out.empty(); ++i) {
        const std::size_t at = random() % out.size();
        switch (random() % 4) {
        case 0:
            out[at] = kInteresting[random() % sizeof kInteresting];
            break;
        case 1:
            out[at] = static_cast<char>(random());
            break;
        case 2:
            out.erase(at, 1 + random() % 40);
            break;
        default:
            out.insert(at, std::string(1 + random() % 3, kInteresting[random() % sizeof kInteresting]));
        }
    }
    return out;
}

class RobustnessTest : public kestrava::testing::ScratchTest {};

}  // namespace

TEST_F(RobustnessTest, DamagedQuoteTablesGiveResultsOrMessages)
{
    const std::string original = ReadAll(TestDataFile("quotes-spx-2011-01-24.dat").string());
    std::mt19937 random(20110124);
    const std::vector<float> strikes{1000, 1050, 1100, 1150, 1200, 1250, 1300};
    for (int round = 0; round < 150; ++round) {
        const std::string text = Damaged(original, random);
        const std::string path = Write("SPX.txt", text);
        notifier_.messages.clear();
        TCboePriceReader loader(notifier_, kUsLocale);
        PrepareQuoteLoad(loader, 2, EncodeDate(2011, 2, 19), "SPX-E", strikes);
        loader.FileName = path;
        const bool loaded = loader.LoadQuotes();
        // A load that went through speaks only of the quotes it set aside.
        EXPECT_EQ(notifier_.messages.size(), loaded && loader.SetAsideCount == 0 ? 0u : 1u)
            << "round " << round;
        if (loaded && loader.SetAsideCount > 0) {
            EXPECT_EQ(notifier_.messages[0], SetAsideMessage(loader.SetAsideCount, path))
                << "round " << round;
        }
        // What reaches the grid is a quote a market gives.
        for (int s = 1; s <= static_cast<int>(strikes.size()); ++s) {
            for (int k = 1; k <= 2; ++k) {
                EXPECT_TRUE(loader.Bid(s, k) >= 0 && loader.Ask(s, k) <= kLargestQuotePrice
                            && loader.Last(s, k) >= 0
                            && !(loader.Ask(s, k) > 0 && loader.Bid(s, k) > loader.Ask(s, k)))
                    << "round " << round << ", strike " << s;
            }
        }

        notifier_.messages.clear();
        TCboePriceReader lister(notifier_, kUsLocale);
        lister.FileName = path;
        lister.ListRoots();
        // A file is deleted exactly when a message says why.
        EXPECT_EQ(std::filesystem::exists(path), notifier_.messages.empty()) << "round " << round;
        for (const std::string& root : lister.Roots)
            EXPECT_LE(root.size(), 6u);
    }
}

TEST_F(RobustnessTest, DamagedHistoriesGiveRecordsOrMessages)
{
    const std::string original = ReadAll(TestDataFile("history-spy.csv").string());
    std::mt19937 random(20120912);
    const std::filesystem::path temp = dir_ / "tmp";
    std::filesystem::create_directories(temp);
    for (int round = 0; round < 60; ++round) {
        const std::string source = Write("spy.csv", Damaged(original, random));
        notifier_.messages.clear();
        TAsciiFileReader reader(notifier_, kIsoLocale, temp);
        reader.Open(source);
        if (reader.RecordCount == 0) {
            EXPECT_LE(notifier_.messages.size(), 1u);
            continue;
        }
        EXPECT_TRUE(notifier_.messages.empty()) << notifier_.messages.front();
        TSigmaObj sigma(notifier_);
        sigma.FileName = reader.DataFileName;
        sigma.Days = 90;
        sigma.Calculate();
        EXPECT_GE(sigma.Sigma, 0);
        std::filesystem::remove(reader.DataFileName);
    }
}

TEST_F(RobustnessTest, HostileQuoteFilesGiveMessagesOrNothing)
{
    std::string binary(1 << 16, '\0');
    std::mt19937 random(5);
    for (char& c : binary)
        c = static_cast<char>(random());
    const std::string head = "SPX (S&P 500 INDEX),1290.59,+7.24,\r\nJan 24 2011 @ 14:03 ET,\r\nCalls\r\n";
    // A strike of a million digits in a row that passes every filter.
    const std::string longRow = head + "11 Feb " + std::string(1000000, '9')
                                + " (SPX1119B1000),1,+0.10,1,1,0,0,11 Feb 1000 (SPX1119N1000),1,2,3,4,\r\n";
    const std::string overflow =
        head + "11 Feb 1e999 (SPX1119B1000),1,+0.10,1e39,1,0,0,11 Feb 1000 (SPX1119N1000),1,2,3,4,\r\n";
    const std::string impossible = "SPX,1,1\r\nFeb 30 2011 @ 14:03 ET,\r\n";
    for (const std::string& content :
         {std::string(), binary, longRow, overflow, impossible, std::string("\n\n\n")}) {
        const std::string path = Write("SPX.txt", content);
        notifier_.messages.clear();
        TCboePriceReader loader(notifier_, kUsLocale);
        PrepareQuoteLoad(loader, 2, EncodeDate(2011, 2, 19), "SPX", std::vector<float>{1000});
        loader.FileName = path;
        EXPECT_FALSE(loader.LoadQuotes()) << content.substr(0, 60);
        EXPECT_EQ(notifier_.messages.size(), 1u);
        EXPECT_EQ(loader.Last(1, 1), 0);

        notifier_.messages.clear();
        TCboePriceReader lister(notifier_, kUsLocale);
        lister.FileName = path;
        lister.ListRoots();
        // The root list reads no numbers: a file is deleted exactly when a
        // message says why.
        EXPECT_EQ(std::filesystem::exists(path), notifier_.messages.empty());
        for (const std::string& root : lister.Roots)
            EXPECT_EQ(root, "SPX");
    }
}

// Opens like its base, but the source file is gone once the layout is known.
class VanishingSourceReader : public TAsciiFileReader {
public:
    using TAsciiFileReader::TAsciiFileReader;
    void Analyse() override
    {
        TAsciiFileReader::Analyse();
        std::filesystem::remove(SourceFileName);
    }
};

TEST_F(RobustnessTest, FilesThatVanishOnTheWay)
{
    const std::filesystem::path temp = dir_ / "tmp";
    std::filesystem::create_directories(temp);
    VanishingSourceReader reader(notifier_, kUsLocale, temp);
    const std::string source = Write("gone.csv", "1/3/2005,1\n1/4/2005,2\n");
    reader.Open(source);
    EXPECT_EQ(reader.ValueColumns, 1);
    EXPECT_EQ(reader.RecordCount, 0);
    EXPECT_EQ(notifier_.messages,
              std::vector<std::string>{"Cannot open " + source + ": No such file or directory."});

    // A work file cleared away before the volatility run is an open error
    // for the caller, not a result.
    TSigmaObj sigma(notifier_);
    sigma.FileName = (temp / "~TEMFFFF.TEM").string();
    sigma.Days = 90;
    EXPECT_THROW(sigma.Calculate(), MarketDataError);
    EXPECT_EQ(sigma.Sigma, 0);

    notifier_.messages.clear();
    TCboePriceReader quotes(notifier_, kUsLocale);
    quotes.FileName = (dir_ / "SPX.txt").string();
    EXPECT_FALSE(quotes.LoadQuotes());
    quotes.ListRoots();
    EXPECT_TRUE(quotes.Roots.empty());
    EXPECT_EQ(notifier_.messages.size(), 2u);
}

TEST_F(RobustnessTest, LargerRealTables)
{
    const std::filesystem::path shared = std::filesystem::path(KESTRAVA_TEST_DATA_DIR);
    struct Case {
        const char* file;
        const char* contract;
        TDateTime expiry;
        std::vector<float> strikes;
        std::size_t roots;
    };
    const Case cases[] = {
        {"quotes-aapl-2013-10-22.dat", "AAPL", EncodeDate(2013, 10, 25), {500, 505, 510}, 13},
        {"quotes-aapl-2016-11-04.dat", "AAPL-8", EncodeDate(2017, 1, 20), {65, 70, 75}, 15},
        {"quotes-spy-2016-11-25.dat", "SPY-K", EncodeDate(2016, 11, 30), {200, 210.5f, 221}, 15},
    };
    for (const Case& c : cases) {
        const std::filesystem::path table = shared / c.file;
        SCOPED_TRACE(c.file);
        const std::string copy = (dir_ / "Q.txt").string();
        std::filesystem::copy_file(table, copy, std::filesystem::copy_options::overwrite_existing);
        TCboePriceReader lister(notifier_, kUsLocale);
        lister.FileName = copy;
        lister.ListRoots();
        EXPECT_EQ(lister.Roots.size(), c.roots);

        TCboePriceReader loader(notifier_, kUsLocale);
        PrepareQuoteLoad(loader, DecodeDate(c.expiry).month, c.expiry, c.contract, c.strikes);
        loader.FileName = copy;
        ASSERT_TRUE(loader.LoadQuotes());
        for (int s = 1; s <= static_cast<int>(c.strikes.size()); ++s)
            EXPECT_FALSE(loader.OptCode(s, 1).empty()) << "strike " << c.strikes[s - 1];
    }
    EXPECT_TRUE(notifier_.messages.empty());
}

#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>

#include "marketdata/WorkFolder.h"

TEST(PrivateWorkFolder, OwnerOnlyAndNeverAnotherOnesFolder)
{
    namespace fs = std::filesystem;
    const fs::path parent = testsupport::MakeScratchDir("kestrava-folder-test");
    auto mode = [](const fs::path& folder) {
        struct stat info {};
        EXPECT_EQ(::lstat(folder.c_str(), &info), 0);
        return info.st_mode & 0777;
    };
    const fs::path own = parent / ("kestrava-" + std::to_string(::geteuid()));

    // Made owner-only, and found again on the next start.
    EXPECT_EQ(PrivateWorkFolder(parent), own);
    EXPECT_EQ(mode(own), 0700u);
    EXPECT_EQ(PrivateWorkFolder(parent), own);

    // Its own folder opened to others is closed again.
    fs::permissions(own, fs::perms::all);
    EXPECT_EQ(PrivateWorkFolder(parent), own);
    EXPECT_EQ(mode(own), 0700u);

    // A link planted under the name is not followed: another private folder.
    fs::remove(own);
    fs::create_directories(parent / "planted");
    fs::create_directory_symlink(parent / "planted", own);
    const fs::path instead = PrivateWorkFolder(parent);
    EXPECT_NE(instead, own);
    EXPECT_EQ(instead.parent_path(), parent);
    EXPECT_EQ(mode(instead), 0700u);
    EXPECT_TRUE(fs::is_empty(parent / "planted"));
    // Every later run while the name stays taken uses that same folder; no
    // new one is made each time, and empty extra ones go.
    fs::create_directory(parent / (own.filename().string() + "-zzzzzz"));
    EXPECT_EQ(PrivateWorkFolder(parent), instead);
    EXPECT_EQ(PrivateWorkFolder(parent), instead);
    EXPECT_EQ(std::distance(fs::directory_iterator(parent), fs::directory_iterator()), 3)
        << "the planted folder, the link and one private folder";

    // A folder of another user's under the name (only root can make one).
    fs::remove(own);
    fs::create_directories(own);
    if (::chown(own.c_str(), 65534, 65534) == 0) {
        EXPECT_NE(PrivateWorkFolder(parent), own);
    }
    testsupport::RemoveScratchDir(parent);
}
#endif
