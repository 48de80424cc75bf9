#pragma once
// BaseParametersDialog: the dialog "Параметры базы", created once by the main window and shown
// modally. It chooses the catalogue name that heads each column (the column map the dialog
// gives on OK), edits the base description in its memo and, only while New runs it, the
// device type.
#include <QDialog>
#include <array>
#include <cstdint>

#include "base/devicetype.h"

class Document;
class QComboBox;
class QGroupBox;
class QLabel;
class QPlainTextEdit;
class QPushButton;

class BaseParametersDialog : public QDialog {
    Q_OBJECT
public:
    static constexpr int kTitleCount = veltris::kMaxParamColumns;
    // Device types with a button: codes 1..7 (2 has no catalogue; its button stays disabled).
    static constexpr int kTypeButtonCount = 7;

    explicit BaseParametersDialog(Document& document, QWidget* parent = nullptr);

    int deviceType() const { return m_deviceType; }
    void setDeviceType(int code) { m_deviceType = code; }

    // New enables the buttons of the types with a catalogue; false disables them all.
    void setDeviceButtonsEnabled(bool enabled);

    // The memo's first line: replaced by the description (the other lines stay); read back as
    // the whole first line, uncut.
    void setDescriptionLine(const QString& text);
    QString descriptionLine() const;

    // The column map chosen by OK: for each column the selected name's number (0: none).
    const std::array<std::uint8_t, kTitleCount>& columnMap() const { return m_columnMap; }

    QComboBox* comboBox(int k) const { return m_combos[static_cast<size_t>(k - 1)]; }  // 1..30
    QPlainTextEdit* descriptionEdit() const { return m_description; }

public slots:
    // Fills the selectors from type `code`'s catalogue and preselects through the column map.
    void loadDeviceType(int code);
    // "По умолчанию": every selector at its first name.
    void chooseFirstNames();
    // "OK": the choices become the dialog's column map.
    void acceptChoices();
    void showHelp();

protected:
    void showEvent(QShowEvent* event) override;

private:
    // The selectors of the dialog's device type (disabled and empty for a type without one).
    void showDeviceTypeChoices();
    bool handleHelpKey(QKeyEvent* event);  // F1: help; true when handled

    Document& m_document;
    int m_deviceType = 0;
    std::array<std::uint8_t, kTitleCount> m_columnMap{};

    QGroupBox* m_titlesBox;
    std::array<QComboBox*, kTitleCount> m_combos{};
    std::array<QPushButton*, kTypeButtonCount> m_typeButtons{};  // by code - 1
    QPushButton* m_defaultButton;
    QPushButton* m_okButton;
    QPushButton* m_cancelButton;
    QPushButton* m_helpButton;
    QLabel* m_descriptionLabel;
    QPlainTextEdit* m_description;
};
