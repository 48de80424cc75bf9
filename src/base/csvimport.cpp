#include "base/csvimport.h"

#include <algorithm>
#include <charconv>
#include <climits>
#include <cstring>
#include <new>

#include "base/catalogue.h"
#include "base/cp1251.h"
#include "base/table.h"
#include "base/tableops.h"
#include "base/typedvalue.h"
#include "base/valuetext.h"
#include "base/workbookcsv.h"
#include "base/xlsxread.h"

namespace veltris {

namespace {

constexpr char kSeparators[] = {';', ',', '\t'};
constexpr std::size_t kShownTextMax = 60;  // characters of a cell named in a message

enum class ColumnRole : std::uint8_t {
    Name,
    Value,
    Range,
    Colour,
    Drawing
};

ColumnRole roleOf(const DeviceType& type, int col)
{
    if (col == 0)
        return ColumnRole::Name;
    if (col == type.columnCount)
        return ColumnRole::Drawing;
    if (col == type.rangeColumn)
        return ColumnRole::Range;
    if (col == type.colourColumn)
        return ColumnRole::Colour;
    return ColumnRole::Value;
}

CellKind kindOf(ColumnRole role)
{
    switch (role) {
    case ColumnRole::Value: return CellKind::Value;
    case ColumnRole::Range: return CellKind::Range;
    case ColumnRole::Drawing: return CellKind::Drawing;
    default: return CellKind::Text;
    }
}

bool hasHighBytes(std::string_view t)
{
    for (const char c : t)
        if (static_cast<unsigned char>(c) >= 0x80)
            return true;
    return false;
}

// The first record's fields as Windows-1251 titles.
std::vector<std::string> titlesOf(const CsvRecord& record, CsvEncoding encoding)
{
    std::vector<std::string> titles;
    titles.reserve(record.fields.size());
    for (const std::string_view f : record.fields)
        titles.push_back(encoding == CsvEncoding::Utf8 ? utf8ToCp1251(f) : std::string(f));
    return titles;
}

// The title row split with `separator`; false when the text holds no record.
bool titleRow(std::string_view text, char separator, CsvEncoding encoding, std::vector<std::string>& titles)
{
    CsvSplitter splitter(text, separator);
    CsvRecord record;
    if (!splitter.next(record))
        return false;
    titles = titlesOf(record, encoding);
    return true;
}

// The separator the title row reads best with: the most titles naming columns (of `code`, or of
// the type they name best), then the most fields; ';' first among equals, as the export writes.
char detectSeparator(std::string_view text, CsvEncoding encoding, const Catalogue& catalogue, int code)
{
    char best = ';';
    int bestScore = -1;
    std::size_t bestFields = 0;
    for (const char sep : kSeparators) {
        std::vector<std::string> titles;
        if (!titleRow(text, sep, encoding, titles))
            return ';';
        int score = 0;
        if (code != 0) {
            score = matchedTitleCount(titles, catalogue, code);
        } else {
            for (const DeviceType& t : supportedDeviceTypes())
                score = std::max(score, matchedTitleCount(titles, catalogue, t.code));
        }
        if (score > bestScore || (score == bestScore && titles.size() > bestFields)) {
            best = sep;
            bestScore = score;
            bestFields = titles.size();
        }
    }
    return best;
}

std::string shownText(std::string_view utf8)
{
    // Cut at a character boundary.
    std::size_t chars = 0;
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        if ((static_cast<unsigned char>(utf8[i]) & 0xC0) == 0x80)
            continue;
        if (chars++ == kShownTextMax)
            return std::string(utf8.substr(0, i)) + "…";
    }
    return std::string(utf8);
}

// The text a stored cell shows (the table's own rules).
std::string storedCellText(const ColumnStore& c, std::size_t i)
{
    switch (c.kind) {
    case CellKind::Text: return c.text(i);
    case CellKind::Value: return flaggedValueText(c.flags[i], c.a[i]);
    case CellKind::Range: return rangeValueText(c.flags[i], c.a[i], c.b[i]);
    case CellKind::V3Range: return v3RangeText(c.a[i], c.b[i]);
    case CellKind::Drawing: {
        char buf[8];
        const auto r = std::to_chars(buf, buf + sizeof buf, c.drawing[i]);
        return std::string(buf, r.ptr);
    }
    }
    return {};
}

// Lines of the text (an upper bound of its records): its line feeds, plus one.
std::size_t lineCount(std::string_view text)
{
    std::size_t lines = 1;
    const char* p = text.data();
    const char* const end = p + text.size();
    while (const void* lf = std::memchr(p, '\n', static_cast<std::size_t>(end - p))) {
        ++lines;
        p = static_cast<const char*>(lf) + 1;
    }
    // CR alone ends lines too.
    if (lines == 1)
        lines += static_cast<std::size_t>(std::count(text.begin(), text.end(), '\r'));
    return lines;
}

// Cells appended to the columns being filled, one row at a time.
std::size_t storedCount(const ColumnStore& c)
{
    switch (c.kind) {
    case CellKind::Text: return c.texts.size();
    case CellKind::Drawing: return c.drawing.size();
    default: return c.a.size();
    }
}

void truncateColumn(ColumnStore& c, std::size_t rows)
{
    if (c.kind == CellKind::Text)
        c.texts.resize(rows);
    else
        c.resize(rows);
}

VELTRIS_ALWAYS_INLINE void pushValue(ColumnStore& c, std::uint8_t flags, std::uint8_t cls, double v)
{
    c.flags.push_back(flags);
    c.classes.push_back(cls);
    c.a.push_back(v);
}

void pushRange(ColumnStore& c, const CellRange& v)
{
    c.flags.push_back(v.flags);
    c.classes.push_back(v.cls);
    c.a.push_back(v.a);
    c.b.push_back(v.b);
}

void pushEmpty(ColumnStore& c)
{
    switch (c.kind) {
    case CellKind::Text: c.texts.emplace_back(); break;
    case CellKind::Drawing: c.drawing.push_back(0); break;
    case CellKind::Range: pushRange(c, {}); break;
    default: pushValue(c, 0, kValueZero, 0); break;
    }
}

class Importer {
public:
    Importer(const Catalogue& catalogue, const CsvImportOptions& options)
        : m_catalogue(catalogue), m_options(options)
    {}

    Result<CsvImport> run(std::string_view bytes);

private:
    Status chooseType(const std::vector<std::string>& titles, int& code) const;
    void readRecord(const CsvRecord& record);
    // Reads the line at `pos` straight from the text when it is a good record of unquoted fields
    // needing no conversion: each field is read as it is scanned. True (pos and line past it)
    // when done; false when the line needs the splitter and readRecord (quotes, a bad cell, ...).
    bool readPlainLine(std::string_view text, std::size_t& pos, int& line);
    // Steps over a line of separators and blanks alone (a spreadsheet's empty row): true (pos
    // and line past it) when the line at `pos` is one.
    bool skipBlankLine(std::string_view text, std::size_t& pos, int& line) const;
    // Every column back to the rows taken (the cells of a line that is not taken go).
    void dropLine();
    void addProblem(int line, int column, std::string message);
    std::string titleOfColumn(int col) const;

    const Catalogue& m_catalogue;
    const CsvImportOptions& m_options;
    CsvImport m_out;
    const DeviceType* m_type = nullptr;
    std::vector<std::string> m_titles;
    std::vector<int> m_fieldOf;  // per main-table column: its field, -1 none
    struct FieldSlot {
        ColumnStore* store = nullptr;  // none: the field fills no column
        ColumnRole role = ColumnRole::Name;
    };
    std::vector<FieldSlot> m_fieldSlots;  // per field of the title row
    bool m_unfilled = false;              // some column has no field
    std::vector<ColumnRole> m_roles;
    std::vector<ColumnStore> m_columns;
    std::size_t m_rows = 0;
    std::vector<std::string> m_converted;  // UTF-8 fields turned into Windows-1251
    std::string m_scratch;                 // the same for a line read as it is scanned
    std::vector<CellFault> m_faults;       // per main-table column, for the line being read
    std::vector<ColumnUnit> m_units;       // per main-table column, from its title
    std::vector<std::string> m_problems;   // per main-table column: what a typed text did not read as
    // A value or range cell that is not in the export's own form, read as typed text is read
    // ("1.5", "1,5 А", "4к7"): true with the stored form, or false with what was not understood.
    bool readTypedCell(int col, std::string_view raw, bool range, std::uint8_t& flags, double& a, double& b);
};

Status Importer::chooseType(const std::vector<std::string>& titles, int& code) const
{
    const ComponentBase* into = m_options.into;
    code = m_options.deviceType;
    if (into != nullptr) {
        const int own = into->deviceType;
        if (!findDeviceType(own))
            return Error{ErrorKind::Generic, "У открытой базы не задан тип приборов с описанием столбцов"};
        if (code != 0 && code != own)
            return Error{ErrorKind::Generic, std::string("Тип приборов «") + deviceTypeCaption(code) +
                                                 "» не тот, что у базы («" + deviceTypeCaption(own) + "»)"};
        if (code == 0) {
            const auto named = detectDeviceType(titles, m_catalogue);
            if (named && *named != own)
                return Error{ErrorKind::Generic,
                             std::string("Заголовки столбцов файла — от типа приборов «") +
                                 deviceTypeCaption(*named) + "», а база — «" + deviceTypeCaption(own) + "»"};
        }
        code = own;
        return {};
    }
    if (code == 0) {
        const auto named = detectDeviceType(titles, m_catalogue);
        if (!named)
            return named.error();
        code = *named;
    }
    if (!findDeviceType(code))
        return Error{ErrorKind::Generic,
                     "Тип приборов с кодом " + std::to_string(code) + " не имеет описания столбцов"};
    return {};
}

bool Importer::readTypedCell(int col, std::string_view raw, bool range, std::uint8_t& flags, double& a,
                             double& b)
{
    const auto k = static_cast<std::size_t>(col);
    const TypedReading r = readTypedValue(
        m_out.encoding == CsvEncoding::Utf8 ? std::string(raw) : cp1251ToUtf8(raw), m_units[k], range);
    if (!r.ok) {
        m_problems[k] = r.problem;
        return false;
    }
    flags = r.value.flags;
    a = r.value.a;
    b = r.value.b;
    return true;
}

std::string Importer::titleOfColumn(int col) const
{
    const int field = m_fieldOf[static_cast<std::size_t>(col)];
    std::string title =
        field >= 0 ? oneLineTitleUtf8(m_titles[static_cast<std::size_t>(field)]) : std::string();
    if (title.empty())
        title = col == 0 ? "название" : "столбец " + std::to_string(col);
    return title;
}

void Importer::addProblem(int line, int column, std::string message)
{
    ++m_out.problemCount;
    if (m_out.problems.size() < kMaxListedProblems)
        m_out.problems.push_back({line, column, std::move(message)});
}

void Importer::dropLine()
{
    for (ColumnStore& c : m_columns)
        truncateColumn(c, m_rows);
}

void Importer::readRecord(const CsvRecord& record)
{
    const int cols = static_cast<int>(m_columns.size());
    const bool utf8 = m_out.encoding == CsvEncoding::Utf8;
    const std::size_t problemsBefore = m_out.problemCount;
    const std::size_t i = m_rows;  // the place of this line's cells in the columns
    std::string lineProblem;

    const auto fieldOf = [&](int col) -> std::string_view {
        const int f = m_fieldOf[static_cast<std::size_t>(col)];
        return f >= 0 && static_cast<std::size_t>(f) < record.fields.size()
                   ? record.fields[static_cast<std::size_t>(f)]
                   : std::string_view();
    };
    // The cell's Windows-1251 text; `lossy` when UTF-8 text had no Windows-1251 form.
    const auto cellText = [&](int col, bool& lossy) -> std::string_view {
        const std::string_view raw = fieldOf(col);
        lossy = false;
        if (!utf8 || !hasHighBytes(raw))
            return raw;
        std::string& out = m_converted[static_cast<std::size_t>(col)];
        out = utf8ToCp1251(raw, &lossy);
        return out;
    };

    for (int col = 0; col < cols; ++col) {
        bool lossy = false;
        const std::string_view text = cellText(col, lossy);
        ColumnStore& c = m_columns[static_cast<std::size_t>(col)];
        CellFault fault = CellFault::NotInCodePage;
        switch (m_roles[static_cast<std::size_t>(col)]) {
        case ColumnRole::Value: {
            CellValue v;
            if (!lossy)
                fault = readValueCell(text, v);
            if (fault != CellFault::None) {
                double unused = 0;
                if (readTypedCell(col, fieldOf(col), false, v.flags, v.value, unused)) {
                    fault = CellFault::None;
                    v.cls = classifyValue(v.value);
                }
            }
            pushValue(c, v.flags, v.cls, v.value);
            break;
        }
        case ColumnRole::Name:
            if (!lossy)
                fault = checkNameCell(withoutFormulaGuard(text));
            c.texts.emplace_back(withoutFormulaGuard(text));
            break;
        case ColumnRole::Colour:
            if (!lossy)
                fault = checkColourCell(withoutFormulaGuard(text));
            c.texts.emplace_back(withoutFormulaGuard(text));
            break;
        case ColumnRole::Range: {
            CellRange v;
            if (!lossy)
                fault = readRangeCell(text, v);
            if (fault != CellFault::None && readTypedCell(col, fieldOf(col), true, v.flags, v.a, v.b)) {
                fault = CellFault::None;
                v.cls = static_cast<std::uint8_t>(classifyValue(v.a) | classifyValue(v.b) << 2);
            }
            pushRange(c, v);
            break;
        }
        case ColumnRole::Drawing: {
            std::int16_t n = 0;
            if (!lossy)
                fault = readDrawingCell(text, n);
            c.drawing.push_back(n);
            break;
        }
        }
        m_faults[static_cast<std::size_t>(col)] = fault;
        if (fault != CellFault::None) {
            const std::string_view raw = fieldOf(col);
            std::string message = cellProblemMessage(record.line, titleOfColumn(col),
                                                     utf8 ? std::string(raw) : cp1251ToUtf8(raw), fault);
            std::string& problem = m_problems[static_cast<std::size_t>(col)];
            if (!problem.empty() && (fault == CellFault::NotNumber || fault == CellFault::NotRange)) {
                message += ": ";
                message += problem;
            }
            problem.clear();
            addProblem(record.line, col, std::move(message));
        }
    }

    // Fields past the title row: a trailing empty one is harmless, text there has no column.
    for (std::size_t f = m_titles.size(); f < record.fields.size(); ++f)
        if (record.fields[f].find_first_not_of(" \t") != std::string_view::npos) {
            lineProblem = "полей больше, чем столбцов в строке заголовков";
            break;
        }
    if (record.cut)
        lineProblem = "полей больше, чем столбцов в строке заголовков";
    if (record.openQuote)
        lineProblem = "кавычка не закрыта до конца файла";
    if (!lineProblem.empty())
        addProblem(record.line, -1, "строка " + std::to_string(record.line) + ": " + lineProblem);

    if (m_out.preview.size() < static_cast<std::size_t>(std::max(m_options.previewRows, 0))) {
        CsvPreviewRow row;
        row.line = record.line;
        row.lineProblem = lineProblem;
        row.cells.resize(static_cast<std::size_t>(cols));
        row.bad.resize(static_cast<std::size_t>(cols));
        for (int col = 0; col < cols; ++col) {
            const auto k = static_cast<std::size_t>(col);
            row.bad[k] = m_faults[k] != CellFault::None;
            bool lossy = false;
            row.cells[k] = row.bad[k] ? std::string(cellText(col, lossy)) : storedCellText(m_columns[k], i);
        }
        m_out.preview.push_back(std::move(row));
    }
    if (m_out.problemCount != problemsBefore) {
        m_out.badLines.push_back(record.line);
        dropLine();
        return;
    }
    ++m_rows;
}

bool Importer::skipBlankLine(std::string_view text, std::size_t& pos, int& line) const
{
    const char sep = m_out.separator;
    std::size_t i = pos;
    while (i < text.size() && (text[i] == sep || text[i] == ' ' || text[i] == '\t'))
        ++i;
    if (i == pos || (i < text.size() && text[i] != '\n' && text[i] != '\r'))
        return false;  // an empty line is the splitter's to step over
    if (i < text.size()) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
            ++i;
        ++i;
    }
    pos = i;
    ++line;
    return true;
}

bool Importer::readPlainLine(std::string_view text, std::size_t& pos, int& line)
{
    const char sep = m_out.separator;
    const char* p = text.data() + pos;
    const char* const end = text.data() + text.size();
    if (p == end || *p == '\n' || *p == '\r')
        return false;  // the splitter steps over empty lines
    const bool utf8 = m_out.encoding == CsvEncoding::Utf8;
    const std::size_t fieldCount = m_fieldSlots.size();
    const auto giveUp = [this] {
        dropLine();
        return false;
    };
    std::size_t f = 0;
    while (true) {
        if (p < end && *p == '"')
            return giveUp();
        const FieldSlot slot = f < fieldCount ? m_fieldSlots[f] : FieldSlot{};
        ColumnStore* const c = slot.store;
        const char* fieldEnd = nullptr;
        if (c != nullptr && slot.role == ColumnRole::Value) {
            double v = 0;
            std::uint8_t flags = 0;
            std::uint8_t cls = 0;
            fieldEnd = scanValueField(p, end, sep, flags, v, cls);
            if (fieldEnd != nullptr)
                pushValue(*c, flags, cls, v);
        }
        if (fieldEnd == nullptr) {
            fieldEnd = p;
            while (!atFieldEnd(fieldEnd, end, sep))
                ++fieldEnd;
            const std::string_view cell(p, static_cast<std::size_t>(fieldEnd - p));
            if (c == nullptr) {
                // A field of no column: past the title row only an empty one is harmless.
                if (f >= fieldCount && cell.find_first_not_of(" \t") != std::string_view::npos)
                    return giveUp();
            } else {
                std::string_view text = cell;
                if (utf8 && hasHighBytes(cell)) {
                    // Only a name or a colour code may hold letters beyond ASCII.
                    if (slot.role != ColumnRole::Name && slot.role != ColumnRole::Colour)
                        return giveUp();
                    bool lossy = false;
                    m_scratch = utf8ToCp1251(cell, &lossy);
                    if (lossy)
                        return giveUp();
                    text = m_scratch;
                }
                switch (slot.role) {
                case ColumnRole::Value: {
                    CellValue v;
                    if (readValueCell(text, v) != CellFault::None)
                        return giveUp();
                    pushValue(*c, v.flags, v.cls, v.value);
                    break;
                }
                case ColumnRole::Name:
                    text = withoutFormulaGuard(text);
                    if (checkNameCell(text) != CellFault::None)
                        return giveUp();
                    c->texts.emplace_back(text);
                    break;
                case ColumnRole::Colour:
                    text = withoutFormulaGuard(text);
                    if (checkColourCell(text) != CellFault::None)
                        return giveUp();
                    c->texts.emplace_back(text);
                    break;
                case ColumnRole::Range: {
                    CellRange v;
                    if (readRangeCell(text, v) != CellFault::None)
                        return giveUp();
                    pushRange(*c, v);
                    break;
                }
                case ColumnRole::Drawing: {
                    std::int16_t n = 0;
                    if (readDrawingCell(text, n) != CellFault::None)
                        return giveUp();
                    c->drawing.push_back(n);
                    break;
                }
                }
            }
        }
        ++f;
        p = fieldEnd;
        if (p < end && *p == sep) {
            ++p;
            if (p < end && *p != '\n' && *p != '\r')
                continue;  // a separator at the end of the line opens no field
        }
        break;
    }
    // The columns this line has no field for are empty.
    if (f < fieldCount || m_unfilled)
        for (ColumnStore& c : m_columns)
            if (storedCount(c) == m_rows)
                pushEmpty(c);
    if (p < end) {
        if (*p == '\r' && p + 1 < end && p[1] == '\n')
            ++p;
        ++p;
    }
    pos = static_cast<std::size_t>(p - text.data());
    ++line;
    ++m_rows;
    return true;
}

Result<CsvImport> Importer::run(std::string_view bytes)
{
    if (const Status start = checkCsvStart(bytes); !start)
        return start.error();
    m_out.byteOrderMark = hasUtf8Bom(bytes);
    m_out.encoding = m_options.encoding ? *m_options.encoding : detectCsvEncoding(bytes);
    if (!m_options.encoding && m_out.encoding == CsvEncoding::Cp1251) {
        // Lines pasted in from a UTF-8 file: read as Windows-1251 they give nonsense letters.
        std::size_t count = 0;
        const std::vector<int> lines = utf8LinesIn(bytes, 5, count);
        if (!lines.empty()) {
            std::string named;
            for (const int l : lines)
                named += (named.empty() ? "" : ", ") + std::to_string(l);
            if (count > lines.size())
                named += " и ещё " + std::to_string(count - lines.size());
            m_out.warnings.push_back(std::string(count == 1 ? "строка " : "строки ") + named +
                                     (count == 1 ? " записана" : " записаны") +
                                     " в кодировке UTF-8, а файл — в Windows-1251: их буквы будут прочитаны "
                                     "неверно; сохраните файл целиком в одной кодировке");
        }
    }
    m_out.skipBadLines = m_options.skipBadLines;
    const std::string_view text = m_out.encoding == CsvEncoding::Utf8 ? withoutUtf8Bom(bytes) : bytes;

    CsvSplitter probe(text, ';');
    CsvRecord record;
    if (!probe.next(record))
        return Error{ErrorKind::Generic, "В файле нет строки заголовков столбцов"};

    // The separator is told from the title row, read as the asked type or as any type.
    const int askedType = m_options.into != nullptr ? m_options.into->deviceType : m_options.deviceType;
    m_out.separator = m_options.separator != 0
                          ? m_options.separator
                          : detectSeparator(text, m_out.encoding, m_catalogue, askedType);
    CsvSplitter splitter(text, m_out.separator);
    (void)splitter.next(record);
    m_titles = titlesOf(record, m_out.encoding);

    int code = 0;
    if (const Status chosen = chooseType(m_titles, code); !chosen)
        return chosen.error();
    m_type = findDeviceType(code);
    const auto match =
        matchHeader(m_titles, m_catalogue, code, m_options.into ? &m_options.into->columnMap : nullptr);
    if (!match)
        return match.error();
    m_out.header = *match;
    m_out.titles = m_titles;
    const bool anyTitle = std::any_of(m_titles.begin() + 1, m_titles.end(), [](const std::string& t) {
        return t.find_first_not_of(" \t") != std::string::npos;
    });
    const bool anyColumn = std::any_of(m_out.header.columns.begin() + 1, m_out.header.columns.end(),
                                       [](int c) { return c > 0; });
    if (anyTitle && !anyColumn)
        return Error{ErrorKind::Generic,
                     std::string("Ни один заголовок столбца не совпадает с названиями параметров типа «") +
                         deviceTypeCaption(code) + "»"};

    const int cols = m_type->columnCount + 1;
    m_fieldOf.assign(static_cast<std::size_t>(cols), -1);
    for (std::size_t f = 0; f < m_out.header.columns.size(); ++f)
        if (const int c = m_out.header.columns[f]; c >= 0 && c < cols)
            m_fieldOf[static_cast<std::size_t>(c)] = static_cast<int>(f);
    m_roles.resize(static_cast<std::size_t>(cols));
    m_columns.resize(static_cast<std::size_t>(cols));
    m_converted.resize(static_cast<std::size_t>(cols));
    m_faults.assign(static_cast<std::size_t>(cols), CellFault::None);
    m_units.resize(static_cast<std::size_t>(cols));
    m_problems.resize(static_cast<std::size_t>(cols));
    for (int col = 0; col < cols; ++col) {
        m_units[static_cast<std::size_t>(col)] = columnUnitOfUtf8Title(titleOfColumn(col));
        m_roles[static_cast<std::size_t>(col)] = roleOf(*m_type, col);
        m_columns[static_cast<std::size_t>(col)].kind = kindOf(m_roles[static_cast<std::size_t>(col)]);
    }
    // About one record a line: room for all of them at once.
    const std::size_t lines = lineCount(text);
    for (ColumnStore& c : m_columns) {
        switch (c.kind) {
        case CellKind::Text: c.texts.reserve(lines); break;
        case CellKind::Drawing: c.drawing.reserve(lines); break;
        case CellKind::Range: c.b.reserve(lines); [[fallthrough]];
        default:
            c.flags.reserve(lines);
            c.classes.reserve(lines);
            c.a.reserve(lines);
            break;
        }
    }

    m_unfilled = std::count(m_fieldOf.begin(), m_fieldOf.end(), -1) > 0;
    m_fieldSlots.assign(m_titles.size(), FieldSlot{});
    for (int col = 0; col < cols; ++col)
        if (const int f = m_fieldOf[static_cast<std::size_t>(col)]; f >= 0) {
            m_fieldSlots[static_cast<std::size_t>(f)] = {&m_columns[static_cast<std::size_t>(col)],
                                                         m_roles[static_cast<std::size_t>(col)]};
        }
    const std::size_t previewRows = static_cast<std::size_t>(std::max(m_options.previewRows, 0));
    while (true) {
        if (m_rows >= static_cast<std::size_t>(INT_MAX - 1))
            return Error{ErrorKind::Generic, "В файле слишком много строк"};
        // The lines of the preview and the lines with anything unusual take the splitter.
        {
            std::size_t pos = splitter.position();
            int line = splitter.line();
            if (skipBlankLine(text, pos, line) ||
                (m_out.preview.size() >= previewRows && readPlainLine(text, pos, line))) {
                splitter.seek(pos, line);
                continue;
            }
        }
        if (!splitter.next(record))
            break;
        if (std::all_of(record.fields.begin(), record.fields.end(), [](std::string_view f) {
                return f.find_first_not_of(" \t") == std::string_view::npos;
            }))
            continue;  // empty quoted fields alone: no record either
        readRecord(record);
    }

    ComponentBase& base = m_out.base;
    base.deviceType = static_cast<std::uint16_t>(code);
    base.columnMap = m_options.into != nullptr ? m_options.into->columnMap : m_out.header.columnMap;
    base.table = Table::fromColumns(static_cast<int>(m_rows) + 1, std::move(m_columns));
    base.applyTitles(m_catalogue);
    base.table.setCell(0, 0, m_options.deviceLabel);
    return std::move(m_out);
}

}  // namespace

Result<CsvImport> importCsv(std::string_view bytes, const Catalogue& catalogue,
                            const CsvImportOptions& options)
{
    try {
        if (looksLikeWorkbook(bytes)) {
            // A workbook's first sheet goes through the same reading and checks as a CSV file.
            auto text = workbookAsCsv(bytes);
            if (!text)
                return text.error();
            CsvImportOptions asCsv = options;
            asCsv.encoding = CsvEncoding::Utf8;
            asCsv.separator = ';';
            return Importer(catalogue, asCsv).run(*text);
        }
        return Importer(catalogue, options).run(bytes);
    } catch (const std::bad_alloc&) {
        return Error{ErrorKind::OutOfMemory, "Недостаточно памяти, чтобы прочитать файл CSV"};
    }
}

std::string cellProblemMessage(int line, std::string_view title, std::string_view text, CellFault fault)
{
    std::string msg = "строка " + std::to_string(line) + ", «";
    msg += title;
    msg += "»: «";
    msg += shownText(text);
    msg += "» — ";
    msg += cellFaultText(fault);
    return msg;
}

Status checkCsvStart(std::string_view bytes)
{
    // A workbook is a zip archive of XML: its sheet is read and checked as a CSV file is.
    if (looksLikeWorkbook(bytes))
        return {};
    // No text file holds a zero byte: a binary file, or text in UTF-16, is no CSV to read.
    if (bytes.starts_with("\xFF\xFE") || bytes.starts_with("\xFE\xFF"))
        return Error{ErrorKind::Generic,
                     "Файл в кодировке UTF-16: сохраните его как CSV в UTF-8 или Windows-1251"};
    // The title row: after a byte-order mark and empty lines, it ends within the longest length.
    // (Zero bytes may stand in the records' cells: the padding of a damaged name, an LED colour
    // code as a damaged base keeps it; the cells say what they take.)
    const std::string_view text = withoutUtf8Bom(bytes);
    const std::size_t first = text.find_first_not_of("\r\n");
    if (first == std::string_view::npos)
        return {};
    const std::size_t end = text.find_first_of("\r\n", first);
    const std::string_view titles = text.substr(
        first,
        std::min(end == std::string_view::npos ? text.size() : end, first + kMaxTitleLine + 1) - first);
    if (titles.find('\0') != std::string_view::npos) {
        const auto line =
            1 + std::count(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(first), '\n');
        return Error{ErrorKind::Generic,
                     "Это не текстовый файл CSV: в строке " + std::to_string(line) + " нулевой байт"};
    }
    const std::size_t length = (end == std::string_view::npos ? text.size() : end) - first;
    if (length > kMaxTitleLine)
        return Error{ErrorKind::Generic, "Первая строка файла длиннее " +
                                             std::to_string(kMaxTitleLine >> 10) +
                                             " КБ: это не строка заголовков столбцов таблицы"};
    return {};
}

const char* encodingName(CsvEncoding encoding)
{
    return encoding == CsvEncoding::Utf8 ? "UTF-8" : "Windows-1251";
}

std::string separatorName(char separator)
{
    if (separator == '\t')
        return "табуляция";
    return std::string("«") + separator + "»";
}

}  // namespace veltris
