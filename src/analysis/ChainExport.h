#pragma once
// The solved chain as text: one CSV row per option, one per expiry of the
// term structure. Numbers with a decimal point whatever the locale,
// volatilities as fractions; a volatility not solved is an empty field.

#include <string>
#include <vector>

#include "analysis/ChainSolve.h"
#include "analysis/QuoteChain.h"
#include "analysis/VolSurface.h"

namespace kestrava {

// The header lines, without their line ends.
extern const char* const kChainCsvHeader;
extern const char* const kTermCsvHeader;

// The header and one row per option of the root: expiries, then strikes,
// the call before the put.
std::string ChainCsv(const ChainRoot& root, const std::vector<ExpiryVols>& vols);

// The rows of one expiry, as ChainCsv writes them: what prints a large root
// expiry by expiry. `vols` may be nullptr, or cover fewer strikes; the
// volatilities it lacks are empty.
std::string ChainCsvRows(const ChainExpiry& expiry, const ExpiryVols* vols);

// The header and one row per expiry.
std::string TermCsv(const std::vector<TermPoint>& points);

// The surface: a header "expiry,days" and the moneyness of each column,
// then one row per expiry; a cell without a volatility is empty.
std::string SurfaceCsv(const VolSurfaceGrid& grid);

}  // namespace kestrava
