// qdb over files that are not what their names promise: it names them, goes on where it can,
// and never hangs or aborts.
#include <cstdio>
#include <filesystem>
#include <string>

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "../base/handmadelibrary.h"
#include "base/basefile.h"
#include "qdbrun.h"
#include "scratchdir.h"

namespace fs = std::filesystem;
using namespace veltris;
using namespace qdbtest;

namespace {

std::string similarArgs(const fs::path& base)
{
    return "similar " + shellQuote(base.string()) + " --like " + shellQuote("КТ315Б") + " --catalogue " +
           shellQuote(VELTRIS_BIN_DIR) + " --rule 2=ge --rule 5=ge";
}

}  // namespace

// A library holding a FIFO, a link to /dev/zero and a base whose file is far bigger than the
// memory qdb may have: each is named, the other bases are searched, exit code 1.
TEST(QdbHostile, LibrarySearchNamesWhatItSkipsAndGoesOn)
{
#ifdef __SANITIZE_ADDRESS__
    GTEST_SKIP() << "the address sanitizer needs more address space than the limit leaves";
#endif
    ScratchDir dir;
    const fs::path lib = dir.path() / "lib";
    fs::create_directory(lib);
    const fs::path open = lib / "a_open.QDB";
    ASSERT_TRUE(writeBase(handmade::handMadeBase(), open).ok());
    ASSERT_TRUE(writeBase(handmade::makeBase(1, {{"ЕЩЁ", handmade::part("25", "100", "50-350", "300", "5")}}),
                          lib / "b_more.QDB")
                    .ok());
    ASSERT_EQ(::mkfifo((lib / "c_fifo.QDB").c_str(), 0600), 0);
    fs::create_symlink("/dev/zero", lib / "d_zero.QDB");
    const fs::path huge = lib / "e_huge.QDB";
    fs::copy_file(lib / "b_more.QDB", huge);
    if (::truncate(huge.c_str(), off_t{1} << 30) != 0)
        GTEST_SKIP() << "no sparse files here";

    const QdbRun run = runQdbQuoted(similarArgs(open) + " --library " + shellQuote(lib.string()), dir.path(),
                                    "ulimit -v 800000; timeout 60 ");
    EXPECT_EQ(run.exitCode, 1) << run.err;
    for (const char* name : {"c_fifo.QDB", "d_zero.QDB", "e_huge.QDB"})
        EXPECT_NE(run.err.find((lib / name).string()), std::string::npos) << name << ": " << run.err;
    EXPECT_NE(run.out.find("ЕЩЁ"), std::string::npos) << run.out;
    EXPECT_EQ(run.err.find("terminate"), std::string::npos) << run.err;
}

// --settings naming a FIFO or a folder is an error at once, not a wait for a writer.
TEST(QdbHostile, SettingsThatCannotBeReadAreAnError)
{
    ScratchDir dir;
    const fs::path base = dir.path() / "open.QDB";
    ASSERT_TRUE(writeBase(handmade::handMadeBase(), base).ok());
    ASSERT_EQ(::mkfifo((dir.path() / "fifo.INI").c_str(), 0600), 0);
    fs::create_directory(dir.path() / "folder.INI");
    for (const char* name : {"fifo.INI", "folder.INI"}) {
        const fs::path settings = dir.path() / name;
        const QdbRun run = runQdbQuoted(similarArgs(base) + " --settings " + shellQuote(settings.string()),
                                        dir.path(), "timeout 20 ");
        EXPECT_EQ(run.exitCode, 1) << name;
        EXPECT_NE(run.err.find("«" + settings.string() + "»"), std::string::npos) << run.err;
        EXPECT_TRUE(run.out.empty()) << run.out;
    }
}

// CSV files that are no table's text: a file of one huge line is refused from its first bytes
// (the whole would not even fit into the memory qdb may have), a file of zero bytes and a
// sparse one as no text; each exits 1 at once.
TEST(QdbHostile, ImportRefusesWhatIsNoCsvFromItsStart)
{
#ifdef __SANITIZE_ADDRESS__
    GTEST_SKIP() << "the address sanitizer needs more address space than the limit leaves";
#endif
    ScratchDir dir;
    const fs::path line = dir.path() / "line.csv";
    {
        std::string chunk;
        for (int i = 0; i < (1 << 19); ++i)
            chunk += "a;";
        std::FILE* f = std::fopen(line.c_str(), "wb");
        ASSERT_NE(f, nullptr);
        for (int i = 0; i < 96; ++i)  // 96 MiB, no line end
            ASSERT_EQ(std::fwrite(chunk.data(), 1, chunk.size(), f), chunk.size());
        std::fclose(f);
    }
    const fs::path zeros = dir.write("zeros.csv", std::string(4096, '\0'));
    const fs::path sparse = dir.path() / "sparse.csv";
    dir.write("sparse.csv", "");
    if (::truncate(sparse.c_str(), off_t{1} << 30) != 0)
        GTEST_SKIP() << "no sparse files here";
    struct Case {
        fs::path file;
        std::string message;
    };
    const Case cases[] = {
        {line, "«" + line.string() +
                   "»: Первая строка файла длиннее 64 КБ: это не строка заголовков столбцов таблицы"},
        {zeros, "«" + zeros.string() + "»: Это не текстовый файл CSV: в строке 1 нулевой байт"},
        {sparse, "«" + sparse.string() + "»: Это не текстовый файл CSV: в строке 1 нулевой байт"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file.string());
        const QdbRun run = runQdbQuoted("import --type 3 --catalogue " + shellQuote(VELTRIS_BIN_DIR) + " " +
                                            shellQuote(c.file.string()) + " " +
                                            shellQuote((dir.path() / "out.QDB").string()),
                                        dir.path(), "ulimit -v 120000; timeout 20 ");
        EXPECT_EQ(run.exitCode, 1) << run.err;
        EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
        EXPECT_FALSE(fs::exists(dir.path() / "out.QDB"));
    }
}
