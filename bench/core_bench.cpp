// Core figures on a generated 100,000-record bipolar base, each beside its baseline:
// load vs fread + decode + to_chars, save vs from_chars + writing the bytes, CSV export,
// number text, numeric filter + number parser, and the memory of the loaded base.
#include <benchmark/benchmark.h>

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <random>
#include <string>
#include <vector>

#include <unistd.h>

#include "base/basefile.h"
#include "base/catalogue.h"
#include "base/csvexport.h"
#include "base/valuetext.h"

using namespace veltris;
namespace fs = std::filesystem;

namespace {

constexpr int kRecords = 100000;

struct Fixture {
    fs::path dir;
    fs::path baseFile;
    std::string bytes;           // the file
    Catalogue catalogue;         // empty: titles are not what is measured
    ComponentBase base;          // the loaded base
    std::vector<double> values;  // every stored value, in file order
    std::vector<std::string> pointTexts;  // cell texts with '.' for ',' (what from_chars reads)
    std::vector<std::string> cellTexts;   // the value cells as loaded

    Fixture()
    {
        dir = fs::temp_directory_path() / ("veltris-core-bench-" + std::to_string(::getpid()));
        fs::create_directories(dir);
        baseFile = dir / "big.QDB";
        generate();
        std::FILE* f = std::fopen(baseFile.c_str(), "wb");
        std::fwrite(bytes.data(), 1, bytes.size(), f);
        std::fclose(f);
        base = std::move(readBase(baseFile, catalogue).value());
        const Table& t = base.table;
        for (int r = 1; r < t.rowCount(); ++r)
            for (int c = 1; c < t.columnCount() - 1; ++c) {
                cellTexts.push_back(t.cell(r, c));
                std::string p = numericFilter(t.cell(r, c));
                for (char& ch : p)
                    ch = ch == ',' ? '.' : ch == 'E' ? 'e' : ch;
                pointTexts.push_back(std::move(p));
            }
    }
    ~Fixture() { fs::remove_all(dir); }

    // Values as datasheets give them: small whole numbers, decimals, a few tiny or huge ones,
    // some decorated, some absent; column 14 a gain range.
    void generate()
    {
        std::mt19937_64 rng(20240531);
        std::uniform_int_distribution<int> pick(0, 99);
        const auto value = [&]() -> double {
            const int p = pick(rng);
            if (p < 15)
                return 0;
            if (p < 55)
                return double(1 + rng() % 1000);
            if (p < 85)
                return double(rng() % 100000) / 100.0;
            if (p < 95)
                return double(1 + rng() % 999) * 1e-6;
            return double(1 + rng() % 999) * 1e9;
        };
        bytes.assign(kLeadSize, '\0');
        std::memcpy(bytes.data(), defaultBaseHeader().data(), kHeaderSize);
        bytes[59] = 1;
        std::memset(bytes.data() + kHeaderSize, 1, 30);
        const std::int32_t two = 2;
        std::memcpy(bytes.data() + kHeaderSize + 30, &two, 4);
        std::string rec(kRecordSize, '\0');
        for (int i = 0; i < kRecords; ++i) {
            std::fill(rec.begin(), rec.end(), '\0');
            const std::string name = "KT" + std::to_string(100000 + i) + "A";
            rec[0] = char(name.size());
            std::memcpy(rec.data() + 1, name.data(), name.size());
            for (int k = 0; k < 30; ++k) {
                double v = value();
                std::uint8_t flags = 0;
                if (pick(rng) < 5)
                    flags = std::uint8_t(1u << (rng() % 5));
                if (k == 13)
                    v = double(20 + rng() % 100);
                if (k == 14)
                    v = double(120 + rng() % 800);
                if (k == 14)
                    flags = 0;
                rec[16 + 9 * k] = char(flags);
                std::memcpy(rec.data() + 16 + 9 * k + 1, &v, 8);
                values.push_back(v);
            }
            const std::int16_t drawing = std::int16_t(rng() % 200);
            std::memcpy(rec.data() + 286, &drawing, 2);
            bytes += rec;
        }
    }
};

Fixture& fixture()
{
    static Fixture f;
    return f;
}

void BM_Load(benchmark::State& state)
{
    Fixture& f = fixture();
    for (auto _ : state) {
        auto base = readBase(f.baseFile, f.catalogue);
        benchmark::DoNotOptimize(base.ok());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(f.bytes.size()));
}

void BM_LoadBaseline(benchmark::State& state)
{
    Fixture& f = fixture();
    std::string text;
    for (auto _ : state) {
        std::FILE* file = std::fopen(f.baseFile.c_str(), "rb");
        std::string buf(f.bytes.size(), '\0');
        const size_t got = std::fread(buf.data(), 1, buf.size(), file);
        std::fclose(file);
        text.clear();
        text.reserve(buf.size());
        char num[32];
        for (size_t off = kLeadSize; off + kRecordSize <= got; off += kRecordSize) {
            const char* rec = buf.data() + off;
            text.append(rec + 1, std::min<size_t>(std::uint8_t(rec[0]), 15));
            text += '\0';
            for (int k = 0; k < 30; ++k) {
                double v;
                std::memcpy(&v, rec + 16 + 9 * k + 1, 8);
                const auto r = std::to_chars(num, num + sizeof num, v, std::chars_format::general, 15);
                text.append(num, r.ptr);
                text += '\0';
            }
            std::int16_t d;
            std::memcpy(&d, rec + 286, 2);
            const auto r = std::to_chars(num, num + sizeof num, d);
            text.append(num, r.ptr);
            text += '\0';
        }
        benchmark::DoNotOptimize(text.data());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(f.bytes.size()));
}

void BM_Save(benchmark::State& state)
{
    Fixture& f = fixture();
    const fs::path out = f.dir / "saved.QDB";
    for (auto _ : state) {
        const Status st = writeBase(f.base, out);
        if (!st.ok())
            state.SkipWithError("save failed");
    }
}

void BM_Encode(benchmark::State& state)
{
    Fixture& f = fixture();
    for (auto _ : state) {
        auto bytes = encodeBase(f.base);
        benchmark::DoNotOptimize(bytes.ok());
    }
}

void BM_SaveBaseline(benchmark::State& state)
{
    Fixture& f = fixture();
    const fs::path out = f.dir / "baseline.QDB";
    std::string buf;
    for (auto _ : state) {
        buf.assign(kLeadSize + size_t(kRecords) * kRecordSize, '\0');
        size_t off = kLeadSize;
        size_t i = 0;
        const Table& t = f.base.table;
        for (int r = 1; r < t.rowCount(); ++r, off += kRecordSize) {
            char* rec = buf.data() + off;
            const std::string& name = t.cell(r, 0);
            rec[0] = char(std::min<size_t>(name.size(), 15));
            std::memcpy(rec + 1, name.data(), std::min<size_t>(name.size(), 15));
            for (int k = 0; k < 29; ++k, ++i) {
                const std::string& s = f.pointTexts[i];
                double v = 0;
                std::from_chars(s.data(), s.data() + s.size(), v);
                std::memcpy(rec + 16 + 9 * k + 1, &v, 8);
            }
        }
        std::FILE* file = std::fopen(out.c_str(), "wb");
        std::fwrite(buf.data(), 1, buf.size(), file);
        std::fclose(file);
    }
}

void BM_CsvExport(benchmark::State& state)
{
    Fixture& f = fixture();
    for (auto _ : state) {
        std::string csv = csvBytes(f.base.table);
        benchmark::DoNotOptimize(csv.data());
    }
}

void BM_CsvExportToFile(benchmark::State& state)
{
    Fixture& f = fixture();
    const fs::path out = f.dir / "export.csv";
    for (auto _ : state) {
        if (!writeCsv(f.base.table, out).ok())
            state.SkipWithError("export failed");
    }
}

void BM_NumberText(benchmark::State& state)
{
    Fixture& f = fixture();
    for (auto _ : state) {
        size_t total = 0;
        for (double v : f.values)
            total += numberText(v).size();
        benchmark::DoNotOptimize(total);
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * int64_t(f.values.size()));
}

void BM_FilterAndParse(benchmark::State& state)
{
    Fixture& f = fixture();
    for (auto _ : state) {
        double sum = 0;
        for (const std::string& s : f.cellTexts) {
            const std::string filtered = numericFilter(s);
            if (!filtered.empty()) {
                const auto v = parseNumber(filtered);
                if (v.ok())
                    sum += *v;
            }
        }
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * int64_t(f.cellTexts.size()));
}

size_t residentBytes()
{
    long pages = 0, resident = 0;
    if (std::FILE* f = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2)
            resident = 0;
        std::fclose(f);
    }
    return size_t(resident) * size_t(::sysconf(_SC_PAGESIZE));
}

// Heap bytes the loaded base holds: the cell array plus every text too long for the string's
// own buffer (capacity-based, so it counts what the allocator was asked for).
void BM_Memory(benchmark::State& state)
{
    Fixture& f = fixture();
    const Table& t = f.base.table;
    size_t heap = 0;
    size_t textBytes = 0;
    for (auto _ : state) {
        heap = sizeof(ComponentBase) + size_t(t.rowCount()) * size_t(t.columnCount()) * sizeof(std::string);
        textBytes = 0;
        for (int r = 0; r < t.rowCount(); ++r)
            for (int c = 0; c < t.columnCount(); ++c) {
                const std::string& s = t.cell(r, c);
                textBytes += s.size();
                if (s.capacity() > 15)
                    heap += s.capacity() + 1;
            }
    }
    // Measured as well: the resident memory a second loaded copy adds.
    const size_t before = residentBytes();
    auto second = readBase(f.baseFile, f.catalogue);
    const size_t after = residentBytes();
    const double goal = 3.0 * double(f.bytes.size() + textBytes);
    state.counters["rss_delta_MB"] = double(after - before) / 1e6;
    state.counters["base_MB"] = double(heap) / 1e6;
    state.counters["file_MB"] = double(f.bytes.size()) / 1e6;
    state.counters["text_MB"] = double(textBytes) / 1e6;
    state.counters["goal_MB"] = goal / 1e6;
    state.counters["ratio_to_goal"] = double(heap) / goal;
}

BENCHMARK(BM_LoadBaseline)->Unit(benchmark::kMillisecond)->MinTime(2);
BENCHMARK(BM_Load)->Unit(benchmark::kMillisecond)->MinTime(2);
BENCHMARK(BM_SaveBaseline)->Unit(benchmark::kMillisecond)->MinTime(2);
BENCHMARK(BM_Save)->Unit(benchmark::kMillisecond)->MinTime(2);
BENCHMARK(BM_Encode)->Unit(benchmark::kMillisecond)->MinTime(2);
BENCHMARK(BM_CsvExport)->Unit(benchmark::kMillisecond)->MinTime(1);
BENCHMARK(BM_CsvExportToFile)->Unit(benchmark::kMillisecond)->MinTime(1);
BENCHMARK(BM_NumberText)->Unit(benchmark::kMillisecond)->MinTime(1);
BENCHMARK(BM_FilterAndParse)->Unit(benchmark::kMillisecond)->MinTime(1);
BENCHMARK(BM_Memory)->Unit(benchmark::kMillisecond)->Iterations(1);

class RatioReporter : public benchmark::ConsoleReporter {
public:
    // Fastest of the repetitions (--benchmark_repetitions=N): the least disturbed by others.
    std::map<std::string, double> times;  // real ms per iteration
    std::map<std::string, double> cpuTimes;
    std::map<std::string, double> memoryRatio;

    void ReportRuns(const std::vector<Run>& runs) override
    {
        for (const Run& run : runs) {
            if (run.run_type != Run::RT_Iteration || run.error_occurred)
                continue;
            keepMin(times, run.benchmark_name(), run.GetAdjustedRealTime());
            keepMin(cpuTimes, run.benchmark_name(), run.GetAdjustedCPUTime());
            const auto it = run.counters.find("ratio_to_goal");
            if (it != run.counters.end())
                memoryRatio[run.benchmark_name()] = it->second;
        }
        ConsoleReporter::ReportRuns(runs);
    }

private:
    static void keepMin(std::map<std::string, double>& m, const std::string& name, double v)
    {
        const auto it = m.find(name);
        if (it == m.end() || v < it->second)
            m[name] = v;
    }
};

// The entry of benchmark `fn` whatever arguments its name carries ("BM_Load/min_time:2.000").
const double* lookup(const std::map<std::string, double>& m, const std::string& fn)
{
    for (const auto& [name, v] : m)
        if (name == fn || name.rfind(fn + "/", 0) == 0)
            return &v;
    return nullptr;
}

void printRatio(const RatioReporter& r, const char* what, const std::string& ours,
                const std::string& baseline, double goal)
{
    const double* a = lookup(r.times, ours);
    const double* b = lookup(r.times, baseline);
    if (a == nullptr || b == nullptr)
        return;
    const double ratio = *a / *b;
    const double cpuRatio = *lookup(r.cpuTimes, ours) / *lookup(r.cpuTimes, baseline);
    std::printf("%-30s %7.1f ms vs %7.1f ms baseline: %.2fx (CPU time %.2fx), goal <= %.1fx %s\n",
                what, *a, *b, ratio, cpuRatio, goal, ratio <= goal ? "ok" : "OVER");
}

}  // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    fixture();  // generate once, outside the timings
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    std::printf("\n");
    printRatio(reporter, "load", "BM_Load", "BM_LoadBaseline", 1.2);
    printRatio(reporter, "save (encode + atomic write)", "BM_Save", "BM_SaveBaseline", 1.5);
    printRatio(reporter, "save (encode only)", "BM_Encode", "BM_SaveBaseline", 1.5);
    for (const auto& [name, ratio] : reporter.memoryRatio)
        std::printf("%-34s %.2f of 3 x (file + texts) %s\n", "memory of the loaded base", ratio,
                    ratio <= 1.0 ? "ok" : "OVER");
    benchmark::Shutdown();
    return 0;
}
