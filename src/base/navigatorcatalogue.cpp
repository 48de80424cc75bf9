#include "base/navigatorcatalogue.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <new>
#include <system_error>
#include <utility>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "base/basefile.h"
#include "base/componentbase.h"
#include "base/fileio.h"
#include "base/syserror.h"

namespace veltris {

namespace fs = std::filesystem;

namespace {

// Takes a typical base in one read; bigger bases go in blocks. Reused for every file.
constexpr std::size_t kBlockSize = std::size_t{128} << 10;
constexpr unsigned kMaxName = 15;

// Bases come from systems where names ignore case: ".qdb", ".Qdb" count too.
bool isBaseFileName(std::string_view name)
{
    if (name.size() < 4)
        return false;
    static constexpr char kExt[] = ".qdb";
    for (std::size_t i = 0; i < 4; ++i) {
        char c = name[name.size() - 4 + i];
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
        if (c != kExt[i])
            return false;
    }
    return true;
}

constexpr const char* kOpenFailed = "Не удалось открыть файл";
constexpr const char* kReadFailed = "Не удалось прочитать файл";
const std::string kNotRegular = "это не обычный файл";

Error fileError(const char* what, const std::string& path, const std::string& reason)
{
    return Error{ErrorKind::OpenFailed, std::string(what) + " «" + path + "»: " + reason};
}

Error folderError(const std::string& folder, int err)
{
    return Error{ErrorKind::OpenFailed,
                 "Не удалось прочитать папку «" + folder + "»: " + systemReason(err, SystemObject::Folder)};
}

struct Listed {
    std::string name;
    unsigned char type;  // d_type of the listing, DT_UNKNOWN where the file system gives none
};

}  // namespace

std::vector<Error> NavigatorCatalogue::addFolder(const fs::path& folder,
                                                 const std::function<bool()>& cancelled)
{
    std::vector<Error> problems;
    std::error_code ec;
    const fs::path absFolder = fs::absolute(folder, ec).lexically_normal();
    if (ec) {
        problems.push_back(folderError(folder.string(), ec.value()));
        return problems;
    }
    const std::string folderName = absFolder.string();
    std::string prefix = folderName;
    if (prefix.empty() || prefix.back() != '/')
        prefix += '/';

    std::vector<Listed> listed;
    DIR* dir = ::opendir(prefix.c_str());
    if (dir == nullptr) {
        problems.push_back(folderError(folderName, errno));
        return problems;
    }
    // The same folder under another name (given twice, or through a link) is read once.
    struct stat folderStat {};
    if (::fstat(::dirfd(dir), &folderStat) == 0 &&
        !m_foldersSeen.emplace(folderStat.st_dev, folderStat.st_ino).second) {
        ::closedir(dir);
        return problems;
    }
    for (;;) {
        errno = 0;
        const dirent* entry = ::readdir(dir);
        if (entry == nullptr) {
            if (errno != 0)
                problems.push_back(folderError(folderName, errno));
            break;
        }
        if (isBaseFileName(entry->d_name))
            listed.push_back(Listed{entry->d_name, entry->d_type});
    }
    ::closedir(dir);
    // The listing's own order is arbitrary; byte order keeps the catalogue the same everywhere.
    std::sort(listed.begin(), listed.end(), [](const Listed& a, const Listed& b) { return a.name < b.name; });

    const std::unique_ptr<char[]> buffer(new char[kBlockSize]);
    std::string path;
    for (const Listed& item : listed) {
        if (cancelled && cancelled())
            break;
        path.assign(prefix).append(item.name);
        if (item.type == DT_DIR) {
            problems.push_back(fileError(kOpenFailed, path, systemReason(EISDIR)));
            continue;
        }
        // A pipe or a device named like a base could block or never end: only plain files count.
        if (item.type != DT_REG && item.type != DT_LNK && item.type != DT_UNKNOWN) {
            problems.push_back(fileError(kOpenFailed, path, kNotRegular));
            continue;
        }
        // Without blocking: the file may have become a FIFO since it was listed.
        const UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
        if (!fd) {
            problems.push_back(fileError(kOpenFailed, path, systemReason(errno)));
            continue;
        }
        struct stat st {};
        if (::fstat(fd.get(), &st) != 0) {
            problems.push_back(fileError(kOpenFailed, path, systemReason(errno)));
            continue;
        }
        if (!S_ISREG(st.st_mode)) {
            problems.push_back(
                fileError(kOpenFailed, path, S_ISDIR(st.st_mode) ? systemReason(EISDIR) : kNotRegular));
            continue;
        }
        if (!m_filesSeen.emplace(st.st_dev, st.st_ino).second)
            continue;  // listed already, under another name
        // Read only as far as the size taken now: a file that keeps growing cannot hold the scan.
        const auto size = static_cast<std::uint64_t>(std::max<off_t>(st.st_size, 0));
        if (size > maxBaseFileSize()) {
            problems.push_back(fileError(
                kReadFailed, path, "файл больше, чем может быть база (" + std::to_string(size) + " байт)"));
            continue;
        }
        // 16 bytes of names a record of at least 258 bytes.
        if (size / static_cast<std::uint64_t>(kRecordSizeV3) * kNameField > memoryForFileBytes()) {
            problems.push_back(fileError(kReadFailed, path, "недостаточно памяти"));
            continue;
        }

        FileEntries* file = nullptr;  // created with the first whole record
        const auto dropFile = [&] {   // nothing of a file read only in part
            if (file != nullptr) {
                m_size -= file->count();
                m_files.pop_back();
                file = nullptr;
            }
        };
        std::string description;
        std::size_t recordBytes = 0;  // 0 until the lead is read
        std::uint16_t deviceType = 0;
        std::size_t fill = 0;
        std::uint64_t left = size;
        try {
            while (left > 0) {
                if (cancelled && cancelled()) {
                    dropFile();
                    return problems;
                }
                const std::size_t want =
                    static_cast<std::size_t>(std::min<std::uint64_t>(kBlockSize - fill, left));
                const ssize_t n = ::read(fd.get(), buffer.get() + fill, want);
                if (n < 0) {
                    if (errno == EINTR)
                        continue;
                    problems.push_back(fileError(kReadFailed, path, systemReason(errno)));
                    dropFile();
                    break;
                }
                if (n == 0)
                    break;
                fill += static_cast<std::size_t>(n);
                left -= static_cast<std::uint64_t>(n);

                std::size_t pos = 0;
                if (recordBytes == 0) {
                    if (fill < static_cast<std::size_t>(kLeadSize))
                        continue;
                    const auto* header = reinterpret_cast<const std::uint8_t*>(buffer.get());
                    const int recordSizeOfFile = recordSize(formatVersion(header));
                    if (recordSizeOfFile <= 0)
                        break;  // unknown version: the file adds nothing
                    recordBytes = static_cast<std::size_t>(recordSizeOfFile);
                    deviceType = static_cast<std::uint16_t>(headerDeviceType(header));
                    const std::size_t length =
                        std::min<std::size_t>(header[kDescriptionOffset], kMaxDescription);
                    description.assign(buffer.get() + kDescriptionOffset + 1, length);
                    pos = static_cast<std::size_t>(kLeadSize);
                }

                const std::size_t count = (fill - pos) / recordBytes;
                if (count > 0) {
                    if (file == nullptr) {
                        m_files.push_back(FileEntries{
                            NavigatorBaseFile{path, std::exchange(description, {}), deviceType}, m_size, {}});
                        file = &m_files.back();
                    }
                    const std::size_t used = file->names.size();
                    file->names.resize(used + count * kNameField);
                    char* out = file->names.data() + used;
                    for (std::size_t r = 0; r < count; ++r, pos += recordBytes, out += kNameField) {
                        const char* record = buffer.get() + pos;
                        out[0] = static_cast<char>(
                            std::min(static_cast<unsigned>(static_cast<unsigned char>(record[0])), kMaxName));
                        std::memcpy(out + 1, record + 1, kNameField - 1);
                    }
                    m_size += count;
                }
                // Keep a record cut by the block boundary for the next read.
                std::memmove(buffer.get(), buffer.get() + pos, fill - pos);
                fill -= pos;
            }
        } catch (const std::bad_alloc&) {
            dropFile();
            problems.push_back(fileError(kReadFailed, path, "недостаточно памяти"));
        }
    }
    return problems;
}

NavigatorEntry NavigatorCatalogue::entryOf(const FileEntries& file, std::size_t record)
{
    const char* field = file.names.data() + record * kNameField;
    return NavigatorEntry{file.base.deviceType,
                          std::string_view(field + 1, static_cast<unsigned char>(field[0])), &file.base};
}

NavigatorEntry NavigatorCatalogue::operator[](std::size_t i) const
{
    const FileEntries& file = fileOf(i);
    return entryOf(file, i - file.first);
}

std::size_t NavigatorCatalogue::recordInFile(std::size_t i) const
{
    return i - fileOf(i).first;
}

const NavigatorCatalogue::FileEntries& NavigatorCatalogue::fileOf(std::size_t i) const
{
    const auto next =
        std::upper_bound(m_files.begin(), m_files.end(), i,
                         [](std::size_t index, const FileEntries& file) { return index < file.first; });
    return *std::prev(next);
}

NavigatorEntry NavigatorCatalogue::const_iterator::operator*() const
{
    return entryOf(m_catalogue->m_files[m_file], m_record);
}

NavigatorCatalogue::const_iterator& NavigatorCatalogue::const_iterator::operator++()
{
    if (++m_record == m_catalogue->m_files[m_file].count()) {
        ++m_file;
        m_record = 0;
    }
    return *this;
}

}  // namespace veltris
