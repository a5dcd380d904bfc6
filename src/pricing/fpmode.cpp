#include "pricing/fpmode.h"

#if defined(__SSE__) || defined(__x86_64__)
#include <xmmintrin.h>
#define KESTRAVA_HAVE_MXCSR 1
#endif

namespace kestrava {

#ifdef KESTRAVA_HAVE_MXCSR
namespace {
constexpr unsigned int kFlushToZero = 0x8000;       // results below the normal range become 0
constexpr unsigned int kDenormalsAreZero = 0x0040;  // inputs below it count as 0
}  // namespace

FlushDenormals::FlushDenormals() : saved_(_mm_getcsr())
{
    _mm_setcsr(saved_ | kFlushToZero | kDenormalsAreZero);
}

FlushDenormals::~FlushDenormals()
{
    _mm_setcsr(saved_);
}
#else
FlushDenormals::FlushDenormals() = default;
FlushDenormals::~FlushDenormals() = default;
#endif

}  // namespace kestrava
