// Parts lists: designators counted, the sheet's dialect and columns found, group rows left out,
// and the part a line's text names looked up in a library as the navigator looks names up.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "base/basefile.h"
#include "base/cp1251.h"
#include "base/designators.h"
#include "base/navigatorcatalogue.h"
#include "base/partnames.h"
#include "base/partslist.h"
#include "base/sheet.h"
#include "base/substitute/libraryfiles.h"
#include "handmadelibrary.h"
#include "scratchdir.h"

using namespace veltris;

namespace {

TEST(Designators, CountedAsWritten)
{
    struct Case {
        const char* text;
        int count;
        bool understood;
    };
    const Case cases[] = {
        {"", 0, true},
        {"VT1", 1, true},
        {"VT1-VT4", 4, true},
        {"VT1 - VT4", 4, true},
        {"VD1, VD3", 2, true},
        {"R1…R3", 3, true},
        {"R1...R3, R7", 4, true},
        {"C5-7", 3, true},
        {"DD1.1–DD1.4", 4, true},
        {"VT1-VT3; VT5 VT9", 5, true},
        {"VT4-VT1", 1, false},   // backwards: not a range
        {"VT1-VD4", 1, false},   // other letters
        {"по схеме", 2, false},  // words: counted, not understood
    };
    for (const Case& c : cases) {
        const DesignatorCount n = countDesignators(c.text);
        EXPECT_EQ(n.count, c.count) << c.text;
        EXPECT_EQ(n.understood, c.understood) << c.text;
    }
}

std::vector<std::string> namesOf(const PartsList& list)
{
    std::vector<std::string> out;
    for (const PartsLine& l : list.lines)
        out.push_back(l.text);
    return out;
}

TEST(PartsList, EveryDialectGivesTheSameLines)
{
    const std::string utf8 =
        "Поз. обозначение;Наименование;Кол.;Примечание\n"
        ";Транзисторы;;\n"
        "VT1-VT4;Транзистор КТ315Б ЖК3.365.200 ТУ;4;\n"
        "VT5;\"Транзистор КТ361Г; ЖК3.365.200 ТУ\";;запас\n"
        ";Резисторы;;\n"
        "R1;Резистор С2-33Н-0,25-1 кОм;1;\n"
        ";ОЖО.467.093 ТУ;;\n";
    const auto with = [&](char sep) {
        std::string s = utf8;
        for (char& c : s)
            c = c == ';' ? sep : c;
        // The quoted field keeps its own ';'.
        const auto q = s.find("КТ361Г");
        s[s.find(sep, q)] = ';';
        return s;
    };
    std::string comma = with(',');
    comma.replace(comma.find("0,25"), 4, "0.25");  // a comma list quotes or avoids commas
    const std::vector<std::string> inputs = {utf8ToCp1251(utf8), "\xEF\xBB\xBF" + utf8, with('\t'), comma};
    for (const std::string& bytes : inputs) {
        const auto sheet = readTextSheet(bytes, partsTitleRoles);
        ASSERT_TRUE(sheet.ok());
        const PartsColumns columns = findPartsColumns(*sheet);
        EXPECT_EQ(columns.titleRow, 0) << sheet->dialect;
        EXPECT_EQ(columns.designator, 0);
        EXPECT_EQ(columns.name, 1);
        EXPECT_EQ(columns.quantity, 2);
        EXPECT_EQ(columns.note, 3);
        const auto list = readPartsList(*sheet, columns);
        ASSERT_TRUE(list.ok());
        ASSERT_EQ(list->lines.size(), 3u) << sheet->dialect;
        EXPECT_EQ(list->lines[0].line, 3);
        EXPECT_EQ(list->lines[0].designatorCount, 4);
        EXPECT_EQ(list->lines[0].quantity, 4);
        EXPECT_EQ(list->lines[1].text, "Транзистор КТ361Г; ЖК3.365.200 ТУ");
        EXPECT_EQ(list->lines[1].quantity, 1);  // no quantity: the designators' count
        EXPECT_EQ(list->lines[1].note, "запас");
        // The group rows and the carried-on designation are no lines.
        EXPECT_EQ(list->skippedRows, (std::vector<int>{2, 5, 7}));
    }
}

TEST(PartsList, PlainListsAndListsWithoutTitles)
{
    // One name a line (a pasted clipboard): names with commas stay whole.
    auto plain =
        readTextSheet("КТ315Б\r\n\r\nКД522Б\r\nрезистор 0,25 Вт 1 кОм\r\nТранзисторы\r\n", partsTitleRoles);
    ASSERT_TRUE(plain.ok());
    PartsColumns columns = findPartsColumns(*plain);
    EXPECT_EQ(columns.titleRow, -1);
    EXPECT_EQ(columns.name, 0);
    auto list = readPartsList(*plain, columns);
    ASSERT_TRUE(list.ok());
    EXPECT_EQ(namesOf(*list), (std::vector<std::string>{"КТ315Б", "КД522Б", "резистор 0,25 Вт 1 кОм"}));
    EXPECT_EQ(list->lines[1].line, 3);  // lines of the file, the empty one counted

    // Columns without a title row, told from what they hold.
    auto bare = readTextSheet("VT1;КТ315Б;2\nVT2-VT3;КТ361Г;2\nVD1;КД522Б;1\n", partsTitleRoles);
    ASSERT_TRUE(bare.ok());
    columns = findPartsColumns(*bare);
    EXPECT_EQ(columns.titleRow, -1);
    EXPECT_EQ(columns.designator, 0);
    EXPECT_EQ(columns.name, 1);
    EXPECT_EQ(columns.quantity, 2);

    EXPECT_FALSE(readTextSheet(" \r\n\t\n", partsTitleRoles).ok());
    columns.name = -1;
    EXPECT_FALSE(readPartsList(*bare, columns).ok());
}

class PartNames : public ::testing::Test {
protected:
    void SetUp() override
    {
        using handmade::makeBase;
        const ComponentBase bipolar = makeBase(1, {{"КТ315Б", {}},
                                                   {"КТ315Г", {}},
                                                   {"КТ3102Б", {}},
                                                   {"КТ3102В", {}},
                                                   {"BC547B", {}},
                                                   {"2Т312Б", {}}});
        const ComponentBase diodes = makeBase(3, {{"КД522Б", {}}, {"1N4148", {}}, {"KT315Б", {}}});
        ASSERT_TRUE(writeBase(bipolar, m_dir.path() / "a.QDB").ok());
        ASSERT_TRUE(writeBase(diodes, m_dir.path() / "b.QDB").ok());
        NavigatorCatalogue navigator;
        ASSERT_TRUE(navigator.addFolder(m_dir.path()).empty());
        m_library = readLibraryFiles(navigator, handmade::shippedCatalogue());
        ASSERT_EQ(m_library.files.size(), 2u);
        m_index = std::make_unique<PartNameIndex>(m_library, handmade::shippedCatalogue());
    }

    std::vector<std::string> namesFound(const NameInText& n) const
    {
        std::vector<std::string> out;
        for (std::size_t e : n.entries)
            out.push_back(cp1251ToUtf8(m_index->name(e)));
        return out;
    }

    ScratchDir m_dir;
    LibraryFiles m_library;
    std::unique_ptr<PartNameIndex> m_index;
};

TEST_F(PartNames, FoundInsideTheTextAsTheNavigatorReadsNames)
{
    struct Case {
        const char* text;
        NameStatus status;
        std::vector<std::string> names;
    };
    const Case cases[] = {
        {"Транзистор КТ315Б ЖК3.365.200 ТУ", NameStatus::Found, {"КТ315Б"}},
        {"Транзистор КТ 315Г", NameStatus::Found, {"КТ315Г"}},  // a blank inside the name
        {"Транзистор 2Т-312Б", NameStatus::Found, {"2Т312Б"}},  // a hyphen
        {"kt3102e", NameStatus::NotFound, {}},
        {"Транзистор kt3102b", NameStatus::Ambiguous, {"КТ3102Б", "КТ3102В"}},  // b: Б or В
        {"BC547B", NameStatus::Found, {"BC547B"}},
        {"ВС547В", NameStatus::Found, {"BC547B"}},  // typed in Cyrillic look-alikes
        {"Транзистор КТ315 ЖК3.365.200 ТУ", NameStatus::Ambiguous, {"КТ315Б", "КТ315Г"}},
        {"Транзистор КТ3102", NameStatus::Ambiguous, {"КТ3102Б", "КТ3102В"}},
        {"Диод (1N4148)", NameStatus::Found, {"1N4148"}},
        {"Микросхема К140УД7", NameStatus::NotFound, {}},
        {"Транзисторы", NameStatus::NotFound, {}},
        {"КТ315Б или КД522Б", NameStatus::Ambiguous, {"КТ315Б", "КД522Б"}},
    };
    for (const Case& c : cases) {
        const NameInText n = findPartName(*m_index, c.text);
        EXPECT_EQ(n.status, c.status) << c.text;
        EXPECT_EQ(namesFound(n), c.names) << c.text;
    }
}

TEST_F(PartNames, OneNameInTwoBasesIsOnePart)
{
    // КТ315Б and KT315Б (Latin look-alikes) name one part: found, in the first base.
    const NameInText n = findPartName(*m_index, "КТ315Б");
    ASSERT_EQ(n.status, NameStatus::Found);
    EXPECT_EQ(m_index->part(n.entries.front()).file, 0);
    ASSERT_EQ(n.sameName.size(), 1u);
    EXPECT_EQ(m_index->part(n.sameName.front()).file, 1);
}

}  // namespace
