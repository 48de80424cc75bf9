#pragma once
#include <QAbstractTableModel>

#include "base/table.h"

// The selection grid's cells, held as a core table of 4 columns: core row 0 is the horizontal header,
// core column 0 the vertical header, core (0,0) the corner; model cell (r, c) is core cell
// (r+1, c+1). Only the bound columns (1 and 3) take typed text.
class SelectionGridModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit SelectionGridModel(QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;

    // The cells; after writing to them call reset() or cellChanged().
    veltris::Table& table() { return m_table; }
    const veltris::Table& table() const { return m_table; }
    // Whole table changed (its size perhaps too): the model is reset, open editors close.
    void reset();
    // One core cell changed: an editor open on it shows the new text.
    void cellChanged(int row, int col);

private:
    veltris::Table m_table{2, 4};
    int m_rows = 0;
    int m_cols = 0;
};
