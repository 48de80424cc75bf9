#pragma once
// The search page's rules: bounds from a reference value, the parametric selection over the main
// table, the second table of a selection result, and the lookup of a component by name.
// All texts are Windows-1251 bytes, as in the table cells.
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "base/componentbase.h"
#include "base/result.h"
#include "base/table.h"

namespace veltris {

// The text the selection grid shows as a reference value: the cell text, or "0" for an empty cell.
std::string referenceText(std::string_view cellText);

// Lower and upper bound texts of one selection row.
struct BoundTexts {
    std::string lower;
    std::string upper;
};

// Bounds taken from a reference value widened by the spreads p and q (percent): the range parser
// over the filtered reference gives a and b, then lower = |a| - |p*a/100| and
// upper = |b| + |q*b/100|, computed in extended precision and written as number texts.
// The drawing-number row (lastRow) copies the reference text unchanged into both bounds.
// Error: InvalidNumber when the range parser rejects the filtered reference.
Result<BoundTexts> boundsFromReference(std::string_view reference, int p, int q, bool lastRow);

struct SelectionResult {
    // Every bound converts to 0: no criteria, the caller shows the whole base instead.
    bool noCriteria = false;
    // Main-table rows of the selected components, in table order.
    std::vector<int> rows;
};

// Runs the parametric selection. bounds[i-1] holds the bound texts of parameter row i, which
// tests main-table column i (a column outside the table reads as an empty cell).
// A row counts when both of its texts are non-empty and both convert, through "0" + numeric
// filter, to a non-zero value; a component passes when at least one row counts and, for every
// counting row, the absolute ends a and b of its cell's range satisfy lo <= a and b <= hi.
// A component is rejected at its first failing row; later cells of it are not read.
// Error: InvalidNumber for the first bound or cell text that fails to convert, in the order the
// rows and components are visited; nothing is returned then, so the caller changes nothing.
Result<SelectionResult> selectComponents(const Table& main, std::span<const BoundTexts> bounds);

// Fills the second table with the selected rows of the main table: the header row stays, each
// selected component becomes one row with its name in column 0 and, in column j, the main-table
// cell of the column that view mask entry j names (entry 0: empty). No selected row gives one
// empty data row. The column count stays (at least 1).
void fillSelectionTable(const ComponentBase& base, Table& second, std::span<const int> rows);

// The first row r >= 1 whose name (column 0) equals `name` byte for byte; -1 if none.
int findComponentRow(const Table& main, std::string_view name);

}  // namespace veltris
