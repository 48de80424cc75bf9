#pragma once
// The page «Замена»: replacement parts for a reference record, judged by a rule per parameter,
// ranked, with near misses, in the open base or in every base of its type in the library.
//
// The results stay fresh: a change of a rule, of the scope, of the strict option, of the limits
// or of the reference searches the open base again at once (on the worker thread, the page
// staying usable; a change made meanwhile replaces that search); in the library scope the old
// results are greyed as out of date until «Найти замену» is pressed.
//
// The page is self-contained; its host (the main window) does four things:
//  - calls setOpenBase() whenever the open base is replaced or edited (the page keeps the
//    pointer, reads it only on the GUI thread, and gives its search worker a copy);
//  - calls setReference() with the current record when the page is shown, and, for the menu
//    «Правка» entry, setReference() then startSearch();
//  - handles recordChosen(): makes that record current, opening the other base first (behind its
//    unsaved-changes prompt) when the file is not the open one, then calls setOpenBase();
//  - does not rescan the navigator catalogue while isSearching() (a library search reads it; the
//    window-modal progress window keeps the user from doing so).
// It also opens the comparison window for the records others choose (compareParts).
// The page and its controls carry the help topic HelpTopic::Substitute.
// The user's rules are written to the settings file at once, section Substitute_<code>; the
// strict option too, section Substitute, key UnknownFails.
#include <QFrame>
#include <QString>
#include <memory>
#include <optional>
#include <vector>

#include "base/finder.h"
#include "base/ini.h"
#include "search/comparison.h"
#include "search/substituteworker.h"
#include "ui/uiservices.h"

class ComparisonWindow;
class NameColumnHeader;
class QButtonGroup;
class QCheckBox;
class QDialog;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QRadioButton;
class QSpinBox;
class SubstituteProgress;
class QStringListModel;
class QTableView;
class QTimer;
class SettingsFile;
class SubstituteResultsModel;
class SubstituteRulesModel;

namespace veltris {
class Catalogue;
class NavigatorCatalogue;
struct ComponentBase;
}  // namespace veltris

class SubstitutePage : public QFrame {
    Q_OBJECT
public:
    // How many names the name box lists at most.
    static constexpr int kMaxListedNames = 500;

    // `settings`: the program settings, where the rules and the strict option are kept;
    // `dataDir`: the folder with substitute.ini. The settings, the catalogue and the navigator
    // catalogue must outlive the page.
    SubstitutePage(UiServices& ui, SettingsFile& settings, const QString& dataDir,
                   const veltris::Catalogue& catalogue, const veltris::NavigatorCatalogue& navigator,
                   QWidget* parent = nullptr);
    ~SubstitutePage() override;

    // The open base (nullptr: none) and its file (empty for a new base). A search running on the
    // previous contents is cancelled. The reference stays while the same file still holds the
    // same name at its row; the results stay, and a double-click checks them against the base.
    void setOpenBase(const veltris::ComponentBase* base, const QString& fileName);

    // Table row 1.. of the open base as the reference; an invalid row clears it.
    void setReference(int row);
    // The reference's table row, 0 when none.
    int referenceRow() const { return m_referenceRow + 1; }

    // Runs the search with the rules shown («Найти замену»); returns at once, the results come
    // when it ends. A search started by a change of the rules is replaced by this one.
    void startSearch();
    bool isSearching() const { return m_job != nullptr; }
    // Whether the results shown answer the rules, scope and reference shown.
    bool resultsStale() const;

    // Opens the comparison window over `parts` (the reference first, at most kMaxComparedParts,
    // all of one device type), judged by this page's rules of that type; the window is a child
    // of `parent` (the page's window when null). Returns it; nullptr after a message when the
    // parts cannot be compared (fewer than two, too many, of different types).
    ComparisonWindow* compareParts(std::vector<ComparedPart> parts, QWidget* parent = nullptr);
    // The same for table rows 1.. of `base` (kept in `file`): the reference is `reference`, the
    // others follow in table order.
    ComparisonWindow* compareRecords(const veltris::ComponentBase& base, const QString& file, int reference,
                                     std::vector<int> rows, QWidget* parent = nullptr);
    // The selected results beside the reference (the page's «Сравнить…»).
    ComparisonWindow* compareSelectedResults();

    // ---- the controls, for the host's tests ----
    QLineEdit* nameEdit() const { return m_nameEdit; }
    QListWidget* nameList() const { return m_nameList; }
    QLabel* referenceLabel() const { return m_referenceLabel; }
    QTableView* rulesView() const { return m_rulesView; }
    SubstituteRulesModel* rulesModel() const { return m_rulesModel; }
    QPushButton* defaultsButton() const { return m_defaultsButton; }
    QRadioButton* openBaseScope() const { return m_scopeOpen; }
    QRadioButton* libraryScope() const { return m_scopeLibrary; }
    QSpinBox* nearMissSpin() const { return m_nearSpin; }
    QSpinBox* topSpin() const { return m_topSpin; }
    QPushButton* findButton() const { return m_findButton; }
    QPushButton* exportButton() const { return m_exportButton; }
    QPushButton* compareButton() const { return m_compareButton; }
    QCheckBox* strictBox() const { return m_strictBox; }
    QLabel* countLabel() const { return m_countLabel; }
    QTableView* resultsView() const { return m_resultsView; }
    SubstituteResultsModel* resultsModel() const { return m_resultsModel; }
    // The progress window of the running search (nullptr when none runs).
    QDialog* progressDialog() const;
    QPushButton* cancelButton() const;

signals:
    // A result was double-clicked: `baseFile` as the finder gave it (the open base's file name
    // for its own records), `row` the record's table row 1...
    void recordChosen(const QString& baseFile, int row);

private:
    void buildControls();
    // A search for the rules, scope or reference just changed: at once in the open base (no
    // progress window, the page stays usable), the old results marked stale in the library.
    void refreshResults();
    void runSearch(bool automatic);
    void startWorker(const std::shared_ptr<SubstituteJob>& job, const veltris::NavigatorCatalogue* navigator);
    void saveStrictOption();
    veltris::RuleSet rulesFor(int deviceType) const;
    void updateCompareButton();
    std::vector<int> selectedResultRows() const;
    void loadRulesFor(int deviceType);
    void refreshTitles();
    QStringList parameterTitles() const;
    void showReference();
    void updateNameList();
    void chooseListedName(int listRow);
    // Enter in the name box: the one part the typed name means, or the list to pick from.
    void pickTypedName();
    void saveRules();
    // A change of the settings that failed, said once.
    void reportSettingsFailure(const veltris::Status& status);
    // A number typed outside its range, said in a message after the editing.
    void reportOutOfRange(const QString& message);
    void restoreDefaults();
    void finishSearch(const std::shared_ptr<SubstituteJob>& job);
    void cancelSearch();
    void updateProgress();
    void showCounts(const QString& extra = {});
    void openResult(int row);
    void exportResults();

    UiServices& m_ui;
    SettingsFile& m_settings;
    const veltris::Catalogue& m_catalogue;
    const veltris::NavigatorCatalogue& m_navigator;
    std::optional<veltris::SubstituteDefaults> m_defaults;
    QString m_defaultsError;
    bool m_settingsWarned = false;
    bool m_outOfRangePending = false;

    const veltris::ComponentBase* m_base = nullptr;
    QString m_fileName;
    int m_referenceRow = -1;  // source row (table row - 1)
    std::string m_referenceName;
    // Names of the open base for the name box, built when first needed after a change.
    std::optional<veltris::FinderSource> m_names;
    std::vector<int> m_listedRows;

    std::shared_ptr<SubstituteJob> m_job;
    SubstituteWorker m_worker;
    // A search asked for while another ran: it starts when that one ends (true: by the user).
    std::optional<bool> m_pendingSearch;

    QWidget* m_body = nullptr;
    QLineEdit* m_nameEdit = nullptr;
    QListWidget* m_nameList = nullptr;
    QLabel* m_referenceLabel = nullptr;
    QTableView* m_rulesView = nullptr;
    SubstituteRulesModel* m_rulesModel = nullptr;
    QPushButton* m_defaultsButton = nullptr;
    QRadioButton* m_scopeOpen = nullptr;
    QRadioButton* m_scopeLibrary = nullptr;
    QSpinBox* m_nearSpin = nullptr;
    QSpinBox* m_topSpin = nullptr;
    QPushButton* m_findButton = nullptr;
    QPushButton* m_exportButton = nullptr;
    QPushButton* m_compareButton = nullptr;
    QCheckBox* m_strictBox = nullptr;
    QLabel* m_countLabel = nullptr;
    QLabel* m_legendLabel = nullptr;
    QTableView* m_resultsView = nullptr;
    NameColumnHeader* m_resultNames = nullptr;
    SubstituteResultsModel* m_resultsModel = nullptr;
    // The progress window of the search that is running, gone with it.
    std::unique_ptr<SubstituteProgress> m_progress;
    QTimer* m_progressTimer = nullptr;
};
