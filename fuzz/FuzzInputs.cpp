#include "fuzz/FuzzInputs.h"

namespace kestrava::fuzz {

std::span<const Entry> Entries()
{
    static const Entry kEntries[] = {
#define KESTRAVA_FUZZ_TARGET(name, function) {#name, function},
#include "fuzz/FuzzTargets.def"
#undef KESTRAVA_FUZZ_TARGET
    };
    return kEntries;
}

}  // namespace kestrava::fuzz
