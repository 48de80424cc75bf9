#pragma once
// CsvImportDialog: «Импорт из CSV». Shows a CSV file as it will be read: the encoding, separator
// and device type found out (each can be changed), the first lines with their bad cells marked,
// the columns left out and every fault; then the records go to the open base or into a new one.
#include <QDialog>
#include <QString>
#include <optional>
#include <string>

#include "base/csvimport.h"
#include "base/result.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTableView;
class Document;
class CsvPreviewModel;

class CsvImportDialog : public QDialog {
    Q_OBJECT
public:
    enum class Target {
        OpenBase,
        NewBase
    };

    explicit CsvImportDialog(Document& document, QWidget* parent = nullptr);
    ~CsvImportDialog() override;

    // Reads the file at `path` and shows it as found out, with the choices starting over. False
    // (after its error box) when the file cannot be read. A file bigger than previewBytes() is
    // read only that far (to its last whole line) for the preview: the rest is read when the
    // records are taken.
    bool prepare(const QString& path);
    static std::size_t previewBytes() { return s_previewBytes; }
    static void setPreviewBytes(std::size_t bytes) { s_previewBytes = bytes; }  // tests

    // After acceptance: where the records go, and the records themselves.
    Target target() const { return m_target; }
    // Records with the open base's columns.
    const veltris::Table& recordsForOpenBase() const;
    // The new base (taken out of the dialog).
    veltris::ComponentBase takeNewBase();
    // The file's bytes and what was read from them are let go (the records are in the base by
    // now); prepare() reads a file again.
    void forget();

    QLineEdit* fileEdit() const { return m_fileEdit; }
    QComboBox* encodingBox() const { return m_encodingBox; }
    QComboBox* separatorBox() const { return m_separatorBox; }
    QComboBox* typeBox() const { return m_typeBox; }
    QCheckBox* skipBadBox() const { return m_skipBadBox; }
    QTableView* previewTable() const { return m_previewTable; }
    QLabel* summaryLabel() const { return m_summaryLabel; }
    QPlainTextEdit* messagesView() const { return m_messagesView; }
    QPushButton* appendButton() const { return m_appendButton; }
    QPushButton* newBaseButton() const { return m_newBaseButton; }

public slots:
    // «Обзор...»: another file.
    void chooseFile();

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    // Reads the file again with the choices made so far; the rest is found out.
    void reread();
    // Before the records are taken: a file read in part for the preview is read whole and
    // again; false (the result shown) when that fails or what it gives cannot be taken.
    bool readWhole();
    void showResult();
    void setChoicesShown();

    Document& m_document;
    std::string m_bytes;
    bool m_partial = false;  // m_bytes hold the file's start only
    static inline std::size_t s_previewBytes = std::size_t{16} << 20;
    QString m_path;
    // The user's choices; empty / 0: found out from the file.
    std::optional<veltris::CsvEncoding> m_encoding;
    char m_separator = 0;
    int m_deviceType = 0;

    veltris::Result<veltris::CsvImport> m_import;  // for a new base
    // Read again for the open base, where its titles put the fields into other columns.
    veltris::Result<veltris::CsvImport> m_forOpenBase;
    const veltris::Table* m_recordsForOpenBase = nullptr;  // none: not for the open base
    Target m_target = Target::NewBase;
    bool m_filling = false;  // the boxes are being set from the file, not by the user

    QLineEdit* m_fileEdit;
    QPushButton* m_browseButton;
    QComboBox* m_encodingBox;
    QComboBox* m_separatorBox;
    QComboBox* m_typeBox;
    QCheckBox* m_skipBadBox;
    QTableView* m_previewTable;
    CsvPreviewModel* m_previewModel;
    QLabel* m_summaryLabel;
    QPlainTextEdit* m_messagesView;
    QPushButton* m_appendButton;
    QPushButton* m_newBaseButton;
    QPushButton* m_cancelButton;
};
