#include "base/navigatorcatalogue.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <system_error>
#include <utility>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "base/basefile.h"
#include "base/componentbase.h"

namespace veltris {

namespace fs = std::filesystem;

namespace {

// Large enough to take a typical base in one read; the buffer is reused for every file.
constexpr std::size_t kBlockSize = std::size_t{1} << 20;
constexpr std::size_t kMaxName = 15;

// Bases come from systems where names ignore case: ".qdb", ".Qdb" count too.
bool isBaseFileName(const std::string& name)
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

std::string reasonText(int err)
{
    switch (err) {
    case ENOENT: return "файл не найден";
    case EACCES:
    case EPERM: return "нет доступа";
    case EISDIR: return "это папка, а не файл";
    case ENOTDIR: return "путь указан неверно";
    case ENAMETOOLONG: return "слишком длинное имя файла";
    case ELOOP: return "слишком много символических ссылок";
    case EMFILE:
    case ENFILE: return "открыто слишком много файлов";
    case ENOMEM: return "не хватает памяти";
    case EIO: return "ошибка ввода-вывода";
    default: return "системная ошибка " + std::to_string(err);
    }
}

Error fileError(const char* what, const std::string& path, const std::string& reason)
{
    return Error{ErrorKind::OpenFailed, std::string(what) + " «" + path + "»: " + reason};
}

Error folderError(const fs::path& folder, const std::error_code& ec)
{
    return Error{ErrorKind::OpenFailed, "Не удалось прочитать папку «" + folder.string() +
                                            "»: " + reasonText(ec.value())};
}

std::string shortString(const char* field, std::size_t maxLength)
{
    const std::size_t length = std::min<std::size_t>(static_cast<unsigned char>(field[0]), maxLength);
    return std::string(field + 1, length);
}

}  // namespace

std::vector<Error> NavigatorCatalogue::AddDir(const fs::path& folder)
{
    std::vector<Error> problems;
    std::error_code ec;
    fs::path absFolder = fs::absolute(folder, ec);
    if (ec) {
        problems.push_back(folderError(folder, ec));
        return problems;
    }
    absFolder = absFolder.lexically_normal();

    // The listing's own order is arbitrary; byte order keeps the catalogue the same everywhere.
    std::vector<std::string> names;
    fs::directory_iterator it(absFolder, ec);
    if (ec) {
        problems.push_back(folderError(absFolder, ec));
        return problems;
    }
    for (const fs::directory_iterator end; it != end;) {
        std::string name = it->path().filename().string();
        if (isBaseFileName(name))
            names.push_back(std::move(name));
        it.increment(ec);
        if (ec) {
            problems.push_back(folderError(absFolder, ec));
            break;
        }
    }
    std::sort(names.begin(), names.end());

    const std::unique_ptr<char[]> buffer(new char[kBlockSize]);
    for (const std::string& name : names) {
        std::string path = (absFolder / name).string();
        const std::size_t before = m_entries.size();

        const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
        if (fd < 0) {
            problems.push_back(fileError("Не удалось открыть файл", path, reasonText(errno)));
            continue;
        }
        // A pipe or a device named like a base could block or never end: only plain files count.
        struct stat st {};
        const bool statOk = ::fstat(fd, &st) == 0;
        if (!statOk || !S_ISREG(st.st_mode)) {
            const std::string reason = !statOk              ? reasonText(errno)
                                       : S_ISDIR(st.st_mode) ? reasonText(EISDIR)
                                                             : std::string("это не обычный файл");
            ::close(fd);
            problems.push_back(fileError("Не удалось открыть файл", path, reason));
            continue;
        }

        std::shared_ptr<const NavigatorBaseFile> shared;
        std::string description;
        std::size_t recordBytes = 0;  // 0 until the lead is read
        std::uint16_t deviceType = 0;
        std::size_t fill = 0;
        for (;;) {
            const ssize_t n = ::read(fd, buffer.get() + fill, kBlockSize - fill);
            if (n < 0) {
                if (errno == EINTR)
                    continue;
                problems.push_back(fileError("Не удалось прочитать файл", path, reasonText(errno)));
                m_entries.resize(before);  // nothing of a file read only in part
                break;
            }
            if (n == 0)
                break;
            fill += static_cast<std::size_t>(n);

            std::size_t pos = 0;
            if (recordBytes == 0) {
                if (fill < static_cast<std::size_t>(kLeadSize))
                    continue;
                const auto* header = reinterpret_cast<const std::uint8_t*>(buffer.get());
                const int size = recordSize(formatVersion(header));
                if (size <= 0)
                    break;  // unknown version: the file adds nothing
                recordBytes = static_cast<std::size_t>(size);
                deviceType = static_cast<std::uint16_t>(headerDeviceType(header));
                description = shortString(buffer.get() + kDescriptionOffset, kMaxDescription);
                pos = static_cast<std::size_t>(kLeadSize);
            }

            const std::size_t count = (fill - pos) / recordBytes;
            if (count > 0) {
                if (!shared)
                    shared = std::make_shared<const NavigatorBaseFile>(
                        NavigatorBaseFile{path, std::move(description)});
                if (m_entries.capacity() - m_entries.size() < count)
                    m_entries.reserve(std::max(m_entries.size() + count, m_entries.capacity() * 2));
                for (std::size_t r = 0; r < count; ++r, pos += recordBytes)
                    m_entries.push_back(
                        TLBox2Type{deviceType, shortString(buffer.get() + pos, kMaxName), shared});
            }
            // Keep a record cut by the block boundary for the next read.
            std::memmove(buffer.get(), buffer.get() + pos, fill - pos);
            fill -= pos;
        }
        ::close(fd);
    }
    return problems;
}

NavigatorCatalogue CreateNavigatorCatalogue()
{
    return NavigatorCatalogue{};
}

}  // namespace veltris
