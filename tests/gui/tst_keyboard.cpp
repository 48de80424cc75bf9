// The program driven by the keyboard alone: Enter chooses in the navigator and on the page
// «Поиск», the menus answer Alt and their letter in the Russian and in the Latin layout,
// Ctrl+R finds a substitute, and the rules table of «Замена» keeps F2 and Tab for itself.
#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTableView>
#include <QTest>
#include <memory>

#include "app/mainwindow.h"
#include "appfolder.h"
#include "scriptedui.h"
#include "search/navigatorlistmodel.h"
#include "search/navigatorwindow.h"
#include "search/searchpage.h"
#include "search/substitutepage.h"
#include "search/substituterulesmodel.h"
#include "testwindow.h"
#include "widgets/apputil.h"
#include "widgets/componentgrid.h"

namespace {

// Types text key by key, Cyrillic included (keyClicks takes Latin-1 only).
void typeText(QWidget* widget, const QString& text)
{
    for (const QChar ch : text)
        QTest::sendKeyEvent(QTest::Click, widget, Qt::Key_unknown, QString(ch), Qt::NoModifier);
}

// The program over a folder holding two sample bases, which the navigator lists.
struct World {
    AppFolder folder;
    ScriptedUi ui;
    std::unique_ptr<MainWindow> form;
    QString bipolar;
    QString diodes;

    World()
    {
        bipolar = folder.copySample(QStringLiteral("bipolar.QDB"));
        diodes = folder.copySample(QStringLiteral("diodes.QDB"));
        folder.writeSettings(QStringLiteral("[Settings]\nShowNav=0\n[Scan]\nDir0=%1\n").arg(folder.path()));
        form = std::make_unique<TestWindow>(folder.paths(), ui, QStringList{});
    }
    void showActive()
    {
        QSignalSpy started(form.get(), &MainWindow::started);
        form->show();
        QVERIFY(QTest::qWaitForWindowActive(form.get()));
        QTRY_COMPARE(started.count(), 1);
    }
};

}  // namespace

class TstKeyboard : public QObject {
    Q_OBJECT
private slots:
    void navigatorStartsInItsNameBoxAndEnterOpens();
    void searchPageEnterChoosesTheName();
    void menusAnswerAltInBothLayouts_data();
    void menusAnswerAltInBothLayouts();
    void ctrlRFindsASubstitute();
    void rulesTableKeepsF2AndTab();
};

void TstKeyboard::navigatorStartsInItsNameBoxAndEnterOpens()
{
    World w;
    // Typing goes to the name box at once; Enter there opens the base of the name it found.
    w.ui.onDialog(QStringLiteral("navigatorWindow"), [](QDialog* d) {
        auto* nav = static_cast<NavigatorWindow*>(d);
        if (nav->focusWidget() != nav->quickSearchEdit())
            QTest::qFail("the name box has no focus", __FILE__, __LINE__);
        typeText(nav->focusWidget(), QStringLiteral("кд522"));
        QTest::keyClick(nav->focusWidget(), Qt::Key_Return);
        return nav->result();
    });
    w.form->showNavigator();
    QCOMPARE(w.form->document().fileName(), w.diodes);
    QVERIFY(!w.form->navigatorWindow()->isVisible());

    // In the list Enter does what a double-click does: the chosen item's base opens.
    w.ui.onDialog(QStringLiteral("navigatorWindow"), [](QDialog* d) {
        auto* nav = static_cast<NavigatorWindow*>(d);
        if (nav->focusWidget() != nav->quickSearchEdit())
            QTest::qFail("the name box has no focus", __FILE__, __LINE__);
        nav->quickSearchEdit()->clear();
        typeText(nav->quickSearchEdit(), QStringLiteral("КТ315"));
        QTest::keyClick(nav->quickSearchEdit(), Qt::Key_Tab);
        if (nav->focusWidget() != nav->componentList())
            QTest::qFail("Tab does not lead to the list", __FILE__, __LINE__);
        QTest::keyClick(nav->componentList(), Qt::Key_Down);
        QTest::keyClick(nav->componentList(), Qt::Key_Enter, Qt::KeypadModifier);
        return nav->result();
    });
    w.form->showNavigator();
    QCOMPARE(w.form->document().fileName(), w.bipolar);
    QVERIFY(w.ui.unexpected.isEmpty());
}

void TstKeyboard::searchPageEnterChoosesTheName()
{
    World w;
    QVERIFY(w.form->document().load(w.bipolar));
    w.form->showPage(MainWindow::SearchPageIndex);
    SearchPage* page = w.form->searchPage();
    typeText(page->nameEdit(), QStringLiteral("2n3904"));
    QTest::keyClick(page->nameEdit(), Qt::Key_Return);
    QCOMPARE(cpToQString(w.form->document().base().table.cell(w.form->currentRow(), 0)),
             QStringLiteral("2N3904"));

    // Down to the next name in the list, Enter: that record becomes current.
    page->nameList()->setFocus();
    QTest::keyClick(page->nameList(), Qt::Key_Down);
    const QString next = page->nameModel()->entry(page->nameList()->selectedRow());
    QVERIFY(next != QStringLiteral("2N3904"));
    QTest::keyClick(page->nameList(), Qt::Key_Return);
    QCOMPARE(cpToQString(w.form->document().base().table.cell(w.form->currentRow(), 0)), next);
    QCOMPARE(page->nameLabel()->text(), next);
}

void TstKeyboard::menusAnswerAltInBothLayouts_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<QString>("menu");
    // The Russian letter, and the Latin key in the same place of the keyboard.
    QTest::newRow("Файл") << 0x424 << "fileMenu";
    QTest::newRow("Файл, Latin A") << int(Qt::Key_A) << "fileMenu";
    QTest::newRow("Правка") << 0x41F << "editMenu";
    QTest::newRow("Правка, Latin G") << int(Qt::Key_G) << "editMenu";
    QTest::newRow("Параметры") << 0x420 << "parametersMenu";
    QTest::newRow("Параметры, Latin H") << int(Qt::Key_H) << "parametersMenu";
    QTest::newRow("Справка, Latin C") << int(Qt::Key_C) << "helpMenu";
}

void TstKeyboard::menusAnswerAltInBothLayouts()
{
    QFETCH(int, key);
    QFETCH(QString, menu);
    World w;
    w.showActive();
    w.form->mainGrid()->setFocus();
    // The letter the key gives in its layout goes with the key, as a keyboard sends it.
    QTest::sendKeyEvent(QTest::Click, w.form->mainGrid(), Qt::Key(key), QString(QChar(key)).toLower(),
                        Qt::AltModifier);
    auto* popup = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    QVERIFY(popup);
    QCOMPARE(popup->objectName(), menu);
    popup->close();
}

void TstKeyboard::ctrlRFindsASubstitute()
{
    World w;
    QVERIFY(w.form->document().load(w.bipolar));
    w.showActive();
    w.form->setCurrentCell(2, 1);
    QTest::keyClick(w.form->mainGrid(), Qt::Key_R, Qt::ControlModifier);
    QCOMPARE(w.form->pages()->currentIndex(), int(MainWindow::SubstitutePageIndex));
    QCOMPARE(w.form->substitutePage()->referenceRow(), 2);

    // An entry of an open menu answers its letter in the Latin layout too: «&Открыть...» is O,
    // on the key of the Latin J.
    QTest::keyClick(w.form->mainGrid(), Qt::Key_A, Qt::AltModifier);
    QVERIFY(qobject_cast<QMenu*>(QApplication::activePopupWidget()));
    w.ui.openAnswers.enqueue(QString());
    QTest::keyClick(QApplication::activePopupWidget(), Qt::Key_J);
    QCOMPARE(w.ui.openRequests.size(), 1);
    QVERIFY(!QApplication::activePopupWidget());
}

void TstKeyboard::rulesTableKeepsF2AndTab()
{
    World w;
    QVERIFY(w.form->document().load(w.bipolar));
    w.showActive();
    w.form->showPage(MainWindow::SubstitutePageIndex);
    QTableView* rules = w.form->substitutePage()->rulesView();
    rules->setFocus();
    rules->setCurrentIndex(rules->model()->index(1, SubstituteRulesModel::RuleColumn));
    w.form->document().setModified(true);

    QTest::keyClick(rules, Qt::Key_F2);
    auto* editor = qobject_cast<QComboBox*>(QApplication::focusWidget());
    QVERIFY(editor);  // the rule's editor is open
    QVERIFY(rules->viewport()->isAncestorOf(editor));
    QVERIFY(w.form->document().isModified());  // not saved
    QTest::keyClick(editor, Qt::Key_Escape);
    QTRY_VERIFY(!qobject_cast<QComboBox*>(QApplication::focusWidget()));

    // Tab leaves the table for the next control instead of walking through its cells.
    rules->setFocus();
    QTest::keyClick(rules, Qt::Key_Tab);
    QWidget* focus = QApplication::focusWidget();
    QVERIFY(focus);
    QVERIFY(focus != rules && !rules->isAncestorOf(focus));
    QCOMPARE(rules->currentIndex().row(), 1);
}

QTEST_MAIN(TstKeyboard)
#include "tst_keyboard.moc"
