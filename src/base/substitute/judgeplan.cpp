#include "base/substitute/judgeplan.h"

#include <cmath>

#include "base/substitute/query.h"

namespace veltris::substitute {

namespace {

// Comparisons allow for the rounding of percent bands and unit scales.
constexpr double kTolerance = 1e-9;

}  // namespace

JudgePlan prepare(const FinderQuery& query, const std::function<ColumnHead(int)>& headOf)
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

}  // namespace veltris::substitute
