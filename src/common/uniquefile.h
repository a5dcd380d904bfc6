#pragma once
// A C stream that closes itself: the readers and writers of files hold their
// FILE through it, so no way out of them leaves one open.

#include <cstdio>
#include <memory>

namespace kestrava {

struct FileCloser {
    void operator()(std::FILE* file) const
    {
        std::fclose(file);  // NOLINT(cppcoreguidelines-owning-memory): the unique_ptr owns what fopen opened
    }
};

using UniqueFile = std::unique_ptr<std::FILE, FileCloser>;

// std::fopen into its owner; empty when the file cannot be opened (errno
// says why).
inline UniqueFile OpenFile(const char* path, const char* mode)
{
    return UniqueFile(std::fopen(path, mode));
}

// Closes the stream now; false when what was written did not all reach the
// file. The stream is gone either way.
inline bool CloseFile(UniqueFile& file)
{
    return std::fclose(file.release())
           == 0;  // NOLINT(cppcoreguidelines-owning-memory): released from its owner
}

}  // namespace kestrava
