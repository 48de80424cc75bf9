#pragma once
// The one way a failure reaches the user as a message box.
#include <QString>
#include <QStringList>
#include <vector>

#include "base/result.h"
#include "ui/uiservices.h"

// The application title; also the caption of the framework-style error messages.
inline QString appTitle()
{
    return QStringLiteral("Вельтрис");
}

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
// файл" whatever the core added, so every save and export says the same, except one that a cell
// caused: that one names the record, the column and the text, so the cell can be mended.
inline void showErrorBox(UiServices& ui, QWidget* parent, const veltris::Error& error,
                         ErrorSource source = ErrorSource::Core)
{
    QString caption = appTitle();
    if (source == ErrorSource::Core)
        caption = error.kind == veltris::ErrorKind::VersionMismatch ? QStringLiteral("Error!")
                                                                    : QStringLiteral("Ошибка");
    const QString text = error.kind == veltris::ErrorKind::WriteFailed && error.row < 0
                             ? QStringLiteral("Ошибка записи в файл")
                             : QString::fromStdString(error.message);
    ui.message(parent, caption, text, MessageIcon::Critical, Answer::Ok);
}

// A failure the work goes on after (a setting not kept, a value out of range, bases a scan could
// not read): "Ошибка" with the warning icon, one OK button.
inline void showWarningBox(UiServices& ui, QWidget* parent, const QString& text,
                           MessageIcon icon = MessageIcon::Warning)
{
    ui.message(parent, QStringLiteral("Ошибка"), text, icon, Answer::Ok);
}

// The messages of several failures (files a scan or a search could not read), one a line: the
// first `shown` of them, then how many more there are.
inline QString problemLines(const std::vector<veltris::Error>& problems, int shown, const QString& lineBreak)
{
    QStringList lines;
    const int n = static_cast<int>(problems.size());
    for (int i = 0; i < n && i < shown; ++i)
        lines << QString::fromStdString(problems[static_cast<std::size_t>(i)].message);
    if (n > shown)
        lines << QStringLiteral("… и ещё %1").arg(n - shown);
    return lines.join(lineBreak);
}
