// The tables, the package drawing, the pages, and loading and saving the base.
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QImageReader>
#include <QScrollBar>
#include <QTabWidget>
#include <new>

#include "app/appresources.h"
#include "app/apputil.h"
#include "app/componentgrid.h"
#include "app/drawingview.h"
#include "app/sdimain.h"

#include <new>
#include "app/uiservices.h"
#include "base/basefile.h"
#include "base/tableops.h"

// ---- messages ----

void TSDIAppForm::showFrameworkError(const QString& text)
{
    m_ui.message(this, appTitle(), text, QMessageBox::Critical, QMessageBox::Ok);
}

void TSDIAppForm::showCoreError(const veltris::Error& error)
{
    const QString caption = error.kind == veltris::ErrorKind::VersionMismatch ? QStringLiteral("Error!")
                                                                             : QStringLiteral("Ошибка");
    m_ui.message(this, caption, QString::fromStdString(error.message), QMessageBox::Critical,
                 QMessageBox::Ok);
}

// ---- tables ----

void TSDIAppForm::refreshMainTable()
{
    m_grid1->refresh();
}

void TSDIAppForm::refreshSecondTable()
{
    m_grid2->refresh();
}

void TSDIAppForm::applyStandardWidths()
{
    m_grid1->setStandardWidth(standardWidth());
    m_grid2->setStandardWidth(standardWidth());
}

void TSDIAppForm::rebuildSecondTable()
{
    veltris::rebuildSecondTable(m_base, m_second);
    if (m_second.rowCount() > 0 && m_second.columnCount() > 0)
        m_second.setCell(0, 0, m_settings.sDeviceName);
    refreshSecondTable();
    m_grid2->setStandardWidth(standardWidth());
}

int TSDIAppForm::currentRow() const
{
    return m_grid1->currentCoreRow();
}

int TSDIAppForm::currentColumn() const
{
    return m_grid1->currentCoreColumn();
}

void TSDIAppForm::setCurrentCell(int row, int col)
{
    m_grid1->setCurrentCoreCell(row, col);
}

void TSDIAppForm::showTablesFromStart()
{
    for (ComponentGridView* g : {m_grid1, m_grid2}) {
        g->setCurrentCoreCell(1, 1);
        g->horizontalScrollBar()->setValue(0);
        g->verticalScrollBar()->setValue(0);
    }
}

void TSDIAppForm::StringGrid1MouseDown(ComponentGridView* grid, int coreColumn)
{
    veltris::Table& table = grid == m_grid1 ? m_base.table : m_second;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const veltris::Status st = veltris::sortTableRows(table, coreColumn);
    QApplication::restoreOverrideCursor();
    if (!st) {
        // Keys are computed before anything moves: the table is exactly as it was.
        showFrameworkError(QString::fromStdString(st.error().message));
        return;
    }
    grid->refresh();
}

void TSDIAppForm::StringGrid1Click()
{
    refreshDrawing();
}

// ---- package drawing ----

QString TSDIAppForm::drawingFileFor(int row) const
{
    const std::string dir = m_settings.drawingDir(m_base.deviceType);
    const veltris::Table& t = m_base.table;
    if (dir.empty() || t.columnCount() == 0)
        return {};
    const QString folder = cpToQString(dir);
    const QString name = cpToQString(t.cell(row, t.columnCount() - 1)) + QStringLiteral(".BMP");
    const QString exact = folder + QLatin1Char('/') + name;
    if (QFileInfo(exact).isFile())
        return exact;
    // Drawings copied from systems that ignore letter case may be named "12.bmp".
    const QDir d(folder);
    if (!d.exists())
        return {};
    const QStringList files = d.entryList(QDir::Files | QDir::Hidden | QDir::System);
    for (const QString& f : files)
        if (f.compare(name, Qt::CaseInsensitive) == 0)
            return d.filePath(f);
    return {};
}

void TSDIAppForm::refreshDrawing()
{
    const int row = currentRow() > 0 ? currentRow() : 1;
    const QString file = drawingFileFor(row);
    if (file.isEmpty()) {
        m_image1->setImage(placeholderDrawing());
        return;
    }
    QImageReader reader(file);
    const QImage image = reader.read();
    if (image.isNull()) {
        showFrameworkError(QStringLiteral("Bitmap image is not valid"));
        return;  // the previous drawing stays
    }
    m_image1->setImage(image);
}

void TSDIAppForm::Image1Click()
{
    const bool stretch = !m_image1->stretch();
    m_image1->setStretch(stretch);
    m_image1->setCursor(appCursor(stretch ? crCursorMinus : crCursorPlus));
}

// ---- pages ----

void TSDIAppForm::onCurrentPageChanged(int index)
{
    const int previous = m_currentPage;
    m_currentPage = index;
    if (previous == 0 && index != 0)
        TabSheet1Hide();
    if (index == 0 && previous != 0)
        TabSheet1Show();
    if (index == 2)
        TabSheet3Show();
    if (index == 3)
        TabSheet4Show();
    if (!m_systemPageChange)
        PageControl1Change();
}

void TSDIAppForm::showPage(int index)
{
    m_systemPageChange = true;
    m_pageControl->setCurrentIndex(index);
    m_systemPageChange = false;
}

void TSDIAppForm::TabSheet1Show()
{
    m_N7->setEnabled(true);
    m_N8->setEnabled(true);
    m_N9->setEnabled(true);
}

void TSDIAppForm::TabSheet1Hide()
{
    m_N7->setEnabled(false);
    m_N8->setEnabled(false);
    m_N9->setEnabled(false);
    rebuildSecondTable();
}

void TSDIAppForm::TabSheet3Show()
{
    refreshDrawing();
}

void TSDIAppForm::PageControl1Change()
{
    const int index = m_pageControl->currentIndex();
    setHelpContext(m_pageControl, index <= 1 ? 0 : index == 2 ? 32 : 31);
}

// ---- load and save ----

bool TSDIAppForm::loadBaseFile(const QString& path)
{
    auto read = veltris::readBase(toFsPath(path), m_catalogue);
    if (!read) {
        showCoreError(read.error());
        return false;  // name, base and flag stay as they were
    }
    // Everything the new base needs is built before the open base is given up, so running out
    // of memory leaves the open base as it was.
    veltris::ComponentBase base;
    veltris::Table second;
    try {
        base = std::move(read).value();
        if (base.table.rowCount() > 0 && base.table.columnCount() > 0)
            base.table.setCell(0, 0, m_settings.sDeviceName);
        veltris::rebuildSecondTable(base, second);
    } catch (const std::bad_alloc&) {
        showCoreError(veltris::outOfMemoryError());
        return false;
    }
    m_base = std::move(base);
    m_second = std::move(second);
    m_fileName = QFileInfo(path).absoluteFilePath();
    m_modified = false;
    refreshMainTable();
    showPage(0);
    applyStandardWidths();
    rebuildSecondTable();
    showTablesFromStart();
    refreshDrawing();
    return true;
}

bool TSDIAppForm::saveBaseFile()
{
    const veltris::Status st = veltris::writeBase(m_base, toFsPath(m_fileName));
    if (!st) {
        m_ui.message(this, QStringLiteral("Ошибка"), QStringLiteral("Ошибка записи в файл"),
                     QMessageBox::Critical, QMessageBox::Ok);
        // The cell whose text could not be written becomes current, so it can be put right.
        if (st.error().row > 0 && st.error().column > 0) {
            showPage(0);
            m_grid1->setCurrentCoreCell(st.error().row, st.error().column);
        }
        return false;
    }
    m_modified = false;
    return true;
}

bool TSDIAppForm::FileSave1Execute()
{
    if (!m_fileName.isEmpty())
        return saveBaseFile();
    return FileSaveAs1Execute();
}

bool TSDIAppForm::FileSaveAs1Execute()
{
    FileDialogRequest req;
    req.filter = QStringLiteral("QDB File (*.QDB)");
    req.defaultSuffix = QStringLiteral("QDB");
    req.startDir = cpToQString(m_settings.sdir);
    req.folderChanged = [this](const QString& folder) { SaveDialogFolderChange(folder); };
    QString name = m_ui.saveFileName(this, req);
    if (name.isEmpty())
        return false;
    if (QFileInfo(name).suffix().isEmpty())
        name += QStringLiteral(".QDB");
    m_fileName = QFileInfo(name).absoluteFilePath();
    return saveBaseFile();
}
