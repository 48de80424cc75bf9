#include "search/selectiongridview.h"

#include <QMouseEvent>
#include <algorithm>

#include "search/boundcelldelegate.h"

SelectionGridView::SelectionGridView(QWidget* parent) : QTableView(parent)
{
    m_fixedRow = new SelectionHeaderView(Qt::Horizontal, this);
    m_fixedColumn = new SelectionHeaderView(Qt::Vertical, this);
    setHorizontalHeader(m_fixedRow);
    setVerticalHeader(m_fixedColumn);
    setItemDelegate(new BoundCellDelegate(this));
    setSelectionMode(QAbstractItemView::ContiguousSelection);
    setSelectionBehavior(QAbstractItemView::SelectItems);
    setShowGrid(true);
    setWordWrap(false);
    setTabKeyNavigation(false);
    setEditing(false);

    // The corner is the fixed cell (0,0): painted as one, a press reported, never "select all".
    m_corner = new FixedCorner(
        this, m_fixedRow,
        [this](QPainter* p, const QRect& rect) {
            if (!m_painter)
                return;
            QStyleOptionViewItem cell;
            cell.initFrom(m_corner->button());
            cell.rect = rect;
            cell.font = m_fixedRow->font();
            m_painter(p, cell, 0, 0);
        },
        [this](QMouseEvent*) { reportPress(0, 0); });
}

void SelectionGridView::setGridModel(SelectionGridModel* model)
{
    m_model = model;
    m_corner->setViewModel(model);
}

void SelectionGridView::setEditing(bool on)
{
    m_editing = on;
    setEditTriggers(on ? QAbstractItemView::CurrentChanged | QAbstractItemView::AllEditTriggers
                       : QAbstractItemView::NoEditTriggers);
}

void SelectionGridView::currentChanged(const QModelIndex& current, const QModelIndex& previous)
{
    // The handler decides about editing before the view opens an editor on the new cell.
    if (current.isValid())
        emit cellSelected(current.row() + 1, current.column() + 1);
    QTableView::currentChanged(current, previous);
}

void SelectionGridView::mousePressEvent(QMouseEvent* event)
{
    const QPoint pos = event->position().toPoint();
    const int row = rowAt(pos.y());
    const int col = columnAt(pos.x());
    if (row >= 0 && col >= 0)
        reportPress(row + 1, col + 1);
    else
        reportPress(-1, -1);
    QTableView::mousePressEvent(event);
}

void SelectionGridView::setNameColumnWidth(int width)
{
    const int now = m_fixedColumn->width();
    const int wanted = std::max<int>(kColumnWidth, width);
    if (wanted == now)
        return;
    m_fixedColumn->setFixedWidth(wanted);
    resize(this->width() + wanted - now, height());
}
