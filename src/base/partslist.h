#pragma once
// A parts list (перечень элементов, a bill of materials) read from a sheet: its title row and
// the columns of the designators, the name, the quantity and the note, and the part lines. Group
// rows («Транзисторы», «Диоды») and rows that carry on the text of the row above are no lines.
#include <optional>
#include <string>
#include <vector>

#include "base/result.h"
#include "base/sheet.h"

namespace veltris {

// Where the list's parts are. Columns and the title row are indexes (from 0) into the sheet's
// cells and rows; -1 none.
struct PartsColumns {
    int titleRow = -1;
    int designator = -1;
    int name = -1;
    int quantity = -1;
    int note = -1;
};

// How many roles (designator, name, quantity, note) the texts of one row name as column titles:
// «Поз. обозначение», «Наименование», «Кол.», «Примечание» and their usual other spellings,
// Russian and English (letter case, blanks, dots and hyphens do not matter).
int partsTitleRoles(const std::vector<std::string>& cells);

// Finds the title row among the first rows (the first row naming the name column and most other
// roles) and its columns. Without one: a sheet of one column is a plain list of names; otherwise
// the columns are told from their contents (designators, whole numbers, the longest texts with
// letters and digits).
PartsColumns findPartsColumns(const Sheet& sheet);

struct PartsLine {
    int line = 0;             // row of the file, from 1
    std::string designators;  // as written
    int designatorCount = 0;  // parts the designators name
    std::string quantityText;
    std::optional<int> quantity;  // the quantity cell's whole number, or the designators' count
    std::string text;             // the name cell
    std::string note;
};

struct PartsList {
    PartsColumns columns;
    std::vector<std::string> titles;  // of the title row, empty without one
    std::vector<PartsLine> lines;
    std::vector<int> skippedRows;  // rows of the file left out: group rows and carried-on texts
};

// The part lines of the sheet with the columns given. A row is a part line when its name cell
// holds text and, in a list with designators or quantities, at least one of them is given;
// in a list of names alone, when the text holds a digit (a part's name always does, a group's
// title does not). Error (Generic): no name column.
Result<PartsList> readPartsList(const Sheet& sheet, const PartsColumns& columns);

}  // namespace veltris
