#include "base/substitute/query.h"

#include <algorithm>
#include <cmath>

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

}  // namespace veltris
