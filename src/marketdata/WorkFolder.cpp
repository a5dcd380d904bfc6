#include "marketdata/WorkFolder.h"

#include <algorithm>
#include <string>
#include <system_error>
#include <vector>

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

std::string FallbackPrefix()
{
    return "kestrava-" + std::to_string(::geteuid()) + "-";
}

// The first (by name) of this user's private folders "kestrava-UID-XXXXXX"
// in parent; the other empty ones go. Empty when there is none.
std::filesystem::path EarlierFallback(const std::filesystem::path& parent)
{
    namespace fs = std::filesystem;
    constexpr std::size_t kUniqueChars = 6;  // what mkdtemp puts for XXXXXX
    const std::string prefix = FallbackPrefix();
    std::vector<fs::path> found;
    std::error_code error;
    for (fs::directory_iterator it(parent, error), end; !error && it != end; it.increment(error)) {
        const std::string name = it->path().filename().string();
        if (name.size() == prefix.size() + kUniqueChars && name.starts_with(prefix)
            && OwnPrivateFolder(it->path()))
            found.push_back(it->path());
    }
    if (found.empty())
        return {};
    std::sort(found.begin(), found.end());
    for (std::size_t i = 1; i < found.size(); ++i)
        ::rmdir(found[i].c_str());  // only an empty one goes
    return found.front();
}

}  // namespace

std::filesystem::path PrivateWorkFolder(const std::filesystem::path& parent)
{
    std::filesystem::path folder = parent / ("kestrava-" + std::to_string(::geteuid()));
    if (::mkdir(folder.c_str(), 0700) == 0 || errno == EEXIST) {
        if (OwnPrivateFolder(folder))
            return folder;
    }
    // The name is taken by someone else's folder, a link or a file: a private
    // folder of a unique name made by an earlier run is used again, so that
    // one squatted name does not leave a new folder at every run.
    if (std::filesystem::path earlier = EarlierFallback(parent); !earlier.empty())
        return earlier;
    std::string unique = (parent / (FallbackPrefix() + "XXXXXX")).string();
    if (::mkdtemp(unique.data()))
        return unique;
    throw MarketDataError("Cannot create a private folder for price work files in " + parent.string() + ": "
                          + std::generic_category().message(errno));
}
#endif

}  // namespace kestrava
