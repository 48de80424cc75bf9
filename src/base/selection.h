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

// Lower and upper bound texts of one selection row, in UTF-8 as typed.
struct BoundTexts {
    std::string lower;
    std::string upper;
};

// The bounds of one row as read: at least `lo` where hasLo, at most `hi` where hasHi.
struct BoundPair {
    bool hasLo = false;
    bool hasHi = false;
    double lo = 0;
    double hi = 0;
};

// Reads the bound texts of a row whose column is titled `titleCp1251`, each with the typed-value
// reader in the column's unit ("40к", "1,5 А"). A text that reads as 0 (or is empty) is no bound.
// A plain number is the bound of its own side; "<x" (or "≤x") is at most x and ">x" (or "≥x")
// at least x, whichever text holds it, so a row with only its lower text filled is "at least".
// Bounds compare with absolute values, as the cells do.
// Error: InvalidNumber, naming the column by its title, the text and what was not understood.
// A column without a title is named by its number `column`.
Result<BoundPair> readBoundPair(const BoundTexts& texts, std::string_view titleCp1251, int column);

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
// tests main-table column i (a column outside the table reads as an empty cell). Every bound is
// read first (readBoundPair, the unit from the column's title in row 0); a row with a bound
// counts, and a component passes when at least one row counts and, for every counting row, the
// absolute ends a and b of its cell's range satisfy lo <= a and b <= hi for the bounds it has.
// Error: InvalidNumber for the first bound that does not read, or the first cell text that
// fails the range parser, in the order rows and components are visited; nothing is returned then.
Result<SelectionResult> selectComponents(const Table& main, std::span<const BoundTexts> bounds);

// Fills the second table with the selected rows of the main table: the header row stays, each
// selected component becomes one row with its name in column 0 and, in column j, the main-table
// cell of the column that view mask entry j names (entry 0: empty). No selected row gives one
// empty data row. The column count stays (at least 1).
void fillSelectionTable(const ComponentBase& base, Table& second, std::span<const int> rows);

// The first row r >= 1 whose name (column 0) equals `name` byte for byte; -1 if none.
int findComponentRow(const Table& main, std::string_view name);

}  // namespace veltris
