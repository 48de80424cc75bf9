// The CSV export's byte format.
#include <gtest/gtest.h>

#include "base/csvexport.h"
#include "base/fileio.h"
#include "scratchdir.h"

using namespace veltris;

TEST(CsvExport, EveryCellEndsWithSemicolonAndEveryLineWithCrLf)
{
    Table t(3, 4);
    t.setCell(0, 0, "\xD2\xE8\xEF");  // Windows-1251 bytes go out unchanged
    t.setCell(0, 1, "U|max");
    t.setCell(1, 0, "KT315");
    t.setCell(1, 1, "0");    // absent value: empty field
    t.setCell(1, 2, "a;b");  // no quoting
    t.setCell(1, 3, "00");
    t.setCell(2, 1, "(0)");
    EXPECT_EQ(csvBytes(t), "\xD2\xE8\xEF;U|max;;;\r\nKT315;;a;b;00;\r\n;(0);;;\r\n");
}

TEST(CsvExport, EmptyTitleRowAndBlankRecordRow)
{
    Table t(2, 31);
    const std::string out = csvBytes(t);
    EXPECT_EQ(out, std::string(31, ';') + "\r\n" + std::string(31, ';') + "\r\n");
}

TEST(CsvExport, WriteFailureCreatesNothing)
{
    ScratchDir dir;
    Table t(1, 1);
    t.setCell(0, 0, "x");
    const Status st = writeCsv(t, dir.path() / "no" / "such.csv");
    ASSERT_FALSE(st.ok());
    EXPECT_EQ(st.error().message, "Ошибка записи в файл");
    EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
    ASSERT_TRUE(writeCsv(t, dir.path() / "a.csv").ok());
    EXPECT_EQ(*readFileBytes(dir.path() / "a.csv"), "x;\r\n");
}
