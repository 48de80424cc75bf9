// The frame of the main window: actions, menus, tool bar, pages, dialogs; start-up, shutdown,
// help and about.
#include "app/mainwindow.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QFileInfo>
#include <QFrame>
#include <QKeyEvent>
#include <QMenu>
#include <QMenuBar>
#include <QProxyStyle>
#include <QScreen>
#include <QScrollArea>
#include <QStatusBar>
#include <QStyle>
#include <QTabWidget>
#include <QTimer>
#include <QToolBar>
#include <QUndoStack>
#include <QUrl>
#include <QVBoxLayout>
#include <algorithm>

#include "app/aboutbox.h"
#include "document/recoverykeeper.h"
#include "edit/baseparametersdialog.h"
#include "edit/csvimportdialog.h"
#include "edit/recorddialog.h"
#include "edit/viewcolumnsdialog.h"
#include "search/navigatorwindow.h"
#include "search/searchpage.h"
#include "search/substitutepage.h"
#include "ui/errorbox.h"
#include "ui/uiservices.h"
#include "widgets/appresources.h"
#include "widgets/apputil.h"
#include "widgets/componentgrid.h"
#include "widgets/drawingview.h"
#include "widgets/latinmnemonics.h"
#include "widgets/windowplacement.h"

namespace {

const QString kForumUrl = QStringLiteral("https://bramis.example.org/forum/veltris");
constexpr int kHeaderRowHeight = 50;
constexpr int kScanProblemsShown = 20;

// The size read from the settings, kept within the desktop (never below the default size): a
// hand-edited 100000 would otherwise cost gigabytes of window memory.
QSize boundedWindowSize(int width, int height)
{
    QSize limit(veltris::ProgramSettings().width, veltris::ProgramSettings().height);
    if (const QScreen* s = QGuiApplication::primaryScreen())
        limit = limit.expandedTo(s->availableVirtualGeometry().size());
    return QSize(std::clamp(width, 1, limit.width()), std::clamp(height, 1, limit.height()));
}

}  // namespace

MainWindow::MainWindow(Document& document, UiServices& ui, QStringList args, QWidget* parent)
    : QMainWindow(parent), m_ui(ui), m_args(std::move(args)), m_document(document)
{
    m_ui.setMainWindow(this);
    setObjectName(QStringLiteral("mainWindow"));
    setWindowTitle(appTitle());
    setWindowIcon(programIcon());
    setFont(veltrisFont());
    installLatinMnemonics();  // Alt+A opens «Файл» in the Latin layout as Alt+Ф does

    createActions();
    createMenus();
    createToolBar();
    createPages();
    createStatusBar();

    const veltris::ProgramSettings& settings = m_document.application().settings();
    m_showNavigatorAtStart = settings.showNavigatorAtStart;
    // The saved place, or wherever the whole window fits on the screen under the mouse: the first
    // start's -4,-4 and a place no screen holds any more included.
    installScreenKeeping();
    placeWindow(
        this, QRect(QPoint(settings.left, settings.top), boundedWindowSize(settings.width, settings.height)));

    applyStandardWidths();
    for (ComponentGridView* g : {m_mainGrid, m_secondGrid})
        g->setHeaderCursor(appCursor(kSortArrowCursor));
    m_drawing->setCursor(appCursor(kZoomInCursor));
    m_drawing->setImage(placeholderDrawing());

    connectDocument();
    createDialogs();
}

MainWindow::~MainWindow()
{
    // The document outlives the window: its questions go back to the desktop.
    m_ui.setMainWindow(nullptr);
}

// ---- frame ----

void MainWindow::createActions()
{
    const auto make = [this](const char* name, const QString& text, const QString& hint, HelpTopic topic,
                             const QList<QKeySequence>& keys) {
        auto* a = new QAction(text, this);
        a->setObjectName(QLatin1String(name));
        if (!hint.isEmpty())
            setHint(a, hint);
        if (topic != HelpTopic::Contents)
            setHelpContext(a, topic);
        if (!keys.isEmpty())
            a->setShortcuts(keys);
        addAction(a);  // keys work wherever the window is active
        return a;
    };
    m_newBase = make("newBaseAction", QStringLiteral("&Новый"), QStringLiteral("Новый|Создать новый файл"),
                     HelpTopic::NewBase, {QKeySequence(Qt::CTRL | Qt::Key_N)});
    m_openBase = make("openBaseAction", QStringLiteral("&Открыть..."), QStringLiteral("Открыть|Открыть файл"),
                      HelpTopic::OpenBase, {QKeySequence(Qt::Key_F3), QKeySequence(Qt::CTRL | Qt::Key_O)});
    m_import = make("importAction", QStringLiteral("Импорт..."),
                    QStringLiteral("Импорт|Импортировать из файла"), HelpTopic::Import, {});
    m_import->setEnabled(false);
    m_saveBase = make("saveBaseAction", QStringLiteral("&Сохранить"),
                      QStringLiteral("Сохранить|Сохранить текущий файл"), HelpTopic::SaveBase,
                      {QKeySequence(Qt::Key_F2), QKeySequence(Qt::CTRL | Qt::Key_S)});
    m_saveBaseAs = make("saveBaseAsAction", QStringLiteral("Сохранить к&ак..."),
                        QStringLiteral("Сохранить как|Сохранить файл под другим именем"),
                        HelpTopic::SaveBaseAs, {QKeySequence(Qt::SHIFT | Qt::Key_F2)});
    m_export = make("exportAction", QStringLiteral("Экспорт..."),
                    QStringLiteral("Экспорт|Экспортировать в файл"), HelpTopic::Export, {});
    m_exportXlsx =
        make("exportXlsxAction", QStringLiteral("Экспорт в XLSX..."),
             QStringLiteral("Экспорт в XLSX|Записать таблицу в книгу Excel (XLSX)"), HelpTopic::Export, {});
    m_importCsv =
        make("importCsvAction", QStringLiteral("Импорт из CSV..."),
             QStringLiteral("Импорт из CSV|Прочитать записи из файла CSV в открытую или новую базу"),
             HelpTopic::CsvImport, {});
    m_navigatorAction =
        make("navigatorAction", QStringLiteral("Навигатор..."), QStringLiteral("Навигатор|Вызвать навигатор"),
             HelpTopic::NavigatorCommand, {QKeySequence(Qt::Key_F7)});
    m_exit = make("exitAction", QStringLiteral("Вы&ход"), QStringLiteral("Выход|Выход из программы"),
                  HelpTopic::Exit, {});
    m_undo =
        make("undoAction", QStringLiteral("Отменить"), QStringLiteral("Отменить|Отменить последнее действие"),
             HelpTopic::Contents, {QKeySequence(Qt::CTRL | Qt::Key_Z)});
    m_redo = make("redoAction", QStringLiteral("Повторить"),
                  QStringLiteral("Повторить|Повторить отменённое действие"), HelpTopic::Contents,
                  {QKeySequence(Qt::CTRL | Qt::Key_Y), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z)});
    m_addRecord =
        make("addRecordAction", QStringLiteral("Добавить"), QStringLiteral("Добавить|Добавить элемент"),
             HelpTopic::AddRecord, {QKeySequence(Qt::Key_Insert)});
    m_editRecord = make("editRecordAction", QStringLiteral("Изменить"),
                        QStringLiteral("Изменить|Изменить параметры элемента"), HelpTopic::EditRecord,
                        {QKeySequence(Qt::Key_F4)});
    m_deleteRecord =
        make("deleteRecordAction", QStringLiteral("Удалить"), QStringLiteral("Удалить|Удалить элемент"),
             HelpTopic::DeleteRecord, {QKeySequence(Qt::Key_F8)});
    m_findSubstitute = make("findSubstituteAction", QStringLiteral("Найти замену..."),
                            QStringLiteral("Найти замену|Подобрать замену текущему элементу"),
                            HelpTopic::Substitute, {QKeySequence(Qt::CTRL | Qt::Key_R)});
    m_baseParametersAction =
        make("baseParametersAction", QStringLiteral("Параметры базы"),
             QStringLiteral("Параметры базы|Настроить параметры базы"), HelpTopic::ParametersMenu, {});
    m_viewColumnsAction = make("viewColumnsAction", QStringLiteral("Параметры просмотра"),
                               QStringLiteral("Параметры просмотра|Настроить параметры просмотра"),
                               HelpTopic::ParametersMenu, {});
    m_helpContents = make("helpContentsAction", QStringLiteral("Вызов справки"),
                          QStringLiteral("Вызов справки"), HelpTopic::Contents, {QKeySequence(Qt::Key_F1)});
    m_forum =
        make("forumAction", QStringLiteral("На форуме сайта Брамис"), QString(), HelpTopic::Contents, {});
    m_about = make("aboutAction", QStringLiteral("&О программе..."),
                   QStringLiteral("О программе|Информация о программе и ее производителе"),
                   HelpTopic::Contents, {});

    connect(m_newBase, &QAction::triggered, this, &MainWindow::newBase);
    connect(m_openBase, &QAction::triggered, this, &MainWindow::openBase);
    connect(m_saveBase, &QAction::triggered, this, &MainWindow::saveBase);
    connect(m_saveBaseAs, &QAction::triggered, this, &MainWindow::saveBaseAs);
    connect(m_export, &QAction::triggered, this, &MainWindow::exportCsv);
    connect(m_exportXlsx, &QAction::triggered, this, &MainWindow::exportXlsx);
    connect(m_importCsv, &QAction::triggered, this, &MainWindow::importCsv);
    connect(m_navigatorAction, &QAction::triggered, this, &MainWindow::showNavigator);
    connect(m_exit, &QAction::triggered, this, &MainWindow::close);
    // The texts name the step: «Отменить удаление КТ315Б», «Повторить сортировку по имени».
    QUndoStack& history = m_document.undoStack();
    const auto follow = [](QAction* action, const QString& verb, const QString& step) {
        const QString text = step.isEmpty() ? verb : verb + QLatin1Char(' ') + step;
        action->setText(QString(text).replace(QLatin1Char('&'), QStringLiteral("&&")));
        action->setToolTip(text);
    };
    const QString undoVerb = m_undo->text();
    const QString redoVerb = m_redo->text();
    connect(&history, &QUndoStack::undoTextChanged, m_undo,
            [this, follow, undoVerb](const QString& step) { follow(m_undo, undoVerb, step); });
    connect(&history, &QUndoStack::redoTextChanged, m_redo,
            [this, follow, redoVerb](const QString& step) { follow(m_redo, redoVerb, step); });
    // A read-only base is not changed, not even back: its steps wait for Save as.
    connect(&history, &QUndoStack::canUndoChanged, this, &MainWindow::updateHistoryCommands);
    connect(&history, &QUndoStack::canRedoChanged, this, &MainWindow::updateHistoryCommands);
    updateHistoryCommands();
    connect(m_undo, &QAction::triggered, &history, &QUndoStack::undo);
    connect(m_redo, &QAction::triggered, &history, &QUndoStack::redo);
    connect(m_addRecord, &QAction::triggered, this, &MainWindow::addRecord);
    connect(m_editRecord, &QAction::triggered, this, &MainWindow::editRecord);
    connect(m_deleteRecord, &QAction::triggered, this, &MainWindow::deleteRecord);
    connect(m_findSubstitute, &QAction::triggered, this, &MainWindow::findSubstitute);
    connect(m_baseParametersAction, &QAction::triggered, this, &MainWindow::editBaseParameters);
    connect(m_viewColumnsAction, &QAction::triggered, this, &MainWindow::editViewColumns);
    connect(m_helpContents, &QAction::triggered, this, &MainWindow::showHelpContents);
    connect(m_forum, &QAction::triggered, this, &MainWindow::openForum);
    connect(m_about, &QAction::triggered, this, &MainWindow::showAbout);
}

namespace {

// Disabled entries can be highlighted too ("Импорт..." has a help topic of its own).
class MenuStyle : public QProxyStyle {
public:
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* returnData) const override
    {
        if (hint == QStyle::SH_Menu_AllowActiveAndDisabled)
            return 1;
        return QProxyStyle::styleHint(hint, option, widget, returnData);
    }
};

}  // namespace

void MainWindow::createMenus()
{
    QMenuBar* bar = menuBar();
    auto* menuStyle = new MenuStyle;
    menuStyle->setParent(this);
    bar->setObjectName(QStringLiteral("menuBar"));
    const auto menu = [this, menuStyle](QWidget* parent, const char* name, const QString& title,
                                        const QString& hint, HelpTopic topic) {
        auto* m = new QMenu(title, parent);
        m->setObjectName(QLatin1String(name));
        m->menuAction()->setObjectName(QLatin1String(name) + QStringLiteral("Item"));
        if (!hint.isEmpty())
            setHint(m->menuAction(), hint);
        if (topic != HelpTopic::Contents)
            setHelpContext(m->menuAction(), topic);
        m->setStyle(menuStyle);
        m->installEventFilter(this);  // F1 over a highlighted item: context help
        m_menus << m;
        return m;
    };

    QMenu* file = menu(bar, "fileMenu", QStringLiteral("&Файл"), QStringLiteral("Файловые команды"),
                       HelpTopic::FileMenu);
    file->addAction(m_newBase);
    file->addAction(m_openBase);
    file->addAction(m_import);
    file->addAction(m_saveBase);
    file->addAction(m_saveBaseAs);
    file->addSeparator();
    file->addAction(m_export);
    file->addAction(m_exportXlsx);
    file->addAction(m_importCsv);
    file->addAction(m_navigatorAction);
    file->addSeparator();
    file->addAction(m_exit);
    bar->addMenu(file);

    QMenu* edit = menu(bar, "editMenu", QStringLiteral("&Правка"), QStringLiteral("Команды редактирования"),
                       HelpTopic::EditMenu);
    edit->addAction(m_undo);
    edit->addAction(m_redo);
    edit->addSeparator();
    edit->addAction(m_addRecord);
    edit->addAction(m_editRecord);
    edit->addAction(m_deleteRecord);
    edit->addSeparator();
    edit->addAction(m_findSubstitute);
    bar->addMenu(edit);

    QMenu* params = menu(bar, "parametersMenu", QStringLiteral("Па&раметры"),
                         QStringLiteral("Параметры программы"), HelpTopic::ParametersMenu);
    params->addAction(m_baseParametersAction);
    params->addAction(m_viewColumnsAction);
    bar->addMenu(params);

    QMenu* help =
        menu(bar, "helpMenu", QStringLiteral("&Справка"), QStringLiteral("Справка"), HelpTopic::HelpMenu);
    help->addAction(m_helpContents);
    QMenu* discuss = menu(help, "discussMenu", QStringLiteral("Обсудить"), QString(), HelpTopic::Contents);
    discuss->addAction(m_forum);
    help->addMenu(discuss);
    help->addSeparator()->setObjectName(QStringLiteral("aboutSeparator"));
    help->addAction(m_about);
    bar->addMenu(help);
}

void MainWindow::createToolBar()
{
    m_toolBar = new QToolBar(this);
    m_toolBar->setObjectName(QStringLiteral("toolBar"));
    m_toolBar->setMovable(false);
    m_toolBar->setFloatable(false);
    m_toolBar->setFixedHeight(30);
    m_toolBar->setIconSize(QSize(16, 16));
    m_toolBar->setContextMenuPolicy(Qt::PreventContextMenu);
    m_newBase->setIcon(style()->standardIcon(QStyle::SP_FileIcon));
    m_openBase->setIcon(style()->standardIcon(QStyle::SP_DialogOpenButton));
    m_saveBase->setIcon(style()->standardIcon(QStyle::SP_DialogSaveButton));
    m_navigatorAction->setIcon(style()->standardIcon(QStyle::SP_FileDialogContentsView));
    m_undo->setIcon(style()->standardIcon(QStyle::SP_ArrowBack));
    m_redo->setIcon(style()->standardIcon(QStyle::SP_ArrowForward));
    const auto addGap = [this](const char* name) {  // an 8-pixel separator
        auto* gap = new QWidget(m_toolBar);
        gap->setObjectName(QLatin1String(name));
        gap->setFixedWidth(8);
        m_toolBar->addWidget(gap);
    };
    m_toolBar->addAction(m_newBase);
    m_toolBar->addAction(m_openBase);
    m_toolBar->addAction(m_saveBase);
    addGap("fileGap");
    m_toolBar->addAction(m_undo);
    m_toolBar->addAction(m_redo);
    addGap("undoGap");
    m_toolBar->addAction(m_navigatorAction);
    addToolBar(Qt::TopToolBarArea, m_toolBar);
}

void MainWindow::createPages()
{
    m_pages = new QTabWidget(this);
    m_pages->setObjectName(QStringLiteral("pages"));
    m_pages->setDocumentMode(false);
    setHelpContext(m_pages, HelpTopic::Contents);

    const QString captions[PageCount] = {QStringLiteral("Таблица №1"), QStringLiteral("Таблица №2"),
                                         QStringLiteral("Габариты"), QStringLiteral("Поиск"),
                                         QStringLiteral("Замена")};
    const char* const pageNames[PageCount] = {"mainTableTab", "secondTableTab", "drawingTab", "searchTab",
                                              "substituteTab"};
    for (int i = 0; i < PageCount; ++i) {
        m_pageWidgets[i] = new QWidget;
        m_pageWidgets[i]->setObjectName(QLatin1String(pageNames[i]));
        m_pages->addTab(m_pageWidgets[i], captions[i]);
    }
    setHelpContext(m_pageWidgets[DrawingPage], HelpTopic::Drawing);
    setHelpContext(m_pageWidgets[SearchPageIndex], HelpTopic::SearchPage);
    setHelpContext(m_pageWidgets[SubstitutePageIndex], HelpTopic::Substitute);

    m_mainModel = new ComponentTableModel(&m_document.mainTable(), this);
    m_secondModel = new ComponentTableModel(&m_document.secondTable(), this);
    m_mainGrid = new ComponentGridView(m_pageWidgets[MainTablePage]);
    m_mainGrid->setObjectName(QStringLiteral("mainGrid"));
    m_mainGrid->setTableModel(m_mainModel);
    m_secondGrid = new ComponentGridView(m_pageWidgets[SecondTablePage]);
    m_secondGrid->setObjectName(QStringLiteral("secondGrid"));
    m_secondGrid->setTableModel(m_secondModel);
    for (int i = 0; i < 2; ++i) {
        auto* lay = new QVBoxLayout(m_pageWidgets[i]);
        lay->setContentsMargins(0, 0, 0, 0);
        lay->addWidget(i == 0 ? m_mainGrid : m_secondGrid);
    }
    for (ComponentGridView* g : {m_mainGrid, m_secondGrid}) {
        g->setHeaderRowHeight(kHeaderRowHeight);
        connect(g, &ComponentGridView::titleRightPressed, this,
                [this, g](int column) { sortByColumn(g, column); });
    }
    connect(m_mainGrid->selectionModel(), &QItemSelectionModel::currentChanged, this,
            &MainWindow::refreshDrawing);
    // The current record is the document's: the grid tells it where the user went, and goes
    // where a dialog or a page sends it.
    connect(m_mainGrid->selectionModel(), &QItemSelectionModel::currentChanged, this,
            &MainWindow::followMainGrid);
    // A model reset brings a new selection model only if the model changes; ours stays.

    m_drawingPanel = new QFrame(m_pageWidgets[DrawingPage]);
    m_drawingPanel->setObjectName(QStringLiteral("drawingPanel"));
    m_drawingPanel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    setHelpContext(m_drawingPanel, HelpTopic::Drawing);
    auto* pageLay = new QVBoxLayout(m_pageWidgets[DrawingPage]);
    pageLay->setContentsMargins(0, 0, 0, 0);
    pageLay->addWidget(m_drawingPanel);
    m_drawing = new DrawingImage(m_drawingPanel);
    m_drawing->setObjectName(QStringLiteral("drawingImage"));
    setHelpContext(m_drawing, HelpTopic::Drawing);
    auto* panelLay = new QVBoxLayout(m_drawingPanel);
    panelLay->setContentsMargins(1, 1, 1, 1);
    panelLay->addWidget(m_drawing);
    connect(m_drawing, &DrawingImage::clicked, this, &MainWindow::toggleDrawingStretch);

    setCentralWidget(m_pages);
    connect(m_pages, &QTabWidget::currentChanged, this, &MainWindow::onCurrentPageChanged);

    createSearchPage();
    createSubstitutePage();
}

void MainWindow::createSearchPage()
{
    QWidget* sheet = m_pageWidgets[SearchPageIndex];
    m_searchPage = new SearchPage(m_document, sheet);
    // Its controls have fixed places; a window smaller than they need (a scaled screen) scrolls
    // the page instead of cutting it off.
    auto* area = new QScrollArea(sheet);
    area->setObjectName(QStringLiteral("searchScrollArea"));
    area->setFrameShape(QFrame::NoFrame);
    area->setWidgetResizable(true);
    area->setWidget(m_searchPage);
    auto* lay = new QVBoxLayout(sheet);
    lay->setContentsMargins(0, 0, 0, 0);
    lay->addWidget(area);
    connect(m_searchPage, &SearchPage::selectionApplied, this, [this] { showPage(SecondTablePage); });
}

void MainWindow::createSubstitutePage()
{
    QWidget* sheet = m_pageWidgets[SubstitutePageIndex];
    const AppPaths& paths = m_document.paths();
    m_substitutePage =
        new SubstitutePage(m_ui, m_document.application().settingsFile(), paths.dataDir,
                           m_document.catalogue(), m_document.application().navigatorCatalogue(), sheet);
    // The page needs more room than the smallest window gives; there it scrolls instead of
    // holding the window wide.
    auto* area = new QScrollArea(sheet);
    area->setObjectName(QStringLiteral("substituteScrollArea"));
    area->setFrameShape(QFrame::NoFrame);
    area->setWidgetResizable(true);
    area->setWidget(m_substitutePage);
    auto* lay = new QVBoxLayout(sheet);
    lay->setContentsMargins(0, 0, 0, 0);
    lay->addWidget(area);
    m_substitutePage->setOpenBase(&m_document.base(), m_document.fileName());
    connect(m_substitutePage, &SubstitutePage::recordChosen, this, &MainWindow::showSubstitute);
    // Records selected on the main table are compared side by side from its context menu.
    m_mainGrid->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_mainGrid, &QWidget::customContextMenuRequested, this, &MainWindow::showMainTableMenu);
}

void MainWindow::createDialogs()
{
    m_aboutBox = new AboutBox(m_ui, this);
    m_baseParameters = new BaseParametersDialog(m_document, this);
    m_viewColumns = new ViewColumnsDialog(m_document, this);
    m_csvImport = new CsvImportDialog(m_document, this);
    m_recordDialog = new RecordDialog(m_document, this);
    connect(m_recordDialog, &RecordDialog::textsWritten, this, [this](bool lossy) {
        if (lossy)
            statusBar()->showMessage(RecordDialog::lossyTextMessage());
        else if (statusBar()->currentMessage() == RecordDialog::lossyTextMessage())
            statusBar()->clearMessage();
    });
    m_navigator = new NavigatorWindow(m_document, this);
    connect(m_navigator, &NavigatorWindow::compareRequested, this, &MainWindow::compareListedParts);
}

QWidget* MainWindow::page(int index) const
{
    return index >= 0 && index < PageCount ? m_pageWidgets[index] : nullptr;
}

// ---- show and close ----

void MainWindow::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    if (!m_shown) {
        m_shown = true;
        onFirstShow();
    }
}

void MainWindow::onFirstShow()
{
    if (!m_args.isEmpty()) {
        const QString name = m_args.first();
        if (QFileInfo(name).isFile()) {
            m_showNavigatorAtStart = false;
            m_document.load(name);
        } else if (name.contains(QChar::ReplacementCharacter)) {
            // Bytes that are no UTF-8 cannot be turned back into the file's name.
            const QString text =
                QStringLiteral("Имя файла в командной строке не в кодировке UTF-8, файл не открыт:\r\n") +
                name;
            showErrorBox(m_ui, this, veltris::Error{veltris::ErrorKind::Generic, text.toStdString()});
        } else {
            // A name that is no file (missing, a folder) is said, not passed over: the reader's
            // message names it and the reason; the empty base stays.
            m_document.load(name);
        }
    }
    // The scan problems, then the navigator, from the loop over the shown window. The navigator
    // follows the message's close, not the window's activation: without a window manager the
    // message takes the activation and nothing gives it back.
    QTimer::singleShot(0, this, &MainWindow::afterFirstShow);
    activateWindow();
}

void MainWindow::afterFirstShow()
{
    if (m_document.application().settingsFile().problem())
        showWarningBox(m_ui, this, m_document.application().settingsFile().problemText());
    if (!m_document.application().scanProblems().empty())
        showScanProblems();
    // Changes a program that ended without saving left behind come before the navigator; a
    // restored base is the one to work on.
    if (m_document.offerRecovery())
        m_showNavigatorAtStart = false;
    if (m_showNavigatorAtStart) {
        m_showNavigatorAtStart = false;
        showNavigator();
    }
    emit started();
}

void MainWindow::showScanProblems()
{
    const auto& problems = m_document.application().scanProblems();
    showWarningBox(m_ui, this,
                   QStringLiteral("Навигатор не смог прочитать некоторые базы:\r\n") +
                       problemLines(problems, kScanProblemsShown, QStringLiteral("\r\n")));
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    // A save under way ends first (its progress window is up); the window closes after. When
    // the session or a signal ends the program, the close waits for it instead.
    if (m_ending == Ending::None && (m_document.isSaving() || !m_document.confirmDiscard())) {
        event->ignore();
        return;
    }
    saveWindowSettings();
    m_document.closeBase(m_ending == Ending::ChangesKept);
    event->accept();
}

void MainWindow::changeEvent(QEvent* event)
{
    QMainWindow::changeEvent(event);
    // Back from another program: the open file may have been changed there. Looked at from the
    // loop, after whatever the activation belongs to has finished.
    if (event->type() == QEvent::ActivationChange && isActiveWindow() && m_shown)
        QTimer::singleShot(0, &m_document, &Document::checkFileOnDisk);
}

bool MainWindow::endOfSession(bool interactionAllowed)
{
    if (!m_document.isModified())
        return true;
    if (interactionAllowed) {
        if (!m_document.confirmDiscard())
            return false;
        if (m_document.isModified())
            m_ending = Ending::ChangesGivenUp;  // «Нет»: the close that follows asks no more
        return true;
    }
    m_document.recovery().writeNow();
    m_ending = Ending::ChangesKept;
    return true;
}

void MainWindow::endBySignal()
{
    m_document.recovery().writeNow();
    m_document.closeBase(true);
    m_ending = Ending::ChangesKept;
    QCoreApplication::exit(0);
    // Arrived in a modal loop of the start (a question before the main loop runs): that loop
    // ends, and the main loop ends as soon as it starts.
    QTimer::singleShot(0, qApp, [] { QCoreApplication::exit(0); });
}

void MainWindow::saveWindowSettings()
{
    Application& application = m_document.application();
    veltris::ProgramSettings& settings = application.settings();
    settings.width = width();
    settings.height = height();
    settings.top = y();
    settings.left = x();
    // A file that could not be read at start was said then; the changes stay in memory.
    if (application.saveSettings())
        return;
    if (application.settingsFile().problem())
        showWarningBox(m_ui, this, application.settingsFile().problemText());
    else
        showWarningBox(m_ui, this, QString::fromUtf8(veltris::kSettingsWriteFailed), MessageIcon::None);
}

// ---- commands of the frame ----

void MainWindow::showNavigator()
{
    m_ui.execDialog(m_navigator);
}

void MainWindow::showAbout()
{
    m_ui.execDialog(m_aboutBox);
}

void MainWindow::showHelpContents()
{
    m_ui.showHelp(HelpTopic::Contents);
}

void MainWindow::openForum()
{
    m_ui.openUrl(QUrl(kForumUrl));
}

// ---- context help over menus ----

HelpTopic MainWindow::menuHelpTopic(QMenu* menu, QAction* action) const
{
    if (action && helpContext(action) != HelpTopic::Contents)
        return helpContext(action);
    for (QMenu* m = menu; m; m = qobject_cast<QMenu*>(m->parentWidget()))
        if (helpContext(m->menuAction()) != HelpTopic::Contents)
            return helpContext(m->menuAction());
    return HelpTopic::Contents;
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event)
{
    auto* menu = qobject_cast<QMenu*>(watched);
    if (menu && m_menus.contains(menu) &&
        (event->type() == QEvent::ShortcutOverride || event->type() == QEvent::KeyPress) &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_F1) {
        if (event->type() == QEvent::ShortcutOverride) {
            event->accept();  // F1 here is context help, not "Вызов справки"
            return true;
        }
        const HelpTopic topic = menuHelpTopic(menu, menu->activeAction());
        while (QWidget* popup = QApplication::activePopupWidget())
            popup->close();
        m_ui.showHelp(topic);
        return true;
    }
    return QMainWindow::eventFilter(watched, event);
}
