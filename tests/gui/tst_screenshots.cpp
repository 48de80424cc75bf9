// Renders the main window on each page with a sample base, and every dialog, to PNG files.
// scripts/screenshots.sh sets VELTRIS_SCREENSHOTS_DIR to docs/screenshots; without it the
// pictures go to a temporary folder, so the test still checks that everything renders.
#include <QDialog>
#include <QDir>
#include <QImage>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>

#include "app/aboutbox.h"
#include "app/componentgrid.h"
#include "app/sdimain.h"
#include "appfolder.h"
#include "edit/adddlg.h"
#include "edit/parambase.h"
#include "edit/prosm.h"
#include "scriptedui.h"
#include "search/navform.h"

class TstScreenshots : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void mainWindowPages();
    void dialogs();

private:
    bool save(QWidget* w, const QString& name);
    QTemporaryDir m_tmp;
    QString m_out;
};

void TstScreenshots::initTestCase()
{
    m_out = qEnvironmentVariable("VELTRIS_SCREENSHOTS_DIR");
    if (m_out.isEmpty())
        m_out = m_tmp.path();
    QVERIFY(QDir().mkpath(m_out));
}

bool TstScreenshots::save(QWidget* w, const QString& name)
{
    const QImage img = w->grab().toImage();
    return !img.isNull() && img.save(QDir(m_out).filePath(name + QStringLiteral(".png")));
}

void TstScreenshots::mainWindowPages()
{
    AppFolder folder;
    folder.writeSettings(QStringLiteral("[Settings]\nShowNav=0\nTRANS=" VELTRIS_BIN_DIR
                                        "/TRANS\n[FORM1]\nWidth=1032\nHeight=748\nTop=0\nLeft=0\n"));
    const QString base = folder.copySample(QStringLiteral("bipolar.QDB"));
    ScriptedUi ui;
    TSDIAppForm form(folder.paths(), ui, {base});
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    QCOMPARE(form.fileName(), base);
    form.setCurrentCell(2, 1);
    const char* names[4] = {"main-table", "second-table", "drawing", "search"};
    for (int page = 0; page < 4; ++page) {
        form.pageControl()->setCurrentIndex(page);
        QTest::qWait(20);
        QVERIFY(save(&form, QLatin1String(names[page])));
    }
    QVERIFY(ui.unexpected.isEmpty());
}

void TstScreenshots::dialogs()
{
    AppFolder folder;
    folder.writeSettings(QStringLiteral("[Settings]\nShowNav=0\n"));
    ScriptedUi ui;
    TSDIAppForm form(folder.paths(), ui, {});
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    const QList<QPair<QDialog*, QString>> dialogs = {
        {form.aboutBox(), QStringLiteral("about")},
        {form.paramBase(), QStringLiteral("base-parameters")},
        {form.prosm(), QStringLiteral("view-parameters")},
        {form.addDlg(), QStringLiteral("add-element")},
        {form.navForm(), QStringLiteral("navigator")},
    };
    for (const auto& [dialog, name] : dialogs) {
        ui.onDialog(dialog->objectName(), [this, name = name](QDialog* d) {
            QTest::qWait(20);
            return save(d, name) ? int(QDialog::Accepted) : int(QDialog::Rejected);
        });
        QCOMPARE(ui.execDialog(dialog), int(QDialog::Accepted));
    }
}

QTEST_MAIN(TstScreenshots)
#include "tst_screenshots.moc"
