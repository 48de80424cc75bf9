#pragma once
// Every call the benchmarks make into the core's base store, in one place: when the store's
// interface changes, only this file (and core_ops.cpp) follows it.
#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "base/catalogue.h"
#include "base/componentbase.h"
#include "base/selection.h"

namespace bench {

using Base = veltris::ComponentBase;
using Bounds = std::vector<veltris::BoundTexts>;

// A base decoded from file bytes / read from a file, as `qdb info` and the window load it.
// Stops the program on an error (a benchmark cannot go on without its data).
Base loadBase(std::string_view bytes);
Base loadBaseFile(const std::filesystem::path& file);
// The bytes a save writes, and the save itself (encode, temporary file, sync, rename).
std::string saveBytes(const Base& base);
void saveBase(const Base& base, const std::filesystem::path& file);
// The window's recovery file of the base (header, the bytes a save writes, the cells those bytes
// would not give back), written all or nothing as the window writes it.
void writeRecoveryFile(const Base& base, const std::filesystem::path& file);

// Gives main-table cell (row, column) the text `cp1251` as the record editor does.
void editCell(Base& base, int row, int column, std::string_view cp1251);

// Sorts the records by main-table column `column` as a right click on its title does.
void sortByColumn(Base& base, int column);

// Bounds as clicks on the 30 selection rows with the record `row`'s values as references and
// spreads p and q (percent); the rows the selection gives for them.
Bounds boundsFromRecord(const Base& base, int row, int p, int q);
std::vector<int> selectRows(const Base& base, const Bounds& bounds);

// The CSV export of the base with the titles of `catalogue` (the bytes `qdb export` writes).
std::string exportCsv(const std::filesystem::path& baseFile, const veltris::Catalogue& catalogue);
// A new base read from a CSV file (read whole, then imported), as `qdb import` reads it.
Base importCsvFile(const std::filesystem::path& csvFile, const veltris::Catalogue& catalogue);

int recordCount(const Base& base);  // data rows 1..recordCount()
int columnCount(const Base& base);  // name, parameters, drawing number
// The text of main-table cell (row, column): what the grid shows, Windows-1251 bytes.
std::string textOf(const Base& base, int row, int column);
// Bytes of every cell text of the main table (titles included).
std::size_t totalTextBytes(const Base& base);

}  // namespace bench
