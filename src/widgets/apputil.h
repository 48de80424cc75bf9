#pragma once
// Small helpers every window uses: Windows-1251 at the Qt edge, paths, two-part hints,
// help topic numbers on controls, the program's font.
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

#include "widgets/helptopic.h"

// Windows-1251 bytes -> QString (every byte maps to one character and back).
QString cpToQString(std::string_view cp1251);
// A parameter title on one line: its "|" line breaks become single spaces (lists, labels and
// one-line cells; the table headers draw the breaks as lines).
QString oneLineTitle(const QString& title);
inline QString oneLineTitle(std::string_view cp1251) { return oneLineTitle(cpToQString(cp1251)); }

// QString -> Windows-1251 bytes; characters the code page cannot hold become '?'.
std::string qStringToCp(const QString& text, bool* lossy = nullptr);

std::filesystem::path toFsPath(const QString& path);
// `name` with ".suffix" added when it has no suffix of its own (a name typed without one).
QString withDefaultSuffix(const QString& name, const QString& suffix);
QString fromFsPath(const std::filesystem::path& path);

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

// The application title; also the caption of the framework-style error messages.
inline QString appTitle() { return QStringLiteral("Вельтрис"); }

// Key preview: `handler` sees each key pressed in `window` or in any of its present controls
// before the control does (`target` is the widget the key went to); a key it returns true for
// goes no further. Keys in `ownKeys` are kept from the program's shortcuts while this window has
// the focus, so they arrive here as key presses.
using KeyPreviewHandler = std::function<bool(QWidget* target, QKeyEvent* event)>;
void installKeyPreview(QWidget* window, KeyPreviewHandler handler,
                       std::initializer_list<int> ownKeys = {});

// Keys `widget` handles itself (F2 edits a table cell) are kept from the program's shortcuts
// while it has the focus, so they reach it as key presses.
void keepKeysFromShortcuts(QWidget* widget, std::initializer_list<int> keys);
