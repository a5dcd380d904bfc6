#pragma once
// Files that replace older ones do it whole: the new content is written
// beside the old file and renamed over it, so a failure leaves the old file
// as it was.

#include <filesystem>
#include <string>

namespace kestrava {

// Where a new version of target is written before it takes target's place.
std::filesystem::path BesideName(const std::filesystem::path& target);

// Copies source beside target and renames the copy over target. Returns an
// empty text, or what went wrong (target is then untouched).
std::string ReplaceWithCopy(const std::filesystem::path& source, const std::filesystem::path& target);

}  // namespace kestrava
