#pragma once
// Opening files so that whatever stands at a name can neither hold the
// program nor make it write somewhere else: readers take regular files only
// (a FIFO or a device would block or never end), and new files are created
// exclusively, never through a link and never reusing a file already there.

#include <cstdio>
#include <filesystem>
#include <string>

namespace kestrava {

// The system's text for an errno value ("No space left on device").
std::string SystemErrorText(int error);

// Why what stands at path is no file to read ("it is a folder", "it is not
// a regular file"); empty for a regular file and for a name with nothing at
// it, which opening then reports.
std::string IrregularFileReason(const std::filesystem::path& path);

// Opens path for binary reading. nullptr, with the reason in reason, when it
// cannot be opened or is no regular file; never waits for a FIFO's writer.
// error, when given, receives the errno value of a failed open, 0 when the
// file opened or what stands at the name is no regular file.
std::FILE* OpenRegularFile(const std::filesystem::path& path, std::string& reason, int* error = nullptr);

// Permissions of a new file before the umask.
inline constexpr unsigned kOwnerOnly = 0600;
inline constexpr unsigned kUsualFile = 0666;

// Creates path as a new, empty file and opens it for binary writing. nullptr
// and the errno value in error when it cannot; EEXIST when anything stands at
// the name already, a link included, which is never followed.
std::FILE* CreateNewFile(const std::filesystem::path& path, unsigned permissions, int& error);

// Whether folder is a real folder (not a link) that belongs to this user.
bool IsOwnFolder(const std::filesystem::path& folder);

// Whether path is a regular file (not a link) that belongs to this user.
bool IsOwnFile(const std::filesystem::path& path);

}  // namespace kestrava
