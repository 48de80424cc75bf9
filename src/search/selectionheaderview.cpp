#include "search/selectionheaderview.h"

#include <QMouseEvent>
#include <QPainter>
#include <QStyleOptionHeader>

#include "search/selectiongridview.h"

SelectionHeaderView::SelectionHeaderView(Qt::Orientation orientation, SelectionGridView* grid)
    : FramedHeaderView(orientation, grid), m_grid(grid)
{
    setSectionsClickable(false);
    setHighlightSections(false);
    setSectionsMovable(false);
    setMinimumSectionSize(0);
    setSectionResizeMode(QHeaderView::Fixed);
    setDefaultSectionSize(orientation == Qt::Horizontal ? SelectionGridView::kColumnWidth
                                                        : SelectionGridView::kRowHeight);
    if (orientation == Qt::Horizontal)
        setFixedHeight(SelectionGridView::kRowHeight);
    else
        setFixedWidth(SelectionGridView::kColumnWidth);
}

void SelectionHeaderView::paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const
{
    if (!paintSectionFrame(painter, rect, logicalIndex))
        return;
    if (!m_grid->cellPainter())
        return;
    QStyleOptionViewItem cell;
    cell.initFrom(this);
    cell.rect = rect;
    cell.font = font();
    const bool horizontal = orientation() == Qt::Horizontal;
    m_grid->cellPainter()(painter, cell, horizontal ? 0 : logicalIndex + 1,
                          horizontal ? logicalIndex + 1 : 0);
}

void SelectionHeaderView::mousePressEvent(QMouseEvent* event)
{
    const int section = logicalIndexAt(event->position().toPoint());
    if (section >= 0) {
        if (orientation() == Qt::Horizontal)
            m_grid->reportPress(0, section + 1);
        else
            m_grid->reportPress(section + 1, 0);
    } else {
        m_grid->reportPress(-1, -1);
    }
    event->accept();
}

void SelectionHeaderView::mouseReleaseEvent(QMouseEvent* event)
{
    event->accept();
}

void SelectionHeaderView::mouseDoubleClickEvent(QMouseEvent* event)
{
    // The second press of a double-click is a press too.
    mousePressEvent(event);
}

void SelectionHeaderView::mouseMoveEvent(QMouseEvent* event)
{
    event->accept();
}
