#include "widgets/componentgrid.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QStyleOptionHeader>
#include <algorithm>

#include "widgets/apputil.h"
#include "widgets/fixedcorner.h"
#include "widgets/gridcell.h"

// ---- model ----

ComponentTableModel::ComponentTableModel(veltris::Table* table, QObject* parent)
    : QAbstractTableModel(parent), m_table(table)
{
    m_rows = std::max(0, m_table->rowCount() - 1);
    m_cols = std::max(0, m_table->columnCount() - 1);
}

int ComponentTableModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : m_rows;
}

int ComponentTableModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : m_cols;
}

QVariant ComponentTableModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid())
        return {};
    if (role == Qt::DisplayRole) {
        const std::string& text = m_table->cell(index.row() + 1, index.column() + 1);
        // "0" stands for an absent value: shown empty, kept in the table.
        if (text == "0")
            return QString();
        return cpToQString(text);
    }
    if (role == RawTextRole || role == Qt::EditRole)
        return cpToQString(m_table->cell(index.row() + 1, index.column() + 1));
    return {};
}

QVariant ComponentTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole || section < 0)
        return {};
    if (orientation == Qt::Horizontal)
        return cpToQString(m_table->cell(0, section + 1));
    return cpToQString(m_table->cell(section + 1, 0));
}

Qt::ItemFlags ComponentTableModel::flags(const QModelIndex& index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable;
}

QString ComponentTableModel::cornerText() const
{
    return cpToQString(m_table->cell(0, 0));
}

bool ComponentTableModel::refresh()
{
    const int rows = std::max(0, m_table->rowCount() - 1);
    const int cols = std::max(0, m_table->columnCount() - 1);
    if (rows != m_rows || cols != m_cols) {
        beginResetModel();
        m_rows = rows;
        m_cols = cols;
        endResetModel();
        return true;
    }
    if (rows > 0 && cols > 0)
        emit dataChanged(index(0, 0), index(rows - 1, cols - 1), {Qt::DisplayRole});
    if (cols > 0)
        emit headerDataChanged(Qt::Horizontal, 0, cols - 1);
    if (rows > 0)
        emit headerDataChanged(Qt::Vertical, 0, rows - 1);
    return false;
}

// ---- headers ----

GridHeaderView::GridHeaderView(Qt::Orientation orientation, QWidget* parent)
    : FramedHeaderView(orientation, parent)
{
    setSectionsClickable(false);
    setHighlightSections(false);
    setSectionsMovable(false);
    setMinimumSectionSize(0);
    setSectionResizeMode(QHeaderView::Fixed);
}

void GridHeaderView::setExtent(int pixels)
{
    m_extent = std::max(0, pixels);
    if (orientation() == Qt::Horizontal)
        setFixedHeight(m_extent);
    else
        setFixedWidth(m_extent);
    updateGeometry();
}

QSize GridHeaderView::sizeHint() const
{
    // Fixed by the settings; never measured over the sections (a base may have 100,000 rows).
    return orientation() == Qt::Horizontal ? QSize(length(), m_extent) : QSize(m_extent, length());
}

QStringList GridHeaderView::splitTitleLines(const QString& title)
{
    // Spaces and control characters go, as in the grid's own trimming.
    const auto trim = [](QStringView s) {
        qsizetype b = 0, e = s.size();
        while (b < e && s[b].unicode() <= 0x20)
            ++b;
        while (e > b && s[e - 1].unicode() <= 0x20)
            --e;
        return s.mid(b, e - b).toString();
    };
    QStringList lines;
    QStringView rest(title);
    while (!rest.isEmpty()) {
        const qsizetype bar = rest.indexOf(QLatin1Char('|'));
        if (bar < 0) {
            lines << trim(rest);
            break;
        }
        lines << (bar == 0 ? QString() : trim(rest.left(bar)));
        rest = rest.mid(bar + 1);
    }
    return lines;
}

void GridHeaderView::paintTitle(QPainter* painter, const QRect& rect, const QString& title, const QFont& font,
                                const QPalette& palette, int headerHeight)
{
    painter->save();
    QFont bold = font;
    bold.setBold(true);
    painter->setFont(bold);
    painter->setPen(palette.color(QPalette::ButtonText));
    painter->setClipRect(rect, Qt::IntersectClip);
    const int step = headerHeight / 3;
    int top = rect.top();
    const int bottom = rect.top() + rect.height();
    for (const QString& line : splitTitleLines(title)) {
        if (top >= bottom)
            break;
        const QRect lineRect(rect.left(), top + 2, rect.width(), std::max(0, bottom - top - 2));
        painter->drawText(lineRect, Qt::AlignHCenter | Qt::AlignTop | Qt::TextSingleLine, line);
        top += step;
    }
    painter->restore();
}

void GridHeaderView::paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const
{
    if (!paintSectionFrame(painter, rect, logicalIndex))
        return;

    const QString text = model() ? model()->headerData(logicalIndex, orientation()).toString() : QString();
    if (orientation() == Qt::Horizontal) {
        paintTitle(painter, rect, text, font(), palette(), m_extent);
    } else {
        painter->save();
        painter->setClipRect(rect, Qt::IntersectClip);
        painter->setPen(palette().color(QPalette::ButtonText));
        // At the top of the cell, level with the values of its row.
        painter->drawText(rect.adjusted(2, 0, 0, 0), Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, text);
        painter->restore();
    }
}

void GridHeaderView::mousePressEvent(QMouseEvent* event)
{
    // Only a right press on a title does something (a sort); the fixed cells select nothing.
    if (event->button() == Qt::RightButton && orientation() == Qt::Horizontal) {
        const int section = logicalIndexAt(event->position().toPoint());
        if (section >= 0)
            emit sectionRightPressed(section);
    }
    event->accept();
}

void GridHeaderView::mouseReleaseEvent(QMouseEvent* event)
{
    event->accept();
}

void GridHeaderView::mouseDoubleClickEvent(QMouseEvent* event)
{
    event->accept();
}

// ---- value cells ----

void ValueCellDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                              const QModelIndex& index) const
{
    paintGridCell(painter, option, index.data(Qt::DisplayRole).toString());
}

// ---- view ----

ComponentGridView::ComponentGridView(QWidget* parent) : QTableView(parent)
{
    m_titles = new GridHeaderView(Qt::Horizontal, this);
    m_names = new GridHeaderView(Qt::Vertical, this);
    setHorizontalHeader(m_titles);
    setVerticalHeader(m_names);
    m_names->setDefaultSectionSize(24);
    m_titles->setDefaultSectionSize(100);
    setItemDelegate(new ValueCellDelegate(this));
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setSelectionBehavior(QAbstractItemView::SelectItems);
    setWordWrap(false);
    setTabKeyNavigation(false);
    setHeaderRowHeight(50);
    setStandardWidth(100);

    connect(m_titles, &GridHeaderView::sectionRightPressed, this,
            [this](int section) { emit titleRightPressed(section + 1); });

    // The corner shows the device label and sorts by name on a right press.
    m_corner = new FixedCorner(
        this, m_titles,
        [this](QPainter* p, const QRect& rect) {
            GridHeaderView::paintTitle(p, rect, m_model ? m_model->cornerText() : QString(), m_titles->font(),
                                       m_titles->palette(), m_titles->extent());
        },
        [this](QMouseEvent* me) {
            if (me->type() == QEvent::MouseButtonPress && me->button() == Qt::RightButton)
                emit titleRightPressed(0);
        });
}

void ComponentGridView::setTableModel(ComponentTableModel* model)
{
    m_model = model;
    m_corner->setViewModel(model);
}

void ComponentGridView::setStandardWidth(int pixels)
{
    m_titles->setDefaultSectionSize(pixels);
    for (int i = 0; i < m_titles->count(); ++i)
        if (m_titles->sectionSize(i) != pixels)
            m_titles->resizeSection(i, pixels);
    m_names->setExtent(pixels);
    updateGeometries();
}

void ComponentGridView::setHeaderRowHeight(int pixels)
{
    m_titles->setExtent(pixels);
    updateGeometries();
}

void ComponentGridView::setHeaderCursor(const QCursor& cursor)
{
    m_titles->viewport()->setCursor(cursor);
    m_titles->setCursor(cursor);
    if (QAbstractButton* corner = m_corner->button())
        corner->setCursor(cursor);
}

void ComponentGridView::refresh()
{
    if (!m_model)
        return;
    const QModelIndex cur = currentIndex();
    const int row = cur.isValid() ? cur.row() : 0;
    const int col = cur.isValid() ? cur.column() : 0;
    if (m_model->refresh()) {
        const int rows = m_model->rowCount();
        const int cols = m_model->columnCount();
        if (rows > 0 && cols > 0)
            setCurrentIndex(m_model->index(std::min(row, rows - 1), std::min(col, cols - 1)));
    }
    m_corner->update();
}

int ComponentGridView::currentCoreRow() const
{
    const QModelIndex cur = currentIndex();
    return cur.isValid() ? cur.row() + 1 : 0;
}

int ComponentGridView::currentCoreColumn() const
{
    const QModelIndex cur = currentIndex();
    return cur.isValid() ? cur.column() + 1 : 0;
}

void ComponentGridView::setCurrentCoreCell(int row, int col)
{
    if (!m_model || m_model->rowCount() == 0 || m_model->columnCount() == 0)
        return;
    row = std::clamp(row, 1, m_model->rowCount());
    col = std::clamp(col, 1, m_model->columnCount());
    // The cell alone is selected, also while a key such as Ctrl is held (Ctrl+Z, Ctrl+Y): a
    // plain setCurrentIndex would add it to the selection and leave the former current cell in.
    selectionModel()->setCurrentIndex(m_model->index(row - 1, col - 1), QItemSelectionModel::ClearAndSelect);
}
