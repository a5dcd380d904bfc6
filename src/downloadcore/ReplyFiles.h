#pragma once
// Where replies arrive, and how one that passed its checks replaces an older
// file. A download's replies go into a folder of its own inside the user's
// private work folder, made afresh for the download and removed with it;
// each reply is a new file created there exclusively. So nothing another
// user, an earlier run or a link planted anywhere provides is ever read or
// written as a reply.

#include <cstdio>
#include <filesystem>
#include <memory>
#include <optional>
#include <ostream>
#include <streambuf>
#include <string>

#include "common/uniquefile.h"

namespace kestrava {

// "download-PID-XXXXXX" inside the private work folder: the download's
// replies, removed with everything in it when the object goes.
class ReplyFolder {
public:
    // Also removes the reply folders of downloads whose process has ended
    // (a killed run). Throws std::runtime_error saying why no folder could
    // be made.
    explicit ReplyFolder(const std::filesystem::path& privateFolder);
    ~ReplyFolder();
    ReplyFolder(const ReplyFolder&) = delete;
    ReplyFolder& operator=(const ReplyFolder&) = delete;

    const std::filesystem::path& Path() const { return path_; }

private:
    std::filesystem::path path_;
};

class Notifier;
struct ServerAddress;

// Whether a download can start: its server's address parsed, and its reply
// folder made in privateFolder (into replies). Otherwise says why.
bool StartDownload(const ServerAddress& server, const std::filesystem::path& privateFolder,
                   Notifier& notifier, std::optional<ReplyFolder>& replies);

// One reply: a new file in a reply folder, open for writing, removed when
// the object goes.
class ReplyFile {
public:
    // Throws std::runtime_error naming the file and the system's reason. A
    // name already taken (the same symbol twice in one download) is first
    // cleared, as it is this download's own.
    ReplyFile(const ReplyFolder& folder, const std::string& name);
    ~ReplyFile();
    ReplyFile(const ReplyFile&) = delete;
    ReplyFile& operator=(const ReplyFile&) = delete;

    std::ostream& Stream() { return stream_; }
    // Ends the writing; throws std::runtime_error with the reason.
    void Close();
    const std::filesystem::path& Path() const { return path_; }

private:
    class Buffer : public std::streambuf {
    public:
        UniqueFile file;
        int error = 0;

    protected:
        int_type overflow(int_type c) override;
        std::streamsize xsputn(const char* data, std::streamsize count) override;
    };

    std::filesystem::path path_;
    Buffer buffer_;
    std::ostream stream_{&buffer_};
};

// Whether the file's last byte ends a line. Every quote table and price list
// ends so; a reply cut off in the middle of a line does not.
bool EndsWithLineEnd(const std::filesystem::path& file);

// Copies source beside target and renames the copy over target. Returns an
// empty text, or "Cannot write TARGET: REASON." (target is then untouched).
std::string ReplaceWithCopy(const std::filesystem::path& source, const std::filesystem::path& target);

}  // namespace kestrava
