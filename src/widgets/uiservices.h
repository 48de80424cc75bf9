#pragma once
// Everything that blocks or talks to the system goes through here: message boxes, file dialogs,
// web and mail addresses, help topics, modal dialogs, the beep. The program uses QtUiServices;
// GUI tests use a scripted implementation that records each call and answers it.
#include <QMessageBox>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <functional>

#include "widgets/helptopic.h"

class QDialog;
class QWidget;

struct FileDialogRequest {
    QString filter;         // Qt form, e.g. "QDB File (*.QDB)"
    QString defaultSuffix;  // added when the typed name has no extension
    QString startDir;
    // The folder the dialog closed in, when it is not the start folder.
    std::function<void(const QString&)> folderChanged;
};

class UiServices {
public:
    virtual ~UiServices() = default;

    virtual QMessageBox::StandardButton message(QWidget* parent, const QString& caption,
                                                const QString& text, QMessageBox::Icon icon,
                                                QMessageBox::StandardButtons buttons) = 0;
    // A question whose answers are named by `buttons` (the first is the default): the index of
    // the one chosen; `cancelIndex` when the window is closed without a choice.
    virtual int choice(QWidget* parent, const QString& caption, const QString& text, QMessageBox::Icon icon,
                       const QStringList& buttons, int cancelIndex) = 0;
    // Empty result: cancelled.
    virtual QString openFileName(QWidget* parent, const FileDialogRequest& req) = 0;
    virtual QString saveFileName(QWidget* parent, const FileDialogRequest& req) = 0;

    virtual void openUrl(const QUrl& url) = 0;
    virtual void showHelp(HelpTopic topic) = 0;

    // Runs a modal dialog and returns what exec() would.
    virtual int execDialog(QDialog* dialog) = 0;

    virtual void beep() = 0;
};
