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
    plan.leadRule = query.leadRule;
    for (const ActiveRule& a : query.rules) {
        PreparedRule p;
        p.column = a.column;
        p.gate = a.gate();
        p.required = a.required();
        p.classBy = a.rule.options.classBy;
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
            if (a.conditionColumn > 0 && a.conditionKnown) {
                const ColumnHead c = headOf(a.conditionColumn);
                const double f = c.built && !c.text ? unitFactor(a.conditionUnit, c.unit) : 0;
                if (f > 0) {
                    p.conditionColumn = a.conditionColumn;
                    p.condition = a.condition / f;
                }
            }
            if (a.windowMin > 0) {
                // The least and the most in the nominal's units: each column's own factor against
                // the reference's, over the nominal's.
                const auto scale = [&](int column) {
                    const ColumnHead c = headOf(column);
                    const double f = c.built && !c.text ? unitFactor(a.unit, c.unit) : 0;
                    return f > 0 ? f / factor : 0.0;
                };
                if (a.referenceLow > 0 && a.referenceHigh > a.referenceLow)
                    p.windowTolerance =
                        (a.referenceHigh - a.referenceLow) / (a.referenceHigh + a.referenceLow);
                p.windowMin = a.windowMin;
                p.windowMax = a.windowMax;
                p.windowMinScale = scale(a.windowMin);
                p.windowMaxScale = scale(a.windowMax);
            }
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
