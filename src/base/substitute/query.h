#pragma once
// The query: the reference, the rules that apply to it with their targets, and what to keep.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/result.h"
#include "base/substitute/guarantee.h"
#include "base/substitute/rules.h"
#include "base/substitute/unitscale.h"

namespace veltris {

class FinderSource;

// One active rule with its target interval taken from the reference (ruleTarget).
struct ActiveRule {
    int column = 0;
    SubstituteRule rule;
    bool text = false;
    bool needLow = false;   // the candidate must not go below `low`
    bool needHigh = false;  // the candidate must not go above `high`
    double low = 0;
    double high = 0;
    int favoured = 0;         // as RuleTarget::favoured
    double referenceLow = 0;  // the reference's own ends (one-sided: its number for both)
    double referenceHigh = 0;
    double reference = 0;     // representative reference value, for the distance
    double logReference = 0;  // its logarithm (finite even where `reference` overflows)
    UnitScale unit;           // of the reference's column
    std::uint64_t key = 0;    // text columns: the reference code
    // The figure's measurement condition (RuleOptions::condition): the column and the
    // reference's value there (conditionKnown 0: the reference does not say; any candidate's
    // figure is then compared).
    int conditionColumn = 0;
    double condition = 0;
    std::uint8_t conditionKnown = 0;
    UnitScale conditionUnit;
    // A zener voltage window (RuleOptions::window): the columns of the least and the most
    // voltage; referenceLow..referenceHigh is the reference's window, and a candidate's
    // nominal must lie within it.
    int windowMin = 0;
    int windowMax = 0;
    std::uint8_t marks = 0;  // the kind of the reference's figure (kMark*)

    bool gate() const { return rule.kind == RuleKind::Gate; }
    bool required() const { return rule.options.required; }
    RuleTarget target() const { return {needLow, needHigh, low, high, favoured, marks}; }
};

struct FinderQuery {
    int deviceType = 0;
    int referenceRow = 0;       // source row of the reference in its own base
    std::string referenceName;  // Windows-1251
    std::vector<ActiveRule> rules;
    // Columns whose rule is set but which the reference's own text cannot give a value for:
    // such a rule cannot be applied and is reported, not silently dropped.
    std::vector<int> unusable;
    int nearMisses = 0;   // K: candidates with 1..K failing parameters are kept as near misses
    std::size_t top = 0;  // at most this many results; 0 for all
    // «Неизвестное считать несовпадением»: a rule a candidate's cell cannot tell counts as
    // failing (the verdict stays Unknown; FinderMatch::fails counts it).
    bool unknownFails = false;
    // The package drawing number of the reference, for PackageMatch; 0 when the reference has
    // none (every candidate's package is then Unknown).
    int packageColumn = 0;
    double referencePackage = 0;
    // The rule whose miss orders the near misses first (a zener's voltage window), or -1.
    int leadRule = -1;
};

// The voltage window of a zener: from its least and most voltage where the base gives them,
// else its nominal with the tolerance of its series (seriesTolerance). Cells as CellMeaning
// (marks ignored), the result in the same units; known 0 when nothing tells.
CellMeaning zenerWindow(const CellMeaning& nominal, const CellMeaning& least, const CellMeaning& most,
                        double tolerance);
// The voltage tolerance a zener's name implies, as a fraction: the letter of the series
// (BZX55C5V6: C ±5 %, B ±2 %, A ±1 %, D ±10 %; 1N4733A ±5 %, 1N4733 ±10 %; 1N5232B ±5 %,
// 1N5232A ±10 %); nothing where the name tells nothing. `nameCp1251` as the base holds it.
std::optional<double> nameTolerance(std::string_view nameCp1251);
// The same, ±5 % where the name tells nothing.
double seriesTolerance(std::string_view nameCp1251);

// The columns a query made from `rules` reads: every ruled column and the package's.
std::vector<int> sourceColumns(int deviceType, const RuleSet& rules);

// Makes the query from the reference row of `source` and the rules (size C; shorter sets leave
// the remaining columns off); the package of the reference when the source has its column.
// Error: Generic when no rule can be applied or the row is outside.
Result<FinderQuery> makeQuery(const FinderSource& source, int referenceRow, const RuleSet& rules,
                              int nearMisses, std::size_t top);

// The columns a query needs built: its rules' and the package's.
std::vector<int> queryColumns(const FinderQuery& query);

}  // namespace veltris
