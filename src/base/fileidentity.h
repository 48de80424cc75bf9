#pragma once
// Which file a name led to, and whether it has changed since: device and inode say which file,
// size and the two times say whether its contents may have changed.
#include <cstdint>
#include <filesystem>
#include <optional>

struct stat;

namespace veltris {

struct FileIdentity {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::int64_t size = -1;
    std::int64_t modifiedNs = 0;  // last write of the contents
    std::int64_t changedNs = 0;   // last change of contents or attributes; nobody can set it back

    // The same file (device and inode), whatever happened to its contents.
    bool sameFile(const FileIdentity& other) const
    {
        return device == other.device && inode == other.inode;
    }
    // The same file, unchanged.
    bool operator==(const FileIdentity&) const = default;
};

// The identity of what `st` describes.
FileIdentity fileIdentity(const struct stat& st);
// The identity of an open file; nothing when fstat fails.
std::optional<FileIdentity> fileIdentity(int fd);
// The identity of the file a path leads to (through links); nothing when it cannot be looked at.
std::optional<FileIdentity> fileIdentity(const std::filesystem::path& path);

}  // namespace veltris
