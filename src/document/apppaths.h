#pragma once
// Where the program finds its files. Computed from the executable in main; tests give their own.
#include <QString>

struct AppPaths {
    QString exeDir;        // no trailing separator
    QString dataDir;       // catalogue, drawings, help, samples; no trailing separator
    QString settingsFile;  // the executable's name with ".INI"; every change is written here
    // The program folder's settings (an administrator's, in a folder users cannot write): read
    // while the user has no settings file of their own, which starts as a copy of it at the
    // first change (SettingsFile keeps that). Empty when the settings file lies in the program
    // folder itself.
    QString sharedSettingsFile;
    QString catalogueDir;  // the six device INI files
    QString helpFile;      // the executable's name with ".html"
    // Where unsaved changes are kept against a crash (the user's data folder, never beside a
    // base); empty: nowhere.
    QString recoveryDir;

    // The data lie beside the executable (a build or a portable folder) or in ../share/veltris
    // (an installation). The settings file lies beside the executable when the data do and the
    // folder is writable; otherwise in `configDir` (default: the user's config folder, created
    // when needed), with the settings file of the program folder (or else of the data folder),
    // where there is one, as the shared settings. Recovery files go to "recovery" in the
    // program's data folder of the user (QStandardPaths::AppLocalDataLocation).
    static AppPaths fromExecutable(const QString& exePath, const QString& configDir = QString());

    // All files in one folder, as if the executable `exeName` lived there; recovery files in
    // its folder "recovery".
    static AppPaths inFolder(const QString& dir, const QString& exeName = QStringLiteral("veltris"));

    // <user's config folder>/veltris.
    static QString userConfigDir();
};
