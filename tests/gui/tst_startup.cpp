// Start-up, settings and shutdown of the main window.
#include <QAction>
#include <QFile>
#include <QTabWidget>
#include <QTest>

#include "app/componentgrid.h"
#include "app/sdimain.h"
#include "app/startup.h"
#include "appfolder.h"
#include "base/cp1251.h"
#include "scriptedui.h"

class TstStartup : public QObject {
    Q_OBJECT
private slots:
    void defaultsWithoutSettingsFile();
};

void TstStartup::defaultsWithoutSettingsFile()
{
    AppFolder folder;
    ScriptedUi ui;
    {
        TSDIAppForm form(folder.paths(), ui, {});
        QCOMPARE(form.windowTitle(), QStringLiteral("Вельтрис"));
        QVERIFY(!form.terminationRequested());
        QCOMPARE(form.size(), QSize(1032, 748));
        QCOMPARE(form.settings().iStandard, 100);
        QCOMPARE(form.deviceLabel(), QStringLiteral("Тип прибора"));
        QCOMPARE(form.base().table.columnCount(), 31);
        QCOMPARE(form.base().table.rowCount(), 2);
        QVERIFY(!form.isModified());
        QVERIFY(form.fileName().isEmpty());
        QCOMPARE(form.pageControl()->currentIndex(), 0);
        form.close();
    }
    QVERIFY(ui.messages.isEmpty());
    QVERIFY(folder.settingsExist());
}

QTEST_MAIN(TstStartup)
#include "tst_startup.moc"
