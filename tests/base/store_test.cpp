// The store keeps loaded cells in their stored form. These tests hold it to the text rules:
// generated bases of every version and type, read and written again, must give exactly the bytes
// that writing each cell's text would give, and sort and selection on the stored form must give
// the order and rows the texts give.
#include <bit>
#include <cfloat>
#include <charconv>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>
#include <random>

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include "base/basefile.h"
#include "base/catalogue.h"
#include "base/devicetype.h"
#include "base/selection.h"
#include "base/tableops.h"
#include "base/valuetext.h"
#include "scratchdir.h"

using namespace veltris;

namespace {

constexpr int kRangeColumn = 14;

std::string leadBytes(int version, int type)
{
    std::string s(reinterpret_cast<const char*>(defaultBaseHeader().data()), kHeaderSize);
    switch (version) {
    case 3: s.replace(58, 4, std::string("\x00\x00\x40\x40", 4)); break;
    case 4: s.replace(58, 4, std::string("\x00\x00\x80\x40", 4)); break;
    default: s.replace(58, 4, std::string{char(5), char(type), '\0', '\0'}); break;
    }
    s += std::string(30, '\x01');
    const std::int32_t second = 31;
    s.append(reinterpret_cast<const char*>(&second), 4);
    for (int k = 1; k <= 30; ++k)
        s += char(k);
    return s;
}

double load(const char* p)
{
    double v;
    std::memcpy(&v, p, 8);
    return v;
}

// ---- the oracle: texts by the value-text rules, written back by the text rules ----

std::vector<std::string> recordTexts(const char* rec, int version, int type)
{
    const int columns = parameterColumnCount(type);
    std::vector<std::string> t;
    t.emplace_back(rec + 1, std::min<int>(static_cast<unsigned char>(rec[0]), 15));
    std::int16_t drawing;
    if (version == 3) {
        for (int i = 0; i < 13; ++i)
            t.push_back(v3ValueText(load(rec + 16 + 8 * i)));
        t.push_back(v3RangeText(load(rec + 120), load(rec + 128)));
        for (int i = 0; i < 15; ++i)
            t.push_back(v3ValueText(load(rec + 136 + 8 * i)));
        std::memcpy(&drawing, rec + 256, 2);
    } else {
        const auto slot = [rec](int k) { return rec + 16 + 9 * k; };
        for (int c = 1; c < columns; ++c) {
            if (type == 1 && c == kRangeColumn)
                t.push_back(
                    rangeValueText(std::uint8_t(slot(13)[0]), load(slot(13) + 1), load(slot(14) + 1)));
            else if (type == 7 && c == 1)
                t.emplace_back(slot(0) + 1, std::min<int>(static_cast<unsigned char>(slot(0)[0]), 8));
            else {
                const char* s = slot(type == 1 && c > kRangeColumn ? c : c - 1);
                t.push_back(flaggedValueText(std::uint8_t(s[0]), load(s + 1)));
            }
        }
        std::memcpy(&drawing, rec + 286, 2);
    }
    t.push_back(std::to_string(drawing));
    return t;
}

std::string colourCode(const std::string& text)
{
    std::string code;
    for (char ch : text) {
        if (ch >= 'a' && ch <= 'z')
            ch = char(ch - 'a' + 'A');
        if (ch != '\0' && std::strchr("-/BGIJORY", ch) != nullptr)
            code += ch;
        if (code.size() == 8)
            break;
    }
    if (code.size() < 8)
        code += ' ';
    return code;
}

// The version-5 record the texts give; false when a text would not write.
bool writeTexts(const std::vector<std::string>& t, int type, std::string& rec)
{
    rec.assign(kRecordSize, '\0');
    const size_t nameLen = std::min<size_t>(t[0].size(), 15);
    rec[0] = char(nameLen);
    rec.replace(1, nameLen, t[0].substr(0, nameLen));
    const auto store = [&rec](int k, std::uint8_t flags, double v) {
        rec[16 + 9 * k] = char(flags);
        rec.replace(16 + 9 * k + 1, 8, reinterpret_cast<const char*>(&v), 8);
    };
    const int columns = parameterColumnCount(type);
    for (int c = 1; c < columns; ++c) {
        const std::string& text = t[size_t(c)];
        if (type == 1 && c == kRangeColumn) {
            const std::string filtered = numericFilter(text);
            if (filtered.empty())
                continue;
            const auto r = parseRange(filtered);
            if (!r)
                return false;
            store(13, flagsOfText(text), r->a);
            store(14, 0, r->b);
        } else if (type == 7 && c == 1) {
            const std::string code = colourCode(text);
            rec[16] = char(code.size());
            rec.replace(17, code.size(), code);
        } else {
            const auto v = cellToFlaggedValue(text);
            if (!v)
                return false;
            store(type == 1 && c > kRangeColumn ? c : c - 1, v->flags, v->value);
        }
    }
    int drawing = 0;
    const std::string& d = t[size_t(columns)];
    std::from_chars(d.data(), d.data() + d.size(), drawing);
    const auto n = std::int16_t(drawing);
    rec.replace(286, 2, reinterpret_cast<const char*>(&n), 2);
    return true;
}

// ---- generated data ----

// Finite values of every shape: full precision, a few digits, zeros, the ends of the double
// range, subnormals, values at the fixed/exponent borders and negatives.
double randomValue(std::mt19937_64& rng)
{
    std::uniform_int_distribution<int> pick(0, 11);
    std::uniform_real_distribution<double> unit(0, 1);
    const double sign = rng() & 1 ? -1 : 1;
    switch (pick(rng)) {
    case 0: return 0.0;
    case 1: return -0.0;
    case 2: {  // any finite double
        double v;
        do
            v = std::bit_cast<double>(rng());
        while (!std::isfinite(v));
        return v;
    }
    case 3: return sign * std::ldexp(unit(rng), int(rng() % 200) - 100);  // full precision
    case 4: {                                                             // one to three significant digits
        const double m = double(1 + rng() % 999);
        return sign * m * std::pow(10.0, int(rng() % 16) - 8);
    }
    case 5: return sign * std::numeric_limits<double>::denorm_min() * double(1 + rng() % 1000);
    case 6: return sign * (rng() & 1 ? DBL_MAX : std::nextafter(DBL_MAX, 0));
    case 7: return sign * std::nextafter(1e15, rng() & 1 ? 0.0 : 2e15);
    case 8: return sign * std::nextafter(1e-4, rng() & 1 ? 0.0 : 1.0);
    case 9: return sign * (1 + std::ldexp(1, -52) * double(rng() % 8));  // beyond 15 digits
    case 10: return sign * DBL_MIN;
    default: return sign * double(rng() % 100000) / 100;
    }
}

std::string randomRecord(std::mt19937_64& rng, int version, int index)
{
    const int size = version == 3 ? kRecordSizeV3 : kRecordSize;
    std::string rec(size_t(size), '\0');
    for (char& ch : rec)
        ch = char(rng());
    // Unique names keep the orders comparable; length bytes beyond the field are capped.
    const std::string name = "N" + std::to_string(index);
    rec[0] = rng() % 8 == 0 ? char(200) : char(name.size());
    rec.replace(1, name.size(), name);
    const auto putValue = [&rec](size_t off, double v) {
        rec.replace(off, 8, reinterpret_cast<const char*>(&v), 8);
    };
    if (version == 3) {
        for (int i = 0; i < 30; ++i)
            putValue(size_t(16 + 8 * i), randomValue(rng));
    } else {
        for (int k = 0; k < 30; ++k) {
            const std::uint64_t f = rng() % 10;
            rec[size_t(16 + 9 * k)] = char(f < 6 ? 0 : f < 9 ? 1u << (rng() % 5) : rng());
            putValue(size_t(16 + 9 * k + 1), randomValue(rng));
        }
        if (rng() % 3 == 0) {  // range ends that agree, or nearly
            double a;
            std::memcpy(&a, rec.data() + 16 + 9 * 13 + 1, 8);
            putValue(16 + 9 * 14 + 1, rng() & 1 ? a : a + 0.00005);
        }
    }
    return rec;
}

std::string randomBase(std::mt19937_64& rng, int version, int type, int records)
{
    std::string file = leadBytes(version, type);
    for (int i = 0; i < records; ++i)
        file += randomRecord(rng, version, i);
    return file;
}

// The same cells as plain texts: the text path of every operation.
Table textCopy(const Table& t)
{
    Table copy(t.rowCount(), t.columnCount());
    for (int r = 0; r < t.rowCount(); ++r)
        for (int c = 0; c < t.columnCount(); ++c)
            copy.setCell(r, c, t.cell(r, c));
    return copy;
}

const Catalogue& noTitles()
{
    static const Catalogue c;
    return c;
}

// A range whose ends agree is written as loaded, not as its one-number text reads back ("-5"
// reads as -5..5): `bytes` (records of version 5 after the lead) takes those slots from the
// version 4 or 5 `original` (the ends and the first end's flags).
void keepAgreeingRanges(std::string& bytes, const std::string& original, int version, int type)
{
    if (version < 4 || type != 1)
        return;
    const std::size_t records = (original.size() - kLeadSize) / kRecordSize;
    for (std::size_t i = 0; i < records; ++i) {
        const std::size_t at = kLeadSize + i * kRecordSize + 16 + 9 * 13;
        double a = 0;
        double b = 0;
        std::memcpy(&a, original.data() + at + 1, 8);
        std::memcpy(&b, original.data() + at + 10, 8);
        if (std::fabs(a - b) <= 0.0001) {  // the second end's flag byte is always written 0
            bytes.replace(at, 9, original, at, 9);
            bytes[at + 9] = 0;
            bytes.replace(at + 10, 8, original, at + 10, 8);
        }
    }
}

struct Case {
    int version;
    int type;
};
const Case kCases[] = {{3, 1}, {4, 1}, {5, 1}, {5, 3}, {5, 4}, {5, 5}, {5, 6}, {5, 7}};

}  // namespace

TEST(Store, SaveWritesWhatTheTextsWouldWrite)
{
    std::mt19937_64 rng(11);
    for (const Case& k : kCases) {
        const int records = 400;
        const std::string file = randomBase(rng, k.version, k.type, records);
        auto base = decodeBase(file, noTitles());
        ASSERT_TRUE(base.ok());
        auto saved = encodeBase(*base);
        ASSERT_TRUE(saved.ok()) << saved.error().message;
        const int size = recordSize(k.version);
        for (int i = 0; i < records; ++i) {
            const char* rec = file.data() + kLeadSize + size_t(i) * size_t(size);
            const std::vector<std::string> texts = recordTexts(rec, k.version, k.type);
            for (size_t c = 0; c < texts.size(); ++c)
                ASSERT_EQ(base->table.cell(i + 1, int(c)), texts[c])
                    << "version " << k.version << " type " << k.type << " record " << i << " column " << c;
            std::string expected;
            ASSERT_TRUE(writeTexts(texts, k.type, expected));
            if (k.version >= 4) {
                std::string one = file.substr(0, kLeadSize) + expected;
                keepAgreeingRanges(one, file.substr(0, kLeadSize) + std::string(rec, kRecordSize), k.version,
                                   k.type);
                expected = one.substr(kLeadSize);
            }
            ASSERT_EQ(saved->substr(kLeadSize + size_t(i) * kRecordSize, kRecordSize), expected)
                << "version " << k.version << " type " << k.type << " record " << i;
        }
        // Texts written back give a table that saves to the same bytes.
        ComponentBase asText = *base;
        asText.table = textCopy(base->table);
        auto again = encodeBase(asText);
        ASSERT_TRUE(again.ok());
        keepAgreeingRanges(*again, file, k.version, k.type);
        EXPECT_EQ(*again, *saved);
    }
}

// A base worked on before the save: rows sorted, moved, deleted and added, stored cells given
// other texts (empty ones over non-zero values among them). The save writes what a table of the
// same texts writes, and the file written holds exactly those bytes.
TEST(Store, WorkedOnBaseSavesWhatItsTextsWouldWrite)
{
    ScratchDir dir;
    std::mt19937_64 rng(16);
    const char* texts[] = {"",
                           "0",
                           "12",
                           "(3,5)",
                           "<1E-7",
                           "-0,25",
                           "1,5-3",
                           "-5",
                           "ABC",
                           "7",
                           "KT315Б длинное имя",
                           "{[>2]}",
                           "1,23456789012345678"};
    for (const Case& k : kCases) {
        auto base = decodeBase(randomBase(rng, k.version, k.type, 600), noTitles());
        ASSERT_TRUE(base.ok());
        Table& t = base->table;
        ASSERT_TRUE(sortTableRows(t, 1 + int(rng() % unsigned(t.columnCount() - 1))).ok());
        for (int n = 0; n < 20; ++n)
            ASSERT_TRUE(deleteTableRow(t, 1 + int(rng() % unsigned(t.rowCount() - 1))));
        t.moveRow(5, 300);
        t.appendRow();
        t.setCell(t.rowCount() - 1, 0, "NEW");
        for (int n = 0; n < 300; ++n) {
            const int r = 1 + int(rng() % unsigned(t.rowCount() - 1));
            const int c = int(rng() % unsigned(t.columnCount()));
            const int last = t.columnCount() - 1;
            t.setCell(r, c, c == last ? std::to_string(int(rng() % 500)) : texts[rng() % std::size(texts)]);
        }
        ComponentBase asText = *base;
        asText.table = textCopy(t);
        const auto saved = encodeBase(*base);
        const auto expected = encodeBase(asText);
        ASSERT_EQ(saved.ok(), expected.ok()) << "version " << k.version << " type " << k.type;
        if (!saved.ok()) {
            EXPECT_EQ(saved.error().row, expected.error().row);
            EXPECT_EQ(saved.error().column, expected.error().column);
            continue;
        }
        EXPECT_TRUE(*saved == *expected) << "version " << k.version << " type " << k.type;
        const std::filesystem::path file = dir.path() / "saved.QDB";
        ASSERT_TRUE(writeBase(*base, file).ok());
        std::ifstream in(file, std::ios::binary);
        const std::string written((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        EXPECT_TRUE(written == *saved) << "version " << k.version << " type " << k.type;
    }
}

TEST(Store, SortOnTheStoredFormKeepsTheTextOrder)
{
    std::mt19937_64 rng(12);
    for (const Case& k : kCases) {
        const std::string file = randomBase(rng, k.version, k.type, 300);
        auto base = decodeBase(file, noTitles());
        ASSERT_TRUE(base.ok());
        for (int col = 0; col < base->table.columnCount(); ++col) {
            Table stored = base->table;
            Table texts = textCopy(base->table);
            const Status a = sortTableRows(stored, col);
            const Status b = sortTableRows(texts, col);
            ASSERT_EQ(a.ok(), b.ok());
            ASSERT_TRUE(stored == texts)
                << "version " << k.version << " type " << k.type << " column " << col;
        }
    }
}

TEST(Store, SelectionOnTheStoredFormSelectsTheTextRows)
{
    std::mt19937_64 rng(13);
    for (const Case& k : kCases) {
        // Values that fall inside each other's bounds now and then.
        std::string file = leadBytes(k.version, k.type);
        for (int i = 0; i < 400; ++i) {
            std::string rec = randomRecord(rng, k.version, i);
            if (rng() % 2)
                for (int s = 0; s < 30; ++s) {
                    const double v = double(rng() % 20) * (rng() % 2 ? 1 : -1);
                    const size_t off = k.version == 3 ? size_t(16 + 8 * s) : size_t(16 + 9 * s + 1);
                    rec.replace(off, 8, reinterpret_cast<const char*>(&v), 8);
                }
            file += rec;
        }
        auto base = decodeBase(file, noTitles());
        ASSERT_TRUE(base.ok());
        const Table texts = textCopy(base->table);
        for (int trial = 0; trial < 40; ++trial) {
            std::vector<BoundTexts> bounds(size_t(base->table.columnCount() - 1));
            for (int n = 0; n < 2; ++n) {
                const size_t row = rng() % bounds.size();
                const int lo = int(rng() % 10);
                bounds[row] = {std::to_string(lo), std::to_string(lo + int(rng() % 15))};
            }
            const auto a = selectComponents(base->table, bounds);
            const auto b = selectComponents(texts, bounds);
            ASSERT_EQ(a.ok(), b.ok());
            if (a.ok()) {
                EXPECT_EQ(a->rows, b->rows);
                EXPECT_EQ(a->noCriteria, b->noCriteria);
            }
        }
    }
}

// After the device type changes, columns hold cells of another layout: they are written from
// their texts, with the same result or the same failing cell as a table of texts.
TEST(Store, ChangedTypeWritesCellsFromTheirTexts)
{
    std::mt19937_64 rng(15);
    for (const Case& k : kCases) {
        const std::string file = randomBase(rng, k.version, k.type, 50);
        auto base = decodeBase(file, noTitles());
        ASSERT_TRUE(base.ok());
        for (int to : {1, 3, 4, 5, 6, 7}) {
            ComponentBase changed = *base;
            changed.deviceType = std::uint16_t(to);
            changed.table.setColumnCount(tableColumnCount(to));
            ComponentBase asText = changed;
            asText.table = textCopy(changed.table);
            const auto a = encodeBase(changed);
            auto b = encodeBase(asText);
            if (b.ok() && to == k.type)  // the range column is still the one loaded
                keepAgreeingRanges(*b, file, k.version, k.type);
            ASSERT_EQ(a.ok(), b.ok()) << k.version << " " << k.type << " -> " << to;
            if (a.ok()) {
                EXPECT_EQ(*a, *b);
            } else {
                EXPECT_EQ(a.error().row, b.error().row);
                EXPECT_EQ(a.error().column, b.error().column);
            }
        }
    }
}

TEST(Store, ValuesNoTextCarriesAreWrittenAsLoaded)
{
    const double inf = std::numeric_limits<double>::infinity();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    std::string rec(kRecordSize, '\0');
    rec[0] = 1;
    rec[1] = 'X';
    const auto slot = [&rec](int k, std::uint8_t flags, double v) {
        rec[size_t(16 + 9 * k)] = char(flags);
        rec.replace(size_t(16 + 9 * k + 1), 8, reinterpret_cast<const char*>(&v), 8);
    };
    slot(0, 0, -inf);
    slot(1, 0, inf);
    slot(2, kFlagParen, nan);
    slot(13, 0, -inf);  // the range column
    slot(14, 0, 5);
    const std::string file = leadBytes(5, 1) + rec;
    auto base = decodeBase(file, noTitles());
    ASSERT_TRUE(base.ok());
    EXPECT_EQ(base->table.cell(1, 1), "-INF");
    EXPECT_EQ(base->table.cell(1, 3), "(NAN)");
    auto saved = encodeBase(*base);
    ASSERT_TRUE(saved.ok()) << saved.error().message;
    EXPECT_EQ(*saved, file);

    // An edited cell whose text does not read fails the save and names its place.
    base->table.appendRow();
    base->table.setCell(2, 0, "Y");
    base->table.setCell(2, 7, "1,2,3");
    const auto failed = encodeBase(*base);
    ASSERT_FALSE(failed.ok());
    EXPECT_EQ(failed.error().kind, ErrorKind::WriteFailed);
    EXPECT_EQ(
        failed.error().message,
        "Ошибка записи в файл: запись «Y» (строка 2), столбец 7: «1,2,3» не читается как значение этого столбца");
    EXPECT_EQ(failed.error().row, 2);
    EXPECT_EQ(failed.error().column, 7);
    // Giving an unedited cell the text it shows does not make it edited.
    base->table.setCell(2, 7, "");
    base->table.setCell(1, 1, "-INF");
    auto fixed = encodeBase(*base);
    ASSERT_TRUE(fixed.ok());
    EXPECT_EQ(fixed->substr(0, file.size()), file);
}

TEST(Store, RowOrderAndEditsFollowMovesAndSecondTableCopies)
{
    std::mt19937_64 rng(14);
    auto base = decodeBase(randomBase(rng, 5, 1, 6), noTitles());
    ASSERT_TRUE(base.ok());
    Table& t = base->table;
    const std::string second2 = t.cell(2, 0);
    const std::string third = t.cell(3, 0);
    t.setCell(3, 5, "[7]");
    t.moveRow(3, 1);
    EXPECT_EQ(t.cell(1, 5), "[7]");
    EXPECT_EQ(t.cell(1, 0), third);
    ASSERT_TRUE(deleteTableRow(t, 2));
    EXPECT_EQ(t.rowCount(), 6);
    EXPECT_EQ(t.cell(2, 0), second2) << "the first row was deleted";

    base->secondColumnCount = 3;
    base->viewMask = {5, 14};
    Table second;
    rebuildSecondTable(*base, second);
    ASSERT_EQ(second.rowCount(), t.rowCount());
    for (int r = 1; r < t.rowCount(); ++r) {
        EXPECT_EQ(second.cell(r, 0), t.cell(r, 0));
        EXPECT_EQ(second.cell(r, 1), t.cell(r, 5));
        EXPECT_EQ(second.cell(r, 2), t.cell(r, 14));
    }
    // The copy is its own: sorting or editing it leaves the main table alone.
    const Table before = t;
    ASSERT_TRUE(sortTableRows(second, 1).ok());
    second.setCell(1, 1, "1");
    EXPECT_TRUE(t == before);
}

// Undo puts records and cells back through detachRow, attachRow and revertCell: the base then
// writes the bytes it was loaded from, also where a value has no text that would carry it.
TEST(Store, DetachedRowsAndRevertedCellsComeBackExactly)
{
    std::mt19937_64 rng(20);
    std::string file = randomBase(rng, 5, 1, 8);
    std::string rec(kRecordSize, '\0');
    rec[0] = 1;
    rec[1] = 'X';
    const double inf = std::numeric_limits<double>::infinity();
    rec.replace(size_t(16 + 1), 8, reinterpret_cast<const char*>(&inf), 8);
    file += rec;
    auto base = decodeBase(file, noTitles());
    ASSERT_TRUE(base.ok());
    Table& t = base->table;
    ASSERT_EQ(t.rowCount(), 10);
    ASSERT_EQ(t.cell(9, 1), "INF");
    t.setCell(4, 6, "[2]");  // an edit made earlier stays an edit
    const auto before = encodeBase(*base);
    ASSERT_TRUE(before.ok()) << before.error().message;

    const std::string name = t.cell(2, 0);
    t.setCell(2, 0, "NEW");
    t.setCell(4, 6, "3");
    t.setCell(9, 1, "5");
    const std::uint32_t first = t.detachRow(1);
    const std::uint32_t last = t.detachRow(t.rowCount() - 1);
    EXPECT_EQ(t.rowCount(), 8);
    EXPECT_EQ(t.cell(1, 0), "NEW");
    t.appendRow();  // a new record takes a stored row of its own
    t.setCell(t.rowCount() - 1, 0, "ADDED");
    t.detachRow(t.rowCount() - 1);

    t.attachRow(t.rowCount(), last);
    t.attachRow(1, first);
    EXPECT_EQ(t.cell(9, 1), "5");
    t.revertCell(9, 1);
    EXPECT_EQ(t.cell(9, 1), "INF");
    t.revertCell(2, 0);  // a text cell: nothing to revert
    EXPECT_EQ(t.cell(2, 0), "NEW");
    t.setCell(2, 0, name);
    t.setCell(4, 6, "[2]");
    const auto after = encodeBase(*base);
    ASSERT_TRUE(after.ok()) << after.error().message;
    EXPECT_EQ(*after, *before);
}

// The second table views the main table: its columns share the main table's stored form, so
// what it shows changes only when it is rebuilt, and a selection shows the chosen main rows.
TEST(Store, SecondTableViewsTheMainColumns)
{
    std::mt19937_64 rng(21);
    auto base = decodeBase(randomBase(rng, 5, 1, 12), noTitles());
    ASSERT_TRUE(base.ok());
    Table& t = base->table;
    t.setCell(2, 5, "[7]");
    base->secondColumnCount = 4;
    base->viewMask = {5, 0, kRangeColumn};
    Table second;
    rebuildSecondTable(*base, second);
    ASSERT_TRUE(sortTableRows(second, 1).ok());
    second.setCell(1, 2, "kept");  // mask entry 0: the cell stays on its row
    rebuildSecondTable(*base, second);
    EXPECT_TRUE(second.sharesColumn(0, t, 0));
    EXPECT_TRUE(second.sharesColumn(1, t, 5));
    EXPECT_TRUE(second.sharesColumn(3, t, kRangeColumn));
    EXPECT_EQ(second.cell(1, 2), "kept");
    EXPECT_EQ(second.cell(2, 1), "[7]") << "an edited main cell shows";
    for (int r = 1; r < t.rowCount(); ++r) {
        EXPECT_EQ(second.cell(r, 0), t.cell(r, 0));
        EXPECT_EQ(second.cell(r, 1), t.cell(r, 5));
        EXPECT_EQ(second.cell(r, 3), t.cell(r, kRangeColumn));
    }

    // Edits, sorts, deletes and new rows of the main table leave the view as it was.
    const Table shown = textCopy(second);
    t.setCell(1, 0, "renamed");
    t.setCell(1, 5, "99");
    ASSERT_TRUE(sortTableRows(t, 5).ok());
    ASSERT_TRUE(deleteTableRow(t, 3));
    t.appendRow();
    EXPECT_TRUE(textCopy(second) == shown);

    const std::vector<int> rows = {4, 1, 9};
    fillSelectionTable(*base, second, rows);
    ASSERT_EQ(second.rowCount(), 4);
    EXPECT_TRUE(second.sharesColumn(1, t, 5));
    for (int i = 0; i < 3; ++i) {
        const int r = rows[static_cast<size_t>(i)];
        EXPECT_EQ(second.cell(i + 1, 0), t.cell(r, 0));
        EXPECT_EQ(second.cell(i + 1, 1), t.cell(r, 5));
        EXPECT_EQ(second.cell(i + 1, 2), "");
        EXPECT_EQ(second.cell(i + 1, 3), t.cell(r, kRangeColumn));
    }
}

// Loading needs memory for every cell; where it cannot be had, the load reports it instead of
// ending the program. Runs in a child process whose address space is limited.
TEST(Store, RunningOutOfMemoryWhileLoadingIsAnError)
{
#ifdef __SANITIZE_ADDRESS__
    GTEST_SKIP() << "the address sanitizer needs more address space than the limit leaves";
#endif
    std::string file = leadBytes(5, 1);
    std::string rec(kRecordSize, '\0');
    rec[0] = 1;
    rec[1] = 'A';
    const double v = 1.5;
    for (int k = 0; k < 30; ++k)
        rec.replace(size_t(16 + 9 * k + 1), 8, reinterpret_cast<const char*>(&v), 8);
    // More records than the free room of a 64 MB malloc arena heap can hold: a thread moved to
    // such an arena by earlier tests grows inside its reserved address space, past the limit.
    constexpr int kRecords = 400000;
    file.reserve(file.size() + size_t(kRecordSize) * kRecords);
    for (int i = 0; i < kRecords; ++i)
        file += rec;

    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // Room for 16 MB more than the process holds now: far less than the records need.
        long pages = 0;
        std::ifstream("/proc/self/statm") >> pages;
        const rlim_t limit = rlim_t(pages) * rlim_t(sysconf(_SC_PAGESIZE)) + (rlim_t(16) << 20);
        const rlimit rl{limit, limit};
        if (setrlimit(RLIMIT_AS, &rl) != 0)
            _exit(3);
        auto base = decodeBase(file, noTitles());
        if (base.ok())
            _exit(2);
        _exit(base.error().kind == ErrorKind::OutOfMemory &&
                      base.error().message == "Недостаточно памяти, чтобы открыть базу"
                  ? 0
                  : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "1: other error, 2: loaded, 3: no limit";
    // Without the limit the same bytes load.
    auto base = decodeBase(file, noTitles());
    ASSERT_TRUE(base.ok());
    EXPECT_EQ(base->recordCount(), kRecords);
}
