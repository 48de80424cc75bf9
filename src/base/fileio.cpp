#include "base/fileio.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <system_error>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace veltris {

namespace {

std::string reasonText(int err)
{
    switch (err) {
    case ENOENT: return "файл не найден";
    case EACCES:
    case EPERM: return "нет доступа";
    case EISDIR: return "это папка, а не файл";
    case ENOTDIR: return "путь к файлу указан неверно";
    case ENAMETOOLONG: return "слишком длинное имя файла";
    case EMFILE:
    case ENFILE: return "открыто слишком много файлов";
    case ENOMEM: return "не хватает памяти";
    case EIO: return "ошибка ввода-вывода";
    default: return "системная ошибка " + std::to_string(err);
    }
}

Error openError(const std::filesystem::path& path, int err)
{
    return Error{ErrorKind::OpenFailed,
                 "Не удалось открыть файл «" + path.string() + "»: " + reasonText(err)};
}

// Unique within this process and very likely across processes writing the same folder.
std::string tempSuffix()
{
    static std::atomic<unsigned> counter{0};
    const auto ticks = std::chrono::steady_clock::now().time_since_epoch().count();
    return ".tmp-" + std::to_string(::getpid()) + "-" + std::to_string(counter++) + "-" +
           std::to_string(static_cast<unsigned long long>(ticks) % 1000000007ULL);
}

bool writeAll(int fd, std::string_view bytes)
{
    const char* p = bytes.data();
    size_t left = bytes.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, p, left);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        p += n;
        left -= static_cast<size_t>(n);
    }
    return true;
}

bool writeInPlace(const std::filesystem::path& path, std::string_view bytes)
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool ok = writeAll(fd, bytes);
    return (::close(fd) == 0) && ok;
}

}  // namespace

Result<std::string> readFileBytes(const std::filesystem::path& path)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return openError(path, errno);
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        const int err = errno;
        ::close(fd);
        return openError(path, err);
    }
    if (S_ISDIR(st.st_mode)) {
        ::close(fd);
        return openError(path, EISDIR);
    }
    std::string bytes;
    // Read to the end rather than trusting the size: the file may be a pipe or still growing.
    size_t used = 0;
    bytes.resize(S_ISREG(st.st_mode) && st.st_size > 0 ? static_cast<size_t>(st.st_size) + 1 : 65536);
    for (;;) {
        if (used == bytes.size())
            bytes.resize(bytes.size() * 2);
        const ssize_t n = ::read(fd, bytes.data() + used, bytes.size() - used);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            const int err = errno;
            ::close(fd);
            return openError(path, err);
        }
        if (n == 0)
            break;
        used += static_cast<size_t>(n);
    }
    bytes.resize(used);
    ::close(fd);
    return bytes;
}

Status writeFileAtomic(const std::filesystem::path& requested, std::string_view bytes,
                       std::string_view failureMessage)
{
    const Error failure{ErrorKind::WriteFailed, std::string(failureMessage)};
    if (requested.empty() || !requested.has_filename())
        return failure;

    // Through a symbolic link, replace the file it points to, not the link.
    std::filesystem::path path = requested;
    std::error_code ec;
    if (std::filesystem::is_symlink(requested, ec)) {
        auto real = std::filesystem::canonical(requested, ec);
        if (!ec)
            path = std::move(real);
    }

    // Keep the permissions of a file being replaced; new files get the usual 0666 & ~umask.
    mode_t mode = 0666;
    struct stat st {};
    if (::stat(requested.c_str(), &st) == 0) {
        if (S_ISDIR(st.st_mode))
            return failure;
        // A pipe or a device (/dev/stdout, a FIFO) is written in place: renaming over it would
        // replace it, or the link to it, with a plain file.
        if (!S_ISREG(st.st_mode))
            return writeInPlace(requested, bytes) ? Status{} : Status{failure};
        // A write-protected file stays as it is, as a direct overwrite would leave it.
        if (::access(requested.c_str(), W_OK) != 0)
            return failure;
        mode = st.st_mode & 07777;
    }

    std::filesystem::path temp;
    int fd = -1;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        // Beside the target, so the rename stays within one file system; the name is kept
        // short enough for the folder whatever the target's name.
        std::string name = path.filename().string().substr(0, 200);
        temp = path.parent_path() / (name + tempSuffix());
        fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
        if (fd < 0 && errno != EEXIST)
            return failure;
    }
    if (fd < 0)
        return failure;

    bool ok = writeAll(fd, bytes);
    ok = ok && ::fdatasync(fd) == 0;  // the data is on disk before the new name points at it
    ok = (::close(fd) == 0) && ok;
    if (ok) {
        struct stat written {};
        ok = ::stat(temp.c_str(), &written) == 0 &&
             static_cast<unsigned long long>(written.st_size) == bytes.size();
    }
    ok = ok && std::rename(temp.c_str(), path.c_str()) == 0;
    if (!ok) {
        ::unlink(temp.c_str());
        return failure;
    }
    return {};
}

}  // namespace veltris
