#include <cmath>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "base/cp1251.h"
#include "base/selection.h"
#include "base/valuetext.h"
#include "literalselection.h"

using namespace veltris;

namespace {

// A main table with a title row; each entry of `rows` is one component: name, then its cells.
Table makeTable(int cols, const std::vector<std::vector<std::string>>& rows)
{
    Table t(static_cast<int>(rows.size()) + 1, cols);
    for (int c = 0; c < cols; ++c)
        t.setCell(0, c, "T" + std::to_string(c));
    for (std::size_t r = 0; r < rows.size(); ++r) {
        for (std::size_t c = 0; c < rows[r].size(); ++c)
            t.setCell(static_cast<int>(r) + 1, static_cast<int>(c), rows[r][c]);
    }
    return t;
}

std::vector<BoundTexts> noBounds(const Table& t)
{
    return std::vector<BoundTexts>(static_cast<std::size_t>(t.columnCount() - 1), {"0", "0"});
}

struct ReferenceCase {
    const char* reference;
    int p;
    int q;
    bool lastRow;
    const char* lower;
    const char* upper;
};

TEST(BoundsFromReference, Table)
{
    const ReferenceCase cases[] = {
        {"100", 10, 10, false, "90", "110"},
        {"<50", 10, 10, false, "45", "55"},
        {"10-20", 10, 20, false, "9", "24"},
        {"0", 10, 10, false, "0", "0"},       // empty cell: no bound at all
        {"100", 100, 10, false, "0", "110"},  // lower spread 100 clears the lower bound
        {"100", 0, 0, false, "100", "100"},
        {"(5)", 10, 10, false, "4,5", "5,5"},
        {"-5", 10, 10, false, "4,5", "5,5"},  // signs drop out
        {"-5-10", 0, 0, false, "5", "10"},
        {"1E-5", 10, 10, false, "9E-6", "1,1E-5"},  // exponent sign is not a range split
        {"2,5 В", 20, 0, false, "2", "2,5"},
        {"0,3", 10, 10, false, "0,27", "0,33"},
        {"1,7E308", 0, 10, false, "1,7E308", "1,79769313486231E308"},  // kept readable
        {"12", 10, 10, true, "12", "12"},                              // drawing number copied, no spread
        {"<7 x", 50, 50, true, "<7 x", "<7 x"},
        {"0", 10, 10, true, "0", "0"},
    };
    for (const auto& c : cases) {
        auto r = boundsFromReference(c.reference, c.p, c.q, c.lastRow);
        ASSERT_TRUE(r.ok()) << c.reference;
        EXPECT_EQ(r->lower, c.lower) << c.reference;
        EXPECT_EQ(r->upper, c.upper) << c.reference;
    }
}

TEST(BoundsFromReference, RejectedReference)
{
    for (const char* ref : {"5-", "1,2,3", "5--", "5-3-"}) {
        auto r = boundsFromReference(ref, 10, 10, false);
        ASSERT_FALSE(r.ok()) << ref;
        EXPECT_EQ(r.error().kind, ErrorKind::InvalidNumber);
        EXPECT_NE(r.error().message.find("не читается как число"), std::string::npos);
    }
}

TEST(BoundsFromReference, HugeReferenceStillSelects)
{
    auto b = boundsFromReference("1,7E308", 10, 10, false);
    ASSERT_TRUE(b.ok());
    Table t = makeTable(2, {{"A", "1,7E308"}});
    const std::vector<BoundTexts> bounds = {*b};
    auto r = selectComponents(t, bounds);
    ASSERT_TRUE(r.ok()) << r.error().message;
    EXPECT_EQ(r->rows, (std::vector<int>{1}));
}

TEST(ReferenceText, EmptyCellReadsZero)
{
    EXPECT_EQ(referenceText(""), "0");
    EXPECT_EQ(referenceText("<5"), "<5");
}

// One parameter column (column 1), the drawing number in column 2.
struct OneRowCase {
    const char* cell;
    const char* lower;
    const char* upper;
    bool selected;
};

TEST(Selection, SingleRowCases)
{
    const OneRowCase cases[] = {
        {"95", "90", "110", true},
        {"111", "90", "110", false},
        {"90", "90", "110", true},  // inclusive
        {"110", "90", "110", true},
        {"", "90", "110", false},  // empty cell reads 0
        {"0", "90", "110", false},
        {"100", "110", "90", false},  // lower above upper
        {"10-20", "5", "25", true},   // the whole range must lie inside
        {"10-20", "12", "25", false},
        {"10-20", "5", "15", false},
        {"<10", "10", "10", true},
        {"(5)", "5", "5", true},
        {"[(<2,5)]", "2", "3", true},
        {"-5", "5", "5", true},  // absolute values
        {"-5-10", "5", "10", true},
        {"1.5", "15", "15", true},  // the point is dropped
        {"1E-5", "0,00001", "0,00001", true},
        {"1E-5", "9E-6", "1,1E-5", true},
        {"2E3", "2000", "2000", true},
        {"5 мА", "4", "6", true},
        {",", "1", "2", false},                          // a lone comma reads 0
        {"12345678901234567890", "1E19", "2E19", true},  // beyond the plain fast form
        {"0,1", "0,1", "0,1", true},
        {"100", ">90", "<110", true},   // marked bounds
        {"100", "<90", "", false},      // "<" is an upper bound, in either cell
        {"1500", "1к", "2к", true},     // prefixes in a column without a unit
        {"100", "9e1", "1.1e2", true},  // what reads as a typed value
    };
    for (const auto& c : cases) {
        Table t = makeTable(3, {{"A", c.cell, "7"}});
        std::vector<BoundTexts> b = noBounds(t);
        b[0] = {c.lower, c.upper};
        auto r = selectComponents(t, b);
        ASSERT_TRUE(r.ok()) << c.cell << " " << r.error().message;
        EXPECT_FALSE(r->noCriteria);
        EXPECT_EQ(r->rows.size(), c.selected ? 1u : 0u)
            << "cell " << c.cell << " bounds " << c.lower << ".." << c.upper;
    }
}

TEST(Selection, NoCriteriaWhenEveryBoundIsZero)
{
    Table t = makeTable(4, {{"A", "1", "2", "3"}, {"B", "4", "5", "6"}});
    std::vector<BoundTexts> b = {{"0", ""}, {"", "0"}, {"0,0", "00"}};
    auto r = selectComponents(t, b);
    ASSERT_TRUE(r.ok());
    EXPECT_TRUE(r->noCriteria);
    EXPECT_TRUE(r->rows.empty());
}

TEST(Selection, OneSidedBounds)
{
    // КТ361Б-like: 20 is not "at least 40", 60 is.
    Table t = makeTable(3, {{"A", "20", "1"}, {"B", "60", "1"}, {"C", "40", "1"}});
    struct Case {
        BoundTexts row;
        std::vector<int> rows;
    };
    const Case cases[] = {
        {{"40", ""}, {2, 3}},  {{"40", "0"}, {2, 3}}, {{">40", ""}, {2, 3}}, {{"≥40", "0"}, {2, 3}},
        {{"", "40"}, {1, 3}},  {{"0", "40"}, {1, 3}}, {{"<40", ""}, {1, 3}}, {{"≤40", ""}, {1, 3}},
        {{">30", "<50"}, {3}}, {{"30", "50"}, {3}},   {{"<50", ">30"}, {3}},
    };
    for (const Case& c : cases) {
        std::vector<BoundTexts> b = noBounds(t);
        b[0] = c.row;
        auto r = selectComponents(t, b);
        ASSERT_TRUE(r.ok()) << r.error().message;
        EXPECT_FALSE(r->noCriteria);
        EXPECT_EQ(r->rows, c.rows) << c.row.lower << ".." << c.row.upper;
    }
}

TEST(Selection, BoundsInTheColumnsUnit)
{
    Table t = makeTable(3, {{"A", "500", "1"}, {"B", "1500", "1"}});
    t.setCell(0, 1, utf8ToCp1251("Iк max,|мА"));
    std::vector<BoundTexts> b = noBounds(t);
    b[0] = {"1 А", ""};
    auto r = selectComponents(t, b);
    ASSERT_TRUE(r.ok()) << r.error().message;
    EXPECT_EQ(r->rows, (std::vector<int>{2}));
    b[0] = {"0,2", "0,6 A"};
    r = selectComponents(t, b);
    ASSERT_TRUE(r.ok()) << r.error().message;
    EXPECT_EQ(r->rows, (std::vector<int>{1}));
    // A bare prefix in a column of мА says which units would do.
    b[0] = {"1к", ""};
    r = selectComponents(t, b);
    ASSERT_FALSE(r.ok());
    EXPECT_NE(r.error().message.find("Столбец «Iк max, мА»: граница «1к»"), std::string::npos)
        << r.error().message;
    EXPECT_NE(r.error().message.find("1 А или 1000 мА"), std::string::npos) << r.error().message;
}

TEST(Selection, EveryActiveRowMustPassAndOrderIsKept)
{
    Table t = makeTable(
        4,
        {{"A", "10", "100", "1"}, {"B", "10", "300", "1"}, {"C", "11", "150", "2"}, {"D", "50", "120", "1"}});
    std::vector<BoundTexts> b = {{"9", "12"}, {"100", "200"}, {"0", "0"}};
    auto r = selectComponents(t, b);
    ASSERT_TRUE(r.ok());
    EXPECT_EQ(r->rows, (std::vector<int>{1, 3}));

    // The drawing-number row is compared like any other.
    b[2] = {"1", "1"};
    r = selectComponents(t, b);
    ASSERT_TRUE(r.ok());
    EXPECT_EQ(r->rows, (std::vector<int>{1}));
}

TEST(Selection, RejectedTextsGiveAnErrorAndNoResult)
{
    Table t = makeTable(3, {{"A", "5", "1"}, {"B", "6-", "1"}, {"C", "7", "1"}});
    std::vector<BoundTexts> b = noBounds(t);
    b[0] = {"1", "10"};
    auto r = selectComponents(t, b);
    ASSERT_FALSE(r.ok());
    EXPECT_EQ(r.error().kind, ErrorKind::InvalidNumber);

    // A bound that does not read stops the selection at once, naming the column and the text,
    // even with no component to test; a negative bound compares as its absolute value.
    for (const char* bad : {"5-7", "5 - 7 В", "1,2,3", "40.5.1", "(5)", "<>5"}) {
        b[0] = {"1", bad};
        r = selectComponents(makeTable(3, {}), b);
        ASSERT_FALSE(r.ok()) << bad;
        EXPECT_EQ(r.error().kind, ErrorKind::InvalidNumber);
        EXPECT_EQ(r.error().message.rfind("Столбец «T1»: граница «" + std::string(bad) + "»", 0), 0u)
            << r.error().message;
    }
    b[0] = {"-5", "-6"};
    r = selectComponents(makeTable(3, {{"A", "5", "1"}}), b);
    ASSERT_TRUE(r.ok());
    EXPECT_EQ(r->rows, (std::vector<int>{1}));
}

TEST(Selection, CellsReadOnlyWhereReached)
{
    // Row 1 rejects every component, so the bad cells of row 2 are never read.
    Table t = makeTable(4, {{"A", "5", "1-", "1"}, {"B", "6", "x-", "1"}});
    std::vector<BoundTexts> b = {{"100", "200"}, {"1", "10"}, {"0", "0"}};
    auto r = selectComponents(t, b);
    ASSERT_TRUE(r.ok());
    EXPECT_TRUE(r->rows.empty());
}

TEST(Selection, SameAsLiteralReadingOnRandomBases)
{
    const char* forms[] = {"",
                           "0",
                           "5",
                           "12,5",
                           "-3",
                           "(7)",
                           "<10",
                           ">2,25",
                           "10-20",
                           "-5-10",
                           "1.5",
                           "0,0001",
                           "1E-5",
                           "2,5E3",
                           "3E",
                           "5-",
                           "1,2,3",
                           "--4",
                           ",",
                           "7 мА",
                           "100",
                           "99,999",
                           "0,1",
                           "123456789012345678",
                           "9-9E-1",
                           "1234567890,1234567890",
                           "0000000000000000000012",
                           "4503599627370497",
                           "9007199254740993",
                           "[(<2,5)]",
                           "x-",
                           "-",
                           "8-7-6"};
    const char* boundForms[] = {"",   "0",    "1",   "5",  "10",  "2,5", "100", "0,0001", "1E-5",
                                "12", "9E-6", "<20", "-1", "3-4", "1,1", ">3",  "1к",     "1.5"};
    std::mt19937 rng(20240607);
    auto pick = [&](auto& arr) { return arr[rng() % std::size(arr)]; };
    int errors = 0;
    int selections = 0;
    for (int round = 0; round < 3000; ++round) {
        const int cols = 2 + static_cast<int>(rng() % 5);
        std::vector<std::vector<std::string>> rows(rng() % 8);
        for (auto& row : rows) {
            row.push_back("N");
            for (int c = 1; c < cols; ++c)
                row.push_back(pick(forms));
        }
        Table t = makeTable(cols, rows);
        std::vector<BoundTexts> b(static_cast<std::size_t>(cols - 1) + rng() % 2);
        for (auto& row : b) {
            if (rng() % 3 == 0)
                row = {"0", "0"};
            else
                row = {pick(boundForms), pick(boundForms)};
        }
        auto expected = testsupport::literalSelection(t, b);
        auto actual = selectComponents(t, b);
        ASSERT_EQ(actual.ok(), expected.ok()) << "round " << round;
        if (!expected.ok()) {
            EXPECT_EQ(actual.error().message, expected.error().message) << "round " << round;
            ++errors;
            continue;
        }
        EXPECT_EQ(actual->noCriteria, expected->noCriteria) << "round " << round;
        EXPECT_EQ(actual->rows, expected->rows) << "round " << round;
        selections += !expected->rows.empty();
    }
    // The generator reaches all three outcomes.
    EXPECT_GT(errors, 100);
    EXPECT_GT(selections, 50);
}

TEST(SelectionTable, RowsThroughTheViewMask)
{
    ComponentBase base;
    base.table = makeTable(4, {{"A", "1", "2", "3"}, {"B", "4", "5", "6"}, {"C", "7", "8", "9"}});
    base.viewMask = {};
    base.viewMask[0] = 3;
    base.viewMask[1] = 0;
    base.viewMask[2] = 1;
    Table second(5, 4);
    second.setCell(0, 0, "H0");
    second.setCell(0, 1, "H1");
    second.setCell(2, 2, "stale");

    const std::vector<int> rows = {1, 3};
    fillSelectionTable(base, second, rows);
    ASSERT_EQ(second.rowCount(), 3);
    ASSERT_EQ(second.columnCount(), 4);
    EXPECT_EQ(second.cell(0, 0), "H0");
    EXPECT_EQ(second.cell(0, 1), "H1");
    EXPECT_EQ(second.cell(1, 0), "A");
    EXPECT_EQ(second.cell(1, 1), "3");
    EXPECT_EQ(second.cell(1, 2), "");
    EXPECT_EQ(second.cell(1, 3), "1");
    EXPECT_EQ(second.cell(2, 0), "C");
    EXPECT_EQ(second.cell(2, 1), "9");
    EXPECT_EQ(second.cell(2, 2), "");  // entry 0: empty, whatever stood there

    fillSelectionTable(base, second, {});
    ASSERT_EQ(second.rowCount(), 2);
    for (int c = 0; c < 4; ++c)
        EXPECT_EQ(second.cell(1, c), "");
    EXPECT_EQ(second.cell(0, 0), "H0");
}

TEST(FindComponentRow, ExactFirstMatch)
{
    Table t = makeTable(2, {{"KT315", "1"}, {"KT3102", "2"}, {"KT315", "3"}, {"kt361", "4"}, {"", "5"}});
    EXPECT_EQ(findComponentRow(t, "KT315"), 1);  // duplicates: the upper row
    EXPECT_EQ(findComponentRow(t, "KT3102"), 2);
    EXPECT_EQ(findComponentRow(t, "KT361"), -1);  // case-sensitive
    EXPECT_EQ(findComponentRow(t, "KT31"), -1);
    EXPECT_EQ(findComponentRow(t, ""), 5);
    EXPECT_EQ(findComponentRow(t, "T0"), -1);  // the title row is not a component
}

}  // namespace
