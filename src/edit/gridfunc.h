#pragma once
// Row helpers for any string grid: a core table, optionally with the view that shows it.
// Only cell data moves; the caller's current row and scroll position are left alone.
class ComponentGridView;
class UiServices;

namespace veltris {
class Table;
}

namespace GridFunc {

// Cell data of row `from` goes to position `to`; the rows between shift by one towards the old
// place of `from`. The row count stays. Indices outside the table change nothing. The view,
// if given, is repainted.
void moveRow(veltris::Table& table, int from, int to, ComponentGridView* view = nullptr);

// Removes row `row`: moves it to the end, clears it and drops the last row. An index outside
// 0..rowCount-1 (or a table without rows) beeps and changes nothing; returns false then.
// The header row is not protected: callers pass data rows.
bool deleteRow(veltris::Table& table, int row, UiServices& ui, ComponentGridView* view = nullptr);

}  // namespace GridFunc
