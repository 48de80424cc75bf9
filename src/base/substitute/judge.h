#pragma once
// The judge: rows of one base held against the plan block by block, rule by rule, each rule
// reading its column only for the rows still alive; the kept rows become matches with their
// verdicts, closeness and misses.
#include <algorithm>
#include <bit>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "base/substitute/cellreaders.h"
#include "base/substitute/judgeplan.h"
#include "base/substitute/match.h"
#include "base/substitute/query.h"
#include "base/substitute/ranking.h"

namespace veltris::substitute {

// Rows judged together. Within a block the rules are taken one at a time, each reading its
// column only for the rows still alive: a row with more failing parameters than a near miss
// may have, or failing a gate, can never be kept, so the rules after that skip it.
constexpr int kJudgeBlock = 2048;
constexpr int kProgressStep = 32 * kJudgeBlock;

// The judge's working arrays, made once for a search and used for every base of it.
struct JudgeSpace {
    explicit JudgeSpace(std::size_t count)
        : lo(count * kJudgeBlock), hi(count * kJudgeBlock), known(count * kJudgeBlock), key(kJudgeBlock),
          live(kJudgeBlock), verdicts(kJudgeBlock), weakMask(kJudgeBlock), otherMask(kJudgeBlock),
          failCount(kJudgeBlock), scratchLo(3 * kJudgeBlock), scratchHi(3 * kJudgeBlock),
          scratchKnown(3 * kJudgeBlock), conditionOther(kJudgeBlock), windowLo(kJudgeBlock),
          windowHi(kJudgeBlock), windowKnown(kJudgeBlock), windowOutside(kJudgeBlock), distance(kJudgeBlock),
          favour(kJudgeBlock), packageLo(kJudgeBlock), packageHi(kJudgeBlock), packageKnown(kJudgeBlock),
          order(count), failed(count, 0), judged(count, 0)
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
    std::vector<std::uint32_t> otherMask;  // «не сравнимо»
    std::vector<std::uint32_t> failCount;  // failures counted so far
    // The cells a rule's options read besides its own (a condition, a window's three columns),
    // at index row - first row of the block; what they make of them, at the index in the list
    // of rows read.
    std::vector<double> scratchLo;
    std::vector<double> scratchHi;
    std::vector<std::uint8_t> scratchKnown;
    std::vector<std::uint8_t> conditionOther;  // at index row - first: another condition
    std::vector<double> windowLo;
    std::vector<double> windowHi;
    std::vector<std::uint8_t> windowKnown;
    std::vector<std::uint8_t> windowOutside;  // the nominal outside the reference's window
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
    std::uint32_t* otherMask;
    std::size_t required = 0;  // «обязательно известно»: an unknown fails
    // At index row - first: the figure was taken at another condition than the reference's
    // (null: the rule names no condition).
    const std::uint8_t* conditionOther = nullptr;
    DeviceClassBy classBy = DeviceClassBy::None;
    double classLow = 0;  // the reference's lower end, for the Darlington gate
    std::size_t stay = 0;
    std::size_t fails = 0;

    // v: kJudged* bits. Inlined into each cell reader's loop: a call a verdict costs more than
    // the verdict.
    [[gnu::always_inline]] void record(int row, unsigned v)
    {
        const auto k = static_cast<std::size_t>(row - first);
        if (conditionOther != nullptr && conditionOther[k] != 0 && (v & kJudgedUnknown) == 0)
            v = kJudgedUnknown | kJudgedOther;
        const std::size_t fail = v & kJudgedFail;
        const std::size_t unknown = v >> 1 & 1u;
        const std::size_t classChange = v >> 4 & 1u;
        const std::size_t missing = required & unknown;
        const std::size_t counted = fail | missing | (unknownFails & unknown);
        const std::uint64_t now =
            verdicts[k] | std::uint64_t{fail | missing} << bit | std::uint64_t{unknown} << (bit + 32);
        verdicts[k] = now;
        if (v & kJudgedWeak)
            weakMask[k] |= std::uint32_t{1} << bit;
        if (v & kJudgedOther)
            otherMask[k] |= std::uint32_t{1} << bit;
        const std::uint32_t total = failCount[k] + static_cast<std::uint32_t>(counted);
        failCount[k] = total;
        live[stay] = row;
        const std::size_t drop = (gate & (fail | (unknownFails & unknown))) | classChange;
        stay += static_cast<std::size_t>(total <= limit) & (drop ^ 1u);
        fails += counted;
    }
    // A class gate on a candidate's cell: another class of device fails and drops the row.
    [[gnu::always_inline]] unsigned classed(unsigned v, std::uint8_t known, double lo) const
    {
        if (classBy == DeviceClassBy::None || (known & kKnownEnds) == 0)
            return v;
        bool other = false;
        if (classBy == DeviceClassBy::Marks) {
            other = (known & kMarks) != target.marks;
        } else if ((known & kKnownLow) && (known & kMarks) == target.marks) {
            // Lower ends an order of magnitude apart, the higher one a Darlington's.
            other = (lo >= 10 * classLow && lo >= kDarlingtonGain) ||
                    (classLow >= kDarlingtonGain && lo * 10 <= classLow);
        }
        return other ? (kJudgedFail | kJudgedClass) : v;
    }
    [[gnu::always_inline]] void put(int row, const CellMeaning& m)
    {
        record(row, classed(judgeCell(target, m.known, m.lo, m.hi), m.known, m.lo));
    }
    [[gnu::always_inline]] void plain(int row, std::uint8_t flags, double v)
    {
        const std::uint8_t known = plainKnown(flags, v);
        const double value = std::fabs(v);
        record(row, classed(judgeCell(target, known, value, value), known, value));
    }
};

// The cells of `rows` that the options of rule `p` read besides its own: the condition
// (space.conditionOther, at index row - first) and a zener window (space.window*, at the index
// in `rows`, the nominal's units).
template <CellReader Cells>
void readOptionCells(const PreparedRule& p, const Cells& cells, const int* rows, std::size_t n, int first,
                     JudgeSpace& space, bool condition, bool window)
{
    double* lo = space.scratchLo.data();
    double* hi = space.scratchHi.data();
    std::uint8_t* known = space.scratchKnown.data();
    if (condition && p.conditionColumn > 0) {
        cells.numeric(p.conditionColumn, rows, n, MeaningOut{lo, hi, known, first});
        const double tolerance = 1e-6 * p.condition;
        for (std::size_t a = 0; a < n; ++a) {
            const auto k = static_cast<std::size_t>(rows[a] - first);
            const bool told = (known[k] & kKnownEnds) == kKnownEnds && lo[k] == hi[k];
            space.conditionOther[k] = told && std::fabs(lo[k] - p.condition) > tolerance;
        }
    }
    if (!window || p.windowMin == 0)
        return;
    constexpr std::size_t kB = kJudgeBlock;
    cells.numeric(p.column, rows, n, MeaningOut{lo, hi, known, first});
    cells.numeric(p.windowMin, rows, n, MeaningOut{lo + kB, hi + kB, known + kB, first});
    cells.numeric(p.windowMax, rows, n, MeaningOut{lo + 2 * kB, hi + 2 * kB, known + 2 * kB, first});
    for (std::size_t a = 0; a < n; ++a) {
        const auto k = static_cast<std::size_t>(rows[a] - first);
        const auto cell = [&](std::size_t at, double scale) {
            if (scale <= 0)
                return CellMeaning{};
            return CellMeaning{lo[at] * scale, hi[at] * scale, known[at]};
        };
        const CellMeaning nominal = cell(k, 1);
        const CellMeaning least = cell(kB + k, p.windowMinScale);
        const CellMeaning most = cell(2 * kB + k, p.windowMaxScale);
        // Where the base gives the nominal alone: the series tolerance of the name, else the
        // one the reference's window implies.
        const bool alone = (least.known & kKnownEnds) == 0 || (most.known & kKnownEnds) == 0;
        const double tolerance = alone && (nominal.known & kKnownEnds) != 0
                                     ? nameTolerance(cells.name(rows[a])).value_or(p.windowTolerance)
                                     : 0;
        const CellMeaning w = zenerWindow(nominal, least, most, tolerance);
        space.windowLo[a] = w.lo;
        space.windowHi[a] = w.hi;
        space.windowKnown[a] = w.known;
        // A nominal outside the reference's own window (its tolerance is for the spread).
        const bool single = (nominal.known & kKnownEnds) == kKnownEnds && nominal.lo == nominal.hi;
        space.windowOutside[a] =
            single && (nominal.lo < p.referenceLow * (1 - 1e-9) || nominal.lo > p.referenceHigh * (1 + 1e-9));
    }
}

// The near-miss fields of a kept row that fails: the worst shortfall and the deviations of its
// failing rules; `lo`, `hi`, `known` hold each rule's cells of the kept rows at index `at`.
void describeMisses(const JudgePlan& plan, FinderMatch& m, std::size_t at, const double* lo, const double* hi,
                    const std::uint8_t* known);

// How far a near miss is from the reference on the plan's leading rule, in steps of 1 %.
int leadOf(const JudgePlan& plan, std::size_t at, const double* lo, const double* hi,
           const std::uint8_t* known);

// The names of the matches from `from` on, read by `cells`.
template <CellReader Cells>
void nameMatches(const Cells& cells, std::vector<FinderMatch>& matches, std::size_t from)
{
    for (std::size_t k = from; k < matches.size(); ++k)
        matches[k].name = std::string(cells.name(matches[k].row));
}

// Judges rows 0..rows-1 (all but `excludeRow`) and appends the kept ones, without their names,
// to `out`: those with at most plan.limit failures, none of them a gate's, and at least one rule
// told. `cells` reads the cells (RuleJudge and KeptOut take what its numeric() hands over).
// `step(from)`, called now and then before row `from`, returns false to cancel;
// `kept(first)` is called after each block with the index in `out` of its first match, while
// the block's cells are still in the cache.
template <CellReader Cells, class Step, class Kept>
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
    std::uint32_t* const otherMask = space.otherMask.data();
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
        std::fill_n(otherMask, n, 0u);
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
                            failCount,
                            otherMask};
            judge.required = p.required;
            judge.classBy = p.classBy;
            judge.classLow = p.referenceLow;
            if (p.numeric && (p.conditionColumn > 0 || p.windowMin > 0)) {
                readOptionCells(p, cells, live, alive, from, space, true, true);
                if (p.conditionColumn > 0)
                    judge.conditionOther = space.conditionOther.data();
            }
            if (p.numeric && p.windowMin > 0) {
                const std::size_t n = alive;
                for (std::size_t a = 0; a < n; ++a) {
                    const unsigned v =
                        space.windowOutside[a]
                            ? unsigned{kJudgedFail}
                            : judgeCell(p.target, space.windowKnown[a], space.windowLo[a], space.windowHi[a]);
                    judge.record(live[a], v);
                }
            } else if (p.numeric) {
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
            if (p.windowMin > 0) {
                readOptionCells(p, cells, live, alive, from, space, false, true);
                std::copy_n(space.windowLo.data(), alive, l);
                std::copy_n(space.windowHi.data(), alive, h);
                std::copy_n(space.windowKnown.data(), alive, kn);
            } else {
                cells.numeric(p.column, live, alive, KeptOut{l, h, kn});
            }
            if (p.label)
                continue;
            // Figures of another kind than the reference's are not compared, not even for closeness.
            for (std::size_t a = 0; a < alive; ++a)
                if ((kn[a] & kKnownEnds) != 0 && (kn[a] & kMarks) == p.target.marks)
                    addDeviation(logRepresentative(l[a], h[a]) - p.logReference, p.target.favoured,
                                 distance[a], favour[a]);
        }
        if (plan.package.column > 0 && alive > 0)
            cells.numeric(plan.package.column, live, alive,
                          KeptOut{space.packageLo.data(), space.packageHi.data(), space.packageKnown.data()});
        const std::size_t firstKept = out.size();
        for (std::size_t a = 0; a < alive; ++a) {
            const auto k = static_cast<std::size_t>(live[a] - from);
            FinderMatch& m = out.emplace_back();
            m.base = baseIndex;
            m.row = live[a];
            const auto failing = static_cast<std::uint32_t>(verdicts[k]);
            const auto unknown = static_cast<std::uint32_t>(verdicts[k] >> 32);
            m.unknowns = std::popcount(unknown & ~failing);
            m.otherMask = otherMask[k];
            m.fails = static_cast<int>(failCount[k]);
            m.distance = distance[a];
            m.favour = favour[a];
            m.failMask = failing;
            m.weakMask = weakMask[k];
            m.unknownMask = unknown;
            if (plan.package.column > 0 && space.packageKnown[a] == (kKnownLow | kKnownHigh) &&
                space.packageLo[a] == space.packageHi[a])
                m.package =
                    space.packageLo[a] == plan.package.number ? PackageMatch::Same : PackageMatch::Other;
            if (m.fails > 0)
                describeMisses(plan, m, a, lo, hi, known);
            else
                m.missPercent.fill(NAN);
            if (m.fails > 0 && plan.leadRule >= 0)
                m.lead = leadOf(plan, a, lo, hi, known);
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

}  // namespace veltris::substitute
