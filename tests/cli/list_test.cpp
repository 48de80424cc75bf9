#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <unistd.h>

#include "qdbrun.h"
#include "scratchdir.h"

namespace fs = std::filesystem;
using namespace qdbtest;

namespace {

// A version-5 base (or version 4 when type is 0xFF) with the given Windows-1251 names.
std::string makeBase(std::uint8_t type, const std::string& description, const std::vector<std::string>& names)
{
    std::string bytes(231, '\0');
    if (type == 0xFF) {
        bytes[60] = static_cast<char>(0x80);
        bytes[61] = 0x40;
    } else {
        bytes[58] = 5;
        bytes[59] = static_cast<char>(type);
    }
    bytes[62] = static_cast<char>(description.size());
    bytes.replace(63, description.size(), description);
    for (const std::string& name : names) {
        std::string record(288, '\0');
        record[0] = static_cast<char>(name.size());
        record.replace(1, name.size(), name);
        bytes += record;
    }
    return bytes;
}

class ListCli : public ::testing::Test {
protected:
    void SetUp() override
    {
        fs::create_directories(m_dir / "bases");
        // "Диоды" / "КД522" / "Транзисторы" / "КТ315" in Windows-1251.
        write("bases/diodes.QDB", makeBase(3, "\xC4\xE8\xEE\xE4\xFB", {"\xCA\xC4\x35\x32\x32", "1N4148"}));
        write("bases/bipolar.qdb",
              makeBase(0xFF, "\xD2\xF0\xE0\xED\xE7\xE8\xF1\xF2\xEE\xF0\xFB", {"\xCA\xD2\x33\x31\x35"}));
    }

    void write(const std::string& name, const std::string& bytes)
    {
        std::ofstream(m_dir / name, std::ios::binary) << bytes;
    }

    QdbRun run(const std::vector<std::string>& args) { return runQdb(args, m_dir); }

    std::string diodeLines() const
    {
        const std::string path = (m_dir / "bases" / "diodes.QDB").string();
        return "3\t" + path + "\tКД522\tДиоды\n" + "3\t" + path + "\t1N4148\tДиоды\n";
    }
    std::string bipolarLines() const
    {
        return "1\t" + (m_dir / "bases" / "bipolar.qdb").string() + "\tКТ315\tТранзисторы\n";
    }

    ScratchDir m_scratch;
    const fs::path m_dir = m_scratch.path();
};

}  // namespace

TEST_F(ListCli, PrintsEveryEntryInCatalogueOrder)
{
    // "bipolar.qdb" sorts before "diodes.QDB".
    QdbRun r = run({"list", (m_dir / "bases").string()});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out, bipolarLines() + diodeLines());
    EXPECT_EQ(r.err, "");
    // A folder named on the command line that does not exist is an error; the others are listed.
    r = run({"list", (m_dir / "missing").string(), (m_dir / "bases").string()});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out, bipolarLines() + diodeLines());
    EXPECT_EQ(r.err,
              "qdb: Не удалось прочитать папку «" + (m_dir / "missing").string() + "»: папка не найдена\n");
}

TEST_F(ListCli, TypeFilterAndRepeatedFolder)
{
    const std::string bases = (m_dir / "bases").string();
    // A folder given twice is one folder: its bases are listed once.
    const QdbRun r = run({"list", "--type", "3", bases, bases});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out, diodeLines());

    EXPECT_EQ(run({"list", "--type", "5", bases}).out, "");
}

TEST_F(ListCli, ProblemsGoToStderrAndSetExitCode)
{
    fs::create_directory(m_dir / "bases" / "a.QDB");
    write("bases/c.QDB", "QZ");  // too short: no entries, no problem
    const QdbRun r = run({"list", (m_dir / "bases").string()});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out, bipolarLines() + diodeLines());
    EXPECT_EQ(r.err, "qdb: Не удалось открыть файл «" + (m_dir / "bases" / "a.QDB").string() +
                         "»: это папка, а не файл\n");
}

TEST_F(ListCli, BadArguments)
{
    EXPECT_NE(run({"list"}).exitCode, 0);
    EXPECT_NE(run({"list", "--type", "x", (m_dir / "bases").string()}).exitCode, 0);
}
