#pragma once
// The month names the program writes whatever the locale: in the quote
// tables it reads, the expiry tabs, dates written with "MMM", the printed
// grid and kestrava-calc's table, and the price chart's marks.

namespace kestrava {

// "Jan" to "Dec" for months 1 to 12; empty for any other number.
const char* MonthAbbreviation(int month);
// The same as the price chart marks its months, where July is "Jly".
const char* ChartMonthAbbreviation(int month);

}  // namespace kestrava
