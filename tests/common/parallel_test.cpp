#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <memory>
#include <mutex>
#include <set>
#include <stdexcept>
#include <stop_token>
#include <string>
#include <thread>
#include <vector>

#include "common/parallel.h"

using namespace kestrava;

namespace {

// Every index is done exactly once, whatever the counts, and no more threads
// make their work than were asked for (and never more than there are
// indexes).
TEST(ParallelForTest, EachIndexOnceOnAtMostTheWorkersAsked)
{
    for (const int count : {0, 1, 2, 7, 100, 1000}) {
        for (const int workers : {-1, 0, 1, 2, 3, 16}) {
            SCOPED_TRACE(std::to_string(count) + " indexes on " + std::to_string(workers) + " workers");
            std::vector<std::atomic<int>> done(static_cast<std::size_t>(count));
            std::mutex mutex;
            std::set<std::thread::id> threads;
            int made = 0;
            ParallelFor(count, workers, [&] {
                {
                    const std::lock_guard lock(mutex);
                    threads.insert(std::this_thread::get_id());
                    ++made;
                }
                return [&done](int index) { ++done[static_cast<std::size_t>(index)]; };
            });
            for (int i = 0; i < count; ++i)
                ASSERT_EQ(done[static_cast<std::size_t>(i)].load(), 1) << "index " << i;
            EXPECT_EQ(static_cast<std::size_t>(made), threads.size()) << "one work per thread";
            const int limit = workers > 0 ? workers : HardwareThreads();
            EXPECT_LE(made, std::min(limit, std::max(count, 0)));
        }
    }
}

// What one thread's work captures is its own: each work runs on the thread
// that made it, and the works' own counts add up to every index.
TEST(ParallelForTest, AThreadKeepsItsWorkForAllItsIndexes)
{
    struct Share {
        std::thread::id thread = std::this_thread::get_id();
        int count = 0;
    };
    std::mutex mutex;
    std::vector<std::shared_ptr<Share>> shares;
    std::atomic<bool> strayed{false};
    ParallelFor(500, 4, [&] {
        auto share = std::make_shared<Share>();
        {
            const std::lock_guard lock(mutex);
            shares.push_back(share);
        }
        return [share, &strayed](int) {
            strayed = strayed || share->thread != std::this_thread::get_id();
            ++share->count;
        };
    });
    EXPECT_FALSE(strayed.load()) << "a work ran on a thread not its own";
    int total = 0;
    for (const auto& share : shares)
        total += share->count;
    EXPECT_EQ(total, 500);
    EXPECT_LE(shares.size(), 4u);
}

// A failure on any thread, the helpers' included, comes back to the caller:
// the exception of the lowest index that threw, and no index after it is
// begun by a thread that saw it.
TEST(ParallelForTest, TheLowestFailureComesBackToTheCaller)
{
    const std::thread::id caller = std::this_thread::get_id();
    for (const int workers : {1, 2, 4}) {
        std::atomic<bool> helperThrew{false};
        try {
            ParallelFor(200, workers, [&] {
                return [&](int index) {
                    if (index % 37 == 36) {
                        helperThrew = helperThrew || std::this_thread::get_id() != caller;
                        throw std::runtime_error("index " + std::to_string(index));
                    }
                };
            });
            FAIL() << "the failure was lost on " << workers << " workers";
        } catch (const std::runtime_error& error) {
            EXPECT_STREQ(error.what(), "index 36") << workers << " workers";
        }
    }
    // On one worker the indexes after the failure are not begun.
    std::vector<int> begun;
    EXPECT_THROW(ParallelFor(10, 1,
                             [&] {
                                 return [&](int index) {
                                     begun.push_back(index);
                                     if (index == 3)
                                         throw std::logic_error("stop here");
                                 };
                             }),
                 std::logic_error);
    EXPECT_EQ(begun, (std::vector<int>{0, 1, 2, 3}));
}

// Making a thread's work may fail too; that is carried back the same way.
TEST(ParallelForTest, AFailureToMakeTheWorkComesBack)
{
    EXPECT_THROW(ParallelFor(8, 3, []() -> IndexWork { throw std::runtime_error("no work tables"); }),
                 std::runtime_error);
}

// No index is begun once a stop is asked for: the index that asks is the
// last one done on a single worker, and on many the few already taken.
TEST(ParallelForTest, AStopBeginsNoFurtherIndex)
{
    std::stop_source stop;
    std::vector<int> done;
    ParallelFor(
        100, 1,
        [&] {
            return [&](int index) {
                done.push_back(index);
                if (index == 9)
                    stop.request_stop();
            };
        },
        stop.get_token());
    EXPECT_EQ(done.size(), 10u);

    std::stop_source before;
    before.request_stop();
    std::atomic<int> any{0};
    ParallelFor(
        100, 4, [&] { return [&](int) { ++any; }; }, before.get_token());
    EXPECT_EQ(any.load(), 0);
}

}  // namespace
