// Export, then import: for every hand-made fixture base and every sample base, the records read
// back export byte for byte as the first export did, and save as the base itself saves, except
// for what the CSV does not carry (the header's banner and description, the columns of the second
// table, a column map entry that names no name, records of a type without a layout, range ends
// closer than their one-number text shows).
#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "agreeingranges.h"
#include "base/basefile.h"
#include "base/catalogue.h"
#include "base/cp1251.h"
#include "base/csvexport.h"
#include "base/csvimport.h"
#include "base/devicetype.h"

namespace fs = std::filesystem;
using namespace veltris;

namespace {

const Catalogue& shipped()
{
    static const Catalogue catalogue = loadCatalogues(fs::path(VELTRIS_SOURCE_DIR) / "data").catalogue;
    return catalogue;
}

std::vector<std::string> baseFiles()
{
    std::vector<std::string> files;
    for (const auto& e :
         fs::directory_iterator(fs::path(VELTRIS_SOURCE_DIR) / "tests" / "fixtures" / "bases"))
        if (e.is_directory())
            files.push_back((e.path() / "base.QDB").string());
    for (const auto& e : fs::directory_iterator(fs::path(VELTRIS_BIN_DIR) / "samples"))
        if (e.path().extension() == ".QDB")
            files.push_back(e.path().string());
    std::sort(files.begin(), files.end());
    return files;
}

class CsvRoundTrip : public ::testing::TestWithParam<std::string> {};

TEST_P(CsvRoundTrip, ExportImportExportIsTheSame)
{
    auto original = readBase(GetParam(), shipped());
    ASSERT_TRUE(original.ok()) << original.error().message;
    const std::string label = utf8ToCp1251("Тип прибора");
    original->table.setCell(0, 0, label);
    const std::string exported = csvBytes(original->table, csvColourColumn(original->deviceType));

    CsvImportOptions options;
    options.deviceLabel = label;
    auto imported = importCsv(exported, shipped(), options);
    if (!findDeviceType(original->deviceType)) {
        // No layout, so no titles and no records in the export: nothing tells the type.
        ASSERT_FALSE(imported.ok());
        return;
    }
    ASSERT_TRUE(imported.ok()) << imported.error().message;
    ASSERT_EQ(imported->problemCount, 0u) << imported->problems.front().message;
    EXPECT_TRUE(imported->header.leftOut.empty());
    const ComponentBase& back = imported->base;
    EXPECT_EQ(back.deviceType, original->deviceType);
    EXPECT_EQ(csvBytes(back.table, csvColourColumn(back.deviceType)), exported);

    // Saved, the records are the original's as a conversion saves them.
    auto ours = encodeBase(back);
    auto theirs = encodeBase(*original);
    ASSERT_TRUE(ours.ok() && theirs.ok());
    ASSERT_EQ(ours->size(), theirs->size());
    for (int c = 1; c <= kMaxParamColumns; ++c) {
        if (!original->table.cell(0, c).empty())
            continue;  // an empty title does not say which entry gave it
        (*ours)[static_cast<size_t>(kHeaderSize + c - 1)] =
            (*theirs)[static_cast<size_t>(kHeaderSize + c - 1)];
    }
    takeAgreeingRangeEnds(*ours, *theirs, original->deviceType);
    const auto differing = [&](size_t from, size_t to) {
        for (size_t i = from; i < to; ++i)
            if ((*ours)[i] != (*theirs)[i])
                return static_cast<long>(i);
        return -1L;
    };
    EXPECT_EQ(differing(58, 62), -1) << "format version and device type";
    EXPECT_EQ(differing(kHeaderSize, kHeaderSize + kMaxParamColumns), -1) << "column map";
    EXPECT_EQ(differing(kLeadSize, ours->size()), -1) << "records";
}

// Names and colour codes a spreadsheet would run as formulas go out after an apostrophe and
// come back without it; numbers (a value "-5") go out as they are.
TEST(CsvFormulaGuard, TextsThatLookLikeFormulasRoundTrip)
{
    const DeviceType& led = *findDeviceType(7);
    ComponentBase base;
    base.deviceType = 7;
    base.table.resize(1, led.columnCount + 1);
    const std::string label = utf8ToCp1251("Тип прибора");
    base.table.setCell(0, 0, label);
    for (int c = 1; c <= led.columnCount; ++c)
        base.table.setCell(0, c, shipped().name(7, c, 1));
    const int value = led.colourColumn == 1 ? 2 : 1;  // a plain value column
    struct Case {
        std::string name;
        std::string exported;  // the name's field as written
        std::string colour = "R";
        std::string colourExported = "R";
    };
    const Case cases[] = {
        {"=HYPERLINK(1)", "'=HYPERLINK(1)"},
        {"+7-1", "'+7-1"},
        {"@SUM(1,1)", "'@SUM(1,1)"},
        {"=E1", "'=E1", "-R", "'-R"},
        {"-2+3", "'-2+3"},
        {"\tTAB", "'\tTAB"},
        {"'=E1", "''=E1"},     // an apostrophe of its own before a formula: one more
        {"'plain", "'plain"},  // an apostrophe before no formula stays alone
        {"KT315", "KT315"},
        {"-", "'-"},
    };
    for (const Case& c : cases) {
        const int row = base.table.rowCount();
        base.table.resize(row + 1, base.table.columnCount());
        base.table.setCell(row, 0, c.name);
        base.table.setCell(row, led.colourColumn, c.colour);
        base.table.setCell(row, value, "-5");
    }
    const std::string exported = csvBytes(base.table, led.colourColumn);
    for (int i = 0; i < static_cast<int>(std::size(cases)); ++i) {
        const Case& c = cases[i];
        SCOPED_TRACE(c.name);
        std::string line = exported;
        for (int skip = 0; skip <= i; ++skip)
            line = line.substr(line.find("\r\n") + 2);
        line = line.substr(0, line.find("\r\n"));
        EXPECT_TRUE(line.starts_with(c.exported + ";")) << line;
        EXPECT_NE(line.find(";" + c.colourExported + ";"), std::string::npos) << line;
        EXPECT_NE(line.find(";-5;"), std::string::npos) << line;
        EXPECT_EQ(line.find(";'-5;"), std::string::npos) << line;
    }

    CsvImportOptions options;
    options.deviceLabel = label;
    auto imported = importCsv(exported, shipped(), options);
    ASSERT_TRUE(imported.ok()) << imported.error().message;
    ASSERT_EQ(imported->problemCount, 0u) << imported->problems.front().message;
    for (int i = 0; i < static_cast<int>(std::size(cases)); ++i) {
        EXPECT_EQ(imported->base.table.cell(i + 1, 0), cases[i].name);
        EXPECT_EQ(imported->base.table.cell(i + 1, led.colourColumn), cases[i].colour);
    }
    EXPECT_EQ(csvBytes(imported->base.table, led.colourColumn), exported);
}

INSTANTIATE_TEST_SUITE_P(BasesAndSamples, CsvRoundTrip, ::testing::ValuesIn(baseFiles()),
                         [](const ::testing::TestParamInfo<std::string>& p) {
                             const fs::path path(p.param);
                             std::string name = path.filename() == "base.QDB"
                                                    ? path.parent_path().filename().string()
                                                    : "sample_" + path.stem().string();
                             std::replace(name.begin(), name.end(), '-', '_');
                             return name;
                         });

}  // namespace
