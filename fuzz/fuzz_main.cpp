// The libFuzzer entry of one target; KESTRAVA_FUZZ_INPUT names the function
// of FuzzInputs.h it runs. A broken promise ends the run like a crash, so
// libFuzzer keeps the input.

#include <cstdio>
#include <cstdlib>

#include "fuzz/FuzzInputs.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string problem = kestrava::fuzz::KESTRAVA_FUZZ_INPUT({data, size});
    if (!problem.empty()) {
        std::fprintf(stderr, "\n%s\n", problem.c_str());
        std::abort();
    }
    return 0;
}
