// Adding, editing and deleting records: the dialog "Добавить элемент" and "Удалить".
#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QTest>
#include <array>

#include "app/desktopsetup.h"
#include "app/mainwindow.h"
#include "appfolder.h"
#include "base/basefile.h"
#include "base/cp1251.h"
#include "edit/labeledit.h"
#include "edit/recorddialog.h"
#include "layoutcheck.h"
#include "scriptedui.h"
#include "testwindow.h"
#include "widgets/appresources.h"
#include "widgets/componentgrid.h"
#include "widgets/drawingview.h"

namespace {

// Types any text, Cyrillic included (QTest::keyClicks takes Latin-1 only).
void typeText(QWidget* w, const QString& text)
{
    for (const QChar c : text) {
        QTest::sendKeyEvent(QTest::Press, w, Qt::Key_unknown, QString(c), Qt::NoModifier);
        QTest::sendKeyEvent(QTest::Release, w, Qt::Key_unknown, QString(c), Qt::NoModifier);
    }
}

// The main window over a temporary program folder, with shortcuts to the dialog's controls.
struct Fixture {
    AppFolder folder;
    ScriptedUi ui;
    std::unique_ptr<MainWindow> owned;
    MainWindow& form;

    // `settings`: the program settings file's text, if any.
    explicit Fixture(const QString& settings = {}) : owned(create(settings)), form(*owned) {}
    std::unique_ptr<MainWindow> create(const QString& settings)
    {
        if (!settings.isEmpty())
            folder.writeSettings(settings);
        return std::make_unique<TestWindow>(folder.paths(), ui, QStringList());
    }

    RecordDialog* dlg() { return form.recordDialog(); }
    QLineEdit* name() { return dlg()->findChild<QLineEdit*>(QStringLiteral("nameEdit")); }
    LabeledEdit* field(int k) { return dlg()->findChild<LabeledEdit*>(QStringLiteral("field%1").arg(k)); }
    // 1 «Ввести», 2 «Закрыть», 3 «Помощь», 4 «Сохранить», 5 ">", 6 "<".
    QPushButton* button(int n)
    {
        static const char* const names[] = {"enterButton", "closeButton", "helpButton",
                                            "saveButton",  "nextButton",  "previousButton"};
        return dlg()->findChild<QPushButton*>(QLatin1String(names[n - 1]));
    }
    veltris::Table& table() { return form.document().base().table; }
    QString cell(int row, int col) { return QString::fromLatin1(table().cell(row, col)); }

    // Replaces the records of the (bipolar) main table; each record is "NAME;v1;v2;...".
    void setRecords(const QStringList& records)
    {
        veltris::Table& t = table();
        t.setRowCount(1 + int(records.size()));
        for (int r = 1; r < t.rowCount(); ++r) {
            for (int c = 0; c < t.columnCount(); ++c)
                t.cell(r, c).clear();
            const QStringList parts = records[r - 1].split(QLatin1Char(';'));
            for (int c = 0; c < parts.size() && c < t.columnCount(); ++c)
                t.setCell(r, c, parts[c].toStdString());
        }
        form.document().reportMainTableChange();
    }
    QString record(int row)
    {
        QStringList parts;
        for (int c = 0; c < 4; ++c)
            parts << cell(row, c);
        return parts.join(QLatin1Char(';'));
    }
    void typeInto(QLineEdit* edit, const QString& text)
    {
        edit->clear();
        typeText(edit, text);
    }
    // Runs `body` inside the dialog opened by `open` (addRecord / editRecord), then closes it.
    template <class Open, class Body>
    void inDialog(Open open, Body body)
    {
        ui.onDialog(QStringLiteral("recordDialog"), [&](QDialog* d) {
            body();
            return d->isVisible() ? int(QDialog::Rejected) : d->result();
        });
        (form.*open)();
        QVERIFY(ui.allAnswersUsed());
    }
};

}  // namespace

class TstRecordDialog : public QObject {
    Q_OBJECT
private slots:
    void layout();
    void addToNewBase();
    void addOpenedAndClosedAtOnce();
    void addKeepsANamelessRecord();
    void addToASavedEmptyBase();
    void labelsAndFieldsOfADiodeBase();
    void labelsNeverRunIntoEachOther();
    void enterMovesFocus();
    void recordTypedWithKeysOnly();
    void editSteps();
    void editWithEmptyFirstNameKeepsBothRecords();
    void drawingFollowsTheRow();
    void closeKeepsWrittenTexts();
    void textOutsideWindows1251();
    void typedValuesAreStoredAsMeant();
    void helpAndSave();
    void baseWithoutRecords();
    void deleteRecord();
    void deleteRowHelper_data();
    void deleteRowHelper();
};

void TstRecordDialog::layout()
{
    Fixture f;
    QCOMPARE(f.dlg()->windowTitle(), QStringLiteral("Добавить элемент"));
    QCOMPARE(f.dlg()->minimumSize(), f.dlg()->maximumSize());  // not resizable
    QVERIFY2(layoutProblems(f.dlg()).isEmpty(), qPrintable(layoutProblems(f.dlg()).join(QLatin1Char('\n'))));
    const QStringList captions = {QStringLiteral("Ввести"), QStringLiteral("Закрыть"),
                                  QStringLiteral("Помощь"), QStringLiteral("Сохранить"),
                                  QStringLiteral(">"),      QStringLiteral("<")};
    for (int n = 1; n <= 6; ++n) {
        QCOMPARE(f.button(n)->text(), captions[n - 1]);
        // One column of buttons right of the fields, in their order from the top.
        QVERIFY(f.button(n)->x() > f.field(30)->mapTo(f.dlg(), QPoint(f.field(30)->width(), 0)).x());
        if (n > 1) {
            QCOMPARE(f.button(n)->x(), f.button(1)->x());
            QVERIFY(f.button(n)->y() > f.button(n - 1)->geometry().bottom());
        }
    }
    QVERIFY(!f.button(5)->isEnabled());
    QVERIFY(!f.button(6)->isEnabled());
    // Three columns of ten fields, read down each column.
    for (int k = 1; k <= RecordDialog::kFieldCount; ++k) {
        LabeledEdit* le = f.field(k);
        QVERIFY(le);
        QCOMPARE(le->parentWidget()->objectName(), QStringLiteral("fieldPanel"));
        QVERIFY(!le->isEnabled());
        if (k % 10 != 1) {
            QCOMPARE(le->x(), f.field(k - 1)->x());
            QVERIFY(le->y() > f.field(k - 1)->y());
        } else if (k > 1) {
            QVERIFY(le->x() > f.field(k - 10)->geometry().right());
        }
    }
    // The labelled edit: properties reach its two children.
    LabeledEdit* le = f.field(1);
    le->setProperty("LabelCaption", QStringLiteral("Uкэ max,|В"));
    le->setProperty("EditText", QStringLiteral("25"));
    QCOMPARE(le->labelCaption(), QStringLiteral("Uкэ max,|В"));
    QCOMPARE(le->label()->text(), QStringLiteral("Uкэ max, В"));
    QCOMPARE(le->edit()->text(), QStringLiteral("25"));
}

// The first record goes into the blank row 1; the next "Ввести" appends a copy; names are
// stored in upper case (Latin and Cyrillic).
void TstRecordDialog::addToNewBase()
{
    Fixture f;
    QCOMPARE(f.table().rowCount(), 2);
    f.inDialog(&MainWindow::addRecord, [&] {
        QCOMPARE(f.dlg()->mode(), RecordDialog::Mode::Add);
        QCOMPARE(f.field(1)->labelCaption(),
                 QString::fromStdString(veltris::cp1251ToUtf8(f.form.document().catalogue().name(1, 1, 1))));
        QVERIFY(f.field(30)->isEnabled());
        typeText(f.name(), QStringLiteral("kt315а"));
        QCOMPARE(f.name()->text(), QStringLiteral("KT315А"));
        f.typeInto(f.field(1)->edit(), QStringLiteral("1"));
        f.typeInto(f.field(30)->edit(), QStringLiteral("7"));
        QTest::mouseClick(f.button(1), Qt::LeftButton);
        QVERIFY(f.dlg()->isVisible());  // adding goes on
        QCOMPARE(f.table().rowCount(), 2);
        QCOMPARE(f.form.currentRow(), 1);
        QVERIFY(f.name()->hasFocus() || f.dlg()->focusWidget() == f.name());
        QTest::mouseClick(f.button(1), Qt::LeftButton);
        QCOMPARE(f.table().rowCount(), 3);
        QCOMPARE(f.form.currentRow(), 2);
    });
    const std::string kt = veltris::utf8ToCp1251("KT315А");
    for (int row : {1, 2}) {
        QCOMPARE(f.table().cell(row, 0), kt);
        QCOMPARE(f.table().cell(row, 1), std::string("1"));
        QCOMPARE(f.table().cell(row, 30), std::string("7"));
    }
    QVERIFY(f.form.document().isModified());
    QCOMPARE(f.form.mainModel()->rowCount(), 2);  // the view follows the table
}

void TstRecordDialog::addOpenedAndClosedAtOnce()
{
    Fixture f;
    f.setRecords({QStringLiteral("A;1"), QStringLiteral("B;2"), QStringLiteral("C;3")});
    f.form.setCurrentCell(1, 2);
    f.inDialog(&MainWindow::addRecord, [&] { QTest::keyClick(f.dlg(), Qt::Key_Escape); });
    QCOMPARE(f.table().rowCount(), 4);
    QCOMPARE(f.form.currentRow(), 3);
    QCOMPARE(f.form.currentColumn(), 2);
    QVERIFY(!f.form.document().isModified());
}

// A first record without a name is a record: the next one is appended, not put over it.
void TstRecordDialog::addKeepsANamelessRecord()
{
    Fixture f;
    f.inDialog(&MainWindow::addRecord, [&] {
        f.typeInto(f.field(2)->edit(), QStringLiteral("40"));
        QTest::mouseClick(f.button(1), Qt::LeftButton);
        f.typeInto(f.name(), QStringLiteral("KT3102"));
        QTest::mouseClick(f.button(1), Qt::LeftButton);
    });
    QCOMPARE(f.table().rowCount(), 3);
    QCOMPARE(f.record(1), QStringLiteral(";;40;"));
    QCOMPARE(f.record(2), QStringLiteral("KT3102;;40;"));
}

// The blank row of a new base, saved and read back ("0" values, a blank LED colour code), is
// still taken over by the first record.
void TstRecordDialog::addToASavedEmptyBase()
{
    Fixture f;
    for (const int type : {1, 7}) {  // the range column of bipolars, the colour code of LEDs
        f.form.document().base().deviceType = static_cast<std::uint16_t>(type);
        f.table().setColumnCount(veltris::tableColumnCount(type));
        f.setRecords({QString()});
        const QString file = f.folder.file(QStringLiteral("empty%1.QDB").arg(type));
        QVERIFY(veltris::writeBase(f.form.document().base(), file.toStdString()).ok());
        QVERIFY(f.form.document().load(file));
        QCOMPARE(f.table().rowCount(), 2);
        f.inDialog(&MainWindow::addRecord, [&] {
            f.typeInto(f.name(), QStringLiteral("A"));
            QTest::mouseClick(f.button(1), Qt::LeftButton);
        });
        QCOMPARE(f.table().rowCount(), 2);
        QCOMPARE(f.cell(1, 0), QStringLiteral("A"));
    }
}

void TstRecordDialog::labelsAndFieldsOfADiodeBase()
{
    Fixture f;
    QVERIFY(f.form.document().load(f.folder.copySample(QStringLiteral("diodes.QDB"))));
    const veltris::ComponentBase& base = f.form.document().base();
    QCOMPARE(int(base.deviceType), 3);
    f.field(20)->setEditText(QStringLiteral("left over"));
    f.inDialog(&MainWindow::addRecord, [&] {
        for (int k = 1; k <= 30; ++k) {
            const QString expected =
                k <= 12 ? QString::fromStdString(veltris::cp1251ToUtf8(
                              f.form.document().catalogue().name(3, k, base.columnMap[k - 1])))
                        : QString();
            QCOMPARE(f.field(k)->labelCaption(), expected);
            QCOMPARE(f.field(k)->isEnabled(), k <= 12);
            QVERIFY(f.field(k)->editText().isEmpty());
        }
    });
    QVERIFY(!f.field(1)->labelCaption().isEmpty());
}

void TstRecordDialog::labelsNeverRunIntoEachOther()
{
    QVERIFY(ensureTahoma());  // the face the program shows its dialogs in
    Fixture f;
    std::array<std::uint8_t, veltris::kMaxParamColumns> firstTitles{};
    firstTitles.fill(1);  // each column with its first title, as a new base of the type has
    for (const int code : {1, 3, 4, 5, 6, 7}) {
        f.form.document().applyBaseParameters(code, firstTitles, QString());
        f.form.document().setModified(false);
        f.inDialog(&MainWindow::addRecord, [&] {
            QVERIFY2(layoutProblems(f.dlg()).isEmpty(), qPrintable(layoutProblems(f.dlg()).join(u'\n')));
            for (int k = 1; k <= 30; ++k) {
                QLabel* label = f.field(k)->label();
                // One line, the title's breaks as blanks ("°С/Вт" whole), all of it shown.
                QVERIFY(!label->wordWrap());
                QVERIFY(!label->text().contains(u'|') && !label->text().contains(u'\n'));
                const int textWidth = label->fontMetrics().horizontalAdvance(label->text());
                QVERIFY2(textWidth <= f.field(k)->width(), qPrintable(label->text()));
                // The text ends before the field to its right begins, with room between.
                if (k <= 20) {
                    const int end = f.field(k)->x() + label->x() + textWidth;
                    QVERIFY2(end + 5 < f.field(k + 10)->x(), qPrintable(label->text()));
                }
            }
        });
        if (code == 1) {
            QVERIFY(f.field(21)->label()->text().endsWith(QStringLiteral("°С/Вт")));
            QVERIFY(f.dlg()->width() > 504);  // «Pк max с теплоотв., Вт» widens its column
        }
    }
}

void TstRecordDialog::enterMovesFocus()
{
    Fixture f;
    QVERIFY(f.form.document().load(f.folder.copySample(QStringLiteral("diodes.QDB"))));
    const int rows = f.table().rowCount();
    f.inDialog(&MainWindow::addRecord, [&] {
        const auto enterOn = [&](QWidget* w) {
            w->setFocus();
            QTest::keyClick(w, Qt::Key_Return);
            return f.dlg()->focusWidget();
        };
        QCOMPARE(enterOn(f.name()), f.field(1)->edit());
        QCOMPARE(enterOn(f.field(5)->edit()), f.field(6)->edit());
        // Field 12 is the last of a diode base: 13..30 are disabled and skipped.
        QCOMPARE(enterOn(f.field(12)->edit()), static_cast<QWidget*>(f.button(1)));
        // ">" and "<" are disabled while adding: after "Сохранить" comes the name again.
        QCOMPARE(enterOn(f.button(4)), static_cast<QWidget*>(f.name()));
        QCOMPARE(enterOn(f.button(2)), static_cast<QWidget*>(f.button(3)));
        f.name()->setFocus();
        QTest::keyClick(f.name(), Qt::Key_Enter);  // the keypad's Enter too
        QCOMPARE(f.dlg()->focusWidget(), f.field(1)->edit());
    });
    QVERIFY(!f.form.document().isModified());
    QCOMPARE(f.table().rowCount(), rows);
}

// A record typed as a keyboard user would, from the key that opens the dialog to the record in
// the table: Enter steps from field to field and then to «Ввести», which shows it has the focus;
// letters typed there go nowhere, and Enter (or Space) enters the record instead of moving on
// to «Закрыть», where the next Space would close the dialog with the record lost.
void TstRecordDialog::recordTypedWithKeysOnly()
{
    Fixture f(QStringLiteral("[Settings]\nShowNav=0\n"));
    f.form.show();
    f.form.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&f.form));
    const auto focused = [] { return QApplication::focusWidget(); };
    f.ui.onDialog(QStringLiteral("recordDialog"), [&](QDialog* d) {
        QApplication::setActiveWindow(d);  // as exec() would
        [&] {
            QCOMPARE(focused(), static_cast<QWidget*>(f.name()));
            QTest::keyClicks(focused(), QStringLiteral("kt315b"));
            for (int k = 1; k <= 30; ++k) {
                QTest::keyClick(focused(), Qt::Key_Return);
                QCOMPARE(focused(), static_cast<QWidget*>(f.field(k)->edit()));
                QTest::keyClicks(focused(), QString::number(k));
            }
            QTest::keyClick(focused(), Qt::Key_Return);
            QCOMPARE(focused(), static_cast<QWidget*>(f.button(1)));
            QVERIFY(d->testAttribute(Qt::WA_KeyboardFocusChange));  // the focus is drawn
            QTest::keyClicks(focused(), QStringLiteral("x"));
            QCOMPARE(focused(), static_cast<QWidget*>(f.button(1)));
            QTest::keyClick(focused(), Qt::Key_Return);
            QCOMPARE(f.table().rowCount(), 2);
            QCOMPARE(f.cell(1, 0), QStringLiteral("KT315B"));
            QCOMPARE(focused(), static_cast<QWidget*>(f.name()));

            // The next record: a new name, Enter through the fields, Space on «Ввести».
            QTest::keyClick(focused(), Qt::Key_A, Qt::ControlModifier);
            QTest::keyClicks(focused(), QStringLiteral("kt315v"));
            for (int k = 0; k <= 30; ++k)
                QTest::keyClick(focused(), Qt::Key_Return);
            QCOMPARE(focused(), static_cast<QWidget*>(f.button(1)));
            QTest::keyClick(focused(), Qt::Key_Space);
            QCOMPARE(f.table().rowCount(), 3);
            QTest::keyClick(focused(), Qt::Key_Escape);
        }();
        return d->isVisible() ? int(QDialog::Rejected) : d->result();
    });
    QTest::keyClick(&f.form, Qt::Key_Insert);
    QVERIFY(f.ui.allAnswersUsed());
    QVERIFY(f.dlg()->isHidden());
    QCOMPARE(f.cell(2, 0), QStringLiteral("KT315V"));
    for (int k = 1; k <= 30; ++k) {
        QCOMPARE(f.cell(1, k), QString::number(k));
        QCOMPARE(f.cell(2, k), QString::number(k));
    }
    QVERIFY(f.form.document().isModified());
    QCOMPARE(f.form.undoAction()->text(), QStringLiteral("Отменить добавление KT315V"));
}

// ">" and "<" write the texts back and step; at the ends they write and stay.
void TstRecordDialog::editSteps()
{
    Fixture f;
    f.setRecords({QStringLiteral("A;1"), QStringLiteral("b;2"), QStringLiteral("C;3")});
    f.form.setCurrentCell(1, 1);
    f.inDialog(&MainWindow::editRecord, [&] {
        QCOMPARE(f.dlg()->mode(), RecordDialog::Mode::Edit);
        QVERIFY(f.button(5)->isEnabled() && f.button(6)->isEnabled());
        QCOMPARE(f.name()->text(), QStringLiteral("A"));
        QCOMPARE(f.field(1)->editText(), QStringLiteral("1"));
        QVERIFY(f.field(30)->isEnabled());

        QTest::mouseClick(f.button(6), Qt::LeftButton);  // "<" on row 1: stays
        QCOMPARE(f.form.currentRow(), 1);
        QVERIFY(!f.form.document().isModified());  // nothing changed

        QTest::mouseClick(f.button(5), Qt::LeftButton);
        QCOMPARE(f.form.currentRow(), 2);
        QCOMPARE(f.name()->text(), QStringLiteral("B"));  // a lower-case name is shown in upper case
        QCOMPARE(f.field(1)->editText(), QStringLiteral("2"));

        QTest::mouseClick(f.button(5), Qt::LeftButton);
        QCOMPARE(f.form.currentRow(), 3);
        QVERIFY(f.form.document().isModified());  // "b" went back as "B"
        f.typeInto(f.field(1)->edit(), QStringLiteral("33"));
        QTest::mouseClick(f.button(5), Qt::LeftButton);  // ">" on the last row: stores, stays
        QCOMPARE(f.form.currentRow(), 3);
        QCOMPARE(f.table().rowCount(), 4);
        QCOMPARE(f.field(1)->editText(), QStringLiteral("33"));

        f.typeInto(f.field(2)->edit(), QStringLiteral("5"));
        QTest::mouseClick(f.button(1), Qt::LeftButton);  // "Ввести" in edit mode closes
        QVERIFY(f.dlg()->isHidden());
    });
    QCOMPARE(f.record(1), QStringLiteral("A;1;;"));
    QCOMPARE(f.record(2), QStringLiteral("B;2;;"));
    QCOMPARE(f.record(3), QStringLiteral("C;33;5;"));
    QCOMPARE(f.table().rowCount(), 4);
}

// Editing the second of two records while the first has no name keeps both.
void TstRecordDialog::editWithEmptyFirstNameKeepsBothRecords()
{
    Fixture f;
    f.setRecords({QStringLiteral(";5"), QStringLiteral("KT361;6")});
    f.form.setCurrentCell(2, 1);
    f.inDialog(&MainWindow::editRecord, [&] {
        f.typeInto(f.field(1)->edit(), QStringLiteral("7"));
        QTest::mouseClick(f.button(1), Qt::LeftButton);
    });
    QCOMPARE(f.table().rowCount(), 3);
    QCOMPARE(f.record(1), QStringLiteral(";5;;"));
    QCOMPARE(f.record(2), QStringLiteral("KT361;7;;"));
    QVERIFY(f.form.document().isModified());
}

// Every row change of the dialog goes through the table's selection: the drawing follows.
void TstRecordDialog::drawingFollowsTheRow()
{
    const QString trans = QStringLiteral(VELTRIS_BIN_DIR "/TRANS");
    Fixture f(QStringLiteral("[Settings]\nShowNav=0\nTRANS=") + trans + QStringLiteral("\n"));
    f.setRecords({QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("C")});
    f.table().setCell(1, 30, "1");
    f.table().setCell(2, 30, "2");
    f.table().setCell(3, 30, "3");
    f.form.document().reportMainTableChange();
    const QImage first(trans + QStringLiteral("/1.BMP"));
    const QImage second(trans + QStringLiteral("/2.BMP"));
    const QImage third(trans + QStringLiteral("/3.BMP"));
    QVERIFY(!first.isNull() && first != second && second != third);
    f.form.setCurrentCell(1, 1);
    f.form.refreshDrawing();
    QCOMPARE(f.form.drawingView()->image(), first);

    f.inDialog(&MainWindow::editRecord, [&] {
        QTest::mouseClick(f.button(5), Qt::LeftButton);
        QCOMPARE(f.form.drawingView()->image(), second);
    });
    f.inDialog(&MainWindow::addRecord, [&] {
        QCOMPARE(f.form.drawingView()->image(), third);  // the last row became current
        f.typeInto(f.field(30)->edit(), QStringLiteral("1"));
        QTest::mouseClick(f.button(1), Qt::LeftButton);
        // Shown at the row change, before the texts reached the new row.
        QCOMPARE(f.form.drawingView()->image(), placeholderDrawing());
    });
    QCOMPARE(f.table().cell(4, 30), std::string("1"));
}

void TstRecordDialog::closeKeepsWrittenTexts()
{
    Fixture f;
    f.setRecords({QStringLiteral("A;1"), QStringLiteral("B;2")});
    f.form.setCurrentCell(1, 1);
    f.inDialog(&MainWindow::editRecord, [&] {
        f.typeInto(f.field(1)->edit(), QStringLiteral("10"));
        QTest::mouseClick(f.button(5), Qt::LeftButton);
        f.typeInto(f.field(1)->edit(), QStringLiteral("20"));  // not written: closed below
        QTest::keyClick(f.field(1)->edit(), Qt::Key_Escape);
        QVERIFY(f.dlg()->isHidden());
    });
    QCOMPARE(f.record(1), QStringLiteral("A;10;;"));
    QCOMPARE(f.record(2), QStringLiteral("B;2;;"));
    QVERIFY(f.form.document().isModified());

    f.inDialog(&MainWindow::editRecord, [&] { QTest::mouseClick(f.button(2), Qt::LeftButton); });
    QCOMPARE(f.record(2), QStringLiteral("B;2;;"));
}

void TstRecordDialog::textOutsideWindows1251()
{
    Fixture f;
    f.inDialog(&MainWindow::addRecord, [&] {
        // A name character the base cannot keep is refused as it is typed, and the dialog says why.
        typeText(f.name(), QStringLiteral("Д1Ω"));
        QCOMPARE(f.name()->text(), QStringLiteral("Д1"));
        QVERIFY(f.dlg()->noteLabel()->text().contains(QStringLiteral("Windows-1251")));
        // So is a name longer than a record keeps, typed or pasted.
        f.typeInto(f.name(), QStringLiteral("ABCDEFGHIJKLMNOPQ"));
        QCOMPARE(f.name()->text(), QStringLiteral("ABCDEFGHIJKLMNO"));
        QVERIFY(f.dlg()->noteLabel()->text().contains(QStringLiteral("не длиннее 15 знаков")));
        f.name()->selectAll();
        f.name()->insert(QStringLiteral("ДЛИННОЕНАЗВАНИЕ16"));
        QCOMPARE(f.name()->text(), QStringLiteral("ABCDEFGHIJKLMNO"));
        f.typeInto(f.name(), QStringLiteral("Д1"));
        QTest::mouseClick(f.button(1), Qt::LeftButton);
        QVERIFY(f.form.statusBar()->currentMessage().isEmpty());
    });
    QCOMPARE(f.table().cell(1, 0), veltris::utf8ToCp1251("Д1"));
}

// What is typed is read at once: stored as meant (in the column's unit), or marked and refused.
void TstRecordDialog::typedValuesAreStoredAsMeant()
{
    Fixture f;
    const QString file = f.folder.file(QStringLiteral("typed.QDB"));
    f.ui.saveAnswers.enqueue(file);
    f.inDialog(&MainWindow::addRecord, [&] {
        // Columns of the new bipolar base: 2 «Uкэ max, В», 3 «Uкб max, В», 4 «Uэб max, В»,
        // 5 «Iк max, мА».
        f.typeInto(f.name(), QStringLiteral("KT1"));
        f.typeInto(f.field(2)->edit(), QStringLiteral("1.5"));
        f.typeInto(f.field(3)->edit(), QStringLiteral("4к7"));
        f.field(5)->edit()->setFocus();
        f.typeInto(f.field(5)->edit(), QStringLiteral("1,5 А"));
        QCOMPARE(f.field(5)->noteLabel()->text(), QStringLiteral("= 1500 мА"));
        QVERIFY(!f.field(5)->noteLabel()->isHidden());
        QVERIFY(f.dlg()->noteLabel()->text().contains(QStringLiteral("будет записано 1500 мА")));
        QVERIFY(!f.dlg()->fieldRefused(5));
        f.typeInto(f.field(4)->edit(), QStringLiteral("1/2"));
        QVERIFY(f.dlg()->fieldRefused(4));
        QVERIFY(f.field(4)->refused());
        QVERIFY(
            f.field(4)->edit()->toolTip().startsWith(QStringLiteral("Столбец «Uэб max, В»: не понято «/2»")));
        QVERIFY(f.field(4)->edit()->toolTip().contains(QStringLiteral("Пример: 1,5 В")));

        // «Ввести» writes nothing while a field does not read; the focus goes there.
        QTest::mouseClick(f.button(1), Qt::LeftButton);
        QCOMPARE(f.table().rowCount(), 2);
        QVERIFY(f.table().cell(1, 0).empty());
        QCOMPARE(f.dlg()->focusWidget(), static_cast<QWidget*>(f.field(4)->edit()));
        QVERIFY(f.dlg()->noteLabel()->text().startsWith(QStringLiteral("Столбец «Uэб max, В»")));

        // A bare prefix where the column's unit has one of its own says which units to write.
        f.typeInto(f.field(4)->edit(), QStringLiteral("5"));
        f.typeInto(f.field(5)->edit(), QStringLiteral("1к"));
        QVERIFY(f.dlg()->fieldRefusal(5).contains(QStringLiteral("укажите единицу: 1 А или 1000 мА")));
        f.typeInto(f.field(5)->edit(), QStringLiteral("1,5 А"));
        QTest::mouseClick(f.button(1), Qt::LeftButton);
        QCOMPARE(f.table().cell(1, 0), std::string("KT1"));
        QTest::mouseClick(f.button(4), Qt::LeftButton);
    });
    // The table shows what the base keeps, before and after the file is read again.
    QCOMPARE(f.cell(1, 2), QStringLiteral("1,5"));
    QCOMPARE(f.cell(1, 3), QStringLiteral("4700"));
    QCOMPARE(f.cell(1, 4), QStringLiteral("5"));
    QCOMPARE(f.cell(1, 5), QStringLiteral("1500"));
    auto read = veltris::readBase(file.toStdString(), f.form.document().catalogue());
    QVERIFY(read.ok());
    QCOMPARE(read->table.cell(1, 2), std::string("1,5"));
    QCOMPARE(read->table.cell(1, 3), std::string("4700"));
    QCOMPARE(read->table.cell(1, 4), std::string("5"));
    QCOMPARE(read->table.cell(1, 5), std::string("1500"));
}

void TstRecordDialog::helpAndSave()
{
    Fixture f;
    const QString file = f.folder.file(QStringLiteral("new.QDB"));
    f.ui.saveAnswers.enqueue(file);
    f.inDialog(&MainWindow::addRecord, [&] {
        QTest::keyClick(f.field(3)->edit(), Qt::Key_F1);
        QTest::mouseClick(f.button(3), Qt::LeftButton);
        f.typeInto(f.name(), QStringLiteral("KT3107"));
        QTest::mouseClick(f.button(1), Qt::LeftButton);
        QTest::mouseClick(f.button(4), Qt::LeftButton);
        QVERIFY(f.dlg()->isVisible());  // saving does not close the dialog
        QVERIFY(!f.form.document().isModified());
    });
    QCOMPARE(f.ui.helpTopics, QList<int>({24, 24}));
    QCOMPARE(f.form.document().fileName(), file);
    auto read = veltris::readBase(file.toStdString(), f.form.document().catalogue());
    QVERIFY(read.ok());
    QCOMPARE(read->table.rowCount(), 2);
    QCOMPARE(read->table.cell(1, 0), std::string("KT3107"));
}

// A base file without records loads as the title row alone; nothing here may fail on it.
void TstRecordDialog::baseWithoutRecords()
{
    Fixture f;
    veltris::ComponentBase empty = f.form.document().base();
    empty.table.setRowCount(1);
    const QString file = f.folder.file(QStringLiteral("empty.QDB"));
    QVERIFY(veltris::writeBase(empty, file.toStdString()).ok());
    QVERIFY(f.form.document().load(file));
    QCOMPARE(f.table().rowCount(), 1);

    f.form.deleteRecord();
    QCOMPARE(f.table().rowCount(), 1);
    f.inDialog(&MainWindow::editRecord, [&] {
        QVERIFY(f.name()->text().isEmpty());
        QTest::mouseClick(f.button(5), Qt::LeftButton);  // nothing typed, but the row must exist
        QCOMPARE(f.table().rowCount(), 2);
        f.typeInto(f.name(), QStringLiteral("A"));
        QTest::mouseClick(f.button(1), Qt::LeftButton);
    });
    QCOMPARE(f.table().rowCount(), 2);
    QCOMPARE(f.record(1), QStringLiteral("A;;;"));
    QCOMPARE(f.table().cell(0, 1), f.form.document().catalogue().name(1, 1, 1));  // titles untouched

    QVERIFY(f.form.document().load(file));
    f.inDialog(&MainWindow::addRecord, [&] {
        f.typeInto(f.name(), QStringLiteral("B"));
        QTest::mouseClick(f.button(1), Qt::LeftButton);
    });
    QCOMPARE(f.table().rowCount(), 2);
    QCOMPARE(f.record(1), QStringLiteral("B;;;"));
}

void TstRecordDialog::deleteRecord()
{
    Fixture f;
    f.setRecords({QStringLiteral("A;1"), QStringLiteral("B;2"), QStringLiteral("C;3")});
    f.form.setCurrentCell(1, 2);
    f.form.deleteRecord();
    QCOMPARE(f.table().rowCount(), 3);
    QCOMPARE(f.record(1), QStringLiteral("B;2;;"));
    QCOMPARE(f.record(2), QStringLiteral("C;3;;"));
    QCOMPARE(f.form.currentRow(), 1);
    QCOMPARE(f.form.currentColumn(), 2);
    QVERIFY(f.form.document().isModified());

    f.form.document().setModified(false);
    f.form.setCurrentCell(2, 1);
    f.form.deleteRecord();  // the last row: the new last row becomes current
    QCOMPARE(f.table().rowCount(), 2);
    QCOMPARE(f.record(1), QStringLiteral("B;2;;"));
    QCOMPARE(f.form.currentRow(), 1);
    QCOMPARE(f.form.mainModel()->rowCount(), 1);
    QVERIFY(f.form.document().isModified());

    f.form.document().setModified(false);
    f.form.deleteRecord();  // one record left: nothing at all
    QCOMPARE(f.table().rowCount(), 2);
    QCOMPARE(f.record(1), QStringLiteral("B;2;;"));
    QVERIFY(!f.form.document().isModified());
    QCOMPARE(f.ui.beeps, 0);
    QVERIFY(f.ui.messages.isEmpty());
}

void TstRecordDialog::deleteRowHelper_data()
{
    QTest::addColumn<int>("row");
    QTest::addColumn<QString>("left");  // names of the records left, "" when unchanged + beep
    QTest::newRow("first") << 1 << QStringLiteral("B,C");
    QTest::newRow("middle") << 2 << QStringLiteral("A,C");
    QTest::newRow("last") << 3 << QStringLiteral("A,B");
    QTest::newRow("title row") << 0 << QString();
    QTest::newRow("negative") << -1 << QString();
    QTest::newRow("past the end") << 4 << QString();
}

void TstRecordDialog::deleteRowHelper()
{
    QFETCH(int, row);
    QFETCH(QString, left);
    Fixture f;
    f.setRecords({QStringLiteral("A;1"), QStringLiteral("B;2"), QStringLiteral("C;3")});
    f.form.document().setModified(false);
    const bool done = f.form.document().deleteRecord(row);
    QCOMPARE(done, !left.isEmpty());
    QCOMPARE(f.ui.beeps, left.isEmpty() ? 1 : 0);
    QCOMPARE(f.form.document().isModified(), done);
    QStringList names;
    for (int r = 1; r < f.table().rowCount(); ++r)
        names << f.cell(r, 0);
    QCOMPARE(names.join(QLatin1Char(',')), left.isEmpty() ? QStringLiteral("A,B,C") : left);
    QCOMPARE(f.form.mainModel()->rowCount(), int(names.size()));
}

QTEST_MAIN(TstRecordDialog)
#include "tst_recorddialog.moc"
