#pragma once
// The built program started as a user starts it, in a process of its own: a copy of the
// executable in a temporary program folder (with the catalogue files and a settings file that
// keeps the navigator off), offscreen, with the user's data folder (recovery files) inside
// that folder too. For tests of what happens between two programs or across a crash.
#include <QProcess>
#include <QString>
#include <QStringList>

#include "appfolder.h"

class ProgramRun {
public:
    ProgramRun();
    ~ProgramRun();  // a program still running is killed

    AppFolder& folder() { return m_folder; }
    // Where the program keeps its recovery files.
    QString recoveryDir() const;
    // AppPaths of the same folder for a window in the test's own process: its recovery files
    // are the started program's.
    AppPaths paths() const;

    // Starts the program with `args`; the menu actions named (objectName) in `actions` run
    // once its window has started. False when it did not start.
    bool start(const QStringList& args, const QStringList& actions = {});
    // Waits until the actions have run (the program says so on its standard output).
    bool waitForActions(int ms = 20000);
    qint64 pid() const { return m_process.processId(); }
    // Sends a signal (SIGTERM, SIGKILL, ...); waitForExit() then tells how it ended.
    void signal(int number);
    bool waitForExit(int ms = 20000);
    QProcess& process() { return m_process; }

private:
    AppFolder m_folder;
    QProcess m_process;
    QByteArray m_output;
};
