#pragma once
// Where the program finds its files. Computed from the executable in main; tests give their own.
#include <QFileInfo>
#include <QString>

struct AppPaths {
    QString exeDir;        // no trailing separator
    QString settingsFile;  // the executable's name with ".INI"
    QString catalogueDir;  // the six device INI files
    QString helpFile;      // the executable's name with ".html"

    static AppPaths fromExecutable(const QString& exePath)
    {
        const QFileInfo fi(exePath);
        AppPaths p;
        p.exeDir = fi.absolutePath();
        const QString stem = p.exeDir + QLatin1Char('/') + fi.completeBaseName();
        p.settingsFile = stem + QStringLiteral(".INI");
        p.catalogueDir = p.exeDir;
        p.helpFile = stem + QStringLiteral(".html");
        return p;
    }

    // All files in one folder, as if the executable `exeName` lived there.
    static AppPaths inFolder(const QString& dir, const QString& exeName = QStringLiteral("veltris"))
    {
        return fromExecutable(dir + QLatin1Char('/') + exeName);
    }
};
