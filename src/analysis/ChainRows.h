#pragma once
// The rows of one expiry of one root while a quote table is read: each
// strike once, found again when a copy of its row comes. The rows stay
// where they were put, in blocks of one size, until the reading is done: a
// vector that grows copies itself and leaves its old room behind, which for
// a large table costs about as much again as its rows.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "analysis/QuoteChain.h"

namespace kestrava {

class ExpiryRows {
public:
    ExpiryRows() = default;
    ~ExpiryRows();
    ExpiryRows(const ExpiryRows&) = delete;
    ExpiryRows& operator=(const ExpiryRows&) = delete;

    // The row kept before for this strike, or nullptr.
    ChainStrike* Find(double strike);
    // A strike not kept before.
    void Add(ChainStrike&& row);
    // The rows ascending by strike, in a vector of their own size; each
    // block goes as soon as it is emptied. Leaves no rows behind.
    std::vector<ChainStrike> Take();

private:
    ChainStrike& At(std::size_t position) const;
    // Binary search while the rows came ascending.
    ChainStrike* FindAscending(double strike);
    ChainStrike* FindHashed(double strike);
    // The index by strike, made when the first row comes out of order.
    void IndexAll();
    void Index(std::size_t position);
    void Release();

    std::vector<ChainStrike*> blocks_;
    std::size_t size_ = 0;
    bool ascending_ = true;  // strictly, as a table lists them
    // Position + 1 of each row by the hash of its strike; 0 is a free slot.
    std::vector<std::uint32_t> slots_;
};

}  // namespace kestrava
