#include "busy.h"

namespace kestrava {
namespace {
BusyIndicator* g_indicator = nullptr;
}

void SetBusyIndicator(BusyIndicator* indicator)
{
    g_indicator = indicator;
}

BusyScope::BusyScope() : indicator_(g_indicator)
{
    if (indicator_)
        indicator_->Begin();
}

BusyScope::~BusyScope()
{
    if (indicator_)
        indicator_->End();
}

}  // namespace kestrava
