// Whole-file reading and the all-or-nothing write.
#include <chrono>
#include <csignal>
#include <random>
#include <thread>

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "base/fileio.h"
#include "scratchdir.h"

using namespace veltris;
namespace fs = std::filesystem;

TEST(FileIo, AtomicWriteReplacesKeepsModeAndFollowsLinks)
{
    ScratchDir dir;
    const auto target = dir.write("a.QDB", "old");
    ::chmod(target.c_str(), 0640);
    ASSERT_TRUE(writeFileAtomic(target, std::string("new\0bytes", 9)).ok());
    EXPECT_EQ(*readFileBytes(target), std::string("new\0bytes", 9));
    struct stat st {};
    ::stat(target.c_str(), &st);
    EXPECT_EQ(st.st_mode & 0777, 0640u);

    fs::create_symlink(target, dir.path() / "link.QDB");
    ASSERT_TRUE(writeFileAtomic(dir.path() / "link.QDB", "via link").ok());
    EXPECT_TRUE(fs::is_symlink(dir.path() / "link.QDB"));
    EXPECT_EQ(*readFileBytes(target), "via link");

    const std::string longName(255, 'n');  // the longest name the folder allows
    ASSERT_TRUE(writeFileAtomic(dir.path() / longName, "x").ok());
    EXPECT_EQ(*readFileBytes(dir.path() / longName), "x");

    const Status st2 = writeFileAtomic(dir.path() / "missing" / "b", "x", "custom");
    ASSERT_FALSE(st2.ok());
    EXPECT_EQ(st2.error().kind, ErrorKind::WriteFailed);
    EXPECT_EQ(st2.error().message, "custom");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 3);
}

// `qdb export base /dev/stdout` and the like: the bytes go into the pipe, which stays a pipe.
TEST(FileIo, PipesAreWrittenInPlaceNotReplaced)
{
    ScratchDir dir;
    const auto fifo = dir.path() / "fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const auto link = dir.path() / "link.csv";
    fs::create_symlink(fifo, link);
    for (const auto& target : {fifo, link}) {
        // The read end is open first, so opening the write end does not wait.
        const int rd = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
        ASSERT_GE(rd, 0);
        ASSERT_TRUE(writeFileAtomic(target, "a;b;\r\n").ok()) << target;
        char buf[16] = {};
        const ssize_t n = ::read(rd, buf, sizeof buf);
        ::close(rd);
        EXPECT_EQ(std::string(buf, n > 0 ? static_cast<size_t>(n) : 0), "a;b;\r\n");
        EXPECT_TRUE(fs::is_fifo(fifo));
        EXPECT_TRUE(fs::is_symlink(link));
    }
}

// A base is written only as a regular file under its own name: a link, a pipe, a device or a
// folder there is refused at once (no wait on a FIFO nobody reads) and left as it was.
TEST(FileIo, RegularFileTargetRefusesWhatIsNoFile)
{
    ScratchDir dir;
    const auto other = dir.write("other.txt", "text");
    const auto fifo = dir.path() / "fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    fs::create_symlink(other, dir.path() / "to-file.QDB");
    fs::create_symlink("/dev/null", dir.path() / "to-null.QDB");
    fs::create_directory(dir.path() / "folder.QDB");
    for (const char* name : {"to-file.QDB", "to-null.QDB", "fifo", "folder.QDB"}) {
        SCOPED_TRACE(name);
        const Status st = writeFileAtomic(dir.path() / name, "base", "Ошибка записи в файл",
                                          TempFile::Unnamed, WriteTarget::RegularFile);
        ASSERT_FALSE(st.ok());
        EXPECT_EQ(st.error().message, "Ошибка записи в файл");
        EXPECT_FALSE(st.error().reason.empty());
    }
    EXPECT_EQ(*readFileBytes(other), "text");
    EXPECT_TRUE(fs::is_fifo(fifo));
    EXPECT_TRUE(fs::is_symlink(dir.path() / "to-null.QDB"));
    // A regular file or none is written as always.
    for (const char* name : {"other.txt", "new.QDB"}) {
        ASSERT_TRUE(
            writeFileAtomic(dir.path() / name, "base", "x", TempFile::Unnamed, WriteTarget::RegularFile)
                .ok());
        EXPECT_EQ(*readFileBytes(dir.path() / name), "base");
    }
}

TEST(FileIo, WriteProtectedFileIsNotReplaced)
{
    if (::geteuid() == 0)
        GTEST_SKIP() << "root may write any file";
    ScratchDir dir;
    const auto target = dir.write("ro.QDB", "old");
    ::chmod(target.c_str(), 0444);
    EXPECT_FALSE(writeFileAtomic(target, "new").ok());
    EXPECT_EQ(*readFileBytes(target), "old");
}

TEST(FileIo, ReadErrorsNameTheFileAndTheReason)
{
    ScratchDir dir;
    EXPECT_EQ(*readFileBytes(dir.write("empty", "")), "");
    const auto missing = readFileBytes(dir.path() / "нет.QDB");
    ASSERT_FALSE(missing.ok());
    EXPECT_EQ(missing.error().kind, ErrorKind::OpenFailed);
    EXPECT_EQ(missing.error().message,
              "Не удалось открыть файл «" + (dir.path() / "нет.QDB").string() + "»: файл не найден");
    const auto folder = readFileBytes(dir.path());
    ASSERT_FALSE(folder.ok());
    EXPECT_NE(folder.error().message.find("это папка"), std::string::npos);
}

namespace {

class UmaskScope {
public:
    explicit UmaskScope(mode_t mask) : m_old(::umask(mask)) {}
    ~UmaskScope() { ::umask(m_old); }
    UmaskScope(const UmaskScope&) = delete;
    UmaskScope& operator=(const UmaskScope&) = delete;

private:
    mode_t m_old;
};

struct stat statOf(const fs::path& p)
{
    struct stat st {};
    EXPECT_EQ(::stat(p.c_str(), &st), 0) << p;
    return st;
}

size_t entryCount(const fs::path& dir)
{
    return static_cast<size_t>(std::distance(fs::directory_iterator(dir), fs::directory_iterator()));
}

constexpr TempFile kBothWays[] = {TempFile::Unnamed, TempFile::Named};

}  // namespace

// A shared base (0666) stays shared whatever the saving user's umask; a new file follows it.
TEST(FileIo, SaveKeepsTheFilesModeAndNewFilesFollowTheUmask)
{
    for (TempFile way : kBothWays) {
        for (mode_t mask : {mode_t{022}, mode_t{077}}) {
            const UmaskScope umaskScope(mask);
            ScratchDir dir;
            for (mode_t mode : {mode_t{0666}, mode_t{0640}, mode_t{0604}, mode_t{0600}, mode_t{0755}}) {
                const auto target = dir.write("m.QDB", "old");
                ASSERT_EQ(::chmod(target.c_str(), mode), 0);
                ASSERT_TRUE(writeFileAtomic(target, "new", "x", way).ok());
                EXPECT_EQ(statOf(target).st_mode & 07777, mode)
                    << "umask " << std::oct << mask << " way " << int(way);
                EXPECT_EQ(*readFileBytes(target), "new");
            }
            const auto fresh = dir.path() / "fresh.QDB";
            ASSERT_TRUE(writeFileAtomic(fresh, "new", "x", way).ok());
            EXPECT_EQ(statOf(fresh).st_mode & 07777, 0666 & ~mask);
            EXPECT_EQ(entryCount(dir.path()), 2u);
        }
    }
}

TEST(FileIo, SaveKeepsTheFilesOwnerAndGroup)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "only root may give a file to another user";
    for (TempFile way : kBothWays) {
        ScratchDir dir;
        const auto target = dir.write("o.QDB", "old");
        ASSERT_EQ(::chown(target.c_str(), 4242, 4343), 0);
        ASSERT_EQ(::chmod(target.c_str(), 0660), 0);
        ASSERT_TRUE(writeFileAtomic(target, "new", "x", way).ok());
        const struct stat st = statOf(target);
        EXPECT_EQ(st.st_uid, 4242u);
        EXPECT_EQ(st.st_gid, 4343u);
        EXPECT_EQ(st.st_mode & 07777, 0660u);
    }
}

// The message stays the caller's (the window shows it as it is); the reason says why.
TEST(FileIo, WriteFailuresKeepTheMessageAndGiveTheSystemsReason)
{
    ScratchDir dir;
    fs::create_symlink(dir.path() / "loop-b", dir.path() / "loop-a");
    fs::create_symlink(dir.path() / "loop-a", dir.path() / "loop-b");
    const auto file = dir.write("file", "keep");
    struct Case {
        fs::path target;
        std::string reason;
    };
    const Case cases[] = {
        {dir.path() / "loop-a", "слишком много уровней символических ссылок"},
        {dir.path() / "missing" / "b.QDB", "папка не найдена"},
        {file / "b.QDB", "путь к файлу указан неверно"},
        {dir.path(), "это папка, а не файл"},
        {"/dev/full", "нет места на диске"},
    };
    for (const Case& c : cases) {
        const Status st = writeFileAtomic(c.target, "bytes", "Ошибка записи в файл");
        ASSERT_FALSE(st.ok()) << c.target;
        EXPECT_EQ(st.error().kind, ErrorKind::WriteFailed);
        EXPECT_EQ(st.error().message, "Ошибка записи в файл");
        EXPECT_EQ(st.error().reason, c.reason) << c.target;
    }
    EXPECT_TRUE(fs::is_symlink(dir.path() / "loop-a"));
    EXPECT_EQ(*readFileBytes(file), "keep");
    EXPECT_EQ(entryCount(dir.path()), 3u);
}

// A writer killed at random points: the target is always the whole old or the whole new file.
// A kill can still land between naming the new file and the rename (a short moment with
// unnamed temporary files, the whole write with named ones); the next save removes what such a
// kill left, so the folder is clean again after it.
TEST(FileIoCrash, KilledWriterLeavesOldOrNewFileAndNoLeftovers)
{
    const std::string first(3 << 20, 'a');
    const std::string second((4 << 20) + 17, 'b');
    std::mt19937 random(20261210);
    for (TempFile way : kBothWays) {
        ScratchDir dir;
        const auto target = dir.path() / "big.QDB";
        ASSERT_TRUE(writeFileAtomic(target, first).ok());

        // Kill points spread over about three whole writes.
        const auto t0 = std::chrono::steady_clock::now();
        ASSERT_TRUE(writeFileAtomic(target, second, "x", way).ok());
        const auto oneWrite =
            std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - t0);
        std::uniform_int_distribution<long> delay(0, 3 * oneWrite.count() + 1000);

        int kills = 0;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(8);
        // At least 10 kills however slow the machine, at most 60 or 8 seconds' worth.
        while (kills < 10 || (kills < 60 && std::chrono::steady_clock::now() < deadline)) {
            const pid_t pid = ::fork();
            ASSERT_GE(pid, 0);
            if (pid == 0) {
                for (unsigned k = 0;; ++k)
                    (void)writeFileAtomic(target, k % 2 ? first : second, "x", way);
            }
            std::this_thread::sleep_for(std::chrono::microseconds(delay(random)));
            ::kill(pid, SIGKILL);
            int status = 0;
            ::waitpid(pid, &status, 0);
            ++kills;

            const auto bytes = readFileBytes(target);
            ASSERT_TRUE(bytes.ok());
            ASSERT_TRUE(*bytes == first || *bytes == second)
                << "kill " << kills << ": " << bytes->size() << " bytes";
        }
        ASSERT_TRUE(writeFileAtomic(target, first, "x", way).ok());
        EXPECT_EQ(entryCount(dir.path()), 1u) << "after " << kills << " kills";
    }
}

// Only the temporary files of this target whose writer no longer runs are removed by a save.
TEST(FileIo, SaveRemovesOnlyTheTemporaryFilesOfFinishedWriters)
{
    const pid_t gone = ::fork();
    ASSERT_GE(gone, 0);
    if (gone == 0)
        ::_exit(0);
    ::waitpid(gone, nullptr, 0);
    const std::string dead = std::to_string(gone);
    const std::string alive = std::to_string(::getppid());

    ScratchDir dir;
    const auto target = dir.write("t.QDB", "old");
    const std::string stale = "t.QDB.tmp-" + dead + "-0-123";
    for (const std::string& name : {stale, "t.QDB.tmp-" + alive + "-0-123", "t.QDB.tmp-" + dead + "-notes",
                                    "u.QDB.tmp-" + dead + "-0-1"})
        dir.write(name, "x");
    ASSERT_TRUE(writeFileAtomic(target, "new").ok());
    EXPECT_FALSE(fs::exists(dir.path() / stale));
    EXPECT_EQ(entryCount(dir.path()), 4u);
}

// Another user's folder and file: nothing is written and the reason is the missing access.
TEST(FileIo, SaveWithoutAccessSaysSo)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to act as another user";
    ScratchDir dir;
    ASSERT_EQ(::chmod(dir.path().c_str(), 0755), 0);
    const auto theirs = dir.write("theirs.QDB", "old");
    ASSERT_EQ(::chmod(theirs.c_str(), 0644), 0);
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        // As "nobody": each failed save must name what refused it and leave the folder alone.
        if (::setgid(65534) != 0 || ::setuid(65534) != 0)
            ::_exit(2);
        const std::string folder = "нет доступа к папке «" + dir.path().string() + "»";
        for (const auto& [target, reason] :
             {std::pair{theirs, std::string("нет доступа")}, std::pair{dir.path() / "new.QDB", folder}}) {
            const Status st = writeFileAtomic(target, "new");
            if (st.ok() || st.error().reason != reason)
                ::_exit(1);
        }
        ::_exit(0);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    EXPECT_EQ(*readFileBytes(theirs), "old");
    EXPECT_EQ(entryCount(dir.path()), 1u);
}

// A writable base in a folder that refuses temporary files, or the rename over a file of
// someone else (a sticky folder like /tmp): saved in place, longer and then shorter, keeping its
// mode and owner; nothing else appears in the folder.
TEST(FileIo, WritableFileInARefusingFolderIsSavedInPlace)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to act as another user";
    ScratchDir sticky;
    ScratchDir closed;
    ASSERT_EQ(::chmod(sticky.path().c_str(), 01777), 0);
    ASSERT_EQ(::chmod(closed.path().c_str(), 0755), 0);
    std::vector<fs::path> shared;
    for (const ScratchDir* dir : {&sticky, &closed}) {
        shared.push_back(dir->write("shared.QDB", "old content"));
        ASSERT_EQ(::chmod(shared.back().c_str(), 0666), 0);
    }
    const fs::path readOnly = sticky.write("theirs.QDB", "theirs");
    ASSERT_EQ(::chmod(readOnly.c_str(), 0644), 0);
    const std::string longer(100000, 'L');

    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        if (::setgid(65534) != 0 || ::setuid(65534) != 0)
            ::_exit(2);
        for (const fs::path& file : shared)
            for (TempFile way : {TempFile::Unnamed, TempFile::Named})
                if (!writeFileAtomic(file, longer, "Ошибка записи в файл", way).ok() ||
                    !writeFileAtomic(file, "short", "Ошибка записи в файл", way).ok())
                    ::_exit(1);
        // The file itself write-protected: refused for that reason, as before.
        const Status st = writeFileAtomic(readOnly, "mine");
        ::_exit(!st.ok() && st.error().reason == "нет доступа" ? 0 : 3);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    for (const fs::path& file : shared) {
        EXPECT_EQ(*readFileBytes(file), "short") << file;
        struct stat st {};
        ASSERT_EQ(::stat(file.c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 07777, 0666u);
        EXPECT_EQ(st.st_uid, 0u);
    }
    EXPECT_EQ(*readFileBytes(readOnly), "theirs");
    EXPECT_EQ(entryCount(sticky.path()), 2u);
    EXPECT_EQ(entryCount(closed.path()), 1u);
}
