#include "base/table.h"

#include <algorithm>
#include <iterator>

namespace veltris {

const std::string& Table::cell(int row, int col) const
{
    static const std::string empty;
    if (row < 0 || row >= m_rows || col < 0 || col >= m_cols)
        return empty;
    return m_cells[static_cast<size_t>(row) * m_cols + col];
}

void Table::resize(int rows, int cols)
{
    rows = std::max(rows, 0);
    cols = std::max(cols, 0);
    if (cols == m_cols) {
        m_cells.resize(static_cast<size_t>(rows) * cols);
        m_rows = rows;
        return;
    }
    std::vector<std::string> cells(static_cast<size_t>(rows) * cols);
    const int keepRows = std::min(rows, m_rows);
    const int keepCols = std::min(cols, m_cols);
    for (int r = 0; r < keepRows; ++r) {
        auto src = m_cells.begin() + static_cast<std::ptrdiff_t>(r) * m_cols;
        std::move(src, src + keepCols, cells.begin() + static_cast<std::ptrdiff_t>(r) * cols);
    }
    m_cells = std::move(cells);
    m_rows = rows;
    m_cols = cols;
}

void Table::clearCells()
{
    for (auto& c : m_cells)
        c.clear();
}

void Table::appendRow()
{
    m_cells.resize(m_cells.size() + static_cast<size_t>(m_cols));
    ++m_rows;
}

void Table::adopt(int rows, int cols, std::vector<std::string>&& cells)
{
    assert(rows >= 0 && cols >= 0 && cells.size() == static_cast<size_t>(rows) * cols);
    m_cells = std::move(cells);
    m_rows = rows;
    m_cols = cols;
}

void Table::moveRow(int from, int to)
{
    if (from < 0 || from >= m_rows || to < 0 || to >= m_rows || from == to || m_cols == 0)
        return;
    const auto rowBegin = [&](int r) { return m_cells.begin() + static_cast<std::ptrdiff_t>(r) * m_cols; };
    if (from < to)
        std::rotate(rowBegin(from), rowBegin(from + 1), rowBegin(to + 1));
    else
        std::rotate(rowBegin(to), rowBegin(from), rowBegin(from + 1));
}

void Table::swapRows(int a, int b)
{
    if (a < 0 || a >= m_rows || b < 0 || b >= m_rows || a == b)
        return;
    std::swap_ranges(m_cells.begin() + static_cast<std::ptrdiff_t>(a) * m_cols,
                     m_cells.begin() + static_cast<std::ptrdiff_t>(a + 1) * m_cols,
                     m_cells.begin() + static_cast<std::ptrdiff_t>(b) * m_cols);
}

void Table::permuteDataRows(const std::vector<int>& order)
{
    assert(static_cast<int>(order.size()) == std::max(m_rows - 1, 0));
    if (m_rows <= 1)
        return;
    std::vector<std::string> cells;
    cells.reserve(m_cells.size());
    auto out = std::back_inserter(cells);
    std::move(m_cells.begin(), m_cells.begin() + m_cols, out);
    for (int src : order) {
        assert(src >= 1 && src < m_rows);
        auto b = m_cells.begin() + static_cast<std::ptrdiff_t>(src) * m_cols;
        std::move(b, b + m_cols, out);
    }
    m_cells = std::move(cells);
}

}  // namespace veltris
