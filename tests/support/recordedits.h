#pragma once
// Changes a user (or an import, an undo) makes to an open base, chosen by a few bytes: the save
// tests and the save fuzz target apply the same ones to a base that keeps its record image and
// to one that does not, and compare what the two saves write.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "base/componentbase.h"
#include "base/table.h"

namespace recordedits {

// Texts a cell may be given: plain numbers, decorated ones, ranges, colours, drawing numbers,
// empties and texts no cell takes.
inline const std::vector<std::string>& cellTexts()
{
    static const std::vector<std::string> texts = {
        "",      "0",        "7",      "-12,5", "(3)",    "<2,5",  "[(<2,5)]", "{-7}", "1E-5",
        "1E300", "20-90",    "(-5-5)", "RGB",   "-32768", "32767", "40000",    "abc",  "123456789012345678",
        "0,1",   "N\xC0\xFF"};
    return texts;
}

inline constexpr int kChanges = 16;

// Applies change `op` (any byte) with arguments a and b to the base.
inline void apply(veltris::ComponentBase& base, std::uint8_t op, std::uint8_t a, std::uint8_t b)
{
    veltris::Table& t = base.table;
    const int rows = t.rowCount();
    const int cols = t.columnCount();
    const int row = rows > 1 ? 1 + a % (rows - 1) : 0;
    const int col = cols > 0 ? b % cols : 0;
    switch (op % kChanges) {
    case 0: break;  // nothing changed
    case 1:
        if (row > 0)
            t.setCell(row, col, cellTexts()[(a + b) % cellTexts().size()]);
        break;
    case 2:  // a cell given the text it shows: stays unedited
        if (row > 0)
            t.setCell(row, col, t.cell(row, col));
        break;
    case 3:
        if (row > 0) {
            t.setCell(row, col, "5");
            t.revertCell(row, col);
        }
        break;
    case 4: {  // rows reversed, as a sort may leave them
        std::vector<int> order;
        for (int r = rows - 1; r >= 1; --r)
            order.push_back(r);
        t.permuteDataRows(order);
        break;
    }
    case 5:
        if (row > 0)
            t.moveRow(row, 1 + b % (rows - 1));
        break;
    case 6: t.appendRow(); break;
    case 7:  // a record deleted and put back (a delete and its undo)
        if (row > 0) {
            const std::uint32_t stored = t.detachRow(row);
            t.attachRow(1 + b % (rows - 1), stored);
        }
        break;
    case 8:
        if (row > 0)
            t.detachRow(row);
        break;
    case 9: {  // an import appended and undone, then a new row in its place
        const std::uint32_t first = t.appendRowsOf(veltris::Table(t));
        t.removeStoredRowsFrom(first > 0 && a % 2 ? first - 1 : first);
        t.appendRow();
        if (t.rowCount() > 1)
            t.setCell(t.rowCount() - 1, 0, "NEW");
        break;
    }
    case 10: t.setColumnCount(cols + (a % 2 ? 1 : -1)); break;
    case 11: base.deviceType = static_cast<std::uint16_t>(1 + a % 7); break;
    case 12: {  // a column copied from another table (the way a column moves)
        const veltris::Table copy = t;
        t.copyColumn(col, copy, (col + 1) % std::max(cols, 1));
        break;
    }
    case 13:
        if (rows > 1)
            t.moveRow(0, row);  // the title row takes part: texts move
        break;
    case 14: base.columnMap[a % base.columnMap.size()] = b; break;
    case 15: base.setDescription(cellTexts()[b % cellTexts().size()]); break;
    }
}

}  // namespace recordedits
