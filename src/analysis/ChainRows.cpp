#include "analysis/ChainRows.h"

#include <algorithm>
#include <filesystem>

namespace kestrava {

void ExpiryRows::MakeRoom()
{
    std::sort(strikes_.begin(), strikes_.end());
    strikes_.erase(std::unique(strikes_.begin(), strikes_.end()), strikes_.end());
    strikes_.shrink_to_fit();
    rows_.resize(strikes_.size());
}

ChainStrike* ExpiryRows::Place(double strike)
{
    const auto found = std::lower_bound(strikes_.begin(), strikes_.end(), strike);
    if (found == strikes_.end() || *found != strike)
        return nullptr;
    return &rows_[static_cast<std::size_t>(found - strikes_.begin())];
}

std::vector<ChainStrike> ExpiryRows::Take()
{
    rows_.erase(
        std::remove_if(rows_.begin(), rows_.end(), [](const ChainStrike& row) { return row.line == 0; }),
        rows_.end());
    strikes_ = {};
    return std::move(rows_);
}

std::uint64_t FileSize(const std::string& fileName)
{
    std::error_code error;
    const std::uintmax_t size = std::filesystem::file_size(fileName, error);
    return error ? 0 : static_cast<std::uint64_t>(size);
}

}  // namespace kestrava
