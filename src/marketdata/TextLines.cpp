#include "TextLines.h"

#include <cstring>

#include "common/fileaccess.h"
#include "common/textescape.h"

namespace kestrava {

TextLineReader::TextLineReader(const std::filesystem::path& path) : buffer_(1 << 16)
{
    // Only a regular file: a folder fails every read, a FIFO or a device
    // would hold the reader for ever.
    file_.reset(OpenRegularFile(path, openProblem_));
}

bool TextLineReader::Refill()
{
    pos_ = 0;
    end_ = std::fread(buffer_.data(), 1, buffer_.size(), file_.get());
    if (end_ == 0 && std::ferror(file_.get()))
        failed_ = true;
    return end_ > 0;
}

bool TextLineReader::ReadLine(std::string& line)
{
    line.clear();
    if (!file_ || failed_)
        return false;
    if (atStart_) {
        atStart_ = false;
        static constexpr char kByteOrderMark[] = "\xEF\xBB\xBF";
        if (Refill() && end_ >= 3 && std::memcmp(buffer_.data(), kByteOrderMark, 3) == 0)
            pos_ = 3;
    }
    bool gotAny = false;
    for (;;) {
        if (pos_ == end_ && !Refill())
            break;
        gotAny = true;
        const char* start = buffer_.data() + pos_;
        const auto* newline = static_cast<const char*>(std::memchr(start, '\n', end_ - pos_));
        const std::size_t length = newline ? static_cast<std::size_t>(newline - start) : end_ - pos_;
        // One byte more is the CR that a CRLF line end drops.
        if (line.size() + length > kMaxLineLength + 1) {
            failed_ = tooLong_ = true;
            line.clear();
            return false;
        }
        if (newline) {
            line.append(start, newline);
            pos_ += static_cast<std::size_t>(newline - start) + 1;
            return EndLine(line);
        }
        line.append(start, end_ - pos_);
        pos_ = end_;
    }
    if (!gotAny || failed_)
        return false;
    return EndLine(line);
}

bool TextLineReader::Rewind()
{
    if (!file_)
        return false;
    std::clearerr(file_.get());
    if (std::fseek(file_.get(), 0, SEEK_SET) != 0) {
        failed_ = true;
        return false;
    }
    // Reading again meets a failure again where it met it before.
    failed_ = tooLong_ = false;
    pos_ = end_ = 0;
    atStart_ = true;
    lineNumber_ = 0;
    return true;
}

bool TextLineReader::EndLine(std::string& line)
{
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    if (line.size() > kMaxLineLength) {
        failed_ = tooLong_ = true;
        line.clear();
        return false;
    }
    ++lineNumber_;
    return true;
}

std::string TextLineReader::OpenFailureText(const std::string& name) const
{
    return "Cannot open " + name + (openProblem_.empty() ? "" : ": " + openProblem_) + ".";
}

std::string TextLineReader::FailureText(const std::string& name) const
{
    if (tooLong_)
        return "Line " + std::to_string(lineNumber_ + 1) + " of " + name + " is longer than "
               + std::to_string(kMaxLineLength) + " characters.";
    return "Cannot read " + name + ".";
}

std::string QuotedForMessage(std::string_view text)
{
    constexpr std::size_t kShown = 40;
    // A NUL would end the message where it is shown; an escape sequence
    // would move the terminal's cursor.
    std::string shown = EscapedText(text.substr(0, kShown));
    if (text.size() > kShown)
        shown += "...";
    return "\"" + shown + "\"";
}

}  // namespace kestrava
