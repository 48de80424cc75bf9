#include "base/finder.h"

#include <algorithm>
#include <array>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstring>
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
#include "base/valuetext.h"

namespace veltris {

namespace fs = std::filesystem;

namespace {

// Comparisons allow for the rounding of percent bands and unit scales.
constexpr double kTolerance = 1e-9;
constexpr std::size_t kMaxRules = 32;  // the verdict masks hold one bit a rule

std::string lowerAscii(std::string_view s)
{
    std::string out;
    out.reserve(s.size());
    for (char c : s) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
        out += c;
    }
    return out;
}

std::string_view trimmed(std::string_view s)
{
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t'))
        s.remove_suffix(1);
    return s;
}

std::optional<int> percentOf(std::string_view s)
{
    s = trimmed(s);
    int v = 0;
    const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
    if (s.empty() || ec != std::errc() || end != s.data() + s.size())
        return std::nullopt;
    return v;
}

std::string columnKey(int c)
{
    return "Col_" + std::to_string(c);
}

}  // namespace

// ---- rules ----

const char* ruleCaption(RuleKind kind)
{
    switch (kind) {
    case RuleKind::Off: return "не учитывать";
    case RuleKind::AtLeast: return "не меньше";
    case RuleKind::AtMost: return "не больше";
    case RuleKind::Equal: return "равно";
    case RuleKind::Band: return "в пределах";
    }
    return "";
}

Result<SubstituteRule> parseRuleText(std::string_view text)
{
    const std::string t = lowerAscii(trimmed(text));
    const auto bad = [&]() -> Error {
        return Error{ErrorKind::Generic,
                     "правило «" + std::string(text) +
                         "» не распознано; допустимы off, ge, le, eq, band:P:Q "
                         "(P от 0 до 100, Q от 0 до 1000 процентов)"};
    };
    if (t == "off")
        return SubstituteRule{RuleKind::Off};
    if (t == "ge")
        return SubstituteRule{RuleKind::AtLeast};
    if (t == "le")
        return SubstituteRule{RuleKind::AtMost};
    if (t == "eq")
        return SubstituteRule{RuleKind::Equal};
    if (t.starts_with("band:")) {
        const std::string_view rest = std::string_view(t).substr(5);
        const auto colon = rest.find(':');
        if (colon == std::string_view::npos)
            return bad();
        const auto p = percentOf(rest.substr(0, colon));
        const auto q = percentOf(rest.substr(colon + 1));
        if (!p || !q || *p < 0 || *p > kMaxBandMinus || *q < 0 || *q > kMaxBandPlus)
            return bad();
        return SubstituteRule{RuleKind::Band, *p, *q};
    }
    return bad();
}

std::string ruleText(const SubstituteRule& rule)
{
    switch (rule.kind) {
    case RuleKind::Off: return "off";
    case RuleKind::AtLeast: return "ge";
    case RuleKind::AtMost: return "le";
    case RuleKind::Equal: return "eq";
    case RuleKind::Band:
        return "band:" + std::to_string(rule.minusPercent) + ":" + std::to_string(rule.plusPercent);
    }
    return "off";
}

bool isTextParameter(int deviceType, int column)
{
    // The LED colour code: the store keeps it as letters, not as a number.
    return column > 0 && findDeviceType(deviceType) && findDeviceType(deviceType)->colourColumn == column;
}

// ---- defaults and the user's rules ----

namespace {

RuleSet rulesFromSection(const IniFile& ini, std::string_view section, int deviceType,
                         RuleSet rules)
{
    for (int c = 1; c <= static_cast<int>(rules.size()); ++c) {
        const auto text = ini.value(section, columnKey(c));
        if (!text)
            continue;
        auto rule = parseRuleText(*text);
        if (!rule)
            continue;  // a damaged key keeps the rule it would replace
        if (isTextParameter(deviceType, c) && rule->kind != RuleKind::Off)
            rule->kind = RuleKind::Equal;
        rules[static_cast<std::size_t>(c - 1)] = *rule;
    }
    return rules;
}

}  // namespace

Result<SubstituteDefaults> SubstituteDefaults::load(const fs::path& dir)
{
    const fs::path path = dir / kSubstituteDefaultsFile;
    std::error_code ec;
    if (!fs::exists(path, ec))
        return Error{ErrorKind::OpenFailed,
                     "Не найден файл правил замены «" + path.string() + "»"};
    auto bytes = readFileBytes(path);
    if (!bytes)
        return bytes.error();
    return fromBytes(*bytes);
}

SubstituteDefaults SubstituteDefaults::fromBytes(std::string_view iniBytes)
{
    const IniFile ini = IniFile::fromBytes(iniBytes);
    SubstituteDefaults d;
    d.m_rules.resize(8);
    for (const DeviceType& type : supportedDeviceTypes()) {
        d.m_rules[static_cast<std::size_t>(type.code)] =
            rulesFromSection(ini, "Type_" + std::to_string(type.code), type.code,
                             RuleSet(static_cast<std::size_t>(type.columnCount)));
    }
    return d;
}

RuleSet SubstituteDefaults::rules(int deviceType) const
{
    if (findDeviceType(deviceType) == nullptr || m_rules.empty())
        return RuleSet(static_cast<std::size_t>(parameterColumnCount(deviceType)));
    return m_rules[static_cast<std::size_t>(deviceType)];
}

std::string ruleSection(int deviceType)
{
    return "Substitute_" + std::to_string(deviceType);
}

RuleSet readUserRules(const IniFile& settings, int deviceType, const RuleSet& defaults)
{
    return rulesFromSection(settings, ruleSection(deviceType), deviceType, defaults);
}

void writeUserRules(IniFile& settings, int deviceType, const RuleSet& rules,
                    const RuleSet& defaults)
{
    const std::string section = ruleSection(deviceType);
    for (std::size_t i = 0; i < rules.size(); ++i) {
        const std::string key = columnKey(static_cast<int>(i) + 1);
        const bool differs = i >= defaults.size() || !(rules[i] == defaults[i]);
        if (differs || settings.hasKey(section, key))
            settings.writeString(section, key, ruleText(rules[i]));
    }
}

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

// ---- names ----

namespace {

std::array<unsigned char, 256> makeFoldTable()
{
    std::array<unsigned char, 256> t{};
    for (int i = 0; i < 256; ++i)
        t[static_cast<std::size_t>(i)] =
            static_cast<unsigned char>(cp1251ToUpper(static_cast<char>(i)));
    // Latin capitals that look like Cyrillic ones read as the Cyrillic letter.
    const std::string latin = "ABCEHKMOPTXY";
    const std::string cyrillic = utf8ToCp1251("АВСЕНКМОРТХУ");
    for (std::size_t k = 0; k < latin.size(); ++k) {
        const auto from = static_cast<unsigned char>(latin[k]);
        const auto to = static_cast<unsigned char>(cyrillic[k]);
        t[from] = to;
        t[static_cast<unsigned char>(from - 'A' + 'a')] = to;
    }
    return t;
}

}  // namespace

std::string foldName(std::string_view cp1251)
{
    static const std::array<unsigned char, 256> kFold = makeFoldTable();
    std::string out(cp1251);
    for (char& c : out)
        c = static_cast<char>(kFold[static_cast<unsigned char>(c)]);
    return out;
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
            a.rule.kind = RuleKind::Equal;
            q.rules.push_back(a);
            continue;
        }
        const auto r = static_cast<std::size_t>(referenceRow);
        if (col.known[r] == 0) {
            q.unusable.push_back(c);
            continue;
        }
        // "<x" and ">x" of the reference stand for x; a range for its ends.
        const double lo = col.lo[r];
        const double hi = col.hi[r];
        a.reference = std::sqrt(lo * hi);
        switch (rule.kind) {
        case RuleKind::AtLeast:
            a.needLow = true;
            a.low = lo;
            break;
        case RuleKind::AtMost:
            a.needHigh = true;
            a.high = hi;
            break;
        case RuleKind::Equal:
            a.needLow = a.needHigh = true;
            a.low = lo;
            a.high = hi;
            break;
        case RuleKind::Band:
            a.needLow = a.needHigh = true;
            a.low = lo * (1 - rule.minusPercent / 100.0);
            a.high = hi * (1 + rule.plusPercent / 100.0);
            break;
        case RuleKind::Off:
            break;
        }
        q.rules.push_back(a);
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

// One rule as the hot loop reads it: the target already in the candidate base's units.
struct PreparedRule {
    const double* lo = nullptr;
    const double* hi = nullptr;
    const std::uint8_t* known = nullptr;
    const std::uint64_t* key = nullptr;
    std::uint64_t refKey = 0;
    bool comparable = true;  // false: the column's unit cannot be compared with the reference's
    bool needLow = false;
    bool needHigh = false;
    double low = 0;
    double high = 0;
    double logReference = 0;  // ln(reference) in the candidate's units
};

// Factor from the candidate column's unit to the reference's; 0 when they cannot be compared.
double unitFactor(UnitScale reference, UnitScale candidate)
{
    if (reference.dimension == 0 && candidate.dimension == 0)
        return reference.text == candidate.text ? 1 : 0;
    if (reference.dimension != candidate.dimension)
        return 0;
    return candidate.scale / reference.scale;
}

std::vector<PreparedRule> prepare(const FinderQuery& query, const FinderSource& source)
{
    std::vector<PreparedRule> prepared;
    for (const ActiveRule& a : query.rules) {
        PreparedRule p;
        const FinderSource::Column& col = source.column(a.column);
        p.needLow = a.needLow;
        p.needHigh = a.needHigh;
        if (!col.built) {
            p.comparable = false;
        } else if (a.text) {
            p.key = col.key.data();
            p.refKey = a.key;
        } else {
            const double factor = unitFactor(a.unit, col.unit);
            p.comparable = factor > 0;
            if (p.comparable) {
                p.lo = col.lo.data();
                p.hi = col.hi.data();
                p.known = col.known.data();
                p.low = a.low / factor * (1 - kTolerance);
                p.high = a.high / factor * (1 + kTolerance);
                p.logReference = std::log(a.reference / factor);
            }
        }
        prepared.push_back(p);
    }
    return prepared;
}

// ln of the geometric mean of two ends; one logarithm unless their product leaves the normal
// range.
inline double logMean(double lo, double hi)
{
    if (lo == hi)
        return std::log(lo);
    const double product = lo * hi;
    if (std::isnormal(product))
        return 0.5 * std::log(product);
    return 0.5 * (std::log(lo) + std::log(hi));
}

// Both ends known: they are real values (an exact value, the spread of a range), so the text
// passes or fails. One end known ("<x", ">x"): that end is a limit, not a value; it decides only
// where it already settles the question.
// Returns kFails, kUnknown or 0 (pass), without branches: the verdicts of neighbouring rows
// follow no pattern a branch predictor could learn.
enum : unsigned { kFails = 1, kUnknown = 2 };
inline unsigned judgeValue(const PreparedRule& p, std::uint8_t known, double lo, double hi)
{
    const unsigned exact = known == (kKnownLow | kKnownHigh);
    const unsigned onlyLow = known == kKnownLow;
    const unsigned onlyHigh = known == kKnownHigh;
    const unsigned needLow = p.needLow;
    const unsigned needHigh = p.needHigh;
    // Needing the low bound: an exact value below it fails; "at least lo" below it may still
    // reach it; "at most hi" fails below it and cannot tell above it.
    const unsigned loBelow = lo < p.low;
    const unsigned hiBelow = hi < p.low;
    const unsigned hiAbove = hi > p.high;
    const unsigned loAbove = lo > p.high;
    const unsigned fail = (needLow & ((exact & loBelow) | (onlyHigh & hiBelow))) |
                          (needHigh & ((exact & hiAbove) | (onlyLow & loAbove)));
    const unsigned unknown = (known == 0) |
                             (needLow & ((onlyLow & loBelow) | (onlyHigh & (hiBelow ^ 1u)))) |
                             (needHigh & ((onlyHigh & hiAbove) | (onlyLow & (loAbove ^ 1u))));
    return fail | ((unknown & (fail ^ 1u)) << 1);
}

}  // namespace

bool judgeSource(const FinderQuery& query, const FinderSource& source, int baseIndex,
                 int excludeRow, std::vector<FinderMatch>& out, const FinderProgress& progress)
{
    const std::vector<PreparedRule> rules = prepare(query, source);
    const int limit = query.nearMisses;
    const int rows = source.rowCount();
    // Rule by rule over a block of rows: each pass reads one column's arrays in order, where
    // row by row would read all of the rules' arrays at once and wait on memory.
    constexpr int kBlock = 1024;
    constexpr int kProgressStep = 16 * kBlock;
    std::array<std::uint32_t, kBlock> failMask{};
    std::array<std::uint32_t, kBlock> unknownMask{};
    for (int from = 0; from < rows; from += kBlock) {
        if (progress && from % kProgressStep == 0 &&
            !progress(static_cast<std::size_t>(from), static_cast<std::size_t>(rows)))
            return false;
        const auto n = static_cast<std::size_t>(std::min(kBlock, rows - from));
        const auto first = static_cast<std::size_t>(from);
        std::fill_n(failMask.begin(), n, 0u);
        std::fill_n(unknownMask.begin(), n, 0u);
        for (std::size_t j = 0; j < rules.size(); ++j) {
            const PreparedRule& p = rules[j];
            const auto bit = static_cast<std::uint32_t>(j);
            if (p.known != nullptr) {
                for (std::size_t k = 0; k < n; ++k) {
                    const std::size_t r = first + k;
                    const unsigned v = judgeValue(p, p.known[r], p.lo[r], p.hi[r]);
                    failMask[k] |= (v & kFails) << bit;
                    unknownMask[k] |= (v >> 1) << bit;
                }
            } else if (p.key != nullptr) {
                for (std::size_t k = 0; k < n; ++k) {
                    const std::uint64_t key = p.key[first + k];
                    failMask[k] |= static_cast<std::uint32_t>(key != 0 && key != p.refKey) << bit;
                    unknownMask[k] |= static_cast<std::uint32_t>(key == 0) << bit;
                }
            } else {
                for (std::size_t k = 0; k < n; ++k)
                    unknownMask[k] |= std::uint32_t{1} << bit;
            }
        }
        for (std::size_t k = 0; k < n; ++k) {
            const int i = from + static_cast<int>(k);
            const int fails = std::popcount(failMask[k]);
            if (i == excludeRow || fails > limit)
                continue;
            // The distance only for the kept rows: logarithms cost more than the verdicts.
            const auto r = static_cast<std::size_t>(i);
            double distance = 0;
            for (const PreparedRule& p : rules) {
                if (p.known != nullptr && p.known[r] != 0)
                    distance += std::fabs(logMean(p.lo[r], p.hi[r]) - p.logReference);
            }
            FinderMatch m;
            m.base = baseIndex;
            m.row = i;
            m.name = std::string(source.name(i));
            m.fails = fails;
            m.unknowns = std::popcount(unknownMask[k]);
            m.distance = distance;
            m.failMask = failMask[k];
            m.unknownMask = unknownMask[k];
            out.push_back(std::move(m));
        }
    }
    return true;
}

bool betterMatch(const FinderMatch& a, const FinderMatch& b)
{
    if (a.fails != b.fails)
        return a.fails < b.fails;
    if (a.unknowns != b.unknowns)
        return a.unknowns < b.unknowns;
    if (a.distance != b.distance)
        return a.distance < b.distance;
    if (a.base != b.base)
        return a.base < b.base;
    return a.row < b.row;
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

void rankMatches(const FinderQuery& query, std::vector<FinderMatch>& matches,
                 std::size_t& fullCount, std::size_t& nearCount)
{
    fullCount = 0;
    nearCount = 0;
    countMatches(matches, 0, fullCount, nearCount);
    if (query.top > 0 && query.top < matches.size()) {
        std::partial_sort(matches.begin(), matches.begin() + static_cast<std::ptrdiff_t>(query.top),
                          matches.end(), betterMatch);
        matches.resize(query.top);
    } else {
        std::sort(matches.begin(), matches.end(), betterMatch);
    }
}

// ---- adapters over the component base store ----

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

// The absolute value a stored double's text reads back as; false when only the text can tell.
bool readBackAbs(double v, std::uint8_t cls, double& out)
{
    if (cls == kValueOther)
        return false;
    out = std::fabs(readBack(v, cls));
    return true;
}

// What a stored cell promises, from its stored form: exactly what cellMeaning gives for its
// text. A value's text is its number with decorations: brackets of any kind leave the number
// as it is, "<" and ">" make it a limit, zero (whatever the decorations) is no data. A range's
// text is its two ends, or one when they differ by at most 0.0001 (version 3: when the upper
// end's magnitude exceeds the lower's by at most that). False when only the text can tell: a
// text column, and values whose text does not read back as a number of their class.
bool storedMeaning(const ColumnStore& c, std::uint32_t s, CellMeaning& m)
{
    double a = 0;
    double b = 0;
    std::uint8_t flags = 0;
    switch (c.kind) {
    case CellKind::Text: return false;
    case CellKind::Drawing:
        a = b = std::fabs(static_cast<double>(c.drawing[s]));
        break;
    case CellKind::Value:
        flags = c.flags[s];
        if (!readBackAbs(c.a[s], c.classes[s], a))
            return false;
        b = a;
        break;
    case CellKind::Range: {
        flags = c.flags[s];
        const double va = c.a[s];
        const double vb = c.b[s];
        if (!readBackAbs(va, c.classes[s] & 3u, a))
            return false;
        if (std::fabs(va - vb) <= 0.0001)
            b = a;
        else if (!readBackAbs(vb, static_cast<std::uint8_t>(c.classes[s] >> 2 & 3u), b))
            return false;
        break;
    }
    case CellKind::V3Range: {
        const double va = c.a[s];
        const double vb = c.b[s];
        if (!readBackAbs(va, classifyValue(va), a))
            return false;
        if (std::fabs(vb) - std::fabs(va) <= 0.0001)
            b = a;
        else if (!readBackAbs(vb, classifyValue(vb), b))
            return false;
        break;
    }
    }
    m = endsMeaning(a, b, (flags & kFlagLess) != 0, (flags & kFlagGreater) != 0);
    return true;
}

// Fills the column's value of data rows [from, to) of `table` (source row i is table row i + 1).
void readColumn(const Table& table, int c, FinderSource::Column& col, int from, int to,
                bool fromTexts)
{
    const ColumnStore& store = table.column(c);
    std::string scratch;
    const std::span<const std::uint32_t> order = table.order();
    for (int i = from; i < to; ++i) {
        const std::uint32_t s = order[static_cast<std::size_t>(i)];
        const auto r = static_cast<std::size_t>(i);
        // The commonest cell, a loaded value that reads back as itself, without a call.
        if (!fromTexts && store.kind == CellKind::Value && store.classes[s] == kValueExact &&
            !table.rowEdited(s)) {
            const double v = std::fabs(store.a[s]);
            const unsigned limit = store.flags[s] & (kFlagLess | kFlagGreater);
            const bool both = limit == (kFlagLess | kFlagGreater);
            col.lo[r] = col.hi[r] = both ? 0 : v;
            col.known[r] = limit == 0            ? (kKnownLow | kKnownHigh)
                           : limit == kFlagLess  ? kKnownHigh
                           : limit == kFlagGreater ? kKnownLow
                                                 : 0;
            continue;
        }
        const auto text = [&]() -> std::string_view {
            if (!fromTexts)
                return shownText(table, s, c, scratch);
            scratch = table.cell(i + 1, c);
            return scratch;
        };
        if (col.text) {
            col.key[r] = colourKey(text());
            continue;
        }
        CellMeaning m;
        const bool edited = table.rowEdited(s) && table.editedText(s, c) != nullptr;
        if (fromTexts || edited || !storedMeaning(store, s, m))
            m = cellMeaning(text());
        col.lo[r] = m.lo;
        col.hi[r] = m.hi;
        col.known[r] = m.known;
    }
}

FinderSource buildSource(const ComponentBase& base, std::span<const int> columns,
                         const FinderProgress& progress, bool* cancelled, bool fromTexts)
{
    if (cancelled != nullptr)
        *cancelled = false;
    FinderSource source(base.deviceType, base.recordCount());
    const Table& table = base.table;
    std::vector<int> wanted;
    if (columns.empty()) {
        for (int c = 1; c <= source.columnCount(); ++c)
            wanted.push_back(c);
    } else {
        wanted.assign(columns.begin(), columns.end());
    }
    std::vector<std::pair<int, FinderSource::Column*>> built;
    for (int c : wanted) {
        if (c < 1 || c > source.columnCount() || c >= table.columnCount() || source.column(c).built)
            continue;
        built.emplace_back(c, &source.buildColumn(c, isTextParameter(base.deviceType, c),
                                                  unitScaleOfTitle(table.cell(0, c))));
    }
    // In steps of rows, column by column within a step: each column's arrays are read in order.
    const int rows = source.rowCount();
    std::string scratch;
    for (int from = 0; from < rows; from += kReadStep) {
        if (progress && !progress(static_cast<std::size_t>(from), static_cast<std::size_t>(rows))) {
            if (cancelled != nullptr)
                *cancelled = true;
            return source;
        }
        const int to = std::min(rows, from + kReadStep);
        for (int i = from; i < to; ++i)
            source.setName(i, shownText(table, table.storedRow(i + 1), 0, scratch));
        for (const auto& [c, col] : built)
            readColumn(table, c, *col, from, to, fromTexts);
    }
    return source;
}

}  // namespace

FinderSource finderSourceFromBase(const ComponentBase& base, std::span<const int> columns,
                                  const FinderProgress& progress, bool* cancelled)
{
    return buildSource(base, columns, progress, cancelled, false);
}

FinderSource finderSourceFromTexts(const ComponentBase& base, std::span<const int> columns)
{
    return buildSource(base, columns, {}, nullptr, true);
}

std::vector<int> findNameMatches(const FinderSource& source, std::string_view needle)
{
    const std::string folded = foldName(needle);
    std::vector<int> exact;
    std::vector<int> partial;
    if (folded.empty())
        return exact;
    for (int i = 0; i < source.rowCount(); ++i) {
        const std::string name = foldName(source.name(i));
        if (name == folded)
            exact.push_back(i);
        else if (name.find(folded) != std::string::npos)
            partial.push_back(i);
    }
    exact.insert(exact.end(), partial.begin(), partial.end());
    return exact;
}

std::vector<int> queryColumns(const FinderQuery& query)
{
    std::vector<int> columns;
    for (const ActiveRule& a : query.rules)
        columns.push_back(a.column);
    return columns;
}

namespace {

void attachTexts(const FinderQuery& query, const ComponentBase& base, int baseIndex,
                 std::vector<FinderMatch>& matches, std::size_t from)
{
    for (std::size_t k = from; k < matches.size(); ++k) {
        FinderMatch& m = matches[k];
        if (m.base != baseIndex)
            continue;
        m.texts.clear();
        m.texts.reserve(query.rules.size());
        for (const ActiveRule& a : query.rules) {
            std::string& text = m.texts.emplace_back();
            if (a.column < base.table.columnCount())
                base.table.appendCell(m.row + 1, a.column, text);
        }
    }
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

}  // namespace

FinderReport findInBase(const FinderQuery& query, const ComponentBase& base,
                        std::string_view fileName, const FinderProgress& progress)
{
    FinderReport report;
    report.baseFiles.emplace_back(fileName);
    std::size_t full = 0;
    std::size_t near = 0;
    // Progress in two halves: reading the cells, then judging the rows.
    const auto half = [&](std::size_t offset) -> FinderProgress {
        if (!progress)
            return {};
        return [&progress, offset](std::size_t done, std::size_t total) {
            return progress(offset * total + done, 2 * total);
        };
    };
    bool cancelled = false;
    const FinderSource source = finderSourceFromBase(base, queryColumns(query), half(0), &cancelled);
    if (cancelled ||
        !judgeSource(query, source, 0, query.referenceRow, report.matches, half(1))) {
        report.cancelled = true;
        report.matches.clear();
        return report;
    }
    // Count everything found, cut to `top`, copy the texts while the rows are still in table
    // order (the cells are then read front to back), then sort.
    countMatches(report.matches, 0, report.fullCount, report.nearCount);
    keepBest(query, report.matches, 0);
    attachTexts(query, base, 0, report.matches, 0);
    rankMatches(query, report.matches, full, near);
    return report;
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

    const std::vector<int> columns = queryColumns(query);
    std::vector<FinderMatch> matches;
    const auto collect = [&](const ComponentBase& base, std::string_view fileName, int exclude) {
        const int index = static_cast<int>(report.baseFiles.size());
        report.baseFiles.emplace_back(fileName);
        const std::size_t from = matches.size();
        judgeSource(query, finderSourceFromBase(base, columns), index, exclude, matches);
        // Counted before the cut: the counts cover everything found.
        countMatches(matches, from, report.fullCount, report.nearCount);
        keepBest(query, matches, from);
        attachTexts(query, base, index, matches, from);
    };

    const std::size_t total = files.size() + 1;
    collect(openBase, openFile, query.referenceRow);
    for (std::size_t f = 0; f < files.size(); ++f) {
        if (progress && !progress(f + 1, total)) {
            report.cancelled = true;
            report.fullCount = report.nearCount = 0;
            return report;
        }
        if (isOpenFile(files[f]->fileName))
            continue;
        auto base = readBase(files[f]->fileName, catalogue);
        if (!base) {
            report.problems.push_back(
                Error{base.error().kind, "«" + files[f]->fileName + "»: " + base.error().message});
            continue;
        }
        if (base->deviceType == query.deviceType)
            collect(*base, files[f]->fileName, -1);
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
