// kestrava-calc download killed at random moments, fifty times, while the
// loopback servers trickle their replies: after every kill the quote file
// and the price file are each either the older file or the whole new one,
// and the next download installs nothing that the killed one left behind.

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "cli/calc_runner.h"
#include "download/loopback_servers.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

using namespace kestrava::clitest;
using kestrava::testsupport::HistoryServer;
using kestrava::testsupport::Misbehaviour;
using kestrava::testsupport::QuoteServer;

namespace {

const std::string kOlderQuotes = "XYZ (OLDER TABLE),10.00,+0.10,\r\nJan 3 2011 @ 16:15 ET,\r\nCalls,\r\n";
const std::string kOlderPrices = "Date,Open,High,Low,Close,Volume\r\n03.01.2011,4,5,3,4,5\r\n";

class DownloadKillTest : public CalcTest {
protected:
    void SetUp() override
    {
        CalcTest::SetUp();
        home_ = dir_ / "home";
        data_ = home_ / "Documents" / "Tovanek" / "Kestrava27" / "Data";
        fs::create_directories(home_ / ".config" / "Tovanek");
        fs::create_directories(dir_ / "tmp");
        fs::create_directories(data_);
        WriteFile(data_.parent_path() / "POSTSTR5B", "txtTicker=");
        // The list names the history symbol: an older program converted any
        // reply of a listed symbol that it found, whoever had left it.
        WriteFile(data_.parent_path() / "Tickers.txt", "SPX=^GSPC\nSPY=SPY\n");
        WriteFile(home_ / ".config" / "Tovanek" / "Kestrava27.conf",
                  "[Dirs]\nAsciiDataDir=" + data_.string() + "\n[Servers]\nQuoteServer=" + quotes_.Base()
                      + "\nHistoryServer=" + history_.Base() + "\n");
        for (const char* setting : {"HOME=", "XDG_CONFIG_HOME=", "XDG_DATA_HOME=", "TMPDIR="}) {
            const std::string name(setting);
            const fs::path value = name == "HOME="              ? home_
                                   : name == "XDG_CONFIG_HOME=" ? home_ / ".config"
                                   : name == "XDG_DATA_HOME="   ? home_ / ".local" / "share"
                                                                : dir_ / "tmp";
            environment_.push_back(name + value.string());
        }
        for (char** entry = environ; *entry; ++entry) {
            const std::string text = *entry;
            const std::string name = text.substr(0, text.find('=') + 1);
            if (name != "HOME=" && name != "XDG_CONFIG_HOME=" && name != "XDG_DATA_HOME="
                && name != "TMPDIR=")
                environment_.push_back(text);
        }
    }

    // Starts a download of SPX's quotes and the history of historySymbol;
    // its output goes nowhere.
    pid_t Start(const std::string& historySymbol = "^GSPC") const
    {
        std::vector<std::string> args = {
            KESTRAVA_CALC,   "download",   "--options",           "SPX", "--history", historySymbol,
            "--date-format", "dd.MM.yyyy", "--decimal-separator", "."};
        std::vector<char*> argv;
        for (std::string& arg : args)
            argv.push_back(arg.data());
        argv.push_back(nullptr);
        std::vector<std::string> env = environment_;
        std::vector<char*> envp;
        for (std::string& entry : env)
            envp.push_back(entry.data());
        envp.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
        pid_t pid = -1;
        if (posix_spawn(&pid, KESTRAVA_CALC, &actions, nullptr, argv.data(), envp.data()) != 0)
            pid = -1;
        posix_spawn_file_actions_destroy(&actions);
        return pid;
    }

    static int Wait(pid_t pid)
    {
        int status = 0;
        ::waitpid(pid, &status, 0);
        return status;
    }

    // Names in the data folder besides the two files: only new versions
    // that a kill kept from taking their file's place may be there.
    std::string Strays() const
    {
        std::string strays;
        for (const auto& entry : fs::directory_iterator(data_)) {
            const std::string name = entry.path().filename().string();
            const bool leftover = name.ends_with(".tmp") && name.find(".~") != std::string::npos;
            if (name != "SPX.txt" && name != "^GSPC.csv" && name != "SPY.csv" && !leftover)
                strays += " " + name;
        }
        return strays;
    }

    fs::path home_;
    fs::path data_;
    std::vector<std::string> environment_;
    QuoteServer quotes_;
    HistoryServer history_;
};

}  // namespace

TEST_F(DownloadKillTest, FiftyKillsNeverInstallAPartialFile)
{
    const fs::path testData(KESTRAVA_TEST_DATA_DIR);
    const std::string table = ReadFile(testData / "quotes-spx-2011-01-24.dat");
    quotes_.SetTable("spx", table);
    quotes_.SetMisbehaviour("spx", Misbehaviour::Trickle);
    history_.SetCsv("^gspc", ReadFile(testData / "history-gspc.csv"));
    history_.SetMisbehaviour("^gspc", Misbehaviour::Trickle);
    history_.SetCsv(
        "spy", "Date,Open,High,Low,Close,Volume,Adj Close\n2012-09-12,144.39,144.55,143.90,144.39,87607000,"
               "144.39\n");

    // One whole download gives the new files and how long a run takes.
    const auto begun = std::chrono::steady_clock::now();
    ASSERT_EQ(Wait(Start()), 0);
    const auto run = std::chrono::steady_clock::now() - begun;
    const std::string newQuotes = ReadFile(data_ / "SPX.txt");
    const std::string newPrices = ReadFile(data_ / "^GSPC.csv");
    ASSERT_EQ(newQuotes, table);
    ASSERT_GT(newPrices.size(), 100000u);

    // KESTRAVA_KILL_SEED repeats the moments of a run; otherwise each run
    // draws its own, and says which.
    const char* given = std::getenv("KESTRAVA_KILL_SEED");
    const unsigned seed = given && *given ? static_cast<unsigned>(std::strtoul(given, nullptr, 10))
                                          : std::random_device{}();
    std::printf("kill moments drawn with seed %u (KESTRAVA_KILL_SEED=%u repeats them)\n", seed, seed);
    std::fflush(stdout);
    RecordProperty("seed", std::to_string(seed));
    std::mt19937 random(seed);
    const auto longest = std::chrono::duration_cast<std::chrono::microseconds>(run * 1.2);
    std::uniform_int_distribution<long long> moment(0, longest.count());
    // The sanitized build, run after the plain one, adds its checks to fewer kills.
#ifdef KESTRAVA_SANITIZED
    constexpr int kKills = 20;
#else
    constexpr int kKills = 50;
#endif
    int bothOlder = 0, bothNew = 0;
    for (int kill = 1; kill <= kKills; ++kill) {
        WriteFile(data_ / "SPX.txt", kOlderQuotes);
        WriteFile(data_ / "^GSPC.csv", kOlderPrices);
        const pid_t pid = Start();
        ASSERT_GT(pid, 0);
        std::this_thread::sleep_for(std::chrono::microseconds(moment(random)));
        ::kill(pid, SIGKILL);
        Wait(pid);
        const std::string quotes = ReadFile(data_ / "SPX.txt");
        const std::string prices = ReadFile(data_ / "^GSPC.csv");
        ASSERT_TRUE(quotes == kOlderQuotes || quotes == newQuotes)
            << "kill " << kill << " (seed " << seed << "): a quote file of " << quotes.size() << " bytes";
        ASSERT_TRUE(prices == kOlderPrices || prices == newPrices)
            << "kill " << kill << " (seed " << seed << "): a price file of " << prices.size() << " bytes";
        ASSERT_EQ(Strays(), "") << "kill " << kill << " (seed " << seed << ")";
        bothOlder += quotes == kOlderQuotes && prices == kOlderPrices;
        bothNew += quotes == newQuotes && prices == newPrices;

        // The next download, of another symbol's history, leaves the price
        // file as the killed one did: it takes up nothing of its replies.
        ASSERT_EQ(Wait(Start("SPY")), 0) << "after kill " << kill;
        const std::string after = ReadFile(data_ / "^GSPC.csv");
        ASSERT_TRUE(after == prices) << "after kill " << kill << " (seed " << seed << "): a price file of "
                                     << after.size() << " bytes instead of " << prices.size();
        ASSERT_TRUE(ReadFile(data_ / "SPX.txt") == newQuotes) << "after kill " << kill;
    }
    // The kills fell before, between and after the installs.
    EXPECT_GT(bothOlder, 0) << "seed " << seed;

    // The next whole download installs what the servers send, and clears
    // the reply folders of the killed runs away.
    WriteFile(data_ / "SPX.txt", kOlderQuotes);
    WriteFile(data_ / "^GSPC.csv", kOlderPrices);
    EXPECT_EQ(Wait(Start()), 0);
    EXPECT_EQ(ReadFile(data_ / "SPX.txt"), newQuotes);
    EXPECT_EQ(ReadFile(data_ / "^GSPC.csv"), newPrices);
    const fs::path own = dir_ / "tmp" / ("kestrava-" + std::to_string(::geteuid()));
    EXPECT_TRUE(fs::is_empty(own)) << fs::directory_iterator(own)->path();
    RecordProperty("seed", std::to_string(seed));
    RecordProperty("kills_landing_before_any_install", bothOlder);
    RecordProperty("kills_landing_after_both_installs", bothNew);
}
