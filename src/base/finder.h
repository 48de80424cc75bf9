#pragma once
// The substitute finder: replacement parts for a reference component, judged parameter by
// parameter by engineering rules (not less, not more, equal, within a band), ranked by closeness,
// with near misses, over one base or every base of the same device type in the library.
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

namespace veltris {

class Catalogue;
class IniFile;
class NavigatorCatalogue;
struct ComponentBase;

// ---- rules ----

enum class RuleKind : std::uint8_t {
    Off,      // «не учитывать»
    AtLeast,  // «не меньше»: the candidate's value is at least the reference's
    AtMost,   // «не больше»
    Equal,    // «равно»: within the reference's value (a range: within its ends)
    Band,     // «в пределах»: from reference - p % to reference + q %
};

struct SubstituteRule {
    RuleKind kind = RuleKind::Off;
    int minusPercent = 0;  // Band only: 0..100
    int plusPercent = 0;   // Band only: 0..1000
    bool operator==(const SubstituteRule&) const = default;
};

// One rule per parameter column: entry c-1 for column c (1..C).
using RuleSet = std::vector<SubstituteRule>;

constexpr int kMaxBandMinus = 100;
constexpr int kMaxBandPlus = 1000;

// Russian caption of a rule kind: «не учитывать», «не меньше», «не больше», «равно», «в пределах».
const char* ruleCaption(RuleKind kind);  // UTF-8

// Rule text as stored and typed: "off", "ge", "le", "eq", "band:P:Q" (P 0..100, Q 0..1000,
// whole percents). ASCII letters in any case; blanks around the parts are allowed.
// Error: Generic with a Russian text quoting `text` (UTF-8 in, as typed on a command line).
Result<SubstituteRule> parseRuleText(std::string_view text);
std::string ruleText(const SubstituteRule& rule);

// Whether a column holds a text code (the LED colour code) rather than numbers; only «равно» and
// «не учитывать» mean something there.
bool isTextParameter(int deviceType, int column);

// ---- defaults and the user's rules ----

// The file of default rules beside the executables. Windows-1251 INI like the catalogue files:
// section "Type_<code>", keys "Col_<c>" holding rule texts.
inline constexpr std::string_view kSubstituteDefaultsFile = "substitute.ini";

class SubstituteDefaults {
public:
    // Error OpenFailed when the file cannot be read.
    static Result<SubstituteDefaults> load(const std::filesystem::path& dir);
    static SubstituteDefaults fromBytes(std::string_view iniBytes);

    // The default rule of every column 1..C of a type; a missing or unreadable key gives
    // «не учитывать». Empty for a type without a catalogue.
    RuleSet rules(int deviceType) const;

private:
    std::vector<RuleSet> m_rules;  // by type code, 0..7
};

// The user's rules live in the settings file, section "Substitute_<code>", keys "Col_<c>".
std::string ruleSection(int deviceType);
// `defaults` with every readable key of the type's section applied.
RuleSet readUserRules(const IniFile& settings, int deviceType, const RuleSet& defaults);
// Writes the keys whose rule differs from the default, and the keys already present (so a rule
// set back to its default overwrites the earlier change). Other sections and lines stay.
void writeUserRules(IniFile& settings, int deviceType, const RuleSet& rules,
                    const RuleSet& defaults);

// ---- what a cell promises ----

// Bits of CellMeaning::known.
enum : std::uint8_t { kKnownLow = 0x01, kKnownHigh = 0x02 };

// The interval a cell's text promises, in absolute values (the sign of a voltage or current
// says only its direction). Both ends known: an exact value (lo == hi) or a range; only the
// high end: "<x", at most x; only the low end: ">x", at least x; none: the text cannot tell
// (empty, "0", no number, both "<" and ">").
struct CellMeaning {
    double lo = 0;
    double hi = 0;
    std::uint8_t known = 0;
};
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

// ---- names ----

// Folds case and the Latin letters that look like Cyrillic ones (A/А B/В C/С E/Е H/Н K/К M/М
// O/О P/Р T/Т X/Х Y/У) to one form, byte by byte on Windows-1251.
std::string foldName(std::string_view cp1251);

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

// One active rule with its target interval taken from the reference.
struct ActiveRule {
    int column = 0;
    SubstituteRule rule;
    bool text = false;
    bool needLow = false;   // the candidate must not go below `low`
    bool needHigh = false;  // the candidate must not go above `high`
    double low = 0;
    double high = 0;
    double reference = 0;   // representative reference value, for the distance
    UnitScale unit;         // of the reference's column
    std::uint64_t key = 0;  // text columns: the reference code
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
};

// Makes the query from the reference row of `source` and the rules (size C; shorter sets leave
// the remaining columns off). Error: Generic when no rule can be applied or the row is outside.
Result<FinderQuery> makeQuery(const FinderSource& source, int referenceRow, const RuleSet& rules,
                              int nearMisses, std::size_t top);

// ---- results ----

enum class Verdict : std::uint8_t { Pass, Fail, Unknown };

struct FinderMatch {
    int base = 0;  // index into FinderReport::baseFiles
    int row = 0;   // source row in that base
    std::string name;         // Windows-1251
    int fails = 0;
    int unknowns = 0;
    // Closeness: the sum, over numeric rules where the candidate has a value, of
    // |ln(candidate / reference)|, each side's value the geometric mean of its known ends.
    double distance = 0;
    std::uint32_t failMask = 0;     // bit i: query rule i failed
    std::uint32_t unknownMask = 0;  // bit i: query rule i unknown
    // Cell text of each query rule's column, Windows-1251. findInLibrary gives them; findInBase
    // when asked to, else attachMatchTexts makes them for the rows shown.
    std::vector<std::string> texts;

    Verdict verdict(std::size_t rule) const
    {
        if (failMask >> rule & 1u)
            return Verdict::Fail;
        return (unknownMask >> rule & 1u) ? Verdict::Unknown : Verdict::Pass;
    }
};

// The ranking order: fewer failing parameters first (full matches before near misses), then
// fewer unknown ones (a confirmed match before one the data cannot confirm), then the smaller
// distance, then base and row.
bool betterMatch(const FinderMatch& a, const FinderMatch& b);

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
// kept candidates, without texts, to `out` with base index `baseIndex`. Returns false when
// cancelled. The rules' columns must be built.
bool judgeSource(const FinderQuery& query, const FinderSource& source, int baseIndex,
                 int excludeRow, std::vector<FinderMatch>& out, const FinderProgress& progress = {});

// Sorts the candidates, counts full matches and near misses and cuts to `top`.
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

// The rows whose folded name contains the folded `needle`: rows whose whole folded name equals
// it first, then the others, each group in table order.
std::vector<int> findNameMatches(const FinderSource& source, std::string_view needleCp1251);

// The columns a query needs built.
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
