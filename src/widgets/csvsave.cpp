#include "widgets/csvsave.h"

#include "base/csvexport.h"
#include "ui/cptext.h"
#include "ui/errorbox.h"
#include "ui/uiservices.h"

void saveTableAsCsv(UiServices& ui, QWidget* parent, const std::function<veltris::Table()>& table)
{
    saveTableAsCsv(ui, parent, table, csvSaveRequest());
}

void saveTableAsCsv(UiServices& ui, QWidget* parent, const std::function<veltris::Table()>& table,
                    const FileDialogRequest& req)
{
    const QString name = ui.saveFileName(parent, req);
    if (name.isEmpty())
        return;
    const veltris::Status written =
        veltris::writeCsv(table(), toFsPath(withDefaultSuffix(name, req.defaultSuffix)));
    if (!written)
        showErrorBox(ui, parent, written.error());
}
