#include "base/substitute/query.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <string>
#include <utility>

#include "base/devicetype.h"
#include "base/substitute/source.h"

namespace veltris {

namespace {

constexpr std::size_t kMaxRules = 32;  // the verdict masks hold one bit a rule

}  // namespace

std::vector<int> sourceColumns(int deviceType, const RuleSet& rules)
{
    std::vector<int> columns;
    const int package = packageColumn(deviceType);
    bool packageRuled = false;
    const auto add = [&](int c) {
        if (c > 0 && std::find(columns.begin(), columns.end(), c) == columns.end())
            columns.push_back(c);
    };
    for (std::size_t i = 0; i < rules.size(); ++i) {
        if (rules[i].kind == RuleKind::Off)
            continue;
        add(static_cast<int>(i) + 1);
        packageRuled |= static_cast<int>(i) + 1 == package;
    }
    // The columns the rules' options read besides their own.
    for (std::size_t i = 0; i < rules.size(); ++i) {
        if (rules[i].kind == RuleKind::Off)
            continue;
        add(rules[i].options.condition);
        if (rules[i].options.window) {
            add(static_cast<int>(i) + 2);
            add(static_cast<int>(i) + 3);
        }
    }
    if (package > 0 && !packageRuled)
        add(package);
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
        const auto cellOf = [&](int column) {
            if (column < 1 || column > source.columnCount() || !source.column(column).built ||
                source.column(column).text)
                return CellMeaning{};
            const FinderSource::Column& k = source.column(column);
            return CellMeaning{k.lo[r], k.hi[r], k.known[r]};
        };
        CellMeaning reference{col.lo[r], col.hi[r], col.known[r]};
        const RuleOptions& options = rule.options;
        if (options.window) {
            if (c + 2 > source.columnCount() || !source.column(c + 1).built || !source.column(c + 2).built) {
                q.unusable.push_back(c);
                continue;
            }
            reference = zenerWindow(reference, cellOf(c + 1), cellOf(c + 2),
                                    seriesTolerance(source.name(referenceRow)));
            a.windowMin = c + 1;
            a.windowMax = c + 2;
        }
        if (reference.known == 0) {
            q.unusable.push_back(c);
            continue;
        }
        // A rule for some references only (a compensated zener's ТКН): the others go without it.
        if (options.onlyBelow > 0 &&
            ((reference.known & kKnownLow) ? reference.lo : reference.hi) > options.onlyBelow)
            continue;
        if (options.condition > 0) {
            const CellMeaning condition = cellOf(options.condition);
            if (options.condition <= source.columnCount() && source.column(options.condition).built) {
                a.conditionColumn = options.condition;
                a.conditionUnit = source.column(options.condition).unit;
                a.conditionKnown =
                    (condition.known & kKnownEnds) == kKnownEnds && condition.lo == condition.hi;
                a.condition = a.conditionKnown ? condition.lo : 0;
            }
        }
        a.marks = reference.known & kMarks;
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
        if ((col.known[r] & kKnownEnds) == kKnownEnds && col.lo[r] == col.hi[r]) {
            q.packageColumn = package;
            q.referencePackage = col.lo[r];
        }
    }
    if (q.rules.size() > kMaxRules)
        q.rules.resize(kMaxRules);
    for (std::size_t j = 0; j < q.rules.size(); ++j)
        if (q.rules[j].windowMin > 0) {
            q.leadRule = static_cast<int>(j);
            break;
        }
    if (q.rules.empty())
        return Error{ErrorKind::Generic,
                     "нет ни одного применимого правила: все правила выключены или у образца "
                     "нет значений в их столбцах"};
    return q;
}

std::vector<int> queryColumns(const FinderQuery& query)
{
    std::vector<int> columns;
    const auto add = [&](int c) {
        if (c > 0 && std::find(columns.begin(), columns.end(), c) == columns.end())
            columns.push_back(c);
    };
    for (const ActiveRule& a : query.rules)
        add(a.column);
    for (const ActiveRule& a : query.rules) {
        add(a.conditionColumn);
        add(a.windowMin);
        add(a.windowMax);
    }
    add(query.packageColumn);
    return columns;
}

CellMeaning zenerWindow(const CellMeaning& nominal, const CellMeaning& least, const CellMeaning& most,
                        double tolerance)
{
    // A one-sided figure stands for its number: "<8,5" as the most is 8,5.
    const auto number = [](const CellMeaning& m) { return (m.known & kKnownLow) ? m.lo : m.hi; };
    const bool nominalKnown = (nominal.known & kKnownEnds) != 0;
    double lo = 0;
    double hi = 0;
    bool haveLo = false;
    bool haveHi = false;
    if ((least.known & kKnownEnds) != 0) {
        lo = number(least);
        haveLo = true;
    }
    if ((most.known & kKnownEnds) != 0) {
        hi = (most.known & kKnownHigh) ? most.hi : most.lo;
        haveHi = true;
    }
    if (nominalKnown) {
        // A nominal given as a range ("7-8,5") is the window itself.
        const double nlo = (nominal.known & kKnownLow) ? nominal.lo : nominal.hi;
        const double nhi = (nominal.known & kKnownHigh) ? nominal.hi : nominal.lo;
        const bool range = nlo != nhi;
        if (!haveLo) {
            lo = range ? nlo : nlo * (1 - tolerance);
            haveLo = true;
        }
        if (!haveHi) {
            hi = range ? nhi : nhi * (1 + tolerance);
            haveHi = true;
        }
    }
    CellMeaning w;
    if (haveLo && haveHi && lo > hi)
        std::swap(lo, hi);
    w.lo = haveLo ? lo : hi;
    w.hi = haveHi ? hi : lo;
    w.known = static_cast<std::uint8_t>((haveLo ? kKnownLow : 0) | (haveHi ? kKnownHigh : 0));
    if (w.hi <= 0)
        return {};
    return w;
}

double seriesTolerance(std::string_view name)
{
    return nameTolerance(name).value_or(0.05);
}

std::optional<double> nameTolerance(std::string_view name)
{
    const auto upper = [](char ch) {
        return ch >= 'a' && ch <= 'z' ? static_cast<char>(ch - 'a' + 'A') : ch;
    };
    std::string n;
    for (const char ch : name)
        if (ch != ' ' && ch != '-')
            n += upper(ch);
    const auto isDigit = [](char ch) { return ch >= '0' && ch <= '9'; };
    // BZX55C5V6, BZX79B12, BZV55C3V3: the letter after the series' digits.
    if (n.starts_with("BZ") && n.size() > 4) {
        std::size_t i = 3;
        while (i < n.size() && isDigit(n[i]))
            ++i;
        if (i < n.size()) {
            switch (n[i]) {
            case 'A': return 0.01;
            case 'B': return 0.02;
            case 'C': return 0.05;
            case 'D': return 0.10;
            case 'F': return 0.20;
            default: break;
            }
        }
        return std::nullopt;
    }
    // 1N4733A, 1N5232B: the letter after the number.
    if (n.starts_with("1N") && n.size() > 2) {
        std::size_t i = 2;
        while (i < n.size() && isDigit(n[i]))
            ++i;
        const int number = std::atoi(n.substr(2, i - 2).c_str());
        const char letter = i < n.size() ? n[i] : '\0';
        const bool older = number >= 4728 && number <= 4764;  // 1N4728…1N4764: A is ±5 %
        switch (letter) {
        case '\0': return 0.10;
        case 'A': return older ? 0.05 : 0.10;
        case 'B': return 0.05;
        case 'C': return 0.02;
        case 'D': return 0.01;
        default: return std::nullopt;
        }
    }
    return std::nullopt;
}

}  // namespace veltris
