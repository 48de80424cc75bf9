// Files that are not what their names promise, swapped in at an unlucky moment: the readers
// neither hang, nor run out of memory, nor stop the work; each such file is named and skipped.
#include <algorithm>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <map>
#include <string>

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "base/basefile.h"
#include "base/fileidentity.h"
#include "base/fileio.h"
#include "base/finder.h"
#include "base/ini.h"
#include "base/navigatorcatalogue.h"
#include "handmadelibrary.h"
#include "scratchdir.h"

namespace fs = std::filesystem;
using namespace veltris;
using namespace handmade;

namespace {

// Runs `check` in a child process killed after `seconds`, so that a hang fails the test instead
// of holding it. `check` returns what went wrong, empty when nothing did.
::testing::AssertionResult finishesWithin(int seconds, const std::function<std::string()>& check)
{
    std::fflush(nullptr);
    const pid_t pid = ::fork();
    if (pid < 0)
        return ::testing::AssertionFailure() << "fork failed";
    if (pid == 0) {
        ::alarm(static_cast<unsigned>(seconds));
        const std::string wrong = check();
        if (!wrong.empty())
            std::fprintf(stderr, "%s\n", wrong.c_str());
        std::fflush(nullptr);
        ::_exit(wrong.empty() ? 0 : 1);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    if (WIFSIGNALED(status) && WTERMSIG(status) == SIGALRM)
        return ::testing::AssertionFailure() << "did not finish in " << seconds << " s";
    if (WIFSIGNALED(status))
        return ::testing::AssertionFailure() << "ended by signal " << WTERMSIG(status);
    if (WEXITSTATUS(status) != 0)
        return ::testing::AssertionFailure() << "failed (see its output)";
    return ::testing::AssertionSuccess();
}

// A sparse file bigger than the memory the process may hold; false where the file system cannot
// make one.
bool makeHugeSparseFile(const fs::path& path)
{
    const UniqueFd fd(::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644));
    return fd && ::ftruncate(fd.get(), static_cast<off_t>(memoryForFileBytes() * 2 + 4096)) == 0;
}

std::string baseBytes(const ComponentBase& base)
{
    auto bytes = encodeBase(base);
    return bytes ? *bytes : std::string();
}

// A bipolar base of `records` copies of one record: big files made fast.
std::string bigBaseBytes(std::size_t records)
{
    const std::string one = baseBytes(makeBase(1, {{"КОПИЯ", part("25", "100", "50-350", "300", "5")}}));
    std::string bytes = one.substr(0, kLeadSize);
    bytes.reserve(kLeadSize + records * kRecordSize);
    for (std::size_t i = 0; i < records; ++i)
        bytes.append(one, kLeadSize, kRecordSize);
    return bytes;
}

FinderQuery referenceQuery(const ComponentBase& base)
{
    RuleSet rules(static_cast<std::size_t>(parameterColumnCount(1)));
    rules[1] = SubstituteRule{RuleKind::AtLeast};  // Uкэ max
    rules[4] = SubstituteRule{RuleKind::AtLeast};  // Iк max
    auto q = makeQuery(finderSourceFromBase(base), 0, rules, 0, 0);
    return q ? *q : FinderQuery{};
}

}  // namespace

// What the reader refuses, and how it says so; each case within a time limit.
TEST(HostileFiles, ReaderTakesOnlyRegularFilesOfPlausibleSize)
{
    ScratchDir dir;
    const fs::path fifo = dir.path() / "fifo.QDB";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const fs::path zero = dir.path() / "zero.QDB";
    fs::create_symlink("/dev/zero", zero);
    const fs::path folder = dir.path() / "folder.QDB";
    fs::create_directory(folder);
    const fs::path big = dir.write("big.ini", std::string(5000, 'x'));
    const fs::path huge = dir.path() / "huge.QDB";
    const bool sparse = makeHugeSparseFile(huge);

    struct Case {
        fs::path path;
        std::uint64_t limit;
        ErrorKind kind;
        std::string says;
    };
    std::vector<Case> cases{
        {fifo, maxBaseFileSize(), ErrorKind::OpenFailed, "это не обычный файл"},
        {zero, maxBaseFileSize(), ErrorKind::OpenFailed, "это не обычный файл"},
        {folder, maxBaseFileSize(), ErrorKind::OpenFailed, "это папка, а не файл"},
        {dir.path() / "missing.QDB", maxBaseFileSize(), ErrorKind::OpenFailed, "файл не найден"},
        {big, 4096, ErrorKind::TooLarge, "слишком велик"},
    };
    if (sparse)
        cases.push_back({huge, maxBaseFileSize(), ErrorKind::OutOfMemory, "Недостаточно памяти"});
    for (const Case& c : cases) {
        EXPECT_TRUE(finishesWithin(10, [&]() -> std::string {
            std::string buffer;
            const auto read = readWholeFile(c.path, buffer, ReadLimits{c.limit, {}});
            if (read)
                return "read " + std::to_string(read->size) + " bytes";
            const std::string& m = read.error().message;
            if (read.error().kind != c.kind || m.find(c.says) == std::string::npos ||
                m.find("«" + c.path.string() + "»") == std::string::npos)
                return "wrong error: " + m;
            return {};
        })) << c.path;
    }

    // A plain file read into a bigger buffer left by an earlier read: its bytes and identity.
    const fs::path small = dir.write("small.ini", "[A]\r\nb=1\r\n");
    std::string buffer(1 << 20, 'z');
    const auto read = readWholeFile(small, buffer, ReadLimits{});
    ASSERT_TRUE(read.ok());
    EXPECT_EQ(buffer.substr(0, read->size), "[A]\r\nb=1\r\n");
    EXPECT_TRUE(read->identity.sameStat(statIdentity(small)));
}

TEST(HostileFiles, LongReadStopsAtACancel)
{
    ScratchDir dir;
    const fs::path file = dir.write("long.QDB", std::string(std::size_t{40} << 20, 'r'));
    int asked = 0;
    std::string buffer;
    const auto read =
        readWholeFile(file, buffer, ReadLimits{maxBaseFileSize(), [&] { return ++asked == 3; }});
    ASSERT_FALSE(read.ok());
    EXPECT_EQ(read.error().kind, ErrorKind::Cancelled);
    EXPECT_EQ(asked, 3);  // seen between blocks, not only at the end
}

// A settings file that is missing is an empty one; one that is there and cannot be read is an
// error, so that nobody writes over what it holds.
TEST(HostileFiles, SettingsThatCannotBeReadAreNotTakenForMissing)
{
    ScratchDir dir;
    EXPECT_TRUE(IniFile::loadIfPresent(dir.path() / "none.INI").ok());
    fs::create_symlink(dir.path() / "gone", dir.path() / "dangling.INI");
    EXPECT_TRUE(IniFile::loadIfPresent(dir.path() / "dangling.INI").ok());
    const auto read = IniFile::loadIfPresent(dir.write("ok.INI", "[Scan]\r\nDir0=x\r\n"));
    ASSERT_TRUE(read.ok());
    EXPECT_EQ(read->value("Scan", "Dir0"), "x");

    const fs::path fifo = dir.path() / "fifo.INI";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    fs::create_directory(dir.path() / "folder.INI");
    for (const fs::path& p : {fifo, dir.path() / "folder.INI"}) {
        EXPECT_TRUE(finishesWithin(10, [&]() -> std::string {
            const auto r = IniFile::loadIfPresent(p);
            return r ? "read as settings" : "";
        })) << p;
    }
    if (::geteuid() == 0)
        return;  // root reads anything
    const fs::path locked = dir.write("locked.INI", "[Scan]\r\n");
    fs::permissions(locked, fs::perms::owner_write);
    EXPECT_FALSE(IniFile::loadIfPresent(locked).ok());
}

// The navigator's scan: a file with a base's header but bigger than a base can be is named and
// skipped, and a cancel stops the scan between files.
TEST(HostileFiles, NavigatorRefusesHugeFilesAndStopsAtACancel)
{
    ScratchDir dir;
    const std::string bytes = baseBytes(makeBase(1, {{"ОДИН", {}}}));
    dir.write("a.QDB", bytes);
    const fs::path huge = dir.write("b.QDB", bytes);
    const bool sparse = ::truncate(huge.c_str(), static_cast<off_t>(maxBaseFileSize() + 1)) == 0;
    dir.write("c.QDB", bytes);
    if (!sparse)
        GTEST_SKIP() << "no sparse files of this size here";
    EXPECT_TRUE(finishesWithin(20, [&]() -> std::string {
        NavigatorCatalogue navigator;
        const auto problems = navigator.addFolder(dir.path());
        if (navigator.size() != 2)
            return "entries: " + std::to_string(navigator.size());
        if (problems.size() != 1 ||
            problems[0].message.find((dir.path() / "b.QDB").string()) == std::string::npos)
            return "problems: " + std::to_string(problems.size());
        return {};
    }));

    NavigatorCatalogue navigator;
    int asked = 0;
    navigator.addFolder(dir.path(), [&] { return ++asked > 2; });  // in the second file
    EXPECT_EQ(navigator.size(), 1u);
}

// Between the scan and the search the files change under their names: a FIFO, a link to
// /dev/zero and a huge sparse file take the places of bases. The search names each and judges
// the rest.
TEST(HostileFiles, LibrarySearchSkipsFilesSwappedInAfterTheScan)
{
    ScratchDir dir;
    const ComponentBase open = handMadeBase();
    const fs::path openFile = dir.path() / "a_open.QDB";
    ASSERT_TRUE(writeBase(open, openFile).ok());
    const std::string other = baseBytes(makeBase(1, {{"ЕЩЁ", part("20", "100", "50-350", "250", "7")}}));
    for (const char* name : {"b.QDB", "c.QDB", "d.QDB", "e.QDB"})
        dir.write(name, other);
    NavigatorCatalogue navigator;
    ASSERT_TRUE(navigator.addFolder(dir.path()).empty());
    const FinderQuery q = referenceQuery(open);
    const std::size_t alone =
        findInLibrary(q, open, openFile.string(), NavigatorCatalogue(), shippedCatalogue()).fullCount;

    fs::remove(dir.path() / "b.QDB");
    ASSERT_EQ(::mkfifo((dir.path() / "b.QDB").c_str(), 0600), 0);
    fs::remove(dir.path() / "c.QDB");
    fs::create_symlink("/dev/zero", dir.path() / "c.QDB");
    fs::remove(dir.path() / "d.QDB");
    std::vector<std::string> skipped{"b.QDB", "c.QDB"};
    if (makeHugeSparseFile(dir.path() / "d.QDB"))
        skipped.push_back("d.QDB");
    else
        dir.write("d.QDB", "");  // no sparse files here: an empty one takes its place

    EXPECT_TRUE(finishesWithin(30, [&]() -> std::string {
        const FinderReport r = findInLibrary(q, open, openFile.string(), navigator, shippedCatalogue());
        std::string wrong;
        if (r.cancelled)
            wrong += "cancelled; ";
        if (r.fullCount != alone + 1)
            wrong += "full matches " + std::to_string(r.fullCount) + "; ";
        if (r.baseFiles.back() != (dir.path() / "e.QDB").string())
            wrong += "e.QDB not judged; ";
        std::size_t named = 0;
        for (const std::string& name : skipped)
            for (const Error& e : r.problems)
                named += e.message.find((dir.path() / name).string()) != std::string::npos;
        if (named < skipped.size())
            wrong += "problems named " + std::to_string(named) + " of " + std::to_string(skipped.size());
        return wrong;
    }));
}

// A cancel during the read of one long file ends the search without waiting for its end.
TEST(HostileFiles, LibrarySearchSeesACancelInsideALongRead)
{
    ScratchDir dir;
    const ComponentBase open = handMadeBase();
    const fs::path openFile = dir.path() / "a_open.QDB";
    ASSERT_TRUE(writeBase(open, openFile).ok());
    dir.write("b_long.QDB", bigBaseBytes(150000));  // about 43 MB
    NavigatorCatalogue navigator;
    ASSERT_TRUE(navigator.addFolder(dir.path()).empty());
    std::map<std::size_t, int> calls;
    const FinderReport r =
        findInLibrary(referenceQuery(open), open, openFile.string(), navigator, shippedCatalogue(),
                      [&](std::size_t done, std::size_t) { return ++calls[done] < 3; });
    EXPECT_TRUE(r.cancelled);
    EXPECT_TRUE(r.matches.empty());
}

// A folder given twice and through a link is searched once; each result's base carries the
// identity of the file as read, which tells a base changed since.
TEST(HostileFiles, LibraryKnowsEachBaseOnceByItsFile)
{
    ScratchDir dir;
    ScratchDir lib;
    const ComponentBase open = handMadeBase();
    const fs::path openFile = dir.path() / "open.QDB";
    ASSERT_TRUE(writeBase(open, openFile).ok());
    const fs::path more =
        lib.write("more.QDB", baseBytes(makeBase(1, {{"ЕЩЁ", part("20", "100", "50-350", "250", "7")},
                                                     {"И ЕЩЁ", part("30", "200", "50", "1", "7")}})));
    fs::create_directory_symlink(lib.path(), dir.path() / "lib-link");
    fs::create_hard_link(openFile, lib.path() / "open-again.QDB");  // the open base once more

    NavigatorCatalogue once;
    once.addFolder(lib.path());
    NavigatorCatalogue thrice;
    for (const fs::path& folder : {lib.path(), lib.path(), dir.path() / "lib-link"})
        thrice.addFolder(folder);
    const FinderQuery q = referenceQuery(open);
    const FinderReport a = findInLibrary(q, open, openFile.string(), once, shippedCatalogue());
    const FinderReport b = findInLibrary(q, open, openFile.string(), thrice, shippedCatalogue());
    EXPECT_EQ(b.baseFiles, a.baseFiles);
    EXPECT_EQ(b.fullCount, a.fullCount);
    EXPECT_EQ(b.baseFiles, (std::vector<std::string>{openFile.string(), more.string()}));

    ASSERT_EQ(b.baseIdentities.size(), b.baseFiles.size());
    EXPECT_TRUE(b.baseIdentities[1].sameStat(statIdentity(more)));
    lib.write("more.QDB", baseBytes(makeBase(1, {{"ДРУГАЯ", {}}})));
    EXPECT_FALSE(b.baseIdentities[1].sameStat(statIdentity(more)));
}
