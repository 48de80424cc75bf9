#pragma once
#include <QListView>

#include "search/namelistmodel.h"

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
