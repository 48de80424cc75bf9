#pragma once
// TParamBase: the dialog "Параметры базы", created once by the main window and shown modally.
// It chooses the catalogue name that heads each column (written into the open base's column
// map on OK), edits the base description in its memo and, only while New runs it, the device type.
#include <QDialog>
#include <array>

class QComboBox;
class QGroupBox;
class QLabel;
class QPlainTextEdit;
class QPushButton;
class TSDIAppForm;

class TParamBase : public QDialog {
    Q_OBJECT
public:
    explicit TParamBase(TSDIAppForm& form);

    TSDIAppForm& mainForm() const { return m_form; }

    int deviceType() const { return m_deviceType; }
    void setDeviceType(int code) { m_deviceType = code; }

    // New enables the six buttons of supported types; false disables all seven.
    void setDeviceButtonsEnabled(bool enabled);

    // The memo's first line: replaced by the description (the other lines stay); read back as
    // the whole first line, uncut.
    void setDescriptionLine(const QString& text);
    QString descriptionLine() const;

    QComboBox* comboBox(int k) const { return m_combos[static_cast<size_t>(k - 1)]; }  // 1..30
    QPlainTextEdit* memo1() const { return m_memo1; }

public slots:
    void FormShow();
    void BitBtn1Click();
    void BitBtn3Click();
    void BitBtn4Click();
    void BitBtn9Click();
    void BitBtn10Click();
    void BitBtn11Click();
    void BitBtn7Click();
    void BitBtn5Click();
    void BitBtn8Click();
    bool FormKeyDown(QKeyEvent* event);  // F1: help; true when handled

protected:
    void showEvent(QShowEvent* event) override;

private:
    // Fills the selectors from type `code`'s catalogue and preselects through the column map.
    void loadDeviceType(int code);

    TSDIAppForm& m_form;
    int m_deviceType = 0;

    QGroupBox* m_groupBox1;
    std::array<QComboBox*, 30> m_combos{};
    QPushButton* m_bitBtn1;
    QPushButton* m_bitBtn2;
    QPushButton* m_bitBtn3;
    QPushButton* m_bitBtn4;
    QPushButton* m_bitBtn9;
    QPushButton* m_bitBtn10;
    QPushButton* m_bitBtn11;
    QPushButton* m_bitBtn7;
    QPushButton* m_bitBtn5;
    QPushButton* m_bitBtn6;
    QPushButton* m_bitBtn8;
    QLabel* m_staticText1;
    QPlainTextEdit* m_memo1;
};
