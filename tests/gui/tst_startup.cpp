// Start-up, settings and shutdown of the main window.
#include <QAction>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QHeaderView>
#include <QScreen>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>

#include "app/mainwindow.h"
#include "app/startup.h"
#include "appfolder.h"
#include "base/basefile.h"
#include "base/cp1251.h"
#include "document/settingsfile.h"
#include "scriptedui.h"
#include "testwindow.h"
#include "widgets/apputil.h"
#include "widgets/componentgrid.h"

namespace {

QByteArray fileBytes(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// "Section/Key" of every key line of an INI text, in file order.
QStringList iniKeys(const QString& text)
{
    QStringList keys;
    QString section;
    for (QString line : text.split(QStringLiteral("\r\n"))) {
        line = line.trimmed();
        if (line.startsWith(QLatin1Char('[')))
            section = line.mid(1, line.size() - 2);
        else if (line.contains(QLatin1Char('=')))
            keys << section + QLatin1Char('/') + line.section(QLatin1Char('='), 0, 0);
    }
    return keys;
}

const QStringList kWrittenKeys = {
    QStringLiteral("Settings/iStandard"), QStringLiteral("Settings/sDeviceName"),
    QStringLiteral("Settings/Odir"),      QStringLiteral("Settings/Sdir"),
    QStringLiteral("Settings/TRANS"),     QStringLiteral("Settings/DIODE"),
    QStringLiteral("Settings/STAB"),      QStringLiteral("Settings/VARC"),
    QStringLiteral("Settings/THYR"),      QStringLiteral("Settings/LEDS"),
    QStringLiteral("FORM1/Width"),        QStringLiteral("FORM1/Height"),
    QStringLiteral("FORM1/Top"),          QStringLiteral("FORM1/Left")};

void showAndActivate(MainWindow& form)
{
    QSignalSpy started(&form, &MainWindow::started);
    form.show();
    QVERIFY(QTest::qWaitForWindowActive(&form));
    QTRY_COMPARE(started.count(), 1);  // queued start-up work (navigator, scan problems)
}

}  // namespace

class TstStartup : public QObject {
    Q_OBJECT
private slots:
    void defaultsWithoutSettingsFile();
    void settingsFileReadAndWrittenBack();
    void windowSizeFromSettings_data();
    void windowSizeFromSettings();
    void settingsWriteFailure();
    void missingCatalogues();
    void commandLineOpen();
    void commandLineOpenFailure();
    void navigatorAtFirstActivationOnly();
    void navigatorNotShownWhenShowNavIsZero();
    void scanFillsCatalogueAndReportsProblemsOnce();
    void closePrompt_data();
    void closePrompt();
    void exitCommandRunsTheCloseQuery();
    void keysReachTheirCommands();
    void saveAsTracksFolderAndAddsExtension();
    void firstRunSettingsPointAtSamples();
    void sharedSettingsReadAndCopiedAtTheFirstChange();
};

void TstStartup::defaultsWithoutSettingsFile()
{
    AppFolder folder;
    ScriptedUi ui;
    ui.rejectDialog(QStringLiteral("navigatorWindow"));
    {
        TestWindow form(folder.paths(), ui, {});
        QCOMPARE(form.windowTitle(), QStringLiteral("Вельтрис"));
        // The default size at the default place -4,-4, moved where the whole window is on the
        // screen under the mouse.
        QCOMPARE(form.size(), QSize(1032, 748));
        const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
        QCOMPARE(form.pos(), area.topLeft());
        QCOMPARE(form.document().base().table.columnCount(), 31);
        QCOMPARE(form.document().base().table.rowCount(), 2);
        QCOMPARE(form.document().base().deviceType, 1);
        QCOMPARE(form.mainModel()->cornerText(), QStringLiteral("Тип прибора"));
        QCOMPARE(form.secondModel()->cornerText(), QStringLiteral("Тип прибора"));
        QCOMPARE(form.document().secondTable().columnCount(), 2);
        for (ComponentGridView* g : {form.mainGrid(), form.secondGrid()}) {
            QCOMPARE(g->columnWidth(0), 100);
            QCOMPARE(g->verticalHeader()->width(), 100);
            QCOMPARE(g->horizontalHeader()->height(), 50);
            QCOMPARE(g->rowHeight(0), 24);
        }
        // On Linux the open and save dialogs start in the home folder.
        QCOMPARE(cpToQString(form.document().application().settings().openFolder), QDir::homePath());
        QCOMPARE(cpToQString(form.document().application().settings().saveFolder), QDir::homePath());
        QVERIFY(!form.document().isModified());
        QVERIFY(form.document().fileName().isEmpty());
        QCOMPARE(form.pages()->currentIndex(), 0);
        QVERIFY(form.navigatorAtStart());
        showAndActivate(form);
        QCOMPARE(ui.dialogs, QStringList{QStringLiteral("navigatorWindow")});
        QVERIFY(form.close());
    }
    QVERIFY(ui.messages.isEmpty());
    const QString written = folder.settingsText();
    QCOMPARE(iniKeys(written), kWrittenKeys);
    QVERIFY(written.contains(QStringLiteral("iStandard=100\r\n")));
    QVERIFY(written.contains(QStringLiteral("sDeviceName=Тип прибора\r\n")));
    QVERIFY(written.contains(QStringLiteral("THYR=") + folder.path() + QStringLiteral("/THYRIST\r\n")));
    QVERIFY(written.contains(QStringLiteral("Width=1032\r\nHeight=748\r\nTop=0\r\nLeft=0")));
}

void TstStartup::settingsFileReadAndWrittenBack()
{
    AppFolder folder;
    folder.writeSettings(QStringLiteral(
        "[Settings]\nShowNav=0\niStandard=80\nsDeviceName=Прибор|тип\nOdir=/o\nSdir=/s\nTHYRIST=/wrong\n"
        "THYR=/thyr\n[Scan]\nDir5=/nowhere\n[FORM1]\nWidth=700\nHeight=500\nTop=20\nLeft=30\n"));
    ScriptedUi ui;
    {
        TestWindow form(folder.paths(), ui, {});
        QCOMPARE(form.size(), QSize(700, 500));
        QCOMPARE(form.pos(), QPoint(30, 20));
        QCOMPARE(form.mainGrid()->columnWidth(5), 80);
        QCOMPARE(form.secondGrid()->verticalHeader()->width(), 80);
        QCOMPARE(form.mainModel()->cornerText(), QStringLiteral("Прибор|тип"));
        QCOMPARE(form.document().application().settings().drawingDir(6), std::string("/thyr"));
        showAndActivate(form);
        QVERIFY(ui.dialogs.isEmpty());
        form.document().application().rememberOpenFolder(QStringLiteral("/o2"));
        form.resize(640, 480);
        QVERIFY(form.close());
    }
    const QString written = folder.settingsText();
    QStringList expected = kWrittenKeys;
    // Keys already in the file keep their place; the others join their section.
    expected = {QStringLiteral("Settings/ShowNav"),
                QStringLiteral("Settings/iStandard"),
                QStringLiteral("Settings/sDeviceName"),
                QStringLiteral("Settings/Odir"),
                QStringLiteral("Settings/Sdir"),
                QStringLiteral("Settings/THYRIST"),
                QStringLiteral("Settings/THYR"),
                QStringLiteral("Settings/TRANS"),
                QStringLiteral("Settings/DIODE"),
                QStringLiteral("Settings/STAB"),
                QStringLiteral("Settings/VARC"),
                QStringLiteral("Settings/LEDS"),
                QStringLiteral("Scan/Dir5"),
                QStringLiteral("FORM1/Width"),
                QStringLiteral("FORM1/Height"),
                QStringLiteral("FORM1/Top"),
                QStringLiteral("FORM1/Left")};
    QCOMPARE(iniKeys(written), expected);
    QVERIFY(written.contains(QStringLiteral("ShowNav=0\r\n")));
    QVERIFY(written.contains(QStringLiteral("Odir=/o2\r\n")));
    QVERIFY(written.contains(QStringLiteral("THYRIST=/wrong\r\nTHYR=/thyr\r\n")));
    QVERIFY(written.contains(QStringLiteral("Width=640\r\nHeight=480\r\n")));
}

void TstStartup::windowSizeFromSettings_data()
{
    QTest::addColumn<QString>("width");
    QTest::addColumn<QString>("height");
    QTest::addColumn<QSize>("expected");  // (-1, -1): as large as the screen holds
    QTest::newRow("hexadecimal") << "$2BC"
                                 << "0x1F4" << QSize(700, 500);
    QTest::newRow("not integers") << "wide"
                                  << "12.5" << QSize(1032, 748);
    QTest::newRow("far beyond the desktop") << "100000"
                                            << "2000000000" << QSize(-1, -1);
}

void TstStartup::windowSizeFromSettings()
{
    QFETCH(QString, width);
    QFETCH(QString, height);
    QFETCH(QSize, expected);
    AppFolder folder;
    folder.writeSettings(
        QStringLiteral("[Settings]\nShowNav=0\n[FORM1]\nWidth=%1\nHeight=%2\n").arg(width, height));
    ScriptedUi ui;
    TestWindow form(folder.paths(), ui, {});
    if (expected != QSize(-1, -1)) {
        QCOMPARE(form.size(), expected);
        return;
    }
    // Shrunk to the screen under the mouse, frame included.
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    QVERIFY(area.contains(form.frameGeometry()));
    QVERIFY(form.width() > area.width() * 9 / 10 && form.height() > area.height() * 9 / 10);
}

void TstStartup::settingsWriteFailure()
{
    AppFolder folder;
    AppPaths paths = folder.paths();
    paths.settingsFile = folder.file(QStringLiteral("missing-folder/veltris.INI"));
    ScriptedUi ui;
    TestWindow form(paths, ui, {});
    QVERIFY(form.close());  // the application still ends
    QCOMPARE(ui.messages.size(), 1);
    QCOMPARE(ui.messages[0].text, QStringLiteral("Не могу перезаписать файл конфигурации"));
    QCOMPARE(ui.messages[0].caption, QStringLiteral("Ошибка"));
    QCOMPARE(ui.messages[0].icon, MessageIcon::None);
    QCOMPARE(ui.messages[0].buttons, Answers(Answer::Ok));
}

void TstStartup::missingCatalogues()
{
    AppFolder folder({QStringLiteral("diodes.ini"), QStringLiteral("leds.ini")});
    ScriptedUi ui;
    QCOMPARE(runVeltris(folder.paths(), ui, {}), 1);
    QCOMPARE(ui.messageTexts(),
             QStringList({QStringLiteral("Не найден файл DIODES.INI\r\nРабота приложения будет прекращена"),
                          QStringLiteral("Не найден файл LEDS.INI\r\nРабота приложения будет прекращена")}));
    for (const auto& m : ui.messages) {
        QCOMPARE(m.caption, QStringLiteral("Ошибка"));
        QCOMPARE(m.icon, MessageIcon::Critical);
        QCOMPARE(m.buttons, Answers(Answer::Ok));
    }
    QVERIFY(ui.dialogs.isEmpty());     // no navigator, nothing else
    QVERIFY(!folder.settingsExist());  // ended without closing the window
}

void TstStartup::commandLineOpen()
{
    AppFolder folder;
    const QString base = folder.copySample(QStringLiteral("diodes.QDB"));
    ScriptedUi ui;  // ShowNav defaults to 1, yet no navigator: a base was opened
    TestWindow form(folder.paths(), ui, {base, QStringLiteral("ignored")});
    showAndActivate(form);
    QVERIFY(ui.dialogs.isEmpty());
    QVERIFY(ui.messages.isEmpty());
    QCOMPARE(form.document().fileName(), base);
    QCOMPARE(form.document().base().deviceType, 3);
    QCOMPARE(form.document().base().table.columnCount(), 13);
    QVERIFY(form.document().base().recordCount() > 3);
    QCOMPARE(form.mainModel()->rowCount(), form.document().base().recordCount());
    QCOMPARE(form.mainModel()->columnCount(), 12);
    QCOMPARE(form.mainModel()->cornerText(), QStringLiteral("Тип прибора"));
    QCOMPARE(form.document().secondTable().rowCount(), form.document().base().table.rowCount());
    QCOMPARE(form.document().secondTable().cell(2, 0), form.document().base().table.cell(2, 0));
    QVERIFY(!form.document().isModified());
    QCOMPARE(form.currentRow(), 1);
}

void TstStartup::commandLineOpenFailure()
{
    // A file that is not a base: the message, and the empty base stays.
    AppFolder folder;
    folder.writeSettings(QStringLiteral("[Settings]\nShowNav=0\n"));
    const QString bad = folder.file(QStringLiteral("bad.QDB"));
    {
        QFile f(bad);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(QByteArray(400, 'x'));
    }
    ScriptedUi ui;
    TestWindow form(folder.paths(), ui, {bad});
    showAndActivate(form);
    QCOMPARE(ui.messages.size(), 1);
    QCOMPARE(ui.messages[0].text, QStringLiteral("Несоответствие версии файла"));
    QCOMPARE(ui.messages[0].caption, QStringLiteral("Error!"));
    QCOMPARE(ui.messages[0].icon, MessageIcon::Critical);
    QVERIFY(form.document().fileName().isEmpty());
    QCOMPARE(form.document().base().table.rowCount(), 2);

    // A name that is no file is said, not passed over silently: a missing file, a folder, a name
    // whose bytes are no UTF-8. The empty base stays; with ShowNav the navigator still comes.
    AppFolder other;
    const QString missing = other.file(QStringLiteral("none.QDB"));
    const QString notUtf8 = QString::fromLocal8Bit(QByteArray("/tmp/\xcf\xf0\xe8\xe1\xee\xf0.QDB"));
    const struct {
        QString name;
        QString text;
    } cases[] = {
        {missing, QStringLiteral("Не удалось открыть файл «%1»: файл не найден").arg(missing)},
        {other.path(),
         QStringLiteral("Не удалось открыть файл «%1»: это папка, а не файл").arg(other.path())},
        {notUtf8,
         QStringLiteral("Имя файла в командной строке не в кодировке UTF-8, файл не открыт:\r\n") + notUtf8},
    };
    for (const auto& c : cases) {
        ScriptedUi ui2;
        ui2.rejectDialog(QStringLiteral("navigatorWindow"));
        TestWindow form2(other.paths(), ui2, {c.name});
        showAndActivate(form2);
        QCOMPARE(ui2.messageTexts(), QStringList{c.text});
        QCOMPARE(ui2.dialogs, QStringList{QStringLiteral("navigatorWindow")});
        QVERIFY(form2.document().fileName().isEmpty());
        QCOMPARE(form2.document().base().table.rowCount(), 2);
    }
}

void TstStartup::navigatorAtFirstActivationOnly()
{
    AppFolder folder;
    ScriptedUi ui;
    ui.rejectDialog(QStringLiteral("navigatorWindow"));
    TestWindow form(folder.paths(), ui, {});
    showAndActivate(form);
    QCOMPARE(ui.dialogs, QStringList{QStringLiteral("navigatorWindow")});
    // Another dialog and the window active again: no second navigator.
    ui.rejectDialog(QStringLiteral("aboutBox"));
    form.showAbout();
    form.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&form));
    QCoreApplication::processEvents();  // whatever the activation queued has run
    QCOMPARE(ui.dialogs, QStringList({QStringLiteral("navigatorWindow"), QStringLiteral("aboutBox")}));
    QVERIFY(!form.navigatorAtStart());
}

void TstStartup::navigatorNotShownWhenShowNavIsZero()
{
    AppFolder folder;
    folder.writeSettings(QStringLiteral("[Settings]\nShowNav=0\n"));
    ScriptedUi ui;
    TestWindow form(folder.paths(), ui, {});
    showAndActivate(form);
    QVERIFY(ui.dialogs.isEmpty());
}

void TstStartup::scanFillsCatalogueAndReportsProblemsOnce()
{
    AppFolder folder;
    const QString bases = folder.file(QStringLiteral("bases"));
    QVERIFY(QDir().mkpath(bases + QStringLiteral("/folder.QDB")));  // a folder named like a base
    QVERIFY(
        QFile::copy(QStringLiteral(VELTRIS_BIN_DIR "/samples/diodes.QDB"), bases + QStringLiteral("/d.QDB")));
    folder.writeSettings(QStringLiteral("[Settings]\nShowNav=0\n[Scan]\nDir0=%1\nDir1=%2\nDir9=%1\n")
                             .arg(bases, folder.file(QStringLiteral("nowhere"))));
    ScriptedUi ui;
    TestWindow form(folder.paths(), ui, {});
    QVERIFY(ui.messages.isEmpty());  // not before the window appears
    veltris::ComponentBase diodes =
        veltris::readBase(toFsPath(bases + QStringLiteral("/d.QDB")), form.document().catalogue()).value();
    // Dir0 and Dir9 name one folder: its base is listed once.
    QCOMPARE(form.document().application().navigatorCatalogue().size(), size_t(diodes.recordCount()));
    // The folder named like a base, once (a missing folder is no problem).
    QCOMPARE(form.document().application().scanProblems().size(), size_t(1));
    showAndActivate(form);
    QCOMPARE(ui.messages.size(), 1);
    QCOMPARE(ui.messages[0].caption, QStringLiteral("Ошибка"));
    QCOMPARE(ui.messages[0].text.count(QStringLiteral("folder.QDB")), 1);
}

void TstStartup::closePrompt_data()
{
    QTest::addColumn<int>("answer");
    QTest::addColumn<QString>("saveAs");   // "" = Save as cancelled; "-" = no dialog expected
    QTest::addColumn<bool>("named");       // the base has a file name
    QTest::addColumn<bool>("unwritable");  // the file name lies in a missing folder
    QTest::addColumn<bool>("closes");
    QTest::addColumn<bool>("baseWritten");

    QTest::newRow("cancel") << int(Answer::Cancel) << "-" << true << false << false << false;
    QTest::newRow("no") << int(Answer::No) << "-" << true << false << true << false;
    QTest::newRow("yes, saved") << int(Answer::Yes) << "-" << true << false << true << true;
    QTest::newRow("yes, write fails") << int(Answer::Yes) << "-" << true << true << false << false;
    QTest::newRow("yes, save as cancelled") << int(Answer::Yes) << "" << false << false << false << false;
    QTest::newRow("yes, save as") << int(Answer::Yes) << "new" << false << false << true << true;
}

void TstStartup::closePrompt()
{
    QFETCH(int, answer);
    QFETCH(QString, saveAs);
    QFETCH(bool, named);
    QFETCH(bool, unwritable);
    QFETCH(bool, closes);
    QFETCH(bool, baseWritten);

    AppFolder folder;
    folder.writeSettings(QStringLiteral("[Settings]\nShowNav=0\n"));
    const QString base = folder.copySample(QStringLiteral("leds.QDB"));
    QFile f(base);
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QByteArray before = f.readAll();
    f.close();

    ScriptedUi ui;
    TestWindow form(folder.paths(), ui, {base});
    showAndActivate(form);
    QCOMPARE(form.document().fileName(), base);
    form.document().base().table.setCell(1, 0, "CHANGED");
    form.document().setModified(true);
    if (!named)
        form.document().setFileName(QString());
    if (unwritable)
        form.document().setFileName(folder.file(QStringLiteral("missing/leds.QDB")));
    if (saveAs != QLatin1String("-"))
        ui.saveAnswers.enqueue(saveAs.isEmpty() ? QString() : folder.file(saveAs));
    ui.messageAnswers.enqueue(Answer(answer));
    const QString settingsBefore = folder.settingsText();

    QCOMPARE(form.close(), closes);
    QVERIFY(ui.allAnswersUsed());
    QCOMPARE(ui.messages[0].text, QStringLiteral("Файл не сохранён.\r\nСохранить?"));
    QCOMPARE(ui.messages[0].caption, QStringLiteral("Подтверждение"));
    QCOMPARE(ui.messages[0].icon, MessageIcon::None);
    QCOMPARE(ui.messages[0].buttons, Answer::Yes | Answer::No | Answer::Cancel);
    QCOMPARE(form.document().isModified(), !closes || !baseWritten);
    QCOMPARE(folder.settingsText() != settingsBefore, closes);  // settings only on a close
    if (unwritable) {
        QCOMPARE(ui.messages.size(), 2);
        QCOMPARE(ui.messages[1].text, QStringLiteral("Ошибка записи в файл"));
        QCOMPARE(ui.messages[1].caption, QStringLiteral("Ошибка"));
        QCOMPARE(ui.messages[1].icon, MessageIcon::Critical);
    }
    const QString written = saveAs.isEmpty() || saveAs == QLatin1String("-")
                                ? base
                                : folder.file(saveAs + QStringLiteral(".QDB"));
    QFile after(written);
    QCOMPARE(after.exists(), baseWritten || written == base);
    if (after.open(QIODevice::ReadOnly)) {
        const QByteArray now = after.readAll();
        QCOMPARE(now.contains("CHANGED"), baseWritten);
        if (!baseWritten)
            QCOMPARE(now, before);
    }
    if (!saveAs.isEmpty() && saveAs != QLatin1String("-")) {
        QCOMPARE(ui.saveRequests.size(), 1);
        QCOMPARE(ui.saveRequests[0].filter, QStringLiteral("QDB File (*.QDB)"));
        QCOMPARE(ui.saveRequests[0].defaultSuffix, QStringLiteral("QDB"));
        QCOMPARE(ui.saveRequests[0].startDir, QDir::homePath());
        QCOMPARE(form.document().fileName(), folder.file(saveAs + QStringLiteral(".QDB")));
    }
}

void TstStartup::exitCommandRunsTheCloseQuery()
{
    AppFolder folder;
    folder.writeSettings(QStringLiteral("[Settings]\nShowNav=0\n"));
    ScriptedUi ui;
    TestWindow form(folder.paths(), ui, {});
    showAndActivate(form);
    form.document().setModified(true);
    ui.messageAnswers.enqueue(Answer::Cancel);
    form.findChild<QAction*>(QStringLiteral("exitAction"))->trigger();
    QVERIFY(form.isVisible());
    ui.messageAnswers.enqueue(Answer::No);
    form.findChild<QAction*>(QStringLiteral("exitAction"))->trigger();
    QVERIFY(!form.isVisible());
    QCOMPARE(ui.messages.size(), 2);
}

void TstStartup::keysReachTheirCommands()
{
    AppFolder folder;
    folder.writeSettings(QStringLiteral("[Settings]\nShowNav=0\n"));
    const QString base = folder.copySample(QStringLiteral("stab.QDB"));
    ScriptedUi ui;
    TestWindow form(folder.paths(), ui, {base});
    showAndActivate(form);
    QWidget* grid = form.mainGrid();
    grid->setFocus();

    ui.rejectDialog(QStringLiteral("navigatorWindow"));
    QTest::keyClick(grid, Qt::Key_F7);
    QCOMPARE(ui.dialogs, QStringList{QStringLiteral("navigatorWindow")});

    for (const QKeySequence& key : {QKeySequence(Qt::Key_F2), QKeySequence(Qt::CTRL | Qt::Key_S)}) {
        form.document().setModified(true);
        QTest::keySequence(grid, key);
        QVERIFY2(!form.document().isModified(), qPrintable(key.toString()));
    }
    for (const QKeySequence& key : {QKeySequence(Qt::Key_F3), QKeySequence(Qt::CTRL | Qt::Key_O)}) {
        ui.openAnswers.enqueue(QString());
        QTest::keySequence(grid, key);
    }
    QCOMPARE(ui.openRequests.size(), 2);
    ui.saveAnswers.enqueue(QString());
    QTest::keySequence(grid, QKeySequence(Qt::SHIFT | Qt::Key_F2));
    QCOMPARE(ui.saveRequests.size(), 1);
    QVERIFY(ui.unexpected.isEmpty());
    QVERIFY(ui.messages.isEmpty());
}

void TstStartup::saveAsTracksFolderAndAddsExtension()
{
    AppFolder folder;
    folder.writeSettings(QStringLiteral("[Settings]\nShowNav=0\nSdir=/start\n"));
    ScriptedUi ui;
    {
        TestWindow form(folder.paths(), ui, {});
        form.document().setModified(true);
        const QString moved = folder.file(QStringLiteral("moved"));
        ui.folderMoves = {folder.path(), moved};
        ui.saveAnswers.enqueue(folder.file(QStringLiteral("plain")));  // no extension typed
        QVERIFY(form.saveBaseAs());
        QCOMPARE(ui.saveRequests.size(), 1);
        QCOMPARE(ui.saveRequests[0].startDir, QStringLiteral("/start"));
        QCOMPARE(form.document().fileName(), folder.file(QStringLiteral("plain.QDB")));
        QVERIFY(QFile::exists(folder.file(QStringLiteral("plain.QDB"))));
        QVERIFY(!form.document().isModified());
        QVERIFY(form.close());
    }
    QVERIFY(folder.settingsText().contains(QStringLiteral("Sdir=") + folder.file(QStringLiteral("moved")) +
                                           QStringLiteral("\r\n")));
}

void TstStartup::firstRunSettingsPointAtSamples()
{
    AppFolder folder;
    QVERIFY(!writeFirstRunSettings(folder.paths()));  // no samples folder: nothing written
    QVERIFY(!folder.settingsExist());
    QVERIFY(QDir().mkpath(folder.file(QStringLiteral("samples"))));
    QVERIFY(writeFirstRunSettings(folder.paths()));
    QCOMPARE(folder.settingsText(), QStringLiteral("[Scan]\r\nDir0=") +
                                        folder.file(QStringLiteral("samples")) + QStringLiteral("\r\n"));
    folder.writeSettings(QStringLiteral("[Settings]\nShowNav=0\n"));
    QVERIFY(!writeFirstRunSettings(folder.paths()));  // an existing file is never touched
    QCOMPARE(folder.settingsText(), QStringLiteral("[Settings]\r\nShowNav=0\r\n"));
}

// Settings an administrator put beside the program, where users cannot write: read while the
// user has none of their own; the first change goes to the user's file, which starts as a copy.
void TstStartup::sharedSettingsReadAndCopiedAtTheFirstChange()
{
    QTemporaryDir root;
    const QString prefix = root.filePath(QStringLiteral("usr"));
    const QString config = root.filePath(QStringLiteral("config"));
    const QString data = prefix + QStringLiteral("/share/veltris");
    QVERIFY(QDir().mkpath(prefix + QStringLiteral("/bin")));
    QVERIFY(QDir().mkpath(data + QStringLiteral("/samples")));
    for (const char* ini : {"bipolar.ini", "diodes.ini", "stab.ini", "varicaps.ini", "thyrist.ini",
                            "leds.ini", "substitute.ini"})
        QVERIFY(QFile::copy(QStringLiteral(VELTRIS_BIN_DIR "/") + QLatin1String(ini),
                            data + u'/' + QLatin1String(ini)));
    const QString shared = prefix + QStringLiteral("/bin/veltris.INI");
    {
        QFile f(shared);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(
            cp1251(QStringLiteral("[Settings]\r\nShowNav=0\r\niStandard=80\r\n[Site]\r\nServer=base1\r\n")));
    }
    const QByteArray sharedBytes = fileBytes(shared);

    const AppPaths paths = AppPaths::fromExecutable(prefix + QStringLiteral("/bin/veltris"), config);
    QCOMPARE(paths.sharedSettingsFile, shared);
    QCOMPARE(paths.settingsFile, config + QStringLiteral("/veltris.INI"));
    QCOMPARE(SettingsFile(paths).source(), shared);
    QVERIFY(!writeFirstRunSettings(paths));  // the shared settings are the first run's
    {
        ScriptedUi ui;  // no navigator: ShowNav=0 came from the shared file
        TestWindow form(paths, ui, {});
        QCOMPARE(form.document().application().settings().standardColumnWidth, 80);
        QVERIFY(!QFileInfo::exists(paths.settingsFile));
        form.resize(640, 480);
        QVERIFY(form.close());
        QVERIFY(ui.messages.isEmpty());
    }
    const QString written =
        QString::fromUtf8(veltris::cp1251ToUtf8(fileBytes(paths.settingsFile).toStdString()));
    QVERIFY2(written.contains(QStringLiteral("[Site]\r\nServer=base1")), qPrintable(written));
    QVERIFY(written.contains(QStringLiteral("iStandard=80\r\n")));
    QVERIFY(written.contains(QStringLiteral("Width=640\r\n")));
    QCOMPARE(fileBytes(shared), sharedBytes);  // the shared file is never written
    QCOMPARE(SettingsFile(AppPaths::fromExecutable(prefix + QStringLiteral("/bin/veltris"), config)).source(),
             paths.settingsFile);
}

QTEST_MAIN(TstStartup)
#include "tst_startup.moc"
