// Every folder of tests/fixtures/bases holds a base file assembled byte by byte (see
// make_fixtures.py there) with what qdb must make of it: the `info` output and the CSV export,
// also after a conversion to version 5, and where a case fixes them, the converted file's bytes.
#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "qdbrun.h"
#include "scratchdir.h"

namespace fs = std::filesystem;
using namespace qdbtest;

namespace {

const fs::path kFixtures = fs::path(VELTRIS_SOURCE_DIR) / "tests" / "fixtures" / "bases";

std::vector<std::string> fixtureCases()
{
    std::vector<std::string> cases;
    for (const auto& entry : fs::directory_iterator(kFixtures))
        if (entry.is_directory())
            cases.push_back(entry.path().filename().string());
    std::sort(cases.begin(), cases.end());
    return cases;
}

class BaseFixture : public ::testing::TestWithParam<std::string> {};

TEST_P(BaseFixture, InfoExportAndConvertGiveTheExpectedTexts)
{
    const fs::path dir = kFixtures / GetParam();
    ScratchDir scratch;
    // qdb prints the path it was given; the expectation names the file as base.QDB.
    const fs::path base = scratch.path() / "base.QDB";
    fs::copy_file(dir / "base.QDB", base);

    const QdbRun info = runQdb({"info", base.string()}, scratch.path());
    ASSERT_EQ(info.exitCode, 0) << info.err;
    std::string expectedInfo = readAll(dir / "expected-info.txt");
    const std::string shownName = "Файл: base.QDB";
    ASSERT_EQ(expectedInfo.rfind(shownName, 0), 0u);
    expectedInfo.replace(0, shownName.size(), "Файл: " + base.string());
    EXPECT_EQ(info.out, expectedInfo);

    const fs::path csv = scratch.path() / "out.csv";
    const QdbRun exported = runQdb({"export", base.string(), csv.string()}, scratch.path());
    ASSERT_EQ(exported.exitCode, 0) << exported.err;
    EXPECT_EQ(readAll(csv), readAll(dir / "expected.csv"));

    const fs::path converted = scratch.path() / "converted.QDB";
    const fs::path convertedCsv = scratch.path() / "converted.csv";
    ASSERT_EQ(runQdb({"convert", base.string(), converted.string()}, scratch.path()).exitCode, 0);
    ASSERT_EQ(runQdb({"export", converted.string(), convertedCsv.string()}, scratch.path()).exitCode, 0);
    const fs::path expectedConverted =
        fs::exists(dir / "expected-converted.csv") ? dir / "expected-converted.csv" : dir / "expected.csv";
    EXPECT_EQ(readAll(convertedCsv), readAll(expectedConverted));
    if (fs::exists(dir / "expected-converted.QDB")) {
        EXPECT_EQ(readAll(converted), readAll(dir / "expected-converted.QDB"));
    }
}

INSTANTIATE_TEST_SUITE_P(HandMade, BaseFixture, ::testing::ValuesIn(fixtureCases()),
                         [](const ::testing::TestParamInfo<std::string>& p) {
                             std::string name = p.param;
                             std::replace(name.begin(), name.end(), '-', '_');
                             return name;
                         });

}  // namespace
