#pragma once
// RecordDialog: the dialog "Добавить элемент". It adds records to the document's main table or
// edits them in place; every button takes effect on the table at once, so closing undoes
// nothing. The main table's view tells which record is current and follows the dialog's steps.
#include <QDialog>
#include <array>
#include <string>
#include <vector>

#include "base/devicetype.h"

class Document;
class LabeledEdit;
class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;

class RecordDialog : public QDialog {
    Q_OBJECT
public:
    enum class Mode {
        Add,
        Edit
    };
    static constexpr int kFieldCount = veltris::kMaxParamColumns;

    explicit RecordDialog(Document& document, QWidget* parent = nullptr);

    Mode mode() const { return m_mode; }

    // Fill the controls for adding new records / editing the main table's current row. The
    // main window calls them just before it shows the dialog.
    void prepareAdd();
    void prepareEdit();

    LabeledEdit* field(int k) const { return k >= 1 && k <= kFieldCount ? m_fields[k - 1] : nullptr; }
    // The buttons in their order: enter, close, help, save, next, previous (1..6).
    QPushButton* button(int n) const { return n >= 1 && n <= 6 ? m_buttons[n - 1] : nullptr; }

    // Shown in the main window's status bar when a typed character had no Windows-1251 form.
    static QString lossyTextMessage();

    // The line above the fields that tells what the field being typed into will store, or why
    // it cannot be stored.
    QLabel* noteLabel() const { return m_noteLabel; }
    // Whether field k (1..) holds a text that does not read; its refusal (naming the column).
    bool fieldRefused(int k) const;
    QString fieldRefusal(int k) const;

signals:
    // Texts were written: whether a typed character had no Windows-1251 form (the window
    // shows lossyTextMessage() until texts are written without one).
    void textsWritten(bool lossy);

public slots:
    void enterRecord();     // "Ввести"
    void showHelp();        // "Помощь"
    void saveBase();        // "Сохранить"
    void nextRecord();      // ">"
    void previousRecord();  // "<"

protected:
    void showEvent(QShowEvent* event) override;

private:
    bool handleHelpKey(QKeyEvent* event);   // F1: help; true when handled
    bool handleEnterKey(QKeyEvent* event);  // Enter: next control; true when consumed
    void focusNextControl();
    void uppercaseName(const QString& text);

    // The record row the dialog works on (1..); 0 when the table has no record.
    int currentRecordRow() const;
    // The name and the field texts as the cells of a row, from column 0 on; `lossy` tells
    // whether a character had no Windows-1251 form.
    std::vector<std::string> fieldTexts(bool& lossy) const;
    // The status bar's note on such characters, shown or taken away.
    void loadRow(int row);
    void step(int delta);
    void selectRow(int row);
    // The columns of fields as wide as their labels; the panel, buttons and dialog follow.
    void layOutFields();
    // Texts and labels of fields 1..count, the rest disabled and empty.
    void setLabelsFromCatalogue(int count);
    QString headerName(int column) const;
    // Field k read as the column it stands for reads typed text: marked red with the refusal as
    // its tooltip, or showing what will be stored when that says it in other words.
    void checkField(int k);
    // The first enabled field that does not read (0: none); its field gets the focus and the
    // note says why.
    int refuseBadField();
    void showNote(const QString& text, bool refusal);

    Document& m_document;
    Mode m_mode = Mode::Add;
    QLabel* m_typeLabel = nullptr;
    QLineEdit* m_nameEdit = nullptr;
    QFrame* m_fieldPanel = nullptr;
    std::array<LabeledEdit*, kFieldCount> m_fields{};
    std::array<QPushButton*, 6> m_buttons{};
    bool m_lossy = false;
    QLabel* m_noteLabel = nullptr;
    std::array<QString, kFieldCount> m_refusals;  // per field: why its text does not read
};
