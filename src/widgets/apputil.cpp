#include "widgets/apputil.h"

#include <QDialog>
#include <QFileInfo>
#include <QKeyEvent>
#include <QStringList>
#include <QWidget>
#include <algorithm>
#include <array>
#include <vector>

#include "base/cp1251.h"

void setHint(QAction* action, const QString& hint)
{
    const qsizetype bar = hint.indexOf(QLatin1Char('|'));
    action->setToolTip(bar < 0 ? hint : hint.left(bar));
    action->setStatusTip(bar < 0 ? hint : hint.mid(bar + 1));
}

void setHint(QWidget* widget, const QString& hint)
{
    const qsizetype bar = hint.indexOf(QLatin1Char('|'));
    widget->setToolTip(bar < 0 ? hint : hint.left(bar));
    widget->setStatusTip(bar < 0 ? hint : hint.mid(bar + 1));
}

void setUpFixedDialog(QDialog* dialog, const char* objectName, const QString& title)
{
    dialog->setObjectName(QLatin1String(objectName));
    dialog->setWindowTitle(title);
    dialog->setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                           Qt::WindowCloseButtonHint);
}

QFont veltrisFont()
{
    QFont f;
    f.setFamilies({QStringLiteral("Tahoma"), QStringLiteral("DejaVu Sans")});
    f.setPixelSize(13);
    return f;
}

namespace {

class KeyPreviewFilter : public QObject {
public:
    KeyPreviewFilter(QWidget* window, KeyPreviewHandler handler, std::initializer_list<int> ownKeys)
        : QObject(window), m_window(window), m_handler(std::move(handler)), m_ownKeys(ownKeys)
    {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        const QEvent::Type type = event->type();
        if ((type != QEvent::KeyPress && type != QEvent::ShortcutOverride) || !watched->isWidgetType())
            return false;
        auto* target = static_cast<QWidget*>(watched);
        if (target->window() != m_window)
            return false;  // a popup of its own
        auto* key = static_cast<QKeyEvent*>(event);
        if (type == QEvent::ShortcutOverride) {
            if (std::find(m_ownKeys.begin(), m_ownKeys.end(), key->key()) == m_ownKeys.end())
                return false;
            event->accept();
            return true;
        }
        return m_handler(target, key);
    }

private:
    QWidget* m_window;
    KeyPreviewHandler m_handler;
    std::vector<int> m_ownKeys;
};

}  // namespace

void installKeyPreview(QWidget* window, KeyPreviewHandler handler, std::initializer_list<int> ownKeys)
{
    auto* filter = new KeyPreviewFilter(window, std::move(handler), ownKeys);
    window->installEventFilter(filter);
    for (QWidget* w : window->findChildren<QWidget*>())
        w->installEventFilter(filter);
}

namespace {

class OwnKeysFilter : public QObject {
public:
    OwnKeysFilter(QObject* parent, std::initializer_list<int> keys) : QObject(parent), m_keys(keys) {}

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() != QEvent::ShortcutOverride)
            return false;
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->modifiers() == Qt::NoModifier &&
            std::find(m_keys.begin(), m_keys.end(), key->key()) != m_keys.end())
            event->accept();  // the key press comes to the widget instead of a shortcut
        return false;
    }

private:
    std::vector<int> m_keys;
};

}  // namespace

void keepKeysFromShortcuts(QWidget* widget, std::initializer_list<int> keys)
{
    widget->installEventFilter(new OwnKeysFilter(widget, keys));
}
