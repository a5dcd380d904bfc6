#include "common/filereplace.h"

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <random>
#include <system_error>

namespace kestrava {
namespace {

std::string ErrnoText(int error)
{
    return error != 0 ? std::generic_category().message(error) : "Unknown error";
}

// A name beside the target that no other file has, so the rename stays on the
// same file system and a crash mid-save leaves only a stray temporary file.
std::FILE* CreateTemporaryBeside(const std::string& fileName, std::string& tempName, int& error)
{
    std::random_device random;
    for (int attempt = 0; attempt < 16; ++attempt) {
        char suffix[32];
        std::snprintf(suffix, sizeof suffix, ".~%08x.tmp", static_cast<unsigned>(random()));
        tempName = fileName + suffix;
        errno = 0;
        // "x": fail rather than reuse a file that already exists.
        std::FILE* file = std::fopen(tempName.c_str(), "wbx");
        error = errno;
        if (file || error != EEXIST)
            return file;
    }
    return nullptr;
}

}  // namespace

void ReplaceFileContents(const std::string& fileName, std::string_view bytes)
{
    using Stage = FileReplaceError::Stage;
    std::error_code ignored;
    if (std::filesystem::is_directory(fileName, ignored))
        throw FileReplaceError(Stage::Create, ErrnoText(EISDIR));

    std::string tempName;
    int error = 0;
    std::FILE* file = CreateTemporaryBeside(fileName, tempName, error);
    if (!file)
        throw FileReplaceError(Stage::Create, ErrnoText(error));

    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size()
                         && std::fflush(file) == 0;
    const bool closed = std::fclose(file) == 0;
    if (!written || !closed) {
        std::filesystem::remove(tempName, ignored);
        throw FileReplaceError(Stage::Write, "the file could not be written completely");
    }

    const auto oldStatus = std::filesystem::status(fileName, ignored);
    if (std::filesystem::is_regular_file(oldStatus))
        std::filesystem::permissions(tempName, oldStatus.permissions(), ignored);

    std::error_code renameError;
    std::filesystem::rename(tempName, fileName, renameError);
    if (renameError) {
        std::filesystem::remove(tempName, ignored);
        throw FileReplaceError(Stage::Create, renameError.message());
    }
}

}  // namespace kestrava
