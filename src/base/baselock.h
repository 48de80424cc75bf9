#pragma once
// One editor per base: a hidden lock file beside the base tells other programs that it is open
// and who has it open.
//
// The lock of "<folder>/<name>" is "<folder>/.<name>.lock" (beside the file a symbolic link
// leads to, so every name of one file shares one lock). It holds the ProcessStamp of the
// program that took it. It is created with O_CREAT | O_EXCL, so two programs can never both
// create it; a lock whose program is gone on this computer is stale and is taken over.
#include <filesystem>
#include <optional>

#include "base/processstamp.h"

namespace veltris {

// "<folder>/.<name>.lock" for the base "<folder>/<name>".
std::filesystem::path lockFileFor(const std::filesystem::path& base);

enum class LockResult {
    Acquired,     // the lock is ours (new, taken over from a program that is gone, or ours already)
    Held,         // another running program holds it (or one whose state cannot be checked)
    Unavailable,  // no lock can be made there (a folder that is not writable): work without one
};

struct LockAttempt {
    LockResult result = LockResult::Unavailable;
    ProcessStamp holder;  // Held: who holds it, as far as the lock file tells
    int error = 0;        // Unavailable: the system's error number
};

class BaseLock {
public:
    BaseLock() = default;
    ~BaseLock() { release(); }
    BaseLock(const BaseLock&) = delete;
    BaseLock& operator=(const BaseLock&) = delete;
    BaseLock(BaseLock&& other) noexcept;
    BaseLock& operator=(BaseLock&& other) noexcept;

    // Takes the lock of `base`. Nothing is taken when another program holds it; once it is
    // taken, a lock of another base held before by this object is released.
    LockAttempt acquire(const std::filesystem::path& base);
    // Takes the lock of `base` from whoever holds it (the user chose to open the base all the
    // same): the lock file is replaced by this program's. False when it could not be written.
    // The program it was taken from finds it no longer its own and leaves it in place.
    bool takeOver(const std::filesystem::path& base);
    // Removes the lock file, when it is still this program's (another may have taken it over).
    void release();

    bool held() const { return !m_file.empty(); }
    const std::filesystem::path& file() const { return m_file; }

private:
    std::filesystem::path m_file;
};

// The running program other than this one that holds the lock of `base`; none when the base
// is not locked or its lock is stale.
std::optional<ProcessStamp> activeLockHolder(const std::filesystem::path& base);

}  // namespace veltris
