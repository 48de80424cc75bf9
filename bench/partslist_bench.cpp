// A parts list's replacements and the selection across the library, against the least work the
// same jobs need, in the same run, interleaved; the library: 200 bipolar bases × 500 records on
// disk (warm cache), the records near one another as a catalogue's are.
//  - a 500-line list, each line a record of the library named inside a longer text, the best 3
//    replacements from the whole library: against reading the 200 files whole (cat) plus, for
//    every line, the open-base finder over the same 100,000 records in one base (its query made
//    beforehand, outside the timing);
//  - the parametric selection with 30 bounds over every base: against cat plus the selection over
//    the same records in one base.
// The verdicts use the median CPU time of the repetitions; min..max are printed beside it.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <random>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include "base/basefile.h"
#include "base/catalogue.h"
#include "base/componentbase.h"
#include "base/finder.h"
#include "base/libraryselection.h"
#include "base/navigatorcatalogue.h"
#include "base/partslistsearch.h"
#include "base/selection.h"
#include "base/substitute/libraryfiles.h"
#include "base/valuetext.h"

namespace fs = std::filesystem;
using namespace veltris;

namespace {

constexpr int kBases = 200;
constexpr int kPerBase = 500;
constexpr int kColumns = 30;
constexpr int kRangeColumn = 14;
constexpr int kDrawingColumn = 30;
constexpr int kLines = 500;
constexpr std::size_t kTop = 3;
constexpr int kRepetitions = 5;

struct Fixture {
    fs::path dir;
    std::vector<std::string> files;
    Catalogue catalogue;
    NavigatorCatalogue navigator;
    ComponentBase merged;  // the same 100,000 records in one base
    RuleSet rules;
    PartsList list;
    std::vector<FinderQuery> lineQueries;  // each line's reference in the merged base
    std::vector<BoundTexts> bounds;
};

double round3(double v)
{
    const double scale = std::pow(10.0, 2 - std::floor(std::log10(v)));
    return std::round(v * scale) / scale;
}

std::string cellText(std::mt19937_64& rng, int column, double reference)
{
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    if (column == 1)
        return unit(rng) < 0.8 ? "1" : "2";
    if (column == kDrawingColumn)
        return unit(rng) < 0.85 ? "7" : std::to_string(1 + static_cast<int>(rng() % 60));
    if (unit(rng) < 0.1)
        return "0";
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
    std::fprintf(stderr, "partslist_bench: %s\n", what.c_str());
    std::exit(1);
}

Fixture& fixture()
{
    static Fixture f = [] {
        Fixture f;
        f.catalogue = loadCatalogues(VELTRIS_BIN_DIR).catalogue;
        f.dir = fs::temp_directory_path() / ("partslist_bench_" + std::to_string(::getpid()));
        fs::create_directories(f.dir);
        std::mt19937_64 rng(11);
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
        for (std::size_t b = 0; b < f.files.size(); ++b) {
            auto base = readBase(f.files[b], f.catalogue);
            if (!base)
                die(base.error().message);
            if (b == 0) {
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
        // Through a file and back: the cells in their stored form, as a base read from disk holds
        // them (set one by one they would be edited texts, read the slow way).
        const fs::path mergedFile = f.dir / "merged.bin";
        if (!writeBase(f.merged, mergedFile))
            die("cannot write the merged base");
        auto reread = readBase(mergedFile, f.catalogue);
        if (!reread)
            die(reread.error().message);
        f.merged = std::move(*reread);
        auto defaults = SubstituteDefaults::load(VELTRIS_BIN_DIR);
        if (!defaults)
            die(defaults.error().message);
        f.rules = defaults->rules(1);
        // The list: records of the library named inside longer texts, as an ЕСКД list names them.
        const FinderSource source = finderSourceFromBase(f.merged, sourceColumns(1, f.rules));
        for (int k = 0; k < kLines; ++k) {
            const int b = static_cast<int>(rng() % kBases);
            const int r = 1 + static_cast<int>(rng() % kPerBase);
            PartsLine line;
            line.line = k + 2;
            line.designators = "VT" + std::to_string(k + 1);
            line.quantity = 1;
            line.text = "Транзистор N" + std::to_string(b) + "_" + std::to_string(r) + " ЖК3.365.200 ТУ";
            f.list.lines.push_back(line);
            auto query = makeQuery(source, b * kPerBase + r - 1, f.rules, 2, kTop);
            if (!query)
                die(query.error().message);
            f.lineQueries.push_back(*query);
        }
        for (int c = 1; c <= kColumns; ++c) {
            auto bound =
                boundsFromReference(referenceText(f.merged.table.cell(1, c)), 10, 10, c == kDrawingColumn);
            if (!bound)
                die(bound.error().message);
            f.bounds.push_back(*bound);
        }
        return f;
    }();
    return f;
}

std::size_t catFiles(const Fixture& f)
{
    static std::vector<char> buffer(1 << 20);
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
    return bytes;
}

void BM_PartsList(benchmark::State& state)
{
    Fixture& f = fixture();
    PartsListSearchOptions options;
    options.top = kTop;
    options.rules = [&](int) { return f.rules; };
    std::size_t found = 0;
    for (auto _ : state) {
        const LibraryFiles library = readLibraryFiles(f.navigator, f.catalogue);
        const PartNameIndex names(library, f.catalogue);
        const PartsListResult result = searchPartsList(f.list, library, names, f.catalogue, options);
        found = 0;
        for (const PartsLineResult& r : result.lines)
            found += r.report.matches.size();
        benchmark::DoNotOptimize(found);
    }
    if (found != kLines * kTop)
        die("parts list: " + std::to_string(found) + " replacements");
}

void BM_PartsListBaseline(benchmark::State& state)
{
    Fixture& f = fixture();
    for (auto _ : state) {
        std::size_t found = catFiles(f);
        for (const FinderQuery& q : f.lineQueries)
            found += findInBase(q, f.merged, "merged.QDB", {}, true).matches.size();
        benchmark::DoNotOptimize(found);
    }
}

void BM_LibrarySelection(benchmark::State& state)
{
    Fixture& f = fixture();
    for (auto _ : state) {
        const LibraryFiles library = readLibraryFiles(f.navigator, f.catalogue, 1);
        auto selected = selectInLibrary(library, f.catalogue, 1, f.bounds);
        if (!selected)
            die(selected.error().message);
        benchmark::DoNotOptimize(selected->hits.size());
    }
}

void BM_SelectionBaseline(benchmark::State& state)
{
    Fixture& f = fixture();
    for (auto _ : state) {
        std::size_t n = catFiles(f);
        auto selected = selectComponents(f.merged.table, f.bounds);
        n += selected ? selected->rows.size() : 0;
        benchmark::DoNotOptimize(n);
    }
}

void withRepetitions(benchmark::internal::Benchmark* b)
{
    b->Unit(benchmark::kMillisecond)->Repetitions(kRepetitions)->MinTime(0.2);
}
BENCHMARK(BM_PartsList)->Apply(withRepetitions);
BENCHMARK(BM_PartsListBaseline)->Apply(withRepetitions);
BENCHMARK(BM_LibrarySelection)->Apply(withRepetitions);
BENCHMARK(BM_SelectionBaseline)->Apply(withRepetitions);

class MedianReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        for (const Run& run : runs)
            if (run.run_type == Run::RT_Iteration && !run.error_occurred)
                cpu[run.run_name.function_name].push_back(run.GetAdjustedCPUTime());
        ConsoleReporter::ReportRuns(runs);
    }
    std::map<std::string, std::vector<double>> cpu;
};

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    const std::size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

void printLine(const MedianReporter& r, const char* name)
{
    const auto it = r.cpu.find(name);
    if (it == r.cpu.end() || it->second.empty())
        return;
    const auto [lo, hi] = std::minmax_element(it->second.begin(), it->second.end());
    std::printf("%-22s median %8.2f ms CPU  (%.2f..%.2f, %zu rounds)\n", name, median(it->second), *lo, *hi,
                it->second.size());
}

void printRatio(const MedianReporter& r, const char* what, const char* ours, const char* base, double goal)
{
    const auto a = r.cpu.find(ours);
    const auto b = r.cpu.find(base);
    if (a == r.cpu.end() || b == r.cpu.end())
        return;
    const double ratio = median(a->second) / median(b->second);
    std::printf("%-45s %.2fx (goal <= %.1fx) %s\n", what, ratio, goal, ratio <= goal ? "ok" : "MISSED");
}

}  // namespace

int main(int argc, char** argv)
{
    std::vector<char*> args(argv, argv + argc);
    std::string interleave = "--benchmark_enable_random_interleaving=true";
    args.insert(args.begin() + 1, interleave.data());
    int count = static_cast<int>(args.size());
    benchmark::Initialize(&count, args.data());
    if (benchmark::ReportUnrecognizedArguments(count, args.data()))
        return 1;
    fixture();
    MedianReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    std::printf("\n");
    for (const char* name :
         {"BM_PartsList", "BM_PartsListBaseline", "BM_LibrarySelection", "BM_SelectionBaseline"})
        printLine(reporter, name);
    printRatio(reporter, "parts list: ours / (cat + open-base finder a line)", "BM_PartsList",
               "BM_PartsListBaseline", 1.5);
    printRatio(reporter, "library selection: ours / (cat + selection)", "BM_LibrarySelection",
               "BM_SelectionBaseline", 1.5);
    std::error_code ec;
    fs::remove_all(fixture().dir, ec);
    benchmark::Shutdown();
    return 0;
}
