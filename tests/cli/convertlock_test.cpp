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
