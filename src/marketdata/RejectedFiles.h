#pragma once
// Files the program will not use are kept for the user to look at in the
// folder "Rejected" of the folder they belong to: a quote file the page
// cannot read, a download reply that is no quote table or price list.
// Nothing there is ever replaced: when a name is taken the file becomes
// NAME.2, NAME.3 and so on. The folder must be a real folder of this user's
// own; a link or anyone else's folder in its place receives nothing.

#include <filesystem>
#include <string>

namespace kestrava {

// The folder beside a quote file that takes the files ListRoots cannot use.
inline constexpr char kRejectedFolder[] = "Rejected";

struct RejectedKeep {
    std::filesystem::path kept;  // where the file went; empty when it was not kept
    std::string problem;         // why it was not kept
};

// Moves file (a regular file, not a link) into the Rejected folder beside it.
RejectedKeep MoveToRejected(const std::filesystem::path& file);

// Copies source into the Rejected folder of folder, under name.
RejectedKeep CopyToRejected(const std::filesystem::path& source, const std::filesystem::path& folder,
                            const std::string& name);

// " The reply was kept as PATH." or " It could not be kept: PROBLEM." for a
// message that tells where a rejected file went.
std::string RejectedKeepText(const RejectedKeep& keep, const std::string& what);

}  // namespace kestrava
