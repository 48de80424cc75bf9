// «Импорт из CSV...»: the dialog as a user drives it — what it finds out, the preview with a bad
// cell marked, the choices, and the records going into the open base (one step of the history,
// taken back and done again) or a new one.
#undef QT_NO_CAST_FROM_ASCII
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableView>
#include <QTest>
#include <QUndoStack>

#include "base/basefile.h"
#include "base/catalogue.h"
#include "base/cp1251.h"
#include "base/csvexport.h"
#include "docfixture.h"
#include "document/importcommand.h"
#include "edit/csvimportdialog.h"
#include "edit/recorddialog.h"
#include "layoutcheck.h"
#include "widgets/apputil.h"
#include "widgets/componentgrid.h"

namespace {

void screenshot(QWidget* w, const QString& name)
{
    const QString dir = qEnvironmentVariable("VELTRIS_SCREENSHOTS_DIR");
    if (!dir.isEmpty() && QDir().mkpath(dir))
        w->grab().save(QDir(dir).filePath(name + ".png"));
}

QString writeFile(const DocFixture& fx, const QString& name, const QByteArray& bytes)
{
    QString path = fx.folder.file(name);
    // For the pictures the file lies in a folder of a fixed name: the dialog shows its path.
    if (qEnvironmentVariableIsSet("VELTRIS_SCREENSHOTS_DIR")) {
        const QString fixed = QDir::temp().filePath("veltris-csv-import");
        if (QDir().mkpath(fixed))
            path = QDir(fixed).filePath(name);
    }
    QFile f(path);
    f.open(QIODevice::WriteOnly);
    f.write(bytes);
    return path;
}

// A diode file as a spreadsheet saves it: UTF-8 with a byte-order mark, commas, quotes, LF.
QByteArray spreadsheetDiodes()
{
    return QByteArray("\xEF\xBB\xBF") + QString(
                                            "Прибор,\"Uобр max, В\",\"Iпр ср max, мА\",Цена\n"
                                            "КД105Б,400,300,12\n"
                                            "КД105В,600,2 В,14\n"
                                            "\"КД105Г\",800,\"<300\",15\n")
                                            .toUtf8();
}

CsvImportDialog* asImport(QDialog* d)
{
    return static_cast<CsvImportDialog*>(d);
}

QAction* importAction(DocFixture& fx)
{
    return fx.form->findChild<QAction*>("importCsvAction");
}

// «Импорт из CSV...» of `csv`, the dialog answered with `button` as it opens.
void importBy(DocFixture& fx, const QString& csv, const char* button)
{
    fx.ui.openAnswers << csv;
    fx.ui.onDialog("csvImportDialog", [button](QDialog* d) {
        click(d, button);
        return d->result();
    });
    importAction(fx)->trigger();
}

void pressKeys(DocFixture& fx, Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::ControlModifier)
{
    QTest::keyClick(fx.form->mainGrid(), key, modifiers);
}

void showActive(DocFixture& fx)
{
    fx.form->show();
    fx.form->activateWindow();
    if (!QTest::qWaitForWindowActive(fx.form.get()))
        QTest::qFail("window not active", __FILE__, __LINE__);
}

}  // namespace

class TstCsvImport : public QObject {
    Q_OBJECT
private slots:
    void menuEntryAndHelp();
    void previewMarksTheBadCellAndRecordsGoIntoTheOpenBase();
    void fileOfAnotherTypeMakesANewBaseBehindThePrompt();
    void typeTheTitlesDoNotTellIsChosenByTheUser();
    void importTakenBackWithTheStepsAfterIt();
    void stepTextCountsTheRecords();
    void bigFileIsPreviewedFromItsStart();
};

void TstCsvImport::menuEntryAndHelp()
{
    DocFixture fx;
    QAction* a = importAction(fx);
    QVERIFY(a);
    QCOMPARE(a->text(), QString("Импорт из CSV..."));
    QVERIFY(a->isEnabled());
    QCOMPARE(int(helpContext(a)), int(HelpTopic::CsvImport));
    QMenu* file = fx.form->findChild<QMenu*>("fileMenu");
    QVERIFY(file->actions().contains(a));

    const QString csv = writeFile(fx, "d.csv", spreadsheetDiodes());
    fx.ui.openAnswers << csv;
    fx.ui.onDialog("csvImportDialog", [](QDialog* d) {
        QTest::keyClick(asImport(d)->previewTable(), Qt::Key_F1);
        return int(QDialog::Rejected);
    });
    a->trigger();
    QCOMPARE(fx.ui.helpTopics, QList<int>{int(HelpTopic::CsvImport)});
}

void TstCsvImport::previewMarksTheBadCellAndRecordsGoIntoTheOpenBase()
{
    DocFixture fx;
    fx.openSample("diodes.QDB");
    veltris::Table& table = fx.form->document().mainTable();
    const int before = table.rowCount();
    const QString csv = writeFile(fx, "d.csv", spreadsheetDiodes());

    fx.ui.openAnswers << csv;
    bool checked = false;
    fx.ui.onDialog("csvImportDialog", [&](QDialog* d) {
        CsvImportDialog* dlg = asImport(d);
        [&] {
            QCOMPARE(dlg->fileEdit()->text(), QDir::toNativeSeparators(csv));
            QCOMPARE(dlg->encodingBox()->currentText(), QString("UTF-8"));
            QCOMPARE(dlg->separatorBox()->currentText(), QString("«,»"));
            QCOMPARE(dlg->typeBox()->currentText(), QString("Диоды"));

            // Three lines, in the base's columns, read as they will be; the bad cell tinted.
            QAbstractItemModel* m = dlg->previewTable()->model();
            QCOMPARE(m->rowCount(), 3);
            QCOMPARE(m->columnCount(), 13);
            QCOMPARE(m->headerData(1, Qt::Horizontal).toString(), QString("Uобр max, В"));
            QCOMPARE(m->headerData(1, Qt::Vertical).toString(), QString("3"));
            QCOMPARE(m->index(2, 3).data().toString(), QString("<300"));
            QCOMPARE(m->index(1, 3).data().toString(), QString("2 В"));
            QVERIFY(m->index(1, 3).data(Qt::BackgroundRole).isValid());
            QVERIFY(!m->index(1, 2).data(Qt::BackgroundRole).isValid());
            QCOMPARE(
                m->index(1, 3).data(Qt::ToolTipRole).toString(),
                QString(
                    "строка 3, «Iпр ср max, мА»: «2 В» — не число: «В» — единица напряжения, а столбец в мА "
                    "(единица тока)"));
            QVERIFY(dlg->messagesView()->toPlainText().contains(
                "Столбец 4 «Цена» пропущен: нет среди параметров типа «Диоды»"));
            QVERIFY(
                dlg->messagesView()->toPlainText().contains("строка 3, «Iпр ср max, мА»: «2 В» — не число"));
            QVERIFY(dlg->summaryLabel()->text().startsWith("Записей: 2; строк с ошибками: 1"));
            QVERIFY(!dlg->appendButton()->isEnabled());
            QVERIFY(!dlg->newBaseButton()->isEnabled());
            QVERIFY2(layoutProblems(d).isEmpty(), qPrintable(layoutProblems(d).join('\n')));
            screenshot(d, "csv-import");

            QTest::mouseClick(dlg->skipBadBox(), Qt::LeftButton, {},
                              QPoint(4, dlg->skipBadBox()->height() / 2));
            QVERIFY(dlg->skipBadBox()->isChecked());
            QVERIFY(dlg->appendButton()->isEnabled());
            QVERIFY(dlg->newBaseButton()->isEnabled());
            checked = true;
        }();
        click(d, "appendButton");
        return d->result();
    });
    QVERIFY(!fx.form->document().isModified());
    importAction(fx)->trigger();
    QVERIFY(checked);
    QVERIFY(fx.ui.allAnswersUsed());
    QCOMPARE(table.rowCount(), before + 2);
    QCOMPARE(cpToQString(table.cell(before, 0)), QString("КД105Б"));
    QCOMPARE(cpToQString(table.cell(before + 1, 0)), QString("КД105Г"));
    QCOMPARE(cpToQString(table.cell(before + 1, 3)), QString("<300"));
    Document& doc = fx.form->document();
    QVERIFY(doc.isModified());
    QCOMPARE(fx.form->mainModel()->rowCount(), before - 1 + 2);
    QCOMPARE(fx.form->currentRow(), before);  // the first record read
    const QByteArray imported = encoded(*fx.form);

    // One step: Ctrl+Z takes exactly the two records away, back to the bytes of the file.
    QAction* undo = fx.form->undoAction();
    QAction* redo = fx.form->redoAction();
    QCOMPARE(undo->text(), QString("Отменить импорт из CSV (2 записи)"));
    showActive(fx);
    pressKeys(fx, Qt::Key_Z);
    QCOMPARE(table.rowCount(), before);
    QCOMPARE(fx.form->mainModel()->rowCount(), before - 1);
    QCOMPARE(encoded(*fx.form), fileBytes(doc.fileName()));
    QVERIFY(!doc.isModified());
    QCOMPARE(redo->text(), QString("Повторить импорт из CSV (2 записи)"));
    QVERIFY(!undo->isEnabled());

    pressKeys(fx, Qt::Key_Y);
    QCOMPARE(encoded(*fx.form), imported);
    QVERIFY(doc.isModified());
    QCOMPARE(fx.form->mainModel()->rowCount(), before - 1 + 2);
    QCOMPARE(fx.form->currentRow(), before);
    // Ctrl still held as the record becomes current: it alone is selected (what «Сравнить
    // выделенные…» takes), not also the record current before.
    QCOMPARE(fx.form->mainGrid()->selectionModel()->selectedIndexes().size(), 1);

    // Saved with the records, the flag follows the saved state both ways.
    QVERIFY(fx.form->saveBase());
    QVERIFY(!doc.isModified());
    pressKeys(fx, Qt::Key_Z);
    QVERIFY(doc.isModified());
    pressKeys(fx, Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    QVERIFY(!doc.isModified());
    QCOMPARE(fileBytes(doc.fileName()), imported);
    QVERIFY(fx.ui.unexpected.isEmpty());
}

void TstCsvImport::fileOfAnotherTypeMakesANewBaseBehindThePrompt()
{
    DocFixture fx;
    const QString diodes = fx.openSample("diodes.QDB");
    fx.form->document().setModified(true);
    const QString csv = writeFile(
        fx, "z.csv", veltris::utf8ToCp1251("Название;Uст ном, В;Tп max, °С\r\nКС133А;3,3;125\r\n").c_str());

    fx.ui.openAnswers << csv;
    fx.ui.onDialog("csvImportDialog", [&](QDialog* d) {
        CsvImportDialog* dlg = asImport(d);
        [&] {
            QCOMPARE(dlg->encodingBox()->currentText(), QString("Windows-1251"));
            QCOMPARE(dlg->typeBox()->currentText(), QString("Стабилитроны"));
            QVERIFY(!dlg->appendButton()->isEnabled());
            QCOMPARE(dlg->appendButton()->toolTip(), QString("У открытой базы другой тип приборов: «Диоды»"));
            QVERIFY(dlg->newBaseButton()->isEnabled());
        }();
        click(d, "newBaseButton");
        return d->result();
    });
    fx.ui.messageAnswers << Answer::No;  // the diode base's changes are given up
    fx.form->setCurrentCell(2, 1);
    fx.form->deleteRecordAction()->trigger();  // a step of the diode base's history
    importAction(fx)->trigger();
    QVERIFY(fx.ui.allAnswersUsed());
    QCOMPARE(fx.ui.messageTexts(), QStringList{"Файл не сохранён.\r\nСохранить?"});
    const Document& doc = fx.form->document();
    QCOMPARE(int(doc.base().deviceType), 4);
    QVERIFY(doc.fileName().isEmpty());
    QVERIFY(doc.isModified());
    // A history of its own, as for a base opened: nothing leads back to the diodes.
    QCOMPARE(doc.undoStack().count(), 0);
    QVERIFY(!fx.form->undoAction()->isEnabled());
    QCOMPARE(doc.base().recordCount(), 1);
    QCOMPARE(cpToQString(doc.base().table.cell(1, 12)), QString("125"));
    QCOMPARE(cpToQString(doc.base().table.cell(0, 0)), doc.application().deviceLabel());
}

void TstCsvImport::typeTheTitlesDoNotTellIsChosenByTheUser()
{
    DocFixture fx;
    const QString csv =
        writeFile(fx, "t.csv", veltris::utf8ToCp1251("Название;Tп max, °С\r\nX1;85\r\n").c_str());
    fx.ui.openAnswers << csv;
    fx.ui.onDialog("csvImportDialog", [&](QDialog* d) {
        CsvImportDialog* dlg = asImport(d);
        [&] {
            QCOMPARE(dlg->typeBox()->currentIndex(), -1);
            QVERIFY(dlg->summaryLabel()->text().contains("подходят к нескольким типам приборов"));
            QCOMPARE(dlg->previewTable()->model()->rowCount(), 0);
            QVERIFY(!dlg->newBaseButton()->isEnabled());
            dlg->typeBox()->setCurrentIndex(dlg->typeBox()->findText("Тиристоры"));
            QCOMPARE(dlg->previewTable()->model()->rowCount(), 1);
            QVERIFY(dlg->newBaseButton()->isEnabled());
            // The open base is a new bipolar one: the thyristors cannot go there.
            QVERIFY(!dlg->appendButton()->isEnabled());
        }();
        click(d, "cancelButton");
        return d->result();
    });
    importAction(fx)->trigger();
    QVERIFY(fx.ui.allAnswersUsed());
    QCOMPARE(int(fx.form->document().base().deviceType), 1);
    QVERIFY(!fx.form->document().isModified());
}

// Into a new base: the blank row gives way to the records. Steps after the import (a record
// typed in, a record deleted) are undone with it and done again in order, to the same bytes.
void TstCsvImport::importTakenBackWithTheStepsAfterIt()
{
    DocFixture fx;
    Document& doc = fx.form->document();
    const QByteArray blank = encoded(*fx.form);
    const std::string titles = veltris::csvBytes(doc.base().table);
    const std::string header = titles.substr(0, titles.find("\r\n") + 2);
    const QString csv =
        writeFile(fx, "b.csv",
                  QByteArray::fromStdString(
                      header + veltris::utf8ToCp1251("КТ3102А;20;\r\nКТ3107Б;45;\r\nКТ315Г;35;\r\n")));

    importBy(fx, csv, "appendButton");
    QCOMPARE(doc.base().recordCount(), 3);
    QCOMPARE(cpToQString(doc.base().table.cell(1, 0)), QString("КТ3102А"));
    fx.ui.onDialog("recordDialog", [](QDialog* d) {
        d->findChild<QLineEdit*>("nameEdit")->setText("КТ999А");
        click(d, "enterButton");
        if (d->isVisible())
            click(d, "closeButton");
        return d->result();
    });
    fx.form->addRecord();
    fx.form->setCurrentCell(1, 1);
    fx.form->deleteRecordAction()->trigger();
    QCOMPARE(doc.base().recordCount(), 3);
    const QByteArray last = encoded(*fx.form);
    QUndoStack& history = doc.undoStack();
    QCOMPARE(history.count(), 3);

    while (history.canUndo())
        fx.form->undoAction()->trigger();
    QCOMPARE(encoded(*fx.form), blank);
    QCOMPARE(fx.form->mainModel()->rowCount(), 1);
    QVERIFY(!doc.isModified());
    while (history.canRedo())
        fx.form->redoAction()->trigger();
    QCOMPARE(encoded(*fx.form), last);
    QCOMPARE(cpToQString(doc.base().table.cell(3, 0)), QString("КТ999А"));
    QVERIFY(doc.isModified());
    QVERIFY(fx.ui.unexpected.isEmpty());
}

void TstCsvImport::stepTextCountsTheRecords()
{
    const std::pair<int, const char*> cases[] = {
        {1, "1 запись"},      {2, "2 записи"},      {4, "4 записи"},       {5, "5 записей"},
        {11, "11 записей"},   {12, "12 записей"},   {21, "21 запись"},     {22, "22 записи"},
        {111, "111 записей"}, {114, "114 записей"}, {1001, "1001 запись"}, {100000, "100000 записей"},
    };
    for (const auto& [count, text] : cases)
        QCOMPARE(ImportCommand::stepText(count), QString("импорт из CSV (%1)").arg(QString::fromUtf8(text)));
}

QTEST_MAIN(TstCsvImport)
#include "tst_csvimport.moc"

// A big file: the preview reads its start only and says so; the records are read whole when
// taken, and a bad line past the preview then keeps the dialog open. A file of one huge line is
// refused from its first bytes.
void TstCsvImport::bigFileIsPreviewedFromItsStart()
{
    DocFixture fx;
    const std::size_t previewBytes = CsvImportDialog::previewBytes();
    CsvImportDialog::setPreviewBytes(4096);
    QByteArray good = "Название;Uст ном, В;Tп max, °С\r\n";
    for (int i = 0; i < 2000; ++i)
        good += "KS" + QByteArray::number(i) + ";3,3;125\r\n";
    const QByteArray bad = good + "KSBAD;3/3;125\r\n";

    QString summary;
    const auto answer = [&](QDialog* d) {
        summary = asImport(d)->summaryLabel()->text();
        click(d, "newBaseButton");
        return d->result();
    };
    fx.ui.openAnswers << writeFile(fx, "bad.csv", bad);
    fx.ui.onDialog("csvImportDialog", answer);
    importAction(fx)->trigger();
    QVERIFY2(summary.contains("строк с ошибками: 0 (по первым 4 КБ файла"), qPrintable(summary));
    QVERIFY(fx.form->document().fileName().isEmpty() && fx.form->document().base().recordCount() == 1);
    QCOMPARE(fx.form->document().base().deviceType, std::uint16_t(1));  // nothing taken

    fx.ui.openAnswers << writeFile(fx, "good.csv", good);
    fx.ui.onDialog("csvImportDialog", answer);
    importAction(fx)->trigger();
    QVERIFY(fx.ui.allAnswersUsed());
    QCOMPARE(fx.form->document().base().recordCount(), 2000);
    QCOMPARE(cpToQString(fx.form->document().base().table.cell(2000, 0)), QString("KS1999"));

    fx.ui.openAnswers << writeFile(fx, "line.csv", QByteArray(100000, 'a'));
    importAction(fx)->trigger();
    QVERIFY(fx.ui.allAnswersUsed());
    QVERIFY2(fx.ui.messageTexts().last().contains("Первая строка файла длиннее 64 КБ"),
             qPrintable(fx.ui.messageTexts().join('|')));
    CsvImportDialog::setPreviewBytes(previewBytes);
    QVERIFY(fx.ui.unexpected.isEmpty());
}
