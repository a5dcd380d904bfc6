#pragma once
// Replacing a file's contents so that a failed write never leaves it half
// written: the bytes go to a new file beside it, which is then renamed over
// it. The new file has a name no other file has ("NAME.~1a2b3c4d.tmp"), is
// created exclusively and never through a link. A link at the name itself is
// replaced, not written through, unless the rules say it is the user's own
// way to a file (a save of the user's own file).

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <string_view>

#include "common/uniquefile.h"

namespace kestrava {

class FileReplaceError : public std::runtime_error {
public:
    enum class Stage { Create, Write, ReadOnly, Link };
    FileReplaceError(Stage stage, const std::string& reason) : std::runtime_error(reason), stage(stage) {}
    // Create: the file could not be made or put in place; Write: the bytes
    // could not all be written; what() is the system's reason ("No space
    // left on device"). ReadOnly: the file has no write permission. Link: a
    // link that is no way to a file of this user's; what() says why.
    Stage stage;
};

// How a replacement treats what stands at the name already.
struct ReplaceRules {
    // False: a link at the name is replaced by the new file, never written
    // through (a downloaded file, where a link may have been planted). True:
    // a link to a regular file of this user's has that file replaced, in its
    // own folder, and stays; any other link is refused (Stage::Link).
    bool throughOwnLink = false;
    // A file without write permission is refused (Stage::ReadOnly).
    bool refuseReadOnly = false;
};

// The rules of a save the user asked for: the user's links are kept and a
// file the user made read-only is refused.
inline constexpr ReplaceRules kUserSave{true, true};

// A new version of a file, written beside it and renamed over it by Commit.
// Until then the old file stays as it was; an uncommitted new version is
// removed when the object goes.
class FileReplacement {
public:
    // Throws FileReplaceError (Create) when no new file can be made beside
    // target, or (ReadOnly, Link) when the rules refuse what stands there.
    explicit FileReplacement(std::filesystem::path target, ReplaceRules rules = {});
    ~FileReplacement();
    FileReplacement(const FileReplacement&) = delete;
    FileReplacement& operator=(const FileReplacement&) = delete;

    // Appends bytes; a failure is kept for Close and Commit to report.
    void Write(std::string_view bytes);
    // Ends the writing, so that the new version can be read at NewPath()
    // before it takes the old one's place. Throws FileReplaceError (Write).
    void Close();
    // Closes, gives the new version the old file's permissions and renames
    // it over the target. Throws FileReplaceError.
    void Commit();

    // The file that Commit replaces: the name given, or the file its link leads to.
    const std::filesystem::path& Target() const { return target_; }
    const std::filesystem::path& NewPath() const { return newPath_; }

private:
    std::filesystem::path target_;
    std::filesystem::path newPath_;
    UniqueFile file_;
    // Held from the new file's making until this object goes, so that a
    // clean-up by another process knows its writer is still at work.
    int lockFd_ = -1;
    int writeError_ = 0;
    bool committed_ = false;
};

// Writes bytes as the new contents of fileName through a FileReplacement.
// Throws FileReplaceError; the old file, if any, is then untouched.
void ReplaceFileContents(const std::string& fileName, std::string_view bytes, ReplaceRules rules = {});

// True for the name a new version has while it is written ("NAME.~1a2b3c4d.tmp")
// and for the ".part" files of earlier versions of the program: what a
// killed save or download leaves behind.
bool IsReplacementLeftover(std::string_view fileName);

// Removes the leftovers in folder (not below it) that are this user's own
// regular files and older than age, and the new versions whose writer is gone
// (no process holds their lock; a killed save or conversion) once they are a
// few seconds old; returns how many went.
int RemoveStaleLeftovers(const std::filesystem::path& folder, std::chrono::seconds age);

}  // namespace kestrava
