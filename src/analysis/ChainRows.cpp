#include "analysis/ChainRows.h"

#include <algorithm>
#include <bit>
#include <memory>
#include <new>

namespace kestrava {
namespace {

// 176 kB of rows a block: large enough that the allocator maps each block
// on its own and gives it back to the system when it goes.
constexpr std::size_t kBlockRows = 1024;
constexpr std::size_t kLeastSlots = 64;

std::size_t StrikeHash(double strike)
{
    auto bits = std::bit_cast<std::uint64_t>(strike);
    bits ^= bits >> 33;
    bits *= 0xff51afd7ed558ccdULL;
    bits ^= bits >> 33;
    return static_cast<std::size_t>(bits);
}

}  // namespace

ExpiryRows::~ExpiryRows()
{
    Release();
}

ChainStrike& ExpiryRows::At(std::size_t position) const
{
    return blocks_[position / kBlockRows][position % kBlockRows];
}

ChainStrike* ExpiryRows::Find(double strike)
{
    if (size_ == 0)
        return nullptr;
    // The exchange lists an option's copies one after another.
    if (ChainStrike& last = At(size_ - 1); last.strike == strike)
        return &last;
    return ascending_ ? FindAscending(strike) : FindHashed(strike);
}

ChainStrike* ExpiryRows::FindAscending(double strike)
{
    std::size_t low = 0, high = size_;
    while (low < high) {
        const std::size_t middle = low + (high - low) / 2;
        if (At(middle).strike < strike)
            low = middle + 1;
        else
            high = middle;
    }
    return low < size_ && At(low).strike == strike ? &At(low) : nullptr;
}

ChainStrike* ExpiryRows::FindHashed(double strike)
{
    const std::size_t mask = slots_.size() - 1;
    for (std::size_t slot = StrikeHash(strike) & mask; slots_[slot] != 0; slot = (slot + 1) & mask)
        if (ChainStrike& row = At(slots_[slot] - 1); row.strike == strike)
            return &row;
    return nullptr;
}

void ExpiryRows::Add(ChainStrike&& row)
{
    const bool inOrder = size_ == 0 || row.strike > At(size_ - 1).strike;
    if (size_ % kBlockRows == 0)
        blocks_.push_back(std::allocator<ChainStrike>().allocate(kBlockRows));
    new (&At(size_)) ChainStrike(std::move(row));
    ++size_;
    if (ascending_ && !inOrder) {
        ascending_ = false;
        IndexAll();
    } else if (!ascending_) {
        Index(size_ - 1);
    }
}

void ExpiryRows::IndexAll()
{
    // Half as many rows again before the next time.
    std::size_t slots = kLeastSlots;
    while (slots * 3 < size_ * 8)
        slots *= 2;
    slots_.assign(slots, 0);
    for (std::size_t position = 0; position < size_; ++position)
        Index(position);
}

void ExpiryRows::Index(std::size_t position)
{
    // At most three quarters full, so that a search soon meets a free slot.
    if ((position + 1) * 4 > slots_.size() * 3) {
        IndexAll();
        return;
    }
    const std::size_t mask = slots_.size() - 1;
    std::size_t slot = StrikeHash(At(position).strike) & mask;
    while (slots_[slot] != 0)
        slot = (slot + 1) & mask;
    slots_[slot] = static_cast<std::uint32_t>(position + 1);
}

std::vector<ChainStrike> ExpiryRows::Take()
{
    std::vector<ChainStrike> rows;
    rows.reserve(size_);
    for (std::size_t position = 0; position < size_; ++position) {
        ChainStrike& row = At(position);
        rows.push_back(std::move(row));
        row.~ChainStrike();
        if ((position + 1) % kBlockRows == 0 || position + 1 == size_) {
            std::allocator<ChainStrike>().deallocate(blocks_[position / kBlockRows], kBlockRows);
            blocks_[position / kBlockRows] = nullptr;
        }
    }
    blocks_.clear();
    size_ = 0;
    slots_ = {};
    if (!ascending_)
        std::sort(rows.begin(), rows.end(),
                  [](const ChainStrike& a, const ChainStrike& b) { return a.strike < b.strike; });
    ascending_ = true;
    return rows;
}

void ExpiryRows::Release()
{
    for (std::size_t position = 0; position < size_; ++position)
        At(position).~ChainStrike();
    for (ChainStrike* block : blocks_)
        std::allocator<ChainStrike>().deallocate(block, kBlockRows);
    blocks_.clear();
    size_ = 0;
}

}  // namespace kestrava
