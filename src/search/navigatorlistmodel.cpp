#include "search/navigatorlistmodel.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <numeric>

#include "base/collation.h"
#include "base/substitute/namelookup.h"
#include "widgets/apputil.h"

namespace {

// The capital of a Windows-1251 letter (Latin, Cyrillic, Ё); other bytes as they are.
char upperCp1251(char c)
{
    const auto u = static_cast<unsigned char>(c);
    if ((u >= 'a' && u <= 'z') || u >= 0xE0)
        return static_cast<char>(u - 0x20);
    if (u == 0xB8)
        return static_cast<char>(0xA8);
    return c;
}

}  // namespace

NavigatorListModel::NavigatorListModel(QObject* parent) : QAbstractListModel(parent) {}

void NavigatorListModel::setCatalogue(const veltris::NavigatorCatalogue& catalogue)
{
    beginResetModel();
    m_rows.clear();
    m_sorted.clear();
    m_sorted.reserve(catalogue.size());
    std::uint32_t index = 0;
    for (const veltris::NavigatorEntry& e : catalogue)
        m_sorted.push_back(Sorted{e, index++});

    // Equal names keep catalogue order, so each still leads to its own base predictably.
    std::vector<std::string_view> names;
    names.reserve(m_sorted.size());
    for (const Sorted& s : m_sorted)
        names.push_back(s.entry.componentName);
    const std::vector<std::uint32_t> order = veltris::collatedOrder(names);
    std::vector<Sorted> sorted;
    sorted.reserve(m_sorted.size());
    for (const std::uint32_t i : order)
        sorted.push_back(m_sorted[i]);
    m_sorted = std::move(sorted);

    // Equal names (letter case aside) sort next to each other: mark each run of one name that
    // spans several bases. One pass, comparing neighbours byte by byte.
    const auto sameName = [](std::string_view a, std::string_view b) {
        if (a.size() != b.size())
            return false;
        for (std::size_t i = 0; i < a.size(); ++i)
            if (upperCp1251(a[i]) != upperCp1251(b[i]))
                return false;
        return true;
    };
    std::size_t runStart = 0;
    for (std::size_t i = 1; i <= m_sorted.size(); ++i) {
        if (i < m_sorted.size() &&
            sameName(m_sorted[i].entry.componentName, m_sorted[runStart].entry.componentName))
            continue;
        bool several = false;
        for (std::size_t j = runStart + 1; j < i && !several; ++j)
            several = m_sorted[j].entry.base != m_sorted[runStart].entry.base;
        for (std::size_t j = runStart; j < i && several; ++j)
            m_sorted[j].shared = true;
        runStart = i;
    }
    endResetModel();
}

void NavigatorListModel::showType(int type)
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

void NavigatorListModel::clear()
{
    beginResetModel();
    m_rows.clear();
    endResetModel();
}

int NavigatorListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

QString NavigatorListModel::name(int row) const
{
    return cpToQString(entry(row).componentName);
}

QString NavigatorListModel::baseFileName(int row) const
{
    return QFileInfo(QFile::decodeName(QByteArray::fromStdString(entry(row).fileName()))).fileName();
}

QVariant NavigatorListModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() < 0 || index.row() >= rowCount())
        return {};
    switch (role) {
    case Qt::DisplayRole: return name(index.row());
    case Qt::ToolTipRole:
        return QDir::toNativeSeparators(
            QFile::decodeName(QByteArray::fromStdString(entry(index.row()).fileName())));
    case CatalogueIndexRole:
        return QVariant::fromValue<qulonglong>(
            m_sorted[m_rows[static_cast<size_t>(index.row())]].catalogueIndex);
    default: return {};
    }
}

int NavigatorListModel::insertionRow(const QString& text) const
{
    const std::string key = veltris::collationKey(qStringToCp(text));
    const auto it = std::partition_point(m_rows.begin(), m_rows.end(), [&](std::uint32_t i) {
        return veltris::collationKey(m_sorted[i].entry.componentName) < key;
    });
    return static_cast<int>(it - m_rows.begin());
}

bool NavigatorListModel::nameStartsWith(int row, const QString& text) const
{
    return veltris::comparableName(entry(row).componentName)
        .starts_with(veltris::comparableName(qStringToCp(text)));
}

int NavigatorListModel::lookAlikeRow(const QString& typed) const
{
    const veltris::NamePattern pattern(qStringToCp(typed));
    if (pattern.empty())
        return -1;
    int part = -1;
    for (int row = 0; row < rowCount(); ++row) {
        const auto fit = pattern.fit(entry(row).componentName);
        if (fit == veltris::NamePattern::Fit::Whole)
            return row;
        if (fit == veltris::NamePattern::Fit::Part && part < 0)
            part = row;
    }
    return part;
}
