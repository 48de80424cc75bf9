#pragma once
// The parts list of qdb similar --list read from its file: the sheet (a workbook's, or a
// delimited or plain text), its columns found out or as given on the command line.
#include <cstdint>
#include <optional>

#include "base/partslist.h"
#include "base/resulttable.h"
#include "cli/similaroptions.h"

namespace qdb {

// The list, or nullopt after printing why it cannot be read.
std::optional<veltris::PartsList> readPartsListFile(const SimilarOptions& o, std::uint64_t maxBytes);

// Writes the table as a workbook to -o; the exit code.
int writeXlsxOutput(const SimilarOptions& o, const veltris::ResultTable& table);

}  // namespace qdb
