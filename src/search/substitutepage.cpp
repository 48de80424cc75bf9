#include "search/substitutepage.h"

#include <QCheckBox>
#include <QDialog>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QSplitter>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>
#include <atomic>
#include <functional>
#include <new>
#include <utility>

#include "base/basefile.h"
#include "base/catalogue.h"
#include "base/componentbase.h"
#include "base/fileidentity.h"
#include "base/ini.h"
#include "base/settings.h"
#include "document/settingsfile.h"
#include "search/celltext.h"
#include "search/comparisonwindow.h"
#include "search/ruledelegate.h"
#include "search/substituteprogress.h"
#include "search/substituteresultsmodel.h"
#include "search/substituterulesmodel.h"
#include "search/verdictlook.h"
#include "ui/errorbox.h"
#include "widgets/apputil.h"
#include "widgets/namecolumnheader.h"
#include "widgets/rangespinbox.h"

namespace {

// Where the strict option is remembered.
constexpr const char* kOptionsSection = "Substitute";
constexpr const char* kUnknownFailsKey = "UnknownFails";

}  // namespace

SubstitutePage::SubstitutePage(UiServices& ui, SettingsFile& settings, const QString& dataDir,
                               const veltris::Catalogue& catalogue,
                               const veltris::NavigatorCatalogue& navigator, QWidget* parent)
    : QFrame(parent), m_ui(ui), m_settings(settings), m_catalogue(catalogue), m_navigator(navigator)
{
    auto defaults = veltris::SubstituteDefaults::load(toFsPath(dataDir));
    if (defaults) {
        m_defaults = std::move(*defaults);
    } else {
        m_defaults = veltris::SubstituteDefaults::fromBytes({});
        m_defaultsError = QString::fromStdString(defaults.error().message);
    }
    buildControls();
    {
        const QSignalBlocker quiet(m_strictBox);
        m_strictBox->setChecked(m_settings.contents().readInt(kOptionsSection, kUnknownFailsKey, 0) != 0);
    }
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
    setObjectName(QStringLiteral("substitutePage"));
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
    splitter->setObjectName(QStringLiteral("substituteSplitter"));
    splitter->setChildrenCollapsible(false);
    bodyLayout->addWidget(splitter);
    auto* leftPane = new QWidget(splitter);
    auto* rightPane = new QWidget(splitter);

    // ---- left: the reference and the rules ----
    auto* left = new QVBoxLayout(leftPane);
    left->setContentsMargins(8, 8, 8, 8);
    auto* nameCaption = new QLabel(QStringLiteral("Образец — имя или его часть:"), m_body);
    m_nameEdit = new QLineEdit(m_body);
    m_nameEdit->setObjectName(QStringLiteral("referenceNameEdit"));
    m_nameEdit->setPlaceholderText(QStringLiteral("например, КТ315"));
    m_nameEdit->setToolTip(QStringLiteral(
        "Регистр, пробелы и дефисы не важны; латинская буква понимается и как похожая русская "
        "(B — В), и как её транслитерация (b — Б). Enter выбирает прибор, если имя однозначно, "
        "иначе выберите его в списке."));
    nameCaption->setBuddy(m_nameEdit);
    m_nameList = new QListWidget(m_body);
    m_nameList->setObjectName(QStringLiteral("referenceNameList"));
    m_nameList->setUniformItemSizes(true);
    m_nameList->setFixedHeight(4 * m_nameList->fontMetrics().height() + 10);
    m_referenceLabel = new QLabel(m_body);
    m_referenceLabel->setObjectName(QStringLiteral("referenceLabel"));
    m_referenceLabel->setWordWrap(true);
    m_referenceLabel->setTextFormat(Qt::PlainText);

    auto* rulesCaption = new QLabel(QStringLiteral("Правила подбора:"), m_body);
    m_rulesModel = new SubstituteRulesModel(this);
    m_rulesView = new QTableView(m_body);
    m_rulesView->setObjectName(QStringLiteral("rulesTable"));
    m_rulesView->setModel(m_rulesModel);
    m_rulesView->setItemDelegate(new RuleDelegate(
        m_rulesModel, [this](const QString& message) { reportOutOfRange(message); }, m_rulesView));
    // A click opens the rule's editor; moving through the table with the keys does not, so the
    // arrow keys never change a rule by passing over it (F2 or typing opens the editor there).
    m_rulesView->setEditTriggers(QAbstractItemView::SelectedClicked | QAbstractItemView::DoubleClicked |
                                 QAbstractItemView::EditKeyPressed | QAbstractItemView::AnyKeyPressed);
    connect(m_rulesView, &QTableView::clicked, this, [this](const QModelIndex& index) {
        if (m_rulesModel->flags(index) & Qt::ItemIsEditable)
            m_rulesView->edit(index);
    });
    m_rulesView->setSelectionMode(QAbstractItemView::SingleSelection);
    // F2 edits the cell here rather than saving the base; Tab goes on to the next control.
    keepKeysFromShortcuts(m_rulesView, {Qt::Key_F2});
    m_rulesView->setTabKeyNavigation(false);
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
    m_defaultsButton->setObjectName(QStringLiteral("defaultRulesButton"));
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
    m_scopeOpen->setObjectName(QStringLiteral("openBaseScopeButton"));
    m_scopeLibrary = new QRadioButton(QStringLiteral("все базы этого типа в библиотеке"), m_body);
    m_scopeLibrary->setObjectName(QStringLiteral("libraryScopeButton"));
    m_scopeLibrary->setToolTip(QStringLiteral("Базы того же типа приборов из папок навигатора"));
    m_scopeOpen->setChecked(true);
    scope->addWidget(scopeCaption);
    scope->addWidget(m_scopeOpen);
    scope->addWidget(m_scopeLibrary);
    scope->addStretch();

    auto* limits = new QHBoxLayout;
    auto* nearSpin = new RangeSpinBox(m_body);
    connect(nearSpin, &RangeSpinBox::outOfRange, this,
            [this, nearSpin](const QString& typed) { reportOutOfRange(nearSpin->outOfRangeMessage(typed)); });
    m_nearSpin = nearSpin;
    m_nearSpin->setObjectName(QStringLiteral("nearMissSpin"));
    m_nearSpin->setRange(0, 10);
    m_nearSpin->setValue(2);
    m_nearSpin->setToolTip(
        QStringLiteral("Показывать и близкие приборы — не подходящие не более чем по стольким параметрам"));
    m_topSpin = new QSpinBox(m_body);
    m_topSpin->setObjectName(QStringLiteral("shownCountSpin"));
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

    auto* strict = new QHBoxLayout;
    m_strictBox = new QCheckBox(QStringLiteral("Неизвестное считать несовпадением"), m_body);
    m_strictBox->setObjectName(QStringLiteral("unknownFailsBox"));
    m_strictBox->setToolTip(
        QStringLiteral("Параметр, по которому запись прибора не позволяет судить, считается не подходящим: "
                       "полными остаются только приборы, подтверждённые данными"));
    strict->addWidget(m_strictBox);
    strict->addStretch();

    auto* commands = new QHBoxLayout;
    m_findButton = new QPushButton(QStringLiteral("Найти замену"), m_body);
    m_findButton->setObjectName(QStringLiteral("findSubstituteButton"));
    m_findButton->setDefault(true);
    m_exportButton = new QPushButton(QStringLiteral("Экспорт в CSV…"), m_body);
    m_exportButton->setObjectName(QStringLiteral("exportResultsButton"));
    m_exportButton->setEnabled(false);
    m_compareButton = new QPushButton(QStringLiteral("Сравнить…"), m_body);
    m_compareButton->setObjectName(QStringLiteral("compareResultsButton"));
    m_compareButton->setToolTip(QStringLiteral(
        "Сравнить образец с выделенными в результатах приборами (до пяти) рядом, по параметрам"));
    m_compareButton->setEnabled(false);
    commands->addWidget(m_findButton);
    commands->addWidget(m_exportButton);
    commands->addWidget(m_compareButton);
    commands->addStretch();

    m_countLabel = new QLabel(m_body);
    m_countLabel->setObjectName(QStringLiteral("resultCountLabel"));
    m_countLabel->setWordWrap(true);
    m_countLabel->setTextFormat(Qt::PlainText);
    m_resultsModel = new SubstituteResultsModel(this);
    m_resultsView = new QTableView(m_body);
    m_resultsView->setObjectName(QStringLiteral("resultsTable"));
    // The names stay in view while the parameters scroll sideways: they are the vertical header,
    // and the model's own name column is hidden.
    m_resultNames = new NameColumnHeader(m_resultsView, QStringLiteral("Имя"));
    m_resultNames->setViewModel(m_resultsModel);
    m_resultsView->setColumnHidden(SubstituteResultsModel::NameColumn, true);
    m_resultsView->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_resultsView->setSelectionBehavior(QAbstractItemView::SelectRows);
    // Several rows at once: the reference is compared with up to five of them.
    m_resultsView->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_resultsView->setWordWrap(false);
    m_resultNames->setDefaultSectionSize(m_resultsView->fontMetrics().height() + 6);
    m_resultsView->setToolTip(QStringLiteral("Двойной щелчок делает прибор текущей записью"));
    m_resultsView->setContextMenuPolicy(Qt::CustomContextMenu);
    m_legendLabel = new QLabel(verdictlook::legendHtml(false), m_body);
    m_legendLabel->setObjectName(QStringLiteral("resultsLegendLabel"));
    m_legendLabel->setTextFormat(Qt::RichText);

    right->addLayout(scope);
    right->addLayout(limits);
    right->addLayout(strict);
    right->addLayout(commands);
    right->addWidget(m_countLabel);
    right->addWidget(m_resultsView, 1);
    right->addWidget(m_legendLabel);

    splitter->addWidget(leftPane);
    splitter->addWidget(rightPane);
    splitter->setStretchFactor(0, 0);
    splitter->setStretchFactor(1, 1);
    // The rules table wide enough for every column of its widest rule, «в пределах −10..+20 %».
    const QFontMetrics fm = fontMetrics();
    leftPane->setMinimumWidth(fm.horizontalAdvance(QStringLiteral("Pк max с теплоотв., Вт")) +
                              fm.horizontalAdvance(QStringLiteral("Образец  в пределах  −100 %  +1000 %")) +
                              80);

    connect(m_nameEdit, &QLineEdit::textChanged, this, [this] { updateNameList(); });
    connect(m_nameEdit, &QLineEdit::returnPressed, this, [this] { pickTypedName(); });
    connect(m_nameList, &QListWidget::itemActivated, this,
            [this](QListWidgetItem* item) { chooseListedName(m_nameList->row(item)); });
    connect(m_nameList, &QListWidget::itemClicked, this,
            [this](QListWidgetItem* item) { chooseListedName(m_nameList->row(item)); });
    connect(m_rulesModel, &SubstituteRulesModel::rulesEdited, this, [this] {
        saveRules();
        refreshResults();
    });
    connect(m_defaultsButton, &QPushButton::clicked, this, [this] { restoreDefaults(); });
    connect(m_findButton, &QPushButton::clicked, this, [this] { startSearch(); });
    connect(m_exportButton, &QPushButton::clicked, this, [this] { exportResults(); });
    connect(m_compareButton, &QPushButton::clicked, this, [this] { compareSelectedResults(); });
    connect(m_resultsView, &QTableView::doubleClicked, this,
            [this](const QModelIndex& index) { openResult(index.row()); });
    connect(m_resultNames, &NameColumnHeader::nameDoubleClicked, this, [this](int row) { openResult(row); });
    connect(m_resultsView->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this] { updateCompareButton(); });
    connect(m_resultsView, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        const QModelIndex index = m_resultsView->indexAt(at);
        if (!index.isValid())
            return;
        if (!m_resultsView->selectionModel()->isSelected(index))
            m_resultsView->selectRow(index.row());
        QMenu menu(this);
        QAction* compare = menu.addAction(QStringLiteral("Сравнить с образцом…"));
        compare->setEnabled(m_compareButton->isEnabled());
        QAction* open = menu.addAction(QStringLiteral("Сделать текущей записью"));
        QAction* chosen = menu.exec(m_resultsView->viewport()->mapToGlobal(at));
        if (chosen == compare)
            compareSelectedResults();
        else if (chosen == open)
            openResult(index.row());
    });
    // The results answer what is shown: every change searches again (or marks them stale).
    connect(m_scopeOpen, &QRadioButton::toggled, this, [this] { refreshResults(); });
    connect(m_strictBox, &QCheckBox::toggled, this, [this] {
        saveStrictOption();
        refreshResults();
    });
    for (QSpinBox* spin : {m_nearSpin, m_topSpin})
        connect(spin, &QSpinBox::valueChanged, this, [this] { refreshResults(); });

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
    const int before = m_referenceRow;
    const std::string beforeName = m_referenceName;
    if (!m_base || row < 1 || row > m_base->recordCount()) {
        m_referenceRow = -1;
    } else {
        m_referenceRow = row - 1;
        m_referenceName = m_base->table.cell(row, 0);
    }
    showReference();
    if (m_referenceRow >= 0 && (m_referenceRow != before || m_referenceName != beforeName))
        refreshResults();
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
    const veltris::RuleSet rules = veltris::readUserRules(m_settings.contents(), deviceType, defaults);
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
            texts << shownCellText(m_base->deviceType, c, m_base->table.cell(row, c));
        m_referenceLabel->setText(
            QStringLiteral("Образец: %1 (строка %2)").arg(cpToQString(m_referenceName)).arg(row));
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
    const std::vector<int> rows = veltris::lookUpName(*m_names, qStringToCp(typed)).all();
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

void SubstitutePage::pickTypedName()
{
    const QString typed = m_nameEdit->text().trimmed();
    if (!m_base || !m_names || typed.isEmpty())
        return;
    const veltris::FinderSource& names = *m_names;
    const veltris::NameLookup lookup = veltris::lookUpName(names, qStringToCp(typed));
    const veltris::NamePick pick = veltris::pickByName(lookup, [&names](int row) { return names.name(row); });
    if (pick.record >= 0) {
        setReference(pick.record + 1);
        return;
    }
    if (pick.candidates.empty())
        return;
    // Several parts answer to the name: the user picks one, none is taken silently.
    m_referenceLabel->setText(QStringLiteral("«%1» — это несколько приборов (%2): выберите нужный в списке.")
                                  .arg(typed)
                                  .arg(pick.candidates.size()));
    m_nameList->setFocus();
    m_nameList->setCurrentRow(0);
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
    const veltris::RuleSet rules = m_rulesModel->rules();
    const veltris::RuleSet defaults = m_defaults->rules(type);
    reportSettingsFailure(m_settings.change(
        [&](veltris::IniFile& ini) { veltris::writeUserRules(ini, type, rules, defaults); }));
}

void SubstitutePage::reportSettingsFailure(const veltris::Status& status)
{
    // Once is enough: every further change would fail the same way. A file that cannot be read
    // keeps the changes in memory (the window said so at start-up).
    if (status || m_settingsWarned)
        return;
    m_settingsWarned = true;
    showWarningBox(
        m_ui, this,
        m_settings.problem() ? m_settings.problemText() : QString::fromStdString(status.error().message));
}

void SubstitutePage::reportOutOfRange(const QString& message)
{
    // Said once the editing has ended, not from inside the focus change that found it.
    if (m_outOfRangePending)
        return;
    m_outOfRangePending = true;
    QTimer::singleShot(0, this, [this, message] {
        m_outOfRangePending = false;
        showWarningBox(m_ui, this, message);
    });
}

void SubstitutePage::restoreDefaults()
{
    m_rulesModel->setRules(m_defaults->rules(m_rulesModel->deviceType()));
    saveRules();
    refreshResults();
}

void SubstitutePage::saveStrictOption()
{
    const int strict = m_strictBox->isChecked() ? 1 : 0;
    reportSettingsFailure(m_settings.change(
        [strict](veltris::IniFile& ini) { ini.writeInt(kOptionsSection, kUnknownFailsKey, strict); }));
}

veltris::RuleSet SubstitutePage::rulesFor(int deviceType) const
{
    if (deviceType == m_rulesModel->deviceType())
        return m_rulesModel->rules();
    return veltris::readUserRules(m_settings.contents(), deviceType, m_defaults->rules(deviceType));
}
