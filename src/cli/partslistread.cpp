#include "cli/partslistread.h"

#include <string>

#include "base/cp1251.h"
#include "base/fileio.h"
#include "base/sheet.h"
#include "base/xlsxread.h"
#include "base/xlsxwrite.h"
#include "cli/commands.h"

namespace qdb {

using namespace veltris;

namespace {

// A column as given (from 1; 0 none) over the one found out.
void given(int option, int& column)
{
    if (option >= 0)
        column = option - 1;
}

std::string columnText(int c)
{
    return c >= 0 ? std::to_string(c + 1) : "нет";
}

}  // namespace

std::optional<PartsList> readPartsListFile(const SimilarOptions& o, std::uint64_t maxBytes)
{
    const auto bytes = readFileBytes(o.listFile, maxBytes);
    if (!bytes) {
        printError(bytes.error().message);
        return std::nullopt;
    }
    Result<Sheet> sheet = Error{};
    if (looksLikeWorkbook(*bytes)) {
        sheet = readWorkbookSheet(*bytes, o.sheet);
    } else {
        if (!o.sheet.empty()) {
            printError("--sheet: «" + o.listFile + "» — не книга XLSX");
            return std::nullopt;
        }
        sheet = readTextSheet(*bytes, partsTitleRoles);
    }
    if (!sheet) {
        printError("«" + o.listFile + "»: " + sheet.error().message);
        return std::nullopt;
    }
    PartsColumns columns = findPartsColumns(*sheet);
    if (o.titleRow >= 0) {
        columns.titleRow = o.titleRow - 1;
        if (columns.titleRow >= static_cast<int>(sheet->rows.size())) {
            printError("--title-row " + std::to_string(o.titleRow) + ": в перечне " +
                       std::to_string(sheet->rows.size()) + " непустых строк");
            return std::nullopt;
        }
    }
    given(o.designatorColumn, columns.designator);
    given(o.nameColumn, columns.name);
    given(o.quantityColumn, columns.quantity);
    given(o.noteColumn, columns.note);
    auto list = readPartsList(*sheet, columns);
    if (!list) {
        printError("«" + o.listFile + "»: " + list.error().message);
        return std::nullopt;
    }
    printRaw("Перечень: " + sheet->dialect + "; строка заголовка: " +
             (columns.titleRow >= 0
                  ? std::to_string(sheet->rows[static_cast<std::size_t>(columns.titleRow)].line)
                  : std::string("нет")) +
             "; столбцы: обозначения " + columnText(columns.designator) + ", наименования " +
             columnText(columns.name) + ", количество " + columnText(columns.quantity) + ", примечание " +
             columnText(columns.note) + "\n");
    return std::move(*list);
}

int writeXlsxOutput(const SimilarOptions& o, const ResultTable& table)
{
    const Status written = writeXlsx(o.output, table, "Замены");
    if (!written) {
        printError(writeErrorText(written.error(), o.output));
        return 1;
    }
    return 0;
}

}  // namespace qdb
