// Hostile files and unlucky moments in the window: bases swapped for a FIFO or /dev/zero after
// the scan, the page closed during a library search, a library result whose base changed, a
// settings file that exists but cannot be read.
#include <QCheckBox>
#include <QDialog>
#include <QFile>
#include <QFileInfo>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

#include <linux/capability.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include "../base/handmadelibrary.h"
#include "app/mainwindow.h"
#include "appfolder.h"
#include "base/basefile.h"
#include "base/navigatorcatalogue.h"
#include "document/settingsfile.h"
#include "scriptedui.h"
#include "search/substitutepage.h"
#include "search/substituteresultsmodel.h"
#include "testwindow.h"

using namespace Qt::StringLiterals;

namespace {

// Ends the test program when `work` has not returned within `seconds`: a hang would otherwise
// hold the run until ctest gives up on it.
template <class Work>
void failOnHang(int seconds, const char* what, Work work)
{
    std::mutex mutex;
    std::condition_variable returned;
    bool done = false;
    std::thread watchdog([&] {
        std::unique_lock lock(mutex);
        if (!returned.wait_for(lock, std::chrono::seconds(seconds), [&] { return done; })) {
            std::fprintf(stderr, "FAIL! %s did not return within %d s\n", what, seconds);
            std::fflush(stderr);
            std::_Exit(1);
        }
    });
    work();
    {
        const std::lock_guard lock(mutex);
        done = true;
    }
    returned.notify_one();
    watchdog.join();
}

// While it lives, this thread obeys file permissions even as root (no CAP_DAC_OVERRIDE nor
// CAP_DAC_READ_SEARCH), so a file of mode 0200 cannot be read.
class PermissionsObeyed {
public:
    PermissionsObeyed()
    {
        if (::geteuid() != 0)
            return;
        if (::syscall(SYS_capget, &m_header, m_saved) != 0)
            return;
        __user_cap_data_struct lowered[2] = {m_saved[0], m_saved[1]};
        lowered[0].effective &= ~((1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH));
        m_lowered = ::syscall(SYS_capset, &m_header, lowered) == 0;
    }
    ~PermissionsObeyed()
    {
        if (m_lowered)
            ::syscall(SYS_capset, &m_header, m_saved);
    }
    bool effective() const { return ::geteuid() != 0 || m_lowered; }

private:
    __user_cap_header_struct m_header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct m_saved[2]{};
    bool m_lowered = false;
};

// A double-click as the mouse makes it: a press, then the double-click on the same cell (a
// visible one of its row: the names stand in a column of their own beside the table).
void doubleClickCell(QTableView* view, QModelIndex cell)
{
    if (view->isColumnHidden(cell.column()))
        cell = cell.siblingAtColumn(SubstituteResultsModel::VerdictColumn);
    view->scrollTo(cell);
    const QPoint at = view->visualRect(cell).center();
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, at);
}

}  // namespace

class TstHostile : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void filesSwappedAfterTheScanAreNamedAndSkipped();
    void closingThePageDuringASearchDoesNotWait();
    void changedLibraryBaseIsNotOpenedByRow();
    void unreadableSettingsAreNeverRewritten_data();
    void unreadableSettingsAreNeverRewritten();

private:
    QString libFile(const QString& name) const { return m_dir->filePath(u"lib/"_s + name); }
    void searchLibrary();
    QStringList resultNames() const;

    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_openFile;
    veltris::ComponentBase m_base;
    veltris::NavigatorCatalogue m_navigator;
    ScriptedUi m_ui;
    std::unique_ptr<SettingsFile> m_settings;
    std::unique_ptr<SubstitutePage> m_page;
};

void TstHostile::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(QDir(m_dir->path()).mkdir(u"lib"_s));
    m_openFile = libFile(u"a_open.QDB"_s);
    m_base = handmade::handMadeBase();
    QVERIFY(veltris::writeBase(m_base, m_openFile.toStdString()).ok());
    const veltris::ComponentBase other =
        handmade::makeBase(1, {{"ЧУЖОЙ", handmade::part("15", "100", "50-350", "300", "5")},
                               {"ЕЩЁ", handmade::part("20", "100", "50-350", ">250", "<7")}});
    for (const QString& name : {u"b_other.QDB"_s, u"c_later_fifo.QDB"_s, u"d_later_zero.QDB"_s})
        QVERIFY(veltris::writeBase(other, libFile(name).toStdString()).ok());
    m_navigator = veltris::NavigatorCatalogue();
    QVERIFY(m_navigator.addFolder(m_dir->filePath(u"lib"_s).toStdString()).empty());
    m_ui = ScriptedUi();
    m_settings = std::make_unique<SettingsFile>(m_dir->filePath(u"veltris.INI"_s));
    m_page = std::make_unique<SubstitutePage>(m_ui, *m_settings, QStringLiteral(VELTRIS_BIN_DIR),
                                              handmade::shippedCatalogue(), m_navigator);
    m_page->setOpenBase(&m_base, m_openFile);
    m_page->resize(1200, 700);
    m_page->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_page.get()));
    m_page->setReference(1);
    // The reference starts a search of the open base by itself; the library's waits for «Найти».
    QTRY_VERIFY(!m_page->isSearching());
    QTest::mouseClick(m_page->libraryScope(), Qt::LeftButton);
    QVERIFY(!m_page->isSearching());
}

void TstHostile::cleanup()
{
    failOnHang(20, "the page's destructor", [this] { m_page.reset(); });
    QVERIFY2(m_ui.unexpected.isEmpty(), qPrintable(m_ui.unexpected.join(u"; "_s)));
    m_dir.reset();
}

void TstHostile::searchLibrary()
{
    QTest::mouseClick(m_page->findButton(), Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(!m_page->isSearching(), 20000);
}

QStringList TstHostile::resultNames() const
{
    QStringList names;
    const SubstituteResultsModel* model = m_page->resultsModel();
    for (int r = 0; r < model->rowCount(); ++r)
        names << model->index(r, SubstituteResultsModel::NameColumn).data().toString();
    return names;
}

// Between the scan and the search two bases become a FIFO and a link to /dev/zero: the search
// ends, names both among the unreadable bases and shows what the others hold.
void TstHostile::filesSwappedAfterTheScanAreNamedAndSkipped()
{
    QVERIFY(QFile::remove(libFile(u"c_later_fifo.QDB"_s)));
    QCOMPARE(::mkfifo(libFile(u"c_later_fifo.QDB"_s).toLocal8Bit().constData(), 0600), 0);
    QVERIFY(QFile::remove(libFile(u"d_later_zero.QDB"_s)));
    QVERIFY(QFile::link(u"/dev/zero"_s, libFile(u"d_later_zero.QDB"_s)));
    searchLibrary();
    QCOMPARE(m_ui.messages.size(), 1);
    const QString text = m_ui.messages[0].text;
    QVERIFY2(text.contains(u"Не удалось прочитать баз: 2"_s), qPrintable(text));
    QVERIFY2(text.contains(libFile(u"c_later_fifo.QDB"_s)), qPrintable(text));
    QVERIFY2(text.contains(libFile(u"d_later_zero.QDB"_s)), qPrintable(text));
    QVERIFY(resultNames().contains(u"ЕЩЁ"_s));
}

// The page goes (the window closes) while its worker reads the library, a FIFO among it: the
// destructor returns without waiting for a writer that never comes.
void TstHostile::closingThePageDuringASearchDoesNotWait()
{
    QVERIFY(QFile::remove(libFile(u"c_later_fifo.QDB"_s)));
    QCOMPARE(::mkfifo(libFile(u"c_later_fifo.QDB"_s).toLocal8Bit().constData(), 0600), 0);
    QTest::mouseClick(m_page->findButton(), Qt::LeftButton);
    QVERIFY(m_page->isSearching());
    // Closed once the worker has come to the FIFO (the third of five steps), or has ended.
    QProgressBar* bar = m_page->progressDialog()->findChild<QProgressBar*>();
    QTRY_VERIFY(!m_page->isSearching() || bar->value() >= bar->maximum() * 3 / 5);
    failOnHang(20, "closing the page during a search", [this] { m_page.reset(); });
}

// A result from another base whose file changed since the search is not opened by its row.
void TstHostile::changedLibraryBaseIsNotOpenedByRow()
{
    searchLibrary();
    const int row = static_cast<int>(resultNames().indexOf(u"ЕЩЁ"_s));
    QVERIFY(row >= 0);
    const veltris::ComponentBase moved =
        handmade::makeBase(1, {{"НОВАЯ", handmade::part("1", "1", "1", "1", "1")},
                               {"ЧУЖОЙ", handmade::part("15", "100", "50-350", "300", "5")},
                               {"ЕЩЁ", handmade::part("20", "100", "50-350", ">250", "<7")}});
    QVERIFY(veltris::writeBase(moved, libFile(u"b_other.QDB"_s).toStdString()).ok());
    QSignalSpy chosen(m_page.get(), &SubstitutePage::recordChosen);
    doubleClickCell(m_page->resultsView(), m_page->resultsModel()->index(row, 0));
    QCOMPARE(chosen.count(), 0);
    QCOMPARE(m_ui.messages.size(), 1);
    QVERIFY2(m_ui.messages[0].text.endsWith(u"Повторите поиск."_s), qPrintable(m_ui.messages[0].text));
}

// A settings file that is there but cannot be read (no read access, or bigger than any settings
// file): said once after the window appears; neither the page's rules and strict option nor
// the window's close write it.
void TstHostile::unreadableSettingsAreNeverRewritten_data()
{
    QTest::addColumn<bool>("tooBig");
    QTest::newRow("no read access") << false;
    QTest::newRow("17 MB") << true;
}

void TstHostile::unreadableSettingsAreNeverRewritten()
{
    QFETCH(bool, tooBig);
    AppFolder folder;
    folder.writeSettings(
        u"[Settings]\nShowNav=0\n[Scan]\nDir0=%1\n[Substitute_1]\nCol_2=off\n[Own]\nkey=1\n"_s.arg(
            m_dir->filePath(u"lib"_s)));
    const QString settingsFile = folder.paths().settingsFile;
    const QByteArray settingsPath = settingsFile.toLocal8Bit();
    if (tooBig) {
        QFile f(settingsFile);
        QVERIFY(f.resize(qint64{17} << 20));  // the rest reads as zeros, and takes no disk
    }
    const QByteArray before = [&] {
        QFile f(settingsFile);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }();
    std::optional<PermissionsObeyed> obeyed;
    if (!tooBig) {
        QCOMPARE(::chmod(settingsPath.constData(), 0200), 0);
        obeyed.emplace();
        if (!obeyed->effective())
            QSKIP("cannot give up reading every file here");
    }
    {
        ScriptedUi ui;
        ui.rejectDialog(u"navigatorWindow"_s);  // the defaults show the navigator at start
        TestWindow form(folder.paths(), ui, QStringList{});
        QSignalSpy started(&form, &MainWindow::started);
        form.show();
        QTRY_COMPARE(started.count(), 1);
        QCOMPARE(ui.messages.size(), 1);
        QVERIFY2(ui.messages[0].text.contains(u"Файл настроек не прочитан"_s),
                 qPrintable(ui.messages[0].text));
        // A rule and the strict option changed on the page live on in memory only.
        auto* page = form.findChild<SubstitutePage*>();
        QVERIFY(page);
        page->defaultsButton()->click();
        QVERIFY(!page->strictBox()->isChecked());
        page->strictBox()->click();
        QVERIFY(page->strictBox()->isChecked());
        QVERIFY(form.close());
        QCOMPARE(ui.messages.size(), 1);
    }
    obeyed.reset();
    QCOMPARE(::chmod(settingsPath.constData(), 0600), 0);
    QFile f(settingsFile);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.size(), qint64(before.size()));
    QVERIFY(f.readAll() == before);
}

QTEST_MAIN(TstHostile)
#include "tst_hostile.moc"
