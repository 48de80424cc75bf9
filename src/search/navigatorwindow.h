#pragma once
// NavigatorWindow: the dialog "Навигатор", created once by the main window and shown modally. It lists
// the components of every base in the scan folders by device type, positions the list by a
// quick-search text, shows the base description and opens the base of a double-clicked item.
// Nothing is reset between showings: type, quick-search text and list position stay.
// Several components can be selected (Ctrl, Shift) and compared side by side from the list's
// context menu, the current one as the reference.
#include <QDialog>
#include <vector>

#include "search/comparison.h"

class QKeyEvent;
class QLabel;
class QLineEdit;
class QListView;
class QListWidget;
class QModelIndex;
class QPainter;
class QPlainTextEdit;
class QPushButton;
class QStyleOptionViewItem;
class Document;
class NavigatorListModel;

class NavigatorWindow : public QDialog {
    Q_OBJECT
public:
    static constexpr int kItemHeight = 16;

    explicit NavigatorWindow(Document& document, QWidget* parent = nullptr);

    QListWidget* typeList() const { return m_typeList; }
    QLineEdit* quickSearchEdit() const { return m_quickSearch; }
    QListView* componentList() const { return m_componentList; }
    NavigatorListModel* listModel() const { return m_model; }
    QPlainTextEdit* descriptionView() const { return m_description; }
    QPushButton* closeButton() const { return m_closeButton; }
    QPushButton* helpButton() const { return m_helpButton; }

    // Row of the item the commands act on: the selected one, else the first; -1 when the list
    // is empty.
    int actionRow() const;
    // Where the selected components are kept, the current one first, the others in list order.
    std::vector<PartAddress> selectedParts() const;

signals:
    // «Сравнить выделенные…»: the selected components (selectedParts()).
    void compareRequested(const std::vector<PartAddress>& parts);

public:
    // Paints one item of the component list (called by the list's delegate).
    void paintComponentItem(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index);

public slots:
    // The components of the chosen type, the quick search and the description emptied.
    void showChosenType();
    // The list positioned at the first component not sorting before the quick-search text.
    void findQuickSearchText();
    // The description of the base of the component the commands act on.
    void showDescription();
    // The base of the component the commands act on opened (after the unsaved-changes prompt).
    void openChosenBase();
    void showHelp();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The window sees keys before its controls; true when the key was handled.
    bool handleHelpKey(QKeyEvent* event);
    int selectedRow() const;

    Document& m_document;
    int m_typeRowAtPress = -1;  // device type row current when a press began in the type list
    QLabel* m_typeLabel = nullptr;
    QListWidget* m_typeList = nullptr;
    QLabel* m_quickSearchLabel = nullptr;
    QLineEdit* m_quickSearch = nullptr;
    QListView* m_componentList = nullptr;
    NavigatorListModel* m_model = nullptr;
    QLabel* m_descriptionLabel = nullptr;
    QPlainTextEdit* m_description = nullptr;
    QPushButton* m_closeButton = nullptr;
    QPushButton* m_helpButton = nullptr;
};
