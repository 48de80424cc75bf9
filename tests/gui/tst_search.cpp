// The page "Поиск": the name list and its incremental search, the double-click lookup, bounds
// taken from a reference value, and the parametric selection into the second table.
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>
#include <memory>

#include "app/mainwindow.h"
#include "appfolder.h"
#include "scriptedui.h"
#include "search/searchpage.h"
#include "testwindow.h"
#include "widgets/apputil.h"

using namespace Qt::StringLiterals;

namespace {

const QString kInvalid = QStringLiteral("» не читается как число");

// Types `text` key by key; QTest::keyClicks takes Latin-1 only.
void typeText(QWidget* widget, const QString& text)
{
    for (const QChar ch : text)
        QTest::sendKeyEvent(QTest::Click, widget, Qt::Key_unknown, QString(ch), Qt::NoModifier);
}

// A shown, active main window over a bipolar base whose records the test writes directly.
class Window {
public:
    Window()
    {
        m_folder.writeSettings(QStringLiteral("[Settings]\nShowNav=0\n"));
        form = std::make_unique<TestWindow>(m_folder.paths(), ui, QStringList{});
        form->show();
        form->activateWindow();
        ready = QTest::qWaitForWindowActive(form.get());
    }

    // Each record: the name, then the texts of main-table columns 1, 2, ... The second table
    // shows column 1 beside the name.
    void setRecords(const QList<QStringList>& records)
    {
        veltris::Table& t = form->document().base().table;
        t.setRowCount(static_cast<int>(records.size()) + 1);
        for (int r = 1; r < t.rowCount(); ++r)
            for (int c = 0; c < t.columnCount(); ++c)
                t.cell(r, c).clear();
        for (int r = 0; r < records.size(); ++r)
            for (int c = 0; c < records[r].size(); ++c)
                t.setCell(r + 1, c, qStringToCp(records[r][c]));
        form->document().base().secondColumnCount = 2;
        form->document().base().viewMask.fill(0);
        form->document().base().viewMask[0] = 1;
        form->document().reportMainTableChange();
        form->document().rebuildSecondTable();
    }

    SearchPage* page() const { return form->searchPage(); }
    SelectionGridView* grid() const { return page()->selectionView(); }
    NameListView* list() const { return page()->nameList(); }

    void clickTab(int index)
    {
        QTabBar* bar = form->pages()->tabBar();
        QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(index).center());
    }
    void openPage()
    {
        if (form->pages()->currentIndex() == 3)
            clickTab(0);
        clickTab(3);
    }

    // A left press and release on the name of parameter row `row`.
    void clickName(int row)
    {
        grid()->scrollTo(grid()->model()->index(row - 1, 0));
        QHeaderView* names = grid()->fixedColumn();
        const QPoint at(10, names->sectionViewportPosition(row - 1) + 5);
        QTest::mouseClick(names->viewport(), Qt::LeftButton, {}, at);
    }

    QPoint cellCenter(int row, int col)
    {
        const QModelIndex index = grid()->model()->index(row - 1, col - 1);
        grid()->scrollTo(index);
        return grid()->visualRect(index).center();
    }

    // Clicks a bound cell, replaces its text by typing and presses Enter. False when no editor
    // opened there.
    bool typeBound(int row, int col, const QString& text)
    {
        QTest::mouseClick(grid()->viewport(), Qt::LeftButton, {}, cellCenter(row, col));
        auto* editor = qobject_cast<QLineEdit*>(QApplication::focusWidget());
        if (!editor || !grid()->isAncestorOf(editor))
            return false;
        QTest::keyClick(editor, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(editor, Qt::Key_Delete);
        // Any character, "≥" included (QTest::keyClicks takes Latin-1 only).
        for (const QChar c : text) {
            QTest::sendKeyEvent(QTest::Press, editor, Qt::Key_unknown, QString(c), Qt::NoModifier);
            QTest::sendKeyEvent(QTest::Release, editor, Qt::Key_unknown, QString(c), Qt::NoModifier);
        }
        QTest::keyClick(editor, Qt::Key_Return);
        return true;
    }

    void setSpreads(int p, int q)
    {
        for (auto [spin, v] : {std::pair{page()->lowerSpread(), p}, std::pair{page()->upperSpread(), q}}) {
            spin->selectAll();
            QTest::keyClicks(spin, QString::number(v));
        }
    }

    void apply() { QTest::mouseClick(page()->applyButton(), Qt::LeftButton); }

    QString cell(int row, int col) const
    {
        return cpToQString(form->searchPage()->selectionGrid().cell(row, col));
    }
    QStringList bounds(int row) const { return {cell(row, 1), cell(row, 3)}; }

    // Column 0 of the second table's data rows.
    QStringList resultNames() const
    {
        QStringList names;
        const veltris::Table& t = form->document().secondTable();
        for (int r = 1; r < t.rowCount(); ++r)
            names << cpToQString(t.cell(r, 0));
        return names;
    }

    QStringList listEntries() const
    {
        QStringList entries;
        for (int i = 0; i < page()->nameModel()->rowCount(); ++i)
            entries << page()->nameModel()->entry(i);
        return entries;
    }

private:
    AppFolder m_folder;

public:
    ScriptedUi ui;
    std::unique_ptr<MainWindow> form;
    bool ready = false;
};

}  // namespace

class TstSearch : public QObject {
    Q_OBJECT
private slots:
    void pageLayout();
    void showingThePageFillsListGridAndCaptions();
    void typingPositionsTheList_data();
    void typingPositionsTheList();
    void doubleClickMakesTheUpperNamesakeCurrent();
    void doubleClickWithoutAnEntryOrAfterTheBaseChanged();
    void editingOnlyInTheBoundColumns();
    void boundsFromTheReference();
    void referenceTheParserRejects();
    void selection_data();
    void selection();
    void noCriteriaShowsTheWholeBase();
    void clearResetsOnlyTheBounds();
    void rejectedTextChangesNothing_data();
    void rejectedTextChangesNothing();
    void zeroIsPaintedBlank();
    void typingReplacesTheBoundShown();
    void boundsStayForTheOpenBase();
    void tabMovesBetweenBoundCells();
};

void TstSearch::pageLayout()
{
    Window w;
    QVERIFY(w.ready);
    SearchPage* page = w.page();
    QVERIFY(w.form->page(3)->isAncestorOf(page));  // in a scroll area filling the page

    const struct {
        const char* name;
        QRect geometry;
    } placed[] = {
        {"nameEdit", {16, 32, 297, 24}},        {"nameList", {16, 64, 297, 545}},
        {"selectionGrid", {352, 64, 585, 377}}, {"clearButton", {824, 504, 89, 33}},
        {"applyButton", {824, 552, 89, 33}},
    };
    for (const auto& p : placed) {
        auto* widget = page->findChild<QWidget*>(QLatin1String(p.name));
        QVERIFY2(widget, p.name);
        QCOMPARE(widget->geometry(), p.geometry);
    }
    QCOMPARE(page->caption(1)->pos(), QPoint(352, 32));
    QCOMPARE(page->lowerSpread()->pos(), QPoint(656, 464));
    QCOMPARE(page->upperSpread()->pos(), QPoint(768, 464));
    // The spread line reads left to right without overlaps.
    QVERIFY(page->caption(2)->geometry().right() < page->lowerSpread()->x());
    QVERIFY(page->caption(3)->geometry().right() < page->upperSpread()->x());
    QCOMPARE(page->caption(2)->text(), QStringLiteral("Разброс параметров от  -"));
    QCOMPARE(page->caption(3)->text(), QStringLiteral("%  до   +"));
    QCOMPARE(page->caption(4)->text(), QStringLiteral("%"));
    QCOMPARE(page->clearButton()->text(), QStringLiteral("Очистить"));
    QVERIFY(!page->clearButton()->icon().isNull());
    QCOMPARE(page->applyButton()->text(), QStringLiteral("Применить"));

    for (QSpinBox* spin : {page->lowerSpread(), page->upperSpread()}) {
        QCOMPARE(spin->minimum(), 0);
        QCOMPARE(spin->maximum(), 100);
        QCOMPARE(spin->value(), 10);
    }
    for (QWidget* child : page->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        QCOMPARE(int(helpContext(child)), 31);
    QCOMPARE(int(helpContext(page)), 31);

    w.openPage();
    SelectionGridView* grid = w.grid();
    QCOMPARE(grid->model()->columnCount(), 3);
    QVERIFY(grid->fixedColumn()->width() >= 140);  // wider where a parameter name needs it
    QCOMPARE(grid->fixedRow()->height(), 24);
    for (int c = 0; c < 3; ++c)
        QCOMPARE(grid->columnWidth(c), 140);
    QCOMPARE(grid->rowHeight(0), 24);
}

void TstSearch::showingThePageFillsListGridAndCaptions()
{
    Window w;
    QVERIFY(w.ready);
    w.setRecords({{QStringLiteral("KT315"), QStringLiteral("1")},
                  {QStringLiteral("bc547"), QString(), QStringLiteral("<45")},
                  {QStringLiteral("КТ315"), QStringLiteral("2")},
                  {QStringLiteral("2N3055")},
                  {QString()},
                  {QStringLiteral("BD139")}});
    w.form->setCurrentCell(2, 1);
    w.openPage();

    // Case-insensitive; digits, then Latin, then Cyrillic; an empty name is an empty entry.
    QCOMPARE(w.listEntries(),
             (QStringList{QString(), QStringLiteral("2N3055"), QStringLiteral("bc547"),
                          QStringLiteral("BD139"), QStringLiteral("KT315"), QStringLiteral("КТ315")}));
    QCOMPARE(w.list()->selectedRow(), -1);

    QCOMPARE(w.page()->nameLabel()->text(), QStringLiteral("bc547"));
    QCOMPARE(w.page()->caption(1)->text(), QStringLiteral("Подбор по параметрам для bc547"));

    const veltris::Table& main = w.form->document().base().table;
    const veltris::Table& g = w.form->searchPage()->selectionGrid();
    QCOMPARE(g.rowCount(), main.columnCount());
    QCOMPARE(g.columnCount(), 4);
    QCOMPARE(w.cell(0, 0), QStringLiteral("Параметр"));
    QCOMPARE(w.cell(0, 1), QStringLiteral("От"));
    QCOMPARE(w.cell(0, 2), QString());
    QCOMPARE(w.cell(0, 3), QStringLiteral("До"));
    // Bounds are "0", or empty in the rows the grid gained: no bound either way.
    for (int i = 1; i < g.rowCount(); ++i) {
        QCOMPARE(g.cell(i, 0), main.cell(0, i));
        QCOMPARE(g.cell(i, 1), g.cell(i, 3));
        QVERIFY(g.cell(i, 1) == "0" || g.cell(i, 1).empty());
    }
    QCOMPARE(w.cell(1, 2), QStringLiteral("0"));  // empty cell
    QCOMPARE(w.cell(2, 2), QStringLiteral("<45"));
    QCOMPARE(w.grid()->fixedColumn()->model()->headerData(0, Qt::Vertical).toString(),
             cpToQString(main.cell(0, 1)));

    // The page is rebuilt from the table each time it is shown.
    w.clickTab(0);
    w.form->document().base().table.setCell(2, 0, "BC548");
    w.form->setCurrentCell(1, 1);
    w.clickTab(3);
    QVERIFY(w.listEntries().contains(QStringLiteral("BC548")));
    QCOMPARE(w.page()->nameLabel()->text(), QStringLiteral("KT315"));
    QCOMPARE(w.cell(1, 2), QStringLiteral("1"));
    QVERIFY(w.ui.unexpected.isEmpty());
}

void TstSearch::typingPositionsTheList_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<QString>("selected");  // "-" when nothing is selected
    QTest::newRow("prefix, lower case") << u"bd"_s << u"BD"_s << u"BD139"_s;
    QTest::newRow("first of two with the prefix") << u"B"_s << u"B"_s << u"bc547"_s;
    QTest::newRow("equal ignoring case") << u"kt315"_s << u"KT315"_s << u"KT315"_s;
    QTest::newRow("between entries") << u"C"_s << u"C"_s << u"KT315"_s;
    QTest::newRow("cyrillic") << u"кт"_s << u"КТ"_s << u"КТ315"_s;
    QTest::newRow("after every entry") << u"ЯЯ"_s << u"ЯЯ"_s << u"-"_s;
}

void TstSearch::typingPositionsTheList()
{
    QFETCH(QString, typed);
    QFETCH(QString, shown);
    QFETCH(QString, selected);
    Window w;
    QVERIFY(w.ready);
    w.setRecords({{QStringLiteral("KT315")},
                  {QStringLiteral("bc547")},
                  {QStringLiteral("КТ315")},
                  {QStringLiteral("BD139")},
                  {QStringLiteral("2N3055")}});
    w.openPage();
    QLineEdit* edit = w.page()->nameEdit();
    const int before = w.form->currentRow();

    typeText(edit, typed);
    QCOMPARE(edit->text(), shown);
    const int row = w.list()->selectedRow();
    QCOMPARE(row < 0 ? QStringLiteral("-") : w.page()->nameModel()->entry(row), selected);
    QCOMPARE(w.form->currentRow(), before);

    // Emptying the edit selects the first entry.
    edit->clear();
    QCOMPARE(w.list()->selectedRow(), 0);
}

void TstSearch::doubleClickMakesTheUpperNamesakeCurrent()
{
    Window w;
    QVERIFY(w.ready);
    w.setRecords({{QStringLiteral("X1"), QStringLiteral("7")},
                  {QStringLiteral("KT315"), QStringLiteral("100")},
                  {QStringLiteral("A"), QStringLiteral("5")},
                  {QStringLiteral("KT315"), QStringLiteral("200")}});
    w.form->setCurrentCell(3, 4);
    w.openPage();
    const QStringList entries = w.listEntries();
    QCOMPARE(entries.count(QStringLiteral("KT315")), 2);

    for (int entry : {1, 2}) {  // both namesakes
        QCOMPARE(entries[entry], QStringLiteral("KT315"));
        QVERIFY(w.typeBound(1, 1, QStringLiteral("50")));
        w.form->setCurrentCell(3, 4);
        const QRect r = w.list()->visualRect(w.page()->nameModel()->index(entry));
        QTest::mouseClick(w.list()->viewport(), Qt::LeftButton, {}, r.center());
        QTest::mouseDClick(w.list()->viewport(), Qt::LeftButton, {}, r.center());

        QCOMPARE(w.form->currentRow(), 2);
        QCOMPARE(w.form->currentColumn(), 1);
        QCOMPARE(w.form->pages()->currentIndex(), 3);
        QCOMPARE(w.page()->nameLabel()->text(), QStringLiteral("KT315"));
        QCOMPARE(w.page()->caption(1)->text(), QStringLiteral("Подбор по параметрам для KT315"));
        QCOMPARE(w.cell(1, 2), QStringLiteral("100"));
        // The bounds typed for the open base stay with another reference.
        QCOMPARE(w.bounds(1), (QStringList{QStringLiteral("50"), QStringLiteral("0")}));
    }
    QVERIFY(w.ui.messages.isEmpty());
}

void TstSearch::doubleClickWithoutAnEntryOrAfterTheBaseChanged()
{
    Window w;
    QVERIFY(w.ready);
    w.setRecords({{QStringLiteral("A"), QStringLiteral("1")}, {QStringLiteral("B"), QStringLiteral("2")}});
    w.form->setCurrentCell(2, 1);
    w.openPage();
    QTest::keyClicks(w.page()->nameEdit(), QStringLiteral("Z"));
    QCOMPARE(w.list()->selectedRow(), -1);
    const QPoint empty(20, w.list()->viewport()->height() - 5);
    QTest::mouseDClick(w.list()->viewport(), Qt::LeftButton, {}, empty);
    QCOMPARE(w.form->currentRow(), 2);
    QCOMPARE(w.page()->nameLabel()->text(), QStringLiteral("B"));

    // The table changes under the page (as New does): the listed names are gone from it.
    w.setRecords({{QStringLiteral("C"), QStringLiteral("3")}, {QStringLiteral("D"), QStringLiteral("4")}});
    w.form->setCurrentCell(2, 1);
    w.page()->nameEdit()->clear();
    QCOMPARE(w.page()->nameModel()->entry(w.list()->selectedRow()), QStringLiteral("A"));
    const QRect r = w.list()->visualRect(w.page()->nameModel()->index(0));
    QTest::mouseDClick(w.list()->viewport(), Qt::LeftButton, {}, r.center());
    QCOMPARE(w.form->currentRow(), 2);
    QCOMPARE(w.page()->nameLabel()->text(), QStringLiteral("B"));
    QCOMPARE(w.cell(1, 2), QStringLiteral("2"));
    QVERIFY(w.ui.messages.isEmpty());
}

void TstSearch::editingOnlyInTheBoundColumns()
{
    Window w;
    QVERIFY(w.ready);
    w.setRecords({{QStringLiteral("A"), QStringLiteral("15")}});
    w.openPage();
    QVERIFY(w.typeBound(1, 1, QStringLiteral("10")));
    QVERIFY(w.typeBound(1, 3, QStringLiteral("20")));
    QCOMPARE(w.bounds(1), (QStringList{QStringLiteral("10"), QStringLiteral("20")}));

    // The reference column takes no typing.
    QVERIFY(!w.typeBound(1, 2, QStringLiteral("99")));
    QTest::keyClicks(w.grid(), QStringLiteral("99"));
    QCOMPARE(w.cell(1, 2), QStringLiteral("15"));
    QVERIFY(!w.grid()->editing());

    // Text typed but not yet confirmed counts when "Применить" is pressed.
    QTest::mouseClick(w.grid()->viewport(), Qt::LeftButton, {}, w.cellCenter(1, 3));
    auto* editor = qobject_cast<QLineEdit*>(QApplication::focusWidget());
    QVERIFY(editor);
    QTest::keyClick(editor, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(editor, QStringLiteral("12"));
    w.apply();
    QCOMPARE(w.bounds(1), (QStringList{QStringLiteral("10"), QStringLiteral("12")}));
    QCOMPARE(w.resultNames(), QStringList{QString()});  // 15 > 12: one empty row
}

void TstSearch::boundsFromTheReference()
{
    Window w;
    QVERIFY(w.ready);
    w.setRecords({{QStringLiteral("REF"), QStringLiteral("100"), QStringLiteral("<50"),
                   QStringLiteral("10-20"), QStringLiteral("-8")}});
    veltris::Table& t = w.form->document().base().table;
    const int last = t.columnCount() - 1;
    t.setCell(1, last, "12");
    w.openPage();

    w.clickName(1);
    QCOMPARE(w.bounds(1), (QStringList{QStringLiteral("90"), QStringLiteral("110")}));
    w.clickName(2);
    QCOMPARE(w.bounds(2), (QStringList{QStringLiteral("45"), QStringLiteral("55")}));
    w.clickName(4);  // signs play no part
    QCOMPARE(w.bounds(4), (QStringList{QStringLiteral("7,2"), QStringLiteral("8,8")}));
    w.clickName(5);  // empty cell, reference "0": no bound
    QCOMPARE(w.bounds(5), (QStringList{QStringLiteral("0"), QStringLiteral("0")}));

    w.setSpreads(10, 20);
    w.clickName(3);
    QCOMPARE(w.bounds(3), (QStringList{QStringLiteral("9"), QStringLiteral("24")}));

    w.setSpreads(100, 0);
    w.clickName(1);
    QCOMPARE(w.bounds(1), (QStringList{QStringLiteral("0"), QStringLiteral("100")}));

    // The package drawing number is copied without any spread.
    w.clickName(last);
    QCOMPARE(w.bounds(last), (QStringList{QStringLiteral("12"), QStringLiteral("12")}));

    // Only a press on a name takes bounds: not the header row, not a value cell.
    const veltris::Table before = w.form->searchPage()->selectionGrid();
    QTest::mouseClick(w.grid()->fixedRow()->viewport(), Qt::LeftButton, {}, QPoint(20, 5));
    QTest::mouseClick(w.grid()->viewport(), Qt::LeftButton, {}, w.cellCenter(2, 2));
    QCOMPARE(w.form->searchPage()->selectionGrid(), before);

    // Any mouse button does it.
    QHeaderView* names = w.grid()->fixedColumn();
    w.grid()->scrollTo(w.grid()->model()->index(0, 0));
    QTest::mouseClick(names->viewport(), Qt::RightButton, {},
                      QPoint(10, names->sectionViewportPosition(1) + 5));
    QCOMPARE(w.bounds(2), (QStringList{QStringLiteral("0"), QStringLiteral("50")}));
    QVERIFY(w.ui.messages.isEmpty());
}

void TstSearch::referenceTheParserRejects()
{
    Window w;
    QVERIFY(w.ready);
    w.setRecords({{QStringLiteral("A"), QStringLiteral("5-")}});
    w.openPage();
    QVERIFY(w.typeBound(1, 1, QStringLiteral("3")));
    w.clickName(1);
    QCOMPARE(w.ui.messages.size(), 1);
    // The range's second end is the empty text, and that is what fails.
    const QString title = cpToQString(w.form->document().base().table.cell(0, 1)).replace(u'|', u' ');
    QCOMPARE(w.ui.messages[0].text, u"Столбец «"_s + title + u"»: «"_s + kInvalid);
    QCOMPARE(w.ui.messages[0].caption, QStringLiteral("Вельтрис"));
    QCOMPARE(w.ui.messages[0].icon, MessageIcon::Critical);
    QCOMPARE(w.bounds(1), (QStringList{QStringLiteral("3"), QStringLiteral("0")}));
}

void TstSearch::selection_data()
{
    QTest::addColumn<QStringList>("values");  // column 1 of records R1, R2, ...
    QTest::addColumn<QString>("lower");       // typed into row 1
    QTest::addColumn<QString>("upper");
    QTest::addColumn<QStringList>("selected");

    const QStringList plain = {u"95"_s, u"111"_s, u"90"_s, u"110"_s, u""_s, u"-100"_s};
    QTest::newRow("inclusive bounds, signs dropped")
        << plain << u"90"_s << u"110"_s << QStringList{u"R1"_s, u"R3"_s, u"R4"_s, u"R6"_s};
    QTest::newRow("range inside 5..25")
        << QStringList{u"10-20"_s, u"4-20"_s, u"10-26"_s} << u"5"_s << u"25"_s << QStringList{u"R1"_s};
    QTest::newRow("range starts below 12") << QStringList{u"10-20"_s} << u"12"_s << u"25"_s << QStringList{};
    QTest::newRow("less-than sign reads as 10")
        << QStringList{u"<10"_s, u">11"_s} << u"10"_s << u"10"_s << QStringList{u"R1"_s};
    QTest::newRow("parentheses read as 5")
        << QStringList{u"(5)"_s, u"[6]"_s} << u"5"_s << u"5"_s << QStringList{u"R1"_s};
    QTest::newRow("exponent form is one value")
        << QStringList{u"1E-5"_s, u"1E-3"_s} << u"0,000001"_s << u"0,0001"_s << QStringList{u"R1"_s};
    QTest::newRow("lower above upper") << plain << u"110"_s << u"90"_s << QStringList{};
    // Only «От»: at least; only «До»: at most; the signs say which side whatever the cell.
    QTest::newRow("only a lower bound")
        << plain << u"100"_s << u"0"_s << QStringList{u"R2"_s, u"R4"_s, u"R6"_s};
    QTest::newRow("only a lower bound, upper emptied")
        << plain << u"100"_s << u""_s << QStringList{u"R2"_s, u"R4"_s, u"R6"_s};
    QTest::newRow("only an upper bound") << plain << u"0"_s << u"94"_s << QStringList{u"R3"_s, u"R5"_s};
    QTest::newRow("signed bounds") << plain << u">95"_s << u"<105"_s << QStringList{u"R1"_s, u"R6"_s};
    QTest::newRow("signs Windows-1251 lacks")
        << plain << u"≥95"_s << u"≤105"_s << QStringList{u"R1"_s, u"R6"_s};
    QTest::newRow("at most in «От»") << plain << u"<94"_s << u"0"_s << QStringList{u"R3"_s, u"R5"_s};
    QTest::newRow("decimal point and prefix")
        << plain << u"0.09к"_s << u"0,1k"_s << QStringList{u"R1"_s, u"R3"_s, u"R6"_s};
}

void TstSearch::selection()
{
    QFETCH(QStringList, values);
    QFETCH(QString, lower);
    QFETCH(QString, upper);
    QFETCH(QStringList, selected);
    Window w;
    QVERIFY(w.ready);
    QList<QStringList> records;
    for (int i = 0; i < values.size(); ++i)
        records << QStringList{QStringLiteral("R%1").arg(i + 1), values[i]};
    w.setRecords(records);
    w.openPage();
    QVERIFY(w.typeBound(1, 1, lower));
    QVERIFY(w.typeBound(1, 3, upper));
    w.apply();

    QVERIFY(w.ui.messages.isEmpty());
    QCOMPARE(w.form->pages()->currentIndex(), 1);
    // Nothing selected: one empty row.
    QCOMPARE(w.resultNames(), selected.isEmpty() ? QStringList{QString()} : selected);
    const veltris::Table& second = w.form->document().secondTable();
    QCOMPARE(second.columnCount(), 2);
    for (int r = 1; r < second.rowCount() && !selected.isEmpty(); ++r)
        QCOMPARE(cpToQString(second.cell(r, 1)), values[selected[r - 1].mid(1).toInt() - 1]);
}

void TstSearch::noCriteriaShowsTheWholeBase()
{
    Window w;
    QVERIFY(w.ready);
    w.setRecords({{QStringLiteral("A"), QStringLiteral("1")},
                  {QStringLiteral("B"), QStringLiteral("2")},
                  {QStringLiteral("C")}});
    w.openPage();
    // An emptied bound and "0" everywhere else: no criteria at all.
    QVERIFY(w.typeBound(2, 3, QString()));
    QCOMPARE(w.cell(2, 3), QString());
    w.apply();
    QCOMPARE(w.form->pages()->currentIndex(), 1);
    QCOMPARE(w.resultNames(), (QStringList{u"A"_s, u"B"_s, u"C"_s}));
    QCOMPARE(cpToQString(w.form->document().secondTable().cell(0, 0)),
             w.form->document().application().deviceLabel());

    // A reference click with the lower spread at 100 leaves only the upper bound: at most 1,1.
    w.clickTab(3);
    w.setSpreads(100, 10);
    w.clickName(1);
    w.apply();
    QCOMPARE(w.resultNames(), (QStringList{u"A"_s, u"C"_s}));
    QVERIFY(w.ui.messages.isEmpty());
}

void TstSearch::clearResetsOnlyTheBounds()
{
    Window w;
    QVERIFY(w.ready);
    w.setRecords({{QStringLiteral("A"), QStringLiteral("100"), QStringLiteral("3")}});
    w.openPage();
    w.clickName(1);
    QVERIFY(w.typeBound(2, 1, QStringLiteral("1")));
    const veltris::Table second = w.form->document().secondTable();
    QTest::mouseClick(w.page()->clearButton(), Qt::LeftButton);
    for (int row : {1, 2, 3})
        QCOMPARE(w.bounds(row), (QStringList{QStringLiteral("0"), QStringLiteral("0")}));
    QCOMPARE(w.cell(1, 2), QStringLiteral("100"));
    QCOMPARE(w.cell(2, 0), cpToQString(w.form->document().base().table.cell(0, 2)));
    QCOMPARE(w.form->document().secondTable(), second);
    QCOMPARE(w.form->pages()->currentIndex(), 3);
}

void TstSearch::rejectedTextChangesNothing_data()
{
    QTest::addColumn<QString>("badCell");
    QTest::addColumn<QString>("lower");
    QTest::addColumn<QString>("message");
    // A bound is refused naming the column by its title and the text as typed.
    QTest::newRow("range as bound") << u"15"_s << u"5-7"_s << u"Столбец «%1»: граница «5-7»: диапазон"_s;
    QTest::newRow("fraction") << u"15"_s << u"1/2"_s << u"Столбец «%1»: граница «1/2»: не понято «/2»"_s;
    QTest::newRow("two decimal marks")
        << u"15"_s << u"40.5.1"_s << u"Столбец «%1»: граница «40.5.1»: два десятичных знака"_s;
    QTest::newRow("cell ending in a minus") << u"5-"_s << u"5"_s << u"Столбец «%1»: «"_s + kInvalid;
}

void TstSearch::rejectedTextChangesNothing()
{
    QFETCH(QString, badCell);
    QFETCH(QString, lower);
    QFETCH(QString, message);
    Window w;
    QVERIFY(w.ready);
    // The first record passes; only the second one's cell can fail.
    w.setRecords({{QStringLiteral("A"), QStringLiteral("15")}, {QStringLiteral("B"), badCell}});
    w.openPage();
    QVERIFY(w.typeBound(1, 1, lower));
    QVERIFY(w.typeBound(1, 3, QStringLiteral("20")));
    const veltris::Table second = w.form->document().secondTable();
    w.apply();

    QCOMPARE(w.ui.messages.size(), 1);
    const QString title = cpToQString(w.form->document().base().table.cell(0, 1)).replace(u'|', u' ');
    QVERIFY2(w.ui.messages[0].text.startsWith(message.contains(u"%1"_s) ? message.arg(title) : message),
             qPrintable(w.ui.messages[0].text));
    QCOMPARE(w.ui.messages[0].caption, QStringLiteral("Вельтрис"));
    QCOMPARE(w.ui.messages[0].icon, MessageIcon::Critical);
    QCOMPARE(w.form->document().secondTable(), second);
    QCOMPARE(w.form->pages()->currentIndex(), 3);
    QCOMPARE(w.bounds(1), (QStringList{lower, QStringLiteral("20")}));
}

void TstSearch::typingReplacesTheBoundShown()
{
    Window w;
    QVERIFY(w.ready);
    w.setRecords({{QStringLiteral("A"), QStringLiteral("15")}});
    w.openPage();
    // A click on a bound selects what it holds ("0", painted blank): typing replaces it, with
    // the mouse as with the keyboard (Tab goes on to «До» of the row).
    for (const int col : {1, 3}) {
        if (col == 1)
            QTest::mouseClick(w.grid()->viewport(), Qt::LeftButton, {}, w.cellCenter(1, col));
        QCOMPARE(w.grid()->currentIndex().column() + 1, col);
        auto* editor = qobject_cast<QLineEdit*>(QApplication::focusWidget());
        QVERIFY(editor);
        QCOMPARE(editor->text(), QStringLiteral("0"));
        QCOMPARE(editor->selectedText(), QStringLiteral("0"));
        QTest::keyClicks(editor, col == 1 ? QStringLiteral("1/2") : QStringLiteral("20"));
        QTest::keyClick(editor, Qt::Key_Tab);
    }
    QCOMPARE(w.bounds(1), (QStringList{QStringLiteral("1/2"), QStringLiteral("20")}));
    w.apply();
    QCOMPARE(w.ui.messages.size(), 1);
    QVERIFY(w.ui.messages[0].text.contains(u"граница «1/2»: не понято «/2»"_s));

    // The usual way: a click makes the cell current and opens its field, a second click goes
    // into the field. The text stays selected, so typing replaces it.
    QTest::mouseClick(w.grid()->viewport(), Qt::LeftButton, {}, w.cellCenter(1, 1));
    auto* editor = qobject_cast<QLineEdit*>(QApplication::focusWidget());
    QVERIFY(editor);
    QTest::mouseClick(editor, Qt::LeftButton, {}, editor->rect().center());
    QCOMPARE(editor->selectedText(), QStringLiteral("1/2"));
    QTest::keyClicks(editor, QStringLiteral("7"));
    QCOMPARE(w.cell(1, 1), QStringLiteral("7"));
    // Later clicks place the caret as in any field.
    QTest::mouseClick(editor, Qt::LeftButton, {}, QPoint(editor->width() - 2, editor->height() / 2));
    QVERIFY(editor->selectedText().isEmpty());
}

void TstSearch::zeroIsPaintedBlank()
{
    Window w;
    QVERIFY(w.ready);
    w.setRecords({{QStringLiteral("A"), QString(), QStringLiteral("8")}});
    w.openPage();
    w.grid()->clearSelection();
    w.grid()->setCurrentIndex({});
    const auto inked = [&](int row, int col) {
        const QImage img = w.grid()->viewport()->grab().toImage();
        const QModelIndex index = w.grid()->model()->index(row - 1, col - 1);
        const QRect r = w.grid()->visualRect(index).adjusted(2, 2, -2, -2);
        const QRgb background = img.pixel(r.bottomRight());
        for (int y = r.top(); y <= r.bottom(); ++y)
            for (int x = r.left(); x <= r.right(); ++x)
                if (img.pixel(x, y) != background)
                    return true;
        return false;
    };
    QCOMPARE(w.cell(1, 1), QStringLiteral("0"));
    QVERIFY(!inked(1, 1));  // bound "0"
    QVERIFY(!inked(1, 2));  // reference "0" from an empty cell
    QVERIFY(inked(2, 2));   // "8"
}

void TstSearch::boundsStayForTheOpenBase()
{
    Window w;
    QVERIFY(w.ready);
    w.setRecords({{QStringLiteral("A"), QStringLiteral("15")}, {QStringLiteral("B"), QStringLiteral("50")}});
    w.openPage();
    QVERIFY(w.typeBound(1, 1, QStringLiteral(">40")));
    QVERIFY(w.typeBound(2, 3, QStringLiteral("7")));
    // Away to the tables and back, and another record chosen by name: the bounds stay.
    w.clickTab(0);
    w.clickTab(3);
    QCOMPARE(w.bounds(1), (QStringList{QStringLiteral(">40"), QStringLiteral("0")}));
    QCOMPARE(w.cell(2, 3), QStringLiteral("7"));
    w.page()->nameEdit()->setText(QStringLiteral("B"));
    w.page()->goToSelectedName();
    QCOMPARE(w.cell(1, 2), QStringLiteral("50"));
    QCOMPARE(w.bounds(1), (QStringList{QStringLiteral(">40"), QStringLiteral("0")}));
    w.typeBound(2, 3, QStringLiteral("0"));
    w.apply();
    QCOMPARE(w.resultNames(), QStringList{u"B"_s});

    // Another base: the bounds typed for this one go.
    w.form->document().newBase();
    w.clickTab(3);
    QCOMPARE(w.bounds(1), (QStringList{QStringLiteral("0"), QStringLiteral("0")}));
}

void TstSearch::tabMovesBetweenBoundCells()
{
    Window w;
    QVERIFY(w.ready);
    w.setRecords({{QStringLiteral("A"), QStringLiteral("15")}});
    w.openPage();
    QTest::mouseClick(w.grid()->viewport(), Qt::LeftButton, {}, w.cellCenter(1, 1));
    const int rows = w.page()->selectionGrid().rowCount() - 1;
    // «От» → «До» → the next row's «От» ..., round the grid: never into the spread boxes.
    QList<QPoint> seen;
    for (int i = 0; i < rows * 2 + 1; ++i) {
        QWidget* focus = QApplication::focusWidget();
        QVERIFY(focus);
        QVERIFY2(w.grid()->isAncestorOf(focus) || focus == w.grid(), qPrintable(focus->objectName()));
        const QModelIndex at = w.grid()->currentIndex();
        seen << QPoint(at.row() + 1, at.column() + 1);
        QTest::keyClick(focus, Qt::Key_Tab);
    }
    QCOMPARE(seen[0], QPoint(1, 1));
    QCOMPARE(seen[1], QPoint(1, 3));
    QCOMPARE(seen[2], QPoint(2, 1));
    QCOMPARE(seen.last(), QPoint(1, 1));
    // Typing after Tab goes into the bound, not the spread.
    QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("25"));
    QCOMPARE(w.page()->lowerSpread()->value(), 10);
    QCOMPARE(w.page()->upperSpread()->value(), 10);
    // Shift+Tab stays in the grid too.
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab, Qt::ShiftModifier);
    QVERIFY(w.grid()->isAncestorOf(QApplication::focusWidget()) || QApplication::focusWidget() == w.grid());
}

QTEST_MAIN(TstSearch)
#include "tst_search.moc"
