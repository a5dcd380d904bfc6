#include "marketdata/RejectedFiles.h"

#include <cerrno>
#include <cstdio>
#include <system_error>

#include "common/fileaccess.h"
#include "common/uniquefile.h"

#ifdef __linux__
#include <fcntl.h>
#include <stdio.h>
#endif

namespace kestrava {
namespace {

namespace fs = std::filesystem;

// Rejected files of one name beyond this many are not kept.
constexpr int kMostKeptOfOneName = 1000;

// The Rejected folder of folder, made when it is missing; empty, with the
// problem, when what stands there is no folder of this user's own.
fs::path RejectedFolder(const fs::path& folder, std::string& problem)
{
    fs::path rejected = folder / kRejectedFolder;
    std::error_code error;
    fs::create_directory(rejected, error);
    if (!error && IsOwnFolder(rejected))
        return rejected;
    problem = error ? rejected.string() + " cannot be made: " + error.message()
                    : rejected.string()
                          + " is no folder of this user's own (a link, a file or another "
                            "user's folder), so nothing is put there";
    return {};
}

fs::path Candidate(const fs::path& rejected, const std::string& name, int number)
{
    return rejected / (number == 1 ? name : name + "." + std::to_string(number));
}

// Copies source into a new file at target; the errno value, 0 when done,
// EEXIST when the name is taken.
int CopyInto(const fs::path& source, const fs::path& target)
{
    std::string reason;
    const UniqueFile in(OpenRegularFile(source, reason));
    if (!in)
        return ENOENT;
    int error = 0;
    UniqueFile out(CreateNewFile(target, kUsualFile, error));
    if (!out)
        return error;
    char buffer[1 << 16];
    std::size_t got = 0;
    while (error == 0 && (got = std::fread(buffer, 1, sizeof buffer, in.get())) > 0) {
        errno = 0;
        if (std::fwrite(buffer, 1, got, out.get()) != got)
            error = errno != 0 ? errno : EIO;
    }
    if (error == 0 && std::ferror(in.get()))
        error = EIO;
    errno = 0;
    if (!CloseFile(out) && error == 0)
        error = errno != 0 ? errno : EIO;
    if (error != 0) {
        std::error_code ignored;
        fs::remove(target, ignored);
    }
    return error;
}

// Renames source to target unless target exists; falls back to a copy where
// the file system cannot rename that way.
int MoveInto(const fs::path& source, const fs::path& target)
{
#ifdef __linux__
    if (::renameat2(AT_FDCWD, source.c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE) == 0)
        return 0;
    if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP)
        return errno;
#endif
    const int error = CopyInto(source, target);
    if (error == 0) {
        std::error_code ignored;
        fs::remove(source, ignored);
    }
    return error;
}

template <typename Keep>
RejectedKeep KeepUnderFreeName(const fs::path& folder, const std::string& name, Keep keep)
{
    RejectedKeep result;
    const fs::path rejected = RejectedFolder(folder, result.problem);
    if (rejected.empty())
        return result;
    for (int number = 1; number <= kMostKeptOfOneName; ++number) {
        const fs::path target = Candidate(rejected, name, number);
        const int error = keep(target);
        if (error == 0) {
            result.kept = target;
            return result;
        }
        if (error != EEXIST) {
            result.problem = target.string() + ": " + SystemErrorText(error);
            return result;
        }
    }
    result.problem = rejected.string() + " holds " + std::to_string(kMostKeptOfOneName) + " files named "
                     + name + " already";
    return result;
}

}  // namespace

RejectedKeep MoveToRejected(const fs::path& file)
{
    if (!IsOwnFile(file))
        return {{}, file.string() + " is no regular file of this user's own"};
    return KeepUnderFreeName(file.parent_path(), file.filename().string(),
                             [&](const fs::path& target) { return MoveInto(file, target); });
}

RejectedKeep CopyToRejected(const fs::path& source, const fs::path& folder, const std::string& name)
{
    return KeepUnderFreeName(folder, name, [&](const fs::path& target) { return CopyInto(source, target); });
}

std::string RejectedKeepText(const RejectedKeep& keep, const std::string& what)
{
    if (!keep.kept.empty())
        return " " + what + " was kept as " + keep.kept.string() + ".";
    return " " + what + " could not be kept: " + keep.problem + ".";
}

}  // namespace kestrava
