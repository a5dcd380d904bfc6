// kestrava-calc download against the loopback servers, in a home folder of
// its own: the settings it reads and writes, the folders it makes, the
// files it stores, what it reports and its exit status.

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "cli/calc_runner.h"
#include "download/loopback_servers.h"

#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

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
        const ScopedEnvironment places({{"HOME", home_},
                                        {"XDG_CONFIG_HOME", home_ / ".config"},
                                        {"XDG_DATA_HOME", home_ / ".local" / "share"},
                                        {"TMPDIR", dir_ / "tmp"}});
        return Run(args);
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
    // Nothing lands in the shared temporary folder but the user's own
    // private folder, and no reply outlives the download.
    const fs::path own = dir_ / "tmp" / ("kestrava-" + std::to_string(::geteuid()));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir_ / "tmp"), fs::directory_iterator()), 1);
    EXPECT_TRUE(fs::is_empty(own));
    EXPECT_EQ(fs::status(own).permissions(), fs::perms::owner_all);
}

TEST_F(DownloadCliTest, TheDeadlineEndsADripAndStaleLeftoversGo)
{
    fs::create_directories(appDir_ / "Data");
    WriteFile(appDir_ / "POSTSTR5B", "txtTicker=");
    WriteFile(appDir_ / "Data" / "SPX.txt", "older");
    // What killed saves and downloads left: the old ones go, a fresh one and
    // anything else stay.
    const fs::path data = appDir_ / "Data";
    for (const char* name : {"SPX.txt.~0badf00d.tmp", "SPY.csv.part", "SPX.ops.~1234abcd.tmp.keep"})
        WriteFile(data / name, "left");
    WriteFile(data / "QQQ.txt.~00c0ffee.tmp", "fresh");
    for (const char* name : {"SPX.txt.~0badf00d.tmp", "SPY.csv.part", "SPX.ops.~1234abcd.tmp.keep"})
        fs::last_write_time(data / name, fs::file_time_type::clock::now() - std::chrono::hours(25));
    quotes_.SetTable("spx", kTable);
    quotes_.SetMisbehaviour("spx", Misbehaviour::Drip);

    const auto start = std::chrono::steady_clock::now();
    const Outcome o = Download({"--options", "SPX", "--quote-server", quotes_.Base(), "--deadline", "1"});
    const auto took = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(o.status, 1);
    EXPECT_LT(took, std::chrono::seconds(20));
    EXPECT_NE(
        o.err.find("The download stopped at its deadline of 1 s; what was fetched before it is stored."),
        std::string::npos)
        << o.err;
    EXPECT_EQ(ReadFile(data / "SPX.txt"), "older");
    EXPECT_FALSE(fs::exists(data / "SPX.txt.~0badf00d.tmp"));
    EXPECT_FALSE(fs::exists(data / "SPY.csv.part"));
    EXPECT_TRUE(fs::exists(data / "QQQ.txt.~00c0ffee.tmp"));
    EXPECT_TRUE(fs::exists(data / "SPX.ops.~1234abcd.tmp.keep"));

    // The setting bounds every request of a run without --deadline too.
    WriteSettings("[Servers]\nRequestDeadline=1\n");
    const Outcome bounded = Download({"--options", "SPX", "--quote-server", quotes_.Base()});
    EXPECT_EQ(bounded.status, 1);
    EXPECT_NE(bounded.err.find("after 1 s, the deadline of a request"), std::string::npos) << bounded.err;
    EXPECT_EQ(Download({"--options", "SPX", "--deadline", "0"}).status, 2);
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

namespace {

// A second account on this machine, made for one test and removed after it
// also when the test fails. Only root can make one; Make says why not.
class OtherAccount {
public:
    static std::unique_ptr<OtherAccount> Make(std::string& whyNot)
    {
        if (::geteuid() != 0) {
            whyNot = "only root can add the second account this test needs";
            return nullptr;
        }
        if (::access("/usr/sbin/useradd", X_OK) != 0 || ::access("/usr/sbin/userdel", X_OK) != 0) {
            whyNot = "this machine has no useradd and userdel";
            return nullptr;
        }
        // Unique, so that two runs of the suite at once do not meet.
        const std::string name = "kstv" + std::to_string(::getpid()) + "x"
                                 + std::to_string(std::random_device{}() % 10000);
        const std::string add = "/usr/sbin/useradd -M -N -r -s /usr/sbin/nologin " + name
                                + " >/dev/null 2>&1";
        if (std::system(add.c_str()) != 0) {
            whyNot = "useradd could not add " + name;
            return nullptr;
        }
        auto account = std::unique_ptr<OtherAccount>(new OtherAccount(name));
        const passwd* entry = ::getpwnam(name.c_str());
        if (!entry) {
            whyNot = "the account " + name + " was added but cannot be found";
            return nullptr;
        }
        account->uid = entry->pw_uid;
        account->gid = entry->pw_gid;
        return account;
    }
    ~OtherAccount() { std::system(("/usr/sbin/userdel " + name + " >/dev/null 2>&1").c_str()); }

    // Runs act in a child process as this account; true when act did.
    bool RunAs(const std::function<bool()>& act) const
    {
        const pid_t child = ::fork();
        if (child == 0) {
            const bool became = ::setgroups(0, nullptr) == 0 && ::setgid(gid) == 0 && ::setuid(uid) == 0;
            ::_exit(became && act() ? 0 : 1);
        }
        int status = 0;
        return child > 0 && ::waitpid(child, &status, 0) == child && WIFEXITED(status)
               && WEXITSTATUS(status) == 0;
    }

    std::string name;
    uid_t uid = 0;
    gid_t gid = 0;

private:
    explicit OtherAccount(std::string accountName) : name(std::move(accountName)) {}
};

bool WriteAs(const fs::path& path, const std::string& bytes)
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0644);
    return fd >= 0 && ::write(fd, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size())
           && ::close(fd) == 0;
}

}  // namespace

TEST_F(DownloadCliTest, AnotherAccountCanNeitherInjectNorDestroyFiles)
{
    std::string whyNot;
    const std::unique_ptr<OtherAccount> other = OtherAccount::Make(whyNot);
    if (!other)
        GTEST_SKIP() << whyNot;

    // The shared temporary folder as /tmp is: anyone may add, nobody may
    // take another's files.
    const fs::path shared = dir_ / "tmp";
    fs::permissions(dir_, fs::perms::owner_all | fs::perms::group_exec | fs::perms::others_exec);
    fs::permissions(shared, fs::perms::all | fs::perms::sticky_bit);
    fs::create_directories(appDir_ / "Data");
    WriteFile(appDir_ / "POSTSTR5B", "txtTicker=");
    const fs::path precious = home_ / "precious.txt";
    WriteFile(precious, "the victim's own");
    const fs::path theirs = shared / "theirs";
    const fs::path ownName = shared / ("kestrava-" + std::to_string(::geteuid()));
    const std::string planted = "Date,Open,High,Low,Close,Volume,Adj Close\n2012-09-12,1,1,1,1,1,1\n";

    // Links named as the replies were, a reply of their own, and the name
    // of the victim's private folder taken by a folder of theirs.
    ASSERT_TRUE(other->RunAs([&] {
        return ::symlink(precious.c_str(), (shared / "SPX.txt").c_str()) == 0
               && ::symlink(precious.c_str(), (shared / "SPY.txt").c_str()) == 0
               && WriteAs(shared / "^GSPC.csv", planted) && ::mkdir(theirs.c_str(), 0777) == 0
               && ::mkdir(ownName.c_str(), 0777) == 0 && ::chmod(ownName.c_str(), 0777) == 0
               && ::symlink(precious.c_str(), (ownName / "SPX.txt").c_str()) == 0;
    }));

    const std::string history =
        "Date,Open,High,Low,Close,Volume,Adj Close\n2012-09-12,144.39,144.55,143.90,144.39,87607000,144.39\n"
        "2012-09-11,143.60,144.37,143.56,143.91,88647200,143.91\n";
    quotes_.SetTable("spx", kTable);
    quotes_.SetMisbehaviour("spy", Misbehaviour::Stall);
    history_.SetCsv("^gspc", history);
    WriteSettings("[Servers]\nRequestDeadline=1\n");
    const Outcome o = Download({"--options", "SPX,SPY", "--history", "^GSPC", "--quote-server",
                                quotes_.Base(), "--history-server", history_.Base()});
    EXPECT_EQ(o.status, 1) << o.err;  // SPY stalled

    EXPECT_EQ(ReadFile(precious), "the victim's own");
    EXPECT_EQ(ReadFile(appDir_ / "Data" / "SPX.txt"), kTable);
    EXPECT_EQ(ReadFile(appDir_ / "Data" / "^GSPC.csv"),
              "Date,Open,High,Low,Close,Volume\r\n12.09.2012,144.39,144.55,143.90,144.39,87607000\r\n"
              "11.09.2012,143.60,144.37,143.56,143.91,88647200\r\n");
    // Their files are as they left them, and nothing of the victim's is in
    // a folder of theirs.
    EXPECT_EQ(ReadFile(shared / "^GSPC.csv"), planted);
    EXPECT_TRUE(fs::is_symlink(shared / "SPX.txt"));
    EXPECT_TRUE(fs::is_empty(theirs));
    std::vector<std::string> inTheirs;
    for (const auto& entry : fs::directory_iterator(ownName))
        inTheirs.push_back(entry.path().filename().string());
    EXPECT_EQ(inTheirs, std::vector<std::string>{"SPX.txt"});
    // The victim worked in a private folder of its own under another name.
    int ownFolders = 0;
    for (const auto& entry : fs::directory_iterator(shared)) {
        struct stat info {};
        if (::lstat(entry.path().c_str(), &info) == 0 && info.st_uid == ::geteuid()) {
            ++ownFolders;
            EXPECT_TRUE(S_ISDIR(info.st_mode) && (info.st_mode & 077) == 0) << entry.path();
        }
    }
    EXPECT_EQ(ownFolders, 1);
}

// A setting that reaches a request is refused when it would change the
// request (a line end adds headers, a blank ends the request line) or is
// longer than any address; a number out of range is named with the one used.
TEST_F(DownloadCliTest, SettingsThatWouldChangeARequestSendNothing)
{
    history_.SetCsv("spy", kCsv);
    quotes_.SetTable("spx", kTable);
    // In the settings file a line end is written escaped, as the program
    // itself would write one.
    const std::string injected = "/\\r\\nCookie: session=stolen\\r\\nX-Injected: yes";
    const std::string huge(1 << 20, 'a');
    const struct {
        std::string key;
        std::string value;
        std::string says;
    } cases[] = {
        {"QuoteServer", quotes_.Base() + injected, "it holds the control character \\r"},
        {"QuoteServer", quotes_.Base() + "/a b", "it holds a blank"},
        {"QuoteServer", quotes_.Base() + "/" + huge,
         "characters long, more than the 2048 a request may carry"},
        {"HistoryServer", history_.Base() + injected, "it holds the control character \\r"},
        {"HistoryServer", history_.Base() + "/a b", "it holds a blank"},
        {"HistoryServer", history_.Base() + "/" + huge, "more than the 2048 a request may carry"},
        {"HistoryHomePage", history_.Base() + injected, "it holds the control character \\r"},
        {"HistoryHomePage", history_.Base() + "/a b", "it holds a blank"},
        {"HistoryHomePage", history_.Base() + "/" + huge, "more than the 2048 a request may carry"},
    };
    for (const auto& c : cases) {
        const bool quotes = c.key == "QuoteServer";
        WriteSettings("[Servers]\nQuoteServer=" + (quotes ? c.value : quotes_.Base())
                      + "\nHistoryServer=" + (c.key == "HistoryServer" ? c.value : history_.Base())
                      + (c.key == "HistoryHomePage" ? "\nHistoryHomePage=" + c.value : "") + "\n");
        const Outcome o = Download(quotes ? std::vector<std::string>{"--options", "SPX"}
                                          : std::vector<std::string>{"--history", "SPY"});
        const std::string shown = c.key + " " + c.says;
        EXPECT_EQ(o.status, 1) << shown << o.err.substr(0, 400);
        EXPECT_NE(o.err.find("Servers/" + c.key), std::string::npos) << shown << o.err.substr(0, 400);
        EXPECT_NE(o.err.find(c.says), std::string::npos) << shown << o.err.substr(0, 400);
        EXPECT_LT(o.err.size(), 4096u) << shown << ": the message quotes no megabyte";
        EXPECT_TRUE(quotes_.Requests().empty()) << shown;
        EXPECT_TRUE(history_.Requests().empty()) << shown;
    }
    // The same values given on the command line are refused the same way.
    WriteSettings("[Servers]\n");
    const Outcome given = Download({"--history", "SPY", "--history-server", history_.Base() + "/\r\nX: y"});
    EXPECT_EQ(given.status, 1);
    EXPECT_NE(given.err.find("control character \\r"), std::string::npos) << given.err;
    EXPECT_TRUE(history_.Requests().empty());

    const struct {
        std::string stored;
        std::string says;
    } deadlines[] = {
        {"0", "holds 0, which is outside 1 to 3600; using 1 instead."},
        {"-1", "holds -1, which is outside 1 to 3600; using 1 instead."},
        {"99999999999", "holds 99999999999, which is outside 1 to 3600; using 3600 instead."},
        {"abc", "holds \"abc\", which is not a number; using 120 instead."},
    };
    for (const auto& d : deadlines) {
        WriteSettings("[Servers]\nHistoryServer=" + history_.Base() + "\nRequestDeadline=" + d.stored + "\n");
        const Outcome o = Download({"--history", "SPY"});
        EXPECT_EQ(o.status, 0) << d.stored << ": " << o.err;
        EXPECT_NE(o.err.find("The setting Servers/RequestDeadline " + d.says), std::string::npos)
            << d.stored << ": " << o.err;
    }
    // A deadline in range says nothing.
    WriteSettings("[Servers]\nHistoryServer=" + history_.Base() + "\nRequestDeadline=3600\n");
    EXPECT_EQ(Download({"--history", "SPY"}).err.find("RequestDeadline"), std::string::npos);
}

TEST_F(DownloadCliTest, UrlTemplatesStandForTheSettingsServersAndLandWhereTheWindowPutsThem)
{
    using kestrava::testsupport::TemplateServer;
    TemplateServer service;
    const std::string json = ReadFile(fs::path(KESTRAVA_TEST_DATA_DIR)
                                      / "quotes-spy-2025-09-01-excerpt.json");
    service.SetBody("^SPX", json);
    service.SetBody("BRK B", kCsv);
    // The settings name classic servers that are never asked.
    WriteSettings("[Servers]\nQuoteServer=" + quotes_.Base() + "\nHistoryServer=" + history_.Base()
                  + "\nHistoryServerKind=template\nHistoryUrlTemplate=" + service.Base()
                  + "/h?symbol={SYMBOL}\n");

    const Outcome o = Download({"--options", "^SPX", "--history", "BRK B", "--quote-url",
                                service.Base() + "/q?symbol={SYMBOL}&from={FROM}&to={TO}"});
    EXPECT_EQ(o.status, 0) << o.err;
    const fs::path data = appDir_ / "Data";
    EXPECT_EQ(ReadFile(data / "^SPX.txt").rfind("\n^SPX,Last: 645.05,", 0), 0u);
    EXPECT_EQ(ReadFile(data / "BRK B.csv"),
              "Date,Open,High,Low,Close,Volume\r\n12.09.2012,144.39,144.55,143.90,144.39,87607000\r\n");
    const std::vector<std::string> requests = service.Requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].rfind("GET /q?symbol=%5ESPX&from=", 0), 0u) << requests[0];
    EXPECT_EQ(requests[1], "GET /h?symbol=BRK%20B");
    EXPECT_TRUE(quotes_.Requests().empty());
    EXPECT_TRUE(history_.Requests().empty());

    // --history-server stands for the settings' template; a bad template
    // sends nothing and says which option and why; two sources of one kind
    // are bad usage.
    history_.SetCsv("brk b", kCsv);
    const Outcome classic = Download({"--history", "BRK B", "--history-server", history_.Base(), "--options",
                                      "SPY", "--quote-url", "example.com/{SYMBOL}"});
    EXPECT_EQ(classic.status, 1);
    EXPECT_NE(
        classic.err.find("The option --quote-url is not used: \"example.com/{SYMBOL}\" does not begin with "
                         "http:// or https://. Nothing was sent."),
        std::string::npos)
        << classic.err;
    EXPECT_EQ(history_.Requests().size(), 1u);
    EXPECT_EQ(service.Requests().size(), 2u);
    const Outcome both = Download(
        {"--options", "SPY", "--quote-url", service.Base() + "/{SYMBOL}", "--quote-server", quotes_.Base()});
    EXPECT_EQ(both.status, 2);
    EXPECT_NE(both.err.find("--quote-server and --quote-url"), std::string::npos) << both.err;

    // A kind the settings do not know is said, and the classic kind kept.
    WriteSettings("[Servers]\nQuoteServerKind=templates\n");
    const Outcome unknown = Download({"--options", "SPY"});
    EXPECT_NE(
        unknown.err.find("The setting Servers/QuoteServerKind holds \"templates\", which is neither classic "
                         "nor template; using classic instead."),
        std::string::npos)
        << unknown.err;
    EXPECT_NE(unknown.err.find("No server is set"), std::string::npos) << unknown.err;
}
