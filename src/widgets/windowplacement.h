#pragma once
// Windows that fit the screen: a saved place that no screen holds any more, a default size larger
// than a scaled screen (1032 × 748 at 150 % of 1920 × 1080), a dialog's fixed place below the
// task bar — each is moved (and where it may be, shrunk) so the whole window, frame included,
// lies in the available area of a screen.
#include <QMargins>
#include <QRect>

class QScreen;
class QWidget;

// The screen under the mouse pointer; the primary screen when none is.
QScreen* screenUnderMouse();

// `frame` shrunk to at most the size of `area` (never below `minimum`) and moved the least
// distance that puts it inside `area`.
QRect fitInArea(const QRect& frame, const QRect& area, const QSize& minimum = QSize(0, 0));

// What a window's frame adds around its client area: the real one once the window has been
// shown under a window manager, otherwise an estimate (title bar and borders).
QMargins frameMargins(const QWidget* window);

// Places a top-level window at its saved client geometry (`pos` is the frame's top-left, as
// QWidget::move takes it). It stays there when the frame lies inside the available area of a
// screen; otherwise it goes, shrunk to fit where needed, on the screen under the mouse.
void placeWindow(QWidget* window, const QRect& saved);

// Moves (and, unless its size is fixed, shrinks) a window so its frame lies inside the available
// area of the screen it is on, or of the screen under the mouse when it is on none.
void keepOnScreen(QWidget* window);

// Once per application: every window and dialog is kept on the screen as it is shown.
void installScreenKeeping();
