#pragma once
// The volatility smile of one expiry: the implied volatilities of the bids
// and asks that were solved, per strike and side.

#include <string>
#include <vector>

#include "pricing/IORecObj1.h"

namespace kestrava {

struct SmilePoint {
    float strike = 0;
    bool call = true;
    float bidIV = 0;  // fractions; 0 = not solved
    float askIV = 0;
};

// What a smile picture shows of an expiry; a copy, so a view keeps it after
// the series changes.
struct SmileData {
    std::vector<SmilePoint> points;
    float flatVolatility = 0;  // Sigma, a fraction
    float underlying = 0;
    TDateTime expiry = 0;
    std::string symbol;
};

// Every strike and side whose bid or ask volatility was solved: the calls of
// strikes 1 to N, then the puts. Strikes of zero or below are left out.
std::vector<SmilePoint> SmilePoints(const TInOutObj& expiry);

SmileData MakeSmileData(const TInOutObj& expiry);

// The header line, without its line end.
extern const char* const kSmileCsvHeader;

// The header and one row per point: strike, C or P, the bid and the ask
// volatility as fractions (0 when not solved), each number the shortest text
// that reads back to the single.
std::string SmileCsv(const std::vector<SmilePoint>& points);

}  // namespace kestrava
