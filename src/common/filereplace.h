#pragma once
// Replacing a file's contents so that a failed write never leaves it half
// written: the bytes go to a new file beside it, which is then renamed over
// it.

#include <stdexcept>
#include <string>
#include <string_view>

namespace kestrava {

class FileReplaceError : public std::runtime_error {
public:
    enum class Stage { Create, Write };
    FileReplaceError(Stage stage, const std::string& reason) : std::runtime_error(reason), stage(stage) {}
    // Create: the file could not be made (what() is the system's reason);
    // Write: the bytes could not all be written.
    Stage stage;
};

// Writes bytes to a temporary file beside fileName and renames it over
// fileName; an existing file keeps its permissions. On failure the old file,
// if any, is untouched and no temporary file stays. Throws FileReplaceError.
void ReplaceFileContents(const std::string& fileName, std::string_view bytes);

}  // namespace kestrava
