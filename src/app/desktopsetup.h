#pragma once
// What the program sets up in the application before its first window: Qt's own Russian texts
// for the standard buttons and dialogs, and the Tahoma font the windows are laid out for.
#include <QString>
#include <QStringList>

class QCoreApplication;

// Loads Qt's Russian translation (qtbase_ru) from Qt's translations folder into `app`.
// Returns false when the file is missing (the standard texts then stay English).
bool installQtTranslations(QCoreApplication& app);

// Russian formats for everything Qt shows (sizes and dates in the file dialogs, numbers in spin
// boxes) whatever LANG says. The C library's number formats stay "C": the files' number texts
// (bases, CSV, settings) never depend on the user's locale.
void setUpRussianLocale();

// Folders searched for a metric-compatible Tahoma (tahoma.ttf, tahomabd.ttf) when the system
// has none: the "wine/fonts" folders of the shared data locations.
QStringList tahomaFontFolders();

// Makes Tahoma available: true when the system has it or when the files in one of `folders`
// could be added to the application's fonts.
bool ensureTahoma(const QStringList& folders = tahomaFontFolders());
