// qdb import driven as a user runs it: its options, messages and exit codes, what it writes, and
// export -> import against convert over every fixture base and sample.
#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "../base/agreeingranges.h"
#include "base/basefile.h"
#include "base/catalogue.h"
#include "base/cp1251.h"
#include "base/devicetype.h"
#include "qdbrun.h"
#include "scratchdir.h"

namespace fs = std::filesystem;
using namespace veltris;
using namespace qdbtest;

namespace {

const fs::path kDataDir = fs::path(VELTRIS_SOURCE_DIR) / "data";

std::string cp(std::string_view utf8)
{
    return utf8ToCp1251(utf8);
}

const Catalogue& shipped()
{
    static const Catalogue catalogue = loadCatalogues(kDataDir).catalogue;
    return catalogue;
}

// A diode CSV in the export's layout: the title row and one line per record (cells in UTF-8).
std::string diodeCsv(const std::vector<std::vector<std::pair<int, std::string>>>& records)
{
    std::string out = cp("Тип прибора;");
    for (int c = 1; c <= 12; ++c)
        out += shipped().name(3, c, 1) + ";";
    out += "\r\n";
    for (const auto& rec : records) {
        std::vector<std::string> fields(13);
        for (const auto& [c, t] : rec)
            fields[static_cast<size_t>(c)] = cp(t);
        for (const std::string& f : fields)
            out += f + ";";
        out += "\r\n";
    }
    return out;
}

// qdb run in `dir`, so that the arguments name its files as a user in that folder would.
QdbRun qdbIn(const ScratchDir& dir, const std::string& quotedArgs)
{
    return runQdbQuoted(quotedArgs, dir.path(), "cd " + shellQuote(dir.path().string()) + " && ");
}

int recordsIn(const fs::path& base)
{
    auto b = readBase(base, shipped());
    return b ? b->recordCount() : -1;
}

}  // namespace

TEST(QdbImport, OptionsMessagesAndExitCodes)
{
    ScratchDir dir;
    const auto good = dir.write("good.csv", diodeCsv({{{0, "Д9"}, {1, "10"}}, {{0, "Д10"}, {1, "20"}}}));
    const auto bad = dir.write("bad.csv", diodeCsv({{{0, "Д9"}, {1, "10"}}, {{0, "Д10"}, {1, "1/2"}}}));
    const auto tabs = dir.write("tabs.csv",
                                "\xEF\xBB\xBF"
                                "Название\tUст ном, В\tTп max, °С\nКС133А\t3,3\t125\n");
    const auto unknown = dir.write("unknown.csv", cp("Название;Цена;Склад\r\nД9;5;10\r\n"));
    const std::string cat = "--catalogue " + shellQuote(kDataDir.string()) + " ";

    struct Case {
        std::string args;  // after "import --catalogue DIR"
        int exitCode;
        std::vector<std::string> messages;  // each somewhere on stderr
        int records;                        // in out.QDB afterwards; -1: no file
    } cases[] = {
        {"good.csv out.QDB",
         0,
         {"qdb: файл CSV: кодировка «Windows-1251», разделитель «;», тип приборов «Диоды» (код 3)\n",
          "qdb: Прочитано записей: 2, пропущено строк: 0\n"},
         2},
        {"bad.csv out.QDB",
         1,
         {"qdb: строка 3, «Uобр max, В»: «1/2» — не число: не понято «/2»\n",
          "qdb: ничего не импортировано: строк с ошибками 1 (пропустить их: --skip-bad)\n"},
         -1},
        {"--skip-bad bad.csv out.QDB",
         0,
         {"qdb: строка 3, «Uобр max, В»: «1/2» — не число: не понято «/2»\n",
          "qdb: Прочитано записей: 1, пропущено строк: 1\n"},
         1},
        {"--dry-run good.csv out.QDB",
         0,
         {"Прочитано записей: 2, пропущено строк: 0 (проверка: база не записана)"},
         -1},
        {"--type 4 good.csv out.QDB",
         0,
         {"qdb: столбец 2 «Uобр max, В» пропущен: нет среди параметров типа «Стабилитроны»\n"},
         2},
        {"tabs.csv out.QDB",
         0,
         {"кодировка «UTF-8» с меткой порядка байтов, разделитель табуляция, тип приборов «Стабилитроны» (код 4)"},
         1},
        {"--encoding utf-8 --separator tab --type 4 tabs.csv out.QDB", 0, {"Прочитано записей: 1"}, 1},
        {"--separator ';' tabs.csv out.QDB", 1, {"укажите тип прибора (--type КОД)"}, -1},
        {"unknown.csv out.QDB",
         1,
         {"qdb: «unknown.csv»: Заголовки столбцов не совпадают с названиями параметров ни одного типа приборов; "
          "укажите тип прибора (--type КОД)\n"},
         -1},
        {"--encoding koi8-r good.csv out.QDB",
         1,
         {"qdb: --encoding: «koi8-r» — неизвестная кодировка; допустимы cp1251 и utf-8\n"},
         -1},
        {"--separator '|' good.csv out.QDB",
         1,
         {"qdb: --separator: «|» — недопустимый разделитель; допустимы «;», «,» и tab\n"},
         -1},
        {"--type 2 good.csv out.QDB",
         1,
         {"qdb: --type: «2» — у типа приборов с таким кодом нет описания столбцов; допустимы коды 1, 3, 4, 5, 6, 7\n"},
         -1},
        {"none.csv out.QDB", 1, {"Не удалось открыть файл «none.csv»"}, -1},
        {"good.csv no/such/out.QDB", 1, {"qdb: Ошибка записи в файл «no/such/out.QDB»"}, -1},
        {"good.csv", 1, {"qdb import: не указан файл базы (БАЗА)\n"}, -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args);
        fs::remove(dir.path() / "out.QDB");
        const QdbRun run = qdbIn(dir, "import " + cat + c.args);
        EXPECT_EQ(run.exitCode, c.exitCode) << run.err;
        for (const std::string& m : c.messages)
            EXPECT_NE(run.err.find(m), std::string::npos) << run.err;
        EXPECT_TRUE(run.out.empty());
        EXPECT_EQ(recordsIn(dir.path() / "out.QDB"), c.records);
    }
}

TEST(QdbImport, AppendAddsToABaseOfTheSameTypeOnly)
{
    ScratchDir dir;
    const std::string cat = "--catalogue " + shellQuote(kDataDir.string()) + " ";
    dir.write("more.csv", diodeCsv({{{0, "Д11"}, {1, "30"}}}));
    ASSERT_EQ(qdbIn(dir, "import " + cat + "more.csv base.QDB").exitCode, 0);
    dir.write("two.csv", diodeCsv({{{0, "Д9"}, {1, "10"}}, {{0, "Д10"}, {1, "20"}}}));

    QdbRun run = qdbIn(dir, "import " + cat + "--append two.csv base.QDB");
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(recordsIn(dir.path() / "base.QDB"), 3);
    run = qdbIn(dir, "import " + cat + "--append --dry-run two.csv base.QDB");
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(recordsIn(dir.path() / "base.QDB"), 3);

    // A zener base takes no diode records; its file stays as it was.
    dir.write("zener.csv", cp("Название;Uст ном, В\r\nКС133А;3,3\r\n"));
    ASSERT_EQ(qdbIn(dir, "import " + cat + "zener.csv zener.QDB").exitCode, 0);
    const std::string before = readAll(dir.path() / "zener.QDB");
    run = qdbIn(dir, "import " + cat + "--append two.csv zener.QDB");
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("Заголовки столбцов файла — от типа приборов «Диоды», а база — «Стабилитроны»"),
              std::string::npos)
        << run.err;
    run = qdbIn(dir, "import " + cat + "--append --type 3 two.csv zener.QDB");
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("Тип приборов «Диоды» не тот, что у базы («Стабилитроны»)"), std::string::npos)
        << run.err;
    run = qdbIn(dir, "import " + cat + "--append two.csv none.QDB");
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("Не удалось открыть файл"), std::string::npos) << run.err;
    EXPECT_EQ(readAll(dir.path() / "zener.QDB"), before);
}

// A CSV of a large base (here 20 MB, 300,000 records) is read whole, not refused like an
// oversized settings file.
TEST(QdbImport, LargeFileIsRead)
{
    ScratchDir dir;
    std::vector<std::vector<std::pair<int, std::string>>> records;
    const int count = 300000;
    records.reserve(count);
    for (int i = 0; i < count; ++i) {
        records.push_back({{0, "Д" + std::to_string(i)}, {1, std::to_string(10 + i % 1000)}});
        for (int c = 2; c <= 11; ++c)
            records.back().emplace_back(c, "1234,5");
        records.back().emplace_back(12, "17");  // the drawing number
    }
    const std::string csv = diodeCsv(records);
    ASSERT_GT(csv.size(), std::size_t{16} << 20);
    dir.write("big.csv", csv);
    const QdbRun run = qdbIn(dir, "import --catalogue " + shellQuote(kDataDir.string()) + " big.csv big.QDB");
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(recordsIn(dir.path() / "big.QDB"), count);
}

// qdb export, then qdb import, against qdb convert of the same base: the export of the import is
// the export of the conversion, and the files differ only where the CSV carries nothing.
class QdbImportRoundTrip : public ::testing::TestWithParam<std::string> {};

TEST_P(QdbImportRoundTrip, ImportOfTheExportSavesAsConvertDoes)
{
    ScratchDir dir;
    const fs::path base = GetParam();
    const auto qdb = [&](const std::vector<std::string>& args) { return runQdb(args, dir.path()); };
    ASSERT_EQ(qdb({"export", base.string(), (dir.path() / "a.csv").string()}).exitCode, 0);
    ASSERT_EQ(qdb({"convert", base.string(), (dir.path() / "converted.QDB").string()}).exitCode, 0);
    const QdbRun imported =
        qdb({"import", (dir.path() / "a.csv").string(), (dir.path() / "imported.QDB").string()});
    auto original = readBase(base, shipped());
    ASSERT_TRUE(original.ok());
    if (!findDeviceType(original->deviceType)) {
        EXPECT_EQ(imported.exitCode, 1);
        EXPECT_NE(imported.err.find("укажите тип прибора"), std::string::npos) << imported.err;
        return;
    }
    ASSERT_EQ(imported.exitCode, 0) << imported.err;
    ASSERT_EQ(
        qdb({"export", (dir.path() / "imported.QDB").string(), (dir.path() / "b.csv").string()}).exitCode, 0);
    ASSERT_EQ(
        qdb({"export", (dir.path() / "converted.QDB").string(), (dir.path() / "c.csv").string()}).exitCode,
        0);
    EXPECT_EQ(readAll(dir.path() / "b.csv"), readAll(dir.path() / "c.csv"));

    std::string ours = readAll(dir.path() / "imported.QDB");
    const std::string theirs = readAll(dir.path() / "converted.QDB");
    ASSERT_EQ(ours.size(), theirs.size());
    // Not carried: the banner and description, the second table's columns, map entries behind
    // empty titles, and range ends closer than their one-number text shows.
    ours.replace(0, 58, theirs.substr(0, 58));
    ours.replace(62, kHeaderSize - 62, theirs.substr(62, kHeaderSize - 62));
    ours.replace(kHeaderSize + kMaxParamColumns, kLeadSize - kHeaderSize - kMaxParamColumns,
                 theirs.substr(kHeaderSize + kMaxParamColumns, kLeadSize - kHeaderSize - kMaxParamColumns));
    for (int c = 1; c <= kMaxParamColumns; ++c)
        if (original->table.cell(0, c).empty())
            ours[static_cast<size_t>(kHeaderSize + c - 1)] = theirs[static_cast<size_t>(kHeaderSize + c - 1)];
    takeAgreeingRangeEnds(ours, theirs, original->deviceType);
    EXPECT_TRUE(ours == theirs);
}

INSTANTIATE_TEST_SUITE_P(BasesAndSamples, QdbImportRoundTrip, ::testing::ValuesIn([] {
                             std::vector<std::string> files;
                             for (const auto& e : fs::directory_iterator(fs::path(VELTRIS_SOURCE_DIR) /
                                                                         "tests" / "fixtures" / "bases"))
                                 if (e.is_directory())
                                     files.push_back((e.path() / "base.QDB").string());
                             for (const auto& e :
                                  fs::directory_iterator(fs::path(QDB_EXE).parent_path() / "samples"))
                                 if (e.path().extension() == ".QDB")
                                     files.push_back(e.path().string());
                             std::sort(files.begin(), files.end());
                             return files;
                         }()),
                         [](const ::testing::TestParamInfo<std::string>& p) {
                             const fs::path path(p.param);
                             std::string name = path.filename() == "base.QDB"
                                                    ? path.parent_path().filename().string()
                                                    : "sample_" + path.stem().string();
                             std::replace(name.begin(), name.end(), '-', '_');
                             return name;
                         });
