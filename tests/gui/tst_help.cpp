// Help: F1 in the main window and over open menus, the forum link, the about box.
#undef QT_NO_CAST_FROM_ASCII  // tests spell short literals directly
#include <QAction>
#include <QApplication>
#include <QFile>
#include <QFrame>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPushButton>
#include <QStatusBar>
#include <QTabWidget>
#include <QTest>
#include <QTextBrowser>
#include <QToolBar>

#include "app/aboutbox.h"
#include "app/mainwindow.h"
#include "app/qtuiservices.h"
#include "appfolder.h"
#include "layoutcheck.h"
#include "scriptedui.h"
#include "testwindow.h"
#include "widgets/apputil.h"
#include "widgets/helpviewer.h"

namespace {

// A pointer move over a widget, as the window system delivers it.
void moveOver(QWidget* w, QPoint pos)
{
    QMouseEvent e(QEvent::MouseMove, QPointF(pos), QPointF(w->mapToGlobal(pos)), Qt::NoButton, Qt::NoButton,
                  Qt::NoModifier);
    QApplication::sendEvent(w, &e);
}

struct Fixture {
    AppFolder folder;
    ScriptedUi ui;
    std::unique_ptr<MainWindow> form;

    Fixture()
    {
        folder.writeSettings("[Settings]\nShowNav=0\n");
        form = std::make_unique<TestWindow>(folder.paths(), ui, QStringList());
        form->show();
        QVERIFY(QTest::qWaitForWindowActive(form.get()));
    }
    QMenu* menu(const char* name) const { return form->findChild<QMenu*>(name); }
    QAction* action(const char* name) const { return form->findChild<QAction*>(name); }
};

}  // namespace

class TstHelp : public QObject {
    Q_OBJECT
private slots:
    void f1OpensContentsOnEveryPage();
    void f1OverMenuItems_data();
    void f1OverMenuItems();
    void menuEntries();
    void forumLinkAndAbout();
    void aboutBoxLinks();
    void helpViewerTopics();
};

void TstHelp::f1OpensContentsOnEveryPage()
{
    Fixture f;
    for (int page = 0; page < 4; ++page) {
        f.form->pages()->setCurrentIndex(page);
        QTest::keyClick(f.form.get(), Qt::Key_F1);
    }
    QCOMPARE(f.ui.helpTopics, QList<int>({0, 0, 0, 0}));
}

void TstHelp::f1OverMenuItems_data()
{
    QTest::addColumn<QString>("menu");
    QTest::addColumn<QString>("item");  // "" = no item highlighted
    QTest::addColumn<int>("topic");
    QTest::newRow("Новый") << "fileMenu"
                           << "newBaseAction" << 11;
    QTest::newRow("Открыть") << "fileMenu"
                             << "openBaseAction" << 12;
    QTest::newRow("Импорт, disabled") << "fileMenu"
                                      << "importAction" << 13;
    QTest::newRow("Выход") << "fileMenu"
                           << "exitAction" << 18;
    QTest::newRow("Отменить: the menu's topic") << "editMenu"
                                                << "undoAction" << 20;
    QTest::newRow("Добавить") << "editMenu"
                              << "addRecordAction" << 21;
    QTest::newRow("Удалить") << "editMenu"
                             << "deleteRecordAction" << 23;
    QTest::newRow("Параметры просмотра") << "parametersMenu"
                                         << "viewColumnsAction" << 25;
    QTest::newRow("Вызов справки") << "helpMenu"
                                   << "helpContentsAction" << 29;
    QTest::newRow("О программе") << "helpMenu"
                                 << "aboutAction" << 29;
    QTest::newRow("На форуме") << "discussMenu"
                               << "forumAction" << 29;
    QTest::newRow("Правка, nothing highlighted") << "editMenu"
                                                 << "" << 20;
    QTest::newRow("Файл, nothing highlighted") << "fileMenu"
                                               << "" << 10;
}

void TstHelp::f1OverMenuItems()
{
    QFETCH(QString, menu);
    QFETCH(QString, item);
    QFETCH(int, topic);
    Fixture f;
    QMenu* m = f.menu(qPrintable(menu));
    QVERIFY(m);
    m->popup(f.form->mapToGlobal(QPoint(10, 30)));
    QVERIFY(QTest::qWaitForWindowExposed(m));
    if (!item.isEmpty()) {
        QAction* a = f.action(qPrintable(item));
        QVERIFY(a);
        m->setActiveAction(a);
    }
    QTest::keyClick(m, Qt::Key_F1);
    QCOMPARE(f.ui.helpTopics, QList<int>{topic});
    QVERIFY(!m->isVisible());
}

void TstHelp::menuEntries()
{
    Fixture f;
    struct Entry {
        const char* name;
        const char* text;
        const char* keys;
        const char* tip;
        const char* status;
        int topic;
    };
    const Entry entries[] = {
        {"newBaseAction", "&Новый", "Ctrl+N", "Новый", "Создать новый файл", 11},
        {"openBaseAction", "&Открыть...", "F3; Ctrl+O", "Открыть", "Открыть файл", 12},
        {"importAction", "Импорт...", "", "Импорт", "Импортировать из файла", 13},
        {"saveBaseAction", "&Сохранить", "F2; Ctrl+S", "Сохранить", "Сохранить текущий файл", 14},
        {"saveBaseAsAction", "Сохранить к&ак...", "Shift+F2", "Сохранить как",
         "Сохранить файл под другим именем", 15},
        {"exportAction", "Экспорт...", "", "Экспорт", "Экспортировать в файл", 16},
        {"navigatorAction", "Навигатор...", "F7", "Навигатор", "Вызвать навигатор", 17},
        {"exitAction", "Вы&ход", "", "Выход", "Выход из программы", 18},
        {"undoAction", "Отменить", "Ctrl+Z", "Отменить", "Отменить последнее действие", 0},
        {"redoAction", "Повторить", "Ctrl+Y; Ctrl+Shift+Z", "Повторить", "Повторить отменённое действие", 0},
        {"addRecordAction", "Добавить", "Ins", "Добавить", "Добавить элемент", 21},
        {"editRecordAction", "Изменить", "F4", "Изменить", "Изменить параметры элемента", 22},
        {"deleteRecordAction", "Удалить", "F8", "Удалить", "Удалить элемент", 23},
        {"baseParametersAction", "Параметры базы", "", "Параметры базы", "Настроить параметры базы", 25},
        {"viewColumnsAction", "Параметры просмотра", "", "Параметры просмотра",
         "Настроить параметры просмотра", 25},
        {"helpContentsAction", "Вызов справки", "F1", "Вызов справки", "Вызов справки", 0},
        {"aboutAction", "&О программе...", "", "О программе", "Информация о программе и ее производителе", 0},
    };
    for (const Entry& e : entries) {
        QAction* a = f.action(e.name);
        QVERIFY2(a, e.name);
        QCOMPARE(a->text(), QString::fromUtf8(e.text));
        QCOMPARE(QKeySequence::listToString(a->shortcuts()), QString::fromUtf8(e.keys));
        QCOMPARE(a->toolTip(), QString::fromUtf8(e.tip));
        QCOMPARE(a->statusTip(), QString::fromUtf8(e.status));
        QCOMPARE(int(helpContext(a)), e.topic);
    }
    QVERIFY(!f.action("importAction")->isEnabled());
    QCOMPARE(f.menu("fileMenu")->menuAction()->statusTip(), QString("Файловые команды"));
    QCOMPARE(f.menu("helpMenu")->menuAction()->text(), QString("&Справка"));
    const QStringList titles = [&] {
        QStringList t;
        for (QAction* a : f.form->menuBar()->actions())
            t << a->text();
        return t;
    }();
    // «Правка» and «Параметры» have access keys of their own, clashing with nothing.
    QCOMPARE(titles, QStringList({"&Файл", "&Правка", "Па&раметры", "&Справка"}));

    // Status bar shows the long hint of the entry under the pointer.
    f.action("saveBaseAsAction")->showStatusText(f.form.get());
    QCOMPARE(f.form->statusBar()->currentMessage(), QString("Сохранить файл под другим именем"));

    // Tool bar: New, Open, Save, a gap, Undo, Redo, a gap, Navigator.
    QToolBar* bar = f.form->findChild<QToolBar*>("toolBar");
    QVERIFY(bar);
    QStringList tools;
    for (QAction* a : bar->actions())
        tools << (a->objectName().isEmpty() ? QString("gap") : a->objectName());
    QCOMPARE(tools, QStringList({"newBaseAction", "openBaseAction", "saveBaseAction", "gap", "undoAction",
                                 "redoAction", "gap", "navigatorAction"}));
    QCOMPARE(bar->height(), 30);
}

void TstHelp::forumLinkAndAbout()
{
    Fixture f;
    f.action("forumAction")->trigger();
    QCOMPARE(f.ui.urls.size(), 1);
    QCOMPARE(f.ui.urls[0].scheme(), QString("https"));
    QVERIFY(f.ui.urls[0].host().endsWith("example.org"));

    f.ui.onDialog("aboutBox", [](QDialog* d) {
        QTest::mouseClick(d->findChild<QPushButton*>("okButton"), Qt::LeftButton);
        return d->result();
    });
    f.action("aboutAction")->trigger();
    QCOMPARE(f.ui.dialogs, QStringList{"aboutBox"});
    QVERIFY(f.ui.allAnswersUsed());
}

void TstHelp::aboutBoxLinks()
{
    Fixture f;
    AboutBox* box = f.form->aboutBox();
    QCOMPARE(box->windowTitle(), QString("О программе"));
    QCOMPARE(box->minimumSize(), box->maximumSize());  // not resizable
    QCOMPARE(box->findChild<QLabel*>("productNameLabel")->text(), QString("Вельтрис"));
    QCOMPARE(box->findChild<QLabel*>("versionLabel")->text(), QString("Version 0.05.1 Alfa"));
    box->show();
    QVERIFY(QTest::qWaitForWindowExposed(box));
    QVERIFY2(layoutProblems(box).isEmpty(), qPrintable(layoutProblems(box).join(QLatin1Char('\n'))));
    // The OK button under the panel, centred.
    const QWidget* panel = box->findChild<QFrame*>("panel");
    const QWidget* ok = box->findChild<QPushButton*>("okButton");
    QVERIFY(ok->y() > panel->geometry().bottom());
    QVERIFY(qAbs(ok->geometry().center().x() - box->width() / 2) <= 2);

    const auto look = [](QLabel* l) {
        const QFont font = l->font();
        return QString("%1 %2%3%4%5")
            .arg(l->palette().color(QPalette::WindowText).name())
            .arg(font.underline() ? "u" : "")
            .arg(font.bold() ? "b" : "")
            .arg(font.italic() ? "i" : "")
            .arg(font.strikeOut() ? "s" : "");
    };
    const QString red = "#ff0000 u", blue = "#0000ff ";
    QLabel* web = box->webLink();
    QLabel* mail = box->mailLink();
    QCOMPARE(look(web), blue);
    moveOver(web, QPoint(5, 5));
    QCOMPARE(look(web), red);
    QCOMPARE(look(mail), blue);
    moveOver(box->panel(), QPoint(200, 125));  // between the links
    QCOMPARE(look(web), blue);
    moveOver(mail, QPoint(5, 5));
    QCOMPARE(look(mail), red);
    QCOMPARE(look(web), blue);
    moveOver(box, QPoint(150, 215));  // off the panel: the highlight stays
    QCOMPARE(look(mail), red);

    QTest::mouseClick(web, Qt::LeftButton, {}, QPoint(5, 5));
    QTest::mouseClick(mail, Qt::LeftButton, {}, QPoint(5, 5));
    QCOMPARE(f.ui.urls,
             QList<QUrl>({QUrl("https://veltris.example.org"), QUrl("mailto:veltris@example.org")}));
    box->hide();
}

void TstHelp::helpViewerTopics()
{
    // Every topic number the program uses has its anchor in the shipped help file.
    const QString file = QStringLiteral(VELTRIS_BIN_DIR "/veltris.html");
    QFile f(file);
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QByteArray html = f.readAll();
    const QList<int> topics = {0,  10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21,
                               22, 23, 24, 25, 26, 27, 29, 31, 32, 33, 34, 35};
    for (int t : topics)
        QVERIFY2(html.contains("\"" + HelpViewer::anchorFor(HelpTopic(t)).toUtf8() + "\""),
                 qPrintable(QString::number(t)));

    QtUiServices services(file);
    services.showHelp(HelpTopic::AddRecord);
    HelpViewer* viewer = nullptr;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* v = qobject_cast<HelpViewer*>(w))
            viewer = v;
    QVERIFY(viewer);
    QVERIFY(viewer->isVisible());
    QCOMPARE(viewer->browser()->source().fragment(), QString("topic-21"));
    QVERIFY(viewer->browser()->toPlainText().size() > 1000);
    QVERIFY(!viewer->testAttribute(Qt::WA_QuitOnClose));
    services.showHelp(HelpTopic::Contents);
    QCOMPARE(viewer->browser()->source().fragment(), QString("topic-0"));

    // A missing file: the viewer says so, nothing else happens.
    QtUiServices none(QStringLiteral("/nonexistent/veltris.html"));
    none.showHelp(HelpTopic::Navigator);
}

QTEST_MAIN(TstHelp)
#include "tst_help.moc"
