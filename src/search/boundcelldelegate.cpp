#include "search/boundcelldelegate.h"

#include "search/boundedit.h"
#include "search/selectiongridview.h"

BoundCellDelegate::BoundCellDelegate(SelectionGridView* grid) : QStyledItemDelegate(grid), m_grid(grid) {}

void BoundCellDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                              const QModelIndex& index) const
{
    if (m_grid->cellPainter())
        m_grid->cellPainter()(painter, option, index.row() + 1, index.column() + 1);
}

QWidget* BoundCellDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem&,
                                         const QModelIndex&) const
{
    auto* edit = new BoundEdit(parent);
    edit->setFrame(false);
    connect(edit, &QLineEdit::textEdited, this,
            [this, edit] { emit const_cast<BoundCellDelegate*>(this)->commitData(edit); });
    return edit;
}

void BoundCellDelegate::setEditorData(QWidget* editor, const QModelIndex& index) const
{
    // Called again for every change of the cell; the caret stays while the texts agree.
    auto* edit = static_cast<QLineEdit*>(editor);
    const QString text = index.data(Qt::EditRole).toString();
    if (edit->text() != text) {
        edit->setText(text);
        if (edit->hasFocus())
            edit->selectAll();  // a text put in from outside is replaced by typing too
    }
}

void BoundCellDelegate::setModelData(QWidget* editor, QAbstractItemModel* model,
                                     const QModelIndex& index) const
{
    model->setData(index, static_cast<QLineEdit*>(editor)->text(), Qt::EditRole);
}
