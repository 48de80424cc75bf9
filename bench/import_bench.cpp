// Import of a CSV file the export wrote (read whole, dialect and device type found out, every
// cell read into a new base) against the least work: the same file read whole and split into
// fields at the separators and line ends. Both in one process, interleaved at random (5
// repetitions; median, min and max of CPU time).
//
//   import_bench [--data=datasheet|random] [--records=N] [benchmark flags]
#include <string>
#include <string_view>
#include <vector>

#include <benchmark/benchmark.h>

#include "base/catalogue.h"
#include "base/fileio.h"
#include "bench_data.h"
#include "core_ops.h"

namespace {

using namespace bench;

struct Fixture {
    DataChoice data;
    TempDir dir;
    fs::path csv;
    std::size_t csvBytes = 0;
    veltris::Catalogue catalogue;

    void build()
    {
        catalogue = veltris::loadCatalogues(VELTRIS_BIN_DIR).catalogue;
        const fs::path base = dir.path() / "base.QDB";
        writeFile(base, makeBaseBytes(data.kind, data.records));
        const std::string bytes = exportCsv(base, catalogue);
        csv = dir.path() / "base.csv";
        writeFile(csv, bytes);
        csvBytes = bytes.size();
    }
};

Fixture g_fixture;

// Every field of every line as a view: a field that opens with a quote runs to its closing quote.
std::size_t splitIntoFields(std::string_view text, std::vector<std::string_view>& fields)
{
    std::size_t total = 0;
    const std::size_t n = text.size();
    std::size_t i = 0;
    while (i < n) {
        fields.clear();
        while (true) {
            const std::size_t start = i;
            if (i < n && text[i] == '"') {
                for (++i; i < n; ++i)
                    if (text[i] == '"' && !(i + 1 < n && text[++i] == '"'))
                        break;
            }
            while (i < n && text[i] != ';' && text[i] != '\r' && text[i] != '\n')
                ++i;
            fields.emplace_back(text.data() + start, i - start);
            if (i < n && text[i] == ';') {
                ++i;
                continue;
            }
            break;
        }
        if (i < n && text[i] == '\r')
            ++i;
        if (i < n && text[i] == '\n')
            ++i;
        total += fields.size();
        benchmark::DoNotOptimize(fields.data());
    }
    return total;
}

void importCsv(benchmark::State& state)
{
    for (auto _ : state) {
        Base base = importCsvFile(g_fixture.csv, g_fixture.catalogue);
        benchmark::DoNotOptimize(&base);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * g_fixture.csvBytes));
}

void importCsvBaseline(benchmark::State& state)
{
    std::vector<std::string_view> fields;
    fields.reserve(64);
    for (auto _ : state) {
        const auto bytes = veltris::readFileBytes(g_fixture.csv, veltris::memoryForFileBytes());
        if (!bytes) {
            bench::skip(state, bytes.error().message.c_str());
            break;
        }
        benchmark::DoNotOptimize(splitIntoFields(*bytes, fields));
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * g_fixture.csvBytes));
}

}  // namespace

int main(int argc, char** argv)
{
    if (!takeDataChoice(argc, argv, "import_bench", g_fixture.data))
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
    add("import", importCsv);
    add("import_baseline", importCsvBaseline);
    return runBenchmarks();
}
