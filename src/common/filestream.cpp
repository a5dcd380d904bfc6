#include "common/filestream.h"

#include <cerrno>

#include "common/fileaccess.h"

namespace kestrava {

FileReadBuffer::int_type FileReadBuffer::underflow()
{
    if (gptr() < egptr())
        return traits_type::to_int_type(*gptr());
    if (!file_)
        return traits_type::eof();
    errno = 0;
    const std::size_t count = std::fread(block_.data(), 1, block_.size(), file_.get());
    if (count == 0) {
        if (std::ferror(file_.get()) && readError_ == 0)
            readError_ = errno != 0 ? errno : EIO;
        return traits_type::eof();
    }
    setg(block_.data(), block_.data(), block_.data() + count);
    return traits_type::to_int_type(*gptr());
}

FileReadBuffer::pos_type FileReadBuffer::seekoff(off_type offset, std::ios_base::seekdir direction,
                                                 std::ios_base::openmode which)
{
    if (!file_ || (which & std::ios_base::in) == 0)
        return pos_type(off_type(-1));
    // The file's own position is past what the block still holds unread.
    const off_type unread = egptr() - gptr();
    if (direction == std::ios_base::cur)
        offset -= unread;
    const int origin = direction == std::ios_base::beg   ? SEEK_SET
                       : direction == std::ios_base::cur ? SEEK_CUR
                                                         : SEEK_END;
    if (::fseeko(file_.get(), static_cast<off_t>(offset), origin) != 0)
        return pos_type(off_type(-1));
    setg(block_.data(), block_.data(), block_.data());
    const off_t at = ::ftello(file_.get());
    return at < 0 ? pos_type(off_type(-1)) : pos_type(static_cast<off_type>(at));
}

FileReadBuffer::pos_type FileReadBuffer::seekpos(pos_type position, std::ios_base::openmode which)
{
    return seekoff(off_type(position), std::ios_base::beg, which);
}

RegularFileStream::RegularFileStream(const std::filesystem::path& path) : std::istream(nullptr)
{
    rdbuf(&buffer_);
    buffer_.Attach(UniqueFile(OpenRegularFile(path, openProblem_, &openError_)));
    if (!buffer_.IsOpen())
        setstate(std::ios_base::failbit);
}

bool ReadRegularFile(const std::filesystem::path& path, std::string& bytes, std::uintmax_t maxBytes,
                     std::string& reason)
{
    RegularFileStream in(path);
    if (!in.IsOpen()) {
        reason = in.OpenProblem();
        return false;
    }
    bytes.clear();
    std::array<char, 65536> block{};
    while (in.read(block.data(), block.size()) || in.gcount() > 0) {
        if (bytes.size() + static_cast<std::size_t>(in.gcount()) > maxBytes) {
            reason = "it is larger than " + std::to_string(maxBytes) + " bytes";
            return false;
        }
        bytes.append(block.data(), static_cast<std::size_t>(in.gcount()));
    }
    if (in.ReadError() != 0) {
        reason = SystemErrorText(in.ReadError());
        return false;
    }
    return true;
}

}  // namespace kestrava
