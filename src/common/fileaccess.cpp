#include "common/fileaccess.h"

#include <cerrno>
#include <system_error>

#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace kestrava {

std::string SystemErrorText(int error)
{
    return error != 0 ? std::generic_category().message(error) : "Unknown error";
}

std::string IrregularFileReason(const std::filesystem::path& path)
{
    std::error_code error;
    const std::filesystem::file_status status = std::filesystem::status(path, error);
    if (error || !std::filesystem::exists(status) || std::filesystem::is_regular_file(status))
        return {};
    return std::filesystem::is_directory(status) ? "it is a folder" : "it is not a regular file";
}

#ifdef _WIN32
std::FILE* OpenRegularFile(const std::filesystem::path& path, std::string& reason, int* error)
{
    if (error)
        *error = 0;
    reason = IrregularFileReason(path);
    if (!reason.empty())
        return nullptr;
    errno = 0;
    std::FILE* file = _wfopen(path.c_str(), L"rb");
    if (!file) {
        if (error)
            *error = errno;
        reason = SystemErrorText(errno);
    }
    return file;
}

std::FILE* CreateNewFile(const std::filesystem::path& path, unsigned, int& error)
{
    errno = 0;
    std::FILE* file = _wfopen(path.c_str(), L"wbx");
    error = file ? 0 : errno;
    return file;
}

bool IsOwnFolder(const std::filesystem::path& folder)
{
    std::error_code error;
    return std::filesystem::is_directory(std::filesystem::symlink_status(folder, error));
}

bool IsOwnFile(const std::filesystem::path& path)
{
    std::error_code error;
    return std::filesystem::is_regular_file(std::filesystem::symlink_status(path, error));
}
#else
std::FILE* OpenRegularFile(const std::filesystem::path& path, std::string& reason, int* error)
{
    if (error)
        *error = 0;
    // Without O_NONBLOCK, opening a FIFO waits for a writer that may never come.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        if (error)
            *error = errno;
        reason = SystemErrorText(errno);
        return nullptr;
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        reason = S_ISDIR(info.st_mode) ? "it is a folder" : "it is not a regular file";
        ::close(fd);
        return nullptr;
    }
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags >= 0)
        ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    std::FILE* file = ::fdopen(fd, "rb");
    if (!file) {
        if (error)
            *error = errno;
        reason = SystemErrorText(errno);
        ::close(fd);
    }
    return file;
}

std::FILE* CreateNewFile(const std::filesystem::path& path, unsigned permissions, int& error)
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC,
                          static_cast<mode_t>(permissions));
    if (fd < 0) {
        error = errno;
        return nullptr;
    }
    std::FILE* file = ::fdopen(fd, "wb");
    if (!file) {
        error = errno;
        ::close(fd);
        std::error_code ignored;
        std::filesystem::remove(path, ignored);
        return nullptr;
    }
    error = 0;
    return file;
}

bool IsOwnFolder(const std::filesystem::path& folder)
{
    struct stat info {};
    return ::lstat(folder.c_str(), &info) == 0 && S_ISDIR(info.st_mode) && info.st_uid == ::geteuid();
}

bool IsOwnFile(const std::filesystem::path& path)
{
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) && info.st_uid == ::geteuid();
}
#endif

}  // namespace kestrava
