#include "search/namelistview.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QStyledItemDelegate>

namespace {

constexpr int kListItemHeight = 16;

class NameItemDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        return {QStyledItemDelegate::sizeHint(option, index).width(), kListItemHeight};
    }
};

}  // namespace

NameListView::NameListView(QWidget* parent) : QListView(parent), m_names(new NameListModel(this))
{
    setModel(m_names);
    setItemDelegate(new NameItemDelegate(this));
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setUniformItemSizes(true);  // 100,000 names lay out without measuring each
    setLayoutMode(QListView::SinglePass);
}

int NameListView::selectedRow() const
{
    const QModelIndexList selected = selectionModel()->selectedIndexes();
    return selected.isEmpty() ? -1 : selected.first().row();
}

void NameListView::selectRow(int row)
{
    if (row < 0 || row >= m_names->rowCount()) {
        selectionModel()->clear();
        return;
    }
    const QModelIndex index = m_names->index(row);
    selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
    scrollTo(index);
}

void NameListView::mouseDoubleClickEvent(QMouseEvent* event)
{
    QListView::mouseDoubleClickEvent(event);
    if (event->button() == Qt::LeftButton)
        emit doubleClickedAnywhere();
}

void NameListView::keyPressEvent(QKeyEvent* event)
{
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) &&
        (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
        emit enterPressed();
        event->accept();
        return;
    }
    QListView::keyPressEvent(event);
}
