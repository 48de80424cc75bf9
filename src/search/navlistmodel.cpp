#include "search/navlistmodel.h"

#include <QLocale>
#include <algorithm>
#include <numeric>

#include "app/apputil.h"

// The same order whatever the user's locale, so the list and the quick search behave alike
// everywhere: the Unicode root order (the one English uses), which keeps the Russian alphabet
// (Ё beside Е) and, as Windows lists always did, puts Latin names before Cyrillic ones. The
// Russian tailoring would move every Cyrillic name in front.
NavListModel::NavListModel(QObject* parent)
    : QAbstractListModel(parent), m_collator(QLocale(QLocale::English, QLocale::UnitedStates))
{
    m_collator.setCaseSensitivity(Qt::CaseInsensitive);
    m_collator.setNumericMode(false);
    m_collator.setIgnorePunctuation(false);
}

void NavListModel::setCatalogue(const veltris::NavigatorCatalogue& catalogue)
{
    beginResetModel();
    m_rows.clear();
    m_sorted.clear();
    m_sorted.reserve(catalogue.size());
    std::uint32_t index = 0;
    for (const veltris::TLBox2Type& e : catalogue)
        m_sorted.push_back(Sorted{e, index++});

    // One sort key per entry, then byte comparisons only: collating each comparison anew would
    // cost a second or more for 100,000 names.
    std::vector<QCollatorSortKey> keys;
    keys.reserve(m_sorted.size());
    for (const Sorted& s : m_sorted)
        keys.push_back(m_collator.sortKey(cpToQString(s.entry.componentName)));
    std::vector<std::uint32_t> order(m_sorted.size());
    std::iota(order.begin(), order.end(), 0u);
    // Equal names keep catalogue order, so each still leads to its own base predictably.
    std::stable_sort(order.begin(), order.end(),
                     [&keys](std::uint32_t a, std::uint32_t b) { return keys[a].compare(keys[b]) < 0; });
    std::vector<Sorted> sorted;
    sorted.reserve(m_sorted.size());
    for (const std::uint32_t i : order)
        sorted.push_back(m_sorted[i]);
    m_sorted = std::move(sorted);
    endResetModel();
}

void NavListModel::showType(int type)
{
    beginResetModel();
    m_rows.clear();
    if (type == 0) {
        m_rows.resize(m_sorted.size());
        std::iota(m_rows.begin(), m_rows.end(), 0u);
    } else {
        for (std::uint32_t i = 0; i < m_sorted.size(); ++i)
            if (m_sorted[i].entry.deviceType == type)
                m_rows.push_back(i);
    }
    endResetModel();
}

void NavListModel::clear()
{
    beginResetModel();
    m_rows.clear();
    endResetModel();
}

int NavListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

QString NavListModel::name(int row) const
{
    return cpToQString(entry(row).componentName);
}

QVariant NavListModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() < 0 || index.row() >= rowCount())
        return {};
    switch (role) {
    case Qt::DisplayRole:
        return name(index.row());
    case CatalogueIndexRole:
        return QVariant::fromValue<qulonglong>(m_sorted[m_rows[static_cast<size_t>(index.row())]].catalogueIndex);
    default:
        return {};
    }
}

int NavListModel::insertionRow(const QString& text) const
{
    const auto it = std::partition_point(m_rows.begin(), m_rows.end(), [&](std::uint32_t i) {
        return m_collator.compare(cpToQString(m_sorted[i].entry.componentName), text) < 0;
    });
    return static_cast<int>(it - m_rows.begin());
}
