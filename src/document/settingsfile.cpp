#include "document/settingsfile.h"

#include <QFileInfo>
#include <utility>

#include "base/settings.h"
#include "document/apppaths.h"
#include "ui/cptext.h"

SettingsFile::SettingsFile(QString userFile, QString sharedFile)
    : m_userFile(std::move(userFile)), m_sharedFile(std::move(sharedFile))
{}

SettingsFile::SettingsFile(const AppPaths& paths) : SettingsFile(paths.settingsFile, paths.sharedSettingsFile)
{}

QString SettingsFile::source() const
{
    if (m_sharedFile.isEmpty() || QFileInfo::exists(m_userFile))
        return m_userFile;
    return m_sharedFile;
}

bool SettingsFile::exists() const
{
    return QFileInfo::exists(source());
}

veltris::IniFile SettingsFile::contents()
{
    if (m_problem)
        return m_sessionCopy;
    auto read = veltris::IniFile::loadIfPresent(toFsPath(source()));
    if (read)
        return std::move(*read);
    m_problem = read.error();
    return m_sessionCopy;
}

veltris::Status SettingsFile::change(const std::function<void(veltris::IniFile&)>& change)
{
    const bool readBefore = !m_problem;
    veltris::IniFile ini = contents();
    change(ini);
    if (m_problem) {
        // Writing would drop every section the program could not see: the change stays here.
        m_sessionCopy = std::move(ini);
        if (readBefore)
            return *m_problem;
        return {};
    }
    return ini.saveAtomic(toFsPath(m_userFile), veltris::kSettingsWriteFailed);
}

QString SettingsFile::problemText() const
{
    if (!m_problem)
        return {};
    return QStringLiteral(
               "Файл настроек не прочитан: %1\r\nПрограмма работает с настройками по "
               "умолчанию и не будет перезаписывать этот файл.")
        .arg(QString::fromStdString(m_problem->message));
}
