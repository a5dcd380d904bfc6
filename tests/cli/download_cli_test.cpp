// kestrava-calc download against the loopback servers, in a home folder of
// its own: the settings it reads and writes, the folders it makes, the
// files it stores, what it reports and its exit status.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "cli/calc_runner.h"
#include "download/loopback_servers.h"

using namespace kestrava::clitest;
using kestrava::testsupport::HistoryServer;
using kestrava::testsupport::Misbehaviour;
using kestrava::testsupport::QuoteServer;

namespace {

const std::string kTable = "SPX (S&P 500 INDEX),1290.59,+7.24,\r\nJan 24 2011 @ 14:03 ET,\r\nCalls,\r\n";
const std::string kCsv =
    "Date,Open,High,Low,Close,Volume,Adj Close\n2012-09-12,144.39,144.55,143.90,144.39,87607000,144.39\n";

class DownloadCliTest : public CalcTest {
protected:
    void SetUp() override
    {
        CalcTest::SetUp();
        home_ = dir_ / "home";
        fs::create_directories(home_ / ".config" / "Tovanek");
        fs::create_directories(dir_ / "tmp");
        appDir_ = home_ / "Documents" / "Tovanek" / "Kestrava27";
    }

    // The program's settings file, as a run of the program leaves it.
    void WriteSettings(const std::string& text) const
    {
        WriteFile(home_ / ".config" / "Tovanek" / "Kestrava27.conf", text);
    }
    std::string Settings() const { return ReadFile(home_ / ".config" / "Tovanek" / "Kestrava27.conf"); }

    Outcome Download(std::vector<std::string> args) const
    {
        args.insert(args.begin(), {"download", "--date-format", "dd.MM.yyyy", "--decimal-separator", "."});
        // Everything the program finds through the platform lies under dir_
        // while it runs.
        const std::pair<const char*, fs::path> places[] = {{"HOME", home_},
                                                           {"XDG_CONFIG_HOME", home_ / ".config"},
                                                           {"XDG_DATA_HOME", home_ / ".local" / "share"},
                                                           {"TMPDIR", dir_ / "tmp"}};
        std::vector<std::optional<std::string>> before;
        for (const auto& [name, path] : places) {
            const char* value = std::getenv(name);
            before.push_back(value ? std::optional<std::string>(value) : std::nullopt);
            setenv(name, path.c_str(), 1);
        }
        const Outcome outcome = Run(args);
        for (std::size_t i = 0; i < before.size(); ++i) {
            if (before[i])
                setenv(places[i].first, before[i]->c_str(), 1);
            else
                unsetenv(places[i].first);
        }
        return outcome;
    }

    fs::path home_;
    fs::path appDir_;
    QuoteServer quotes_;
    HistoryServer history_;
};

}  // namespace

TEST_F(DownloadCliTest, FirstRunMakesTheFoldersAndStoresBothKinds)
{
    WriteSettings("[Servers]\nQuoteServer=" + quotes_.Base() + "\n");
    // The loopback server takes form bodies of at most 8 KB: a short template
    // of the deployment's own.
    fs::create_directories(appDir_);
    WriteFile(appDir_ / "POSTSTR5B", "__VIEWSTATE=x&txtTicker=");
    quotes_.SetTable("spx", kTable);
    quotes_.SetTable("spy", kTable);
    history_.SetCsv("^gspc", kCsv);

    const Outcome o = Download(
        {"--options", "spx,SPY", "--history=^GSPC", "--history-server", history_.Base()});
    EXPECT_EQ(o.status, 0) << o.err;
    const fs::path data = appDir_ / "Data";
    EXPECT_EQ(ReadFile(data / "SPX.txt"), kTable);
    EXPECT_TRUE(fs::exists(data / "SPY.txt"));
    EXPECT_EQ(ReadFile(data / "^GSPC.csv"),
              "Date,Open,High,Low,Close,Volume\r\n12.09.2012,144.39,144.55,143.90,144.39,87607000\r\n");
    EXPECT_TRUE(fs::is_directory(home_ / ".local" / "share" / "Tovanek" / "Kestrava27" / "Data"));
    // The data folder made now is the price-file folder from now on.
    EXPECT_NE(Settings().find("AsciiDataDir=" + data.string()), std::string::npos) << Settings();
    EXPECT_EQ(quotes_.Bodies(),
              (std::vector<std::string>{std::string("__VIEWSTATE=x&txtTicker=spx") + QuoteServer::kSubmit,
                                        std::string("__VIEWSTATE=x&txtTicker=spy") + QuoteServer::kSubmit}));
    EXPECT_NE(o.err.find("Getting Options -> spx"), std::string::npos);
    EXPECT_TRUE(fs::is_empty(dir_ / "tmp"));
}

TEST_F(DownloadCliTest, FailedAndRefusedSymbolsAreReportedAndTheRestFetched)
{
    fs::create_directories(appDir_);
    WriteFile(appDir_ / "POSTSTR5B", "txtTicker=");
    quotes_.SetMisbehaviour("bad", Misbehaviour::NotFound);
    quotes_.SetTable("good", kTable);
    const Outcome o = Download({"--options", "BAD,../up,GOOD", "--quote-server", quotes_.Base()});
    EXPECT_EQ(o.status, 1);
    EXPECT_NE(
        o.err.find("Problem fetching BAD data: HTTP/1.1 404 Not Found\nTry remaining Option Symbols? Yes"),
        std::string::npos)
        << o.err;
    EXPECT_NE(o.err.find("The symbol \"../up\" cannot be used as a file name; it is skipped."),
              std::string::npos);
    EXPECT_TRUE(fs::exists(appDir_ / "Data" / "GOOD.txt"));
    EXPECT_FALSE(fs::exists(appDir_ / "up.txt"));
}

TEST_F(DownloadCliTest, NoServerNoSymbolsOrABadArgument)
{
    const Outcome noServer = Download({"--history", "SPY"});
    EXPECT_EQ(noServer.status, 1);
    EXPECT_NE(noServer.err.find("Servers/HistoryServer"), std::string::npos) << noServer.err;
    EXPECT_EQ(Download({}).status, 2);
    EXPECT_EQ(Download({"--options", "SPX", "--verbose"}).status, 2);
}
