// New, Open, Save, Save as and the CSV export behind the unsaved-changes prompt.
#undef QT_NO_CAST_FROM_ASCII
#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTest>

#include <sys/stat.h>

#include "base/basefile.h"
#include "base/catalogue.h"
#include "base/csvexport.h"
#include "base/xlsxread.h"
#include "docfixture.h"
#include "edit/baseparametersdialog.h"
#include "search/searchpage.h"
#include "widgets/apputil.h"
#include "widgets/componentgrid.h"

namespace {

QStringList bipolarFirstNames(const veltris::Catalogue& cat)
{
    QStringList names;
    for (int c = 1; c <= 30; ++c)
        names << cpToQString(cat.name(1, c, 1));
    return names;
}

QStringList titles(const veltris::Table& t)
{
    QStringList out;
    for (int c = 1; c < t.columnCount(); ++c)
        out << cpToQString(t.cell(0, c));
    return out;
}

// The empty bipolar base that start-up and New leave behind.
void verifyEmptyBipolarBase(const MainWindow& form)
{
    const veltris::ComponentBase& b = form.document().base();
    QCOMPARE(b.deviceType, 1);
    QCOMPARE(b.table.columnCount(), 31);
    QCOMPARE(b.table.rowCount(), 2);
    for (int c = 0; c < 31; ++c)
        QVERIFY(b.table.cell(1, c).empty());
    QCOMPARE(titles(b.table), bipolarFirstNames(form.document().catalogue()));
    QCOMPARE(cpToQString(b.table.cell(0, 0)), QStringLiteral("Тип прибора"));
    for (int i = 0; i < 30; ++i) {
        QCOMPARE(int(b.columnMap[i]), 1);
        QCOMPARE(int(b.viewMask[i]), 0);
    }
    QCOMPARE(b.header, veltris::defaultBaseHeader());
    QCOMPARE(form.document().secondTable().columnCount(), 2);
    QVERIFY(form.document().fileName().isEmpty());
}

}  // namespace

class TstDocument : public QObject {
    Q_OBJECT
private slots:
    void newCancelledLeavesCleanBipolarBase();
    void saveAfterNewWritesTheEmptyBaseFile();
    void newAsDiodes();
    void promptAnswers_data();
    void promptAnswers();
    void openDialogAndRefusedFiles();
    void exportOfNewBase();
    void exportToWorkbookFromTheMenu();
    void exportOfLoadedSortedBase();
    void exportFailureLeavesNoFile();
    void saveFailureMakesTheBadCellCurrent();
    void saveKeepsTheFilesMode_data();
    void saveKeepsTheFilesMode();
    void lastRecordCutShortIsSaidOnce();
};

void TstDocument::newCancelledLeavesCleanBipolarBase()
{
    DocFixture fx;
    fx.openSample("diodes.QDB");
    fx.form->searchPage()->fillSelectionGrid();
    QVERIFY(!fx.form->searchPage()->selectionGrid().cell(1, 0).empty());
    fx.form->document().setModified(true);
    fx.ui.messageAnswers << Answer::No;
    bool buttonsDuringNew = false;
    fx.ui.onDialog("baseParametersDialog", [&](QDialog* d) {
        buttonsDuringNew = dialogButton(d, "typeButton3")->isEnabled();
        QTest::keyClick(d, Qt::Key_Escape);
        return d->result();
    });
    fx.form->newBase();

    QVERIFY(buttonsDuringNew);
    QVERIFY(!dialogButton(fx.form->baseParametersDialog(), "typeButton3")->isEnabled());
    const veltris::Table& grid3 = fx.form->searchPage()->selectionGrid();
    for (int r = 0; r < grid3.rowCount(); ++r)
        for (int c = 0; c < grid3.columnCount(); ++c)
            QVERIFY(grid3.cell(r, c).empty());
    verifyEmptyBipolarBase(*fx.form);
    QVERIFY(!fx.form->document().isModified());
    // Not modified: closing asks nothing.
    QVERIFY(fx.form->close());
    QCOMPARE(fx.ui.messages.size(), 1);
    QVERIFY(fx.ui.unexpected.isEmpty());
}

void TstDocument::saveAfterNewWritesTheEmptyBaseFile()
{
    DocFixture fx;
    fx.ui.rejectDialog("baseParametersDialog");
    fx.form->newBase();
    QDir(fx.folder.path()).mkdir("save");
    fx.ui.saveAnswers << fx.folder.file("save/empty");  // no extension typed
    QVERIFY(fx.form->saveBase());

    QCOMPARE(fx.ui.saveRequests.size(), 1);
    const FileDialogRequest& req = fx.ui.saveRequests.first();
    QCOMPARE(req.filter, QStringLiteral("QDB File (*.QDB)"));
    QCOMPARE(req.defaultSuffix, QStringLiteral("QDB"));
    QCOMPARE(req.startDir, fx.folder.path() + "/save");

    const QString path = fx.folder.file("save/empty.QDB");
    QCOMPARE(fx.form->document().fileName(), path);
    QVERIFY(!fx.form->document().isModified());
    QByteArray expected;
    expected += QByteArray("QZ\x08\x08\x28\x08", 6);
    expected += QByteArray::fromRawData(
        reinterpret_cast<const char*>(veltris::defaultBaseHeader().data()) + 6, 39);  // banner notice
    expected += QByteArray(10, '\0');
    expected += QByteArray("\x0A\x0D\x1A\x05\x01\x00\x00", 7);
    expected += char(20) + cp1251(QStringLiteral("Сделано Tarsenvolde.")) + QByteArray(84, '\0');
    expected += QByteArray(30, '\x01');
    expected += QByteArray("\x02\x00\x00\x00", 4);
    expected += QByteArray(30, '\0');
    expected += QByteArray(288, '\0');
    QCOMPARE(expected.size(), 519);
    QCOMPARE(fileBytes(path), expected);
}

void TstDocument::newAsDiodes()
{
    DocFixture fx;
    fx.ui.onDialog("baseParametersDialog", [](QDialog* d) {
        click(d, "typeButton2");  // field-effect transistors: never pressable
        click(d, "typeButton3");
        auto* p = static_cast<BaseParametersDialog*>(d);
        if (p->deviceType() != 3 || !p->comboBox(12)->isEnabled() || p->comboBox(13)->isEnabled())
            return int(QDialog::Rejected);
        click(d, "okButton");
        return d->result();
    });
    fx.form->newBase();

    const veltris::ComponentBase& b = fx.form->document().base();
    QCOMPARE(b.deviceType, 3);
    QCOMPARE(b.table.columnCount(), 13);
    QCOMPARE(b.table.rowCount(), 2);
    QStringList diodeNames;
    for (int c = 1; c <= 12; ++c)
        diodeNames << cpToQString(fx.form->document().catalogue().name(3, c, 1));
    QCOMPARE(titles(b.table), diodeNames);
    for (int i = 0; i < 30; ++i)
        QCOMPARE(int(b.columnMap[i]), i < 12 ? 1 : 0);
    QCOMPARE(fx.form->document().secondTable().columnCount(), 2);
    QCOMPARE(fx.form->mainModel()->columnCount(), 12);
    QVERIFY(fx.form->document().isModified());
    QVERIFY(!dialogButton(fx.form->baseParametersDialog(), "typeButton3")->isEnabled());

    // Saved and read back it is a diode base.
    fx.ui.saveAnswers << fx.folder.file("d.QDB");
    QVERIFY(fx.form->saveBase());
    QVERIFY(fx.form->document().load(fx.folder.file("d.QDB")));
    QCOMPARE(fx.form->document().base().deviceType, 3);
    QCOMPARE(fx.form->document().base().table.columnCount(), 13);
    QVERIFY(fx.ui.unexpected.isEmpty());
}

// The prompt before New, Open and closing a modified base.
void TstDocument::promptAnswers_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("answer");
    QTest::addColumn<bool>("goesOn");
    for (const char* command : {"new", "open", "close"}) {
        QTest::addRow("%s-yes", command) << command << "yes" << true;
        QTest::addRow("%s-no", command) << command << "no" << true;
        QTest::addRow("%s-cancel", command) << command << "cancel" << false;
        QTest::addRow("%s-yes-write-fails", command) << command << "yes-write-fails" << false;
        QTest::addRow("%s-yes-save-as-cancelled", command) << command << "yes-save-as-cancelled" << false;
    }
}

void TstDocument::promptAnswers()
{
    QFETCH(QString, command);
    QFETCH(QString, answer);
    QFETCH(bool, goesOn);

    DocFixture fx;
    const QString path = fx.openSample("bipolar.QDB");
    const QByteArray onDisk = fileBytes(path);
    fx.form->document().base().table.setCell(1, 0, "EDITED");
    fx.form->document().setModified(true);
    const QString other = fx.folder.copySample("diodes.QDB");

    QString name = path;
    if (answer == "yes-write-fails") {
        // Root ignores permissions: a folder that is a regular file fails for everyone.
        QFile blocker(fx.folder.file("blocker"));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        name = fx.folder.file("blocker/base.QDB");
    } else if (answer == "yes-save-as-cancelled") {
        name.clear();
        fx.ui.saveAnswers << QString();
    }
    fx.form->document().setFileName(name);
    fx.ui.messageAnswers << (answer == "no" ? Answer::No : answer == "cancel" ? Answer::Cancel : Answer::Yes);
    if (goesOn && command == "new")
        fx.ui.rejectDialog("baseParametersDialog");
    if (goesOn && command == "open")
        fx.ui.openAnswers << other;

    bool closed = false;
    if (command == "new")
        fx.form->newBase();
    else if (command == "open")
        fx.form->openBase();
    else
        closed = fx.form->close();

    const ScriptedUi::Message& prompt = fx.ui.messages.first();
    QCOMPARE(prompt.caption, QStringLiteral("Подтверждение"));
    QCOMPARE(prompt.text, QStringLiteral("Файл не сохранён.\r\nСохранить?"));
    QCOMPARE(prompt.icon, MessageIcon::None);
    QCOMPARE(prompt.buttons, Answer::Yes | Answer::No | Answer::Cancel);
    QVERIFY(fx.ui.unexpected.isEmpty());
    QVERIFY(fx.ui.allAnswersUsed());

    if (answer == "yes-write-fails")
        QCOMPARE(fx.ui.messages.last().text, QStringLiteral("Ошибка записи в файл"));
    // Yes saved the edit; every other answer left the file alone.
    const bool saved = answer == "yes";
    QCOMPARE(fileBytes(path) != onDisk, saved);

    if (!goesOn) {
        QVERIFY(fx.form->document().isModified());
        QCOMPARE(fx.form->document().fileName(), name);
        QCOMPARE(fx.form->document().base().table.cell(1, 0), std::string("EDITED"));
        QVERIFY(fx.ui.openRequests.isEmpty());
        QVERIFY(fx.ui.dialogs.isEmpty());
        QVERIFY(!closed);
        return;
    }
    if (command == "new") {
        verifyEmptyBipolarBase(*fx.form);
        QVERIFY(!fx.form->document().isModified());
    } else if (command == "open") {
        QCOMPARE(fx.form->document().fileName(), other);
        QCOMPARE(fx.form->document().base().deviceType, 3);
        QVERIFY(!fx.form->document().isModified());
    } else {
        QVERIFY(closed);
    }
}

void TstDocument::openDialogAndRefusedFiles()
{
    DocFixture fx;
    const QString diodes = fx.folder.copySample("diodes.QDB");

    // Cancelled: the open dialog asks for a QDB file from the open folder; nothing else happens.
    fx.ui.openAnswers << QString();
    fx.form->openBase();
    QCOMPARE(fx.ui.openRequests.size(), 1);
    const FileDialogRequest req = fx.ui.openRequests.first();
    QCOMPARE(req.filter, QStringLiteral("QDB File (*.QDB)"));
    QCOMPARE(req.defaultSuffix, QStringLiteral("QDB"));
    QCOMPARE(req.startDir, fx.folder.path() + "/open");
    QVERIFY(req.folderChanged);
    req.folderChanged(fx.folder.path());
    QCOMPARE(cpToQString(fx.form->document().application().settings().openFolder), fx.folder.path());
    verifyEmptyBipolarBase(*fx.form);

    // A name typed without its extension.
    fx.ui.openAnswers << fx.folder.file("diodes");
    fx.form->openBase();
    QCOMPARE(fx.form->document().fileName(), diodes);
    QCOMPARE(fx.form->document().base().deviceType, 3);
    const veltris::Table loaded = fx.form->document().base().table;

    // A file of an unknown version and a missing file change nothing, name and flag included.
    QFile bad(fx.folder.file("bad.QDB"));
    QVERIFY(bad.open(QIODevice::WriteOnly));
    bad.write(QByteArray(300, '\x07'));
    bad.close();
    fx.form->document().setModified(true);
    for (const QString& name : {bad.fileName(), fx.folder.file("missing.QDB")}) {
        fx.ui.messageAnswers << Answer::No;
        fx.ui.openAnswers << name;
        fx.form->openBase();
    }
    QCOMPARE(fx.ui.messages.size(), 4);
    QCOMPARE(fx.ui.messages[1].caption, QStringLiteral("Error!"));
    QCOMPARE(fx.ui.messages[1].text, QStringLiteral("Несоответствие версии файла"));
    QCOMPARE(fx.ui.messages[1].icon, MessageIcon::Critical);
    QCOMPARE(fx.ui.messages[3].icon, MessageIcon::Critical);
    QCOMPARE(fx.form->document().fileName(), diodes);
    QVERIFY(fx.form->document().isModified());
    QVERIFY(fx.form->document().base().table == loaded);
    QVERIFY(fx.ui.unexpected.isEmpty());
}

void TstDocument::exportToWorkbookFromTheMenu()
{
    DocFixture fx;
    fx.openSample(QStringLiteral("diodes.QDB"));
    fx.ui.saveAnswers << fx.folder.file("diodes");
    QAction* action = fx.form->findChild<QAction*>(QStringLiteral("exportXlsxAction"));
    QVERIFY(action);
    QCOMPARE(action->text(), QStringLiteral("Экспорт в XLSX..."));
    action->trigger();

    const FileDialogRequest req = fx.ui.saveRequests.first();
    QCOMPARE(req.filter, QStringLiteral("Книга Excel (*.xlsx)"));
    const QByteArray bytes = fileBytes(fx.folder.file("diodes.xlsx"));
    const auto sheet =
        veltris::readWorkbookSheet(std::string_view(bytes.constData(), std::size_t(bytes.size())));
    QVERIFY(sheet.ok());
    // The rows of the table, each record's cells those of the CSV export.
    const veltris::Table& table = fx.form->document().base().table;
    QCOMPARE(int(sheet->rows.size()), table.rowCount());
    const QList<QByteArray> csv = QByteArray::fromStdString(veltris::csvBytes(table)).split('\n');
    const QList<QByteArray> second = csv.at(2).trimmed().split(';');
    const auto& row = sheet->rows.at(2).cells;
    for (int c = 0; c < int(row.size()); ++c) {
        QString want = cpToQString(second.at(c).toStdString());
        QString have = QString::fromStdString(row.at(std::size_t(c)));
        if (sheet->rows.at(2).numbers.size() > std::size_t(c) && sheet->rows.at(2).numbers.at(std::size_t(c)))
            have.replace(QLatin1Char('.'), QLatin1Char(','));
        QCOMPARE(have, want);
    }
    QVERIFY(fx.ui.unexpected.isEmpty());
}

void TstDocument::exportOfNewBase()
{
    DocFixture fx;
    fx.form->document().setModified(true);
    fx.ui.saveAnswers << fx.folder.file("new");
    fx.form->exportCsv();

    const FileDialogRequest req = fx.ui.saveRequests.first();
    QCOMPARE(req.filter, QStringLiteral("CSV - (;) (*.CSV)"));
    QCOMPARE(req.defaultSuffix, QStringLiteral("CSV"));
    QCOMPARE(req.startDir, fx.folder.path() + "/save");
    req.folderChanged(fx.folder.path());
    QCOMPARE(cpToQString(fx.form->document().application().settings().saveFolder), fx.folder.path());

    QByteArray expected = cp1251(QStringLiteral("Тип прибора;"));
    for (const QString& name : bipolarFirstNames(fx.form->document().catalogue()))
        expected += cp1251(name) + ';';
    expected += "\r\n" + QByteArray(31, ';') + "\r\n";
    QCOMPARE(fileBytes(fx.folder.file("new.CSV")), expected);
    QVERIFY(fx.form->document().isModified());
    QVERIFY(fx.form->document().fileName().isEmpty());

    // The next Save as offers base files again.
    fx.ui.saveAnswers << QString();
    QVERIFY(!fx.form->saveBaseAs());
    QCOMPARE(fx.ui.saveRequests.last().filter, QStringLiteral("QDB File (*.QDB)"));
    QCOMPARE(fx.ui.saveRequests.last().defaultSuffix, QStringLiteral("QDB"));
    QVERIFY(fx.ui.messages.isEmpty());
}

void TstDocument::exportOfLoadedSortedBase()
{
    DocFixture fx;
    const QString path = fx.openSample("bipolar.QDB");
    fx.ui.saveAnswers << fx.folder.file("as-loaded.CSV");
    fx.form->exportCsv();
    // The bytes the command-line export writes for the same file.
    auto base = veltris::readBase(toFsPath(path), fx.form->document().catalogue());
    QVERIFY(base.ok());
    base->table.setCell(0, 0, qStringToCp(QStringLiteral("Тип прибора")));
    const QByteArray asLoaded = QByteArray::fromStdString(veltris::csvBytes(base->table));
    QCOMPARE(fileBytes(fx.folder.file("as-loaded.CSV")), asLoaded);

    // Sorted by name (a right press on the top-left cell): rows in the table's order.
    fx.form->sortByColumn(fx.form->mainGrid(), 0);
    fx.ui.saveAnswers << fx.folder.file("sorted.CSV");
    fx.form->exportCsv();
    const QList<QByteArray> lines = fileBytes(fx.folder.file("sorted.CSV")).split('\n');
    QCOMPARE(lines.size(), fx.form->document().base().table.rowCount() + 1);  // the last CR LF ends the file
    QStringList names;
    for (int r = 1; r < fx.form->document().base().table.rowCount(); ++r)
        names << QString::fromLatin1(lines[r].left(lines[r].indexOf(';')));
    QVERIFY(names.size() > 2);
    QStringList sorted = names;
    std::sort(sorted.begin(), sorted.end());
    QCOMPARE(names, sorted);
    QVERIFY(fileBytes(fx.folder.file("sorted.CSV")) != asLoaded);
    QVERIFY(fx.ui.messages.isEmpty());
}

void TstDocument::exportFailureLeavesNoFile()
{
    DocFixture fx;
    QDir dir(fx.folder.path());
    QVERIFY(dir.mkdir("taken.CSV"));  // a folder where the file should go
    const QStringList before = dir.entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
    fx.ui.saveAnswers << fx.folder.file("taken.CSV");
    fx.form->exportCsv();
    QCOMPARE(fx.ui.messages.size(), 1);
    QCOMPARE(fx.ui.messages[0].caption, QStringLiteral("Ошибка"));
    QCOMPARE(fx.ui.messages[0].text, QStringLiteral("Ошибка записи в файл"));
    QCOMPARE(fx.ui.messages[0].icon, MessageIcon::Critical);
    QCOMPARE(fx.ui.messages[0].buttons, Answer::Ok);
    QCOMPARE(dir.entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden), before);
    QVERIFY(QFileInfo(fx.folder.file("taken.CSV")).isDir());
}

void TstDocument::saveFailureMakesTheBadCellCurrent()
{
    DocFixture fx;
    const QString path = fx.openSample("bipolar.QDB");
    const QByteArray onDisk = fileBytes(path);
    // A text no number reads from, put in as an edit would.
    fx.form->document().base().table.setCell(3, 5, "1,2,3");
    fx.form->mainGrid()->setCurrentCoreCell(1, 1);
    QVERIFY(!fx.form->saveBase());
    QCOMPARE(fx.ui.messages.size(), 1);
    QCOMPARE(fx.ui.messages[0].caption, QStringLiteral("Ошибка"));
    // The message names the record, the column and the text.
    const QString name = cpToQString(fx.form->document().base().table.cell(3, 0));
    const QString title = cpToQString(fx.form->document().base().table.cell(0, 5)).replace(u'|', u' ');
    QCOMPARE(fx.ui.messages[0].text,
             QStringLiteral("Ошибка записи в файл: запись «%1» (строка 3), столбец «%2»: "
                            "«1,2,3» не читается как значение этого столбца")
                 .arg(name, title));
    QCOMPARE(fx.form->mainGrid()->currentCoreRow(), 3);
    QCOMPARE(fx.form->mainGrid()->currentCoreColumn(), 5);
    QCOMPARE(fileBytes(path), onDisk);
}

void TstDocument::saveKeepsTheFilesMode_data()
{
    QTest::addColumn<int>("mode");
    QTest::addRow("shared 0666") << 0666;
    QTest::addRow("group 0640") << 0640;
}

// A base shared with others stays shared after a user with a strict umask saves it.
void TstDocument::saveKeepsTheFilesMode()
{
    QFETCH(int, mode);
    const mode_t before = ::umask(077);
    DocFixture fx;
    const QString path = fx.openSample("bipolar.QDB");
    const QByteArray path8 = QFile::encodeName(path);
    QCOMPARE(::chmod(path8.constData(), static_cast<mode_t>(mode)), 0);
    const QByteArray onDisk = fileBytes(path);
    fx.form->document().base().table.setCell(1, 0, "EDITED");
    fx.form->document().setModified(true);

    fx.form->findChild<QAction*>(QStringLiteral("saveBaseAction"))->trigger();
    ::umask(before);
    QVERIFY(fx.ui.messages.isEmpty());
    QVERIFY(!fx.form->document().isModified());
    QVERIFY(fileBytes(path) != onDisk);
    struct stat st {};
    QCOMPARE(::stat(path8.constData(), &st), 0);
    QCOMPARE(int(st.st_mode & 07777), mode);
    QCOMPARE(QDir(QFileInfo(path).path()).entryList(QDir::Files).filter(".tmp-"), QStringList());
}

// A base whose last record is cut short opens with its whole records, and says once what was left.
void TstDocument::lastRecordCutShortIsSaidOnce()
{
    DocFixture fx;
    const QString path = fx.folder.file(QStringLiteral("cut.QDB"));
    QVERIFY(QFile::copy(
        QStringLiteral(VELTRIS_SOURCE_DIR "/tests/fixtures/bases/truncated-last-record/base.QDB"), path));
    QVERIFY(fx.form->document().load(path));
    QCOMPARE(fx.form->document().base().recordCount(), 1);
    QCOMPARE(fx.form->document().fileName(), path);
    QVERIFY(!fx.form->document().isModified());
    QCOMPARE(fx.ui.messageTexts(),
             QStringList{QStringLiteral("Последняя запись файла неполная (150 байт) и не прочитана.")});
    QCOMPARE(fx.ui.messages[0].icon, MessageIcon::Warning);
    // A whole base says nothing.
    fx.openSample("diodes.QDB");
    QCOMPARE(fx.ui.messages.size(), 1);
}

QTEST_MAIN(TstDocument)
#include "tst_document.moc"
