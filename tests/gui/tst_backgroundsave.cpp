// Save and Save as of a big base: the file is written on a worker thread while a window-modal
// progress window shows what is done, the command returns at once, and the end is reported.
#include <QAction>
#include <QDialog>
#include <QDir>
#include <QLabel>
#include <QSignalSpy>
#include <QTest>

#include "base/basefile.h"
#include "base/fileio.h"
#include "docfixture.h"
#include "document/recoverykeeper.h"
#include "widgets/apputil.h"

using namespace Qt::StringLiterals;

class TstBackgroundSave : public QObject {
    Q_OBJECT
private slots:
    void saveRunsBehindAProgressWindow();
    void failedBackgroundSaveKeepsTheFlagAndSaysSo();
    void recoveryFileWaitsForTheSave();
    void baseBiggerThanATextFileOpensAndSavesBack();
    void fileChangedOnDiskIsAskedAboutBeforeTheWrite_data();
    void fileChangedOnDiskIsAskedAboutBeforeTheWrite();
};

void TstBackgroundSave::saveRunsBehindAProgressWindow()
{
    DocFixture fx;
    const QString path = fx.openSample(u"bipolar.QDB"_s);
    Document& doc = fx.form->document();
    doc.setBackgroundSaveFrom(1);  // the sample stands for a base of millions of records
    doc.base().table.setCell(1, 0, "NEW");
    doc.setModified(true);
    fx.form->show();
    QVERIFY(QTest::qWaitForWindowExposed(fx.form.get()));

    QSignalSpy finished(&doc, &Document::saveFinished);
    fx.form->findChild<QAction*>(u"saveBaseAction"_s)->trigger();
    // The command has returned; the write goes on behind the progress window.
    QVERIFY(doc.isSaving());
    auto* progress = fx.form->findChild<QDialog*>(u"saveProgress"_s);
    QVERIFY(progress && progress->isVisible());
    QCOMPARE(progress->windowModality(), Qt::WindowModal);
    QVERIFY(progress->findChild<QLabel*>(u"saveProgressText"_s)->text().contains(u"bipolar.QDB"_s));
    QVERIFY(!fx.form->close());  // the window waits for the save

    QTRY_COMPARE(finished.count(), 1);
    QCOMPARE(finished[0][0].toBool(), true);
    QVERIFY(!doc.isSaving());
    QVERIFY(!doc.isModified());
    QVERIFY(fx.form->findChild<QDialog*>(u"saveProgress"_s) == nullptr);
    QCOMPARE(fileBytes(path), QByteArray::fromStdString(*veltris::encodeBase(doc.base())));
    QVERIFY(fx.ui.messages.isEmpty());
}

void TstBackgroundSave::failedBackgroundSaveKeepsTheFlagAndSaysSo()
{
    DocFixture fx;
    fx.openSample(u"bipolar.QDB"_s);
    Document& doc = fx.form->document();
    doc.setBackgroundSaveFrom(1);
    doc.setModified(true);
    fx.ui.saveAnswers << fx.folder.file(u"missing/folder/new.QDB"_s);
    QSignalSpy finished(&doc, &Document::saveFinished);
    fx.form->findChild<QAction*>(u"saveBaseAsAction"_s)->trigger();
    QTRY_COMPARE(finished.count(), 1);
    QCOMPARE(finished[0][0].toBool(), false);
    QVERIFY(doc.isModified());
    QCOMPARE(fx.ui.messageTexts(), QStringList{u"Ошибка записи в файл"_s});
    // The changes are still only in memory: their recovery file is due again.
    QVERIFY(doc.recovery().writePlanned());
}

// A change is followed by a save within the recovery file's delay: the file, as long to write as
// the save, is not written on the window's thread while the save runs (the window would stop
// for it); a save that succeeds leaves none.
void TstBackgroundSave::recoveryFileWaitsForTheSave()
{
    DocFixture fx;
    fx.openSample(u"bipolar.QDB"_s);
    Document& doc = fx.form->document();
    doc.setBackgroundSaveFrom(1);
    doc.recovery().setDelays(1, 60000);
    doc.setModified(true);
    QVERIFY(doc.recovery().writePlanned());

    QSignalSpy finished(&doc, &Document::saveFinished);
    fx.form->findChild<QAction*>(u"saveBaseAction"_s)->trigger();
    QVERIFY(doc.isSaving());
    QVERIFY(!doc.recovery().writePlanned());
    QTRY_COMPARE(finished.count(), 1);
    QCOMPARE(finished[0][0].toBool(), true);
    QVERIFY(!doc.recovery().writePlanned());
    QVERIFY(doc.recovery().file().isEmpty());
    QVERIFY(fx.ui.messages.isEmpty());
}

// A base of some 60,000 records (over 16 MB, more than any settings or catalogue file may be)
// opens, and the save, which first reads the file back to see that nobody changed it, writes it
// back unchanged.
void TstBackgroundSave::baseBiggerThanATextFileOpensAndSavesBack()
{
    DocFixture fx;
    const QByteArray sample = fileBytes(fx.folder.copySample(u"bipolar.QDB"_s));
    const int recordBytes = veltris::recordSize(
        veltris::formatVersion(reinterpret_cast<const std::uint8_t*>(sample.constData())));
    QVERIFY(recordBytes > 0);
    const QByteArray records = sample.mid(veltris::kLeadSize);
    QByteArray big = sample.left(veltris::kLeadSize);
    while (big.size() <= (16 << 20))
        big += records;
    const QString path = fx.folder.file(u"big.QDB"_s);
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(big) == big.size());
    file.close();

    Document& doc = fx.form->document();
    QVERIFY(doc.load(path));
    QVERIFY(fx.ui.messages.isEmpty());
    QCOMPARE(doc.base().recordCount(), (big.size() - veltris::kLeadSize) / recordBytes);
    doc.setBackgroundSaveFrom(1);
    doc.setModified(true);
    QSignalSpy finished(&doc, &Document::saveFinished);
    fx.form->findChild<QAction*>(u"saveBaseAction"_s)->trigger();
    QTRY_COMPARE(finished.count(), 1);
    QCOMPARE(finished[0][0].toBool(), true);
    QVERIFY(fx.ui.messages.isEmpty());
    QCOMPARE(fileBytes(path), big);
}

void TstBackgroundSave::fileChangedOnDiskIsAskedAboutBeforeTheWrite_data()
{
    QTest::addColumn<QString>("answer");
    QTest::newRow("overwrite") << u"Сохранить поверх"_s;
    QTest::newRow("cancel") << u"Отмена"_s;
}

// The file is compared with what was loaded on the worker (reading a very large file would stop
// the window); another program's change is then put to the user before anything is written.
void TstBackgroundSave::fileChangedOnDiskIsAskedAboutBeforeTheWrite()
{
    QFETCH(QString, answer);
    DocFixture fx;
    const QString path = fx.openSample(u"bipolar.QDB"_s);
    Document& doc = fx.form->document();
    doc.setBackgroundSaveFrom(1);
    doc.base().table.setCell(1, 0, "OURS");
    doc.setModified(true);
    const QByteArray ours = QByteArray::fromStdString(*veltris::encodeBase(doc.base()));
    QByteArray theirs = fileBytes(path);
    theirs[veltris::kLeadSize] = 'T';  // the first letter of the first name
    QVERIFY(veltris::writeFileAtomic(toFsPath(path), theirs.toStdString()).ok());

    fx.ui.choiceAnswers << answer;
    QSignalSpy finished(&doc, &Document::saveFinished);
    fx.form->findChild<QAction*>(u"saveBaseAction"_s)->trigger();
    QVERIFY(fx.ui.choices.isEmpty());  // not asked yet: the command returned at once
    QTRY_COMPARE(finished.count(), 1);
    QCOMPARE(fx.ui.choices.size(), 1);
    QVERIFY(fx.ui.choices[0].text.startsWith(u"Файл «"_s + path + u"» изменён другой программой.\r\n"_s));
    const bool overwrite = answer == u"Сохранить поверх"_s;
    QCOMPARE(finished[0][0].toBool(), overwrite);
    QCOMPARE(fileBytes(path), overwrite ? ours : theirs);
    QCOMPARE(doc.isModified(), !overwrite);
    QVERIFY(!doc.isSaving());
    QVERIFY(fx.ui.messages.isEmpty());
}

QTEST_MAIN(TstBackgroundSave)
#include "tst_backgroundsave.moc"
