#pragma once
// Everything that blocks or talks to the system goes through here: message boxes, file dialogs,
// web and mail addresses, help topics, modal dialogs, the beep, the busy cursor, the progress
// window of long work. The program uses QtUiServices; GUI tests use a scripted implementation
// that records each call and answers it. Nothing here draws: the document asks through this
// interface and never sees a widget (a parent window is passed through as an opaque pointer).
#include <QFlags>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <functional>
#include <memory>

#include "ui/helptopic.h"

class QDialog;
class QWidget;

// The icon of a message.
enum class MessageIcon {
    None,
    Information,
    Warning,
    Critical,
    Question
};

// The standard answers of a message: the buttons offered, and the one chosen.
enum class Answer : unsigned {
    None = 0,  // no button (a message closed without an answer)
    Ok = 0x1,
    Yes = 0x2,
    No = 0x4,
    Cancel = 0x8,
};
Q_DECLARE_FLAGS(Answers, Answer)
Q_DECLARE_OPERATORS_FOR_FLAGS(Answers)

struct FileDialogRequest {
    QString filter;         // Qt form, e.g. "QDB File (*.QDB)"
    QString defaultSuffix;  // added when the typed name has no extension
    QString startDir;
    QString proposedName;  // a file name the dialog offers in its name field (empty: none)
    // The folder the dialog closed in, when it is not the start folder.
    std::function<void(const QString&)> folderChanged;
};

// The question for the name of a CSV file to write: ";"-separated, ".CSV" added to a name typed
// without an extension.
inline FileDialogRequest csvSaveRequest()
{
    FileDialogRequest req;
    req.filter = QStringLiteral("CSV - (;) (*.CSV)");
    req.defaultSuffix = QStringLiteral("CSV");
    return req;
}

// The question for the name of a workbook to write: ".xlsx" added to a name typed without an
// extension.
inline FileDialogRequest xlsxSaveRequest()
{
    FileDialogRequest req;
    req.filter = QStringLiteral("Книга Excel (*.xlsx)");
    req.defaultSuffix = QStringLiteral("xlsx");
    return req;
}

// A window showing that long work is under way. It blocks the window it was shown over and
// cannot be closed by the user (the work cannot be left half done); it goes when dropped.
class WorkProgress {
public:
    virtual ~WorkProgress() = default;
    virtual void setText(const QString& text) = 0;
};

class UiServices {
public:
    virtual ~UiServices() = default;

    virtual Answer message(QWidget* parent, const QString& caption, const QString& text, MessageIcon icon,
                           Answers buttons) = 0;
    // A question whose answers are named by `buttons` (the first is the default): the index of
    // the one chosen; `cancelIndex` when the window is closed without a choice (Escape, the
    // title bar's button). A `cancelIndex` past the last button tells such a closing from
    // every button: then no button answers Escape.
    virtual int choice(QWidget* parent, const QString& caption, const QString& text, MessageIcon icon,
                       const QStringList& buttons, int cancelIndex) = 0;
    // Empty result: cancelled.
    virtual QString openFileName(QWidget* parent, const FileDialogRequest& req) = 0;
    virtual QString saveFileName(QWidget* parent, const FileDialogRequest& req) = 0;

    virtual void openUrl(const QUrl& url) = 0;
    virtual void showHelp(HelpTopic topic) = 0;

    // Runs a modal dialog and returns what exec() would.
    virtual int execDialog(QDialog* dialog) = 0;

    virtual void beep() = 0;

    // The wait cursor over the whole program while `busy` (calls pair up: true, then false).
    virtual void setBusy(bool busy) = 0;
    // A progress window titled `title` showing `text` over `parent` (window-modal), its object
    // name `name` and its text label's `name` + "Text" (help and tests look them up).
    virtual std::unique_ptr<WorkProgress> showProgress(QWidget* parent, const QString& name,
                                                       const QString& title, const QString& text) = 0;
    // One of the program's windows is the active one.
    virtual bool programIsActive() const = 0;
    // A modal window is open (a dialog or a message waits for the user).
    virtual bool modalWindowOpen() const = 0;

    // The window whose questions these are: what the document asks, its file dialogs and its
    // progress window are shown over it (none: the desktop). The main window sets itself, and
    // unsets itself when it goes.
    void setMainWindow(QWidget* window) { m_mainWindow = window; }
    QWidget* mainWindow() const { return m_mainWindow; }

private:
    QWidget* m_mainWindow = nullptr;
};

// The wait cursor for the life of the object.
class BusyCursor {
public:
    explicit BusyCursor(UiServices& ui) : m_ui(ui) { m_ui.setBusy(true); }
    ~BusyCursor() { m_ui.setBusy(false); }
    BusyCursor(const BusyCursor&) = delete;
    BusyCursor& operator=(const BusyCursor&) = delete;

private:
    UiServices& m_ui;
};
