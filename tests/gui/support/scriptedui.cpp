#include "scriptedui.h"

#include <QDialog>
#include <QTest>
#include <utility>

void ScriptedUi::onDialog(const QString& objectName, DialogHandler handler)
{
    m_dialogHandlers[objectName].enqueue(std::move(handler));
}

void ScriptedUi::rejectDialog(const QString& objectName)
{
    onDialog(objectName, [](QDialog*) { return int(QDialog::Rejected); });
}

QStringList ScriptedUi::messageTexts() const
{
    QStringList out;
    for (const Message& m : messages)
        out << m.text;
    return out;
}

bool ScriptedUi::allAnswersUsed() const
{
    if (!messageAnswers.isEmpty() || !choiceAnswers.isEmpty() || !openAnswers.isEmpty() ||
        !saveAnswers.isEmpty())
        return false;
    for (const auto& q : m_dialogHandlers)
        if (!q.isEmpty())
            return false;
    return true;
}

void ScriptedUi::fail(const QString& what)
{
    unexpected << what;
    QTest::qFail(qPrintable(QStringLiteral("unanswered UI call: ") + what), __FILE__, __LINE__);
}

Answer ScriptedUi::message(QWidget*, const QString& caption, const QString& text, MessageIcon icon,
                           Answers buttons)
{
    messages.append({caption, text, icon, buttons});
    if (buttons == Answer::Ok && messageAnswers.isEmpty())
        return Answer::Ok;
    if (messageAnswers.isEmpty()) {
        fail(QStringLiteral("message \"%1\"").arg(text));
        return buttons.testFlag(Answer::Cancel) ? Answer::Cancel : Answer::Ok;
    }
    return messageAnswers.dequeue();
}

int ScriptedUi::choice(QWidget*, const QString& caption, const QString& text, MessageIcon,
                       const QStringList& buttons, int cancelIndex)
{
    choices.append({caption, text, buttons});
    if (whenAsked)
        std::exchange(whenAsked, {})();
    if (choiceAnswers.isEmpty()) {
        fail(QStringLiteral("question \"%1\"").arg(text));
        return cancelIndex;
    }
    const QString answer = choiceAnswers.dequeue();
    if (answer == kClosed)
        return cancelIndex;
    const int index = static_cast<int>(buttons.indexOf(answer));
    if (index < 0) {
        fail(QStringLiteral("no button \"%1\" in \"%2\"").arg(answer, text));
        return cancelIndex;
    }
    return index;
}

void ScriptedUi::moveThroughFolders(const FileDialogRequest& req)
{
    const QStringList moves = std::exchange(folderMoves, {});
    if (req.folderChanged)
        for (const QString& f : moves)
            req.folderChanged(f);
}

QString ScriptedUi::openFileName(QWidget*, const FileDialogRequest& req)
{
    openRequests.append(req);
    moveThroughFolders(req);
    if (openAnswers.isEmpty()) {
        fail(QStringLiteral("open dialog"));
        return {};
    }
    return openAnswers.dequeue();
}

QString ScriptedUi::saveFileName(QWidget*, const FileDialogRequest& req)
{
    saveRequests.append(req);
    moveThroughFolders(req);
    if (saveAnswers.isEmpty()) {
        fail(QStringLiteral("save dialog"));
        return {};
    }
    return saveAnswers.dequeue();
}

void ScriptedUi::openUrl(const QUrl& url)
{
    urls.append(url);
}

void ScriptedUi::showHelp(HelpTopic topic)
{
    helpTopics.append(static_cast<int>(topic));
}

int ScriptedUi::execDialog(QDialog* dialog)
{
    if (!dialog) {
        fail(QStringLiteral("null dialog"));
        return QDialog::Rejected;
    }
    const QString name = dialog->objectName();
    dialogs << name;
    auto it = m_dialogHandlers.find(name);
    if (it == m_dialogHandlers.end() || it->isEmpty()) {
        fail(QStringLiteral("dialog ") + name);
        return QDialog::Rejected;
    }
    const DialogHandler handler = it->dequeue();
    dialog->setResult(0);
    dialog->show();
    const int result = handler(dialog);
    dialog->hide();
    dialog->setResult(result);
    return result;
}

void ScriptedUi::beep()
{
    ++beeps;
}
