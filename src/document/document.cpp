// The open document and its commands: New, Open, Save, Save as, CSV export, records entered,
// delete, sort, base parameters, view columns; the history of changes and the modified flag.
#include "document/document.h"

#include <QDir>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QTimer>
#include <QUndoStack>
#include <algorithm>
#include <atomic>
#include <new>
#include <optional>

#include "base/basefile.h"
#include "base/csvexport.h"
#include "base/csvimport.h"
#include "base/devicetype.h"
#include "base/fileio.h"
#include "base/ini.h"
#include "base/selection.h"
#include "base/tableops.h"
#include "base/tableworkbook.h"
#include "document/baseparameterscommand.h"
#include "document/deleterecordcommand.h"
#include "document/importcommand.h"
#include "document/recordcommand.h"
#include "document/recoverykeeper.h"
#include "document/sortcommand.h"
#include "document/viewcolumnscommand.h"
#include "ui/cptext.h"
#include "ui/errorbox.h"
#include "ui/uiservices.h"

namespace {

const QString kBaseFilter = QStringLiteral("QDB File (*.QDB)");
const QString kBaseSuffix = QStringLiteral("QDB");

// Every failure of a save or an export reads as a write error.
veltris::Error asWriteError(veltris::Error error)
{
    error.kind = veltris::ErrorKind::WriteFailed;
    return error;
}

// The history keeps up to this many steps; on a large base fewer, so that the row orders its
// sorts keep (four bytes a record each) stay within the memory below.
// A base is written only as a regular file under its own name, never through a link or into
// a pipe or device put in its place.
veltris::Status writeBaseFile(const std::filesystem::path& path, std::string_view bytes)
{
    return veltris::writeFileAtomic(path, bytes, "Ошибка записи в файл", veltris::TempFile::Unnamed,
                                    veltris::WriteTarget::RegularFile);
}

constexpr int kHistorySteps = 100;
constexpr int kFewestHistorySteps = 10;
constexpr std::size_t kHistoryOrderMemory = std::size_t{32} << 20;

}  // namespace

Document::Document(Application& application, UiServices& ui)
    : m_app(application), m_ui(ui), m_history(new QUndoStack(this))
{
    connect(m_history, &QUndoStack::indexChanged, this, &Document::updateModified);
    connect(m_history, &QUndoStack::cleanChanged, this, &Document::updateModified);
    // The open file is watched; a change seen is looked at once the events have settled, while
    // the program is the active one (otherwise its next activation looks).
    m_watcher = new QFileSystemWatcher(this);
    m_watchDelay = new QTimer(this);
    m_watchDelay->setSingleShot(true);
    m_watchDelay->setInterval(300);
    connect(m_watcher, &QFileSystemWatcher::fileChanged, m_watchDelay, qOverload<>(&QTimer::start));
    connect(m_watchDelay, &QTimer::timeout, this, [this] {
        if (m_ui.programIsActive())
            checkFileOnDisk();
    });
    m_recovery = new RecoveryKeeper(*this, m_app.paths().recoveryDir);
    for (auto signal :
         {&Document::mainTableChanged, &Document::mainColumnsChanged, &Document::secondTableChanged})
        connect(this, signal, m_recovery, &RecoveryKeeper::noteChange);
    // Every step done, undone or done again is a change to keep, also one pushed from outside
    // the document that tells the views nothing; the flag is brought up to date first (the
    // connection above was made earlier).
    connect(m_history, &QUndoStack::indexChanged, m_recovery, [this] { m_recovery->noteChange(); });
    connect(this, &Document::modifiedChanged, m_recovery, [this](bool modified) {
        if (modified)
            m_recovery->noteChange();
        else
            m_recovery->discard();  // saved, or given up
    });
    resetToEmptyBase();
}

Document::~Document()
{
    // A save under way finishes: the file is never left to a half-finished writer.
    if (m_saveWorker.joinable())
        m_saveWorker.join();
    // The steps refer to the document: they go first. Quietly: an emptied history says the
    // base is unmodified, and that would remove a recovery file the program ends keeping.
    m_history->blockSignals(true);
    m_history->clear();
}

void Document::resetToEmptyBase()
{
    m_base = veltris::makeEmptyBase(m_app.catalogue(), m_app.settings().deviceLabel);
    m_second = veltris::Table(2, 2);
    m_second.setCell(0, 0, m_app.settings().deviceLabel);
    changeFileName(QString());
    m_lock.release();
    followFile({});
    setReadOnly(false);
    startHistory();
}

void Document::setFileName(const QString& name)
{
    m_identity = {};
    changeFileName(name);
    m_realPath = name.isEmpty() ? std::filesystem::path() : veltris::realPathOf(toFsPath(name));
}

void Document::changeFileName(const QString& name)
{
    if (m_fileName == name)
        return;
    m_fileName = name;
    emit fileNameChanged(m_fileName);
}

// ---- history and the modified flag ----

void Document::startHistory(bool modified)
{
    m_history->clear();
    const std::size_t records = static_cast<std::size_t>(std::max(m_base.recordCount(), 1));
    const std::size_t fit = kHistoryOrderMemory / (records * sizeof(std::uint32_t));
    m_history->setUndoLimit(
        static_cast<int>(std::clamp<std::size_t>(fit, kFewestHistorySteps, kHistorySteps)));
    m_changedOutsideHistory = modified;
    updateModified();
}

void Document::setModified(bool modified)
{
    if (modified) {
        m_history->clear();
        m_changedOutsideHistory = true;
    } else {
        m_changedOutsideHistory = false;
        m_history->setClean();
    }
    updateModified();
}

void Document::pushCommand(QUndoCommand* command)
{
    m_history->push(command);
}

bool Document::historyAtSavedState() const
{
    const int saved = m_history->cleanIndex();
    if (saved < 0)
        return false;  // the saved state was left behind by a new step after undo
    const int index = m_history->index();
    for (int i = std::min(saved, index); i < std::max(saved, index); ++i) {
        const auto* step = dynamic_cast<const DocumentCommand*>(m_history->command(i));
        if (!step || step->setsModified())
            return false;
    }
    return true;
}

void Document::updateModified()
{
    if (m_settlingSavedState)
        return;
    const bool modified = m_changedOutsideHistory || !historyAtSavedState();
    if (m_modified == modified)
        return;
    m_modified = modified;
    emit modifiedChanged(modified);
}

int Document::currentRecord() const
{
    return m_currentRecord >= 1 && m_currentRecord < m_base.table.rowCount() ? m_currentRecord : 0;
}

void Document::setCurrentRecord(int row, int column)
{
    m_currentRecord = row;
    emit currentRecordChanged(row, column);
}

const AppPaths& Document::paths() const
{
    return m_app.paths();
}

const veltris::Catalogue& Document::catalogue() const
{
    return m_app.catalogue();
}

void Document::showError(const veltris::Error& error) const
{
    showErrorBox(m_ui, m_ui.mainWindow(), error);
}

// ---- files ----

bool Document::confirmDiscard()
{
    if (!m_modified)
        return true;
    const auto answer = m_ui.message(m_ui.mainWindow(), QStringLiteral("Подтверждение"),
                                     QStringLiteral("Файл не сохранён.\r\nСохранить?"), MessageIcon::None,
                                     Answer::Yes | Answer::No | Answer::Cancel);
    if (answer == Answer::No)
        return true;
    if (answer == Answer::Yes)
        return save();  // a failed or cancelled save keeps the unsaved base
    return false;
}

bool Document::newBase()
{
    if (!confirmDiscard())
        return false;
    resetToEmptyBase();
    emit baseReplaced(Origin::New);
    return true;
}

void Document::openBase()
{
    if (!confirmDiscard())
        return;
    FileDialogRequest req;
    req.filter = kBaseFilter;
    req.defaultSuffix = kBaseSuffix;
    req.startDir = cpToQString(m_app.settings().openFolder);
    req.folderChanged = [this](const QString& folder) { m_app.rememberOpenFolder(folder); };
    QString name = m_ui.openFileName(m_ui.mainWindow(), req);
    if (name.isEmpty())
        return;
    if (!QFileInfo::exists(name))
        name = withDefaultSuffix(name, req.defaultSuffix);
    load(name);  // the name changes only when the base could be read
}

std::optional<veltris::ComponentBase> Document::readBase(const QString& path,
                                                         veltris::FileIdentity& identity) const
{
    auto bytes = veltris::readFileIdentified(toFsPath(path), identity);
    if (!bytes) {
        showError(bytes.error());
        return std::nullopt;
    }
    auto read = veltris::decodeBaseKeeping(std::move(*bytes), m_app.catalogue());
    if (!read) {
        showError(read.error());
        return std::nullopt;
    }
    return std::move(read).value();
}

bool Document::load(const QString& path)
{
    const QString absolute = QFileInfo(path).absoluteFilePath();
    veltris::BaseLock lock;
    bool readOnly = false;
    if (!lockForOpening(absolute, lock, readOnly))
        return false;  // another program has it open and the user chose not to open it
    const bool ownLock = m_lock.held() && m_lock.file() == veltris::lockFileFor(toFsPath(absolute));

    veltris::FileIdentity identity;
    std::optional<veltris::ComponentBase> read = readBase(path, identity);
    if (!read)
        return false;  // name, base and flag stay as they were
    veltris::ComponentBase base = std::move(*read);
    veltris::Table second;
    if (!prepareBase(base, second))
        return false;
    m_base = std::move(base);
    m_second = std::move(second);
    changeFileName(absolute);
    if (!ownLock)
        m_lock = std::move(lock);  // the lock of the base open before goes
    followFile(identity);
    setReadOnly(readOnly);
    startHistory();
    emit baseReplaced(Origin::File);
    // The records before it are open as usual; the user learns what was left out.
    if (m_base.unreadTailBytes > 0)
        m_ui.message(m_ui.mainWindow(), appTitle(),
                     QString::fromStdString(veltris::unreadTailMessage(m_base.unreadTailBytes)),
                     MessageIcon::Warning, Answer::Ok);
    return true;
}

// Everything the new base needs is built before the open base is given up, so running out of
// memory leaves the open base as it was.
bool Document::prepareBase(veltris::ComponentBase& base, veltris::Table& second)
{
    try {
        if (base.table.rowCount() > 0 && base.table.columnCount() > 0)
            base.table.setCell(0, 0, m_app.settings().deviceLabel);
        veltris::rebuildSecondTable(base, second);
    } catch (const std::bad_alloc&) {
        showError(veltris::outOfMemoryError());
        return false;
    }
    return true;
}

void Document::reportWriteFailure(const veltris::Error& error)
{
    showError(asWriteError(error));
    // The cell whose text could not be written comes forward, so it can be put right.
    if (error.row > 0 && error.column > 0)
        emit cellNeedsAttention(error.row, error.column);
}

void Document::followFile(const veltris::FileIdentity& identity)
{
    m_identity = identity;
    m_realPath = m_fileName.isEmpty() ? std::filesystem::path() : veltris::realPathOf(toFsPath(m_fileName));
    m_dismissedChange = {};
    m_missingReported = false;
    watchFile();
}

void Document::wroteFile(const veltris::FileIdentity& identity)
{
    followFile(identity);
    setModified(false);
}

bool Document::writeTo(const QString& path, SaveWay way)
{
    if (m_saving)
        return false;  // the progress window keeps commands away; this is for callers in code
    if (way == SaveWay::Background && m_base.recordCount() >= m_backgroundSaveFrom) {
        startBackgroundSave(path);
        return true;
    }
    const std::filesystem::path target = saveTarget(path);
    auto bytes = veltris::encodeBase(m_base);
    const veltris::Status st = bytes ? writeBaseFile(target, *bytes) : veltris::Status(bytes.error());
    if (!st) {
        reportWriteFailure(st.error());
        return false;
    }
    wroteFile(veltris::writtenIdentity(target, *bytes));
    return true;
}

std::filesystem::path Document::saveTarget(const QString& path) const
{
    if (path == m_fileName && !m_realPath.empty())
        return m_realPath;
    return veltris::realPathOf(toFsPath(path));
}

// ---- background save ----

// What the worker needs, all its own: a snapshot of the base (its columns are shared; the
// window cannot change them while the progress window blocks it) and the target.
struct Document::BackgroundSave {
    veltris::ComponentBase base;
    std::filesystem::path path;
    QString fileName;
    std::atomic<int> step{0};  // 0: making the bytes, 1: writing them
    // Compared with the file before anything is written, when set.
    std::optional<veltris::FileIdentity> expected;
    // Written by the worker, read after it is joined.
    bool diskChanged = false;  // the file is not what `expected` says: nothing was written
    veltris::Status result;
    veltris::FileIdentity written;  // the file as written, when result is ok
};

void Document::startBackgroundSave(const QString& path, bool checkDisk)
{
    auto job = std::make_shared<BackgroundSave>();
    job->base = m_base;
    job->path = saveTarget(path);
    if (checkDisk)
        job->expected = m_identity;
    job->fileName = QFileInfo(path).fileName();
    m_saving = job;
    m_recovery->holdForSave();

    const auto stepText = [job] {
        return QStringLiteral("Сохранение базы «%1»\n%2")
            .arg(job->fileName,
                 job->step == 0 ? QStringLiteral("Подготовка записей…") : QStringLiteral("Запись на диск…"));
    };
    m_saveProgress = m_ui.showProgress(m_ui.mainWindow(), QStringLiteral("saveProgress"),
                                       QStringLiteral("Сохранение"), stepText());
    m_saveProgressTimer = std::make_unique<QTimer>();
    m_saveProgressTimer->setInterval(100);
    connect(m_saveProgressTimer.get(), &QTimer::timeout, this,
            [this, stepText] { m_saveProgress->setText(stepText()); });
    m_saveProgressTimer->start();

    m_saveWorker = std::thread([this, job] {
        try {
            if (job->expected &&
                veltris::checkFile(job->path, *job->expected, veltris::CheckDepth::Thorough).change !=
                    veltris::FileChange::Unchanged) {
                job->diskChanged = true;
                QMetaObject::invokeMethod(
                    this, [this] { finishBackgroundSave(); }, Qt::QueuedConnection);
                return;
            }
            auto bytes = veltris::encodeBase(job->base);
            job->step = 1;
            job->result = bytes ? writeBaseFile(job->path, *bytes) : veltris::Status(bytes.error());
            if (job->result)
                job->written = veltris::writtenIdentity(job->path, *bytes);
        } catch (const std::bad_alloc&) {
            job->result =
                veltris::Error{veltris::ErrorKind::OutOfMemory, "Недостаточно памяти, чтобы записать базу"};
        }
        QMetaObject::invokeMethod(
            this, [this] { finishBackgroundSave(); }, Qt::QueuedConnection);
    });
}

std::shared_ptr<Document::BackgroundSave> Document::joinBackgroundSave()
{
    if (!m_saving)
        return nullptr;
    m_saveWorker.join();
    m_saveProgressTimer.reset();
    m_saveProgress.reset();
    return std::move(m_saving);
}

void Document::finishBackgroundSave()
{
    const std::shared_ptr<BackgroundSave> job = joinBackgroundSave();
    if (!job)
        return;  // waited for already (the window closed)
    if (job->diskChanged) {
        // Another program changed or removed the file: asked here as before any save (the
        // answer may reload the base instead); written on a yes, without a second look.
        const DiskAnswer answer = confirmWriteOverDisk();
        if (answer == DiskAnswer::Write) {
            startBackgroundSave(m_fileName);
            return;
        }
        const bool saved = answer == DiskAnswer::SaveAs && saveAs(SaveWay::Background);
        if (isSaving())
            return;  // a save under the new name began: it tells its end
        if (!saved)
            m_recovery->noteChange();  // the changes are still only in memory
        emit saveFinished(saved);
        return;
    }
    const bool ok = job->result.ok();
    if (ok) {
        wroteFile(job->written);
    } else {
        m_recovery->noteChange();  // the changes are still only in memory
        reportWriteFailure(job->result.error());
    }
    emit saveFinished(ok);
}

void Document::waitForBackgroundSave()
{
    if (const auto job = joinBackgroundSave(); job && !job->diskChanged && job->result.ok())
        wroteFile(job->written);
}

bool Document::save(SaveWay way)
{
    if (m_saving)
        return false;
    if (m_fileName.isEmpty() || m_readOnly)
        return saveAs(way);
    if (way == SaveWay::Background && m_base.recordCount() >= m_backgroundSaveFrom) {
        startBackgroundSave(m_fileName, true);  // the file on disk is compared on the worker
        return true;
    }
    switch (confirmWriteOverDisk()) {
    case DiskAnswer::Write: break;
    case DiskAnswer::Stop: return false;
    case DiskAnswer::SaveAs: return saveAs(way);
    }
    return writeTo(m_fileName, way);
}

bool Document::saveAs(SaveWay way)
{
    if (m_saving)
        return false;
    FileDialogRequest req;
    req.filter = kBaseFilter;
    req.defaultSuffix = kBaseSuffix;
    req.startDir = cpToQString(m_app.settings().saveFolder);
    req.folderChanged = [this](const QString& folder) { m_app.rememberSaveFolder(folder); };
    const QString name = m_ui.saveFileName(m_ui.mainWindow(), req);
    if (name.isEmpty())
        return false;
    const QString target = QFileInfo(withDefaultSuffix(name, req.defaultSuffix)).absoluteFilePath();
    const auto targetFile = toFsPath(target);
    const bool ownLock = m_lock.held() && m_lock.file() == veltris::lockFileFor(targetFile);
    veltris::BaseLock lock;
    if (!ownLock) {
        const veltris::LockAttempt attempt = lock.acquire(targetFile);
        if (attempt.result == veltris::LockResult::Held) {
            const QString text = QStringLiteral("Файл «%1» открыт для изменения: %2.\r\nСохранить поверх?")
                                     .arg(shownFileName(target),
                                          QString::fromStdString(veltris::describeHolder(attempt.holder)));
            if (m_ui.message(m_ui.mainWindow(), QStringLiteral("Подтверждение"), text, MessageIcon::Warning,
                             Answer::Yes | Answer::No) != Answer::Yes)
                return false;
            lock.takeOver(targetFile);
        }
    }
    // The name changes even when the write fails: Save then tries the same file again.
    changeFileName(target);
    m_realPath = veltris::realPathOf(targetFile);
    if (!ownLock) {
        m_lock = std::move(lock);
        m_identity = {};  // nothing is known yet of the file under the new name
    }
    setReadOnly(false);
    return writeTo(m_fileName, way);
}

void Document::exportCsv()
{
    FileDialogRequest req = csvSaveRequest();
    req.startDir = cpToQString(m_app.settings().saveFolder);
    req.folderChanged = [this](const QString& folder) { m_app.rememberSaveFolder(folder); };
    const QString name = m_ui.saveFileName(m_ui.mainWindow(), req);
    if (name.isEmpty())
        return;
    // Written beside and renamed into place: a failure leaves no partial file behind.
    const veltris::Status st =
        veltris::writeCsv(m_base.table, toFsPath(withDefaultSuffix(name, req.defaultSuffix)),
                          veltris::csvColourColumn(m_base.deviceType));
    if (!st)
        showError(asWriteError(st.error()));
}

void Document::exportXlsx()
{
    FileDialogRequest req = xlsxSaveRequest();
    req.startDir = cpToQString(m_app.settings().saveFolder);
    req.folderChanged = [this](const QString& folder) { m_app.rememberSaveFolder(folder); };
    const QString name = m_ui.saveFileName(m_ui.mainWindow(), req);
    if (name.isEmpty())
        return;
    const veltris::Status st =
        veltris::writeTableXlsx(m_base.table, toFsPath(withDefaultSuffix(name, req.defaultSuffix)));
    if (!st)
        showError(asWriteError(st.error()));
}

bool Document::appendImportedRecords(const veltris::Table& records)
{
    if (m_readOnly || records.rowCount() < 2 || records.columnCount() != m_base.table.columnCount())
        return false;  // the dialog offers no adding to a base open read-only, nor of no record
    auto step = std::make_unique<ImportCommand>(*this, records);
    try {
        pushCommand(step.get());
    } catch (const std::bad_alloc&) {
        // The step's first run failed before the history took it; the table is as it was.
        showError(veltris::outOfMemoryError());
        return false;
    }
    (void)step.release();  // the history owns it now
    return true;
}

bool Document::openImportedBase(veltris::ComponentBase base)
{
    if (!confirmDiscard())
        return false;
    veltris::Table second;
    if (!prepareBase(base, second))
        return false;
    m_base = std::move(base);
    m_second = std::move(second);
    // No file yet: the base open before gives up its name, lock and watch.
    m_fileName.clear();
    m_lock.release();
    followFile({});
    setReadOnly(false);
    // Its own history, as for a base opened; nothing saved to go back to.
    startHistory(true);
    emit baseReplaced(Origin::File);
    return true;
}

// ---- records and tables ----

int Document::enterRecord(RecordEntry entry, int row, std::vector<std::string> texts)
{
    const veltris::Table& t = m_base.table;
    bool append = false;
    if (entry == RecordEntry::Add) {
        // The single blank row of a new base takes the first record; otherwise records go to
        // the end. An edit never changes the row count.
        if (t.rowCount() == 2 && veltris::isBlankRecord(t, 1)) {
            row = 1;
        } else {
            append = true;
            row = std::max(t.rowCount(), 1);
        }
    } else if (row < 1 || row >= t.rowCount()) {
        append = true;  // a table of titles only gets its row 1
        row = std::max(t.rowCount(), 1);
    }
    const auto kind = entry == RecordEntry::Add ? RecordCommand::Kind::Add : RecordCommand::Kind::Edit;
    pushCommand(new RecordCommand(*this, kind, row, append, std::move(texts)));
    return row;
}

int Document::writeBackRecord(int row, std::vector<std::string> texts)
{
    const veltris::Table& t = m_base.table;
    const bool append = row < 1 || row >= t.rowCount();
    if (append) {
        row = std::max(t.rowCount(), 1);
    } else {
        // Texts written back unchanged are no step: the base stays as it was.
        bool changed = false;
        const int count = std::min(static_cast<int>(texts.size()), t.columnCount());
        for (int c = 0; c < count && !changed; ++c)
            changed = t.cell(row, c) != texts[static_cast<size_t>(c)];
        if (!changed)
            return row;
    }
    pushCommand(new RecordCommand(*this, RecordCommand::Kind::Edit, row, append, std::move(texts)));
    return row;
}

bool Document::deleteRecord(int row)
{
    // The table keeps at least one record row: the last one can only be cleared by editing.
    if (m_base.table.rowCount() <= 2)
        return false;
    if (row < 1 || row >= m_base.table.rowCount()) {  // the title row stays
        m_ui.beep();
        return false;
    }
    pushCommand(new DeleteRecordCommand(*this, row));
    return true;
}

bool Document::sortByColumn(Table which, int column)
{
    veltris::Table& table = which == Table::Main ? m_base.table : m_second;
    std::vector<std::uint32_t> permutation;
    veltris::Status st;
    {
        const BusyCursor busy(m_ui);
        st = veltris::sortTableRows(table, column, which == Table::Main ? &permutation : nullptr);
    }
    if (!st) {
        // Keys are computed before anything moves: the table is exactly as it was.
        showErrorBox(m_ui, m_ui.mainWindow(), st.error(), ErrorSource::Command);
        return false;
    }
    if (which == Table::Second) {
        emit secondTableChanged();
        return true;
    }
    // The step keeps the permutation the sort made; a sort that moved nothing is no step.
    bool moved = false;
    for (std::size_t i = 0; i < permutation.size() && !moved; ++i)
        moved = permutation[i] != i;
    if (!moved) {
        emit mainTableChanged();
        return true;
    }
    const QString title = column == 0 ? QString() : oneLineTitle(table.cell(0, column));
    pushCommand(new SortCommand(*this, std::move(permutation), title));
    return true;
}

void Document::applyBaseParameters(int deviceType,
                                   const std::array<std::uint8_t, veltris::kMaxParamColumns>& columnMap,
                                   const QString& description)
{
    // Cut to 104 stored bytes, not UTF-16 units: a sign outside the BMP is one "?" in the file.
    pushCommand(new BaseParametersCommand(*this, deviceType, columnMap, qStringToCp(description)));
}

void Document::applyViewColumns(const std::vector<int>& shown)
{
    pushCommand(new ViewColumnsCommand(*this, shown));
}

void Document::viewColumns(std::vector<int>& shown, std::vector<int>& hidden) const
{
    const int cols = m_base.table.columnCount();
    const int used = std::clamp(m_base.secondColumnCount - 1, 0, veltris::kMaxParamColumns);
    shown.clear();
    hidden.clear();
    if (m_base.viewMask[0] != 0) {
        for (int i = 0; i < used; ++i) {
            const int p = m_base.viewMask[static_cast<size_t>(i)];
            if (p >= 1 && p < cols)  // entries naming no column of this table are dropped
                shown.push_back(p);
        }
    }
    for (int p = 1; p < cols; ++p)
        if (std::find(shown.begin(), shown.end(), p) == shown.end())
            hidden.push_back(p);
}

void Document::applyShownList(const std::vector<int>& shown)
{
    veltris::applyShownList(m_base, m_second, shown);
    if (m_second.rowCount() > 0 && m_second.columnCount() > 0)
        m_second.setCell(0, 0, m_app.settings().deviceLabel);
    emit secondTableChanged();
}

void Document::remakeSecondTable()
{
    m_second = veltris::Table();
    rebuildSecondTable();
}

void Document::rebuildSecondTable()
{
    veltris::rebuildSecondTable(m_base, m_second);
    if (m_second.rowCount() > 0 && m_second.columnCount() > 0)
        m_second.setCell(0, 0, m_app.settings().deviceLabel);
    emit secondTableChanged();
}

void Document::showSelection(const std::vector<int>& rows)
{
    veltris::fillSelectionTable(m_base, m_second, rows);
    emit secondTableChanged();
}
