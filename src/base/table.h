#pragma once
// A grid of cells whose texts are Windows-1251 bytes. Row 0 holds the titles, column 0 the
// names; the class itself gives rows no meaning.
//
// A column either holds texts, or keeps the stored form of a base file's cells (flags and
// value(s), drawing number) and makes each cell's text when asked. A stored cell that is given a
// different text holds that text from then on (an edited cell). Data rows are an order over the
// stored rows: moving, sorting and deleting rows change the order, never the cells.
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "base/valuetext.h"

namespace veltris {

enum class CellKind : std::uint8_t {
    Text,     // the text itself
    Value,    // flags + double: flaggedValueText
    Range,    // flags + two doubles: rangeValueText
    V3Range,  // two doubles, version-3 rules: v3RangeText
    Drawing,  // int16 drawing number
};

// How a stored double relates to the number its text reads back as.
enum ValueClass : std::uint8_t {
    kValueZero = 0,     // +0 or -0: the text is "0"
    kValueExact = 1,    // finite and normal, shortest form within 15 digits: reads back unchanged
    kValueOther = 2,    // subnormal, near the ends of the range, non-finite: take the text path
    kValueRounded = 3,  // 1E-300 <= |v| <= 1E300 with more than 15 digits: reads back as roundTo15Digits(v)
};
ValueClass classifyValue(double v);

// The number the text of a stored value of class `cls` reads back as (not for kValueOther).
inline double readBack(double v, std::uint8_t cls)
{
    return cls == kValueZero ? 0.0 : cls == kValueExact ? v : roundTo15Digits(v);
}

// The stored form of one column, indexed by stored row.
struct ColumnStore {
    CellKind kind = CellKind::Text;
    std::vector<std::string> texts;     // Text; rows past its end are empty texts
    std::vector<std::uint8_t> flags;    // Value, Range: flags as loaded
    std::vector<std::uint8_t> classes;  // Value: ValueClass of a; Range: a | b << 2
    std::vector<double> a;              // Value, Range, V3Range
    std::vector<double> b;              // Range, V3Range
    std::vector<std::int16_t> drawing;  // Drawing

    // The text of stored row s of a Text column.
    const std::string& text(std::size_t s) const
    {
        static const std::string empty;
        return s < texts.size() ? texts[s] : empty;
    }
    // Makes room for `rows` stored rows; a Text column grows only when a text is set.
    void resize(std::size_t rows);
};

// The records of a base file as the reader found them, each rewritten in place into the bytes a
// save writes for it while nobody changes its cells: a save copies such a record instead of
// encoding its cells again.
struct RecordImage {
    std::string bytes;       // the file as read, its records rewritten
    std::size_t offset = 0;  // where record 0 starts
    std::size_t size = 0;    // bytes of a record
    std::size_t count = 0;   // records: stored rows 0..count-1
    int layout = 0;          // the device type whose record layout they follow

    const char* record(std::size_t stored) const { return bytes.data() + offset + stored * size; }
};

class Table {
public:
    Table() = default;
    Table(int rows, int cols) { resize(rows, cols); }

    int rowCount() const { return m_rows; }
    int columnCount() const { return m_cols; }

    // The text of a cell; empty outside the grid.
    std::string cell(int row, int col) const;
    // Appends the text of a cell inside the grid to `out`.
    void appendCell(int row, int col, std::string& out) const;
    // Sets a cell's text; no effect outside the grid. A stored cell given the text it already
    // shows stays unedited.
    void setCell(int row, int col, std::string_view text);

    // Keeps the cells that stay inside; new cells are empty texts.
    void resize(int rows, int cols);
    void setRowCount(int rows) { resize(rows, m_cols); }
    void setColumnCount(int cols) { resize(m_rows, cols); }
    void clearCells();  // every cell an empty text, size unchanged

    void appendRow();  // one empty row at the end
    // Row `from` goes to `to`; the rows between shift by one towards `from`.
    void moveRow(int from, int to);
    // Rows 1.. reordered so that new row i is old row order[i-1]; order is a permutation
    // of 1..rowCount()-1.
    void permuteDataRows(const std::vector<int>& order);
    // The same with 0-based data-row indices: new data row i+1 is old data row order[i]+1.
    void permuteStoredOrder(std::span<const std::uint32_t> order);

    // Data row `row` (1..rowCount()-1) leaves the table and the rows after it move up by one.
    // Its stored row keeps its cells, edits included, so attachRow can bring the record back
    // exactly as it was. Returns that stored row.
    std::uint32_t detachRow(int row);
    // Stored row `stored`, one that detachRow took out, becomes data row `row`
    // (1..rowCount()); the rows from `row` on move down by one.
    void attachRow(int row, std::uint32_t stored);
    // A stored cell given a text shows its stored form again; any other cell stays as it is.
    void revertCell(int row, int col);

    // Column `dstCol` of data rows 1.. takes the cells of `src` column `srcCol`: row i from src
    // data row srcRows[i-1], or src row i when srcRows is empty. Stored cells stay stored.
    // The title is not changed. Rows beyond the source give empty texts. After viewRows(src,
    // ..., srcRows) the column's stored form is shared with `src`, not copied; only the cells
    // edited in `src` are copied.
    void copyColumn(int dstCol, const Table& src, int srcCol, std::span<const int> srcRows = {});

    // Makes data rows 1.. show the stored rows of `src` data rows srcRows (all of src's data
    // rows when srcRows is empty), so that copyColumn from `src` shares columns instead of
    // copying them. Every entry of srcRows must lie in 1..src.rowCount()-1. The table gets
    // `cols` columns; titles stay. Columns listed in `keep` keep the texts their rows showed
    // (rows past the old end are empty); every other data cell is an empty text.
    void viewRows(const Table& src, int cols, std::span<const int> srcRows, std::span<const int> keep);

    // Appends the data rows of `src` (in its row order) as new rows at the end; `src` must have
    // the same column count. A column of the same kind takes the stored form as it is; any other
    // column takes the cell texts. Returns the stored row of the first new row.
    std::uint32_t appendRowsOf(const Table& src);
    // Drops every data row whose stored row is `first` or later, and those stored rows with them
    // (the undoing of appendRowsOf, whatever order the rows were moved into since).
    void removeStoredRowsFrom(std::uint32_t first);

    // Whether column `col` shares its stored form with column `otherCol` of `other`.
    bool sharesColumn(int col, const Table& other, int otherCol) const
    {
        return m_columns[static_cast<std::size_t>(col)] ==
               other.m_columns[static_cast<std::size_t>(otherCol)];
    }

    // Same size and the same text in every cell.
    bool operator==(const Table& other) const;

    // ---- the stored form, for the core's file, sort and selection code ----

    // A table of `rows` rows (titles included) whose columns are `columns`, each holding
    // rows - 1 stored rows in data-row order.
    static Table fromColumns(int rows, std::vector<ColumnStore>&& columns);
    const ColumnStore& column(int col) const { return *m_columns[static_cast<std::size_t>(col)]; }
    // How many stored rows the columns hold (data rows and rows detached from the order).
    std::size_t storedRowCount() const { return m_stored; }
    // Stored rows of data rows 1.. in order.
    std::span<const std::uint32_t> order() const { return m_order; }
    // Stored row of data row `row` (1..rowCount()-1).
    std::uint32_t storedRow(int row) const { return m_order[static_cast<std::size_t>(row - 1)]; }
    // The text an edited cell holds, or nullptr for a cell that shows its stored form.
    const std::string* editedText(std::uint32_t stored, int col) const;
    // Whether any cell of a stored row was edited (cheap; false for most rows).
    bool rowEdited(std::uint32_t stored) const
    {
        return stored < m_editSlot.size() && m_editSlot[stored] >= 0;
    }
    // Whether any stored cell was ever edited.
    bool anyEdited() const { return !m_edits.empty(); }
    // Text of a stored cell from its stored form (the edit, if any, not looked at).
    std::string storedText(std::uint32_t stored, int col) const;

    // The records the stored rows 0..image->count-1 were read from (see RecordImage). Every row
    // starts as imaged; any change of a row's cells takes it out, a change of the columns
    // themselves (count, kinds, a column copied in) drops the image.
    void setRecordImage(std::shared_ptr<const RecordImage> image);
    const RecordImage* recordImage() const { return m_image.get(); }
    // The image's record of a stored row that still shows what it was read with; else nullptr.
    const char* imagedRecord(std::uint32_t stored) const
    {
        return stored < m_imaged.size() && m_imaged[stored] != 0 ? m_image->record(stored) : nullptr;
    }

private:
    struct EditedRow {
        std::uint32_t mask = 0;          // bit c: column c holds its text
        std::vector<std::string> texts;  // one per column
    };

    void setEdited(std::uint32_t stored, int col, std::string_view text);
    void rowChanged(std::uint32_t stored)
    {
        if (stored < m_imaged.size())
            m_imaged[stored] = 0;
    }
    void dropImage()
    {
        m_image.reset();
        std::vector<std::uint8_t>().swap(m_imaged);
    }
    std::uint32_t appendStoredRow();
    // The column for changing: a column shared with another table is copied first.
    ColumnStore& writableColumn(int col);
    // Whether data rows 1.. are the stored rows of src's rows srcRows (see copyColumn).
    bool viewsRowsOf(const Table& src, std::span<const int> srcRows) const;

    int m_rows = 0;
    int m_cols = 0;
    std::vector<std::string> m_titles;
    // Columns are shared between tables (the second table views the main table's columns);
    // a table copies a shared column before it changes it.
    std::vector<std::shared_ptr<ColumnStore>> m_columns;
    std::size_t m_stored = 0;              // stored rows in every column
    std::vector<std::uint32_t> m_order;    // data row r is stored row m_order[r-1]
    std::vector<std::int32_t> m_editSlot;  // stored row -> index into m_edits, -1 none
    std::vector<EditedRow> m_edits;
    std::shared_ptr<const RecordImage> m_image;
    std::vector<std::uint8_t> m_imaged;  // stored row -> 1 while its record in m_image holds
};

}  // namespace veltris
