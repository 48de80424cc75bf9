#include "app/startup.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QSessionManager>
#include <cstdio>

#include "app/mainwindow.h"
#include "app/terminationsignals.h"
#include "base/ini.h"
#include "document/settingsfile.h"
#include "ui/errorbox.h"
#include "widgets/apputil.h"

namespace {

// For tests that drive the real program from outside: the actions named (objectName,
// comma-separated) in VELTRIS_TEST_ACTIONS are triggered one after another once the window has
// started, then "VELTRIS_TEST_ACTIONS done" is printed on standard output.
void runTestActions(MainWindow& form)
{
    const QString names = qEnvironmentVariable("VELTRIS_TEST_ACTIONS");
    if (names.isEmpty())
        return;
    for (const QString& name : names.split(QLatin1Char(','), Qt::SkipEmptyParts))
        if (auto* action = form.findChild<QAction*>(name.trimmed()))
            action->trigger();
    std::fputs("VELTRIS_TEST_ACTIONS done\n", stdout);
    std::fflush(stdout);
}

}  // namespace

int runVeltris(const AppPaths& paths, UiServices& ui, const QStringList& args)
{
    // The application outlives the document, and the document the window: the views and
    // dialogs read its tables to their end.
    const OpenedApplication opened = Application::open(paths);
    if (!opened) {
        for (const veltris::Error& error : opened.errors)
            showErrorBox(ui, nullptr, error);
        return 1;
    }
    Document document(*opened.application, ui);
    MainWindow form(document, ui, args);
    TerminationSignals terminationSignals;
    QObject::connect(&terminationSignals, &TerminationSignals::received, &form, &MainWindow::endBySignal);
    // The session ends (logout, shutdown): the unsaved-changes prompt where the session manager
    // lets the program ask, the recovery file where it does not.
    QObject::connect(
        qApp, &QGuiApplication::commitDataRequest, &form,
        [&form](QSessionManager& manager) {
            const bool interactive = manager.allowsInteraction();
            if (!form.endOfSession(interactive))
                manager.cancel();
            if (interactive)
                manager.release();
        },
        Qt::DirectConnection);
    QObject::connect(&form, &MainWindow::started, &form, [&form] { runTestActions(form); });
    form.show();
    return QApplication::exec();
}

bool writeFirstRunSettings(const AppPaths& paths)
{
    // The user's own settings, or shared ones from the program folder, are the first run's.
    SettingsFile settings(paths);
    if (settings.exists())
        return false;
    const QString samples = QDir(paths.dataDir).absoluteFilePath(QStringLiteral("samples"));
    if (!QFileInfo(samples).isDir())
        return false;
    const std::string dir = qStringToCp(QDir::toNativeSeparators(samples));
    return settings.change([&dir](veltris::IniFile& ini) { ini.writeString("Scan", "Dir0", dir); }).ok();
}
