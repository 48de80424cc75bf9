#include "app/qtuiservices.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDialog>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QPushButton>

#include "widgets/helpviewer.h"

namespace {

// Where no window manager hands the focus back, a closed modal window would leave the keyboard
// with nobody: the window it was shown over becomes active again.
void giveFocusBack(QWidget* parent)
{
    if (parent && parent->isVisible())
        parent->window()->activateWindow();
}

QMessageBox::Icon boxIcon(MessageIcon icon)
{
    switch (icon) {
    case MessageIcon::None: return QMessageBox::NoIcon;
    case MessageIcon::Information: return QMessageBox::Information;
    case MessageIcon::Warning: return QMessageBox::Warning;
    case MessageIcon::Critical: return QMessageBox::Critical;
    case MessageIcon::Question: return QMessageBox::Question;
    }
    return QMessageBox::NoIcon;
}

// The answers and the message box's standard buttons, pair by pair.
constexpr std::pair<Answer, QMessageBox::StandardButton> kButtons[] = {
    {Answer::Ok, QMessageBox::Ok},
    {Answer::Yes, QMessageBox::Yes},
    {Answer::No, QMessageBox::No},
    {Answer::Cancel, QMessageBox::Cancel},
};

QMessageBox::StandardButtons boxButtons(Answers answers)
{
    QMessageBox::StandardButtons buttons;
    for (const auto& [answer, button] : kButtons)
        if (answers.testFlag(answer))
            buttons |= button;
    return buttons;
}

Answer answerOf(int button)
{
    for (const auto& [answer, standard] : kButtons)
        if (button == standard)
            return answer;
    return Answer::None;
}

}  // namespace

QtUiServices::QtUiServices(QString helpFile) : m_helpFile(std::move(helpFile)) {}

QtUiServices::~QtUiServices() = default;

Answer QtUiServices::message(QWidget* parent, const QString& caption, const QString& text, MessageIcon icon,
                             Answers buttons)
{
    // Texts carry CR LF line breaks; the label wants plain LF.
    QString shown = text;
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    QMessageBox box(boxIcon(icon), caption, shown, boxButtons(buttons), parent);
    box.setTextFormat(Qt::PlainText);
    const Answer answer = answerOf(box.exec());
    giveFocusBack(parent);
    return answer;
}

int QtUiServices::choice(QWidget* parent, const QString& caption, const QString& text, MessageIcon icon,
                         const QStringList& buttons, int cancelIndex)
{
    QString shown = text;
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    QMessageBox box(boxIcon(icon), caption, shown, QMessageBox::NoButton, parent);
    box.setTextFormat(Qt::PlainText);
    QList<QAbstractButton*> added;
    for (int i = 0; i < buttons.size(); ++i) {
        QPushButton* b =
            box.addButton(buttons[i], i == cancelIndex ? QMessageBox::RejectRole : QMessageBox::AcceptRole);
        added << b;
        if (i == 0)
            box.setDefaultButton(b);
    }
    if (cancelIndex >= 0 && cancelIndex < added.size()) {
        box.setEscapeButton(added[cancelIndex]);
    } else {
        // Closed unanswered: a button of its own that is never shown takes Escape and the
        // title bar's button, so that neither picks one of the answers.
        QPushButton* closing = box.addButton(QStringLiteral("×"), QMessageBox::RejectRole);
        closing->hide();
        box.setEscapeButton(closing);
    }
    box.exec();
    giveFocusBack(parent);
    const int chosen = static_cast<int>(added.indexOf(box.clickedButton()));
    return chosen >= 0 ? chosen : cancelIndex;
}

QString QtUiServices::runFileDialog(QWidget* parent, const FileDialogRequest& req, bool save)
{
    QFileDialog dlg(parent);
    dlg.setOption(QFileDialog::DontUseNativeDialog, true);
    dlg.setNameFilter(req.filter);
    // No default suffix here: the dialog would add it to a typed folder name too ("Базы" + Enter
    // would give "Базы.QDB" instead of entering the folder). The commands add it to file names.
    const QString start = QDir(req.startDir).exists() ? req.startDir : QDir::homePath();
    dlg.setDirectory(start);
    if (save) {
        dlg.setAcceptMode(QFileDialog::AcceptSave);
        dlg.setOption(QFileDialog::DontConfirmOverwrite, true);
        if (!req.proposedName.isEmpty())
            dlg.selectFile(req.proposedName);
    } else {
        dlg.setAcceptMode(QFileDialog::AcceptOpen);
        dlg.setFileMode(QFileDialog::AnyFile);  // a typed name need not exist
    }
    const bool accepted = dlg.exec() == QDialog::Accepted && !dlg.selectedFiles().isEmpty();
    giveFocusBack(parent);
    QString chosen = accepted ? dlg.selectedFiles().constFirst() : QString();
    // The folder the dialog closed in, however the user got there (double click, a typed path
    // with Enter, the history buttons); the chosen file's folder when a name was accepted.
    if (req.folderChanged) {
        const QString folder = accepted ? QFileInfo(chosen).absolutePath() : dlg.directory().absolutePath();
        if (QFileInfo(folder).isDir() && QDir(folder) != QDir(start))
            req.folderChanged(folder);
    }
    return chosen;
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

void QtUiServices::showHelp(HelpTopic topic)
{
    if (!m_help)
        m_help = std::make_unique<HelpViewer>(m_helpFile);
    m_help->showTopic(topic);
}

int QtUiServices::execDialog(QDialog* dialog)
{
    if (!dialog)
        return QDialog::Rejected;
    const int result = dialog->exec();
    giveFocusBack(dialog->parentWidget());
    return result;
}

void QtUiServices::beep()
{
    QApplication::beep();
}
