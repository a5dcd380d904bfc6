#include "IORecObj1.h"
#include "pricing/ContractNames.h"

#include <cmath>

namespace kestrava {

const char* ContractName(int contractType)
{
    static constexpr const char* kNames[] = {"Equity", "Index", "Future", "Currency"};
    return contractType >= kEquity && contractType <= kCurrency ? kNames[contractType - kEquity] : nullptr;
}

int TInOutObj::DaysBetween(TDateTime earlier, TDateTime later)
{
    if (earlier == 0 || !(later > earlier))
        return 0;
    const double days = std::trunc(later) - std::trunc(earlier);
    if (!(days > 0))
        return 0;
    return days > 1e9 ? 1000000000 : static_cast<int>(days);
}

TDateTime TInOutObj::GetExpiry()
{
    if (ExpiryDay == 0)
        return ExpiryDate;
    const CivilDate c = DecodeDate(ExpiryDate);
    ExpiryDate = EncodeDate(c.year, c.month, ExpiryDay);
    return ExpiryDate;
}

}  // namespace kestrava
