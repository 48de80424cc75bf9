#pragma once
// The navigator's component list: the catalogue entries of one device type, sorted in the name
// order of the core's collation (case-insensitive, digits, Latin, then Cyrillic; the same for
// every locale).
//
// The catalogue is sorted once, when it is set (names found in several bases marked then); choosing a type afterwards only filters that
// order, and positioning by a text is a binary search. So 100,000 entries fill at once.
#include <QAbstractListModel>
#include <cstdint>
#include <vector>

#include "base/navigatorcatalogue.h"

class NavigatorListModel : public QAbstractListModel {
    Q_OBJECT
public:
    // The tooltip (Qt::ToolTipRole) of a row is the full path of its base.
    // Index of the entry in catalogue order (a qulonglong), for whoever needs the entry itself.
    static constexpr int CatalogueIndexRole = Qt::UserRole + 1;

    explicit NavigatorListModel(QObject* parent = nullptr);

    // Sorts the catalogue's entries. The catalogue must outlive the model and not change.
    void setCatalogue(const veltris::NavigatorCatalogue& catalogue);
    // Shows the entries of device type `type` (0: every entry) in sorted order.
    void showType(int type);
    // Shows nothing.
    void clear();

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

    // The entry shown in `row` (0 <= row < rowCount()).
    const veltris::NavigatorEntry& entry(int row) const
    {
        return m_sorted[m_rows[static_cast<size_t>(row)]].entry;
    }
    QString name(int row) const;
    // True when another base holds a component of the same name (letter case aside): the row
    // then shows its base's file name, so the right one can be chosen.
    bool nameInSeveralBases(int row) const { return m_sorted[m_rows[static_cast<size_t>(row)]].shared; }
    // The file name (without its folder) of the base of `row`.
    QString baseFileName(int row) const;
    // The row at which `text` would be inserted into the list: the first item that does not sort
    // before it, so an item equal to it when there is one; rowCount() when every item sorts
    // before it.
    int insertionRow(const QString& text) const;
    // True when the name of `row` begins with `text` (case, blanks and hyphens aside).
    bool nameStartsWith(int row, const QString& text) const;
    // The first row, in list order, whose name `typed` names as the page «Замена» reads a typed
    // name (Latin look-alikes and transliteration for Cyrillic letters, "kt315b" for КТ315Б):
    // a whole-name match first, else a name holding it; -1 when none.
    int lookAlikeRow(const QString& typed) const;

private:
    struct Sorted {
        veltris::NavigatorEntry entry;
        std::uint32_t catalogueIndex;
        bool shared = false;  // the name is in another base too
    };
    std::vector<Sorted> m_sorted;       // the whole catalogue in list order
    std::vector<std::uint32_t> m_rows;  // indices into m_sorted of the rows shown
};
