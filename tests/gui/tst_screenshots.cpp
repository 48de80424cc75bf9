// Renders the main window on each page with a sample base, and every dialog, to PNG files.
// scripts/screenshots.sh sets VELTRIS_SCREENSHOTS_DIR to docs/screenshots; without it the
// pictures go to a temporary folder, so the test still checks that everything renders.
#include <QAction>
#include <QDialog>
#include <QDir>
#include <QImage>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <tuple>

#include "app/aboutbox.h"
#include "app/apputil.h"
#include "app/componentgrid.h"
#include "app/desktopsetup.h"
#include "app/sdimain.h"
#include "appfolder.h"
#include "edit/adddlg.h"
#include "edit/parambase.h"
#include "edit/prosm.h"
#include "scriptedui.h"
#include "search/navform.h"
#include "search/substitutepage.h"
#include "base/basefile.h"
#include "base/catalogue.h"
#include "base/navigatorcatalogue.h"

class TstScreenshots : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void mainWindowPages();
    void dialogs();
    void substitutePage();

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
    // As the program starts: Qt's Russian texts and the Tahoma font.
    installQtTranslations(*qApp);
    QVERIFY(ensureTahoma());
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
        // The long hint of the entry under the pointer, as the status bar shows it.
        form.findChild<QAction*>(QStringLiteral("FileOpen1"))->showStatusText(&form);
        QTest::qWait(20);
        QVERIFY(save(&form, QLatin1String(names[page])));
    }
    QVERIFY(ui.unexpected.isEmpty());
}

void TstScreenshots::dialogs()
{
    // Each dialog as its command shows it, filled from a sample base.
    AppFolder folder;
    folder.writeSettings(QStringLiteral("[Settings]\nShowNav=0\n[Scan]\nDir0=" VELTRIS_BIN_DIR "/samples\n"));
    const QString base = folder.copySample(QStringLiteral("bipolar.QDB"));
    ScriptedUi ui;
    TSDIAppForm form(folder.paths(), ui, {base});
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    form.setCurrentCell(2, 1);
    using Command = void (TSDIAppForm::*)();
    const QList<std::tuple<Command, QString, QString>> dialogs = {
        {&TSDIAppForm::HelpAbout1Execute, QStringLiteral("TAboutBox"), QStringLiteral("about")},
        {&TSDIAppForm::N4Click, QStringLiteral("TParamBase"), QStringLiteral("base-parameters")},
        {&TSDIAppForm::N3Click, QStringLiteral("TProsm"), QStringLiteral("view-parameters")},
        {&TSDIAppForm::N8Click, QStringLiteral("TAddDlg"), QStringLiteral("edit-element")},
        {&TSDIAppForm::NavigatorActionExecute, QStringLiteral("TNavForm"), QStringLiteral("navigator")},
    };
    for (const auto& [command, dialog, file] : dialogs) {
        bool saved = false;
        ui.onDialog(dialog, [this, &saved, file = file](QDialog* d) {
            QTest::qWait(20);
            saved = save(d, file);
            return int(QDialog::Rejected);
        });
        (form.*command)();
        QVERIFY2(saved, qPrintable(dialog));
    }
    QVERIFY(ui.unexpected.isEmpty());
}

// The page «Замена» as the main window's page area holds it, with the results for a sample part.
void TstScreenshots::substitutePage()
{
    QTemporaryDir dir;
    const veltris::CatalogueLoad catalogues = veltris::loadCatalogues(VELTRIS_BIN_DIR);
    auto base = veltris::readBase(VELTRIS_BIN_DIR "/samples/bipolar.QDB", catalogues.catalogue);
    QVERIFY(base.ok());
    int reference = 0;
    for (int r = 1; r <= base->recordCount() && reference == 0; ++r)
        if (base->table.cell(r, 0) == "\xCA\xD2\x33\x31\x35\xC3")  // КТ315Г
            reference = r;
    QVERIFY(reference > 0);
    veltris::NavigatorCatalogue navigator;
    ScriptedUi ui;
    SubstitutePage page(ui, dir.filePath(QStringLiteral("veltris.INI")), QStringLiteral(VELTRIS_BIN_DIR),
                        catalogues.catalogue, navigator);
    page.setOpenBase(&*base, QStringLiteral(VELTRIS_BIN_DIR "/samples/bipolar.QDB"));
    page.setReference(reference);
    page.setFont(veltrisFont());  // the main window's font, which its pages inherit
    page.resize(1028, 652);
    page.show();
    QVERIFY(QTest::qWaitForWindowExposed(&page));
    page.startSearch();
    QTRY_VERIFY(!page.isSearching());
    QTest::qWait(20);
    QVERIFY(save(&page, QStringLiteral("substitute")));
    QVERIFY(ui.unexpected.isEmpty());
}

QTEST_MAIN(TstScreenshots)
#include "tst_screenshots.moc"
