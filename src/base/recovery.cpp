#include "base/recovery.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <new>
#include <system_error>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "base/basefile.h"
#include "base/catalogue.h"
#include "base/hugepages.h"
#include "base/recordlayout.h"

namespace veltris {

namespace {

constexpr std::string_view kMagic = "VELTRIS RECOVERY 1\n";
constexpr int kMaxTextCells = 10000;

std::string escape(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        if (c == '\\')
            out += "\\\\";
        else if (c == '\n')
            out += "\\n";
        else if (c == '\r')
            out += "\\r";
        else
            out += c;
    }
    return out;
}

std::string unescape(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 1 < text.size()) {
            const char n = text[++i];
            out += n == 'n' ? '\n' : n == 'r' ? '\r' : n;
        } else {
            out += text[i];
        }
    }
    return out;
}

Error notRecovery()
{
    return Error{ErrorKind::Generic, "это не файл восстановления Вельтриса или он повреждён"};
}

struct TextCell {
    int row = 0;
    int column = 0;
    std::string text;
};

// Reads the next space-separated number of `line` into `out`.
template <class T>
bool nextNumber(std::string_view& line, T& out)
{
    while (!line.empty() && line.front() == ' ')
        line.remove_prefix(1);
    const auto [end, ec] = std::from_chars(line.data(), line.data() + line.size(), out);
    if (ec != std::errc())
        return false;
    line.remove_prefix(static_cast<size_t>(end - line.data()));
    return true;
}

std::string identityText(const FileIdentity& id)
{
    return std::to_string(id.exists ? 1 : 0) + " " + std::to_string(id.size) + " " +
           std::to_string(id.modifiedSeconds) + " " + std::to_string(id.modifiedNanoseconds) + " " +
           std::to_string(id.device) + " " + std::to_string(id.inode) + " " +
           std::to_string(id.hashed ? 1 : 0) + " " + std::to_string(id.hash);
}

bool readIdentity(std::string_view text, FileIdentity& id)
{
    int exists = 0;
    int hashed = 0;
    if (!nextNumber(text, exists) || !nextNumber(text, id.size) || !nextNumber(text, id.modifiedSeconds) ||
        !nextNumber(text, id.modifiedNanoseconds) || !nextNumber(text, id.device) ||
        !nextNumber(text, id.inode) || !nextNumber(text, hashed) || !nextNumber(text, id.hash))
        return false;
    id.exists = exists != 0;
    id.hashed = hashed != 0;
    return true;
}

// Splits the header off; `header` gets the lines after the magic line, `body` the base bytes.
bool splitHeader(std::string_view bytes, std::string_view& header, std::string_view& body)
{
    if (!bytes.starts_with(kMagic))
        return false;
    bytes.remove_prefix(kMagic.size());
    const size_t end = bytes.starts_with('\n') ? 0 : bytes.find("\n\n");
    if (end == std::string_view::npos)
        return false;
    header = bytes.substr(0, end == 0 ? 0 : end + 1);
    body = bytes.substr(end == 0 ? 1 : end + 2);
    return true;
}

Result<RecoveryInfo> parseHeader(std::string_view header, std::vector<TextCell>* cells)
{
    RecoveryInfo info;
    bool haveBase = false;
    bool haveIdentity = false;
    if (!info.owner.fromText(header))
        return notRecovery();
    while (!header.empty()) {
        const size_t end = header.find('\n');
        const std::string_view line = header.substr(0, end);
        header.remove_prefix(end == std::string_view::npos ? header.size() : end + 1);
        if (line.starts_with("base=")) {
            info.basePath = unescape(line.substr(5));
            haveBase = true;
        } else if (line.starts_with("identity=")) {
            haveIdentity = readIdentity(line.substr(9), info.identity);
        } else if (line.starts_with("cell=") && cells) {
            std::string_view rest = line.substr(5);
            TextCell cell;
            if (!nextNumber(rest, cell.row) || !nextNumber(rest, cell.column) || !rest.starts_with(' '))
                return notRecovery();
            cell.text = unescape(rest.substr(1));
            cells->push_back(std::move(cell));
        }
    }
    if (!haveBase || !haveIdentity)
        return notRecovery();
    return info;
}

}  // namespace

Result<std::string> encodeRecovery(const RecoveryInfo& info, const ComponentBase& base)
{
    try {
        auto bytes = encodeBase(base);
        if (!bytes && bytes.error().row > 0 && bytes.error().column >= 0) {
            // The writer stops at the first cell it cannot store. A copy (sharing the columns
            // until one is changed) has such cells emptied one by one.
            ComponentBase copy = base;
            std::vector<std::pair<int, int>> emptied;
            while (!bytes && bytes.error().row > 0 && bytes.error().column >= 0 &&
                   static_cast<int>(emptied.size()) < kMaxTextCells) {
                const std::pair<int, int> cell{bytes.error().row, bytes.error().column};
                if (std::find(emptied.begin(), emptied.end(), cell) != emptied.end())
                    break;  // an empty text is refused too: nothing a cell could explain
                emptied.push_back(cell);
                copy.table.setCell(cell.first, cell.second, "");
                bytes = encodeBase(copy);
            }
        }
        if (!bytes)
            return bytes.error();
        // What a cell reads back as may differ from what was shown (an empty value reads back
        // as "0", a refused text as nothing, a long name cut): every such cell goes to the
        // header as its text. Cells shown from their stored form read back as they are; a name
        // is cut only past its field. The rest - rows with an edited cell, and every row when a
        // column holds texts or old-format ranges - is read back from its own records.
        const Table& t = base.table;
        std::vector<TextCell> cells;
        bool everyRow = false;
        for (int c = 1; c < t.columnCount(); ++c)
            everyRow =
                everyRow || t.column(c).kind == CellKind::Text || t.column(c).kind == CellKind::V3Range;
        const bool textNames = t.columnCount() > 0 && t.column(0).kind == CellKind::Text;
        std::vector<int> rows;
        for (int r = 1; r < t.rowCount(); ++r) {
            const std::uint32_t s = t.storedRow(r);
            if (everyRow || t.rowEdited(s))
                rows.push_back(r);
            else if (textNames && t.column(0).text(s).size() > static_cast<size_t>(record::kNameMax))
                cells.push_back({r, 0, t.column(0).text(s)});
        }
        if (!rows.empty()) {
            const size_t lead = static_cast<size_t>(kLeadSize) + base.keptRecords.size();
            std::string some = bytes->substr(0, lead);
            some.reserve(lead + rows.size() * kRecordSize);
            for (int r : rows)
                some.append(*bytes, lead + static_cast<size_t>(r - 1) * kRecordSize, kRecordSize);
            const Catalogue none;
            auto back = decodeBase(some, none);
            const bool comparable = back && back->table.rowCount() == static_cast<int>(rows.size()) + 1 &&
                                    back->table.columnCount() >= t.columnCount();
            for (size_t i = 0; i < rows.size(); ++i)
                for (int c = 0; c < t.columnCount(); ++c) {
                    std::string text = t.cell(rows[i], c);
                    if (!comparable || text != back->table.cell(static_cast<int>(i) + 1, c))
                        cells.push_back({rows[i], c, std::move(text)});
                }
        }
        std::string header(kMagic);
        header += "base=" + escape(info.basePath) + "\n";
        header += info.owner.toText();
        header += "identity=" + identityText(info.identity) + "\n";
        for (const TextCell& c : cells)
            header += "cell=" + std::to_string(c.row) + " " + std::to_string(c.column) + " " +
                      escape(c.text) + "\n";
        header += "\n";
        // One buffer the size of the file, on huge pages where it is large: a new buffer's page
        // faults would otherwise cost more than the encoding.
        std::string out;
        out.reserve(header.size() + bytes->size());
        adviseHugePages(out.data(), header.size() + bytes->size());
        out += header;
        out += *bytes;
        return out;
    } catch (const std::bad_alloc&) {
        return outOfMemoryError();
    }
}

Result<RecoveryInfo> decodeRecoveryInfo(std::string_view bytes)
{
    std::string_view header;
    std::string_view body;
    if (!splitHeader(bytes, header, body))
        return notRecovery();
    return parseHeader(header, nullptr);
}

Result<RecoveredBase> decodeRecovery(std::string_view bytes, const Catalogue& catalogue)
{
    std::string_view header;
    std::string_view body;
    if (!splitHeader(bytes, header, body))
        return notRecovery();
    std::vector<TextCell> cells;
    auto info = parseHeader(header, &cells);
    if (!info)
        return info.error();
    auto base = decodeBase(body, catalogue);
    if (!base)
        return base.error();
    RecoveredBase out{std::move(*info), std::move(*base)};
    for (const TextCell& c : cells) {
        if (c.row < 1 || c.row >= out.base.table.rowCount() || c.column < 0 ||
            c.column >= out.base.table.columnCount())
            return notRecovery();
        out.base.table.setCell(c.row, c.column, c.text);
    }
    return out;
}

std::vector<std::filesystem::path> listRecoveryFiles(const std::filesystem::path& folder)
{
    std::vector<std::pair<std::filesystem::file_time_type, std::filesystem::path>> found;
    std::error_code ec;
    for (std::filesystem::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        const std::filesystem::path& p = it->path();
        std::error_code fileEc;
        if (p.extension() != ".recovery" || !it->is_regular_file(fileEc))
            continue;
        found.emplace_back(it->last_write_time(fileEc), p);
    }
    std::sort(found.begin(), found.end(), [](const auto& a, const auto& b) { return a.first > b.first; });
    std::vector<std::filesystem::path> out;
    out.reserve(found.size());
    for (auto& f : found)
        out.push_back(std::move(f.second));
    return out;
}

RecoveryClaim RecoveryClaim::claim(const std::filesystem::path& file)
{
    RecoveryClaim c;
    // Open for writing where possible: a network file system lends exclusive locks only then.
    UniqueFd fd(::open(file.c_str(), O_RDWR | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY));
    if (!fd && (errno == EACCES || errno == EROFS))
        fd = UniqueFd(::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY));
    if (!fd)
        return c;
    if (::flock(fd.get(), LOCK_EX | LOCK_NB) != 0 && (errno == EWOULDBLOCK || errno == EINTR))
        return c;  // another program holds it
    c.m_fd = std::move(fd);
    c.m_file = file;
    if (!c.stillNamed())
        c.release();  // replaced after it was opened: the file now named is another one
    return c;
}

bool RecoveryClaim::stillNamed() const
{
    struct stat held {};
    struct stat named {};
    return m_fd && ::fstat(m_fd.get(), &held) == 0 && ::lstat(m_file.c_str(), &named) == 0 &&
           held.st_dev == named.st_dev && held.st_ino == named.st_ino;
}

bool RecoveryClaim::remove()
{
    const bool removed = stillNamed() && ::unlink(m_file.c_str()) == 0;
    release();
    return removed;
}

void RecoveryClaim::release()
{
    m_fd.reset();
    m_file.clear();
}

std::filesystem::path moveRecoveryAside(const std::filesystem::path& file)
{
    std::error_code ec;
    const std::filesystem::path damaged = file.parent_path() / "damaged";
    std::filesystem::create_directories(damaged, ec);
    for (int n = 0; n < 1000; ++n) {
        const std::filesystem::path target =
            damaged / (n == 0 ? file.filename().string()
                              : file.stem().string() + "-" + std::to_string(n) + ".recovery");
        if (std::filesystem::exists(target, ec))
            continue;
        std::filesystem::rename(file, target, ec);
        return ec ? std::filesystem::path() : target;
    }
    return {};
}

}  // namespace veltris
