#include "base/baselock.h"

#include <cerrno>
#include <chrono>
#include <string>
#include <thread>
#include <utility>

#include <fcntl.h>
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
            // Stale. Removed only if it is still the lock read above: a program that took
            // it over meanwhile keeps its own.
            const LockContent again = readLockOnce(file);
            if (again.exists && again.text == held.text)
                ::unlink(file.c_str());
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
    const LockContent held = readLockOnce(m_file);
    if (held.complete && isCurrentProcess(held.stamp))
        ::unlink(m_file.c_str());
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
