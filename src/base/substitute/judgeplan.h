#pragma once
// The judge's plan for one base: each rule of the query with its target in the units of the
// candidate base's columns, and the package to compare.
#include <cstdint>
#include <functional>
#include <vector>

#include "base/substitute/guarantee.h"
#include "base/substitute/rules.h"
#include "base/substitute/unitscale.h"

namespace veltris {
struct FinderQuery;
}

namespace veltris::substitute {

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
    bool gate = false;   // a failure drops the row
    bool label = false;  // the package column: its numbers name drawings, a miss has no size
    std::uint64_t refKey = 0;
    RuleTarget target;
    double logReference = 0;  // ln(reference) in the candidate's units
    double referenceLow = 0;  // the reference's ends in the candidate's units
    double referenceHigh = 0;
    bool required = false;  // «обязательно известно»
    DeviceClassBy classBy = DeviceClassBy::None;
    // The measurement condition: its column in the candidate base (0: not compared) and the
    // reference's value there in that column's units.
    int conditionColumn = 0;
    double condition = 0;
    // A zener voltage window: the columns of the least and the most voltage (0: no window) and
    // the factors that bring their values to the nominal column's units (0: not comparable).
    int windowMin = 0;
    int windowMax = 0;
    double windowMinScale = 0;
    double windowMaxScale = 0;
    // The tolerance the reference's own window implies (half its width over its middle), for a
    // candidate that gives only a nominal and whose name tells no series tolerance.
    double windowTolerance = 0.05;
};

// The package as the judge reads it in one base.
struct PreparedPackage {
    int column = 0;  // 0: every row's package is unknown
    double number = 0;
};

// Everything the judge needs for one base.
struct JudgePlan {
    std::vector<PreparedRule> rules;
    int leadRule = -1;  // as FinderQuery::leadRule
    PreparedPackage package;
    int limit = 0;  // most failures a kept row may have
    bool unknownFails = false;
};

// The plan of `query` for a base; `headOf(column)` gives the ColumnHead of a column of that base.
JudgePlan prepare(const FinderQuery& query, const std::function<ColumnHead(int)>& headOf);

}  // namespace veltris::substitute
