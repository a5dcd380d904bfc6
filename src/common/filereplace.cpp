#include "common/filereplace.h"

#include <cerrno>
#include <charconv>
#include <random>
#include <system_error>

#include "common/fileaccess.h"

#ifndef _WIN32
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

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

// The regular file of this user's that the link at link leads to, through
// any number of links; throws FileReplaceError (Link) for any other link.
std::filesystem::path LinkedOwnFile(const std::filesystem::path& link)
{
    namespace fs = std::filesystem;
    std::error_code error;
    fs::path resolved = fs::canonical(link, error);
    if (error)
        throw FileReplaceError(Stage::Link, "it is a link that leads to no file (" + error.message() + ")");
    if (!IsOwnFile(resolved))
        throw FileReplaceError(Stage::Link,
                               "it is a link to " + resolved.string() + ", which is no file of yours");
    return resolved;
}

// Whether path is a file this user may not write: its owner's write bit is
// off when it is the user's own (even for the superuser, who could write it
// anyway), else the system says so.
bool IsReadOnlyFile(const std::filesystem::path& path)
{
#ifdef _WIN32
    std::error_code ignored;
    const auto status = std::filesystem::status(path, ignored);
    return std::filesystem::is_regular_file(status)
           && (status.permissions() & std::filesystem::perms::owner_write) == std::filesystem::perms::none;
#else
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode))
        return false;
    if (info.st_uid == ::geteuid())
        return (info.st_mode & S_IWUSR) == 0;
    return ::access(path.c_str(), W_OK) != 0;
#endif
}

// Whether no process holds the lock a FileReplacement keeps on its new file.
bool WriterIsGone(const std::filesystem::path& path)
{
#ifdef _WIN32
    (void)path;
    return false;
#else
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool gone = ::flock(fd, LOCK_EX | LOCK_NB) == 0;
    ::close(fd);
    return gone;
#endif
}

}  // namespace

FileReplacement::FileReplacement(std::filesystem::path target, ReplaceRules rules)
    : target_(std::move(target))
{
    namespace fs = std::filesystem;
    std::error_code ignored;
    if (rules.throughOwnLink && fs::is_symlink(fs::symlink_status(target_, ignored)))
        target_ = LinkedOwnFile(target_);
    if (fs::is_directory(fs::symlink_status(target_, ignored)))
        throw FileReplaceError(Stage::Create, SystemErrorText(EISDIR));
    if (rules.refuseReadOnly && IsReadOnlyFile(target_))
        throw FileReplaceError(Stage::ReadOnly, "it is read-only");
    file_.reset(CreateBeside(target_, newPath_));
#ifndef _WIN32
    lockFd_ = ::open(newPath_.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (lockFd_ >= 0)
        ::flock(lockFd_, LOCK_EX | LOCK_NB);
#endif
}

FileReplacement::~FileReplacement()
{
    // Closed before its name goes, which some systems require.
    file_.reset();
    if (!committed_) {
        std::error_code ignored;
        std::filesystem::remove(newPath_, ignored);
    }
#ifndef _WIN32
    if (lockFd_ >= 0)
        ::close(lockFd_);
#endif
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

void ReplaceFileContents(const std::string& fileName, std::string_view bytes, ReplaceRules rules)
{
    FileReplacement replacement(fileName, rules);
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
    // A new version's writer takes its lock right after making it; this
    // long is ample for that.
    constexpr std::chrono::seconds kLockGrace{5};
    std::error_code error;
    const auto now = fs::file_time_type::clock::now();
    int removed = 0;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        const fs::path path = it->path();
        const std::string name = path.filename().string();
        if (!IsReplacementLeftover(name) || !IsOwnFile(path))
            continue;
        std::error_code fileError;
        const auto written = fs::last_write_time(path, fileError);
        if (fileError)
            continue;
        const bool stale = written < now - age
                           || (name.ends_with(kNewVersionEnd) && written < now - kLockGrace
                               && WriterIsGone(path));
        if (stale && fs::remove(path, fileError))
            ++removed;
    }
    return removed;
}

}  // namespace kestrava
