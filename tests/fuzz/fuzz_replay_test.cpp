// Every input a fuzzer found a fault with (tests/data/fuzz-regressions) and
// every seed of the fuzz corpus, through the reader it was made for.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
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

}  // namespace
