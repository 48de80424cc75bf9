#pragma once
// The window «Сравнение»: a reference and up to five parts side by side, one column per part,
// one row per parameter, the cells that differ from the reference tinted by their verdicts; the
// rows where all agree can be left out («только различия»). The table is written to CSV (as the
// other exports: Windows-1251, «;» after every cell) or printed to a PDF file, either written
// all or nothing. The window deletes itself when closed; it carries HelpTopic::Comparison.
#include <QWidget>

#include "search/comparison.h"

class ComparisonModel;
class NameColumnHeader;
class QCheckBox;
class QLabel;
class QPushButton;
class QTableView;
class UiServices;
struct FileDialogRequest;

class ComparisonWindow : public QWidget {
    Q_OBJECT
public:
    ComparisonWindow(UiServices& ui, Comparison comparison, QWidget* parent = nullptr);

    ComparisonModel* model() const { return m_model; }
    QTableView* view() const { return m_view; }
    QCheckBox* onlyDifferencesBox() const { return m_onlyDifferences; }
    QPushButton* exportButton() const { return m_exportButton; }
    QPushButton* pdfButton() const { return m_pdfButton; }
    QPushButton* closeButton() const { return m_closeButton; }

    // The PDF the window prints: a document to hand a colleague, on A4 landscape pages: the
    // reference, the date, the bases the parts come from, the table with each row's rule and
    // tolerance filling the page's width (rows split across pages under the repeated header),
    // the legend.
    QByteArray pdfBytes() const;
    // The question of an export or print: the last folder of this session, the file name
    // «Сравнение <образец>.<suffix>» proposed.
    FileDialogRequest fileRequest(const QString& filter, const QString& suffix) const;

public slots:
    void exportCsv();
    void printPdf();

private:
    QString referenceName() const;

    UiServices& m_ui;
    ComparisonModel* m_model = nullptr;
    QTableView* m_view = nullptr;
    NameColumnHeader* m_names = nullptr;
    QCheckBox* m_onlyDifferences = nullptr;
    QLabel* m_legend = nullptr;
    QPushButton* m_exportButton = nullptr;
    QPushButton* m_pdfButton = nullptr;
    QPushButton* m_closeButton = nullptr;
};
