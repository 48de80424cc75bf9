#pragma once
// Operations the windows run on the open base's tables.
#include <cstdint>
#include <string_view>
#include <vector>

#include "base/componentbase.h"
#include "base/result.h"
#include "base/table.h"

namespace veltris {

// Sorts data rows 1.. ascending by column `col`: column 0 by name in byte order; other
// columns by bracket rank ('(' 1, '[' 2, '{' 3, else 0), then by sqrt(|lo*hi|) of the range
// parser over the filtered text (an empty cell is 0). Keys are computed once; the sort is
// stable. Error InvalidNumber when a cell is not a number; the table is then unchanged.
// `permutation`, when given, receives what the sort did: new data row i+1 is old data row
// permutation[i]+1 (empty when the table has too few rows or no such column to sort).
Status sortTableRows(Table& table, int col, std::vector<std::uint32_t>* permutation = nullptr);

// Sort key of one cell as above (for tests and the benchmark).
struct SortKey {
    int rank = 0;
    double key = 0;
};
Result<SortKey> cellSortKey(std::string_view text);

// The ends the range parser reads from the text of a stored range cell whose ends are both
// other than kValueOther.
void storedRangeEnds(const ColumnStore& c, std::uint32_t stored, double& lo, double& hi);

// Refills the second table from the main table through the view mask: names, and for every
// second-table column j with a non-zero mask entry, title and cells of that main column.
// Columns whose entry is 0 keep their previous cells. Column count is secondColumnCount.
void rebuildSecondTable(const ComponentBase& base, Table& second);

// Stores the shown list (main-table column numbers, in second-table order) into the view mask
// and the second-table column count, and refills the second table. An empty list zeroes the
// whole mask and leaves two columns (names and one empty column).
void applyShownList(ComponentBase& base, Table& second, const std::vector<int>& shown);

// Whether column `p` is among the view mask entries in use (the first secondColumnCount-1).
bool isShownColumn(const ComponentBase& base, int p);

// Removes row r: moves it to the end, clears it and drops it. Returns false (and changes
// nothing) when r lies outside 0..rowCount-1.
bool deleteTableRow(Table& table, int r);

// Row `row` counts as the blank row of a new or empty base only when nothing is in it; a record
// without a name but with values is never taken over. Read back from a file, a blank row holds
// "0" for absent values and a blank for an empty LED colour code.
bool isBlankRecord(const Table& t, int row);

// What appending records did, so that it can be undone.
struct AppendedRecords {
    std::uint32_t firstStored = 0;
    int count = 0;
    bool tookBlankRow = false;  // the base's single blank row gave way to the records
};
// Appends the data rows of `records` (same column count as the base's table) to the base. The
// single blank row of a new base gives way to them, as it does to a record typed in.
AppendedRecords appendRecords(ComponentBase& base, const Table& records);
// Takes the records appended by `done` out again (and brings back the blank row they replaced).
void removeAppendedRecords(ComponentBase& base, const AppendedRecords& done);

}  // namespace veltris
