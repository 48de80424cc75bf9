#include "document/importcommand.h"

#include <algorithm>
#include <cassert>
#include <new>

#include "base/table.h"
#include "document/document.h"

ImportCommand::ImportCommand(Document& document, const veltris::Table& records)
    : DocumentCommand(document, stepText(records.rowCount() - 1)), m_records(&records)
{}

QString ImportCommand::stepText(int records)
{
    // 1, 21, 101 запись; 2-4, 22-24 записи; 5-20, 25-30, 111-114 записей.
    const int tens = records % 100;
    const int units = records % 10;
    const char* noun = "записей";
    if (units == 1 && tens != 11)
        noun = "запись";
    else if (units >= 2 && units <= 4 && (tens < 12 || tens > 14))
        noun = "записи";
    return QStringLiteral("импорт из CSV (%1 %2)").arg(records).arg(QString::fromUtf8(noun));
}

void ImportCommand::apply()
{
    Document& doc = document();
    veltris::Table& t = doc.base().table;
    if (replaying()) {
        // The table is as the step's undo left it: the blank row in place, the records after
        // the last row. Their stored rows come back in the order they were appended in.
        if (m_done.tookBlankRow)
            t.detachRow(1);
        for (int i = 0; i < m_done.count; ++i)
            t.attachRow(t.rowCount(), m_done.firstStored + static_cast<std::uint32_t>(i));
    } else {
        const std::uint32_t onlyRow = t.rowCount() == 2 ? t.storedRow(1) : 0;
        const std::size_t storedBefore = t.storedRowCount();
        try {
            m_done = veltris::appendRecords(doc.base(), *m_records);
        } catch (const std::bad_alloc&) {
            // Out of memory part way: the rows copied so far go, the table is as it was.
            t.removeStoredRowsFrom(static_cast<std::uint32_t>(storedBefore));
            throw;
        }
        m_records = nullptr;
        m_blankRow = onlyRow;
    }
    emit doc.mainTableChanged();
    doc.rebuildSecondTable();
    // The first record read becomes current: the user sees where the records went.
    emit doc.recordTouched(std::max(1, t.rowCount() - m_done.count));
}

void ImportCommand::revert()
{
    Document& doc = document();
    veltris::Table& t = doc.base().table;
    // Every later step is undone: the records are the table's last rows, in the order appended.
    for (int i = m_done.count - 1; i >= 0; --i) {
        [[maybe_unused]] const std::uint32_t stored = t.detachRow(t.rowCount() - 1);
        assert(stored == m_done.firstStored + static_cast<std::uint32_t>(i));
    }
    if (m_done.tookBlankRow)
        t.attachRow(1, m_blankRow);
    emit doc.mainTableChanged();
    doc.rebuildSecondTable();
    // The record that was last before the import becomes current.
    emit doc.recordTouched(t.rowCount() - 1);
}
