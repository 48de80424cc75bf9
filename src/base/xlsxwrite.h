#pragma once
// A table written as an XLSX workbook through libxlsxwriter: one sheet, the titles in bold in
// the first row, a cell that is a plain number as a number and every other cell as text, the
// title row and the table's frozen columns kept in view.
#include <filesystem>
#include <string>
#include <string_view>

#include "base/result.h"
#include "base/resulttable.h"

namespace veltris {

// The workbook's bytes. Error (WriteFailed) with the library's reason when it cannot be made.
Result<std::string> xlsxBytes(const ResultTable& table, std::string_view sheetName);

// Writes the workbook to `path` whole or not at all (writeFileAtomic).
Status writeXlsx(const std::filesystem::path& path, const ResultTable& table, std::string_view sheetName);

}  // namespace veltris
