// What a person types into a value cell: the stored marks and value, or a refusal naming what was
// not understood; and the program's own cell texts read exactly as the stored-text rules read them.
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "base/basefile.h"
#include "base/catalogue.h"
#include "base/cp1251.h"
#include "base/typedvalue.h"
#include "base/valuetext.h"

namespace fs = std::filesystem;
using namespace veltris;

namespace {

ColumnUnit unitOf(const char* titleUtf8)
{
    return columnUnitOfTitle(utf8ToCp1251(titleUtf8));
}

struct Reads {
    const char* text;
    const char* title;
    bool range;
    std::uint8_t flags;
    double a;
    double b;  // the range column only
};

// Each row: a text typed into a column of that title reads as these marks and this value.
const Reads kReads[] = {
    // Decimal mark, groups, the leading point, minus signs, exponents.
    {"1,5", "Uкэ max,|В", false, 0, 1.5, 0},
    {"1.5", "Uкэ max,|В", false, 0, 1.5, 0},
    {".5", "Uкэ max,|В", false, 0, 0.5, 0},
    {"0.25", "Uкэ max,|В", false, 0, 0.25, 0},
    {"10 000", "Uкэ max,|В", false, 0, 10000, 0},
    {"1 234 567,5", "Uкэ max,|В", false, 0, 1234567.5, 0},
    {"10\u00A0000", "Uкэ max,|В", false, 0, 10000, 0},
    {"\u221240", "Tп max,|°С", false, 0, -40, 0},
    {"-40", "Tп max,|°С", false, 0, -40, 0},
    {"1E-5", "Iкбо,|мкА", false, 0, 1e-5, 0},
    {"1e-5", "Iкбо,|мкА", false, 0, 1e-5, 0},
    {"2,5E3", "Iкбо,|мкА", false, 0, 2500, 0},
    {"  7  ", "Uкэ max,|В", false, 0, 7, 0},
    {"", "Uкэ max,|В", false, 0, 0, 0},
    // Prefixes on a column whose unit has none, and on one without a unit.
    {"4к7", "Uкэ max,|В", false, 0, 4700, 0},
    {"4k7", "Uкэ max,|В", false, 0, 4700, 0},
    {"2М2", "Rб,|Ом", false, 0, 2.2e6, 0},
    {"1k", "Uкэ max,|В", false, 0, 1000, 0},
    {"1к", "Uкэ max,|В", false, 0, 1000, 0},
    {"1K", "Uкэ max,|В", false, 0, 1000, 0},
    {"2.2k", "Rб,|Ом", false, 0, 2200, 0},
    {"0,04к", "Uкэ max,|В", false, 0, 40, 0},
    {"100n", "Pк max,|Вт", false, 0, 100e-9, 0},
    {"1м", "Pк max,|Вт", false, 0, 0.001, 0},
    {"1М", "fгр,|Гц", false, 0, 1e6, 0},
    {"1к", "h21э", false, 0, 1000, 0},
    // Units converted into the column's unit.
    {"1,5 А", "Iк max,|мА", false, 0, 1500, 0},
    {"1,5А", "Iк max,|мА", false, 0, 1500, 0},
    {"1.5 A", "Iк max,|мА", false, 0, 1500, 0},
    {"200 мкА", "Iк max,|мА", false, 0, 0.2, 0},
    {"200 uA", "Iк max,|мА", false, 0, 0.2, 0},
    {"200 µA", "Iк max,|мА", false, 0, 0.2, 0},
    {"15 мА", "Iк max,|мА", false, 0, 15, 0},
    {"1 нФ", "Cк,|пФ", false, 0, 1000, 0},
    {"1nF", "Cк,|пФ", false, 0, 1000, 0},
    {"2,2 мкФ", "Cк,|пФ", false, 0, 2.2e6, 0},
    {"1,2 ГГц", "fгр,|МГц", false, 0, 1200, 0},
    {"300 кГц", "fгр,|МГц", false, 0, 0.3, 0},
    {"4,7 кОм", "Rб,|Ом", false, 0, 4700, 0},
    {"4к7 Ом", "Rб,|Ом", false, 0, 4700, 0},
    {"470 Ω", "Rб,|Ом", false, 0, 470, 0},
    {"500 мВт", "Pк max,|Вт", false, 0, 0.5, 0},
    {"5 V", "Uкэ max,|В", false, 0, 5, 0},
    {"700 мВ", "Uкэ max,|В", false, 0, 0.7, 0},
    {"1 мкс", "tрас,|нс", false, 0, 1000, 0},
    {"1 мс", "tрас,|нс", false, 0, 1e6, 0},
    {"25 °С", "Tп max,|°С", false, 0, 25, 0},
    {"25 °C", "Tп max,|°С", false, 0, 25, 0},
    {"3 дБ", "Kш,|дБ", false, 0, 3, 0},
    {"0,1 %/°С", "αUст,|%/°С", false, 0, 0.1, 0},
    {"20 мкд", "Iv,|мкд", false, 0, 20, 0},
    {"20 mcd", "Iv,|мкд", false, 0, 20, 0},
    {"1 кд", "Iv,|мкд", false, 0, 1000, 0},
    {"660 нм", "λ,|нм", false, 0, 660, 0},
    {"5 мм", "D,|мм", false, 0, 5, 0},
    {"5 В/мкс", "SR,|В/мкс", false, 0, 5, 0},
    // The marks the base keeps.
    {"<0,05", "Iкбо,|мкА", false, kFlagLess, 0.05, 0},
    {"<0.05", "Iкбо,|мкА", false, kFlagLess, 0.05, 0},
    {"≤0,05", "Iкбо,|мкА", false, kFlagLess, 0.05, 0},
    {"≥40", "Uкэ max,|В", false, kFlagGreater, 40, 0},
    {"> 40", "Uкэ max,|В", false, kFlagGreater, 40, 0},
    {"(12)", "Uкэ max,|В", false, kFlagParen, 12, 0},
    {"[12]", "Uкэ max,|В", false, kFlagBracket, 12, 0},
    {"{12}", "Uкэ max,|В", false, kFlagBrace, 12, 0},
    {"[(<2,5)]", "Uкэ max,|В", false, kFlagBracket | kFlagParen | kFlagLess, 2.5, 0},
    {"><3", "Uкэ max,|В", false, kFlagLess | kFlagGreater, 3, 0},
    {"(1,5) А", "Iк max,|мА", false, kFlagParen, 1500, 0},
    {"(1,5 А)", "Iк max,|мА", false, kFlagParen, 1500, 0},
    {"<200 мкА", "Iк max,|мА", false, kFlagLess, 0.2, 0},
    // Ranges in the range column; a single negative number as the base keeps it.
    {"50-350", "h21э", true, 0, 50, 350},
    {"50…350", "h21э", true, 0, 50, 350},
    {"50...350", "h21э", true, 0, 50, 350},
    {"50 - 350", "h21э", true, 0, 50, 350},
    {"50–350", "h21э", true, 0, 50, 350},
    {"(50-350)", "h21э", true, kFlagParen, 50, 350},
    {"1,5-3", "h21э", true, 0, 1.5, 3},
    {"-5-10", "h21э", true, 0, -5, 10},
    {"-5", "h21э", true, 0, -5, 5},
    {"7", "h21э", true, 0, 7, 7},
    {"1E-5-2E-3", "h21э", true, 0, 1e-5, 2e-3},
    {"1к-2к", "h21э", true, 0, 1000, 2000},
};

class TypedReads : public ::testing::TestWithParam<Reads> {};

TEST_P(TypedReads, StoresWhatWasMeant)
{
    const Reads& c = GetParam();
    const TypedReading r = readTypedValue(c.text, unitOf(c.title), c.range);
    ASSERT_TRUE(r.ok) << c.text << " in " << c.title << ": " << r.problem;
    EXPECT_EQ(r.value.flags, c.flags) << c.text;
    EXPECT_DOUBLE_EQ(r.value.a, c.a) << c.text;
    if (c.range) {
        EXPECT_DOUBLE_EQ(r.value.b, c.b) << c.text;
    }
    // What the table then holds reads back, by the stored-text rules, as the same stored value.
    const std::string text = typedValueText(r.value, c.range);
    if (!c.range) {
        const auto back = cellToFlaggedValue(text);
        ASSERT_TRUE(back.ok()) << text;
        EXPECT_EQ(back->flags, c.text[0] == '\0' || c.a == 0 ? 0 : c.flags) << text;
        EXPECT_DOUBLE_EQ(back->value, c.a) << text;
    }
}

INSTANTIATE_TEST_SUITE_P(Table, TypedReads, ::testing::ValuesIn(kReads));

struct Refused {
    const char* text;
    const char* title;
    bool range;
    const char* problem;  // a piece of the refusal
};

const Refused kRefused[] = {
    {"1/2", "Uкэ max,|В", false, "не понято «/2»"},
    {"1.000,5", "Uкэ max,|В", false, "два десятичных знака"},
    {"1,2,3", "Uкэ max,|В", false, "два десятичных знака"},
    {"5 В", "Iк max,|мА", false, "«В» — единица напряжения, а столбец в мА"},
    {"5 мА", "h21э", false, "нет единицы"},
    {"1к", "Iк max,|мА", false, "укажите единицу: 1 А или 1000 мА"},
    {"4к7", "Cк,|пФ", false, "укажите единицу: 4,7 нФ или 4700 пФ"},
    {"1к", "Tп max,|°С", false, "не ставится"},
    {"5 кдБ", "Kш,|дБ", false, "не понято «кдБ»"},
    {"5x", "Uкэ max,|В", false, "не понято «x»"},
    {"abc", "Uкэ max,|В", false, "не понято «abc»"},
    {"-", "Uкэ max,|В", false, "нет числа"},
    {"5-3", "Uкэ max,|В", false, "диапазон «5-3» в этом столбце не хранится"},
    {"50…350", "Uкэ max,|В", false, "диапазон"},
    {"1 5", "Uкэ max,|В", false, "пробел внутри числа"},
    {"1000 000", "Uкэ max,|В", false, "пробел внутри числа"},
    {"(12", "Uкэ max,|В", false, "скобка не закрыта"},
    {"12)", "Uкэ max,|В", false, "не понято «)»"},
    {"5 мкА", "SR,|В/мкс", false, "не та"},
    {"1E400", "Uкэ max,|В", false, "вне пределов"},
    {"5E", "Uкэ max,|В", false, "не понято «E»"},
    {"4к7 мОм", "Rб,|Ом", false, "без приставки"},
};

class TypedRefusals : public ::testing::TestWithParam<Refused> {};

TEST_P(TypedRefusals, NameWhatWasNotUnderstood)
{
    const Refused& c = GetParam();
    const TypedReading r = readTypedValue(c.text, unitOf(c.title), c.range);
    ASSERT_FALSE(r.ok) << c.text << " in " << c.title << " read as " << r.value.a;
    EXPECT_NE(r.problem.find(c.problem), std::string::npos) << r.problem;
    EXPECT_FALSE(r.example.empty());
    // The example given reads in that column.
    EXPECT_TRUE(readTypedValue(r.example, unitOf(c.title), c.range).ok) << r.example;
}

INSTANTIATE_TEST_SUITE_P(Table, TypedRefusals, ::testing::ValuesIn(kRefused));

TEST(TypedCell, NamesTheColumnAndKeepsTheBaseText)
{
    const std::string mA = utf8ToCp1251("Iк max,|мА");
    TypedCell c = typedCellText("1,5 А", mA, TypedColumn::Value);
    ASSERT_TRUE(c.ok);
    EXPECT_EQ(c.text, "1500");
    EXPECT_TRUE(c.changed);
    c = typedCellText("1500", mA, TypedColumn::Value);
    EXPECT_FALSE(c.changed);
    c = typedCellText("1/2", mA, TypedColumn::Value);
    ASSERT_FALSE(c.ok);
    EXPECT_EQ(c.message, "Столбец «Iк max, мА»: не понято «/2». Пример: 1,5 мА");

    EXPECT_TRUE(typedCellText("КТ315Б", "", TypedColumn::Name).ok);
    EXPECT_TRUE(typedCellText("ABCDEFGHIJKLMNO", "", TypedColumn::Name).ok);
    EXPECT_FALSE(typedCellText("ABCDEFGHIJKLMNOP", "", TypedColumn::Name).ok);
    EXPECT_FALSE(typedCellText("КТ≤315", "", TypedColumn::Name).ok);
    EXPECT_EQ(typedCellText(" 12 ", "", TypedColumn::Drawing).text, "12");
    EXPECT_FALSE(typedCellText("1.5", "", TypedColumn::Drawing).ok);
}

// Every cell text of every fixture base and sample base, as the table shows and CSV export
// writes it, reads as the stored-text rules read it: export -> import -> export keeps the bytes.
TEST(TypedValue, TheProgramsOwnTextsReadAsTheStoredTextRulesReadThem)
{
    const Catalogue catalogue = loadCatalogues(fs::path(VELTRIS_SOURCE_DIR) / "data").catalogue;
    std::vector<fs::path> files;
    for (const auto& e :
         fs::directory_iterator(fs::path(VELTRIS_SOURCE_DIR) / "tests" / "fixtures" / "bases"))
        if (e.is_directory() && fs::exists(e.path() / "base.QDB"))
            files.push_back(e.path() / "base.QDB");
    for (const auto& e : fs::directory_iterator(fs::path(VELTRIS_BIN_DIR) / "samples"))
        if (e.path().extension() == ".QDB")
            files.push_back(e.path());
    int cells = 0;
    for (const fs::path& file : files) {
        auto base = readBase(file, catalogue);
        if (!base)
            continue;
        const Table& t = base->table;
        for (int col = 1; col < t.columnCount(); ++col) {
            const TypedColumn kind = typedColumnKind(base->deviceType, t.columnCount(), col);
            if (kind != TypedColumn::Value && kind != TypedColumn::Range)
                continue;
            const ColumnUnit unit = columnUnitOfTitle(t.cell(0, col));
            const bool range = kind == TypedColumn::Range;
            for (int row = 1; row < t.rowCount(); ++row) {
                const std::string text = t.cell(row, col);
                const TypedReading r = readTypedValue(cp1251ToUtf8(text), unit, range);
                ASSERT_TRUE(r.ok) << file << " " << row << ":" << col << " «" << text << "»: " << r.problem;
                std::uint8_t flags = flagsOfText(text);
                double a = 0;
                double b = 0;
                if (range) {
                    const auto old = parseRange(numericFilter(text));
                    ASSERT_TRUE(old.ok());
                    a = old->a;
                    b = old->b;
                } else {
                    const auto old = cellToFlaggedValue(text);
                    ASSERT_TRUE(old.ok());
                    flags = old->flags;
                    a = old->value;
                }
                EXPECT_EQ(r.value.flags, flags) << text;
                EXPECT_EQ(r.value.a, a) << file << " «" << text << "»";
                if (range) {
                    EXPECT_EQ(r.value.b, b) << file << " «" << text << "»";
                }
                EXPECT_EQ(typedValueText(r.value, range),
                          range ? rangeValueText(flags, a, b) : flaggedValueText(flags, a));
                ++cells;
            }
        }
    }
    EXPECT_GT(cells, 1000);
}

}  // namespace
