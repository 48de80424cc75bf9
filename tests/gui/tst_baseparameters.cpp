// The base parameters dialog: column titles, description, device type, help.
#undef QT_NO_CAST_FROM_ASCII
#include <QComboBox>
#include <QDir>
#include <QPlainTextEdit>
#include <QTest>

#include "base/catalogue.h"
#include "docfixture.h"
#include "edit/baseparametersdialog.h"
#include "widgets/apputil.h"

namespace {

BaseParametersDialog* asParamBase(QDialog* d)
{
    return static_cast<BaseParametersDialog*>(d);
}

// Pictures for a look by eye when VELTRIS_SCREENSHOTS_DIR is set.
void screenshot(QWidget* w, const QString& name)
{
    const QString dir = qEnvironmentVariable("VELTRIS_SCREENSHOTS_DIR");
    if (!dir.isEmpty() && QDir().mkpath(dir))
        w->grab().save(QDir(dir).filePath(name + ".png"));
}

}  // namespace

class TstBaseParameters : public QObject {
    Q_OBJECT
private slots:
    void openedFromMenuShowsTheBaseAndCancelKeepsIt();
    void okWithoutChangesResetsTheView();
    void chosenAndDefaultNames();
    void descriptionIsTheFirstLineCut();
    void nameBeyondTheCatalogue();
    void help();
};

void TstBaseParameters::openedFromMenuShowsTheBaseAndCancelKeepsIt()
{
    DocFixture fx;
    fx.openSample("diodes.QDB");
    fx.form->document().base().columnMap[4] = 2;
    fx.form->document().base().applyTitles(fx.form->document().catalogue());
    const veltris::ComponentBase before = fx.form->document().base();
    const veltris::Table secondBefore = fx.form->document().secondTable();
    const veltris::Catalogue& cat = fx.form->document().catalogue();

    for (const bool byEscape : {false, true}) {
        fx.ui.onDialog("baseParametersDialog", [&](QDialog* d) {
            BaseParametersDialog* p = asParamBase(d);
            screenshot(d, "base-parameters-diodes");
            for (const char* name : {"typeButton1", "typeButton2", "typeButton3", "typeButton4",
                                     "typeButton5", "typeButton6", "typeButton7"})
                if (dialogButton(d, name)->isEnabled())
                    QTest::qFail(name, __FILE__, __LINE__);
            click(d, "typeButton1");  // disabled: the type stays
            if (p->deviceType() != 3)
                QTest::qFail("device type changed", __FILE__, __LINE__);
            for (int k = 1; k <= 30; ++k) {
                QComboBox* c = p->comboBox(k);
                QStringList expected;
                for (int m = 1; k <= 12 && m <= cat.nameCount(3, k); ++m)
                    expected << oneLineTitle(cat.name(3, k, m));
                QStringList items;
                for (int i = 0; i < c->count(); ++i)
                    items << c->itemText(i);
                if (items != expected || c->isEnabled() != (k <= 12) ||
                    c->currentIndex() != (k <= 12 ? before.columnMap[k - 1] - 1 : -1))
                    QTest::qFail(qPrintable(QString("selector %1").arg(k)), __FILE__, __LINE__);
            }
            if (p->descriptionEdit()->toPlainText() != cpToQString(before.description()))
                QTest::qFail("description", __FILE__, __LINE__);
            p->comboBox(1)->setCurrentIndex(1);
            p->descriptionEdit()->setPlainText("другое описание");
            if (byEscape)
                QTest::keyClick(p->comboBox(3), Qt::Key_Escape);
            else
                click(d, "cancelButton");
            return d->result();
        });
        fx.form->editBaseParameters();
        QVERIFY(fx.ui.allAnswersUsed());
        QVERIFY(fx.ui.unexpected.isEmpty());
        QVERIFY(fx.form->document().base().columnMap == before.columnMap);
        QVERIFY(fx.form->document().base().viewMask == before.viewMask);
        QVERIFY(fx.form->document().base().header == before.header);
        QVERIFY(fx.form->document().base().table == before.table);
        QVERIFY(fx.form->document().secondTable() == secondBefore);
        QVERIFY(!fx.form->document().isModified());
    }
}

void TstBaseParameters::okWithoutChangesResetsTheView()
{
    DocFixture fx;
    fx.openSample("diodes.QDB");
    QVERIFY(fx.form->document().secondTable().columnCount() > 2);  // the sample shows some columns
    const veltris::ComponentBase before = fx.form->document().base();
    fx.ui.onDialog("baseParametersDialog", [](QDialog* d) {
        QTest::keyClick(asParamBase(d)->comboBox(2), Qt::Key_Return);  // Enter: the OK button
        return d->result();
    });
    fx.form->editBaseParameters();

    const veltris::ComponentBase& b = fx.form->document().base();
    QVERIFY(b.table == before.table);
    QVERIFY(b.columnMap == before.columnMap);
    QCOMPARE(int(b.deviceType), 3);
    for (int i = 0; i < 30; ++i)
        QCOMPARE(int(b.viewMask[i]), 0);
    QCOMPARE(b.secondColumnCount, 2);
    const veltris::Table& second = fx.form->document().secondTable();
    QCOMPARE(second.columnCount(), 2);
    QCOMPARE(second.rowCount(), b.table.rowCount());
    for (int r = 0; r < second.rowCount(); ++r)
        QVERIFY(second.cell(r, 1).empty());
    QCOMPARE(second.cell(2, 0), b.table.cell(2, 0));
    QVERIFY(fx.form->document().isModified());
}

void TstBaseParameters::chosenAndDefaultNames()
{
    DocFixture fx;
    fx.openSample("diodes.QDB");
    const veltris::Catalogue& cat = fx.form->document().catalogue();
    QVERIFY(cat.nameCount(3, 5) >= 2);
    fx.ui.onDialog("baseParametersDialog", [](QDialog* d) {
        asParamBase(d)->comboBox(5)->setCurrentIndex(1);
        click(d, "okButton");
        return d->result();
    });
    fx.form->editBaseParameters();
    QCOMPARE(int(fx.form->document().base().columnMap[4]), 2);
    QCOMPARE(fx.form->document().base().table.cell(0, 5), cat.name(3, 5, 2));
    QCOMPARE(fx.form->document().base().table.cell(0, 4), cat.name(3, 4, 1));

    // "По умолчанию": the first name everywhere.
    fx.ui.onDialog("baseParametersDialog", [](QDialog* d) {
        click(d, "defaultButton");
        click(d, "okButton");
        return d->result();
    });
    fx.form->editBaseParameters();
    for (int c = 1; c <= 12; ++c) {
        QCOMPARE(int(fx.form->document().base().columnMap[c - 1]), 1);
        QCOMPARE(fx.form->document().base().table.cell(0, c), cat.name(3, c, 1));
    }
    QCOMPARE(int(fx.form->document().base().columnMap[12]), 0);
}

void TstBaseParameters::descriptionIsTheFirstLineCut()
{
    DocFixture fx;
    const QString longLine = QString("Описание ").repeated(15);  // 135 characters
    fx.ui.onDialog("baseParametersDialog", [&](QDialog* d) {
        asParamBase(d)->descriptionEdit()->setPlainText(longLine + "\nвторая строка\nтретья");
        click(d, "okButton");
        return d->result();
    });
    fx.form->editBaseParameters();
    QCOMPARE(cpToQString(fx.form->document().base().description()), longLine.left(104));

    // Reopened: the description replaces the first line only.
    fx.form->document().base().setDescription(qStringToCp(QStringLiteral("Новое")));
    QString shown;
    fx.ui.onDialog("baseParametersDialog", [&](QDialog* d) {
        shown = asParamBase(d)->descriptionEdit()->toPlainText();
        return int(QDialog::Rejected);
    });
    fx.form->editBaseParameters();
    QCOMPARE(shown, QStringLiteral("Новое\nвторая строка\nтретья"));

    // The cut counts stored bytes: a sign outside the BMP is two UTF-16 units but one "?".
    const QString wide = QString::fromUtf8("\xF0\x9F\x98\x80").repeated(60) + QString("я").repeated(60);
    fx.ui.onDialog("baseParametersDialog", [&](QDialog* d) {
        asParamBase(d)->descriptionEdit()->setPlainText(wide);
        click(d, "okButton");
        return d->result();
    });
    fx.form->editBaseParameters();
    QCOMPARE(fx.form->document().base().description(),
             std::string(60, '?') + qStringToCp(QString("я").repeated(44)));
}

// A column map entry above the column's name count: no selection, and OK stores 0.
void TstBaseParameters::nameBeyondTheCatalogue()
{
    DocFixture fx;
    fx.form->document().base().columnMap[0] = 15;
    int shownIndex = 0;
    fx.ui.onDialog("baseParametersDialog", [&](QDialog* d) {
        shownIndex = asParamBase(d)->comboBox(1)->currentIndex();
        click(d, "okButton");
        return d->result();
    });
    fx.form->editBaseParameters();
    QCOMPARE(shownIndex, -1);
    QCOMPARE(int(fx.form->document().base().columnMap[0]), 0);
    QVERIFY(fx.form->document().base().table.cell(0, 1).empty());
    QCOMPARE(fx.form->document().base().table.columnCount(), 31);
}

void TstBaseParameters::help()
{
    DocFixture fx;
    fx.ui.onDialog("baseParametersDialog", [](QDialog* d) {
        QTest::keyClick(asParamBase(d)->comboBox(7), Qt::Key_F1);
        QTest::keyClick(asParamBase(d)->descriptionEdit(), Qt::Key_F1);
        click(d, "helpButton");
        return int(QDialog::Rejected);
    });
    fx.form->editBaseParameters();
    QCOMPARE(fx.ui.helpTopics, QList<int>({26, 26, 26}));
}

QTEST_MAIN(TstBaseParameters)
#include "tst_baseparameters.moc"
