#include "widgets/gridcell.h"

#include <QApplication>
#include <QPainter>
#include <QStyle>
#include <QWidget>

void paintGridCell(QPainter* painter, const QStyleOptionViewItem& option, const QString& text)
{
    const QPalette::ColorGroup cg = !(option.state & QStyle::State_Enabled) ? QPalette::Disabled
                                    : (option.state & QStyle::State_Active) ? QPalette::Active
                                                                            : QPalette::Inactive;
    const bool focused = option.state & QStyle::State_HasFocus;
    const bool highlighted = (option.state & QStyle::State_Selected) && !focused;

    painter->save();
    painter->fillRect(option.rect,
                      option.palette.brush(cg, highlighted ? QPalette::Highlight : QPalette::Base));
    painter->setClipRect(option.rect, Qt::IntersectClip);
    painter->setFont(option.font);
    painter->setPen(option.palette.color(cg, highlighted ? QPalette::HighlightedText : QPalette::Text));
    if (!text.isEmpty())
        painter->drawText(option.rect.adjusted(5, 0, 0, 0), Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine,
                          text);
    if (focused) {
        QStyleOptionFocusRect fr;
        fr.QStyleOption::operator=(option);
        fr.rect = option.rect.adjusted(1, 1, -1, -1);
        fr.state |= QStyle::State_KeyboardFocusChange;
        fr.backgroundColor = option.palette.color(cg, QPalette::Base);
        const QWidget* w = option.widget;
        (w ? w->style() : QApplication::style())->drawPrimitive(QStyle::PE_FrameFocusRect, &fr, painter, w);
    }
    painter->restore();
}
