#include "app/startup.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>

#include "widgets/apputil.h"
#include "app/mainwindow.h"
#include "base/ini.h"

int runVeltris(const AppPaths& paths, UiServices& ui, const QStringList& args)
{
    MainWindow form(paths, ui, args);
    if (form.document().terminationRequested())
        return 1;
    form.show();
    return QApplication::exec();
}

bool writeFirstRunSettings(const AppPaths& paths)
{
    // The user's own settings, or shared ones from the program folder, are the first run's.
    if (QFileInfo::exists(paths.settingsSource()))
        return false;
    const QString samples = QDir(paths.dataDir).absoluteFilePath(QStringLiteral("samples"));
    if (!QFileInfo(samples).isDir())
        return false;
    veltris::IniFile ini;
    ini.writeString("Scan", "Dir0", qStringToCp(QDir::toNativeSeparators(samples)));
    return ini.saveAtomic(toFsPath(paths.settingsFile), "Не могу записать файл настроек").ok();
}
