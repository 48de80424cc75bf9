#pragma once
// The program's start: windows in their order, then the message loop.
#include <QStringList>

#include "document/apppaths.h"

class UiServices;

// The program: opens the document, creates the main window over it (and with it the dialogs)
// and runs the loop until it closes. When a catalogue failed to load, shows each error and
// returns 1 before anything else is shown.
// SIGTERM and SIGHUP end the loop with the unsaved changes kept in the recovery file; the
// session manager's end of the session runs the unsaved-changes prompt where it may.
int runVeltris(const AppPaths& paths, UiServices& ui, const QStringList& args);

// First run: when no settings file exists yet (neither the user's nor a shared one) and a "samples" folder lies in the data folder,
// writes a settings file whose Scan Dir0 names it, so a new user finds the navigator filled.
// Returns true when it wrote the file.
bool writeFirstRunSettings(const AppPaths& paths);
