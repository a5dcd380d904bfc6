// Every option of kestrava-calc download against the loopback servers: the
// run with it beside the run without it, each in a home folder of its own,
// and the values out of range that are refused.

#include <cstdlib>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "cli/option_rows.h"
#include "download/loopback_servers.h"

namespace kestrava::clitest {
namespace {

// What a download left: its outcome, the files of the data folder and the
// requests each server had.
struct Fetched {
    Outcome outcome;
    std::map<std::string, std::string> files;
    std::map<std::string, std::size_t> requests;
};

// A file of the data folder; "no file" when there is none.
std::string File(const Fetched& fetched, const std::string& name)
{
    const auto found = fetched.files.find(name);
    return found == fetched.files.end() ? "no file " + name : found->second;
}

const std::string kTable = "SPX (S&P 500 INDEX),1290.59,+7.24,\r\nJan 24 2011 @ 14:03 ET,\r\nCalls,\r\n";
const std::string kOtherTable = "SPX (S&P 500 INDEX),1300.25,+9.66,\r\nJan 25 2011 @ 16:15 ET,\r\nCalls,\r\n";
const std::string kHistory =
    "Date,Open,High,Low,Close,Volume,Adj Close\n2012-09-12,144.39,144.55,143.90,144.39,87607000,144.39\n";
const std::string kOtherHistory =
    "Date,Open,High,Low,Close,Volume,Adj Close\n2012-09-11,143.60,144.37,143.56,143.91,88647200,143.91\n";

class DownloadOptionsTest : public OptionsCliTest {
protected:
    // A run in a home of its own whose settings name the first two servers.
    Fetched Download(const Args& extra, const std::string& settings = {})
    {
        fs::remove_all(Home());
        const fs::path app = Home() / "Documents" / "Tovanek" / "Kestrava27";
        fs::create_directories(Home() / ".config" / "Tovanek");
        fs::create_directories(app);
        fs::create_directories(dir_ / "tmp");
        // The loopback server takes form bodies of at most 8 KB.
        WriteFile(app / "POSTSTR5B", "txtTicker=");
        WriteFile(Home() / ".config" / "Tovanek" / "Kestrava27.conf",
                  "[Servers]\nQuoteServer=" + quotes_.Base() + "\nHistoryServer=" + history_.Base() + "\n"
                      + settings);
        const std::map<std::string, const testsupport::LoopbackServer*> servers = {
            {"quotes", &quotes_},
            {"other quotes", &otherQuotes_},
            {"history", &history_},
            {"other history", &otherHistory_}};
        std::map<std::string, std::size_t> before;
        for (const auto& [name, server] : servers)
            before[name] = server->Requests().size();
        const char* tmp = std::getenv("TMPDIR");
        const std::optional<std::string> tmpBefore = tmp ? std::optional<std::string>(tmp) : std::nullopt;
        setenv("TMPDIR", (dir_ / "tmp").c_str(), 1);
        Fetched fetched{Run(Join({"download"}, extra)), {}, {}};
        if (tmpBefore)
            setenv("TMPDIR", tmpBefore->c_str(), 1);
        else
            unsetenv("TMPDIR");
        for (const auto& [name, server] : servers)
            fetched.requests[name] = server->Requests().size() - before[name];
        if (fs::is_directory(app / "Data"))
            for (const auto& entry : fs::directory_iterator(app / "Data"))
                if (entry.is_regular_file())
                    fetched.files[entry.path().filename().string()] = ReadFile(entry.path());
        return fetched;
    }

    testsupport::QuoteServer quotes_, otherQuotes_;
    testsupport::HistoryServer history_, otherHistory_;
};

struct DownloadEffect {
    std::string shows;
    Args without;
    Args with;
    std::function<void(const Fetched& without, const Fetched& with)> check;
    std::string settings = {};
    int withStatus = 0;
};

DownloadEffect Row(std::string shows, Args without, Args with,
                   std::function<void(const Fetched& without, const Fetched& with)> check,
                   std::string settings = {}, int withStatus = 0)
{
    return {std::move(shows), std::move(without),  std::move(with),
            std::move(check), std::move(settings), withStatus};
}

TEST_F(DownloadOptionsTest, EveryDownloadOptionChangesWhatItShould)
{
    quotes_.SetTable("spx", kTable);
    quotes_.SetTable("spy", kOtherTable);
    otherQuotes_.SetTable("spx", kOtherTable);
    quotes_.SetTable("drip", kTable);
    quotes_.SetMisbehaviour("drip", testsupport::Misbehaviour::Drip);
    quotes_.SetTable("trickle", kTable);
    quotes_.SetMisbehaviour("trickle", testsupport::Misbehaviour::Trickle);
    history_.SetCsv("^gspc", kHistory);
    otherHistory_.SetCsv("^gspc", kOtherHistory);
    // The price file's lines: the title, then the day in the date format.
    const auto day = [](const Fetched& fetched) {
        const auto found = fetched.files.find("^GSPC.csv");
        if (found == fetched.files.end())
            return std::string("no price file");
        const std::string& text = found->second;
        const std::size_t line = text.find('\n') + 1;
        return text.substr(line, text.find(',', line) - line);
    };
    const auto dated = [&](const std::string& withDay, const std::string& withoutDay) {
        return [=](const Fetched& without, const Fetched& with) {
            EXPECT_EQ(day(with), withDay);
            EXPECT_EQ(day(without), withoutDay);
        };
    };
    const Args history = {"--history", "^GSPC", "--decimal-separator", "."};

    const std::vector<DownloadEffect> rows = {
        Row("--options fetches each symbol's table", {"--history", "^GSPC"}, {"--options", "spx,SPY"},
            [](const Fetched& without, const Fetched& with) {
                EXPECT_EQ(File(with, "SPX.txt"), kTable);
                EXPECT_EQ(File(with, "SPY.txt"), kOtherTable);
                EXPECT_EQ(with.requests.at("quotes"), 4u) << "a form and a table each";
                EXPECT_EQ(without.files.count("SPX.txt"), 0u);
                EXPECT_EQ(without.requests.at("quotes"), 0u);
            }),
        Row("--history fetches each symbol's prices", {"--options", "SPX"}, history,
            [](const Fetched& without, const Fetched& with) {
                EXPECT_EQ(with.files.count("^GSPC.csv"), 1u);
                EXPECT_EQ(with.requests.at("history"), 1u);
                EXPECT_EQ(without.files.count("^GSPC.csv"), 0u);
                EXPECT_EQ(without.requests.at("history"), 0u);
            }),
        Row("--quote-server replaces the setting's server", {"--options", "SPX"},
            {"--options", "SPX", "--quote-server", otherQuotes_.Base()},
            [](const Fetched& without, const Fetched& with) {
                EXPECT_EQ(File(with, "SPX.txt"), kOtherTable);
                EXPECT_EQ(with.requests.at("quotes"), 0u);
                EXPECT_EQ(File(without, "SPX.txt"), kTable);
                EXPECT_EQ(without.requests.at("other quotes"), 0u);
            }),
        Row("--history-server replaces the setting's server", history,
            Join(history, {"--history-server", otherHistory_.Base()}),
            [](const Fetched& without, const Fetched& with) {
                EXPECT_EQ(with.requests.at("history"), 0u);
                EXPECT_EQ(with.requests.at("other history"), 1u);
                EXPECT_EQ(without.requests.at("other history"), 0u);
            }),
        Row("--history-server's prices are stored", Join(history, {"--date-format", "yyyy-MM-dd"}),
            Join(history, {"--date-format", "yyyy-MM-dd", "--history-server", otherHistory_.Base()}),
            dated("2012-09-11", "2012-09-12")),
        Row("--date-format writes the days so", Join(history, {"--date-format", "M/d/yyyy"}),
            Join(history, {"--date-format", "dd.MM.yyyy"}), dated("12.09.2012", "9/12/2012")),
        Row("--date-format wins over the setting's", history, Join(history, {"--date-format", "dd.MM.yyyy"}),
            dated("12.09.2012", "2012-09-12"), "DateFormat=yyyy-MM-dd\n"),
        // A reply of a byte every 50 ms takes seconds; one in eight pieces
        // 10 ms apart does not.
        Row(
            "--deadline stops the whole command", {"--options", "DRIP"},
            {"--options", "DRIP", "--deadline", "1"},
            [](const Fetched& without, const Fetched& with) {
                EXPECT_EQ(File(without, "DRIP.txt"), kTable);
                EXPECT_NE(with.outcome.err.find("deadline of 1 s"), std::string::npos) << with.outcome.err;
                EXPECT_EQ(with.files.count("DRIP.txt"), 0u);
            },
            "", 1),
        Row("--deadline is in seconds", {"--options", "TRICKLE"}, {"--options", "TRICKLE", "--deadline", "1"},
            [](const Fetched& without, const Fetched& with) { EXPECT_EQ(with.files, without.files); }),
    };
    for (const DownloadEffect& row : rows) {
        SCOPED_TRACE(row.shows);
        const Fetched without = Download(row.without, row.settings);
        const Fetched with = Download(row.with, row.settings);
        EXPECT_EQ(without.outcome.status, 0) << Shown(row.without) << "\n" << without.outcome.err;
        EXPECT_EQ(with.outcome.status, row.withStatus) << Shown(row.with) << "\n" << with.outcome.err;
        row.check(without, with);
    }

    const std::vector<Refusal> refusals = {
        {{"--options", "SPX", "--deadline", "0"}, "--deadline", {"--options", "SPX", "--deadline", "1"}},
        {{"--options", "SPX", "--deadline", "soon"}, "--deadline", {}},
        {{"--deadline", "5"}, "--options", {}},
        {{"--options", "SPX", "--decimal-separator", "5"}, "--decimal-separator", {}},
        {{"--options", "SPX", "--date-format", "yyyy"}, "--date-format", {}},
    };
    for (const Refusal& row : refusals) {
        const Fetched refused = Download(row.refused);
        EXPECT_EQ(refused.outcome.status, 2) << Shown(row.refused) << "\n" << refused.outcome.err;
        EXPECT_NE(refused.outcome.err.find(row.names), std::string::npos) << refused.outcome.err;
        EXPECT_EQ(refused.requests.at("quotes") + refused.requests.at("history"), 0u) << Shown(row.refused);
        if (!row.edge.empty()) {
            EXPECT_EQ(Download(row.edge).outcome.status, 0) << Shown(row.edge);
        }
    }
}

}  // namespace
}  // namespace kestrava::clitest
