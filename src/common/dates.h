#pragma once
// Day-number dates: whole days counted from 30 December 1899 (day 0), the
// fraction being the time of day. 0 means "no date".

#include <stdexcept>
#include <string>

namespace kestrava {

using TDateTime = double;

struct CivilDate {
    int year = 0;
    int month = 0;  // 1..12
    int day = 0;    // 1..31
};

class DateError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

bool IsLeapYear(int year);
int DaysInMonth(int year, int month);
bool IsValidDate(int year, int month, int day);

// Throws DateError naming the impossible date (year 1 to 9999 only).
TDateTime EncodeDate(int year, int month, int day);
// Like EncodeDate, but returns false instead of throwing.
bool TryEncodeDate(int year, int month, int day, TDateTime& result);
// Uses the whole-day part; times of day and negative fractions are handled
// as the day that contains them.
CivilDate DecodeDate(TDateTime date);
// 1 = Sunday .. 7 = Saturday.
int DayOfWeek(TDateTime date);

// "yyyy-mm-dd", for machine-readable output.
std::string IsoDate(TDateTime date);

}  // namespace kestrava
