// Parametric selection over a 100,000-record bipolar base with 30 active rows, against the same
// query on the same values in an in-memory sqlite3 table, in the same run.
#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "base/basefile.h"
#include "base/catalogue.h"
#include "base/selection.h"
#include "base/table.h"
#include "base/valuetext.h"

using namespace veltris;

namespace {

constexpr int kRecords = 100000;
constexpr int kCols = 31;       // name, 29 parameters and the range column, drawing number
constexpr int kRangeCol = 14;   // the bipolar range column
constexpr int kDrawingCol = 30;
constexpr double kInFamily = 0.87;  // chance that one value lies near the reference: ~1.5% pass

struct Fixture {
    Table table;
    std::vector<BoundTexts> bounds;
    sqlite3* db = nullptr;
    sqlite3_stmt* query = nullptr;
    std::vector<double> lo;
    std::vector<double> hi;
    std::size_t expected = 0;
};

double round3(double v)
{
    // Three significant digits, as catalogue data is usually given.
    const double scale = std::pow(10.0, 2 - std::floor(std::log10(v)));
    return std::round(v * scale) / scale;
}

void check(int rc, sqlite3* db, const char* what)
{
    if (rc != SQLITE_OK && rc != SQLITE_DONE) {
        std::fprintf(stderr, "sqlite3 %s: %s\n", what, sqlite3_errmsg(db));
        std::exit(1);
    }
}

Fixture& fixture()
{
    static Fixture f = [] {
        Fixture f;
        std::mt19937_64 rng(42);
        std::uniform_real_distribution<double> unit(0.0, 1.0);
        std::uniform_real_distribution<double> decade(-3.0, 4.0);

        // The reference component's values.
        std::vector<double> ref(kCols);
        for (int c = 1; c < kDrawingCol; ++c)
            ref[c] = round3(std::pow(10.0, decade(rng)));
        const double refRangeHigh = round3(ref[kRangeCol] * 2);
        const int refDrawing = 17;

        f.table = Table(kRecords + 1, kCols);
        for (int c = 0; c < kCols; ++c)
            f.table.setCell(0, c, "P" + std::to_string(c));
        // Absolute ends of every cell as the selection reads them, for the sqlite table.
        std::vector<double> values(static_cast<std::size_t>(kRecords) * (kCols + 1));
        for (int r = 1; r <= kRecords; ++r) {
            double* row = &values[static_cast<std::size_t>(r - 1) * (kCols + 1)];
            f.table.setCell(r, 0, "N" + std::to_string(r));
            for (int c = 1; c < kDrawingCol; ++c) {
                const bool near = unit(rng) < kInFamily;
                const double factor = near ? 0.92 + 0.16 * unit(rng)
                                           : (unit(rng) < 0.5 ? 1.2 + 3 * unit(rng)
                                                              : 1 / (1.2 + 3 * unit(rng)));
                const double a = round3(ref[c] * factor);
                const double u = unit(rng);
                const std::uint8_t flags = u < 0.05 ? kFlagLess : u < 0.10 ? kFlagParen : 0;
                std::string cell;
                if (c == kRangeCol) {
                    const double b = round3(refRangeHigh * (near ? 0.92 + 0.16 * unit(rng) : factor));
                    cell = rangeValueText(flags, a, b);
                } else {
                    cell = flaggedValueText(flags, a);
                }
                // Store exactly what the selection reads from the text.
                const Range ends = *parseRange(numericFilter(cell));
                row[c] = std::fabs(ends.a);
                if (c == kRangeCol)
                    row[kCols] = std::fabs(ends.b);
                f.table.setCell(r, c, cell);
            }
            const int drawing = unit(rng) < kInFamily ? refDrawing : 1 + static_cast<int>(rng() % 90);
            f.table.setCell(r, kDrawingCol, std::to_string(drawing));
            row[kDrawingCol] = drawing;
        }

        // Bounds as clicks on every parameter's name with spreads 10 and 10.
        f.bounds.resize(kCols - 1);
        for (int c = 1; c < kCols; ++c) {
            std::string reference = c == kDrawingCol ? std::to_string(refDrawing)
                                    : c == kRangeCol ? rangeValueText(0, ref[c], refRangeHigh)
                                                     : numberText(ref[c]);
            auto b = boundsFromReference(reference, 10, 10, c == kDrawingCol);
            if (!b) {
                std::fprintf(stderr, "reference %s: %s\n", reference.c_str(), b.error().message.c_str());
                std::exit(1);
            }
            f.bounds[static_cast<std::size_t>(c - 1)] = *b;
            f.lo.push_back(*parseNumber("0" + numericFilter(b->lower)));
            f.hi.push_back(*parseNumber("0" + numericFilter(b->upper)));
        }

        // The same values in sqlite3: one REAL column per parameter, the range column as two.
        check(sqlite3_open(":memory:", &f.db), f.db, "open");
        std::string create = "CREATE TABLE t(id INTEGER PRIMARY KEY";
        for (int c = 1; c < kCols; ++c)
            create += ", c" + std::to_string(c) + " REAL";
        create += ", c14b REAL)";
        check(sqlite3_exec(f.db, create.c_str(), nullptr, nullptr, nullptr), f.db, "create");
        check(sqlite3_exec(f.db, "BEGIN", nullptr, nullptr, nullptr), f.db, "begin");
        std::string insert = "INSERT INTO t VALUES(?";
        for (int c = 1; c <= kCols; ++c)
            insert += ",?";
        insert += ")";
        sqlite3_stmt* ins = nullptr;
        check(sqlite3_prepare_v2(f.db, insert.c_str(), -1, &ins, nullptr), f.db, "prepare insert");
        for (int r = 1; r <= kRecords; ++r) {
            const double* row = &values[static_cast<std::size_t>(r - 1) * (kCols + 1)];
            sqlite3_bind_int(ins, 1, r);
            for (int c = 1; c <= kCols; ++c)
                sqlite3_bind_double(ins, c + 1, row[c]);
            check(sqlite3_step(ins), f.db, "insert");
            sqlite3_reset(ins);
        }
        sqlite3_finalize(ins);
        check(sqlite3_exec(f.db, "COMMIT", nullptr, nullptr, nullptr), f.db, "commit");

        // 30 conditions in row order; the range column compares its low end with the lower
        // bound and its high end with the upper bound, as the selection does.
        std::string sql = "SELECT id FROM t WHERE ";
        for (int c = 1; c < kCols; ++c) {
            if (c > 1)
                sql += " AND ";
            const std::string lo = "?" + std::to_string(2 * c - 1);
            const std::string hi = "?" + std::to_string(2 * c);
            if (c == kRangeCol)
                sql += "(c14 >= " + lo + " AND c14b <= " + hi + ")";
            else
                sql += "c" + std::to_string(c) + " BETWEEN " + lo + " AND " + hi;
        }
        check(sqlite3_prepare_v2(f.db, sql.c_str(), -1, &f.query, nullptr), f.db, "prepare query");

        // The selection runs on a loaded base: its cells in their stored form.
        ComponentBase stored;
        stored.table = std::move(f.table);
        f.table = decodeBase(encodeBase(stored).value(), Catalogue{}).value().table;

        auto ours = selectComponents(f.table, f.bounds);
        if (!ours || ours->noCriteria) {
            std::fprintf(stderr, "selection failed\n");
            std::exit(1);
        }
        f.expected = ours->rows.size();
        return f;
    }();
    return f;
}

std::vector<int> runSqlite(Fixture& f)
{
    std::vector<int> ids;
    sqlite3_reset(f.query);
    for (int c = 1; c < kCols; ++c) {
        sqlite3_bind_double(f.query, 2 * c - 1, f.lo[static_cast<std::size_t>(c - 1)]);
        sqlite3_bind_double(f.query, 2 * c, f.hi[static_cast<std::size_t>(c - 1)]);
    }
    int rc;
    while ((rc = sqlite3_step(f.query)) == SQLITE_ROW)
        ids.push_back(sqlite3_column_int(f.query, 0));
    check(rc, f.db, "query");
    return ids;
}

void BM_Selection(benchmark::State& state)
{
    Fixture& f = fixture();
    std::size_t selected = 0;
    for (auto _ : state) {
        auto r = selectComponents(f.table, f.bounds);
        selected = r->rows.size();
        benchmark::DoNotOptimize(selected);
    }
    state.counters["selected"] = static_cast<double>(selected);
}
BENCHMARK(BM_Selection)->Unit(benchmark::kMillisecond);

void BM_Sqlite(benchmark::State& state)
{
    Fixture& f = fixture();
    const std::vector<int> ids = runSqlite(f);
    auto ours = selectComponents(f.table, f.bounds);
    if (ids != ours->rows) {
        state.SkipWithError("sqlite3 and the selection disagree");
        return;
    }
    std::size_t selected = 0;
    for (auto _ : state) {
        selected = runSqlite(f).size();
        benchmark::DoNotOptimize(selected);
    }
    state.counters["selected"] = static_cast<double>(selected);
}
BENCHMARK(BM_Sqlite)->Unit(benchmark::kMillisecond);

// Keeps each benchmark's time per iteration so the ratio can be printed at the end.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        for (const Run& run : runs) {
            if (run.run_type == Run::RT_Iteration && !run.error_occurred)
                m_times[run.benchmark_name()] = {run.GetAdjustedRealTime(), run.GetAdjustedCPUTime()};
        }
        ConsoleReporter::ReportRuns(runs);
    }
    struct Times {
        double real = 0;
        double cpu = 0;
    };
    std::map<std::string, Times> m_times;
};

}  // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    const auto ours = reporter.m_times.find("BM_Selection");
    const auto theirs = reporter.m_times.find("BM_Sqlite");
    if (ours != reporter.m_times.end() && theirs != reporter.m_times.end() &&
        theirs->second.real > 0 && theirs->second.cpu > 0) {
        // CPU time is the steadier figure on a busy machine.
        std::printf("selection / sqlite3: %.2fx real time, %.2fx CPU time (goal <= 0.5x); "
                    "%zu of %d records selected\n",
                    ours->second.real / theirs->second.real, ours->second.cpu / theirs->second.cpu,
                    fixture().expected, kRecords);
    }
    benchmark::Shutdown();
    return 0;
}
