#pragma once
// Line-by-line reading of the text files the readers take in. A line ends
// at LF; a CR before it is dropped, so CRLF and LF files read alike. The line
// buffer grows to the longest line and no further, so memory stays bounded by
// the file, and each byte is looked at once.

#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace kestrava {

class TextLineReader {
public:
    // Check IsOpen() afterwards; the readers decide how to report it.
    explicit TextLineReader(const std::filesystem::path& path);
    ~TextLineReader();
    TextLineReader(const TextLineReader&) = delete;
    TextLineReader& operator=(const TextLineReader&) = delete;

    bool IsOpen() const { return file_ != nullptr; }
    // False at the end of the file or on a read error (see Failed()).
    bool ReadLine(std::string& line);
    bool Failed() const { return failed_; }
    // Number of lines read so far.
    long long LineNumber() const { return lineNumber_; }

private:
    bool Refill();

    std::FILE* file_ = nullptr;
    std::vector<char> buffer_;
    std::size_t pos_ = 0;
    std::size_t end_ = 0;
    bool failed_ = false;
    long long lineNumber_ = 0;
};

// A field quoted for a message: a field may be a whole binary file, so only
// its first 40 characters are shown.
std::string QuotedForMessage(std::string_view text);

}  // namespace kestrava
