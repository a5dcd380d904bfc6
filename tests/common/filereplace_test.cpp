// Files replaced whole, created without following links, read only when
// regular, and the leftovers of killed saves cleared away once their writer
// is gone.

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "common/fileaccess.h"
#include "common/filereplace.h"
#include "support/file_bytes.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;
using namespace kestrava;

using testsupport::ReadFile;

class FileReplaceTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string name = (fs::temp_directory_path() / "kestrava-files-XXXXXX").string();
        ASSERT_NE(::mkdtemp(name.data()), nullptr);
        dir_ = name;
    }
    void TearDown() override { fs::remove_all(dir_); }

    fs::path Write(const std::string& name, const std::string& bytes) const
    {
        std::ofstream(dir_ / name, std::ios::binary) << bytes;
        return dir_ / name;
    }

    fs::path dir_;
};

}  // namespace

TEST_F(FileReplaceTest, NoLinkIsWrittenThroughAndAFailedWriteKeepsTheOldFile)
{
    const fs::path outside = Write("outside.txt", "someone else's");
    fs::create_symlink(outside, dir_ / "SPX.txt");
    ReplaceFileContents((dir_ / "SPX.txt").string(), "new");
    EXPECT_EQ(ReadFile(outside), "someone else's");
    EXPECT_FALSE(fs::is_symlink(dir_ / "SPX.txt"));
    EXPECT_EQ(ReadFile(dir_ / "SPX.txt"), "new");

    // A new file is never made through a link, nor over a file.
    int error = 0;
    fs::create_symlink(outside, dir_ / "link");
    EXPECT_EQ(CreateNewFile(dir_ / "link", kOwnerOnly, error), nullptr);
    EXPECT_EQ(error, EEXIST);
    EXPECT_EQ(CreateNewFile(outside, kOwnerOnly, error), nullptr);
    EXPECT_EQ(ReadFile(outside), "someone else's");

    // A disk that takes no more: the file and the system's reason, the old
    // contents kept, nothing left beside them. The file size limit stands
    // for a full disk, also for root; a child process carries it.
    const fs::path target = Write("big.ops", "old");
    const pid_t child = ::fork();
    if (child == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{1024, 1024};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        try {
            ReplaceFileContents(target.string(), std::string(8192, 'x'));
        } catch (const FileReplaceError& failure) {
            ::_exit(failure.stage == FileReplaceError::Stage::Write
                            && std::string(failure.what()) == SystemErrorText(EFBIG)
                        ? 0
                        : 2);
        }
        ::_exit(1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "child status " << status;
    EXPECT_EQ(ReadFile(target), "old");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()), 4);
}

TEST_F(FileReplaceTest, OnlyRegularFilesAreOpenedForReading)
{
    const fs::path fifo = dir_ / "pipe.csv";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    fs::create_directory(dir_ / "folder.csv");
    const struct {
        fs::path path;
        std::string reason;
    } cases[] = {
        {fifo, "it is not a regular file"},
        {dir_ / "folder.csv", "it is a folder"},
        {dir_ / "gone.csv", SystemErrorText(ENOENT)},
    };
    for (const auto& c : cases) {
        std::string reason;
        EXPECT_EQ(OpenRegularFile(c.path, reason), nullptr) << c.path;
        EXPECT_EQ(reason, c.reason) << c.path;
    }
    EXPECT_EQ(IrregularFileReason(fifo), "it is not a regular file");
    EXPECT_EQ(IrregularFileReason(dir_ / "gone.csv"), "");
    std::string reason;
    std::FILE* file = OpenRegularFile(Write("prices.csv", "1,2\n"), reason);
    ASSERT_NE(file, nullptr) << reason;
    std::fclose(file);
}

TEST_F(FileReplaceTest, LeftoversOfKilledSavesGoOnceTheirWriterIsGone)
{
    // Age in seconds; locked: a writer still holds the new version's lock.
    constexpr int kHour = 3600;
    const struct {
        const char* name;
        int secondsOld;
        bool locked;
        bool goes;
    } cases[] = {
        {"SPX.ops.~1234abcd.tmp", 25 * kHour, true, true},  // a day old: gone whoever holds it
        {"SPX.ops.~1234abcd.tmp.x", 25 * kHour, false, false},
        {"SPX.position.json.~0000beef.tmp", 48 * kHour, false, true},
        {"SPX.ops.~1234abcd.tmp", 23 * kHour, true, false},  // its writer is still at work
        {"SPX.ops.~1234abcd.tmp", kHour, false, true},       // its writer was killed
        {"SPX.ops.~1234abcd.tmp", 1, false, false},          // too new to tell
        {"SPX.txt.part", 25 * kHour, false, true},
        {"SPX.txt.part", kHour, false, false},  // older programs' files hold no lock
        {"SPX.ops.~1234ABCD.tmp", 25 * kHour, false, false},
        {"SPX.ops.~1234abc.tmp", 25 * kHour, false, false},
        {"SPX.ops~1234abcd.tmp", 25 * kHour, false, false},
        {".part", 25 * kHour, false, false},
        {"notes.tmp", 25 * kHour, false, false},
    };
    const auto now = fs::file_time_type::clock::now();
    int expected = 0;
    std::vector<int> locks;
    for (const auto& c : cases) {
        const fs::path folder = dir_ / std::to_string(c.secondsOld);
        fs::create_directories(folder);
        std::ofstream(folder / c.name) << "left";
        fs::last_write_time(folder / c.name, now - std::chrono::seconds(c.secondsOld));
        if (c.locked) {
            // An open file description of its own, as another process's.
            locks.push_back(::open((folder / c.name).c_str(), O_RDONLY));
            ASSERT_EQ(::flock(locks.back(), LOCK_EX | LOCK_NB), 0);
        }
        expected += c.goes;
    }
    // A link or a folder of that name is no file of a save.
    const fs::path day = dir_ / std::to_string(25 * kHour);
    const fs::path outside = Write("outside", "kept");
    fs::create_symlink(outside, day / "X.ops.~0badf00d.tmp");
    fs::create_directory(day / "Y.csv.part");

    int removed = 0;
    for (const auto& entry : fs::directory_iterator(dir_))
        if (entry.is_directory())
            removed += RemoveStaleLeftovers(entry.path(), std::chrono::hours(24));
    EXPECT_EQ(removed, expected);
    for (const auto& c : cases)
        EXPECT_EQ(fs::exists(dir_ / std::to_string(c.secondsOld) / c.name), !c.goes)
            << c.name << " " << c.secondsOld;
    EXPECT_TRUE(fs::is_symlink(day / "X.ops.~0badf00d.tmp"));
    EXPECT_EQ(ReadFile(outside), "kept");
    EXPECT_TRUE(fs::is_directory(day / "Y.csv.part"));
    for (const int fd : locks)
        ::close(fd);
}

TEST_F(FileReplaceTest, AReplacementHoldsItsLockUntilItGoesAndAKilledOneLeavesNone)
{
    const fs::path target = Write("SPY.csv", "old");
    auto leftovers = [&] {
        std::vector<fs::path> found;
        for (const auto& entry : fs::directory_iterator(dir_))
            if (IsReplacementLeftover(entry.path().filename().string()))
                found.push_back(entry.path());
        return found;
    };
    {
        FileReplacement writing(target);
        writing.Write("new");
        writing.Close();  // closed, but not yet put in place: still its writer's
        fs::last_write_time(writing.NewPath(), fs::file_time_type::clock::now() - std::chrono::hours(1));
        EXPECT_EQ(RemoveStaleLeftovers(dir_, std::chrono::hours(24)), 0);
        writing.Commit();
    }
    EXPECT_EQ(ReadFile(target), "new");

    // A writer killed half-way: its new version stays, with no lock on it.
    const pid_t child = ::fork();
    if (child == 0) {
        FileReplacement killed(target);
        killed.Write("half");
        ::_exit(0);  // no destructor runs, as when the process is killed
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    const std::vector<fs::path> left = leftovers();
    ASSERT_EQ(left.size(), 1u);
    fs::last_write_time(left[0], fs::file_time_type::clock::now() - std::chrono::minutes(1));
    EXPECT_EQ(RemoveStaleLeftovers(dir_, std::chrono::hours(24)), 1);
    EXPECT_TRUE(leftovers().empty());
    EXPECT_EQ(ReadFile(target), "new");
}