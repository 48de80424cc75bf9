#pragma once
// The open document: the base, its second-table view, its file name, its history of changes
// and the modified flag that follows it, read and shown with the Application's catalogue and
// settings; and every command on them. Questions and
// errors go through UiServices; the document knows no widget and tells the views what changed
// through its signals.
#include <QObject>
#include <QString>
#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "base/baselock.h"
#include "base/componentbase.h"
#include "base/fileidentity.h"
#include "base/result.h"
#include "base/table.h"
#include "document/application.h"

class QFileSystemWatcher;
class QTimer;
class QUndoCommand;
class QUndoStack;
class RecoveryKeeper;
class UiServices;
class WorkProgress;

class Document : public QObject {
    Q_OBJECT
public:
    // How the open base came to be: New, or read from a file.
    enum class Origin {
        New,
        File
    };
    // The two tables a sort can work on.
    enum class Table {
        Main,
        Second
    };
    // How the record dialog's «Ввести» writes: a new record, or the one being edited.
    enum class RecordEntry {
        Add,
        Edit
    };

    // The empty base of `application`'s catalogue; the application must outlive the document.
    Document(Application& application, UiServices& ui);
    // Waits for a background save to end: the file is never left to a half-finished writer.
    ~Document() override;

    // ---- state ----
    // The paths, settings, catalogues and navigator catalogue the document is read and shown with.
    Application& application() const { return m_app; }
    const AppPaths& paths() const;
    UiServices& ui() const { return m_ui; }
    veltris::ComponentBase& base() { return m_base; }
    const veltris::ComponentBase& base() const { return m_base; }
    veltris::Table& mainTable() { return m_base.table; }
    veltris::Table& secondTable() { return m_second; }
    const veltris::Table& secondTable() const { return m_second; }
    const veltris::Catalogue& catalogue() const;

    const QString& fileName() const { return m_fileName; }
    // Another name for the base: nothing is known yet of the file under it.
    void setFileName(const QString& name);
    // Modified: the base differs from what was last read or written beyond the order of its
    // rows. It follows the history: undoing back to the saved state clears it, redo sets it again.
    bool isModified() const { return m_modified; }
    // false: the base is as on disk now (the history's present step becomes the saved state).
    // true: the base was changed outside the history; the history can no longer replay its
    // steps over that change and is dropped, and the base counts as modified until it is saved.
    void setModified(bool modified);

    // ---- history ----
    // Every change to the base is a step on this stack (DocumentCommand, or any QUndoCommand,
    // which then counts as a change of the base). Its undo and redo texts name the steps.
    QUndoStack& undoStack() const { return *m_history; }
    // Runs `command` and keeps it as the latest step (the stack owns it from here). For code
    // outside the document that changes the base: an import, a reload from disk.
    void pushCommand(QUndoCommand* command);

    // ---- the current record ----
    // The main table's current record (1..), the one its view shows current; 0 when the table
    // has no record.
    int currentRecord() const;
    // `row` becomes the current record: currentRecordChanged() takes the main table's view
    // there, to the cell in `column` (1..) or, with 0, in the column it is at.
    void setCurrentRecord(int row, int column = 0);

    // ---- commands ----
    // Unsaved-changes prompt. False when the command must stop: Cancel, or Yes with a save that
    // did not succeed (write error or Save-as cancelled).
    bool confirmDiscard();
    // An empty bipolar base in place of the open one, after confirmDiscard(). False when the
    // user kept the open base.
    bool newBase();
    // Asks for a base file (after confirmDiscard()) and reads it.
    void openBase();
    // Reads `path`; on an error shows its message and changes nothing. On success the base, its
    // second table, name and flag change and baseReplaced(Origin::File) is emitted.
    // The base's lock is taken first: when another running program holds it, the user chooses
    // to open read-only, to open all the same (the lock is taken over) or not to open (false,
    // nothing changes). The lock of the base open before is released once the new one is read.
    bool load(const QString& path);
    // How a save writes. AtOnce: the command returns when the file is written. Background (the
    // menu's and the tool bar's commands): a base of backgroundSaveFrom() records or more is
    // written from a snapshot on a worker thread, under a window-modal progress window that the
    // event loop keeps drawn; the command returns at once and saveFinished() tells the end.
    enum class SaveWay {
        AtOnce,
        Background
    };
    // Writes the base to fileName(), or asks for a name when there is none (or the base is
    // read-only). A write error is shown ("Ошибка записи в файл"); success clears the flag.
    // Before writing, the file is compared with what was loaded or saved last: a change by
    // another program is put to the user (reload / overwrite / cancel), and a file deleted or
    // moved away is written again only when the user agrees. True when written, or when a
    // background write began.
    bool save(SaveWay way = SaveWay::AtOnce);
    // Asks for a name and writes the base there; false when cancelled or not written. The new
    // name is locked (a base another program has open is overwritten only when the user agrees)
    // and the base is no longer read-only.
    bool saveAs(SaveWay way = SaveWay::AtOnce);
    // A background save is under way (its progress window blocks the window meanwhile).
    bool isSaving() const { return m_saving != nullptr; }
    int backgroundSaveFrom() const { return m_backgroundSaveFrom; }
    void setBackgroundSaveFrom(int records) { m_backgroundSaveFrom = records; }

    // ---- the file on disk, the lock, the recovery file (document_disk.cpp) ----
    // Opened read-only: another program has the base open. Editing and Save are off.
    bool isReadOnly() const { return m_readOnly; }
    // The open file as it was loaded or last saved.
    const veltris::FileIdentity& fileIdentity() const { return m_identity; }
    // The lock file this document holds; empty when it holds none.
    QString lockFile() const;
    // The window became active again (or the file watcher saw something): a change by another
    // program is put to the user (reload / overwrite / cancel; a cancelled change is not asked
    // about again until the file changes once more); a file gone is reported once. Does nothing
    // while a modal window is open or a check is running.
    void checkFileOnDisk();
    // Reads the open file again in place of the base in memory, as one step of the history
    // («загрузку заново»): the base equals the file, unmodified, and undoing the step brings
    // back the unsaved changes, modified. Error: shown, nothing changes.
    bool reloadFromDisk();
    // Recovery files of programs that are gone are offered one by one, newest first («Найдены
    // несохранённые изменения базы …»); a file that cannot be read is reported and moved aside.
    // True when one was restored: its base is open with the changes and the flag set, under
    // the original base's name.
    bool offerRecovery();
    RecoveryKeeper& recovery() { return *m_recovery; }
    // The window closes: a background save under way is waited for, the lock is released and
    // the recovery file removed (kept with `keepRecovery`, when the program ends without the
    // user's word on the changes).
    void closeBase(bool keepRecovery = false);
    // Asks for a file name and writes the main table as CSV.
    void exportCsv();
    // Asks for a file name and writes the main table as an XLSX workbook (tableworkbook.h).
    void exportXlsx();
    // Records read from a CSV file (the main table's columns, row 0 titles) go after the main
    // table's rows as one step of the history («импорт из CSV (N записей)»); the single blank
    // row of a new base gives way to them. Undo takes exactly those records away again. False
    // (nothing changes) for a base open read-only or no record to add.
    bool appendImportedRecords(const veltris::Table& records);
    // A base read from a CSV file replaces the open one as opening a file does, after
    // confirmDiscard(), with a history of its own: it has no file name yet and counts as changed
    // until saved (no step undoes that). False when the user kept the open base.
    bool openImportedBase(veltris::ComponentBase base);

    // «Ввести» of the record dialog: one step, which sets the modified flag also when no text
    // changed. `texts` are the cells from column 0 (the name) on. Adding, they go into a new last
    // row, or into row 1 when it is the blank row of a new or empty base; editing, into `row`
    // (a new row 1 when the table has no record). The row written becomes the current record
    // (recordTouched) before the texts reach it. Returns that row.
    int enterRecord(RecordEntry entry, int row, std::vector<std::string> texts);
    // «>» and «<»: the texts written back into `row` (a new row 1 when the table has no record);
    // a step only when a cell or the row count changed. Returns the row written.
    int writeBackRecord(int row, std::vector<std::string> texts);
    // The main table's record `row` (1..) removed; false (with a beep) when there is no such
    // record, and nothing happens while the table holds only one record row.
    bool deleteRecord(int row);
    // The table's rows sorted by core column `column` (0: by name). An error is shown and
    // leaves the table as it was. A sort of the main table is a step of the history that leaves
    // the modified flag alone; a sort of the second table orders a view and is no step.
    bool sortByColumn(Table which, int column);

    // Base parameters accepted: the device type, the column map, the column count and titles
    // they give, an empty second table and the description (cut to its stored size) change;
    // one step, modified.
    void applyBaseParameters(int deviceType,
                             const std::array<std::uint8_t, veltris::kMaxParamColumns>& columnMap,
                             const QString& description);
    // View parameters accepted: the shown list becomes the view mask and the second table; one
    // step, modified.
    void applyViewColumns(const std::vector<int>& shown);
    // The main-table columns shown in the second table and the others, for the view columns
    // dialog: shown in second-table order, entries naming no column of this table dropped.
    void viewColumns(std::vector<int>& shown, std::vector<int>& hidden) const;
    // The main-table columns in `shown` (second-table order) become the view mask and the
    // second table; an empty list leaves the names and one empty column. (The step itself is
    // applyViewColumns; this is what the steps run.)
    void applyShownList(const std::vector<int>& shown);
    // The second table made again from the view mask alone, as after loading the base.
    void remakeSecondTable();
    // A dialog wrote into the main table's cells or rows: the views follow.
    void reportMainTableChange() { emit mainTableChanged(); }
    // The second table rebuilt through the view mask.
    void rebuildSecondTable();
    // The second table becomes the records `rows` of the main table.
    void showSelection(const std::vector<int>& rows);

    // A failure from the core, shown as its message box.
    void showError(const veltris::Error& error) const;

signals:
    // A new or loaded base replaced the open one: every view starts over.
    void baseReplaced(Document::Origin origin);
    // Cells or rows of the main table changed (the size perhaps too).
    void mainTableChanged();
    // The main table's columns changed (device type, titles): widths start over.
    void mainColumnsChanged();
    // The second table was rebuilt or changed.
    void secondTableChanged();
    void modifiedChanged(bool modified);
    // Opened read-only, or editable again (Save as, another base).
    void readOnlyChanged(bool readOnly);
    // The base's file name changed (empty: a new base never saved).
    void fileNameChanged(const QString& fileName);
    // A step reached the main table's record `row` (0: the table as a whole, no one record):
    // the views show the main table with that record current. A step made for the first time
    // says so where the record it writes becomes current; undo and redo always do.
    void recordTouched(int row);
    // The current record is now `row` (setCurrentRecord's `column` with it).
    void currentRecordChanged(int row, int column);
    // A save failed on the text of this cell (data row from 1, column): the user can put it right.
    void cellNeedsAttention(int row, int column);
    // A background save ended (its error, if any, already shown).
    void saveFinished(bool ok);

private:
    struct BackgroundSave;

    void resetToEmptyBase();
    bool writeTo(const QString& path, SaveWay way = SaveWay::AtOnce);
    // Shows a failed write's error and brings the cell it names forward.
    void reportWriteFailure(const veltris::Error& error);
    // The file as it now is on disk (nothing for no file) is the one watched for changes by others;
    // what was asked about the file before is forgotten.
    void followFile(const veltris::FileIdentity& identity);
    // The open file was written and now has `identity`: the watch and the flag follow.
    void wroteFile(const veltris::FileIdentity& identity);
    // `checkDisk`: the worker first compares the file with m_identity as confirmWriteOverDisk()
    // does (reading a very large file would stop the window), and writes only when it is
    // unchanged; otherwise the window asks as before a save and starts again on the answer.
    void startBackgroundSave(const QString& path, bool checkDisk = false);
    // The worker of a save under way joined and its progress window gone; null when none ran.
    std::shared_ptr<BackgroundSave> joinBackgroundSave();
    void finishBackgroundSave();
    // A save under way ends here and now (the window closes): the file is whole, and a base
    // written needs no recovery. Its failure is not shown; the recovery file keeps the changes.
    void waitForBackgroundSave();
    // A new base or file: no step before it, the limit of the history fitted to its size.
    // `modified`: the base is not the one on disk (made from a CSV file, restored).
    void startHistory(bool modified = false);
    void updateModified();
    // Whether the steps between the present one and the saved state only reorder rows.
    bool historyAtSavedState() const;
    // The name changes; the file's identity is the caller's business.
    void changeFileName(const QString& name);
    // The lock for opening `path` into `lock` (left empty when this document holds it already
    // or none can be made there). False when the user chose not to open it.
    bool lockForOpening(const QString& path, veltris::BaseLock& lock, bool& readOnly);
    // The base in the file at `path`, read whole and decoded, and the identity of what was read;
    // nothing when it cannot be read (the failure is shown).
    std::optional<veltris::ComponentBase> readBase(const QString& path,
                                                   veltris::FileIdentity& identity) const;
    // The read base with its second table, ready to be shown; false (error shown) on failure.
    bool prepareBase(veltris::ComponentBase& base, veltris::Table& second);
    // What to do with a save after the file on disk was looked at.
    enum class DiskAnswer {
        Write,   // write under the name (unchanged, or the user agreed)
        Stop,    // do not write (cancelled, or reloaded instead)
        SaveAs,  // write under another name: the name no longer leads to the base's file
    };
    // Asks before a save when the file changed on disk or went away, or when its name now
    // leads to another file or to no file at all (then only «Сохранить как…» is offered).
    DiskAnswer confirmWriteOverDisk();
    // The name leads elsewhere or to no file: says so and offers «Сохранить как…»; true when
    // the user took it.
    bool askSaveElsewhere(const veltris::NameCheck& name);
    // Where a save of `path` writes: the path its name led to when the base was opened or
    // last saved, for the open file's name (never through a link that has changed since).
    std::filesystem::path saveTarget(const QString& path) const;
    void setReadOnly(bool readOnly);
    // The watcher follows the open file (again after a replacement made it lose track).
    void watchFile();
    // Moves an unreadable recovery file aside and says so.
    void reportUnreadableRecovery(const QString& file, const QString& reason);
    QString shownFileName(const QString& path) const;

    Application& m_app;
    UiServices& m_ui;

    veltris::ComponentBase m_base;
    veltris::Table m_second;
    QString m_fileName;
    int m_currentRecord = 0;
    QUndoStack* m_history = nullptr;
    bool m_modified = false;
    bool m_changedOutsideHistory = false;
    bool m_settlingSavedState = false;  // the flag waits until the new saved state is set
    // A 5-million-record base takes about 8 s to write; 200,000 records well under half a second.
    int m_backgroundSaveFrom = 200000;
    std::shared_ptr<BackgroundSave> m_saving;
    std::thread m_saveWorker;
    std::unique_ptr<WorkProgress> m_saveProgress;
    std::unique_ptr<QTimer> m_saveProgressTimer;

    bool m_readOnly = false;
    veltris::BaseLock m_lock;
    veltris::FileIdentity m_identity;
    // Where the name led (through links) when the base was opened or last saved: a save writes
    // there, and only while the name still leads there.
    std::filesystem::path m_realPath;
    // A change the user answered «Отмена» to on activation: not asked about again.
    veltris::FileIdentity m_dismissedChange;
    bool m_missingReported = false;
    bool m_checkingDisk = false;
    QFileSystemWatcher* m_watcher = nullptr;
    QTimer* m_watchDelay = nullptr;
    RecoveryKeeper* m_recovery = nullptr;
};
