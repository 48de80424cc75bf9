#pragma once
// The page "Поиск": the name edit over the sorted name list (left), the selection grid with the
// spreads and the two buttons (right). Search by name moves the main table's current record;
// the selection fills the document's second table.
#include <QFrame>

#include "base/table.h"
#include "search/namelistview.h"
#include "search/selectiongridview.h"

class Document;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;

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
    bool m_boundsBelongToBase = false;  // the bound cells hold what was typed for the open base
};
