#include "app/qtuiservices.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDialog>
#include <QDir>
#include <QFileDialog>

#include "app/helpviewer.h"

QtUiServices::QtUiServices(QString helpFile) : m_helpFile(std::move(helpFile)) {}

QtUiServices::~QtUiServices()
{
    delete m_help;
}

QMessageBox::StandardButton QtUiServices::message(QWidget* parent, const QString& caption,
                                                  const QString& text, QMessageBox::Icon icon,
                                                  QMessageBox::StandardButtons buttons)
{
    // Texts carry CR LF line breaks; the label wants plain LF.
    QString shown = text;
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    QMessageBox box(icon, caption, shown, buttons, parent);
    box.setTextFormat(Qt::PlainText);
    return static_cast<QMessageBox::StandardButton>(box.exec());
}

QString QtUiServices::runFileDialog(QWidget* parent, const FileDialogRequest& req, bool save)
{
    QFileDialog dlg(parent);
    dlg.setOption(QFileDialog::DontUseNativeDialog, true);
    dlg.setNameFilter(req.filter);
    dlg.setDefaultSuffix(req.defaultSuffix);
    const QString start = QDir(req.startDir).exists() ? req.startDir : QDir::homePath();
    dlg.setDirectory(start);
    if (save) {
        dlg.setAcceptMode(QFileDialog::AcceptSave);
        dlg.setOption(QFileDialog::DontConfirmOverwrite, true);
    } else {
        dlg.setAcceptMode(QFileDialog::AcceptOpen);
        dlg.setFileMode(QFileDialog::AnyFile);  // a typed name need not exist
    }
    if (req.folderChanged)
        QObject::connect(&dlg, &QFileDialog::directoryEntered, &dlg,
                         [cb = req.folderChanged](const QString& dir) { cb(dir); });
    if (dlg.exec() != QDialog::Accepted || dlg.selectedFiles().isEmpty())
        return {};
    return dlg.selectedFiles().constFirst();
}

QString QtUiServices::openFileName(QWidget* parent, const FileDialogRequest& req)
{
    return runFileDialog(parent, req, false);
}

QString QtUiServices::saveFileName(QWidget* parent, const FileDialogRequest& req)
{
    return runFileDialog(parent, req, true);
}

void QtUiServices::openUrl(const QUrl& url)
{
    QDesktopServices::openUrl(url);
}

void QtUiServices::showHelp(int topic)
{
    if (!m_help)
        m_help = new HelpViewer(m_helpFile);
    m_help->showTopic(topic);
}

int QtUiServices::execDialog(QDialog* dialog)
{
    return dialog ? dialog->exec() : QDialog::Rejected;
}

void QtUiServices::beep()
{
    QApplication::beep();
}
