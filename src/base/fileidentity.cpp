#include "base/fileidentity.h"

#include <cerrno>
#include <new>

#include <sys/stat.h>

#define XXH_INLINE_ALL
#include <xxhash.h>

#include "base/basefile.h"
#include "base/fileio.h"

namespace veltris {

bool FileIdentity::sameStat(const FileIdentity& other) const
{
    return exists == other.exists && size == other.size && modifiedSeconds == other.modifiedSeconds &&
           modifiedNanoseconds == other.modifiedNanoseconds && device == other.device && inode == other.inode;
}

bool FileIdentity::sameBytes(const FileIdentity& other) const
{
    return hashed && other.hashed && size == other.size && hash == other.hash;
}

std::uint64_t hashBytes(std::string_view bytes)
{
    return XXH3_64bits(bytes.data(), bytes.size());
}

FileIdentity statIdentity(const std::filesystem::path& path)
{
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0)
        return FileIdentity{};
    return statIdentity(st);
}

FileIdentity statIdentity(const struct stat& st)
{
    FileIdentity id;
    id.exists = true;
    id.size = static_cast<std::uint64_t>(st.st_size);
    id.modifiedSeconds = static_cast<std::int64_t>(st.st_mtim.tv_sec);
    id.modifiedNanoseconds = static_cast<std::int64_t>(st.st_mtim.tv_nsec);
    id.device = static_cast<std::uint64_t>(st.st_dev);
    id.inode = static_cast<std::uint64_t>(st.st_ino);
    return id;
}

Result<std::string> readFileIdentified(const std::filesystem::path& path, FileIdentity& identity)
{
    try {
        FileIdentity before = statIdentity(path);
        auto bytes = readFileBytes(path, maxBaseFileSize());
        if (!bytes)
            return bytes.error();
        before.hashed = true;
        before.hash = hashBytes(*bytes);
        identity = before;
        return bytes;
    } catch (const std::bad_alloc&) {
        return outOfMemoryError();
    }
}

FileIdentity writtenIdentity(const std::filesystem::path& path, std::string_view bytes)
{
    FileIdentity id = statIdentity(path);
    id.hashed = true;
    id.hash = hashBytes(bytes);
    return id;
}

FileCheck checkFile(const std::filesystem::path& path, const FileIdentity& recorded, CheckDepth depth)
{
    FileCheck check;
    check.current = statIdentity(path);
    if (!recorded.exists)
        return check;  // nothing was recorded: nothing to compare with
    if (!check.current.exists) {
        check.change = FileChange::Missing;
        return check;
    }
    if (depth == CheckDepth::Quick && check.current.sameStat(recorded))
        return check;
    // A different state may still hold the same bytes (touched, copied back, rewritten alike):
    // only the bytes decide.
    FileIdentity read;
    auto bytes = readFileIdentified(path, read);
    if (!bytes) {
        check.change = FileChange::Changed;
        return check;
    }
    check.current = read;
    check.change = read.sameBytes(recorded) ? FileChange::Unchanged : FileChange::Changed;
    return check;
}

std::filesystem::path realPathOf(const std::filesystem::path& name)
{
    std::error_code ec;
    std::filesystem::path p = std::filesystem::absolute(name, ec);
    if (ec)
        p = name;
    // The folders through weakly_canonical; the last part by hand, since a link leading
    // nowhere is left unresolved there. 40 links at most, as the system follows.
    for (int hop = 0; hop < 40; ++hop) {
        std::filesystem::path folder = std::filesystem::weakly_canonical(p.parent_path(), ec);
        if (ec)
            folder = p.parent_path().lexically_normal();
        p = folder / p.filename();
        if (!std::filesystem::is_symlink(p, ec))
            return p;
        const std::filesystem::path target = std::filesystem::read_symlink(p, ec);
        if (ec)
            return p;
        p = target.is_absolute() ? target : p.parent_path() / target;
    }
    return p;
}

NameCheck checkName(const std::filesystem::path& name, const std::filesystem::path& recordedRealPath)
{
    NameCheck check;
    check.now = realPathOf(name);
    if (!recordedRealPath.empty() && check.now != recordedRealPath) {
        check.leads = NameLeads::Elsewhere;
        return check;
    }
    struct stat st {};
    if (::stat(check.now.c_str(), &st) != 0) {
        // Other errors (no access to the folder, a loop of links) are the write's to report.
        if (errno == ENOENT)
            check.leads = NameLeads::ToNothing;
    } else if (!S_ISREG(st.st_mode)) {
        check.leads = NameLeads::ToNoFile;
    }
    return check;
}

}  // namespace veltris
