#pragma once
// Line-by-line reading of the text files the readers take in. A line ends
// at LF; a CR before it is dropped, so CRLF and LF files read alike. A UTF-8
// byte order mark at the start of the file is no part of the first line. The
// line buffer grows to the longest line and no further than kMaxLineLength,
// and each byte is looked at once.

#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "common/uniquefile.h"

namespace kestrava {

// No price or quote file has lines anywhere near this long; a longer line
// means a binary file or a device, whose reading stops there.
constexpr std::size_t kMaxLineLength = std::size_t{4} << 20;

class TextLineReader {
public:
    // Opens regular files only. Check IsOpen() afterwards; the readers
    // decide how to report it.
    explicit TextLineReader(const std::filesystem::path& path);
    TextLineReader(const TextLineReader&) = delete;
    TextLineReader& operator=(const TextLineReader&) = delete;

    bool IsOpen() const { return file_ != nullptr; }
    // "Cannot open NAME: REASON." for a file that did not open.
    std::string OpenFailureText(const std::string& name) const;
    // False at the end of the file, on a read error or at a line longer than
    // kMaxLineLength (see Failed()); reading stops at either.
    bool ReadLine(std::string& line);
    bool Failed() const { return failed_; }
    // Why reading failed, for a message about the file shown as name.
    std::string FailureText(const std::string& name) const;
    // Number of lines read so far.
    long long LineNumber() const { return lineNumber_; }
    // Back to the first line, for a reader that reads the file twice, also
    // after a failure; false (see Failed()) when it cannot go back.
    bool Rewind();

private:
    bool Refill();
    // Drops the CR of a CRLF line end and checks the length.
    bool EndLine(std::string& line);

    UniqueFile file_;
    std::string openProblem_;
    std::vector<char> buffer_;
    std::size_t pos_ = 0;
    std::size_t end_ = 0;
    bool failed_ = false;
    bool tooLong_ = false;
    bool atStart_ = true;
    long long lineNumber_ = 0;
};

// A field quoted for a message: a field may be a whole binary file, so only
// its first 40 characters are shown, control characters written out ("\0").
std::string QuotedForMessage(std::string_view text);

}  // namespace kestrava
