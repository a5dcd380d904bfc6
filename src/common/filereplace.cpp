#include "common/filereplace.h"

#include <cerrno>
#include <charconv>
#include <random>
#include <system_error>

#include "common/fileaccess.h"

namespace kestrava {
namespace {

using Stage = FileReplaceError::Stage;

constexpr std::string_view kNewVersionMark = ".~";
constexpr std::string_view kNewVersionEnd = ".tmp";
constexpr std::size_t kNewVersionDigits = 8;

// A name beside the target that no other file has, so the rename stays on
// the same file system and a crash mid-save leaves only a stray new file.
std::FILE* CreateBeside(const std::filesystem::path& target, std::filesystem::path& newPath)
{
    std::random_device random;
    int error = 0;
    for (int attempt = 0; attempt < 16; ++attempt) {
        char digits[kNewVersionDigits + 1] = {};
        const unsigned value = random();
        std::to_chars(digits, digits + kNewVersionDigits, value | 0x10000000u, 16);
        newPath = target;
        newPath += std::string(kNewVersionMark) + digits + std::string(kNewVersionEnd);
        if (std::FILE* file = CreateNewFile(newPath, kUsualFile, error))
            return file;
        if (error != EEXIST)
            break;
    }
    throw FileReplaceError(Stage::Create, SystemErrorText(error));
}

}  // namespace

FileReplacement::FileReplacement(std::filesystem::path target) : target_(std::move(target))
{
    std::error_code ignored;
    if (std::filesystem::is_directory(std::filesystem::symlink_status(target_, ignored)))
        throw FileReplaceError(Stage::Create, SystemErrorText(EISDIR));
    file_.reset(CreateBeside(target_, newPath_));
}

FileReplacement::~FileReplacement()
{
    // Closed before its name goes, which some systems require.
    file_.reset();
    if (!committed_) {
        std::error_code ignored;
        std::filesystem::remove(newPath_, ignored);
    }
}

void FileReplacement::Write(std::string_view bytes)
{
    if (writeError_ != 0 || bytes.empty())
        return;
    errno = 0;
    if (!file_ || std::fwrite(bytes.data(), 1, bytes.size(), file_.get()) != bytes.size())
        writeError_ = errno != 0 ? errno : EIO;
}

void FileReplacement::Close()
{
    if (!file_) {
        if (writeError_ != 0)
            throw FileReplaceError(Stage::Write, SystemErrorText(writeError_));
        return;
    }
    errno = 0;
    if (std::fflush(file_.get()) != 0 && writeError_ == 0)
        writeError_ = errno != 0 ? errno : EIO;
    errno = 0;
    if (!CloseFile(file_) && writeError_ == 0)
        writeError_ = errno != 0 ? errno : EIO;
    if (writeError_ != 0)
        throw FileReplaceError(Stage::Write, SystemErrorText(writeError_));
}

void FileReplacement::Commit()
{
    Close();
    std::error_code ignored;
    const auto oldStatus = std::filesystem::status(target_, ignored);
    if (std::filesystem::is_regular_file(oldStatus))
        std::filesystem::permissions(newPath_, oldStatus.permissions(), ignored);
    std::error_code renameError;
    std::filesystem::rename(newPath_, target_, renameError);
    if (renameError)
        throw FileReplaceError(Stage::Create, renameError.message());
    committed_ = true;
}

void ReplaceFileContents(const std::string& fileName, std::string_view bytes)
{
    FileReplacement replacement(fileName);
    replacement.Write(bytes);
    replacement.Commit();
}

bool IsReplacementLeftover(std::string_view name)
{
    if (name.ends_with(".part"))
        return name.size() > 5;
    if (!name.ends_with(kNewVersionEnd))
        return false;
    name.remove_suffix(kNewVersionEnd.size());
    if (name.size() <= kNewVersionMark.size() + kNewVersionDigits)
        return false;
    const std::string_view digits = name.substr(name.size() - kNewVersionDigits);
    name.remove_suffix(kNewVersionDigits);
    return name.ends_with(kNewVersionMark)
           && digits.find_first_not_of("0123456789abcdef") == std::string_view::npos;
}

int RemoveStaleLeftovers(const std::filesystem::path& folder, std::chrono::seconds age)
{
    namespace fs = std::filesystem;
    std::error_code error;
    const auto oldest = fs::file_time_type::clock::now() - age;
    int removed = 0;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        const fs::path path = it->path();
        if (!IsReplacementLeftover(path.filename().string()) || !IsOwnFile(path))
            continue;
        std::error_code fileError;
        const auto written = fs::last_write_time(path, fileError);
        if (!fileError && written < oldest && fs::remove(path, fileError))
            ++removed;
    }
    return removed;
}

}  // namespace kestrava
