// qdb info, export and convert driven as a user runs them: output, exit codes, and no output
// file when anything fails.
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/stat.h>

#include "base/basefile.h"
#include "base/catalogue.h"
#include "base/cp1251.h"
#include "base/csvexport.h"
#include "base/fileio.h"
#include "qdbrun.h"
#include "scratchdir.h"

namespace fs = std::filesystem;
using namespace veltris;
using namespace qdbtest;

namespace {

QdbRun qdb(const ScratchDir& dir, const std::string& args)
{
    return runQdbQuoted(args, dir.path());
}

const fs::path kDataDir = fs::path(VELTRIS_SOURCE_DIR) / "data";

std::string arg(const fs::path& p)
{
    return shellQuote(p.string());
}

// A diode base with two records, written by our own writer.
std::string diodeBase()
{
    Catalogue none;
    ComponentBase base = makeEmptyBase(none, "");
    base.deviceType = 3;
    base.setDescription(utf8ToCp1251("Диоды общего назначения"));
    base.table.resize(3, 13);
    base.table.setCell(1, 0, "1N4148");
    base.table.setCell(1, 1, "100");
    base.table.setCell(1, 2, "<0,5");
    base.table.setCell(1, 12, "7");
    base.table.setCell(2, 0, utf8ToCp1251("КД522Б"));
    base.table.setCell(2, 3, "(3)");
    return *encodeBase(base);
}

std::string badVersion()
{
    std::string b = diodeBase();
    b[58] = 6;
    return b;
}

}  // namespace

TEST(QdbCli, InfoShowsVersionTypeDescriptionCountAndTitles)
{
    ScratchDir dir;
    const auto file = dir.write("d.QDB", diodeBase());
    const QdbRun run = qdb(dir, "info --catalogue " + arg(kDataDir) + " " + arg(file));
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.out.find("Версия формата: 5\n"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("Тип прибора: Диоды (код 3)\n"), std::string::npos);
    EXPECT_NE(run.out.find("Описание базы: Диоды общего назначения\n"), std::string::npos);
    EXPECT_NE(run.out.find("Записей: 2\n"), std::string::npos);
    Catalogue catalogue;
    ASSERT_TRUE(catalogue.loadType(kDataDir, 3).ok());
    // A title's "|" line breaks read as blanks.
    EXPECT_NE(run.out.find("  1: " + cp1251ToUtf8(oneLineTitle(catalogue.name(3, 1, 1))) + "\n"),
              std::string::npos);
    EXPECT_NE(run.out.find("  12: " + cp1251ToUtf8(oneLineTitle(catalogue.name(3, 12, 1))) + "\n"),
              std::string::npos);
    EXPECT_EQ(run.out.find('|'), std::string::npos) << run.out;
    EXPECT_EQ(run.out.find("  13:"), std::string::npos);
    EXPECT_TRUE(run.err.empty());
}

TEST(QdbCli, InfoReportsEachBadFileAndGoesOn)
{
    ScratchDir dir;
    const auto good = dir.write("good.QDB", diodeBase());
    const auto bad = dir.write("bad.QDB", badVersion());
    const auto tiny = dir.write("tiny.QDB", diodeBase().substr(0, 100));
    const QdbRun run = qdb(dir, "info --catalogue " + arg(kDataDir) + " " + arg(bad) + " " + arg(good) + " " +
                                    arg(tiny) + " " + arg(dir.path() / "none.QDB"));
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.out.find("Записей: 2"), std::string::npos);
    EXPECT_NE(run.err.find("Несоответствие версии файла"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("Файл слишком короткий"), std::string::npos);
    EXPECT_NE(run.err.find("Не удалось открыть файл"), std::string::npos);
}

TEST(QdbCli, ExportWritesTheWindowsCsvBytes)
{
    ScratchDir dir;
    const auto file = dir.write("d.QDB", diodeBase());
    Catalogue catalogue;
    ASSERT_TRUE(catalogue.loadType(kDataDir, 3).ok());
    ComponentBase base = *decodeBase(diodeBase(), catalogue);

    // Default label, and the catalogue from the executable's folder.
    ASSERT_TRUE(fs::exists(fs::path(QDB_EXE).parent_path() / "diodes.ini"));
    QdbRun run = qdb(dir, "export " + arg(file) + " " + arg(dir.path() / "a.csv"));
    ASSERT_EQ(run.exitCode, 0) << run.err;
    base.table.setCell(0, 0, utf8ToCp1251("Тип прибора"));
    EXPECT_EQ(*readFileBytes(dir.path() / "a.csv"), csvBytes(base.table));
    EXPECT_NE(readFileBytes(dir.path() / "a.csv")->find("1N4148;100;<0,5;;"), std::string::npos);

    run = qdb(dir, "export --catalogue " + arg(kDataDir) + " --label " + shellQuote("Диоды") + " " +
                       arg(file) + " " + arg(dir.path() / "b.csv"));
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(readFileBytes(dir.path() / "b.csv")->substr(0, 6), utf8ToCp1251("Диоды;"));
}

TEST(QdbCli, FailuresLeaveNoOutputFile)
{
    ScratchDir dir;
    const auto bad = dir.write("bad.QDB", badVersion());
    const auto good = dir.write("good.QDB", diodeBase());
    fs::create_directory(dir.path() / "empty");
    const auto kept = dir.write("kept.csv", "old");

    struct Case {
        std::string args;
        std::string out;
        std::string message;
    } cases[] = {
        {"export " + arg(bad), "x.csv", "Несоответствие версии файла"},
        {"convert " + arg(bad), "x.QDB", "Несоответствие версии файла"},
        {"export " + arg(dir.path() / "none.QDB"), "x.csv", "Не удалось открыть файл"},
        {"export --catalogue " + arg(dir.path() / "empty") + " " + arg(good), "x.csv",
         "Не найден файл DIODES.INI"},
        {"convert --catalogue " + arg(dir.path() / "empty") + " " + arg(good), "x.QDB",
         "Не найден файл DIODES.INI"},
        {"export " + arg(bad), "kept.csv", "Несоответствие версии файла"},
        {"export " + arg(good), "no/such/dir.csv", "Ошибка записи в файл"},
    };
    for (const Case& c : cases) {
        const QdbRun run = qdb(dir, c.args + " " + arg(dir.path() / c.out));
        EXPECT_EQ(run.exitCode, 1) << c.args;
        EXPECT_NE(run.err.find(c.message), std::string::npos) << c.args << "\n" << run.err;
        EXPECT_FALSE(fs::exists(dir.path() / "x.csv"));
        EXPECT_FALSE(fs::exists(dir.path() / "x.QDB"));
    }
    EXPECT_EQ(*readFileBytes(kept), "old");
    size_t entries = 0;
    for ([[maybe_unused]] const auto& e : fs::directory_iterator(dir.path()))
        ++entries;
    EXPECT_EQ(entries, 4u) << "no temporary files left";

    const QdbRun usage = qdb(dir, "export " + arg(good));
    EXPECT_NE(usage.exitCode, 0);
    EXPECT_NE(usage.err.find("qdb export: не указан создаваемый файл CSV"), std::string::npos) << usage.err;
    EXPECT_NE(qdb(dir, "").exitCode, 0);
}

TEST(QdbCli, ConvertSavesWhatItLoadedAsVersion5)
{
    ScratchDir dir;
    // A version-4 bipolar file, and a base of a type without layout: neither needs more than
    // the catalogue its type names.
    std::string v4 = diodeBase().substr(0, kLeadSize);
    v4.replace(58, 4, std::string("\x00\x00\x80\x40", 4));
    std::string rec(kRecordSize, '\0');
    rec[0] = 3;
    rec.replace(1, 3, "BC5");
    rec[16 + 9 * 13] = 0x08;
    const double a = 110, b = 800;
    std::memcpy(rec.data() + 16 + 9 * 13 + 1, &a, 8);
    std::memcpy(rec.data() + 16 + 9 * 14 + 1, &b, 8);
    const auto in = dir.write("in.QDB", v4 + rec + "tail");

    QdbRun run =
        qdb(dir, "convert --catalogue " + arg(kDataDir) + " " + arg(in) + " " + arg(dir.path() / "out.QDB"));
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const std::string out = *readFileBytes(dir.path() / "out.QDB");
    ASSERT_EQ(out.size(), size_t(kLeadSize + kRecordSize));
    EXPECT_EQ(out.substr(58, 4), std::string("\x05\x01\x00\x00", 4));
    EXPECT_EQ(out.substr(kLeadSize), rec);

    std::string fet = diodeBase();
    fet[59] = 2;
    const auto fetIn = dir.write("fet.QDB", fet);
    fs::create_directory(dir.path() / "empty");
    run = qdb(dir, "convert --catalogue " + arg(dir.path() / "empty") + " " + arg(fetIn) + " " +
                       arg(dir.path() / "fet2.QDB"));
    ASSERT_EQ(run.exitCode, 0) << run.err;
    // A type without a record layout keeps its records unread and writes them back unchanged.
    EXPECT_EQ(*readFileBytes(dir.path() / "fet2.QDB"), fet);
    run = qdb(dir, "info --catalogue " + arg(dir.path() / "empty") + " " + arg(fetIn));
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.out.find("Записей: 0\n"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("(сохраняются без чтения): 2\n"), std::string::npos) << run.out;
}

// A base larger than the memory qdb may have: a clear message, exit code 1, no output file.
TEST(QdbCli, RunningOutOfMemoryIsReported)
{
#ifdef __SANITIZE_ADDRESS__
    GTEST_SKIP() << "the address sanitizer needs more address space than the limit leaves";
#endif
    ScratchDir dir;
    std::string file = diodeBase().substr(0, kLeadSize);
    const std::string rec = diodeBase().substr(kLeadSize, kRecordSize);
    file.reserve(file.size() + rec.size() * 150000);
    for (int i = 0; i < 150000; ++i)
        file += rec;
    const auto big = dir.write("big.QDB", file);
    const std::string limit = "ulimit -v 70000; ";  // KiB: less than the file and its cells
    for (const std::string& cmd :
         {"info " + arg(big), "convert " + arg(big) + " " + arg(dir.path() / "out.QDB")}) {
        const QdbRun run = runQdbQuoted(cmd + " --catalogue " + arg(kDataDir), dir.path(), limit);
        EXPECT_EQ(run.exitCode, 1) << cmd;
        EXPECT_EQ(run.err, "qdb: «" + big.string() + "»: Недостаточно памяти, чтобы открыть базу\n") << cmd;
    }
    EXPECT_FALSE(fs::exists(dir.path() / "out.QDB"));
}

// Output that never arrived is a failure: every command that writes to standard output says so
// in Russian and exits 1; a file that cannot be written names the system's reason.
TEST(QdbCli, OutputFailuresAreReportedWithTheReason)
{
    ScratchDir dir;
    const auto good = dir.write("good.QDB", diodeBase());
    const std::string catalogue = "--catalogue " + arg(kDataDir) + " ";
    const std::string toStdout[] = {
        "info " + catalogue + arg(good),
        "list " + arg(dir.path()),
        "select " + catalogue + arg(good),
        "--help",
        "export --help",
    };
    for (const std::string& args : toStdout) {
        const QdbRun run = runQdbQuoted(args, dir.path(), {}, "/dev/full");
        EXPECT_EQ(run.exitCode, 1) << args;
        EXPECT_EQ(run.err, "qdb: Ошибка записи в стандартный вывод: нет места на диске\n") << args;
    }

    fs::create_symlink(dir.path() / "loop-b", dir.path() / "loop-a.csv");
    fs::create_symlink(dir.path() / "loop-a.csv", dir.path() / "loop-b");
    struct Case {
        std::string args;
        fs::path out;
        std::string reason;
    } cases[] = {
        {"export " + catalogue + arg(good), "/dev/full", "нет места на диске"},
        {"convert " + catalogue + arg(good), "/dev/full", "нет места на диске"},
        {"export " + catalogue + arg(good), dir.path() / "loop-a.csv",
         "слишком много уровней символических ссылок"},
        {"convert " + catalogue + arg(good), dir.path() / "no" / "x.QDB", "папка не найдена"},
    };
    for (const Case& c : cases) {
        const QdbRun run = qdb(dir, c.args + " " + arg(c.out));
        EXPECT_EQ(run.exitCode, 1) << c.args;
        EXPECT_EQ(run.err, "qdb: Ошибка записи в файл «" + c.out.string() + "»: " + c.reason + "\n");
    }
}

// A shared base (0666) or a group base (0640) keeps its mode when rewritten by a user with a
// strict umask; a new file gets 0666 less the umask.
TEST(QdbCli, ConvertAndExportKeepTheTargetsMode)
{
    ScratchDir dir;
    const auto good = dir.write("good.QDB", diodeBase());
    const mode_t before = ::umask(077);
    for (const char* command : {"convert", "export"}) {
        for (mode_t mode : {mode_t{0666}, mode_t{0640}}) {
            const auto out = dir.write("out", "old");
            ASSERT_EQ(::chmod(out.c_str(), mode), 0);
            const QdbRun run = qdb(dir, std::string(command) + " --catalogue " + arg(kDataDir) + " " +
                                            arg(good) + " " + arg(out));
            EXPECT_EQ(run.exitCode, 0) << run.err;
            struct stat st {};
            ::stat(out.c_str(), &st);
            EXPECT_EQ(st.st_mode & 07777, mode) << command;
            EXPECT_NE(*readFileBytes(out), "old");
        }
        const auto fresh = dir.path() / (std::string(command) + ".new");
        EXPECT_EQ(qdb(dir, std::string(command) + " --catalogue " + arg(kDataDir) + " " + arg(good) + " " +
                               arg(fresh))
                      .exitCode,
                  0);
        struct stat st {};
        ::stat(fresh.c_str(), &st);
        EXPECT_EQ(st.st_mode & 07777, 0600u) << command;
    }
    ::umask(before);
}

// A full disk and a read-only file system, on a small file system of the test's own: the old
// file stays whole, nothing is left beside it, and the message names the reason.
TEST(QdbCli, FullDiskAndReadOnlyFileSystemKeepTheOldFile)
{
    ScratchDir dir;
    const auto small = dir.path() / "small";
    fs::create_directory(small);
    if (::geteuid() != 0 || ::mount("tmpfs", small.c_str(), "tmpfs", 0, "size=64k") != 0)
        GTEST_SKIP() << "needs a tmpfs mount of its own";
    struct Unmount {
        const fs::path& path;
        ~Unmount() { ::umount2(path.c_str(), MNT_DETACH); }
    } unmount{small};
    const auto good = dir.write("good.QDB", diodeBase());
    const auto target = small / "x.QDB";
    const std::string convert = "convert --catalogue " + arg(kDataDir) + " ";
    ASSERT_EQ(qdb(dir, convert + arg(good) + " " + arg(target)).exitCode, 0);
    const std::string before = *readFileBytes(target);

    {
        std::ofstream fill(small / "fill", std::ios::binary);
        const std::string block(4096, 'f');
        for (int i = 0; i < 32 && fill.write(block.data(), 4096); ++i) {
        }
    }
    // A different base, so that a save that went through would show.
    const fs::path other = fs::path(VELTRIS_BIN_DIR) / "samples" / "bipolar.QDB";
    struct Case {
        unsigned long flags;
        std::string reason;
    } cases[] = {
        {0, "нет места на диске"},
        {MS_REMOUNT | MS_RDONLY, "файловая система только для чтения"},
    };
    for (const Case& c : cases) {
        if (c.flags != 0) {
            ASSERT_EQ(::mount(nullptr, small.c_str(), nullptr, c.flags, "size=64k"), 0);
        }
        const QdbRun run = qdb(dir, convert + arg(other) + " " + arg(target));
        EXPECT_EQ(run.exitCode, 1);
        EXPECT_EQ(run.err, "qdb: Ошибка записи в файл «" + target.string() + "»: " + c.reason + "\n");
        EXPECT_EQ(*readFileBytes(target), before);
        EXPECT_EQ(std::distance(fs::directory_iterator(small), fs::directory_iterator()), 2);
    }
}
