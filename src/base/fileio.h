#pragma once
// Whole-file reading and all-or-nothing writing.
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>

#include "base/fileidentity.h"
#include "base/result.h"

namespace veltris {

// An open file descriptor, closed when its owner goes.
class UniqueFd {
public:
    UniqueFd() = default;
    explicit UniqueFd(int fd) : m_fd(fd) {}
    ~UniqueFd() { reset(); }
    UniqueFd(UniqueFd&& other) noexcept : m_fd(other.release()) {}
    UniqueFd& operator=(UniqueFd&& other) noexcept
    {
        if (this != &other)
            reset(other.release());
        return *this;
    }
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;

    int get() const { return m_fd; }
    explicit operator bool() const { return m_fd >= 0; }
    int release()
    {
        const int fd = m_fd;
        m_fd = -1;
        return fd;
    }
    void reset(int fd = -1);

private:
    int m_fd = -1;
};

// The largest settings, catalogue or rules file read: such INI files hold at most some thousand
// short lines, so anything near this size is not one of them.
inline constexpr std::uint64_t kTextFileLimit = std::uint64_t{16} << 20;

struct ReadLimits {
    // A bigger file is refused (kind TooLarge). A file must also fit twice into the memory the
    // process may have (its bytes and what is made of them), else it is refused as OutOfMemory.
    std::uint64_t maxBytes = kTextFileLimit;
    // Asked between blocks of a long read; true stops it (kind Cancelled).
    std::function<bool()> cancelled;
};

struct FileRead {
    std::size_t size = 0;   // bytes read into the buffer
    FileIdentity identity;  // of the file read, as it was when opened
};

// Reads a whole regular file into `buffer` (grown when needed, never shrunk; its first `size`
// bytes are the file). The file is opened without blocking (a FIFO or a device swapped in under
// the name cannot stall the reader) and must be a regular file no bigger than the limits allow;
// a file that grows while it is read is read on up to the limit. Errors, each naming the file:
// OpenFailed (cannot be opened or read, a folder, not a regular file), TooLarge, OutOfMemory,
// Cancelled.
Result<FileRead> readWholeFile(const std::filesystem::path& path, std::string& buffer,
                               const ReadLimits& limits);

// Reads a whole file as readWholeFile does, into a string of its own.
Result<std::string> readFileBytes(const std::filesystem::path& path, std::uint64_t maxBytes = kTextFileLimit);

// The first `maxBytes` bytes of a regular file (all of it when it is shorter), opened as
// readWholeFile opens it: a look at a file's start before it is read whole. Errors as there.
Result<std::string> readFileStart(const std::filesystem::path& path, std::size_t maxBytes);

// How much of a file the process may hold in memory: half of the physical memory and of the
// address space and data limits (ulimit -v, -d).
std::uint64_t memoryForFileBytes();

// Replaces `path` all or nothing: the bytes go to a temporary file in the same folder (unnamed
// where the file system allows, so a crash leaves nothing behind), which takes the old file's
// mode, owner and group (the owner where permitted) and is synced, then renamed over `path`;
// the folder is synced after. A new file gets 0666 less the umask. Through a symbolic link the
// file it points to is replaced; a pipe or a device is written in place. A writable file in a
// folder that refuses a temporary file or the rename (another user's or a sticky folder) is
// rewritten in place instead: room for the new size first, then the bytes, the new end and a
// sync; only a failure in the middle of that write can leave it part new, part old. On any
// other failure the previous file is untouched, no temporary file stays, and the error (kind
// WriteFailed) carries `failureMessage` with the system's reason in `reason` («нет доступа к
// папке «…»» when the folder refused a new file).
Status writeFileAtomic(const std::filesystem::path& path, std::string_view bytes,
                       std::string_view failureMessage = "Ошибка записи в файл");

// Which temporary file the write uses: Unnamed falls back to Named by itself where the file
// system has no unnamed files; Named forces the fallback (tests of that way).
enum class TempFile {
    Unnamed,
    Named
};
Status writeFileAtomic(const std::filesystem::path& path, std::string_view bytes,
                       std::string_view failureMessage, TempFile tempFile);

// What a write may replace besides a regular file.
enum class WriteTarget {
    Any,          // as above: through a link the file it leads to, a pipe or device in place
    RegularFile,  // a regular file or nothing, under this very name: a symbolic link, a pipe,
        // a device or a folder there is refused (reason «это не обычный файл») and
        // left as it is. For bases, whose save must never go anywhere else.
};
Status writeFileAtomic(const std::filesystem::path& path, std::string_view bytes,
                       std::string_view failureMessage, TempFile tempFile, WriteTarget target);

}  // namespace veltris
