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
    setTabKeyNavigation(true);
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

QModelIndex SelectionGridView::moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers)
{
    if ((action != MoveNext && action != MovePrevious) || m_model == nullptr)
        return QTableView::moveCursor(action, modifiers);
    // The bound cells are view columns 0 and 2 (core columns 1 and 3) of every row.
    const int rows = m_model->rowCount();
    if (rows <= 0 || m_model->columnCount() < 3)
        return {};
    const QModelIndex current = currentIndex();
    int slot = current.isValid() ? current.row() * 2 + (current.column() >= 2 ? 1 : 0) : -1;
    if (current.isValid() && action == MovePrevious && current.column() == 1)
        slot += 1;  // from the reference value back to «От» of its row
    const int cellCount = rows * 2;
    slot = action == MoveNext ? (slot + 1) % cellCount : (slot - 1 + cellCount) % cellCount;
    return m_model->index(slot / 2, slot % 2 == 0 ? 0 : 2);
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
