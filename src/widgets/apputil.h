#pragma once
// Small helpers every window uses: two-part hints, help topic numbers on controls, the
// program's font, key preview. (Windows-1251 and paths at the Qt edge: ui/cptext.h.)
#include <QAction>
#include <QFont>
#include <QObject>
#include <QString>
#include <QVariant>

class QDialog;
class QKeyEvent;
class QWidget;
#include <filesystem>
#include <functional>
#include <initializer_list>
#include <string>
#include <string_view>

#include "ui/cptext.h"
#include "ui/errorbox.h"
#include "ui/helptopic.h"

// "short|long": the short part becomes the tooltip, the long part the status bar text.
// Without "|" both are the whole text.
void setHint(QAction* action, const QString& hint);
void setHint(QWidget* widget, const QString& hint);

// Help topics live on controls and actions as the dynamic property "helpContext" (the number).
inline constexpr char kHelpContextProperty[] = "helpContext";
inline void setHelpContext(QObject* object, HelpTopic topic)
{
    object->setProperty(kHelpContextProperty, static_cast<int>(topic));
}
inline HelpTopic helpContext(const QObject* object)
{
    return static_cast<HelpTopic>(object ? object->property(kHelpContextProperty).toInt() : 0);
}

// A dialog of a fixed size with a title bar and a close button only, named `objectName` (which
// help and tests look it up by) and titled `title`.
void setUpFixedDialog(QDialog* dialog, const char* objectName, const QString& title);

// Tahoma, 13 pixels high; DejaVu Sans where Tahoma is not installed.
QFont veltrisFont();

// Key preview: `handler` sees each key pressed in `window` or in any of its present controls
// before the control does (`target` is the widget the key went to); a key it returns true for
// goes no further. Keys in `ownKeys` are kept from the program's shortcuts while this window has
// the focus, so they arrive here as key presses.
using KeyPreviewHandler = std::function<bool(QWidget* target, QKeyEvent* event)>;
void installKeyPreview(QWidget* window, KeyPreviewHandler handler, std::initializer_list<int> ownKeys = {});

// Keys `widget` handles itself (F2 edits a table cell) are kept from the program's shortcuts
// while it has the focus, so they reach it as key presses.
void keepKeysFromShortcuts(QWidget* widget, std::initializer_list<int> keys);
