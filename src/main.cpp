// Вельтрис: the desktop program.
#include <QApplication>

#include "app/desktopsetup.h"
#include "app/qtuiservices.h"
#include "app/startup.h"
#include "document/apppaths.h"

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    // No application display name: Qt would append it to every window title, and each window
    // carries its own exact caption ("О программе", "Ошибка", ...). The main window's is "Вельтрис".
    installQtTranslations(app);  // «Да», «Нет», «Отмена» and Russian file dialogs
    setUpRussianLocale();        // Russian sizes, dates and numbers on screen, whatever LANG says
    ensureTahoma();
    const AppPaths paths = AppPaths::fromExecutable(QCoreApplication::applicationFilePath());
    writeFirstRunSettings(paths);  // first run: point the navigator at the bundled samples
    QtUiServices ui(paths.helpFile);
    return runVeltris(paths, ui, app.arguments().mid(1));
}
