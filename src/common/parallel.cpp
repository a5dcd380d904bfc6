#include "common/parallel.h"

#include <algorithm>
#include <atomic>
#include <exception>
#include <mutex>
#include <thread>
#include <vector>

namespace kestrava {

int HardwareThreads()
{
    // Asked once: the answer is read from the system's files each time.
    static const int hardware = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
    return hardware;
}

void ParallelFor(int count, int workers, const std::function<IndexWork()>& makeWork, std::stop_token stop)
{
    if (count <= 0)
        return;
    const int threads = std::clamp(workers > 0 ? workers : HardwareThreads(), 1, count);
    std::atomic<int> next{0};
    std::atomic<int> failedAt{count};  // the lowest index that threw so far
    std::mutex failureMutex;
    std::exception_ptr failure;  // that index's exception
    const auto run = [&] {
        IndexWork work;
        for (int index = next++; index < count; index = next++) {
            if (stop.stop_requested() || index > failedAt.load())
                break;
            try {
                if (!work)
                    work = makeWork();
                work(index);
            } catch (...) {
                const std::lock_guard lock(failureMutex);
                if (index < failedAt.load()) {
                    failedAt.store(index);
                    failure = std::current_exception();
                }
            }
        }
    };
    {
        std::vector<std::jthread> helpers;
        helpers.reserve(static_cast<std::size_t>(threads - 1));
        for (int h = 1; h < threads; ++h)
            helpers.emplace_back(run);
        run();
    }
    if (failure)
        std::rethrow_exception(failure);
}

}  // namespace kestrava
