#include "base/fileio.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <limits>
#include <memory>
#include <new>
#include <system_error>

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include "base/hugepages.h"
#include "base/syserror.h"

namespace veltris {

namespace {

Error openError(const std::filesystem::path& path, int err)
{
    return Error{ErrorKind::OpenFailed,
                 "Не удалось открыть файл «" + path.string() + "»: " + systemReason(err)};
}

// "<name>.tmp-<pid>-<count>-<ticks>": the temporary names of saves of `name`.
std::string tempPrefix(const std::string& name)
{
    return name.substr(0, 200) + ".tmp-";
}

// "<pid>-<count>-<ticks>": unique within this process and very likely across processes writing
// the same folder. The name is kept short enough for the folder whatever the target's name.
std::string tempSuffix()
{
    static std::atomic<unsigned> counter{0};
    const auto ticks = std::chrono::steady_clock::now().time_since_epoch().count();
    return std::to_string(::getpid()) + "-" + std::to_string(counter++) + "-" +
           std::to_string(static_cast<unsigned long long>(ticks) % 1000000007ULL);
}

// Each returns 0 or the errno of the step that failed.
int writeAll(int fd, std::string_view bytes)
{
    const char* p = bytes.data();
    size_t left = bytes.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, p, left);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        p += n;
        left -= static_cast<size_t>(n);
    }
    return 0;
}

// Closes a written file now, for the error its close can report (a delayed write error).
int closeFd(UniqueFd& fd)
{
    return ::close(fd.release()) == 0 ? 0 : errno;
}

int writeInPlace(const std::filesystem::path& path, std::string_view bytes)
{
    UniqueFd fd(::open(path.c_str(), O_WRONLY | O_CLOEXEC));
    if (!fd)
        return errno;
    const int err = writeAll(fd.get(), bytes);
    const int closed = closeFd(fd);
    return err != 0 ? err : closed;
}

// Rewrites the regular file `path` (the one `before` describes) in place: room for the new
// size first, so a full disk is found before the old content is touched; then the bytes, the
// new end and a sync. A failure after the first byte leaves the file part new, part old; only
// a save whose folder allows no temporary file takes this way.
int rewriteInPlace(const std::filesystem::path& path, std::string_view bytes, const struct stat& before)
{
    const UniqueFd fd(::open(path.c_str(), O_WRONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
    if (!fd)
        return errno;
    struct stat now {};
    if (::fstat(fd.get(), &now) != 0)
        return errno;
    if (!S_ISREG(now.st_mode) || now.st_dev != before.st_dev || now.st_ino != before.st_ino)
        return EAGAIN;  // replaced meanwhile: not the file that was checked
    if (bytes.size() > static_cast<std::uint64_t>(now.st_size)) {
        const int err = ::posix_fallocate(fd.get(), 0, static_cast<off_t>(bytes.size()));
        if (err != 0 && err != EOPNOTSUPP && err != EINVAL)
            return err;
    }
    if (::lseek(fd.get(), 0, SEEK_SET) != 0)
        return errno;
    if (const int err = writeAll(fd.get(), bytes))
        return err;
    if (::ftruncate(fd.get(), static_cast<off_t>(bytes.size())) != 0)
        return errno;
    if (::fsync(fd.get()) != 0)
        return errno;
    return 0;
}

// What the new file takes over from the file it replaces.
struct Replaced {
    bool exists = false;
    mode_t mode = 0;
    uid_t uid = 0;
    gid_t gid = 0;
};

// A new file is made 0666 less the umask; a replacement starts readable by its owner alone
// until it has the replaced file's attributes, so no one opens it who could not read the old.
mode_t creationMode(const Replaced& old)
{
    return old.exists ? 0600 : 0666;
}

// Gives the new file the replaced file's owner, group and mode. The owner needs privileges that
// a user rarely has; the group is then tried alone (any group the user belongs to). A mode bit
// that the owner change cleared (set-user-ID) is set again by the chmod that follows.
int takeOver(int fd, const Replaced& old)
{
    if (!old.exists)
        return 0;  // a new file keeps 0666 less the umask from its creation
    struct stat now {};
    if (::fstat(fd, &now) != 0)
        return errno;
    if (now.st_uid != old.uid || now.st_gid != old.gid) {
        if (::fchown(fd, old.uid, old.gid) != 0) {
            if (errno != EPERM)
                return errno;
            if (now.st_gid != old.gid && ::fchown(fd, static_cast<uid_t>(-1), old.gid) != 0 && errno != EPERM)
                return errno;
        }
    }
    return ::fchmod(fd, old.mode) == 0 ? 0 : errno;
}

// Gives fd the replaced file's attributes, writes the bytes, and flushes data and attributes
// to the disk before any name points at it. The attributes come first: the bytes are never
// open to more readers than the replaced file was.
int fillAndSync(int fd, std::string_view bytes, const Replaced& old)
{
    if (int err = takeOver(fd, old))
        return err;
    if (int err = writeAll(fd, bytes))
        return err;
    if (::fsync(fd) != 0)
        return errno;
    struct stat written {};
    if (::fstat(fd, &written) != 0)
        return errno;
    return static_cast<unsigned long long>(written.st_size) == bytes.size() ? 0 : EIO;
}

// Names `tempName` in the folder for a file opened with O_TMPFILE.
int linkUnnamed(int fd, int dirFd, const std::string& tempName)
{
    const std::string self = "/proc/self/fd/" + std::to_string(fd);
    if (::linkat(AT_FDCWD, self.c_str(), dirFd, tempName.c_str(), AT_SYMLINK_FOLLOW) == 0)
        return 0;
    const int err = errno;
    if (err != ENOENT)
        return err;
    // No /proc: linking the descriptor itself needs a privilege most users lack.
    return ::linkat(fd, "", dirFd, tempName.c_str(), AT_EMPTY_PATH) == 0 ? 0 : errno;
}

// The unnamed way: a crash before the final link leaves nothing in the folder. Returns -1 when
// the file system cannot make unnamed files or the system cannot give them a name (no /proc);
// the caller then takes a named temporary file.
int writeUnnamed(int dirFd, const std::string& name, std::string_view bytes, const Replaced& old)
{
    UniqueFd fd(::openat(dirFd, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, creationMode(old)));
    if (!fd)
        return -1;
    if (const int err = fillAndSync(fd.get(), bytes, old))
        return err;
    if (!old.exists) {
        // Nothing to replace: the new file gets its name in one step.
        const int err = linkUnnamed(fd.get(), dirFd, name);
        if (err != EEXIST) {
            const int closed = closeFd(fd);
            return err != 0 ? -1 : closed;
        }
        // Created meanwhile by someone else: replace it as below.
    }
    std::string temp;
    int err = EEXIST;
    for (int attempt = 0; attempt < 100 && err == EEXIST; ++attempt) {
        temp = tempPrefix(name) + tempSuffix();
        err = linkUnnamed(fd.get(), dirFd, temp);
    }
    if (err != 0)
        return -1;
    // The rename follows the link at once: the name lives only between the two calls.
    if (::renameat(dirFd, temp.c_str(), dirFd, name.c_str()) != 0) {
        err = errno;
        ::unlinkat(dirFd, temp.c_str(), 0);
    }
    const int closed = closeFd(fd);
    return err != 0 ? err : closed;
}

// The process that made a temporary file of `prefix`, or 0 when the name is not one of ours.
pid_t tempOwner(std::string_view entry, std::string_view prefix)
{
    if (!entry.starts_with(prefix))
        return 0;
    entry.remove_prefix(prefix.size());
    long long pid = 0;
    int dashes = 0;
    for (char c : entry) {
        if (c == '-')
            ++dashes;
        else if (c < '0' || c > '9')
            return 0;
        else if (dashes == 0 && (pid = pid * 10 + (c - '0')) > 1LL << 30)
            return 0;
    }
    return dashes == 2 && pid > 0 ? static_cast<pid_t>(pid) : 0;
}

// A writer killed between naming its temporary file and the rename leaves that file behind.
// The next save of the same file removes those of processes that no longer run.
void removeStaleTemps(int dirFd, const std::string& name)
{
    UniqueFd fd(::dup(dirFd));
    if (!fd)
        return;
    const std::unique_ptr<DIR, int (*)(DIR*)> dir(::fdopendir(fd.get()), ::closedir);
    if (!dir)
        return;
    fd.release();  // the listing owns it now
    const std::string prefix = tempPrefix(name);
    const pid_t self = ::getpid();
    while (const dirent* entry = ::readdir(dir.get())) {
        const pid_t owner = tempOwner(entry->d_name, prefix);
        if (owner != 0 && owner != self && ::kill(owner, 0) != 0 && errno == ESRCH)
            ::unlinkat(dirFd, entry->d_name, 0);
    }
}

// The named way, for file systems without unnamed files: a crash can leave the temporary file.
int writeNamed(int dirFd, const std::string& name, std::string_view bytes, const Replaced& old)
{
    std::string temp;
    UniqueFd fd;
    for (int attempt = 0; attempt < 100 && !fd; ++attempt) {
        temp = tempPrefix(name) + tempSuffix();
        fd = UniqueFd(
            ::openat(dirFd, temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, creationMode(old)));
        if (!fd && errno != EEXIST)
            return errno;
    }
    if (!fd)
        return EEXIST;
    int err = fillAndSync(fd.get(), bytes, old);
    const int closed = closeFd(fd);
    if (err == 0)
        err = closed;
    if (err == 0 && ::renameat(dirFd, temp.c_str(), dirFd, name.c_str()) != 0)
        err = errno;
    if (err != 0)
        ::unlinkat(dirFd, temp.c_str(), 0);
    return err;
}

}  // namespace

void UniqueFd::reset(int fd)
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = fd;
}

std::uint64_t memoryForFileBytes()
{
    std::uint64_t memory = std::numeric_limits<std::uint64_t>::max();
    const long pages = ::sysconf(_SC_PHYS_PAGES);
    const long pageSize = ::sysconf(_SC_PAGESIZE);
    if (pages > 0 && pageSize > 0)
        memory = static_cast<std::uint64_t>(pages) * static_cast<std::uint64_t>(pageSize);
    for (const int resource : {RLIMIT_AS, RLIMIT_DATA}) {
        struct rlimit limit {};
        if (::getrlimit(resource, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY)
            memory = std::min<std::uint64_t>(memory, limit.rlim_cur);
    }
    return memory / 2;
}

namespace {

// "812 байт", "3,4 МБ", "28,0 ГБ": a size as a reader of a message takes it in.
std::string sizeText(std::uint64_t bytes)
{
    if (bytes < (1u << 20))
        return std::to_string(bytes) + " байт";
    const bool giga = bytes >= (std::uint64_t{1} << 30);
    const std::uint64_t tenths = bytes * 10 / (giga ? std::uint64_t{1} << 30 : std::uint64_t{1} << 20);
    return std::to_string(tenths / 10) + "," + std::to_string(tenths % 10) + (giga ? " ГБ" : " МБ");
}

Error readError(const std::filesystem::path& path, int err)
{
    return Error{ErrorKind::OpenFailed,
                 "Не удалось прочитать файл «" + path.string() + "»: " + systemReason(err)};
}

Error tooLargeError(const std::filesystem::path& path, std::uint64_t size, std::uint64_t limit)
{
    return Error{ErrorKind::TooLarge, "Файл «" + path.string() + "» слишком велик: " + sizeText(size) +
                                          ", а такой файл бывает не больше " + sizeText(limit)};
}

Error memoryError(const std::filesystem::path& path, std::uint64_t size)
{
    return Error{ErrorKind::OutOfMemory, "Недостаточно памяти, чтобы прочитать файл «" + path.string() +
                                             "» (" + sizeText(size) + ")"};
}

// One read() takes at most this much, so a cancel is seen within one block.
constexpr std::size_t kReadBlock = std::size_t{8} << 20;

}  // namespace

Result<FileRead> readWholeFile(const std::filesystem::path& path, std::string& buffer,
                               const ReadLimits& limits)
{
    // Without O_NONBLOCK a FIFO swapped in under the name would stall the open until a writer
    // came; for a regular file the flag changes nothing.
    UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
    if (!fd)
        return openError(path, errno);
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0)
        return openError(path, errno);
    if (S_ISDIR(st.st_mode))
        return openError(path, EISDIR);
    // A pipe, a socket or a device (a link to /dev/zero) may never end or never answer.
    if (!S_ISREG(st.st_mode))
        return Error{ErrorKind::OpenFailed,
                     "Не удалось открыть файл «" + path.string() + "»: это не обычный файл"};
    const std::uint64_t size = static_cast<std::uint64_t>(std::max<off_t>(st.st_size, 0));
    const std::uint64_t memory = memoryForFileBytes();
    if (size > limits.maxBytes)
        return tooLargeError(path, size, limits.maxBytes);
    if (size > memory)
        return memoryError(path, size);
    const std::uint64_t cap = std::min(limits.maxBytes, memory);

    FileRead read{0, statIdentity(st)};
    try {
        // One byte more than the size, so that the end shows in the same read.
        if (buffer.size() < size + 1) {
            // A large file in large pages: fewer faults now, fewer TLB misses for its readers.
            buffer.reserve(static_cast<std::size_t>(size + 1));
            adviseHugePages(buffer.data(), buffer.capacity());
            buffer.resize(static_cast<std::size_t>(size + 1));
        }
        std::size_t& used = read.size;
        // Never more than one byte over the cap, whatever room a reused buffer has.
        const std::size_t end = static_cast<std::size_t>(cap + 1);
        for (;;) {
            if (limits.cancelled && limits.cancelled())
                return Error{ErrorKind::Cancelled, "Чтение файла «" + path.string() + "» прервано"};
            if (used == end)
                return used > limits.maxBytes ? tooLargeError(path, used, limits.maxBytes)
                                              : memoryError(path, used);
            if (used == buffer.size())  // the file grew after its size was taken: read on
                buffer.resize(std::min(buffer.size() * 2, end));
            const std::size_t want = std::min(std::min(buffer.size(), end) - used, kReadBlock);
            const ssize_t n = ::read(fd.get(), buffer.data() + used, want);
            if (n < 0) {
                if (errno == EINTR)
                    continue;
                return readError(path, errno);
            }
            if (n == 0)
                break;
            used += static_cast<std::size_t>(n);
        }
    } catch (const std::bad_alloc&) {
        return memoryError(path, std::max<std::uint64_t>(size, read.size));
    }
    return read;
}

Result<std::string> readFileStart(const std::filesystem::path& path, std::size_t maxBytes)
{
    UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
    if (!fd)
        return openError(path, errno);
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0)
        return openError(path, errno);
    if (S_ISDIR(st.st_mode))
        return openError(path, EISDIR);
    if (!S_ISREG(st.st_mode))
        return Error{ErrorKind::OpenFailed,
                     "Не удалось открыть файл «" + path.string() + "»: это не обычный файл"};
    std::string bytes(maxBytes, '\0');
    std::size_t used = 0;
    while (used < maxBytes) {
        const ssize_t n = ::read(fd.get(), bytes.data() + used, maxBytes - used);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return readError(path, errno);
        }
        if (n == 0)
            break;
        used += static_cast<std::size_t>(n);
    }
    bytes.resize(used);
    return bytes;
}

Result<std::string> readFileBytes(const std::filesystem::path& path, std::uint64_t maxBytes)
{
    std::string bytes;
    auto read = readWholeFile(path, bytes, ReadLimits{maxBytes, {}});
    if (!read)
        return read.error();
    bytes.resize(read->size);
    return bytes;
}

Status writeFileAtomic(const std::filesystem::path& path, std::string_view bytes,
                       std::string_view failureMessage)
{
    return writeFileAtomic(path, bytes, failureMessage, TempFile::Unnamed);
}

Status writeFileAtomic(const std::filesystem::path& path, std::string_view bytes,
                       std::string_view failureMessage, TempFile tempFile)
{
    return writeFileAtomic(path, bytes, failureMessage, tempFile, WriteTarget::Any);
}

Status writeFileAtomic(const std::filesystem::path& requested, std::string_view bytes,
                       std::string_view failureMessage, TempFile tempFile, WriteTarget target)
{
    const auto failure = [&](int err, SystemObject object = SystemObject::File) {
        return Status{Error{ErrorKind::WriteFailed, std::string(failureMessage), systemReason(err, object)}};
    };
    if (requested.empty() || !requested.has_filename())
        return failure(EISDIR);
    if (target == WriteTarget::RegularFile) {
        struct stat lst {};
        if (::lstat(requested.c_str(), &lst) == 0 && !S_ISREG(lst.st_mode))
            return Status{Error{ErrorKind::WriteFailed, std::string(failureMessage),
                                S_ISDIR(lst.st_mode) ? systemReason(EISDIR) : "это не обычный файл"}};
    }

    // Through a symbolic link, replace the file it points to, not the link. A link that leads
    // nowhere yet is replaced itself by the new file.
    std::filesystem::path path = requested;
    std::error_code ec;
    if (std::filesystem::is_symlink(requested, ec)) {
        auto real = std::filesystem::canonical(requested, ec);
        if (!ec)
            path = std::move(real);
    }

    Replaced old;
    struct stat st {};
    if (::stat(requested.c_str(), &st) == 0) {
        if (S_ISDIR(st.st_mode))
            return failure(EISDIR);
        // A pipe or a device (/dev/stdout, a FIFO) is written in place: renaming over it would
        // replace it, or the link to it, with a plain file.
        if (!S_ISREG(st.st_mode)) {
            const int err = writeInPlace(requested, bytes);
            return err == 0 ? Status{} : failure(err);
        }
        // A write-protected file stays as it is, as a direct overwrite would leave it.
        if (::access(requested.c_str(), W_OK) != 0)
            return failure(errno);
        old = Replaced{true, static_cast<mode_t>(st.st_mode & 07777), st.st_uid, st.st_gid};
    } else if (errno != ENOENT) {
        return failure(errno);  // a link loop, a path through a file, no access to the folder
    }

    const std::filesystem::path folder = path.parent_path();
    const UniqueFd dir(::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    int err = dir ? 0 : errno;
    const std::string name = path.filename().string();
    if (err == 0) {
        err = tempFile == TempFile::Unnamed ? writeUnnamed(dir.get(), name, bytes, old) : -1;
        if (err < 0)
            err = writeNamed(dir.get(), name, bytes, old);
    }
    if (err == EACCES || err == EPERM) {
        // The folder refuses a temporary file or the rename over the old one (someone else's
        // folder, or a sticky one like /tmp), but the file itself may be writable: then it is
        // rewritten in place, from the new content already whole in memory.
        if (old.exists) {
            const int inPlace = rewriteInPlace(path, bytes, st);
            return inPlace == 0 ? Status{} : failure(inPlace);
        }
        return Status{Error{ErrorKind::WriteFailed, std::string(failureMessage),
                            "нет доступа к папке «" + path.parent_path().string() + "»"}};
    }
    if (!dir)
        return failure(err, SystemObject::Folder);
    if (err != 0)
        return failure(err);
    // The new name goes to the disk too, so a power cut after success cannot bring back the
    // old file. (A file system that cannot sync folders says EINVAL; the rename is all it has.)
    if (::fsync(dir.get()) != 0 && errno != EINVAL)
        return failure(errno);
    removeStaleTemps(dir.get(), name);
    return {};
}

}  // namespace veltris
