#include "base/basefile.h"

#include <algorithm>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <memory>
#include <new>
#include <span>
#include <vector>

#include "base/catalogue.h"
#include "base/cp1251.h"
#include "base/fileio.h"
#include "base/hugepages.h"
#include "base/recordlayout.h"
#include "base/tableops.h"
#include "base/valuetext.h"

namespace veltris {

namespace {

static_assert(std::endian::native == std::endian::little, "the file layout is read in place");

constexpr int kColumnMapOffset = kHeaderSize;                            // 167
constexpr int kSecondCountOffset = kColumnMapOffset + kMaxParamColumns;  // 197
constexpr int kViewMaskOffset = kSecondCountOffset + 4;                  // 201
static_assert(kViewMaskOffset + kMaxParamColumns == kLeadSize);

using record::kDrawingOffset;
using record::kRangeSlotA;
using record::kRangeSlotB;
using record::kSlotSize;
using record::kSlotsOffset;
using record::kV3RangeColumn;
constexpr int kMaxName = record::kNameMax;
constexpr int kMaxColourCode = record::kColourMax;

constexpr char kWriteFailed[] = "Ошибка записи в файл";

// What a column of a record of type `code` holds (paramColumns columns after the name; the
// last of them the drawing number).
enum class Slot {
    Name,
    Value,
    Range,
    Colour,
    Drawing
};

Slot slotKind(int code, int paramColumns, int col)
{
    if (col == 0)
        return Slot::Name;
    if (col == paramColumns)
        return Slot::Drawing;
    const DeviceType* type = findDeviceType(code);
    if (type && col == type->rangeColumn)
        return Slot::Range;
    if (type && col == type->colourColumn)
        return Slot::Colour;
    return Slot::Value;
}

CellKind storedKind(Slot slot, int version)
{
    switch (slot) {
    case Slot::Value: return CellKind::Value;
    case Slot::Range: return version == 3 ? CellKind::V3Range : CellKind::Range;
    case Slot::Drawing: return CellKind::Drawing;
    default: return CellKind::Text;
    }
}

void putValue(ColumnStore& c, size_t i, std::uint8_t flags, double v)
{
    c.flags[i] = flags;
    c.a[i] = v;
    c.classes[i] = classifyValue(v);
}

// Stores record i into the columns: no text is made.
void decodeRecordV3(const char* rec, size_t i, std::vector<ColumnStore>& cols)
{
    cols[0].texts[i] = record::shortText(rec, kMaxName);
    const auto value = [&](int col, const char* p) {
        // A negative value shows as its magnitude in parentheses.
        const double v = record::load<double>(p);
        if (v < 0)
            putValue(cols[static_cast<size_t>(col)], i, kFlagParen, -v);
        else
            putValue(cols[static_cast<size_t>(col)], i, 0, v);
    };
    for (int c = 1; c < kV3RangeColumn; ++c)
        value(c, rec + record::v3ValueOffset(c));
    cols[kV3RangeColumn].a[i] = record::load<double>(rec + record::kV3RangeA);
    cols[kV3RangeColumn].b[i] = record::load<double>(rec + record::kV3RangeB);
    for (int c = kV3RangeColumn + 1; c < kMaxParamColumns; ++c)
        value(c, rec + record::v3ValueOffset(c));
    cols[kMaxParamColumns].drawing[i] = record::load<std::int16_t>(rec + record::kV3DrawingOffset);
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

// Writes one cell from its text into record `rec`. Returns false for a text the rules reject.
bool encodeTextCell(Slot slot, int code, int col, std::string_view text, char* rec)
{
    const auto at = [rec](int k) { return rec + kSlotsOffset + kSlotSize * k; };
    switch (slot) {
    case Slot::Name: {
        const size_t len = std::min<size_t>(text.size(), kMaxName);
        rec[0] = static_cast<char>(len);
        std::memcpy(rec + 1, text.data(), len);
        return true;
    }
    case Slot::Drawing: {
        std::int16_t drawing = 0;
        if (!parseDrawingNumber(std::string(text), drawing))
            return false;
        std::memcpy(rec + kDrawingOffset, &drawing, sizeof drawing);
        return true;
    }
    case Slot::Range: {
        const std::string filtered = numericFilter(text);
        if (filtered.empty())
            return true;
        const auto range = parseRange(filtered);
        if (!range)
            return false;
        storeFlagged(at(kRangeSlotA), flagsOfText(text), range->a);
        storeFlagged(at(kRangeSlotB), 0, range->b);
        return true;
    }
    case Slot::Colour: {
        const std::string colour = ledColourCode(std::string(text));
        char* s = at(0);
        s[0] = static_cast<char>(colour.size());
        std::memcpy(s + 1, colour.data(), colour.size());
        return true;
    }
    case Slot::Value: break;
    }
    if (text.empty() || text == "0")
        return true;  // flags 0 and 0.0: the zero-filled slot already says so
    char* s = at(record::valueSlot(code, col));
    if (double v; parsePlainDecimal(std::string(text), v)) {
        storeFlagged(s, 0, v);
        return true;
    }
    const auto value = cellToFlaggedValue(text);
    if (!value)
        return false;
    storeFlagged(s, value->flags, value->value);
    return true;
}

constexpr std::uint8_t kShownFlags = kFlagParen | kFlagBracket | kFlagBrace | kFlagLess | kFlagGreater;

// Writes a non-zero stored value into its slot as its text would be written. A value the text
// cannot carry (infinity, NaN, or a text that would not read back) is written as loaded.
void encodeUnusualValue(char* slot, std::uint8_t flags, double v, std::uint8_t cls)
{
    if (cls == kValueExact || cls == kValueRounded) {
        storeFlagged(slot, flags & kShownFlags, readBack(v, cls));
        return;
    }
    if (std::isfinite(v)) {
        if (const auto back = cellToFlaggedValue(flaggedValueText(flags, v))) {
            storeFlagged(slot, back->flags, back->value);
            return;
        }
    }
    storeFlagged(slot, flags, v);
}

// Writes an unedited range cell (a Range or V3Range column) into the record, which holds zeros
// in its two range slots, exactly as its text would be written.
void encodeStoredRange(const ColumnStore& c, std::uint32_t stored, int code, int col, char* rec)
{
    const auto at = [rec](int k) { return rec + kSlotsOffset + kSlotSize * k; };
    const double a = c.a[stored];
    const double b = c.b[stored];
    const std::uint8_t flags = c.kind == CellKind::Range ? c.flags[stored] : 0;
    // Ends that agree show as one number, and "-5" would read back as -5..5: such a cell
    // keeps its stored ends exactly.
    if (c.kind == CellKind::Range && std::fabs(a - b) <= 0.0001) {
        storeFlagged(at(kRangeSlotA), flags, a);
        storeFlagged(at(kRangeSlotB), 0, b);
        return;
    }
    const bool plain = c.kind == CellKind::Range && (c.classes[stored] & 0x3) != kValueOther &&
                       (c.classes[stored] >> 2) != kValueOther;
    if (plain) {
        double lo = 0;
        double hi = 0;
        storedRangeEnds(c, stored, lo, hi);
        storeFlagged(at(kRangeSlotA), flags & kShownFlags, lo);
        storeFlagged(at(kRangeSlotB), 0, hi);
        return;
    }
    if (std::isfinite(a) && std::isfinite(b)) {
        const std::string text = c.kind == CellKind::Range ? rangeValueText(flags, a, b) : v3RangeText(a, b);
        if (encodeTextCell(Slot::Range, code, col, text, rec))
            return;
    }
    storeFlagged(at(kRangeSlotA), flags, a);
    storeFlagged(at(kRangeSlotB), 0, b);
}

// Writes an unedited cell from its stored form, exactly as its text would be written. The
// common cases are computed from the stored form; the rest goes through the text. A value the
// text cannot carry (infinity, NaN, or a text that would not read back) is written as loaded.
bool encodeStoredCell(const Table& t, std::uint32_t stored, int col, Slot slot, int code, char* rec)
{
    const ColumnStore& c = t.column(col);
    if (c.kind == CellKind::Text)
        return encodeTextCell(slot, code, col, c.text(stored), rec);
    const auto at = [rec](int k) { return rec + kSlotsOffset + kSlotSize * k; };
    if (slot == Slot::Value && c.kind == CellKind::Value) {
        const double v = c.a[stored];
        char* s = at(record::valueSlot(code, col));
        if (c.classes[stored] != kValueZero)
            encodeUnusualValue(s, c.flags[stored], v, c.classes[stored]);
        return true;
    }
    if (slot == Slot::Range && (c.kind == CellKind::Range || c.kind == CellKind::V3Range)) {
        encodeStoredRange(c, stored, code, col, rec);
        return true;
    }
    if (slot == Slot::Drawing && c.kind == CellKind::Drawing) {
        const std::int16_t n = c.drawing[stored];
        std::memcpy(rec + kDrawingOffset, &n, sizeof n);
        return true;
    }
    // A column whose stored form is not what this record layout holds there (the device type
    // was changed) is written from its text.
    return encodeTextCell(slot, code, col, t.storedText(stored, col), rec);
}

// Stores records i0..i1-1 (starting at `first`) into the columns, column by column: each
// column array is written in order while the block's records stay in cache. No text is made.
// With `rewrite`, each record is then rewritten in place (the bytes at `first` are writable)
// into the bytes a save writes for it: the cells' canonical form, every other byte zero.
void decodeBlock(const char* first, size_t i0, size_t i1, int code, int paramColumns,
                 std::vector<ColumnStore>& cols, bool rewrite)
{
    const auto rec = [first](size_t i) { return first + i * kRecordSize; };
    const auto out = [first](size_t i) { return const_cast<char*>(first) + i * kRecordSize; };
    for (size_t i = i0; i < i1; ++i)
        cols[0].texts[i] = record::shortText(rec(i), kMaxName);
    if (rewrite) {
        for (size_t i = i0; i < i1; ++i) {
            char* r = out(i);
            const size_t len = cols[0].texts[i].size();
            r[0] = static_cast<char>(len);
            std::memset(r + 1 + len, 0, static_cast<size_t>(kMaxName) - len);
        }
    }
    // Slots no column of this type writes.
    std::uint64_t unusedSlots = (std::uint64_t{1} << kMaxParamColumns) - 1;
    for (int c = 1; c < paramColumns; ++c) {
        ColumnStore& col = cols[static_cast<size_t>(c)];
        switch (col.kind) {
        case CellKind::Range: {
            constexpr int a = kSlotsOffset + kSlotSize * kRangeSlotA;
            constexpr int b = kSlotsOffset + kSlotSize * kRangeSlotB;
            unusedSlots &= ~(std::uint64_t{1} << kRangeSlotA | std::uint64_t{1} << kRangeSlotB);
            for (size_t i = i0; i < i1; ++i) {
                const double va = record::load<double>(rec(i) + a + 1);
                const double vb = record::load<double>(rec(i) + b + 1);
                col.flags[i] = static_cast<std::uint8_t>(rec(i)[a]);
                col.a[i] = va;
                col.b[i] = vb;
                col.classes[i] = static_cast<std::uint8_t>(classifyValue(va) | classifyValue(vb) << 2);
            }
            if (rewrite) {
                for (size_t i = i0; i < i1; ++i) {
                    std::memset(out(i) + a, 0, 2 * kSlotSize);
                    encodeStoredRange(col, static_cast<std::uint32_t>(i), code, c, out(i));
                }
            }
            break;
        }
        case CellKind::Text:
            unusedSlots &= ~std::uint64_t{1};
            for (size_t i = i0; i < i1; ++i)
                col.texts[i] = record::shortText(rec(i) + kSlotsOffset, kMaxColourCode);
            if (rewrite) {
                for (size_t i = i0; i < i1; ++i) {
                    std::memset(out(i) + kSlotsOffset, 0, kSlotSize);
                    (void)encodeTextCell(Slot::Colour, code, c, col.texts[i], out(i));
                }
            }
            break;
        default: {
            const int slot = record::valueSlot(code, c);
            const int offset = kSlotsOffset + kSlotSize * slot;
            unusedSlots &= ~(std::uint64_t{1} << slot);
            for (size_t i = i0; i < i1; ++i) {
                const char* s = rec(i) + offset;
                putValue(col, i, static_cast<std::uint8_t>(s[0]), record::load<double>(s + 1));
            }
            if (rewrite) {
                for (size_t i = i0; i < i1; ++i) {
                    char* s = out(i) + offset;
                    const std::uint8_t cls = col.classes[i];
                    if (cls == kValueExact)
                        s[0] = static_cast<char>(col.flags[i] & kShownFlags);
                    else if (cls == kValueZero)
                        std::memset(s, 0, kSlotSize);
                    else
                        encodeUnusualValue(s, col.flags[i], col.a[i], cls);
                }
            }
            break;
        }
        }
    }
    std::vector<std::int16_t>& drawing = cols[static_cast<size_t>(paramColumns)].drawing;
    for (size_t i = i0; i < i1; ++i)
        drawing[i] = record::load<std::int16_t>(rec(i) + kDrawingOffset);
    if (rewrite && unusedSlots != 0) {
        for (int k = 0; k < kMaxParamColumns; ++k) {
            if (!(unusedSlots >> k & 1))
                continue;
            for (size_t i = i0; i < i1; ++i)
                std::memset(out(i) + kSlotsOffset + kSlotSize * k, 0, kSlotSize);
        }
    }
}

// Records encoded together: their bytes stay in cache while each column is written.
constexpr int kEncodeBlock = 256;

// A block of rows to encode: stored row order[i] goes to record `record[i]` (0-based) after
// `first`. Blocks run in stored order, so each column array is read forward also after a sort.
struct RowSpan {
    const std::uint32_t* order;
    const std::uint32_t* record;
    size_t count;
    char* first;

    char* recordOf(size_t i) const { return first + size_t{record[i]} * kRecordSize; }
};

// A Value column whose slot starts at `offset`. The common cells (zero, or a value its text
// reads back as) are written without a branch, the rest gathered and written after. Plain
// pointers throughout: the record bytes written may alias anything, so values read through the
// vectors would be fetched again after every store.
void encodeValueColumn(const ColumnStore& col, int offset, const RowSpan& span)
{
    const std::uint32_t* order = span.order;
    const std::uint8_t* classes = col.classes.data();
    const std::uint8_t* flags = col.flags.data();
    const double* values = col.a.data();
    std::uint32_t unusual[kEncodeBlock];
    size_t unusualCount = 0;
    for (size_t i = 0; i < span.count; ++i) {
        char* slot = span.recordOf(i) + offset;
        const std::uint32_t s = order[i];
        const std::uint8_t cls = classes[s];
        // All ones for a value written as it is stored; zero bytes for a zero (+0 or -0).
        const std::uint64_t keep = std::uint64_t{0} - std::uint64_t{cls == kValueExact};
        std::uint64_t bits;
        std::memcpy(&bits, values + s, sizeof bits);
        bits &= keep;
        slot[0] = static_cast<char>(flags[s] & kShownFlags & keep);
        std::memcpy(slot + 1, &bits, sizeof bits);
        unusual[unusualCount] = static_cast<std::uint32_t>(i);
        unusualCount += cls == kValueOther || cls == kValueRounded;
    }
    for (size_t k = 0; k < unusualCount; ++k) {
        const std::uint32_t i = unusual[k];
        const std::uint32_t s = order[i];
        encodeUnusualValue(span.recordOf(i) + offset, flags[s], values[s], classes[s]);
    }
}

void encodeNameColumn(const ColumnStore& col, const RowSpan& span)
{
    const std::uint32_t* order = span.order;
    const std::string* texts = col.texts.data();
    const size_t known = col.texts.size();
    for (size_t i = 0; i < span.count; ++i) {
        char* rec = span.recordOf(i);
        const std::uint32_t s = order[i];
        if (s >= known)
            continue;  // an empty text: length 0 over zero bytes
        const size_t len = std::min<size_t>(texts[s].size(), kMaxName);
        rec[0] = static_cast<char>(len);
        std::memcpy(rec + 1, texts[s].data(), len);
    }
}

void encodeDrawingColumn(const ColumnStore& col, const RowSpan& span)
{
    const std::uint32_t* order = span.order;
    const std::int16_t* drawing = col.drawing.data();
    for (size_t i = 0; i < span.count; ++i)
        std::memcpy(span.recordOf(i) + kDrawingOffset, &drawing[order[i]], sizeof(std::int16_t));
}

// Zeroes the bytes a cell of this kind writes, so that its text can be written over a cell
// already written from its stored form.
void clearCell(Slot slot, int code, int col, char* rec)
{
    const auto at = [rec](int k) { return rec + kSlotsOffset + kSlotSize * k; };
    switch (slot) {
    case Slot::Name: std::memset(rec, 0, kSlotsOffset); break;
    case Slot::Drawing: std::memset(rec + kDrawingOffset, 0, sizeof(std::int16_t)); break;
    case Slot::Range:
        std::memset(at(kRangeSlotA), 0, kSlotSize);
        std::memset(at(kRangeSlotB), 0, kSlotSize);
        break;
    case Slot::Colour: std::memset(at(0), 0, kSlotSize); break;
    case Slot::Value: std::memset(at(record::valueSlot(code, col)), 0, kSlotSize); break;
    }
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

namespace {

// The kLeadSize bytes before the records.
void encodeLead(const ComponentBase& base, char* p)
{
    std::memcpy(p, base.header.data(), kHeaderSize);
    p[58] = 5;
    p[59] = static_cast<char>(base.deviceType);
    p[60] = 0;
    p[61] = 0;
    std::memcpy(p + kColumnMapOffset, base.columnMap.data(), kMaxParamColumns);
    std::memcpy(p + kSecondCountOffset, &base.secondColumnCount, sizeof base.secondColumnCount);
    std::memcpy(p + kViewMaskOffset, base.viewMask.data(), kMaxParamColumns);
}

// With `owned` (the bytes themselves, `bytes` viewing them), the records of a version 4 or 5
// file with a record layout are rewritten in place into what a save writes for them and kept
// as the table's record image.
Result<ComponentBase> decodeBaseImpl(std::string_view bytes, const Catalogue& catalogue,
                                     std::string* owned = nullptr)
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

    // Types without a record layout (0, 2, above 7) show no records under empty titles; their
    // record bytes are kept as they are and written back on save.
    const bool hasLayout = findDeviceType(base.deviceType) != nullptr;
    const int columns = tableColumnCount(base.deviceType);
    const size_t size = static_cast<size_t>(recordSize(version));
    if (!hasLayout)
        base.keptRecords.assign(bytes.substr(kLeadSize));
    const size_t records = hasLayout ? (bytes.size() - kLeadSize) / size : 0;
    if (hasLayout)
        base.unreadTailBytes = (bytes.size() - kLeadSize) % size;
    if (records >= static_cast<size_t>(std::numeric_limits<int>::max()))
        return Error{ErrorKind::Generic, "Файл слишком большой"};

    std::vector<ColumnStore> cols(static_cast<size_t>(columns));
    for (int c = 0; c < columns; ++c) {
        ColumnStore& col = cols[static_cast<size_t>(c)];
        col.kind =
            hasLayout ? storedKind(slotKind(base.deviceType, columns - 1, c), version) : CellKind::Text;
        col.resize(records);
        if (col.kind == CellKind::Text)
            col.texts.resize(records);
    }
    const char* first = bytes.data() + kLeadSize;
    if (version == 3) {
        for (size_t i = 0; i < records; ++i)
            decodeRecordV3(first + i * size, i, cols);
        owned = nullptr;  // version-3 records are laid out otherwise: every one is encoded
    } else {
        const bool rewrite = owned != nullptr && hasLayout && records > 0;
        constexpr size_t kBlock = 256;
        for (size_t i0 = 0; i0 < records; i0 += kBlock)
            decodeBlock(first, i0, std::min(records, i0 + kBlock), base.deviceType, columns - 1, cols,
                        rewrite);
        if (!rewrite)
            owned = nullptr;
    }
    base.table = Table::fromColumns(static_cast<int>(records) + 1, std::move(cols));
    if (owned != nullptr) {
        encodeLead(base, owned->data());  // what a save of the unchanged base writes before the records
        auto image = std::make_shared<RecordImage>();
        image->bytes = std::move(*owned);
        image->offset = kLeadSize;
        image->size = kRecordSize;
        image->count = records;
        image->layout = base.deviceType;
        base.table.setRecordImage(std::move(image));
    }
    base.applyTitles(catalogue);
    return base;
}

}  // namespace

std::string unreadTailMessage(std::size_t bytes)
{
    return "Последняя запись файла неполная (" + std::to_string(bytes) + " байт) и не прочитана.";
}

Result<ComponentBase> decodeBase(std::string_view bytes, const Catalogue& catalogue)
{
    try {
        return decodeBaseImpl(bytes, catalogue);
    } catch (const std::bad_alloc&) {
        return outOfMemoryError();
    }
}

Result<ComponentBase> decodeBaseKeeping(std::string&& bytes, const Catalogue& catalogue)
{
    try {
        return decodeBaseImpl(bytes, catalogue, &bytes);
    } catch (const std::bad_alloc&) {
        return outOfMemoryError();
    }
}

std::uint64_t maxBaseFileSize()
{
    // decodeBase takes fewer than INT_MAX records: the table's row count holds them and the
    // title row.
    const std::uint64_t records = static_cast<std::uint64_t>(std::numeric_limits<int>::max()) - 1;
    return kLeadSize + records * kRecordSize + (kRecordSize - 1);
}

Result<ComponentBase> readBase(const std::filesystem::path& path, const Catalogue& catalogue)
{
    try {
        auto bytes = readFileBytes(path, maxBaseFileSize());
        if (!bytes && bytes.error().kind == ErrorKind::OutOfMemory)
            return outOfMemoryError();
        if (!bytes)
            return bytes.error();
        return decodeBaseImpl(*bytes, catalogue, &*bytes);
    } catch (const std::bad_alloc&) {
        return outOfMemoryError();
    }
}

namespace {

size_t encodedSize(const ComponentBase& base)
{
    const size_t rows = static_cast<size_t>(std::max(base.table.rowCount() - 1, 0));
    return kLeadSize + rows * kRecordSize + base.keptRecords.size();
}

// The table's record image when its records are what a save writes for this base's layout.
const RecordImage* usableImage(const ComponentBase& base)
{
    const RecordImage* image = base.table.recordImage();
    const DeviceType* type = findDeviceType(base.deviceType);
    if (image == nullptr || type == nullptr || image->layout != base.deviceType ||
        image->size != kRecordSize || !base.keptRecords.empty() ||
        base.table.columnCount() != type->columnCount + 1)
        return nullptr;
    return image;
}

// The image itself when it is the whole file to write: every record of it imaged, in its own
// order, nothing else, and its lead (rewritten when read) still the base's. Empty otherwise.
std::string_view wholeImage(const ComponentBase& base)
{
    const RecordImage* image = usableImage(base);
    if (image == nullptr)
        return {};
    const std::span<const std::uint32_t> order = base.table.order();
    if (order.size() != image->count)
        return {};
    char lead[kLeadSize];
    encodeLead(base, lead);
    if (std::memcmp(lead, image->bytes.data(), kLeadSize) != 0)
        return {};
    for (std::uint32_t i = 0; i < order.size(); ++i)
        if (order[i] != i || base.table.imagedRecord(i) == nullptr)
            return {};
    return std::string_view(image->bytes).substr(0, kLeadSize + image->count * kRecordSize);
}

// Writes the encodedSize(base) bytes of the base into `p`, which holds zeros, except that with
// `imagedInPlace` the records of imaged rows are already there (and left alone).
Status encodeBaseImpl(const ComponentBase& base, char* p, bool imagedInPlace = false)
{
    const Error failed{ErrorKind::WriteFailed, kWriteFailed};
    if (base.deviceType > 255)
        return failed;
    const Table& t = base.table;

    encodeLead(base, p);
    std::memcpy(p + kLeadSize, base.keptRecords.data(), base.keptRecords.size());

    const int code = base.deviceType;
    const DeviceType* type = findDeviceType(code);
    const int paramColumns = type != nullptr ? type->columnCount : 0;
    // Only the name is written for a type without a layout; a table narrower than the layout
    // reads as empty cells.
    const int written = std::min(t.columnCount(), paramColumns + 1);
    char* const first = p + kLeadSize + base.keptRecords.size();
    const auto recordOf = [first](int r) { return first + static_cast<size_t>(r - 1) * kRecordSize; };
    // The first cell (in row, then column order) that could not be written.
    int badRow = 0;
    int badColumn = 0;
    const auto fail = [&](int r, int c) {
        if (badRow == 0 || r < badRow || (r == badRow && c < badColumn)) {
            badRow = r;
            badColumn = c;
        }
    };
    const auto editedCell = [&t](std::uint32_t s, int c) {
        return t.rowEdited(s) ? t.editedText(s, c) : nullptr;
    };

    // Blocks of records, column by column within a block: every column array is read in order
    // while the block's records stay in cache. The common columns are written from their stored
    // form whether or not a cell was edited; an edited cell is cleared and written from its text
    // afterwards. The rest takes the cell-by-cell way, which leaves edited cells alone (their
    // stored form may no longer be writable).
    // Data rows in stored order: live[k] is a stored row, recordIndex[k] its place in the file.
    // After a sort the records are written out of order, but every column array is still read
    // from start to end.
    const std::span<const std::uint32_t> order = t.order();
    std::uint32_t stored = 0;
    for (const std::uint32_t s : order)
        stored = std::max(stored, s + 1);
    std::vector<std::uint32_t> place(stored, UINT32_MAX);
    for (size_t i = 0; i < order.size(); ++i)
        place[order[i]] = static_cast<std::uint32_t>(i);
    // A record nobody changed since it was read is copied from the record image.
    const bool imaged = usableImage(base) != nullptr;
    std::vector<std::uint32_t> live;
    std::vector<std::uint32_t> recordIndex;
    for (std::uint32_t s = 0; s < stored; ++s) {
        if (place[s] == UINT32_MAX)
            continue;
        if (imaged) {
            if (const char* r = t.imagedRecord(s)) {
                if (!imagedInPlace)
                    std::memcpy(first + size_t{place[s]} * kRecordSize, r, kRecordSize);
                continue;
            }
        }
        live.push_back(s);
        recordIndex.push_back(place[s]);
    }
    for (size_t k0 = 0; k0 < live.size(); k0 += kEncodeBlock) {
        const size_t k1 = std::min(live.size(), k0 + kEncodeBlock);
        const RowSpan span{live.data() + k0, recordIndex.data() + k0, k1 - k0, first};
        const auto rowOf = [&](size_t k) { return static_cast<int>(recordIndex[k]) + 1; };
        for (int c = 0; c < written; ++c) {
            const Slot slot = slotKind(code, paramColumns, c);
            const ColumnStore& col = t.column(c);
            if (slot == Slot::Value && col.kind == CellKind::Value) {
                encodeValueColumn(col, kSlotsOffset + kSlotSize * record::valueSlot(code, c), span);
                continue;
            }
            if (slot == Slot::Name && col.kind == CellKind::Text) {
                encodeNameColumn(col, span);
                continue;
            }
            if (slot == Slot::Drawing && col.kind == CellKind::Drawing) {
                encodeDrawingColumn(col, span);
                continue;
            }
            for (size_t k = k0; k < k1; ++k) {
                const std::uint32_t s = live[k];
                const int r = rowOf(k);
                if (editedCell(s, c) == nullptr && !encodeStoredCell(t, s, c, slot, code, recordOf(r)))
                    fail(r, c);
            }
        }
        for (size_t k = k0; k < k1; ++k) {
            const std::uint32_t s = live[k];
            const int r = rowOf(k);
            for (int c = written; c <= paramColumns; ++c)
                (void)encodeTextCell(slotKind(code, paramColumns, c), code, c, {}, recordOf(r));
            if (!t.rowEdited(s))
                continue;
            for (int c = 0; c < written; ++c)
                if (const std::string* text = t.editedText(s, c)) {
                    const Slot slot = slotKind(code, paramColumns, c);
                    clearCell(slot, code, c, recordOf(r));
                    if (!encodeTextCell(slot, code, c, *text, recordOf(r)))
                        fail(r, c);
                }
        }
    }
    if (badRow != 0) {
        // Name the record, the column and the text, so that the cell can be found and mended.
        Error e = failed;
        std::string title = cp1251ToUtf8(t.cell(0, badColumn));
        for (char& ch : title)
            ch = ch == '|' ? ' ' : ch;
        const std::string name = t.cell(badRow, 0);
        e.message += name.empty() ? ": запись без названия" : ": запись «" + cp1251ToUtf8(name) + "»";
        e.message += " (строка " + std::to_string(badRow) + "), столбец ";
        e.message += title.empty() ? std::to_string(badColumn) : "«" + title + "»";
        e.message +=
            ": «" + cp1251ToUtf8(t.cell(badRow, badColumn)) + "» не читается как значение этого столбца";
        e.row = badRow;
        e.column = badColumn;
        return e;
    }
    return {};
}

}  // namespace

Result<std::string> encodeBase(const ComponentBase& base)
{
    try {
        const size_t size = encodedSize(base);
        std::string out;
        out.reserve(size);
        adviseHugePages(out.data(), size);
        if (const std::string_view whole = wholeImage(base); !whole.empty()) {
            out.assign(whole);
            return out;
        }
        if (base.deviceType <= 255 && usableImage(base) != nullptr) {
            // The records in file order, each copied from the image or left zero for encoding:
            // written once, front to back, with nothing zeroed first.
            const Table& t = base.table;
            static constexpr char kZeros[kRecordSize] = {};
            out.append(kLeadSize, '\0');
            const std::span<const std::uint32_t> order = t.order();
            constexpr size_t kAhead = 8;  // after a sort the records are read out of order
            for (size_t i = 0; i < order.size(); ++i) {
                if (i + kAhead < order.size()) {
                    if (const char* next = t.imagedRecord(order[i + kAhead]))
                        for (int line = 0; line < kRecordSize; line += 64)
                            __builtin_prefetch(next + line);
                }
                const char* r = t.imagedRecord(order[i]);
                out.append(r != nullptr ? r : kZeros, kRecordSize);
            }
            const Status st = encodeBaseImpl(base, out.data(), true);
            if (!st)
                return st.error();
            return out;
        }
        out.resize(size);
        const Status st = encodeBaseImpl(base, out.data());
        if (!st)
            return st.error();
        return out;
    } catch (const std::bad_alloc&) {
        return Error{ErrorKind::OutOfMemory, "Недостаточно памяти, чтобы записать базу"};
    }
}

Status writeBase(const ComponentBase& base, const std::filesystem::path& path)
{
    // A base nobody changed since it was read is written straight from the bytes it was read
    // from, as they were rewritten then.
    if (const std::string_view whole = wholeImage(base); !whole.empty())
        return writeFileAtomic(path, whole, kWriteFailed);
    auto bytes = encodeBase(base);
    if (!bytes)
        return bytes.error();
    return writeFileAtomic(path, *bytes, kWriteFailed);
}

}  // namespace veltris
