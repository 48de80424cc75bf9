#pragma once
// What a file on disk was when it was read or written: its size, modification time (with
// nanoseconds), device and inode, and a hash of its bytes. Comparing the recorded identity with
// the file as it is now tells whether another program changed, replaced or removed it.
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

#include "base/result.h"

struct stat;

namespace veltris {

struct FileIdentity {
    bool exists = false;  // false: no file (none recorded yet, or none there now)
    std::uint64_t size = 0;
    std::int64_t modifiedSeconds = 0;
    std::int64_t modifiedNanoseconds = 0;
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    bool hashed = false;  // `hash` holds the hash of the bytes
    std::uint64_t hash = 0;

    // Size, time, device and inode all equal: the file was very likely not touched.
    bool sameStat(const FileIdentity& other) const;
    // The same file (device and inode), whatever happened to its contents: one base reached
    // through two names, links or folders.
    bool sameFile(const FileIdentity& other) const
    {
        return exists && other.exists && device == other.device && inode == other.inode;
    }
    // The same bytes: both hashed with equal hashes and sizes.
    bool sameBytes(const FileIdentity& other) const;
};

// A fast 64-bit hash of the bytes (XXH3).
std::uint64_t hashBytes(std::string_view bytes);

// Size, time, device and inode of the file `path` as it is now (following symbolic links);
// exists is false when there is no such file or it cannot be looked at. Not hashed.
FileIdentity statIdentity(const std::filesystem::path& path);
// The same of what `st` describes (an open file's fstat). Not hashed.
FileIdentity statIdentity(const struct stat& st);

// Reads the whole file and records its identity: the file's state taken before the read, with
// the hash of the bytes read. A change during the read then still shows at the next check,
// because the state no longer matches. The file is a base: it may be as big as a base can be
// (maxBaseFileSize) and as memory allows. Errors as readFileBytes, and OutOfMemory.
Result<std::string> readFileIdentified(const std::filesystem::path& path, FileIdentity& identity);

// The identity of bytes just written to `path`: the file's state now, with their hash.
FileIdentity writtenIdentity(const std::filesystem::path& path, std::string_view bytes);

enum class FileChange {
    Unchanged,  // the same file with the same bytes (perhaps touched or rewritten identically)
    Changed,    // other bytes, or a file that can no longer be read
    Missing,    // no file under the name any more (deleted or moved away)
};

struct FileCheck {
    FileChange change = FileChange::Unchanged;
    FileIdentity current;  // the file as it is now (hashed when it was read)
};

// How much a check reads: Quick trusts an unchanged state and reads the bytes only when the
// state differs (cheap enough for every activation of the window); Thorough always reads and
// hashes them (before a save, when the write costs as much anyway).
enum class CheckDepth {
    Quick,
    Thorough
};

// Compares the file `path` with the identity recorded for it. A recorded identity of no file
// (exists false) never reports a change.
FileCheck checkFile(const std::filesystem::path& path, const FileIdentity& recorded, CheckDepth depth);

// The absolute path a name leads to through symbolic links (its folders' and its own), also
// when the last link leads nowhere yet: the file a save under that name would replace.
std::filesystem::path realPathOf(const std::filesystem::path& name);

// What stands under a base's name now, against the path it led to when the base was opened
// or last saved (realPathOf then).
enum class NameLeads {
    ToTheFile,  // the same path, a regular file there (perhaps one another program put there)
    ToNothing,  // the same path, nothing there: a save makes a new file
    Elsewhere,  // a symbolic link now leads to another path (another file, /dev/null, nowhere)
    ToNoFile,   // the same path, but no regular file there (a FIFO, a device, a folder)
};

struct NameCheck {
    NameLeads leads = NameLeads::ToTheFile;
    std::filesystem::path now;  // where the name leads now
};

NameCheck checkName(const std::filesystem::path& name, const std::filesystem::path& recordedRealPath);

}  // namespace veltris
