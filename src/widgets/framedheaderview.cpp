#include "widgets/framedheaderview.h"

#include <QStyleOptionHeader>

bool FramedHeaderView::paintSectionFrame(QPainter* painter, const QRect& rect, int logicalIndex) const
{
    if (!rect.isValid())
        return false;
    QStyleOptionHeader opt;
    initStyleOption(&opt);
    opt.rect = rect;
    opt.section = logicalIndex;
    opt.text.clear();
    style()->drawControl(QStyle::CE_HeaderSection, &opt, painter, this);
    return true;
}
