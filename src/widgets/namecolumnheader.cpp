#include "widgets/namecolumnheader.h"

#include <QAbstractItemModel>
#include <QFontMetrics>
#include <QPainter>
#include <QTableView>
#include <algorithm>

#include "widgets/fixedcorner.h"

namespace {

// Room around a name: the section's frame and the text's margins on both sides.
constexpr int kNamePadding = 16;

}  // namespace

NameColumnHeader::NameColumnHeader(QTableView* view, const QString& caption)
    : QHeaderView(Qt::Vertical, view), m_view(view), m_caption(caption)
{
    setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    setSectionsClickable(true);
    setHighlightSections(true);
    setSectionResizeMode(QHeaderView::Fixed);
    view->setVerticalHeader(this);
    m_corner =
        new FixedCorner(view, view->horizontalHeader(),
                        [this](QPainter* p, const QRect& rect) {
                            p->save();
                            p->setPen(palette().color(QPalette::ButtonText));
                            p->drawText(rect.adjusted(4, 0, -2, 0),
                                        Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, m_caption);
                            p->restore();
                        },
                        {});
    connect(this, &QHeaderView::sectionDoubleClicked, this, &NameColumnHeader::nameDoubleClicked);
}

void NameColumnHeader::setViewModel(QAbstractItemModel* model)
{
    m_corner->setViewModel(model);
    if (model)
        connect(model, &QAbstractItemModel::modelReset, this, &NameColumnHeader::fitToNames);
    fitToNames();
}

void NameColumnHeader::fitToNames()
{
    const QFontMetrics fm(font());
    int width = fm.horizontalAdvance(m_caption);
    if (QAbstractItemModel* m = model()) {
        const int rows = std::min(m->rowCount(), kMeasuredNames);
        for (int r = 0; r < rows; ++r)
            width = std::max(width, fm.horizontalAdvance(m->headerData(r, Qt::Vertical).toString()));
    }
    width = std::min(width, fm.averageCharWidth() * kMaxWidthChars);
    m_width = width + kNamePadding;
    setFixedWidth(m_width);
    updateGeometry();
    m_corner->update();
}

QSize NameColumnHeader::sizeHint() const
{
    // The fitted width, never measured again over the sections (the list may be long).
    return {m_width, length()};
}
