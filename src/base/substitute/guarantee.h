#pragma once
// What a cell promises, and whether a candidate's promise meets what a rule asks of it.
//
// A cell is a promise: a plain value or a range (both ends known), a one-sided guarantee (">x":
// at least x; "<x": at most x), or nothing at all. A rule asks for a lower bound, an upper
// bound or both; the bounds come from the reference's cell.
#include <cmath>
#include <cstdint>

#include "base/substitute/rules.h"

namespace veltris {

// Bits of CellMeaning::known: which ends are known, and what kind of figure the text gives. A
// plain number, "<x" or ">x" is a guaranteed limit; "(x)" a typical value; "[x]" and "{x}" a
// figure under other conditions (the base's own convention). Figures of different kinds are
// not compared: the verdict is «не сравнимо».
enum : std::uint8_t {
    kKnownLow = 0x01,
    kKnownHigh = 0x02,
    kKnownEnds = 0x03,
    kMarkTypical = 0x04,  // "(x)"
    kMarkBracket = 0x08,  // "[x]"
    kMarkBrace = 0x10,    // "{x}"
    kMarks = 0x1C,
};

// The mark bits of a value's flags (the paren, bracket and brace flags are bits 0..2).
inline std::uint8_t marksOfFlags(std::uint8_t flags)
{
    return static_cast<std::uint8_t>((flags & 0x07u) << 2);
}

// The interval a cell's text promises, in absolute values (the sign of a voltage or current
// says only its direction). Both ends known: an exact value (lo == hi) or a range; only the
// high end: "<x", at most x; only the low end: ">x", at least x; none: the text cannot tell
// (empty, "0", no number, both "<" and ">").
struct CellMeaning {
    double lo = 0;
    double hi = 0;
    std::uint8_t known = 0;
};

// A candidate's parameter judged by one rule.
//   Pass           it meets the rule;
//   Fail           it does not;
//   Unknown        its cell cannot tell (no data, or a one-sided limit against the other side);
//   NotGuaranteed  its one-sided guarantee is weaker than the rule asks (">100" where at least
//                  900 is needed, "<10" where at most 4 is): a failure, shown as its own kind.
enum class Verdict : std::uint8_t {
    Pass,
    Fail,
    Unknown,
    NotGuaranteed
};

// What a rule asks of a candidate's cell, from the reference's cell.
struct RuleTarget {
    bool needLow = false;   // the candidate must not go below `low`
    bool needHigh = false;  // the candidate must not go above `high`
    double low = 0;
    double high = 0;
    // Which way a deviation from the reference is in the candidate's favour: +1 higher (only a
    // lower bound is asked), -1 lower (only an upper bound), 0 neither.
    int favoured = 0;
    std::uint8_t marks = 0;  // the kind of the reference's figure (kMark* bits)
};

// The target of `rule` for a reference cell that promises something (known != 0):
//   «не меньше» (tolerance p)  at least lo·(1 − p/100);
//   «не больше» (tolerance q)  at most hi·(1 + q/100);
//   «равно», «обязательно равно»  within [lo, hi];
//   «в пределах» −p..+q        lo·(1 − p/100) .. hi·(1 + q/100) for a value or a range; for
//                              ">x" only the lower end, for "<x" only the upper end.
// A one-sided reference stands for its number elsewhere.
RuleTarget ruleTarget(const SubstituteRule& rule, const CellMeaning& reference);

// Bits of judgeCell's answer.
enum : unsigned {
    kJudgedFail = 1,     // a failure of either kind
    kJudgedUnknown = 2,  // the cell cannot tell
    kJudgedWeak = 4,     // with kJudgedFail: the failure is a guarantee too weak
    kJudgedOther = 8,  // with kJudgedUnknown: a figure of another kind or condition, «не сравнимо»
    kJudgedClass = 16,  // with kJudgedFail: another class of device (a class gate)
};

// The verdict on a candidate cell (`known`, `lo`, `hi` as in CellMeaning, in the units of the
// target) as kJudged* bits; 0 is a pass. An exact value or a range passes or fails. A one-sided
// limit is compared where it can be:
//   on its own side ("at least x" against a lower bound, "at most x" against an upper one) it
//   passes when it reaches the bound and is a guarantee too weak when it does not;
//   on the other side it fails when it already lies beyond the bound, else it cannot tell.
// A figure of another kind than the reference's (typical against a limit, bracketed against
// plain) cannot tell: «не сравнимо».
// Branch-free: the verdicts of neighbouring rows follow no pattern a predictor could learn.
[[gnu::always_inline]] inline unsigned judgeCell(const RuleTarget& t, std::uint8_t cell, double lo, double hi)
{
    const unsigned other = (cell & kKnownEnds) != 0 && (cell & kMarks) != t.marks;
    const std::uint8_t known = other ? 0 : cell & kKnownEnds;
    const unsigned exact = known == (kKnownLow | kKnownHigh);
    const unsigned onlyLow = known == kKnownLow;
    const unsigned onlyHigh = known == kKnownHigh;
    const unsigned needLow = t.needLow;
    const unsigned needHigh = t.needHigh;
    const unsigned loBelow = lo < t.low;
    const unsigned hiBelow = hi < t.low;
    const unsigned hiAbove = hi > t.high;
    const unsigned loAbove = lo > t.high;
    const unsigned fail = (needLow & ((exact & loBelow) | (onlyHigh & hiBelow))) |
                          (needHigh & ((exact & hiAbove) | (onlyLow & loAbove)));
    const unsigned weak = ((needLow & onlyLow & loBelow) | (needHigh & onlyHigh & hiAbove)) & (fail ^ 1u);
    const unsigned unknown =
        ((known == 0) | (needHigh & onlyLow) | (needLow & onlyHigh)) & ((fail | weak) ^ 1u);
    return fail | weak | (unknown << 1) | (weak << 2) | (other << 3);
}

inline Verdict verdictOf(unsigned judged)
{
    if (judged & kJudgedWeak)
        return Verdict::NotGuaranteed;
    if (judged & kJudgedFail)
        return Verdict::Fail;
    return (judged & kJudgedUnknown) ? Verdict::Unknown : Verdict::Pass;
}

// ln of the value a cell stands for when it is compared for closeness: the geometric mean of
// its known ends; a range from zero stands for half its upper end (its geometric mean would be
// zero, infinitely far from everything).
inline double logRepresentative(double lo, double hi)
{
    if (lo == hi)
        return std::log(lo);
    if (lo <= 0)
        return std::log(hi) - 0.6931471805599453;
    const double product = lo * hi;
    if (std::isnormal(product))
        return 0.5 * std::log(product);
    return 0.5 * (std::log(lo) + std::log(hi));
}

// How far a failing cell misses its target, as ln(bound / what the cell promises) on the side
// it misses (0 when it does not miss). Capped, so that a zero end stays a finite miss.
double cellMiss(const RuleTarget& t, std::uint8_t known, double lo, double hi);

// The deviation of a failing cell from the reference's value, in percent, on the side it
// misses: (least / referenceLow − 1)·100 below the target, (most / referenceHigh − 1)·100 above
// it (a one-sided limit counts as its number); 0 when it does not miss.
double cellDeviation(const RuleTarget& t, double referenceLow, double referenceHigh, std::uint8_t known,
                     double lo, double hi);

}  // namespace veltris
