#include "search/substitutepage.h"

#include <QComboBox>
#include <QDialog>
#include <QElapsedTimer>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QSplitter>
#include <QStyledItemDelegate>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>
#include <atomic>
#include <new>

#include "base/basefile.h"
#include "base/catalogue.h"
#include "base/componentbase.h"
#include "base/csvexport.h"
#include "base/ini.h"
#include "base/settings.h"
#include "search/substitutemodel.h"
#include "widgets/apputil.h"
#include "widgets/errorbox.h"

using veltris::RuleKind;

namespace {

// A search that ends sooner shows no progress window.
constexpr int kProgressDelayMs = 300;
// Unreadable library bases named in the message after a search.
constexpr int kProblemsShown = 10;

// The rule combo box and the spread spin boxes of the rules table.
class RuleDelegate : public QStyledItemDelegate {
public:
    RuleDelegate(SubstituteRulesModel* model, QObject* parent)
        : QStyledItemDelegate(parent), m_model(model)
    {
    }

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override
    {
        if (index.column() == SubstituteRulesModel::RuleColumn) {
            auto* combo = new QComboBox(parent);
            for (RuleKind kind : m_model->kindsOffered(index.row()))
                combo->addItem(QString::fromUtf8(veltris::ruleCaption(kind)), static_cast<int>(kind));
            // A choice takes effect at once, without leaving the cell first.
            connect(combo, &QComboBox::activated, this, [this, combo] {
                auto* self = const_cast<RuleDelegate*>(this);
                emit self->commitData(combo);
                emit self->closeEditor(combo);
            });
            return combo;
        }
        if (index.column() >= SubstituteRulesModel::MinusColumn) {
            auto* spin = new QSpinBox(parent);
            const bool minus = index.column() == SubstituteRulesModel::MinusColumn;
            spin->setRange(0, minus ? veltris::kMaxBandMinus : veltris::kMaxBandPlus);
            spin->setPrefix(minus ? QStringLiteral("−") : QStringLiteral("+"));
            spin->setSuffix(QStringLiteral(" %"));
            spin->setAlignment(Qt::AlignRight);
            return spin;
        }
        return QStyledItemDelegate::createEditor(parent, option, index);
    }

    void setEditorData(QWidget* editor, const QModelIndex& index) const override
    {
        const int v = index.data(Qt::EditRole).toInt();
        if (auto* combo = qobject_cast<QComboBox*>(editor))
            combo->setCurrentIndex(std::max(0, combo->findData(v)));
        else if (auto* spin = qobject_cast<QSpinBox*>(editor))
            spin->setValue(v);
    }

    void setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const override
    {
        if (auto* combo = qobject_cast<QComboBox*>(editor))
            model->setData(index, combo->currentData(), Qt::EditRole);
        else if (auto* spin = qobject_cast<QSpinBox*>(editor))
            model->setData(index, spin->value(), Qt::EditRole);
    }

private:
    SubstituteRulesModel* m_model;
};

}  // namespace

// What the worker thread needs, all of it its own: a copy of the open base (its columns are
// shared, and the GUI copies a column before changing it), the query and the catalogue.
struct SubstitutePage::Job {
    veltris::ComponentBase base;
    veltris::Catalogue catalogue;
    veltris::FinderQuery query;
    std::string openFile;
    bool library = false;
    std::atomic<bool> cancel{false};
    std::atomic<std::size_t> done{0};
    std::atomic<std::size_t> total{0};
    QElapsedTimer started;
    // Written by the worker, read after it is joined.
    veltris::FinderReport report;
    bool outOfMemory = false;
};

SubstitutePage::SubstitutePage(UiServices& ui, const QString& settingsFile, const QString& dataDir,
                               const veltris::Catalogue& catalogue,
                               const veltris::NavigatorCatalogue& navigator, QWidget* parent)
    : QFrame(parent), m_ui(ui), m_settingsFile(settingsFile), m_catalogue(catalogue),
      m_navigator(navigator)
{
    auto defaults = veltris::SubstituteDefaults::load(toFsPath(dataDir));
    if (defaults) {
        m_defaults = std::move(*defaults);
    } else {
        m_defaults = veltris::SubstituteDefaults::fromBytes({});
        m_defaultsError = QString::fromStdString(defaults.error().message);
    }
    buildControls();
    showReference();
    showCounts();
}

SubstitutePage::~SubstitutePage()
{
    if (m_job) {
        m_job->cancel = true;
        m_worker.join();
    }
}

void SubstitutePage::buildControls()
{
    setObjectName(QStringLiteral("SubstitutePanel"));
    setFrameStyle(QFrame::Panel | QFrame::Sunken);
    setLineWidth(2);

    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(4, 4, 4, 4);
    m_body = new QWidget(this);
    outer->addWidget(m_body);
    auto* bodyLayout = new QHBoxLayout(m_body);
    bodyLayout->setContentsMargins(0, 0, 0, 0);
    // The user can trade the rules' room for the results'.
    auto* splitter = new QSplitter(Qt::Horizontal, m_body);
    splitter->setObjectName(QStringLiteral("SubstituteSplitter"));
    splitter->setChildrenCollapsible(false);
    bodyLayout->addWidget(splitter);
    auto* leftPane = new QWidget(splitter);
    auto* rightPane = new QWidget(splitter);

    // ---- left: the reference and the rules ----
    auto* left = new QVBoxLayout(leftPane);
    left->setContentsMargins(8, 8, 8, 8);
    auto* nameCaption = new QLabel(QStringLiteral("Образец — имя или его часть:"), m_body);
    m_nameEdit = new QLineEdit(m_body);
    m_nameEdit->setObjectName(QStringLiteral("SubstituteNameEdit"));
    m_nameEdit->setPlaceholderText(QStringLiteral("например, КТ315"));
    m_nameEdit->setToolTip(QStringLiteral(
        "Регистр и латинские буквы, похожие на русские (A, B, C, E, H, K, M, O, P, T, X, Y), не "
        "важны. Enter выбирает первое имя списка."));
    nameCaption->setBuddy(m_nameEdit);
    m_nameList = new QListWidget(m_body);
    m_nameList->setObjectName(QStringLiteral("SubstituteNameList"));
    m_nameList->setUniformItemSizes(true);
    m_nameList->setFixedHeight(4 * m_nameList->fontMetrics().height() + 10);
    m_referenceLabel = new QLabel(m_body);
    m_referenceLabel->setObjectName(QStringLiteral("SubstituteReference"));
    m_referenceLabel->setWordWrap(true);
    m_referenceLabel->setTextFormat(Qt::PlainText);

    auto* rulesCaption = new QLabel(QStringLiteral("Правила подбора:"), m_body);
    m_rulesModel = new SubstituteRulesModel(this);
    m_rulesView = new QTableView(m_body);
    m_rulesView->setObjectName(QStringLiteral("SubstituteRules"));
    m_rulesView->setModel(m_rulesModel);
    m_rulesView->setItemDelegate(new RuleDelegate(m_rulesModel, m_rulesView));
    // A click opens the rule's editor; moving through the table with the keys does not, so the
    // arrow keys never change a rule by passing over it (F2 or typing opens the editor there).
    m_rulesView->setEditTriggers(QAbstractItemView::SelectedClicked | QAbstractItemView::DoubleClicked |
                                 QAbstractItemView::EditKeyPressed | QAbstractItemView::AnyKeyPressed);
    connect(m_rulesView, &QTableView::clicked, this, [this](const QModelIndex& index) {
        if (m_rulesModel->flags(index) & Qt::ItemIsEditable)
            m_rulesView->edit(index);
    });
    m_rulesView->setSelectionMode(QAbstractItemView::SingleSelection);
    m_rulesView->setWordWrap(false);
    m_rulesView->verticalHeader()->hide();
    m_rulesView->verticalHeader()->setDefaultSectionSize(m_rulesView->fontMetrics().height() + 8);
    m_rulesView->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_rulesView->horizontalHeader()->setSectionResizeMode(SubstituteRulesModel::TitleColumn,
                                                          QHeaderView::Stretch);
    for (int c = SubstituteRulesModel::ReferenceColumn; c < SubstituteRulesModel::ColumnCount; ++c)
        m_rulesView->horizontalHeader()->setSectionResizeMode(c, QHeaderView::ResizeToContents);
    rulesCaption->setBuddy(m_rulesView);
    m_defaultsButton = new QPushButton(QStringLiteral("По умолчанию"), m_body);
    m_defaultsButton->setObjectName(QStringLiteral("SubstituteDefaults"));
    m_defaultsButton->setToolTip(QStringLiteral("Вернуть правила, принятые для этого типа приборов"));
    auto* defaultsRow = new QHBoxLayout;
    defaultsRow->addWidget(m_defaultsButton);
    defaultsRow->addStretch();

    left->addWidget(nameCaption);
    left->addWidget(m_nameEdit);
    left->addWidget(m_nameList);
    left->addWidget(m_referenceLabel);
    left->addSpacing(4);
    left->addWidget(rulesCaption);
    left->addWidget(m_rulesView, 1);
    left->addLayout(defaultsRow);

    // ---- right: scope, limits, commands and the results ----
    auto* right = new QVBoxLayout(rightPane);
    right->setContentsMargins(8, 8, 8, 8);
    // Scope on one line, the limits on the next, the commands below.
    auto* scope = new QHBoxLayout;
    auto* scopeCaption = new QLabel(QStringLiteral("Где искать:"), m_body);
    m_scopeOpen = new QRadioButton(QStringLiteral("открытая база"), m_body);
    m_scopeOpen->setObjectName(QStringLiteral("SubstituteScopeOpen"));
    m_scopeLibrary = new QRadioButton(QStringLiteral("все базы этого типа в библиотеке"), m_body);
    m_scopeLibrary->setObjectName(QStringLiteral("SubstituteScopeLibrary"));
    m_scopeLibrary->setToolTip(QStringLiteral("Базы того же типа приборов из папок навигатора"));
    m_scopeOpen->setChecked(true);
    scope->addWidget(scopeCaption);
    scope->addWidget(m_scopeOpen);
    scope->addWidget(m_scopeLibrary);
    scope->addStretch();

    auto* limits = new QHBoxLayout;
    m_nearSpin = new QSpinBox(m_body);
    m_nearSpin->setObjectName(QStringLiteral("SubstituteNear"));
    m_nearSpin->setRange(0, 10);
    m_nearSpin->setValue(2);
    m_nearSpin->setToolTip(QStringLiteral(
        "Показывать и близкие приборы — не подходящие не более чем по стольким параметрам"));
    m_topSpin = new QSpinBox(m_body);
    m_topSpin->setObjectName(QStringLiteral("SubstituteTop"));
    m_topSpin->setRange(0, 1000000);
    m_topSpin->setSingleStep(50);
    m_topSpin->setValue(200);
    m_topSpin->setSpecialValueText(QStringLiteral("все"));
    auto* nearCaption = new QLabel(QStringLiteral("Близкие — несовпадений не более:"), m_body);
    nearCaption->setBuddy(m_nearSpin);
    auto* topCaption = new QLabel(QStringLiteral("Показать не более:"), m_body);
    topCaption->setBuddy(m_topSpin);
    limits->addWidget(nearCaption);
    limits->addWidget(m_nearSpin);
    limits->addSpacing(16);
    limits->addWidget(topCaption);
    limits->addWidget(m_topSpin);
    limits->addStretch();

    auto* commands = new QHBoxLayout;
    m_findButton = new QPushButton(QStringLiteral("Найти замену"), m_body);
    m_findButton->setObjectName(QStringLiteral("SubstituteFind"));
    m_findButton->setDefault(true);
    m_exportButton = new QPushButton(QStringLiteral("Экспорт в CSV…"), m_body);
    m_exportButton->setObjectName(QStringLiteral("SubstituteExport"));
    m_exportButton->setEnabled(false);
    commands->addWidget(m_findButton);
    commands->addWidget(m_exportButton);
    commands->addStretch();

    m_countLabel = new QLabel(m_body);
    m_countLabel->setObjectName(QStringLiteral("SubstituteCount"));
    m_countLabel->setWordWrap(true);
    m_countLabel->setTextFormat(Qt::PlainText);
    m_resultsModel = new SubstituteResultsModel(this);
    m_resultsView = new QTableView(m_body);
    m_resultsView->setObjectName(QStringLiteral("SubstituteResults"));
    m_resultsView->setModel(m_resultsModel);
    m_resultsView->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_resultsView->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_resultsView->setSelectionMode(QAbstractItemView::SingleSelection);
    m_resultsView->setWordWrap(false);
    m_resultsView->verticalHeader()->setDefaultSectionSize(m_resultsView->fontMetrics().height() + 6);
    m_resultsView->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_resultsView->setToolTip(QStringLiteral("Двойной щелчок делает прибор текущей записью"));

    right->addLayout(scope);
    right->addLayout(limits);
    right->addLayout(commands);
    right->addWidget(m_countLabel);
    right->addWidget(m_resultsView, 1);

    splitter->addWidget(leftPane);
    splitter->addWidget(rightPane);
    splitter->setStretchFactor(0, 0);
    splitter->setStretchFactor(1, 1);
    // The rules table wide enough for every column of its widest rule, «в пределах −10..+20 %».
    const QFontMetrics fm = fontMetrics();
    leftPane->setMinimumWidth(fm.horizontalAdvance(QStringLiteral("Pк max с теплоотв., Вт")) +
                              fm.horizontalAdvance(QStringLiteral("Образец  в пределах  −100 %  +1000 %")) + 80);

    connect(m_nameEdit, &QLineEdit::textChanged, this, [this] { updateNameList(); });
    connect(m_nameEdit, &QLineEdit::returnPressed, this,
            [this] { chooseListedName(std::max(0, m_nameList->currentRow())); });
    connect(m_nameList, &QListWidget::itemActivated, this,
            [this](QListWidgetItem* item) { chooseListedName(m_nameList->row(item)); });
    connect(m_nameList, &QListWidget::itemClicked, this,
            [this](QListWidgetItem* item) { chooseListedName(m_nameList->row(item)); });
    connect(m_rulesModel, &SubstituteRulesModel::rulesEdited, this, [this] { saveRules(); });
    connect(m_defaultsButton, &QPushButton::clicked, this, [this] { restoreDefaults(); });
    connect(m_findButton, &QPushButton::clicked, this, [this] { startSearch(); });
    connect(m_exportButton, &QPushButton::clicked, this, [this] { exportResults(); });
    connect(m_resultsView, &QTableView::doubleClicked, this,
            [this](const QModelIndex& index) { openResult(index.row()); });

    m_progressTimer = new QTimer(this);
    m_progressTimer->setInterval(100);
    connect(m_progressTimer, &QTimer::timeout, this, [this] { updateProgress(); });

    setHelpContext(this, HelpTopic::Substitute);
    for (QWidget* w : findChildren<QWidget*>())
        setHelpContext(w, HelpTopic::Substitute);
}

// ---- the open base and the reference ----

void SubstitutePage::setOpenBase(const veltris::ComponentBase* base, const QString& fileName)
{
    cancelSearch();
    const bool sameFile = fileName == m_fileName;
    m_base = base;
    m_fileName = fileName;
    m_names.reset();
    const int type = base ? base->deviceType : 0;
    if (type != m_rulesModel->deviceType() || m_rulesModel->rowCount() == 0)
        loadRulesFor(type);
    else
        refreshTitles();
    const bool referenceStays = base && sameFile && m_referenceRow >= 0 &&
                                m_referenceRow < base->recordCount() &&
                                base->table.cell(m_referenceRow + 1, 0) == m_referenceName;
    if (!referenceStays)
        m_referenceRow = -1;
    showReference();
    updateNameList();
}

void SubstitutePage::setReference(int row)
{
    if (!m_base || row < 1 || row > m_base->recordCount()) {
        m_referenceRow = -1;
    } else {
        m_referenceRow = row - 1;
        m_referenceName = m_base->table.cell(row, 0);
    }
    showReference();
}

QStringList SubstitutePage::parameterTitles() const
{
    QStringList titles;
    if (!m_base || veltris::findDeviceType(m_base->deviceType) == nullptr)
        return titles;
    const int columns = veltris::parameterColumnCount(m_base->deviceType);
    for (int c = 1; c <= columns; ++c) {
        QString t = cpToQString(m_base->table.cell(0, c));
        t.replace(QLatin1Char('|'), QLatin1Char(' '));
        titles << t.simplified();
    }
    return titles;
}

void SubstitutePage::loadRulesFor(int deviceType)
{
    QStringList titles = parameterTitles();
    const veltris::RuleSet defaults = m_defaults->rules(deviceType);
    const veltris::RuleSet rules = veltris::readUserRules(
        veltris::IniFile::loadOrEmpty(toFsPath(m_settingsFile)), deviceType, defaults);
    m_rulesModel->setParameters(deviceType, std::move(titles), rules);
}

void SubstitutePage::refreshTitles()
{
    m_rulesModel->setTitles(parameterTitles());
}

void SubstitutePage::showReference()
{
    QStringList texts;
    if (m_base && m_referenceRow >= 0) {
        const int row = m_referenceRow + 1;
        for (int c = 1; c <= m_rulesModel->rowCount(); ++c)
            texts << cpToQString(m_base->table.cell(row, c));
        m_referenceLabel->setText(QStringLiteral("Образец: %1 (строка %2)")
                                      .arg(cpToQString(m_referenceName))
                                      .arg(row));
    } else {
        m_referenceLabel->setText(m_base ? QStringLiteral("Образец не выбран: введите имя и нажмите Enter")
                                         : QStringLiteral("База не открыта"));
    }
    m_rulesModel->setReferenceTexts(texts);
}

void SubstitutePage::updateNameList()
{
    m_nameList->clear();
    m_listedRows.clear();
    const QString typed = m_nameEdit->text().trimmed();
    if (!m_base || typed.isEmpty())
        return;
    if (!m_names) {
        // Only the names: the finder's name matching works on its source.
        m_names.emplace(m_base->deviceType, m_base->recordCount());
        for (int r = 0; r < m_base->recordCount(); ++r)
            m_names->setName(r, m_base->table.cell(r + 1, 0));
    }
    const std::vector<int> rows = veltris::findNameMatches(*m_names, qStringToCp(typed));
    const std::size_t listed = std::min<std::size_t>(rows.size(), kMaxListedNames);
    for (std::size_t k = 0; k < listed; ++k) {
        auto* item = new QListWidgetItem(cpToQString(m_names->name(rows[k])), m_nameList);
        item->setToolTip(QStringLiteral("Строка %1").arg(rows[k] + 1));
        m_listedRows.push_back(rows[k]);
    }
    if (rows.size() > listed) {
        auto* more = new QListWidgetItem(
            QStringLiteral("… и ещё %1 — уточните имя").arg(rows.size() - listed), m_nameList);
        more->setFlags(Qt::NoItemFlags);
    }
    if (rows.empty()) {
        auto* none = new QListWidgetItem(QStringLiteral("Нет такого имени в базе"), m_nameList);
        none->setFlags(Qt::NoItemFlags);
    } else {
        m_nameList->setCurrentRow(0);
    }
}

void SubstitutePage::chooseListedName(int listRow)
{
    if (listRow < 0 || listRow >= static_cast<int>(m_listedRows.size()))
        return;
    setReference(m_listedRows[static_cast<std::size_t>(listRow)] + 1);
}

// ---- rules ----

void SubstitutePage::saveRules()
{
    const int type = m_rulesModel->deviceType();
    const std::filesystem::path path = toFsPath(m_settingsFile);
    veltris::IniFile ini = veltris::IniFile::loadOrEmpty(path);
    veltris::writeUserRules(ini, type, m_rulesModel->rules(), m_defaults->rules(type));
    const veltris::Status st = ini.saveAtomic(path, veltris::kSettingsWriteFailed);
    // Once is enough: every further change would fail the same way.
    if (!st && !m_settingsWarned) {
        m_settingsWarned = true;
        m_ui.message(this, QStringLiteral("Ошибка"), QString::fromStdString(st.error().message),
                     QMessageBox::Warning, QMessageBox::Ok);
    }
}

void SubstitutePage::restoreDefaults()
{
    m_rulesModel->setRules(m_defaults->rules(m_rulesModel->deviceType()));
    saveRules();
}

// ---- the search ----

void SubstitutePage::startSearch()
{
    if (m_job)
        return;
    if (!m_base || m_referenceRow < 0 || m_referenceRow >= m_base->recordCount()) {
        m_countLabel->setText(QStringLiteral("Сначала выберите образец."));
        return;
    }
    // The query is made from the reference alone: a base of one record with the same titles.
    veltris::ComponentBase one;
    one.deviceType = m_base->deviceType;
    one.columnMap = m_base->columnMap;
    one.table = veltris::Table(2, m_base->table.columnCount());
    for (int c = 0; c < m_base->table.columnCount(); ++c) {
        one.table.setCell(0, c, m_base->table.cell(0, c));
        one.table.setCell(1, c, m_base->table.cell(m_referenceRow + 1, c));
    }
    const veltris::RuleSet& rules = m_rulesModel->rules();
    std::vector<int> ruled;
    for (std::size_t i = 0; i < rules.size(); ++i)
        if (rules[i].kind != RuleKind::Off)
            ruled.push_back(static_cast<int>(i) + 1);
    auto query = ruled.empty()
                     ? veltris::Result<veltris::FinderQuery>(veltris::Error{
                           veltris::ErrorKind::Generic, "нет ни одного применимого правила: все правила выключены"})
                     : veltris::makeQuery(veltris::finderSourceFromBase(
                                              one, veltris::sourceColumns(one.deviceType, rules)),
                                          0, rules,
                                          m_nearSpin->value(), static_cast<std::size_t>(m_topSpin->value()));
    if (!query) {
        m_ui.message(this, QStringLiteral("Поиск замены"),
                     QStringLiteral("Искать не по чему: %1.").arg(QString::fromStdString(query.error().message)),
                     QMessageBox::Information, QMessageBox::Ok);
        return;
    }
    query->referenceRow = m_referenceRow;

    auto job = std::make_shared<Job>();
    job->base = *m_base;
    job->catalogue = m_catalogue;
    job->query = std::move(*query);
    job->openFile = m_fileName.toStdString();
    job->library = m_scopeLibrary->isChecked();
    job->started.start();
    m_job = job;
    m_body->setEnabled(false);

    m_progress = new QDialog(this);
    m_progress->setObjectName(QStringLiteral("SubstituteProgress"));
    m_progress->setWindowTitle(QStringLiteral("Поиск замены"));
    m_progress->setWindowModality(Qt::WindowModal);
    auto* layout = new QVBoxLayout(m_progress);
    layout->addWidget(new QLabel(
        QStringLiteral("Поиск замены для %1 — %2…")
            .arg(cpToQString(job->query.referenceName),
                 job->library ? QStringLiteral("все базы этого типа") : QStringLiteral("открытая база")),
        m_progress));
    m_progressBar = new QProgressBar(m_progress);
    m_progressBar->setRange(0, 1000);
    m_progressBar->setValue(0);
    m_progressBar->setMinimumWidth(320);
    layout->addWidget(m_progressBar);
    m_cancelButton = new QPushButton(QStringLiteral("Отмена"), m_progress);
    m_cancelButton->setObjectName(QStringLiteral("SubstituteCancel"));
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_cancelButton);
    layout->addLayout(buttons);
    connect(m_cancelButton, &QPushButton::clicked, this, [this] { cancelSearch(); });
    connect(m_progress, &QDialog::rejected, this, [this] { cancelSearch(); });
    setHelpContext(m_progress, HelpTopic::Substitute);
    // A library search reads many files: the window is blocked from the start.
    if (job->library)
        m_progress->show();
    m_progressTimer->start();

    const veltris::NavigatorCatalogue* navigator = &m_navigator;
    m_worker = std::thread([this, job, navigator] {
        const veltris::FinderProgress progress = [&job](std::size_t done, std::size_t total) {
            job->done = done;
            job->total = total;
            return !job->cancel;
        };
        try {
            job->report = job->library ? veltris::findInLibrary(job->query, job->base, job->openFile,
                                                                *navigator, job->catalogue, progress)
                                       // The table shows every result (at most the chosen top).
                                       : veltris::findInBase(job->query, job->base, job->openFile,
                                                             progress, true);
        } catch (const std::bad_alloc&) {
            job->report = {};
            job->outOfMemory = true;
        }
        QMetaObject::invokeMethod(this, [this, job] { finishSearch(job); }, Qt::QueuedConnection);
    });
}

void SubstitutePage::updateProgress()
{
    if (!m_job || !m_progress)
        return;
    const std::size_t total = m_job->total;
    const std::size_t done = m_job->done;
    if (total > 0)
        m_progressBar->setValue(static_cast<int>(1000.0 * static_cast<double>(done) / static_cast<double>(total)));
    if (!m_progress->isVisible() && !m_job->cancel && m_job->started.elapsed() >= kProgressDelayMs)
        m_progress->show();
}

void SubstitutePage::cancelSearch()
{
    if (!m_job)
        return;
    m_job->cancel = true;
    m_cancelButton->setEnabled(false);
    m_cancelButton->setText(QStringLiteral("Отмена…"));
}

void SubstitutePage::finishSearch(const std::shared_ptr<Job>& job)
{
    if (job != m_job)
        return;
    m_worker.join();
    m_progressTimer->stop();
    delete m_progress;
    m_progress = nullptr;
    m_progressBar = nullptr;
    m_cancelButton = nullptr;
    m_job.reset();
    m_body->setEnabled(true);

    if (job->outOfMemory) {
        m_resultsModel->clear();
        m_exportButton->setEnabled(false);
        showErrorBox(m_ui, this, veltris::outOfMemoryError());
        showCounts();
        return;
    }
    // A cancel asked for after the work ended still wins: the user saw the request accepted.
    if (job->cancel || job->report.cancelled) {
        m_resultsModel->clear();
        m_exportButton->setEnabled(false);
        showCounts(QStringLiteral("Поиск прерван."));
        return;
    }
    m_resultsModel->setResults(std::move(job->report), std::move(job->query), parameterTitles(),
                               QString::fromStdString(job->openFile));
    m_resultsView->resizeColumnsToContents();
    m_exportButton->setEnabled(!m_resultsModel->empty());
    showCounts();

    const auto& problems = m_resultsModel->report().problems;
    if (!problems.empty()) {
        m_ui.message(this, QStringLiteral("Поиск замены"),
                     QStringLiteral("Не удалось прочитать баз: %1\n\n%2")
                         .arg(problems.size())
                         .arg(problemLines(problems, kProblemsShown, QStringLiteral("\n"))),
                     QMessageBox::Warning, QMessageBox::Ok);
    }
}

void SubstitutePage::showCounts(const QString& extra)
{
    QStringList parts;
    if (!m_defaultsError.isEmpty())
        parts << QStringLiteral("Правила по умолчанию не прочитаны: ") + m_defaultsError;
    const veltris::FinderReport& r = m_resultsModel->report();
    const veltris::FinderQuery& q = m_resultsModel->query();
    if (!q.rules.empty()) {
        QString line = QStringLiteral("Образец %1. Полных совпадений: %2, близких: %3")
                           .arg(cpToQString(q.referenceName))
                           .arg(r.fullCount)
                           .arg(r.nearCount);
        if (r.matches.size() < r.fullCount + r.nearCount)
            line += QStringLiteral(" (показаны первые %1)").arg(r.matches.size());
        parts << line + QLatin1Char('.');
        if (!q.unusable.empty()) {
            QStringList titles;
            for (int c : q.unusable)
                titles << QStringLiteral("«%1»").arg(m_rulesModel->title(c));
            parts << QStringLiteral("Не применены правила (у образца нет значения): ") +
                         titles.join(QStringLiteral(", "));
        }
    }
    if (!extra.isEmpty())
        parts << extra;
    m_countLabel->setText(parts.isEmpty() ? QStringLiteral("Выберите образец и нажмите «Найти замену».")
                                          : parts.join(QLatin1Char('\n')));
}

// ---- results ----

void SubstitutePage::openResult(int row)
{
    if (row < 0 || row >= m_resultsModel->rowCount())
        return;
    const veltris::FinderMatch& m = m_resultsModel->match(row);
    const QString file = m_resultsModel->baseFile(row);
    const int tableRow = m.row + 1;
    if (file == m_fileName || file.isEmpty()) {
        // The open base may have been edited since: the record must still be there.
        const bool there = m_base && file == m_fileName && tableRow <= m_base->recordCount() &&
                           m_base->table.cell(tableRow, 0) == m.name;
        if (!there) {
            m_ui.message(this, QStringLiteral("Поиск замены"),
                         QStringLiteral("База изменилась после поиска, записи %1 на прежнем месте нет. "
                                        "Повторите поиск.")
                             .arg(cpToQString(m.name)),
                         QMessageBox::Information, QMessageBox::Ok);
            return;
        }
    }
    emit recordChosen(file, tableRow);
}

void SubstitutePage::exportResults()
{
    if (m_resultsModel->empty())
        return;
    FileDialogRequest req;
    req.filter = QStringLiteral("CSV - (;) (*.CSV)");
    req.defaultSuffix = QStringLiteral("CSV");
    const QString name = m_ui.saveFileName(this, req);
    if (name.isEmpty())
        return;
    const veltris::Status written =
        veltris::writeCsv(m_resultsModel->exportTable(), toFsPath(withDefaultSuffix(name, req.defaultSuffix)));
    if (!written)
        showErrorBox(m_ui, this, written.error());
}
