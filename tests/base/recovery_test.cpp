// Recovery files: everything of the base comes back, typed texts the base writer refuses
// included; files that are no recovery files are refused; the folder lists and sets aside.
#include <chrono>
#include <thread>

#include <gtest/gtest.h>

#include "base/basefile.h"
#include "base/catalogue.h"
#include "base/recovery.h"
#include "scratchdir.h"

using namespace veltris;
namespace fs = std::filesystem;

namespace {

ComponentBase diodeBase()
{
    Catalogue none;
    ComponentBase base = makeEmptyBase(none, "");
    base.deviceType = 3;
    base.setDescription("Diodes");
    base.table.resize(5, 13);
    base.table.setCell(1, 0, "1N4148");
    base.table.setCell(1, 1, "100");
    base.table.setCell(2, 0, "KD522");
    base.table.setCell(2, 2, "<0,5");
    base.table.setCell(3, 0, "D9");
    base.table.setCell(4, 0, "KD209");
    return base;
}

RecoveryInfo someInfo()
{
    RecoveryInfo info;
    info.basePath = "/home/u/bases/odd\nname\\x.QDB";  // a name may hold a newline and a backslash
    info.owner = currentProcess();
    info.identity.exists = true;
    info.identity.size = 1234;
    info.identity.modifiedSeconds = 1700000000;
    info.identity.modifiedNanoseconds = 123456789;
    info.identity.inode = 77;
    info.identity.device = 2049;
    info.identity.hashed = true;
    info.identity.hash = 0xfedcba9876543210ULL;
    return info;
}

}  // namespace

TEST(Recovery, EverythingComesBackIncludingTextsTheWriterRefuses)
{
    Catalogue none;
    // A base typed in the window (texts everywhere) and one read from a file and edited
    // (stored cells, a few edited).
    ComponentBase typed = diodeBase();
    ComponentBase loaded = *decodeBase(*encodeBase(diodeBase()), none);
    for (ComponentBase* base : {&typed, &loaded}) {
        SCOPED_TRACE(base == &typed ? "typed" : "loaded and edited");
        base->table.setCell(1, 3, "abc");                           // no number: a save refuses it
        base->table.setCell(3, 12, "99999999");                     // a drawing number out of range
        base->table.setCell(2, 4, "");                              // an empty value reads back as "0"
        base->table.setCell(4, 0, "A NAME LONGER THAN ITS FIELD");  // in a row not edited otherwise
        ASSERT_FALSE(encodeBase(*base).ok());
        const RecoveryInfo info = someInfo();

        auto bytes = encodeRecovery(info, *base);
        ASSERT_TRUE(bytes.ok()) << bytes.error().message;
        auto back = decodeRecovery(*bytes, none);
        ASSERT_TRUE(back.ok()) << back.error().message;
        EXPECT_EQ(back->info.basePath, info.basePath);
        EXPECT_EQ(back->info.owner.pid, info.owner.pid);
        EXPECT_EQ(back->info.owner.time, info.owner.time);
        EXPECT_TRUE(back->info.identity.sameStat(info.identity));
        EXPECT_TRUE(back->info.identity.sameBytes(info.identity));
        EXPECT_EQ(back->base.deviceType, 3);
        EXPECT_EQ(back->base.description(), "Diodes");
        ASSERT_EQ(back->base.table.rowCount(), 5);
        for (int r = 1; r < 5; ++r)
            for (int c = 0; c < 13; ++c)
                EXPECT_EQ(back->base.table.cell(r, c), base->table.cell(r, c)) << r << "," << c;

        // The header alone is enough to tell whose and which base it is.
        auto header = decodeRecoveryInfo(*bytes);
        ASSERT_TRUE(header.ok());
        EXPECT_EQ(header->basePath, info.basePath);
    }
}

TEST(Recovery, WhatIsNoRecoveryFileIsRefused)
{
    auto good = encodeRecovery(someInfo(), diodeBase());
    ASSERT_TRUE(good.ok());
    const std::string& g = *good;
    Catalogue none;
    for (const std::string& bad :
         {std::string(), std::string("VELTRIS RECOVERY 2\n"), g.substr(0, 40), g.substr(0, g.find("\n\n")),
          *encodeBase(diodeBase()), g.substr(0, g.find("\n\n") + 2) + "short"}) {
        SCOPED_TRACE(bad.substr(0, 30));
        auto back = decodeRecovery(bad, none);
        ASSERT_FALSE(back.ok());
        EXPECT_FALSE(back.error().message.empty());
    }
}

TEST(Recovery, FolderListsNewestFirstAndSetsDamagedFilesAside)
{
    ScratchDir dir;
    EXPECT_TRUE(listRecoveryFiles(dir.path() / "none").empty());
    dir.write("older.recovery", "1");
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    dir.write("newer.recovery", "2");
    dir.write("notes.txt", "3");
    const auto files = listRecoveryFiles(dir.path());
    ASSERT_EQ(files.size(), 2u);
    EXPECT_EQ(files[0].filename(), "newer.recovery");
    EXPECT_EQ(files[1].filename(), "older.recovery");

    const fs::path aside = moveRecoveryAside(files[0]);
    EXPECT_EQ(aside, dir.path() / "damaged" / "newer.recovery");
    dir.write("newer.recovery", "again");
    const fs::path second = moveRecoveryAside(dir.path() / "newer.recovery");
    EXPECT_NE(second, aside);  // the first one set aside is kept
    EXPECT_TRUE(fs::exists(aside) && fs::exists(second));
    EXPECT_EQ(listRecoveryFiles(dir.path()).size(), 1u);
}
