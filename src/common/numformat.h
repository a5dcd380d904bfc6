#pragma once
// Picture number formats, as the grid, the printer and the dialogs write
// their numbers.
//
// A picture has up to three sections separated by ";": for positive values,
// for negative values and for zero. A missing or empty negative section means
// the positive section with a leading minus sign; a missing or empty zero
// section means the positive section. Inside a section:
//   "0"        a digit that is always written;
//   "#"        a digit written only when significant;
//   "."        the first one is the decimal point, written as the locale's
//              decimal separator; later ones are copied as they stand;
//   ","        anywhere before the point: group the integer digits by three
//              with the thousands separator (the "," itself is not written);
//   ' or "     starts a literal that runs to the matching quote or to the end
//              of the section; the quotes are not written;
//   anything else (blanks, "+", "-", letters) is copied as it stands.
// Digits are placed where the placeholders stand; integer digits beyond the
// placeholders are written at the first one. The value is rounded, half away
// from zero, to as many decimals as there are placeholders after the point;
// trailing zeros are then dropped down to the last "0" after the point, so
// "0.#0" always writes two decimals and "0.0#" one or two. The decimal
// separator is only written when at least one decimal follows it. There is
// no scientific notation.
//
// Rounding works on the value's 15 significant decimal digits, so 2.345 gives
// 2.35 and 1.005 gives 1.01, as they read, although neither is exactly
// representable in binary.
//
// The section is chosen by the sign of the value before rounding. Only a
// value that is exactly zero (also -0.0) takes the zero section; a non-zero
// value that rounds to zero keeps the section of its sign, so 0.001 in
// "0.#0 ;;'" writes "0.00 " and -0.001 writes "-0.00 ": a tiny value is still
// a value, and an empty cell would read as "no value". The one exception is
// a number that writes no digit at all ("#" pictures): then no minus is
// written either.
//
// Not-a-number writes "NAN", infinities "INF" and "-INF", whatever the
// picture. An empty picture writes the value in general format with 15
// significant digits.

#include <string>
#include <string_view>

namespace kestrava {

std::string FormatFloat(std::string_view picture, double value, char decimalSeparator = '.',
                        char thousandsSeparator = ',');

// The same for a single-precision value, rounded on the shortest digits that
// give it back, so a 2.675 stored as a float (2.67499995...) writes 2.68 in
// "0.00" as typed, not 2.67. Use it for the series' per-strike values.
std::string FormatSingle(std::string_view picture, float value, char decimalSeparator = '.',
                         char thousandsSeparator = ',');

}  // namespace kestrava
