// The pages of the main window: the two tables and the drawing following the document, the
// page effects, and the menu commands that involve a dialog or the current cell.
#include <QAction>
#include <QDir>
#include <QFileInfo>
#include <QImageReader>
#include <QMenu>
#include <QScopedValueRollback>
#include <QScrollBar>
#include <QTabWidget>
#include <QUndoStack>
#include <algorithm>

#include "app/mainwindow.h"
#include "edit/baseparametersdialog.h"
#include "edit/csvimportdialog.h"
#include "edit/recorddialog.h"
#include "edit/viewcolumnsdialog.h"
#include "search/comparison.h"
#include "search/navigatorwindow.h"
#include "search/searchpage.h"
#include "search/substitutepage.h"
#include "ui/errorbox.h"
#include "ui/uiservices.h"
#include "widgets/appresources.h"
#include "widgets/apputil.h"
#include "widgets/componentgrid.h"
#include "widgets/drawingview.h"

void MainWindow::connectDocument()
{
    connect(&m_document, &Document::baseReplaced, this, &MainWindow::onBaseReplaced);
    connect(&m_document, &Document::mainTableChanged, m_mainGrid, &ComponentGridView::refresh);
    connect(&m_document, &Document::mainColumnsChanged, this, [this] {
        m_mainGrid->refresh();
        applyStandardWidths();
    });
    connect(&m_document, &Document::secondTableChanged, this, &MainWindow::refreshSecondTable);
    connect(&m_document, &Document::cellNeedsAttention, this, &MainWindow::showCellNeedingAttention);
    connect(&m_document, &Document::recordTouched, this, &MainWindow::showTouchedRecord);
    connect(&m_document, &Document::currentRecordChanged, this, &MainWindow::showCurrentRecord);
    connect(&m_document, &Document::readOnlyChanged, this, &MainWindow::updateEditingCommands);
    // A change after the session's end was settled: the session went on.
    for (auto signal : {&Document::mainTableChanged, &Document::mainColumnsChanged})
        connect(&m_document, signal, this, [this] { m_ending = Ending::None; });
    connect(&m_document, &Document::baseReplaced, this, [this] { m_ending = Ending::None; });
    // The page «Замена» reads the open base: every change of it is news for the page.
    for (auto signal : {&Document::mainTableChanged, &Document::mainColumnsChanged})
        connect(&m_document, signal, this,
                [this] { m_substitutePage->setOpenBase(&m_document.base(), m_document.fileName()); });
    connect(&m_document, &Document::baseReplaced, this, [this] {
        m_substituteReferenceGiven = -1;
        m_substitutePage->setOpenBase(&m_document.base(), m_document.fileName());
    });
}

// ---- the tables ----

void MainWindow::onBaseReplaced(Document::Origin origin)
{
    if (origin == Document::Origin::New)
        m_searchPage->clearSelectionGrid();
    m_mainGrid->refresh();
    if (origin == Document::Origin::File)
        showPage(MainTablePage);
    else
        m_secondGrid->refresh();
    applyStandardWidths();
    m_document.rebuildSecondTable();
    showTablesFromStart();
    if (origin == Document::Origin::File)
        refreshDrawing();
}

void MainWindow::refreshSecondTable()
{
    m_secondGrid->refresh();
    m_secondGrid->setStandardWidth(m_document.application().standardWidth());
}

void MainWindow::applyStandardWidths()
{
    m_mainGrid->setStandardWidth(m_document.application().standardWidth());
    m_secondGrid->setStandardWidth(m_document.application().standardWidth());
}

int MainWindow::currentRow() const
{
    return m_mainGrid->currentCoreRow();
}

int MainWindow::currentColumn() const
{
    return m_mainGrid->currentCoreColumn();
}

void MainWindow::setCurrentCell(int row, int col)
{
    m_mainGrid->setCurrentCoreCell(row, col);
}

void MainWindow::followMainGrid()
{
    const QScopedValueRollback<bool> following(m_followingMainGrid, true);
    m_document.setCurrentRecord(currentRow());
}

void MainWindow::showCurrentRecord(int row, int column)
{
    if (m_followingMainGrid)
        return;  // the grid is there already
    setCurrentCell(row, column > 0 ? column : std::max(1, currentColumn()));
    followMainGrid();  // the grid keeps the row within the table
}

void MainWindow::showTablesFromStart()
{
    for (ComponentGridView* g : {m_mainGrid, m_secondGrid}) {
        g->setCurrentCoreCell(1, 1);
        g->horizontalScrollBar()->setValue(0);
        g->verticalScrollBar()->setValue(0);
    }
}

void MainWindow::showCellNeedingAttention(int row, int column)
{
    showPage(MainTablePage);
    m_mainGrid->setCurrentCoreCell(row, column);
}

void MainWindow::showTouchedRecord(int row)
{
    if (m_pages->currentIndex() != MainTablePage)
        showPage(MainTablePage);
    if (row > 0 && row != currentRow()) {
        setCurrentCell(row, std::max(1, currentColumn()));  // the drawing follows the row change
        return;
    }
    // The same row now holds another record, or the rows moved under it.
    refreshDrawing();
}

void MainWindow::sortByColumn(ComponentGridView* grid, int coreColumn)
{
    m_document.sortByColumn(grid == m_mainGrid ? Document::Table::Main : Document::Table::Second, coreColumn);
}

// ---- package drawing ----

QString MainWindow::drawingFileFor(int row) const
{
    const veltris::ComponentBase& base = m_document.base();
    const std::string dir = m_document.application().settings().drawingDir(base.deviceType);
    const veltris::Table& t = base.table;
    if (dir.empty() || t.columnCount() == 0)
        return {};
    const QString folder = cpToQString(dir);
    const QString name = cpToQString(t.cell(row, t.columnCount() - 1)) + QStringLiteral(".BMP");
    QString exact = folder + QLatin1Char('/') + name;
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

void MainWindow::refreshDrawing()
{
    const int row = currentRow() > 0 ? currentRow() : 1;
    const QString file = drawingFileFor(row);
    if (file.isEmpty()) {
        m_drawing->setImage(placeholderDrawing());
        return;
    }
    QImageReader reader(file);
    const QImage image = reader.read();
    if (image.isNull()) {
        showErrorBox(m_ui, this, veltris::Error(veltris::ErrorKind::Generic, "Bitmap image is not valid"),
                     ErrorSource::Command);
        return;  // the previous drawing stays
    }
    m_drawing->setImage(image);
}

void MainWindow::toggleDrawingStretch()
{
    const bool stretch = !m_drawing->stretch();
    m_drawing->setStretch(stretch);
    m_drawing->setCursor(appCursor(stretch ? kZoomOutCursor : kZoomInCursor));
}

// ---- pages ----

void MainWindow::onCurrentPageChanged(int index)
{
    const int previous = m_currentPage;
    m_currentPage = index;
    if (previous == MainTablePage && index != MainTablePage) {
        // Records are added, edited and deleted on the main table only; the second table shows
        // what the main table holds when the user arrives there.
        setRecordCommandsEnabled(false);
        m_document.rebuildSecondTable();
    }
    if (index == MainTablePage && previous != MainTablePage)
        setRecordCommandsEnabled(true);
    if (index == DrawingPage)
        refreshDrawing();
    if (index == SearchPageIndex)
        m_searchPage->refill();
    if (index == SubstitutePageIndex && currentRow() != m_substituteReferenceGiven) {
        m_substituteReferenceGiven = currentRow();
        m_substitutePage->setReference(m_substituteReferenceGiven);
    }
    if (!m_programPageChange)
        updatePageHelpTopic();
}

void MainWindow::showPage(int index)
{
    m_programPageChange = true;
    m_pages->setCurrentIndex(index);
    m_programPageChange = false;
}

void MainWindow::setRecordCommandsEnabled(bool enabled)
{
    enabled = enabled && !m_document.isReadOnly();
    m_addRecord->setEnabled(enabled);
    m_editRecord->setEnabled(enabled);
    m_deleteRecord->setEnabled(enabled);
}

void MainWindow::updateEditingCommands()
{
    const bool editable = !m_document.isReadOnly();
    setRecordCommandsEnabled(m_currentPage == MainTablePage);
    // Read-only, Save works as Save as: a copy under another name.
    m_saveBase->setEnabled(true);
    m_baseParametersAction->setEnabled(editable);
    m_viewColumnsAction->setEnabled(editable);
    updateHistoryCommands();
}

void MainWindow::updateHistoryCommands()
{
    const bool editable = !m_document.isReadOnly();
    m_undo->setEnabled(editable && m_document.undoStack().canUndo());
    m_redo->setEnabled(editable && m_document.undoStack().canRedo());
}

void MainWindow::updatePageHelpTopic()
{
    const int index = m_pages->currentIndex();
    setHelpContext(m_pages, index <= SecondTablePage   ? HelpTopic::Contents
                            : index == DrawingPage     ? HelpTopic::Drawing
                            : index == SearchPageIndex ? HelpTopic::SearchPage
                                                       : HelpTopic::Substitute);
}

// ---- commands ----

void MainWindow::newBase()
{
    if (!m_document.newBase())
        return;
    // Only here may the device type change (the new base is a bipolar one): its buttons work
    // while New runs the dialog.
    m_baseParameters->setDeviceButtonsEnabled(true);
    editBaseParameters();
    m_baseParameters->setDeviceButtonsEnabled(false);
}

void MainWindow::openBase()
{
    m_document.openBase();
}

bool MainWindow::saveBase()
{
    return m_document.save(Document::SaveWay::Background);
}

bool MainWindow::saveBaseAs()
{
    return m_document.saveAs(Document::SaveWay::Background);
}

void MainWindow::exportCsv()
{
    m_document.exportCsv();
}

void MainWindow::exportXlsx()
{
    m_document.exportXlsx();
}

void MainWindow::importCsv()
{
    FileDialogRequest req;
    req.filter = QStringLiteral("CSV и XLSX (*.csv *.CSV *.txt *.TXT *.xlsx *.XLSX)");
    req.startDir = cpToQString(m_document.application().settings().openFolder);
    req.folderChanged = [this](const QString& folder) {
        m_document.application().rememberOpenFolder(folder);
    };
    const QString name = m_ui.openFileName(this, req);
    if (name.isEmpty() || !m_csvImport->prepare(name))
        return;
    if (m_ui.execDialog(m_csvImport) != QDialog::Accepted)
        return;
    if (m_csvImport->target() == CsvImportDialog::Target::OpenBase)
        m_document.appendImportedRecords(m_csvImport->recordsForOpenBase());  // one step: undo takes it back
    else
        m_document.openImportedBase(m_csvImport->takeNewBase());
    m_csvImport->forget();  // the records are in the base; the dialog keeps no second copy
}

void MainWindow::editBaseParameters()
{
    BaseParametersDialog& dlg = *m_baseParameters;
    dlg.setDescriptionLine(cpToQString(m_document.base().description()));
    dlg.setDeviceType(m_document.base().deviceType);
    if (m_ui.execDialog(&dlg) != QDialog::Accepted)
        return;  // only OK writes the column map
    m_document.applyBaseParameters(dlg.deviceType(), dlg.columnMap(), dlg.descriptionLine());
}

void MainWindow::editViewColumns()
{
    std::vector<int> shown;
    std::vector<int> hidden;
    m_document.viewColumns(shown, hidden);
    ViewColumnsDialog& dlg = *m_viewColumns;
    dlg.prepare(m_document.base().deviceType, shown, hidden);
    if (m_ui.execDialog(&dlg) != QDialog::Accepted)
        return;
    m_document.applyViewColumns(dlg.shownColumns());
}

void MainWindow::addRecord()
{
    // New records go to the end: the last row becomes current (and its drawing is shown).
    const int last = m_document.base().table.rowCount() - 1;
    if (last >= 1)
        setCurrentCell(last, std::max(1, currentColumn()));
    m_recordDialog->prepareAdd();
    m_ui.execDialog(m_recordDialog);  // everything the dialog does has already reached the table
}

void MainWindow::editRecord()
{
    m_recordDialog->prepareEdit();
    m_ui.execDialog(m_recordDialog);
}

void MainWindow::deleteRecord()
{
    // The view keeps the current row index, so the following record becomes current.
    m_document.deleteRecord(std::max(1, currentRow()));
}

// ---- the page «Замена» ----

void MainWindow::findSubstitute()
{
    m_substituteReferenceGiven = currentRow();
    m_substitutePage->setReference(m_substituteReferenceGiven);
    showPage(SubstitutePageIndex);
    m_substitutePage->startSearch();
}

void MainWindow::showSubstitute(const QString& baseFile, int row)
{
    if (baseFile != m_document.fileName()) {
        // Another base of the library: it replaces the open one behind the unsaved-changes prompt.
        if (!m_document.confirmDiscard() || !m_document.load(baseFile))
            return;  // kept the open base, or the file could not be read (its message was shown)
    }
    showPage(MainTablePage);
    setCurrentCell(row, std::max(1, currentColumn()));
    m_mainGrid->setFocus();
}

// ---- comparison ----

void MainWindow::showMainTableMenu(const QPoint& at)
{
    const QModelIndex index = m_mainGrid->indexAt(at);
    if (!index.isValid())
        return;
    if (!m_mainGrid->selectionModel()->isSelected(index))
        m_mainGrid->setCurrentCoreCell(index.row() + 1, index.column() + 1);
    QMenu menu(this);
    QAction* compare = menu.addAction(QStringLiteral("Сравнить выделенные…"));
    compare->setStatusTip(QStringLiteral("Выделенные записи рядом, по параметрам; текущая — образец"));
    if (menu.exec(m_mainGrid->viewport()->mapToGlobal(at)) == compare)
        compareSelectedRecords();
}

void MainWindow::compareSelectedRecords()
{
    // By ranges, not cell by cell: a selection may span the whole table. More rows than can be
    // compared need not be listed; the page says so.
    std::vector<int> rows;
    const std::size_t enough = kMaxComparedParts + 1;
    for (const QItemSelectionRange& range : m_mainGrid->selectionModel()->selection()) {
        for (int r = range.top(); r <= range.bottom() && rows.size() <= enough; ++r)
            if (std::find(rows.begin(), rows.end(), r + 1) == rows.end())
                rows.push_back(r + 1);
    }
    const int current = currentRow();
    const bool currentSelected = std::find(rows.begin(), rows.end(), current) != rows.end();
    const int reference =
        currentSelected || rows.empty() ? current : *std::min_element(rows.begin(), rows.end());
    m_substitutePage->compareRecords(m_document.base(), m_document.fileName(), reference, std::move(rows),
                                     this);
}

void MainWindow::compareListedParts(const std::vector<PartAddress>& parts)
{
    auto read = readComparedParts(parts, m_document.catalogue());
    if (!read) {
        showErrorBox(m_ui, m_navigator, read.error());
        return;
    }
    // A child of the navigator, which is modal: it stays usable beside it.
    m_substitutePage->compareParts(std::move(*read), m_navigator);
}
