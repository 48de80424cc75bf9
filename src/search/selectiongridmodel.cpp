#include "search/selectiongridmodel.h"

#include "widgets/apputil.h"

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
    // Signs Windows-1251 lacks, written with the ones it has: they mean the same to the selection.
    QString typed = value.toString();
    typed.replace(QChar(0x2264), QLatin1Char('<'));
    typed.replace(QChar(0x2265), QLatin1Char('>'));
    typed.replace(QChar(0x2212), QLatin1Char('-'));
    typed.replace(QChar(0x03BC), QChar(0x00B5));
    typed.replace(QChar(0x03A9), QStringLiteral("Ом"));
    typed.replace(QChar(0x2126), QStringLiteral("Ом"));
    std::string text = qStringToCp(typed);
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
