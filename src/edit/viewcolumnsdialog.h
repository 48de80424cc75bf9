#pragma once
// ViewColumnsDialog: the dialog "Параметры просмотра", created once by the main window and shown
// modally. Two lists of main-table column numbers, drawn by their parameter names: the hidden
// columns and the shown ones in the second table's order. The main window fills them before
// showing and reads the shown list after OK.
#include <QDialog>
#include <vector>

class QLabel;
class QListWidget;
class QPainter;
class QPushButton;
class QStyleOptionViewItem;
class Document;

class ViewColumnsDialog : public QDialog {
    Q_OBJECT
public:
    explicit ViewColumnsDialog(const Document& document, QWidget* parent = nullptr);

    // Opening: both lists refilled, the first hidden (else shown) item selected, the move buttons
    // enabled by what each list holds.
    void prepare(int deviceType, const std::vector<int>& shown, const std::vector<int>& hidden);

    int deviceType() const { return m_deviceType; }
    std::vector<int> shownColumns() const;
    std::vector<int> hiddenColumns() const;
    // The text an item of column p is drawn with; empty for a type without a catalogue.
    QString columnName(int p) const;

    QListWidget* hiddenList() const { return m_hiddenList; }
    QListWidget* shownList() const { return m_shownList; }

    // Paints one item of either list: the rectangle in the list's current colours, then the
    // parameter name at its top-left corner.
    void paintColumnItem(QPainter* painter, const QStyleOptionViewItem& option, int column) const;

public slots:
    void showSelected();                   // ">"
    void hideSelected();                   // "<"
    void showAll();                        // ">>"
    void hideAll();                        // "<<"
    bool handleHelpKey(QKeyEvent* event);  // F1: help; true when handled

private:
    // Selected items of `from` (scanned from the last) go to the end of `to`.
    static void moveSelected(QListWidget* from, QListWidget* to);
    static void moveAll(QListWidget* from, QListWidget* to);
    // The selected items of `from` go to `to`; the buttons moving from `from` are disabled when
    // it is left empty, those moving back enabled.
    static void moveSelectedBetween(QListWidget* from, QListWidget* to, QPushButton* fromOne,
                                    QPushButton* fromAll, QPushButton* toOne, QPushButton* toAll);
    static void selectFirst(QListWidget* list);
    static std::vector<int> columnsOf(const QListWidget* list);

    const Document& m_document;
    int m_deviceType = 0;

    QLabel* m_hiddenLabel;
    QLabel* m_shownLabel;
    QListWidget* m_hiddenList;
    QListWidget* m_shownList;
    QPushButton* m_showSelected;
    QPushButton* m_hideSelected;
    QPushButton* m_showAll;
    QPushButton* m_hideAll;
    QPushButton* m_okButton;
    QPushButton* m_cancelButton;
};
