// Document commands: New, Open, CSV export, base parameters, view parameters.
#include <QFileInfo>
#include <algorithm>

#include "app/apputil.h"
#include "app/componentgrid.h"
#include "app/sdimain.h"
#include "app/uiservices.h"
#include "base/csvexport.h"
#include "base/devicetype.h"
#include "base/tableops.h"
#include "edit/parambase.h"
#include "edit/prosm.h"

namespace {

// A typed name without an extension gets the dialog's default one.
QString withDefaultSuffix(const QString& name, const QString& suffix)
{
    return QFileInfo(name).suffix().isEmpty() ? name + QLatin1Char('.') + suffix : name;
}

}  // namespace

void TSDIAppForm::FileNew1Execute()
{
    if (!confirmDiscard())
        return;
    m_base = veltris::makeEmptyBase(m_catalogue, m_settings.sDeviceName);
    m_second = veltris::Table(2, 2);
    m_second.setCell(0, 0, m_settings.sDeviceName);
    clearSelectionGrid();
    refreshMainTable();
    refreshSecondTable();
    applyStandardWidths();
    rebuildSecondTable();
    showTablesFromStart();
    m_modified = false;
    m_fileName.clear();

    // Only here may the device type change: its buttons work while New runs the dialog.
    m_paramBase->setDeviceButtonsEnabled(true);
    m_base.deviceType = 1;
    N4Click();
    m_paramBase->setDeviceButtonsEnabled(false);
}

void TSDIAppForm::FileOpen()
{
    if (!confirmDiscard())
        return;
    FileDialogRequest req;
    req.filter = QStringLiteral("QDB File (*.QDB)");
    req.defaultSuffix = QStringLiteral("QDB");
    req.startDir = cpToQString(m_settings.odir);
    req.folderChanged = [this](const QString& folder) { OpenDialogFolderChange(folder); };
    QString name = m_ui.openFileName(this, req);
    if (name.isEmpty())
        return;
    if (!QFileInfo::exists(name))
        name = withDefaultSuffix(name, req.defaultSuffix);
    loadBaseFile(name);  // the name changes only when the base could be read
}

void TSDIAppForm::exportCsv()
{
    FileDialogRequest req;
    req.filter = QStringLiteral("CSV - (;) (*.CSV)");
    req.defaultSuffix = QStringLiteral("CSV");
    req.startDir = cpToQString(m_settings.sdir);
    req.folderChanged = [this](const QString& folder) { SaveDialogFolderChange(folder); };
    const QString name = m_ui.saveFileName(this, req);
    if (name.isEmpty())
        return;
    // Written beside and renamed into place: a failure leaves no partial file behind.
    const veltris::Status st =
        veltris::writeCsv(m_base.table, toFsPath(withDefaultSuffix(name, req.defaultSuffix)));
    if (!st)
        m_ui.message(this, QStringLiteral("Ошибка"), QStringLiteral("Ошибка записи в файл"),
                     QMessageBox::Critical, QMessageBox::Ok);
}

void TSDIAppForm::N4Click()
{
    TParamBase& dlg = *m_paramBase;
    dlg.setDescriptionLine(cpToQString(m_base.description()));
    dlg.setDeviceType(m_base.deviceType);
    if (m_ui.execDialog(&dlg) != QDialog::Accepted)
        return;  // only OK writes the column map

    const int type = dlg.deviceType();
    m_base.deviceType = static_cast<std::uint16_t>(type);
    // Types without a catalogue keep their width: there is no layout to cut the table to.
    m_base.table.setColumnCount(veltris::tableColumnCount(type));
    m_base.applyTitles(m_catalogue);
    refreshMainTable();
    applyStandardWidths();
    applyShownList({});
    // Cut to 104 stored bytes, not UTF-16 units: a sign outside the BMP is one "?" in the file.
    m_base.setDescription(qStringToCp(dlg.descriptionLine()));
    m_modified = true;
}

void TSDIAppForm::N3Click()
{
    const int cols = m_base.table.columnCount();
    const int used = std::clamp(m_base.secondColumnCount - 1, 0, veltris::kMaxParamColumns);
    std::vector<int> shown;
    if (m_base.viewMask[0] != 0) {
        for (int i = 0; i < used; ++i) {
            const int p = m_base.viewMask[static_cast<size_t>(i)];
            if (p >= 1 && p < cols)  // entries naming no column of this table are dropped
                shown.push_back(p);
        }
    }
    std::vector<int> hidden;
    for (int p = 1; p < cols; ++p)
        if (std::find(shown.begin(), shown.end(), p) == shown.end())
            hidden.push_back(p);

    TProsm& dlg = *m_prosm;
    dlg.prepare(m_base.deviceType, shown, hidden);
    if (m_ui.execDialog(&dlg) != QDialog::Accepted)
        return;
    applyShownList(dlg.shownColumns());
    m_modified = true;
}

void TSDIAppForm::applyShownList(const std::vector<int>& shown)
{
    veltris::applyShownList(m_base, m_second, shown);
    if (m_second.rowCount() > 0 && m_second.columnCount() > 0)
        m_second.setCell(0, 0, m_settings.sDeviceName);
    refreshSecondTable();
    m_grid2->setStandardWidth(standardWidth());
}
