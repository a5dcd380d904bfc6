#pragma once
// The rows of one expiry of one root while a quote table is read. The
// table is read twice: the first time each row's strike is only counted,
// so that the second puts each strike's row straight into its place in a
// vector of the expiry's own size. A vector that grew while reading would
// copy itself and leave its old room behind, which for a large table costs
// about as much again as its rows.

#include <vector>

#include "analysis/QuoteChain.h"

namespace kestrava {

class ExpiryRows {
public:
    // The first reading: a row of this strike.
    void Count(double strike) { strikes_.push_back(strike); }
    // Between the readings: room for each strike counted, once.
    void MakeRoom();
    // The second reading: the place of this strike's row, empty (line 0)
    // until a row is put there; nullptr for a strike not counted.
    ChainStrike* Place(double strike);
    // The rows ascending by strike; a place left empty (a row gone from the
    // file between the readings) is dropped.
    std::vector<ChainStrike> Take();

private:
    std::vector<double> strikes_;  // ascending and each once after MakeRoom
    std::vector<ChainStrike> rows_;
};

}  // namespace kestrava
