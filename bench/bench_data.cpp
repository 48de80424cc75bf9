#include "bench_data.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <numeric>
#include <random>
#include <tuple>

#include <fcntl.h>
#include <malloc.h>
#include <unistd.h>

#include "base/cp1251.h"

namespace bench {

namespace {

constexpr std::uint8_t kDecorations[] = {0x01, 0x02, 0x04, 0x08, 0x10};  // (), [], {}, <, >

[[noreturn]] void fail(const std::string& what)
{
    std::fprintf(stderr, "bench: %s\n", what.c_str());
    std::exit(2);
}

// m x 10^k as the double nearest to its decimal text (what a datasheet value reads back as).
double decimal(long long m, int k)
{
    const std::string text = std::to_string(m) + "e" + std::to_string(k);
    double v = 0;
    std::from_chars(text.data(), text.data() + text.size(), v);
    return v;
}

class ValueMaker {
public:
    ValueMaker(DataKind kind, std::uint64_t seed) : m_kind(kind), m_rng(seed) {}

    int percent() { return static_cast<int>(m_rng() % 100); }

    double magnitude()
    {
        if (m_kind == DataKind::Random) {
            const double mantissa = std::uniform_real_distribution<double>(1.0, 10.0)(m_rng);
            return mantissa * std::pow(10.0, static_cast<int>(m_rng() % 41) - 20);
        }
        static constexpr long long kLow[] = {1, 10, 100};
        const int digits = static_cast<int>(m_rng() % 3);
        const long long m = kLow[digits] + static_cast<long long>(m_rng() % (9 * kLow[digits]));
        return decimal(m, static_cast<int>(m_rng() % 13) - 9);  // 1E-9 .. 999E3
    }

    double value() { return percent() < 10 ? -magnitude() : magnitude(); }

    std::uint8_t decoration() { return percent() < 10 ? kDecorations[m_rng() % 5] : 0; }

    // Gain range ends, low < high.
    std::pair<double, double> range()
    {
        if (m_kind == DataKind::Random) {
            const double a = std::uniform_real_distribution<double>(1.0, 500.0)(m_rng);
            return {a, a * std::uniform_real_distribution<double>(1.5, 10.0)(m_rng)};
        }
        const long long a = 10 + static_cast<long long>(m_rng() % 290);
        return {static_cast<double>(a), static_cast<double>(a * (2 + static_cast<long long>(m_rng() % 9)))};
    }

    std::int16_t drawing() { return static_cast<std::int16_t>(1 + m_rng() % 200); }

private:
    DataKind m_kind;
    std::mt19937_64 m_rng;
};

void putSlot(char* rec, int slot, std::uint8_t flags, double v)
{
    char* s = rec + kSlotsOffset + 9 * static_cast<std::size_t>(slot);
    s[0] = static_cast<char>(flags);
    std::memcpy(s + 1, &v, sizeof v);
}

double slotValue(const char* rec, int slot)
{
    double v;
    std::memcpy(&v, rec + kSlotsOffset + 9 * static_cast<std::size_t>(slot) + 1, sizeof v);
    return v;
}

// Slot of a main-table parameter column other than the range column.
int slotOfColumn(int column)
{
    return column > kRangeColumn ? column : column - 1;
}

// The UTF-8 text of every Windows-1251 byte.
const std::array<std::string, 256>& utf8OfByte()
{
    static const std::array<std::string, 256> table = [] {
        std::array<std::string, 256> t;
        for (int b = 0; b < 256; ++b)
            t[static_cast<std::size_t>(b)] = veltris::cp1251ToUtf8(std::string(1, static_cast<char>(b)));
        return t;
    }();
    return table;
}

}  // namespace

const char* dataKindName(DataKind kind)
{
    return kind == DataKind::Datasheet ? "datasheet" : "random";
}

bool parseDataKind(std::string_view name, DataKind& kind)
{
    for (const DataKind k : {DataKind::Datasheet, DataKind::Random})
        if (name == dataKindName(k)) {
            kind = k;
            return true;
        }
    return false;
}

namespace {

const std::string kPrefixes[] = {"КТ", "2Т", "КП", "ГТ", "2N", "BC", "BD", "MJE", "TIP", "кт", "bc", "ПТ"};
const std::string kSuffixes[] = {"А", "Б", "В", "Г",  "Д",  "Е",  "Ж", "И",
                                 "A", "B", "C", "-1", "AM", "БМ", "",  "9"};
constexpr std::size_t kSeriesSize = std::size(kSuffixes);

// Component i belongs to series i / 16: one prefix and number, its own suffix. Distinct for every
// i, so the names are unique.
std::string nameOf(std::size_t i)
{
    const std::size_t series = i / kSeriesSize;
    return veltris::utf8ToCp1251(kPrefixes[series % std::size(kPrefixes)] +
                                 std::to_string(100 + series / std::size(kPrefixes)) +
                                 kSuffixes[i % kSeriesSize]);
}

// Component numbers in file order: a random order, the same for the same seed.
std::vector<std::size_t> fileOrder(std::size_t count, std::uint64_t seed)
{
    std::vector<std::size_t> order(count);
    std::iota(order.begin(), order.end(), std::size_t{0});
    std::shuffle(order.begin(), order.end(), std::mt19937_64(seed));
    return order;
}

struct Cell {
    std::uint8_t flags = 0;
    double a = 0;  // value, or the low end of the range
    double b = 0;  // high end of the range
};

// The 29 parameter cells of one component (index c-1 for column c).
using Cells = std::array<Cell, kColumns - 2>;

Cells makeCells(ValueMaker& make)
{
    Cells cells{};
    for (int c = 1; c < kColumns - 1; ++c) {
        Cell& cell = cells[static_cast<std::size_t>(c - 1)];
        if (make.percent() < 15)
            continue;  // empty: flags 0 and 0.0
        cell.flags = make.decoration();
        if (c == kRangeColumn)
            std::tie(cell.a, cell.b) = make.range();
        else
            cell.a = make.value();
    }
    return cells;
}

}  // namespace

std::vector<std::string> componentNames(std::size_t count, std::uint64_t seed)
{
    std::vector<std::string> names;
    names.reserve(count);
    for (const std::size_t i : fileOrder(count, seed))
        names.push_back(nameOf(i));
    return names;
}

std::string makeBaseBytes(DataKind kind, int records, std::uint64_t seed)
{
    std::string bytes(kLeadBytes, '\0');
    bytes[58] = 5;  // format version 5, bipolar transistors
    bytes[59] = 1;
    const std::string description = veltris::utf8ToCp1251("Сгенерированная база");
    bytes[62] = static_cast<char>(description.size());
    std::memcpy(bytes.data() + 63, description.data(), description.size());
    std::memset(bytes.data() + 167, 1, 30);  // column map
    const std::int32_t secondColumns = 31;   // names and all 30 columns
    std::memcpy(bytes.data() + 197, &secondColumns, sizeof secondColumns);
    for (int k = 0; k < 30; ++k)
        bytes[201 + static_cast<std::size_t>(k)] = static_cast<char>(k + 1);

    // A series shares its values, as the variants of one datasheet do; a variant differs in a
    // parameter now and then (2 %), so a selection around one component finds some of its series.
    const std::size_t count = static_cast<std::size_t>(records);
    std::vector<Cells> series((count + kSeriesSize - 1) / kSeriesSize);
    std::vector<std::int16_t> packages(series.size());
    ValueMaker make(kind, seed * 7919 + 17);
    for (std::size_t f = 0; f < series.size(); ++f) {
        series[f] = makeCells(make);
        packages[f] = make.drawing();
    }
    bytes.resize(kLeadBytes + kRecordBytes * count, '\0');
    const std::vector<std::size_t> order = fileOrder(count, seed);
    for (std::size_t r = 0; r < count; ++r) {
        char* rec = bytes.data() + kLeadBytes + kRecordBytes * r;
        const std::string name = nameOf(order[r]);
        rec[0] = static_cast<char>(name.size());
        std::memcpy(rec + 1, name.data(), name.size());
        Cells cells = series[order[r] / kSeriesSize];
        const Cells own = makeCells(make);
        for (std::size_t k = 0; k < cells.size(); ++k)
            if (make.percent() < 2)
                cells[k] = own[k];
        for (int c = 1; c < kColumns - 1; ++c) {
            const Cell& cell = cells[static_cast<std::size_t>(c - 1)];
            if (c == kRangeColumn) {
                putSlot(rec, 13, cell.flags, cell.a);
                putSlot(rec, 14, 0, cell.b);
            } else {
                putSlot(rec, slotOfColumn(c), cell.flags, cell.a);
            }
        }
        const std::int16_t package = packages[order[r] / kSeriesSize];
        const std::int16_t drawing = make.percent() < 5 ? make.drawing() : package;
        std::memcpy(rec + kDrawingOffset, &drawing, sizeof drawing);
    }
    return bytes;
}

std::vector<double> storedColumn(std::string_view fileBytes, int column)
{
    const int slot = column == kRangeColumn ? 13 : slotOfColumn(column);
    std::vector<double> values;
    values.reserve((fileBytes.size() - kLeadBytes) / kRecordBytes);
    for (std::size_t off = kLeadBytes; off + kRecordBytes <= fileBytes.size(); off += kRecordBytes)
        values.push_back(slotValue(fileBytes.data() + off, slot));
    return values;
}

std::size_t baselineLoad(const fs::path& file)
{
    const std::string bytes = readFile(file);
    const auto& utf8 = utf8OfByte();
    std::string text;
    text.reserve(bytes.size() * 2);
    char num[32];
    for (std::size_t off = kLeadBytes; off + kRecordBytes <= bytes.size(); off += kRecordBytes) {
        const char* rec = bytes.data() + off;
        const std::size_t nameLength = std::min<std::size_t>(static_cast<unsigned char>(rec[0]), 15);
        for (std::size_t i = 1; i <= nameLength; ++i)
            text += utf8[static_cast<unsigned char>(rec[i])];
        text += '\0';
        for (int k = 0; k < kSlots; ++k) {
            const auto r = std::to_chars(num, num + sizeof num, slotValue(rec, k));
            text.append(num, r.ptr);
            text += '\0';
        }
        std::int16_t drawing;
        std::memcpy(&drawing, rec + kDrawingOffset, sizeof drawing);
        const auto r = std::to_chars(num, num + sizeof num, drawing);
        text.append(num, r.ptr);
        text += '\0';
    }
    return text.size();
}

void baselineSave(std::string_view bytes, const fs::path& target)
{
    const fs::path temp = target.parent_path() / (target.filename().string() + ".tmp");
    const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0)
        fail("cannot create " + temp.string());
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n <= 0)
            fail("cannot write " + temp.string());
        done += static_cast<std::size_t>(n);
    }
    if (::fdatasync(fd) != 0 || ::close(fd) != 0 || std::rename(temp.c_str(), target.c_str()) != 0)
        fail("cannot finish " + target.string());
}

TempDir::TempDir()
{
    static int counter = 0;
    m_path = fs::temp_directory_path() /
             ("veltris-bench-" + std::to_string(::getpid()) + "-" + std::to_string(counter++));
    fs::create_directories(m_path);
}

TempDir::~TempDir()
{
    std::error_code ec;
    fs::remove_all(m_path, ec);
}

void writeFile(const fs::path& file, std::string_view bytes)
{
    std::FILE* f = std::fopen(file.c_str(), "wb");
    if (f == nullptr || std::fwrite(bytes.data(), 1, bytes.size(), f) != bytes.size() || std::fclose(f) != 0)
        fail("cannot write " + file.string());
}

std::string readFile(const fs::path& file)
{
    const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        fail("cannot open " + file.string());
    std::string bytes(static_cast<std::size_t>(::lseek(fd, 0, SEEK_END)), '\0');
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::pread(fd, bytes.data() + done, bytes.size() - done, static_cast<off_t>(done));
        if (n <= 0)
            fail("cannot read " + file.string());
        done += static_cast<std::size_t>(n);
    }
    ::close(fd);
    return bytes;
}

std::size_t residentBytes()
{
    ::malloc_trim(0);
    long pages = 0;
    long resident = 0;
    if (std::FILE* f = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2)
            resident = 0;
        std::fclose(f);
    }
    return static_cast<std::size_t>(resident) * static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
}

void resetPeakResident()
{
    if (std::FILE* f = std::fopen("/proc/self/clear_refs", "w")) {
        std::fputs("5", f);  // the peak starts again from the present resident size
        std::fclose(f);
    }
}

std::size_t peakResidentBytes()
{
    std::size_t kb = 0;
    if (std::FILE* f = std::fopen("/proc/self/status", "r")) {
        char line[256];
        while (std::fgets(line, sizeof line, f) != nullptr)
            if (std::sscanf(line, "VmHWM: %zu kB", &kb) == 1)
                break;
        std::fclose(f);
    }
    return kb * 1024;
}

std::vector<char*> withBenchDefaults(int argc, char** argv)
{
    static const char* const defaults[][2] = {
        {"--benchmark_repetitions", "--benchmark_repetitions=5"},
        {"--benchmark_enable_random_interleaving", "--benchmark_enable_random_interleaving=true"},
        {"--benchmark_display_aggregates_only", "--benchmark_display_aggregates_only=true"},
    };
    std::vector<char*> args(argv, argv + argc);
    for (const auto& [flag, value] : defaults) {
        const bool given =
            std::any_of(args.begin(), args.end(), [flag = std::string_view(flag)](const char* a) {
                return std::string_view(a).substr(0, flag.size()) == flag;
            });
        if (!given)
            args.push_back(const_cast<char*>(value));
    }
    args.push_back(nullptr);
    return args;
}

namespace {
std::atomic<bool> g_skipped{false};
}  // namespace

void skip(benchmark::State& state, const char* why)
{
    g_skipped = true;
    std::fprintf(stderr, "bench: %s\n", why);
    state.SkipWithError(why);
}

int runBenchmarks(benchmark::BenchmarkReporter* display)
{
    const std::size_t ran =
        display != nullptr ? benchmark::RunSpecifiedBenchmarks(display) : benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    if (ran == 0) {
        std::fprintf(stderr, "bench: no benchmark ran\n");
        return 1;
    }
    return g_skipped ? 1 : 0;
}

benchmark::internal::Benchmark* withMinMax(benchmark::internal::Benchmark* b)
{
    b->ComputeStatistics("min",
                         [](const std::vector<double>& v) { return *std::min_element(v.begin(), v.end()); });
    b->ComputeStatistics("max",
                         [](const std::vector<double>& v) { return *std::max_element(v.begin(), v.end()); });
    return b;
}

std::string takeOption(int& argc, char** argv, std::string_view name, std::string fallback)
{
    const std::string prefix = "--" + std::string(name) + "=";
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg.substr(0, prefix.size()) == prefix) {
            std::string value(arg.substr(prefix.size()));
            std::copy(argv + i + 1, argv + argc, argv + i);
            --argc;
            return value;
        }
    }
    return fallback;
}

bool takeDataChoice(int& argc, char** argv, const char* program, DataChoice& choice)
{
    const std::string data = takeOption(argc, argv, "data", "datasheet");
    choice.records = std::atoi(takeOption(argc, argv, "records", "100000").c_str());
    if (!parseDataKind(data, choice.kind) || choice.records < 2) {
        std::fprintf(stderr, "usage: %s [--data=datasheet|random] [--records=N] [benchmark flags]\n",
                     program);
        return false;
    }
    choice.suffix = "/" + data + "/" + std::to_string(choice.records);
    return true;
}

void sortDoublesBaseline(benchmark::State& state, const std::vector<double> (&columns)[2])
{
    std::size_t turn = 0;
    std::vector<double> keys;
    for (auto _ : state) {
        state.PauseTiming();
        keys = columns[turn++ % 2];
        state.ResumeTiming();
        std::sort(keys.begin(), keys.end());
        benchmark::DoNotOptimize(keys.data());
    }
}

}  // namespace bench
