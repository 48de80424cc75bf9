#pragma once
// «Добавить к открытой базе» of the CSV import: the records read from the file go after the main
// table's rows, the single blank row of a new base giving way to them. While the step is undone
// the records leave the table's row order but keep their stored cells, as a deleted record does,
// so redo brings them back as they were; the step itself keeps no cells, only where they are.
#include <cstdint>

#include "base/tableops.h"
#include "document/documentcommand.h"

namespace veltris {
class Table;
}

class ImportCommand : public DocumentCommand {
public:
    // `records`: data rows in the main table's columns (row 0 holds titles and is not taken),
    // at least one. They are read by the push's first redo only and need not outlive it.
    ImportCommand(Document& document, const veltris::Table& records);

    // «импорт из CSV (3 записи)».
    static QString stepText(int records);

protected:
    void apply() override;
    void revert() override;

private:
    const veltris::Table* m_records;  // until the first apply
    veltris::AppendedRecords m_done;
    std::uint32_t m_blankRow = 0;  // the stored row of the blank row the records replaced
};
