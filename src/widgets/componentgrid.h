#pragma once
// The main and second tables: a QTableView over a model on a core veltris::Table.
// Core row 0 (titles) is the horizontal header, core column 0 (names) the vertical header, and
// core cell (0,0) (the device label) the corner; so model cell (r, c) is core cell (r+1, c+1).
#include <QAbstractTableModel>
#include <QHeaderView>
#include <QStyledItemDelegate>
#include <QTableView>

#include "base/table.h"
#include "widgets/fixedcorner.h"
#include "widgets/framedheaderview.h"

class QAbstractButton;

class ComponentTableModel : public QAbstractTableModel {
    Q_OBJECT
public:
    // The raw cell text ("0" included); DisplayRole gives "0" as empty.
    static constexpr int RawTextRole = Qt::UserRole + 1;

    explicit ComponentTableModel(veltris::Table* table, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    const veltris::Table& table() const { return *m_table; }
    QString cornerText() const;

    // The core table changed: a reset when its size changed, otherwise a repaint of everything.
    // Returns true when the model was reset.
    bool refresh();

private:
    veltris::Table* m_table;
    int m_rows = 0;
    int m_cols = 0;
};

// The header row (horizontal: bold centred title lines split at "|") and the name column
// (vertical: the name at left + 2, at the top like the values). Sections are fixed; a right
// press on a title is reported, a left press does nothing.
class GridHeaderView : public FramedHeaderView {
    Q_OBJECT
public:
    explicit GridHeaderView(Qt::Orientation orientation, QWidget* parent = nullptr);

    // Height of the header row (horizontal) or width of the name column (vertical).
    void setExtent(int pixels);
    int extent() const { return m_extent; }
    QSize sizeHint() const override;

    // The lines a title is painted as: split at "|", each trimmed of spaces and control
    // characters; a leading "|" gives an empty first line.
    static QStringList splitTitleLines(const QString& title);
    // Paints a header-row cell: background, then the lines centred at y = top + 2, moving down
    // by a third of the header row height per line.
    static void paintTitle(QPainter* painter, const QRect& rect, const QString& title, const QFont& font,
                           const QPalette& palette, int headerHeight);

signals:
    void sectionRightPressed(int logicalIndex);

protected:
    void paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    int m_extent = 0;
};

// Value cells: "0" painted empty, text at left + 5, top; one data() call per cell.
class ValueCellDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
};

class ComponentGridView : public QTableView {
    Q_OBJECT
public:
    explicit ComponentGridView(QWidget* parent = nullptr);

    void setTableModel(ComponentTableModel* model);
    QAbstractButton* cornerButton() const { return m_corner->button(); }

    // Every column, the name column included, gets this width.
    void setStandardWidth(int pixels);
    void setHeaderRowHeight(int pixels);
    void setHeaderCursor(const QCursor& cursor);

    // The core table changed; keeps the current cell where the size allows.
    void refresh();

    // Current cell in core numbering (row >= 1, column >= 1); 0 when there is none.
    int currentCoreRow() const;
    int currentCoreColumn() const;
    // Makes core cell (row, col) current (clamped to the table); the view scrolls to it.
    void setCurrentCoreCell(int row, int col);

signals:
    // A right press on a title: the core column (0 = the top-left cell, sort by name).
    void titleRightPressed(int coreColumn);

private:
    ComponentTableModel* m_model = nullptr;
    GridHeaderView* m_titles;
    GridHeaderView* m_names;
    FixedCorner* m_corner;
};
