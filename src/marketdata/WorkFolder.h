#pragma once
// Price work files go into a folder of the user's own inside the shared
// temporary directory: nobody else can read them, plant a link there or
// take a name first.

#include <filesystem>

namespace kestrava {

// The folder "kestrava-UID" inside `parent`, created readable and writable
// by its owner only. When that name is held by something that is not the
// user's own private folder (another user's folder, a link, a file), a new
// private folder of a unique name ("kestrava-UID-XXXXXX") is used instead:
// one an earlier run made, else a new one. Throws MarketDataError when no
// folder can be made.
std::filesystem::path PrivateWorkFolder(const std::filesystem::path& parent);

}  // namespace kestrava
