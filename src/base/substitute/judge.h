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
          live(kJudgeBlock), verdicts(kJudgeBlock), weakMask(kJudgeBlock), failCount(kJudgeBlock),
          distance(kJudgeBlock), favour(kJudgeBlock), packageLo(kJudgeBlock), packageHi(kJudgeBlock),
          packageKnown(kJudgeBlock), order(count), failed(count, 0), judged(count, 0)
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
    std::vector<std::uint32_t> failCount;  // failures counted so far
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
    std::size_t stay = 0;
    std::size_t fails = 0;

    // v: kJudged* bits. Inlined into each cell reader's loop: a call a verdict costs more than
    // the verdict.
    [[gnu::always_inline]] void record(int row, unsigned v)
    {
        const auto k = static_cast<std::size_t>(row - first);
        const std::size_t fail = v & kJudgedFail;
        const std::size_t unknown = v >> 1 & 1u;
        const std::size_t counted = fail | (unknownFails & unknown);
        const std::uint64_t now =
            verdicts[k] | std::uint64_t{fail} << bit | std::uint64_t{unknown} << (bit + 32);
        verdicts[k] = now;
        if (v & kJudgedWeak)
            weakMask[k] |= std::uint32_t{1} << bit;
        const std::uint32_t total = failCount[k] + static_cast<std::uint32_t>(counted);
        failCount[k] = total;
        live[stay] = row;
        stay += static_cast<std::size_t>(total <= limit) & ((gate & counted) ^ 1u);
        fails += counted;
    }
    [[gnu::always_inline]] void put(int row, const CellMeaning& m)
    {
        record(row, judgeCell(target, m.known, m.lo, m.hi));
    }
    [[gnu::always_inline]] void plain(int row, std::uint8_t flags, double v)
    {
        const std::uint8_t known = plainKnown(flags, v);
        const double value = std::fabs(v);
        record(row, judgeCell(target, known, value, value));
    }
};

// The near-miss fields of a kept row that fails: the worst shortfall and the deviations of its
// failing rules; `lo`, `hi`, `known` hold each rule's cells of the kept rows at index `at`.
void describeMisses(const JudgePlan& plan, FinderMatch& m, std::size_t at, const double* lo, const double* hi,
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
                            failCount};
            if (p.numeric) {
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
            cells.numeric(p.column, live, alive, KeptOut{l, h, kn});
            if (p.label)
                continue;
            for (std::size_t a = 0; a < alive; ++a)
                if (kn[a] != 0)
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
            m.unknowns = std::popcount(unknown);
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
