#include "document/apppaths.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include "base/datadir.h"
#include "ui/cptext.h"

AppPaths AppPaths::fromExecutable(const QString& exePath, const QString& configDir)
{
    const QFileInfo fi(exePath);
    const QString name = fi.completeBaseName();
    AppPaths p;
    p.exeDir = fi.absolutePath();
    p.dataDir = QDir::cleanPath(fromFsPath(veltris::findDataDir(toFsPath(p.exeDir))));
    p.catalogueDir = p.dataDir;
    p.helpFile = p.dataDir + QLatin1Char('/') + name + QStringLiteral(".html");
    const bool portable = p.dataDir == QDir::cleanPath(p.exeDir) && QFileInfo(p.exeDir).isWritable();
    const QString fileName = name + QStringLiteral(".INI");
    QString settingsDir = p.exeDir;
    if (!portable) {
        settingsDir = configDir.isEmpty() ? userConfigDir() : configDir;
        QDir().mkpath(settingsDir);
        for (const QString& dir : {p.exeDir, p.dataDir}) {
            const QString shared = dir + QLatin1Char('/') + fileName;
            if (QFileInfo(shared).isFile()) {
                p.sharedSettingsFile = shared;
                break;
            }
        }
    }
    p.settingsFile = settingsDir + QLatin1Char('/') + fileName;
    const QString userData = QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation);
    if (!userData.isEmpty())
        p.recoveryDir = userData + QStringLiteral("/recovery");
    return p;
}

AppPaths AppPaths::inFolder(const QString& dir, const QString& exeName)
{
    AppPaths p;
    p.exeDir = p.dataDir = p.catalogueDir = QDir::cleanPath(dir);
    const QString stem = p.exeDir + QLatin1Char('/') + exeName;
    p.settingsFile = stem + QStringLiteral(".INI");
    p.helpFile = stem + QStringLiteral(".html");
    p.recoveryDir = p.exeDir + QStringLiteral("/recovery");
    return p;
}

QString AppPaths::userConfigDir()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/veltris");
}
