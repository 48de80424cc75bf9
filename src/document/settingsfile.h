#pragma once
// The program settings file and its one reader and writer: every part of the program that reads
// or changes a setting (the window's size and folders, the page «Замена»'s rules and strict
// option, the first run's scan folder) goes through one SettingsFile, so that its promises hold
// for all of them:
//  - the user's file is read; while it does not exist, the shared one beside the program (an
//    administrator's) is, and the user's copy, written at the first change, starts as its content;
//  - a change is made to the file as it is now (keys edited by hand while the program runs are
//    kept) and written all or nothing;
//  - a file that is there but cannot be read (no access, a pipe, too big) is never rewritten: from
//    then on the session's settings live in memory only.
#include <QString>
#include <functional>
#include <optional>

#include "base/ini.h"
#include "base/result.h"

struct AppPaths;

class SettingsFile {
public:
    // `userFile`: where changes are written; `sharedFile` (may be empty): read while `userFile`
    // does not exist.
    explicit SettingsFile(QString userFile, QString sharedFile = QString());
    explicit SettingsFile(const AppPaths& paths);

    // The file the settings are read from now: the user's, or while it does not exist the
    // shared one (when there is one).
    QString source() const;
    // Whether either file exists (the user's or the shared one).
    bool exists() const;

    // The settings as the file holds them now; a file that cannot be read gives the session's
    // copy in memory (the defaults at first) and is remembered as problem().
    veltris::IniFile contents();
    // `change` made to contents() and written to the user's file all or nothing. The error of a
    // file that cannot be read (the change then lives in memory; said once: after that, ok), or
    // of the write (WriteFailed, veltris::kSettingsWriteFailed).
    veltris::Status change(const std::function<void(veltris::IniFile&)>& change);

    // Why the file could not be read; nothing while it could.
    const std::optional<veltris::Error>& problem() const { return m_problem; }
    // The message for problem(): the session runs on the defaults and the file stays as it is.
    QString problemText() const;

private:
    QString m_userFile;
    QString m_sharedFile;
    std::optional<veltris::Error> m_problem;
    veltris::IniFile m_sessionCopy;  // the settings once the file could not be read
};
