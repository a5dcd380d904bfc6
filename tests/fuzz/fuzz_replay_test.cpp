// Every input a fuzzer found a fault with (tests/data/fuzz-regressions) and
// every seed of the fuzz corpus, through the reader it was made for; and the
// folders of seeds, regressions and dictionaries against the list of targets.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "fuzz/FuzzInputs.h"

namespace kestrava::fuzz {
// Names the reader in the test's report.
void PrintTo(const Entry& entry, std::ostream* out)
{
    *out << entry.name;
}
}  // namespace kestrava::fuzz

namespace {

namespace fs = std::filesystem;
using kestrava::fuzz::Entry;

std::vector<fs::path> InputsOf(const Entry& entry)
{
    std::vector<fs::path> inputs;
    for (const char* root : {KESTRAVA_TEST_DATA_DIR "/fuzz-regressions", KESTRAVA_FUZZ_CORPUS_DIR}) {
        std::error_code error;
        for (const fs::directory_entry& file : fs::directory_iterator(fs::path(root) / entry.name, error))
            inputs.push_back(file.path());
    }
    std::sort(inputs.begin(), inputs.end());
    return inputs;
}

class FuzzReplay : public ::testing::TestWithParam<Entry> {};

TEST_P(FuzzReplay, EveryInputKeepsTheReadersPromises)
{
    const std::vector<fs::path> inputs = InputsOf(GetParam());
    ASSERT_FALSE(inputs.empty()) << "no inputs for " << GetParam().name;
    for (const fs::path& path : inputs) {
        std::ifstream in(path, std::ios::binary);
        const std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(in), {}};
        EXPECT_EQ(GetParam().run(bytes), "") << path;
    }
}

INSTANTIATE_TEST_SUITE_P(Readers, FuzzReplay,
                         ::testing::ValuesIn(kestrava::fuzz::Entries().begin(),
                                             kestrava::fuzz::Entries().end()),
                         [](const ::testing::TestParamInfo<Entry>& info) {
                             return std::string(info.param.name);
                         });

std::set<std::string> TargetNames()
{
    std::set<std::string> names;
    for (const Entry& entry : kestrava::fuzz::Entries())
        names.insert(entry.name);
    return names;
}

// The names under folder: its subfolders, or the stems of its files ending in
// extension; anything else there fails the test.
std::set<std::string> NamesIn(const fs::path& folder, const std::string& extension = {})
{
    std::set<std::string> names;
    for (const fs::directory_entry& item : fs::directory_iterator(folder)) {
        if (item.path().filename().string().starts_with('.'))
            continue;  // .gitattributes
        if (extension.empty() ? item.is_directory() : item.path().extension() == extension)
            names.insert((extension.empty() ? item.path().filename() : item.path().stem()).string());
        else
            ADD_FAILURE() << item.path() << " is no " << (extension.empty() ? "folder" : extension + " file");
    }
    return names;
}

std::vector<std::string> Difference(const std::set<std::string>& from, const std::set<std::string>& without)
{
    std::vector<std::string> rest;
    std::set_difference(from.begin(), from.end(), without.begin(), without.end(), std::back_inserter(rest));
    return rest;
}

// A target added without seeds is never replayed, and seeds, regressions or
// a dictionary whose target was renamed or removed are never used.
TEST(FuzzTargets, EveryTargetHasSeedsAndEveryFolderATarget)
{
    const std::set<std::string> targets = TargetNames();
    ASSERT_EQ(targets.size(), kestrava::fuzz::Entries().size()) << "a target is listed twice";
    const std::set<std::string> corpus = NamesIn(KESTRAVA_FUZZ_CORPUS_DIR);
    EXPECT_EQ(Difference(targets, corpus), std::vector<std::string>{}) << "targets without a folder of seeds";
    EXPECT_EQ(Difference(corpus, targets), std::vector<std::string>{}) << "seed folders of no target";
    EXPECT_EQ(Difference(NamesIn(KESTRAVA_TEST_DATA_DIR "/fuzz-regressions"), targets),
              std::vector<std::string>{})
        << "regression folders of no target";
    EXPECT_EQ(Difference(NamesIn(KESTRAVA_FUZZ_DICTIONARY_DIR, ".dict"), targets), std::vector<std::string>{})
        << "dictionaries of no target";
}

}  // namespace
