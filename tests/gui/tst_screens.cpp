// The window and every dialog on the screen, whatever the scaling: ctest runs this program at
// 100 %, 150 % and 200 % of a 1920 × 1080 desktop (QT_SCALE_FACTOR); the checks hold at each.
#include <QDialog>
#include <QGuiApplication>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QStatusBar>
#include <QTabWidget>
#include <QTest>
#include <memory>

#include "app/desktopsetup.h"
#include "app/mainwindow.h"
#include "appfolder.h"
#include "layoutcheck.h"
#include "scriptedui.h"
#include "search/searchpage.h"
#include "search/substitutepage.h"
#include "testwindow.h"
#include "widgets/windowplacement.h"

namespace {

QRect available()
{
    return QGuiApplication::primaryScreen()->availableGeometry();
}

// The part of `w` that can be seen is all of it.
bool wholeInView(const QWidget* w)
{
    return w->isVisible() && w->visibleRegion().boundingRect() == w->rect();
}

QString describe(const QRect& r)
{
    return QStringLiteral("%1,%2 %3×%4").arg(r.x()).arg(r.y()).arg(r.width()).arg(r.height());
}

}  // namespace

class TstScreens : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void fitting();
    void windowOnTheScreen_data();
    void windowOnTheScreen();
    void pagesShowTheirControls();
    void dialogsOnTheScreen();
};

void TstScreens::initTestCase()
{
    // As the program starts: Qt's Russian texts, the Tahoma font the windows are laid out for.
    installQtTranslations(*qApp);
    QVERIFY(ensureTahoma());
    setUpRussianLocale();
}

void TstScreens::fitting()
{
    const QRect area(0, 0, 1280, 680);
    // Inside: unchanged. Hanging over an edge: moved in. Too large: shrunk, never below the least.
    QCOMPARE(fitInArea(QRect(10, 10, 100, 100), area), QRect(10, 10, 100, 100));
    QCOMPARE(fitInArea(QRect(-4, -4, 1040, 780), area), QRect(0, 0, 1040, 680));
    QCOMPARE(fitInArea(QRect(3000, 2000, 500, 300), area), QRect(780, 380, 500, 300));
    QCOMPARE(fitInArea(QRect(50, 50, 2000, 900), area, QSize(1400, 300)), QRect(0, 0, 1400, 680));
}

void TstScreens::windowOnTheScreen_data()
{
    QTest::addColumn<QString>("form1");  // the FORM1 section of the settings, "" for none
    QTest::addColumn<bool>("kept");      // the saved place lies on the screen and stays
    QTest::newRow("first start") << QString() << false;
    QTest::newRow("saved far off the screen") << u"Width=1032\nHeight=748\nTop=2400\nLeft=5000\n"_qs << false;
    QTest::newRow("saved larger than the screen") << u"Width=3000\nHeight=2000\nTop=0\nLeft=0\n"_qs << false;
    QTest::newRow("saved on the screen") << u"Width=600\nHeight=400\nTop=50\nLeft=100\n"_qs << true;
}

void TstScreens::windowOnTheScreen()
{
    QFETCH(QString, form1);
    QFETCH(bool, kept);
    AppFolder folder;
    folder.writeSettings(u"[Settings]\nShowNav=0\n"_qs +
                         (form1.isEmpty() ? QString() : u"[FORM1]\n"_qs + form1));
    ScriptedUi ui;
    TestWindow form(folder.paths(), ui, {});
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    const QRect frame = form.frameGeometry();
    QVERIFY2(available().contains(frame),
             qPrintable(describe(frame) + u" outside "_qs + describe(available())));
    if (kept) {
        QCOMPARE(form.pos(), QPoint(100, 50));
        QCOMPARE(form.size(), QSize(600, 400));
    } else if (form1.isEmpty() && available().height() > 900) {
        QCOMPARE(form.size(), QSize(1032, 748));  // the default size where it fits
    }
    QVERIFY(wholeInView(form.statusBar()));
}

void TstScreens::pagesShowTheirControls()
{
    AppFolder folder;
    folder.writeSettings(u"[Settings]\nShowNav=0\n"_qs);
    const QString base = folder.copySample(u"bipolar.QDB"_qs);
    ScriptedUi ui;
    TestWindow form(folder.paths(), ui, {base});
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    QVERIFY(available().contains(form.frameGeometry()));

    // «Замена»: the rules' «По умолчанию» in view without scrolling.
    form.showPage(MainWindow::SubstitutePageIndex);
    QVERIFY(wholeInView(form.substitutePage()->defaultsButton()));
    QVERIFY(wholeInView(form.substitutePage()->findButton()));
    // «Поиск»: its fixed controls all on the page, which scrolls where the window is smaller.
    form.showPage(MainWindow::SearchPageIndex);
    SearchPage* page = form.searchPage();
    QVERIFY2(layoutProblems(page).isEmpty(), qPrintable(layoutProblems(page).join(u'\n')));
    auto* scroll = form.findChild<QScrollArea*>(u"searchScrollArea"_qs);
    QVERIFY(scroll);
    QVERIFY(page->width() >= page->minimumWidth() && page->height() >= page->minimumHeight());
    scroll->ensureWidgetVisible(page->applyButton());
    QVERIFY(wholeInView(page->applyButton()));
    QVERIFY(wholeInView(form.statusBar()));
}

void TstScreens::dialogsOnTheScreen()
{
    AppFolder folder;
    folder.writeSettings(u"[Settings]\nShowNav=0\n"_qs);
    const QString base = folder.copySample(u"bipolar.QDB"_qs);
    ScriptedUi ui;
    TestWindow form(folder.paths(), ui, {base});
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    QStringList checked;
    const auto check = [&](QDialog* d) {
        if (!QTest::qWaitForWindowExposed(d))
            QTest::qFail("dialog not shown", __FILE__, __LINE__);
        const QRect frame = d->frameGeometry();
        if (!available().contains(frame))
            QTest::qFail(qPrintable(d->objectName() + u" at "_qs + describe(frame)), __FILE__, __LINE__);
        const QStringList problems = layoutProblems(d);
        if (!problems.isEmpty())
            QTest::qFail(qPrintable(d->objectName() + u": "_qs + problems.join(u"; "_qs)), __FILE__,
                         __LINE__);
        checked << d->objectName();
        return int(QDialog::Rejected);
    };
    for (const char* name :
         {"aboutBox", "baseParametersDialog", "viewColumnsDialog", "recordDialog", "navigatorWindow"})
        ui.onDialog(QLatin1String(name), check);
    form.showAbout();
    form.editBaseParameters();
    form.editViewColumns();
    form.editRecord();
    form.showNavigator();
    QCOMPARE(checked, (QStringList{u"aboutBox"_qs, u"baseParametersDialog"_qs, u"viewColumnsDialog"_qs,
                                   u"recordDialog"_qs, u"navigatorWindow"_qs}));
}

QTEST_MAIN(TstScreens)
#include "tst_screens.moc"
