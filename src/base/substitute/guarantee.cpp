#include "base/substitute/guarantee.h"

#include <algorithm>

namespace veltris {

RuleTarget ruleTarget(const SubstituteRule& rule, const CellMeaning& reference)
{
    RuleTarget t;
    const double lo = reference.lo;
    const double hi = reference.hi;
    const double minus = 1 - rule.minusPercent / 100.0;
    const double plus = 1 + rule.plusPercent / 100.0;
    switch (rule.kind) {
    case RuleKind::Off: break;
    case RuleKind::AtLeast:
        t.needLow = true;
        t.low = lo * minus;
        break;
    case RuleKind::AtMost:
        t.needHigh = true;
        t.high = hi * plus;
        break;
    case RuleKind::Equal:
    case RuleKind::Gate:
        t.needLow = t.needHigh = true;
        t.low = lo;
        t.high = hi;
        break;
    case RuleKind::Band:
        // ">x" says nothing of how high the reference goes, "<x" nothing of how low.
        t.needLow = (reference.known & kKnownLow) != 0;
        t.needHigh = (reference.known & kKnownHigh) != 0;
        t.low = lo * minus;
        t.high = hi * plus;
        break;
    }
    t.favoured = t.needLow == t.needHigh ? 0 : t.needLow ? 1 : -1;
    t.marks = reference.known & kMarks;
    return t;
}

namespace {

constexpr double kLargestMiss = 50;  // e^50: beyond any datasheet's spread

}  // namespace

double cellMiss(const RuleTarget& t, std::uint8_t cell, double lo, double hi)
{
    const std::uint8_t known = (cell & kMarks) == t.marks ? cell & kKnownEnds : 0;
    // The least and the most the cell can be: a one-sided limit is its number either way.
    const double least = (known & kKnownLow) ? lo : hi;
    const double most = (known & kKnownHigh) ? hi : lo;
    double miss = 0;
    if (known == 0)
        return 0;
    if (t.needLow && least < t.low)
        miss = least > 0 ? std::log(t.low / least) : kLargestMiss;
    if (t.needHigh && most > t.high)
        miss = std::max(miss, t.high > 0 ? std::log(most / t.high) : kLargestMiss);
    return std::min(miss, kLargestMiss);
}

double cellDeviation(const RuleTarget& t, double referenceLow, double referenceHigh, std::uint8_t cell,
                     double lo, double hi)
{
    const std::uint8_t known = (cell & kMarks) == t.marks ? cell & kKnownEnds : 0;
    if (known == 0)
        return 0;
    const double least = (known & kKnownLow) ? lo : hi;
    const double most = (known & kKnownHigh) ? hi : lo;
    const double below =
        t.needLow && least < t.low && t.low > 0 ? std::log(t.low / std::max(least, 1e-300)) : 0;
    const double above = t.needHigh && most > t.high && t.high > 0 ? std::log(most / t.high) : 0;
    if (below == 0 && above == 0)
        return 0;
    if (below >= above)
        return referenceLow > 0 ? (least / referenceLow - 1) * 100 : -100;
    return referenceHigh > 0 ? (most / referenceHigh - 1) * 100 : 0;
}

}  // namespace veltris
