#include "base/tableops.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstdint>
#include <numeric>
#include <string>
#include <string_view>

#include "base/cp1251.h"
#include "base/hugepages.h"
#include "base/valuetext.h"

namespace veltris {

namespace {

int bracketRank(std::string_view text)
{
    if (text.empty())
        return 0;
    switch (text.front()) {
    case '(': return 1;
    case '[': return 2;
    case '{': return 3;
    default: return 0;
    }
}

// Usable second-table column count: the stored value may come from a damaged file.
int secondColumns(const ComponentBase& base)
{
    return std::clamp<std::int32_t>(base.secondColumnCount, 1, kMaxParamColumns + 1);
}

}  // namespace

Result<SortKey> cellSortKey(std::string_view text)
{
    SortKey key;
    key.rank = bracketRank(text);
    if (text.empty())
        return key;
    const auto range = parseRange(numericFilter(text));
    if (!range)
        return range.error();
    key.key = std::sqrt(std::fabs(range->a * range->b));
    return key;
}

namespace {

int rankOfFlags(std::uint8_t flags)
{
    // The outermost decoration is the first character of the text.
    if (flags & kFlagBrace)
        return 3;
    if (flags & kFlagBracket)
        return 2;
    if (flags & kFlagParen)
        return 1;
    return 0;
}

// The key a stored cell's text would give, from the stored form; false where only the text
// rules can tell (the caller then reads the text).
bool storedSortKey(const ColumnStore& c, std::uint32_t s, SortKey& key)
{
    switch (c.kind) {
    case CellKind::Value: {
        const std::uint8_t cls = c.classes[s];
        if (cls == kValueZero) {
            key = {};
            return true;
        }
        if (cls == kValueOther)
            return false;
        // "v" reads back as v..v, "-v" as -v..v.
        const double v = readBack(c.a[s], cls);
        key.rank = rankOfFlags(c.flags[s]);
        key.key = std::sqrt(std::fabs(v * std::fabs(v)));
        return true;
    }
    case CellKind::Range: {
        const std::uint8_t cls = c.classes[s];
        if ((cls & 0x3) == kValueOther || (cls >> 2) == kValueOther)
            return false;
        double lo = 0;
        double hi = 0;
        storedRangeEnds(c, s, lo, hi);
        key.rank = rankOfFlags(c.flags[s]);
        key.key = std::sqrt(std::fabs(lo * hi));
        return true;
    }
    case CellKind::Drawing: {
        const double n = c.drawing[s];
        key.rank = 0;
        key.key = std::sqrt(std::fabs(n * std::fabs(n)));
        return true;
    }
    default: return false;
    }
}

template <class T>
std::vector<T> bigVector(std::size_t n)
{
    std::vector<T> v;
    v.reserve(n);
    adviseHugePages(v.data(), n * sizeof(T));
    v.resize(n);
    return v;
}

// Stable order (0-based indices) by rank first, then by the key bits: a radix sort over the
// bits, whose order matches the numbers' for non-negative doubles and +INF.
std::vector<std::uint32_t> sortedOrder(std::vector<std::uint64_t>& bits,
                                       const std::vector<std::uint8_t>& ranks)
{
    const std::size_t n = bits.size();
    auto idx = bigVector<std::uint32_t>(n);
    for (std::size_t i = 0; i < n; ++i)
        idx[i] = static_cast<std::uint32_t>(i);
    auto bits2 = bigVector<std::uint64_t>(n);
    auto idx2 = bigVector<std::uint32_t>(n);
    const auto pass = [&](auto digitOf) {
        std::array<std::size_t, 257> count{};
        for (std::size_t i = 0; i < n; ++i)
            ++count[digitOf(i) + 1];
        for (std::size_t d = 0; d < 256; ++d)
            if (count[d + 1] == n)
                return;  // every item has this digit: the order stands
        for (std::size_t d = 0; d < 256; ++d)
            count[d + 1] += count[d];
        for (std::size_t i = 0; i < n; ++i) {
            const std::size_t at = count[digitOf(i)]++;
            bits2[at] = bits[i];
            idx2[at] = idx[i];
        }
        bits.swap(bits2);
        idx.swap(idx2);
    };
    for (int shift = 0; shift < 64; shift += 8)
        pass([&](std::size_t i) { return static_cast<std::size_t>((bits[i] >> shift) & 0xFF); });
    pass([&](std::size_t i) { return static_cast<std::size_t>(ranks[idx[i]]); });
    return idx;
}

}  // namespace

void storedRangeEnds(const ColumnStore& c, std::uint32_t s, double& lo, double& hi)
{
    // The text shows one end when the ends agree: "x" reads back as x..x, "-x" as -x..x.
    const double a = readBack(c.a[s], c.classes[s] & 0x3);
    const double b = readBack(c.b[s], c.classes[s] >> 2);
    lo = a;
    hi = std::fabs(c.a[s] - c.b[s]) <= 0.0001 ? std::fabs(a) : b;
}

Status sortTableRows(Table& table, int col, std::vector<std::uint32_t>* permutation)
{
    if (permutation)
        permutation->clear();
    const int rows = table.rowCount();
    if (rows <= 2 || col < 0 || col >= table.columnCount())
        return {};
    const ColumnStore& c = table.column(col);

    if (col == 0) {
        std::vector<int> order(static_cast<size_t>(rows - 1));
        std::iota(order.begin(), order.end(), 1);
        std::vector<std::string> names;
        const auto stored = [&](int r) { return table.storedRow(r); };
        if (c.kind != CellKind::Text) {
            names.resize(static_cast<size_t>(rows));
            for (int r = 1; r < rows; ++r)
                names[static_cast<size_t>(r)] = table.cell(r, 0);
            // std::string compares bytes as unsigned char: the code-page order.
            std::stable_sort(order.begin(), order.end(), [&names](int a, int b) {
                return names[static_cast<size_t>(a)] < names[static_cast<size_t>(b)];
            });
        } else {
            std::stable_sort(order.begin(), order.end(),
                             [&](int a, int b) { return c.text(stored(a)) < c.text(stored(b)); });
        }
        table.permuteDataRows(order);
        if (permutation) {
            permutation->resize(order.size());
            for (std::size_t i = 0; i < order.size(); ++i)
                (*permutation)[i] = static_cast<std::uint32_t>(order[i] - 1);
        }
        return {};
    }

    // Keys first, so a bad cell stops the sort before anything moves.
    const std::size_t n = static_cast<size_t>(rows - 1);
    auto bits = bigVector<std::uint64_t>(n);
    std::vector<std::uint8_t> ranks(n);
    for (int r = 1; r < rows; ++r) {
        const std::uint32_t s = table.storedRow(r);
        SortKey key;
        const bool edited = table.rowEdited(s) && table.editedText(s, col) != nullptr;
        if (edited || !storedSortKey(c, s, key)) {
            auto k = cellSortKey(c.kind == CellKind::Text ? c.text(s) : table.cell(r, col));
            if (!k) {
                // Name the column, so that the cell can be found.
                Error e = k.error();
                std::string title = cp1251ToUtf8(table.cell(0, col));
                for (char& ch : title)
                    ch = ch == '|' ? ' ' : ch;
                e.message = (title.empty() ? "Столбец " + std::to_string(col) : "Столбец «" + title + "»") +
                            ": " + e.message;
                return e;
            }
            key = *k;
        }
        // A NaN would break the ordering; count it above every number.
        if (std::isnan(key.key))
            key.key = INFINITY;
        bits[static_cast<size_t>(r - 1)] = std::bit_cast<std::uint64_t>(key.key);
        ranks[static_cast<size_t>(r - 1)] = static_cast<std::uint8_t>(key.rank);
    }
    std::vector<std::uint32_t> order = sortedOrder(bits, ranks);
    table.permuteStoredOrder(order);
    if (permutation)
        *permutation = std::move(order);
    return {};
}

void rebuildSecondTable(const ComponentBase& base, Table& second)
{
    const Table& main = base.table;
    const int rows = main.rowCount();
    const int cols = secondColumns(base);
    if (rows == 0) {
        second.resize(rows, cols);
        return;
    }
    // The second table views the main table's rows; its columns share the main table's.
    std::vector<int> keep;
    for (int j = 1; j < cols; ++j)
        if (base.viewMask[static_cast<size_t>(j - 1)] == 0)
            keep.push_back(j);
    second.viewRows(main, cols, {}, keep);
    second.copyColumn(0, main, 0);
    for (int j = 1; j < cols; ++j) {
        const int k = base.viewMask[static_cast<size_t>(j - 1)];
        if (k == 0)
            continue;
        // A mask entry past the main table's columns shows nothing.
        second.setCell(0, j, main.cell(0, k));
        second.copyColumn(j, main, k);
    }
}

void applyShownList(ComponentBase& base, Table& second, const std::vector<int>& shown)
{
    const Table& main = base.table;
    const int rows = main.rowCount();
    const int k = std::min<int>(static_cast<int>(shown.size()), kMaxParamColumns);
    if (rows > 0) {
        second.viewRows(main, k + 1, {}, {});
        second.copyColumn(0, main, 0);
    } else {
        second.resize(rows, k + 1);
    }
    for (int i = 1; i <= k; ++i) {
        const int p = shown[static_cast<size_t>(i - 1)];
        base.viewMask[static_cast<size_t>(i - 1)] = static_cast<std::uint8_t>(p);
        second.setCell(0, i, main.cell(0, p));
        second.copyColumn(i, main, p);
    }
    if (k == 0) {
        base.viewMask.fill(0);
        second.resize(rows, 2);  // names and one empty column
        second.copyColumn(1, main, -1);
        second.setCell(0, 1, {});
        base.secondColumnCount = 2;
    } else {
        base.secondColumnCount = k + 1;
    }
}

bool isShownColumn(const ComponentBase& base, int p)
{
    const int used = secondColumns(base) - 1;
    for (int i = 0; i < used; ++i)
        if (base.viewMask[static_cast<size_t>(i)] == p)
            return true;
    return false;
}

bool deleteTableRow(Table& table, int r)
{
    const int rows = table.rowCount();
    if (r < 0 || rows == 0 || r >= rows)
        return false;
    table.moveRow(r, rows - 1);
    table.setRowCount(rows - 1);
    return true;
}

bool isBlankRecord(const Table& t, int row)
{
    if (!t.cell(row, 0).empty())
        return false;
    for (int c = 1; c < t.columnCount(); ++c) {
        const std::string text = t.cell(row, c);
        if (text != "0" && text.find_first_not_of(' ') != std::string::npos)
            return false;
    }
    return true;
}

AppendedRecords appendRecords(ComponentBase& base, const Table& records)
{
    Table& t = base.table;
    AppendedRecords done;
    done.count = records.rowCount() - 1;
    done.tookBlankRow = t.rowCount() == 2 && isBlankRecord(t, 1) && done.count > 0;
    done.firstStored = t.appendRowsOf(records);
    if (done.tookBlankRow)
        deleteTableRow(t, 1);
    return done;
}

void removeAppendedRecords(ComponentBase& base, const AppendedRecords& done)
{
    base.table.removeStoredRowsFrom(done.firstStored);
    if (done.tookBlankRow && base.table.rowCount() == 1)
        base.table.setRowCount(2);
}

}  // namespace veltris
