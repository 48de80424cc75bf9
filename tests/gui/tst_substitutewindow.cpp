// The page «Замена» inside the main window: the «Правка» entry takes the current record as the
// reference and searches at once; a result in another base of the library opens that base behind
// the unsaved-changes prompt and makes the record current.
#include <QAction>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QTabWidget>
#include <QTableView>
#include <QTest>

#include "../base/handmadelibrary.h"
#include "app/mainwindow.h"
#include "appfolder.h"
#include "base/basefile.h"
#include "scriptedui.h"
#include "search/substitutepage.h"
#include "search/substituteresultsmodel.h"
#include "testwindow.h"

using namespace Qt::StringLiterals;

class TstSubstituteWindow : public QObject {
    Q_OBJECT
private slots:
    void menuEntrySearchesCurrentRecord();
    void resultInOtherBaseOpensIt();
};

namespace {

struct Library {
    AppFolder app;
    QString openFile;
    QString otherFile;
    bool written = false;
    Library()
    {
        QDir(app.path()).mkdir(u"lib"_s);
        openFile = app.file(u"lib/a_open.QDB"_s);
        otherFile = app.file(u"lib/b_other.QDB"_s);
        written = veltris::writeBase(handmade::handMadeBase(), openFile.toStdString()).ok();
        // The same values as the hand-made reference: the closest candidate, in another base.
        written = written &&
                  veltris::writeBase(
                      handmade::makeBase(1, {{"ЧУЖОЙ", handmade::part("15", "100", "50-350", "300", "5")}}),
                      otherFile.toStdString())
                      .ok();
        app.writeSettings(u"[Settings]\nShowNav=0\n[Scan]\nDir0="_s + app.file(u"lib"_s) + u"\n"_s);
    }
};

int resultRow(const SubstitutePage* page, const QString& name)
{
    const QAbstractItemModel* m = page->resultsModel();
    for (int r = 0; r < m->rowCount(); ++r)
        if (m->index(r, 0).data().toString() == name)
            return r;
    return -1;
}

bool showWindow(MainWindow& window)
{
    window.show();
    return QTest::qWaitForWindowExposed(&window);
}

}  // namespace

void TstSubstituteWindow::menuEntrySearchesCurrentRecord()
{
    Library lib;
    QVERIFY(lib.written);
    ScriptedUi ui;
    TestWindow window(lib.app.paths(), ui, {lib.openFile});
    QVERIFY(showWindow(window));
    window.setCurrentCell(1, 3);
    window.findChild<QAction*>(u"findSubstituteAction"_s)->trigger();
    QCOMPARE(window.pages()->currentIndex(), int(MainWindow::SubstitutePageIndex));
    SubstitutePage* page = window.substitutePage();
    QCOMPARE(page->referenceRow(), 1);
    QTRY_VERIFY(!page->isSearching());
    QVERIFY2(page->resultsModel()->rowCount() > 0, qPrintable(page->countLabel()->text()));
    QVERIFY(resultRow(page, u"ЗАМЕНА1"_s) >= 0);
    // A reference picked by name survives a visit to another page while the table's current
    // record stays; moving to another record makes that one the reference.
    page->nameEdit()->setText(u"ЗАМЕНА2"_s);
    QTest::keyClick(page->nameEdit(), Qt::Key_Return);
    QCOMPARE(page->referenceRow(), 3);
    window.pages()->setCurrentIndex(MainWindow::MainTablePage);
    window.pages()->setCurrentIndex(MainWindow::SubstitutePageIndex);
    QCOMPARE(page->referenceRow(), 3);
    window.pages()->setCurrentIndex(MainWindow::MainTablePage);
    window.setCurrentCell(2, 1);
    window.pages()->setCurrentIndex(MainWindow::SubstitutePageIndex);
    QCOMPARE(page->referenceRow(), 2);
    QVERIFY(ui.unexpected.isEmpty());
}

void TstSubstituteWindow::resultInOtherBaseOpensIt()
{
    Library lib;
    QVERIFY(lib.written);
    ScriptedUi ui;
    TestWindow window(lib.app.paths(), ui, {lib.openFile});
    QVERIFY(showWindow(window));
    window.document().setModified(true);  // unsaved work: the prompt must come first
    window.setCurrentCell(1, 1);
    window.findChild<QAction*>(u"findSubstituteAction"_s)->trigger();
    SubstitutePage* page = window.substitutePage();
    QTRY_VERIFY(!page->isSearching());
    page->findChild<QRadioButton*>(u"libraryScopeButton"_s)->setChecked(true);
    page->startSearch();
    QTRY_VERIFY(!page->isSearching());
    const int row = resultRow(page, u"ЧУЖОЙ"_s);
    QVERIFY(row >= 0);

    // Cancel at the prompt: the open base stays.
    ui.messageAnswers.enqueue(Answer::Cancel);
    emit page->recordChosen(lib.otherFile, 1);
    QCOMPARE(window.document().fileName(), lib.openFile);
    QCOMPARE(ui.messages.size(), 1);

    // «Нет»: the other base is opened and its record is current on the main table.
    ui.messageAnswers.enqueue(Answer::No);
    QTableView* results = page->resultsView();
    // A cell of the row (its name is the fixed column beside the cells).
    const QPoint at =
        results->visualRect(page->resultsModel()->index(row, SubstituteResultsModel::VerdictColumn)).center();
    QTest::mouseClick(results->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(results->viewport(), Qt::LeftButton, {}, at);
    QCOMPARE(ui.messages.size(), 2);
    QCOMPARE(window.document().fileName(), lib.otherFile);
    QCOMPARE(window.pages()->currentIndex(), int(MainWindow::MainTablePage));
    QCOMPARE(window.currentRow(), 1);
    QCOMPARE(QString::fromStdString(veltris::cp1251ToUtf8(window.document().base().table.cell(1, 0))),
             u"ЧУЖОЙ"_s);
    QVERIFY(ui.unexpected.isEmpty());
}

QTEST_MAIN(TstSubstituteWindow)
#include "tst_substitutewindow.moc"
