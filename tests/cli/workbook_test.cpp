// Workbooks both ways: what qdb writes opens in another reader (openpyxl) with the cells of the
// CSV export, numbers as numbers; a workbook another program made is imported through the
// CSV import's checks, a bad cell named by its row and its column's title.
#include <cstdlib>
#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "qdbrun.h"
#include "scratchdir.h"

namespace fs = std::filesystem;
using namespace qdbtest;

namespace {

const fs::path kSamples = fs::path(VELTRIS_BIN_DIR) / "samples";
const fs::path kWorkbooks = fs::path(VELTRIS_SOURCE_DIR) / "tests/fixtures/workbooks";

// Runs a Python script with the system's Python; its exit code, its output in `out`.
int runPython(const std::string& script, const std::vector<std::string>& args, const fs::path& scratch,
              std::string& out)
{
    const fs::path file = scratch / "check.py";
    const fs::path log = scratch / "python.txt";
    std::ofstream(file) << script;
    std::string cmd = shellQuote(VELTRIS_PYTHON) + " " + shellQuote(file.string());
    for (const std::string& a : args)
        cmd += " " + shellQuote(a);
    cmd += " >" + shellQuote(log.string()) + " 2>&1";
    const int status = std::system(cmd.c_str());
    out = readAll(log);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Compares the workbook with the CSV export cell by cell: an empty cell is empty, a number is
// stored as a number equal to the CSV's text, any other text is the same text; the titles
// with their '|' breaks as line breaks. Prints the number of numeric cells.
const char* kCompare = R"(
import csv, sys, openpyxl
book = openpyxl.load_workbook(sys.argv[1])
sheet = book.worksheets[0]
rows = list(csv.reader(open(sys.argv[2], encoding=sys.argv[3], newline=''), delimiter=sys.argv[4]))
numbers = 0
if sheet.freeze_panes != sys.argv[5]:
    sys.exit('frozen at %s' % sheet.freeze_panes)
got = list(sheet.iter_rows(values_only=True))
if len(got) != len(rows):
    sys.exit('rows: %d in the workbook, %d in the CSV' % (len(got), len(rows)))
for r, (want, have) in enumerate(zip(rows, got), 1):
    if want and want[-1] == '' and len(want) == len(have) + 1:
        want = want[:-1]  # the export ends every line with ';'
    have = list(have) + [None] * (len(want) - len(have))
    for c, (w, h) in enumerate(zip(want, have), 1):
        if r == 1 and sys.argv[6] == 'titles':
            w = w.replace('-|', '').replace('|', '\n')
        if h is None:
            ok = w == ''
        elif isinstance(h, (int, float)) and not isinstance(h, bool):
            numbers += 1
            ok = float(w.replace(',', '.')) == h
        else:
            ok = w == h
        if not ok:
            sys.exit('row %d, column %d: CSV %r, workbook %r' % (r, c, w, h))
print(numbers)
)";

TEST(Workbook, ExportOpensInAnotherReaderWithTheCsvCells)
{
    ScratchDir scratch;
    for (const char* name : {"bipolar.QDB", "diodes.QDB", "leds.QDB"}) {
        const fs::path base = kSamples / name;
        const fs::path csv = scratch.path() / "out.csv";
        const fs::path xlsx = scratch.path() / "out.xlsx";
        ASSERT_EQ(runQdb({"export", base.string(), csv.string()}, scratch.path()).exitCode, 0);
        const QdbRun run = runQdb({"export", base.string(), xlsx.string()}, scratch.path());
        ASSERT_EQ(run.exitCode, 0) << run.err;
        std::string out;
        ASSERT_EQ(runPython(kCompare, {xlsx.string(), csv.string(), "cp1251", ";", "B2", "titles"},
                            scratch.path(), out),
                  0)
            << name << ": " << out;
        EXPECT_GT(std::stoi(out), 0) << name << ": plain values stored as numbers";

        // And back: the workbook imported gives the same CSV again.
        const fs::path again = scratch.path() / "again.QDB";
        const fs::path againCsv = scratch.path() / "again.csv";
        const QdbRun imported = runQdb({"import", xlsx.string(), again.string()}, scratch.path());
        ASSERT_EQ(imported.exitCode, 0) << imported.err;
        ASSERT_EQ(runQdb({"export", again.string(), againCsv.string()}, scratch.path()).exitCode, 0);
        EXPECT_EQ(readAll(againCsv), readAll(csv)) << name;
    }
}

TEST(Workbook, ListResultOpensInAnotherReaderWithTheCsvCells)
{
    ScratchDir scratch;
    const fs::path list = fs::path(VELTRIS_SOURCE_DIR) / "tests/fixtures/partslists/eskd.csv";
    const fs::path csv = scratch.path() / "result.csv";
    const fs::path xlsx = scratch.path() / "result.xlsx";
    for (const auto& [format, file] : {std::pair{"csv", csv}, std::pair{"xlsx", xlsx}}) {
        const QdbRun run = runQdb({"similar", "--list", list.string(), "--library", VELTRIS_REALPARTS_DIR,
                                   "--format", format, "-o", file.string()},
                                  scratch.path());
        ASSERT_EQ(run.exitCode, 0) << run.err;
    }
    std::string out;
    ASSERT_EQ(runPython(kCompare, {xlsx.string(), csv.string(), "utf-8-sig", ";", "E2", "plain"},
                        scratch.path(), out),
              0)
        << out;
}

TEST(Workbook, ImportReadsAWorkbookOfAnotherProgramThroughTheSameChecks)
{
    ScratchDir scratch;
    const fs::path made = kWorkbooks / "diodes-openpyxl.xlsx";
    const fs::path base = scratch.path() / "d.QDB";
    const fs::path csv = scratch.path() / "d.csv";
    const QdbRun run = runQdb({"import", made.string(), base.string()}, scratch.path());
    ASSERT_EQ(run.exitCode, 0) << run.err;
    ASSERT_EQ(runQdb({"export", base.string(), csv.string()}, scratch.path()).exitCode, 0);
    const std::string text = readAll(csv);
    // Numbers stored as numbers come in with the decimal comma; texts as they are.
    EXPECT_NE(text.find("\xCA\xC4"
                        "522\xC1;50;75;100;1,5;<1,1;<2;<4;<4;;125;;1;"),
              std::string::npos)
        << text;

    // A bad cell of a workbook is named by its row in the sheet and its column's title.
    const char* spoil = R"(
import sys, openpyxl
book = openpyxl.load_workbook(sys.argv[1])
book.worksheets[0]['C4'] = '75 вольт'
book.save(sys.argv[2])
)";
    const fs::path bad = scratch.path() / "bad.xlsx";
    std::string out;
    ASSERT_EQ(runPython(spoil, {made.string(), bad.string()}, scratch.path(), out), 0) << out;
    const QdbRun refused =
        runQdb({"import", bad.string(), (scratch.path() / "bad.QDB").string()}, scratch.path());
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_NE(refused.err.find("строка 4, «Uобр имп max, В»: «75 вольт»"), std::string::npos) << refused.err;
    EXPECT_FALSE(fs::exists(scratch.path() / "bad.QDB"));
}

}  // namespace
