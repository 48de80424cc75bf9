// Reading a typed value (the reader every place a person types a number uses: decimal mark,
// groups, prefixes, units converted into the column's unit, marks) against what a cell text cost
// before it: the numeric filter and the number parser on the same texts. Both in one process,
// interleaved at random (5 repetitions; median, min and max of CPU time), on two sets of texts:
//   cells   the value cells of a generated base as the table shows them (what the CSV export
//           writes and the record dialog loads), each read in its column's unit
//   typed   texts as engineers type them ("1.5", "4к7", "1,5 А", "200 мкА", "10 000", "<0,05",
//           "(12)", "1E-5"...), the same number of them
//
//   typed_bench [--data=datasheet|random] [--records=N] [benchmark flags]
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

#include "base/cp1251.h"
#include "base/typedvalue.h"
#include "base/valuetext.h"
#include "bench_data.h"
#include "core_ops.h"

namespace {

using namespace bench;

struct Text {
    std::string utf8;  // what the reader takes
    std::string cp;    // the same in Windows-1251, what the numeric filter took
    int column;
};

struct Fixture {
    DataChoice data;
    TempDir dir;
    std::vector<veltris::ColumnUnit> units;
    std::vector<Text> cells;
    std::vector<Text> typed;

    void build()
    {
        const fs::path file = dir.path() / "base.QDB";
        writeFile(file, makeBaseBytes(data.kind, data.records));
        const Base base = loadBaseFile(file);
        const int cols = columnCount(base);
        // Titles with the units the shipped catalogue uses, in turn.
        const char* titles[] = {"Uкэ max,|В", "Iк max,|мА", "Pк max,|мВт", "fгр,|МГц", "Cк,|пФ", "h21э"};
        units.clear();
        for (int c = 0; c < cols; ++c)
            units.push_back(veltris::columnUnitOfTitle(veltris::utf8ToCp1251(titles[c % 6])));
        cells.clear();
        for (int r = 1; r <= recordCount(base); ++r)
            for (int c = 1; c < cols - 1; ++c) {
                if (c == kRangeColumn)
                    continue;
                std::string t = textOf(base, r, c);
                cells.push_back({veltris::cp1251ToUtf8(t), std::move(t), c});
            }
        // Column c % 6: 0 volts, 1 мА, 2 мВт, 3 МГц, 4 пФ, 5 no unit.
        const struct {
            const char* text;
            int column;
        } forms[] = {
            {"1.5", 6},      {"4к7", 6},  {"1,5 А", 1}, {"200 мкА", 7}, {"10 000", 5},
            {"<0,05", 1},    {"(12)", 6}, {"1E-5", 7},  {"0,25", 12},   {"2.2k", 6},
            {"1,2 ГГц", 3},  {"1 нФ", 4}, {"≥40", 6},   {"−40", 12},    {"500 мВт", 2},
            {"[(<2,5)]", 6}, {"100", 1},  {".5", 6},    {"33", 4},      {"0,04к", 12},
        };
        typed.clear();
        for (std::size_t i = 0; typed.size() < cells.size(); ++i) {
            const auto& f = forms[i % std::size(forms)];
            typed.push_back({f.text, veltris::utf8ToCp1251(f.text), f.column});
        }
    }
};

Fixture g_fixture;

void readTyped(benchmark::State& state, const std::vector<Text>& texts)
{
    for (auto _ : state) {
        double sum = 0;
        for (const Text& t : texts) {
            const veltris::TypedReading r =
                veltris::readTypedValue(t.utf8, g_fixture.units[static_cast<std::size_t>(t.column)]);
            sum += r.value.a;
        }
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * texts.size()));
}

void filterAndParse(benchmark::State& state, const std::vector<Text>& texts)
{
    for (auto _ : state) {
        double sum = 0;
        for (const Text& t : texts) {
            const auto v = veltris::parseNumber(veltris::numericFilter(t.cp));
            sum += v ? *v : 0;
        }
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * texts.size()));
}

}  // namespace

int main(int argc, char** argv)
{
    if (!takeDataChoice(argc, argv, "typed_bench", g_fixture.data))
        return 2;
    std::vector<char*> args = withBenchDefaults(argc, argv);
    int count = static_cast<int>(args.size()) - 1;
    benchmark::Initialize(&count, args.data());
    if (benchmark::ReportUnrecognizedArguments(count, args.data()))
        return 1;
    g_fixture.build();

    const std::string& suffix = g_fixture.data.suffix;
    const auto add = [&suffix](const char* name, auto fn) {
        return withMinMax(
            benchmark::RegisterBenchmark((name + suffix).c_str(), fn)->Unit(benchmark::kMillisecond));
    };
    add("typed_cells", [](benchmark::State& s) { readTyped(s, g_fixture.cells); });
    add("typed_cells_baseline", [](benchmark::State& s) { filterAndParse(s, g_fixture.cells); });
    add("typed_forms", [](benchmark::State& s) { readTyped(s, g_fixture.typed); });
    add("typed_forms_baseline", [](benchmark::State& s) { filterAndParse(s, g_fixture.typed); });
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
