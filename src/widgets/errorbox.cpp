#include "widgets/errorbox.h"

#include "widgets/apputil.h"
#include "widgets/uiservices.h"

void showErrorBox(UiServices& ui, QWidget* parent, const veltris::Error& error, ErrorSource source)
{
    QString caption = appTitle();
    if (source == ErrorSource::Core)
        caption = error.kind == veltris::ErrorKind::VersionMismatch ? QStringLiteral("Error!")
                                                                    : QStringLiteral("Ошибка");
    const QString text = error.kind == veltris::ErrorKind::WriteFailed
                             ? QStringLiteral("Ошибка записи в файл")
                             : QString::fromStdString(error.message);
    ui.message(parent, caption, text, QMessageBox::Critical, QMessageBox::Ok);
}

QString problemLines(const std::vector<veltris::Error>& problems, int shown, const QString& lineBreak)
{
    QStringList lines;
    const int n = static_cast<int>(problems.size());
    for (int i = 0; i < n && i < shown; ++i)
        lines << QString::fromStdString(problems[static_cast<std::size_t>(i)].message);
    if (n > shown)
        lines << QStringLiteral("… и ещё %1").arg(n - shown);
    return lines.join(lineBreak);
}
