#pragma once
// The lines of a printed option grid, as text: the heading, the column
// headings, a strike's row and the footer that states the inputs. Numbers
// use the picture formats of the number-format engine and the locale's
// decimal separator; texts are the series' own bytes.

#include <string>
#include <vector>

#include "common/localeinfo.h"
#include "pricing/IORecObj1.h"

namespace kestrava {

// "Jul 2009 Options on XYZ  (XYZ)": the expiry's month ("Jul" for July) and
// year, the symbol and the contract.
std::string GridPrintHeading(TDateTime expiry, const std::string& optSymbol, const std::string& optContract);

std::string GridPrintColumnHeadings();

// "C  42.50" or "P 105.00".
std::string GridPrintRowLabel(float strike, bool call, char decimalSeparator);

// An option code right-aligned in 8 characters and two blanks; the code's
// leading line-break marker is dropped.
std::string GridPrintCodeField(const std::string& code);

// The thirteen value columns of strike s and side k, without separators; a
// zero value prints as blanks, time decay always as a negative number.
std::string GridPrintValues(const TInOutObj& series, int s, int k, char decimalSeparator);

// The six lines that state the inputs: the underlying and valuation date,
// the days to expiry, the volatility source, the rate, the dividend (or its
// like) and the model.
std::vector<std::string> GridPrintFooter(const TInOutObj& series, TDateTime expiry, const LocaleInfo& locale);

}  // namespace kestrava
