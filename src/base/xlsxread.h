#pragma once
// A sheet of an XLSX workbook read into texts: the zip container through minizip, its XML parts
// through expat. Shared strings, inline strings, numbers (as their shortest text), booleans and
// formulas' cached values; dates stay the numbers they are stored as.
#include <string>
#include <string_view>
#include <vector>

#include "base/result.h"
#include "base/sheet.h"

namespace veltris {

// The names of the workbook's sheets, in order. Error (Generic): not a workbook that reads.
Result<std::vector<std::string>> workbookSheetNames(std::string_view bytes);

// The sheet named `sheet` (its name, or its number from 1; empty: the first). Rows keep their
// row numbers as lines; empty rows are left out, and cells of a row fill its columns from A
// (an empty cell between is an empty text). Errors (Generic, Russian): not a zip, no workbook
// part, no such sheet, a damaged part (naming it), a sheet larger than `maxCells` cells.
Result<Sheet> readWorkbookSheet(std::string_view bytes, std::string_view sheet = {},
                                std::size_t maxCells = std::size_t{50} << 20);

// Whether the bytes start like a zip container (an XLSX workbook is one).
bool looksLikeWorkbook(std::string_view bytes);

}  // namespace veltris
