#include <set>

#include <gtest/gtest.h>

#include "base/catalogue.h"
#include "base/cp1251.h"
#include "base/devicetype.h"
#include "scratchdir.h"

using namespace veltris;

namespace {

std::string numberedNames(int from, int to)
{
    std::string s;
    for (int m = from; m <= to; ++m)
        s += "Name_" + std::to_string(m) + "=N" + std::to_string(m) + "\r\n";
    return s;
}

std::string countSection(int column, std::string_view count)
{
    return "[Col_" + std::to_string(column) + "]\r\nCount=" + std::string(count) + "\r\nName_1=A\r\n";
}

}  // namespace

TEST(DeviceTypes, EveryAnswerComesFromTheOneTable)
{
    std::set<std::string> iniFiles, drawingKeys;
    for (const DeviceType& type : supportedDeviceTypes()) {
        EXPECT_EQ(findDeviceType(type.code), &type);
        EXPECT_EQ(parameterColumnCount(type.code), type.columnCount);
        EXPECT_EQ(tableColumnCount(type.code), type.columnCount + 1);
        EXPECT_STREQ(deviceTypeCaption(type.code), type.caption);
        // A range or colour column is a parameter column, never the drawing number (the last).
        EXPECT_TRUE(type.rangeColumn >= 0 && type.rangeColumn < type.columnCount) << type.code;
        EXPECT_TRUE(type.colourColumn >= 0 && type.colourColumn < type.columnCount) << type.code;
        EXPECT_TRUE(type.rangeColumn == 0 || type.rangeColumn != type.colourColumn) << type.code;
        EXPECT_TRUE(iniFiles.insert(type.iniFile).second) << type.iniFile;
        EXPECT_TRUE(drawingKeys.insert(type.drawingKey).second) << type.drawingKey;
    }
    // Codes a base header may name without a catalogue or record layout.
    for (int code : {0, 2, 8, -1, 255}) {
        EXPECT_EQ(findDeviceType(code), nullptr);
        EXPECT_EQ(parameterColumnCount(code), 0);
        EXPECT_EQ(tableColumnCount(code), kMaxParamColumns + 1);
    }
    EXPECT_STREQ(deviceTypeCaption(2), "Полевые транзисторы");  // named in lists all the same
    EXPECT_STREQ(deviceTypeCaption(0), "");
}

TEST(Catalogue, ColumnsFromIniText)
{
    const std::string ini = "[Col_5]\r\nCount=3\r\nName_1=" + utf8ToCp1251("Iк max,|мА") +
                            "\r\nName_3=C\r\n"
                            "[Col_2]\r\nCount=20\r\n" +
                            numberedNames(1, 16) +
                            "[Col_9]\r\nCount=0\r\nName_1=ignored\r\n"
                            "[Col_10]\r\ncount=$2\r\nname_2=lower-case keys\r\n"
                            "[Col_11]\r\nCount=two\r\nName_1=not a number\r\n"
                            "[Col_31]\r\nCount=1\r\nName_1=beyond C\r\n";
    Catalogue cat;
    ASSERT_TRUE(cat.loadTypeFromBytes(1, ini));
    EXPECT_TRUE(cat.has(1));
    EXPECT_EQ(cat.columnCount(1), 30);

    // Count 3 with names 1 and 3 only: three names, the second empty.
    EXPECT_EQ(cat.nameCount(1, 5), 3);
    EXPECT_EQ(cp1251ToUtf8(cat.name(1, 5, 1)), "Iк max,|мА");
    EXPECT_EQ(cat.name(1, 5, 2), "");
    EXPECT_EQ(cat.name(1, 5, 3), "C");
    // Count 20 is cut to 15; names past the count are not read.
    EXPECT_EQ(cat.nameCount(1, 2), 15);
    EXPECT_EQ(cat.name(1, 2, 15), "N15");
    EXPECT_EQ(cat.name(1, 2, 16), "");
    // A missing section: the default count 1 with an empty name.
    EXPECT_EQ(cat.nameCount(1, 7), 1);
    EXPECT_EQ(cat.name(1, 7, 1), "");
    // Count 0: no names at all.
    EXPECT_EQ(cat.nameCount(1, 9), 0);
    EXPECT_EQ(cat.name(1, 9, 1), "");
    EXPECT_EQ(cat.nameCount(1, 10), 2);
    EXPECT_EQ(cat.name(1, 10, 2), "lower-case keys");
    EXPECT_EQ(cat.nameCount(1, 11), 1);  // not a number: the default
    EXPECT_EQ(cat.name(1, 11, 1), "not a number");

    // Outside the catalogue.
    EXPECT_EQ(cat.nameCount(1, 31), 0);
    EXPECT_EQ(cat.nameCount(1, 0), 0);
    EXPECT_EQ(cat.name(1, 31, 1), "");
    EXPECT_FALSE(cat.has(3));
    EXPECT_EQ(cat.columnCount(3), 0);
    EXPECT_EQ(cat.name(3, 1, 1), "");
    EXPECT_EQ(cat.name(99, 1, 1), "");
}

TEST(Catalogue, CountOutOfRangeIsAFormatError)
{
    const struct {
        const char* count;
        bool ok;
        int names;
    } cases[] = {
        {"255", true, 15}, {"$FF", true, 15}, {"16", true, 15}, {"0", true, 0},
        {"256", false, 0}, {"300", false, 0}, {"-1", false, 0}, {"0x100", false, 0},
    };
    for (const auto& c : cases) {
        Catalogue cat;
        const Status s = cat.loadTypeFromBytes(3, countSection(4, c.count));
        ASSERT_EQ(s.ok(), c.ok) << c.count;
        if (c.ok) {
            EXPECT_EQ(cat.nameCount(3, 4), c.names) << c.count;
        } else {
            EXPECT_EQ(s.error().kind, ErrorKind::IniFormat);
            EXPECT_EQ(s.error().message,
                      "Неверное значение Count в секции [Col_4] файла DIODES.INI: " + std::string(c.count));
            EXPECT_FALSE(cat.has(3));
        }
    }

    // A failed reload keeps the catalogue that was there.
    Catalogue cat;
    ASSERT_TRUE(cat.loadTypeFromBytes(7, countSection(1, "1")));
    EXPECT_FALSE(cat.loadTypeFromBytes(7, countSection(1, "1") + countSection(5, "300")));
    EXPECT_TRUE(cat.has(7));
    EXPECT_EQ(cat.name(7, 1, 1), "A");
}

TEST(Catalogue, FilesOnDisk)
{
    const ScratchDir dir;
    // Letter case of the name on disk does not matter.
    dir.write("BIPOLAR.INI", countSection(1, "1"));
    dir.write("Stab.Ini", countSection(2, "1"));
    dir.write("varicaps.ini", countSection(3, "1"));
    dir.write("thyrist.ini", countSection(4, "1"));
    std::filesystem::create_directory(dir.path() / "leds.ini");  // a folder is not the file

    const CatalogueLoad load = loadCatalogues(dir.path());
    ASSERT_EQ(load.errors.size(), 2u);
    EXPECT_EQ(load.errors[0].kind, ErrorKind::Generic);
    EXPECT_EQ(load.errors[0].message, "Не найден файл DIODES.INI\r\nРабота приложения будет прекращена");
    EXPECT_EQ(load.errors[1].message, "Не найден файл LEDS.INI\r\nРабота приложения будет прекращена");
    for (int code : {1, 4, 5, 6})
        EXPECT_TRUE(load.catalogue.has(code)) << code;
    EXPECT_FALSE(load.catalogue.has(3));
    EXPECT_FALSE(load.catalogue.has(7));
    EXPECT_EQ(load.catalogue.name(4, 2, 1), "A");

    Catalogue cat;
    const Status missing = cat.loadType(dir.path() / "nowhere", 1);
    ASSERT_FALSE(missing);
    EXPECT_EQ(missing.error().message, "Не найден файл BIPOLAR.INI\r\nРабота приложения будет прекращена");
}

// The catalogues that ship with the program load and keep their titles within a column's width.
TEST(Catalogue, ShippedFiles)
{
    const CatalogueLoad load = loadCatalogues(VELTRIS_SOURCE_DIR "/data");
    for (const Error& e : load.errors)
        ADD_FAILURE() << e.message;
    const Catalogue& cat = load.catalogue;
    for (const DeviceType& type : supportedDeviceTypes()) {
        const int code = type.code;
        ASSERT_EQ(cat.columnCount(code), type.columnCount) << type.iniFile;
        for (int c = 1; c <= type.columnCount; ++c) {
            ASSERT_GE(cat.nameCount(code, c), 1) << type.iniFile << " column " << c;
            for (int m = 1; m <= cat.nameCount(code, c); ++m) {
                const std::string& name = cat.name(code, c, m);
                EXPECT_FALSE(name.empty()) << type.iniFile << " column " << c << " name " << m;
                size_t start = 0, lines = 0;
                for (;;) {
                    const size_t bar = name.find('|', start);
                    const size_t len = (bar == std::string::npos ? name.size() : bar) - start;
                    EXPECT_LE(len, 14u) << cp1251ToUtf8(name);
                    ++lines;
                    if (bar == std::string::npos)
                        break;
                    start = bar + 1;
                }
                EXPECT_LE(lines, 3u) << cp1251ToUtf8(name);
            }
        }
        EXPECT_NE(cp1251ToUtf8(cat.name(code, type.columnCount, 1)).find("рис"), std::string::npos)
            << type.iniFile;
    }
    EXPECT_NE(cp1251ToUtf8(cat.name(1, 14, 1)).find("h21э"), std::string::npos);
    EXPECT_NE(cp1251ToUtf8(cat.name(7, 1, 1)).find("Цвет"), std::string::npos);
}

// Files saved by editors that mark UTF-8 or double the CR: column 1 keeps its caption and no
// caption keeps a stray CR.
TEST(Catalogue, ByteOrderMarkAndDoubledCarriageReturns)
{
    const std::string body =
        "[Col_1]\r\r\nCount=2\r\r\r\nName_1=Uкэ\r\r\nName_2=B \r\r\n"
        "[Col_2]\r\nCount=1\r\nName_1=C\r\n";
    for (const std::string& ini : {"\xEF\xBB\xBF" + body, body}) {
        Catalogue cat;
        ASSERT_TRUE(cat.loadTypeFromBytes(1, ini));
        EXPECT_EQ(cat.nameCount(1, 1), 2);
        EXPECT_EQ(cat.name(1, 1, 1), "Uкэ");
        EXPECT_EQ(cat.name(1, 1, 2), "B");
        EXPECT_EQ(cat.name(1, 2, 1), "C");
    }
}
