// The progress lines of a long recalculation: when they start, how often
// they come, the time they expect to be left, and the last line.

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "cli/seriesrecalc.h"

using namespace kestrava::cli;

namespace {

// What a run of `total` expiries says when the i-th is done doneAtMs[i]
// milliseconds after the start.
std::string Said(std::size_t total, const std::vector<int>& doneAtMs)
{
    char* buffer = nullptr;
    std::size_t size = 0;
    std::FILE* out = open_memstream(&buffer, &size);
    EXPECT_NE(out, nullptr);
    if (!out)
        return {};
    const std::chrono::steady_clock::time_point start{};
    std::chrono::steady_clock::time_point now = start;
    {
        ProgressOnStderr progress("Priced", out, [&now] { return now; });
        for (std::size_t done = 1; done <= doneAtMs.size(); ++done) {
            now = start + std::chrono::milliseconds(doneAtMs[done - 1]);
            progress(done, total);
        }
    }
    std::fclose(out);
    std::string text(buffer, size);
    std::free(buffer);
    return text;
}

}  // namespace

TEST(Progress, SaysWhatIsLeftAtMostOnceASecondAndWhenItIsDone)
{
    const struct {
        const char* what;
        std::size_t total;
        std::vector<int> doneAtMs;
        std::string said;
    } cases[] = {
        {"a run of under a second says nothing", 4, {100, 200, 300, 400}, ""},
        {"two seconds an expiry",
         4,
         {2000, 4000, 6000, 8000},
         "Priced 1 of 4 expiries, about 6 s left.\n"
         "Priced 2 of 4 expiries, about 4 s left.\n"
         "Priced 3 of 4 expiries, about 2 s left.\n"
         "Priced 4 of 4 expiries in 8 s.\n"},
        {"a quarter of a second an expiry",
         10,
         {250, 500, 750, 1000, 1250, 1500, 1750, 2000, 2250, 2600},
         "Priced 1 of 10 expiries, about 2 s left.\n"
         "Priced 5 of 10 expiries, about 1 s left.\n"
         "Priced 9 of 10 expiries, about 0 s left.\n"
         "Priced 10 of 10 expiries in 3 s.\n"},
        {"slow only at the end: nothing said before", 3, {10, 20, 5000}, ""},
        {"expected to take exactly a second: nothing said", 2, {500, 1000}, ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Said(c.total, c.doneAtMs), c.said) << c.what;
}
