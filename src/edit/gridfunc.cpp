#include "edit/gridfunc.h"

#include "app/componentgrid.h"
#include "app/uiservices.h"
#include "base/table.h"
#include "base/tableops.h"

namespace GridFunc {

void moveRow(veltris::Table& table, int from, int to, ComponentGridView* view)
{
    table.moveRow(from, to);
    if (view)
        view->refresh();
}

bool deleteRow(veltris::Table& table, int row, UiServices& ui, ComponentGridView* view)
{
    if (!veltris::deleteTableRow(table, row)) {
        ui.beep();
        return false;
    }
    if (view)
        view->refresh();
    return true;
}

}  // namespace GridFunc
