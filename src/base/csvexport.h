#pragma once
// The semicolon-separated export of the main table: every cell followed by ';', a cell "0"
// written empty, CR LF after every line, no quoting, Windows-1251 bytes.
#include <filesystem>
#include <string>

#include "base/result.h"
#include "base/table.h"

namespace veltris {

std::string csvBytes(const Table& table);
// All or nothing; the error message is "Ошибка записи в файл".
Status writeCsv(const Table& table, const std::filesystem::path& path);

}  // namespace veltris
