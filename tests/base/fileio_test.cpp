// Whole-file reading and the all-or-nothing write.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
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
