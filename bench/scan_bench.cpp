// Folder scan of 1,000 bases x 100 records against plain whole-file reading of the same files
// (open, read everything into a buffer, close, as cat does), warm cache, same run.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

#include "base/navigatorcatalogue.h"

namespace fs = std::filesystem;

namespace {

constexpr int kBases = 1000;
constexpr int kRecords = 100;

fs::path g_dir;
std::vector<std::string> g_files;

void createBases()
{
    g_dir = fs::temp_directory_path() / ("veltris_scan_bench_" + std::to_string(::getpid()));
    fs::remove_all(g_dir);
    fs::create_directories(g_dir);
    for (int b = 0; b < kBases; ++b) {
        std::string bytes(231, '\0');
        bytes.replace(0, 2, "QZ");
        bytes[58] = 5;
        bytes[59] = static_cast<char>(1 + b % 7);
        const std::string description = "Base number " + std::to_string(b) + " for the scan";
        bytes[62] = static_cast<char>(description.size());
        bytes.replace(63, description.size(), description);
        for (int r = 0; r < kRecords; ++r) {
            std::string record(288, '\0');
            const std::string name = "KT" + std::to_string(b) + "-" + std::to_string(r);
            record[0] = static_cast<char>(name.size());
            record.replace(1, name.size(), name);
            bytes += record;
        }
        char fileName[32];
        std::snprintf(fileName, sizeof fileName, "base%04d.QDB", b);
        const fs::path path = g_dir / fileName;
        std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        g_files.push_back(path.string());
    }
}

void BM_AddDir(benchmark::State& state)
{
    std::size_t entries = 0;
    for (auto _ : state) {
        veltris::NavigatorCatalogue catalogue = veltris::CreateNavigatorCatalogue();
        const auto problems = catalogue.AddDir(g_dir);
        entries = catalogue.size();
        if (!problems.empty())
            state.SkipWithError("scan reported problems");
        state.PauseTiming();  // freeing the catalogue is not part of the scan
        catalogue = {};
        state.ResumeTiming();
    }
    state.counters["entries"] = static_cast<double>(entries);
}

void BM_ReadWhole(benchmark::State& state)
{
    const std::unique_ptr<char[]> buffer(new char[1 << 20]);
    std::size_t total = 0;
    for (auto _ : state) {
        total = 0;
        for (const std::string& file : g_files) {
            const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
            ssize_t n;
            while ((n = ::read(fd, buffer.get(), 1 << 20)) > 0)
                total += static_cast<std::size_t>(n);
            ::close(fd);
        }
        benchmark::DoNotOptimize(total);
    }
    state.counters["bytes"] = static_cast<double>(total);
}

BENCHMARK(BM_ReadWhole)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK(BM_AddDir)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);

// Keeps the median real time of each benchmark for the ratio printed at the end.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs)
            if (run.aggregate_name == "median")
                medians[run.run_name.function_name] = run.GetAdjustedRealTime();
    }
    std::map<std::string, double> medians;
};

}  // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    createBases();
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    const auto scan = reporter.medians.find("BM_AddDir");
    const auto read = reporter.medians.find("BM_ReadWhole");
    if (scan != reporter.medians.end() && read != reporter.medians.end() && read->second > 0)
        std::printf("scan / whole-file read (median): %.2fx (goal <= 1.3x)\n", scan->second / read->second);
    std::error_code ec;
    fs::remove_all(g_dir, ec);
    benchmark::Shutdown();
    return 0;
}
