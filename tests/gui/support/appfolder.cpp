#include "appfolder.h"

#include <QDir>
#include <QFile>
#include <QTest>

#include "widgets/apputil.h"

AppFolder::AppFolder(const QStringList& withoutCatalogues)
{
    const QDir bin(QStringLiteral(VELTRIS_BIN_DIR));
    for (const QString& ini :
         {QStringLiteral("bipolar.ini"), QStringLiteral("diodes.ini"), QStringLiteral("stab.ini"),
          QStringLiteral("varicaps.ini"), QStringLiteral("thyrist.ini"), QStringLiteral("leds.ini"),
          QStringLiteral("substitute.ini")}) {
        if (withoutCatalogues.contains(ini, Qt::CaseInsensitive))
            continue;
        if (!QFile::copy(bin.filePath(ini), m_dir.filePath(ini)))
            qWarning("cannot copy %s", qPrintable(bin.filePath(ini)));
    }
    m_paths = AppPaths::inFolder(m_dir.path());
}

QByteArray cp1251(const QString& text)
{
    return QByteArray::fromStdString(qStringToCp(text));
}

void AppFolder::writeSettings(const QString& text)
{
    QString crlf = text;
    crlf.replace(QStringLiteral("\r\n"), QStringLiteral("\n"))
        .replace(QStringLiteral("\n"), QStringLiteral("\r\n"));
    QFile f(m_paths.settingsFile);
    if (!f.open(QIODevice::WriteOnly) || f.write(cp1251(crlf)) < 0)
        qWarning("cannot write settings");
}

bool AppFolder::settingsExist() const
{
    return QFile::exists(m_paths.settingsFile);
}

QString AppFolder::settingsText() const
{
    QFile f(m_paths.settingsFile);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return cpToQString(f.readAll().toStdString());
}

QString AppFolder::copySample(const QString& name) const
{
    const QString from = QDir(QStringLiteral(VELTRIS_BIN_DIR)).filePath(QStringLiteral("samples/") + name);
    const QString to = m_dir.filePath(name);
    if (!QFile::copy(from, to))
        qWarning("cannot copy %s", qPrintable(from));
    QFile::setPermissions(to, QFile::ReadOwner | QFile::WriteOwner);
    return to;
}
