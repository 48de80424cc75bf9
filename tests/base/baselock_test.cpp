// Base locks: who holds one, stale ones taken over, only one of many programs gets it.
#include <chrono>
#include <vector>

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "base/baselock.h"
#include "base/fileio.h"
#include "scratchdir.h"

using namespace veltris;
namespace fs = std::filesystem;

namespace {

// The number of a process that has ended and been waited for.
std::int64_t endedPid()
{
    const pid_t pid = ::fork();
    if (pid == 0)
        ::_exit(0);
    ::waitpid(pid, nullptr, 0);
    return pid;
}

void writeLock(const fs::path& base, const ProcessStamp& stamp)
{
    ASSERT_TRUE(writeFileAtomic(lockFileFor(base), stamp.toText()).ok());
}

ProcessStamp lockContent(const fs::path& base)
{
    ProcessStamp s;
    auto bytes = readFileBytes(lockFileFor(base));
    if (bytes)
        s.fromText(*bytes);
    return s;
}

}  // namespace

TEST(BaseLock, HiddenFileBesideTheBaseNamedAfterIt)
{
    EXPECT_EQ(lockFileFor("/data/bases/diodes.QDB"), fs::path("/data/bases/.diodes.QDB.lock"));
    ScratchDir dir;
    const auto base = dir.write("diodes.QDB", "x");
    fs::create_symlink(base, dir.path() / "link.QDB");
    EXPECT_EQ(lockFileFor(dir.path() / "link.QDB"), lockFileFor(base));  // one file, one lock
}

TEST(BaseLock, TakenHeldAndReleased)
{
    ScratchDir dir;
    const auto base = dir.write("a.QDB", "x");
    {
        BaseLock lock;
        ASSERT_EQ(lock.acquire(base).result, LockResult::Acquired);
        EXPECT_TRUE(lock.held());
        const ProcessStamp holder = lockContent(base);
        EXPECT_EQ(holder.pid, ::getpid());
        EXPECT_FALSE(holder.user.empty());
        EXPECT_FALSE(holder.host.empty());
        EXPECT_GT(holder.time, 0);
        EXPECT_FALSE(activeLockHolder(base));  // this program's own lock stands in nobody's way
        // Opening it again in this program finds its own lock.
        BaseLock again;
        EXPECT_EQ(again.acquire(base).result, LockResult::Acquired);
    }
    EXPECT_FALSE(fs::exists(lockFileFor(base)));
}

TEST(BaseLock, RunningHolderIsReportedAndOnlyTakenOverOnRequest)
{
    ScratchDir dir;
    const auto base = dir.write("a.QDB", "x");
    ProcessStamp other = currentProcess();
    other.pid = 1;  // runs as long as the system does
    other.startTicks = 0;
    other.user = "ivanov";
    other.time = 1700000000;
    writeLock(base, other);

    BaseLock lock;
    const LockAttempt attempt = lock.acquire(base);
    ASSERT_EQ(attempt.result, LockResult::Held);
    EXPECT_EQ(attempt.holder.user, "ivanov");
    EXPECT_EQ(attempt.holder.pid, 1);
    EXPECT_FALSE(lock.held());
    ASSERT_TRUE(activeLockHolder(base));
    EXPECT_NE(describeHolder(attempt.holder).find("пользователь «ivanov»"), std::string::npos);

    // Another computer's holder is never taken for gone, whatever its number.
    ProcessStamp remote = other;
    remote.host = "elsewhere.invalid";
    remote.pid = endedPid();
    writeLock(base, remote);
    EXPECT_EQ(lock.acquire(base).result, LockResult::Held);

    ASSERT_TRUE(lock.takeOver(base));
    EXPECT_EQ(lockContent(base).pid, ::getpid());
    // The holder it was taken from leaves it alone: it is no longer its own.
    writeLock(base, other);
    lock.release();
    EXPECT_EQ(lockContent(base).pid, 1);
}

TEST(BaseLock, StaleLocksAreTakenOverSilently)
{
    struct Case {
        const char* what;
        void (*stale)(ProcessStamp&);
    };
    const Case cases[] = {
        {"process gone", [](ProcessStamp& s) { s.pid = endedPid(); }},
        {"written before a restart", [](ProcessStamp& s) { s.bootId = "00000000-restart"; }},
        {"number now used by another program",
         [](ProcessStamp& s) { s.pid = 1, s.startTicks = 999999999999; }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ScratchDir dir;
        const auto base = dir.write("a.QDB", "x");
        ProcessStamp stale = currentProcess();
        c.stale(stale);
        writeLock(base, stale);
        EXPECT_FALSE(activeLockHolder(base));
        BaseLock lock;
        EXPECT_EQ(lock.acquire(base).result, LockResult::Acquired);
        EXPECT_EQ(lockContent(base).pid, ::getpid());
    }
}

TEST(BaseLock, UnreadableLockCountsAsHeldSince)
{
    ScratchDir dir;
    const auto base = dir.write("a.QDB", "x");
    dir.write(lockFileFor(base).filename().string(), "");  // made, never filled
    BaseLock lock;
    const LockAttempt attempt = lock.acquire(base);
    EXPECT_EQ(attempt.result, LockResult::Held);
    EXPECT_GT(attempt.holder.time, 0);  // since the file was made
    EXPECT_TRUE(lock.takeOver(base));
}

namespace {

// `programs` processes try to take the lock of `base` at the same moment; returns how many got
// it. Everyone has tried before any of them ends (an ended winner's lock would be stale and
// rightly taken over): each says so on `tried`, then waits until `go` is closed.
int winnersOfARace(const fs::path& base, int programs)
{
    int start[2];
    int tried[2];
    int go[2];
    if (::pipe(start) != 0 || ::pipe(tried) != 0 || ::pipe(go) != 0)
        return -1;
    std::vector<pid_t> children;
    for (int i = 0; i < programs; ++i) {
        const pid_t pid = ::fork();
        if (pid < 0)
            break;
        if (pid == 0) {
            ::close(start[1]);
            ::close(tried[0]);
            ::close(go[1]);
            char c = 0;
            if (::read(start[0], &c, 1) != 0)  // all at once, when the parent closes it
                ::_exit(2);
            BaseLock lock;
            const bool got = lock.acquire(base).result == LockResult::Acquired;
            const char done = 1;
            char end = 0;
            if (::write(tried[1], &done, 1) != 1 || ::read(go[0], &end, 1) != 0)
                ::_exit(2);
            ::_exit(got ? 0 : 1);
        }
        children.push_back(pid);
    }
    ::close(start[0]);
    ::close(tried[1]);
    ::close(go[0]);
    ::close(start[1]);
    int reported = 0;
    char done = 0;
    while (reported < static_cast<int>(children.size()) && ::read(tried[0], &done, 1) == 1)
        ++reported;
    ::close(go[1]);
    ::close(tried[0]);
    int winners = 0;
    for (pid_t pid : children) {
        int status = 0;
        ::waitpid(pid, &status, 0);
        if (!WIFEXITED(status) || WEXITSTATUS(status) == 2)
            return -1;
        winners += WEXITSTATUS(status) == 0 ? 1 : 0;
    }
    return reported == programs ? winners : -1;
}

}  // namespace

TEST(BaseLock, OnlyOneOfManyProgramsGetsIt)
{
    ScratchDir dir;
    const auto base = dir.write("a.QDB", "x");
    EXPECT_EQ(winnersOfARace(base, 8), 1);
}

// Many programs find the same stale lock at once: exactly one takes it over, round after round
// (a removal judged on an earlier look could delete the lock another had just made).
TEST(BaseLock, StaleLockIsTakenOverByOneOfManyRacers)
{
    ScratchDir dir;
    const auto base = dir.write("a.QDB", "x");
    ProcessStamp stale = currentProcess();
    stale.pid = endedPid();
    const auto began = std::chrono::steady_clock::now();
    int rounds = 0;
    int wrongRounds = 0;
    // 200 rounds, or as many as 30 seconds allow on a busy machine.
    while (rounds < 200 && std::chrono::steady_clock::now() - began < std::chrono::seconds(30)) {
        writeLock(base, stale);
        const int winners = winnersOfARace(base, 6);
        ASSERT_GE(winners, 0) << "a racer failed in round " << rounds;
        wrongRounds += winners != 1 ? 1 : 0;
        ++rounds;
    }
    EXPECT_GE(rounds, 20);
    EXPECT_EQ(wrongRounds, 0) << "of " << rounds << " rounds";
}

TEST(BaseLock, NoLockWhereTheFolderIsNotWritable)
{
    ScratchDir dir;
    // A name as long as a folder entry may be: its lock's name cannot be made anywhere.
    const auto base = dir.write(std::string(250, 'b') + ".QDB", "x");
    BaseLock lock;
    EXPECT_EQ(lock.acquire(base).result, LockResult::Unavailable);
    EXPECT_FALSE(lock.held());

    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to act as another user";
    ASSERT_EQ(::chmod(dir.path().c_str(), 0755), 0);
    const auto theirs = dir.write("theirs.QDB", "x");
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        if (::setgid(65534) != 0 || ::setuid(65534) != 0)
            ::_exit(2);
        BaseLock mine;
        const LockAttempt a = mine.acquire(theirs);
        ::_exit(a.result == LockResult::Unavailable && a.error == EACCES ? 0 : 1);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    EXPECT_FALSE(fs::exists(lockFileFor(theirs)));
}
