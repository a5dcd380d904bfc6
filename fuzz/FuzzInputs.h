#pragma once
// One input of each reader of outside data, taken the way the program takes
// it. The libFuzzer targets call these, and so does the test that replays the
// inputs the fuzzers once found faults with. Each returns what went against
// the readers' promises (an exception nobody catches, a lost or overwritten
// file, a result that does not read back); an empty text when nothing did.
// Crashes, leaks and undefined behaviour are the sanitizers' to report.

#include <cstdint>
#include <span>
#include <string>

namespace kestrava::fuzz {

using Input = std::span<const std::uint8_t>;

// One function per line of FuzzTargets.def, RunSeriesFile and the others.
#define KESTRAVA_FUZZ_TARGET(name, function) std::string function(Input input);
#include "fuzz/FuzzTargets.def"
#undef KESTRAVA_FUZZ_TARGET

struct Entry {
    const char* name;  // the fuzz target and its corpus folder
    std::string (*run)(Input);
};

// Every line of FuzzTargets.def, in its order.
std::span<const Entry> Entries();

}  // namespace kestrava::fuzz
