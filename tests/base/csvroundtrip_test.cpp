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
    const std::string exported = csvBytes(original->table);

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
    EXPECT_EQ(csvBytes(back.table), exported);

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
