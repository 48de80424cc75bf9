#pragma once
// The substitute finder: replacement parts for a reference component, judged parameter by
// parameter by engineering rules (gate, not less, not more, equal, within a band, each with its
// tolerance), ranked by closeness, with near misses, over one base or every base of the same
// device type in the library. Its pieces live in base/substitute/: rules and their defaults,
// what a cell promises and how guarantees compare, the match and its ranking, verdict texts,
// name lookup.
//
// The engine works on a FinderSource: per parameter column, what each cell's text promises as
// plain arrays (lower end, upper end, which ends are known). Only the adapters at the end of this
// header know the component base store.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "base/devicetype.h"
#include "base/fileidentity.h"
#include "base/result.h"
#include "base/substitute/guarantee.h"
#include "base/substitute/match.h"
#include "base/substitute/namelookup.h"
#include "base/substitute/ranking.h"
#include "base/substitute/ruledefaults.h"
#include "base/substitute/rules.h"
#include "base/substitute/verdicttext.h"

namespace veltris {

class Catalogue;
class IniFile;
class NavigatorCatalogue;
struct ComponentBase;

// ---- what a cell promises ----

// What a cell's text promises (CellMeaning, in base/substitute/guarantee.h): "<x" is at most x,
// ">x" at least x, a range its two ends, a plain number exactly itself.
CellMeaning cellMeaning(std::string_view textCp1251);
// The LED colour code of a text packed into a number (0: no code).
std::uint64_t colourKey(std::string_view textCp1251);

// The unit a column title names after its last comma ("Iк max,|мА": milliampere): a dimension
// and the scale to the dimension's base unit. Dimension 0: no unit known here; then `text` holds
// what the title says after its comma (empty when it has none), and only equal texts compare.
struct UnitScale {
    int dimension = 0;
    double scale = 1;
    std::string text;
};
UnitScale unitScaleOfTitle(std::string_view titleCp1251);

// ---- the engine's input ----

// One base as the finder sees it. Columns 1..C; a column not built reads as unknown.
class FinderSource {
public:
    FinderSource(int deviceType, int rowCount);

    int deviceType() const { return m_deviceType; }
    int columnCount() const { return m_columnCount; }
    int rowCount() const { return m_rowCount; }

    // Names, Windows-1251, at most 15 bytes kept.
    void setName(int row, std::string_view cp1251);
    std::string_view name(int row) const;

    struct Column {
        bool built = false;
        bool text = false;
        UnitScale unit;
        std::vector<double> lo;           // numeric columns
        std::vector<double> hi;
        std::vector<std::uint8_t> known;  // kKnownLow | kKnownHigh
        std::vector<std::uint64_t> key;   // text columns: colourKey, 0 unknown
    };
    Column& column(int c) { return m_columns[static_cast<std::size_t>(c)]; }
    const Column& column(int c) const { return m_columns[static_cast<std::size_t>(c)]; }
    // Sizes the arrays of column c and marks it built.
    Column& buildColumn(int c, bool text, UnitScale unit);

private:
    static constexpr std::size_t kNameField = 16;
    int m_deviceType;
    int m_columnCount;
    int m_rowCount;
    std::string m_names;            // kNameField bytes a row: length, then the bytes
    std::vector<Column> m_columns;  // index 0 unused
};

// ---- the query ----

// One active rule with its target interval taken from the reference (ruleTarget).
struct ActiveRule {
    int column = 0;
    SubstituteRule rule;
    bool text = false;
    bool needLow = false;   // the candidate must not go below `low`
    bool needHigh = false;  // the candidate must not go above `high`
    double low = 0;
    double high = 0;
    int favoured = 0;       // as RuleTarget::favoured
    double referenceLow = 0;   // the reference's own ends (one-sided: its number for both)
    double referenceHigh = 0;
    double reference = 0;      // representative reference value, for the distance
    double logReference = 0;   // its logarithm (finite even where `reference` overflows)
    UnitScale unit;         // of the reference's column
    std::uint64_t key = 0;  // text columns: the reference code

    bool gate() const { return rule.kind == RuleKind::Gate; }
    RuleTarget target() const { return {needLow, needHigh, low, high, favoured}; }
};

struct FinderQuery {
    int deviceType = 0;
    int referenceRow = 0;  // source row of the reference in its own base
    std::string referenceName;  // Windows-1251
    std::vector<ActiveRule> rules;
    // Columns whose rule is set but which the reference's own text cannot give a value for:
    // such a rule cannot be applied and is reported, not silently dropped.
    std::vector<int> unusable;
    int nearMisses = 0;    // K: candidates with 1..K failing parameters are kept as near misses
    std::size_t top = 0;   // at most this many results; 0 for all
    // «Неизвестное считать несовпадением»: a rule a candidate's cell cannot tell counts as
    // failing (the verdict stays Unknown; FinderMatch::fails counts it).
    bool unknownFails = false;
    // The package drawing number of the reference, for PackageMatch; 0 when the reference has
    // none (every candidate's package is then Unknown).
    int packageColumn = 0;
    double referencePackage = 0;
};

// The columns a query made from `rules` reads: every ruled column and the package's.
std::vector<int> sourceColumns(int deviceType, const RuleSet& rules);

// Makes the query from the reference row of `source` and the rules (size C; shorter sets leave
// the remaining columns off); the package of the reference when the source has its column.
// Error: Generic when no rule can be applied or the row is outside.
Result<FinderQuery> makeQuery(const FinderSource& source, int referenceRow, const RuleSet& rules,
                              int nearMisses, std::size_t top);

// ---- results ----

struct FinderReport {
    std::vector<std::string> baseFiles;  // as given by the caller / the navigator
    // Of each of baseFiles as it was read (the open base's, from memory, is left unknown): a
    // result of a base changed since cannot be opened by its row.
    std::vector<FileIdentity> baseIdentities;
    std::vector<FinderMatch> matches;    // ranked
    std::size_t fullCount = 0;  // full matches found (before the cut to `top`)
    std::size_t nearCount = 0;  // near misses found (before the cut)
    std::vector<Error> problems;  // library bases that could not be read
    bool cancelled = false;
};

// Progress: called now and then with the work done and the total (records or bases); returning
// false cancels, and the report comes back with `cancelled` set and no matches.
using FinderProgress = std::function<bool(std::size_t done, std::size_t total)>;

// Judges every row of `source` except the reference (when `excludeRow` >= 0) and appends the
// kept candidates, without texts, to `out` with base index `baseIndex`. Kept: rows with at
// most query.nearMisses failures, none of them a gate's, and at least one rule told (a row no
// rule can tell anything of is no match). Returns false when cancelled. The rules' columns
// (queryColumns) must be built.
bool judgeSource(const FinderQuery& query, const FinderSource& source, int baseIndex,
                 int excludeRow, std::vector<FinderMatch>& out, const FinderProgress& progress = {});

// Sorts the candidates (rankedBefore), counts full matches and near misses and cuts to `top`.
void rankMatches(const FinderQuery& query, std::vector<FinderMatch>& matches,
                 std::size_t& fullCount, std::size_t& nearCount);

// ---- adapters over the component base store ----

// Builds the finder's view of a base: names and the given columns (all when empty); unit scales
// from the titles in row 0. Source row i is table row i + 1. Each cell means what its text
// means (cellMeaning, colourKey); loaded cells are read from their stored form without making
// the text, edited cells and text columns from their text. Progress counts rows; when it
// cancels, *cancelled (if given) is set and the source is incomplete.
FinderSource finderSourceFromBase(const ComponentBase& base, std::span<const int> columns = {},
                                  const FinderProgress& progress = {}, bool* cancelled = nullptr);
// The same view made from every cell's text: the reference finderSourceFromBase must equal.
FinderSource finderSourceFromTexts(const ComponentBase& base, std::span<const int> columns = {});
// The same view read straight from a base file's bytes, without the base store: equal to
// finderSourceFromBase of what decodeBase makes of them. Errors: those of decodeBase.
Result<FinderSource> finderSourceFromBytes(std::string_view bytes, const Catalogue& catalogue,
                                           std::span<const int> columns = {});

// The rows a typed name finds (lookUpName): rows whose whole name it is first, then the rows
// whose name holds it, each group in table order.
NameLookup lookUpName(const FinderSource& source, std::string_view typedCp1251);
std::vector<int> findNameMatches(const FinderSource& source, std::string_view typedCp1251);

// The columns a query needs built: its rules' and the package's.
std::vector<int> queryColumns(const FinderQuery& query);

// Ranks the candidates of the open base (reference excluded). Without `withTexts` the matches
// come without their texts, and a caller asks attachMatchTexts for the ones it shows. With it,
// every match of the result gets its texts: uncut, while judging, when each block of rows is
// still in the cache (cheaper than asking for all of them afterwards); cut to `top`, after the cut.
FinderReport findInBase(const FinderQuery& query, const ComponentBase& base,
                        std::string_view fileName, const FinderProgress& progress = {},
                        bool withTexts = false);

// Makes the texts of those of `matches` whose base index is `baseIndex`, from `base` (the base
// the query was judged on, unchanged since); the others stay as they are.
void attachMatchTexts(const FinderQuery& query, const ComponentBase& base, int baseIndex,
                      std::span<FinderMatch> matches);

// Library scope: the open base and every other base of the query's device type that the
// navigator catalogue lists (a file equal to `openFile` is taken from memory, not disk). Each
// file is read whole (readWholeFile: regular files of a base's size only) and judged from its
// bytes (what finderSourceFromBytes reads); one that cannot be read is reported in `problems`
// with the reader's error and skipped. Progress counts bases; a cancel is seen also inside the
// read of a long file.
FinderReport findInLibrary(const FinderQuery& query, const ComponentBase& openBase,
                           std::string_view openFile, const NavigatorCatalogue& navigator,
                           const Catalogue& catalogue, const FinderProgress& progress = {});

}  // namespace veltris
