#pragma once
// The one way a failure reaches the user as a message box.
#include <QString>
#include <vector>

#include "base/result.h"

class QWidget;
class UiServices;

// Who reports the failure, which decides the caption.
enum class ErrorSource {
    // A failure of the core's work on files and bases: "Error!" for a version mismatch, "Ошибка"
    // otherwise.
    Core,
    // A failure inside a command of the window (a sort key, a bound, a picture): the program's
    // title.
    Command,
};

// Shows `error` with the error icon and one OK button. A write failure reads "Ошибка записи в
// файл" whatever the core added, so every save and export says the same.
void showErrorBox(UiServices& ui, QWidget* parent, const veltris::Error& error,
                  ErrorSource source = ErrorSource::Core);

// The messages of several failures (files a scan or a search could not read), one a line: the
// first `shown` of them, then how many more there are.
QString problemLines(const std::vector<veltris::Error>& problems, int shown, const QString& lineBreak);
