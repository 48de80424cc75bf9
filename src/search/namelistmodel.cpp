#include "search/namelistmodel.h"

#include <algorithm>
#include <numeric>

#include "base/collation.h"
#include "widgets/apputil.h"

NameListModel::NameListModel(QObject* parent) : QAbstractListModel(parent) {}

void NameListModel::setNames(QStringList names)
{
    beginResetModel();
    m_names = std::move(names);
    m_keys.clear();
    m_keys.reserve(static_cast<size_t>(m_names.size()));
    for (const QString& name : std::as_const(m_names))
        m_keys.push_back(veltris::collationKey(qStringToCp(name)));
    m_order.resize(static_cast<size_t>(m_names.size()));
    std::iota(m_order.begin(), m_order.end(), 0);
    std::stable_sort(m_order.begin(), m_order.end(), [this](int a, int b) {
        return m_keys[static_cast<size_t>(a)] < m_keys[static_cast<size_t>(b)];
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
    const std::string key = veltris::collationKey(qStringToCp(text));
    const auto it = std::lower_bound(m_order.begin(), m_order.end(), 0,
                                     [&](int i, int) { return m_keys[static_cast<size_t>(i)] < key; });
    return static_cast<int>(it - m_order.begin());
}
