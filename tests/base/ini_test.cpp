#include <limits>

#include <gtest/gtest.h>

#include "base/ini.h"
#include "scratchdir.h"

using namespace veltris;

namespace {

const char kSample[] =
    "; settings\r\n"
    "[Settings]\r\n"
    "  iStandard = 120  \r\n"
    "Odir=C:\\Data\\\r\n"
    ";Sdir=commented\r\n"
    "Name=first\r\n"
    "NAME=second\r\n"
    "Empty=\r\n"
    "\r\n"
    "[ form1 ]\r\n"
    "Width=$10\r\n"
    "Height=abc\r\n"
    "[settings]\r\n"
    "Late=1\r\n"
    "Name=third\r\n";

}  // namespace

TEST(Ini, Lookup)
{
    const IniFile ini = IniFile::fromBytes(kSample);
    const struct {
        const char* section;
        const char* key;
        std::optional<std::string> value;
    } cases[] = {
        {"Settings", "iStandard", "120"},  // blanks around key and value
        {"SETTINGS", "istandard", "120"},  // names ignore case
        {" Settings ", " Odir ", "C:\\Data\\"},
        {"Settings", "Name", "first"},  // first match wins
        {"Settings", "Empty", ""},
        {"Settings", "Sdir", std::nullopt},  // comment line
        {"Settings", ";Sdir", std::nullopt},
        {"Settings", "Width", std::nullopt},  // other section
        {"FORM1", "Width", "$10"},            // blanks inside brackets
        {"Settings", "Late", "1"},            // repeated section still searched
        {"Scan", "Dir0", std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ini.value(c.section, c.key), c.value) << c.section << "/" << c.key;

    EXPECT_EQ(ini.readInt("Settings", "iStandard", 100), 120);
    EXPECT_EQ(ini.readInt("FORM1", "Width", 1032), 16);
    EXPECT_EQ(ini.readInt("FORM1", "Height", 748), 748);
    EXPECT_EQ(ini.readInt("FORM1", "Top", -4), -4);
    EXPECT_EQ(ini.readString("Settings", "Missing", "C:\\"), "C:\\");
    EXPECT_TRUE(ini.hasKey("settings", "empty"));
}

TEST(Ini, LfOnlyInput)
{
    const IniFile ini = IniFile::fromBytes("[A]\nx=1\ny = two\n");
    EXPECT_EQ(ini.readString("a", "Y", ""), "two");
    EXPECT_EQ(ini.toBytes(), "[A]\r\nx=1\r\ny = two\r\n");
}

// Any run of CR before LF ends the line; a CR elsewhere is text. A UTF-8 byte-order mark
// before the first section is no part of it and is written back as it came.
TEST(Ini, LineEndsAndByteOrderMark)
{
    struct Case {
        std::string bytes;
        std::string written;
    };
    const Case cases[] = {
        {"[A]\r\r\nx=1\r\r\r\ny=a\rb\r\n", "[A]\r\nx=1\r\ny=a\rb\r\n"},
        {"\xEF\xBB\xBF[A]\nx=1\ny=a\rb", "\xEF\xBB\xBF[A]\r\nx=1\r\ny=a\rb\r\n"},
    };
    for (const Case& c : cases) {
        IniFile ini = IniFile::fromBytes(c.bytes);
        EXPECT_EQ(ini.readString("A", "x", ""), "1");
        EXPECT_EQ(ini.readString("A", "y", ""), "a\rb");
        EXPECT_EQ(ini.toBytes(), c.written);
        ini.writeInt("A", "x", 2);
        EXPECT_EQ(IniFile::fromBytes(ini.toBytes()).readInt("a", "X", 0), 2);
    }
    // A mark anywhere else is text of its line.
    const IniFile later = IniFile::fromBytes("[A]\r\n\xEF\xBB\xBFx=1\r\n");
    EXPECT_FALSE(later.hasKey("A", "x"));
}

TEST(Ini, ParseInt)
{
    constexpr long long kMax = std::numeric_limits<long long>::max();
    constexpr long long kMin = std::numeric_limits<long long>::min();
    const struct {
        const char* text;
        std::optional<long long> value;
    } cases[] = {
        {"42", 42},
        {"-7", -7},
        {"+5", 5},
        {"007", 7},
        {"$1F", 31},
        {"$ff", 255},
        {"0x1f", 31},
        {"0X10", 16},
        {"-$10", -16},
        {"-0x10", -16},
        {" 12 ", 12},
        {"9223372036854775807", kMax},
        {"-9223372036854775808", kMin},
        {"9223372036854775808", std::nullopt},
        {"-9223372036854775809", std::nullopt},
        {"$8000000000000000", std::nullopt},
        {"", std::nullopt},
        {"abc", std::nullopt},
        {"12abc", std::nullopt},
        {"0x", std::nullopt},
        {"$", std::nullopt},
        {"1.5", std::nullopt},
        {"--1", std::nullopt},
        {"1 2", std::nullopt},
        {"-", std::nullopt},
        {"$-1", std::nullopt},
        {"0x+1", std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(parseIniInt(c.text), c.value) << '"' << c.text << '"';
}

TEST(Ini, WritingKeepsEveryOtherLine)
{
    IniFile ini = IniFile::fromBytes(kSample);
    ini.writeString("settings", "ODIR", "D:\\New\\");  // replaced in place, key spelling kept
    ini.writeInt("Settings", "Sdir2", -3);             // appended after the last key line
    ini.writeInt("FORM1", "Top", 0);                   // appended after that section's last key
    ini.writeString("Scan", "Dir0", "/data");          // new section at the end
    EXPECT_EQ(ini.toBytes(),
              "; settings\r\n"
              "[Settings]\r\n"
              "  iStandard = 120  \r\n"
              "Odir=D:\\New\\\r\n"
              ";Sdir=commented\r\n"
              "Name=first\r\n"
              "NAME=second\r\n"
              "Empty=\r\n"
              "Sdir2=-3\r\n"
              "\r\n"
              "[ form1 ]\r\n"
              "Width=$10\r\n"
              "Height=abc\r\n"
              "Top=0\r\n"
              "[settings]\r\n"
              "Late=1\r\n"
              "Name=third\r\n"
              "\r\n"
              "[Scan]\r\n"
              "Dir0=/data\r\n");

    ini.writeString("Settings", "Name", "x\r\ny");  // a line break cannot split the line
    EXPECT_EQ(ini.readString("Settings", "Name", ""), "x  y");
    EXPECT_EQ(ini.readString("Settings", "y", "none"), "none");
}

TEST(Ini, WritingIntoEmptyAndKeylessSections)
{
    IniFile ini;
    ini.writeInt("Settings", "iStandard", 100);
    ini.writeString("Settings", "sDeviceName", "X");
    EXPECT_EQ(ini.toBytes(), "[Settings]\r\niStandard=100\r\nsDeviceName=X\r\n");

    IniFile bare = IniFile::fromBytes("[A]\r\n; note\r\n[B]\r\n");
    bare.writeString("A", "k", "v");
    EXPECT_EQ(bare.toBytes(), "[A]\r\nk=v\r\n; note\r\n[B]\r\n");
}

TEST(Ini, SaveAndLoad)
{
    const ScratchDir scratch;
    const auto& dir = scratch.path();
    const auto path = dir / "app.INI";

    EXPECT_EQ(IniFile::loadOrEmpty(path).toBytes(), "");  // missing file

    IniFile ini = IniFile::fromBytes(kSample);
    ini.writeInt("FORM1", "Width", 1032);
    ASSERT_TRUE(ini.saveAtomic(path, "Не могу перезаписать файл конфигурации"));
    const IniFile back = IniFile::loadOrEmpty(path);
    EXPECT_EQ(back.toBytes(), ini.toBytes());
    EXPECT_EQ(back.readInt("form1", "width", 0), 1032);

    const Status failed = ini.saveAtomic(dir / "no-such-folder" / "x.ini", "Не могу перезаписать");
    ASSERT_FALSE(failed);
    EXPECT_EQ(failed.error().kind, ErrorKind::WriteFailed);
    EXPECT_EQ(failed.error().message, "Не могу перезаписать");
}
