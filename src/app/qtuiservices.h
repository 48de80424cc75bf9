#pragma once
// The program's UiServices: real message boxes, file dialogs, the desktop's browser and mail
// program, the help window, modal dialogs.
#include <QString>
#include <memory>

#include "widgets/widgetuiservices.h"

class HelpViewer;

class QtUiServices : public WidgetUiServices {
public:
    explicit QtUiServices(QString helpFile);
    ~QtUiServices() override;

    Answer message(QWidget* parent, const QString& caption, const QString& text, MessageIcon icon,
                   Answers buttons) override;
    int choice(QWidget* parent, const QString& caption, const QString& text, MessageIcon icon,
               const QStringList& buttons, int cancelIndex) override;
    QString openFileName(QWidget* parent, const FileDialogRequest& req) override;
    QString saveFileName(QWidget* parent, const FileDialogRequest& req) override;
    void openUrl(const QUrl& url) override;
    void showHelp(HelpTopic topic) override;
    int execDialog(QDialog* dialog) override;
    void beep() override;

private:
    QString runFileDialog(QWidget* parent, const FileDialogRequest& req, bool save);

    QString m_helpFile;
    std::unique_ptr<HelpViewer> m_help;
};
