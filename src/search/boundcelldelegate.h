#pragma once
#include <QStyledItemDelegate>

class SelectionGridView;

// Bound cells: painted by the grid's cell painter; the editor hands every keystroke to the
// cell at once, so a button pressed while the editor is open sees the typed text.
class BoundCellDelegate : public QStyledItemDelegate {
public:
    explicit BoundCellDelegate(SelectionGridView* grid);

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override;
    void setEditorData(QWidget* editor, const QModelIndex& index) const override;
    void setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const override;

private:
    SelectionGridView* m_grid;
};
