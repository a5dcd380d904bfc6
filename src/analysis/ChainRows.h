#pragma once
// The rows of one expiry of one root while a quote table is read. The
// table is read twice: the first time each row's strike is only counted,
// so that the second puts each strike's row straight into its place in a
// vector of the expiry's own size. A vector that grew while reading would
// copy itself and leave its old room behind, which for a large table costs
// about as much again as its rows.

#include <algorithm>
#include <cstdint>
#include <string>
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

// Tells the progress of a read after every hundredth or so of it, and not
// after every few lines.
class ProgressTeller {
public:
    ProgressTeller(const ChainReadProgress& progress, std::uint64_t total)
        : progress_(progress), total_(total), step_(std::max(total / kSteps, kLeastStep))
    {
    }

    // A line read, with its line end (near enough, for progress).
    void Line(std::size_t length)
    {
        done_ += length + 1;
        if (progress_ && done_ >= next_) {
            progress_(total_ > 0 ? std::min(done_, total_) : done_, total_);
            next_ = done_ + step_;
        }
    }

private:
    static constexpr std::uint64_t kSteps = 100;
    static constexpr std::uint64_t kLeastStep = std::uint64_t{64} * 1024;

    const ChainReadProgress& progress_;
    std::uint64_t total_;
    std::uint64_t step_;
    std::uint64_t done_ = 0;
    std::uint64_t next_ = step_;
};

// The size of a file in bytes; 0 when it is not known.
std::uint64_t FileSize(const std::string& fileName);

}  // namespace kestrava
