// The substitute finder against the least work the same jobs need, in the same run, interleaved:
//  - open base, 100,000 bipolar records read from their file (cells in their stored form, as
//    the window holds them), 15 active rules, ranking included, against the
//    parametric selection with 30 bounds (the reference's values ± 10 %) on the same base;
//  - library scope, 200 bases × 500 records on disk (warm cache), against reading those files
//    whole (cat) plus the open-base finder over the same 100,000 records.
// The verdicts use the median CPU time of the repetitions; min..max are printed beside it.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <random>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include "base/basefile.h"
#include "base/catalogue.h"
#include "base/componentbase.h"
#include "base/finder.h"
#include "base/navigatorcatalogue.h"
#include "base/selection.h"
#include "base/valuetext.h"
#include "bench_data.h"

namespace fs = std::filesystem;
using namespace veltris;

namespace {

constexpr int kBases = 200;
constexpr int kPerBase = 500;
constexpr int kColumns = 30;
constexpr int kRangeColumn = 14;
constexpr int kDrawingColumn = 30;
constexpr int kRepetitions = 7;

struct Fixture {
    fs::path dir;
    std::vector<std::string> files;
    Catalogue catalogue;
    NavigatorCatalogue navigator;
    ComponentBase merged;  // the same 100,000 records in one base
    ComponentBase first;   // the library's first base, open in the window
    RuleSet rules;
    FinderQuery query;         // on the merged base, reference row 0
    FinderQuery libraryQuery;  // on the first base, reference row 0 (the same record)
    FinderSource source{1, 0};
    std::vector<BoundTexts> bounds;
};

double round3(double v)
{
    const double scale = std::pow(10.0, 2 - std::floor(std::log10(v)));
    return std::round(v * scale) / scale;
}

// A catalogue-like record near the reference: most values within a few percent, some far off,
// some missing, some given as "<x", ">x" or "(x)".
std::string cellText(std::mt19937_64& rng, int column, double reference)
{
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    if (column == 1)
        return unit(rng) < 0.8 ? "1" : "2";
    if (column == kDrawingColumn)
        return unit(rng) < 0.85 ? "7" : std::to_string(1 + static_cast<int>(rng() % 60));
    if (unit(rng) < 0.1)
        return "0";  // no data
    const bool near = unit(rng) < 0.88;
    const double factor =
        near ? 0.9 + 0.25 * unit(rng) : (unit(rng) < 0.5 ? 1.5 + 3 * unit(rng) : 1 / (1.5 + 3 * unit(rng)));
    const double a = round3(reference * factor);
    if (column == kRangeColumn)
        return rangeValueText(0, a, round3(a * (2 + 3 * unit(rng))));
    const double u = unit(rng);
    const std::uint8_t flags = u < 0.06 ? kFlagLess : u < 0.1 ? kFlagGreater : u < 0.14 ? kFlagParen : 0;
    return flaggedValueText(flags, a);
}

void die(const std::string& what)
{
    std::fprintf(stderr, "finder_bench: %s\n", what.c_str());
    std::exit(1);
}

Fixture& fixture()
{
    static Fixture f = [] {
        Fixture f;
        const auto loaded = loadCatalogues(VELTRIS_BIN_DIR);
        f.catalogue = loaded.catalogue;
        f.dir = fs::temp_directory_path() / ("finder_bench_" + std::to_string(::getpid()));
        fs::create_directories(f.dir);

        std::mt19937_64 rng(7);
        std::uniform_real_distribution<double> decade(-2.0, 3.0);
        std::vector<double> reference(kColumns + 1);
        for (int c = 1; c <= kColumns; ++c)
            reference[static_cast<std::size_t>(c)] = round3(std::pow(10.0, decade(rng)));

        for (int b = 0; b < kBases; ++b) {
            ComponentBase base;
            base.deviceType = 1;
            base.columnMap.fill(1);
            base.table = Table(kPerBase + 1, kColumns + 1);
            for (int r = 1; r <= kPerBase; ++r) {
                base.table.setCell(r, 0, "N" + std::to_string(b) + "_" + std::to_string(r));
                for (int c = 1; c <= kColumns; ++c)
                    base.table.setCell(r, c, cellText(rng, c, reference[static_cast<std::size_t>(c)]));
            }
            char name[32];
            std::snprintf(name, sizeof name, "b%03d.QDB", b);
            const fs::path file = f.dir / name;
            if (!writeBase(base, file))
                die("cannot write " + file.string());
            f.files.push_back(file.string());
        }
        if (!f.navigator.addFolder(f.dir).empty())
            die("scan failed");

        // The records exactly as the reader gives them, in one base.
        for (std::size_t b = 0; b < f.files.size(); ++b) {
            auto base = readBase(f.files[b], f.catalogue);
            if (!base)
                die(base.error().message);
            if (b == 0) {
                f.first = *base;
                f.merged = *base;
                continue;
            }
            for (int r = 1; r < base->table.rowCount(); ++r) {
                f.merged.table.appendRow();
                const int to = f.merged.table.rowCount() - 1;
                for (int c = 0; c <= kColumns; ++c)
                    f.merged.table.setCell(to, c, base->table.cell(r, c));
            }
        }

        // 15 active rules of the kinds an engineer would set, without tolerances: on this data,
        // whose values lie mostly within −10..+15 % of the reference, the shipped tolerances
        // would pass nearly every record (see the notes).
        const std::map<int, const char*> rules = {{1, "eq"},  {2, "ge"},           {3, "ge"},  {4, "ge"},
                                                  {5, "ge"},  {7, "ge"},           {9, "ge"},  {10, "le"},
                                                  {12, "le"}, {14, "band:30:200"}, {15, "ge"}, {16, "le"},
                                                  {19, "le"}, {20, "le"},          {30, "eq"}};
        f.rules.resize(kColumns);
        for (const auto& [c, text] : rules)
            f.rules[static_cast<std::size_t>(c - 1)] = *parseRuleText(text);
        // The reference needs values in every ruled column, and its package.
        std::vector<int> valued = {kDrawingColumn};
        for (const auto& [c, text] : rules)
            valued.push_back(c);
        for (const int c : valued) {
            if (cellMeaning(f.merged.table.cell(1, c)).known != (kKnownLow | kKnownHigh)) {
                const std::string value =
                    c == kRangeColumn
                        ? rangeValueText(0, reference[static_cast<std::size_t>(c)],
                                         reference[static_cast<std::size_t>(c)] * 3)
                        : numberText(c == 1                ? 1
                                     : c == kDrawingColumn ? 7
                                                           : reference[static_cast<std::size_t>(c)]);
                f.merged.table.setCell(1, c, value);
                f.first.table.setCell(1, c, value);
            }
        }
        if (!writeBase(f.first, f.files[0]))
            die("cannot rewrite the first base");
        // The open base as the window holds it: read from its file, cells in their stored form.
        const fs::path mergedFile = f.dir / "merged.QDB";
        if (!writeBase(f.merged, mergedFile))
            die("cannot write the merged base");
        auto reread = readBase(mergedFile, f.catalogue);
        if (!reread)
            die(reread.error().message);
        f.merged = std::move(*reread);
        fs::remove(mergedFile);
        auto firstRead = readBase(f.files[0], f.catalogue);
        if (!firstRead)
            die(firstRead.error().message);
        f.first = std::move(*firstRead);

        f.source = finderSourceFromBase(f.merged);
        auto q = makeQuery(f.source, 0, f.rules, 2, 0);
        if (!q || q->rules.size() != rules.size())
            die("query");
        f.query = *q;
        auto lq = makeQuery(finderSourceFromBase(f.first), 0, f.rules, 2, 0);
        if (!lq)
            die("library query");
        f.libraryQuery = *lq;

        // The selection: every parameter's bounds from the reference with spreads 10 and 10.
        for (int c = 1; c <= kColumns; ++c) {
            auto b =
                boundsFromReference(referenceText(f.merged.table.cell(1, c)), 10, 10, c == kDrawingColumn);
            if (!b)
                die(b.error().message);
            f.bounds.push_back(*b);
        }
        return f;
    }();
    return f;
}

// Runs `job` (which returns how many results it produced) as the timed loop and reports that
// count beside the time.
template <class Job>
void timeJob(benchmark::State& state, const char* counter, Job job)
{
    std::size_t count = 0;
    for (auto _ : state) {
        count = job();
        benchmark::DoNotOptimize(count);
    }
    state.counters[counter] = static_cast<double>(count);
}

// The rows the window shows at most by default (its «top» box).
constexpr std::size_t kWindowTop = 200;

// Judges, ranks and gives texts to `query`'s result, as a caller that shows all of it does.
std::size_t findWithTexts(const FinderQuery& query, const ComponentBase& base)
{
    return findInBase(query, base, "merged.QDB", {}, true).matches.size();
}

// The same with the texts asked for afterwards, for the first `shown` rows of the ranking (a
// view that makes texts only for the rows it paints).
std::size_t findThenTexts(const FinderQuery& query, const ComponentBase& base, std::size_t shown)
{
    FinderReport r = findInBase(query, base, "merged.QDB");
    attachMatchTexts(query, base, 0, std::span(r.matches).first(std::min(shown, r.matches.size())));
    return r.matches.size();
}

// The window's job: every record judged, every candidate ranked, the best 200 kept with their
// texts.
void BM_FinderOpenBase(benchmark::State& state)
{
    Fixture& f = fixture();
    FinderQuery top = f.query;
    top.top = kWindowTop;
    timeJob(state, "kept", [&] { return findWithTexts(top, f.merged); });
}

// Every kept candidate ranked, texts asked for afterwards for the first 200 only.
void BM_FinderOpenBaseLazy(benchmark::State& state)
{
    Fixture& f = fixture();
    timeJob(state, "kept", [&] { return findThenTexts(f.query, f.merged, kWindowTop); });
}

// The full result: every kept candidate ranked and given its texts (`qdb similar --top 0`).
void BM_FinderOpenBaseAll(benchmark::State& state)
{
    Fixture& f = fixture();
    timeJob(state, "kept", [&] { return findWithTexts(f.query, f.merged); });
}

// Worst case: every record is kept (up to 15 failing parameters allowed), ranked, and its texts
// copied for the result.
void BM_FinderAllKept(benchmark::State& state)
{
    Fixture& f = fixture();
    FinderQuery all = f.query;
    all.nearMisses = static_cast<int>(all.rules.size());
    timeJob(state, "kept", [&] { return findWithTexts(all, f.merged); });
}

// Ranking alone on an already built source: what changing a rule costs in the window.
void BM_FinderRankOnly(benchmark::State& state)
{
    Fixture& f = fixture();
    timeJob(state, "kept", [&] {
        std::vector<FinderMatch> matches;
        judgeSource(f.query, f.source, 0, 0, matches);
        std::size_t full = 0;
        std::size_t near = 0;
        rankMatches(f.query, matches, full, near);
        return matches.size();
    });
}

// Breakdown: reading the ruled columns of the open base into the finder's arrays.
void BM_FinderReadOnly(benchmark::State& state)
{
    Fixture& f = fixture();
    const std::vector<int> columns = queryColumns(f.query);
    timeJob(state, "rows",
            [&] { return static_cast<std::size_t>(finderSourceFromBase(f.merged, columns).rowCount()); });
}

void BM_Selection30(benchmark::State& state)
{
    Fixture& f = fixture();
    timeJob(state, "selected", [&] {
        auto r = selectComponents(f.merged.table, f.bounds);
        return r ? r->rows.size() : 0;
    });
}

void BM_FinderLibrary(benchmark::State& state)
{
    Fixture& f = fixture();
    timeJob(state, "kept", [&] {
        const FinderReport r = findInLibrary(f.libraryQuery, f.first, f.files[0], f.navigator, f.catalogue);
        if (!r.problems.empty() || r.baseFiles.size() != kBases)
            die("library search");
        return r.matches.size();
    });
}

// cat of the 200 files (each read whole) + the open-base finder over the same records.
void BM_LibraryBaseline(benchmark::State& state)
{
    Fixture& f = fixture();
    std::vector<char> buffer(1 << 20);
    for (auto _ : state) {
        std::size_t bytes = 0;
        for (const std::string& file : f.files) {
            const int fd = ::open(file.c_str(), O_RDONLY);
            if (fd < 0)
                die("open " + file);
            ssize_t n;
            while ((n = ::read(fd, buffer.data(), buffer.size())) > 0)
                bytes += static_cast<std::size_t>(n);
            ::close(fd);
        }
        // Texts for every kept candidate, as the library search gives them.
        const std::size_t kept = findWithTexts(f.query, f.merged);
        benchmark::DoNotOptimize(bytes);
        benchmark::DoNotOptimize(kept);
    }
}

// Breakdown, not a baseline: the base reader alone over the 200 files (the library search's
// largest part: the cells themselves are read from their stored form).
void BM_ReadBasesOnly(benchmark::State& state)
{
    Fixture& f = fixture();
    for (auto _ : state) {
        std::size_t rows = 0;
        for (const std::string& file : f.files) {
            auto base = readBase(file, f.catalogue);
            rows += base ? static_cast<std::size_t>(base->recordCount()) : 0;
        }
        benchmark::DoNotOptimize(rows);
    }
}

void withRepetitions(benchmark::internal::Benchmark* b)
{
    b->Unit(benchmark::kMillisecond)->Repetitions(kRepetitions)->MinTime(0.3);
}
BENCHMARK(BM_FinderOpenBase)->Apply(withRepetitions);
BENCHMARK(BM_FinderOpenBaseAll)->Apply(withRepetitions);
BENCHMARK(BM_FinderOpenBaseLazy)->Apply(withRepetitions);
BENCHMARK(BM_FinderAllKept)->Apply(withRepetitions);
BENCHMARK(BM_FinderRankOnly)->Apply(withRepetitions);
BENCHMARK(BM_FinderReadOnly)->Apply(withRepetitions);
BENCHMARK(BM_Selection30)->Apply(withRepetitions);
BENCHMARK(BM_FinderLibrary)->Apply(withRepetitions);
BENCHMARK(BM_LibraryBaseline)->Apply(withRepetitions);
BENCHMARK(BM_ReadBasesOnly)->Apply(withRepetitions);

// Collects each repetition's CPU time per benchmark for the medians and ratios, and hands every
// report on to the display the flags ask for (--benchmark_format=console|json|csv).
class MedianReporter : public benchmark::BenchmarkReporter {
public:
    explicit MedianReporter(std::unique_ptr<benchmark::BenchmarkReporter> display)
        : m_display(std::move(display))
    {}
    bool ReportContext(const Context& context) override { return m_display->ReportContext(context); }
    void ReportRuns(const std::vector<Run>& runs) override
    {
        for (const Run& run : runs) {
            if (run.run_type == Run::RT_Iteration && !run.error_occurred)
                cpu[run.run_name.function_name].push_back(run.GetAdjustedCPUTime());
        }
        m_display->ReportRuns(runs);
    }
    void Finalize() override { m_display->Finalize(); }
    std::map<std::string, std::vector<double>> cpu;

private:
    std::unique_ptr<benchmark::BenchmarkReporter> m_display;
};

// The display --benchmark_format names (console when none is given); nullptr for an unknown one.
std::unique_ptr<benchmark::BenchmarkReporter> displayFor(const std::vector<char*>& args)
{
    std::string format = "console";
    constexpr std::string_view flag = "--benchmark_format=";
    for (const char* a : args)
        if (a != nullptr && std::string_view(a).substr(0, flag.size()) == flag)
            format = std::string(a + flag.size());
    if (format == "console")
        return std::make_unique<benchmark::ConsoleReporter>(::isatty(STDOUT_FILENO) != 0
                                                                ? benchmark::ConsoleReporter::OO_ColorTabular
                                                                : benchmark::ConsoleReporter::OO_Tabular);
    if (format == "json")
        return std::make_unique<benchmark::JSONReporter>();
    if (format == "csv") {
        // Deprecated by the library, still one of its formats.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
        return std::make_unique<benchmark::CSVReporter>();
#pragma GCC diagnostic pop
    }
    return nullptr;
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    const std::size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

void printLine(FILE* out, const MedianReporter& r, const char* name)
{
    const auto it = r.cpu.find(name);
    if (it == r.cpu.end() || it->second.empty())
        return;
    const auto [lo, hi] = std::minmax_element(it->second.begin(), it->second.end());
    std::fprintf(out, "%-22s median %8.2f ms CPU  (%.2f..%.2f, %zu rounds)\n", name, median(it->second), *lo,
                 *hi, it->second.size());
}

void printRatio(FILE* out, const MedianReporter& r, const char* what, const char* ours, const char* base,
                double goal)
{
    const auto a = r.cpu.find(ours);
    const auto b = r.cpu.find(base);
    if (a == r.cpu.end() || b == r.cpu.end())
        return;
    const double ratio = median(a->second) / median(b->second);
    std::fprintf(out, "%-40s %.2fx (goal <= %.1fx) %s\n", what, ratio, goal, ratio <= goal ? "ok" : "MISSED");
}

}  // namespace

int main(int argc, char** argv)
{
    // Repetitions of the benchmarks run interleaved in random order unless told otherwise.
    std::vector<char*> args(argv, argv + argc);
    std::string interleave = "--benchmark_enable_random_interleaving=true";
    args.insert(args.begin() + 1, interleave.data());
    auto display = displayFor(args);  // before Initialize takes the flags out
    int count = static_cast<int>(args.size());
    benchmark::Initialize(&count, args.data());
    if (benchmark::ReportUnrecognizedArguments(count, args.data()))
        return 1;
    fixture();  // generate and write once, outside the timings
    if (!display) {
        std::fprintf(stderr, "finder_bench: unknown --benchmark_format (console, json or csv)\n");
        return 1;
    }
    // The summary goes after the console's table, or to stderr beside a machine-read format.
    const bool console = dynamic_cast<benchmark::ConsoleReporter*>(display.get()) != nullptr;
    MedianReporter reporter(std::move(display));
    const int status = bench::runBenchmarks(&reporter);
    FILE* const summary = console ? stdout : stderr;
    std::fprintf(summary, "\n");
    for (const char* name : {"BM_FinderOpenBase", "BM_FinderOpenBaseAll", "BM_FinderOpenBaseLazy",
                             "BM_FinderAllKept", "BM_FinderRankOnly", "BM_FinderReadOnly", "BM_Selection30",
                             "BM_FinderLibrary", "BM_LibraryBaseline", "BM_ReadBasesOnly"})
        printLine(summary, reporter, name);
    printRatio(summary, reporter, "open base, top 200: finder / selection", "BM_FinderOpenBase",
               "BM_Selection30", 2.0);
    printRatio(summary, reporter, "open base, full result / selection", "BM_FinderOpenBaseAll",
               "BM_Selection30", 3.0);
    printRatio(summary, reporter, "open base, all ranked, 200 texts / selection", "BM_FinderOpenBaseLazy",
               "BM_Selection30", 2.0);
    printRatio(summary, reporter, "open base, every record kept / selection", "BM_FinderAllKept",
               "BM_Selection30", 2.0);
    printRatio(summary, reporter, "open base, source built: rank / selection", "BM_FinderRankOnly",
               "BM_Selection30", 2.0);
    printRatio(summary, reporter, "library: finder / (cat + open-base finder)", "BM_FinderLibrary",
               "BM_LibraryBaseline", 1.5);
    std::error_code ec;
    fs::remove_all(fixture().dir, ec);
    return status;
}
