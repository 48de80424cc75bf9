// The view parameters dialog: hidden and shown lists, moves, the shown-list apply, help.
#undef QT_NO_CAST_FROM_ASCII
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QListWidget>
#include <QTest>

#include "base/catalogue.h"
#include "docfixture.h"
#include "edit/baseparametersdialog.h"
#include "edit/viewcolumnsdialog.h"
#include "widgets/apputil.h"

namespace {

ViewColumnsDialog* asProsm(QDialog* d)
{
    return static_cast<ViewColumnsDialog*>(d);
}

void screenshot(QWidget* w, const QString& name)
{
    const QString dir = qEnvironmentVariable("VELTRIS_SCREENSHOTS_DIR");
    if (!dir.isEmpty() && QDir().mkpath(dir))
        w->grab().save(QDir(dir).filePath(name + ".png"));
}

// A user's click on the item of column p in `list`.
void clickColumn(QListWidget* list, int p)
{
    const QList<QListWidgetItem*> items = list->findItems(QString::number(p), Qt::MatchExactly);
    if (items.size() != 1) {
        QTest::qFail(qPrintable(QString("no item %1").arg(p)), __FILE__, __LINE__);
        return;
    }
    list->scrollToItem(items.first());
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(items.first()).center());
}

std::vector<int> range(int from, int to)
{
    std::vector<int> v;
    for (int p = from; p <= to; ++p)
        v.push_back(p);
    return v;
}

std::vector<int> maskPrefix(const veltris::ComponentBase& b, int n)
{
    return {b.viewMask.begin(), b.viewMask.begin() + n};
}

bool buttonsEnabled(QDialog* d, bool add, bool remove)
{
    return dialogButton(d, "showSelectedButton")->isEnabled() == add &&
           dialogButton(d, "showAllButton")->isEnabled() == add &&
           dialogButton(d, "hideSelectedButton")->isEnabled() == remove &&
           dialogButton(d, "hideAllButton")->isEnabled() == remove;
}

}  // namespace

class TstViewColumns : public QObject {
    Q_OBJECT
private slots:
    void newBaseListsEverythingHidden();
    void movesFiveTwoNine();
    void allShownThenNoneSurvivesSaving();
    void cancelAndShorterLists();
    void namesFollowTheColumnMap();
    void help();
    void listsUseTheDialogsFont();
};

void TstViewColumns::newBaseListsEverythingHidden()
{
    DocFixture fx;
    bool ok = false;
    fx.ui.onDialog("viewColumnsDialog", [&](QDialog* d) {
        ViewColumnsDialog* p = asProsm(d);
        ok = p->hiddenColumns() == range(1, 30) && p->shownColumns().empty() &&
             buttonsEnabled(d, true, false) && p->hiddenList()->currentRow() == 0 &&
             p->hiddenList()->item(0)->isSelected();
        return int(QDialog::Rejected);
    });
    fx.form->editViewColumns();
    QVERIFY(ok);
    QVERIFY(!fx.form->document().isModified());
}

void TstViewColumns::movesFiveTwoNine()
{
    DocFixture fx;
    fx.openSample("bipolar.QDB");
    fx.form->document().applyShownList({});
    fx.form->document().setModified(false);
    std::vector<int> hiddenAfter;
    bool buttonsOk = false;
    fx.ui.onDialog("viewColumnsDialog", [&](QDialog* d) {
        ViewColumnsDialog* p = asProsm(d);
        for (const int col : {5, 2, 9}) {
            clickColumn(p->hiddenList(), col);
            click(d, "showSelectedButton");
        }
        screenshot(d, "view-parameters-moved");
        hiddenAfter = p->hiddenColumns();
        buttonsOk = buttonsEnabled(d, true, true) && p->hiddenList()->currentRow() == 0;
        click(d, "okButton");
        return d->result();
    });
    fx.form->editViewColumns();
    QVERIFY(buttonsOk);
    std::vector<int> expectedHidden = range(1, 30);
    std::erase_if(expectedHidden, [](int c) { return c == 5 || c == 2 || c == 9; });
    QCOMPARE(hiddenAfter, expectedHidden);

    const veltris::ComponentBase& b = fx.form->document().base();
    QCOMPARE(maskPrefix(b, 4), std::vector<int>({5, 2, 9, 0}));
    QCOMPARE(b.secondColumnCount, 4);
    const veltris::Table& second = fx.form->document().secondTable();
    QCOMPARE(second.columnCount(), 4);
    QCOMPARE(second.rowCount(), b.table.rowCount());
    const int cols[] = {0, 5, 2, 9};
    for (int r = 0; r < second.rowCount(); ++r)
        for (int i = r == 0 ? 1 : 0; i < 4; ++i)
            QCOMPARE(second.cell(r, i), b.table.cell(r, cols[i]));
    QVERIFY(fx.form->document().isModified());

    // Reopened: the shown list in that order, the others hidden in ascending order.
    std::vector<int> shown;
    fx.ui.onDialog("viewColumnsDialog", [&](QDialog* d) {
        shown = asProsm(d)->shownColumns();
        hiddenAfter = asProsm(d)->hiddenColumns();
        return int(QDialog::Rejected);
    });
    fx.form->editViewColumns();
    QCOMPARE(shown, std::vector<int>({5, 2, 9}));
    QCOMPARE(hiddenAfter, expectedHidden);
}

void TstViewColumns::allShownThenNoneSurvivesSaving()
{
    DocFixture fx;
    const QString path = fx.openSample("diodes.QDB");
    fx.form->document().applyShownList({});
    fx.ui.onDialog("viewColumnsDialog", [](QDialog* d) {
        click(d, "showAllButton");
        return buttonsEnabled(d, false, true) ? (click(d, "okButton"), d->result()) : int(QDialog::Rejected);
    });
    fx.form->editViewColumns();
    std::vector<int> all = range(1, 12);
    all.push_back(0);
    QCOMPARE(maskPrefix(fx.form->document().base(), 13), all);
    QCOMPARE(fx.form->document().secondTable().columnCount(), 13);
    QCOMPARE(fx.form->document().secondTable().cell(0, 12), fx.form->document().base().table.cell(0, 12));

    fx.ui.onDialog("viewColumnsDialog", [](QDialog* d) {
        click(d, "hideAllButton");
        return buttonsEnabled(d, true, false) ? (click(d, "okButton"), d->result()) : int(QDialog::Rejected);
    });
    fx.form->editViewColumns();
    const veltris::Table& second = fx.form->document().secondTable();
    QCOMPARE(second.columnCount(), 2);
    for (int r = 0; r < second.rowCount(); ++r)
        QVERIFY(second.cell(r, 1).empty());
    QCOMPARE(second.cell(1, 0), fx.form->document().base().table.cell(1, 0));

    QVERIFY(fx.form->saveBase());
    QVERIFY(fx.form->document().load(path));
    QCOMPARE(fx.form->document().base().secondColumnCount, 2);
    QCOMPARE(fx.form->document().secondTable().columnCount(), 2);
    std::vector<int> hidden;
    std::vector<int> shown{-1};
    fx.ui.onDialog("viewColumnsDialog", [&](QDialog* d) {
        hidden = asProsm(d)->hiddenColumns();
        shown = asProsm(d)->shownColumns();
        return int(QDialog::Rejected);
    });
    fx.form->editViewColumns();
    QCOMPARE(hidden, range(1, 12));
    QVERIFY(shown.empty());
    QVERIFY(fx.ui.unexpected.isEmpty());
}

void TstViewColumns::cancelAndShorterLists()
{
    DocFixture fx;
    fx.openSample("bipolar.QDB");
    fx.form->document().applyShownList({5, 2, 9});
    fx.form->document().setModified(false);
    const veltris::ComponentBase before = fx.form->document().base();
    const veltris::Table secondBefore = fx.form->document().secondTable();

    // Moves, then Cancel: nothing changes. A column moved back goes to the end of its list.
    std::vector<int> hiddenAfterMoveBack;
    fx.ui.onDialog("viewColumnsDialog", [&](QDialog* d) {
        ViewColumnsDialog* p = asProsm(d);
        clickColumn(p->shownList(), 2);
        click(d, "hideSelectedButton");
        hiddenAfterMoveBack = p->hiddenColumns();
        click(d, "showAllButton");
        click(d, "cancelButton");
        return d->result();
    });
    fx.form->editViewColumns();
    QCOMPARE(hiddenAfterMoveBack.back(), 2);
    QVERIFY(fx.form->document().base().viewMask == before.viewMask);
    QVERIFY(fx.form->document().secondTable() == secondBefore);
    QVERIFY(!fx.form->document().isModified());

    // A shorter list: entries after it keep what they held.
    fx.ui.onDialog("viewColumnsDialog", [](QDialog* d) {
        click(d, "hideAllButton");
        clickColumn(asProsm(d)->hiddenList(), 7);
        click(d, "showSelectedButton");
        click(d, "okButton");
        return d->result();
    });
    fx.form->editViewColumns();
    QCOMPARE(maskPrefix(fx.form->document().base(), 3), std::vector<int>({7, 2, 9}));
    QCOMPARE(fx.form->document().base().secondColumnCount, 2);
    QCOMPARE(fx.form->document().secondTable().columnCount(), 2);

    // Entries a file gives that name no column of the table are not offered.
    fx.form->document().base().viewMask[0] = 3;
    fx.form->document().base().viewMask[1] = 0;
    fx.form->document().base().viewMask[2] = 40;
    fx.form->document().base().secondColumnCount = 4;
    std::vector<int> shown;
    std::vector<int> hidden;
    fx.ui.onDialog("viewColumnsDialog", [&](QDialog* d) {
        shown = asProsm(d)->shownColumns();
        hidden = asProsm(d)->hiddenColumns();
        return int(QDialog::Rejected);
    });
    fx.form->editViewColumns();
    QCOMPARE(shown, std::vector<int>({3}));
    QCOMPARE(hidden.size(), size_t(29));
}

void TstViewColumns::namesFollowTheColumnMap()
{
    DocFixture fx;
    fx.openSample("diodes.QDB");
    const veltris::Catalogue& cat = fx.form->document().catalogue();
    ViewColumnsDialog* columnsDialog = fx.form->viewColumnsDialog();
    fx.ui.rejectDialog("viewColumnsDialog");
    fx.form->editViewColumns();
    QCOMPARE(columnsDialog->columnName(5), oneLineTitle(cat.name(3, 5, 1)));

    fx.ui.onDialog("baseParametersDialog", [](QDialog* d) {
        static_cast<BaseParametersDialog*>(d)->comboBox(5)->setCurrentIndex(1);
        click(d, "okButton");
        return d->result();
    });
    fx.form->editBaseParameters();
    fx.ui.onDialog("viewColumnsDialog", [](QDialog* d) {
        screenshot(d, "view-parameters-diodes");
        return int(QDialog::Rejected);
    });
    fx.form->editViewColumns();
    QCOMPARE(columnsDialog->columnName(5), oneLineTitle(cat.name(3, 5, 2)));
    // A column whose map entry names nothing is still listed visibly.
    fx.form->document().base().columnMap[5] = 0;
    QCOMPARE(columnsDialog->columnName(6), QStringLiteral("Столбец 6"));

    // Items are painted with the name, far wider than the column number they hold.
    QListWidget* list = columnsDialog->hiddenList();
    columnsDialog->show();
    const QRect rect = list->visualItemRect(list->item(1));  // not selected: dark text on light
    const QImage img = list->viewport()->grab().toImage();
    int rightmostInk = -1;
    for (int y = rect.top(); y <= rect.bottom(); ++y)
        for (int x = rect.left(); x <= rect.right(); ++x)
            if (qGray(img.pixel(x, y)) < 110)
                rightmostInk = std::max(rightmostInk, x - rect.left());
    columnsDialog->hide();
    QCOMPARE(list->item(1)->text(), QStringLiteral("2"));
    QVERIFY2(rightmostInk > 40, qPrintable(QString::number(rightmostInk)));
}

void TstViewColumns::help()
{
    DocFixture fx;
    fx.ui.onDialog("viewColumnsDialog", [](QDialog* d) {
        QTest::keyClick(asProsm(d)->shownList(), Qt::Key_F1);
        QTest::keyClick(dialogButton(d, "showAllButton"), Qt::Key_F1);
        return int(QDialog::Rejected);
    });
    fx.form->editViewColumns();
    QCOMPARE(fx.ui.helpTopics, QList<int>({27, 27}));
}

// A desktop theme may give lists a font of their own (Qt's per-class application fonts); the
// dialog's lists keep the dialog's face and size, and so do the names painted in them.
void TstViewColumns::listsUseTheDialogsFont()
{
    const QFont themed(QStringLiteral("DejaVu Sans Mono"), 15);
    QApplication::setFont(themed, "QAbstractItemView");
    DocFixture fx;
    QApplication::setFont(QApplication::font(), "QAbstractItemView");
    ViewColumnsDialog* dialog = fx.form->viewColumnsDialog();
    for (QListWidget* list : {dialog->hiddenList(), dialog->shownList()}) {
        QCOMPARE(list->font().family(), dialog->font().family());
        QCOMPARE(list->font().pixelSize(), dialog->font().pixelSize());
    }
}

QTEST_MAIN(TstViewColumns)
#include "tst_viewcolumns.moc"
