#include "base/baselock.h"

#include <cerrno>
#include <chrono>
#include <string>
#include <thread>
#include <utility>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "base/fileio.h"

namespace veltris {

namespace {

// What a lock file says. `complete` is false for a file that cannot be read or holds no stamp
// (one being written this very moment, or damaged).
struct LockContent {
    bool exists = false;
    bool complete = false;
    std::string text;
    ProcessStamp stamp;
};

LockContent readLockOnce(const std::filesystem::path& file)
{
    LockContent c;
    struct stat st {};
    if (::stat(file.c_str(), &st) != 0)
        return c;
    c.exists = true;
    auto bytes = readFileBytes(file);
    if (!bytes)
        return c;
    c.text = std::move(*bytes);
    c.complete = c.stamp.fromText(c.text);
    if (!c.complete)
        c.stamp.time = static_cast<std::int64_t>(st.st_mtim.tv_sec);
    return c;
}

// A lock just created is empty until its creator writes the stamp: an incomplete one is read
// again a few times before it counts as it is.
LockContent readLock(const std::filesystem::path& file)
{
    LockContent c = readLockOnce(file);
    for (int i = 0; i < 5 && c.exists && !c.complete; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        c = readLockOnce(file);
    }
    return c;
}

int createLock(const std::filesystem::path& file, const std::string& text)
{
    UniqueFd fd(::open(file.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644));
    if (!fd)
        return errno;
    const char* p = text.data();
    size_t left = text.size();
    int err = 0;
    while (left > 0) {
        const ssize_t n = ::write(fd.get(), p, left);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            err = errno;
            break;
        }
        p += n;
        left -= static_cast<size_t>(n);
    }
    // Closed here, for the error a close can report.
    if (::close(fd.release()) != 0 && err == 0)
        err = errno;
    if (err != 0)
        ::unlink(file.c_str());
    return err;
}

// The lock file under the name now, opened and held with an exclusive flock: every program
// removes or replaces a lock file only while it holds that file's flock and the name still
// names it, so two programs judging one stale lock cannot both remove something (the second
// finds the name naming another file and looks again). Empty when there is no lock file. Waits
// a second at most for a program in the middle of the same steps. Where the file system lends
// no such locks (some network file systems) the file is returned unlocked, as it was before.
UniqueFd lockExisting(const std::filesystem::path& file)
{
    for (int attempt = 0; attempt < 200; ++attempt) {
        // Open for writing where allowed: a network file system lends exclusive locks only then.
        constexpr int kFlags = O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY;
        UniqueFd fd(::open(file.c_str(), O_RDWR | kFlags));
        if (!fd && (errno == EACCES || errno == EROFS || errno == EPERM))
            fd = UniqueFd(::open(file.c_str(), O_RDONLY | kFlags));
        if (!fd)
            return {};
        if (::flock(fd.get(), LOCK_EX | LOCK_NB) != 0 && (errno == EWOULDBLOCK || errno == EINTR)) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
            continue;
        }
        struct stat held {};
        struct stat named {};
        if (::fstat(fd.get(), &held) == 0 && ::lstat(file.c_str(), &named) == 0 &&
            held.st_dev == named.st_dev && held.st_ino == named.st_ino)
            return fd;
        // Removed or replaced while it was opened: look at what is there now.
    }
    return {};
}

// The stamp in an open lock file; false when it holds none (yet).
bool stampOf(int fd, ProcessStamp& stamp)
{
    std::string text;
    char buf[4096];
    for (off_t at = 0; text.size() < 65536;) {
        const ssize_t n = ::pread(fd, buf, sizeof buf, at);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        text.append(buf, static_cast<std::size_t>(n));
        at += n;
    }
    return stamp.fromText(text);
}

}  // namespace

std::filesystem::path lockFileFor(const std::filesystem::path& base)
{
    std::error_code ec;
    std::filesystem::path real = std::filesystem::weakly_canonical(base, ec);
    if (ec || real.empty())
        real = std::filesystem::absolute(base, ec);
    if (ec)
        real = base;
    return real.parent_path() / ("." + real.filename().string() + ".lock");
}

BaseLock::BaseLock(BaseLock&& other) noexcept : m_file(std::exchange(other.m_file, {})) {}

BaseLock& BaseLock::operator=(BaseLock&& other) noexcept
{
    if (this != &other) {
        if (m_file != other.m_file)
            release();  // the same file stays locked: it only changes hands
        m_file = std::exchange(other.m_file, {});
    }
    return *this;
}

LockAttempt BaseLock::acquire(const std::filesystem::path& base)
{
    const std::filesystem::path file = lockFileFor(base);
    LockAttempt attempt;
    const std::string text = currentProcess().toText();
    for (int round = 0; round < 5; ++round) {
        const int err = createLock(file, text);
        if (err == 0) {
            if (m_file != file)
                release();
            m_file = file;
            attempt.result = LockResult::Acquired;
            return attempt;
        }
        if (err != EEXIST) {
            attempt.result = LockResult::Unavailable;
            attempt.error = err;
            return attempt;
        }
        const LockContent held = readLock(file);
        if (!held.exists)
            continue;  // released meanwhile: try again
        if (held.complete && isCurrentProcess(held.stamp)) {
            if (m_file != file)
                release();
            m_file = file;
            attempt.result = LockResult::Acquired;
            return attempt;
        }
        if (held.complete && processGone(held.stamp)) {
            // Stale. Judged again under its flock and removed only then: a program that
            // removed it first and made its own meanwhile keeps it.
            if (const UniqueFd fd = lockExisting(file)) {
                ProcessStamp stamp;
                if (stampOf(fd.get(), stamp) && processGone(stamp))
                    ::unlink(file.c_str());
            }
            continue;
        }
        attempt.result = LockResult::Held;
        attempt.holder = held.stamp;
        return attempt;
    }
    attempt.result = LockResult::Held;
    attempt.holder = readLock(file).stamp;
    return attempt;
}

bool BaseLock::takeOver(const std::filesystem::path& base)
{
    const std::filesystem::path file = lockFileFor(base);
    const std::string text = currentProcess().toText();
    // Removed and made again rather than rewritten: the holder's file may be writable by its
    // owner alone, while the folder lets anyone who may edit the base remove it.
    for (int round = 0; round < 5; ++round) {
        // Under its flock where it can be opened (one this user cannot read is removed as it is).
        const UniqueFd held = lockExisting(file);
        if (::unlink(file.c_str()) != 0 && errno != ENOENT)
            return false;
        const int err = createLock(file, text);
        if (err == 0) {
            if (m_file != file)
                release();
            m_file = file;
            return true;
        }
        if (err != EEXIST)
            return false;
    }
    return false;
}

void BaseLock::release()
{
    if (m_file.empty())
        return;
    // Under its flock, as a stale lock is removed: a program taking it over meanwhile keeps it.
    if (const UniqueFd fd = lockExisting(m_file)) {
        ProcessStamp stamp;
        if (stampOf(fd.get(), stamp) && isCurrentProcess(stamp))
            ::unlink(m_file.c_str());
    }
    m_file.clear();
}

std::optional<ProcessStamp> activeLockHolder(const std::filesystem::path& base)
{
    const LockContent held = readLock(lockFileFor(base));
    if (!held.exists)
        return std::nullopt;
    if (held.complete && (isCurrentProcess(held.stamp) || processGone(held.stamp)))
        return std::nullopt;
    return held.stamp;
}

}  // namespace veltris
