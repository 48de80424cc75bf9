#include <array>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "base/navigatorcatalogue.h"
#include "scratchdir.h"

namespace fs = std::filesystem;
using veltris::NavigatorCatalogue;

namespace {

using Version = std::array<std::uint8_t, 4>;
constexpr Version kV3{0x00, 0x00, 0x40, 0x40};
constexpr Version kV4{0x00, 0x00, 0x80, 0x40};
constexpr Version v5(std::uint8_t type)
{
    return {5, type, 0, 0};
}

// A base file built byte by byte: header, maps, count, then records. Bytes behind each name are
// filled so that a reader taking more than the length byte allows would show it.
std::string makeBase(Version version, const std::string& description, const std::vector<std::string>& names,
                     int recordSize = 288, std::size_t trailing = 0)
{
    std::string bytes(231, '\0');
    bytes.replace(0, 2, "QZ");
    for (int i = 0; i < 4; ++i)
        bytes[58 + i] = static_cast<char>(version[i]);
    bytes[62] = static_cast<char>(description.size());
    bytes.replace(63, description.size(), description);
    for (int i = 0; i < 30; ++i)
        bytes[167 + i] = 1;
    bytes[197] = 2;
    for (const std::string& name : names) {
        std::string record(static_cast<std::size_t>(recordSize), '\x7F');
        record[0] = static_cast<char>(name.size());
        record.replace(1, name.size(), name);
        bytes += record;
    }
    bytes.append(trailing, '\x55');
    return bytes;
}

void writeFile(const fs::path& path, const std::string& bytes)
{
    std::ofstream out(path, std::ios::binary);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    ASSERT_TRUE(out.good()) << path;
}

std::vector<std::string> names(const NavigatorCatalogue& catalogue)
{
    std::vector<std::string> result;
    for (const auto& entry : catalogue)
        result.emplace_back(entry.componentName);
    return result;
}

class NavigatorScan : public ::testing::Test {
protected:
    void TearDown() override
    {
        std::error_code ec;
        fs::permissions(m_dir / "locked.QDB", fs::perms::owner_all, ec);
    }
    ScratchDir m_scratch;
    const fs::path m_dir = m_scratch.path();
};

}  // namespace

TEST_F(NavigatorScan, CreatesEmpty)
{
    EXPECT_TRUE(veltris::NavigatorCatalogue{}.empty());
}

TEST_F(NavigatorScan, FilesInByteOrderRecordsInFileOrder)
{
    // "a.qdb" is written first, but 'B' (0x42) sorts before 'a' (0x61).
    writeFile(m_dir / "a.qdb",
              makeBase(v5(7), "\xD1\xE2\xE5\xF2\xEE\xE4\xE8\xEE\xE4\xFB", {"L1", "L2", "L3"}));
    writeFile(m_dir / "B.QDB", makeBase(kV4, "Bipolar", {"T1", "T2", "T3", "T4", "T5"}));

    NavigatorCatalogue catalogue = veltris::NavigatorCatalogue{};
    EXPECT_TRUE(catalogue.addFolder(m_dir).empty());
    ASSERT_EQ(catalogue.size(), 8u);
    EXPECT_EQ(names(catalogue), (std::vector<std::string>{"T1", "T2", "T3", "T4", "T5", "L1", "L2", "L3"}));
    for (std::size_t i = 0; i < 5; ++i) {
        EXPECT_EQ(catalogue[i].deviceType, 1);
        EXPECT_EQ(catalogue[i].fileName(), (m_dir / "B.QDB").string());
        EXPECT_EQ(catalogue[i].description(), "Bipolar");
        EXPECT_EQ(catalogue.recordInFile(i), i);
    }
    for (std::size_t i = 5; i < 8; ++i) {
        EXPECT_EQ(catalogue[i].deviceType, 7);
        EXPECT_EQ(catalogue[i].fileName(), (m_dir / "a.qdb").string());
        EXPECT_EQ(catalogue[i].description(), "\xD1\xE2\xE5\xF2\xEE\xE4\xE8\xEE\xE4\xFB");
        EXPECT_EQ(catalogue.recordInFile(i), i - 5);
    }
}

TEST_F(NavigatorScan, VersionsAndLengths)
{
    struct Case {
        const char* what;
        std::string bytes;
        std::uint16_t type;
        std::size_t count;
    };
    const std::vector<std::string> two{"N1", "N2"};
    const std::vector<Case> cases{
        {"version 3", makeBase(kV3, "", two, 258), 1, 2},
        {"version 4", makeBase(kV4, "", two), 1, 2},
        {"version 5, diodes", makeBase(v5(3), "", two), 3, 2},
        {"version 5, code 0", makeBase(v5(0), "", two), 0, 2},
        {"version 5, code 2", makeBase(v5(2), "", two), 2, 2},
        {"version 5, code 200", makeBase(v5(200), "", two), 200, 2},
        {"version 5, reserved bytes set", makeBase({5, 4, 9, 9}, "", two), 4, 2},
        {"float 5.0 is no version", makeBase({0x00, 0x00, 0xA0, 0x40}, "", two), 0, 0},
        {"zero version", makeBase({0, 0, 0, 0}, "", two), 0, 0},
        {"trailing piece ignored", makeBase(kV4, "", two, 288, 287), 1, 2},
        {"version 3 read with 258-byte records", makeBase(kV3, "", two, 258, 30), 1, 2},
        {"lead and a partial record", makeBase(kV4, "", {}, 288, 287), 0, 0},
        {"lead only", makeBase(v5(1), "", {}), 0, 0},
        {"header only", makeBase(v5(1), "", {}).substr(0, 167), 0, 0},
        {"empty file", "", 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const fs::path dir = m_dir / c.what;
        fs::create_directory(dir);
        writeFile(dir / "x.QDB", c.bytes);
        NavigatorCatalogue catalogue;
        EXPECT_TRUE(catalogue.addFolder(dir).empty());
        ASSERT_EQ(catalogue.size(), c.count);
        for (const auto& entry : catalogue)
            EXPECT_EQ(entry.deviceType, c.type);
        if (c.count == 2) {
            EXPECT_EQ(names(catalogue), two);
        }
    }
}

TEST_F(NavigatorScan, NameAndDescriptionLengthsAreClamped)
{
    std::string bytes = makeBase(v5(1), "", {"ABCDEFGHIJKLMNOPQRSTUVWXYZ", "\xCA\xD2\x33\x31\x35"});
    bytes[62] = static_cast<char>(255);
    for (int i = 63; i < 167; ++i)
        bytes[static_cast<std::size_t>(i)] = 'd';
    bytes[231] = static_cast<char>(200);  // length byte of the first name
    writeFile(m_dir / "x.QDB", bytes);

    NavigatorCatalogue catalogue;
    EXPECT_TRUE(catalogue.addFolder(m_dir).empty());
    ASSERT_EQ(catalogue.size(), 2u);
    EXPECT_EQ(catalogue[0].componentName, "ABCDEFGHIJKLMNO");
    EXPECT_EQ(catalogue[1].componentName, "\xCA\xD2\x33\x31\x35");
    EXPECT_EQ(catalogue[0].description(), std::string(104, 'd'));
}

TEST_F(NavigatorScan, MatchesExtensionInAnyCaseAndStaysInFolder)
{
    const std::string base = makeBase(kV4, "", {"N"});
    for (const char* name :
         {"x.qdb", "y.Qdb", "z.QDB", ".QDB", "w.QDBX", "v.qdb.bak", "QDB", "u_qdb", "t.QD"})
        writeFile(m_dir / name, base);
    fs::create_directory(m_dir / "sub");
    writeFile(m_dir / "sub" / "s.QDB", base);

    NavigatorCatalogue catalogue;
    EXPECT_TRUE(catalogue.addFolder(m_dir).empty());
    std::vector<std::string> files;
    for (const auto& entry : catalogue)
        files.push_back(fs::path(entry.fileName()).filename().string());
    EXPECT_EQ(files, (std::vector<std::string>{".QDB", "x.qdb", "y.Qdb", "z.QDB"}));
}

TEST_F(NavigatorScan, UnreadableFilesAreReportedAndSkipped)
{
    fs::create_directory(m_dir / "a.QDB");  // a folder named like a base
    fs::create_symlink(m_dir / "gone", m_dir / "b.QDB");
    writeFile(m_dir / "c.QDB", makeBase(kV4, "", {"C1", "C2"}));
    fs::create_directory(m_dir / "outside");
    writeFile(m_dir / "outside" / "d.bin", makeBase(kV4, "", {"D1"}));
    fs::create_symlink(m_dir / "outside" / "d.bin", m_dir / "d.QDB");  // a link to a base is read
    fs::create_symlink(m_dir / "c.QDB", m_dir / "f.QDB");              // c.QDB again: listed once
    ASSERT_EQ(::mkfifo((m_dir / "e.QDB").c_str(), 0600), 0);           // must not block the scan
    bool locked = false;
    if (::geteuid() != 0) {  // root reads anything
        writeFile(m_dir / "locked.QDB", makeBase(kV4, "", {"L"}));
        fs::permissions(m_dir / "locked.QDB", fs::perms::none);
        locked = true;
    }

    NavigatorCatalogue catalogue;
    const std::vector<veltris::Error> problems = catalogue.addFolder(m_dir);
    EXPECT_EQ(names(catalogue), (std::vector<std::string>{"C1", "C2", "D1"}));
    EXPECT_EQ(catalogue[2].fileName(), (m_dir / "d.QDB").string());
    const auto message = [&](const char* file, const char* reason) {
        return "Не удалось открыть файл «" + (m_dir / file).string() + "»: " + reason;
    };
    std::vector<std::string> expected{message("a.QDB", "это папка, а не файл"),
                                      message("b.QDB", "файл не найден"),
                                      message("e.QDB", "это не обычный файл")};
    if (locked)
        expected.push_back(message("locked.QDB", "нет доступа"));
    std::vector<std::string> messages;
    for (const veltris::Error& problem : problems) {
        EXPECT_EQ(problem.kind, veltris::ErrorKind::OpenFailed);
        messages.push_back(problem.message);
    }
    EXPECT_EQ(messages, expected);
}

// A base is known by its file: a folder given twice, through a link or under another spelling,
// and a base reached again through a hard link, are listed once, where first met.
TEST_F(NavigatorScan, FoldersAppendInScanOrderEachBaseOnce)
{
    fs::create_directory(m_dir / "one");
    fs::create_directory(m_dir / "two");
    fs::create_directory(m_dir / "three");
    writeFile(m_dir / "one" / "a.QDB", makeBase(kV4, "", {"A1", "A2"}));
    writeFile(m_dir / "two" / "b.QDB", makeBase(kV4, "", {"B1"}));
    fs::create_hard_link(m_dir / "one" / "a.QDB", m_dir / "three" / "a2.QDB");
    writeFile(m_dir / "three" / "c.QDB", makeBase(kV4, "", {"C1"}));
    fs::create_directory_symlink(m_dir / "two", m_dir / "two-link");

    NavigatorCatalogue catalogue;
    for (const fs::path& folder : {m_dir / "two", m_dir / "one", m_dir / "two", m_dir / "two-link",
                                   m_dir / "one" / ".." / "two", m_dir / "three"})
        EXPECT_TRUE(catalogue.addFolder(folder).empty());
    const NavigatorCatalogue moved = std::move(catalogue);  // as start-up hands it on
    EXPECT_EQ(names(moved), (std::vector<std::string>{"B1", "A1", "A2", "C1"}));
    EXPECT_EQ(moved[2].fileName(), (m_dir / "one" / "a.QDB").string());
}

TEST_F(NavigatorScan, FileNamesAreAbsolute)
{
    fs::create_directory(m_dir / "sub");
    writeFile(m_dir / "x.QDB", makeBase(kV4, "", {"N"}));
    const fs::path previous = fs::current_path();
    fs::current_path(m_dir / "sub");
    NavigatorCatalogue catalogue;
    const auto problems = catalogue.addFolder("../sub/./..");
    fs::current_path(previous);

    EXPECT_TRUE(problems.empty());
    ASSERT_EQ(catalogue.size(), 1u);
    EXPECT_EQ(catalogue[0].fileName(), (m_dir / "x.QDB").string());
}

TEST_F(NavigatorScan, LargeBaseAcrossReadBlocks)
{
    // Over a megabyte, so records straddle the reader's block boundary.
    std::vector<std::string> many;
    for (int i = 0; i < 5000; ++i)
        many.push_back("R" + std::to_string(i));
    writeFile(m_dir / "big.QDB", makeBase(kV3, "", many, 258, 100));

    NavigatorCatalogue catalogue;
    EXPECT_TRUE(catalogue.addFolder(m_dir).empty());
    EXPECT_EQ(names(catalogue), many);
}

TEST_F(NavigatorScan, MissingFolderIsOneProblem)
{
    NavigatorCatalogue catalogue;
    const auto problems = catalogue.addFolder(m_dir / "nowhere");
    EXPECT_TRUE(catalogue.empty());
    ASSERT_EQ(problems.size(), 1u);
    EXPECT_NE(problems[0].message.find((m_dir / "nowhere").string()), std::string::npos);
}
