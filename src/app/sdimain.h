#pragma once
// TSDIAppForm: the main window. It holds the open base, the second table, the settings, the
// parameter catalogue and the navigator catalogue; the dialogs reach it directly.
#include <QMainWindow>
#include <QStringList>

#include "app/apppaths.h"
#include "base/catalogue.h"
#include "base/componentbase.h"
#include "base/navigatorcatalogue.h"
#include "base/result.h"
#include "base/settings.h"
#include "base/table.h"

class QAction;
class QFrame;
class QMenu;
class QTabWidget;
class QToolBar;
class QStatusBar;

class ComponentGridView;
class ComponentTableModel;
class DrawingImage;
class UiServices;

class TAboutBox;
class TParamBase;
class TProsm;
class TAddDlg;
class TNavForm;

// search page (sdimain_search.cpp)
class QPainter;
class QStyleOptionViewItem;
class SearchPage;

class TSDIAppForm : public QMainWindow {
    Q_OBJECT
public:
    // Runs the creation handler (settings, catalogues, empty base, folder scan), then creates
    // the dialogs in the order TAboutBox, TParamBase, TProsm, TAddDlg, TNavForm.
    TSDIAppForm(const AppPaths& paths, UiServices& ui, QStringList args, QWidget* parent = nullptr);
    ~TSDIAppForm() override;

    // ---- state ----
    const AppPaths& paths() const { return m_paths; }
    UiServices& ui() const { return m_ui; }
    veltris::ComponentBase& base() { return m_base; }
    const veltris::ComponentBase& base() const { return m_base; }
    veltris::Table& secondTable() { return m_second; }
    const veltris::Table& secondTable() const { return m_second; }
    bool isModified() const { return m_modified; }
    void setModified(bool modified) { m_modified = modified; }
    const QString& fileName() const { return m_fileName; }
    void setFileName(const QString& name) { m_fileName = name; }
    const veltris::Catalogue& catalogue() const { return m_catalogue; }
    veltris::ProgramSettings& settings() { return m_settings; }
    const veltris::ProgramSettings& settings() const { return m_settings; }
    const veltris::NavigatorCatalogue& navigatorCatalogue() const { return m_navCatalogue; }
    // Problems of the start-up folder scan (shown in one message after the window appears).
    const std::vector<veltris::Error>& scanProblems() const { return m_scanProblems; }
    // A catalogue failed to load: the application ends when its message loop starts.
    bool terminationRequested() const { return m_terminate; }
    bool navigatorAtStart() const { return m_showNavAtStart; }

    QString deviceLabel() const;  // sDeviceName as text
    int standardWidth() const;    // iStandard, kept within what a column can be

    // ---- controls ----
    QTabWidget* pageControl() const { return m_pageControl; }
    QWidget* tabSheet(int index) const;  // 0..3: TabSheet1..TabSheet4
    ComponentGridView* stringGrid1() const { return m_grid1; }
    ComponentGridView* stringGrid2() const { return m_grid2; }
    ComponentTableModel* model1() const { return m_model1; }
    ComponentTableModel* model2() const { return m_model2; }
    DrawingImage* image1() const { return m_image1; }
    QAction* actionN7() const { return m_N7; }
    QAction* actionN8() const { return m_N8; }
    QAction* actionN9() const { return m_N9; }

    TAboutBox* aboutBox() const { return m_aboutBox; }
    TParamBase* paramBase() const { return m_paramBase; }
    TProsm* prosm() const { return m_prosm; }
    TAddDlg* addDlg() const { return m_addDlg; }
    TNavForm* navForm() const { return m_navForm; }

    // ---- operations for every part of the program ----
    // Unsaved-changes prompt. False when the command must stop: Cancel, or Yes with a save that
    // did not succeed (write error or Save-as cancelled).
    bool confirmDiscard();
    // Reads `path`; on an error shows its message and changes nothing. On success the base,
    // name and flag change, the first page comes to the front, the second table is rebuilt and
    // the drawing refreshed.
    bool loadBaseFile(const QString& path);
    // Writes the base to fileName(); "Ошибка записи в файл" on failure. Success clears the flag.
    bool saveBaseFile();

    // The core tables changed: tell the views (a reset only when the size changed).
    void refreshMainTable();
    void refreshSecondTable();
    // Second table rebuild through the view mask.
    void rebuildSecondTable();
    // Package drawing of the current row (or the placeholder).
    void refreshDrawing();
    // Every column of both tables to the standard width.
    void applyStandardWidths();
    // Both tables scrolled to their first record and first parameter column, which is current.
    void showTablesFromStart();
    // Current record of the main table, core numbering (1..); 0 when the table has no record.
    int currentRow() const;
    int currentColumn() const;
    // Moves the main table's current cell; a change runs the drawing refresh.
    void setCurrentCell(int row, int col);
    // Brings a page to the front as the program does (page effects run, help context stays).
    void showPage(int index);

    // A message in the style of the framework's error handler: caption "Вельтрис", error icon.
    void showFrameworkError(const QString& text);
    // A failure from the core with the caption its kind asks for ("Error!" for a version
    // mismatch, "Ошибка" otherwise) and the error icon.
    void showCoreError(const veltris::Error& error);

public slots:
    // ---- start-up, shutdown, help, about: this file and sdimain_view.cpp ----
    void FileExit1Execute();
    void NavigatorActionExecute();
    void HelpAbout1Execute();
    void showHelpContents();
    void openForum();
    bool FileSave1Execute();
    bool FileSaveAs1Execute();
    void OpenDialogFolderChange(const QString& folder);
    void SaveDialogFolderChange(const QString& folder);

    // ---- tables, drawing, pages: sdimain_view.cpp ----
    void StringGrid1MouseDown(ComponentGridView* grid, int coreColumn);
    void StringGrid1Click();
    void Image1Click();
    void TabSheet1Show();
    void TabSheet1Hide();
    void TabSheet3Show();
    void PageControl1Change();

    // ---- document commands: sdimain_document.cpp ----
    void FileNew1Execute();
    void FileOpen();
    void exportCsv();
    void N4Click();
    void N3Click();

    // ---- add, edit, delete: sdimain_edit.cpp ----
    void N7Click();
    void N8Click();
    void N9Click();

    // ---- search page: sdimain_search.cpp ----
    void TabSheet4Show();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void FormCreate();
    void FormShow();
    bool FormCloseQuery();
    void FormClose();

    void createActions();
    void createMenus();
    void createToolBar();
    void createPages();
    void createDialogs();
    void showScanProblems();
    void afterFirstShow();
    void onCurrentPageChanged(int index);
    int menuHelpTopic(QMenu* menu, QAction* action) const;
    QString drawingFileFor(int row) const;

    // Fills TabSheet4 with the search page's controls (sdimain_search.cpp).
    void createSearchPage();

    AppPaths m_paths;
    UiServices& m_ui;
    QStringList m_args;

    veltris::ProgramSettings m_settings;
    veltris::Catalogue m_catalogue;
    veltris::ComponentBase m_base;
    veltris::Table m_second;
    veltris::NavigatorCatalogue m_navCatalogue;
    std::vector<veltris::Error> m_scanProblems;
    QString m_fileName;
    bool m_modified = false;
    bool m_terminate = false;
    bool m_showNavAtStart = true;
    bool m_shown = false;
    int m_currentPage = 0;
    bool m_systemPageChange = false;

    // Actions (objectName as in the window layout).
    QAction* m_FileNew1 = nullptr;
    QAction* m_FileOpen1 = nullptr;
    QAction* m_Import1 = nullptr;
    QAction* m_FileSave1 = nullptr;
    QAction* m_FileSaveAs1 = nullptr;
    QAction* m_N11 = nullptr;
    QAction* m_NavigatorAction = nullptr;
    QAction* m_FileExit1 = nullptr;
    QAction* m_N7 = nullptr;
    QAction* m_N8 = nullptr;
    QAction* m_N9 = nullptr;
    QAction* m_N4 = nullptr;
    QAction* m_N3 = nullptr;
    QAction* m_N14 = nullptr;
    QAction* m_N15 = nullptr;
    QAction* m_HelpAbout1 = nullptr;
    QList<QMenu*> m_menus;

    QToolBar* m_toolBar = nullptr;
    QTabWidget* m_pageControl = nullptr;
    QWidget* m_tabSheets[4] = {};
    ComponentGridView* m_grid1 = nullptr;
    ComponentGridView* m_grid2 = nullptr;
    ComponentTableModel* m_model1 = nullptr;
    ComponentTableModel* m_model2 = nullptr;
    QFrame* m_panel1 = nullptr;
    DrawingImage* m_image1 = nullptr;

    TAboutBox* m_aboutBox = nullptr;
    TParamBase* m_paramBase = nullptr;
    TProsm* m_prosm = nullptr;
    TAddDlg* m_addDlg = nullptr;
    TNavForm* m_navForm = nullptr;

    // ---- document commands (sdimain_document.cpp): members below ----
public:
    // Shown-list apply: the main-table columns in `shown` (second-table order) become the view
    // mask and the second table; an empty list leaves the names and one empty column.
    void applyShownList(const std::vector<int>& shown);

private:

    // ---- add, edit, delete (sdimain_edit.cpp): members below ----

    // ---- search page (sdimain_search.cpp): members below ----
public:
    SearchPage* searchPage() const { return m_searchPage; }
    // StringGrid3's cells: row 0 the column headers, column 0 the parameter names,
    // columns 1 and 3 the bounds, column 2 the reference values.
    const veltris::Table& selectionGrid() const;
    // New empties every cell of the selection grid, its header row included.
    void clearSelectionGrid();
    void StringGrid3DrawCell(QPainter* painter, const QStyleOptionViewItem& option, int row,
                             int col) const;

public slots:
    void FillNameList();
    void ShowSearchCaptions();
    void LabeledEdit1Change(const QString& text);
    void ListBox1DblClick();
    void FillSelectionGrid();
    void ResetSelectionBounds();
    void StringGrid3SelectCell(int row, int col);
    void StringGrid3MouseDown(int row, int col);
    void BitBtn1Click();
    void BitBtn2Click();

private:
    int searchRecord() const;  // the current record, row 1 when none is current
    veltris::Table& grid3();
    void selectionCellsChanged(int row);

    SearchPage* m_searchPage = nullptr;
};
