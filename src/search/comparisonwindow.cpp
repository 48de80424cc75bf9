#include "search/comparisonwindow.h"

#include <QBuffer>
#include <QCheckBox>
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
    installKeyPreview(this,
                      [this](QWidget*, QKeyEvent* event) {
                          if (event->key() != Qt::Key_F1 || event->modifiers() != Qt::NoModifier)
                              return false;
                          m_ui.showHelp(HelpTopic::Comparison);
                          return true;
                      },
                      {Qt::Key_F1});
    setHelpContext(this, HelpTopic::Comparison);
    for (QWidget* w : findChildren<QWidget*>())
        setHelpContext(w, HelpTopic::Comparison);

    // Room for every column where the screen allows; the table scrolls otherwise.
    const int width = m_names->width() + m_view->horizontalHeader()->length() + 60;
    const int height = m_view->horizontalHeader()->height() + m_names->length() + 120;
    resize(std::clamp(width, 640, 1200), std::clamp(height, 360, 800));
}

void ComparisonWindow::exportCsv()
{
    saveTableAsCsv(m_ui, this, [this] { return m_model->exportTable(); });
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
        const QString heading = QStringLiteral("<h3>%1</h3>").arg(windowTitle().toHtmlEscaped());
        const QString note =
            m_model->onlyDifferences()
                ? QStringLiteral("<p>Показаны только параметры, в которых приборы различаются.</p>")
                : QString();
        doc.setHtml(heading + note + m_model->html() + QStringLiteral("<p>") + verdictlook::legendHtml(true) +
                    QStringLiteral("</p>"));
        doc.print(&writer);
    }
    return bytes;
}

void ComparisonWindow::printPdf()
{
    FileDialogRequest req;
    req.filter = QStringLiteral("PDF (*.pdf)");
    req.defaultSuffix = QStringLiteral("pdf");
    const QString name = m_ui.saveFileName(this, req);
    if (name.isEmpty())
        return;
    const QByteArray bytes = pdfBytes();
    const veltris::Status written =
        veltris::writeFileAtomic(toFsPath(withDefaultSuffix(name, req.defaultSuffix)),
                                 std::string_view(bytes.constData(), bytes.size()));
    if (!written)
        showErrorBox(m_ui, this, written.error());
}
