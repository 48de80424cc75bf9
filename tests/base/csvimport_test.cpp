// Reading CSV files into records: the dialects, the title row, the cells and their faults, and
// records added to an open base.
#include <bit>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "base/catalogue.h"
#include "base/componentbase.h"
#include "base/cp1251.h"
#include "base/csvexport.h"
#include "base/csvimport.h"
#include "base/csvsplit.h"
#include "base/table.h"
#include "base/tableops.h"

using namespace veltris;

namespace {

const Catalogue& shipped()
{
    static const Catalogue catalogue =
        loadCatalogues(std::filesystem::path(VELTRIS_SOURCE_DIR) / "data").catalogue;
    return catalogue;
}

std::string cp(std::string_view utf8)
{
    return utf8ToCp1251(utf8);
}

// The title line the export writes for a type with every column map entry 1.
std::string exportTitles(int code, std::string_view label = "Тип прибора")
{
    std::string line = cp(label) + ";";
    for (int c = 1; c <= shipped().columnCount(code); ++c)
        line += shipped().name(code, c, 1) + ";";
    return line + "\r\n";
}

// A record line in the export's layout: `cells` (UTF-8) by column, the rest empty.
std::string exportLine(int code, const std::vector<std::pair<int, std::string>>& cells)
{
    std::vector<std::string> fields(static_cast<size_t>(tableColumnCount(code)));
    for (const auto& [c, t] : cells)
        fields[static_cast<size_t>(c)] = cp(t);
    std::string line;
    for (const std::string& f : fields)
        line += f + ";";
    return line + "\r\n";
}

CsvImport read(std::string_view bytes, CsvImportOptions options = {})
{
    auto r = importCsv(bytes, shipped(), options);
    EXPECT_TRUE(r.ok()) << (r.ok() ? "" : r.error().message);
    return r.ok() ? std::move(r).value() : CsvImport{};
}

std::string importError(std::string_view bytes, CsvImportOptions options = {})
{
    const auto r = importCsv(bytes, shipped(), options);
    return r.ok() ? std::string("(no error)") : r.error().message;
}

std::string cellUtf8(const CsvImport& in, int row, int col)
{
    return cp1251ToUtf8(in.base.table.cell(row, col));
}

}  // namespace

TEST(CsvSplit, QuotesEmptyLinesTrailingSeparatorsAndLineNumbers)
{
    const std::string text = "a;\"b;\"\"c\"\"\r\nd\";e;\r\n\r\nf\rg;;\n;\n\"open";
    CsvSplitter split(text, ';');
    CsvRecord r;
    struct Want {
        int line;
        std::vector<std::string> fields;
        bool openQuote;
    } want[] = {
        {1, {"a", "b;\"c\"\r\nd", "e"}, false},  // a quoted field spans lines 1-2
        {4, {"f"}, false},                       // line 3 is empty; CR alone ends a line
        {5, {"g", ""}, false},                   // only the last separator opens no field
        {6, {""}, false},                        // a line of one separator: one empty field
        {7, {"open"}, true},
    };
    for (const Want& w : want) {
        ASSERT_TRUE(split.next(r)) << w.line;
        EXPECT_EQ(r.line, w.line);
        EXPECT_EQ(std::vector<std::string>(r.fields.begin(), r.fields.end()), w.fields) << w.line;
        EXPECT_EQ(r.openQuote, w.openQuote) << w.line;
    }
    EXPECT_FALSE(split.next(r));
}

TEST(CsvSplit, EncodingIsToldFromTheBytes)
{
    EXPECT_EQ(detectCsvEncoding("\xEF\xBB\xBFname"), CsvEncoding::Utf8);
    EXPECT_EQ(detectCsvEncoding("Диод;КД522Б"), CsvEncoding::Utf8);
    EXPECT_EQ(detectCsvEncoding(cp("Диод;КД522Б")), CsvEncoding::Cp1251);
    EXPECT_EQ(detectCsvEncoding("1N4148;75"), CsvEncoding::Cp1251);
    EXPECT_EQ(detectCsvEncoding("\xC3"), CsvEncoding::Cp1251);  // a sequence cut short
}

// Three ways a file reaches us; each must give the same kind of records.
TEST(CsvImport, DialectsAreFoundOutAndReadAlike)
{
    struct Case {
        const char* what;
        std::string bytes;
        CsvEncoding encoding;
        char separator;
        int type;
        std::vector<std::vector<std::pair<int, std::string>>> rows;  // column -> shown text
    } cases[] = {
        {"spreadsheet: UTF-8 with byte-order mark, commas, quotes, LF, titles on one line",
         "\xEF\xBB\xBF"
         "Прибор,\"Uобр max, В\",\"IПР СР MAX, мА\",\"Uпр при\nIпр, В\",Корпус (№ рис.)\n"
         "\"Д\"\"9\"\"\",50,100,\"1,1\",2\n"
         "1N4148,<75,[200],,\n"
         "Д7,,7,,\n",
         CsvEncoding::Utf8,
         ',',
         3,
         {{{0, "Д\"9\""}, {1, "50"}, {3, "100"}, {5, "1,1"}, {12, "2"}},
          {{0, "1N4148"}, {1, "<75"}, {3, "[200]"}, {5, "0"}, {12, "0"}},
          {{0, "Д7"}, {1, "0"}, {3, "7"}}}},
        {"the export's own bytes: Windows-1251, «;» after every cell, CR LF; the blank row no record",
         exportTitles(4) + exportLine(4, {{0, "КС147А"}, {1, "4,7"}, {12, ">9"}, {13, "5"}}) +
             exportLine(4, {}),
         CsvEncoding::Cp1251,
         ';',
         4,
         {{{0, "КС147А"}, {1, "4,7"}, {2, "0"}, {12, ">9"}, {13, "5"}}}},
        {"tab-separated, CR line ends, columns in another order and only some of them",
         cp("Название\tTп max, °С\tUст ном, В\rКС133А\t125\t3,3\r\rД814А\t(150)\t{8}\r"),
         CsvEncoding::Cp1251,
         '\t',
         4,
         {{{0, "КС133А"}, {1, "3,3"}, {12, "125"}}, {{0, "Д814А"}, {1, "{8}"}, {12, "(150)"}}}},
        {"commas in Windows-1251: an empty field before a number is no decimal comma",
         cp("Название,\"Uобр max, В\",\"Iпр ср max, мА\"\r\nD7,,7\r\nD8,\"1,5\",8\r\n"),
         CsvEncoding::Cp1251,
         ',',
         3,
         {{{0, "D7"}, {1, "0"}, {3, "7"}}, {{0, "D8"}, {1, "1,5"}, {3, "8"}}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const CsvImport in = read(c.bytes);
        EXPECT_EQ(in.encoding, c.encoding);
        EXPECT_EQ(in.separator, c.separator);
        EXPECT_EQ(in.base.deviceType, c.type);
        EXPECT_EQ(in.problemCount, 0u) << (in.problems.empty() ? "" : in.problems[0].message);
        EXPECT_TRUE(in.header.leftOut.empty());
        ASSERT_EQ(in.recordCount(), static_cast<int>(c.rows.size()));
        for (size_t r = 0; r < c.rows.size(); ++r)
            for (const auto& [col, text] : c.rows[r])
                EXPECT_EQ(cellUtf8(in, static_cast<int>(r) + 1, col), text)
                    << "row " << r + 1 << " column " << col;
    }
}

TEST(CsvImport, EncodingAndSeparatorCanBeGiven)
{
    // Windows-1251 titles read as UTF-8 name nothing: the choice is taken as it is.
    const std::string bytes = exportTitles(3) + exportLine(3, {{0, "Д9"}});
    CsvImportOptions options;
    options.encoding = CsvEncoding::Utf8;
    options.deviceType = 3;
    EXPECT_EQ(importError(bytes, options),
              "Ни один заголовок столбца не совпадает с названиями параметров типа «Диоды»");

    // Read with ',' the title row of a ';' file holds no title of a column.
    options = {};
    options.separator = ',';
    options.deviceType = 3;
    EXPECT_EQ(importError(bytes, options),
              "Ни один заголовок столбца не совпадает с названиями параметров типа «Диоды»");
    options.separator = ';';
    EXPECT_EQ(read(bytes, options).separator, ';');
}

// Every kind of bad cell is named by its line, its column's title and its text.
TEST(CsvImport, BadCellsAreNamed)
{
    struct Case {
        int type;
        int column;
        std::string text;
        std::string message;  // after "строка 2, "
    } cases[] = {
        // A value cell is read as typed text is; the message says what was not understood.
        {3, 1, "45 мА",
         "«Uобр max, В»: «45 мА» — не число: «мА» — единица тока, а столбец в В (единица напряжения)"},
        {3, 1, "1/2", "«Uобр max, В»: «1/2» — не число: не понято «/2»"},
        {3, 1, "1e", "«Uобр max, В»: «1e» — не число: не понято «e»"},
        {3, 1, "5-3",
         "«Uобр max, В»: «5-3» — не число: диапазон «5-3» в этом столбце не хранится: напишите одно число"},
        {3, 1, "-", "«Uобр max, В»: «-» — не число: нет числа"},
        {3, 2, "1,2,3",
         "«Uобр имп max, В»: «1,2,3» — не число: два десятичных знака в «1,2,3»: пишите одну запятую или точку, "
         "без разделителя тысяч"},
        {3, 12, "3,5", "«Корпус (№ рис.)»: «3,5» — не номер рисунка (целое число от -32768 до 32767)"},
        {3, 12, "40000", "«Корпус (№ рис.)»: «40000» — не номер рисунка (целое число от -32768 до 32767)"},
        {3, 0, "ДЛИННОЕНАЗВАНИЕ16", "«Тип прибора»: «ДЛИННОЕНАЗВАНИЕ16» — название длиннее 15 знаков"},
        {3, 0, "Д9Ω", "«Тип прибора»: «Д9Ω» — есть знаки, которых нет в кодировке Windows-1251"},
        {1, 14, "50-", "«h21э»: «50-» — не число и не диапазон чисел: не понято «-»"},
        {1, 14, "1-2-3", "«h21э»: «1-2-3» — не число и не диапазон чисел: не понято «-3»"},
        {7, 1, "красный",
         "«Цвет свечения»: «красный» — не код цвета (буквы B, G, I, J, O, R, Y и знаки «-», «/»)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        // UTF-8 text, so that a sign outside Windows-1251 can stand in a cell.
        std::string titles = "Тип прибора";
        std::string line;
        for (int col = 1; col < tableColumnCount(c.type); ++col)
            titles += ";" + cp1251ToUtf8(shipped().name(c.type, col, 1));
        for (int col = 0; col < tableColumnCount(c.type); ++col)
            line += (col == c.column ? c.text : col == 0 ? std::string("X") : std::string()) + ";";
        const CsvImport in = read(titles + "\n" + line + "\n");
        ASSERT_EQ(in.problemCount, 1u);
        EXPECT_EQ(in.problems[0].line, 2);
        EXPECT_EQ(in.problems[0].column, c.column);
        EXPECT_EQ(in.problems[0].message, "строка 2, " + c.message);
        EXPECT_EQ(in.recordCount(), 0);
        EXPECT_FALSE(in.acceptable());
    }
}

// What the value rules accept, and the stored form it becomes (the text the table shows).
TEST(CsvImport, GoodCellsBecomeTheirStoredForm)
{
    struct Case {
        int type;
        int column;
        std::string text;
        std::string shown;
    } cases[] = {
        {3, 1, "<75", "<75"},
        {3, 1, " 5 ", "5"},
        {3, 1, "1,50", "1,5"},
        {3, 1, "", "0"},
        {3, 1, "(0)", "0"},
        {3, 1, ",", "0"},
        {3, 1, "1E-5", "1E-5"},
        {3, 1, "<(2,5)]", "(<2,5)"},
        {3, 1, "-0,25", "-0,25"},
        {3, 1, "12345678901234567", "1,23456789012346E16"},
        {3, 12, "+3", "3"},
        {3, 12, "-7", "-7"},
        {1, 14, "50-350", "50-350"},
        {1, 14, "(5)", "(5)"},
        {1, 14, "-5", "-5-5"},
        {1, 14, "", "0"},
        {7, 1, "r/g", "r/g"},
        // Texts not in the export's form, read as typed text is read.
        {3, 1, "1.5", "1,5"},
        {3, 1, "45 В", "45"},
        {3, 1, "700 мВ", "0,7"},
        {3, 1, "1e5", "100000"},
        {3, 1, "<0.5", "<0,5"},
        {3, 1, "10 000", "10000"},
        {1, 14, "50…350", "50-350"},
        {1, 14, "50..350", "50-350"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        std::string bytes = exportTitles(c.type);
        bytes += exportLine(c.type, {{0, "X"}, {c.column, c.text}});
        const CsvImport in = read(bytes);
        ASSERT_EQ(in.problemCount, 0u) << in.problems[0].message;
        EXPECT_EQ(cellUtf8(in, 1, c.column), c.shown);
    }
}

TEST(CsvImport, BadLinesAreLeftOutOnlyWhenAsked)
{
    const std::string bytes = exportTitles(3) + exportLine(3, {{0, "Д9"}, {1, "10"}}) +
                              exportLine(3, {{0, "Д10"}, {1, "1/2"}, {2, "x"}}) +
                              cp("Д11;20;;;;;;;;;;;;лишнее;\r\n") + "\"Д12;5;\r\n";
    CsvImport in = read(bytes);
    EXPECT_FALSE(in.acceptable());
    EXPECT_EQ(in.problemCount, 4u);
    EXPECT_EQ(in.badLines, (std::vector<int>{3, 4, 5}));
    EXPECT_EQ(in.problems[2].message, "строка 4: полей больше, чем столбцов в строке заголовков");
    EXPECT_EQ(in.problems[3].message, "строка 5: кавычка не закрыта до конца файла");

    CsvImportOptions skip;
    skip.skipBadLines = true;
    in = read(bytes, skip);
    EXPECT_TRUE(in.acceptable());
    ASSERT_EQ(in.recordCount(), 1);
    EXPECT_EQ(cellUtf8(in, 1, 0), "Д9");
    EXPECT_EQ(in.badLines, (std::vector<int>{3, 4, 5}));
}

TEST(CsvImport, PreviewShowsTheLinesAsTheyWillBeReadWithBadCellsMarked)
{
    CsvImportOptions options;
    options.previewRows = 2;
    const CsvImport in = read(exportTitles(3) + exportLine(3, {{0, "Д9"}, {1, "1,50"}}) +
                                  exportLine(3, {{0, "Д10"}, {1, "1/2"}}) + exportLine(3, {{0, "Д11"}}),
                              options);
    ASSERT_EQ(in.preview.size(), 2u);
    EXPECT_EQ(in.preview[0].line, 2);
    EXPECT_EQ(in.preview[0].cells[1], "1,5");
    EXPECT_FALSE(in.preview[0].bad[1]);
    EXPECT_EQ(in.preview[1].line, 3);
    EXPECT_EQ(in.preview[1].cells[1], "1/2");
    EXPECT_TRUE(in.preview[1].bad[1]);
    EXPECT_FALSE(in.preview[1].bad[0]);
}

TEST(CsvImport, TitleRowOfAnotherDeviceType)
{
    const std::string diodes = exportTitles(3) + exportLine(3, {{0, "Д9"}, {1, "10"}, {10, "85"}});

    // Read as zener diodes: four diode titles name zener columns, at other places.
    CsvImportOptions asZener;
    asZener.deviceType = 4;
    const CsvImport in = read(diodes, asZener);
    EXPECT_EQ(in.base.deviceType, 4);
    EXPECT_EQ(in.header.matched, 4);
    EXPECT_EQ(in.header.leftOut.size(), 8u);
    EXPECT_EQ(in.header.leftOut[0].field, 1);
    EXPECT_EQ(in.header.leftOut[0].reason, "нет среди параметров типа «Стабилитроны»");
    EXPECT_EQ(cellUtf8(in, 1, 12), "85");  // "Tп max, °С": diode column 10, zener column 12
    EXPECT_EQ(cellUtf8(in, 1, 1), "0");

    // Records for a zener base from a diode file are refused.
    ComponentBase zener = makeEmptyBase(shipped(), "");
    zener.deviceType = 4;
    zener.table.resize(2, tableColumnCount(4));
    CsvImportOptions into;
    into.into = &zener;
    EXPECT_EQ(importError(diodes, into),
              "Заголовки столбцов файла — от типа приборов «Диоды», а база — «Стабилитроны»");

    // A title that the base shows under another name: its values would be in other units.
    ComponentBase diodeBase = makeEmptyBase(shipped(), "");
    diodeBase.deviceType = 3;
    diodeBase.table.resize(2, tableColumnCount(3));
    into.into = &diodeBase;
    EXPECT_EQ(
        importError(cp("Название;Uобр max, кВ\r\nД9;10\r\n"), into),
        "Столбец «Uобр max, кВ» в базе называется «Uобр max, В»: значения могут быть в других единицах. "
        "Исправьте заголовок в файле");

    EXPECT_EQ(
        importError(cp("Название;Цена;Склад\r\n")),
        "Заголовки столбцов не совпадают с названиями параметров ни одного типа приборов; укажите тип прибора");
    EXPECT_EQ(importError(cp("Название;Tп max, °С\r\n")),
              "Заголовки столбцов подходят к нескольким типам приборов (Биполярные транзисторы, Диоды, "
              "Стабилитроны, Варикапы, Тиристоры, Светодиоды); укажите тип прибора");
    asZener.deviceType = 4;
    EXPECT_EQ(importError(cp("Название;Цена;Склад\r\n"), asZener),
              "Ни один заголовок столбца не совпадает с названиями параметров типа «Стабилитроны»");
    EXPECT_EQ(importError(""), "В файле нет строки заголовков столбцов");
}

TEST(CsvImport, RepeatedAndUntitledColumnsAreLeftOut)
{
    // Not the export's layout (a column out of its place): an empty title names nothing.
    const CsvImport in = read(cp("Название;Uобр имп max, В;Uобр max, В;;Uобр max, В\r\nД9;1;2;3;4\r\n"));
    ASSERT_EQ(in.header.leftOut.size(), 2u);
    EXPECT_EQ(in.header.leftOut[0].field, 3);
    EXPECT_EQ(in.header.leftOut[0].reason, "нет заголовка");
    EXPECT_EQ(in.header.leftOut[1].field, 4);
    EXPECT_EQ(in.header.leftOut[1].reason, "повторяет столбец 2");
    EXPECT_EQ(cellUtf8(in, 1, 1), "2");
    EXPECT_EQ(cellUtf8(in, 1, 2), "1");
}

TEST(CsvImport, TitlesGiveTheColumnMap)
{
    // Name 2 of column 2 and name 3 of column 6; an empty title in the export's layout keeps
    // its column with a map entry naming no name.
    std::string titles = cp("Тип прибора;");
    for (int c = 1; c <= 12; ++c)
        titles += (c == 2   ? shipped().name(3, 2, 2)
                   : c == 6 ? shipped().name(3, 6, 3)
                   : c == 9 ? std::string()
                            : shipped().name(3, c, 1)) +
                  ";";
    CsvImportOptions options;
    options.deviceLabel = cp("Тип прибора");
    const CsvImport in = read(titles + "\r\n" + exportLine(3, {{0, "Д9"}, {9, "100"}}), options);
    EXPECT_TRUE(in.header.leftOut.empty());
    EXPECT_EQ(in.base.columnMap[1], 2);
    EXPECT_EQ(in.base.columnMap[5], 3);
    EXPECT_EQ(in.base.columnMap[8], shipped().nameCount(3, 9) + 1);
    EXPECT_EQ(in.base.columnMap[0], 1);
    EXPECT_EQ(csvBytes(in.base.table), titles + "\r\n" + exportLine(3, {{0, "Д9"}, {9, "100"}}));
}

TEST(CsvImport, RecordsAddedToABaseAndTakenOutAgain)
{
    const std::string bytes =
        exportTitles(3) + exportLine(3, {{0, "Д9"}, {1, "10"}}) + exportLine(3, {{0, "Д10"}, {1, "20"}});
    // A new base's single blank row gives way to the records, and comes back with the undo.
    ComponentBase base = makeEmptyBase(shipped(), "");
    base.deviceType = 3;
    base.table.resize(2, tableColumnCount(3));
    base.applyTitles(shipped());
    CsvImportOptions options;
    options.into = &base;
    CsvImport in = read(bytes, options);
    AppendedRecords done = appendRecords(base, in.base.table);
    EXPECT_TRUE(done.tookBlankRow);
    ASSERT_EQ(base.table.rowCount(), 3);
    EXPECT_EQ(base.table.cell(2, 0), cp("Д10"));
    removeAppendedRecords(base, done);
    EXPECT_EQ(base.table.rowCount(), 2);
    EXPECT_EQ(base.table.cell(1, 0), "");

    // A base with a record keeps it; the records come after it, also after a sort, and go
    // again whatever order the rows were put in.
    base.table.setCell(1, 0, "A");
    base.table.setCell(1, 1, "30");
    done = appendRecords(base, in.base.table);
    EXPECT_FALSE(done.tookBlankRow);
    ASSERT_EQ(base.table.rowCount(), 4);
    EXPECT_EQ(base.table.cell(3, 1), "20");
    base.table.moveRow(3, 1);
    removeAppendedRecords(base, done);
    ASSERT_EQ(base.table.rowCount(), 2);
    EXPECT_EQ(base.table.cell(1, 0), "A");
    EXPECT_EQ(base.table.cell(1, 1), "30");
}

TEST(CsvImport, RecordsAddedToAColumnOfAnotherKindKeepTheirTexts)
{
    // A version-3 base keeps its range column in the version-3 form; the records read from a
    // file come in range form and go in as texts.
    Table v3 = Table::fromColumns(2, [] {
        std::vector<ColumnStore> cols(31);
        cols[0].texts = {"OLD"};
        for (int c = 1; c < 30; ++c)
            cols[static_cast<size_t>(c)].kind = CellKind::Value;
        cols[14].kind = CellKind::V3Range;
        cols[30].kind = CellKind::Drawing;
        return cols;
    }());
    ComponentBase base;
    base.columnMap.fill(1);
    base.table = std::move(v3);
    CsvImportOptions options;
    options.into = &base;
    const CsvImport in =
        read(exportTitles(1) + exportLine(1, {{0, "НОВЫЙ"}, {14, "(50-350)"}, {30, "4"}}), options);
    appendRecords(base, in.base.table);
    ASSERT_EQ(base.table.rowCount(), 3);
    EXPECT_EQ(base.table.cell(2, 14), "(50-350)");
    EXPECT_EQ(base.table.cell(2, 30), "4");
    EXPECT_EQ(base.table.cell(1, 0), "OLD");
}

// The quick readings of plain numbers (while the line is scanned, and in readValueCell) must
// give exactly what the typing rules give, and the class of value the store derives from it.
TEST(CsvImport, QuickNumberReadingsAgreeWithTheTypingRules)
{
    std::vector<std::string> texts = {"0",
                                      "-0",
                                      ",",
                                      "-,",
                                      "5E",
                                      "5E-",
                                      ",5",
                                      "5,",
                                      "007",
                                      "0,000",
                                      "999999999999999",
                                      "1000000000000000",
                                      "123456789012345678901",
                                      "0,00000000000000000000000123",
                                      "1E22",
                                      "1E23",
                                      "1E-22",
                                      "1E-23",
                                      "9,99999999999999E307",
                                      "1,79769313486232E308",
                                      "2,2250738585072E-308",
                                      "4,94065645841247E-324",
                                      "1E-400",
                                      "-1,5E-5",
                                      "<(2,5)]",
                                      ">-6E-8",
                                      "{0}"};
    std::uint64_t state = 12345;
    const auto next = [&state] {
        state = state * 6364136223846793005ULL + 1442695040888963407ULL;
        return state >> 33;
    };
    for (int k = 0; k < 20000; ++k) {
        std::string digits;
        const int count = 1 + static_cast<int>(next() % 18);
        for (int d = 0; d < count; ++d)
            digits += static_cast<char>('0' + next() % 10);
        const size_t comma = next() % (digits.size() + 2);
        if (comma <= digits.size())
            digits.insert(comma, ",");
        if (next() % 3 == 0)
            digits += "E" + std::string(next() % 2 ? "-" : "") + std::to_string(next() % 330);
        if (next() % 4 == 0)
            digits = "-" + digits;
        if (next() % 5 == 0)
            digits = "(" + digits + ")";
        texts.push_back(digits);
    }

    std::string csv = exportTitles(3);
    for (const std::string& t : texts) {
        SCOPED_TRACE(t);
        const auto typed = cellToFlaggedValue(t);
        CellValue quick;
        const CellFault fault = readValueCell(t, quick);
        ASSERT_EQ(fault == CellFault::None, typed.ok());
        if (!typed)
            continue;
        EXPECT_EQ(quick.flags, typed->flags);
        EXPECT_EQ(std::bit_cast<std::uint64_t>(quick.value), std::bit_cast<std::uint64_t>(typed->value));
        EXPECT_EQ(quick.cls, classifyValue(quick.value));
        csv += "X;" + t + ";\r\n";
    }

    // The same lines read while scanned and read through the splitter (a preview of all lines).
    const CsvImport scanned = read(csv);
    CsvImportOptions all;
    all.previewRows = static_cast<int>(texts.size());
    const CsvImport split = read(csv, all);
    ASSERT_EQ(scanned.problemCount, 0u);
    ASSERT_EQ(scanned.recordCount(), split.recordCount());
    const ColumnStore& a = scanned.base.table.column(1);
    const ColumnStore& b = split.base.table.column(1);
    for (int r = 0; r < scanned.recordCount(); ++r) {
        EXPECT_EQ(a.flags[static_cast<size_t>(r)], b.flags[static_cast<size_t>(r)]) << r;
        EXPECT_EQ(a.classes[static_cast<size_t>(r)], b.classes[static_cast<size_t>(r)]) << r;
        EXPECT_EQ(std::bit_cast<std::uint64_t>(a.a[static_cast<size_t>(r)]),
                  std::bit_cast<std::uint64_t>(b.a[static_cast<size_t>(r)]))
            << r;
    }
}

// Files that are no CSV text are refused and say why; a blank spreadsheet row is no record; a
// UTF-8 line in a Windows-1251 file is named in a warning.
TEST(CsvImport, NoTextBlankRowsAndMixedEncodings)
{
    const std::string titles = exportTitles(3);
    EXPECT_EQ(importError(std::string(4096, '\0')), "Это не текстовый файл CSV: в строке 1 нулевой байт");
    // A zero byte inside a name: that cell is bad, the line named; zero bytes at the end of a
    // name (the padding of a damaged length byte) are kept.
    const CsvImport zero =
        read(titles + exportLine(3, {{0, "Д9"}}) + exportLine(3, {{0, std::string("Д\0X", 4)}}) +
             exportLine(3, {{0, std::string("Д10\0\0", 5)}}));
    ASSERT_EQ(zero.problemCount, 1u);
    EXPECT_EQ(zero.problems[0].line, 3);
    EXPECT_NE(zero.problems[0].message.find("в названии нулевой байт"), std::string::npos)
        << zero.problems[0].message;
    EXPECT_EQ(importError("\xFF\xFE" + std::string("a\0;\0", 4)),
              "Файл в кодировке UTF-16: сохраните его как CSV в UTF-8 или Windows-1251");

    // Rows a spreadsheet writes for its empty lines, between and after the records, in both
    // ways the lines are read (the preview's lines take the other one).
    const std::string blank(static_cast<std::size_t>(tableColumnCount(3)), ';');
    const std::string text = titles + blank + "\r\n" + exportLine(3, {{0, "Д9"}, {1, "10"}}) + blank +
                             "\r\n" + "\"\";\"\";  ;\r\n" + exportLine(3, {{0, "Д10"}}) + blank + "\r\n" +
                             " ; ;\r\n";
    for (const int preview : {0, 100}) {
        SCOPED_TRACE(preview);
        CsvImportOptions options;
        options.previewRows = preview;
        const CsvImport in = read(text, options);
        ASSERT_EQ(in.recordCount(), 2);
        EXPECT_EQ(cellUtf8(in, 1, 0), "Д9");
        EXPECT_EQ(cellUtf8(in, 2, 0), "Д10");
        EXPECT_EQ(in.problemCount, 0u);
        EXPECT_TRUE(in.warnings.empty());
    }

    // A Windows-1251 file with lines pasted from a UTF-8 one: read as it is, those lines named.
    const std::string mixed = titles + exportLine(3, {{0, "Д9"}}) + "\xD0\x94\x31\x30;\r\n" +
                              exportLine(3, {{0, "КД"}}) + "\xD0\x94\x31\x31;\r\n";
    const CsvImport in = read(mixed);
    EXPECT_EQ(in.encoding, CsvEncoding::Cp1251);
    EXPECT_EQ(in.recordCount(), 4);
    ASSERT_EQ(in.warnings.size(), 1u);
    EXPECT_EQ(in.warnings[0],
              "строки 3, 5 записаны в кодировке UTF-8, а файл — в Windows-1251: их буквы будут "
              "прочитаны неверно; сохраните файл целиком в одной кодировке");
    // Said to be Windows-1251, it is read so without a word.
    CsvImportOptions given;
    given.encoding = CsvEncoding::Cp1251;
    EXPECT_TRUE(read(mixed, given).warnings.empty());
}
