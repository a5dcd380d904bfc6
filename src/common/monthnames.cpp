#include "common/monthnames.h"

namespace kestrava {
namespace {

struct MonthName {
    const char* abbreviation;
    const char* chartMark;
};

constexpr MonthName kMonthNames[12] = {
    {"Jan", "Jan"}, {"Feb", "Feb"}, {"Mar", "Mar"}, {"Apr", "Apr"}, {"May", "May"}, {"Jun", "Jun"},
    {"Jul", "Jly"}, {"Aug", "Aug"}, {"Sep", "Sep"}, {"Oct", "Oct"}, {"Nov", "Nov"}, {"Dec", "Dec"},
};

}  // namespace

const char* MonthAbbreviation(int month)
{
    return month >= 1 && month <= 12 ? kMonthNames[month - 1].abbreviation : "";
}

const char* ChartMonthAbbreviation(int month)
{
    return month >= 1 && month <= 12 ? kMonthNames[month - 1].chartMark : "";
}

}  // namespace kestrava
