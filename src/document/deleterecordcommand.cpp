#include "document/deleterecordcommand.h"

#include <algorithm>

#include "document/document.h"

DeleteRecordCommand::DeleteRecordCommand(Document& document, int row)
    : DocumentCommand(document,
                      QStringLiteral("удаление %1").arg(recordTitle(document.base().table.cell(row, 0)))),
      m_row(row)
{}

void DeleteRecordCommand::apply()
{
    Document& doc = document();
    veltris::Table& t = doc.base().table;
    m_storedRow = t.detachRow(m_row);
    emit doc.mainTableChanged();
    // Deleting keeps the current row index, so the following record becomes current; a replay
    // shows it the same way.
    if (replaying())
        emit doc.recordTouched(std::min(m_row, t.rowCount() - 1));
}

void DeleteRecordCommand::revert()
{
    Document& doc = document();
    doc.base().table.attachRow(m_row, m_storedRow);
    emit doc.mainTableChanged();
    emit doc.recordTouched(m_row);
}
