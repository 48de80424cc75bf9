#pragma once
// The semicolon-separated export of the main table: every cell followed by ';', a cell "0"
// written empty, CR LF after every line, no quoting, Windows-1251 bytes. A text cell of a record
// (the name in column 0, the colour code in `colourColumn`) that a spreadsheet would run as a
// formula gets an apostrophe before it (see needsFormulaGuard).
#include <filesystem>
#include <string>

#include "base/result.h"
#include "base/table.h"

namespace veltris {

std::string csvBytes(const Table& table, int colourColumn = -1);
// All or nothing; the error message is "Ошибка записи в файл".
Status writeCsv(const Table& table, const std::filesystem::path& path, int colourColumn = -1);
// The colour column of a base of `deviceType` (-1: none), for the two above.
int csvColourColumn(int deviceType);

}  // namespace veltris
