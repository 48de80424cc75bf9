#include "document/application.h"

#include <QDir>
#include <QFileInfo>
#include <algorithm>

#include "ui/cptext.h"

namespace {

// Where the open and save dialogs start before the user has chosen a folder: the home folder; on
// Windows the root of drive C:, as the settings file has always said.
std::string defaultStartFolder()
{
#ifdef Q_OS_WIN
    return "C:\\";
#else
    return qStringToCp(QDir::toNativeSeparators(QDir::homePath()));
#endif
}

}  // namespace

OpenedApplication Application::open(const AppPaths& paths)
{
    OpenedApplication opened;
    std::unique_ptr<Application> application(new Application(paths));
    auto load = veltris::loadCatalogues(toFsPath(paths.catalogueDir));
    opened.errors = std::move(load.errors);
    if (!opened.errors.empty())
        return opened;
    application->m_catalogue = std::move(load.catalogue);
    for (const std::string& dir : application->m_settings.scanDirs) {
        if (dir.empty())
            continue;
        const QString folder = cpToQString(dir);
        if (!QFileInfo(folder).isDir())
            continue;
        auto problems = application->m_navigatorCatalogue.addFolder(toFsPath(folder));
        application->m_scanProblems.insert(application->m_scanProblems.end(), problems.begin(),
                                           problems.end());
    }
    opened.application = std::move(application);
    return opened;
}

Application::Application(const AppPaths& paths) : m_paths(paths), m_settingsFile(paths)
{
    // The drawing folders default to the data folder's DIODE, TRANS, ...
    const std::string dataDir = qStringToCp(m_paths.dataDir + QLatin1Char('/'));
    m_settings = veltris::ProgramSettings::read(m_settingsFile.contents(), dataDir, defaultStartFolder());
}

QString Application::deviceLabel() const
{
    return cpToQString(m_settings.deviceLabel);
}

int Application::standardWidth() const
{
    return std::clamp<int>(m_settings.standardColumnWidth, 0, 4000);
}

void Application::rememberOpenFolder(const QString& folder)
{
    m_settings.openFolder = qStringToCp(folder);
}

void Application::rememberSaveFolder(const QString& folder)
{
    m_settings.saveFolder = qStringToCp(folder);
}

veltris::Status Application::saveSettings()
{
    return m_settingsFile.change([this](veltris::IniFile& ini) { m_settings.writeBack(ini); });
}
