// What qdb says when the command line, a file or the system refuses: every message names the
// option or value at fault, in Russian, with exit code 1; the help speaks Russian in aligned
// columns; and qdb installed as a package finds its data like it does in the build folder.
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "qdbrun.h"
#include "scratchdir.h"

namespace fs = std::filesystem;
using namespace qdbtest;

namespace {

const fs::path kSamples = fs::path(VELTRIS_BIN_DIR) / "samples";
const std::string kBipolar = (kSamples / "bipolar.QDB").string();

// Letters on the screen of a UTF-8 line.
std::size_t letters(const std::string& utf8)
{
    std::size_t n = 0;
    for (const char c : utf8)
        n += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    return n;
}

TEST(QdbMessages, EachRefusalNamesWhatIsWrong)
{
    ScratchDir dir;
    const std::string none = (dir.path() / "none").string();
    struct Case {
        std::vector<std::string> args;
        int exitCode;
        std::string firstLine;  // the whole first line of stderr
    };
    const Case cases[] = {
        {{"--bogus"}, 1, "qdb: неизвестный параметр «--bogus»"},
        {{"info", kBipolar, "--bogus"}, 1, "qdb: неизвестный параметр «--bogus»"},
        {{"bogus"}, 1, "qdb: неизвестная команда «bogus»"},
        {{}, 1, "qdb: не указана команда (info, export, convert, import, list, select, similar)"},
        {{"similar", kBipolar}, 1, "qdb similar: не указан образец (--like ИМЯ)"},
        {{"similar", kBipolar, "--like", "КТ315Б", "--near", "abc"}, 1, "qdb: --near: «abc» не число"},
        {{"similar", kBipolar, "--like", "КТ315Б", "--top", "1e3"}, 1, "qdb: --top: «1e3» не число"},
        {{"similar", kBipolar, "--like", "КТ315Б", "--near"}, 1, "qdb: --near: не указано значение"},
        {{"similar", kBipolar, "--like", "КТ315Б", "--settings", none + ".ini"},
         1,
         "qdb: --settings: файл «" + none + ".ini» не найден"},
        {{"similar", kBipolar, "--like", "КТ315Б", "--library", none},
         1,
         "qdb: --library: папка «" + none + "» не найдена"},
        {{"info", "--catalogue", none, kBipolar}, 1, "qdb: --catalogue: папка «" + none + "» не найдена"},
        {{"list"}, 1, "qdb list: не указана папка с базами (ПАПКА)"},
        {{"list", none}, 1, "qdb: Не удалось прочитать папку «" + none + "»: папка не найдена"},
        {{"list", "--type", "70000", kSamples.string()},
         1,
         "qdb: --type: «70000» вне пределов от 0 до 65535"},
        {{"info"}, 1, "qdb info: не указан файл базы (ФАЙЛ)"},
        {{"convert", kBipolar}, 1, "qdb convert: не указан файл, который будет записан (ВЫХОД)"},
        {{"select", kBipolar, "--bound", "2=10:xyz"},
         1,
         "qdb: --bound «2=10:xyz»: Столбец «Uкэ max, В»: граница «xyz»: не понято «xyz»: здесь нужно число. "
         "Пример: 1,5 В"},
        {{"select", kBipolar, "--bound", "2=nan:nan"},
         1,
         "qdb: --bound «2=nan:nan»: Столбец «Uкэ max, В»: граница «nan»: не понято «nan»: здесь нужно число. "
         "Пример: 1,5 В"},
        {{"select", kBipolar, "--bound", "2=1:2:3"},
         1,
         "qdb: --bound «2=1:2:3»: нужна запись СТОЛБЕЦ=ОТ:ДО, например 3=90:110, 3=40: или 3=>40"},
        {{"select", kBipolar, "--bound", "2=(3):"},
         1,
         "qdb: --bound «2=(3):»: Столбец «Uкэ max, В»: граница «(3)»: у границы бывает только знак «<» или «>». "
         "Пример: >40"},
        {{"select", kBipolar, "--bound", "2=:3"}, 0, ""},
        {{"select", kBipolar, "--bound", "2=10:20"}, 0, ""},
        {{"import"}, 1, "qdb import: не указан файл CSV (ФАЙЛ_CSV)"},
        {{"import", none + ".csv"}, 1, "qdb import: не указан файл базы (БАЗА)"},
        {{"import", "--type", "abc", none + ".csv", none + ".QDB"}, 1, "qdb: --type: «abc» не число"},
        {{"import", "--catalogue", none, none + ".csv", none + ".QDB"},
         1,
         "qdb: --catalogue: папка «" + none + "» не найдена"},
    };
    for (const Case& c : cases) {
        const QdbRun run = runQdb(c.args, dir.path());
        std::string label;
        for (const std::string& a : c.args)
            label += a + ' ';
        EXPECT_EQ(run.exitCode, c.exitCode) << label << run.err;
        EXPECT_EQ(run.err.substr(0, run.err.find('\n')), c.firstLine) << label;
        if (c.exitCode != 0) {
            EXPECT_EQ(run.out, "") << label;
        }
    }
}

TEST(QdbMessages, HelpIsRussianInAlignedColumns)
{
    ScratchDir dir;
    for (const std::string command : {"select", "similar", "list", "import"}) {
        const QdbRun run = runQdb({command, "--help"}, dir.path());
        ASSERT_EQ(run.exitCode, 0) << command;
        EXPECT_EQ(run.out.find("TEXT"), std::string::npos) << run.out;
        EXPECT_EQ(run.out.find("INT"), std::string::npos) << run.out;
        EXPECT_EQ(run.out.find("REQUIRED"), std::string::npos) << run.out;
        // Every option line's description starts in the same column, counted in letters.
        std::size_t column = 0;
        std::size_t from = 0;
        while (from < run.out.size()) {
            const std::size_t end = run.out.find('\n', from);
            const std::string line = run.out.substr(from, end - from);
            from = end == std::string::npos ? run.out.size() : end + 1;
            if (line.rfind("  ", 0) != 0)
                continue;
            const std::size_t gap = line.find("  ", 2);
            if (gap == std::string::npos)
                continue;
            const std::size_t text = line.find_first_not_of(' ', gap);
            const std::size_t at = letters(line.substr(0, text));
            if (column == 0)
                column = at;
            EXPECT_EQ(at, column) << command << ": " << line;
        }
        EXPECT_GT(column, 0u) << run.out;
    }
    EXPECT_NE(runQdb({"select", "--help"}, dir.path()).out.find("--bound СТОЛБЕЦ=ОТ:ДО"), std::string::npos);
    EXPECT_NE(runQdb({"similar", "--help"}, dir.path()).out.find("--rule СТОЛБЕЦ=ПРАВИЛО"),
              std::string::npos);
    EXPECT_NE(runQdb({"similar", "--help"}, dir.path()).out.find("--near ЧИСЛО"), std::string::npos);
}

// A closed standard output names its reason in words.
TEST(QdbMessages, ClosedStandardOutputIsSaidInWords)
{
    ScratchDir dir;
    const fs::path err = dir.path() / "err.txt";
    const std::string cmd =
        shellQuote(QDB_EXE) + " list " + shellQuote(kSamples.string()) + " >&- 2>" + shellQuote(err.string());
    const int status = std::system(cmd.c_str());
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1);
    EXPECT_EQ(readAll(err), "qdb: Ошибка записи в стандартный вывод: поток закрыт\n");
}

// Whatever a command leaves unhandled ends qdb with a message and exit code 1, never with
// "terminate called": here a library base far larger than the memory qdb may have.
TEST(QdbMessages, NoCommandEndsByAnUncaughtException)
{
#ifdef __SANITIZE_ADDRESS__
    GTEST_SKIP() << "the address sanitizer needs more address space than the limit leaves";
#endif
    ScratchDir dir;
    fs::create_directories(dir.path() / "lib");
    fs::copy_file(kBipolar, dir.path() / "open.QDB");
    fs::copy_file(kBipolar, dir.path() / "lib" / "huge.QDB");
    fs::resize_file(dir.path() / "lib" / "huge.QDB", 4ull << 30);  // sparse: no disk used
    const QdbRun run =
        runQdbQuoted("similar " + shellQuote((dir.path() / "open.QDB").string()) +
                         " --like КТ315Б --library " + shellQuote((dir.path() / "lib").string()),
                     dir.path(), "ulimit -v 300000; ");
    EXPECT_EQ(run.exitCode, 1) << run.err;
    EXPECT_EQ(run.err.find("terminate"), std::string::npos) << run.err;
    EXPECT_EQ(run.err.rfind("qdb: ", 0), 0u) << run.err;
    // Memory is named as such: by the reader that skipped the file (naming it), or by the
    // handler's words where it ran out elsewhere.
    if (run.err.find("памяти") != std::string::npos) {
        EXPECT_TRUE(run.err.find("Недостаточно памяти") != std::string::npos ||
                    run.err.find("huge.QDB") != std::string::npos)
            << run.err;
    }
}

// The installed layout: bin/qdb and share/veltris beside it with the catalogue, the rules and the
// samples. Every command finds its data there without --catalogue.
TEST(QdbMessages, InstalledQdbFindsItsDataLikeEveryCommand)
{
    ScratchDir dir;
    const fs::path prefix = dir.path() / "usr";
    const fs::path share = prefix / "share" / "veltris";
    fs::create_directories(prefix / "bin");
    fs::create_directories(share / "samples");
    fs::copy_file(QDB_EXE, prefix / "bin" / "qdb");
    for (const auto& entry : fs::directory_iterator(fs::path(VELTRIS_SOURCE_DIR) / "data"))
        if (entry.path().extension() == ".ini")
            fs::copy_file(entry.path(), share / entry.path().filename());
    for (const auto& entry : fs::directory_iterator(kSamples))
        fs::copy_file(entry.path(), share / "samples" / entry.path().filename());

    const std::string qdb = shellQuote((prefix / "bin" / "qdb").string());
    const std::string base = shellQuote((share / "samples" / "bipolar.QDB").string());
    const std::string out = shellQuote((dir.path() / "out").string());
    const std::string lib = shellQuote((share / "samples").string());
    for (const std::string& args :
         {"info " + base, "select " + base + " --like КТ315Б", "export " + base + " " + out + ".csv",
          "convert " + base + " " + out + ".QDB", "import " + out + ".csv " + out + "-imported.QDB",
          "similar " + base + " --like КТ315Б", "similar " + base + " --like КТ315Б --library " + lib,
          "list " + lib}) {
        const std::string cmd = qdb + " " + args + " >" + out + ".txt 2>" + out + ".err";
        const int status = std::system(cmd.c_str());
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << args << "\n"
                                                                   << readAll(dir.path() / "out.err");
        const bool toFile =
            args.rfind("export", 0) == 0 || args.rfind("convert", 0) == 0 || args.rfind("import", 0) == 0;
        if (!toFile) {
            EXPECT_FALSE(readAll(dir.path() / "out.txt").empty()) << args;
        }
    }
    EXPECT_FALSE(readAll(dir.path() / "out.csv").empty());
    EXPECT_FALSE(readAll(dir.path() / "out.QDB").empty());
    // The import read the export's titles with the installed catalogue: the same records.
    EXPECT_EQ(readAll(dir.path() / "out-imported.QDB").size(), readAll(dir.path() / "out.QDB").size());
    // The titles come from the installed catalogue.
    const std::string cmd = qdb + " info " + base + " >" + out + ".txt";
    ASSERT_EQ(std::system(cmd.c_str()), 0);
    EXPECT_NE(readAll(dir.path() / "out.txt").find("  2: Uкэ max, В\n"), std::string::npos)
        << readAll(dir.path() / "out.txt");
}

}  // namespace
