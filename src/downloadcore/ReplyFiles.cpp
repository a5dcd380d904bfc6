#include "downloadcore/ReplyFiles.h"

#include <cerrno>
#include <charconv>
#include <random>
#include <stdexcept>
#include <system_error>

#include "common/fileaccess.h"
#include "common/filereplace.h"
#include "common/notifier.h"
#include "downloadcore/Downloads.h"
#include "marketdata/PriceFileReader.h"

#ifndef _WIN32
#include <signal.h>
#include <unistd.h>
#endif

namespace kestrava {
namespace {

namespace fs = std::filesystem;

constexpr std::string_view kReplyFolderPrefix = "download-";

int ProcessId()
{
#ifdef _WIN32
    return 0;
#else
    return static_cast<int>(::getpid());
#endif
}

// Whether the process that made a reply folder has ended; a folder whose
// process cannot be told is left for a later run.
bool MadeByEndedRun(std::string_view name)
{
#ifdef _WIN32
    (void)name;
    return false;
#else
    if (!name.starts_with(kReplyFolderPrefix))
        return false;
    name.remove_prefix(kReplyFolderPrefix.size());
    int pid = 0;
    const auto read = std::from_chars(name.data(), name.data() + name.size(), pid);
    if (read.ec != std::errc() || read.ptr == name.data() || *read.ptr != '-' || pid <= 0
        || pid == ProcessId())
        return false;
    return ::kill(pid, 0) != 0 && errno == ESRCH;
#endif
}

void RemoveEndedRuns(const fs::path& privateFolder)
{
    std::error_code error;
    for (fs::directory_iterator it(privateFolder, error), end; !error && it != end; it.increment(error)) {
        std::error_code ignored;
        if (MadeByEndedRun(it->path().filename().string()) && IsOwnFolder(it->path()))
            fs::remove_all(it->path(), ignored);
    }
}

fs::path MakeReplyFolder(const fs::path& privateFolder)
{
    RemoveEndedRuns(privateFolder);
    std::random_device random;
    std::error_code error;
    for (int attempt = 0; attempt < 16; ++attempt) {
        fs::path candidate = privateFolder
                             / (std::string(kReplyFolderPrefix) + std::to_string(ProcessId()) + "-"
                                + std::to_string(random() % 1000000u));
        // create_directory says false, without an error, for a name taken.
        if (fs::create_directory(candidate, error)) {
            fs::permissions(candidate, fs::perms::owner_all, error);
            return candidate;
        }
        if (error)
            break;
    }
    throw std::runtime_error("Cannot make a folder for the replies in " + privateFolder.string() + ": "
                             + (error ? error.message() : SystemErrorText(EEXIST)) + ".");
}

}  // namespace

bool StartDownload(const ServerAddress& server, const fs::path& privateFolder, Notifier& notifier,
                   std::optional<ReplyFolder>& replies)
{
    if (!server.ok) {
        notifier.Info(server.problem);
        return false;
    }
    try {
        replies.emplace(privateFolder);
    } catch (const std::exception& error) {
        notifier.Info(error.what());
        return false;
    }
    return true;
}

ReplyFolder::ReplyFolder(const fs::path& privateFolder)
    // Never a folder relative to wherever the program was started.
    : path_(MakeReplyFolder(privateFolder.empty() ? DefaultTempDirectory() : privateFolder))
{
}

ReplyFolder::~ReplyFolder()
{
    std::error_code ignored;
    fs::remove_all(path_, ignored);
}

ReplyFile::ReplyFile(const ReplyFolder& folder, const std::string& name) : path_(folder.Path() / name)
{
    int error = 0;
    buffer_.file.reset(CreateNewFile(path_, kOwnerOnly, error));
    if (!buffer_.file && error == EEXIST) {
        std::error_code ignored;
        fs::remove(path_, ignored);
        buffer_.file.reset(CreateNewFile(path_, kOwnerOnly, error));
    }
    if (!buffer_.file)
        throw std::runtime_error("Cannot create " + path_.string() + ": " + SystemErrorText(error) + ".");
}

ReplyFile::~ReplyFile()
{
    buffer_.file.reset();
    std::error_code ignored;
    fs::remove(path_, ignored);
}

ReplyFile::Buffer::int_type ReplyFile::Buffer::overflow(int_type c)
{
    if (traits_type::eq_int_type(c, traits_type::eof()))
        return traits_type::not_eof(c);
    const char byte = traits_type::to_char_type(c);
    return xsputn(&byte, 1) == 1 ? c : traits_type::eof();
}

std::streamsize ReplyFile::Buffer::xsputn(const char* data, std::streamsize count)
{
    if (!file || error != 0)
        return 0;
    errno = 0;
    const std::size_t written = std::fwrite(data, 1, static_cast<std::size_t>(count), file.get());
    if (written != static_cast<std::size_t>(count))
        error = errno != 0 ? errno : EIO;
    return static_cast<std::streamsize>(written);
}

void ReplyFile::Close()
{
    if (!buffer_.file)
        return;
    errno = 0;
    if (!CloseFile(buffer_.file) && buffer_.error == 0)
        buffer_.error = errno != 0 ? errno : EIO;
    if (buffer_.error != 0)
        throw std::runtime_error("Cannot write " + path_.string() + ": " + SystemErrorText(buffer_.error)
                                 + ".");
}

bool EndsWithLineEnd(const fs::path& file)
{
    std::string reason;
    const UniqueFile in(OpenRegularFile(file, reason));
    if (!in)
        return false;
    return std::fseek(in.get(), -1, SEEK_END) == 0 && std::fgetc(in.get()) == '\n';
}

std::string ReplaceWithCopy(const fs::path& source, const fs::path& target)
{
    std::string reason;
    UniqueFile in(OpenRegularFile(source, reason));
    if (!in)
        return "Cannot read " + source.string() + ": " + reason + ".";
    try {
        FileReplacement replacement(target);
        char buffer[1 << 16];
        std::size_t got = 0;
        while ((got = std::fread(buffer, 1, sizeof buffer, in.get())) > 0)
            replacement.Write(std::string_view(buffer, got));
        const bool readFailed = std::ferror(in.get()) != 0;
        in.reset();
        if (readFailed)
            return "Cannot read " + source.string() + ".";
        replacement.Commit();
    } catch (const FileReplaceError& error) {
        in.reset();
        return "Cannot write " + target.string() + ": " + error.what() + ".";
    }
    return {};
}

}  // namespace kestrava
