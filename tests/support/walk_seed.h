#pragma once
// The seed of a random walk of user actions: the test's own, or the one
// KESTRAVA_WALK_SEED names to replay or widen a walk.

#include <cstdlib>
#include <random>

namespace kestrava::testsupport {

inline unsigned WalkSeed(unsigned fallback)
{
    const char* chosen = std::getenv("KESTRAVA_WALK_SEED");
    return chosen ? static_cast<unsigned>(std::strtoul(chosen, nullptr, 10)) : fallback;
}

// One of count choices, 0 to count - 1.
inline int Pick(std::mt19937& random, int count)
{
    return static_cast<int>(random() % static_cast<unsigned>(count));
}

}  // namespace kestrava::testsupport
