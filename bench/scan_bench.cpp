// Folder scan of 1,000 generated bases x 100 records against plain whole-file reading of the same
// files (open, read everything into a buffer, close, as cat does), warm cache, interleaved.
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include "base/navigatorcatalogue.h"
#include "bench_data.h"

namespace {

constexpr int kBases = 1000;
constexpr int kRecords = 100;

std::unique_ptr<bench::TempDir> g_dir;
std::vector<std::string> g_files;

void createBases()
{
    g_dir = std::make_unique<bench::TempDir>();
    for (int b = 0; b < kBases; ++b) {
        char fileName[32];
        std::snprintf(fileName, sizeof fileName, "base%04d.QDB", b);
        const bench::fs::path path = g_dir->path() / fileName;
        bench::writeFile(path, bench::makeBaseBytes(bench::DataKind::Datasheet, kRecords,
                                                    static_cast<std::uint64_t>(b + 1)));
        g_files.push_back(path.string());
    }
}

void scan(benchmark::State& state)
{
    std::size_t entries = 0;
    for (auto _ : state) {
        veltris::NavigatorCatalogue catalogue = veltris::NavigatorCatalogue{};
        const auto problems = catalogue.addFolder(g_dir->path());
        entries = catalogue.size();
        if (!problems.empty())
            bench::skip(state, "scan reported problems");
        state.PauseTiming();  // freeing the catalogue is not part of the scan
        catalogue = {};
        state.ResumeTiming();
    }
    state.counters["entries"] = static_cast<double>(entries);
}

void scanBaseline(benchmark::State& state)
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
        benchmark::ClobberMemory();
    }
    state.counters["bytes"] = static_cast<double>(total);
}

}  // namespace

int main(int argc, char** argv)
{
    std::vector<char*> args = bench::withBenchDefaults(argc, argv);
    int count = static_cast<int>(args.size()) - 1;
    benchmark::Initialize(&count, args.data());
    if (benchmark::ReportUnrecognizedArguments(count, args.data()))
        return 1;
    createBases();
    const std::string suffix = "/" + std::to_string(kBases) + "x" + std::to_string(kRecords);
    bench::withMinMax(benchmark::RegisterBenchmark(("scan" + suffix).c_str(), scan))
        ->Unit(benchmark::kMillisecond);
    bench::withMinMax(benchmark::RegisterBenchmark(("scan_baseline" + suffix).c_str(), scanBaseline))
        ->Unit(benchmark::kMillisecond);
    const int status = bench::runBenchmarks();
    g_dir.reset();
    return status;
}
