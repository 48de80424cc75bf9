#include "base/xlsxread.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <map>
#include <memory>
#include <optional>
#include <type_traits>

#include <expat.h>
#include <unzip.h>

namespace veltris {

namespace {

constexpr std::size_t kMaxPartBytes = std::size_t{512} << 20;

// ---- the zip container in memory, for minizip ----

struct MemoryZip {
    std::string_view bytes;
    std::uint64_t pos = 0;
};

voidpf ZCALLBACK memOpen(voidpf opaque, const void*, int)
{
    static_cast<MemoryZip*>(opaque)->pos = 0;
    return opaque;
}

uLong ZCALLBACK memRead(voidpf, voidpf stream, void* buf, uLong size)
{
    auto* z = static_cast<MemoryZip*>(stream);
    const std::uint64_t left = z->pos < z->bytes.size() ? z->bytes.size() - z->pos : 0;
    const uLong n = static_cast<uLong>(std::min<std::uint64_t>(size, left));
    std::memcpy(buf, z->bytes.data() + z->pos, n);
    z->pos += n;
    return n;
}

uLong ZCALLBACK memWrite(voidpf, voidpf, const void*, uLong)
{
    return 0;
}

ZPOS64_T ZCALLBACK memTell(voidpf, voidpf stream)
{
    return static_cast<MemoryZip*>(stream)->pos;
}

long ZCALLBACK memSeek(voidpf, voidpf stream, ZPOS64_T offset, int origin)
{
    auto* z = static_cast<MemoryZip*>(stream);
    std::uint64_t base = 0;
    switch (origin) {
    case ZLIB_FILEFUNC_SEEK_SET: base = 0; break;
    case ZLIB_FILEFUNC_SEEK_CUR: base = z->pos; break;
    case ZLIB_FILEFUNC_SEEK_END: base = z->bytes.size(); break;
    default: return -1;
    }
    if (offset > z->bytes.size() || base + offset > z->bytes.size())
        return -1;
    z->pos = base + offset;
    return 0;
}

int ZCALLBACK memClose(voidpf, voidpf)
{
    return 0;
}

int ZCALLBACK memError(voidpf, voidpf)
{
    return 0;
}

class Zip {
public:
    explicit Zip(std::string_view bytes) : m_memory{bytes, 0}
    {
        zlib_filefunc64_def functions{};
        functions.zopen64_file = memOpen;
        functions.zread_file = memRead;
        functions.zwrite_file = memWrite;
        functions.ztell64_file = memTell;
        functions.zseek64_file = memSeek;
        functions.zclose_file = memClose;
        functions.zerror_file = memError;
        functions.opaque = &m_memory;
        m_zip = unzOpen2_64("", &functions);
    }
    ~Zip()
    {
        if (m_zip != nullptr)
            unzClose(m_zip);
    }
    Zip(const Zip&) = delete;
    Zip& operator=(const Zip&) = delete;

    bool ok() const { return m_zip != nullptr; }

    // The part's bytes; nullopt when there is no such part. Error when it does not unpack.
    Result<std::optional<std::string>> part(const std::string& name)
    {
        if (unzLocateFile(m_zip, name.c_str(), 0) != UNZ_OK)
            return std::optional<std::string>{};
        unz_file_info64 info{};
        if (unzGetCurrentFileInfo64(m_zip, &info, nullptr, 0, nullptr, 0, nullptr, 0) != UNZ_OK ||
            info.uncompressed_size > kMaxPartBytes || unzOpenCurrentFile(m_zip) != UNZ_OK)
            return damaged(name);
        std::string out;
        out.reserve(static_cast<std::size_t>(info.uncompressed_size));
        char buf[65536];
        int n = 0;
        while ((n = unzReadCurrentFile(m_zip, buf, sizeof buf)) > 0) {
            out.append(buf, static_cast<std::size_t>(n));
            if (out.size() > kMaxPartBytes)
                break;
        }
        const int closed = unzCloseCurrentFile(m_zip);
        if (n < 0 || closed != UNZ_OK || out.size() > kMaxPartBytes)
            return damaged(name);
        return std::optional<std::string>(std::move(out));
    }

    static Error damaged(const std::string& name)
    {
        return Error{ErrorKind::Generic, "книга XLSX повреждена: часть «" + name + "» не распаковывается"};
    }

private:
    MemoryZip m_memory;
    unzFile m_zip = nullptr;
};

// ---- the XML parts, through expat ----

// An element's name without its namespace prefix.
std::string_view localName(const char* name)
{
    const std::string_view n(name);
    const auto colon = n.rfind(':');
    return colon == std::string_view::npos ? n : n.substr(colon + 1);
}

const char* attribute(const char** atts, std::string_view wanted)
{
    for (int i = 0; atts[i] != nullptr; i += 2)
        if (localName(atts[i]) == wanted)
            return atts[i + 1];
    return nullptr;
}

// Runs expat over `xml` with a handler object that has start(name, atts), end(name), text(s).
template <class Handler>
Status parseXml(const std::string& xml, Handler& handler, const std::string& partName)
{
    const std::unique_ptr<std::remove_pointer_t<XML_Parser>, decltype(&XML_ParserFree)> parser(
        XML_ParserCreate("UTF-8"), &XML_ParserFree);
    if (!parser)
        return Error{ErrorKind::OutOfMemory, "Недостаточно памяти"};
    XML_SetUserData(parser.get(), &handler);
    XML_SetElementHandler(
        parser.get(),
        [](void* data, const XML_Char* name, const XML_Char** atts) {
            static_cast<Handler*>(data)->start(localName(name), atts);
        },
        [](void* data, const XML_Char* name) { static_cast<Handler*>(data)->end(localName(name)); });
    XML_SetCharacterDataHandler(parser.get(), [](void* data, const XML_Char* s, int len) {
        static_cast<Handler*>(data)->text(std::string_view(s, static_cast<std::size_t>(len)));
    });
    // Parts are parsed in pieces of at most INT_MAX bytes.
    std::size_t at = 0;
    constexpr std::size_t kPiece = std::size_t{1} << 30;
    do {
        const std::size_t n = std::min(kPiece, xml.size() - at);
        const bool last = at + n == xml.size();
        if (XML_Parse(parser.get(), xml.data() + at, static_cast<int>(n), last ? 1 : 0) != XML_STATUS_OK)
            return Error{ErrorKind::Generic, "книга XLSX повреждена: часть «" + partName + "», строка " +
                                                 std::to_string(XML_GetCurrentLineNumber(parser.get())) +
                                                 ": " + XML_ErrorString(XML_GetErrorCode(parser.get()))};
        at += n;
    } while (at < xml.size());
    if (handler.failed())
        return handler.error(partName);
    return {};
}

struct SheetEntry {
    std::string name;
    std::string relation;
};

struct WorkbookHandler {
    std::vector<SheetEntry> sheets;
    void start(std::string_view name, const char** atts)
    {
        if (name != "sheet")
            return;
        const char* n = attribute(atts, "name");
        const char* id = attribute(atts, "id");
        sheets.push_back({n ? n : "", id ? id : ""});
    }
    void end(std::string_view) {}
    void text(std::string_view) {}
    bool failed() const { return false; }
    Error error(const std::string&) const { return {}; }
};

struct RelationsHandler {
    std::map<std::string, std::string> targets;
    void start(std::string_view name, const char** atts)
    {
        if (name != "Relationship")
            return;
        const char* id = attribute(atts, "Id");
        const char* target = attribute(atts, "Target");
        if (id != nullptr && target != nullptr)
            targets[id] = target;
    }
    void end(std::string_view) {}
    void text(std::string_view) {}
    bool failed() const { return false; }
    Error error(const std::string&) const { return {}; }
};

// Shared strings: each <si> is the text of its <t>s, the phonetic runs (<rPh>) left out.
struct SharedStringsHandler {
    std::vector<std::string> strings;
    bool inText = false;
    int phonetic = 0;
    void start(std::string_view name, const char**)
    {
        if (name == "si")
            strings.emplace_back();
        else if (name == "rPh")
            ++phonetic;
        else if (name == "t" && phonetic == 0 && !strings.empty())
            inText = true;
    }
    void end(std::string_view name)
    {
        if (name == "t")
            inText = false;
        else if (name == "rPh")
            --phonetic;
    }
    void text(std::string_view s)
    {
        if (inText)
            strings.back() += s;
    }
    bool failed() const { return false; }
    Error error(const std::string&) const { return {}; }
};

// Column index (from 0) of a cell reference such as "AB12"; -1 when it has no letters.
int columnOfReference(const char* ref)
{
    int c = 0;
    int letters = 0;
    for (; *ref >= 'A' && *ref <= 'Z'; ++ref, ++letters)
        c = c * 26 + (*ref - 'A' + 1);
    return letters == 0 || letters > 3 ? -1 : c - 1;
}

// A stored number as the shortest text that reads back as it ("2", "0.5", "1e-06").
std::string numberText(std::string_view stored)
{
    double v = 0;
    const auto [p, ec] = std::from_chars(stored.data(), stored.data() + stored.size(), v);
    if (ec != std::errc() || p != stored.data() + stored.size())
        return std::string(stored);
    char buf[64];
    const auto r = std::to_chars(buf, buf + sizeof buf, v);
    return std::string(buf, r.ptr);
}

struct SheetHandler {
    const std::vector<std::string>* shared = nullptr;
    std::size_t maxCells = 0;
    Sheet sheet;
    SheetRow row;
    int nextRow = 1;
    int column = -1;
    int nextColumn = 0;
    std::string type;
    std::string value;
    bool inValue = false;
    bool inInline = false;
    int phonetic = 0;
    std::size_t cells = 0;
    std::string problem;

    void start(std::string_view name, const char** atts)
    {
        if (name == "row") {
            const char* r = attribute(atts, "r");
            int number = 0;
            if (r != nullptr)
                std::from_chars(r, r + std::strlen(r), number);
            row = SheetRow{number > 0 ? number : nextRow, {}, {}};
            nextRow = row.line + 1;
            nextColumn = 0;
        } else if (name == "c") {
            const char* r = attribute(atts, "r");
            column = r != nullptr ? columnOfReference(r) : nextColumn;
            if (column < 0)
                column = nextColumn;
            nextColumn = column + 1;
            const char* t = attribute(atts, "t");
            type = t != nullptr ? t : "n";
            value.clear();
        } else if (name == "v") {
            inValue = true;
        } else if (name == "is") {
            inInline = true;
        } else if (name == "rPh") {
            ++phonetic;
        } else if (name == "t" && inInline && phonetic == 0) {
            inValue = true;
        }
    }
    void end(std::string_view name)
    {
        if (name == "v" || name == "t") {
            inValue = false;
        } else if (name == "is") {
            inInline = false;
        } else if (name == "rPh") {
            --phonetic;
        } else if (name == "c") {
            putCell();
        } else if (name == "row") {
            bool any = false;
            for (const std::string& c : row.cells)
                any = any || c.find_first_not_of(" \t\r\n") != std::string::npos;
            if (any)
                sheet.rows.push_back(std::move(row));
            row = SheetRow{};
        }
    }
    void text(std::string_view s)
    {
        if (inValue)
            value += s;
    }
    void putCell()
    {
        std::string text;
        if (type == "s") {
            std::size_t index = 0;
            const auto [p, ec] = std::from_chars(value.data(), value.data() + value.size(), index);
            if (ec != std::errc() || index >= shared->size()) {
                problem = "ссылка на строку " + value + " вне таблицы строк";
                return;
            }
            text = (*shared)[index];
        } else if (type == "n") {
            text = value.empty() ? std::string() : numberText(value);
        } else if (type == "b") {
            text = value == "1" ? "ИСТИНА" : "ЛОЖЬ";
        } else {
            text = value;  // str, inlineStr, e
        }
        if (text.empty())
            return;
        if (++cells > maxCells) {
            problem = "лист слишком велик";
            return;
        }
        // Trailing blanks and line ends of a cell do not belong to its text.
        const auto last = text.find_last_not_of(" \t\r\n");
        text.erase(last == std::string::npos ? 0 : last + 1);
        const auto first = text.find_first_not_of(" \t\r\n");
        text.erase(0, first == std::string::npos ? text.size() : first);
        if (static_cast<std::size_t>(column) >= row.cells.size())
            row.cells.resize(static_cast<std::size_t>(column) + 1);
        row.cells[static_cast<std::size_t>(column)] = std::move(text);
        if (type == "n") {
            row.numbers.resize(row.cells.size());
            row.numbers[static_cast<std::size_t>(column)] = 1;
        }
    }
    bool failed() const { return !problem.empty(); }
    Error error(const std::string& part) const
    {
        return Error{ErrorKind::Generic, "книга XLSX повреждена: часть «" + part + "»: " + problem};
    }
};

// "worksheets/sheet1.xml" (relative to xl/) or "/xl/worksheets/sheet1.xml" as a part name.
std::string partName(const std::string& target)
{
    if (!target.empty() && target.front() == '/')
        return target.substr(1);
    return "xl/" + target;
}

Result<std::string> requiredPart(Zip& zip, const std::string& name)
{
    auto part = zip.part(name);
    if (!part)
        return part.error();
    if (!*part)
        return Error{ErrorKind::Generic, "книга XLSX повреждена: нет части «" + name + "»"};
    return std::move(**part);
}

Result<std::vector<SheetEntry>> sheetsOf(Zip& zip)
{
    auto workbook = requiredPart(zip, "xl/workbook.xml");
    if (!workbook)
        return workbook.error();
    WorkbookHandler handler;
    if (Status parsed = parseXml(*workbook, handler, "xl/workbook.xml"); !parsed)
        return parsed.error();
    if (handler.sheets.empty())
        return Error{ErrorKind::Generic, "в книге XLSX нет ни одного листа"};
    return handler.sheets;
}

Error notWorkbook()
{
    return Error{ErrorKind::Generic, "файл не является книгой XLSX (не читается как архив zip)"};
}

}  // namespace

bool looksLikeWorkbook(std::string_view bytes)
{
    return bytes.size() >= 4 && bytes.substr(0, 4) == std::string_view("PK\x03\x04", 4);
}

Result<std::vector<std::string>> workbookSheetNames(std::string_view bytes)
{
    Zip zip(bytes);
    if (!zip.ok())
        return notWorkbook();
    auto sheets = sheetsOf(zip);
    if (!sheets)
        return sheets.error();
    std::vector<std::string> names;
    for (const SheetEntry& s : *sheets)
        names.push_back(s.name);
    return names;
}

Result<Sheet> readWorkbookSheet(std::string_view bytes, std::string_view wanted, std::size_t maxCells)
{
    Zip zip(bytes);
    if (!zip.ok())
        return notWorkbook();
    auto sheets = sheetsOf(zip);
    if (!sheets)
        return sheets.error();
    std::size_t chosen = 0;
    if (!wanted.empty()) {
        const auto byName = std::find_if(sheets->begin(), sheets->end(),
                                         [&](const SheetEntry& s) { return s.name == wanted; });
        std::size_t number = 0;
        const auto [p, ec] = std::from_chars(wanted.data(), wanted.data() + wanted.size(), number);
        if (byName != sheets->end())
            chosen = static_cast<std::size_t>(byName - sheets->begin());
        else if (ec == std::errc() && p == wanted.data() + wanted.size() && number >= 1 &&
                 number <= sheets->size())
            chosen = number - 1;
        else
            return Error{ErrorKind::Generic, "в книге нет листа «" + std::string(wanted) + "»"};
    }
    const SheetEntry& entry = (*sheets)[chosen];

    RelationsHandler relations;
    auto rels = requiredPart(zip, "xl/_rels/workbook.xml.rels");
    if (!rels)
        return rels.error();
    if (Status parsed = parseXml(*rels, relations, "xl/_rels/workbook.xml.rels"); !parsed)
        return parsed.error();
    const auto target = relations.targets.find(entry.relation);
    if (target == relations.targets.end())
        return Error{ErrorKind::Generic,
                     "книга XLSX повреждена: не найдена часть листа «" + entry.name + "»"};

    SharedStringsHandler strings;
    auto shared = zip.part("xl/sharedStrings.xml");
    if (!shared)
        return shared.error();
    if (*shared) {
        if (Status parsed = parseXml(**shared, strings, "xl/sharedStrings.xml"); !parsed)
            return parsed.error();
    }

    const std::string sheetPart = partName(target->second);
    auto sheetXml = requiredPart(zip, sheetPart);
    if (!sheetXml)
        return sheetXml.error();
    SheetHandler handler;
    handler.shared = &strings.strings;
    handler.maxCells = maxCells;
    if (Status parsed = parseXml(*sheetXml, handler, sheetPart); !parsed)
        return parsed.error();
    handler.sheet.dialect = "книга XLSX, лист «" + entry.name + "»";
    return std::move(handler.sheet);
}

}  // namespace veltris
