#pragma once
// A table of texts read from a file people exchange: a CSV or TSV file in any dialect the CSV
// import reads, a plain text with one entry a line, or a sheet of a workbook. Cells are UTF-8.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "base/result.h"

namespace veltris {

struct SheetRow {
    int line = 0;  // the line (row) of the file it starts on, from 1
    std::vector<std::string> cells;
    // Per cell, 1 where a workbook stored a number (its text then has a decimal point); empty
    // for a text file.
    std::vector<std::uint8_t> numbers;
};

struct Sheet {
    std::vector<SheetRow> rows;
    std::string dialect;  // UTF-8, for the user: "UTF-8, разделитель «;»", "текст, одно имя в строке"
};

// Recognised titles of the columns a reader looks for, for judging a separator: how many
// different roles the best of the first rows names. 0 when none.
using TitleRoles = int (*)(const std::vector<std::string>& cells);

// Reads a delimited text or a plain list. The encoding is that of detectCsvEncoding. The
// separator (';', ',' or a tab) is the one whose first rows `roles` judges best; with no title
// recognised, a tab or ';' that splits most lines alike, or a ',' that splits at least four of
// five lines into the same number of fields; otherwise every line is one cell (a plain list).
// Empty lines are left out. Error (Generic): nothing but blanks in the text.
Result<Sheet> readTextSheet(std::string_view bytes, TitleRoles roles);

// The same with a separator given ('\n' for a plain list: every line one cell).
Result<Sheet> readTextSheet(std::string_view bytes, char separator);

}  // namespace veltris
