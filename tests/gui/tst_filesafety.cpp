// Work is not lost to the world outside the window: a change of the file on disk is noticed
// before a save and on activation, a base has one editor at a time (a real second program
// holds the lock), and unsaved changes survive a killed program, SIGTERM and the session's end.
#undef QT_NO_CAST_FROM_ASCII
#include <QAction>
#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTest>

#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "base/basefile.h"
#include "base/baselock.h"
#include "base/fileio.h"
#include "base/recovery.h"
#include "docfixture.h"
#include "document/recoverykeeper.h"
#include "programrun.h"
#include "widgets/apputil.h"
#include "widgets/componentgrid.h"

namespace {

const QString kReload = "Загрузить заново";
const QString kOverwrite = "Сохранить поверх";
const QString kCancel = "Отмена";

// Another program saves the base at `path` with its first record renamed; returns the bytes.
QByteArray otherProgramSaves(const Document& doc, const QString& path, const char* firstName)
{
    auto base = veltris::readBase(toFsPath(path), doc.catalogue());
    if (!base)
        return {};
    base->table.setCell(1, 0, firstName);
    const std::string bytes = *veltris::encodeBase(*base);
    if (!veltris::writeFileAtomic(toFsPath(path), bytes))
        return {};
    return QByteArray::fromStdString(bytes);
}

QByteArray ourBytes(const Document& doc)
{
    return QByteArray::fromStdString(*veltris::encodeBase(doc.base()));
}

// The question when another program changed the file under a window with unsaved changes.
QString changedQuestion(const QString& path)
{
    return "Файл «" + path +
           "» изменён другой программой.\r\nВ окне есть несохранённые изменения. «Загрузить заново» покажет "
           "файл с диска, а команда «Отменить» вернёт изменения.";
}

QString lockOf(const QString& base)
{
    return fromFsPath(veltris::lockFileFor(toFsPath(base)));
}

// The process number in the lock of `base`; 0 when there is none.
qint64 lockHolder(const QString& base)
{
    veltris::ProcessStamp s;
    return s.fromText(fileBytes(lockOf(base)).toStdString()) ? s.pid : 0;
}

void showAndStart(MainWindow& form)
{
    QSignalSpy started(&form, &MainWindow::started);
    form.show();
    QVERIFY(QTest::qWaitForWindowActive(&form));
    QTRY_COMPARE(started.count(), 1);
}

// The user goes to another program and comes back.
void leaveAndComeBack(MainWindow& form)
{
    QWidget other;
    other.show();
    other.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&other));
    form.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&form));
    QTest::qWait(50);  // the check runs from the loop
}

QStringList recoveryFiles(const QString& folder)
{
    return QDir(folder).entryList({"*.recovery"}, QDir::Files, QDir::Name);
}

qint64 endedProcess()
{
    const pid_t pid = ::fork();
    if (pid == 0)
        ::_exit(0);
    ::waitpid(pid, nullptr, 0);
    return pid;
}

QAction* action(MainWindow& form, const char* name)
{
    return form.findChild<QAction*>(name);
}

}  // namespace

class TstFileSafety : public QObject {
    Q_OBJECT
private slots:
    void changedOnDiskBeforeSave_data();
    void changedOnDiskBeforeSave();
    void changedOnDiskOnActivation_data();
    void changedOnDiskOnActivation();
    void deletedWhileOpen();
    void nameNowLeadsElsewhere_data();
    void nameNowLeadsElsewhere();
    void secondProgramHoldsTheLock_data();
    void secondProgramHoldsTheLock();
    void staleLockTakenOverAndLocksReleased();
    void recoveryAfterTheProgramIsKilled();
    void terminationSignalKeepsTheChanges();
    void recoveryOffersAtStart();
    void restoredRecoveryIsHeldByItsProgram();
    void recoveryFileFollowsTheChanges();
    void endOfSession();
};

void TstFileSafety::changedOnDiskBeforeSave_data()
{
    QTest::addColumn<QString>("answer");
    QTest::newRow("reload") << kReload;
    QTest::newRow("overwrite") << kOverwrite;
    QTest::newRow("cancel") << kCancel;
}

void TstFileSafety::changedOnDiskBeforeSave()
{
    QFETCH(QString, answer);
    DocFixture fx;
    const QString path = fx.openSample("diodes.QDB");
    Document& doc = fx.form->document();

    // The same bytes put back under the name (a copy, a backup restored) are no change.
    QVERIFY(veltris::writeFileAtomic(toFsPath(path), fileBytes(path).toStdString()).ok());
    QVERIFY(doc.deleteRecord(1));
    QVERIFY(doc.save());
    QVERIFY(fx.ui.choices.isEmpty());

    QVERIFY(doc.deleteRecord(1));
    const QByteArray theirs = otherProgramSaves(doc, path, "THEIRS");
    QVERIFY(!theirs.isEmpty());
    const QByteArray ours = ourBytes(doc);
    fx.ui.choiceAnswers << answer;
    const bool saved = doc.save();

    QCOMPARE(fx.ui.choices.size(), 1);
    QCOMPARE(fx.ui.choices[0].text, changedQuestion(path));
    QCOMPARE(fx.ui.choices[0].buttons, (QStringList{kReload, kOverwrite, kCancel}));
    QCOMPARE(saved, answer == kOverwrite);
    QCOMPARE(fileBytes(path), answer == kOverwrite ? ours : theirs);
    QCOMPARE(doc.isModified(), answer == kCancel);
    if (answer == kReload) {
        QCOMPARE(doc.base().table.cell(1, 0), std::string("THEIRS"));
        QCOMPARE(fx.form->mainModel()->rowCount(), doc.base().recordCount());
    }
    if (answer != kCancel) {
        // What is on disk now is what the window knows: the next save asks nothing.
        QVERIFY(doc.deleteRecord(1));
        QVERIFY(doc.save());
        QCOMPARE(fx.ui.choices.size(), 1);
    }
    QVERIFY(fx.ui.unexpected.isEmpty());
}

void TstFileSafety::changedOnDiskOnActivation_data()
{
    QTest::addColumn<QString>("answer");
    QTest::addColumn<bool>("comeBack");  // false: the watcher sees it while the window is active
    QTest::newRow("reload") << kReload << true;
    QTest::newRow("overwrite") << kOverwrite << true;
    QTest::newRow("cancel") << kCancel << true;
    QTest::newRow("seen by the watcher") << kReload << false;
}

void TstFileSafety::changedOnDiskOnActivation()
{
    QFETCH(QString, answer);
    QFETCH(bool, comeBack);
    DocFixture fx;
    const QString path = fx.openSample("diodes.QDB");
    Document& doc = fx.form->document();
    showAndStart(*fx.form);
    QVERIFY(doc.deleteRecord(1));
    const QByteArray ours = ourBytes(doc);

    // Coming back to an untouched file asks nothing.
    leaveAndComeBack(*fx.form);
    QVERIFY(fx.ui.choices.isEmpty());

    const QByteArray theirs = otherProgramSaves(doc, path, "THEIRS");
    fx.ui.choiceAnswers << answer;
    if (comeBack)
        leaveAndComeBack(*fx.form);
    QTRY_COMPARE_WITH_TIMEOUT(fx.ui.choices.size(), 1, 5000);
    QCOMPARE(fx.ui.choices[0].text, changedQuestion(path));
    QCOMPARE(fx.ui.choices[0].buttons, (QStringList{kReload, kOverwrite, kCancel}));
    QCOMPARE(fileBytes(path), answer == kOverwrite ? ours : theirs);
    QCOMPARE(doc.isModified(), answer == kCancel);
    if (answer == kReload)
        QCOMPARE(doc.base().table.cell(1, 0), std::string("THEIRS"));

    // Answered once, not asked again on the next return; a save still asks.
    leaveAndComeBack(*fx.form);
    QCOMPARE(fx.ui.choices.size(), 1);
    if (answer == kCancel) {
        fx.ui.choiceAnswers << kCancel;
        QVERIFY(!doc.save());
        QCOMPARE(fx.ui.choices.size(), 2);
        QCOMPARE(fileBytes(path), theirs);
    }
    QVERIFY(fx.ui.unexpected.isEmpty());
}

void TstFileSafety::deletedWhileOpen()
{
    DocFixture fx;
    const QString path = fx.openSample("diodes.QDB");
    Document& doc = fx.form->document();
    showAndStart(*fx.form);
    QVERIFY(doc.deleteRecord(1));
    QVERIFY(QFile::remove(path));

    const QString gone = "Файл «" + path + "» удалён или перемещён другой программой.";
    leaveAndComeBack(*fx.form);
    QTRY_COMPARE(fx.ui.messageTexts(), QStringList{gone});
    leaveAndComeBack(*fx.form);
    QCOMPARE(fx.ui.messages.size(), 1);  // said once

    const QString question = gone + "\r\nСохранить его заново под этим именем?";
    fx.ui.messageAnswers << Answer::No;
    QVERIFY(!doc.save());
    QCOMPARE(fx.ui.messages.last().text, question);
    QVERIFY(!QFile::exists(path));
    QVERIFY(doc.isModified());

    fx.ui.messageAnswers << Answer::Yes;
    QVERIFY(doc.save());
    QCOMPARE(fx.ui.messages.last().text, question);
    QCOMPARE(fileBytes(path), ourBytes(doc));
    QVERIFY(!doc.isModified());
    QVERIFY(fx.ui.unexpected.isEmpty());
}

void TstFileSafety::nameNowLeadsElsewhere_data()
{
    QTest::addColumn<QString>("swap");  // what is put under the base's name
    QTest::addColumn<QString>("answer");
    QTest::addColumn<bool>("onActivation");  // asked when the user comes back, not at Save
    for (const QString swap : {"link to a file", "link to /dev/null", "FIFO"})
        for (const QString& answer : {QString("Сохранить как…"), kCancel})
            QTest::addRow("%s, %s", qPrintable(swap), answer == kCancel ? "cancel" : "save as")
                << swap << answer << false;
    QTest::newRow("link to a file, on activation")
        << QString("link to a file") << QString("Сохранить как…") << true;
}

// After the base is opened its name is made to lead to another file, /dev/null or a FIFO: a
// save never writes there, says what stands there now and offers Save as; the changes and the
// recovery file stay until a save really wrote them.
void TstFileSafety::nameNowLeadsElsewhere()
{
    QFETCH(QString, swap);
    QFETCH(QString, answer);
    QFETCH(bool, onActivation);
    DocFixture fx;
    const QString path = fx.openSample("diodes.QDB");
    Document& doc = fx.form->document();
    if (onActivation)
        showAndStart(*fx.form);
    QVERIFY(doc.deleteRecord(1));
    QVERIFY(doc.recovery().writeNow());
    const QString recovery = doc.recovery().file();
    QVERIFY(QFile::exists(recovery));
    const QByteArray ours = ourBytes(doc);

    const QString notes = fx.folder.file("notes.txt");
    QVERIFY(veltris::writeFileAtomic(toFsPath(notes), "мои заметки\n").ok());
    QVERIFY(QFile::remove(path));
    QString leadsTo;
    if (swap == "link to a file") {
        QVERIFY(QFile::link(notes, path));
        leadsTo = "ссылка на «" + notes + "»";
    } else if (swap == "link to /dev/null") {
        QVERIFY(QFile::link("/dev/null", path));
        leadsTo = "ссылка на «/dev/null»";
    } else {
        QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0644), 0);
        leadsTo = "не файл";
    }

    const QString copy = fx.folder.file("copy.QDB");
    fx.ui.choiceAnswers << answer;
    if (answer != kCancel)
        fx.ui.saveAnswers << copy;
    bool saved = false;
    if (onActivation) {
        leaveAndComeBack(*fx.form);
        QTRY_COMPARE(fx.ui.choices.size(), 1);
        saved = QFile::exists(copy);
    } else {
        saved = doc.save();  // a FIFO must not hang it
    }
    QCOMPARE(fx.ui.choices.size(), 1);
    QCOMPARE(fx.ui.choices[0].text, "Файл «" + path + "» изменён другой программой: на месте базы теперь " +
                                        leadsTo +
                                        ".\r\nЗаписать туда базу нельзя. Сохранить её под другим именем?");
    QCOMPARE(fx.ui.choices[0].buttons, (QStringList{"Сохранить как…", kCancel}));
    QCOMPARE(fileBytes(notes), QByteArray("мои заметки\n"));
    QVERIFY(QFileInfo(path).isSymLink() || !QFileInfo(path).isFile());  // left as it was

    QCOMPARE(saved, answer != kCancel);
    if (saved) {
        QCOMPARE(doc.fileName(), copy);
        QCOMPARE(fileBytes(copy), ours);
        QVERIFY(!doc.isModified());
        QVERIFY(!QFile::exists(recovery));
    } else {
        QVERIFY(doc.isModified());
        QVERIFY(QFile::exists(recovery));
        // The next save asks again.
        fx.ui.choiceAnswers << kCancel;
        QVERIFY(!doc.save());
        QCOMPARE(fx.ui.choices.size(), 2);
        QVERIFY(doc.isModified());
    }
    QVERIFY(fx.ui.unexpected.isEmpty());
}

void TstFileSafety::secondProgramHoldsTheLock_data()
{
    QTest::addColumn<QString>("answer");
    QTest::newRow("read-only") << QString("Открыть только для чтения");
    QTest::newRow("open all the same") << QString("Открыть всё равно");
    QTest::newRow("cancel") << kCancel;
}

void TstFileSafety::secondProgramHoldsTheLock()
{
    QFETCH(QString, answer);
    ProgramRun run;
    const QString base = run.folder().copySample("diodes.QDB");
    QVERIFY(run.start({base}));
    QTRY_VERIFY_WITH_TIMEOUT(lockHolder(base) == run.pid(), 20000);

    DocFixture fx;
    Document& doc = fx.form->document();
    QSignalSpy readOnly(&doc, &Document::readOnlyChanged);
    fx.ui.choiceAnswers << answer;
    const bool loaded = doc.load(base);

    QCOMPARE(fx.ui.choices.size(), 1);
    const QString text = fx.ui.choices[0].text;
    QVERIFY2(text.startsWith("Файл «" + base + "» уже открыт для изменения: пользователь «"),
             qPrintable(text));
    QVERIFY2(text.contains(QString("(процесс %1) с ").arg(run.pid())), qPrintable(text));
    QCOMPARE(fx.ui.choices[0].buttons,
             (QStringList{"Открыть только для чтения", "Открыть всё равно", kCancel}));
    QCOMPARE(loaded, answer != kCancel);

    if (answer == kCancel) {
        QVERIFY(doc.fileName().isEmpty());
        QCOMPARE(lockHolder(base), run.pid());
    } else if (answer == "Открыть только для чтения") {
        QVERIFY(doc.isReadOnly());
        QCOMPARE(readOnly.count(), 1);
        QCOMPARE(lockHolder(base), run.pid());  // still the other program's
        for (const char* name : {"addRecordAction", "editRecordAction", "deleteRecordAction",
                                 "baseParametersAction", "viewColumnsAction"})
            QVERIFY2(!action(*fx.form, name)->isEnabled(), name);
        QVERIFY(action(*fx.form, "saveBaseAsAction")->isEnabled());
        // Save (Ctrl+S) works as Save as: it asks for a name and writes a copy of its own,
        // locked and editable.
        const QString copy = fx.folder.file("copy.QDB");
        fx.ui.saveAnswers << copy;
        showAndStart(*fx.form);
        QTest::keyClick(fx.form.get(), Qt::Key_S, Qt::ControlModifier);
        QCOMPARE(fx.ui.saveRequests.size(), 1);
        QVERIFY(QFile::exists(copy));
        QVERIFY(!doc.isReadOnly());
        QCOMPARE(readOnly.count(), 2);
        QCOMPARE(lockHolder(copy), QCoreApplication::applicationPid());
        for (const char* name : {"saveBaseAction", "addRecordAction", "deleteRecordAction",
                                 "baseParametersAction", "viewColumnsAction"})
            QVERIFY2(action(*fx.form, name)->isEnabled(), name);
    } else {
        QVERIFY(!doc.isReadOnly());
        QCOMPARE(lockHolder(base), QCoreApplication::applicationPid());  // taken over
    }

    // The other program ends: it removes its own lock, never one taken over from it.
    run.signal(SIGTERM);
    QVERIFY(run.waitForExit());
    QCOMPARE(run.process().exitStatus(), QProcess::NormalExit);
    QCOMPARE(lockHolder(base), answer == "Открыть всё равно" ? QCoreApplication::applicationPid() : 0);
    QVERIFY(fx.ui.unexpected.isEmpty());
}

void TstFileSafety::staleLockTakenOverAndLocksReleased()
{
    DocFixture fx;
    Document& doc = fx.form->document();
    const QString first = fx.folder.copySample("diodes.QDB");
    const QString second = fx.folder.copySample("leds.QDB");
    veltris::ProcessStamp gone = veltris::currentProcess();
    gone.pid = endedProcess();
    QVERIFY(veltris::writeFileAtomic(toFsPath(lockOf(first)), gone.toText()).ok());

    QVERIFY(doc.load(first));
    QVERIFY(fx.ui.choices.isEmpty());  // stale: taken over without a word
    QVERIFY(!doc.isReadOnly());
    QCOMPARE(lockHolder(first), QCoreApplication::applicationPid());
    QCOMPARE(doc.lockFile(), lockOf(first));
    QVERIFY(QFileInfo(doc.lockFile()).fileName().startsWith('.'));  // hidden

    QVERIFY(doc.load(second));  // Open of another base
    QVERIFY(!QFile::exists(lockOf(first)));
    QVERIFY(QFile::exists(lockOf(second)));
    QVERIFY(doc.load(second));  // the same one again keeps its lock
    QVERIFY(QFile::exists(lockOf(second)));
    fx.ui.rejectDialog("baseParametersDialog");
    fx.form->newBase();
    QVERIFY(!QFile::exists(lockOf(second)));
    QVERIFY(doc.load(first));
    QVERIFY(fx.form->close());
    QVERIFY(!QFile::exists(lockOf(first)));

    // Where no lock can be made, the base opens as it always did, editable.
    DocFixture other;
    const QString longName = other.folder.file(QString(250, 'b') + ".QDB");
    QVERIFY(QFile::copy(first, longName));
    QVERIFY(other.form->document().load(longName));
    QVERIFY(other.form->document().lockFile().isEmpty());
    QVERIFY(!other.form->document().isReadOnly());
    QVERIFY(fx.ui.unexpected.isEmpty() && other.ui.unexpected.isEmpty());
}

void TstFileSafety::recoveryAfterTheProgramIsKilled()
{
    ProgramRun run;
    const QString base = run.folder().copySample("diodes.QDB");
    // What the user would have saved, had the program not been killed.
    DocFixture reference;
    const QString copy = reference.folder.file("same.QDB");
    QVERIFY(QFile::copy(base, copy));
    QVERIFY(reference.form->document().load(copy));
    QVERIFY(reference.form->document().deleteRecord(1));
    QVERIFY(reference.form->document().save());
    const QByteArray expected = fileBytes(copy);
    QVERIFY(expected != fileBytes(base));

    // The program deletes a record (F8), keeps it in a recovery file a few seconds later, and
    // is killed.
    QVERIFY(run.start({base}, {"deleteRecordAction"}));
    QVERIFY(run.waitForActions());
    QTRY_VERIFY_WITH_TIMEOUT(recoveryFiles(run.recoveryDir()).size() == 1, 20000);
    run.signal(SIGKILL);
    QVERIFY(run.waitForExit());
    QVERIFY(QFile::exists(lockOf(base)));  // left behind by the killed program

    // Started again: the changes are offered, restored under the base's name, and saved.
    ScriptedUi ui;
    ui.choiceAnswers << "Да";
    TestWindow form(run.paths(), ui, {});
    showAndStart(form);
    QCOMPARE(ui.choices.size(), 1);  // the killed program's lock is stale: not asked about
    const QString offer = ui.choices[0].text;
    QVERIFY2(offer.startsWith("Найдены несохранённые изменения базы «" + base + "» от "), qPrintable(offer));
    QVERIFY2(offer.endsWith(". Восстановить?"), qPrintable(offer));
    QCOMPARE(ui.choices[0].buttons, (QStringList{"Да", "Нет"}));
    Document& doc = form.document();
    QCOMPARE(doc.fileName(), base);
    QVERIFY(doc.isModified());
    QVERIFY(!doc.isReadOnly());
    QCOMPARE(lockHolder(base), QCoreApplication::applicationPid());
    QCOMPARE(form.mainModel()->rowCount(), doc.base().recordCount());
    QVERIFY(doc.save());
    QCOMPARE(fileBytes(base), expected);
    QVERIFY(recoveryFiles(run.recoveryDir()).isEmpty());
    QVERIFY(ui.unexpected.isEmpty());
}

void TstFileSafety::terminationSignalKeepsTheChanges()
{
    ProgramRun run;
    const QString base = run.folder().copySample("diodes.QDB");
    const QByteArray onDisk = fileBytes(base);
    QVERIFY(run.start({base}, {"deleteRecordAction"}));
    QVERIFY(run.waitForActions());
    run.signal(SIGTERM);  // at once: before the recovery file's own time
    QVERIFY(run.waitForExit(10000));
    QCOMPARE(run.process().exitStatus(), QProcess::NormalExit);
    QCOMPARE(run.process().exitCode(), 0);
    const QStringList kept = recoveryFiles(run.recoveryDir());
    QCOMPARE(kept.size(), 1);
    QCOMPARE(fileBytes(base), onDisk);  // nothing saved without the user's word
    QVERIFY(!QFile::exists(lockOf(base)));
    auto info = veltris::decodeRecoveryInfo(fileBytes(run.recoveryDir() + "/" + kept[0]).toStdString());
    QVERIFY(info.ok());
    QCOMPARE(fromFsPath(info->basePath), base);

    // Without changes SIGHUP ends it with nothing to keep.
    QVERIFY(QFile::remove(run.recoveryDir() + "/" + kept[0]));
    QVERIFY(run.start({base}));
    QTRY_VERIFY_WITH_TIMEOUT(lockHolder(base) == run.pid(), 20000);
    run.signal(SIGHUP);
    QVERIFY(run.waitForExit(10000));
    QCOMPARE(run.process().exitStatus(), QProcess::NormalExit);
    QVERIFY(recoveryFiles(run.recoveryDir()).isEmpty());
    QVERIFY(!QFile::exists(lockOf(base)));
}

void TstFileSafety::recoveryOffersAtStart()
{
    AppFolder folder;
    folder.writeSettings("[Settings]\nShowNav=0\n");
    const QString dir = folder.paths().recoveryDir;
    QVERIFY(QDir().mkpath(dir));
    const auto write = [&](const QString& name, const veltris::ProcessStamp& owner) {
        veltris::RecoveryInfo info;
        info.owner = owner;
        veltris::ComponentBase b = veltris::makeEmptyBase(veltris::Catalogue(), "");
        b.table.setCell(1, 0, "TYPED");
        QVERIFY(veltris::writeFileAtomic(toFsPath(dir + "/" + name), *veltris::encodeRecovery(info, b)).ok());
    };
    veltris::ProcessStamp running = veltris::currentProcess();
    running.pid = 1;
    running.startTicks = 0;
    write("running.recovery", running);
    veltris::ProcessStamp ended = veltris::currentProcess();
    ended.pid = endedProcess();
    write("declined.recovery", ended);
    write("unanswered.recovery", ended);
    write("claimed.recovery", ended);
    QVERIFY(veltris::writeFileAtomic(toFsPath(dir + "/garbage.recovery"), "not a recovery file").ok());
    // Offered newest first: the unreadable one, the declined one, the one left unanswered.
    const auto now = std::filesystem::file_time_type::clock::now();
    const auto age = [&](const char* name, int seconds) {
        std::filesystem::last_write_time(toFsPath(dir + "/" + name), now - std::chrono::seconds(seconds));
    };
    age("declined.recovery", 10);
    age("unanswered.recovery", 15);
    age("claimed.recovery", 17);
    age("running.recovery", 20);
    // Another program starting at the same time holds one of them (a lock of the file's own,
    // as that program's claim would be).
    veltris::RecoveryClaim other = veltris::RecoveryClaim::claim(toFsPath(dir + "/claimed.recovery"));
    QVERIFY(other);

    ScriptedUi ui;
    ui.choiceAnswers << "Нет" << ScriptedUi::kClosed;
    {
        TestWindow form(folder.paths(), ui, {});
        showAndStart(form);
        QVERIFY(!form.document().isModified());
    }
    // The unreadable one is said and set aside; the one of a running program and the one
    // another program holds are not offered; the declined one is gone; the one whose question
    // was closed without an answer (Escape) stays for the next start.
    QCOMPARE(ui.messages.size(), 1);
    const QString unreadable = "Не удалось прочитать файл восстановления «" + dir + "/garbage.recovery»: ";
    QVERIFY(ui.messageTexts().filter(unreadable).size() == 1);
    QVERIFY(ui.messageTexts().filter("Он перенесён в «" + dir + "/damaged/garbage.recovery».").size() == 1);
    QVERIFY(QFile::exists(dir + "/damaged/garbage.recovery"));
    const QString offer = "Найдены несохранённые изменения базы «без имени» от " +
                          QString::fromStdString(veltris::formatLocalTime(ended.time)) + ". Восстановить?";
    QCOMPARE(ui.choices.size(), 2);
    for (const auto& c : ui.choices) {
        QCOMPARE(c.text, offer);
        QCOMPARE(c.buttons, (QStringList{"Да", "Нет"}));
    }
    QCOMPARE(recoveryFiles(dir),
             (QStringList{"claimed.recovery", "running.recovery", "unanswered.recovery"}));

    // Once the other program lets it go, the next start offers it (and the unanswered one).
    other.release();
    ui.choiceAnswers << ScriptedUi::kClosed << ScriptedUi::kClosed;
    {
        TestWindow form(folder.paths(), ui, {});
        showAndStart(form);
    }
    QCOMPARE(ui.choices.size(), 4);
    QCOMPARE(recoveryFiles(dir),
             (QStringList{"claimed.recovery", "running.recovery", "unanswered.recovery"}));
    QVERIFY(ui.unexpected.isEmpty());
}

// A program that restored a recovery file holds it while it runs: a second program starting
// then is not offered it, even before the first has written it again under its own stamp.
void TstFileSafety::restoredRecoveryIsHeldByItsProgram()
{
    AppFolder folder;
    folder.writeSettings("[Settings]\nShowNav=0\n");
    const QString dir = folder.paths().recoveryDir;
    QVERIFY(QDir().mkpath(dir));
    veltris::RecoveryInfo info;
    info.owner = veltris::currentProcess();
    info.owner.pid = endedProcess();
    veltris::ComponentBase b = veltris::makeEmptyBase(veltris::Catalogue(), "");
    b.table.setCell(1, 0, "TYPED");
    const QString file = dir + "/orphan.recovery";
    QVERIFY(veltris::writeFileAtomic(toFsPath(file), *veltris::encodeRecovery(info, b)).ok());

    // The second program starts while the first is still asking.
    ScriptedUi first;
    first.choiceAnswers << "Да";
    ScriptedUi second;
    second.choiceAnswers << "Нет";  // what it would answer, were it asked
    first.whenAsked = [&] {
        // The first one's question has the focus: the second is shown, not made active.
        TestWindow starting(folder.paths(), second, {});
        QSignalSpy started(&starting, &MainWindow::started);
        starting.show();
        QTRY_COMPARE(started.count(), 1);
    };
    TestWindow restoring(folder.paths(), first, {});
    QSignalSpy started(&restoring, &MainWindow::started);
    restoring.show();  // the second window takes the activation meanwhile
    QTRY_COMPARE(started.count(), 1);
    QCOMPARE(first.choices.size(), 1);
    QVERIFY(second.choices.isEmpty());
    QVERIFY(restoring.document().isModified());
    QCOMPARE(restoring.document().base().table.cell(1, 0), std::string("TYPED"));
    QVERIFY(QFile::exists(file));  // kept, now under the first program's stamp
    auto kept = veltris::decodeRecoveryInfo(fileBytes(file).toStdString());
    QVERIFY(kept.ok());
    QCOMPARE(qint64(kept->owner.pid), QCoreApplication::applicationPid());
    QVERIFY(first.unexpected.isEmpty());
}

void TstFileSafety::recoveryFileFollowsTheChanges()
{
    DocFixture fx;
    const QString path = fx.openSample("diodes.QDB");
    Document& doc = fx.form->document();
    RecoveryKeeper& keeper = doc.recovery();
    keeper.setDelays(50, 60000);
    QVERIFY(doc.deleteRecord(1));
    QTRY_VERIFY(!keeper.file().isEmpty() && QFile::exists(keeper.file()));
    QVERIFY(!keeper.file().startsWith(QFileInfo(path).absolutePath() + "/" + QFileInfo(path).fileName()));
    auto kept = veltris::decodeRecovery(fileBytes(keeper.file()).toStdString(), doc.catalogue());
    QVERIFY(kept.ok());
    QCOMPARE(fromFsPath(kept->info.basePath), path);
    QCOMPARE(kept->base.recordCount(), doc.base().recordCount());
    const QString file = keeper.file();
    QVERIFY(doc.save());
    QVERIFY(!QFile::exists(file));  // saved: nothing to keep

    // Undo and redo are changes too: undone behind the save, the base is kept again as undone;
    // redone to the saved state, nothing is.
    const int savedRecords = doc.base().recordCount();
    fx.form->undoAction()->trigger();
    QTRY_VERIFY(!keeper.file().isEmpty() && QFile::exists(keeper.file()));
    auto undone = veltris::decodeRecovery(fileBytes(keeper.file()).toStdString(), doc.catalogue());
    QVERIFY(undone.ok());
    QCOMPARE(undone->base.recordCount(), savedRecords + 1);
    const QString undoneFile = keeper.file();
    fx.form->redoAction()->trigger();
    QVERIFY(!QFile::exists(undoneFile));

    // Changes that go on without a pause are kept all the same, at the longest wait.
    keeper.setDelays(400, 600);
    bool keptWhileChanging = false;
    for (int i = 0; i < 20 && !keptWhileChanging; ++i) {
        QVERIFY(doc.deleteRecord(1));
        QTest::qWait(100);
        keptWhileChanging = !keeper.file().isEmpty() && QFile::exists(keeper.file());
    }
    QVERIFY(keptWhileChanging);

    // Given up at New: gone.
    const QString second = keeper.file();
    fx.ui.messageAnswers << Answer::No;
    fx.ui.rejectDialog("baseParametersDialog");
    fx.form->newBase();
    QVERIFY(!QFile::exists(second));
    QVERIFY(fx.ui.unexpected.isEmpty());
}

void TstFileSafety::endOfSession()
{
    {
        DocFixture fx;
        fx.openSample("diodes.QDB");
        Document& doc = fx.form->document();
        QVERIFY(doc.deleteRecord(1));
        // The session manager lets the program ask: the prompt of a close.
        fx.ui.messageAnswers << Answer::Cancel;
        QVERIFY(!fx.form->endOfSession(true));
        QCOMPARE(fx.ui.messageTexts(), QStringList{"Файл не сохранён.\r\nСохранить?"});
        fx.ui.messageAnswers << Answer::No;
        QVERIFY(fx.form->endOfSession(true));
        QVERIFY(fx.form->close());  // asks nothing more
        QCOMPARE(fx.ui.messages.size(), 2);
        QVERIFY(recoveryFiles(fx.folder.paths().recoveryDir).isEmpty());
        QVERIFY(fx.ui.unexpected.isEmpty());
    }
    {
        // It may not ask: the changes go to the recovery file and stay there.
        DocFixture fx;
        const QString path = fx.openSample("diodes.QDB");
        QVERIFY(fx.form->document().deleteRecord(1));
        QVERIFY(fx.form->endOfSession(false));
        QVERIFY(fx.form->close());
        QVERIFY(fx.ui.messages.isEmpty());
        QCOMPARE(recoveryFiles(fx.folder.paths().recoveryDir).size(), 1);
        QVERIFY(!QFile::exists(lockOf(path)));
    }
}

QTEST_MAIN(TstFileSafety)
#include "tst_filesafety.moc"
