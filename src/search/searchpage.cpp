#include "search/searchpage.h"

#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QSpinBox>
#include <QStyle>
#include <QStyleOptionHeader>
#include <QValidator>
#include <algorithm>
#include <numeric>

#include "app/apputil.h"
#include "app/fixedcorner.h"

namespace {

constexpr int kHelpTopic = 31;
constexpr int kListItemHeight = 16;

// Letters become upper case as they are typed (and when the text is set).
class UpperCaseValidator : public QValidator {
public:
    using QValidator::QValidator;
    State validate(QString& input, int& pos) const override
    {
        input = input.toUpper();
        pos = std::min<int>(pos, static_cast<int>(input.size()));
        return Acceptable;
    }
};

class NameItemDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        return {QStyledItemDelegate::sizeHint(option, index).width(), kListItemHeight};
    }
};

// Bound cells: painted by the grid's cell painter; the editor hands every keystroke to the
// cell at once, so a button pressed while the editor is open sees the typed text.
class BoundCellDelegate : public QStyledItemDelegate {
public:
    explicit BoundCellDelegate(SelectionGridView* grid) : QStyledItemDelegate(grid), m_grid(grid) {}

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override
    {
        if (m_grid->cellPainter())
            m_grid->cellPainter()(painter, option, index.row() + 1, index.column() + 1);
    }

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem&,
                          const QModelIndex&) const override
    {
        auto* edit = new QLineEdit(parent);
        edit->setFrame(false);
        connect(edit, &QLineEdit::textEdited, this,
                [this, edit] { emit const_cast<BoundCellDelegate*>(this)->commitData(edit); });
        return edit;
    }

    void setEditorData(QWidget* editor, const QModelIndex& index) const override
    {
        // Called again for every change of the cell; the caret stays while the texts agree.
        auto* edit = static_cast<QLineEdit*>(editor);
        const QString text = index.data(Qt::EditRole).toString();
        if (edit->text() != text)
            edit->setText(text);
    }

    void setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const override
    {
        model->setData(index, static_cast<QLineEdit*>(editor)->text(), Qt::EditRole);
    }

private:
    SelectionGridView* m_grid;
};

}  // namespace

// ---- name list ----

NameListModel::NameListModel(QObject* parent)
    : QAbstractListModel(parent), m_collator(QLocale(QLocale::English, QLocale::UnitedStates))
{
    // The untailored order: digits, then Latin, then Cyrillic, each alphabet in its own order
    // (the Russian tailoring would put every Cyrillic name before the Latin ones).

    m_collator.setCaseSensitivity(Qt::CaseInsensitive);
    m_collator.setNumericMode(false);
    m_collator.setIgnorePunctuation(false);
}

void NameListModel::setNames(QStringList names)
{
    beginResetModel();
    m_names = std::move(names);
    m_keys.clear();
    m_keys.reserve(static_cast<size_t>(m_names.size()));
    for (const QString& name : std::as_const(m_names))
        m_keys.push_back(m_collator.sortKey(name));
    m_order.resize(static_cast<size_t>(m_names.size()));
    std::iota(m_order.begin(), m_order.end(), 0);
    std::stable_sort(m_order.begin(), m_order.end(), [this](int a, int b) {
        return m_keys[static_cast<size_t>(a)].compare(m_keys[static_cast<size_t>(b)]) < 0;
    });
    endResetModel();
}

int NameListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_order.size());
}

QVariant NameListModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || (role != Qt::DisplayRole && role != Qt::EditRole))
        return {};
    return entry(index.row());
}

QString NameListModel::entry(int row) const
{
    if (row < 0 || row >= static_cast<int>(m_order.size()))
        return {};
    return m_names[m_order[static_cast<size_t>(row)]];
}

int NameListModel::insertionIndex(const QString& text) const
{
    const QCollatorSortKey key = m_collator.sortKey(text);
    const auto it = std::lower_bound(m_order.begin(), m_order.end(), 0, [&](int i, int) {
        return m_keys[static_cast<size_t>(i)].compare(key) < 0;
    });
    return static_cast<int>(it - m_order.begin());
}

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

// ---- selection grid ----

SelectionGridModel::SelectionGridModel(QObject* parent) : QAbstractTableModel(parent)
{
    m_rows = std::max(0, m_table.rowCount() - 1);
    m_cols = std::max(0, m_table.columnCount() - 1);
}

int SelectionGridModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : m_rows;
}

int SelectionGridModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : m_cols;
}

QVariant SelectionGridModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || (role != Qt::DisplayRole && role != Qt::EditRole))
        return {};
    return cpToQString(m_table.cell(index.row() + 1, index.column() + 1));
}

QVariant SelectionGridModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole || section < 0)
        return {};
    return orientation == Qt::Horizontal ? cpToQString(m_table.cell(0, section + 1))
                                         : cpToQString(m_table.cell(section + 1, 0));
}

Qt::ItemFlags SelectionGridModel::flags(const QModelIndex& index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    const int coreColumn = index.column() + 1;
    if (coreColumn == 1 || coreColumn == 3)
        f |= Qt::ItemIsEditable;
    return f;
}

bool SelectionGridModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (!index.isValid() || role != Qt::EditRole || !(flags(index) & Qt::ItemIsEditable))
        return false;
    const int row = index.row() + 1;
    const int col = index.column() + 1;
    if (row >= m_table.rowCount() || col >= m_table.columnCount())
        return false;
    std::string text = qStringToCp(value.toString());
    if (m_table.cell(row, col) == text)
        return true;
    m_table.setCell(row, col, std::move(text));
    emit dataChanged(index, index);
    return true;
}

void SelectionGridModel::reset()
{
    beginResetModel();
    m_rows = std::max(0, m_table.rowCount() - 1);
    m_cols = std::max(0, m_table.columnCount() - 1);
    endResetModel();
}

void SelectionGridModel::cellChanged(int row, int col)
{
    if (row == 0 && col > 0) {
        emit headerDataChanged(Qt::Horizontal, col - 1, col - 1);
    } else if (col == 0 && row > 0) {
        emit headerDataChanged(Qt::Vertical, row - 1, row - 1);
    } else if (row > 0 && col > 0 && row <= m_rows && col <= m_cols) {
        const QModelIndex i = index(row - 1, col - 1);
        emit dataChanged(i, i);
    }
}

SelectionHeaderView::SelectionHeaderView(Qt::Orientation orientation, SelectionGridView* grid)
    : QHeaderView(orientation, grid), m_grid(grid)
{
    setSectionsClickable(false);
    setHighlightSections(false);
    setSectionsMovable(false);
    setMinimumSectionSize(0);
    setSectionResizeMode(QHeaderView::Fixed);
    setDefaultSectionSize(orientation == Qt::Horizontal ? SelectionGridView::kColumnWidth
                                                        : SelectionGridView::kRowHeight);
    if (orientation == Qt::Horizontal)
        setFixedHeight(SelectionGridView::kRowHeight);
    else
        setFixedWidth(SelectionGridView::kColumnWidth);
}

void SelectionHeaderView::paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const
{
    if (!rect.isValid())
        return;
    QStyleOptionHeader opt;
    initStyleOption(&opt);
    opt.rect = rect;
    opt.section = logicalIndex;
    opt.text.clear();
    style()->drawControl(QStyle::CE_HeaderSection, &opt, painter, this);
    if (!m_grid->cellPainter())
        return;
    QStyleOptionViewItem cell;
    cell.initFrom(this);
    cell.rect = rect;
    cell.font = font();
    const bool horizontal = orientation() == Qt::Horizontal;
    m_grid->cellPainter()(painter, cell, horizontal ? 0 : logicalIndex + 1,
                          horizontal ? logicalIndex + 1 : 0);
}

void SelectionHeaderView::mousePressEvent(QMouseEvent* event)
{
    const int section = logicalIndexAt(event->position().toPoint());
    if (section >= 0) {
        if (orientation() == Qt::Horizontal)
            m_grid->reportPress(0, section + 1);
        else
            m_grid->reportPress(section + 1, 0);
    } else {
        m_grid->reportPress(-1, -1);
    }
    event->accept();
}

void SelectionHeaderView::mouseReleaseEvent(QMouseEvent* event)
{
    event->accept();
}

void SelectionHeaderView::mouseDoubleClickEvent(QMouseEvent* event)
{
    // The second press of a double-click is a press too.
    mousePressEvent(event);
}

void SelectionHeaderView::mouseMoveEvent(QMouseEvent* event)
{
    event->accept();
}

SelectionGridView::SelectionGridView(QWidget* parent) : QTableView(parent)
{
    m_fixedRow = new SelectionHeaderView(Qt::Horizontal, this);
    m_fixedColumn = new SelectionHeaderView(Qt::Vertical, this);
    setHorizontalHeader(m_fixedRow);
    setVerticalHeader(m_fixedColumn);
    setItemDelegate(new BoundCellDelegate(this));
    setSelectionMode(QAbstractItemView::ContiguousSelection);
    setSelectionBehavior(QAbstractItemView::SelectItems);
    setShowGrid(true);
    setWordWrap(false);
    setTabKeyNavigation(false);
    setEditing(false);

    // The corner is the fixed cell (0,0): painted as one, a press reported, never "select all".
    m_corner = new FixedCorner(
        this, m_fixedRow,
        [this](QPainter* p, const QRect& rect) {
            if (!m_painter)
                return;
            QStyleOptionViewItem cell;
            cell.initFrom(m_corner->button());
            cell.rect = rect;
            cell.font = m_fixedRow->font();
            m_painter(p, cell, 0, 0);
        },
        [this](QMouseEvent*) { reportPress(0, 0); });
}

QWidget* SelectionGridView::corner() const
{
    return m_corner->button();
}

void SelectionGridView::setGridModel(SelectionGridModel* model)
{
    m_model = model;
    setModel(model);
    m_corner->watch(model);
}

void SelectionGridView::setEditing(bool on)
{
    m_editing = on;
    setEditTriggers(on ? QAbstractItemView::CurrentChanged | QAbstractItemView::AllEditTriggers
                       : QAbstractItemView::NoEditTriggers);
}

void SelectionGridView::currentChanged(const QModelIndex& current, const QModelIndex& previous)
{
    // The handler decides about editing before the view opens an editor on the new cell.
    if (current.isValid())
        emit cellSelected(current.row() + 1, current.column() + 1);
    QTableView::currentChanged(current, previous);
}

void SelectionGridView::mousePressEvent(QMouseEvent* event)
{
    const QPoint pos = event->position().toPoint();
    const int row = rowAt(pos.y());
    const int col = columnAt(pos.x());
    if (row >= 0 && col >= 0)
        reportPress(row + 1, col + 1);
    else
        reportPress(-1, -1);
    QTableView::mousePressEvent(event);
}

// ---- the page ----

SearchPage::SearchPage(QWidget* parent) : QFrame(parent)
{
    setObjectName(QStringLiteral("SearchPanel"));
    setFrameStyle(QFrame::Panel | QFrame::Sunken);
    setLineWidth(2);  // lowered inner and outer bevels

    m_edit = new QLineEdit(this);
    m_edit->setObjectName(QStringLiteral("LabeledEdit1"));
    m_edit->setGeometry(16, 32, 297, 24);
    m_edit->setValidator(new UpperCaseValidator(m_edit));
    m_editLabel = new QLabel(this);
    m_editLabel->setObjectName(QStringLiteral("LabeledEdit1Label"));
    m_editLabel->setGeometry(16, 32 - 3 - 16, 297, 16);  // above the edit, 3 pixels apart
    m_editLabel->setBuddy(m_edit);

    m_list = new NameListView(this);
    m_list->setObjectName(QStringLiteral("ListBox1"));
    m_list->setGeometry(16, 64, 297, 545);

    for (int i = 0; i < 4; ++i) {
        m_static[i] = new QLabel(this);
        m_static[i]->setObjectName(QStringLiteral("StaticText%1").arg(i + 1));
    }
    m_static[0]->setText(QStringLiteral("Подбор по параметрам для "));
    m_static[0]->setGeometry(352, 32, 585, 17);
    // Each caption of the spread line starts at its place; one that the font makes wider than
    // the room before the next spin box moves left instead of hiding under it.
    const auto caption = [this](int n, const QString& text, int left, int roomRight) {
        QLabel* label = m_static[n - 1];
        label->setText(text);
        label->adjustSize();
        const int width = label->width();
        label->setGeometry(std::min(left, roomRight - width), 466, width, 17);
    };
    caption(2, QStringLiteral("Разброс параметров от  -"), 504, 656 - 2);
    caption(3, QStringLiteral("%  до   +"), 713, 768 - 2);
    caption(4, QStringLiteral("%"), 826, 937);

    m_grid = new SelectionGridView(this);
    m_grid->setObjectName(QStringLiteral("StringGrid3"));
    m_grid->setGeometry(352, 64, 585, 377);
    m_grid->setGridModel(new SelectionGridModel(m_grid));

    const auto spread = [this](const char* name, int left) {
        auto* spin = new QSpinBox(this);
        spin->setObjectName(QLatin1String(name));
        spin->setRange(0, 100);
        spin->setValue(10);
        spin->setCorrectionMode(QAbstractSpinBox::CorrectToNearestValue);
        spin->setGeometry(left, 464, 49, 22);
        return spin;
    };
    m_spin1 = spread("SpinEdit1", 656);
    m_spin2 = spread("SpinEdit2", 768);

    m_btn1 = new QPushButton(QStringLiteral("Очистить"), this);
    m_btn1->setObjectName(QStringLiteral("BitBtn1"));
    m_btn1->setIcon(style()->standardIcon(QStyle::SP_DialogResetButton));
    m_btn1->setGeometry(824, 504, 89, 33);
    m_btn2 = new QPushButton(QStringLiteral("Применить"), this);
    m_btn2->setObjectName(QStringLiteral("BitBtn2"));
    m_btn2->setGeometry(824, 552, 89, 33);

    setHelpContext(this, kHelpTopic);
    for (QWidget* w : findChildren<QWidget*>())
        setHelpContext(w, kHelpTopic);
}

void SelectionGridView::setNameColumnWidth(int width)
{
    const int now = m_fixedColumn->width();
    const int wanted = std::max<int>(kColumnWidth, width);
    if (wanted == now)
        return;
    m_fixedColumn->setFixedWidth(wanted);
    resize(this->width() + wanted - now, height());
}

QLabel* SearchPage::staticText(int n) const
{
    return n >= 1 && n <= 4 ? m_static[n - 1] : nullptr;
}

int SearchPage::spreadValue(const QSpinBox* spin)
{
    bool ok = false;
    const int v = spin->cleanText().trimmed().toInt(&ok);
    return ok ? std::clamp(v, 0, 100) : 0;
}
