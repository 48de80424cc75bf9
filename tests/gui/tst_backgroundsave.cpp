// Save and Save as of a big base: the file is written on a worker thread while a window-modal
// progress window shows what is done, the command returns at once, and the end is reported.
#include <QAction>
#include <QDialog>
#include <QDir>
#include <QLabel>
#include <QSignalSpy>
#include <QTest>

#include "base/basefile.h"
#include "docfixture.h"

using namespace Qt::StringLiterals;

class TstBackgroundSave : public QObject {
    Q_OBJECT
private slots:
    void saveRunsBehindAProgressWindow();
    void failedBackgroundSaveKeepsTheFlagAndSaysSo();
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
    auto* progress = fx.form->findChild<QDialog*>(u"SaveProgress"_s);
    QVERIFY(progress && progress->isVisible());
    QCOMPARE(progress->windowModality(), Qt::WindowModal);
    QVERIFY(progress->findChild<QLabel*>(u"SaveProgressText"_s)->text().contains(u"bipolar.QDB"_s));
    QVERIFY(!fx.form->close());  // the window waits for the save

    QTRY_COMPARE(finished.count(), 1);
    QCOMPARE(finished[0][0].toBool(), true);
    QVERIFY(!doc.isSaving());
    QVERIFY(!doc.isModified());
    QVERIFY(fx.form->findChild<QDialog*>(u"SaveProgress"_s) == nullptr);
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
}

QTEST_MAIN(TstBackgroundSave)
#include "tst_backgroundsave.moc"
