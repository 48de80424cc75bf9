#pragma once
#include "widgets/framedheaderview.h"

class SelectionGridView;

// The fixed row (horizontal) or the fixed column (vertical) of the selection grid. A press of any
// button is reported to the grid; a press never selects.
class SelectionHeaderView : public FramedHeaderView {
    Q_OBJECT
public:
    SelectionHeaderView(Qt::Orientation orientation, SelectionGridView* grid);

protected:
    void paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

private:
    SelectionGridView* m_grid;
};
