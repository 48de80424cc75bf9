#include "base/tableops.h"

#include <algorithm>
#include <cmath>
#include <numeric>
#include <string_view>

#include "base/valuetext.h"

namespace veltris {

namespace {

int bracketRank(const std::string& text)
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

Result<SortKey> cellSortKey(const std::string& text)
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

Status sortTableRows(Table& table, int col)
{
    const int rows = table.rowCount();
    if (rows <= 2 || col < 0 || col >= table.columnCount())
        return {};
    std::vector<int> order(static_cast<size_t>(rows - 1));
    std::iota(order.begin(), order.end(), 1);

    if (col == 0) {
        // std::string compares bytes as unsigned char: the code-page order.
        std::stable_sort(order.begin(), order.end(), [&table](int a, int b) {
            return table.at(a, 0) < table.at(b, 0);
        });
    } else {
        // Keys first, so a bad cell stops the sort before anything moves.
        std::vector<SortKey> keys(static_cast<size_t>(rows));
        for (int r = 1; r < rows; ++r) {
            auto k = cellSortKey(table.at(r, col));
            if (!k)
                return k.error();
            // A NaN would break the ordering; count it above every number.
            if (std::isnan(k->key))
                k->key = INFINITY;
            keys[static_cast<size_t>(r)] = *k;
        }
        std::stable_sort(order.begin(), order.end(), [&keys](int a, int b) {
            const SortKey& ka = keys[static_cast<size_t>(a)];
            const SortKey& kb = keys[static_cast<size_t>(b)];
            if (ka.rank != kb.rank)
                return ka.rank < kb.rank;
            return ka.key < kb.key;
        });
    }
    table.permuteDataRows(order);
    return {};
}

void rebuildSecondTable(const ComponentBase& base, Table& second)
{
    const Table& main = base.table;
    const int rows = main.rowCount();
    const int cols = secondColumns(base);
    second.resize(rows, cols);
    for (int r = 1; r < rows; ++r)
        second.at(r, 0) = main.at(r, 0);
    for (int j = 1; j < cols; ++j) {
        const int k = base.viewMask[static_cast<size_t>(j - 1)];
        if (k == 0)
            continue;
        // cell() is empty outside the main table: a mask entry past its columns shows nothing.
        for (int r = 0; r < rows; ++r)
            second.at(r, j) = main.cell(r, k);
    }
}

void applyShownList(ComponentBase& base, Table& second, const std::vector<int>& shown)
{
    const Table& main = base.table;
    const int rows = main.rowCount();
    const int k = std::min<int>(static_cast<int>(shown.size()), kMaxParamColumns);
    second.resize(rows, k + 1);
    for (int r = 1; r < rows; ++r)
        second.at(r, 0) = main.at(r, 0);
    for (int i = 1; i <= k; ++i) {
        const int p = shown[static_cast<size_t>(i - 1)];
        base.viewMask[static_cast<size_t>(i - 1)] = static_cast<std::uint8_t>(p);
        for (int r = 0; r < rows; ++r)
            second.at(r, i) = main.cell(r, p);
    }
    if (k == 0) {
        base.viewMask.fill(0);
        second.resize(rows, 2);  // names and one empty column
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

}  // namespace veltris
