#include "edit/csvimportdialog.h"

#include <QAbstractTableModel>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>
#include <vector>

#include "base/cp1251.h"
#include "base/devicetype.h"
#include "base/fileio.h"
#include "document/document.h"
#include "ui/uiservices.h"
#include "widgets/apputil.h"
#include "widgets/dialogfont.h"

namespace {

constexpr int kPreviewRows = 100;
constexpr int kListedProblems = 200;
const QColor kBadCell(255, 200, 200);

const char kSeparators[] = {';', ',', '\t'};

QString separatorCaption(char sep)
{
    return QString::fromUtf8(veltris::separatorName(sep));
}

}  // namespace

// The first lines of the file as they will be read: a column per main-table column, a row per
// line (headed by its number in the file); a bad cell is tinted and names its fault.
class CsvPreviewModel : public QAbstractTableModel {
public:
    using QAbstractTableModel::QAbstractTableModel;

    void show(const veltris::CsvImport* import)
    {
        beginResetModel();
        m_import = import;
        m_titles.clear();
        m_filled.clear();
        if (import != nullptr) {
            const veltris::Table& t = import->base.table;
            for (int c = 0; c < t.columnCount(); ++c)
                m_titles << oneLineTitle(t.cell(0, c));
            m_filled.assign(static_cast<size_t>(t.columnCount()), false);
            for (const int c : import->header.columns)
                if (c >= 0 && c < t.columnCount())
                    m_filled[static_cast<size_t>(c)] = true;
        }
        endResetModel();
    }

    int rowCount(const QModelIndex& parent = {}) const override
    {
        return parent.isValid() || !m_import ? 0 : static_cast<int>(m_import->preview.size());
    }
    int columnCount(const QModelIndex& parent = {}) const override
    {
        return parent.isValid() ? 0 : static_cast<int>(m_titles.size());
    }

    QVariant data(const QModelIndex& index, int role) const override
    {
        if (!m_import || !index.isValid())
            return {};
        const veltris::CsvPreviewRow& row = m_import->preview[static_cast<size_t>(index.row())];
        const auto col = static_cast<size_t>(index.column());
        const bool bad = col < row.bad.size() && row.bad[col];
        switch (role) {
        case Qt::DisplayRole: return col < row.cells.size() ? cpToQString(row.cells[col]) : QString();
        case Qt::BackgroundRole:
            if (bad || !row.lineProblem.empty())
                return kBadCell;
            return {};
        case Qt::ForegroundRole:
            // A column the file has no field for stays empty: its cells are shown faint.
            if (col < m_filled.size() && !m_filled[col])
                return QColor(Qt::gray);
            return {};
        case Qt::ToolTipRole:
            if (!row.lineProblem.empty())
                return QString::fromUtf8(row.lineProblem);
            if (bad)
                return problemText(row.line, index.column());
            return {};
        default: return {};
        }
    }

    QVariant headerData(int section, Qt::Orientation orientation, int role) const override
    {
        if (role != Qt::DisplayRole || !m_import)
            return {};
        if (orientation == Qt::Horizontal)
            return section < m_titles.size() ? m_titles[section] : QString();
        return section < static_cast<int>(m_import->preview.size())
                   ? QString::number(m_import->preview[static_cast<size_t>(section)].line)
                   : QString();
    }

private:
    QString problemText(int line, int column) const
    {
        for (const veltris::CsvProblem& p : m_import->problems)
            if (p.line == line && p.column == column)
                return QString::fromUtf8(p.message);
        return {};
    }

    const veltris::CsvImport* m_import = nullptr;
    QStringList m_titles;
    std::vector<bool> m_filled;  // per column: a field of the file fills it
};

CsvImportDialog::CsvImportDialog(Document& document, QWidget* parent)
    : QDialog(parent), m_document(document), m_import(veltris::Error{}), m_forOpenBase(veltris::Error{})
{
    setObjectName(QStringLiteral("csvImportDialog"));
    setWindowTitle(QStringLiteral("Импорт из CSV"));
    setFont(dialogFont());
    setHelpContext(this, HelpTopic::CsvImport);
    setSizeGripEnabled(true);

    const auto label = [this](const char* name, const QString& text) {
        auto* l = new QLabel(text, this);
        l->setObjectName(QLatin1String(name));
        return l;
    };
    const auto button = [this](const char* name, const QString& text) {
        auto* b = new QPushButton(text, this);
        b->setObjectName(QLatin1String(name));
        b->setAutoDefault(false);
        return b;
    };

    m_fileEdit = new QLineEdit(this);
    m_fileEdit->setObjectName(QStringLiteral("fileEdit"));
    m_fileEdit->setReadOnly(true);
    m_browseButton = button("browseButton", QStringLiteral("Обзор..."));

    m_encodingBox = new QComboBox(this);
    m_encodingBox->setObjectName(QStringLiteral("encodingBox"));
    m_encodingBox->addItem(QStringLiteral("Windows-1251"), int(veltris::CsvEncoding::Cp1251));
    m_encodingBox->addItem(QStringLiteral("UTF-8"), int(veltris::CsvEncoding::Utf8));
    m_separatorBox = new QComboBox(this);
    m_separatorBox->setObjectName(QStringLiteral("separatorBox"));
    for (const char sep : kSeparators)
        m_separatorBox->addItem(separatorCaption(sep), int(sep));
    m_typeBox = new QComboBox(this);
    m_typeBox->setObjectName(QStringLiteral("typeBox"));
    m_typeBox->setPlaceholderText(QStringLiteral("не определён"));
    for (const veltris::DeviceType& t : veltris::supportedDeviceTypes())
        m_typeBox->addItem(QString::fromUtf8(t.caption), t.code);
    m_skipBadBox = new QCheckBox(QStringLiteral("пропускать ошибочные строки"), this);
    m_skipBadBox->setObjectName(QStringLiteral("skipBadBox"));

    m_previewModel = new CsvPreviewModel(this);
    m_previewTable = new QTableView(this);
    m_previewTable->setObjectName(QStringLiteral("previewTable"));
    m_previewTable->setModel(m_previewModel);
    m_previewTable->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_previewTable->setSelectionMode(QAbstractItemView::SingleSelection);
    m_previewTable->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    m_previewTable->horizontalHeader()->setDefaultSectionSize(90);

    m_summaryLabel = label("summaryLabel", QString());
    m_summaryLabel->setWordWrap(true);
    m_messagesView = new QPlainTextEdit(this);
    m_messagesView->setObjectName(QStringLiteral("messagesView"));
    m_messagesView->setReadOnly(true);
    m_messagesView->setMaximumBlockCount(kListedProblems + 50);
    m_messagesView->setFixedHeight(fontMetrics().height() * 6 + 10);

    m_appendButton = button("appendButton", QStringLiteral("Добавить к открытой базе"));
    m_newBaseButton = button("newBaseButton", QStringLiteral("Новая база"));
    m_cancelButton = button("cancelButton", QStringLiteral("Отмена"));

    auto* choices = new QGridLayout;
    choices->addWidget(label("fileLabel", QStringLiteral("Файл:")), 0, 0);
    auto* fileRow = new QHBoxLayout;
    fileRow->addWidget(m_fileEdit, 1);
    fileRow->addWidget(m_browseButton);
    choices->addLayout(fileRow, 0, 1, 1, 5);
    choices->addWidget(label("encodingLabel", QStringLiteral("Кодировка:")), 1, 0);
    choices->addWidget(m_encodingBox, 1, 1);
    choices->addWidget(label("separatorLabel", QStringLiteral("Разделитель:")), 1, 2);
    choices->addWidget(m_separatorBox, 1, 3);
    choices->addWidget(label("typeLabel", QStringLiteral("Тип приборов:")), 1, 4);
    choices->addWidget(m_typeBox, 1, 5);
    choices->setColumnStretch(5, 1);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_skipBadBox);
    buttons->addStretch(1);
    buttons->addWidget(m_appendButton);
    buttons->addWidget(m_newBaseButton);
    buttons->addWidget(m_cancelButton);

    auto* lay = new QVBoxLayout(this);
    lay->addLayout(choices);
    lay->addWidget(
        label("previewLabel", QStringLiteral("Первые строки файла так, как они будут прочитаны:")));
    lay->addWidget(m_previewTable, 1);
    lay->addWidget(m_summaryLabel);
    lay->addWidget(m_messagesView);
    lay->addLayout(buttons);
    resize(860, 560);

    connect(m_browseButton, &QPushButton::clicked, this, &CsvImportDialog::chooseFile);
    connect(m_encodingBox, &QComboBox::currentIndexChanged, this, [this] {
        if (m_filling)
            return;
        m_encoding = static_cast<veltris::CsvEncoding>(m_encodingBox->currentData().toInt());
        reread();
    });
    connect(m_separatorBox, &QComboBox::currentIndexChanged, this, [this] {
        if (m_filling)
            return;
        m_separator = static_cast<char>(m_separatorBox->currentData().toInt());
        reread();
    });
    connect(m_typeBox, &QComboBox::currentIndexChanged, this, [this] {
        if (m_filling || m_typeBox->currentIndex() < 0)
            return;
        m_deviceType = m_typeBox->currentData().toInt();
        reread();
    });
    connect(m_skipBadBox, &QCheckBox::toggled, this, [this] {
        if (!m_filling)
            reread();
    });
    connect(m_appendButton, &QPushButton::clicked, this, [this] {
        if (!readWhole() || !m_appendButton->isEnabled())
            return;
        m_target = Target::OpenBase;
        accept();
    });
    connect(m_newBaseButton, &QPushButton::clicked, this, [this] {
        if (!readWhole() || !m_newBaseButton->isEnabled())
            return;
        m_target = Target::NewBase;
        accept();
    });
    connect(m_cancelButton, &QPushButton::clicked, this, &QDialog::reject);
}

CsvImportDialog::~CsvImportDialog() = default;

bool CsvImportDialog::prepare(const QString& path)
{
    // A file that is no CSV text (a huge single line, binary bytes) is told by its start,
    // before gigabytes are read.
    const auto start = veltris::readFileStart(toFsPath(path), veltris::kMaxTitleLine + 1);
    if (!start) {
        m_document.showError(start.error());
        return false;
    }
    if (const veltris::Status looked = veltris::checkCsvStart(*start); !looked) {
        m_document.showError(veltris::Error{looked.error().kind,
                                            "«" + toFsPath(path).string() + "»: " + looked.error().message});
        return false;
    }
    // The preview of a big file reads its start only, up to its last whole line: choosing the
    // file takes no longer for a spreadsheet of millions of records than for a small one.
    auto bytes = veltris::readFileStart(toFsPath(path), s_previewBytes + 1);
    if (!bytes) {
        m_document.showError(bytes.error());
        return false;
    }
    m_partial = bytes->size() > s_previewBytes;
    if (m_partial) {
        const std::size_t lineEnd = bytes->find_last_of('\n', s_previewBytes - 1);
        bytes->resize(lineEnd == std::string::npos ? s_previewBytes : lineEnd + 1);
    }
    m_bytes = std::move(*bytes);
    m_path = path;
    m_fileEdit->setText(QDir::toNativeSeparators(path));
    m_encoding.reset();
    m_separator = 0;
    m_deviceType = 0;
    m_filling = true;
    m_skipBadBox->setChecked(false);
    m_filling = false;
    reread();
    return true;
}

bool CsvImportDialog::readWhole()
{
    if (!m_partial)
        return true;
    const BusyCursor busy(m_document.ui());
    // A spreadsheet of a large base is far bigger than a settings file: memory is the limit.
    auto bytes = veltris::readFileBytes(toFsPath(m_path), veltris::memoryForFileBytes());
    if (!bytes) {
        m_document.showError(bytes.error());
        return false;
    }
    m_bytes = std::move(*bytes);
    m_partial = false;
    reread();  // the buttons now say what the whole file allows
    return true;
}

void CsvImportDialog::chooseFile()
{
    FileDialogRequest req;
    req.filter = QStringLiteral("CSV и XLSX (*.csv *.CSV *.txt *.TXT *.xlsx *.XLSX)");
    req.startDir = m_path.isEmpty() ? QString() : QFileInfo(m_path).absolutePath();
    const QString name = m_document.ui().openFileName(this, req);
    if (!name.isEmpty())
        prepare(name);
}

void CsvImportDialog::reread()
{
    veltris::CsvImportOptions options;
    options.encoding = m_encoding;
    options.separator = m_separator;
    options.deviceType = m_deviceType;
    options.skipBadLines = m_skipBadBox->isChecked();
    options.previewRows = kPreviewRows;
    options.deviceLabel = qStringToCp(m_document.application().deviceLabel());
    m_previewModel->show(nullptr);
    m_import = veltris::importCsv(m_bytes, m_document.catalogue(), options);

    // Records for the open base: the same type, and titles the base shows. The cells are read
    // alike; only a title row that falls into other columns with the base's names needs the file
    // read again.
    m_forOpenBase = veltris::Error{veltris::ErrorKind::Generic, std::string()};
    m_recordsForOpenBase = nullptr;
    const veltris::ComponentBase& open = m_document.base();
    if (m_import && m_import->base.deviceType == open.deviceType) {
        const auto match =
            veltris::matchHeader(m_import->titles, m_document.catalogue(), open.deviceType, &open.columnMap);
        if (!match) {
            m_forOpenBase = match.error();
        } else if (match->columns == m_import->header.columns) {
            m_recordsForOpenBase = &m_import->base.table;
        } else {
            veltris::CsvImportOptions into = options;
            into.encoding = m_import->encoding;
            into.separator = m_import->separator;
            into.previewRows = 0;
            into.into = &open;
            m_forOpenBase = veltris::importCsv(m_bytes, m_document.catalogue(), into);
            if (m_forOpenBase)
                m_recordsForOpenBase = &m_forOpenBase->base.table;
        }
    }
    showResult();
}

void CsvImportDialog::setChoicesShown()
{
    m_filling = true;
    if (m_import) {
        m_encodingBox->setCurrentIndex(m_encodingBox->findData(int(m_import->encoding)));
        m_separatorBox->setCurrentIndex(m_separatorBox->findData(int(m_import->separator)));
        m_typeBox->setCurrentIndex(m_typeBox->findData(int(m_import->base.deviceType)));
    } else {
        // What was chosen stays shown; what was to be found out is not known.
        if (!m_encoding)
            m_encodingBox->setCurrentIndex(m_encodingBox->findData(int(veltris::detectCsvEncoding(m_bytes))));
        if (m_separator == 0)
            m_separatorBox->setCurrentIndex(0);
        if (m_deviceType == 0)
            m_typeBox->setCurrentIndex(-1);
    }
    m_filling = false;
}

void CsvImportDialog::showResult()
{
    setChoicesShown();
    QStringList lines;
    QString summary;
    bool newBaseOk = false;
    if (!m_import) {
        summary = QString::fromUtf8(m_import.error().message);
        m_previewModel->show(nullptr);
    } else {
        const veltris::CsvImport& in = *m_import;
        m_previewModel->show(&in);
        summary =
            QStringLiteral("Записей: %1; строк с ошибками: %2").arg(in.recordCount()).arg(in.badLines.size());
        if (m_partial)
            summary += QStringLiteral(" (по первым %1 КБ файла; остальное будет прочитано при импорте)")
                           .arg((m_bytes.size() + 1023) >> 10);
        if (in.badLines.empty())
            summary += QStringLiteral(".");
        else if (in.skipBadLines)
            summary += QStringLiteral(" — они будут пропущены.");
        else
            summary += QStringLiteral(
                " — исправьте файл или отметьте «пропускать ошибочные строки»; до тех пор импорт невозможен.");
        for (const veltris::LeftOutColumn& c : in.header.leftOut) {
            const std::string title = veltris::oneLineTitleUtf8(c.title);
            lines << QStringLiteral("Столбец %1%2 пропущен: %3")
                         .arg(c.field + 1)
                         .arg(title.empty() ? QString()
                                            : QStringLiteral(" «%1»").arg(QString::fromUtf8(title)))
                         .arg(QString::fromUtf8(c.reason));
        }
        for (const std::string& w : in.warnings)
            lines << QStringLiteral("Предупреждение: ") + QString::fromUtf8(w);
        for (size_t i = 0; i < in.problems.size() && i < static_cast<size_t>(kListedProblems); ++i)
            lines << QString::fromUtf8(in.problems[i].message);
        if (in.problemCount > static_cast<size_t>(kListedProblems))
            lines << QStringLiteral("… и ещё ошибок: %1").arg(in.problemCount - kListedProblems);
        newBaseOk = in.acceptable();
    }
    m_summaryLabel->setText(summary);
    m_messagesView->setPlainText(lines.join(QLatin1Char('\n')));
    m_previewTable->resizeColumnsToContents();

    // Records for the open base: the same type, and the titles the base shows.
    QString appendWhy;
    bool appendOk = false;
    if (!m_import) {
        appendWhy = summary;
    } else if (m_document.isReadOnly()) {
        appendWhy = QStringLiteral("База открыта только для чтения");
    } else if (m_import->base.deviceType != m_document.base().deviceType) {
        appendWhy = QStringLiteral("У открытой базы другой тип приборов: «%1»")
                        .arg(QString::fromUtf8(veltris::deviceTypeCaption(m_document.base().deviceType)));
    } else if (m_recordsForOpenBase == nullptr) {
        appendWhy = QString::fromUtf8(m_forOpenBase.error().message);
    } else {
        appendOk = m_forOpenBase ? m_forOpenBase->acceptable() : m_import->acceptable();
    }
    m_newBaseButton->setEnabled(newBaseOk);
    m_appendButton->setEnabled(appendOk);
    m_appendButton->setToolTip(appendWhy);
}

const veltris::Table& CsvImportDialog::recordsForOpenBase() const
{
    return *m_recordsForOpenBase;
}

veltris::ComponentBase CsvImportDialog::takeNewBase()
{
    return std::move(m_import->base);
}

void CsvImportDialog::forget()
{
    m_previewModel->show(nullptr);
    m_recordsForOpenBase = nullptr;
    m_import = veltris::Error{};
    m_forOpenBase = veltris::Error{};
    std::string().swap(m_bytes);
}

void CsvImportDialog::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_F1 && event->modifiers() == Qt::NoModifier) {
        m_document.ui().showHelp(HelpTopic::CsvImport);
        return;
    }
    QDialog::keyPressEvent(event);
}
