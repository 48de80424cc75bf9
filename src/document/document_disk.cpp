// The document's file on disk (the part of Document declared under "the file on disk, the lock,
// the recovery file" in document.h): the file changed or removed by another program, the lock
// that keeps a second editor off, and the recovery files of a program that ended without saving.
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QScopedValueRollback>
#include <QUndoStack>
#include <limits>
#include <new>

#include "base/basefile.h"
#include "base/fileio.h"
#include "base/recovery.h"
#include "base/tableops.h"
#include "document/document.h"
#include "document/recoverykeeper.h"
#include "document/reloadcommand.h"
#include "ui/cptext.h"
#include "ui/errorbox.h"
#include "ui/uiservices.h"

namespace {

const QString kReload = QStringLiteral("Загрузить заново");
const QString kOverwrite = QStringLiteral("Сохранить поверх");
const QString kCancel = QStringLiteral("Отмена");
const QString kOpenReadOnly = QStringLiteral("Открыть только для чтения");
const QString kOpenAnyway = QStringLiteral("Открыть всё равно");
const QString kSaveAs = QStringLiteral("Сохранить как…");
const QString kYes = QStringLiteral("Да");
const QString kNo = QStringLiteral("Нет");
// The index choice() gives for a question closed without an answer (two buttons offered).
constexpr int kUnanswered = 2;

// «Файл «X» изменён другой программой.», with what the answers do to unsaved changes.
QString changedText(const QString& name, bool modified)
{
    QString text = QStringLiteral("Файл «%1» изменён другой программой.").arg(name);
    if (modified)
        text += QStringLiteral(
            "\r\nВ окне есть несохранённые изменения. «Загрузить заново» покажет файл с "
            "диска, а команда «Отменить» вернёт изменения.");
    return text;
}

// The name no longer leads to the base's file.
QString nameTroubleText(const QString& name, const veltris::NameCheck& check)
{
    const QString what = check.leads == veltris::NameLeads::Elsewhere
                             ? QStringLiteral("на месте базы теперь ссылка на «%1»")
                                   .arg(QDir::toNativeSeparators(fromFsPath(check.now)))
                             : QStringLiteral("на месте базы теперь не файл");
    return QStringLiteral(
               "Файл «%1» изменён другой программой: %2.\r\n"
               "Записать туда базу нельзя. Сохранить её под другим именем?")
        .arg(name, what);
}

bool nameLeadsAway(const veltris::NameCheck& check)
{
    return check.leads == veltris::NameLeads::Elsewhere || check.leads == veltris::NameLeads::ToNoFile;
}

QString fromUtf8(const std::string& text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

QString Document::shownFileName(const QString& path) const
{
    return QDir::toNativeSeparators(path);
}

QString Document::lockFile() const
{
    return m_lock.held() ? fromFsPath(m_lock.file()) : QString();
}

void Document::setReadOnly(bool readOnly)
{
    if (m_readOnly == readOnly)
        return;
    m_readOnly = readOnly;
    emit readOnlyChanged(readOnly);
}

void Document::watchFile()
{
    // An atomic save by anyone (this program included) puts a new file under the name: the
    // watch on the old one is dropped and the name watched afresh.
    const QStringList watched = m_watcher->files();
    if (!watched.isEmpty())
        m_watcher->removePaths(watched);
    if (!m_fileName.isEmpty() && QFileInfo::exists(m_fileName))
        m_watcher->addPath(m_fileName);
}

// ---- the lock ----

bool Document::lockForOpening(const QString& path, veltris::BaseLock& lock, bool& readOnly)
{
    readOnly = false;
    const auto file = toFsPath(path);
    if (m_lock.held() && m_lock.file() == veltris::lockFileFor(file))
        return true;  // this document has it open already
    if (!QFileInfo(path).isFile())
        return true;  // nothing to lock: the read says what is wrong
    const veltris::LockAttempt attempt = lock.acquire(file);
    if (attempt.result != veltris::LockResult::Held)
        return true;  // taken; or none can be made there (a read-only folder): opened as it is
    const QString text = QStringLiteral("Файл «%1» уже открыт для изменения: %2.")
                             .arg(shownFileName(path), fromUtf8(veltris::describeHolder(attempt.holder)));
    const int answer = m_ui.choice(m_ui.mainWindow(), QStringLiteral("Предупреждение"), text,
                                   MessageIcon::Warning, {kOpenReadOnly, kOpenAnyway, kCancel}, 2);
    if (answer == 0) {
        readOnly = true;
        return true;
    }
    if (answer == 1) {
        lock.takeOver(file);  // when it cannot be written the base opens without a lock
        return true;
    }
    return false;
}

// ---- changes on disk ----

bool Document::askSaveElsewhere(const veltris::NameCheck& name)
{
    return m_ui.choice(m_ui.mainWindow(), QStringLiteral("Подтверждение"),
                       nameTroubleText(shownFileName(m_fileName), name), MessageIcon::Warning,
                       {kSaveAs, kCancel}, 1) == 0;
}

Document::DiskAnswer Document::confirmWriteOverDisk()
{
    QScopedValueRollback<bool> checking(m_checkingDisk, true);
    // First where the name leads: a save never goes through a link to another file, nor into
    // a pipe or device put in the base's place.
    const veltris::NameCheck where = veltris::checkName(toFsPath(m_fileName), m_realPath);
    if (nameLeadsAway(where))
        return askSaveElsewhere(where) ? DiskAnswer::SaveAs : DiskAnswer::Stop;
    const veltris::FileCheck check = veltris::checkFile(where.now, m_identity, veltris::CheckDepth::Thorough);
    const QString name = shownFileName(m_fileName);
    switch (check.change) {
    case veltris::FileChange::Unchanged:
        if (check.current.hashed)
            m_identity = check.current;
        return DiskAnswer::Write;
    case veltris::FileChange::Missing:
        return m_ui.message(m_ui.mainWindow(), QStringLiteral("Подтверждение"),
                            QStringLiteral("Файл «%1» удалён или перемещён другой программой.\r\n"
                                           "Сохранить его заново под этим именем?")
                                .arg(name),
                            MessageIcon::Warning, Answer::Yes | Answer::No) == Answer::Yes
                   ? DiskAnswer::Write
                   : DiskAnswer::Stop;
    case veltris::FileChange::Changed: break;
    }
    const int answer =
        m_ui.choice(m_ui.mainWindow(), QStringLiteral("Подтверждение"), changedText(name, m_modified),
                    MessageIcon::Warning, {kReload, kOverwrite, kCancel}, 2);
    if (answer == 1)
        return DiskAnswer::Write;
    if (answer == 0)
        reloadFromDisk();
    return DiskAnswer::Stop;
}

void Document::checkFileOnDisk()
{
    if (m_fileName.isEmpty() || !m_identity.exists || m_checkingDisk || m_saving || m_ui.modalWindowOpen())
        return;
    QScopedValueRollback<bool> checking(m_checkingDisk, true);
    watchFile();
    const veltris::NameCheck where = veltris::checkName(toFsPath(m_fileName), m_realPath);
    if (nameLeadsAway(where)) {
        // Said once; the next Save says it again.
        if (!m_missingReported) {
            m_missingReported = true;
            if (askSaveElsewhere(where))
                saveAs(SaveWay::Background);
        }
        return;
    }
    const veltris::FileCheck check = veltris::checkFile(where.now, m_identity, veltris::CheckDepth::Quick);
    const QString name = shownFileName(m_fileName);
    switch (check.change) {
    case veltris::FileChange::Unchanged:
        if (check.current.hashed)
            m_identity = check.current;  // the same bytes: the next check trusts the new state
        m_missingReported = false;
        return;
    case veltris::FileChange::Missing:
        if (!m_missingReported) {
            m_missingReported = true;
            m_ui.message(m_ui.mainWindow(), QStringLiteral("Предупреждение"),
                         QStringLiteral("Файл «%1» удалён или перемещён другой программой.").arg(name),
                         MessageIcon::Warning, Answer::Ok);
        }
        return;
    case veltris::FileChange::Changed: break;
    }
    m_missingReported = false;
    if (m_dismissedChange.exists && check.current.sameStat(m_dismissedChange))
        return;  // answered «Отмена» already; asked again before a save
    // A read-only base has nothing of its own to write over the other program's file.
    QStringList buttons{kReload, kOverwrite, kCancel};
    if (m_readOnly)
        buttons.removeAt(1);
    const int answer =
        m_ui.choice(m_ui.mainWindow(), QStringLiteral("Подтверждение"), changedText(name, m_modified),
                    MessageIcon::Warning, buttons, static_cast<int>(buttons.size()) - 1);
    const QString chosen = buttons.value(answer);
    if (chosen == kReload)
        reloadFromDisk();
    else if (chosen == kOverwrite)
        writeTo(m_fileName, SaveWay::Background);
    else
        m_dismissedChange = check.current;
}

bool Document::reloadFromDisk()
{
    veltris::FileIdentity identity;
    std::optional<veltris::ComponentBase> read = readBase(m_fileName, identity);
    if (!read)
        return false;
    veltris::ComponentBase base = std::move(*read);
    veltris::Table second;
    if (!prepareBase(base, second))
        return false;
    ReloadCommand* step = nullptr;
    try {
        step = new ReloadCommand(*this, std::move(base), std::move(second));
    } catch (const std::bad_alloc&) {
        showError(veltris::outOfMemoryError());
        return false;
    }
    m_identity = identity;
    m_dismissedChange = {};
    m_missingReported = false;
    watchFile();
    // One step: undone, the base in memory comes back with its unsaved changes and the steps
    // that led to it. The base now equals the file, so this step is the saved state; every
    // state before it differs from the file.
    {
        // The flag moves once, from what it was to unmodified, not through the step's own state.
        QScopedValueRollback<bool> settling(m_settlingSavedState, true);
        // A reload step holds the whole base it gave up: the history keeps one such base at
        // most, so the steps before an earlier reload go.
        for (int i = 0; i < m_history->count(); ++i) {
            if (dynamic_cast<const ReloadCommand*>(m_history->command(i))) {
                m_history->clear();
                break;
            }
        }
        pushCommand(step);
        m_history->setClean();
    }
    m_changedOutsideHistory = false;
    updateModified();
    return true;
}

// ---- recovery ----

void Document::reportUnreadableRecovery(const QString& file, const QString& reason)
{
    const std::filesystem::path aside = veltris::moveRecoveryAside(toFsPath(file));
    QString text =
        QStringLiteral("Не удалось прочитать файл восстановления «%1»: %2.").arg(shownFileName(file), reason);
    if (!aside.empty())
        text += QStringLiteral("\r\nОн перенесён в «%1».").arg(shownFileName(fromFsPath(aside)));
    showWarningBox(m_ui, m_ui.mainWindow(), text);
}

bool Document::offerRecovery()
{
    if (m_app.paths().recoveryDir.isEmpty())
        return false;
    for (const std::filesystem::path& path :
         veltris::listRecoveryFiles(toFsPath(m_app.paths().recoveryDir))) {
        const QString file = fromFsPath(path);
        if (file == m_recovery->file())
            continue;
        // Claimed first: a program starting at the same time, or one that restored this file
        // and runs on, holds it and is left to it.
        veltris::RecoveryClaim claim = veltris::RecoveryClaim::claim(path);
        if (!claim)
            continue;
        // A base's bytes with texts beside them, written by this program: only memory limits it.
        auto bytes = veltris::readFileBytes(path, std::numeric_limits<std::uint64_t>::max());
        if (!claim.stillNamed())
            continue;  // replaced while it was read: another program's now
        if (!bytes) {
            reportUnreadableRecovery(file, fromUtf8(bytes.error().message));
            continue;
        }
        auto info = veltris::decodeRecoveryInfo(*bytes);
        if (!info) {
            reportUnreadableRecovery(file, fromUtf8(info.error().message));
            continue;
        }
        if (!veltris::processGone(info->owner))
            continue;  // its program still runs (or ran on another computer)
        const QString base =
            info->basePath.empty() ? QStringLiteral("без имени") : shownFileName(fromFsPath(info->basePath));
        const QString when = fromUtf8(veltris::formatLocalTime(info->owner.time));
        // «Нет» alone gives the changes up; a question closed unanswered (Escape, the title
        // bar's button, the program ending) keeps the file for the next start.
        const int answer = m_ui.choice(
            m_ui.mainWindow(), QStringLiteral("Подтверждение"),
            QStringLiteral("Найдены несохранённые изменения базы «%1» от %2. Восстановить?").arg(base, when),
            MessageIcon::Question, {kYes, kNo}, kUnanswered);
        if (answer == 1) {
            claim.remove();  // given up
            continue;
        }
        if (answer != 0)
            continue;

        auto recovered = veltris::decodeRecovery(*bytes, m_app.catalogue());
        bytes = std::string();
        if (!recovered) {
            reportUnreadableRecovery(file, fromUtf8(recovered.error().message));
            continue;
        }
        const QString basePath = info->basePath.empty() ? QString() : fromFsPath(info->basePath);
        veltris::BaseLock lock;
        bool readOnly = false;
        if (!basePath.isEmpty() && !lockForOpening(basePath, lock, readOnly))
            return false;  // not opened after all: the file stays for next time
        veltris::ComponentBase restored = std::move(recovered->base);
        veltris::Table second;
        if (!prepareBase(restored, second))
            return false;
        m_base = std::move(restored);
        m_second = std::move(second);
        changeFileName(basePath);
        m_realPath = basePath.isEmpty() ? std::filesystem::path() : veltris::realPathOf(toFsPath(basePath));
        if (!(m_lock.held() && !basePath.isEmpty() &&
              m_lock.file() == veltris::lockFileFor(toFsPath(basePath))))
            m_lock = std::move(lock);
        // The changes were made over the file as it was then: a later change by another
        // program is put to the user before Save writes over it.
        m_identity = recovered->info.identity;
        m_dismissedChange = {};
        m_missingReported = false;
        watchFile();
        setReadOnly(readOnly);
        emit baseReplaced(Origin::File);
        setModified(true);
        m_recovery->adopt(file, std::move(claim));
        return true;
    }
    return false;
}

void Document::closeBase(bool keepRecovery)
{
    waitForBackgroundSave();
    if (!keepRecovery)
        m_recovery->discard();
    m_lock.release();
    const QStringList watched = m_watcher->files();
    if (!watched.isEmpty())
        m_watcher->removePaths(watched);
}
