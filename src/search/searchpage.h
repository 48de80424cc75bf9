#pragma once
// The page "Поиск": the name edit over the sorted name list (left), the selection grid with the
// spreads and the two buttons (right). Search by name moves the main table's current record;
// the selection fills the document's second table.
#include <QAbstractListModel>
#include <QAbstractTableModel>
#include <QCollator>
#include <QFrame>
#include <QHeaderView>
#include <QListView>
#include <QStyledItemDelegate>
#include <QTableView>
#include <functional>
#include <vector>

#include "base/table.h"
#include "widgets/fixedcorner.h"
#include "widgets/framedheaderview.h"

class Document;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;

// Component names in table order, shown in the list's own order: case-insensitive and
// locale-aware, equal names in table order. Sorting uses one collation key per name, so
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
    QCollator m_collator;
    QStringList m_names;
    std::vector<QCollatorSortKey> m_keys;  // one per name, table order
    std::vector<int> m_order;              // list position -> index into m_names
};

// The name list: single selection, rows 16 pixels high. A double-click anywhere in it is
// reported, also below the last name (the page then reads the selected entry).
class NameListView : public QListView {
    Q_OBJECT
public:
    explicit NameListView(QWidget* parent = nullptr);
    NameListModel* names() const { return m_names; }
    // The selected entry's list position; -1 when none is selected.
    int selectedRow() const;
    // Selects list position `row` and scrolls to it; an invalid position clears the selection.
    void selectRow(int row);

signals:
    void doubleClickedAnywhere();
    // Enter in the list: the same choice as a double-click.
    void enterPressed();

protected:
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    NameListModel* m_names;
};

// StringGrid3's cells, held as a core table of 4 columns: core row 0 is the horizontal header,
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

// Paints one cell of StringGrid3 in core numbering; fixed cells get their bevel from the header
// first, so the painter only adds the text there.
using GridCellPainter =
    std::function<void(QPainter*, const QStyleOptionViewItem&, int row, int col)>;

class SelectionGridView;

// The fixed row (horizontal) or the fixed column (vertical) of StringGrid3. A press of any
// button is reported to the grid; a press never selects.
class SelectionHeaderView : public FramedHeaderView {
    Q_OBJECT
public:
    SelectionHeaderView(Qt::Orientation orientation, SelectionGridView* grid);

protected:
    void paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

private:
    SelectionGridView* m_grid;
};

class SelectionGridView : public QTableView {
    Q_OBJECT
public:
    static constexpr int kColumnWidth = 140;
    static constexpr int kRowHeight = 24;

    explicit SelectionGridView(QWidget* parent = nullptr);

    void setGridModel(SelectionGridModel* model);
    SelectionGridModel* gridModel() const { return m_model; }
    void setCellPainter(GridCellPainter painter) { m_painter = std::move(painter); }
    const GridCellPainter& cellPainter() const { return m_painter; }

    // In-place editing on (the editor opens on the current cell) or off.
    void setEditing(bool on);
    bool editing() const { return m_editing; }

    // The fixed name column at least `width` pixels wide, never below kColumnWidth; the grid
    // grows or shrinks by as much, so the value columns keep their room.
    void setNameColumnWidth(int width);

    SelectionHeaderView* fixedRow() const { return m_fixedRow; }
    SelectionHeaderView* fixedColumn() const { return m_fixedColumn; }
    QWidget* corner() const { return m_corner->button(); }

    // A press over core cell (row, col), from the grid's cells, its headers or its corner.
    void reportPress(int row, int col) { emit mouseDown(row, col); }

signals:
    // A mouse button went down over core cell (row, col) (-1, -1: outside every cell).
    void mouseDown(int row, int col);
    // The current cell moved to core cell (row, col), before any editor opens there.
    void cellSelected(int row, int col);

protected:
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    SelectionGridModel* m_model = nullptr;
    SelectionHeaderView* m_fixedRow;
    SelectionHeaderView* m_fixedColumn;
    FixedCorner* m_corner;
    GridCellPainter m_painter;
    bool m_editing = false;
};

// The panel that fills the search page (lowered inner and outer bevels) with every control of
// the page at its place. Each control carries the search page's help topic. The record the page
// works on is the main table's current one (the first when none is current).
class SearchPage : public QFrame {
    Q_OBJECT
public:
    SearchPage(Document& document, QWidget* parent = nullptr);

    QLineEdit* nameEdit() const { return m_nameEdit; }
    QLabel* nameLabel() const { return m_nameLabel; }
    NameListView* nameList() const { return m_nameList; }
    NameListModel* nameModel() const { return m_nameList->names(); }
    QLabel* caption(int n) const;  // 1: the selection's title, 2..4: the spread line
    SelectionGridView* selectionView() const { return m_grid; }
    SelectionGridModel* gridModel() const { return m_grid->gridModel(); }
    QSpinBox* lowerSpread() const { return m_lowerSpread; }
    QSpinBox* upperSpread() const { return m_upperSpread; }
    QPushButton* clearButton() const { return m_clearButton; }
    QPushButton* applyButton() const { return m_applyButton; }

    // A spread as its text reads: a whole number within 0..100, 0 for any other text.
    static int spreadValue(const QSpinBox* spin);

    // The selection grid's cells: row 0 the column headers, column 0 the parameter names,
    // columns 1 and 3 the bounds, column 2 the reference values.
    const veltris::Table& selectionGrid() const;

public slots:
    // The page comes to the front: names, selection grid and captions from the open base.
    void refill();
    void fillNameList();
    void showCaptions();
    // The name list positioned at the first name not sorting before `text`.
    void findName(const QString& text);
    // The record of the selected name becomes the main table's current one.
    void goToSelectedName();
    // Parameter names and the current record's reference values; bounds "0" (none).
    void fillSelectionGrid();
    // Every bound "0" (none).
    void clearBounds();
    // New empties every cell of the selection grid, its header row included.
    void clearSelectionGrid();
    // A press on a parameter name: its bounds from the reference value and the spreads.
    void boundsFromReference(int row, int col);
    // "Применить": the records within every bound fill the second table.
    void applySelection();

signals:
    // The selection filled the second table, which should come to the front.
    void selectionApplied();

private:
    int searchRecord() const;  // the current record, row 1 when none is current
    // The page never smaller than its controls need (it scrolls in a smaller window).
    void fitMinimumSize();
    veltris::Table& grid();
    void boundCellsChanged(int row);
    void paintSelectionCell(QPainter* painter, const QStyleOptionViewItem& option, int row, int col) const;

    Document& m_document;
    QLineEdit* m_nameEdit;
    QLabel* m_nameLabel;
    NameListView* m_nameList;
    QLabel* m_captions[4];
    SelectionGridView* m_grid;
    QSpinBox* m_lowerSpread;
    QSpinBox* m_upperSpread;
    QPushButton* m_clearButton;
    QPushButton* m_applyButton;
};
