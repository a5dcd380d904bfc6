// kestrava-calc dump and save, run as the real program on files in a
// temporary directory.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "cli/seriesjson.h"
#include "common/notifier.h"
#include "pricing/seriesfile.h"
#include "support/fifo_race.h"
#include "support/recording_notifier.h"

#include "calc_runner.h"

using namespace kestrava;
using namespace kestrava::clitest;
namespace fs = std::filesystem;

namespace {

class SeriesCliTest : public clitest::CalcTest {};

const fs::path kSeriesData = fs::path(KESTRAVA_TEST_DATA_DIR) / "series";
const std::set<std::string> kFloatKeys = {"Dividend", "Rate", "Underlying", "Sigma"};
const std::set<std::string> kTableKeys = {"Strike", "Last", "NetChange", "ReservedValue"};

}  // namespace

TEST_F(SeriesCliTest, DumpOfTheWorkedExample)
{
    const Outcome dump = Run({"dump", (kSeriesData / "worked_example.ops").string()});
    EXPECT_EQ(dump.status, 0) << dump.err;
    EXPECT_EQ(dump.out, ReadFile(kSeriesData / "worked_example.json"));
    EXPECT_EQ(dump.err, "");

    // And back: the same bytes as the hand-made file.
    const Outcome save = Run({"save", (kSeriesData / "worked_example.json").string(), PathOf("back.ops")});
    EXPECT_EQ(save.status, 0) << save.err;
    EXPECT_EQ(ReadFile(PathOf("back.ops")), ReadFile(kSeriesData / "worked_example.ops"));
}

TEST_F(SeriesCliTest, SaveThenDumpGivesTheSeriesBack)
{
    // Two expiries with non-ASCII texts, a date with a time of day, a
    // subnormal and a huge single, no strikes in the second, and Bid and Ask
    // tables that a series file does not keep.
    const std::string json = R"([
  {
    "ContractType": 4, "Model": 4, "Steps": 40000, "ExpiryMonth": 6, "NumStrikes": 2,
    "ReservedInt": -70000, "SigmaDays": 20, "Dividend": 0.0325, "Rate": 0.0415,
    "Underlying": 1.3542, "Sigma": 0.11, "PriceDate": 39448.75, "TodayDate": 39449,
    "ExpiryDate": 39617, "DivDate": 0, "SourceFileType": 255,
    "OptSymbol": "EUR €", "SourceFile": "C:\\Données\\eur.csv", "OptContract": "XDE-Ω",
    "Strike": [[1.35, 1.35], [1.4, 1.4]],
    "Last": [[0.0215, 0.0189], [3e-41, 3.4e38]],
    "NetChange": [[-0.001, 0.0005], [0, 0]],
    "ReservedValue": [[0, 0], [0, 0]],
    "Bid": [[0.021, 0.018], [0.004, 0.05]],
    "Ask": [[0.022, 0.019], [0.005, 0.052]]
  },
  {
    "ContractType": 2, "Model": 1, "Steps": 200, "ExpiryMonth": 12, "NumStrikes": 0,
    "ReservedInt": 0, "SigmaDays": 90, "Dividend": 0, "Rate": 0.05, "Underlying": 1450,
    "Sigma": 0.2, "PriceDate": 0, "TodayDate": 39449, "ExpiryDate": 39800, "DivDate": 0,
    "SourceFileType": 0, "OptSymbol": "SPX", "SourceFile": "", "OptContract": "",
    "Strike": [], "Last": [], "NetChange": [], "ReservedValue": []
  }
])";
    WriteFile(PathOf("in.json"), json);
    const Outcome save = Run({"save", PathOf("in.json"), PathOf("out.ops")});
    ASSERT_EQ(save.status, 0) << save.err;

    std::vector<TInOutObj> loaded;
    SilentNotifier notifier;
    ASSERT_TRUE(LoadSeriesFile(PathOf("out.ops"), loaded, notifier));
    ASSERT_EQ(loaded.size(), 2u);
    EXPECT_EQ(loaded[0].OptSymbol, "EUR \x80");
    EXPECT_EQ(loaded[0].SourceFile, "C:\\Donn\xE9"
                                    "es\\eur.csv");
    EXPECT_EQ(loaded[0].OptContract, "XDE-?") << "omega is not in the code page";
    EXPECT_EQ(loaded[0].Last(2, 1), 3e-41f);
    EXPECT_EQ(loaded[0].PriceDate, 39448.75);

    const Outcome dump = Run({"dump", PathOf("out.ops")});
    ASSERT_EQ(dump.status, 0) << dump.err;
    const auto in = nlohmann::json::parse(json);
    const auto out = nlohmann::json::parse(dump.out);
    ASSERT_EQ(out.size(), 2u);
    for (std::size_t i = 0; i < 2; ++i) {
        for (const auto& [key, value] : in[i].items()) {
            if (key == "Bid" || key == "Ask") {
                EXPECT_FALSE(out[i].contains(key));
                continue;
            }
            ASSERT_TRUE(out[i].contains(key)) << key;
            if (key == "OptContract" && i == 0) {
                EXPECT_EQ(out[i][key], "XDE-?");
            } else if (kFloatKeys.contains(key)) {
                // Nine digits give back the very single the file holds.
                EXPECT_EQ(out[i][key].get<float>(), value.get<float>()) << key;
            } else if (kTableKeys.contains(key)) {
                ASSERT_EQ(out[i][key].size(), value.size()) << key;
                for (std::size_t s = 0; s < value.size(); ++s)
                    for (std::size_t k = 0; k < 2; ++k)
                        EXPECT_EQ(out[i][key][s][k].get<float>(), value[s][k].get<float>())
                            << key << " strike " << s + 1 << " side " << k + 1;
            } else {
                EXPECT_EQ(out[i][key], value) << key;
            }
        }
    }

    // The dump saves to the same bytes again.
    WriteFile(PathOf("again.json"), dump.out);
    ASSERT_EQ(Run({"save", PathOf("again.json"), PathOf("again.ops")}).status, 0);
    EXPECT_EQ(ReadFile(PathOf("again.ops")), ReadFile(PathOf("out.ops")));
}

TEST_F(SeriesCliTest, SampleSeriesMatchesItsSource)
{
    const fs::path samples = KESTRAVA_SAMPLES_DIR;
    const Outcome save = Run({"save", (samples / "sample.json").string(), PathOf("sample.ops")});
    ASSERT_EQ(save.status, 0) << save.err;
    EXPECT_EQ(ReadFile(PathOf("sample.ops")), ReadFile(samples / "sample.ops"))
        << "samples/sample.ops is out of date with samples/sample.json";

    std::vector<TInOutObj> loaded;
    SilentNotifier notifier;
    ASSERT_TRUE(LoadSeriesFile((samples / "sample.ops").string(), loaded, notifier));
    ASSERT_EQ(loaded.size(), 3u);
    for (const TInOutObj& expiry : loaded) {
        EXPECT_EQ(expiry.NumStrikes, 10);
        EXPECT_EQ(expiry.OptSymbol, "SMPL");
        EXPECT_GT(expiry.DaysToExpiry(), 0);
    }
}

TEST_F(SeriesCliTest, BadJsonWritesNothing)
{
    const std::string good = ReadFile(kSeriesData / "worked_example.json");
    struct Case {
        const char* what;
        std::string json;
        std::string message;  // a part of the error text
    };
    auto replaced = [&good](const std::string& from, const std::string& to) {
        std::string text = good;
        text.replace(text.find(from), from.size(), to);
        return text;
    };
    const Case cases[] = {
        {"not JSON", "[{\"Model\": ", "not a valid JSON series"},
        {"not an array", "{}", "array with one object per expiry"},
        {"no expiry", "[]", "holds no expiry"},
        {"missing field", replaced("    \"Rate\": 0.0500000007,\n", ""),
         "expiry 1: field \"Rate\" is missing"},
        {"misspelt field", replaced("\"Sigma\"", "\"Sigam\""), "unknown field \"Sigam\""},
        {"21 strikes", replaced("\"NumStrikes\": 1", "\"NumStrikes\": 21"),
         "\"NumStrikes\" must be a whole number from 0 to 20"},
        {"-1 strikes", replaced("\"NumStrikes\": 1", "\"NumStrikes\": -1"), "\"NumStrikes\""},
        {"table too short", replaced("\"Last\": [[0, 0]]", "\"Last\": []"),
         "\"Last\" must hold 1 [call, put] pairs"},
        {"half a pair", replaced("\"Strike\": [[100, 100]]", "\"Strike\": [[100]]"),
         "\"Strike\" of strike 1 must be a [call, put] pair"},
        {"text for a number", replaced("\"Underlying\": 100", "\"Underlying\": \"100\""),
         "\"Underlying\" must be a number"},
        {"beyond a single", replaced("\"Underlying\": 100", "\"Underlying\": 1e39"),
         "\"Underlying\" is beyond the single-precision range"},
        {"fraction for an integer", replaced("\"Steps\": 200", "\"Steps\": 2.5"),
         "\"Steps\" must be a whole number"},
        {"byte out of range", replaced("\"SourceFileType\": 5", "\"SourceFileType\": 256"),
         "\"SourceFileType\" must be a whole number from 0 to 255"},
        {"date out of range", replaced("\"TodayDate\": 39449", "\"TodayDate\": 1e9"),
         "\"TodayDate\" must be a day number"},
        {"number for a text", replaced("\"OptSymbol\": \"ABC\"", "\"OptSymbol\": 7"),
         "\"OptSymbol\" must be a text"},
    };
    const std::string existing = PathOf("existing.ops");
    WriteFile(existing, ReadFile(kSeriesData / "worked_example.ops"));
    for (const Case& c : cases) {
        WriteFile(PathOf("bad.json"), c.json);
        const Outcome fresh = Run({"save", PathOf("bad.json"), PathOf("new.ops")});
        EXPECT_EQ(fresh.status, 2) << c.what;
        EXPECT_NE(fresh.err.find(c.message), std::string::npos) << c.what << ": " << fresh.err;
        EXPECT_FALSE(fs::exists(PathOf("new.ops"))) << c.what;

        EXPECT_EQ(Run({"save", PathOf("bad.json"), existing}).status, 2) << c.what;
        EXPECT_EQ(ReadFile(existing), ReadFile(kSeriesData / "worked_example.ops")) << c.what;
    }
    const Outcome missing = Run({"save", PathOf("none.json"), PathOf("new.ops")});
    EXPECT_EQ(missing.status, 2);
    EXPECT_NE(missing.err.find("Cannot open file"), std::string::npos) << missing.err;
    EXPECT_FALSE(fs::exists(PathOf("new.ops")));
}

TEST_F(SeriesCliTest, DamagedFilePrintsTheRecordsBeforeTheDamage)
{
    // Two expiries, cut in the middle of the second.
    const std::string one = ReadFile(kSeriesData / "worked_example.ops");
    const std::string record = one.substr(1, one.size() - 2);
    WriteFile(PathOf("cut.ops"), "\x01" + record + record.substr(0, 60));

    const Outcome dump = Run({"dump", PathOf("cut.ops")});
    EXPECT_EQ(dump.status, 1);
    EXPECT_EQ(dump.err, "Trouble reading saved Option Grid.\n");
    EXPECT_EQ(dump.out, ReadFile(kSeriesData / "worked_example.json"));
}

TEST_F(SeriesCliTest, FilesThatAreNoSeriesFailWithExit2)
{
    const std::string one = ReadFile(kSeriesData / "worked_example.ops");
    WriteFile(PathOf("json.ops"), ReadFile(kSeriesData / "worked_example.json"));
    WriteFile(PathOf("noend.ops"), one.substr(0, one.size() - 1));
    const std::pair<std::string, std::string> cases[] = {
        {PathOf("missing.ops"), "Cannot open file \"" + PathOf("missing.ops") + "\""},
        {PathOf("json.ops"), "Invalid property value"},
        {PathOf("noend.ops"), "Stream read error"},
    };
    for (const auto& [path, message] : cases) {
        const Outcome dump = Run({"dump", path});
        EXPECT_EQ(dump.status, 2) << path;
        EXPECT_EQ(dump.out, "") << path;
        EXPECT_NE(dump.err.find(message), std::string::npos) << dump.err;
        EXPECT_NE(dump.err.find(path), std::string::npos) << "names the file: " << dump.err;
    }
}

TEST_F(SeriesCliTest, UsageAndHelp)
{
    for (const char* command : {"dump", "save"}) {
        const Outcome help = Run({command, "--help"});
        EXPECT_EQ(help.status, 0);
        EXPECT_EQ(help.out.rfind(std::string("Usage: kestrava-calc ") + command, 0), 0u) << help.out;
    }
    EXPECT_EQ(Run({"dump"}).status, 2);
    EXPECT_EQ(Run({"dump", "a.ops", "b.ops"}).status, 2);
    EXPECT_EQ(Run({"save", PathOf("only.json")}).status, 2);
    const Outcome option = Run({"dump", "--pretty", "a.ops"});
    EXPECT_EQ(option.status, 2);
    EXPECT_NE(option.err.find("unknown option \"--pretty\""), std::string::npos) << option.err;
}

TEST_F(SeriesCliTest, PriceReadsEitherFormOfTheSameSeries)
{
    const fs::path samples = KESTRAVA_SAMPLES_DIR;
    // A JSON file with an .ops name: the content decides, not the name.
    WriteFile(PathOf("json-named.ops"), ReadFile(samples / "sample.json"));
    const Outcome fromOps = Run({"price", (samples / "sample.ops").string()});
    const Outcome fromJson = Run({"price", PathOf("json-named.ops")});
    ASSERT_EQ(fromOps.status, 0) << fromOps.err;
    ASSERT_EQ(fromJson.status, 0) << fromJson.err;
    EXPECT_FALSE(fromOps.out.empty());
    EXPECT_EQ(fromJson.out, fromOps.out);

    WriteFile(PathOf("broken.json"), "[{\"Model\": 3}]");
    const Outcome broken = Run({"price", PathOf("broken.json")});
    EXPECT_EQ(broken.status, 2);
    EXPECT_NE(broken.err.find("\"ContractType\" is missing"), std::string::npos) << broken.err;
}

// Both forms are read through one open of the name: a FIFO swapped in
// between a look at the first byte and the reading is refused, never waited on.
TEST_F(SeriesCliTest, ReadsOfANameSwappedWithAFifoComeBack)
{
    for (const char* source : {"worked_example.ops", "worked_example.json"}) {
        const fs::path dir = dir_ / source;
        fs::create_directory(dir);
        std::ifstream in(kSeriesData / source, std::ios::binary);
        const std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
        int loaded = 0;
        const std::string problem = testsupport::ReadsComeBackWhileAFifoIsSwappedIn(
            dir / "swapped", bytes, [&](const fs::path& name) {
                std::vector<TInOutObj> series;
                testsupport::RecordingNotifier notifier;
                try {
                    if (cli::LoadSeriesAny(name.string(), series, notifier) && series.size() == 1)
                        ++loaded;
                } catch (const SeriesFileError& error) {
                    EXPECT_NE(std::string(error.what()).find("it is not a regular file"), std::string::npos)
                        << error.what();
                }
                try {
                    if (cli::ReadSeriesJsonFile(name.string()).size() == 1)
                        ++loaded;
                } catch (const cli::SeriesJsonError&) {  // the .ops bytes are no JSON
                } catch (const SeriesFileError& error) {
                    EXPECT_NE(std::string(error.what()).find("it is not a regular file"), std::string::npos)
                        << error.what();
                }
            });
        EXPECT_EQ(problem, "") << source;
        std::vector<TInOutObj> series;
        testsupport::RecordingNotifier notifier;
        EXPECT_TRUE(cli::LoadSeriesAny((dir / "swapped").string(), series, notifier)) << source;
        EXPECT_EQ(series.size(), 1u) << source << " after " << loaded << " whole reads in the race";
    }
}

TEST_F(SeriesCliTest, SaveKeepsAReadOnlyFileUnlessForced)
{
    const std::string json = (kSeriesData / "worked_example.json").string();
    const std::string out = PathOf("out.ops");
    ASSERT_EQ(Run({"save", json, out}).status, 0);
    fs::permissions(out, fs::perms::owner_read);
    WriteFile(out + ".marker", "");  // test setup: a neighbour that must stay alone
    const std::string before = ReadFile(out);

    const Outcome refused = Run({"save", json, out});
    EXPECT_EQ(refused.status, 2);
    EXPECT_NE(refused.err.find("\"" + out + "\" is read-only. Nothing was written; --force replaces it."),
              std::string::npos)
        << refused.err;
    EXPECT_EQ(ReadFile(out), before);

    const Outcome forced = Run({"save", "--force", json, out});
    EXPECT_EQ(forced.status, 0) << forced.err;
    EXPECT_EQ(fs::status(out).permissions(), fs::perms::owner_read);
    EXPECT_EQ(Run({"save", json, out, "--forced"}).status, 2);  // no near miss is taken for it
}
