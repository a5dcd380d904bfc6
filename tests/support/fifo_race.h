#pragma once
// A reader racing a name that keeps changing between a regular file and a
// FIFO, as when another process swaps them in a shared folder: every read
// must come back, refused or done, never wait for a writer.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <future>
#include <string>
#include <thread>

namespace kestrava::testsupport {

// Calls read(name) `rounds` times while a second thread renames a FIFO and a
// file holding fileBytes, both made beside name, onto name as fast as it can. Fails when
// the reads have not all come back within the deadline; the FIFO is then
// opened for writing, which frees a reader that waits on it. Returns what
// went wrong, empty when every read came back; the name then holds the
// regular file again.
inline std::string ReadsComeBackWhileAFifoIsSwappedIn(
    const std::filesystem::path& name, const std::string& fileBytes,
    const std::function<void(const std::filesystem::path&)>& read, int rounds = 100)
{
    namespace fs = std::filesystem;
    const fs::path dir = name.parent_path();
    const fs::path fifo = dir / "fifo-inode";
    const fs::path file = dir / "file-inode";
    if (::mkfifo(fifo.c_str(), 0600) != 0)
        return "cannot make the FIFO " + fifo.string();
    std::ofstream(file, std::ios::binary) << fileBytes;  // test setup, written by the test itself
    fs::copy_file(file, name);

    std::atomic<bool> stop{false};
    std::thread swapper([&] {
        const fs::path staged = dir / "staged";
        for (bool fifoNext = true; !stop.load(); fifoNext = !fifoNext) {
            std::error_code ignored;
            fs::remove(staged, ignored);
            fs::create_hard_link(fifoNext ? fifo : file, staged, ignored);
            fs::rename(staged, name, ignored);
        }
    });
    auto reads = std::async(std::launch::async, [&] {
        for (int round = 0; round < rounds; ++round) {
            try {
                read(name);
            } catch (...) {  // refused is as good as read: the point is coming back
            }
        }
    });
    const bool cameBack = reads.wait_for(std::chrono::seconds(60)) == std::future_status::ready;
    stop = true;
    swapper.join();
    while (!cameBack && reads.wait_for(std::chrono::milliseconds(0)) != std::future_status::ready) {
        const int writer = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
        if (writer >= 0)
            ::close(writer);
        reads.wait_for(std::chrono::milliseconds(100));
    }
    if (!cameBack)
        return "a read of " + name.string() + " waited on the FIFO";
    // The regular file at the name again, for the caller's read of it.
    std::error_code ignored;
    fs::remove(name, ignored);
    fs::create_hard_link(file, name, ignored);
    return {};
}

}  // namespace kestrava::testsupport
