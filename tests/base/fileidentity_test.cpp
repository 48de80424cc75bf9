// File identities: what a check says after each way another program can touch the file.
#include <functional>
#include <string>

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "base/fileidentity.h"
#include "base/fileio.h"
#include "scratchdir.h"

using namespace veltris;
namespace fs = std::filesystem;

namespace {

// Sets the file's modification time to the one recorded, as a copy keeping times would.
void setModified(const fs::path& file, const FileIdentity& id)
{
    const timespec times[2] = {{0, UTIME_OMIT}, {id.modifiedSeconds, id.modifiedNanoseconds}};
    ASSERT_EQ(::utimensat(AT_FDCWD, file.c_str(), times, 0), 0);
}

}  // namespace

TEST(FileIdentity, ReadRecordsStateAndHashOfTheBytesRead)
{
    ScratchDir dir;
    const auto file = dir.write("a.QDB", "first version");
    FileIdentity id;
    auto bytes = readFileIdentified(file, id);
    ASSERT_TRUE(bytes.ok());
    EXPECT_EQ(*bytes, "first version");
    EXPECT_TRUE(id.exists && id.hashed);
    EXPECT_EQ(id.size, 13u);
    EXPECT_EQ(id.hash, hashBytes("first version"));
    EXPECT_NE(hashBytes("first version"), hashBytes("first versioN"));
    EXPECT_TRUE(id.sameStat(statIdentity(file)));
    EXPECT_FALSE(readFileIdentified(dir.path() / "none.QDB", id).ok());
}

// What is read with its identity is a base: bigger than any settings or catalogue file may be.
TEST(FileIdentity, ReadsAFileOfABasesSize)
{
    ScratchDir dir;
    const std::string bytes(kTextFileLimit + 1000, 'x');
    const auto file = dir.write("big.QDB", bytes);
    FileIdentity id;
    auto read = readFileIdentified(file, id);
    ASSERT_TRUE(read.ok()) << read.error().message;
    EXPECT_EQ(read->size(), bytes.size());
    EXPECT_EQ(id.size, bytes.size());
}

TEST(FileIdentity, ChecksTellEveryKindOfChange)
{
    struct Case {
        const char* what;
        std::function<void(const fs::path&, const FileIdentity&)> touch;
        FileChange quick;
        FileChange thorough;
    };
    const std::vector<Case> cases = {
        {"untouched", [](const fs::path&, const FileIdentity&) {}, FileChange::Unchanged,
         FileChange::Unchanged},
        {"touched, same bytes",
         [](const fs::path& f, const FileIdentity&) {
             ASSERT_EQ(::utimensat(AT_FDCWD, f.c_str(), nullptr, 0), 0);
         },
         FileChange::Unchanged, FileChange::Unchanged},
        {"replaced by an identical copy",
         [](const fs::path& f, const FileIdentity&) { ASSERT_TRUE(writeFileAtomic(f, "version one").ok()); },
         FileChange::Unchanged, FileChange::Unchanged},
        {"replaced by another program's save",
         [](const fs::path& f, const FileIdentity&) { ASSERT_TRUE(writeFileAtomic(f, "version two").ok()); },
         FileChange::Changed, FileChange::Changed},
        {"appended in place",
         [](const fs::path& f, const FileIdentity&) {
             const int fd = ::open(f.c_str(), O_WRONLY | O_APPEND);
             ASSERT_GE(fd, 0);
             ASSERT_EQ(::write(fd, "!", 1), 1);
             ::close(fd);
         },
         FileChange::Changed, FileChange::Changed},
        // Same size, time put back: only the bytes tell, and only a thorough check reads them.
        {"rewritten in place with its time kept",
         [](const fs::path& f, const FileIdentity& id) {
             const int fd = ::open(f.c_str(), O_WRONLY);
             ASSERT_GE(fd, 0);
             ASSERT_EQ(::write(fd, "VERSION", 7), 7);
             ::close(fd);
             setModified(f, id);
         },
         FileChange::Unchanged, FileChange::Changed},
        {"deleted", [](const fs::path& f, const FileIdentity&) { fs::remove(f); }, FileChange::Missing,
         FileChange::Missing},
        {"moved away",
         [](const fs::path& f, const FileIdentity&) { fs::rename(f, f.parent_path() / "elsewhere.QDB"); },
         FileChange::Missing, FileChange::Missing},
    };
    for (const Case& c : cases) {
        for (const CheckDepth depth : {CheckDepth::Quick, CheckDepth::Thorough}) {
            SCOPED_TRACE(std::string(c.what) + (depth == CheckDepth::Quick ? " (quick)" : " (thorough)"));
            ScratchDir dir;
            const auto file = dir.write("a.QDB", "version one");
            FileIdentity recorded;
            ASSERT_TRUE(readFileIdentified(file, recorded).ok());
            c.touch(file, recorded);
            const FileCheck check = checkFile(file, recorded, depth);
            EXPECT_EQ(check.change, depth == CheckDepth::Quick ? c.quick : c.thorough);
            if (check.change == FileChange::Unchanged && check.current.hashed) {
                EXPECT_TRUE(check.current.sameBytes(recorded));
            }
        }
    }
}

TEST(FileIdentity, WrittenIdentityMatchesTheFileAndNothingRecordedNeverChanges)
{
    ScratchDir dir;
    const auto file = dir.path() / "b.QDB";
    ASSERT_TRUE(writeFileAtomic(file, "saved").ok());
    const FileIdentity id = writtenIdentity(file, "saved");
    EXPECT_EQ(checkFile(file, id, CheckDepth::Thorough).change, FileChange::Unchanged);
    // A base never saved records no file: whatever lies under a name is no change of it.
    EXPECT_EQ(checkFile(file, FileIdentity{}, CheckDepth::Thorough).change, FileChange::Unchanged);
}

// Where a base's name leads at a save, against where it led when the base was opened: another
// program's save in place of the file is the same file; a link put there, a FIFO or a device
// is not, and neither is a link of the name that now leads elsewhere.
TEST(FileIdentity, NameCheckTellsWhereTheNameNowLeads)
{
    ScratchDir dir;
    const fs::path base = dir.write("a.QDB", "base");
    const fs::path other = dir.write("other.txt", "text");
    const fs::path real = realPathOf(base);
    EXPECT_EQ(real, fs::canonical(base));
    EXPECT_EQ(checkName(base, real).leads, NameLeads::ToTheFile);

    // Replaced by another program's save: the same path, a regular file.
    dir.write("a.QDB", "theirs");
    EXPECT_EQ(checkName(base, real).leads, NameLeads::ToTheFile);
    fs::remove(base);
    EXPECT_EQ(checkName(base, real).leads, NameLeads::ToNothing);

    struct Case {
        const char* what;
        std::function<void()> make;
        NameLeads leads;
        fs::path now;
    };
    const Case cases[] = {
        {"link to a file", [&] { fs::create_symlink(other, base); }, NameLeads::Elsewhere,
         fs::canonical(other)},
        {"link to /dev/null", [&] { fs::create_symlink("/dev/null", base); }, NameLeads::Elsewhere,
         "/dev/null"},
        {"link leading nowhere", [&] { fs::create_symlink(dir.path() / "gone", base); }, NameLeads::Elsewhere,
         realPathOf(dir.path()) / "gone"},
        {"FIFO", [&] { ASSERT_EQ(::mkfifo(base.c_str(), 0644), 0); }, NameLeads::ToNoFile, real},
        {"folder", [&] { fs::create_directory(base); }, NameLeads::ToNoFile, real},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove(base);
        c.make();
        const NameCheck check = checkName(base, real);
        EXPECT_EQ(check.leads, c.leads);
        EXPECT_EQ(check.now, c.now);
    }

    // Opened through a link: the file it leads to is the base's; the link turned to another
    // file is not, though that file is regular.
    fs::remove(base);
    const fs::path target = dir.write("target.QDB", "base");
    fs::create_symlink("target.QDB", base);
    const fs::path throughLink = realPathOf(base);
    EXPECT_EQ(throughLink, fs::canonical(target));
    dir.write("target.QDB", "theirs");  // the target saved by another program
    EXPECT_EQ(checkName(base, throughLink).leads, NameLeads::ToTheFile);
    fs::remove(base);
    fs::create_symlink(other, base);
    EXPECT_EQ(checkName(base, throughLink).leads, NameLeads::Elsewhere);
}
