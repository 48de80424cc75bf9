#include "app/sdimain.h"

#include <QAction>
#include <algorithm>
#include <QApplication>
#include <QCloseEvent>
#include <QFileInfo>
#include <QFrame>
#include <QKeyEvent>
#include <QMenu>
#include <QMenuBar>
#include <QProxyStyle>
#include <QScreen>
#include <QStatusBar>
#include <QStyle>
#include <QTabWidget>
#include <QTimer>
#include <QToolBar>
#include <QUrl>
#include <QVBoxLayout>

#include "app/aboutbox.h"
#include "app/appresources.h"
#include "app/apputil.h"
#include "app/componentgrid.h"
#include "app/drawingview.h"
#include "app/uiservices.h"
#include "base/cp1251.h"
#include "base/ini.h"
#include "edit/adddlg.h"
#include "edit/parambase.h"
#include "edit/prosm.h"
#include "search/navform.h"

namespace {

const QString kForumUrl = QStringLiteral("https://bramis.example.org/forum/veltris");
constexpr int kHeaderRowHeight = 50;
constexpr int kScanProblemsShown = 20;

// The size read from the settings, kept within the desktop (never below the default size), as
// the window system itself limits a window: a hand-edited 100000 would otherwise cost gigabytes
// of window memory.
QSize boundedWindowSize(int width, int height)
{
    QSize limit(veltris::ProgramSettings().width, veltris::ProgramSettings().height);
    if (const QScreen* s = QGuiApplication::primaryScreen())
        limit = limit.expandedTo(s->availableVirtualGeometry().size());
    return QSize(std::min(width, limit.width()), std::min(height, limit.height()));
}

}  // namespace

TSDIAppForm::TSDIAppForm(const AppPaths& paths, UiServices& ui, QStringList args, QWidget* parent)
    : QMainWindow(parent), m_paths(paths), m_ui(ui), m_args(std::move(args))
{
    setObjectName(QStringLiteral("TSDIAppForm"));
    setWindowTitle(appTitle());
    setWindowIcon(programIcon());
    setFont(veltrisFont());

    createActions();
    createMenus();
    createToolBar();
    createPages();
    auto* status = new QStatusBar(this);
    status->setObjectName(QStringLiteral("StatusBar"));
    status->setFixedHeight(19);
    setStatusBar(status);

    FormCreate();
    createDialogs();
}

TSDIAppForm::~TSDIAppForm()
{
    // The views, models and dialogs read the tables held in this object's members, which die
    // before ~QWidget would delete the children: take them down while everything is alive.
    hide();
    delete m_navForm;
    delete m_addDlg;
    delete m_prosm;
    delete m_paramBase;
    delete m_aboutBox;
    delete m_pageControl;
    delete m_model1;
    delete m_model2;
}

// ---- frame ----

void TSDIAppForm::createActions()
{
    const auto make = [this](const char* name, const QString& text, const QString& hint, int topic,
                             const QList<QKeySequence>& keys) {
        auto* a = new QAction(text, this);
        a->setObjectName(QLatin1String(name));
        if (!hint.isEmpty())
            setHint(a, hint);
        if (topic)
            setHelpContext(a, topic);
        if (!keys.isEmpty())
            a->setShortcuts(keys);
        addAction(a);  // keys work wherever the window is active
        return a;
    };
    m_FileNew1 = make("FileNew1", QStringLiteral("&Новый"), QStringLiteral("Новый|Создать новый файл"), 11,
                      {QKeySequence(Qt::CTRL | Qt::Key_N)});
    m_FileOpen1 = make("FileOpen1", QStringLiteral("&Открыть..."), QStringLiteral("Открыть|Открыть файл"), 12,
                       {QKeySequence(Qt::Key_F3), QKeySequence(Qt::CTRL | Qt::Key_O)});
    m_Import1 = make("Import1", QStringLiteral("Импорт..."), QStringLiteral("Импорт|Импортировать из файла"), 13,
                     {});
    m_Import1->setEnabled(false);
    m_FileSave1 = make("FileSave1", QStringLiteral("&Сохранить"),
                       QStringLiteral("Сохранить|Сохранить текущий файл"), 14,
                       {QKeySequence(Qt::Key_F2), QKeySequence(Qt::CTRL | Qt::Key_S)});
    m_FileSaveAs1 = make("FileSaveAs1", QStringLiteral("Сохранить к&ак..."),
                         QStringLiteral("Сохранить как|Сохранить файл под другим именем"), 15,
                         {QKeySequence(Qt::SHIFT | Qt::Key_F2)});
    m_N11 = make("N11", QStringLiteral("Экспорт..."), QStringLiteral("Экспорт|Экспортировать в файл"), 16, {});
    m_NavigatorAction = make("NavigatorAction", QStringLiteral("Навигатор..."),
                             QStringLiteral("Навигатор|Вызвать навигатор"), 17, {QKeySequence(Qt::Key_F7)});
    m_FileExit1 = make("FileExit1", QStringLiteral("Вы&ход"), QStringLiteral("Выход|Выход из программы"), 18, {});
    m_N7 = make("N7", QStringLiteral("Добавить"), QStringLiteral("Добавить|Добавить элемент"), 21,
                {QKeySequence(Qt::Key_Insert)});
    m_N8 = make("N8", QStringLiteral("Изменить"), QStringLiteral("Изменить|Изменить параметры элемента"), 22,
                {QKeySequence(Qt::Key_F4)});
    m_N9 = make("N9", QStringLiteral("Удалить"), QStringLiteral("Удалить|Удалить элемент"), 23,
                {QKeySequence(Qt::Key_F8)});
    m_N4 = make("N4", QStringLiteral("Параметры базы"), QStringLiteral("Параметры базы|Настроить параметры базы"),
                25, {});
    m_N3 = make("N3", QStringLiteral("Параметры просмотра"),
                QStringLiteral("Параметры просмотра|Настроить параметры просмотра"), 25, {});
    m_N14 = make("N14", QStringLiteral("Вызов справки"), QStringLiteral("Вызов справки"), 0,
                 {QKeySequence(Qt::Key_F1)});
    m_N15 = make("N15", QStringLiteral("На форуме сайта Брамис"), QString(), 0, {});
    m_HelpAbout1 = make("HelpAbout1", QStringLiteral("&О программе..."),
                        QStringLiteral("О программе|Информация о программе и ее производителе"), 0, {});

    connect(m_FileNew1, &QAction::triggered, this, &TSDIAppForm::FileNew1Execute);
    connect(m_FileOpen1, &QAction::triggered, this, &TSDIAppForm::FileOpen);
    connect(m_FileSave1, &QAction::triggered, this, [this] { FileSave1Execute(); });
    connect(m_FileSaveAs1, &QAction::triggered, this, [this] { FileSaveAs1Execute(); });
    connect(m_N11, &QAction::triggered, this, &TSDIAppForm::exportCsv);
    connect(m_NavigatorAction, &QAction::triggered, this, &TSDIAppForm::NavigatorActionExecute);
    connect(m_FileExit1, &QAction::triggered, this, &TSDIAppForm::FileExit1Execute);
    connect(m_N7, &QAction::triggered, this, &TSDIAppForm::N7Click);
    connect(m_N8, &QAction::triggered, this, &TSDIAppForm::N8Click);
    connect(m_N9, &QAction::triggered, this, &TSDIAppForm::N9Click);
    connect(m_N4, &QAction::triggered, this, &TSDIAppForm::N4Click);
    connect(m_N3, &QAction::triggered, this, &TSDIAppForm::N3Click);
    connect(m_N14, &QAction::triggered, this, &TSDIAppForm::showHelpContents);
    connect(m_N15, &QAction::triggered, this, &TSDIAppForm::openForum);
    connect(m_HelpAbout1, &QAction::triggered, this, &TSDIAppForm::HelpAbout1Execute);
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

void TSDIAppForm::createMenus()
{
    QMenuBar* bar = menuBar();
    auto* menuStyle = new MenuStyle;
    menuStyle->setParent(this);
    bar->setObjectName(QStringLiteral("MainMenu1"));
    const auto menu = [this, menuStyle](QWidget* parent, const char* name, const QString& title, const QString& hint,
                             int topic) {
        auto* m = new QMenu(title, parent);
        m->setObjectName(QLatin1String(name));
        m->menuAction()->setObjectName(QLatin1String(name) + QStringLiteral("Item"));
        if (!hint.isEmpty())
            setHint(m->menuAction(), hint);
        if (topic)
            setHelpContext(m->menuAction(), topic);
        m->setStyle(menuStyle);
        m->installEventFilter(this);  // F1 over a highlighted item: context help
        m_menus << m;
        return m;
    };

    QMenu* file = menu(bar, "File1", QStringLiteral("&Файл"), QStringLiteral("Файловые команды"), 10);
    file->addAction(m_FileNew1);
    file->addAction(m_FileOpen1);
    file->addAction(m_Import1);
    file->addAction(m_FileSave1);
    file->addAction(m_FileSaveAs1);
    file->addSeparator();
    file->addAction(m_N11);
    file->addAction(m_NavigatorAction);
    file->addSeparator();
    file->addAction(m_FileExit1);
    bar->addMenu(file);

    QMenu* edit = menu(bar, "Edit1", QStringLiteral("Правка"), QStringLiteral("Команды редактирования"), 20);
    edit->addAction(m_N7);
    edit->addAction(m_N8);
    edit->addAction(m_N9);
    bar->addMenu(edit);

    QMenu* params = menu(bar, "Params1", QStringLiteral("Параметры"), QStringLiteral("Параметры программы"), 25);
    params->addAction(m_N4);
    params->addAction(m_N3);
    bar->addMenu(params);

    QMenu* help = menu(bar, "Help1", QStringLiteral("&Справка"), QStringLiteral("Справка"), 29);
    help->addAction(m_N14);
    QMenu* discuss = menu(help, "N16", QStringLiteral("Обсудить"), QString(), 0);
    discuss->addAction(m_N15);
    help->addMenu(discuss);
    help->addSeparator()->setObjectName(QStringLiteral("N17"));
    help->addAction(m_HelpAbout1);
    bar->addMenu(help);
}

void TSDIAppForm::createToolBar()
{
    m_toolBar = new QToolBar(this);
    m_toolBar->setObjectName(QStringLiteral("ToolBar1"));
    m_toolBar->setMovable(false);
    m_toolBar->setFloatable(false);
    m_toolBar->setFixedHeight(30);
    m_toolBar->setIconSize(QSize(16, 16));
    m_toolBar->setContextMenuPolicy(Qt::PreventContextMenu);
    m_FileNew1->setIcon(style()->standardIcon(QStyle::SP_FileIcon));
    m_FileOpen1->setIcon(style()->standardIcon(QStyle::SP_DialogOpenButton));
    m_FileSave1->setIcon(style()->standardIcon(QStyle::SP_DialogSaveButton));
    m_NavigatorAction->setIcon(style()->standardIcon(QStyle::SP_FileDialogContentsView));
    m_toolBar->addAction(m_FileNew1);
    m_toolBar->addAction(m_FileOpen1);
    m_toolBar->addAction(m_FileSave1);
    auto* gap = new QWidget(m_toolBar);  // the 8-pixel separator
    gap->setObjectName(QStringLiteral("ToolButton4"));
    gap->setFixedWidth(8);
    m_toolBar->addWidget(gap);
    m_toolBar->addAction(m_NavigatorAction);
    addToolBar(Qt::TopToolBarArea, m_toolBar);
}

void TSDIAppForm::createPages()
{
    m_pageControl = new QTabWidget(this);
    m_pageControl->setObjectName(QStringLiteral("PageControl1"));
    m_pageControl->setDocumentMode(false);
    setHelpContext(m_pageControl, 0);

    const QString captions[4] = {QStringLiteral("Таблица №1"), QStringLiteral("Таблица №2"),
                                 QStringLiteral("Габариты"), QStringLiteral("Поиск")};
    for (int i = 0; i < 4; ++i) {
        m_tabSheets[i] = new QWidget;
        m_tabSheets[i]->setObjectName(QStringLiteral("TabSheet%1").arg(i + 1));
        m_pageControl->addTab(m_tabSheets[i], captions[i]);
    }
    setHelpContext(m_tabSheets[2], 32);
    setHelpContext(m_tabSheets[3], 31);

    m_model1 = new ComponentTableModel(&m_base.table, this);
    m_model2 = new ComponentTableModel(&m_second, this);
    m_grid1 = new ComponentGridView(m_tabSheets[0]);
    m_grid1->setObjectName(QStringLiteral("StringGrid1"));
    m_grid1->setTableModel(m_model1);
    m_grid2 = new ComponentGridView(m_tabSheets[1]);
    m_grid2->setObjectName(QStringLiteral("StringGrid2"));
    m_grid2->setTableModel(m_model2);
    for (int i = 0; i < 2; ++i) {
        auto* lay = new QVBoxLayout(m_tabSheets[i]);
        lay->setContentsMargins(0, 0, 0, 0);
        lay->addWidget(i == 0 ? m_grid1 : m_grid2);
    }
    for (ComponentGridView* g : {m_grid1, m_grid2}) {
        g->setHeaderRowHeight(kHeaderRowHeight);
        connect(g, &ComponentGridView::titleRightPressed, this,
                [this, g](int column) { StringGrid1MouseDown(g, column); });
    }
    connect(m_grid1->selectionModel(), &QItemSelectionModel::currentChanged, this,
            &TSDIAppForm::StringGrid1Click);
    // A model reset brings a new selection model only if the model changes; ours stays.

    m_panel1 = new QFrame(m_tabSheets[2]);
    m_panel1->setObjectName(QStringLiteral("Panel1"));
    m_panel1->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    setHelpContext(m_panel1, 32);
    auto* pageLay = new QVBoxLayout(m_tabSheets[2]);
    pageLay->setContentsMargins(0, 0, 0, 0);
    pageLay->addWidget(m_panel1);
    m_image1 = new DrawingImage(m_panel1);
    m_image1->setObjectName(QStringLiteral("Image1"));
    setHelpContext(m_image1, 32);
    auto* panelLay = new QVBoxLayout(m_panel1);
    panelLay->setContentsMargins(1, 1, 1, 1);
    panelLay->addWidget(m_image1);
    connect(m_image1, &DrawingImage::clicked, this, &TSDIAppForm::Image1Click);

    setCentralWidget(m_pageControl);
    connect(m_pageControl, &QTabWidget::currentChanged, this, &TSDIAppForm::onCurrentPageChanged);

    createSearchPage();
}

void TSDIAppForm::createDialogs()
{
    m_aboutBox = new TAboutBox(m_ui, this);
    m_paramBase = new TParamBase(*this);
    m_prosm = new TProsm(*this);
    m_addDlg = new TAddDlg(*this);
    m_navForm = new TNavForm(*this);
}

QWidget* TSDIAppForm::tabSheet(int index) const
{
    return index >= 0 && index < 4 ? m_tabSheets[index] : nullptr;
}

QString TSDIAppForm::deviceLabel() const
{
    return cpToQString(m_settings.sDeviceName);
}

int TSDIAppForm::standardWidth() const
{
    return std::clamp<int>(m_settings.iStandard, 0, 4000);
}

// ---- creation, show, activation, close ----

void TSDIAppForm::FormCreate()
{
    // The drawing folders default to the data folder's DIODE, TRANS, ...
    const std::string dataDir = qStringToCp(m_paths.dataDir + QLatin1Char('/'));
    const veltris::IniFile ini = veltris::IniFile::loadOrEmpty(toFsPath(m_paths.settingsFile));
    m_settings = veltris::ProgramSettings::read(ini, dataDir);
    m_showNavAtStart = m_settings.showNav;

    resize(boundedWindowSize(m_settings.width, m_settings.height));
    move(m_settings.left, m_settings.top);

    auto load = veltris::loadCatalogues(toFsPath(m_paths.catalogueDir));
    m_catalogue = std::move(load.catalogue);
    for (const veltris::Error& e : load.errors) {
        m_ui.message(this, QStringLiteral("Ошибка"), QString::fromStdString(e.message),
                     QMessageBox::Critical, QMessageBox::Ok);
        m_terminate = true;
    }

    m_base = veltris::makeEmptyBase(m_catalogue, m_settings.sDeviceName);
    m_second = veltris::Table(2, 2);
    m_second.setCell(0, 0, m_settings.sDeviceName);
    refreshMainTable();
    refreshSecondTable();
    applyStandardWidths();

    for (ComponentGridView* g : {m_grid1, m_grid2})
        g->setHeaderCursor(appCursor(crCursor1));
    m_image1->setCursor(appCursor(crCursorPlus));
    m_image1->setImage(placeholderDrawing());

    m_modified = false;
    m_fileName.clear();

    m_navCatalogue = veltris::CreateNavigatorCatalogue();
    for (const std::string& dir : m_settings.scanDirs) {
        if (dir.empty())
            continue;
        const QString folder = cpToQString(dir);
        if (!QFileInfo(folder).isDir())
            continue;
        auto problems = m_navCatalogue.AddDir(toFsPath(folder));
        m_scanProblems.insert(m_scanProblems.end(), problems.begin(), problems.end());
    }
}

void TSDIAppForm::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    if (!m_shown) {
        m_shown = true;
        FormShow();
    }
}

void TSDIAppForm::FormShow()
{
    if (!m_args.isEmpty() && QFileInfo(m_args.first()).isFile()) {
        m_showNavAtStart = false;
        loadBaseFile(m_args.first());
    }
    // The scan problems, then the navigator, from the loop over the shown window. The navigator
    // follows the message's close, not the window's activation: without a window manager the
    // message takes the activation and nothing gives it back.
    QTimer::singleShot(0, this, &TSDIAppForm::afterFirstShow);
    activateWindow();
}

void TSDIAppForm::afterFirstShow()
{
    if (!m_scanProblems.empty())
        showScanProblems();
    if (m_showNavAtStart) {
        m_showNavAtStart = false;
        NavigatorActionExecute();
    }
}

void TSDIAppForm::showScanProblems()
{
    QStringList lines;
    const int n = static_cast<int>(m_scanProblems.size());
    for (int i = 0; i < n && i < kScanProblemsShown; ++i)
        lines << QString::fromStdString(m_scanProblems[static_cast<size_t>(i)].message);
    if (n > kScanProblemsShown)
        lines << QStringLiteral("… и ещё %1").arg(n - kScanProblemsShown);
    m_ui.message(this, QStringLiteral("Ошибка"),
                 QStringLiteral("Навигатор не смог прочитать некоторые базы:\r\n") +
                     lines.join(QStringLiteral("\r\n")),
                 QMessageBox::Warning, QMessageBox::Ok);
}

void TSDIAppForm::closeEvent(QCloseEvent* event)
{
    if (!FormCloseQuery()) {
        event->ignore();
        return;
    }
    FormClose();
    event->accept();
}

bool TSDIAppForm::FormCloseQuery()
{
    return confirmDiscard();
}

void TSDIAppForm::FormClose()
{
    m_settings.width = width();
    m_settings.height = height();
    m_settings.top = y();
    m_settings.left = x();
    // Re-read, so keys edited by hand while the program ran are kept.
    veltris::IniFile ini = veltris::IniFile::loadOrEmpty(toFsPath(m_paths.settingsFile));
    const veltris::Status st = veltris::saveProgramSettings(m_settings, ini, toFsPath(m_paths.settingsFile));
    if (!st)
        m_ui.message(this, QStringLiteral("Ошибка"), QString::fromUtf8(veltris::kSettingsWriteFailed),
                     QMessageBox::NoIcon, QMessageBox::Ok);
}

bool TSDIAppForm::confirmDiscard()
{
    if (!m_modified)
        return true;
    const auto answer = m_ui.message(this, QStringLiteral("Подтверждение"),
                                     QStringLiteral("Файл не сохранён.\r\nСохранить?"), QMessageBox::NoIcon,
                                     QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
    if (answer == QMessageBox::No)
        return true;
    if (answer == QMessageBox::Yes)
        return FileSave1Execute();  // a failed or cancelled save keeps the unsaved base
    return false;
}

// ---- commands of the frame ----

void TSDIAppForm::FileExit1Execute()
{
    close();
}

void TSDIAppForm::NavigatorActionExecute()
{
    m_ui.execDialog(m_navForm);
}

void TSDIAppForm::HelpAbout1Execute()
{
    m_ui.execDialog(m_aboutBox);
}

void TSDIAppForm::showHelpContents()
{
    m_ui.showHelp(0);
}

void TSDIAppForm::openForum()
{
    m_ui.openUrl(QUrl(kForumUrl));
}

void TSDIAppForm::OpenDialogFolderChange(const QString& folder)
{
    m_settings.odir = qStringToCp(folder);
}

void TSDIAppForm::SaveDialogFolderChange(const QString& folder)
{
    m_settings.sdir = qStringToCp(folder);
}

// ---- context help over menus ----

int TSDIAppForm::menuHelpTopic(QMenu* menu, QAction* action) const
{
    if (action && helpContext(action) > 0)
        return helpContext(action);
    for (QMenu* m = menu; m; m = qobject_cast<QMenu*>(m->parentWidget()))
        if (helpContext(m->menuAction()) > 0)
            return helpContext(m->menuAction());
    return 0;
}

bool TSDIAppForm::eventFilter(QObject* watched, QEvent* event)
{
    auto* menu = qobject_cast<QMenu*>(watched);
    if (menu && m_menus.contains(menu) &&
        (event->type() == QEvent::ShortcutOverride || event->type() == QEvent::KeyPress) &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_F1) {
        if (event->type() == QEvent::ShortcutOverride) {
            event->accept();  // F1 here is context help, not "Вызов справки"
            return true;
        }
        const int topic = menuHelpTopic(menu, menu->activeAction());
        while (QWidget* popup = QApplication::activePopupWidget())
            popup->close();
        m_ui.showHelp(topic);
        return true;
    }
    return QMainWindow::eventFilter(watched, event);
}
