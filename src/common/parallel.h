#pragma once
// Work shared out over a fixed number of threads by index: the tree's
// options, the position's curves, a chain's strikes. A failure on a helper
// thread comes back to the caller instead of ending the program.

#include <functional>
#include <stop_token>

namespace kestrava {

// One thread's share of the work: called with each index it takes.
using IndexWork = std::function<void(int index)>;

// Runs indexes 0 to count - 1 on `workers` threads (0 or less: one per
// hardware thread; never more than count), the caller's own thread among
// them, handing each index out once, in order. Each thread calls makeWork
// once, before its first index, and keeps what that returns for all of its
// indexes: what it captures (a tree's work tables, a pricer) is the
// thread's own. No index is begun once stop is requested, nor one after an
// index whose work threw. Returns when every thread is done; then rethrows
// the exception of the lowest index that threw, if any.
void ParallelFor(int count, int workers, const std::function<IndexWork()>& makeWork,
                 std::stop_token stop = {});

// The threads of the machine, at least 1.
int HardwareThreads();

}  // namespace kestrava
