// The core on one generated bipolar base, every operation beside its baseline in the same
// process, interleaved at random (5 repetitions; median, min and max of CPU time):
//   load     vs read + names to UTF-8 + shortest to_chars of every stored double and drawing
//   save     vs the same bytes written to a temporary file, fdatasync, rename
//   convert  vs baseline load + baseline save
//   recovery vs save (the window's recovery file of the base vs a Save of it)
//   sort     vs std::sort of the column's doubles
//   select   vs the same 30-bound query in sqlite3 (in-process, prepared), same rows
// and the resident memory a loaded base takes beside (file size + total text bytes).
//
//   core_bench [--data=datasheet|random] [--records=N] [benchmark flags]
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include "base/valuetext.h"
#include "bench_data.h"
#include "core_ops.h"

namespace {

using namespace bench;

// Two numeric columns sorted by turns, so no sort meets rows already in its order.
constexpr int kSortColumns[] = {3, 7};

struct Fixture {
    DataChoice data;
    TempDir dir;
    fs::path file;
    std::string fileBytes;
    std::string savedBytes;  // what a save of the loaded base writes
    Base base;               // loaded once; sorted by turns
    Base unsorted;           // the file's order, for the selection and the save as loaded
    Base edited;             // 1 % of the records with a cell edited, then sorted once
    std::vector<double> columns[2];
    Bounds bounds;
    std::vector<int> selected;
    sqlite3* db = nullptr;
    sqlite3_stmt* query = nullptr;
    std::vector<double> queryValues;

    ~Fixture()
    {
        sqlite3_finalize(query);
        sqlite3_close(db);
    }

    void build()
    {
        fileBytes = makeBaseBytes(data.kind, data.records);
        file = dir.path() / "base.QDB";
        writeFile(file, fileBytes);
        base = loadBaseFile(file);
        savedBytes = saveBytes(base);
        // Sorted from the start, so that every save of it moves every record, whichever
        // benchmarks run.
        sortByColumn(base, kSortColumns[1]);
        for (int i = 0; i < 2; ++i)
            columns[i] = storedColumn(fileBytes, kSortColumns[i]);
        unsorted = loadBaseFile(file);
        edited = loadBaseFile(file);
        for (int row = 1; row <= recordCount(edited); row += 100)
            editCell(edited, row, 5, "(12)");
        sortByColumn(edited, 3);
        // The reference: the first record that finds more of its series than itself (a variant
        // with a value of its own may find nothing else), as a user looks for substitutes.
        for (int reference = 1; reference <= std::min(recordCount(unsorted), 200); ++reference) {
            bounds = boundsFromRecord(unsorted, reference, 50, 100);
            selected = selectRows(unsorted, bounds);
            if (selected.size() > 1)
                break;
        }
        buildSqlite();
    }

    // The absolute ends of every cell as the selection reads them, one REAL column each, and
    // the query of the bounds that count.
    void buildSqlite()
    {
        const int last = columnCount(unsorted) - 1;
        check(sqlite3_open(":memory:", &db), "open");
        std::string create = "CREATE TABLE t(id INTEGER PRIMARY KEY";
        for (int c = 1; c <= last; ++c)
            create += ", a" + std::to_string(c) + " REAL, b" + std::to_string(c) + " REAL";
        check(sqlite3_exec(db, (create + ")").c_str(), nullptr, nullptr, nullptr), "create");
        check(sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr), "begin");
        std::string insert = "INSERT INTO t VALUES(?";
        for (int c = 1; c <= last; ++c)
            insert += ",?,?";
        sqlite3_stmt* ins = nullptr;
        check(sqlite3_prepare_v2(db, (insert + ")").c_str(), -1, &ins, nullptr), "prepare insert");
        for (int r = 1; r <= recordCount(unsorted); ++r) {
            sqlite3_bind_int(ins, 1, r);
            for (int c = 1; c <= last; ++c) {
                const auto ends = veltris::parseRange(veltris::numericFilter(textOf(unsorted, r, c)));
                sqlite3_bind_double(ins, 2 * c, ends ? std::fabs(ends->a) : 0.0);
                sqlite3_bind_double(ins, 2 * c + 1, ends ? std::fabs(ends->b) : 0.0);
            }
            check(sqlite3_step(ins), "insert");
            sqlite3_reset(ins);
        }
        sqlite3_finalize(ins);
        check(sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr), "commit");

        std::string sql = "SELECT id FROM t WHERE 1";
        for (int c = 1; c <= last; ++c) {
            const veltris::BoundTexts& b = bounds[static_cast<std::size_t>(c - 1)];
            if (b.lower.empty() || b.upper.empty())
                continue;
            const auto lo = veltris::parseNumber("0" + veltris::numericFilter(b.lower));
            const auto hi = veltris::parseNumber("0" + veltris::numericFilter(b.upper));
            if (!lo || !hi || *lo == 0 || *hi == 0)
                continue;  // a row that does not count
            sql += " AND a" + std::to_string(c) + " >= ? AND b" + std::to_string(c) + " <= ?";
            queryValues.push_back(*lo);
            queryValues.push_back(*hi);
        }
        check(sqlite3_prepare_v2(db, sql.c_str(), -1, &query, nullptr), "prepare query");
        if (runSqlite() != selected) {
            std::fprintf(stderr, "bench: sqlite3 and the selection disagree\n");
            std::exit(2);
        }
    }

    std::vector<int> runSqlite()
    {
        std::vector<int> ids;
        sqlite3_reset(query);
        for (std::size_t i = 0; i < queryValues.size(); ++i)
            sqlite3_bind_double(query, static_cast<int>(i + 1), queryValues[i]);
        int rc;
        while ((rc = sqlite3_step(query)) == SQLITE_ROW)
            ids.push_back(sqlite3_column_int(query, 0));
        check(rc, "query");
        return ids;
    }

    void check(int rc, const char* what)
    {
        if (rc != SQLITE_OK && rc != SQLITE_DONE) {
            std::fprintf(stderr, "bench: sqlite3 %s: %s\n", what, sqlite3_errmsg(db));
            std::exit(2);
        }
    }
};

Fixture g_fixture;

void load(benchmark::State& state)
{
    for (auto _ : state) {
        Base base = loadBaseFile(g_fixture.file);
        benchmark::DoNotOptimize(&base);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * g_fixture.fileBytes.size()));
}

void loadBaseline(benchmark::State& state)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(baselineLoad(g_fixture.file));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * g_fixture.fileBytes.size()));
}

void save(benchmark::State& state)
{
    const fs::path out = g_fixture.dir.path() / "saved.QDB";
    for (auto _ : state)
        saveBase(g_fixture.base, out);
}

// The base as it was read (no record moved or changed).
void saveAsLoaded(benchmark::State& state)
{
    const fs::path out = g_fixture.dir.path() / "saved-as-loaded.QDB";
    for (auto _ : state)
        saveBase(g_fixture.unsorted, out);
}

// Every record moved by a sort, 1 % of them with an edited cell.
void saveEdited(benchmark::State& state)
{
    const fs::path out = g_fixture.dir.path() / "saved-edited.QDB";
    for (auto _ : state)
        saveBase(g_fixture.edited, out);
}

void saveBaseline(benchmark::State& state)
{
    const fs::path out = g_fixture.dir.path() / "baseline.QDB";
    for (auto _ : state)
        bench::baselineSave(g_fixture.savedBytes, out);
}

void recovery(benchmark::State& state)
{
    const fs::path out = g_fixture.dir.path() / "base.recovery";
    for (auto _ : state)
        writeRecoveryFile(g_fixture.base, out);
}

void recoveryBaseline(benchmark::State& state)
{
    const fs::path out = g_fixture.dir.path() / "recovery-baseline.QDB";
    for (auto _ : state)
        saveBase(g_fixture.base, out);
}

void convert(benchmark::State& state)
{
    const fs::path out = g_fixture.dir.path() / "converted.QDB";
    for (auto _ : state)
        saveBase(loadBaseFile(g_fixture.file), out);
}

void convertBaseline(benchmark::State& state)
{
    const fs::path out = g_fixture.dir.path() / "converted-baseline.QDB";
    for (auto _ : state) {
        benchmark::DoNotOptimize(baselineLoad(g_fixture.file));
        bench::baselineSave(g_fixture.savedBytes, out);
    }
}

void sortColumn(benchmark::State& state)
{
    std::size_t turn = 0;
    for (auto _ : state)
        sortByColumn(g_fixture.base, kSortColumns[turn++ % 2]);
}

void sortBaseline(benchmark::State& state)
{
    sortDoublesBaseline(state, g_fixture.columns);
}

void select(benchmark::State& state)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(selectRows(g_fixture.unsorted, g_fixture.bounds).size());
    state.counters["rows"] = static_cast<double>(g_fixture.selected.size());
}

void selectBaseline(benchmark::State& state)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(g_fixture.runSqlite().size());
    state.counters["rows"] = static_cast<double>(g_fixture.selected.size());
}

// Resident memory one more loaded copy of the base adds, beside file size + total text bytes,
// and the peak on the way there.
void memory(benchmark::State& state)
{
    double added = 0;
    double peak = 0;
    for (auto _ : state) {
        const std::size_t before = residentBytes();
        resetPeakResident();
        Base copy = loadBaseFile(g_fixture.file);
        peak = static_cast<double>(peakResidentBytes() - before);
        added = static_cast<double>(residentBytes() - before);
        benchmark::DoNotOptimize(&copy);
    }
    // The highest the load took the process above where it started, against what stays.
    state.counters["peak_MB"] = peak / 1e6;
    state.counters["peak_ratio"] = peak / added;
    const double reference = static_cast<double>(g_fixture.fileBytes.size() + totalTextBytes(g_fixture.base));
    state.counters["rss_MB"] = added / 1e6;
    state.counters["reference_MB"] = reference / 1e6;
    state.counters["ratio"] = added / reference;
}

}  // namespace

int main(int argc, char** argv)
{
    if (!takeDataChoice(argc, argv, "core_bench", g_fixture.data))
        return 2;
    std::vector<char*> args = withBenchDefaults(argc, argv);
    int count = static_cast<int>(args.size()) - 1;
    benchmark::Initialize(&count, args.data());
    if (benchmark::ReportUnrecognizedArguments(count, args.data()))
        return 1;
    g_fixture.build();

    const std::string& suffix = g_fixture.data.suffix;
    const auto add = [&suffix](const char* name, void (*fn)(benchmark::State&)) {
        return withMinMax(
            benchmark::RegisterBenchmark((name + suffix).c_str(), fn)->Unit(benchmark::kMillisecond));
    };
    add("load", load);
    add("load_baseline", loadBaseline);
    add("save", save);
    add("save_as_loaded", saveAsLoaded);
    add("save_edited", saveEdited);
    add("save_baseline", saveBaseline);
    add("recovery", recovery);
    add("recovery_baseline", recoveryBaseline);
    add("convert", convert);
    add("convert_baseline", convertBaseline);
    add("sort", sortColumn);
    add("sort_baseline", sortBaseline);
    add("select", select);
    add("select_baseline", selectBaseline);
    add("memory", memory)->Iterations(1)->Repetitions(1);
    return runBenchmarks();
}
