#pragma once
// A temporary program folder for GUI tests: the catalogue INI files and the substitute rules copied from the build's
// bin folder, an optional settings file, and AppPaths pointing there.
#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include "document/apppaths.h"

class AppFolder {
public:
    // `withoutCatalogues`: catalogue files (e.g. "diodes.ini") left out of the folder.
    explicit AppFolder(const QStringList& withoutCatalogues = {});

    QString path() const { return m_dir.path(); }
    const AppPaths& paths() const { return m_paths; }
    QString file(const QString& name) const { return m_dir.filePath(name); }

    // Writes the settings file from UTF-8 text (stored as Windows-1251, CR LF lines).
    void writeSettings(const QString& text);
    // The settings file as UTF-8 text; empty when it does not exist.
    QString settingsText() const;
    bool settingsExist() const;

    // A copy of a sample base from the build (bin/samples/<name>) into this folder.
    QString copySample(const QString& name) const;

private:
    QTemporaryDir m_dir;
    AppPaths m_paths;
};

// The Windows-1251 bytes of a UTF-8 text.
QByteArray cp1251(const QString& text);
