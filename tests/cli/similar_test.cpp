#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include <unistd.h>

#include "base/basefile.h"
#include "base/cp1251.h"
#include "qdbrun.h"

namespace fs = std::filesystem;
using namespace veltris;
using namespace qdbtest;

namespace {

// Uкэ max (2), Iк max (5), h21э (14), package (30); structure (1) always n-p-n.
struct Part {
    const char* name;
    const char* uce;
    const char* ic;
    const char* gain;
    const char* package;
};

void writeBipolar(const fs::path& file, const std::vector<Part>& parts)
{
    ComponentBase base;
    base.deviceType = 1;
    base.columnMap.fill(1);
    base.table = Table(1, 31);
    for (const Part& p : parts) {
        base.table.appendRow();
        const int r = base.table.rowCount() - 1;
        base.table.setCell(r, 0, utf8ToCp1251(p.name));
        base.table.setCell(r, 1, "1");
        base.table.setCell(r, 2, p.uce);
        base.table.setCell(r, 5, p.ic);
        base.table.setCell(r, 14, p.gain);
        base.table.setCell(r, 30, p.package);
    }
    ASSERT_TRUE(writeBase(base, file).ok());
}

std::vector<std::vector<std::string>> tsvRows(const std::string& out)
{
    std::vector<std::vector<std::string>> rows;
    std::istringstream in(out);
    std::string line;
    while (std::getline(in, line)) {
        std::vector<std::string> fields;
        std::size_t start = 0;
        while (true) {
            const auto tab = line.find('\t', start);
            fields.push_back(line.substr(start, tab - start));
            if (tab == std::string::npos)
                break;
            start = tab + 1;
        }
        rows.push_back(fields);
    }
    return rows;
}

class SimilarCli : public ::testing::Test {
protected:
    void SetUp() override
    {
        static std::atomic<int> counter{0};
        m_dir = fs::temp_directory_path() /
                ("qdb_similar_" + std::to_string(::getpid()) + "_" + std::to_string(counter++));
        fs::create_directories(m_dir / "lib");
        m_base = (m_dir / "lib" / "open.QDB").string();
        writeBipolar(m_base, {
            {"КТ315Б", "20", "100", "50-350", "7"},
            {"КТ315Г", "35", "100", "50-350", "7"},
            {"КТ3102А", ">50", "(100)", "100-250", "7"},
            {"СЛАБЫЙ", "15", "100", "50-350", "7"},
            {"ДРУГОЙ", "40", "100", "50-350", "29"},
            {"ТОЖЕ", "<60", "100", "50-350", "7"},
        });
        writeBipolar(m_dir / "lib" / "other.qdb", {{"ИЗ ДРУГОЙ", "25", "100", "50-350", "7"}});
    }
    void TearDown() override
    {
        std::error_code ec;
        fs::remove_all(m_dir, ec);
    }
    QdbRun similar(std::vector<std::string> args)
    {
        args.insert(args.begin(), {"similar", m_base});
        // Only the rules these parts have values for.
        for (const char* r : {"1=eq", "2=ge", "5=ge", "14=band:30:200", "30=eq"})
            args.insert(args.end(), {"--rule", r});
        for (int c : {3, 4, 6, 7, 8, 9, 10, 11, 12, 13, 15, 16, 17, 18, 19, 20, 21, 22, 25, 26, 29})
            args.insert(args.end(), {"--rule", std::to_string(c) + "=off"});
        return runQdb(args, m_dir);
    }

    fs::path m_dir;
    std::string m_base;
};

TEST_F(SimilarCli, RanksSubstitutesWithEachParametersVerdict)
{
    // Latin K and T in the name; "КТ315" alone would be ambiguous, the whole name is not.
    const QdbRun run = similar({"--like", "kt315Б", "--near", "1"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const auto rows = tsvRows(run.out);
    ASSERT_EQ(rows.size(), 6u) << run.out;  // header, 5 candidates, never the reference
    ASSERT_EQ(rows[0].size(), 10u);
    EXPECT_EQ(rows[0][6], "Uкэ max, В (не меньше)");
    EXPECT_EQ(rows[0][8], "h21э (в пределах -30..+200 %)");
    std::vector<std::string> names;
    for (std::size_t k = 1; k < rows.size(); ++k)
        names.push_back(rows[k][1]);
    EXPECT_EQ(names, (std::vector<std::string>{"КТ315Г", "КТ3102А", "ТОЖЕ", "СЛАБЫЙ", "ДРУГОЙ"}));
    EXPECT_EQ(rows[1][3], "подходит");
    EXPECT_EQ(rows[2][6], "+ >50");
    EXPECT_EQ(rows[3][6], "? <60");
    EXPECT_EQ(rows[4][3], "не подходит по 1");
    EXPECT_EQ(rows[4][6], "- 15");
    EXPECT_EQ(rows[5][9], "- 29");
    EXPECT_EQ(rows[1][2], m_base);
    EXPECT_NE(run.err.find("Подходят: 3, почти подходят: 2"), std::string::npos) << run.err;
}

TEST_F(SimilarCli, LibraryTopAndJson)
{
    const QdbRun run = similar({"--like", "КТ315Б", "--library", (m_dir / "lib").string(), "--top",
                                "2", "--near", "0", "--format", "json"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    // The other base's part is the closest; the open base is read once.
    EXPECT_NE(run.out.find("\"rank\":1,\"name\":\"ИЗ ДРУГОЙ\",\"base\":\"" +
                           (m_dir / "lib" / "other.qdb").string() + "\""),
              std::string::npos)
        << run.out;
    EXPECT_NE(run.out.find("\"rank\":2,\"name\":\"КТ315Г\""), std::string::npos);
    EXPECT_EQ(run.out.find("\"rank\":3"), std::string::npos);
    EXPECT_NE(run.out.find("\"full\":4,\"near\":0"), std::string::npos);
}

TEST_F(SimilarCli, UserRulesFromTheSettingsFile)
{
    const fs::path settings = m_dir / "veltris.ini";
    std::ofstream(settings) << "[Substitute_1]\r\nCol_30=off\r\n";
    const QdbRun run = runQdb({"similar", m_base, "--like", "КТ315Б", "--settings", settings.string(),
                               "--near", "0", "--top", "0"},
                              m_dir);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.out.find("ДРУГОЙ"), std::string::npos);  // its package no longer counts
}

TEST_F(SimilarCli, ErrorsAreRussianAndExitOne)
{
    const fs::path noRules = m_dir / "norules";
    fs::create_directories(noRules);
    fs::copy_file(fs::path(VELTRIS_BIN_DIR) / "bipolar.ini", noRules / "bipolar.ini");
    const std::map<std::string, std::vector<std::string>> cases = {
        {"не найден в базе", {"similar", m_base, "--like", "КТ999"}},
        {"несколько компонентов: КТ315Б, КТ315Г", {"similar", m_base, "--like", "кт315"}},
        {"правило «gt» не распознано", {"similar", m_base, "--like", "КТ315Б", "--rule", "2=gt"}},
        {"столбцом от 1 до 30", {"similar", m_base, "--like", "КТ315Б", "--rule", "0=ge"}},
        {"нужна запись", {"similar", m_base, "--like", "КТ315Б", "--rule", "ge"}},
        {"допустимы tsv и json", {"similar", m_base, "--like", "КТ315Б", "--format", "csv"}},
        {"--top: «-1» вне пределов", {"similar", m_base, "--like", "КТ315Б", "--top", "-1"}},
        {"Не найден файл правил замены",
         {"similar", m_base, "--like", "КТ315Б", "--catalogue", noRules.string()}},
        {"нет ни одного применимого правила",
         {"similar", m_base, "--like", "КТ315Б", "--rule", "1=off", "--rule", "2=off", "--rule",
          "5=off", "--rule", "14=off", "--rule", "30=off"}},
        {"none.QDB", {"similar", (m_dir / "none.QDB").string(), "--like", "x"}},
    };
    for (const auto& [expected, args] : cases) {
        const QdbRun run = runQdb(args, m_dir);
        EXPECT_EQ(run.exitCode, 1) << expected;
        EXPECT_TRUE(run.out.empty()) << expected << ": " << run.out;
        EXPECT_NE(run.err.find(expected), std::string::npos) << expected << ": " << run.err;
    }

    // A library folder that does not exist is named before anything is searched.
    const QdbRun run = similar({"--like", "КТ315Б", "--library", (m_dir / "missing").string(),
                                "--library", (m_dir / "lib").string()});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.err.rfind("qdb: --library: папка «" + (m_dir / "missing").string() + "» не найдена\n", 0), 0u)
        << run.err;
    EXPECT_EQ(run.out, "");
}

}  // namespace
