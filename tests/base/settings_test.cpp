#include <gtest/gtest.h>

#include "base/cp1251.h"
#include "base/settings.h"
#include "scratchdir.h"

using namespace veltris;

TEST(ProgramSettings, DefaultsFromEmptyFile)
{
    const ProgramSettings s = ProgramSettings::read(IniFile(), "/opt/v/");
    EXPECT_EQ(s.standardColumnWidth, 100);
    EXPECT_EQ(cp1251ToUtf8(s.deviceLabel), "Тип прибора");
    EXPECT_EQ(s.openFolder, "C:\\");
    EXPECT_EQ(s.saveFolder, "C:\\");
    EXPECT_EQ(s.drawingDir(1), "/opt/v/TRANS");
    EXPECT_EQ(s.drawingDir(3), "/opt/v/DIODE");
    EXPECT_EQ(s.drawingDir(4), "/opt/v/STAB");
    EXPECT_EQ(s.drawingDir(5), "/opt/v/VARC");
    EXPECT_EQ(s.drawingDir(6), "/opt/v/THYRIST");
    EXPECT_EQ(s.drawingDir(7), "/opt/v/LEDS");
    EXPECT_EQ(s.drawingDir(2), "");
    EXPECT_EQ(s.drawingDir(0), "");
    EXPECT_TRUE(s.showNavigatorAtStart);
    EXPECT_EQ(s.width, 1032);
    EXPECT_EQ(s.height, 748);
    EXPECT_EQ(s.top, -4);
    EXPECT_EQ(s.left, -4);
    for (const auto& d : s.scanDirs)
        EXPECT_EQ(d, "");
}

// Outside Windows the dialogs start in the home folder: by default, and where an old settings
// file says "C:\", which names no folder there. Another saved folder stays.
TEST(ProgramSettings, StartFolderOutsideWindows)
{
    ProgramSettings s = ProgramSettings::read(IniFile(), "/opt/v/", "/home/u");
    EXPECT_EQ(s.openFolder, "/home/u");
    EXPECT_EQ(s.saveFolder, "/home/u");
    s = ProgramSettings::read(IniFile::fromBytes("[Settings]\r\nOdir=C:\\\r\nSdir=/data\r\n"), "/opt/v/",
                              "/home/u");
    EXPECT_EQ(s.openFolder, "/home/u");
    EXPECT_EQ(s.saveFolder, "/data");
}

TEST(ProgramSettings, ReadsKeysAndFallsBackOnBadIntegers)
{
    const IniFile ini = IniFile::fromBytes(
        "[settings]\r\nISTANDARD=$50\r\nsDeviceName=Type\r\nShowNav=0\r\nTHYRIST=/ignored\r\n"
        "THYR=/t\r\n[FORM1]\r\nWidth=abc\r\nHeight=99999999999\r\nTop=0x10\r\nLeft=-7\r\n"
        "[Scan]\r\nDir3=/bases\r\nDir10=/never\r\nDirX=/never\r\n");
    const ProgramSettings s = ProgramSettings::read(ini, "/e/");
    EXPECT_EQ(s.standardColumnWidth, 0x50);
    EXPECT_EQ(s.deviceLabel, "Type");
    EXPECT_FALSE(s.showNavigatorAtStart);
    EXPECT_EQ(s.drawingDir(6), "/t");  // the key is THYR; THYRIST means nothing
    EXPECT_EQ(s.width, 1032);          // not an integer
    EXPECT_EQ(s.height, 748);          // outside 32 bits
    EXPECT_EQ(s.top, 16);
    EXPECT_EQ(s.left, -7);
    EXPECT_EQ(s.scanDirs[3], "/bases");
    for (int n : {0, 1, 2, 4, 9})
        EXPECT_EQ(s.scanDirs[static_cast<size_t>(n)], "");
}

TEST(ProgramSettings, WritesFourteenKeysInOrderAndKeepsTheRest)
{
    ScratchDir dir;
    const auto path =
        dir.write("veltris.INI", "[Scan]\r\nDir0=/b\r\n[Settings]\r\nShowNav=0\r\nOdir=old\r\n");
    IniFile ini = IniFile::loadOrEmpty(path);
    ProgramSettings s = ProgramSettings::read(ini, "/e/");
    s.openFolder = "/o";
    s.width = 800;
    s.left = -4;
    ASSERT_TRUE(saveProgramSettings(s, ini, path).ok());

    const IniFile back = IniFile::loadOrEmpty(path);
    EXPECT_EQ(back.value("Scan", "Dir0"), "/b");
    EXPECT_EQ(back.value("Settings", "ShowNav"), "0");
    EXPECT_EQ(back.value("Settings", "Odir"), "/o");  // replaced in place
    EXPECT_EQ(back.value("FORM1", "Width"), "800");
    EXPECT_EQ(back.value("FORM1", "Left"), "-4");

    // A new file holds exactly the fourteen keys, in their order.
    const auto fresh = dir.path() / "new.INI";
    IniFile empty;
    ASSERT_TRUE(saveProgramSettings(ProgramSettings::defaults("/e/"), empty, fresh).ok());
    EXPECT_EQ(IniFile::loadOrEmpty(fresh).toBytes(),
              "[Settings]\r\niStandard=100\r\nsDeviceName=" + utf8ToCp1251("Тип прибора") +
                  "\r\nOdir=C:\\\r\nSdir=C:\\\r\nTRANS=/e/TRANS\r\nDIODE=/e/DIODE\r\nSTAB=/e/STAB\r\n"
                  "VARC=/e/VARC\r\nTHYR=/e/THYRIST\r\nLEDS=/e/LEDS\r\n\r\n[FORM1]\r\nWidth=1032\r\n"
                  "Height=748\r\nTop=-4\r\nLeft=-4\r\n");
}

TEST(ProgramSettings, UnwritableFileGivesTheMessage)
{
    ScratchDir dir;
    IniFile ini;
    const Status st = saveProgramSettings(ProgramSettings::defaults("/e/"), ini,
                                          dir.path() / "no-such-folder" / "veltris.INI");
    ASSERT_FALSE(st.ok());
    EXPECT_EQ(st.error().message, kSettingsWriteFailed);
}
