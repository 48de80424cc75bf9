#include "search/boundedit.h"

#include <QMouseEvent>

void BoundEdit::focusInEvent(QFocusEvent* event)
{
    QLineEdit::focusInEvent(event);
    selectAll();
}

void BoundEdit::mousePressEvent(QMouseEvent* event)
{
    if (m_firstClick && event->button() == Qt::LeftButton) {
        m_firstClick = false;
        m_swallowRelease = true;
        selectAll();
        event->accept();
        return;
    }
    m_firstClick = false;
    QLineEdit::mousePressEvent(event);
}

void BoundEdit::mouseReleaseEvent(QMouseEvent* event)
{
    if (m_swallowRelease) {
        m_swallowRelease = false;
        event->accept();
        return;
    }
    QLineEdit::mouseReleaseEvent(event);
}
