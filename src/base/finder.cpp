#include "base/finder.h"

#include <algorithm>
#include <array>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <new>
#include <optional>
#include <system_error>

#include "base/basefile.h"
#include "base/catalogue.h"
#include "base/componentbase.h"
#include "base/cp1251.h"
#include "base/fileio.h"
#include "base/ini.h"
#include "base/table.h"
#include "base/navigatorcatalogue.h"
#include "base/recordlayout.h"
#include "base/valuetext.h"

namespace veltris {

namespace fs = std::filesystem;

namespace {

// Comparisons allow for the rounding of percent bands and unit scales.
constexpr double kTolerance = 1e-9;
constexpr std::size_t kMaxRules = 32;  // the verdict masks hold one bit a rule

std::string_view trimmed(std::string_view s)
{
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t'))
        s.remove_suffix(1);
    return s;
}

}  // namespace

// ---- what a cell promises ----

namespace {

constexpr std::array<double, 23> kPowersOfTen = {
    1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
    1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

// "digits[,digits]" at p, exactly as the number parser reads it: at most 15 digits, so the
// mantissa is exact and one division by a power of ten rounds correctly. Anything else -> false.
bool scanDecimal(const char*& p, const char* end, double& out)
{
    std::int64_t mantissa = 0;
    int digits = 0;
    int scale = 0;
    bool comma = false;
    for (; p != end; ++p) {
        const char ch = *p;
        if (ch >= '0' && ch <= '9') {
            mantissa = mantissa * 10 + (ch - '0');
            ++digits;
            scale += comma ? 1 : 0;
        } else if (ch == ',' && !comma) {
            comma = true;
        } else {
            break;
        }
    }
    if (digits == 0 || digits > 15)
        return false;
    out = static_cast<double>(mantissa) / kPowersOfTen[static_cast<std::size_t>(scale)];
    return true;
}

bool isOpening(char c)
{
    return c == '(' || c == '[' || c == '{' || c == '<' || c == '>' || c == ' ';
}

bool isClosing(char c)
{
    return c == ')' || c == ']' || c == '}' || c == ' ';
}

// The ends of the common forms "x", "-x", "x-y", decorated: the text's two numbers as the range
// parser would give them, and whether "<" and ">" came with them. False for anything else.
bool quickEnds(std::string_view text, double& a, double& b, bool& less, bool& greater)
{
    const char* p = text.data();
    const char* const end = p + text.size();
    for (; p != end && isOpening(*p); ++p) {
        less |= *p == '<';
        greater |= *p == '>';
    }
    if (p == end)
        return false;
    if (*p == '-')
        ++p;
    if (!scanDecimal(p, end, a))
        return false;
    b = a;
    if (p != end && *p == '-') {
        ++p;
        if (!scanDecimal(p, end, b))
            return false;
    }
    while (p != end && isClosing(*p))
        ++p;
    return p == end;
}

}  // namespace

namespace {

// The meaning of two ends already in absolute values, with the text's "<" and ">".
CellMeaning endsMeaning(double a, double b, bool less, bool greater)
{
    CellMeaning m;
    m.lo = std::min(a, b);
    m.hi = std::max(a, b);
    if (m.hi == 0 || (less && greater))
        return CellMeaning{};
    if (less)
        m.lo = m.hi;
    else if (greater)
        m.hi = m.lo;
    m.known = less ? kKnownHigh : greater ? kKnownLow : (kKnownLow | kKnownHigh);
    return m;
}

}  // namespace

// What the text of a value promises. "<x" is at most x, ">x" at least x, a range its two ends,
// a plain number exactly itself. Parentheses, brackets and braces mark the conditions a value
// was given under (typical value, special conditions); they leave the number what it is, so a
// decorated number reads as the plain one. An empty cell and 0 are the same stored value, the
// absence of data, so both are unknown; so is a text that is no number, and one that says both
// "<" and ">".
CellMeaning cellMeaning(std::string_view text)
{
    double a = 0;
    double b = 0;
    bool less = false;
    bool greater = false;
    if (!quickEnds(text, a, b, less, greater)) {
        const std::string filtered = numericFilter(text);
        if (filtered.empty())
            return {};
        const auto range = parseRange(filtered);
        if (!range)
            return {};
        a = range->a;
        b = range->b;
        less = text.find('<') != std::string_view::npos;
        greater = text.find('>') != std::string_view::npos;
    }
    a = std::fabs(a);
    b = std::fabs(b);
    if (!std::isfinite(a) || !std::isfinite(b))
        return {};
    return endsMeaning(a, b, less, greater);
}

std::uint64_t colourKey(std::string_view text)
{
    std::uint64_t key = 0;
    int count = 0;
    for (char ch : text) {
        if (ch >= 'a' && ch <= 'z')
            ch = static_cast<char>(ch - 'a' + 'A');
        if (std::strchr("-/BGIJORY", ch) == nullptr || ch == '\0')
            continue;
        key = key << 8 | static_cast<unsigned char>(ch);
        if (++count == 8)
            break;
    }
    return key;
}

UnitScale unitScaleOfTitle(std::string_view title)
{
    struct Unit {
        const char* text;  // UTF-8
        int dimension;
        double scale;
    };
    static const Unit kUnits[] = {
        {"нА", 1, 1e-9},   {"мкА", 1, 1e-6},  {"мА", 1, 1e-3},  {"А", 1, 1},
        {"мВ", 2, 1e-3},   {"В", 2, 1},       {"кВ", 2, 1e3},   {"мВт", 3, 1e-3},
        {"Вт", 3, 1},      {"пс", 4, 1e-12},  {"нс", 4, 1e-9},  {"мкс", 4, 1e-6},
        {"кГц", 5, 1e3},   {"МГц", 5, 1e6},   {"ГГц", 5, 1e9},  {"мкд", 6, 1e-6},
        {"мд", 6, 1e-3},   {"пФ", 7, 1e-12},  {"Ом", 8, 1},     {"нм", 9, 1},
        {"мм", 10, 1},     {"°С", 11, 1},     {"°С/Вт", 12, 1}, {"В/мкс", 13, 1},
        {"А/мкс", 14, 1},  {"дБ", 15, 1},     {"мкСм", 16, 1},  {"град", 17, 1},
    };
    static const std::vector<std::string> kUnitBytes = [] {
        std::vector<std::string> v;
        for (const Unit& u : kUnits)
            v.push_back(utf8ToCp1251(u.text));
        return v;
    }();
    const auto comma = title.rfind(',');
    if (comma == std::string_view::npos)
        return {};
    std::string unit;
    for (char c : title.substr(comma + 1))
        unit += c == '|' ? ' ' : c;
    const std::string_view u = trimmed(unit);
    for (std::size_t i = 0; i < kUnitBytes.size(); ++i) {
        if (u == kUnitBytes[i])
            return {kUnits[i].dimension, kUnits[i].scale, {}};
    }
    return {0, 1, std::string(u)};
}

// ---- the engine's input ----

FinderSource::FinderSource(int deviceType, int rowCount)
    : m_deviceType(deviceType),
      m_columnCount(parameterColumnCount(deviceType)),
      m_rowCount(std::max(rowCount, 0)),
      m_names(static_cast<std::size_t>(m_rowCount) * kNameField, '\0'),
      m_columns(static_cast<std::size_t>(m_columnCount) + 1)
{
}

void FinderSource::setName(int row, std::string_view cp1251)
{
    char* field = m_names.data() + static_cast<std::size_t>(row) * kNameField;
    const std::size_t n = std::min(cp1251.size(), kNameField - 1);
    field[0] = static_cast<char>(n);
    std::memcpy(field + 1, cp1251.data(), n);
}

std::string_view FinderSource::name(int row) const
{
    const char* field = m_names.data() + static_cast<std::size_t>(row) * kNameField;
    return {field + 1, static_cast<unsigned char>(field[0])};
}

FinderSource::Column& FinderSource::buildColumn(int c, bool text, UnitScale unit)
{
    Column& col = column(c);
    col.built = true;
    col.text = text;
    col.unit = unit;
    const auto n = static_cast<std::size_t>(m_rowCount);
    if (text) {
        col.key.assign(n, 0);
    } else {
        col.lo.assign(n, 0);
        col.hi.assign(n, 0);
        col.known.assign(n, 0);
    }
    return col;
}

// ---- the query ----

std::vector<int> sourceColumns(int deviceType, const RuleSet& rules)
{
    std::vector<int> columns;
    const int package = packageColumn(deviceType);
    bool packageRuled = false;
    for (std::size_t i = 0; i < rules.size(); ++i) {
        if (rules[i].kind == RuleKind::Off)
            continue;
        columns.push_back(static_cast<int>(i) + 1);
        packageRuled |= static_cast<int>(i) + 1 == package;
    }
    if (package > 0 && !packageRuled)
        columns.push_back(package);
    return columns;
}

Result<FinderQuery> makeQuery(const FinderSource& source, int referenceRow, const RuleSet& rules,
                              int nearMisses, std::size_t top)
{
    if (referenceRow < 0 || referenceRow >= source.rowCount())
        return Error{ErrorKind::Generic, "образец не выбран"};
    FinderQuery q;
    q.deviceType = source.deviceType();
    q.referenceRow = referenceRow;
    q.referenceName = std::string(source.name(referenceRow));
    q.nearMisses = std::max(nearMisses, 0);
    q.top = top;
    const int columns = std::min(source.columnCount(), static_cast<int>(rules.size()));
    for (int c = 1; c <= columns; ++c) {
        const SubstituteRule& rule = rules[static_cast<std::size_t>(c - 1)];
        if (rule.kind == RuleKind::Off)
            continue;
        const FinderSource::Column& col = source.column(c);
        ActiveRule a;
        a.column = c;
        a.rule = rule;
        a.text = isTextParameter(q.deviceType, c);
        a.unit = col.unit;
        if (!col.built) {
            q.unusable.push_back(c);
            continue;
        }
        if (a.text) {
            a.key = col.key[static_cast<std::size_t>(referenceRow)];
            if (a.key == 0) {
                q.unusable.push_back(c);
                continue;
            }
            if (a.rule.kind != RuleKind::Gate)
                a.rule = SubstituteRule{RuleKind::Equal};
            q.rules.push_back(a);
            continue;
        }
        const auto r = static_cast<std::size_t>(referenceRow);
        if (col.known[r] == 0) {
            q.unusable.push_back(c);
            continue;
        }
        const CellMeaning reference{col.lo[r], col.hi[r], col.known[r]};
        const RuleTarget t = ruleTarget(rule, reference);
        a.needLow = t.needLow;
        a.needHigh = t.needHigh;
        a.low = t.low;
        a.high = t.high;
        a.favoured = t.favoured;
        a.referenceLow = reference.lo;
        a.referenceHigh = reference.hi;
        a.logReference = logRepresentative(reference.lo, reference.hi);
        a.reference = std::exp(a.logReference);
        q.rules.push_back(a);
    }
    const int package = packageColumn(q.deviceType);
    if (package > 0 && package <= source.columnCount() && source.column(package).built &&
        !source.column(package).text) {
        const FinderSource::Column& col = source.column(package);
        const auto r = static_cast<std::size_t>(referenceRow);
        if (col.known[r] == (kKnownLow | kKnownHigh) && col.lo[r] == col.hi[r]) {
            q.packageColumn = package;
            q.referencePackage = col.lo[r];
        }
    }
    if (q.rules.size() > kMaxRules)
        q.rules.resize(kMaxRules);
    if (q.rules.empty())
        return Error{ErrorKind::Generic,
                     "нет ни одного применимого правила: все правила выключены или у образца "
                     "нет значений в их столбцах"};
    return q;
}

// ---- judging ----

namespace {

// What the judge needs to know of a rule's column in one base.
struct ColumnHead {
    bool built = false;
    bool text = false;
    UnitScale unit;
};

// One rule as the judge reads it: the target already in the candidate base's units.
struct PreparedRule {
    int column = 0;
    bool numeric = false;  // compares values
    bool text = false;     // compares colour codes
    // Neither: the column cannot be compared with the reference's (not there, another unit):
    // every row is unknown there.
    bool gate = false;     // a failure drops the row
    bool label = false;    // the package column: its numbers name drawings, a miss has no size
    std::uint64_t refKey = 0;
    RuleTarget target;
    double logReference = 0;  // ln(reference) in the candidate's units
    double referenceLow = 0;  // the reference's ends in the candidate's units
    double referenceHigh = 0;
};

// The package as the judge reads it in one base.
struct PreparedPackage {
    int column = 0;  // 0: every row's package is unknown
    double number = 0;
};

// Everything the judge needs for one base.
struct JudgePlan {
    std::vector<PreparedRule> rules;
    PreparedPackage package;
    int limit = 0;  // most failures a kept row may have
    bool unknownFails = false;
};

// Factor from the candidate column's unit to the reference's; 0 when they cannot be compared.
double unitFactor(const UnitScale& reference, const UnitScale& candidate)
{
    if (reference.dimension == 0 && candidate.dimension == 0)
        return reference.text == candidate.text ? 1 : 0;
    if (reference.dimension != candidate.dimension)
        return 0;
    return candidate.scale / reference.scale;
}

// `headOf(column)` gives the ColumnHead of a column of the candidate base.
template <class HeadOf>
JudgePlan prepare(const FinderQuery& query, HeadOf headOf)
{
    JudgePlan plan;
    plan.limit = query.nearMisses;
    plan.unknownFails = query.unknownFails;
    for (const ActiveRule& a : query.rules) {
        PreparedRule p;
        p.column = a.column;
        p.gate = a.gate();
        p.label = a.column == packageColumn(query.deviceType);
        p.target = a.target();
        const ColumnHead head = headOf(a.column);
        if (!head.built || head.text != a.text) {
            // unknown everywhere
        } else if (a.text) {
            p.text = true;
            p.refKey = a.key;
        } else if (const double factor = unitFactor(a.unit, head.unit); factor > 0) {
            p.numeric = true;
            p.target.low = a.low / factor * (1 - kTolerance);
            p.target.high = a.high / factor * (1 + kTolerance);
            p.logReference = a.logReference - std::log(factor);
            p.referenceLow = a.referenceLow / factor;
            p.referenceHigh = a.referenceHigh / factor;
        }
        plan.rules.push_back(p);
    }
    if (query.packageColumn > 0) {
        const ColumnHead head = headOf(query.packageColumn);
        if (head.built && !head.text)
            plan.package = {query.packageColumn, query.referencePackage};
    }
    return plan;
}

// What a stored value that reads back as itself (class kValueExact) or is zero (kValueZero)
// promises: its magnitude and which ends are known. Zero, whatever its decorations, is no data.
inline std::uint8_t plainKnown(std::uint8_t flags, double v)
{
    const unsigned limit = flags & (kFlagLess | kFlagGreater);
    const bool none = limit == (kFlagLess | kFlagGreater) || v == 0;
    return none                 ? 0
           : limit == 0         ? (kKnownLow | kKnownHigh)
           : limit == kFlagLess ? kKnownHigh
                                : kKnownLow;
}

// Where a cell reader writes what the cells of a list of rows promise: row r at index r - first.
// A cell reader calls put(row, meaning) or plain(row, flags, value) once for each row it reads.
struct MeaningOut {
    double* lo;
    double* hi;
    std::uint8_t* known;
    int first;

    void put(int row, const CellMeaning& m) const
    {
        const auto k = static_cast<std::size_t>(row - first);
        lo[k] = m.lo;
        hi[k] = m.hi;
        known[k] = m.known;
    }
    void plain(int row, std::uint8_t flags, double v) const
    {
        const auto k = static_cast<std::size_t>(row - first);
        const std::uint8_t kn = plainKnown(flags, v);
        lo[k] = hi[k] = kn == 0 ? 0 : std::fabs(v);
        known[k] = kn;
    }
};

// The same for a list of rows written in list order: the row at rows[a] to index a. A reader
// hands the rows over in list order, so a running index finds each one's place.
struct KeptOut {
    double* lo;
    double* hi;
    std::uint8_t* known;
    std::size_t at = 0;

    void put(int, const CellMeaning& m)
    {
        lo[at] = m.lo;
        hi[at] = m.hi;
        known[at++] = m.known;
    }
    void plain(int, std::uint8_t flags, double v)
    {
        const std::uint8_t kn = plainKnown(flags, v);
        lo[at] = hi[at] = kn == 0 ? 0 : std::fabs(v);
        known[at++] = kn;
    }
};

// Rows judged together. Within a block the rules are taken one at a time, each reading its
// column only for the rows still alive: a row with more failing parameters than a near miss
// may have, or failing a gate, can never be kept, so the rules after that skip it.
constexpr int kJudgeBlock = 2048;
constexpr int kProgressStep = 32 * kJudgeBlock;

// The judge's working arrays, made once for a search and used for every base of it.
struct JudgeSpace {
    explicit JudgeSpace(std::size_t count)
        : lo(count * kJudgeBlock), hi(count * kJudgeBlock), known(count * kJudgeBlock),
          key(kJudgeBlock), live(kJudgeBlock), verdicts(kJudgeBlock), weakMask(kJudgeBlock),
          failCount(kJudgeBlock), distance(kJudgeBlock),
          favour(kJudgeBlock), packageLo(kJudgeBlock), packageHi(kJudgeBlock),
          packageKnown(kJudgeBlock), order(count), failed(count, 0), judged(count, 0)
    {
        for (std::size_t j = 0; j < count; ++j)
            order[j] = j;
    }
    // Each rule's values of the rows kept, for their distances and misses.
    std::vector<double> lo;
    std::vector<double> hi;
    std::vector<std::uint8_t> known;
    std::vector<std::uint64_t> key;
    // The rows still alive, in order.
    std::vector<int> live;
    // Each row's verdicts so far, at index row - first row of the block.
    // Failing rules in the low 32 bits, unknown ones in the high; which failures are a
    // guarantee too weak apart (they are few).
    std::vector<std::uint64_t> verdicts;
    std::vector<std::uint32_t> weakMask;
    std::vector<std::uint32_t> failCount;  // failures counted so far
    // The kept rows' closeness, at their index in `live`.
    std::vector<double> distance;
    std::vector<double> favour;
    // The package cells of the kept rows.
    std::vector<double> packageLo;
    std::vector<double> packageHi;
    std::vector<std::uint8_t> packageKnown;
    // The rules that failed the most rows they read are judged first: the rows they drop are
    // not read for the others. The order carries over from base to base of one search.
    std::vector<std::size_t> order;
    std::vector<std::size_t> failed;
    std::vector<std::size_t> judged;
};

// Records each row's verdict on one rule as a cell reader hands the cells over, and keeps the
// row in `live` (moved down to `stay`) while it can still be kept. The reader reads live[a]
// before the row is written back at stay <= a, so the list is compacted in place. Readers take
// it by value and give it back, so that its counters live in registers.
struct RuleJudge {
    // The fields the loop reads are of types the stores it makes (int rows, 32-bit masks)
    // cannot alias, so that they stay in registers.
    RuleTarget target;
    std::ptrdiff_t first;
    std::size_t bit;
    std::size_t gate;
    std::size_t unknownFails;
    std::size_t limit;
    int* live;
    std::uint64_t* verdicts;
    std::uint32_t* weakMask;
    std::uint32_t* failCount;
    std::size_t stay = 0;
    std::size_t fails = 0;

    // v: kJudged* bits. Inlined into each cell reader's loop: a call a verdict costs more than
    // the verdict.
    [[gnu::always_inline]] void record(int row, unsigned v)
    {
        const auto k = static_cast<std::size_t>(row - first);
        const std::size_t fail = v & kJudgedFail;
        const std::size_t unknown = v >> 1 & 1u;
        const std::size_t counted = fail | (unknownFails & unknown);
        const std::uint64_t now = verdicts[k] | std::uint64_t{fail} << bit | std::uint64_t{unknown} << (bit + 32);
        verdicts[k] = now;
        if (v & kJudgedWeak)
            weakMask[k] |= std::uint32_t{1} << bit;
        const std::uint32_t total = failCount[k] + static_cast<std::uint32_t>(counted);
        failCount[k] = total;
        live[stay] = row;
        stay += static_cast<std::size_t>(total <= limit) & ((gate & counted) ^ 1u);
        fails += counted;
    }
    [[gnu::always_inline]] void put(int row, const CellMeaning& m)
    {
        record(row, judgeCell(target, m.known, m.lo, m.hi));
    }
    [[gnu::always_inline]] void plain(int row, std::uint8_t flags, double v)
    {
        const std::uint8_t known = plainKnown(flags, v);
        const double value = std::fabs(v);
        record(row, judgeCell(target, known, value, value));
    }
};

// The near-miss fields of a kept row that fails: the worst shortfall and the deviations of its
// failing rules; `lo`, `hi`, `known` hold each rule's cells of the kept rows at index `at`.
void describeMisses(const JudgePlan& plan, FinderMatch& m, std::size_t at, const double* lo,
                    const double* hi, const std::uint8_t* known)
{
    constexpr std::size_t kBlock = kJudgeBlock;
    double shortfall = 0;
    std::size_t slot = 0;
    for (std::uint32_t bits = m.failMask; bits != 0; bits &= bits - 1) {
        const auto j = static_cast<std::size_t>(std::countr_zero(bits));
        const PreparedRule& p = plan.rules[j];
        double miss = kCodeMiss;
        float percent = NAN;
        if (p.numeric && p.label) {
            miss = kPackageMiss;
        } else if (p.numeric) {
            const std::size_t i = j * kBlock + at;
            miss = cellMiss(p.target, known[i], lo[i], hi[i]);
            percent = static_cast<float>(
                cellDeviation(p.target, p.referenceLow, p.referenceHigh, known[i], lo[i], hi[i]));
        }
        shortfall = std::max(shortfall, miss);
        if (slot < kShownMisses)
            m.missPercent[slot++] = percent;
    }
    for (; slot < kShownMisses; ++slot)
        m.missPercent[slot] = NAN;
    if (plan.unknownFails && m.unknownMask != 0)
        shortfall = std::max(shortfall, kUnknownMiss);
    m.shortfall = shortfall;
}

// The names of the matches from `from` on, read by `cells`.
template <class Cells>
void nameMatches(const Cells& cells, std::vector<FinderMatch>& matches, std::size_t from)
{
    for (std::size_t k = from; k < matches.size(); ++k)
        matches[k].name = std::string(cells.name(matches[k].row));
}

// Judges rows 0..rows-1 (all but `excludeRow`) and appends the kept ones, without their names,
// to `out`: those with
// at most plan.limit failures, none of them a gate's, and at least one rule told. `cells`
// reads a column's meaning for a list of rows:
//   numeric(column, rows, n, out) hands each row's promise to `out` (MeaningOut, RuleJudge);
//   keys(column, rows, n, first, key) the colour codes, row r at key[r - first]; name(row)
//   gives a row's name.
// `step(from)`, called now and then before row `from`, returns false to cancel;
// `kept(first)` is called after each block with the index in `out` of its first match, while
// the block's cells are still in the cache.
template <class Cells, class Step, class Kept>
bool judgeRows(const JudgePlan& plan, const Cells& cells, int rows, int baseIndex, int excludeRow,
               std::vector<FinderMatch>& out, Step step, Kept kept, JudgeSpace& space)
{
    constexpr std::size_t kBlock = kJudgeBlock;
    const std::vector<PreparedRule>& rules = plan.rules;
    const std::size_t count = rules.size();
    const std::uint32_t allRules = count >= 32 ? ~std::uint32_t{0} : (std::uint32_t{1} << count) - 1;
    // Plain pointers: a store through a byte pointer may alias anything, so values read through
    // the vectors would be fetched again after every store.
    double* const lo = space.lo.data();
    double* const hi = space.hi.data();
    std::uint8_t* const known = space.known.data();
    std::uint64_t* const key = space.key.data();
    int* const live = space.live.data();
    std::uint64_t* const verdicts = space.verdicts.data();
    std::uint32_t* const weakMask = space.weakMask.data();
    std::uint32_t* const failCount = space.failCount.data();
    double* const distance = space.distance.data();
    double* const favour = space.favour.data();
    std::vector<std::size_t>& order = space.order;
    std::vector<std::size_t>& failed = space.failed;
    std::vector<std::size_t>& judged = space.judged;
    for (int from = 0; from < rows; from += kJudgeBlock) {
        if (from % kProgressStep == 0 && !step(from))
            return false;
        const auto n = static_cast<std::size_t>(std::min(kJudgeBlock, rows - from));
        std::fill_n(verdicts, n, std::uint64_t{0});
        std::fill_n(weakMask, n, 0u);
        std::fill_n(failCount, n, 0u);
        std::size_t alive = 0;
        for (std::size_t k = 0; k < n; ++k) {
            const int row = from + static_cast<int>(k);
            live[alive] = row;
            alive += row != excludeRow;
        }
        for (const std::size_t j : order) {
            if (alive == 0)
                break;
            const PreparedRule& p = rules[j];
            RuleJudge judge{p.target,
                                  from,
                                  j,
                                  p.gate,
                                  plan.unknownFails,
                                  static_cast<std::size_t>(std::max(plan.limit, 0)),
                                  live,
                                  verdicts,
                                  weakMask,
                                  failCount};
            if (p.numeric) {
                judge = cells.numeric(p.column, live, alive, judge);
            } else if (p.text) {
                cells.keys(p.column, live, alive, from, key);
                for (std::size_t a = 0; a < alive; ++a) {
                    const int row = live[a];
                    const std::uint64_t code = key[static_cast<std::size_t>(row - from)];
                    judge.record(row, static_cast<unsigned>(code != 0 && code != p.refKey) |
                                          static_cast<unsigned>(code == 0) << 1);
                }
            } else {
                for (std::size_t a = 0; a < alive; ++a)
                    judge.record(live[a], kJudgedUnknown);
            }
            failed[j] += judge.fails;
            judged[j] += alive;
            alive = judge.stay;
        }
        // A row no rule could tell anything of is no match.
        std::size_t told = 0;
        for (std::size_t a = 0; a < alive; ++a) {
            const int row = live[a];
            live[told] = row;
            told += (verdicts[static_cast<std::size_t>(row - from)] >> 32) != allRules;
        }
        alive = told;
        // The kept rows' cells again, at their index in `live`, for the distances and misses;
        // the rules in query order: logarithms cost more than the verdicts.
        std::fill_n(distance, alive, 0.0);
        std::fill_n(favour, alive, 0.0);
        for (std::size_t j = 0; j < count && alive > 0; ++j) {
            const PreparedRule& p = rules[j];
            if (!p.numeric)
                continue;
            double* l = lo + j * kBlock;
            double* h = hi + j * kBlock;
            std::uint8_t* kn = known + j * kBlock;
            cells.numeric(p.column, live, alive, KeptOut{l, h, kn});
            if (p.label)
                continue;
            for (std::size_t a = 0; a < alive; ++a)
                if (kn[a] != 0)
                    addDeviation(logRepresentative(l[a], h[a]) - p.logReference, p.target.favoured,
                                 distance[a], favour[a]);
        }
        if (plan.package.column > 0 && alive > 0)
            cells.numeric(plan.package.column, live, alive,
                          KeptOut{space.packageLo.data(), space.packageHi.data(),
                                  space.packageKnown.data()});
        const std::size_t firstKept = out.size();
        for (std::size_t a = 0; a < alive; ++a) {
            const auto k = static_cast<std::size_t>(live[a] - from);
            FinderMatch& m = out.emplace_back();
            m.base = baseIndex;
            m.row = live[a];
            const auto failing = static_cast<std::uint32_t>(verdicts[k]);
            const auto unknown = static_cast<std::uint32_t>(verdicts[k] >> 32);
            m.unknowns = std::popcount(unknown);
            m.fails = static_cast<int>(failCount[k]);
            m.distance = distance[a];
            m.favour = favour[a];
            m.failMask = failing;
            m.weakMask = weakMask[k];
            m.unknownMask = unknown;
            if (plan.package.column > 0 && space.packageKnown[a] == (kKnownLow | kKnownHigh) &&
                space.packageLo[a] == space.packageHi[a])
                m.package = space.packageLo[a] == plan.package.number ? PackageMatch::Same
                                                                      : PackageMatch::Other;
            if (m.fails > 0)
                describeMisses(plan, m, a, lo, hi, known);
            else
                m.missPercent.fill(NAN);
        }
        kept(firstKept);
        // By the share of the rows read that failed (a rule judged early reads more rows); a
        // rule no row has reached yet goes first.
        const auto rate = [&](std::size_t j) {
            return judged[j] == 0 ? 2.0 : static_cast<double>(failed[j]) / static_cast<double>(judged[j]);
        };
        std::stable_sort(order.begin(), order.end(),
                         [&](std::size_t x, std::size_t y) { return rate(x) > rate(y); });
    }
    return true;
}

// A built FinderSource as the judge reads it.
class SourceCells {
public:
    explicit SourceCells(const FinderSource& source) : m_source(source) {}

    template <class Out>
    Out numeric(int c, const int* rows, std::size_t n, Out out) const
    {
        const FinderSource::Column& col = m_source.column(c);
        for (std::size_t a = 0; a < n; ++a) {
            const auto r = static_cast<std::size_t>(rows[a]);
            out.put(rows[a], CellMeaning{col.lo[r], col.hi[r], col.known[r]});
        }
        return out;
    }
    void keys(int c, const int* rows, std::size_t n, int first, std::uint64_t* key) const
    {
        const FinderSource::Column& col = m_source.column(c);
        for (std::size_t a = 0; a < n; ++a)
            key[rows[a] - first] = col.key[static_cast<std::size_t>(rows[a])];
    }
    std::string_view name(int row) const { return m_source.name(row); }

private:
    const FinderSource& m_source;
};

}  // namespace

bool judgeSource(const FinderQuery& query, const FinderSource& source, int baseIndex,
                 int excludeRow, std::vector<FinderMatch>& out, const FinderProgress& progress)
{
    const JudgePlan plan = prepare(query, [&](int c) {
        const FinderSource::Column& col = source.column(c);
        return ColumnHead{col.built, col.text, col.unit};
    });
    const int rows = source.rowCount();
    JudgeSpace space(plan.rules.size());
    const SourceCells cells(source);
    return judgeRows(
        plan, cells, rows, baseIndex, excludeRow, out,
        [&](int from) {
            return !progress || progress(static_cast<std::size_t>(from), static_cast<std::size_t>(rows));
        },
        [&](std::size_t first) { nameMatches(cells, out, first); }, space);
}

namespace {

// Adds the full matches and near misses from `from` on to the counts.
void countMatches(const std::vector<FinderMatch>& matches, std::size_t from,
                  std::size_t& fullCount, std::size_t& nearCount)
{
    for (std::size_t k = from; k < matches.size(); ++k)
        (matches[k].fails == 0 ? fullCount : nearCount) += 1;
}

}  // namespace

// ---- adapters over the component base store and the base file ----

namespace {

constexpr int kReadStep = 1 << 14;  // rows between progress calls while reading a base

// The text a cell shows: an edited cell's text, a text column's own, else made from the stored
// form into `scratch`.
std::string_view shownText(const Table& table, std::uint32_t stored, int col, std::string& scratch)
{
    const ColumnStore& c = table.column(col);
    if (c.kind == CellKind::Text)
        return c.text(stored);
    if (table.rowEdited(stored)) {
        if (const std::string* edited = table.editedText(stored, col))
            return *edited;
    }
    scratch = table.storedText(stored, col);
    return scratch;
}

// A name as the finder keeps it: at most 15 bytes.
std::string_view keptName(std::string_view name)
{
    return name.substr(0, 15);
}

// The class of a stored double, as classifyValue gives it. Values of up to about 14
// significant digits are recognised with a multiplication and a division; the rest take
// classifyValue. A value equal to a decimal of at most 15 digits divided by a power of ten is
// the double that decimal reads as, so its shortest form has at most 15 digits.
std::uint8_t quickClass(double v)
{
    const double m = std::fabs(v);
    if (m >= 1e-7 && m < 1e15) {
        std::uint64_t bits;
        std::memcpy(&bits, &m, sizeof bits);
        const int exponent = static_cast<int>(bits >> 52) - 1023;  // m < 2^(exponent + 1)
        // 10^digits > 2^(exponent + 1) > m
        // floor((exponent + 1) * log10(2)) + 1; an estimate one too small only sends the value
        // to classifyValue.
        const int digits = (((exponent + 1) * 78913) >> 18) + 1;
        const int scale = 15 - digits;
        if (scale >= 0 && scale < static_cast<int>(kPowersOfTen.size())) {
            const double p = kPowersOfTen[static_cast<std::size_t>(scale)];
            // Rounded to a whole number (below 2^51, to nearest, ties to even).
            constexpr double kRound = 0x1.8p52;
            const double mantissa = (m * p + kRound) - kRound;
            if (mantissa < 1e15 && mantissa / p == m)
                return kValueExact;
        }
    }
    return static_cast<std::uint8_t>(classifyValue(v));
}

// The absolute value a stored double's text reads back as; false when only the text can tell.
bool readBackAbs(double v, std::uint8_t cls, double& out)
{
    if (cls == kValueOther)
        return false;
    out = std::fabs(readBack(v, cls));
    return true;
}

// One stored cell's fields: `classes` as the store keeps them (Value: the class of a; Range:
// a | b << 2; not used for the other kinds).
struct StoredCell {
    CellKind kind = CellKind::Text;
    std::uint8_t flags = 0;
    std::uint8_t classes = 0;
    double a = 0;
    double b = 0;
    std::int16_t drawing = 0;
};

// What a stored cell promises, from its stored form: exactly what cellMeaning gives for its
// text. A value's text is its number with decorations: brackets of any kind leave the number
// as it is, "<" and ">" make it a limit, zero (whatever the decorations) is no data. A range's
// text is its two ends, or one when they differ by at most 0.0001 (version 3: when the upper
// end's magnitude exceeds the lower's by at most that). False when only the text can tell: a
// text column, and values whose text does not read back as a number of their class.
bool storedMeaning(const StoredCell& c, CellMeaning& m)
{
    double a = 0;
    double b = 0;
    std::uint8_t flags = 0;
    switch (c.kind) {
    case CellKind::Text: return false;
    case CellKind::Drawing:
        a = b = std::fabs(static_cast<double>(c.drawing));
        break;
    case CellKind::Value:
        flags = c.flags;
        if (!readBackAbs(c.a, c.classes, a))
            return false;
        b = a;
        break;
    case CellKind::Range:
        flags = c.flags;
        if (!readBackAbs(c.a, c.classes & 3u, a))
            return false;
        if (std::fabs(c.a - c.b) <= 0.0001)
            b = a;
        else if (!readBackAbs(c.b, static_cast<std::uint8_t>(c.classes >> 2 & 3u), b))
            return false;
        break;
    case CellKind::V3Range:
        if (!readBackAbs(c.a, quickClass(c.a), a))
            return false;
        if (std::fabs(c.b) - std::fabs(c.a) <= 0.0001)
            b = a;
        else if (!readBackAbs(c.b, quickClass(c.b), b))
            return false;
        break;
    }
    m = endsMeaning(a, b, (flags & kFlagLess) != 0, (flags & kFlagGreater) != 0);
    return true;
}

StoredCell storedCell(const ColumnStore& c, std::uint32_t s)
{
    StoredCell cell;
    cell.kind = c.kind;
    const bool flagged = c.kind == CellKind::Value || c.kind == CellKind::Range;
    const bool twoEnds = c.kind == CellKind::Range || c.kind == CellKind::V3Range;
    if (c.kind == CellKind::Drawing)
        cell.drawing = c.drawing[s];
    if (flagged) {
        cell.flags = c.flags[s];
        cell.classes = c.classes[s];
    }
    if (flagged || twoEnds)
        cell.a = c.a[s];
    if (twoEnds)
        cell.b = c.b[s];
    return cell;
}

// The cells of a base in the store as the judge reads them: each cell means what its text
// means; loaded cells are read from their stored form without making the text, edited cells
// and text columns from their text.
class StoreCells {
public:
    explicit StoreCells(const Table& table) : m_table(table) {}

    template <class Out>
    Out numeric(int c, const int* rows, std::size_t n, Out out) const
    {
        const ColumnStore& store = m_table.column(c);
        const std::span<const std::uint32_t> order = m_table.order();
        if (store.kind == CellKind::Value) {
            // The commonest cell, a loaded value that reads back as itself, without a call.
            const std::uint8_t* classes = store.classes.data();
            const std::uint8_t* flags = store.flags.data();
            const double* values = store.a.data();
            const bool edits = m_table.anyEdited();
            for (std::size_t a = 0; a < n; ++a) {
                const std::uint32_t s = order[static_cast<std::size_t>(rows[a])];
                if (classes[s] <= kValueExact && !(edits && m_table.rowEdited(s)))
                    out.plain(rows[a], flags[s], values[s]);
                else
                    out.put(rows[a], other(store, c, s));
            }
            return out;
        }
        if (store.kind == CellKind::Drawing) {
            const std::int16_t* drawing = store.drawing.data();
            for (std::size_t a = 0; a < n; ++a) {
                const std::uint32_t s = order[static_cast<std::size_t>(rows[a])];
                if (!m_table.rowEdited(s))
                    out.plain(rows[a], 0, drawing[s]);
                else
                    out.put(rows[a], other(store, c, s));
            }
            return out;
        }
        for (std::size_t a = 0; a < n; ++a)
            out.put(rows[a], other(store, c, order[static_cast<std::size_t>(rows[a])]));
        return out;
    }
    void keys(int c, const int* rows, std::size_t n, int first, std::uint64_t* key) const
    {
        for (std::size_t a = 0; a < n; ++a)
            key[rows[a] - first] = colourKey(shownText(m_table, m_table.storedRow(rows[a] + 1), c, m_scratch));
    }
    std::string_view name(int row) const
    {
        return keptName(shownText(m_table, m_table.storedRow(row + 1), 0, m_scratch));
    }

private:
    CellMeaning other(const ColumnStore& store, int c, std::uint32_t s) const
    {
        CellMeaning m;
        const bool edited = m_table.rowEdited(s) && m_table.editedText(s, c) != nullptr;
        if (edited || !storedMeaning(storedCell(store, s), m))
            m = cellMeaning(shownText(m_table, s, c, m_scratch));
        return m;
    }

    const Table& m_table;
    mutable std::string m_scratch;
};

// The same from every cell's text: the reference the stored-form reading must equal.
class TextCells {
public:
    explicit TextCells(const Table& table) : m_table(table) {}

    template <class Out>
    Out numeric(int c, const int* rows, std::size_t n, Out out) const
    {
        for (std::size_t a = 0; a < n; ++a)
            out.put(rows[a], cellMeaning(m_table.cell(rows[a] + 1, c)));
        return out;
    }
    void keys(int c, const int* rows, std::size_t n, int first, std::uint64_t* key) const
    {
        for (std::size_t a = 0; a < n; ++a)
            key[rows[a] - first] = colourKey(m_table.cell(rows[a] + 1, c));
    }
    std::string_view name(int row) const
    {
        m_scratch = m_table.cell(row + 1, 0);
        return keptName(m_scratch);
    }

private:
    const Table& m_table;
    mutable std::string m_scratch;
};

// ---- records read straight from the file bytes ----

// A number of the record bytes, which lie at any alignment.
template <class T>
T load(const char* p)
{
    T v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

// Where a column's cell lies in a record, and the stored kind the base reader gives it.
struct RecordSlot {
    CellKind kind = CellKind::Text;
    int a = 0;           // offset of the value (versions 4, 5: of the flag byte before it)
    int b = 0;           // ranges: offset of the upper end
    bool signed3 = false;  // version 3: a negative value is its magnitude in parentheses
    int textMax = 0;     // text cells: the longest text
};

using record::kSlotSize;
using record::kSlotsOffset;
constexpr int kNameMax = record::kNameMax;
constexpr int kColourMax = record::kColourMax;

RecordSlot recordSlot(int version, int code, int paramColumns, int c)
{
    if (version == 3) {
        if (c == paramColumns)
            return {CellKind::Drawing, record::kV3DrawingOffset, 0, false, 0};
        if (c == record::kV3RangeColumn)
            return {CellKind::V3Range, record::kV3RangeA, record::kV3RangeB, false, 0};
        return {CellKind::Value, record::v3ValueOffset(c), 0, true, 0};
    }
    if (c == paramColumns)
        return {CellKind::Drawing, record::kDrawingOffset, 0, false, 0};
    const DeviceType* type = findDeviceType(code);
    if (type && c == type->rangeColumn)
        return {CellKind::Range, kSlotsOffset + kSlotSize * record::kRangeSlotA,
                kSlotsOffset + kSlotSize * record::kRangeSlotB + 1, false, 0};
    if (type && c == type->colourColumn)
        return {CellKind::Text, kSlotsOffset, 0, false, kColourMax};
    return {CellKind::Value, kSlotsOffset + kSlotSize * record::valueSlot(code, c), 0, false, 0};
}

std::string_view shortText(const char* field, int maxLen)
{
    const int len = std::min<int>(static_cast<unsigned char>(field[0]), maxLen);
    return {field + 1, static_cast<std::size_t>(len)};
}

// One cell of a record as the base reader would store it.
StoredCell recordCell(const RecordSlot& slot, const char* rec)
{
    StoredCell cell;
    cell.kind = slot.kind;
    switch (slot.kind) {
    case CellKind::Text: break;
    case CellKind::Drawing: cell.drawing = load<std::int16_t>(rec + slot.a); break;
    case CellKind::Value:
        if (slot.signed3) {
            const double v = load<double>(rec + slot.a);
            cell.flags = v < 0 ? kFlagParen : 0;
            cell.a = v < 0 ? -v : v;
        } else {
            cell.flags = static_cast<std::uint8_t>(rec[slot.a]);
            cell.a = load<double>(rec + slot.a + 1);
        }
        cell.classes = quickClass(cell.a);
        break;
    case CellKind::Range:
        cell.flags = static_cast<std::uint8_t>(rec[slot.a]);
        cell.a = load<double>(rec + slot.a + 1);
        cell.b = load<double>(rec + slot.b);
        cell.classes = static_cast<std::uint8_t>(quickClass(cell.a) | quickClass(cell.b) << 2);
        break;
    case CellKind::V3Range:
        cell.a = load<double>(rec + slot.a);
        cell.b = load<double>(rec + slot.b);
        break;
    }
    return cell;
}

// The text the store would show for a stored cell of a record.
std::string recordText(const RecordSlot& slot, const char* rec)
{
    if (slot.kind == CellKind::Text)
        return std::string(shortText(rec + slot.a, slot.textMax));
    const StoredCell c = recordCell(slot, rec);
    switch (c.kind) {
    case CellKind::Value:
        return c.flags == 0 && c.classes == kValueExact ? numberText(c.a) : flaggedValueText(c.flags, c.a);
    case CellKind::Range: return rangeValueText(c.flags, c.a, c.b);
    case CellKind::V3Range: return v3RangeText(c.a, c.b);
    case CellKind::Drawing: {
        char buf[8];
        const auto r = std::to_chars(buf, buf + sizeof buf, c.drawing);
        return std::string(buf, r.ptr);
    }
    case CellKind::Text: break;
    }
    return {};
}

// Texts of stored values already made. The text of an unedited value cell depends only on its
// flags and its double, and catalogue values repeat (the same ratings across a series), so each
// query column makes the text of a value once and copies it after. Direct-mapped: a slot keeps
// the last value that fell on it.
class ValueTexts {
public:
    explicit ValueTexts(std::size_t columns) : m_slots(columns * kSlots) {}

    // Appends the text of value (flags, v) of query column j to `out`; `make(text)` makes it
    // when it is not known.
    template <class Make>
    void append(std::size_t j, std::uint8_t flags, double v, std::string& out, Make make)
    {
        const auto bits = std::bit_cast<std::uint64_t>(v);
        const std::uint64_t hash = (bits ^ (bits >> 31) ^ flags) * 0x9E3779B97F4A7C15ull;
        Slot& slot = m_slots[j * kSlots + static_cast<std::size_t>(hash >> (64 - kSlotBits))];
        if (!slot.used || slot.bits != bits || slot.flags != flags) {
            slot.text.clear();
            make(slot.text);
            slot.bits = bits;
            slot.flags = flags;
            slot.used = true;
        }
        out += slot.text;
    }

private:
    static constexpr int kSlotBits = 8;
    static constexpr std::size_t kSlots = std::size_t{1} << kSlotBits;
    struct Slot {
        std::uint64_t bits = 0;
        std::uint8_t flags = 0;
        bool used = false;
        std::string text;
    };
    std::vector<Slot> m_slots;
};

// A base file's bytes whose lead has been checked: its records as the judge reads them.
class RecordCells {
public:
    RecordCells(std::string_view bytes, const Catalogue& catalogue)
    {
        const auto* u = reinterpret_cast<const std::uint8_t*>(bytes.data());
        m_version = formatVersion(u);
        m_type = headerDeviceType(u);
        m_tableColumns = tableColumnCount(m_type);
        const bool hasLayout = findDeviceType(m_type) != nullptr;
        const auto size = static_cast<std::size_t>(recordSize(m_version));
        m_size = size;
        m_first = bytes.data() + kLeadSize;
        m_records = hasLayout ? (bytes.size() - kLeadSize) / size : 0;
        // Titles as the base reader gives them, for the units.
        const int titled = std::min(parameterColumnCount(m_type), m_tableColumns - 1);
        m_titles.resize(static_cast<std::size_t>(m_tableColumns));
        for (int c = 1; c <= titled && c <= kMaxParamColumns; ++c)
            m_titles[static_cast<std::size_t>(c)] =
                catalogue.name(m_type, c, u[kHeaderSize + c - 1]);
        m_slots.resize(static_cast<std::size_t>(m_tableColumns));
        for (int c = 1; c < m_tableColumns; ++c)
            m_slots[static_cast<std::size_t>(c)] =
                hasLayout ? recordSlot(m_version, m_type, m_tableColumns - 1, c) : RecordSlot{};
    }

    int deviceType() const { return m_type; }
    std::size_t records() const { return m_records; }
    // Whether column c is in the base's table.
    bool hasColumn(int c) const { return c >= 1 && c < m_tableColumns; }
    const std::string& title(int c) const { return m_titles[static_cast<std::size_t>(c)]; }

    template <class Out>
    Out numeric(int c, const int* rows, std::size_t n, Out out) const
    {
        const RecordSlot& slot = m_slots[static_cast<std::size_t>(c)];
        if (slot.kind == CellKind::Value && !slot.signed3) {
            // The commonest cell, a value that reads back as itself, without a call.
            for (std::size_t a = 0; a < n; ++a) {
                const char* s = record(rows[a]) + slot.a;
                const auto flags = static_cast<std::uint8_t>(s[0]);
                const double v = load<double>(s + 1);
                if (v == 0 || quickClass(v) == kValueExact)
                    out.plain(rows[a], flags, v);
                else
                    out.put(rows[a], other(slot, record(rows[a])));
            }
            return out;
        }
        if (slot.kind == CellKind::Drawing) {
            for (std::size_t a = 0; a < n; ++a)
                out.plain(rows[a], 0, load<std::int16_t>(record(rows[a]) + slot.a));
            return out;
        }
        for (std::size_t a = 0; a < n; ++a)
            out.put(rows[a], other(slot, record(rows[a])));
        return out;
    }
    void keys(int c, const int* rows, std::size_t n, int first, std::uint64_t* key) const
    {
        const RecordSlot& slot = m_slots[static_cast<std::size_t>(c)];
        for (std::size_t a = 0; a < n; ++a)
            key[rows[a] - first] = colourKey(recordText(slot, record(rows[a])));
    }
    std::string_view name(int row) const { return shortText(record(row), kNameMax); }
    // Appends the text of column c of a row to `out` (query column j of `memo`).
    void appendText(int row, int c, std::size_t j, std::string& out, ValueTexts& memo) const
    {
        const RecordSlot& slot = m_slots[static_cast<std::size_t>(c)];
        const char* rec = record(row);
        if (slot.kind != CellKind::Value) {
            out += recordText(slot, rec);
            return;
        }
        double v = 0;
        std::uint8_t flags = 0;
        if (slot.signed3) {
            v = load<double>(rec + slot.a);
            flags = v < 0 ? kFlagParen : 0;
            v = v < 0 ? -v : v;
        } else {
            flags = static_cast<std::uint8_t>(rec[slot.a]);
            v = load<double>(rec + slot.a + 1);
        }
        memo.append(j, flags, v, out, [&](std::string& t) { t = recordText(slot, rec); });
    }

private:
    const char* record(int row) const { return m_first + static_cast<std::size_t>(row) * m_size; }

    static CellMeaning other(const RecordSlot& slot, const char* rec)
    {
        CellMeaning m;
        if (!storedMeaning(recordCell(slot, rec), m))
            m = cellMeaning(recordText(slot, rec));
        return m;
    }

    int m_version = 0;
    int m_type = 0;
    int m_tableColumns = 0;
    std::size_t m_size = 0;
    std::size_t m_records = 0;
    const char* m_first = nullptr;
    std::vector<std::string> m_titles;
    std::vector<RecordSlot> m_slots;
};

// Fills the names and the wanted columns of `source`; `headOf(c)` says whether column c exists
// in the base and its title, `cells` reads them. Progress counts rows.
template <class Cells, class HasColumn, class TitleOf>
bool fillSource(FinderSource& source, const Cells& cells, std::span<const int> columns,
                HasColumn hasColumn, TitleOf titleOf, const FinderProgress& progress)
{
    std::vector<int> wanted;
    if (columns.empty()) {
        for (int c = 1; c <= source.columnCount(); ++c)
            wanted.push_back(c);
    } else {
        wanted.assign(columns.begin(), columns.end());
    }
    std::vector<std::pair<int, FinderSource::Column*>> built;
    for (int c : wanted) {
        if (c < 1 || c > source.columnCount() || !hasColumn(c) || source.column(c).built)
            continue;
        built.emplace_back(c, &source.buildColumn(c, isTextParameter(source.deviceType(), c),
                                                  unitScaleOfTitle(titleOf(c))));
    }
    // In steps of rows, column by column within a step: each column's arrays are read in order.
    const int rows = source.rowCount();
    std::vector<int> list;
    for (int from = 0; from < rows; from += kReadStep) {
        if (progress && !progress(static_cast<std::size_t>(from), static_cast<std::size_t>(rows)))
            return false;
        const int to = std::min(rows, from + kReadStep);
        list.resize(static_cast<std::size_t>(to - from));
        for (int i = from; i < to; ++i) {
            list[static_cast<std::size_t>(i - from)] = i;
            source.setName(i, cells.name(i));
        }
        for (const auto& [c, col] : built) {
            if (col->text)
                cells.keys(c, list.data(), list.size(), 0, col->key.data());
            else
                cells.numeric(c, list.data(), list.size(),
                              MeaningOut{col->lo.data(), col->hi.data(), col->known.data(), 0});
        }
    }
    return true;
}

template <class Cells>
FinderSource buildSource(const ComponentBase& base, const Cells& cells, std::span<const int> columns,
                         const FinderProgress& progress, bool* cancelled)
{
    FinderSource source(base.deviceType, base.recordCount());
    const Table& table = base.table;
    const bool done = fillSource(
        source, cells, columns, [&](int c) { return c < table.columnCount(); },
        [&](int c) { return table.cell(0, c); }, progress);
    if (cancelled != nullptr)
        *cancelled = !done;
    return source;
}

// Whether `bytes` have a lead and a version the record reading knows, and a record count the
// tables can hold; anything else is left to the base reader.
bool plainBaseBytes(std::string_view bytes)
{
    if (bytes.size() < static_cast<std::size_t>(kLeadSize))
        return false;
    const int version = formatVersion(reinterpret_cast<const std::uint8_t*>(bytes.data()));
    return version != 0 && (bytes.size() - kLeadSize) / static_cast<std::size_t>(recordSize(version)) <
                               static_cast<std::size_t>(std::numeric_limits<int>::max());
}

}  // namespace

FinderSource finderSourceFromBase(const ComponentBase& base, std::span<const int> columns,
                                  const FinderProgress& progress, bool* cancelled)
{
    return buildSource(base, StoreCells(base.table), columns, progress, cancelled);
}

FinderSource finderSourceFromTexts(const ComponentBase& base, std::span<const int> columns)
{
    return buildSource(base, TextCells(base.table), columns, {}, nullptr);
}

Result<FinderSource> finderSourceFromBytes(std::string_view bytes, const Catalogue& catalogue,
                                           std::span<const int> columns)
{
    if (!plainBaseBytes(bytes))
        return decodeBase(bytes, catalogue).error();  // the base reader's own words
    const RecordCells cells(bytes, catalogue);
    try {
        FinderSource source(cells.deviceType(), static_cast<int>(cells.records()));
        fillSource(
            source, cells, columns, [&](int c) { return cells.hasColumn(c); },
            [&](int c) { return cells.title(c); }, {});
        return source;
    } catch (const std::bad_alloc&) {
        return outOfMemoryError();
    }
}

NameLookup lookUpName(const FinderSource& source, std::string_view typed)
{
    return lookUpName(typed, source.rowCount(), [&](int i) { return source.name(i); });
}

std::vector<int> findNameMatches(const FinderSource& source, std::string_view typed)
{
    return lookUpName(source, typed).all();
}

std::vector<int> queryColumns(const FinderQuery& query)
{
    std::vector<int> columns;
    for (const ActiveRule& a : query.rules)
        columns.push_back(a.column);
    if (query.packageColumn > 0 &&
        std::find(columns.begin(), columns.end(), query.packageColumn) == columns.end())
        columns.push_back(query.packageColumn);
    return columns;
}

namespace {

// What the judge needs of column c of a base in the store.
ColumnHead storeHead(const ComponentBase& base, int c)
{
    const int type = base.deviceType;
    const bool there = c >= 1 && c <= parameterColumnCount(type) && c < base.table.columnCount();
    return ColumnHead{there, isTextParameter(type, c),
                      there ? unitScaleOfTitle(base.table.cell(0, c)) : UnitScale{}};
}

// Keeps the best `top` of one base's candidates before the texts are copied, so a library
// search holds texts only for what can still reach the result.
void keepBest(const FinderQuery& query, std::vector<FinderMatch>& matches, std::size_t from)
{
    if (query.top == 0 || matches.size() - from <= query.top)
        return;
    const auto first = matches.begin() + static_cast<std::ptrdiff_t>(from);
    std::nth_element(first, first + static_cast<std::ptrdiff_t>(query.top), matches.end(),
                     betterMatch);
    matches.resize(from + query.top);
}

void attachTexts(const FinderQuery& query, const Table& table, FinderMatch& m, ValueTexts& memo)
{
    m.texts.clear();
    m.texts.reserve(query.rules.size());
    const std::uint32_t s = table.storedRow(m.row + 1);
    const bool edited = table.rowEdited(s);
    for (std::size_t j = 0; j < query.rules.size(); ++j) {
        const int c = query.rules[j].column;
        std::string& text = m.texts.emplace_back();
        if (c >= table.columnCount())
            continue;
        const ColumnStore& store = table.column(c);
        if (store.kind == CellKind::Value && !(edited && table.editedText(s, c) != nullptr))
            memo.append(j, store.flags[s], store.a[s], text,
                        [&](std::string& t) { table.appendCell(m.row + 1, c, t); });
        else
            table.appendCell(m.row + 1, c, text);
    }
}

void attachTexts(const FinderQuery& query, const ComponentBase& base, int baseIndex,
                 std::span<FinderMatch> matches, ValueTexts& memo)
{
    for (FinderMatch& m : matches)
        if (m.base == baseIndex)
            attachTexts(query, base.table, m, memo);
}

void attachTexts(const FinderQuery& query, const RecordCells& cells, std::vector<FinderMatch>& matches,
                 std::size_t from, ValueTexts& memo)
{
    for (std::size_t k = from; k < matches.size(); ++k) {
        FinderMatch& m = matches[k];
        m.texts.clear();
        m.texts.reserve(query.rules.size());
        for (std::size_t j = 0; j < query.rules.size(); ++j) {
            std::string& text = m.texts.emplace_back();
            if (cells.hasColumn(query.rules[j].column))
                cells.appendText(m.row, query.rules[j].column, j, text, memo);
        }
    }
}

// Judges the rows of one base and gives the kept ones their names and texts. Every kept row is in the
// result when there is no `top`: its texts are then copied block by block, while its cells are
// still in the cache; otherwise only the best `top` get texts, after the cut. The base's
// candidates are appended to `matches` and counted; false when cancelled.
template <class Cells, class Texts, class Step>
bool judgeAndAttach(const FinderQuery& query, const JudgePlan& plan,
                    const Cells& cells, int rows, int baseIndex, int excludeRow,
                    std::vector<FinderMatch>& matches, Texts texts, Step step,
                    std::size_t& fullCount, std::size_t& nearCount, JudgeSpace& space)
{
    const std::size_t from = matches.size();
    const bool early = query.top == 0;
    const bool judged = judgeRows(plan, cells, rows, baseIndex, excludeRow, matches, step,
                                  [&](std::size_t first) {
                                      if (early) {
                                          nameMatches(cells, matches, first);
                                          texts(first);
                                      }
                                  },
                                  space);
    if (!judged)
        return false;
    // Counted before the cut: the counts cover everything found. Names and texts only for
    // what is kept.
    countMatches(matches, from, fullCount, nearCount);
    keepBest(query, matches, from);
    if (!early) {
        nameMatches(cells, matches, from);
        texts(from);
    }
    return true;
}

// Judges a base in the store straight from its stored form: no finder source is built, and a
// row's cells are read only while the row can still be kept.
template <class Step>
bool judgeBase(const FinderQuery& query, const ComponentBase& base, int baseIndex, int excludeRow,
               std::vector<FinderMatch>& matches, Step step, std::size_t& fullCount,
               std::size_t& nearCount, ValueTexts* memo, JudgeSpace& space)
{
    const JudgePlan plan = prepare(query, [&](int c) { return storeHead(base, c); });
    return judgeAndAttach(
        query, plan, StoreCells(base.table), base.recordCount(), baseIndex, excludeRow, matches,
        [&](std::size_t first) {
            if (memo)
                attachTexts(query, base, baseIndex, std::span(matches).subspan(first), *memo);
        },
        step, fullCount, nearCount, space);
}

}  // namespace

FinderReport findInBase(const FinderQuery& query, const ComponentBase& base,
                        std::string_view fileName, const FinderProgress& progress, bool withTexts)
{
    FinderReport report;
    report.baseFiles.emplace_back(fileName);
    report.baseIdentities.emplace_back();
    // Progress counts rows; the last step is the ranking.
    const auto rows = static_cast<std::size_t>(base.recordCount());
    const auto step = [&](int from) {
        return !progress || progress(static_cast<std::size_t>(from), rows + 1);
    };
    JudgeSpace space(query.rules.size());
    ValueTexts memo(withTexts ? query.rules.size() : 0);
    const bool judged = judgeBase(query, base, 0, query.referenceRow, report.matches, step,
                                  report.fullCount, report.nearCount, withTexts ? &memo : nullptr,
                                  space);
    if (!judged || (progress && !progress(rows, rows + 1))) {
        report.cancelled = true;
        report.fullCount = report.nearCount = 0;
        report.matches.clear();
        return report;
    }
    std::size_t full = 0;
    std::size_t near = 0;
    rankMatches(query, report.matches, full, near);
    return report;
}

void attachMatchTexts(const FinderQuery& query, const ComponentBase& base, int baseIndex,
                      std::span<FinderMatch> matches)
{
    // Ranked matches lie all over the base: their texts are made in row order, so that the
    // store's arrays are read front to back.
    std::vector<std::pair<int, std::uint32_t>> order;
    order.reserve(matches.size());
    for (std::size_t k = 0; k < matches.size(); ++k)
        if (matches[k].base == baseIndex)
            order.emplace_back(matches[k].row, static_cast<std::uint32_t>(k));
    std::sort(order.begin(), order.end());
    ValueTexts memo(query.rules.size());
    for (const auto& [row, k] : order)
        attachTexts(query, base.table, matches[k], memo);
}

FinderReport findInLibrary(const FinderQuery& query, const ComponentBase& openBase,
                           std::string_view openFile, const NavigatorCatalogue& navigator,
                           const Catalogue& catalogue, const FinderProgress& progress)
{
    FinderReport report;

    // The files of the query's type, each once, in catalogue order.
    std::vector<const NavigatorBaseFile*> files;
    for (const NavigatorEntry entry : navigator) {
        if (entry.deviceType != query.deviceType)
            continue;
        if (!files.empty() && files.back() == entry.base)
            continue;
        files.push_back(entry.base);
    }
    const fs::path open(openFile);
    const auto isOpenFile = [&](const std::string& name) {
        std::error_code ec;
        return !openFile.empty() && (fs::path(name) == open || fs::equivalent(name, open, ec));
    };

    std::vector<FinderMatch> matches;
    const auto always = [](int) { return true; };
    ValueTexts memo(query.rules.size());  // a value's text is the same in every base
    JudgeSpace space(query.rules.size());
    const auto collect = [&](const ComponentBase& base, std::string_view fileName, int exclude) {
        const int index = static_cast<int>(report.baseFiles.size());
        report.baseFiles.emplace_back(fileName);
        report.baseIdentities.emplace_back();
        judgeBase(query, base, index, exclude, matches, always, report.fullCount, report.nearCount,
                  &memo, space);
    };

    const std::size_t total = files.size() + 1;
    collect(openBase, openFile, query.referenceRow);
    // Each file is read whole into one buffer and judged from its record bytes: only the names
    // and the ruled columns of the rows that can still be kept are decoded.
    std::string buffer;
    const auto cancelled = [&](std::size_t f) { return progress && !progress(f + 1, total); };
    for (std::size_t f = 0; f < files.size(); ++f) {
        if (cancelled(f)) {
            report.cancelled = true;
            report.fullCount = report.nearCount = 0;
            return report;
        }
        const std::string& fileName = files[f]->fileName;
        if (isOpenFile(fileName))
            continue;
        // The file may have been swapped for a pipe, a device or a huge file since the scan: the
        // reader refuses those, and a long read stops at a cancel.
        const auto read = readWholeFile(
            fileName, buffer, ReadLimits{maxBaseFileSize(), [&] { return cancelled(f); }});
        if (!read && read.error().kind == ErrorKind::Cancelled) {
            report.cancelled = true;
            report.fullCount = report.nearCount = 0;
            return report;
        }
        if (!read) {
            report.problems.push_back(read.error());
            continue;
        }
        const std::string_view bytes(buffer.data(), read->size);
        if (!plainBaseBytes(bytes)) {
            // Not a base file of the usual shape: the base reader reads it or says why.
            auto base = decodeBase(bytes, catalogue);
            if (!base)
                report.problems.push_back(
                    Error{base.error().kind, "«" + fileName + "»: " + base.error().message});
            else if (base->deviceType == query.deviceType) {
                collect(*base, fileName, -1);
                report.baseIdentities.back() = read->identity;
            }
            continue;
        }
        const RecordCells cells(bytes, catalogue);
        const int type = cells.deviceType();
        if (type != query.deviceType)
            continue;
        const int index = static_cast<int>(report.baseFiles.size());
        report.baseFiles.emplace_back(fileName);
        report.baseIdentities.push_back(read->identity);
        const JudgePlan plan = prepare(query, [&](int c) {
            const bool there = c >= 1 && c <= parameterColumnCount(type) && cells.hasColumn(c);
            return ColumnHead{there, isTextParameter(type, c),
                              there ? unitScaleOfTitle(cells.title(c)) : UnitScale{}};
        });
        judgeAndAttach(
            query, plan, cells, static_cast<int>(cells.records()), index, -1, matches,
            [&](std::size_t first) { attachTexts(query, cells, matches, first, memo); }, always,
            report.fullCount, report.nearCount, space);
    }
    if (progress)
        progress(total, total);
    std::size_t full = 0;
    std::size_t near = 0;
    rankMatches(query, matches, full, near);
    report.matches = std::move(matches);
    return report;
}

}  // namespace veltris
