#include "TextLines.h"

#include <cstring>

namespace kestrava {

TextLineReader::TextLineReader(const std::filesystem::path& path) : buffer_(1 << 16)
{
    std::error_code error;
    // A directory opens as a FILE on some systems and then fails every read.
    if (std::filesystem::is_directory(path, error))
        return;
    file_ = std::fopen(path.c_str(), "rb");
}

TextLineReader::~TextLineReader()
{
    if (file_)
        std::fclose(file_);
}

bool TextLineReader::Refill()
{
    pos_ = 0;
    end_ = std::fread(buffer_.data(), 1, buffer_.size(), file_);
    if (end_ == 0 && std::ferror(file_))
        failed_ = true;
    return end_ > 0;
}

bool TextLineReader::ReadLine(std::string& line)
{
    line.clear();
    if (!file_ || failed_)
        return false;
    bool gotAny = false;
    for (;;) {
        if (pos_ == end_ && !Refill())
            break;
        gotAny = true;
        const char* start = buffer_.data() + pos_;
        const auto* newline = static_cast<const char*>(std::memchr(start, '\n', end_ - pos_));
        if (newline) {
            line.append(start, newline);
            pos_ += static_cast<std::size_t>(newline - start) + 1;
            if (!line.empty() && line.back() == '\r')
                line.pop_back();
            ++lineNumber_;
            return true;
        }
        line.append(start, end_ - pos_);
        pos_ = end_;
    }
    if (!gotAny || failed_)
        return false;
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    ++lineNumber_;
    return true;
}

std::string QuotedForMessage(std::string_view text)
{
    constexpr std::size_t kShown = 40;
    std::string shown(text.substr(0, kShown));
    if (text.size() > kShown)
        shown += "...";
    return "\"" + shown + "\"";
}

}  // namespace kestrava
