#pragma once
// A workbook's sheet as the CSV text the import reads: the import then checks its cells as it
// checks a CSV file's, and names a bad cell by the sheet's row and the column's title.
#include <string>
#include <string_view>

#include "base/result.h"

namespace veltris {

// The sheet (name or number from 1; empty: the first) as UTF-8 CSV with ';' between fields,
// each sheet row on the line of its number (empty lines stand for empty rows). A cell stored as
// a number is written with the decimal comma; a text cell as it is. Errors: those of
// readWorkbookSheet.
Result<std::string> workbookAsCsv(std::string_view bytes, std::string_view sheet = {});

}  // namespace veltris
