// Base file reader and writer: layouts of every version and device type, edge cases of the
// format, and the all-or-nothing guarantees of loading and saving.
#include <cstring>
#include <filesystem>
#include <map>
#include <vector>

#include <gtest/gtest.h>

#include "base/basefile.h"
#include "base/catalogue.h"
#include "base/cp1251.h"
#include "base/devicetype.h"
#include "base/fileio.h"
#include "base/valuetext.h"
#include "scratchdir.h"

using namespace veltris;

namespace {

// Names "T<code>C<column>N<m>", two per column, so a title shows which map entry chose it.
const Catalogue& testCatalogue()
{
    static const Catalogue catalogue = [] {
        Catalogue c;
        for (const DeviceType& t : supportedDeviceTypes()) {
            std::string ini;
            for (int col = 1; col <= t.columnCount; ++col) {
                const std::string stem = "T" + std::to_string(t.code) + "C" + std::to_string(col);
                ini += "[Col_" + std::to_string(col) + "]\r\nCount=2\r\nName_1=" + stem +
                       "N1\r\nName_2=" + stem + "N2\r\n";
            }
            EXPECT_TRUE(c.loadTypeFromBytes(t.code, ini).ok());
        }
        return c;
    }();
    return catalogue;
}

std::string versionBytes(int version, int type)
{
    switch (version) {
    case 3: return std::string("\x00\x00\x40\x40", 4);
    case 4: return std::string("\x00\x00\x80\x40", 4);
    default: return std::string{char(5), char(type), '\0', '\0'};
    }
}

// Header, column map, second-table column count and view mask.
std::string lead(int version, int type, std::uint8_t mapEntry = 1, std::int32_t secondCount = 2)
{
    std::string s(reinterpret_cast<const char*>(defaultBaseHeader().data()), kHeaderSize);
    s.replace(58, 4, versionBytes(version, type));
    s += std::string(30, char(mapEntry));
    s.append(reinterpret_cast<const char*>(&secondCount), 4);
    s += std::string(30, '\0');
    return s;
}

void put(std::string& rec, size_t off, const void* p, size_t n)
{
    rec.replace(off, n, static_cast<const char*>(p), n);
}

std::string name16(std::string_view name)
{
    std::string f(16, '\0');
    f[0] = char(name.size());
    f.replace(1, name.size(), name);
    return f;
}

struct Slot {
    std::uint8_t flags;
    double value;
};

std::string record(std::string_view name, const std::map<int, Slot>& slots, std::int16_t drawing)
{
    std::string r(kRecordSize, '\0');
    r.replace(0, 16, name16(name));
    for (const auto& [k, s] : slots) {
        r[16 + 9 * k] = char(s.flags);
        put(r, 16 + 9 * k + 1, &s.value, 8);
    }
    put(r, 286, &drawing, 2);
    return r;
}

std::string recordV3(std::string_view name, const std::vector<double>& plain /* 28 values */, double a,
                     double b, std::int16_t drawing)
{
    std::string r(kRecordSizeV3, '\0');
    r.replace(0, 16, name16(name));
    for (int i = 0; i < 13; ++i)
        put(r, 16 + 8 * i, &plain[i], 8);
    put(r, 120, &a, 8);
    put(r, 128, &b, 8);
    for (int i = 0; i < 15; ++i)
        put(r, 136 + 8 * i, &plain[13 + i], 8);
    put(r, 256, &drawing, 2);
    return r;
}

double slotValue(const std::string& file, int record, int k)
{
    double v;
    std::memcpy(&v, file.data() + kLeadSize + record * kRecordSize + 16 + 9 * k + 1, 8);
    return v;
}
std::uint8_t slotFlags(const std::string& file, int record, int k)
{
    return std::uint8_t(file[kLeadSize + record * kRecordSize + 16 + 9 * k]);
}

ComponentBase decodeOk(const std::string& bytes)
{
    auto base = decodeBase(bytes, testCatalogue());
    EXPECT_TRUE(base.ok()) << (base.ok() ? "" : base.error().message);
    return base.ok() ? std::move(base).value() : ComponentBase{};
}

std::string encodeOk(const ComponentBase& base)
{
    auto bytes = encodeBase(base);
    EXPECT_TRUE(bytes.ok()) << (bytes.ok() ? "" : bytes.error().message);
    return bytes.ok() ? *bytes : std::string{};
}

}  // namespace

TEST(BaseFile, Version3LoadsInto31ColumnsAndSavesAsVersion5)
{
    std::vector<double> plain(28, 0.0);
    plain[0] = 40;      // column 1
    plain[1] = -2.5;    // column 2: negative means "in parentheses"
    plain[13] = 150;    // column 15
    plain[27] = -1e-5;  // column 29
    std::string file = lead(3, 0) + recordV3("KT315A", plain, -20, 90, 7) +
                       recordV3("2N3055", std::vector<double>(28, 1.0), 20, 20.00005, -3);
    ComponentBase base = decodeOk(file);

    EXPECT_EQ(base.deviceType, 1);
    ASSERT_EQ(base.table.columnCount(), 31);
    ASSERT_EQ(base.table.rowCount(), 3);
    const Table& t = base.table;
    EXPECT_EQ(t.cell(1, 0), "KT315A");
    EXPECT_EQ(t.cell(1, 1), "40");
    EXPECT_EQ(t.cell(1, 2), "(2,5)");
    EXPECT_EQ(t.cell(1, 14), "(20-90)");  // the leading minus becomes "(" and ")" is appended
    EXPECT_EQ(t.cell(1, 15), "150");
    EXPECT_EQ(t.cell(1, 29), "(1E-5)");
    EXPECT_EQ(t.cell(1, 30), "7");
    EXPECT_EQ(t.cell(2, 14), "20");  // ends within 0.0001 show as one number
    EXPECT_EQ(t.cell(2, 30), "-3");
    EXPECT_EQ(t.cell(0, 1), "T1C1N1");

    const std::string saved = encodeOk(base);
    ASSERT_EQ(saved.size(), size_t(kLeadSize + 2 * kRecordSize));
    EXPECT_EQ(saved.substr(58, 4), std::string("\x05\x01\x00\x00", 4));
    EXPECT_EQ(slotFlags(saved, 0, 1), kFlagParen);
    EXPECT_EQ(slotValue(saved, 0, 1), 2.5);
    EXPECT_EQ(slotFlags(saved, 0, 13), kFlagParen);  // the range's flags sit on slot 13
    EXPECT_EQ(slotValue(saved, 0, 13), 20);
    EXPECT_EQ(slotValue(saved, 0, 14), 90);
    EXPECT_EQ(slotFlags(saved, 0, 14), 0);
    EXPECT_EQ(slotValue(saved, 0, 15), 150);  // column 15 goes to slot 15, not 14
    EXPECT_EQ(slotValue(saved, 0, 29), 1e-5);
}

TEST(BaseFile, TrailingPartialRecordIsIgnored)
{
    const std::string v5 = lead(5, 3) + record("1N4148", {{0, {0, 100}}}, 1) + std::string(287, '\x7F');
    EXPECT_EQ(decodeOk(v5).recordCount(), 1);
    std::vector<double> plain(28, 0.0);
    const std::string v3 = lead(3, 0) + recordV3("A", plain, 0, 0, 0) + std::string(257, '\x01');
    EXPECT_EQ(decodeOk(v3).recordCount(), 1);
}

TEST(BaseFile, BaseWithoutRecordsKeepsTheTitleRowAndSavesTheLeadOnly)
{
    ComponentBase base = decodeOk(lead(5, 6));
    EXPECT_EQ(base.table.rowCount(), 1);
    EXPECT_EQ(base.table.columnCount(), 18);
    EXPECT_EQ(base.table.cell(0, 17), "T6C17N1");
    const std::string saved = encodeOk(base);
    EXPECT_EQ(saved.size(), size_t(kLeadSize));
    EXPECT_EQ(saved, lead(5, 6));
}

TEST(BaseFile, NameIsCutTo15Bytes)
{
    ComponentBase base = decodeOk(lead(5, 3) + record("X", {}, 0));
    base.table.setCell(1, 0, "ABCDEFGHIJKLMNOPQRST");
    const std::string saved = encodeOk(base);
    EXPECT_EQ(saved[kLeadSize], 15);
    EXPECT_EQ(saved.substr(kLeadSize + 1, 15), "ABCDEFGHIJKLMNO");
    EXPECT_EQ(decodeOk(saved).table.cell(1, 0), "ABCDEFGHIJKLMNO");

    // A table narrower than the layout saves its missing cells as empty.
    base.table.setColumnCount(2);
    base.table.setCell(1, 1, "(4)");
    EXPECT_EQ(encodeOk(base).substr(kLeadSize), record("ABCDEFGHIJKLMNO", {{0, {1, 4.0}}}, 0));
}

TEST(BaseFile, DamagedLengthBytesStayInsideTheirFields)
{
    std::string rec = record("", {}, 0);
    rec[0] = char(200);   // name length beyond 15
    rec[16] = char(100);  // LED colour length beyond 8
    rec.replace(17, 8, "RGBYOIJ-");
    ComponentBase base = decodeOk(lead(5, 7) + rec);
    EXPECT_EQ(base.table.cell(1, 0).size(), 15u);
    EXPECT_EQ(base.table.cell(1, 1), "RGBYOIJ-");
}

TEST(BaseFile, LedColourCodeRule)
{
    struct Case {
        const char* cell;
        std::string stored;  // the short string in slot 0: length byte and characters
    } cases[] = {
        {"r/g", std::string("\x04R/G ", 5)},
        {"RGBYOIJ-/", std::string("\x08RGBYOIJ-", 9)},
        {"xqz", std::string("\x01 ", 2)},
        {"", std::string("\x01 ", 2)},
        {"\xEA\xF0 r-y", std::string("\x04R-Y ", 5)},  // Cyrillic letters dropped
    };
    for (const Case& c : cases) {
        ComponentBase base = decodeOk(lead(5, 7) + record("LED", {}, 0));
        base.table.setCell(1, 1, c.cell);
        const std::string saved = encodeOk(base);
        EXPECT_EQ(saved.substr(kLeadSize + 16, c.stored.size()), c.stored) << c.cell;
        // The colour code reads back as its bytes.
        EXPECT_EQ(decodeOk(saved).table.cell(1, 1), c.stored.substr(1)) << c.cell;
    }
}

TEST(BaseFile, ThyristorHas18ColumnsAndLeavesUnusedSlotsZero)
{
    std::map<int, Slot> slots;
    for (int k = 0; k < 30; ++k)
        slots[k] = {0, double(k + 1)};  // slots 16..29 hold stray values
    ComponentBase base = decodeOk(lead(5, 6) + record("KU202", slots, 42));
    ASSERT_EQ(base.table.columnCount(), 18);
    EXPECT_EQ(base.table.cell(1, 16), "16");
    EXPECT_EQ(base.table.cell(1, 17), "42");
    const std::string saved = encodeOk(base);
    for (int k = 16; k < 30; ++k) {
        EXPECT_EQ(slotFlags(saved, 0, k), 0);
        EXPECT_EQ(slotValue(saved, 0, k), 0.0) << "slot " << k;
    }
    EXPECT_EQ(slotValue(saved, 0, 15), 16);
}

TEST(BaseFile, HeaderBannerAndDescriptionSurviveLoadAndSave)
{
    std::string file = lead(4, 0);
    for (int i = 0; i < 58; ++i)
        file[i] = char(i * 7 + 3);
    file[62] = 5;
    file.replace(63, 5, "\xCE\xEF\xE8\xF1\xE0");
    file.replace(100, 3, "xyz");  // bytes behind the description are kept too
    const std::string saved = encodeOk(decodeOk(file + record("T", {}, 0)));
    EXPECT_EQ(saved.substr(0, 58), file.substr(0, 58));
    EXPECT_EQ(saved.substr(58, 4), std::string("\x05\x01\x00\x00", 4));
    EXPECT_EQ(saved.substr(62, 105), file.substr(62, 105));
}

TEST(BaseFile, TypesWithoutLayoutShowNoRecordsAndKeepTheirBytes)
{
    for (int type : {0, 2, 8, 255}) {
        const std::string records = record("A", {{0, {0, 1}}}, 1) + record("B", {}, 2) + "tail";
        ComponentBase base = decodeOk(lead(5, type) + records);
        EXPECT_EQ(base.deviceType, type);
        EXPECT_EQ(base.recordCount(), 0) << type;
        ASSERT_EQ(base.table.columnCount(), 31);
        for (int c = 1; c < 31; ++c)
            EXPECT_EQ(base.table.cell(0, c), "");
        EXPECT_EQ(base.keptRecordCount(), 2u);
        EXPECT_EQ(encodeOk(base), lead(5, type) + records) << "saved back byte for byte";
        // A row added all the same is written after them, only its name filled in.
        base.table.appendRow();
        base.table.setCell(1, 0, "NEW");
        base.table.setCell(1, 1, "5");
        base.table.setCell(1, 30, "12");
        const std::string saved = encodeOk(base);
        EXPECT_EQ(saved.substr(kLeadSize), records + record("NEW", {}, 0)) << type;
    }
}

TEST(BaseFile, NewBaseSavesTo519KnownBytes)
{
    const ComponentBase base = makeEmptyBase(testCatalogue(), "label");
    EXPECT_EQ(base.table.rowCount(), 2);
    EXPECT_EQ(base.table.cell(0, 30), "T1C30N1");
    std::string expected(reinterpret_cast<const char*>(defaultBaseHeader().data()), kHeaderSize);
    expected.replace(58, 4, std::string("\x05\x01\x00\x00", 4));
    expected += std::string(30, '\x01') + std::string("\x02\x00\x00\x00", 4) + std::string(30, '\0') +
                std::string(288, '\0');
    const std::string saved = encodeOk(base);
    ASSERT_EQ(saved.size(), 519u);
    EXPECT_EQ(saved, expected);

    // The default header itself.
    const auto& h = defaultBaseHeader();
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(h.data()), 6), "QZ\x08\x08\x28\x08");
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(h.data()) + 45, 17),
              std::string(10, '\0') + std::string("\x0A\x0D\x1A\x05\x00\x00\x00", 7));
    EXPECT_EQ(base.description(), "\xD1\xE4\xE5\xEB\xE0\xED\xEE Tarsenvolde.");
}

// Canonical texts (as the reader itself produces them) survive encode + decode for every type.
TEST(BaseFile, EveryTypeRoundTrips)
{
    const std::vector<std::string> values = {"0",    "2,5",  "(12)", "<0,5",    "[(<2,5)]",        "><3",
                                             "{-7}", "1E-5", "1E20", "-0,0001", "123456789012345", "0,1"};
    for (const DeviceType& type : supportedDeviceTypes()) {
        ComponentBase base = decodeOk(lead(5, type.code, 2, 5));
        base.viewMask[0] = 3;
        base.viewMask[1] = 1;
        const int cols = type.columnCount + 1;
        for (int r = 1; r <= 4; ++r) {
            base.table.appendRow();
            base.table.setCell(r, 0, "N" + std::to_string(r) + "\xC0\xFF\x98");
            for (int c = 1; c < cols - 1; ++c)
                base.table.setCell(r, c, values[size_t(r * 7 + c) % values.size()]);
            base.table.setCell(r, cols - 1, std::to_string(r == 1 ? -32768 : r == 2 ? 32767 : r * 11));
        }
        if (type.code == 1) {
            base.table.setCell(1, 14, "20-90");
            base.table.setCell(2, 14, "(-5-5)");
            base.table.setCell(3, 14, "1E-5-0,002");
            base.table.setCell(4, 14, "0");
        }
        if (type.code == 7) {
            base.table.setCell(1, 1, "R/G ");
            base.table.setCell(2, 1, "RGBYOIJ-");
            base.table.setCell(3, 1, " ");
            base.table.setCell(4, 1, "-/ ");
        }
        ComponentBase back = decodeOk(encodeOk(base));
        EXPECT_EQ(back.table, base.table) << type.code;
        EXPECT_EQ(back.columnMap, base.columnMap);
        EXPECT_EQ(back.viewMask, base.viewMask);
        EXPECT_EQ(back.secondColumnCount, 5);
        EXPECT_EQ(back.table.cell(0, 1), "T" + std::to_string(type.code) + "C1N2");
    }
}

TEST(BaseFile, ColumnMapEntriesOutsideTheNamesGiveEmptyTitles)
{
    std::string file = lead(5, 3) + record("D", {}, 0);
    file[167 + 0] = 0;   // column 1
    file[167 + 1] = 20;  // column 2: above 15
    file[167 + 2] = 3;   // column 3: above the name count of 2
    file[167 + 3] = 2;
    const ComponentBase base = decodeOk(file);
    EXPECT_EQ(base.table.cell(0, 1), "");
    EXPECT_EQ(base.table.cell(0, 2), "");
    EXPECT_EQ(base.table.cell(0, 3), "");
    EXPECT_EQ(base.table.cell(0, 4), "T3C4N2");
}

TEST(BaseFile, BadFilesAreRefusedWithTheirMessage)
{
    const std::string good = lead(5, 1) + record("A", {}, 0);
    auto shortFile = decodeBase(good.substr(0, kLeadSize - 1), testCatalogue());
    ASSERT_FALSE(shortFile.ok());
    EXPECT_EQ(shortFile.error().kind, ErrorKind::TooShort);
    EXPECT_EQ(decodeBase("", testCatalogue()).error().kind, ErrorKind::TooShort);

    for (const char* version : {"\x06\x01\x00\x00", "\x00\x00\x00\x40", "\x00\x00\x40\xC0"}) {
        std::string bad = good;
        bad.replace(58, 4, version, 4);
        auto r = decodeBase(bad, testCatalogue());
        ASSERT_FALSE(r.ok());
        EXPECT_EQ(r.error().kind, ErrorKind::VersionMismatch);
        EXPECT_EQ(r.error().message, "Несоответствие версии файла");
    }

    ScratchDir dir;
    auto missing = readBase(dir.path() / "nope.QDB", testCatalogue());
    ASSERT_FALSE(missing.ok());
    EXPECT_EQ(missing.error().kind, ErrorKind::OpenFailed);
    EXPECT_NE(missing.error().message.find("Не удалось открыть файл «"), std::string::npos);
    EXPECT_NE(missing.error().message.find("nope.QDB"), std::string::npos);
}

TEST(BaseFile, FailedSaveKeepsTheOldFileAndLeavesNoTemporary)
{
    ScratchDir dir;
    const std::string old = "previous contents";
    const auto target = dir.write("base.QDB", old);

    struct Case {
        int col;
        const char* text;
    } bad[] = {{2, "1,2,3"},  {2, "-"},       {2, "5-3"}, {14, "E"},  {30, "12a"},
               {30, "32768"}, {30, "-32769"}, {30, " 5"}, {30, "1,5"}};
    for (const Case& c : bad) {
        ComponentBase base = makeEmptyBase(testCatalogue(), "");
        base.table.setCell(1, c.col, c.text);
        const Status st = writeBase(base, target);
        ASSERT_FALSE(st.ok()) << c.text;
        EXPECT_EQ(st.error().kind, ErrorKind::WriteFailed);
        // The message names the record, the column and the text.
        EXPECT_EQ(st.error().message, "Ошибка записи в файл: запись без названия (строка 1), столбец «" +
                                          cp1251ToUtf8(base.table.cell(0, c.col)) + "»: «" + c.text +
                                          "» не читается как значение этого столбца");
        EXPECT_EQ(*readFileBytes(target), old);
    }
    ComponentBase wide = makeEmptyBase(testCatalogue(), "");
    wide.deviceType = 256;
    EXPECT_FALSE(writeBase(wide, target).ok());

    // A folder that cannot be written to.
    ComponentBase base = makeEmptyBase(testCatalogue(), "");
    EXPECT_FALSE(writeBase(base, dir.path() / "missing" / "x.QDB").ok());
    EXPECT_FALSE(writeBase(base, dir.path()).ok());  // the target is a folder

    size_t entries = 0;
    for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(dir.path()))
        ++entries;
    EXPECT_EQ(entries, 1u) << "no temporary file is left behind";

    // Drawing numbers at the ends of the range, with a sign, or empty are accepted.
    for (const char* ok : {"-32768", "32767", "+5", "", "007"}) {
        base.table.setCell(1, 30, ok);
        EXPECT_TRUE(writeBase(base, target).ok()) << ok;
    }
    EXPECT_EQ(readFileBytes(target)->size(), 519u);
}

// Saving takes a shortcut for plain decimals; every text must store what the cell conversion
// gives.
TEST(BaseFile, StoredValuesMatchTheCellConversion)
{
    for (const char* text : {"7", "-0", "007", "-12,5", "0,000001", "5,", ",5", "-,5", "1,5,",
                             "123456789012345678901234567890123456789", "1E5", "(3)", "<2,5", "2.5",
                             "5 \xEC\xC0", "99999999999999999999999999999999999999999", "-", "1,2,3"}) {
        ComponentBase base = decodeOk(lead(5, 3) + record("X", {}, 0));
        base.table.setCell(1, 3, text);
        const auto expected = cellToFlaggedValue(text);
        const auto saved = encodeBase(base);
        ASSERT_EQ(saved.ok(), expected.ok()) << text;
        if (!expected.ok())
            continue;
        EXPECT_EQ(slotFlags(*saved, 0, 2), expected->flags) << text;
        const double v = slotValue(*saved, 0, 2);
        EXPECT_EQ(std::memcmp(&v, &expected->value, 8), 0) << text;
    }
}

// A range whose ends agree shows one number; "-5" would read back as -5..5, so such a cell
// nobody edited keeps its stored ends, whatever their sign or size.
TEST(BaseFile, RangeWithAgreeingEndsIsWrittenBackAsLoaded)
{
    const double subnormal = 4.9406564584124654e-324;
    const std::vector<std::pair<double, double>> ends{{-5, -5},
                                                      {5, 5},
                                                      {0, 0},
                                                      {-0.0, -0.0},
                                                      {-5, -5.00005},
                                                      {subnormal, subnormal},
                                                      {-1e-310, -1e-310},
                                                      {-123456.789, -123456.789}};
    for (const auto& [a, b] : ends) {
        const std::string file = lead(5, 1) + record("X", {{13, {0, a}}, {14, {0, b}}}, 0);
        const ComponentBase loaded = decodeOk(file);
        const std::string saved = encodeOk(loaded);
        EXPECT_EQ(saved, file) << a << ".." << b;
        EXPECT_EQ(decodeOk(saved).table.cell(1, 14), loaded.table.cell(1, 14)) << a << ".." << b;
    }
}
