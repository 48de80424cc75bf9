#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <unistd.h>

#include "base/basefile.h"
#include "base/cp1251.h"
#include "qdbrun.h"
#include "scratchdir.h"

namespace fs = std::filesystem;
using namespace veltris;
using namespace qdbtest;

namespace {

class SelectCli : public ::testing::Test {
protected:
    void SetUp() override
    {
        fs::create_directories(m_dir / "nocatalogue");

        // A bipolar base: column 1 a plain value, column 14 the range column, column 30 the
        // drawing number.
        ComponentBase base;
        base.deviceType = 1;
        base.columnMap.fill(1);
        base.table = Table(1, 31);
        auto add = [&](const char* nameUtf8, const char* c1, const char* c2, const char* c14,
                       const char* drawing) {
            base.table.appendRow();
            const int r = base.table.rowCount() - 1;
            for (int c = 1; c < 31; ++c)
                base.table.setCell(r, c, "0");
            base.table.setCell(r, 0, utf8ToCp1251(nameUtf8));
            base.table.setCell(r, 1, c1);
            base.table.setCell(r, 2, c2);
            base.table.setCell(r, 14, c14);
            base.table.setCell(r, 30, drawing);
        };
        add("КТ315А", "100", "<50", "10-20", "12");
        add("KT3102", "95", "45", "12-25", "12");
        add("BC547", "111", "55", "10-20", "7");
        add("2N3904", "90", "(60)", "15", "12");
        add("КТ315А", "300", "5", "1", "1");  // a later duplicate name
        m_base = m_dir / "test.QDB";
        const Status written = writeBase(base, m_base);
        ASSERT_TRUE(written.ok()) << written.error().message;
    }

    QdbRun qdb(const std::vector<std::string>& args, bool withCatalogueOption = true) const
    {
        std::vector<std::string> all{"select"};
        if (withCatalogueOption)
            all.insert(all.end(), {"--catalogue", (m_dir / "nocatalogue").string()});
        all.push_back(m_base.string());
        all.insert(all.end(), args.begin(), args.end());
        return runQdb(all, m_dir);
    }

    ScratchDir m_scratch;
    const fs::path m_dir = m_scratch.path();
    fs::path m_base;
};

TEST_F(SelectCli, TypedBounds)
{
    struct Case {
        std::vector<std::string> args;
        const char* expected;
    };
    const Case cases[] = {
        {{"--bound", "1=90:110"}, "КТ315А\nKT3102\n2N3904\n"},
        {{"--bound", "1=90:110", "--bound", "2=46:60"}, "КТ315А\n2N3904\n"},
        {{"--bound", "14=5:25"}, "КТ315А\nKT3102\nBC547\n2N3904\n"},
        {{"--bound", "14=12:25"}, "KT3102\n2N3904\n"},
        {{"--bound", "30=12:12"}, "КТ315А\nKT3102\n2N3904\n"},
        {{"--bound", "1=110:90"}, ""},  // lower above upper: nothing, still exit 0
        {{"--bound", "1=5:0"}, "КТ315А\nKT3102\nBC547\n2N3904\nКТ315А\n"},  // at least 5
        {{"--bound", "1=0:0"}, "КТ315А\nKT3102\nBC547\n2N3904\nКТ315А\n"},  // no criteria
        {{"--bound", "1=0:"}, "КТ315А\nKT3102\nBC547\n2N3904\nКТ315А\n"},
        {{}, "КТ315А\nKT3102\nBC547\n2N3904\nКТ315А\n"},
        {{"--bound", "14=11.5:25"}, "KT3102\n2N3904\n"},  // a point is a decimal mark too
        // One-sided bounds: only «От», «>» or «≥» is at least; only «До», «<» or «≤» at most.
        {{"--bound", "1=96:"}, "КТ315А\nBC547\nКТ315А\n"},
        {{"--bound", "1=>96"}, "КТ315А\nBC547\nКТ315А\n"},
        {{"--bound", "1=≥96"}, "КТ315А\nBC547\nКТ315А\n"},
        {{"--bound", "1=:100"}, "КТ315А\nKT3102\n2N3904\n"},
        {{"--bound", "1=<100"}, "КТ315А\nKT3102\n2N3904\n"},
        {{"--bound", "1=≤100"}, "КТ315А\nKT3102\n2N3904\n"},
        // Prefixes in a column without a unit multiply.
        {{"--bound", "1=0,09к:0.11k"}, "КТ315А\nKT3102\n2N3904\n"},
    };
    for (const auto& c : cases) {
        const QdbRun run = qdb(c.args);
        EXPECT_EQ(run.exitCode, 0) << c.args.size() << " " << run.err;
        EXPECT_EQ(run.out, c.expected) << (c.args.empty() ? "" : c.args.back());
    }
}

TEST_F(SelectCli, BoundsInTheColumnsUnit)
{
    // The shipped catalogue: column 2 is «Uкэ max, В», column 5 «Iк max, мА».
    QdbRun run = qdb({"--bound", "2=0,046к:"}, false);
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, "КТ315А\nBC547\n2N3904\n");
    run = qdb({"--bound", "2=46000 мВ:0.056 kV"}, false);
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, "КТ315А\nBC547\n");
}

TEST_F(SelectCli, BoundsLikeAComponent)
{
    // Every parameter column from the upper "КТ315А", spreads 10:10: the "0" columns give no
    // bound, column 14 (10-20) gives 9..22, the drawing number 12 is copied.
    QdbRun run = qdb({"--like", "КТ315А"});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, "КТ315А\n");

    run = qdb({"--like", "КТ315А", "--columns", "1,30"});
    EXPECT_EQ(run.out, "КТ315А\nKT3102\n2N3904\n");
    run = qdb({"--like", "КТ315А", "--columns", "1", "--spread", "0:11"});
    EXPECT_EQ(run.out, "КТ315А\nBC547\n");
    run = qdb({"--like", "КТ315А", "--columns", "1", "--spread", "100:100"});
    EXPECT_EQ(run.out, "КТ315А\nKT3102\nBC547\n2N3904\n");  // the lower bound is 0: at most 200
    // A typed bound after the taken ones replaces them for its column.
    run = qdb({"--like", "КТ315А", "--columns", "1", "--bound", "1=280:300"});
    EXPECT_EQ(run.out, "КТ315А\n");
    // No catalogue anywhere: the default folder is used only if it holds one.
    run = qdb({"--like", "KT3102", "--columns", "2", "--spread", "20:20"}, false);
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, "КТ315А\nKT3102\n");  // 45 gives 36..54
}

TEST_F(SelectCli, Failures)
{
    struct Case {
        std::vector<std::string> args;
        const char* errPart;
    };
    const Case cases[] = {
        {{"--like", "KT999"}, "не найден"},
        {{"--like", "кт315а"}, "не найден"},  // exact, case-sensitive
        // A bound that does not read names the option, the column and the text.
        {{"--bound", "1=5:7-9"}, "--bound «1=5:7-9»: Столбец 1: граница «7-9»: диапазон"},
        {{"--bound", "1=1/2:"}, "граница «1/2»: не понято «/2»"},
        {{"--bound", "1=5"}, "одна граница пишется со знаком"},
        {{"--bound", "31=1:2"}, "от 1 до 30"},
        {{"--bound", "0=1:2"}, "от 1 до 30"},
        {{"--bound", "1=5:6:7"}, "СТОЛБЕЦ=ОТ:ДО"},
        {{"--like", "BC547", "--spread", "10:101"}, "от 0 до 100"},
        {{"--like", "BC547", "--columns", "1,x"}, "«x»"},
        {{"--spread", "5:5"}, "--like"},
    };
    for (const auto& c : cases) {
        const QdbRun run = qdb(c.args);
        EXPECT_EQ(run.exitCode, 1) << c.errPart;
        EXPECT_NE(run.err.find(c.errPart), std::string::npos) << run.err;
        EXPECT_EQ(run.out, "");
    }

    // With the catalogue the columns have units: a bare prefix in a column of мА is ambiguous, a
    // unit of another quantity is refused.
    QdbRun run = qdb({"--bound", "5=1к:2к"}, false);
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("--bound «5=1к:2к»: Столбец «Iк max, мА»: граница «1к»"), std::string::npos)
        << run.err;
    EXPECT_NE(run.err.find("укажите единицу: 1 А или 1000 мА"), std::string::npos) << run.err;
    run = qdb({"--bound", "2=40 мА:"}, false);
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("единица тока"), std::string::npos) << run.err;

    const fs::path missing = m_dir / "missing.QDB";
    EXPECT_EQ(runQdb({"select", missing.string()}, m_dir).exitCode, 1);
}

}  // namespace
