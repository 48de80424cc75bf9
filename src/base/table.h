#pragma once
// A grid of text cells (Windows-1251 bytes), row-major and contiguous. Row 0 holds the
// titles, column 0 the names; the class itself gives rows no meaning.
#include <cassert>
#include <string>
#include <vector>

namespace veltris {

class Table {
public:
    Table() = default;
    Table(int rows, int cols) { resize(rows, cols); }

    int rowCount() const { return m_rows; }
    int columnCount() const { return m_cols; }

    std::string& at(int row, int col) {
        assert(row >= 0 && row < m_rows && col >= 0 && col < m_cols);
        return m_cells[static_cast<size_t>(row) * m_cols + col];
    }
    const std::string& at(int row, int col) const {
        assert(row >= 0 && row < m_rows && col >= 0 && col < m_cols);
        return m_cells[static_cast<size_t>(row) * m_cols + col];
    }
    // Empty text outside the grid.
    const std::string& cell(int row, int col) const;

    // Keeps the cells that stay inside; new cells are empty.
    void resize(int rows, int cols);
    void setRowCount(int rows) { resize(rows, m_cols); }
    void setColumnCount(int cols) { resize(m_rows, cols); }
    void clearCells();  // every cell empty, size unchanged

    void appendRow();  // one empty row at the end
    // Takes over `cells`, row-major, rows * cols of them (builds a large table without
    // constructing every cell twice).
    void adopt(int rows, int cols, std::vector<std::string>&& cells);
    void reserveRows(int rows) { m_cells.reserve(static_cast<size_t>(rows) * m_cols); }
    // Cell data of row `from` goes to `to`; the rows between shift by one towards `from`.
    void moveRow(int from, int to);
    void swapRows(int a, int b);
    // Rows 1.. reordered so that new row i is old row order[i-1]; order is a permutation
    // of 1..rowCount()-1.
    void permuteDataRows(const std::vector<int>& order);

    bool operator==(const Table&) const = default;

private:
    int m_rows = 0;
    int m_cols = 0;
    std::vector<std::string> m_cells;
};

}  // namespace veltris
