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
