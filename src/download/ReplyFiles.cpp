#include "download/ReplyFiles.h"

#include <system_error>

namespace kestrava {

namespace fs = std::filesystem;

fs::path BesideName(const fs::path& target)
{
    fs::path beside = target;
    beside += ".part";
    return beside;
}

std::string ReplaceWithCopy(const fs::path& source, const fs::path& target)
{
    const fs::path beside = BesideName(target);
    std::error_code error;
    fs::copy_file(source, beside, fs::copy_options::overwrite_existing, error);
    if (!error)
        fs::rename(beside, target, error);
    if (error) {
        std::error_code ignored;
        fs::remove(beside, ignored);
        return "Cannot replace " + target.string() + ": " + error.message() + ".";
    }
    return {};
}

}  // namespace kestrava
