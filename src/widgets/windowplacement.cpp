#include "widgets/windowplacement.h"

#include <QApplication>
#include <QCursor>
#include <QEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QStyle>
#include <QWidget>
#include <algorithm>

namespace {

QRect frameRect(const QWidget* window, const QRect& client)
{
    // `client` carries the frame's top-left, as QWidget::pos() does.
    const QMargins m = frameMargins(window);
    return QRect(client.topLeft(), client.size().grownBy(m));
}

bool insideSomeScreen(const QRect& frame)
{
    for (const QScreen* s : QGuiApplication::screens())
        if (s->availableGeometry().contains(frame))
            return true;
    return false;
}

QScreen* screenOf(const QWidget* window)
{
    const QRect frame = window->frameGeometry();
    QScreen* best = nullptr;
    long long bestArea = 0;
    for (QScreen* s : QGuiApplication::screens()) {
        const QRect common = s->geometry().intersected(frame);
        const long long area = static_cast<long long>(common.width()) * common.height();
        if (area > bestArea) {
            best = s;
            bestArea = area;
        }
    }
    return best ? best : screenUnderMouse();
}

bool fixedSize(const QWidget* w)
{
    return w->minimumSize() == w->maximumSize();
}

class ScreenKeeper : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() != QEvent::Show || !watched->isWidgetType())
            return false;
        auto* w = static_cast<QWidget*>(watched);
        const Qt::WindowType type = w->windowType();
        if (w->isWindow() && (type == Qt::Window || type == Qt::Dialog))
            keepOnScreen(w);
        return false;
    }
};

}  // namespace

QScreen* screenUnderMouse()
{
    QScreen* s = QGuiApplication::screenAt(QCursor::pos());
    return s ? s : QGuiApplication::primaryScreen();
}

QRect fitInArea(const QRect& frame, const QRect& area, const QSize& minimum)
{
    QRect r = frame;
    r.setWidth(std::max(std::min(r.width(), area.width()), minimum.width()));
    r.setHeight(std::max(std::min(r.height(), area.height()), minimum.height()));
    // Too big even at its smallest: the top-left corner (title bar, menu) stays in view.
    r.moveLeft(std::max(area.left(), std::min(r.left(), area.left() + area.width() - r.width())));
    r.moveTop(std::max(area.top(), std::min(r.top(), area.top() + area.height() - r.height())));
    return r;
}

QMargins frameMargins(const QWidget* window)
{
    const QRect frame = window->frameGeometry();
    const QRect client = window->geometry();
    if (window->testAttribute(Qt::WA_WState_Created) && frame != client)
        return QMargins(client.left() - frame.left(), client.top() - frame.top(),
                        frame.right() - client.right(), frame.bottom() - client.bottom());
    if (window->windowFlags().testFlag(Qt::FramelessWindowHint))
        return {};
    const QStyle* style = window->style();
    const int border = std::max(4, style->pixelMetric(QStyle::PM_DefaultFrameWidth) * 2);
    const int title = std::max(24, style->pixelMetric(QStyle::PM_TitleBarHeight));
    return QMargins(border, title + border, border, border);
}

void placeWindow(QWidget* window, const QRect& saved)
{
    const QMargins m = frameMargins(window);
    const QRect frame = frameRect(window, saved);
    QRect placed = frame;
    if (!insideSomeScreen(frame)) {
        const QScreen* screen = screenUnderMouse();
        const QRect area = screen ? screen->availableGeometry() : frame;
        placed = fitInArea(frame, area, window->minimumSize().grownBy(m));
    }
    window->resize(placed.size().shrunkBy(m));
    window->move(placed.topLeft());
}

void keepOnScreen(QWidget* window)
{
    const QScreen* screen = screenOf(window);
    if (!screen)
        return;
    const QMargins m = frameMargins(window);
    const QRect frame(window->pos(), window->size().grownBy(m));
    const QRect area = screen->availableGeometry();
    if (area.contains(frame))
        return;
    const QSize minimum = fixedSize(window) ? frame.size() : window->minimumSize().grownBy(m);
    const QRect placed = fitInArea(frame, area, minimum);
    if (placed.size() != frame.size())
        window->resize(placed.size().shrunkBy(m));
    window->move(placed.topLeft());
}

void installScreenKeeping()
{
    static bool installed = false;
    if (installed || !qApp)
        return;
    installed = true;
    qApp->installEventFilter(new ScreenKeeper(qApp));
}
