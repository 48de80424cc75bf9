// Renders the main window on each page with a sample base, and every dialog, to PNG files.
// scripts/screenshots.sh sets VELTRIS_SCREENSHOTS_DIR to docs/screenshots; without it the
// pictures go to a temporary folder, so the test still checks that everything renders.
#include <QAction>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QMenu>
#include <QStatusBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <tuple>

#include "app/aboutbox.h"
#include "app/desktopsetup.h"
#include "app/mainwindow.h"
#include "appfolder.h"
#include "edit/baseparametersdialog.h"
#include "edit/recorddialog.h"
#include "edit/viewcolumnsdialog.h"
#include "scriptedui.h"
#include "search/comparisonwindow.h"
#include "search/navigatorwindow.h"
#include "search/substitutepage.h"
#include "search/substituteresultsmodel.h"
#include "testwindow.h"
#include "widgets/componentgrid.h"

class TstScreenshots : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void mainWindowPages();
    void dialogs();
    void substitutePage();
    void cleanupTestCase();

private:
    bool save(QWidget* w, const QString& name);
    // The window's size and place as the pictures show it, no navigator at start.
    static void writeWindowSettings(AppFolder& folder);
    // A copy of a sample base in a folder of a fixed name, so that the path the status bar shows
    // is the same in every run and the pictures change only when the program does.
    QString sampleCopy(const QString& name) const;
    QTemporaryDir m_tmp;
    QString m_baseDir;
    QString m_out;
};

void TstScreenshots::initTestCase()
{
    m_out = qEnvironmentVariable("VELTRIS_SCREENSHOTS_DIR");
    if (m_out.isEmpty())
        m_out = m_tmp.path();
    QVERIFY(QDir().mkpath(m_out));
    m_baseDir = QDir::temp().filePath(QStringLiteral("veltris-screenshots"));
    QDir(m_baseDir).removeRecursively();
    QVERIFY(QDir().mkpath(m_baseDir));
    // As the program starts: Qt's Russian texts and the Tahoma font.
    installQtTranslations(*qApp);
    QVERIFY(ensureTahoma());
}

void TstScreenshots::cleanupTestCase()
{
    QDir(m_baseDir).removeRecursively();
}

QString TstScreenshots::sampleCopy(const QString& name) const
{
    const QString to = QDir(m_baseDir).filePath(name);
    QFile::remove(to);
    if (!QFile::copy(QDir(QStringLiteral(VELTRIS_BIN_DIR)).filePath(QStringLiteral("samples/") + name), to))
        return {};
    QFile::setPermissions(to, QFile::ReadOwner | QFile::WriteOwner);
    return to;
}

bool TstScreenshots::save(QWidget* w, const QString& name)
{
    const QImage img = w->grab().toImage();
    return !img.isNull() && img.save(QDir(m_out).filePath(name + QStringLiteral(".png")));
}

void TstScreenshots::writeWindowSettings(AppFolder& folder)
{
    folder.writeSettings(QStringLiteral("[Settings]\nShowNav=0\nTRANS=" VELTRIS_BIN_DIR
                                        "/TRANS\n[FORM1]\nWidth=1032\nHeight=748\nTop=0\nLeft=0\n"));
}

void TstScreenshots::mainWindowPages()
{
    AppFolder folder;
    writeWindowSettings(folder);
    const QString base = sampleCopy(QStringLiteral("bipolar.QDB"));
    ScriptedUi ui;
    TestWindow form(folder.paths(), ui, {base});
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    QCOMPARE(form.document().fileName(), base);
    form.setCurrentCell(2, 1);
    const char* names[4] = {"main-table", "second-table", "drawing", "search"};
    for (int page = 0; page < 4; ++page) {
        form.pages()->setCurrentIndex(page);
        // The long hint of the entry under the pointer, as the status bar shows it.
        form.findChild<QAction*>(QStringLiteral("openBaseAction"))->showStatusText(&form);
        QTRY_VERIFY(form.page(page)->isVisible());
        QCoreApplication::processEvents();  // layouts and paints the page asked for
        QVERIFY(save(&form, QLatin1String(names[page])));
    }
    // A record deleted: the status bar marks the base as changed, «Отменить» names the step.
    form.pages()->setCurrentIndex(0);
    form.statusBar()->clearMessage();
    form.setCurrentCell(3, 1);
    form.deleteRecordAction()->trigger();
    QTRY_VERIFY(form.page(0)->isVisible());
    QCoreApplication::processEvents();
    QVERIFY(save(&form, QStringLiteral("main-table-edited")));
    auto* edit = form.findChild<QMenu*>(QStringLiteral("editMenu"));
    edit->popup(form.mapToGlobal(QPoint(40, 20)));
    QVERIFY(QTest::qWaitForWindowExposed(edit));
    QVERIFY(save(edit, QStringLiteral("edit-menu")));
    edit->close();
    QVERIFY(ui.unexpected.isEmpty());
}

void TstScreenshots::dialogs()
{
    // Each dialog as its command shows it, filled from a sample base.
    AppFolder folder;
    folder.writeSettings(QStringLiteral("[Settings]\nShowNav=0\n[Scan]\nDir0=" VELTRIS_BIN_DIR "/samples\n"));
    const QString base = sampleCopy(QStringLiteral("bipolar.QDB"));
    ScriptedUi ui;
    TestWindow form(folder.paths(), ui, {base});
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    form.setCurrentCell(2, 1);
    using Command = void (MainWindow::*)();
    const QList<std::tuple<Command, QString, QString>> dialogs = {
        {&MainWindow::showAbout, QStringLiteral("aboutBox"), QStringLiteral("about")},
        {&MainWindow::editBaseParameters, QStringLiteral("baseParametersDialog"),
         QStringLiteral("base-parameters")},
        {&MainWindow::editViewColumns, QStringLiteral("viewColumnsDialog"),
         QStringLiteral("view-parameters")},
        {&MainWindow::editRecord, QStringLiteral("recordDialog"), QStringLiteral("edit-element")},
        {&MainWindow::showNavigator, QStringLiteral("navigatorWindow"), QStringLiteral("navigator")},
    };
    for (const auto& [command, dialog, file] : dialogs) {
        bool saved = false;
        ui.onDialog(dialog, [this, &saved, file = file](QDialog* d) {
            QCoreApplication::processEvents();  // the dialog shown, laid out and painted
            saved = save(d, file);
            return int(QDialog::Rejected);
        });
        (form.*command)();
        QVERIFY2(saved, qPrintable(dialog));
    }
    QVERIFY(ui.unexpected.isEmpty());
}

// The page «Замена» as the menu «Правка» opens it: a sample part as the reference, its results.
void TstScreenshots::substitutePage()
{
    AppFolder folder;
    writeWindowSettings(folder);
    const QString base = sampleCopy(QStringLiteral("bipolar.QDB"));
    ScriptedUi ui;
    TestWindow form(folder.paths(), ui, {base});
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    const veltris::Table& table = form.document().base().table;
    int reference = 0;
    for (int r = 1; r < table.rowCount() && reference == 0; ++r)
        if (table.cell(r, 0) == "\xCA\xD2\x33\x31\x35\xC3")  // КТ315Г
            reference = r;
    QVERIFY(reference > 0);
    form.setCurrentCell(reference, 1);
    form.findChild<QAction*>(QStringLiteral("findSubstituteAction"))->trigger();
    QCOMPARE(form.pages()->currentIndex(), int(MainWindow::SubstitutePageIndex));
    QTRY_VERIFY(!form.substitutePage()->isSearching());
    QCoreApplication::processEvents();  // the results laid out and painted
    QVERIFY(save(&form, QStringLiteral("substitute")));

    // The reference beside its first three results, as «Сравнить…» shows them.
    SubstitutePage* page = form.substitutePage();
    QVERIFY(page->resultsModel()->rowCount() >= 3);
    page->resultsView()->setSelectionMode(QAbstractItemView::MultiSelection);
    for (int r = 0; r < 3; ++r)
        page->resultsView()->selectRow(r);
    page->resultsView()->setSelectionMode(QAbstractItemView::ExtendedSelection);
    ComparisonWindow* comparison = page->compareSelectedResults();
    QVERIFY(comparison);
    QVERIFY(QTest::qWaitForWindowExposed(comparison));
    QCoreApplication::processEvents();
    QVERIFY(save(comparison, QStringLiteral("comparison")));
    comparison->close();
    QVERIFY(ui.unexpected.isEmpty());
}

QTEST_MAIN(TstScreenshots)
#include "tst_screenshots.moc"
