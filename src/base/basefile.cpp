#include "base/basefile.h"

#include <algorithm>
#include <bit>
#include <charconv>
#include <cstring>
#include <limits>
#include <vector>

#ifdef __linux__
#include <sys/mman.h>
#include <unistd.h>
#endif

#include "base/catalogue.h"
#include "base/fileio.h"
#include "base/valuetext.h"

namespace veltris {

namespace {

static_assert(std::endian::native == std::endian::little, "the file layout is read in place");

constexpr int kColumnMapOffset = kHeaderSize;          // 167
constexpr int kSecondCountOffset = kColumnMapOffset + kMaxParamColumns;  // 197
constexpr int kViewMaskOffset = kSecondCountOffset + 4;  // 201
static_assert(kViewMaskOffset + kMaxParamColumns == kLeadSize);

constexpr int kMaxName = 15;
constexpr int kSlotsOffset = 16;
constexpr int kSlotSize = 9;
constexpr int kDrawingOffset = 286;
constexpr int kDrawingOffsetV3 = 256;
constexpr int kMaxColourCode = 8;

// Bipolar transistors keep the current gain range in two slots.
constexpr int kRangeColumn = 14;
constexpr int kRangeSlotA = 13;
constexpr int kRangeSlotB = 14;

constexpr char kWriteFailed[] = "Ошибка записи в файл";

// A large base's cell array is written once from start to end; on Linux, huge pages spare
// the page faults of a hundred megabytes touched for the first time.
void adviseHugePages([[maybe_unused]] void* p, [[maybe_unused]] size_t bytes)
{
#ifdef __linux__
    constexpr size_t kMin = size_t(8) << 20;
    if (bytes < kMin)
        return;
    const uintptr_t page = static_cast<uintptr_t>(::sysconf(_SC_PAGESIZE));
    const uintptr_t b = (reinterpret_cast<uintptr_t>(p) + page - 1) & ~(page - 1);
    const uintptr_t e = (reinterpret_cast<uintptr_t>(p) + bytes) & ~(page - 1);
    if (e > b)
        ::madvise(reinterpret_cast<void*>(b), e - b, MADV_HUGEPAGE);  // advice only
#endif
}

double loadDouble(const char* p)
{
    double v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

std::int16_t loadInt16(const char* p)
{
    std::int16_t v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

// Value slot of a plain value column (not the range column, not the LED colour).
int slotOfColumn(int code, int col)
{
    if (code == 1 && col > kRangeColumn)
        return col;
    return col - 1;
}

void appendShortString(std::vector<std::string>& cells, const char* field, int maxLen)
{
    const int len = std::min<int>(static_cast<unsigned char>(field[0]), maxLen);
    cells.emplace_back(field + 1, static_cast<size_t>(len));
}

void appendDrawingText(std::vector<std::string>& cells, std::int16_t n)
{
    char buf[8];
    const auto r = std::to_chars(buf, buf + sizeof buf, n);
    cells.emplace_back(buf, r.ptr);
}

// Cells are appended in row order straight into the table's storage.
void decodeRecordV3(const char* rec, std::vector<std::string>& cells)
{
    appendShortString(cells, rec, kMaxName);
    for (int i = 0; i < 13; ++i)
        cells.push_back(v3ValueText(loadDouble(rec + 16 + 8 * i)));
    cells.push_back(v3RangeText(loadDouble(rec + 120), loadDouble(rec + 128)));
    for (int i = 0; i < 15; ++i)
        cells.push_back(v3ValueText(loadDouble(rec + 136 + 8 * i)));
    appendDrawingText(cells, loadInt16(rec + kDrawingOffsetV3));
}

void decodeRecord(const char* rec, int code, int paramColumns, std::vector<std::string>& cells)
{
    appendShortString(cells, rec, kMaxName);
    const auto slot = [rec](int k) { return rec + kSlotsOffset + kSlotSize * k; };
    for (int c = 1; c < paramColumns; ++c) {
        if (code == 1 && c == kRangeColumn) {
            const char* a = slot(kRangeSlotA);
            cells.push_back(rangeValueText(static_cast<std::uint8_t>(a[0]), loadDouble(a + 1),
                                           loadDouble(slot(kRangeSlotB) + 1)));
        } else if (code == 7 && c == 1) {
            appendShortString(cells, slot(0), kMaxColourCode);
        } else {
            const char* s = slot(slotOfColumn(code, c));
            const auto flags = static_cast<std::uint8_t>(s[0]);
            const double v = loadDouble(s + 1);
            // Most cells are undecorated: build their text in place.
            if (v == 0)
                cells.emplace_back(1, '0');
            else if (flags == 0)
                cells.push_back(numberText(v));
            else
                cells.push_back(flaggedValueText(flags, v));
        }
    }
    appendDrawingText(cells, loadInt16(rec + kDrawingOffset));
}

// "12", "-7", "+3"; anything else (blanks, letters, out of range) is refused.
bool parseDrawingNumber(const std::string& text, std::int16_t& out)
{
    if (text.empty()) {
        out = 0;
        return true;
    }
    const char* b = text.data();
    const char* e = b + text.size();
    if (*b == '+') {
        ++b;
        if (b == e || *b == '-')
            return false;
    }
    int v = 0;
    const auto r = std::from_chars(b, e, v);
    if (r.ec != std::errc() || r.ptr != e || v < -32768 || v > 32767)
        return false;
    out = static_cast<std::int16_t>(v);
    return true;
}

std::string ledColourCode(const std::string& text)
{
    std::string code;
    for (char ch : text) {
        if (ch >= 'a' && ch <= 'z')
            ch = static_cast<char>(ch - 'a' + 'A');
        if (std::strchr("-/BGIJORY", ch) != nullptr && ch != '\0')
            code += ch;
        if (code.size() == kMaxColourCode)
            break;
    }
    if (code.size() < kMaxColourCode)
        code += ' ';
    return code;
}

// The common cell, a plain decimal such as "12" or "-0,25": parsed straight away. Returns
// false for anything else, which then takes the full conversion (same result for these texts).
bool parsePlainDecimal(const std::string& text, double& out)
{
    constexpr size_t kMaxPlain = 40;
    const size_t n = text.size();
    if (n == 0 || n > kMaxPlain)
        return false;
    char buf[kMaxPlain];
    size_t i = 0;
    if (text[0] == '-') {
        buf[0] = '-';
        i = 1;
    }
    const size_t intBegin = i;
    bool comma = false;
    for (; i < n; ++i) {
        const char c = text[i];
        if (c >= '0' && c <= '9') {
            buf[i] = c;
        } else if (c == ',' && !comma && i > intBegin && i + 1 < n) {
            buf[i] = '.';
            comma = true;
        } else {
            return false;
        }
    }
    if (i == intBegin)
        return false;
    const auto r = std::from_chars(buf, buf + n, out);
    return r.ec == std::errc() && r.ptr == buf + n;
}

void storeFlagged(char* slot, std::uint8_t flags, double v)
{
    slot[0] = static_cast<char>(flags);
    std::memcpy(slot + 1, &v, sizeof v);
}

// `cells` holds at least paramColumns + 1 texts of one row; paramColumns is 0 for types
// without a layout (only the name is stored).
bool encodeRecord(const std::string* cells, int code, int paramColumns, char* rec)
{
    const std::string& name = cells[0];
    const size_t nameLen = std::min<size_t>(name.size(), kMaxName);
    rec[0] = static_cast<char>(nameLen);
    std::memcpy(rec + 1, name.data(), nameLen);
    if (paramColumns == 0)
        return true;

    std::int16_t drawing = 0;
    if (!parseDrawingNumber(cells[paramColumns], drawing))
        return false;
    std::memcpy(rec + kDrawingOffset, &drawing, sizeof drawing);

    const auto slot = [rec](int k) { return rec + kSlotsOffset + kSlotSize * k; };
    for (int c = 1; c < paramColumns; ++c) {
        const std::string& text = cells[c];
        if (code == 1 && c == kRangeColumn) {
            const std::string filtered = numericFilter(text);
            if (filtered.empty())
                continue;
            const auto range = parseRange(filtered);
            if (!range)
                return false;
            storeFlagged(slot(kRangeSlotA), flagsOfText(text), range->a);
            storeFlagged(slot(kRangeSlotB), 0, range->b);
        } else if (code == 7 && c == 1) {
            const std::string colour = ledColourCode(text);
            char* s = slot(0);
            s[0] = static_cast<char>(colour.size());
            std::memcpy(s + 1, colour.data(), colour.size());
        } else if (text.empty() || text == "0") {
            continue;  // flags 0 and 0.0: the zero-filled slot already says so
        } else if (double v; parsePlainDecimal(text, v)) {
            storeFlagged(slot(slotOfColumn(code, c)), 0, v);
        } else {
            const auto value = cellToFlaggedValue(text);
            if (!value)
                return false;
            storeFlagged(slot(slotOfColumn(code, c)), value->flags, value->value);
        }
    }
    return true;
}

}  // namespace

int formatVersion(const std::uint8_t* header)
{
    const std::uint8_t* v = header + 58;
    float f;
    std::memcpy(&f, v, sizeof f);
    if (f == 4.0f)
        return 4;
    if (f == 3.0f)
        return 3;
    if (v[0] == 5)
        return 5;
    return 0;
}

int headerDeviceType(const std::uint8_t* header)
{
    switch (formatVersion(header)) {
    case 3:
    case 4: return 1;
    case 5: return header[59];
    default: return 0;
    }
}

int recordSize(int version)
{
    switch (version) {
    case 3: return kRecordSizeV3;
    case 4:
    case 5: return kRecordSize;
    default: return 0;
    }
}

Result<ComponentBase> decodeBase(std::string_view bytes, const Catalogue& catalogue)
{
    if (bytes.size() < static_cast<size_t>(kLeadSize))
        return Error{ErrorKind::TooShort, "Файл слишком короткий: в нём нет заголовка базы"};
    const auto* u = reinterpret_cast<const std::uint8_t*>(bytes.data());
    const int version = formatVersion(u);
    if (version == 0)
        return Error{ErrorKind::VersionMismatch, "Несоответствие версии файла"};

    ComponentBase base;
    std::memcpy(base.header.data(), u, kHeaderSize);
    std::memcpy(base.columnMap.data(), u + kColumnMapOffset, kMaxParamColumns);
    std::memcpy(&base.secondColumnCount, u + kSecondCountOffset, sizeof base.secondColumnCount);
    std::memcpy(base.viewMask.data(), u + kViewMaskOffset, kMaxParamColumns);
    base.deviceType = static_cast<std::uint16_t>(headerDeviceType(u));

    // Types without a record layout (0, 2, above 7) show no records under empty titles.
    const bool hasLayout = findDeviceType(base.deviceType) != nullptr;
    const int columns = tableColumnCount(base.deviceType);
    const size_t size = static_cast<size_t>(recordSize(version));
    const size_t records = hasLayout ? (bytes.size() - kLeadSize) / size : 0;
    if (records >= static_cast<size_t>(std::numeric_limits<int>::max()))
        return Error{ErrorKind::Generic, "Файл слишком большой"};

    std::vector<std::string> cells;
    cells.reserve((records + 1) * static_cast<size_t>(columns));
    adviseHugePages(cells.data(), cells.capacity() * sizeof(std::string));
    cells.resize(static_cast<size_t>(columns));  // the title row
    const char* rec = bytes.data() + kLeadSize;
    for (size_t i = 0; i < records; ++i, rec += size) {
        if (version == 3)
            decodeRecordV3(rec, cells);
        else
            decodeRecord(rec, base.deviceType, columns - 1, cells);
    }
    base.table.adopt(static_cast<int>(records) + 1, columns, std::move(cells));
    base.applyTitles(catalogue);
    return base;
}

Result<ComponentBase> readBase(const std::filesystem::path& path, const Catalogue& catalogue)
{
    auto bytes = readFileBytes(path);
    if (!bytes)
        return bytes.error();
    return decodeBase(*bytes, catalogue);
}

Result<std::string> encodeBase(const ComponentBase& base)
{
    const Error failed{ErrorKind::WriteFailed, kWriteFailed};
    if (base.deviceType > 255)
        return failed;
    const int rows = std::max(base.table.rowCount() - 1, 0);
    std::string out(kLeadSize + static_cast<size_t>(rows) * kRecordSize, '\0');
    char* p = out.data();

    std::memcpy(p, base.header.data(), kHeaderSize);
    p[58] = 5;
    p[59] = static_cast<char>(base.deviceType);
    p[60] = 0;
    p[61] = 0;
    std::memcpy(p + kColumnMapOffset, base.columnMap.data(), kMaxParamColumns);
    std::memcpy(p + kSecondCountOffset, &base.secondColumnCount, sizeof base.secondColumnCount);
    std::memcpy(p + kViewMaskOffset, base.viewMask.data(), kMaxParamColumns);

    const DeviceType* type = findDeviceType(base.deviceType);
    const int paramColumns = type != nullptr ? type->columnCount : 0;
    const Table& t = base.table;
    // A table narrower than the layout (never made by the reader) reads as empty cells.
    std::vector<std::string> padded;
    char* rec = p + kLeadSize;
    for (int r = 1; r <= rows; ++r, rec += kRecordSize) {
        const std::string* cells = nullptr;
        if (t.columnCount() > paramColumns) {
            cells = &t.at(r, 0);
        } else {
            padded.assign(static_cast<size_t>(paramColumns) + 1, std::string());
            for (int c = 0; c < t.columnCount(); ++c)
                padded[static_cast<size_t>(c)] = t.at(r, c);
            cells = padded.data();
        }
        if (!encodeRecord(cells, base.deviceType, paramColumns, rec))
            return failed;
    }
    return out;
}

Status writeBase(const ComponentBase& base, const std::filesystem::path& path)
{
    auto bytes = encodeBase(base);
    if (!bytes)
        return bytes.error();
    return writeFileAtomic(path, *bytes, kWriteFailed);
}

}  // namespace veltris
