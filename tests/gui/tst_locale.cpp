// The program's formats on screen are Russian whatever LANG says, and what it writes (bases, CSV,
// settings) is the same byte for byte under LANG=C and LANG=ru_RU.UTF-8. Each locale runs in a
// child process of this program, since the C library's locale is taken once, at start.
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLocale>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <clocale>
#include <cstdio>

#include "app/desktopsetup.h"
#include "appfolder.h"
#include "document/document.h"
#include "scriptedui.h"

namespace {

QByteArray bytesOf(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// The child: loads `base`, saves it unchanged and after typing numbers into it, exports CSV and
// writes the settings, all into `out`; prints what its locale looked like.
int runChild(int argc, char** argv)
{
    QApplication app(argc, argv);
    const QString base = QString::fromLocal8Bit(argv[2]);
    const QDir out(QString::fromLocal8Bit(argv[3]));
    const char* point = std::localeconv()->decimal_point;  // the environment's, before the setup
    setUpRussianLocale();

    AppFolder folder;
    folder.writeSettings(QStringLiteral(
        "[Settings]\niStandard=80\nsDeviceName=Тип прибора\nOdir=/o\nSdir=/s\nTRANS=/t\nDIODE=/d\n"
        "STAB=/st\nVARC=/v\nTHYR=/th\nLEDS=/l\n[FORM1]\nWidth=700\nHeight=500\nTop=10\nLeft=20\n"));
    ScriptedUi ui;
    const OpenedApplication opened = Application::open(folder.paths());
    if (!opened)
        return 5;
    Document doc(*opened.application, ui);
    if (!doc.load(base))
        return 2;
    doc.setFileName(out.filePath(QStringLiteral("unchanged.QDB")));
    if (!doc.save())
        return 3;
    veltris::Table& t = doc.mainTable();
    t.setCell(1, 2, "1,5");
    t.setCell(1, 14, "2,5E-3-1E2");
    t.setCell(2, 15, ">0,125");
    doc.setFileName(out.filePath(QStringLiteral("edited.QDB")));
    if (!doc.save())
        return 4;
    ui.saveAnswers.enqueue(out.filePath(QStringLiteral("edited.CSV")));
    doc.exportCsv();
    doc.application().settings().standardColumnWidth = 95;
    if (!doc.application().saveSettings())
        return 5;
    QFile::copy(folder.paths().settingsFile, out.filePath(QStringLiteral("veltris.INI")));
    std::printf("%s\n%s\n%s\n", point, qPrintable(QLocale().toString(1.5)),
                qPrintable(QLocale().formattedDataSize(1536)));
    return ui.messages.isEmpty() && ui.unexpected.isEmpty() ? 0 : 5;
}

}  // namespace

class TstLocale : public QObject {
    Q_OBJECT
private slots:
    void filesAreTheSameUnderEveryLang();
};

void TstLocale::filesAreTheSameUnderEveryLang()
{
    // A Russian locale of our own, so the test does not depend on what the system generated.
    QTemporaryDir locales;
    QProcess localedef;
    localedef.start(QStringLiteral("localedef"),
                    {QStringLiteral("-i"), QStringLiteral("ru_RU"), QStringLiteral("-f"),
                     QStringLiteral("UTF-8"), locales.filePath(QStringLiteral("ru_RU.UTF-8"))});
    if (!localedef.waitForFinished(60000) || localedef.exitCode() != 0)
        QSKIP("localedef could not build ru_RU.UTF-8");

    const QString base = QStringLiteral(VELTRIS_BIN_DIR "/samples/bipolar.QDB");
    struct Run {
        QString lang;
        QTemporaryDir out;
        QStringList printed;
    } runs[2];
    runs[0].lang = QStringLiteral("C");
    runs[1].lang = QStringLiteral("ru_RU.UTF-8");
    for (Run& run : runs) {
        QProcess child;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("LANG"), run.lang);
        env.insert(QStringLiteral("LC_ALL"), run.lang);
        env.insert(QStringLiteral("LOCPATH"), locales.path());
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        child.setProcessEnvironment(env);
        child.start(QCoreApplication::applicationFilePath(),
                    {QStringLiteral("--child"), base, run.out.path()});
        QVERIFY(child.waitForFinished(60000));
        QCOMPARE(child.exitCode(), 0);
        run.printed = QString::fromUtf8(child.readAllStandardOutput()).split(QLatin1Char('\n'));
        QVERIFY(run.printed.size() >= 3);
    }
    // The environment did reach the children: the C library of the second read numbers with a comma.
    QCOMPARE(runs[0].printed[0], QStringLiteral("."));
    QCOMPARE(runs[1].printed[0], QStringLiteral(","));
    // On screen both are Russian.
    for (const Run& run : runs) {
        QCOMPARE(run.printed[1], QStringLiteral("1,5"));
        QVERIFY2(run.printed[2].contains(QStringLiteral("1,5")), qPrintable(run.printed[2]));
    }
    QCOMPARE(runs[1].printed[2], runs[0].printed[2]);

    // A base loaded and saved is the file it was; what was typed is written alike under both.
    for (const Run& run : runs)
        QCOMPARE(bytesOf(QDir(run.out.path()).filePath(QStringLiteral("unchanged.QDB"))), bytesOf(base));
    for (const QString& name :
         {QStringLiteral("edited.QDB"), QStringLiteral("edited.CSV"), QStringLiteral("veltris.INI")}) {
        const QByteArray c = bytesOf(QDir(runs[0].out.path()).filePath(name));
        QVERIFY2(!c.isEmpty(), qPrintable(name));
        QCOMPARE(bytesOf(QDir(runs[1].out.path()).filePath(name)), c);
    }
    const QByteArray csv = bytesOf(QDir(runs[1].out.path()).filePath(QStringLiteral("edited.CSV")));
    QVERIFY(csv.contains(";1,5;"));
    QVERIFY(bytesOf(QDir(runs[1].out.path()).filePath(QStringLiteral("veltris.INI")))
                .contains("iStandard=95\r\n"));
}

int main(int argc, char** argv)
{
    if (argc >= 4 && qstrcmp(argv[1], "--child") == 0)
        return runChild(argc, argv);
    QApplication app(argc, argv);
    TstLocale test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_locale.moc"
