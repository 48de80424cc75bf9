#pragma once
#include <QStyleOptionViewItem>
#include <QTableView>
#include <functional>

#include "search/selectiongridmodel.h"
#include "search/selectionheaderview.h"
#include "widgets/fixedcorner.h"

// Paints one cell of the selection grid in core numbering; fixed cells get their bevel from the header
// first, so the painter only adds the text there.
using GridCellPainter = std::function<void(QPainter*, const QStyleOptionViewItem&, int row, int col)>;

class SelectionGridView : public QTableView {
    Q_OBJECT
public:
    static constexpr int kColumnWidth = 140;
    static constexpr int kRowHeight = 24;

    explicit SelectionGridView(QWidget* parent = nullptr);

    void setGridModel(SelectionGridModel* model);
    SelectionGridModel* gridModel() const { return m_model; }
    void setCellPainter(GridCellPainter painter) { m_painter = std::move(painter); }
    const GridCellPainter& cellPainter() const { return m_painter; }

    // In-place editing on (the editor opens on the current cell) or off.
    void setEditing(bool on);
    bool editing() const { return m_editing; }

    // The fixed name column at least `width` pixels wide, never below kColumnWidth; the grid
    // grows or shrinks by as much, so the value columns keep their room.
    void setNameColumnWidth(int width);

    SelectionHeaderView* fixedRow() const { return m_fixedRow; }
    SelectionHeaderView* fixedColumn() const { return m_fixedColumn; }
    QWidget* corner() const { return m_corner->button(); }

    // A press over core cell (row, col), from the grid's cells, its headers or its corner.
    void reportPress(int row, int col) { emit mouseDown(row, col); }

signals:
    // A mouse button went down over core cell (row, col) (-1, -1: outside every cell).
    void mouseDown(int row, int col);
    // The current cell moved to core cell (row, col), before any editor opens there.
    void cellSelected(int row, int col);

protected:
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;
    void mousePressEvent(QMouseEvent* event) override;
    // Tab and Shift+Tab go from bound cell to bound cell («От», «До», the next row's «От»...),
    // round the grid, never out of it into the spread boxes.
    QModelIndex moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) override;

private:
    SelectionGridModel* m_model = nullptr;
    SelectionHeaderView* m_fixedRow;
    SelectionHeaderView* m_fixedColumn;
    FixedCorner* m_corner;
    GridCellPainter m_painter;
    bool m_editing = false;
};
