#pragma once
// UiServices for GUI tests: records every call and answers from queues the test fills.
// A call without a prepared answer fails the test (and answers Cancel / Rejected / empty)
// instead of blocking. A message whose only button is OK needs no answer.
#include <QHash>
#include <QList>
#include <QQueue>
#include <QStringList>
#include <functional>

#include "widgets/widgetuiservices.h"

class ScriptedUi : public WidgetUiServices {
public:
    struct Message {
        QString caption;
        QString text;
        MessageIcon icon;
        Answers buttons;
    };
    using DialogHandler = std::function<int(QDialog*)>;

    // ---- answers ----
    QQueue<Answer> messageAnswers;
    // Answers to choice() by the text of the button chosen; kClosed closes the question without
    // an answer (Escape).
    QQueue<QString> choiceAnswers;
    static inline const QString kClosed = QStringLiteral("<Escape>");
    // Runs when a question is put, before it is answered (another program starting meanwhile).
    std::function<void()> whenAsked;
    QQueue<QString> openAnswers;  // "" = cancelled
    QQueue<QString> saveAnswers;
    // Folders the user moves through in the next file dialog, reported before it answers.
    QStringList folderMoves;
    // Handlers by the dialog's objectName, used once each in order.
    void onDialog(const QString& objectName, DialogHandler handler);
    // A handler that just closes the dialog (Rejected).
    void rejectDialog(const QString& objectName);

    // ---- record ----
    QList<Message> messages;
    struct Choice {
        QString caption;
        QString text;
        QStringList buttons;
    };
    QList<Choice> choices;
    QList<FileDialogRequest> openRequests;
    QList<FileDialogRequest> saveRequests;
    QList<QUrl> urls;
    QList<int> helpTopics;
    QStringList dialogs;  // objectName of every dialog run
    int beeps = 0;
    QStringList unexpected;  // calls nobody answered

    QStringList messageTexts() const;
    bool allAnswersUsed() const;

    // ---- UiServices ----
    Answer message(QWidget* parent, const QString& caption, const QString& text, MessageIcon icon,
                   Answers buttons) override;
    // Fails the test when no answer is queued or the queued text names none of the buttons.
    int choice(QWidget* parent, const QString& caption, const QString& text, MessageIcon icon,
               const QStringList& buttons, int cancelIndex) override;
    QString openFileName(QWidget* parent, const FileDialogRequest& req) override;
    QString saveFileName(QWidget* parent, const FileDialogRequest& req) override;
    void openUrl(const QUrl& url) override;
    void showHelp(HelpTopic topic) override;
    // Shows the dialog (so its show handler runs, as under exec), runs its handler without an
    // event loop, hides it and returns the handler's result, also stored with setResult().
    int execDialog(QDialog* dialog) override;
    void beep() override;

private:
    void fail(const QString& what);
    void moveThroughFolders(const FileDialogRequest& req);
    QHash<QString, QQueue<DialogHandler>> m_dialogHandlers;
};
