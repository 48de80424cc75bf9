#include "search/comparisonwindow.h"

#include <QBuffer>
#include <QCheckBox>
#include <QDate>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QPageLayout>
#include <QPageSize>
#include <QPdfWriter>
#include <QPushButton>
#include <QTableView>
#include <QTextDocument>
#include <QVBoxLayout>

#include "base/cp1251.h"
#include "base/fileio.h"
#include "search/comparisonmodel.h"
#include "search/verdictlook.h"
#include "ui/errorbox.h"
#include "ui/uiservices.h"
#include "widgets/apputil.h"
#include "widgets/csvsave.h"
#include "widgets/namecolumnheader.h"

ComparisonWindow::ComparisonWindow(UiServices& ui, Comparison comparison, QWidget* parent)
    : QWidget(parent, Qt::Window), m_ui(ui)
{
    setObjectName(QStringLiteral("comparisonWindow"));
    setAttribute(Qt::WA_DeleteOnClose);
    const QString reference = comparison.parts.empty() ? QString() : cpToQString(comparison.parts[0].name);
    setWindowTitle(QStringLiteral("Сравнение — образец %1").arg(reference));

    m_model = new ComparisonModel(this);
    m_view = new QTableView(this);
    m_view->setObjectName(QStringLiteral("comparisonTable"));
    m_names = new NameColumnHeader(m_view, QStringLiteral("Параметр"));
    m_names->setViewModel(m_model);
    m_model->setComparison(std::move(comparison));
    m_view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_view->setSelectionMode(QAbstractItemView::ContiguousSelection);
    m_view->setWordWrap(false);
    m_names->setDefaultSectionSize(m_view->fontMetrics().height() + 6);
    m_view->horizontalHeader()->setDefaultAlignment(Qt::AlignCenter);
    m_view->resizeColumnsToContents();
    m_names->fitToNames();

    m_onlyDifferences = new QCheckBox(QStringLiteral("только различия"), this);
    m_onlyDifferences->setObjectName(QStringLiteral("onlyDifferencesBox"));
    m_onlyDifferences->setToolTip(
        QStringLiteral("Не показывать параметры, в которых все приборы как образец"));
    m_legend = new QLabel(verdictlook::legendHtml(true), this);
    m_legend->setObjectName(QStringLiteral("comparisonLegendLabel"));
    m_legend->setTextFormat(Qt::RichText);
    m_exportButton = new QPushButton(QStringLiteral("Экспорт в CSV…"), this);
    m_exportButton->setObjectName(QStringLiteral("exportComparisonButton"));
    m_pdfButton = new QPushButton(QStringLiteral("Печать в PDF…"), this);
    m_pdfButton->setObjectName(QStringLiteral("pdfButton"));
    m_closeButton = new QPushButton(QStringLiteral("Закрыть"), this);
    m_closeButton->setObjectName(QStringLiteral("closeComparisonButton"));
    for (QPushButton* b : {m_exportButton, m_pdfButton, m_closeButton})
        b->setAutoDefault(false);

    auto* top = new QHBoxLayout;
    top->addWidget(m_onlyDifferences);
    top->addStretch();
    top->addWidget(m_exportButton);
    top->addWidget(m_pdfButton);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(m_legend, 1);
    bottom->addWidget(m_closeButton);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(m_view, 1);
    layout->addLayout(bottom);

    connect(m_onlyDifferences, &QCheckBox::toggled, this, [this](bool on) {
        m_model->setOnlyDifferences(on);
        m_view->resizeColumnsToContents();
    });
    connect(m_exportButton, &QPushButton::clicked, this, &ComparisonWindow::exportCsv);
    connect(m_pdfButton, &QPushButton::clicked, this, &ComparisonWindow::printPdf);
    connect(m_closeButton, &QPushButton::clicked, this, &QWidget::close);
    // F1 belongs to this window: the main window's help shortcut does not reach it.
    // Esc closes the window, as it closes a dialog.
    installKeyPreview(this,
                      [this](QWidget*, QKeyEvent* event) {
                          if (event->modifiers() != Qt::NoModifier)
                              return false;
                          if (event->key() == Qt::Key_Escape) {
                              close();
                              return true;
                          }
                          if (event->key() != Qt::Key_F1)
                              return false;
                          m_ui.showHelp(HelpTopic::Comparison);
                          return true;
                      },
                      {Qt::Key_F1, Qt::Key_Escape});
    setHelpContext(this, HelpTopic::Comparison);
    for (QWidget* w : findChildren<QWidget*>())
        setHelpContext(w, HelpTopic::Comparison);

    // Room for every column where the screen allows; the table scrolls otherwise.
    const int width = m_names->width() + m_view->horizontalHeader()->length() + 60;
    const int height = m_view->horizontalHeader()->height() + m_names->length() + 120;
    resize(std::clamp(width, 640, 1200), std::clamp(height, 360, 800));
}

namespace {

// The folder the last export or print of a comparison went to, for the next one (this session).
QString& lastComparisonFolder()
{
    static QString folder;
    return folder;
}

}  // namespace

FileDialogRequest ComparisonWindow::fileRequest(const QString& filter, const QString& suffix) const
{
    FileDialogRequest req;
    req.filter = filter;
    req.defaultSuffix = suffix;
    req.startDir = lastComparisonFolder();
    // «Сравнение КТ315Б.pdf»: characters a file name cannot hold become blanks.
    QString name = QStringLiteral("Сравнение ") + referenceName();
    for (QChar& c : name)
        if (QStringLiteral("/\\:*?\"<>|").contains(c))
            c = QLatin1Char(' ');
    req.proposedName = name.trimmed() + QLatin1Char('.') + suffix;
    req.folderChanged = [](const QString& folder) { lastComparisonFolder() = folder; };
    return req;
}

QString ComparisonWindow::referenceName() const
{
    return m_model->partCount() > 0 ? cpToQString(m_model->comparison().parts[0].name) : QString();
}

void ComparisonWindow::exportCsv()
{
    const FileDialogRequest csv = csvSaveRequest();
    FileDialogRequest req = fileRequest(csv.filter, csv.defaultSuffix);
    saveTableAsCsv(
        m_ui, this, [this] { return m_model->exportTable(); }, req);
}

QByteArray ComparisonWindow::pdfBytes() const
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    {
        QPdfWriter writer(&buffer);
        writer.setTitle(windowTitle());
        writer.setCreator(appTitle());
        writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Landscape,
                                         QMarginsF(12, 12, 12, 12), QPageLayout::Millimeter));
        QTextDocument doc;
        QFont font = veltrisFont();
        font.setPointSizeF(8);
        doc.setDefaultFont(font);
        // print() lays the document out on the page: the table is as wide as the page, and rows
        // that do not fit go to the next page under the repeated header (<thead>).
        doc.setHtml(m_model->documentHtml(QDate::currentDate().toString(QStringLiteral("dd.MM.yyyy"))) +
                    QStringLiteral("<p>") + verdictlook::legendHtml(true) + QStringLiteral("</p>"));
        doc.print(&writer);
    }
    return bytes;
}

void ComparisonWindow::printPdf()
{
    const FileDialogRequest req = fileRequest(QStringLiteral("PDF (*.pdf)"), QStringLiteral("pdf"));
    const QString name = m_ui.saveFileName(this, req);
    if (name.isEmpty())
        return;
    lastComparisonFolder() = QFileInfo(name).absolutePath();
    const QByteArray bytes = pdfBytes();
    const veltris::Status written =
        veltris::writeFileAtomic(toFsPath(withDefaultSuffix(name, req.defaultSuffix)),
                                 std::string_view(bytes.constData(), bytes.size()));
    if (!written)
        showErrorBox(m_ui, this, written.error());
}
