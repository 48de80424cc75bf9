// The page «Замена»: running a search, its results and their comparison.
#include <QCheckBox>
#include <QDialog>
#include <QItemSelectionModel>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTableView>
#include <QTimer>
#include <algorithm>
#include <new>
#include <utility>

#include "base/catalogue.h"
#include "base/componentbase.h"
#include "base/fileidentity.h"
#include "search/celltext.h"
#include "search/comparisonwindow.h"
#include "search/substitutepage.h"
#include "search/substituteprogress.h"
#include "search/substituteresultsmodel.h"
#include "search/substituterulesmodel.h"
#include "ui/cptext.h"
#include "ui/errorbox.h"
#include "widgets/csvsave.h"

using veltris::RuleKind;

namespace {

// A search that ends sooner shows no progress window.
constexpr int kProgressDelayMs = 300;
// Unreadable library bases named in the message after a search.
constexpr int kProblemsShown = 10;

}  // namespace

// ---- the search ----

QDialog* SubstitutePage::progressDialog() const
{
    return m_progress.get();
}

QPushButton* SubstitutePage::cancelButton() const
{
    return m_progress ? m_progress->cancelButton() : nullptr;
}

bool SubstitutePage::resultsStale() const
{
    return m_resultsModel->isStale();
}

void SubstitutePage::refreshResults()
{
    if (!m_base || m_referenceRow < 0 || m_referenceRow >= m_base->recordCount())
        return;
    if (m_scopeLibrary->isChecked()) {
        // Reading every base of the library is the user's decision: the old results stay,
        // greyed, until «Найти замену».
        if (!m_resultsModel->empty() || !m_resultsModel->query().rules.empty()) {
            m_resultsModel->setStale(true);
            showCounts();
        }
        return;
    }
    runSearch(true);
}

void SubstitutePage::startSearch()
{
    runSearch(false);
}

void SubstitutePage::runSearch(bool automatic)
{
    if (m_job) {
        // A search the user started runs to its end (the page is blocked meanwhile), and a change
        // made meanwhile (the host's new reference) is looked at after it; a search that a change
        // started gives way to the newer question at once.
        if (!m_job->automatic) {
            if (automatic)
                m_pendingSearch = m_pendingSearch.value_or(false);
            return;
        }
        m_job->cancel = true;
        m_pendingSearch = m_pendingSearch.value_or(false) || !automatic;
        return;
    }
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
    auto query =
        ruled.empty()
            ? veltris::Result<veltris::FinderQuery>(veltris::Error{
                  veltris::ErrorKind::Generic, "нет ни одного применимого правила: все правила выключены"})
            : veltris::makeQuery(
                  veltris::finderSourceFromBase(one, veltris::sourceColumns(one.deviceType, rules)), 0, rules,
                  m_nearSpin->value(), static_cast<std::size_t>(m_topSpin->value()));
    if (!query) {
        const QString why =
            QStringLiteral("Искать не по чему: %1.").arg(QString::fromStdString(query.error().message));
        if (automatic) {
            // A rule switched off on the way to another must not bring up a message box.
            m_resultsModel->clear();
            m_exportButton->setEnabled(false);
            showCounts(why);
            return;
        }
        m_ui.message(this, QStringLiteral("Поиск замены"), why, MessageIcon::Information, Answer::Ok);
        return;
    }
    query->referenceRow = m_referenceRow;
    query->unknownFails = m_strictBox->isChecked();

    auto job = std::make_shared<SubstituteJob>();
    job->base = *m_base;
    job->catalogue = m_catalogue;
    job->query = std::move(*query);
    job->openFile = m_fileName.toStdString();
    job->library = m_scopeLibrary->isChecked();
    job->automatic = automatic && !job->library;
    job->started.start();
    m_job = job;
    const veltris::NavigatorCatalogue* navigator = &m_navigator;
    if (job->automatic) {
        // The page stays usable: a change made meanwhile replaces this search.
        startWorker(job, navigator);
        return;
    }
    m_body->setEnabled(false);

    m_progress = std::make_unique<SubstituteProgress>(
        QStringLiteral("Поиск замены для %1 — %2…")
            .arg(cpToQString(job->query.referenceName),
                 job->library ? QStringLiteral("все базы этого типа") : QStringLiteral("открытая база")),
        this);
    connect(m_progress.get(), &SubstituteProgress::cancelRequested, this, [this] { cancelSearch(); });
    // A library search reads many files: the window is blocked from the start.
    if (job->library)
        m_progress->show();
    m_progressTimer->start();
    startWorker(job, navigator);
}

void SubstitutePage::startWorker(const std::shared_ptr<SubstituteJob>& job,
                                 const veltris::NavigatorCatalogue* navigator)
{
    m_worker.start(job, navigator, this, [this, job] { finishSearch(job); });
}

void SubstitutePage::updateProgress()
{
    if (!m_job || !m_progress)
        return;
    m_progress->setProgress(m_job->done, m_job->total);
    if (!m_progress->isVisible() && !m_job->cancel && m_job->started.elapsed() >= kProgressDelayMs)
        m_progress->show();
}

void SubstitutePage::cancelSearch()
{
    m_pendingSearch.reset();
    if (!m_job)
        return;
    m_job->cancel = true;
    if (m_progress)
        m_progress->showCancelling();
}

void SubstitutePage::finishSearch(const std::shared_ptr<SubstituteJob>& job)
{
    if (job != m_job)
        return;
    m_worker.join();
    m_progressTimer->stop();
    m_progress.reset();
    m_job.reset();
    m_body->setEnabled(true);

    const std::optional<bool> pending = std::exchange(m_pendingSearch, std::nullopt);
    if (pending && job->automatic) {
        // Superseded by a newer question: the results shown stay until its answer comes.
        if (*pending)
            runSearch(false);
        else
            refreshResults();
        return;
    }
    if (job->outOfMemory) {
        m_resultsModel->clear();
        m_exportButton->setEnabled(false);
        updateCompareButton();
        showErrorBox(m_ui, this, veltris::outOfMemoryError());
        showCounts();
        return;
    }
    // A cancel asked for after the work ended still wins: the user saw the request accepted.
    if (job->cancel || job->report.cancelled) {
        m_resultsModel->clear();
        m_exportButton->setEnabled(false);
        updateCompareButton();
        showCounts(QStringLiteral("Поиск прерван."));
        return;
    }
    std::vector<std::string> titles;
    titles.reserve(static_cast<std::size_t>(job->base.table.columnCount()));
    for (int c = 0; c < job->base.table.columnCount(); ++c)
        titles.push_back(job->base.table.cell(0, c));
    m_resultsModel->setResults(std::move(job->report), std::move(job->query), std::move(titles),
                               QString::fromStdString(job->openFile));
    m_resultsView->resizeColumnsToContents();
    // A long list of reasons must not push the parameters out of sight; its tool tip has it all.
    const int verdictWidth = m_resultsView->fontMetrics().horizontalAdvance(
                                 QStringLiteral("близкая: fгр не гарантировано, Uкэ −10 %")) +
                             12;
    if (m_resultsView->columnWidth(SubstituteResultsModel::VerdictColumn) > verdictWidth)
        m_resultsView->setColumnWidth(SubstituteResultsModel::VerdictColumn, verdictWidth);
    m_exportButton->setEnabled(!m_resultsModel->empty());
    updateCompareButton();
    showCounts();
    // Something changed while the user's search ran: its answer is already out of date.
    if (pending)
        refreshResults();

    const auto& problems = m_resultsModel->report().problems;
    if (!problems.empty()) {
        m_ui.message(this, QStringLiteral("Поиск замены"),
                     QStringLiteral("Не удалось прочитать баз: %1\n\n%2")
                         .arg(problems.size())
                         .arg(problemLines(problems, kProblemsShown, QStringLiteral("\n"))),
                     MessageIcon::Warning, Answer::Ok);
    }
}

void SubstitutePage::showCounts(const QString& extra)
{
    QStringList parts;
    if (!m_defaultsError.isEmpty())
        parts << QStringLiteral("Правила по умолчанию не прочитаны: ") + m_defaultsError;
    const veltris::FinderReport& r = m_resultsModel->report();
    const veltris::FinderQuery& q = m_resultsModel->query();
    if (m_resultsModel->isStale())
        parts << QStringLiteral("Результаты устарели — нажмите «Найти замену».");
    if (!q.rules.empty()) {
        QString line = QStringLiteral("Образец %1. Полных совпадений: %2, близких: %3")
                           .arg(cpToQString(q.referenceName))
                           .arg(r.fullCount)
                           .arg(r.nearCount);
        if (r.matches.size() < r.fullCount + r.nearCount)
            line += QStringLiteral(" (показаны первые %1)").arg(r.matches.size());
        if (q.unknownFails)
            line += QStringLiteral("; неизвестное считается несовпадением");
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
    const veltris::FinderMatch& m = m_resultsModel->matchAt(row);
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
                         MessageIcon::Information, Answer::Ok);
            return;
        }
    } else {
        // Another base: its record is found by its row, which holds only while the file is the
        // one the search read.
        const auto& identities = m_resultsModel->report().baseIdentities;
        const auto index = static_cast<std::size_t>(m.base);
        const veltris::FileIdentity now = veltris::statIdentity(toFsPath(file));
        if (index >= identities.size() || !now.exists || !now.sameStat(identities[index])) {
            m_ui.message(this, QStringLiteral("Поиск замены"),
                         QStringLiteral("База «%1» изменилась после поиска, запись %2 может быть уже "
                                        "не на прежнем месте. Повторите поиск.")
                             .arg(file, cpToQString(m.name)),
                         MessageIcon::Information, Answer::Ok);
            return;
        }
    }
    emit recordChosen(file, tableRow);
}

void SubstitutePage::exportResults()
{
    if (m_resultsModel->empty())
        return;
    saveTableAsCsv(m_ui, this, [this] { return m_resultsModel->exportTable(); });
}

// ---- comparison ----

std::vector<int> SubstitutePage::selectedResultRows() const
{
    // By ranges: the hidden name column is never part of a selection, so no row is "whole".
    std::vector<int> rows;
    for (const QItemSelectionRange& range : m_resultsView->selectionModel()->selection())
        for (int r = range.top(); r <= range.bottom(); ++r)
            rows.push_back(r);
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    return rows;
}

void SubstitutePage::updateCompareButton()
{
    const std::size_t selected = selectedResultRows().size();
    m_compareButton->setEnabled(selected > 0 && selected < static_cast<std::size_t>(kMaxComparedParts));
}

ComparisonWindow* SubstitutePage::compareParts(std::vector<ComparedPart> parts, QWidget* parent)
{
    const auto refuse = [this](const QString& text) {
        m_ui.message(this, QStringLiteral("Сравнение"), text, MessageIcon::Information, Answer::Ok);
        return nullptr;
    };
    if (parts.size() < 2)
        return refuse(QStringLiteral("Для сравнения нужны образец и хотя бы ещё один прибор."));
    if (parts.size() > static_cast<std::size_t>(kMaxComparedParts))
        return refuse(QStringLiteral("Сравнить можно не более %1 приборов: образец и ещё %2.")
                          .arg(kMaxComparedParts)
                          .arg(kMaxComparedParts - 1));
    const int type = parts.front().deviceType;
    for (const ComparedPart& p : parts)
        if (p.deviceType != type)
            return refuse(QStringLiteral("Сравнивать можно только приборы одного типа."));
    Comparison comparison;
    comparison.deviceType = type;
    comparison.rules = rulesFor(type);
    comparison.parts = std::move(parts);
    auto* w = new ComparisonWindow(m_ui, std::move(comparison), parent ? parent : window());
    w->show();
    w->raise();
    w->activateWindow();
    return w;
}

ComparisonWindow* SubstitutePage::compareRecords(const veltris::ComponentBase& base, const QString& file,
                                                 int reference, std::vector<int> rows, QWidget* parent)
{
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    std::vector<ComparedPart> parts;
    if (reference >= 1 && reference <= base.recordCount())
        parts.push_back(comparedPart(base, reference, file));
    for (int row : rows)
        if (row != reference && row >= 1 && row <= base.recordCount())
            parts.push_back(comparedPart(base, row, file));
    return compareParts(std::move(parts), parent);
}

ComparisonWindow* SubstitutePage::compareSelectedResults()
{
    const std::vector<int> selected = selectedResultRows();
    if (selected.empty() || selected.size() >= static_cast<std::size_t>(kMaxComparedParts)) {
        m_ui.message(this, QStringLiteral("Сравнение"),
                     QStringLiteral("Выделите в результатах от одного до %1 приборов — они будут "
                                    "сравнены с образцом. Выделено: %2.")
                         .arg(kMaxComparedParts - 1)
                         .arg(selected.size()),
                     MessageIcon::Information, Answer::Ok);
        return nullptr;
    }
    const veltris::FinderQuery& q = m_resultsModel->query();
    const auto changed = [this](const std::string& name) {
        m_ui.message(this, QStringLiteral("Сравнение"),
                     QStringLiteral("База изменилась после поиска, записи %1 на прежнем месте нет. "
                                    "Повторите поиск.")
                         .arg(cpToQString(name)),
                     MessageIcon::Information, Answer::Ok);
        return nullptr;
    };
    // Records of the open base are taken from memory, where they must still be; the others are
    // read from their files.
    const auto inOpenBase = [this](int tableRow, const std::string& name) {
        return m_base && tableRow >= 1 && tableRow <= m_base->recordCount() &&
               m_base->table.cell(tableRow, 0) == name;
    };
    if (m_resultsModel->openFile() != m_fileName || !inOpenBase(q.referenceRow + 1, q.referenceName))
        return changed(q.referenceName);
    std::vector<std::optional<ComparedPart>> places;
    places.emplace_back(comparedPart(*m_base, q.referenceRow + 1, m_fileName));
    std::vector<PartAddress> elsewhere;
    std::vector<std::size_t> elsewherePlaces;
    for (const int row : selected) {
        const veltris::FinderMatch& m = m_resultsModel->matchAt(row);
        const QString file = m_resultsModel->baseFile(row);
        if (file == m_fileName || file.isEmpty()) {
            if (!inOpenBase(m.row + 1, m.name))
                return changed(m.name);
            places.emplace_back(comparedPart(*m_base, m.row + 1, m_fileName));
        } else {
            elsewhere.push_back({file.toStdString(), m.row + 1, m.name});
            elsewherePlaces.push_back(places.size());
            places.emplace_back();
        }
    }
    if (!elsewhere.empty()) {
        auto read = readComparedParts(elsewhere, m_catalogue);
        if (!read) {
            showErrorBox(m_ui, this, read.error());
            return nullptr;
        }
        for (std::size_t k = 0; k < elsewherePlaces.size(); ++k)
            places[elsewherePlaces[k]] = std::move((*read)[k]);
    }
    std::vector<ComparedPart> parts;
    parts.reserve(places.size());
    for (auto& place : places)
        parts.push_back(std::move(*place));
    return compareParts(std::move(parts));
}
