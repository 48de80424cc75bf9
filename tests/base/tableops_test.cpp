// Sorting, second table rebuild, shown-list apply and row deletion on the tables.
#include <vector>

#include <gtest/gtest.h>

#include "base/tableops.h"

using namespace veltris;

namespace {

// A table whose column 0 holds the names and column 1 the given texts.
Table column(const std::vector<std::string>& names, const std::vector<std::string>& values = {})
{
    Table t(int(names.size()) + 1, 3);
    t.setCell(0, 0, "label");
    t.setCell(0, 1, "title");
    for (size_t i = 0; i < names.size(); ++i) {
        t.setCell(int(i) + 1, 0, names[i]);
        if (i < values.size())
            t.setCell(int(i) + 1, 1, values[i]);
        t.setCell(int(i) + 1, 2, "row" + std::to_string(i));
    }
    return t;
}

std::vector<std::string> columnTexts(const Table& t, int col)
{
    std::vector<std::string> out;
    for (int r = 1; r < t.rowCount(); ++r)
        out.push_back(t.cell(r, col));
    return out;
}

}  // namespace

TEST(TableOps, ValueSortOrdersByRankThenMagnitude)
{
    // Expected order after sorting: plain by magnitude (a range counts with the geometric mean
    // of its ends, signs ignored), then "(" cells, then "[" cells, then "{" cells.
    const std::vector<std::string> sorted = {"",     "abc",   "1E-5", "0,5", "<3",  "2-8",   "-5",
                                             "1E20", "(0,1)", "(7)",  "[1]", "{2}", "{3-12}"};
    std::vector<std::string> shuffled = {"{3-12}", "(7)", "2-8",  "1E20", "",      "[1]", "-5",
                                         "0,5",    "{2}", "1E-5", "<3",   "(0,1)", "abc"};
    std::vector<std::string> names;
    for (size_t i = 0; i < shuffled.size(); ++i)
        names.push_back("n" + shuffled[i]);
    Table t = column(names, shuffled);
    ASSERT_TRUE(sortTableRows(t, 1).ok());
    EXPECT_EQ(columnTexts(t, 1), sorted);
    // Whole rows move together, and the title row stays.
    for (int r = 1; r < t.rowCount(); ++r)
        EXPECT_EQ(t.cell(r, 0), "n" + t.cell(r, 1));
    EXPECT_EQ(t.cell(0, 1), "title");
}

TEST(TableOps, EqualKeysKeepTheirOrder)
{
    Table t = column({"a", "b", "c", "d"}, {"4", "2-8", "-4", "4"});
    ASSERT_TRUE(sortTableRows(t, 1).ok());
    EXPECT_EQ(columnTexts(t, 0), (std::vector<std::string>{"a", "b", "c", "d"}));
}

TEST(TableOps, NameSortUsesCodePageByteOrder)
{
    // Upper-case Latin, then lower-case Latin, then Cyrillic (bytes above 0x7F); a prefix first.
    Table t = column({"\xC0\xC1", "b", "B", "BA", "a", "\xE0"});
    ASSERT_TRUE(sortTableRows(t, 0).ok());
    EXPECT_EQ(columnTexts(t, 0), (std::vector<std::string>{"B", "BA", "a", "b", "\xC0\xC1", "\xE0"}));
}

// The permutation a sort reports takes the rows from where they were to where they are: what
// undo inverts to put them back.
TEST(TableOps, SortReportsThePermutationItMade)
{
    const Table before = column({"c", "a", "d", "b"}, {"3", "(1)", "2", "1"});
    for (const int col : {0, 1}) {
        Table t = before;
        std::vector<std::uint32_t> permutation = {99};
        ASSERT_TRUE(sortTableRows(t, col, &permutation).ok());
        ASSERT_EQ(permutation.size(), 4u);
        for (int r = 1; r < t.rowCount(); ++r)
            EXPECT_EQ(t.cell(r, 2), before.cell(int(permutation[size_t(r - 1)]) + 1, 2)) << col;
        std::vector<std::uint32_t> inverse(permutation.size());
        for (size_t i = 0; i < permutation.size(); ++i)
            inverse[permutation[i]] = std::uint32_t(i);
        t.permuteStoredOrder(inverse);
        EXPECT_EQ(t, before);
    }
    Table one = column({"b"});
    std::vector<std::uint32_t> none = {1};
    ASSERT_TRUE(sortTableRows(one, 0, &none).ok());
    EXPECT_TRUE(none.empty());
}

TEST(TableOps, BadNumberStopsTheSortAndChangesNothing)
{
    Table t = column({"z", "y", "x"}, {"5", "E", "1"});
    const Table before = t;
    const Status st = sortTableRows(t, 1);
    ASSERT_FALSE(st.ok());
    EXPECT_EQ(st.error().kind, ErrorKind::InvalidNumber);
    EXPECT_EQ(t, before);
}

TEST(TableOps, SortOfOneRowOrOutsideTheTableDoesNothing)
{
    Table one = column({"b"}, {"E"});  // not even parsed
    EXPECT_TRUE(sortTableRows(one, 1).ok());
    Table t = column({"b", "a"});
    const Table before = t;
    EXPECT_TRUE(sortTableRows(t, 7).ok());
    EXPECT_EQ(t, before);
}

TEST(TableOps, SecondTableRebuildFollowsTheViewMask)
{
    ComponentBase base;
    base.table = Table(3, 5);
    for (int c = 0; c < 5; ++c)
        for (int r = 0; r < 3; ++r)
            base.table.setCell(r, c, std::to_string(r) + ":" + std::to_string(c));
    base.secondColumnCount = 4;
    base.viewMask = {3, 0, 1, 2};  // entry 4 is beyond the count and ignored

    Table second(2, 4);
    second.setCell(0, 0, "label");
    second.setCell(0, 2, "old title");
    second.setCell(1, 2, "old");
    rebuildSecondTable(base, second);
    ASSERT_EQ(second.rowCount(), 3);
    ASSERT_EQ(second.columnCount(), 4);
    EXPECT_EQ(second.cell(0, 0), "label");
    EXPECT_EQ(second.cell(2, 0), "2:0");
    EXPECT_EQ(second.cell(0, 1), "0:3");
    EXPECT_EQ(second.cell(2, 1), "2:3");
    EXPECT_EQ(second.cell(1, 2), "old") << "a column whose mask entry is 0 keeps its content";
    EXPECT_EQ(second.cell(0, 2), "old title");
    EXPECT_EQ(second.cell(2, 3), "2:1");

    // A damaged count or a mask entry past the main table must not reach outside.
    base.secondColumnCount = 1000;
    base.viewMask.fill(30);
    rebuildSecondTable(base, second);
    EXPECT_EQ(second.columnCount(), 31);
    EXPECT_EQ(second.cell(1, 30), "");
    base.secondColumnCount = -7;
    rebuildSecondTable(base, second);
    EXPECT_EQ(second.columnCount(), 1);
}

TEST(TableOps, ShownListApplyKeepsTheChosenOrder)
{
    ComponentBase base;
    base.table = Table(3, 31);
    for (int c = 0; c < 31; ++c)
        for (int r = 0; r < 3; ++r)
            base.table.setCell(r, c, std::to_string(r) + ":" + std::to_string(c));
    base.viewMask.fill(0);
    base.viewMask[3] = 17;  // beyond the new list: stays as it was
    Table second(2, 2);
    second.setCell(0, 0, "label");

    applyShownList(base, second, {5, 2, 9});
    EXPECT_EQ(base.secondColumnCount, 4);
    EXPECT_EQ(base.viewMask[0], 5);
    EXPECT_EQ(base.viewMask[1], 2);
    EXPECT_EQ(base.viewMask[2], 9);
    EXPECT_EQ(base.viewMask[3], 17);
    ASSERT_EQ(second.columnCount(), 4);
    ASSERT_EQ(second.rowCount(), 3);
    EXPECT_EQ(second.cell(0, 0), "label");
    EXPECT_EQ(second.cell(0, 1), "0:5");
    EXPECT_EQ(second.cell(2, 2), "2:2");
    EXPECT_EQ(second.cell(1, 3), "1:9");
    EXPECT_EQ(second.cell(2, 0), "2:0");
    EXPECT_TRUE(isShownColumn(base, 9));
    EXPECT_FALSE(isShownColumn(base, 17));
    EXPECT_FALSE(isShownColumn(base, 1));

    applyShownList(base, second, {});
    EXPECT_EQ(base.secondColumnCount, 2);
    for (auto m : base.viewMask)
        EXPECT_EQ(m, 0);
    ASSERT_EQ(second.columnCount(), 2);
    EXPECT_EQ(second.cell(0, 1), "");
    EXPECT_EQ(second.cell(1, 1), "") << "the one parameter column is empty";
    EXPECT_FALSE(isShownColumn(base, 5));
}

TEST(TableOps, DeleteRow)
{
    Table t = column({"a", "b", "c"});
    ASSERT_TRUE(deleteTableRow(t, 1));
    EXPECT_EQ(columnTexts(t, 0), (std::vector<std::string>{"b", "c"}));
    EXPECT_EQ(t.cell(2, 2), "row2");
    ASSERT_TRUE(deleteTableRow(t, 2));  // the last row
    EXPECT_EQ(columnTexts(t, 0), (std::vector<std::string>{"b"}));

    const Table before = t;
    EXPECT_FALSE(deleteTableRow(t, -1));
    EXPECT_FALSE(deleteTableRow(t, 2));
    EXPECT_EQ(t, before);
    Table empty;
    EXPECT_FALSE(deleteTableRow(empty, 0));
}

TEST(TableOps, MoveRowShiftsTheRowsBetween)
{
    Table t = column({"a", "b", "c", "d"});
    t.moveRow(1, 3);
    EXPECT_EQ(columnTexts(t, 0), (std::vector<std::string>{"b", "c", "a", "d"}));
    t.moveRow(4, 2);
    EXPECT_EQ(columnTexts(t, 0), (std::vector<std::string>{"b", "d", "c", "a"}));
    EXPECT_EQ(t.rowCount(), 5);
}

TEST(TableOps, ResizeKeepsTheCellsInside)
{
    Table t(2, 3);
    t.setCell(1, 1, "x");
    t.setCell(1, 2, "y");
    t.resize(3, 2);
    EXPECT_EQ(t.cell(1, 1), "x");
    EXPECT_EQ(t.cell(2, 1), "");
    EXPECT_EQ(t.cell(1, 2), "");
    t.resize(3, 4);
    EXPECT_EQ(t.cell(1, 2), "") << "a dropped column does not come back";
}
