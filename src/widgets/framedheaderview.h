#pragma once
// A header whose sections are drawn by the style as frames and background only: the subclass
// paints the section's content (title lines, a grid cell) over them itself.
#include <QHeaderView>

class FramedHeaderView : public QHeaderView {
    Q_OBJECT
public:
    using QHeaderView::QHeaderView;

protected:
    // The style's section frame and background for `logicalIndex` in `rect`, with no text; false
    // when the rectangle is empty and nothing is to be painted.
    bool paintSectionFrame(QPainter* painter, const QRect& rect, int logicalIndex) const;
};
