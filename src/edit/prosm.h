#pragma once
// TProsm: the dialog "Параметры просмотра", created once by the main window and shown modally.
// Two lists of main-table column numbers, drawn by their parameter names: the hidden columns
// (ListBox1) and the shown ones (ListBox2) in the second table's order. The main window fills
// them before showing and reads the shown list after OK.
#include <QDialog>
#include <vector>

class QLabel;
class QListWidget;
class QPainter;
class QPushButton;
class QStyleOptionViewItem;
class TSDIAppForm;

class TProsm : public QDialog {
    Q_OBJECT
public:
    explicit TProsm(TSDIAppForm& form);

    TSDIAppForm& mainForm() const { return m_form; }

    // Opening: both lists refilled, the first hidden (else shown) item selected, the move buttons
    // enabled by what each list holds.
    void prepare(int deviceType, const std::vector<int>& shown, const std::vector<int>& hidden);

    int deviceType() const { return m_deviceType; }
    std::vector<int> shownColumns() const;
    std::vector<int> hiddenColumns() const;
    // The text an item of column p is drawn with; empty for a type without a catalogue.
    QString columnName(int p) const;

    QListWidget* listBox1() const { return m_listBox1; }
    QListWidget* listBox2() const { return m_listBox2; }

    // Paints one item of either list: the rectangle in the list's current colours, then the
    // parameter name at its top-left corner.
    void ListBox1DrawItem(QPainter* painter, const QStyleOptionViewItem& option, int column) const;

public slots:
    void Button1Click();
    void Button2Click();
    void Button3Click();
    void Button4Click();
    bool FormKeyDown(QKeyEvent* event);  // F1: help; true when handled

private:
    // Selected items of `from` (scanned from the last) go to the end of `to`.
    static void moveSelected(QListWidget* from, QListWidget* to);
    static void moveAll(QListWidget* from, QListWidget* to);
    static void selectFirst(QListWidget* list);
    static std::vector<int> columnsOf(const QListWidget* list);

    TSDIAppForm& m_form;
    int m_deviceType = 0;

    QLabel* m_staticText1;
    QLabel* m_staticText2;
    QListWidget* m_listBox1;
    QListWidget* m_listBox2;
    QPushButton* m_button1;
    QPushButton* m_button2;
    QPushButton* m_button3;
    QPushButton* m_button4;
    QPushButton* m_bitBtn1;
    QPushButton* m_bitBtn2;
};
