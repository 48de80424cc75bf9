#pragma once
// The result of a parts list's search as one table: a row for each line with its designators,
// quantity, text, the part found and where, then each replacement with its verdict («Итог»).
#include <cstddef>
#include <string>

#include "base/partslistsearch.h"
#include "base/resulttable.h"

namespace veltris {

// «найден», «не найден», «неоднозначно»: what the lookup of a line gave.
const char* nameStatusCaption(NameStatus status);
// The same for machine output: "found", "not_found", "ambiguous".
const char* nameStatusKeyword(NameStatus status);

// Columns: «Строка», «Поз. обозначение», «Кол.», «Наименование», «Компонент», «Где найден», then
// «Замена i», «Итог i» for i = 1..replacements. «Компонент» is the part found, «не найден», or
// «неоднозначно:» with the candidates; «Где найден» the base file's name and the record; a
// replacement from another base than the part's names its base in brackets. The first four
// columns stay in view.
ResultTable partsListTable(const PartsListResult& result, const LibraryFiles& library,
                           const PartNameIndex& names, std::size_t replacements);

}  // namespace veltris
