#pragma once
// What outlives an open document: the program's paths, its settings (through their one owner,
// SettingsFile), the parameter catalogue every base is read with, and the navigator's catalogue
// of the library folders scanned at start. Made once at start-up, before the document; the
// document, the window, its pages and dialogs read it. Nothing here asks or shows anything.
#include <QString>
#include <memory>
#include <vector>

#include "base/catalogue.h"
#include "base/navigatorcatalogue.h"
#include "base/result.h"
#include "base/settings.h"
#include "document/apppaths.h"
#include "document/settingsfile.h"

class Application;

// What Application::open gives: the application, or the errors that kept it from being made.
struct OpenedApplication {
    std::unique_ptr<Application> application;
    // The catalogue files that could not be read, one error each (the program cannot run).
    std::vector<veltris::Error> errors;
    explicit operator bool() const { return application != nullptr; }
};

class Application {
public:
    // Reads the settings and the catalogues and scans the navigator's folders. A catalogue that
    // cannot be read gives its error instead of an application.
    static OpenedApplication open(const AppPaths& paths);

    const AppPaths& paths() const { return m_paths; }
    const veltris::Catalogue& catalogue() const { return m_catalogue; }
    const veltris::NavigatorCatalogue& navigatorCatalogue() const { return m_navigatorCatalogue; }
    // Problems of the start-up folder scan (shown in one message after the window appears).
    const std::vector<veltris::Error>& scanProblems() const { return m_scanProblems; }

    // The settings file's one reader and writer. When it could not be read the session runs on
    // the defaults and the file is never rewritten (said once, after the window appears).
    SettingsFile& settingsFile() { return m_settingsFile; }
    veltris::ProgramSettings& settings() { return m_settings; }
    const veltris::ProgramSettings& settings() const { return m_settings; }
    QString deviceLabel() const;  // the settings' device name as text
    int standardWidth() const;    // the settings' column width, kept within what a column can be
    // The folder an open / save dialog closed in is where the next one starts.
    void rememberOpenFolder(const QString& folder);
    void rememberSaveFolder(const QString& folder);
    // The settings written back (keys edited by hand while the program ran are kept). The error
    // of a settings file that could not be read (first time only: the file is left as it is,
    // since writing it would drop every section the program could not see) or of the write.
    veltris::Status saveSettings();

private:
    explicit Application(const AppPaths& paths);

    AppPaths m_paths;
    SettingsFile m_settingsFile;
    veltris::ProgramSettings m_settings;
    veltris::Catalogue m_catalogue;
    veltris::NavigatorCatalogue m_navigatorCatalogue;
    std::vector<veltris::Error> m_scanProblems;
};
