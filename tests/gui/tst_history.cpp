// Undo and redo: every step of the history taken back to the bytes the base was saved with and
// done again, the modified flag following the saved state, the menu texts naming the steps, the
// views and the current record following each step, and the status bar.
#undef QT_NO_CAST_FROM_ASCII
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QStatusBar>
#include <QTabWidget>
#include <QTest>
#include <QToolBar>
#include <QUndoStack>

#include "base/basefile.h"
#include "base/baselock.h"
#include "base/fileio.h"
#include "base/processstamp.h"
#include "docfixture.h"
#include "edit/baseparametersdialog.h"
#include "edit/labeledit.h"
#include "edit/recorddialog.h"
#include "widgets/apputil.h"
#include "widgets/componentgrid.h"

namespace {

QString cell(const MainWindow& form, int row, int col)
{
    return cpToQString(form.document().base().table.cell(row, col));
}

// The record dialog opened by `open` (add or edit): `body` fills it; then it is closed.
template <class Body>
void inRecordDialog(DocFixture& fx, void (MainWindow::*open)(), Body body)
{
    fx.ui.onDialog("recordDialog", [&](QDialog* d) {
        body(static_cast<RecordDialog*>(d));
        if (d->isVisible())
            click(d, "closeButton");
        return d->result();
    });
    (fx.form.get()->*open)();
}

// One user's step on the open bipolar sample, through the window and its dialogs.
void runStep(DocFixture& fx, const QString& step)
{
    MainWindow& form = *fx.form;
    if (step == "add") {
        inRecordDialog(fx, &MainWindow::addRecord, [](RecordDialog* d) {
            d->findChild<QLineEdit*>("nameEdit")->setText("КТ999А");
            d->field(2)->setEditText("45");
            click(d, "enterButton");
        });
    } else if (step == "edit") {
        form.setCurrentCell(3, 1);
        inRecordDialog(fx, &MainWindow::editRecord, [](RecordDialog* d) {
            d->field(2)->setEditText("27");  // a stored value becomes a text
            d->field(4)->setEditText("");
            d->findChild<QLineEdit*>("nameEdit")->setText("КТ361В");
            click(d, "enterButton");
        });
    } else if (step == "write back") {
        form.setCurrentCell(5, 1);
        inRecordDialog(fx, &MainWindow::editRecord, [](RecordDialog* d) {
            d->field(1)->setEditText("2");
            d->field(3)->setEditText("77");
            click(d, "nextButton");
        });
    } else if (step == "delete") {
        form.setCurrentCell(2, 1);
        form.deleteRecordAction()->trigger();
    } else if (step == "sort by name") {
        form.sortByColumn(form.mainGrid(), 0);
    } else if (step == "sort by a value") {
        form.sortByColumn(form.mainGrid(), 5);
    } else if (step == "base parameters") {
        fx.ui.onDialog("baseParametersDialog", [](QDialog* d) {
            auto* p = static_cast<BaseParametersDialog*>(d);
            p->comboBox(3)->setCurrentIndex(1);
            p->descriptionEdit()->setPlainText("Другое описание");
            click(d, "okButton");
            return d->result();
        });
        form.editBaseParameters();
    } else if (step == "view parameters") {
        fx.ui.onDialog("viewColumnsDialog", [](QDialog* d) {
            click(d, "hideAllButton");  // "<<"
            click(d, "showAllButton");  // ">>"
            click(d, "okButton");
            return d->result();
        });
        form.editViewColumns();
    } else {
        QTest::qFail(qPrintable("unknown step " + step), __FILE__, __LINE__);
    }
}

// A sample opened read-only: its lock names a program that runs (process 1), and the user
// answers «Открыть только для чтения».
QString openReadOnly(DocFixture& fx, const QString& sample)
{
    const QString path = fx.folder.copySample(sample);
    veltris::ProcessStamp holder = veltris::currentProcess();
    holder.pid = 1;
    holder.startTicks = 0;
    if (!veltris::writeFileAtomic(veltris::lockFileFor(toFsPath(path)), holder.toText()).ok())
        QTest::qFail("lock not written", __FILE__, __LINE__);
    fx.ui.choiceAnswers << "Открыть только для чтения";
    if (!fx.form->document().load(path) || !fx.form->document().isReadOnly())
        QTest::qFail("not opened read-only", __FILE__, __LINE__);
    return path;
}

}  // namespace

class TstHistory : public QObject {
    Q_OBJECT
private slots:
    void eachStepUndoneAndRedone_data();
    void eachStepUndoneAndRedone();
    void manyStepsBackToTheSavedBytes();
    void modifiedFlagFollowsTheSavedState();
    void newBaseTypeUndone();
    void menuTextsNameTheStep();
    void keysAndToolBar();
    void currentRecordFollowsUndoAndRedo();
    void sortKeepsTheCurrentPart();
    void statusBarShowsPathAndState();
    void readOnlyBaseKeepsItsHistoryShut();
    void reloadFromDiskIsOneStep();
};

void TstHistory::eachStepUndoneAndRedone_data()
{
    QTest::addColumn<QString>("step");
    for (const char* step : {"add", "edit", "write back", "delete", "sort by name", "sort by a value",
                             "base parameters", "view parameters"})
        QTest::newRow(step) << QString(step);
}

void TstHistory::eachStepUndoneAndRedone()
{
    QFETCH(QString, step);
    DocFixture fx;
    const QString path = fx.openSample("bipolar.QDB");
    const QByteArray original = fileBytes(path);
    const veltris::Table secondAtLoad = fx.form->document().secondTable();
    const int columnsAtLoad = fx.form->mainModel()->columnCount();
    QVERIFY(!fx.form->undoAction()->isEnabled());

    runStep(fx, step);
    const bool setsModified = !step.startsWith("sort");
    const QByteArray after = encoded(*fx.form);
    QVERIFY(after != original);
    QCOMPARE(fx.form->document().isModified(), setsModified);
    QVERIFY(fx.form->undoAction()->isEnabled());
    QVERIFY(!fx.form->redoAction()->isEnabled());

    fx.form->undoAction()->trigger();
    QCOMPARE(encoded(*fx.form), original);
    QVERIFY(!fx.form->document().isModified());
    QVERIFY(fx.form->document().secondTable() == secondAtLoad);
    QCOMPARE(fx.form->mainModel()->rowCount(), fx.form->document().base().recordCount());
    QCOMPARE(fx.form->mainModel()->columnCount(), columnsAtLoad);
    QVERIFY(!fx.form->undoAction()->isEnabled());

    fx.form->redoAction()->trigger();
    QCOMPARE(encoded(*fx.form), after);
    QCOMPARE(fx.form->document().isModified(), setsModified);
    QCOMPARE(fx.form->mainModel()->rowCount(), fx.form->document().base().recordCount());

    // Undone again and saved: the file is the one that was opened, byte for byte.
    fx.form->undoAction()->trigger();
    fx.form->findChild<QAction*>("saveBaseAction")->trigger();
    QCOMPARE(fileBytes(path), original);
    QVERIFY(fx.ui.messages.isEmpty());
    QVERIFY(fx.ui.unexpected.isEmpty());
}

// All the steps one after another, some of them twice: undoing all of them saves the file that
// was opened; redoing all of them gives the base they made.
void TstHistory::manyStepsBackToTheSavedBytes()
{
    DocFixture fx;
    const QString path = fx.openSample("bipolar.QDB");
    const QByteArray original = fileBytes(path);
    const QStringList steps = {
        "edit",   "sort by a value", "delete",       "add", "write back", "base parameters",
        "delete", "view parameters", "sort by name", "add", "edit"};
    for (const QString& step : steps)
        runStep(fx, step);
    const QByteArray last = encoded(*fx.form);
    QUndoStack& history = fx.form->document().undoStack();
    QCOMPARE(history.count(), int(steps.size()));

    while (history.canUndo())
        fx.form->undoAction()->trigger();
    QCOMPARE(encoded(*fx.form), original);
    QVERIFY(!fx.form->document().isModified());
    while (history.canRedo())
        fx.form->redoAction()->trigger();
    QCOMPARE(encoded(*fx.form), last);
    while (history.canUndo())
        fx.form->undoAction()->trigger();
    QVERIFY(fx.form->saveBase());
    QCOMPARE(fileBytes(path), original);
    QVERIFY(fx.ui.unexpected.isEmpty());
}

void TstHistory::modifiedFlagFollowsTheSavedState()
{
    DocFixture fx;
    const QString path = fx.openSample("bipolar.QDB");
    Document& doc = fx.form->document();
    QUndoStack& history = doc.undoStack();
    QAction* undo = fx.form->undoAction();
    QAction* redo = fx.form->redoAction();

    runStep(fx, "delete");
    QVERIFY(doc.isModified());
    QVERIFY(fx.form->saveBase());
    QVERIFY(!doc.isModified());
    const QByteArray saved = fileBytes(path);

    runStep(fx, "sort by name");  // a sort leaves the flag alone, also on its way back
    QVERIFY(!doc.isModified());
    runStep(fx, "edit");
    QVERIFY(doc.isModified());
    undo->trigger();
    QVERIFY(!doc.isModified());
    undo->trigger();
    QVERIFY(!doc.isModified());
    undo->trigger();  // behind the saved state
    QVERIFY(doc.isModified());
    redo->trigger();
    QVERIFY(!doc.isModified());
    QCOMPARE(encoded(*fx.form), saved);

    // A new step where the sort and the edit were: they are gone, the saved state stays.
    runStep(fx, "view parameters");
    QVERIFY(!redo->isEnabled());
    QVERIFY(doc.isModified());
    undo->trigger();
    QVERIFY(!doc.isModified());
    // A new step behind the saved state: it can no longer be reached.
    undo->trigger();
    runStep(fx, "add");
    undo->trigger();
    QVERIFY(doc.isModified());  // the base is as opened, not as saved
    QVERIFY(history.canRedo());

    // A change outside the history drops it.
    doc.setModified(true);
    QVERIFY(!undo->isEnabled() && !redo->isEnabled());
    QVERIFY(doc.isModified());

    // Opening a base starts a new history.
    runStep(fx, "delete");
    fx.ui.messageAnswers << Answer::No;
    fx.ui.openAnswers << fx.folder.copySample("diodes.QDB");
    fx.form->openBase();
    QCOMPARE(history.count(), 0);
    QVERIFY(!doc.isModified());
    QVERIFY(fx.ui.allAnswersUsed());
    QVERIFY(fx.ui.unexpected.isEmpty());
}

// New runs the base parameters as the first step of the new base: undone, the empty bipolar
// base is back, unmodified.
void TstHistory::newBaseTypeUndone()
{
    DocFixture fx;
    fx.openSample("bipolar.QDB");
    runStep(fx, "delete");
    fx.ui.messageAnswers << Answer::No;
    QByteArray emptyBase;
    fx.ui.onDialog("baseParametersDialog", [&](QDialog* d) {
        emptyBase = encoded(*fx.form);
        click(d, "typeButton3");  // diodes
        click(d, "okButton");
        return d->result();
    });
    fx.form->newBase();
    QCOMPARE(fx.form->document().base().table.columnCount(), 13);
    QCOMPARE(fx.form->document().undoStack().count(), 1);  // the delete went with the old base

    fx.form->undoAction()->trigger();
    const veltris::ComponentBase& b = fx.form->document().base();
    QCOMPARE(int(b.deviceType), 1);
    QCOMPARE(b.table.columnCount(), 31);
    QCOMPARE(fx.form->mainModel()->columnCount(), 30);
    QCOMPARE(encoded(*fx.form), emptyBase);
    QVERIFY(!fx.form->document().isModified());
    fx.form->redoAction()->trigger();
    QCOMPARE(int(b.deviceType), 3);
    QCOMPARE(b.table.columnCount(), 13);
    QCOMPARE(cell(*fx.form, 0, 1), cpToQString(fx.form->document().catalogue().name(3, 1, 1)));
    QVERIFY(fx.form->document().isModified());
}

void TstHistory::menuTextsNameTheStep()
{
    DocFixture fx;
    fx.openSample("bipolar.QDB");
    QAction* undo = fx.form->undoAction();
    QAction* redo = fx.form->redoAction();
    QCOMPARE(undo->text(), QString("Отменить"));
    QCOMPARE(redo->text(), QString("Повторить"));

    const QString title = oneLineTitle(fx.form->document().base().table.cell(0, 5));
    struct Case {
        const char* step;
        QString name;
        int nameRow;  // the name of the record the step reaches, read before it
    };
    const Case cases[] = {
        {"delete", "удаление ", 2},
        {"add", "добавление КТ999А", 0},
        {"edit", "изменение КТ361В", 0},
        {"write back", "изменение ", 5},
        {"sort by name", "сортировку по имени", 0},
        {"sort by a value", "сортировку по столбцу «" + title + "»", 0},
        {"base parameters", "изменение параметров базы", 0},
        {"view parameters", "изменение параметров просмотра", 0},
    };
    for (const Case& c : cases) {
        const QString name = c.name + (c.nameRow > 0 ? cell(*fx.form, c.nameRow, 0) : QString());
        runStep(fx, c.step);
        QCOMPARE(undo->text(), "Отменить " + name);
        undo->trigger();
        QCOMPARE(redo->text(), "Повторить " + name);
        redo->trigger();
    }
    QVERIFY(title.size() > 1);

    // A record without a name, and one whose name holds "&" (no key mnemonic made of it).
    fx.form->setCurrentCell(1, 1);
    inRecordDialog(fx, &MainWindow::editRecord, [](RecordDialog* d) {
        d->findChild<QLineEdit*>("nameEdit")->clear();
        click(d, "enterButton");
    });
    QCOMPARE(undo->text(), QString("Отменить изменение записи без имени"));
    inRecordDialog(fx, &MainWindow::editRecord, [](RecordDialog* d) {
        d->findChild<QLineEdit*>("nameEdit")->setText("A&B");
        click(d, "enterButton");
    });
    QCOMPARE(undo->text(), QString("Отменить изменение A&&B"));
    QCOMPARE(undo->toolTip(), QString("Отменить изменение A&B"));
}

void TstHistory::keysAndToolBar()
{
    DocFixture fx;
    QAction* undo = fx.form->undoAction();
    QAction* redo = fx.form->redoAction();
    QCOMPARE(undo->shortcuts(), QList<QKeySequence>{QKeySequence("Ctrl+Z")});
    QCOMPARE(redo->shortcuts(), QList<QKeySequence>({QKeySequence("Ctrl+Y"), QKeySequence("Ctrl+Shift+Z")}));
    QCOMPARE(undo->statusTip(), QString("Отменить последнее действие"));
    QCOMPARE(redo->statusTip(), QString("Повторить отменённое действие"));
    QMenu* edit = fx.form->findChild<QMenu*>("editMenu");
    QVERIFY(edit->actions().indexOf(undo) == 0 && edit->actions().indexOf(redo) == 1);
    auto* bar = fx.form->findChild<QToolBar*>("toolBar");
    QVERIFY(bar->actions().contains(undo) && bar->actions().contains(redo));
    QVERIFY(!undo->icon().isNull() && !redo->icon().isNull());

    const QString path = fx.openSample("bipolar.QDB");
    fx.form->show();
    fx.form->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(fx.form.get()));
    const QString second = cell(*fx.form, 2, 0);
    fx.form->setCurrentCell(2, 1);
    QTest::keyClick(fx.form->mainGrid(), Qt::Key_F8);
    QVERIFY(cell(*fx.form, 2, 0) != second);
    QTest::keyClick(fx.form->mainGrid(), Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(cell(*fx.form, 2, 0), second);
    QTest::keyClick(fx.form->mainGrid(), Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    QVERIFY(cell(*fx.form, 2, 0) != second);
    QTest::keyClick(fx.form->mainGrid(), Qt::Key_Z, Qt::ControlModifier);
    QTest::keyClick(fx.form->mainGrid(), Qt::Key_Y, Qt::ControlModifier);
    QVERIFY(cell(*fx.form, 2, 0) != second);
    QVERIFY(fx.form->document().isModified());
    QVERIFY(fx.ui.unexpected.isEmpty());
}

// Undo and redo show the record the step reached, on the main table's page.
void TstHistory::currentRecordFollowsUndoAndRedo()
{
    DocFixture fx;
    fx.openSample("bipolar.QDB");
    MainWindow& form = *fx.form;
    const int records = form.document().base().recordCount();
    const QString third = cell(form, 3, 0);
    form.setCurrentCell(3, 4);
    form.deleteRecordAction()->trigger();
    form.setCurrentCell(1, 1);
    form.showPage(MainWindow::SecondTablePage);

    form.undoAction()->trigger();
    QCOMPARE(form.pages()->currentIndex(), int(MainWindow::MainTablePage));
    QCOMPARE(form.currentRow(), 3);
    QCOMPARE(form.currentColumn(), 1);
    QCOMPARE(cell(form, 3, 0), third);
    form.setCurrentCell(1, 1);
    form.redoAction()->trigger();
    QCOMPARE(form.currentRow(), 3);  // the record after the deleted one
    QCOMPARE(form.mainModel()->rowCount(), records - 1);

    // An added record undone: the last record is current.
    runStep(fx, "add");
    QCOMPARE(form.currentRow(), records);
    form.setCurrentCell(2, 1);
    form.undoAction()->trigger();
    QCOMPARE(form.currentRow(), records - 1);
    form.redoAction()->trigger();
    QCOMPARE(form.currentRow(), records);
    QCOMPARE(cell(form, records, 0), QString("КТ999А"));

    // An edit undone: that record.
    runStep(fx, "edit");
    form.setCurrentCell(1, 1);
    form.undoAction()->trigger();
    QCOMPARE(form.currentRow(), 3);
}

// A sort moves the rows, not the current record: the same part stays current (its highlight
// and F4 go with it), through undo and redo of the sort too.
void TstHistory::sortKeepsTheCurrentPart()
{
    DocFixture fx;
    fx.openSample("bipolar.QDB");
    MainWindow& form = *fx.form;
    form.setCurrentCell(3, 4);
    const QString part = cell(form, 3, 0);
    const auto check = [&](const char* when) {
        QVERIFY2(cell(form, form.currentRow(), 0) == part, when);
        QVERIFY2(form.document().currentRecord() == form.currentRow(), when);
        QVERIFY2(form.currentColumn() == 4, when);
    };
    form.sortByColumn(form.mainGrid(), 5);
    QVERIFY(form.undoAction()->isEnabled());  // the sort moved rows
    check("sorted");
    form.sortByColumn(form.mainGrid(), 0);
    check("sorted by name");
    form.undoAction()->trigger();
    check("undone");
    form.undoAction()->trigger();
    QCOMPARE(form.currentRow(), 3);
    check("undone twice");
    form.redoAction()->trigger();
    check("redone");
}

void TstHistory::statusBarShowsPathAndState()
{
    DocFixture fx;
    auto* path = fx.form->statusBar()->findChild<QLabel*>("basePathLabel");
    auto* modified = fx.form->statusBar()->findChild<QLabel*>("modifiedLabel");
    auto* readOnly = fx.form->statusBar()->findChild<QLabel*>("readOnlyLabel");
    QVERIFY(path && modified && readOnly);
    QCOMPARE(modified->text(), QString("изменена"));
    QCOMPARE(readOnly->text(), QString("только чтение"));
    QCOMPARE(path->text(), QString("Новая база"));
    QVERIFY(modified->isHidden() && readOnly->isHidden());

    const QString file = fx.openSample("bipolar.QDB");
    QCOMPARE(path->text(), file);
    runStep(fx, "delete");
    QVERIFY(!modified->isHidden());
    fx.form->undoAction()->trigger();
    QVERIFY(modified->isHidden());
    const QString locked = openReadOnly(fx, "diodes.QDB");
    QCOMPARE(path->text(), locked);
    QVERIFY(!readOnly->isHidden());

    fx.ui.saveAnswers << fx.folder.file("copy.QDB");
    QVERIFY(fx.form->saveBaseAs());
    QVERIFY(readOnly->isHidden());
    QCOMPARE(path->text(), fx.folder.file("copy.QDB"));
    fx.ui.rejectDialog("baseParametersDialog");
    fx.form->newBase();
    QCOMPARE(path->text(), QString("Новая база"));
    // The caption stays the program's name.
    QCOMPARE(fx.form->windowTitle(), QString("Вельтрис"));
}

// Read-only, the base is looked at, not changed: a sort still orders it, but nothing is undone
// or redone, by menu or by key, until Save as makes the base its own.
void TstHistory::readOnlyBaseKeepsItsHistoryShut()
{
    DocFixture fx;
    openReadOnly(fx, "bipolar.QDB");
    fx.form->show();
    fx.form->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(fx.form.get()));
    const QByteArray opened = encoded(*fx.form);
    QAction* undo = fx.form->undoAction();
    QAction* redo = fx.form->redoAction();

    runStep(fx, "sort by a value");
    const QByteArray sorted = encoded(*fx.form);
    QVERIFY(sorted != opened);
    QVERIFY(fx.form->document().undoStack().canUndo());
    QVERIFY(!undo->isEnabled() && !redo->isEnabled());
    QTest::keyClick(fx.form->mainGrid(), Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(encoded(*fx.form), sorted);
    for (const char* name : {"addRecordAction", "editRecordAction", "deleteRecordAction",
                             "baseParametersAction", "viewColumnsAction"})
        QVERIFY2(!fx.form->findChild<QAction*>(name)->isEnabled(), name);
    QVERIFY(fx.form->findChild<QAction*>("saveBaseAction")->isEnabled());  // it asks for a name

    fx.ui.saveAnswers << fx.folder.file("mine.QDB");
    QVERIFY(fx.form->saveBaseAs());
    QVERIFY(undo->isEnabled());
    QTest::keyClick(fx.form->mainGrid(), Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(encoded(*fx.form), opened);
    QVERIFY(redo->isEnabled());
    QVERIFY(fx.ui.allAnswersUsed());
    QVERIFY(fx.ui.unexpected.isEmpty());
}

// «Загрузить заново» is a step: the base becomes the file's, unmodified; undone, the unsaved
// edits are back, modified, and so are the steps before them, which lead to a base that is no
// longer the file's; redone, the file's base again. A save after the undo writes the edits
// without asking again: the file is the one read last.
void TstHistory::reloadFromDiskIsOneStep()
{
    DocFixture fx;
    const QString path = fx.openSample("bipolar.QDB");
    Document& doc = fx.form->document();
    auto* modifiedMark = fx.form->statusBar()->findChild<QLabel*>("modifiedLabel");
    const QByteArray original = fileBytes(path);
    runStep(fx, "edit");
    runStep(fx, "delete");
    const QByteArray edited = encoded(*fx.form);

    // Another program saves the base with its first record renamed.
    auto other = veltris::readBase(toFsPath(path), doc.catalogue());
    QVERIFY(other.ok());
    other->table.setCell(1, 0, "THEIRS");
    const QByteArray theirs = QByteArray::fromStdString(*veltris::encodeBase(*other));
    QVERIFY(veltris::writeFileAtomic(toFsPath(path), theirs.toStdString()).ok());

    fx.ui.choiceAnswers << "Загрузить заново";
    QVERIFY(!fx.form->saveBase());
    QCOMPARE(fx.ui.choices.size(), 1);
    QCOMPARE(encoded(*fx.form), theirs);
    QCOMPARE(cell(*fx.form, 1, 0), QString("THEIRS"));
    QCOMPARE(fx.form->mainModel()->rowCount(), doc.base().recordCount());
    QVERIFY(!doc.isModified());
    QVERIFY(modifiedMark->isHidden());
    QCOMPARE(fx.form->undoAction()->text(), QString("Отменить загрузку заново"));

    fx.form->undoAction()->trigger();
    QCOMPARE(encoded(*fx.form), edited);
    QCOMPARE(fx.form->mainModel()->rowCount(), doc.base().recordCount());
    QVERIFY(doc.isModified());
    QVERIFY(!modifiedMark->isHidden());
    QCOMPARE(fx.form->redoAction()->text(), QString("Повторить загрузку заново"));
    fx.form->undoAction()->trigger();
    fx.form->undoAction()->trigger();
    QCOMPARE(encoded(*fx.form), original);
    QVERIFY(doc.isModified());  // as opened, which is not what the file holds now

    while (doc.undoStack().canRedo())
        fx.form->redoAction()->trigger();
    QCOMPARE(encoded(*fx.form), theirs);
    QVERIFY(!doc.isModified());

    fx.form->undoAction()->trigger();
    QVERIFY(fx.form->saveBase());
    QCOMPARE(fx.ui.choices.size(), 1);
    QCOMPARE(fileBytes(path), edited);
    QVERIFY(!doc.isModified());

    // Reloaded twice: the history keeps the base the last reload gave up, not the first one's.
    runStep(fx, "delete");
    QVERIFY(veltris::writeFileAtomic(toFsPath(path), theirs.toStdString()).ok());
    fx.ui.choiceAnswers << "Загрузить заново";
    QVERIFY(!fx.form->saveBase());
    QCOMPARE(doc.undoStack().count(), 4);
    runStep(fx, "delete");
    const QByteArray editedAgain = encoded(*fx.form);
    QVERIFY(veltris::writeFileAtomic(toFsPath(path), original.toStdString()).ok());
    fx.ui.choiceAnswers << "Загрузить заново";
    QVERIFY(!fx.form->saveBase());
    QCOMPARE(encoded(*fx.form), original);
    QCOMPARE(doc.undoStack().count(), 1);
    fx.form->undoAction()->trigger();
    QCOMPARE(encoded(*fx.form), editedAgain);
    QVERIFY(doc.isModified());
    QVERIFY(fx.ui.allAnswersUsed());
    QVERIFY(fx.ui.unexpected.isEmpty());
}

QTEST_MAIN(TstHistory)
#include "tst_history.moc"
