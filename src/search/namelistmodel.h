#pragma once
#include <QAbstractListModel>
#include <QStringList>
#include <string>
#include <vector>

// Component names in table order, shown in the name order of lists (base/collation.h, the order
// of the navigator too), equal names in table order. Sorting uses one collation key per name, so
// 100,000 names take one sort, not 100,000 sorted insertions.
class NameListModel : public QAbstractListModel {
    Q_OBJECT
public:
    explicit NameListModel(QObject* parent = nullptr);

    void setNames(QStringList names);
    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;

    // The entry at list position `row` ("" outside the list).
    QString entry(int row) const;
    // The position at which `text` would be inserted: before the first entry that does not
    // sort before it, so an equal entry (ignoring case) comes first. rowCount() when `text`
    // sorts after every entry.
    int insertionIndex(const QString& text) const;

private:
    QStringList m_names;
    std::vector<std::string> m_keys;  // collationKey of each name, table order
    std::vector<int> m_order;         // list position -> index into m_names
};
