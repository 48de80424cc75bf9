#include "widgets/latinmnemonics.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>

namespace {

// The access key of a caption ("&Файл" -> Ф), upper case; null without one.
QChar mnemonicOf(const QString& text)
{
    for (qsizetype i = 0; i + 1 < text.size(); ++i) {
        if (text.at(i) != QLatin1Char('&'))
            continue;
        if (text.at(i + 1) == QLatin1Char('&')) {
            ++i;  // "&&" is a literal ampersand
            continue;
        }
        return text.at(i + 1).toUpper();
    }
    return {};
}

QChar cyrillicForKey(int key)
{
    if (key >= Qt::Key_A && key <= Qt::Key_Z)
        return cyrillicOnSameKey(QChar(key));
    switch (key) {
    case Qt::Key_BracketLeft: return cyrillicOnSameKey(QLatin1Char('['));
    case Qt::Key_BracketRight: return cyrillicOnSameKey(QLatin1Char(']'));
    case Qt::Key_Semicolon: return cyrillicOnSameKey(QLatin1Char(';'));
    case Qt::Key_Apostrophe: return cyrillicOnSameKey(QLatin1Char('\''));
    case Qt::Key_Comma: return cyrillicOnSameKey(QLatin1Char(','));
    case Qt::Key_Period: return cyrillicOnSameKey(QLatin1Char('.'));
    case Qt::Key_QuoteLeft: return cyrillicOnSameKey(QLatin1Char('`'));
    default: return {};
    }
}

bool activateInMenu(QMenu* menu, QChar letter)
{
    for (QAction* a : menu->actions()) {
        if (a->isVisible() && a->isEnabled() && !a->isSeparator() && mnemonicOf(a->text()) == letter) {
            // The menu's own key handling does the rest (a submenu opens, an entry runs).
            QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(letter));
            QCoreApplication::sendEvent(menu, &press);
            return true;
        }
    }
    return false;
}

class LatinMnemonicFilter : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() != QEvent::KeyPress || !watched->isWidgetType())
            return false;
        auto* key = static_cast<QKeyEvent*>(event);
        const Qt::KeyboardModifiers mods = key->modifiers() & ~(Qt::KeypadModifier | Qt::ShiftModifier);
        if (!key->text().isEmpty() && key->text().at(0).script() == QChar::Script_Cyrillic)
            return false;  // the Russian layout: Qt matches the letter itself
        const QChar letter = cyrillicForKey(key->key());
        if (letter.isNull())
            return false;
        // In an open menu the letter alone chooses; elsewhere Alt and the letter.
        if (auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget())) {
            if (mods == Qt::NoModifier || mods == Qt::AltModifier)
                return activateInMenu(menu, letter);
            return false;
        }
        if (mods != Qt::AltModifier)
            return false;
        return activateMnemonic(static_cast<QWidget*>(watched)->window(), letter);
    }
};

}  // namespace

QChar cyrillicOnSameKey(QChar latin)
{
    static const QString latinKeys = QStringLiteral("QWERTYUIOP[]ASDFGHJKL;'ZXCVBNM,.`");
    static const QString cyrillic = QStringLiteral("ЙЦУКЕНГШЩЗХЪФЫВАПРОЛДЖЭЯЧСМИТЬБЮЁ");
    const qsizetype at = latinKeys.indexOf(latin.toUpper());
    return at < 0 ? QChar() : cyrillic.at(at);
}

bool activateMnemonic(QWidget* window, QChar letter)
{
    if (!window)
        return false;
    if (auto* main = qobject_cast<QMainWindow*>(window)) {
        QMenuBar* bar = main->menuBar();
        for (QAction* a : bar->actions()) {
            if (a->isVisible() && a->isEnabled() && a->menu() && mnemonicOf(a->text()) == letter) {
                bar->setActiveAction(a);
                return true;
            }
        }
    }
    for (QAbstractButton* b : window->findChildren<QAbstractButton*>()) {
        if (b->isVisible() && b->isEnabled() && b->window() == window && mnemonicOf(b->text()) == letter) {
            b->setFocus(Qt::ShortcutFocusReason);
            b->click();
            return true;
        }
    }
    for (QLabel* l : window->findChildren<QLabel*>()) {
        if (l->buddy() && l->isVisible() && l->buddy()->isEnabled() && l->window() == window &&
            mnemonicOf(l->text()) == letter) {
            l->buddy()->setFocus(Qt::ShortcutFocusReason);
            return true;
        }
    }
    return false;
}

void installLatinMnemonics()
{
    static bool installed = false;
    if (installed || !qApp)
        return;
    installed = true;
    qApp->installEventFilter(new LatinMnemonicFilter(qApp));
}
