#pragma once
// Keeps the unsaved changes of the open base in a recovery file: written a few seconds after
// the changes stop, and at least once a minute while they go on; removed when the changes are
// saved or given up. The file lies in the user's data folder (never beside the base) and names
// the base and this program (see base/recovery.h).
#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTimer>

#include "base/recovery.h"

class Document;

class RecoveryKeeper : public QObject {
    Q_OBJECT
public:
    static constexpr int kQuietMs = 3000;     // written once the changes have stopped this long
    static constexpr int kLongestMs = 60000;  // and at least this often while they go on

    RecoveryKeeper(Document& document, QString folder);

    // The delays (tests shorten them).
    void setDelays(int quietMs, int longestMs);

    // The document changed: a write is planned when it holds unsaved changes.
    void noteChange();
    // Writes the recovery file now when the document holds unsaved changes; true when it was
    // written or there was nothing to keep. A failure is not shown (the next change tries
    // again); it is returned.
    bool writeNow();
    // The changes were saved or given up: no file is kept, no write is planned.
    void discard();
    // A save of the changes has begun on a worker thread: no write is planned while it runs (a
    // recovery file of a very large base takes as long as the save, and the window would stop
    // for it). A save that fails plans one again with noteChange().
    void holdForSave();
    // A recovery file of an earlier program whose changes were restored becomes this program's:
    // it is rewritten at once with this program's stamp, and later writes replace it. The claim
    // on it is kept until then, so no other program takes it meanwhile.
    void adopt(const QString& file, veltris::RecoveryClaim claim);

    // The file written (empty until the first write).
    QString file() const { return m_file; }
    bool writePlanned() const { return m_quiet.isActive(); }

private:
    QString newFileName() const;

    Document& m_document;
    QString m_folder;
    QString m_file;
    // The lock on the file written (or adopted): other programs starting leave it alone.
    veltris::RecoveryClaim m_claim;
    QTimer m_quiet;
    QElapsedTimer m_pendingSince;  // valid while changes wait for a write
    int m_longestMs = kLongestMs;
};
