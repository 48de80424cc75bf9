#pragma once
// What the desktop program's benchmarks share: a UiServices that shows nothing, a program folder
// with the catalogues and a settings file, and main() in an offscreen application.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>
#include <functional>

#include "app/apppaths.h"
#include "app/uiservices.h"

// Shows nothing: a message is logged and answered Cancel, a dialog rejected; `calls` counts both,
// since a quiet run expects none.
class SilentUi : public UiServices {
public:
    int calls = 0;
    QMessageBox::StandardButton message(QWidget*, const QString&, const QString& text, QMessageBox::Icon,
                                        QMessageBox::StandardButtons) override
    {
        ++calls;
        qWarning("message: %s", qPrintable(text));
        return QMessageBox::Cancel;
    }
    QString openFileName(QWidget*, const FileDialogRequest&) override { return {}; }
    QString saveFileName(QWidget*, const FileDialogRequest&) override { return {}; }
    void openUrl(const QUrl&) override {}
    void showHelp(int) override {}
    int execDialog(QDialog*) override
    {
        ++calls;
        return 0;
    }
    void beep() override {}
};

// Settings for a plain start: no navigator, a 1032 x 748 window at the top left.
inline constexpr char kPlainSettings[] =
    "[Settings]\r\nShowNav=0\r\n[FORM1]\r\nWidth=1032\r\nHeight=748\r\nTop=0\r\nLeft=0\r\n";

// The catalogue files built beside the program, copied into `folder`.
inline void copyCatalogues(const QString& folder)
{
    const QDir bin(QStringLiteral(VELTRIS_BIN_DIR));
    for (const QString& ini : bin.entryList({QStringLiteral("*.ini")}))
        QFile::copy(bin.filePath(ini), QDir(folder).filePath(ini));
}

// The program's settings file in `paths` with `text`; a bench cannot go on without it.
inline void writeSettings(const AppPaths& paths, const QByteArray& text)
{
    QFile settings(paths.settingsFile);
    if (!settings.open(QIODevice::WriteOnly) || settings.write(text) != text.size())
        qFatal("cannot write settings");
}

// Runs the registered benchmarks offscreen unless another platform is asked for (xvfb-run);
// `cleanup` runs while the application still exists.
inline int runGuiBenchmarks(int argc, char** argv, const std::function<void()>& cleanup = {})
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    if (cleanup)
        cleanup();
    return 0;
}
