#include "marketdata/WorkFolder.h"

#include <string>
#include <system_error>

#include "marketdata/PriceWorkFile.h"

#ifndef _WIN32
#include <cerrno>
#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace kestrava {

#ifdef _WIN32
// The temporary directory is the user's own there.
std::filesystem::path PrivateWorkFolder(const std::filesystem::path& parent)
{
    return parent;
}
#else
namespace {

// A folder of this user's, not a link, that nobody else may enter.
bool OwnPrivateFolder(const std::filesystem::path& folder)
{
    struct stat info {};
    if (::lstat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode) || info.st_uid != ::geteuid())
        return false;
    if ((info.st_mode & 077) != 0 && ::chmod(folder.c_str(), 0700) != 0)
        return false;
    return true;
}

}  // namespace

std::filesystem::path PrivateWorkFolder(const std::filesystem::path& parent)
{
    std::filesystem::path folder = parent / ("kestrava-" + std::to_string(::geteuid()));
    if (::mkdir(folder.c_str(), 0700) == 0 || errno == EEXIST) {
        if (OwnPrivateFolder(folder))
            return folder;
    }
    // The name is taken by someone else's folder, a link or a file.
    std::string unique = (parent / ("kestrava-" + std::to_string(::geteuid()) + "-XXXXXX")).string();
    if (::mkdtemp(unique.data()))
        return unique;
    throw MarketDataError("Cannot create a private folder for price work files in " + parent.string() + ": "
                          + std::generic_category().message(errno));
}
#endif

}  // namespace kestrava
