// qdb convert onto a base another program has open: refused with who has it, unless --force.
#include <filesystem>
#include <string>

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include "base/basefile.h"
#include "base/baselock.h"
#include "base/catalogue.h"
#include "base/fileio.h"
#include "qdbrun.h"
#include "scratchdir.h"

namespace fs = std::filesystem;
using namespace veltris;
using namespace qdbtest;

namespace {

std::string oneRecordBase(const char* name)
{
    Catalogue none;
    ComponentBase base = makeEmptyBase(none, "");
    base.deviceType = 3;
    base.table.resize(2, 13);
    base.table.setCell(1, 0, name);
    return *encodeBase(base);
}

// Another program holding the lock of `base` until it is ended: a child process taking it
// through the window's own lock code.
pid_t holdLock(const fs::path& base)
{
    int ready[2];
    if (::pipe(ready) != 0)
        return -1;
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::close(ready[0]);
        BaseLock lock;
        const char got = lock.acquire(base).result == LockResult::Acquired ? '1' : '0';
        [[maybe_unused]] const ssize_t n = ::write(ready[1], &got, 1);
        ::pause();  // killed by the test
        ::_exit(0);
    }
    ::close(ready[1]);
    char got = '0';
    [[maybe_unused]] const ssize_t n = ::read(ready[0], &got, 1);
    ::close(ready[0]);
    return got == '1' ? pid : -1;
}

void end(pid_t pid)
{
    ::kill(pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
}

}  // namespace

TEST(QdbConvert, RefusesABaseOpenElsewhereUnlessForced)
{
    ScratchDir dir;
    const auto in = dir.write("in.QDB", oneRecordBase("NEW"));
    const auto target = dir.write("target.QDB", oneRecordBase("OLD"));
    const std::string catalogue = "--catalogue " + shellQuote(VELTRIS_SOURCE_DIR "/data") + " ";
    const std::string convert =
        "convert " + catalogue + shellQuote(in.string()) + " " + shellQuote(target.string());

    const pid_t holder = holdLock(target);
    ASSERT_GT(holder, 0);
    QdbRun run = runQdbQuoted(convert, dir.path());
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("открыта для изменения"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("(процесс " + std::to_string(holder) + ")"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("--force"), std::string::npos) << run.err;
    EXPECT_EQ(*readFileBytes(target), oneRecordBase("OLD"));

    run = runQdbQuoted(convert + " --force", dir.path());
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(*readFileBytes(target), oneRecordBase("NEW"));
    EXPECT_TRUE(fs::exists(lockFileFor(target)));  // the holder's lock is not qdb's to remove

    // Once the holder is gone its lock is stale and stands in nobody's way.
    end(holder);
    ASSERT_TRUE(writeFileAtomic(target, oneRecordBase("OLD")).ok());
    run = runQdbQuoted(convert, dir.path());
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(*readFileBytes(target), oneRecordBase("NEW"));
}

// Every command that writes a file refuses a target another program has open, with the same
// message, unless --force: import (new and --append), export, convert.
TEST(QdbWriters, EveryWriterRefusesALockedTargetUnlessForced)
{
    ScratchDir dir;
    const auto in = dir.write("in.QDB", oneRecordBase("NEW"));
    const auto target = dir.write("target.QDB", oneRecordBase("OLD"));
    const auto csv = dir.path() / "in.csv";
    const std::string catalogue = "--catalogue " + shellQuote(VELTRIS_SOURCE_DIR "/data") + " ";
    ASSERT_EQ(runQdbQuoted("export " + catalogue + shellQuote(in.string()) + " " + shellQuote(csv.string()),
                           dir.path())
                  .exitCode,
              0);
    const std::string to = " " + shellQuote(target.string());
    const std::string commands[] = {
        "import --type 3 " + catalogue + shellQuote(csv.string()) + to,
        "import --append " + catalogue + shellQuote(csv.string()) + to,
        "export " + catalogue + shellQuote(in.string()) + to,
        "convert " + catalogue + shellQuote(in.string()) + to,
    };
    const pid_t holder = holdLock(target);
    ASSERT_GT(holder, 0);
    const std::string message = "база «" + target.string() + "» открыта для изменения: ";
    for (const std::string& command : commands) {
        SCOPED_TRACE(command);
        const QdbRun run = runQdbQuoted(command, dir.path());
        EXPECT_EQ(run.exitCode, 1);
        EXPECT_NE(run.err.find(message), std::string::npos) << run.err;
        EXPECT_NE(run.err.find("(процесс " + std::to_string(holder) + ")"), std::string::npos) << run.err;
        EXPECT_NE(run.err.find("укажите --force"), std::string::npos) << run.err;
        EXPECT_EQ(*readFileBytes(target), oneRecordBase("OLD"));
    }
    // A dry run writes nothing and is not refused.
    EXPECT_EQ(
        runQdbQuoted("import --dry-run --type 3 " + catalogue + shellQuote(csv.string()) + to, dir.path())
            .exitCode,
        0);
    for (const std::string& command : commands) {
        SCOPED_TRACE(command);
        ASSERT_TRUE(writeFileAtomic(target, oneRecordBase("OLD")).ok());
        const QdbRun run = runQdbQuoted(command + " --force", dir.path());
        EXPECT_EQ(run.exitCode, 0) << run.err;
        EXPECT_NE(*readFileBytes(target), oneRecordBase("OLD"));
    }
    end(holder);
}

// An output that is an input is refused by every command, whatever name leads to it (the same
// name, a symbolic link, a hard link), and the file stays as it was.
TEST(QdbWriters, OutputThatIsAnInputIsRefused)
{
    ScratchDir dir;
    const auto base = dir.write("a.QDB", oneRecordBase("KEEP"));
    const auto csv = dir.write("a.csv", "Тип прибора;Uпр\r\nNEW;1\r\n");  // never read
    fs::create_symlink(base, dir.path() / "link.QDB");
    fs::create_hard_link(base, dir.path() / "hard.QDB");
    fs::create_symlink(csv, dir.path() / "link.csv");
    const std::string catalogue = "--catalogue " + shellQuote(VELTRIS_SOURCE_DIR "/data") + " ";
    const auto q = [&](const char* name) { return " " + shellQuote((dir.path() / name).string()); };
    const std::string commands[] = {
        "export " + catalogue + q("a.QDB") + q("a.QDB"),
        "export " + catalogue + q("a.QDB") + q("link.QDB"),
        "export " + catalogue + q("a.QDB") + q("hard.QDB"),
        "convert " + catalogue + q("a.QDB") + q("a.QDB"),
        "convert " + catalogue + q("link.QDB") + q("hard.QDB"),
        "import --type 3 " + catalogue + q("a.csv") + q("a.csv"),
        "import --append " + catalogue + q("a.csv") + q("link.csv"),
    };
    for (const std::string& command : commands) {
        SCOPED_TRACE(command);
        const QdbRun run = runQdbQuoted(command, dir.path());
        EXPECT_EQ(run.exitCode, 1);
        EXPECT_NE(run.err.find("это тот же файл, что и читаемый"), std::string::npos) << run.err;
        EXPECT_EQ(*readFileBytes(base), oneRecordBase("KEEP"));
        EXPECT_EQ(*readFileBytes(csv), "Тип прибора;Uпр\r\nNEW;1\r\n");
    }
}
