// Add, edit and delete elements of the main table.
#include <algorithm>

#include "app/sdimain.h"
#include "app/uiservices.h"
#include "edit/adddlg.h"
#include "edit/gridfunc.h"

void TSDIAppForm::N7Click()
{
    // New records go to the end: the last row becomes current (and its drawing is shown).
    const int last = m_base.table.rowCount() - 1;
    if (last >= 1)
        setCurrentCell(last, std::max(1, currentColumn()));
    m_addDlg->prepareAdd();
    m_ui.execDialog(m_addDlg);  // everything the dialog does has already reached the table
}

void TSDIAppForm::N8Click()
{
    m_addDlg->prepareEdit();
    m_ui.execDialog(m_addDlg);
}

void TSDIAppForm::N9Click()
{
    // The table keeps at least one record row: the last one can only be cleared by editing.
    if (m_base.table.rowCount() <= 2)
        return;
    const int row = std::max(1, currentRow());
    // The view keeps the current row index, so the following record becomes current.
    if (GridFunc::deleteRow(m_base.table, row, m_ui, m_grid1))
        m_modified = true;
}
