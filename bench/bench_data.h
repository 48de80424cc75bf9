#pragma once
// Data and baselines every benchmark shares: generated bipolar base files, component names, the
// least work a load or a save needs, and small helpers (files, resident memory, main()).
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include <benchmark/benchmark.h>

namespace bench {

namespace fs = std::filesystem;

// Layout of a version-5 bipolar base file: the lead (header, column map, second-table column
// count, view mask), then records of a 16-byte name, 30 value slots (flags byte + double) and the
// drawing number. The range column keeps its ends in slots 13 and 14.
inline constexpr std::size_t kLeadBytes = 231;
inline constexpr std::size_t kRecordBytes = 288;
inline constexpr int kSlots = 30;
inline constexpr std::size_t kSlotsOffset = 16;
inline constexpr std::size_t kDrawingOffset = 286;
inline constexpr int kRangeColumn = 14;  // main-table column of the current gain range
inline constexpr int kColumns = 31;      // name, 29 parameters, drawing number

enum class DataKind {
    // Values as datasheets give them: 1-3 significant digits, 15 % empty, some decorated
    // (<, >, (), [], {}), gain ranges in the range column.
    Datasheet,
    // Every value a random double at full precision (the worst case for number texts).
    Random,
};
const char* dataKindName(DataKind kind);  // "datasheet", "random"
bool parseDataKind(std::string_view name, DataKind& kind);

// A bipolar base file of `records` records with unique names in random order, the second table
// showing all 30 columns. Components come in series of 16 (КТ3102А, КТ3102Б, ...) sharing their
// values and package; a variant differs from its series in about one parameter in fifty. The
// same arguments give the same bytes.
std::string makeBaseBytes(DataKind kind, int records, std::uint64_t seed = 1);

// The names of makeBaseBytes(kind, count, seed) in file order (Windows-1251, at most 15 bytes),
// such as "КТ3102А", "2N3055", "bc547b".
std::vector<std::string> componentNames(std::size_t count, std::uint64_t seed = 1);

// The stored doubles of one main-table parameter column (for the range column its low ends).
std::vector<double> storedColumn(std::string_view fileBytes, int column);

// Baseline load: read the file, turn every name into UTF-8 and write every stored double and
// drawing number as its shortest std::to_chars text. Returns the bytes of text made.
std::size_t baselineLoad(const fs::path& file);

// Baseline save: `bytes` written to a new temporary file beside `target`, fdatasync, rename.
void baselineSave(std::string_view bytes, const fs::path& target);

// A fresh folder under the system's temporary folder, removed with the object.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const fs::path& path() const { return m_path; }

private:
    fs::path m_path;
};

void writeFile(const fs::path& file, std::string_view bytes);
std::string readFile(const fs::path& file);

// Resident memory of this process, with freed heap given back to the system first.
std::size_t residentBytes();
// The peak resident size since the last resetPeakResident (Linux: VmHWM after clear_refs 5).
void resetPeakResident();
std::size_t peakResidentBytes();

// The arguments with the rules of every figure added unless given: 5 repetitions interleaved at
// random with the other benchmarks, aggregates only (median, min, max among them).
std::vector<char*> withBenchDefaults(int argc, char** argv);

// Marks the benchmark failed (Google Benchmark reports it so) and makes runBenchmarks return
// non-zero: a figure that could not be made must not pass for one.
void skip(benchmark::State& state, const char* why);
// Runs the registered benchmarks (the display reporter `display`, or the one the flags ask for)
// and shuts the library down. Returns the program's exit code: 1 when any benchmark was skipped.
int runBenchmarks(benchmark::BenchmarkReporter* display = nullptr);

// Adds the smallest and the largest repetition to a benchmark's figures.
benchmark::internal::Benchmark* withMinMax(benchmark::internal::Benchmark* b);

// Takes "--name=value" out of the arguments; `fallback` when absent.
std::string takeOption(int& argc, char** argv, std::string_view name, std::string fallback);

// The data a benchmark program runs on: --data=datasheet|random (default datasheet) and
// --records=N (default 100,000), taken out of the arguments. Prints the usage of `program` and
// returns false for anything else.
struct DataChoice {
    DataKind kind = DataKind::Datasheet;
    int records = 100000;
    std::string suffix;  // "/datasheet/100000": the end of every benchmark name
};
bool takeDataChoice(int& argc, char** argv, const char* program, DataChoice& choice);

// The sort baseline: std::sort of a copy of `columns[i]` (made outside the timing), the two
// columns by turns.
void sortDoublesBaseline(benchmark::State& state, const std::vector<double> (&columns)[2]);

}  // namespace bench
