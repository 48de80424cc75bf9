#include "document/recoverykeeper.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <algorithm>

#include <unistd.h>

#include "base/fileio.h"
#include "base/recovery.h"
#include "document/document.h"
#include "ui/cptext.h"

RecoveryKeeper::RecoveryKeeper(Document& document, QString folder)
    : QObject(&document), m_document(document), m_folder(std::move(folder))
{
    m_quiet.setSingleShot(true);
    m_quiet.setInterval(kQuietMs);
    connect(&m_quiet, &QTimer::timeout, this, [this] { writeNow(); });
}

void RecoveryKeeper::setDelays(int quietMs, int longestMs)
{
    m_quiet.setInterval(quietMs);
    m_longestMs = longestMs;
}

void RecoveryKeeper::noteChange()
{
    if (!m_document.isModified() || m_folder.isEmpty())
        return;
    if (!m_pendingSince.isValid())
        m_pendingSince.start();
    const qint64 left = m_longestMs - m_pendingSince.elapsed();
    if (left <= 0) {
        writeNow();
        return;
    }
    // Quiet for a few seconds, yet never later than the longest wait since the first change.
    m_quiet.start(static_cast<int>(std::min<qint64>(m_quiet.interval(), left)));
}

QString RecoveryKeeper::newFileName() const
{
    return m_folder +
           QStringLiteral("/%1-%2.recovery").arg(::getpid()).arg(QDateTime::currentMSecsSinceEpoch());
}

bool RecoveryKeeper::writeNow()
{
    m_quiet.stop();
    m_pendingSince.invalidate();
    if (!m_document.isModified())
        return true;
    if (m_folder.isEmpty())
        return false;
    // The changes are the user's alone: the folder is open to nobody else.
    if (!QDir().mkpath(m_folder))
        return false;
    QFile::setPermissions(m_folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

    veltris::RecoveryInfo info;
    info.basePath = toFsPath(m_document.fileName()).string();
    info.owner = veltris::currentProcess();
    info.identity = m_document.fileIdentity();
    auto bytes = veltris::encodeRecovery(info, m_document.base());
    if (!bytes) {
        qWarning("recovery file not written: %s", bytes.error().message.c_str());
        return false;
    }
    if (m_file.isEmpty())
        m_file = newFileName();
    const veltris::Status st = veltris::writeFileAtomic(toFsPath(m_file), *bytes);
    if (!st) {
        qWarning("recovery file %s not written: %s", qPrintable(m_file), st.error().reason.c_str());
        return false;
    }
    // The new file is this program's by its stamp; the lock keeps programs starting meanwhile
    // from even reading it. (A claim on an adopted file, now replaced, ends here.)
    m_claim = veltris::RecoveryClaim::claim(toFsPath(m_file));
    return true;
}

void RecoveryKeeper::discard()
{
    m_quiet.stop();
    m_pendingSince.invalidate();
    if (!m_file.isEmpty())
        QFile::remove(m_file);
    m_file.clear();
    m_claim.release();
}

void RecoveryKeeper::holdForSave()
{
    m_quiet.stop();
}

void RecoveryKeeper::adopt(const QString& file, veltris::RecoveryClaim claim)
{
    if (!m_file.isEmpty() && m_file != file)
        QFile::remove(m_file);
    m_file = file;
    m_claim = std::move(claim);
    writeNow();
}
