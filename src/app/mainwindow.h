#pragma once
// The main window: menus, tool bar, the four pages (main table, second table, package drawing,
// search) over one Document, start-up and shutdown, help and about. The commands themselves
// live in the Document and the dialogs; this class connects them to the menus and keeps the
// views in step with the document's signals.
#include <QMainWindow>
#include <QStringList>
#include <vector>

#include "document/apppaths.h"
#include "document/document.h"
#include "ui/helptopic.h"

class QAction;
class QFrame;
class QLabel;
class QMenu;
class QTabWidget;
class QToolBar;

class AboutBox;
class BaseParametersDialog;
class CsvImportDialog;
class ComponentGridView;
class ComponentTableModel;
class DrawingImage;
class NavigatorWindow;
struct PartAddress;
class RecordDialog;
class SearchPage;
class SubstitutePage;
class UiServices;
class ViewColumnsDialog;

class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    // The pages, in their order.
    enum Page {
        MainTablePage = 0,
        SecondTablePage = 1,
        DrawingPage = 2,
        SearchPageIndex = 3,
        SubstitutePageIndex = 4,
        PageCount
    };

    // The window over `document` (which outlives it), with its dialogs; `args` are the command
    // line's (a base to open once the window is first shown).
    MainWindow(Document& document, UiServices& ui, QStringList args, QWidget* parent = nullptr);
    ~MainWindow() override;

    Document& document() { return m_document; }
    const Document& document() const { return m_document; }
    UiServices& ui() const { return m_ui; }
    // The navigator opens once the window is first shown (settings, no base on the command line).
    bool navigatorAtStart() const { return m_showNavigatorAtStart; }

signals:
    // The start-up work queued by the first show is done: scan problems shown, navigator run.
    void started();

public:
    // ---- views ----
    QTabWidget* pages() const { return m_pages; }
    QWidget* page(int index) const;  // a Page
    ComponentGridView* mainGrid() const { return m_mainGrid; }
    ComponentGridView* secondGrid() const { return m_secondGrid; }
    ComponentTableModel* mainModel() const { return m_mainModel; }
    ComponentTableModel* secondModel() const { return m_secondModel; }
    DrawingImage* drawingView() const { return m_drawing; }
    SearchPage* searchPage() const { return m_searchPage; }
    SubstitutePage* substitutePage() const { return m_substitutePage; }
    QAction* addRecordAction() const { return m_addRecord; }
    QAction* editRecordAction() const { return m_editRecord; }
    QAction* deleteRecordAction() const { return m_deleteRecord; }
    QAction* undoAction() const { return m_undo; }
    QAction* redoAction() const { return m_redo; }
    QAction* findSubstituteAction() const { return m_findSubstitute; }

    AboutBox* aboutBox() const { return m_aboutBox; }
    BaseParametersDialog* baseParametersDialog() const { return m_baseParameters; }
    ViewColumnsDialog* viewColumnsDialog() const { return m_viewColumns; }
    CsvImportDialog* csvImportDialog() const { return m_csvImport; }
    RecordDialog* recordDialog() const { return m_recordDialog; }
    NavigatorWindow* navigatorWindow() const { return m_navigator; }

    // Current record of the main table, core numbering (1..); 0 when the table has no record.
    int currentRow() const;
    int currentColumn() const;
    // Moves the main table's current cell; a change refreshes the drawing.
    void setCurrentCell(int row, int col);
    // Brings a page to the front as a program step, not a user's choice: the page's own effects
    // run, the page control's help topic stays.
    void showPage(int index);
    // Package drawing of the current row (or the placeholder).
    void refreshDrawing();

public slots:
    // ---- commands of the menus ----
    void newBase();
    void openBase();
    bool saveBase();
    bool saveBaseAs();
    void exportCsv();
    void exportXlsx();
    // «Импорт из CSV...»: a CSV file read into the open base or into a new one.
    void importCsv();
    void showNavigator();
    void addRecord();
    void editRecord();
    void deleteRecord();
    // The current record as the reference of the page «Замена», searched at once.
    void findSubstitute();
    // The records selected on the main table side by side, the current one as the reference.
    void compareSelectedRecords();
    void editBaseParameters();
    void editViewColumns();
    void showHelpContents();
    void openForum();
    void showAbout();

    // A right press on a title of `grid`: its rows sorted by that core column.
    void sortByColumn(ComponentGridView* grid, int coreColumn);
    // A click on the drawing switches between its own size and the page's size.
    void toggleDrawingStretch();

    // ---- the end of the program other than by closing the window ----
    // The session manager ends the session. With interaction allowed, the unsaved-changes
    // prompt runs as on close (false: the user cancelled, the session should not end); without,
    // the changes go to the recovery file. Either way a close that follows asks nothing more.
    bool endOfSession(bool interactionAllowed);
    // SIGTERM or SIGHUP: the changes go to the recovery file (kept for the next start), the
    // lock is released and the event loop ends. Nothing is asked.
    void endBySignal();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void createActions();
    void createMenus();
    void createToolBar();
    void createPages();
    void createSearchPage();
    void createSubstitutePage();
    // A result of the page «Замена» chosen: that record becomes current, in its own base.
    void showSubstitute(const QString& baseFile, int row);
    void showMainTableMenu(const QPoint& at);
    // Components chosen in the navigator, read from their bases, side by side.
    void compareListedParts(const std::vector<PartAddress>& parts);
    void createDialogs();
    void connectDocument();

    void onFirstShow();
    void afterFirstShow();
    void showScanProblems();
    void saveWindowSettings();
    HelpTopic menuHelpTopic(QMenu* menu, QAction* action) const;

    // ---- views following the document (mainwindow_pages.cpp) ----
    void onBaseReplaced(Document::Origin origin);
    void refreshSecondTable();
    void applyStandardWidths();
    void showTablesFromStart();
    void showCellNeedingAttention(int row, int column);
    // A step of the history reached record `row` (0: the main table as a whole).
    void showTouchedRecord(int row);
    // The main grid's current record becomes the document's, and the document's the grid's.
    void followMainGrid();
    void showCurrentRecord(int row, int column);

    // ---- the status bar (mainwindow_status.cpp) ----
    void createStatusBar();
    void updateStatusBar();

    // ---- pages and commands (mainwindow_pages.cpp) ----
    QString drawingFileFor(int row) const;
    void onCurrentPageChanged(int index);
    void setRecordCommandsEnabled(bool enabled);
    // Commands that change the base or write it follow the read-only state.
    void updateEditingCommands();
    // «Отменить» and «Повторить» follow the history and the read-only state.
    void updateHistoryCommands();
    void updatePageHelpTopic();

    UiServices& m_ui;
    QStringList m_args;
    Document& m_document;
    bool m_showNavigatorAtStart = true;
    bool m_shown = false;
    int m_currentPage = 0;
    bool m_programPageChange = false;
    bool m_followingMainGrid = false;
    // How the session's end was settled: a close that follows asks nothing more. Any change of
    // the base afterwards (the session went on) makes the close ask again.
    enum class Ending {
        None,
        ChangesKept,
        ChangesGivenUp
    };
    Ending m_ending = Ending::None;

    // Actions (objectName: the menu item's name, which help and tests look up).
    QAction* m_newBase = nullptr;
    QAction* m_openBase = nullptr;
    QAction* m_import = nullptr;
    QAction* m_saveBase = nullptr;
    QAction* m_saveBaseAs = nullptr;
    QAction* m_export = nullptr;
    QAction* m_exportXlsx = nullptr;
    QAction* m_importCsv = nullptr;
    QAction* m_navigatorAction = nullptr;
    QAction* m_exit = nullptr;
    QAction* m_undo = nullptr;
    QAction* m_redo = nullptr;
    QAction* m_addRecord = nullptr;
    QAction* m_editRecord = nullptr;
    QAction* m_deleteRecord = nullptr;
    QAction* m_findSubstitute = nullptr;
    QAction* m_baseParametersAction = nullptr;
    QAction* m_viewColumnsAction = nullptr;
    QAction* m_helpContents = nullptr;
    QAction* m_forum = nullptr;
    QAction* m_about = nullptr;
    QList<QMenu*> m_menus;

    QToolBar* m_toolBar = nullptr;
    QLabel* m_basePathLabel = nullptr;
    QLabel* m_modifiedLabel = nullptr;
    QLabel* m_readOnlyLabel = nullptr;
    QTabWidget* m_pages = nullptr;
    QWidget* m_pageWidgets[PageCount] = {};
    ComponentGridView* m_mainGrid = nullptr;
    ComponentGridView* m_secondGrid = nullptr;
    ComponentTableModel* m_mainModel = nullptr;
    ComponentTableModel* m_secondModel = nullptr;
    QFrame* m_drawingPanel = nullptr;
    DrawingImage* m_drawing = nullptr;
    SearchPage* m_searchPage = nullptr;
    SubstitutePage* m_substitutePage = nullptr;
    // The record last given to the page «Замена» as its reference: arriving at the page again
    // without moving in the table keeps a reference the user picked by name.
    int m_substituteReferenceGiven = 0;

    AboutBox* m_aboutBox = nullptr;
    BaseParametersDialog* m_baseParameters = nullptr;
    ViewColumnsDialog* m_viewColumns = nullptr;
    CsvImportDialog* m_csvImport = nullptr;
    RecordDialog* m_recordDialog = nullptr;
    NavigatorWindow* m_navigator = nullptr;
};
