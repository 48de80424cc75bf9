#pragma once
// The main table as a workbook's sheet: the same cells as the CSV export, a cell that is a
// plain number («0,25», «-5») stored as a number and every decorated text («<0,5», «(10)»,
// «10-20», names) as text; the titles with their units on two lines where the base breaks them;
// the name column kept in view.
#include <filesystem>
#include <string>

#include "base/result.h"
#include "base/resulttable.h"
#include "base/table.h"

namespace veltris {

ResultTable tableForWorkbook(const Table& table);

// All or nothing; the error message is "Ошибка записи в файл".
Status writeTableXlsx(const Table& table, const std::filesystem::path& path);

}  // namespace veltris
