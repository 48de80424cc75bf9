#pragma once
// TAddDlg: the dialog "Добавить элемент". It adds records to the main table or edits them in
// place; every button takes effect on the table at once, so closing undoes nothing.
#include <QDialog>
#include <array>

class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;
class TLabelEdit;
class TSDIAppForm;

class TAddDlg : public QDialog {
    Q_OBJECT
public:
    enum class Mode { Add, Edit };
    static constexpr int kFieldCount = 30;
    static constexpr int kHelpTopic = 24;

    explicit TAddDlg(TSDIAppForm& form);

    TSDIAppForm& mainForm() const { return m_form; }
    Mode mode() const { return m_mode; }

    // Fill the controls for adding new records / editing the main table's current row. The
    // main window calls them just before it shows the dialog.
    void prepareAdd();
    void prepareEdit();

    QLineEdit* nameEdit() const { return m_Edit1; }
    TLabelEdit* field(int k) const { return k >= 1 && k <= kFieldCount ? m_fields[k - 1] : nullptr; }
    QPushButton* button(int n) const { return n >= 1 && n <= 6 ? m_buttons[n - 1] : nullptr; }

    // Shown in the main window's status bar when a typed character had no Windows-1251 form.
    static QString lossyTextMessage();

public slots:
    void BitBtn1Click();  // "Ввести"
    void BitBtn3Click();  // "Помощь"
    void BitBtn4Click();  // "Сохранить"
    void BitBtn5Click();  // ">"
    void BitBtn6Click();  // "<"

protected:
    void showEvent(QShowEvent* event) override;

private:
    bool FormKeyDown(QKeyEvent* event);  // F1: help; true when handled
    bool FormKeyPress(QKeyEvent* event);  // Enter: next control; true when consumed
    void focusNextControl();
    void uppercaseName(const QString& text);

    // The record row the dialog works on (1..); 0 when the table has no record.
    int currentRecordRow() const;
    // Ensures a record row exists to write into (a table of titles only gets row 1).
    int writableRow();
    // Writes the name and the field texts into `row`; true when a cell or the row count changed.
    bool writeRow(int row);
    void loadRow(int row);
    void step(int delta);
    void selectRow(int row);
    // Texts and labels of fields 1..count, the rest disabled and empty.
    void setLabelsFromCatalogue(int count);
    QString headerName(int column) const;

    TSDIAppForm& m_form;
    Mode m_mode = Mode::Add;
    QLabel* m_StaticText1 = nullptr;
    QLineEdit* m_Edit1 = nullptr;
    QFrame* m_Panel1 = nullptr;
    std::array<TLabelEdit*, kFieldCount> m_fields{};
    std::array<QPushButton*, 6> m_buttons{};
    bool m_lossy = false;
};
