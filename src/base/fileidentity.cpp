#include "base/fileidentity.h"

#include <sys/stat.h>

namespace veltris {

namespace {

std::int64_t nanoseconds(const struct timespec& t)
{
    return static_cast<std::int64_t>(t.tv_sec) * 1000000000 + t.tv_nsec;
}

}  // namespace

FileIdentity fileIdentity(const struct stat& st)
{
    return FileIdentity{static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino),
                        static_cast<std::int64_t>(st.st_size), nanoseconds(st.st_mtim),
                        nanoseconds(st.st_ctim)};
}

std::optional<FileIdentity> fileIdentity(int fd)
{
    struct stat st {};
    if (::fstat(fd, &st) != 0)
        return std::nullopt;
    return fileIdentity(st);
}

std::optional<FileIdentity> fileIdentity(const std::filesystem::path& path)
{
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0)
        return std::nullopt;
    return fileIdentity(st);
}

}  // namespace veltris
