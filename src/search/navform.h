#pragma once
// TNavForm: the dialog "Навигатор", created once by the main window and shown modally. It lists
// the components of every base in the scan folders by device type, positions the list by a
// quick-search text, shows the base description and opens the base of a double-clicked item.
// Nothing is reset between showings: type, quick-search text and list position stay.
#include <QDialog>

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
class NavListModel;
class TSDIAppForm;

class TNavForm : public QDialog {
    Q_OBJECT
public:
    static constexpr int kHelpTopic = 19;
    static constexpr int kItemHeight = 16;

    explicit TNavForm(TSDIAppForm& form);

    TSDIAppForm& mainForm() const { return m_form; }

    QListWidget* listBox1() const { return m_listBox1; }
    QLineEdit* edit1() const { return m_edit1; }
    QListView* listBox2() const { return m_listBox2; }
    NavListModel* listModel() const { return m_model; }
    QPlainTextEdit* memo1() const { return m_memo1; }
    QPushButton* bitBtn1() const { return m_bitBtn1; }
    QPushButton* bitBtn2() const { return m_bitBtn2; }

    // Row of the item the commands act on: the selected one, else the first; -1 when the list
    // is empty.
    int actionRow() const;

    // Paints one item of the component list (called by the list's delegate).
    void ListBox2DrawItem(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index);

public slots:
    void ListBox1Click();
    void Edit1Change();
    void ListBox2Click();
    void ListBox2DblClick();
    void BitBtn2Click();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void FormCreate();
    // The window sees keys before its controls; true when the key was handled.
    bool FormKeyDown(QKeyEvent* event);
    int selectedRow() const;

    TSDIAppForm& m_form;
    int m_typeRowAtPress = -1;  // device type row current when a press began in the type list
    QLabel* m_staticText1 = nullptr;
    QListWidget* m_listBox1 = nullptr;
    QLabel* m_label1 = nullptr;
    QLineEdit* m_edit1 = nullptr;
    QListView* m_listBox2 = nullptr;
    NavListModel* m_model = nullptr;
    QLabel* m_staticText3 = nullptr;
    QPlainTextEdit* m_memo1 = nullptr;
    QPushButton* m_bitBtn1 = nullptr;
    QPushButton* m_bitBtn2 = nullptr;
};
