#include "app/desktopsetup.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QFontDatabase>
#include <QLibraryInfo>
#include <QLocale>
#include <QStandardPaths>
#include <QTranslator>
#include <clocale>
#include <memory>

bool installQtTranslations(QCoreApplication& app)
{
    auto translator = std::make_unique<QTranslator>();
    const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    if (!translator->load(QStringLiteral("qtbase_ru"), folder))
        return false;
    // The application keeps it for as long as it runs.
    translator->setParent(&app);
    return QCoreApplication::installTranslator(translator.release());
}

void setUpRussianLocale()
{
    QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
    // QCoreApplication took LC_ALL from the environment; numbers go back to "C".
    std::setlocale(LC_NUMERIC, "C");
}

QStringList tahomaFontFolders()
{
    QStringList folders = QStandardPaths::locateAll(
        QStandardPaths::GenericDataLocation, QStringLiteral("wine/fonts"), QStandardPaths::LocateDirectory);
    const QString debian = QStringLiteral("/usr/share/wine/fonts");
    if (!folders.contains(debian))
        folders << debian;
    return folders;
}

bool ensureTahoma(const QStringList& folders)
{
    if (QFontDatabase::hasFamily(QStringLiteral("Tahoma")))
        return true;
    for (const QString& folder : folders) {
        const QDir dir(folder);
        bool added = false;
        for (const QString& file : {QStringLiteral("tahoma.ttf"), QStringLiteral("tahomabd.ttf")}) {
            const QString path = dir.filePath(file);
            if (QFileInfo::exists(path) && QFontDatabase::addApplicationFont(path) >= 0)
                added = true;
        }
        if (added && QFontDatabase::hasFamily(QStringLiteral("Tahoma")))
            return true;
    }
    return false;
}
