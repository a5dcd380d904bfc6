#pragma once
// An input stream over a file opened once, without blocking, and checked to
// be a regular file on the descriptor that is then read: a name swapped for a
// FIFO or a device between a look at it and the open can neither hold the
// reader nor feed it without end.

#include <array>
#include <cstdint>
#include <filesystem>
#include <istream>
#include <streambuf>
#include <string>

#include "common/uniquefile.h"

namespace kestrava {

// The buffer under RegularFileStream: reads the FILE in blocks and seeks in it.
class FileReadBuffer : public std::streambuf {
public:
    void Attach(UniqueFile file) { file_ = std::move(file); }
    bool IsOpen() const { return static_cast<bool>(file_); }
    int ReadError() const { return readError_; }

protected:
    int_type underflow() override;
    pos_type seekoff(off_type offset, std::ios_base::seekdir direction,
                     std::ios_base::openmode which) override;
    pos_type seekpos(pos_type position, std::ios_base::openmode which) override;

private:
    UniqueFile file_;
    std::array<char, 65536> block_{};
    int readError_ = 0;
};

class RegularFileStream : public std::istream {
public:
    // Opens path; on failure the stream is in its fail state and OpenError
    // and OpenProblem say why.
    explicit RegularFileStream(const std::filesystem::path& path);
    RegularFileStream(const RegularFileStream&) = delete;
    RegularFileStream& operator=(const RegularFileStream&) = delete;

    bool IsOpen() const { return buffer_.IsOpen(); }
    // The errno value of a failed open; 0 when something other than a
    // regular file stands at the name.
    int OpenError() const { return openError_; }
    // "it is a folder", "it is not a regular file" or the system's text.
    const std::string& OpenProblem() const { return openProblem_; }
    // The errno value of a failed read, 0 when none failed.
    int ReadError() const { return buffer_.ReadError(); }

private:
    FileReadBuffer buffer_;
    int openError_ = 0;
    std::string openProblem_;
};

// Reads the whole regular file at path into bytes. False, with the reason in
// reason, when it cannot be opened, is no regular file, cannot be read or is
// larger than maxBytes ("it is larger than N bytes").
bool ReadRegularFile(const std::filesystem::path& path, std::string& bytes, std::uintmax_t maxBytes,
                     std::string& reason);

}  // namespace kestrava
